// CDrawGraph: shape setters and getters, drawing through the shape rasteriser and the edge and
// shadow renderer, and the "DGO0" record.
//
// The record is little-endian throughout: the tag, type, fill, pen size and pen type as
// 32-bit integers, the two pie angles as IEEE doubles, a signed 32-bit point count and the
// points (x then y), the 160-byte stored attribute record, then the three texture names as a
// signed 32-bit length and the bytes. The reader takes it item by item from the file, since
// another record may follow, and never allocates for a count or length it has not read yet:
// points and name bytes are appended chunk by chunk as they arrive.
#include "draw/draw_graph.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

#include "core/byte_reader.h"
#include "core/errors.h"
#include "draw/graph_raster.h"
#include "draw/internal/counted_string.h"
#include "draw/kr_bw_draw.h"
#include "framebuffer/kr_bitmaps.h"
#include "framebuffer/kr_frame_buffer.h"
#include "platform/framework/carchive.h"

IMPLEMENT_SERIAL(CDrawGraph, CObject, VERSIONABLE_SCHEMA | 0)

using zk::BwPart;

namespace {

constexpr char kTag[4] = {'D', 'G', 'O', '0'};
// Points and name bytes are read in pieces of this many bytes at most.
constexpr UINT kReadChunk = 64 * 1024;

void put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    std::uint8_t b[4];
    zk::put_le32(b, v);
    out.insert(out.end(), b, b + 4);
}

void put_double(std::vector<std::uint8_t>& out, double v)
{
    const auto bits = std::bit_cast<std::uint64_t>(v);
    put32(out, static_cast<std::uint32_t>(bits));
    put32(out, static_cast<std::uint32_t>(bits >> 32));
}

void put_name(std::vector<std::uint8_t>& out, const CString& s)
{
    put32(out, static_cast<std::uint32_t>(s.GetLength()));
    out.insert(out.end(), s.GetString(), s.GetString() + s.GetLength());
}

// Reads exactly n bytes; false on a short read.
bool read_exact(CFile& f, void* buf, UINT n)
{
    return f.Read(buf, n) == n;
}

bool read32(CFile& f, std::int32_t& v)
{
    std::uint8_t b[4];
    if (!read_exact(f, b, 4)) return false;
    zk::ByteReader r(b, 4);
    return r.le32s(v);
}

bool read_double(CFile& f, double& v)
{
    std::uint8_t b[8];
    if (!read_exact(f, b, 8)) return false;
    zk::ByteReader r(b, 8);
    std::uint32_t lo = 0, hi = 0;
    r.le32(lo);
    r.le32(hi);
    v = std::bit_cast<double>(static_cast<std::uint64_t>(hi) << 32 | lo);
    return true;
}

void zero(POINT* p)
{
    if (p) *p = POINT{0, 0};
}

void zero(RECT* rc)
{
    if (rc) *rc = RECT{0, 0, 0, 0};
}

template <typename T>
void put_out(T* out, T v)
{
    if (out) *out = v;
}

} // namespace

CDrawGraph::CDrawGraph()
{
    SetDefault();
}

CDrawGraph::CDrawGraph(const CDrawGraph& o) : CObject(o)
{
    *this = o;
}

CDrawGraph& CDrawGraph::operator=(const CDrawGraph& o)
{
    if (this == &o) return *this;
    m_GraphType = o.m_GraphType;
    m_FillMode = o.m_FillMode;
    m_PenSize = o.m_PenSize;
    m_PenType = o.m_PenType;
    m_Points = o.m_Points;
    m_DegStart = o.m_DegStart;
    m_DegEnd = o.m_DegEnd;
    m_Info = o.m_Info;
    m_BodyText = o.m_BodyText;
    m_EdgeText = o.m_EdgeText;
    m_ShadText = o.m_ShadText;
    m_DispEria = o.m_DispEria;
    ResetConnect();
    return *this;
}

CDrawGraph::~CDrawGraph() = default;

void CDrawGraph::SetDefault()
{
    m_GraphType = zk::kGraphNone;
    m_FillMode = 0;
    m_PenSize = 1;
    m_PenType = 0;
    m_Points.clear();
    m_DegStart = m_DegEnd = 0;
    SetAntiScale(16);
    SetEdgeType(0, 0, 0);
    SetShadType(0, 0, 0, 0);
    SetBodyGrad(0, 0, -1, -1, 0xFFFFFFFF, 0xFFFFFFFF);
    SetEdgeGrad(0, 0, -1, -1, 0xFF000000, 0xFF000000);
    SetShadGrad(0, 0, -1, -1, 0xFF000000, 0xFF000000);
    SetBodyText(0, CString(""));
    SetEdgeText(0, "");
    SetShadText(0, "");
    SetBodyCol(0xFFFFFFFF);
    SetEdgeCol(0xFF000000);
    SetShadCol(0xFF000000);
    ResetConnect();
}

// ---- shapes -------------------------------------------------------------------------------

void CDrawGraph::set_shape(std::int32_t type, const POINT* pts, long count)
{
    m_Points.clear();
    m_GraphType = type;
    if (pts && count > 0) m_Points.assign(pts, pts + count);
}

namespace {

// The normalised corners of a rectangle: top-left, then bottom-right.
void corners_of(const RECT* rc, POINT out[2])
{
    const RECT r = rc ? *rc : RECT{0, 0, 0, 0};
    out[0] = POINT{std::min(r.left, r.right), std::min(r.top, r.bottom)};
    out[1] = POINT{std::max(r.left, r.right), std::max(r.top, r.bottom)};
}

} // namespace

void CDrawGraph::SetLine(POINT p1, POINT p2)
{
    const POINT pts[2] = {p1, p2};
    set_shape(zk::kGraphLine, pts, 2);
}

void CDrawGraph::SetPolyLine(const POINT* pts, long count)
{
    set_shape(zk::kGraphPolyLine, pts, count);
}

void CDrawGraph::SetRect(const RECT* rc)
{
    POINT pts[2];
    corners_of(rc, pts);
    set_shape(zk::kGraphRect, pts, 2);
}

void CDrawGraph::SetRoundRect(const RECT* rc, POINT corner)
{
    POINT pts[3];
    corners_of(rc, pts);
    pts[2] = corner;
    set_shape(zk::kGraphRoundRect, pts, 3);
}

void CDrawGraph::SetEllipse(const RECT* rc)
{
    POINT pts[2];
    corners_of(rc, pts);
    set_shape(zk::kGraphEllipse, pts, 2);
}

void CDrawGraph::SetPie(const RECT* rc, double deg_start, double deg_end)
{
    POINT pts[2];
    corners_of(rc, pts);
    set_shape(zk::kGraphPie, pts, 2);
    m_DegStart = deg_start;
    m_DegEnd = deg_end;
}

void CDrawGraph::SetPolyGon(const POINT* pts, long count)
{
    set_shape(zk::kGraphPolyGon, pts, count);
}

void CDrawGraph::SetSpline(const POINT* pts, long count)
{
    set_shape(zk::kGraphSpline, pts, count);
}

// The number of points a getter describes when the type matches and they are all there, else
// 0. A record read from a file may hold fewer points than its type uses; the getters then
// report nothing rather than reach past the list.
long CDrawGraph::check_shape(std::int32_t type, long needed) const
{
    if (m_GraphType != type || m_Points.empty() || static_cast<long>(m_Points.size()) < needed) return 0;
    return needed > 0 ? needed : static_cast<long>(m_Points.size());
}

const POINT* CDrawGraph::shape_array(std::int32_t type, long needed, long* count) const
{
    const long n = check_shape(type, needed);
    put_out(count, n);
    return n ? m_Points.data() : nullptr;
}

POINT CDrawGraph::shape_at(std::int32_t type, long index) const
{
    if (!check_shape(type, 0)) return POINT{0, 0};
    return GetAt(index);
}

long CDrawGraph::box_of(std::int32_t type, long needed, RECT* rc) const
{
    const long n = check_shape(type, needed);
    if (!n) {
        zero(rc);
        return 0;
    }
    put_out(rc, RECT{m_Points[0].x, m_Points[0].y, m_Points[1].x, m_Points[1].y});
    return n;
}

long CDrawGraph::GetLine(POINT* p1, POINT* p2) const
{
    if (!check_shape(zk::kGraphLine, 2)) {
        zero(p1);
        zero(p2);
        return 0;
    }
    put_out(p1, m_Points[0]);
    put_out(p2, m_Points[1]);
    return 2;
}

const POINT* CDrawGraph::GetLine(long* count) const { return shape_array(zk::kGraphLine, 2, count); }
const POINT* CDrawGraph::GetPolyLine(long* count) const { return shape_array(zk::kGraphPolyLine, 0, count); }
long CDrawGraph::GetPolyLine_Size() const { return check_shape(zk::kGraphPolyLine, 0); }
POINT CDrawGraph::GetPolyLine_At(long index) const { return shape_at(zk::kGraphPolyLine, index); }

long CDrawGraph::GetRect(RECT* rc) const { return box_of(zk::kGraphRect, 2, rc); }

RECT CDrawGraph::GetRect() const
{
    RECT rc;
    box_of(zk::kGraphRect, 2, &rc);
    return rc;
}

const POINT* CDrawGraph::GetRect(long* count) const { return shape_array(zk::kGraphRect, 2, count); }

long CDrawGraph::GetRoundRect(RECT* rc) const { return box_of(zk::kGraphRoundRect, 3, rc); }

long CDrawGraph::GetRoundRect(RECT* rc, POINT* corner) const
{
    const long n = box_of(zk::kGraphRoundRect, 3, rc);
    put_out(corner, n ? m_Points[2] : POINT{0, 0});
    return n;
}

RECT CDrawGraph::GetRoundRect() const
{
    RECT rc;
    box_of(zk::kGraphRoundRect, 3, &rc);
    return rc;
}

const POINT* CDrawGraph::GetRoundRect(long* count) const { return shape_array(zk::kGraphRoundRect, 3, count); }

POINT CDrawGraph::GetRoundRect_RSize() const
{
    return check_shape(zk::kGraphRoundRect, 3) ? m_Points[2] : POINT{0, 0};
}

long CDrawGraph::GetEllipse(RECT* rc) const { return box_of(zk::kGraphEllipse, 2, rc); }

RECT CDrawGraph::GetEllipse() const
{
    RECT rc;
    box_of(zk::kGraphEllipse, 2, &rc);
    return rc;
}

const POINT* CDrawGraph::GetEllipse(long* count) const { return shape_array(zk::kGraphEllipse, 2, count); }

long CDrawGraph::GetPie(RECT* rc, double* deg_start, double* deg_end) const
{
    put_out(deg_start, m_DegStart);
    put_out(deg_end, m_DegEnd);
    return box_of(zk::kGraphPie, 2, rc);
}

RECT CDrawGraph::GetPie() const
{
    RECT rc;
    box_of(zk::kGraphPie, 2, &rc);
    return rc;
}

const POINT* CDrawGraph::GetPie(long* count) const { return shape_array(zk::kGraphPie, 2, count); }
const POINT* CDrawGraph::GetPolyGon(long* count) const { return shape_array(zk::kGraphPolyGon, 0, count); }
long CDrawGraph::GetPolyGon_Size() const { return check_shape(zk::kGraphPolyGon, 0); }
POINT CDrawGraph::GetPolyGon_At(long index) const { return shape_at(zk::kGraphPolyGon, index); }
const POINT* CDrawGraph::GetSpline(long* count) const { return shape_array(zk::kGraphSpline, 0, count); }
long CDrawGraph::GetSpline_Size() const { return check_shape(zk::kGraphSpline, 0); }
POINT CDrawGraph::GetSpline_At(long index) const { return shape_at(zk::kGraphSpline, index); }

POINT CDrawGraph::GetAt(long index) const
{
    if (index < 0 || index >= static_cast<long>(m_Points.size())) return POINT{0, 0};
    return m_Points[static_cast<size_t>(index)];
}

// ---- attributes ---------------------------------------------------------------------------

void CDrawGraph::SetAntiScale(long n) { m_Info.AntiScale = zk::anti_scale_step(n); }





void CDrawGraph::SetBodyText(long mode, const CString& file)
{
    m_BodyText = file;
    zk::set_text(m_Info, BwPart::body, mode, m_BodyText.GetString());
    ResetConnect();
}

void CDrawGraph::SetEdgeText(long mode, const char* file)
{
    m_EdgeText = file;
    zk::set_text(m_Info, BwPart::edge, mode, m_EdgeText.GetString());
    ResetConnect();
}

void CDrawGraph::SetShadText(long mode, const char* file)
{
    m_ShadText = file;
    zk::set_text(m_Info, BwPart::shad, mode, m_ShadText.GetString());
    ResetConnect();
}






CString CDrawGraph::GetBodyText(long* mode) const
{
    zk::get_text_mode(m_Info, BwPart::body, mode);
    return m_BodyText;
}

CString CDrawGraph::GetEdgeText(long* mode) const
{
    zk::get_text_mode(m_Info, BwPart::edge, mode);
    return m_EdgeText;
}

CString CDrawGraph::GetShadText(long* mode) const
{
    zk::get_text_mode(m_Info, BwPart::shad, mode);
    return m_ShadText;
}

void CDrawGraph::ResetConnect()
{
    // A part out of texture mode never reads its name; a null pointer there cannot dangle
    // when the strings move.
    m_Info.BodyText.File = m_Info.BodyMode == kBwModeTexture ? m_BodyText.GetString() : nullptr;
    m_Info.EdgeText.File = m_Info.EdgeMode == kBwModeTexture ? m_EdgeText.GetString() : nullptr;
    m_Info.ShadText.File = m_Info.ShadMode == kBwModeTexture ? m_ShadText.GetString() : nullptr;
}

// ---- drawing ------------------------------------------------------------------------------

int CDrawGraph::make_mask(std::int32_t as_type, CKrMonoBitmap* mask, POINT* origin) const
{
    if (!mask || !origin) return ZK_FAIL(-1);
    zk::GraphShape g;
    g.type = as_type;
    g.fill = m_FillMode;
    g.pen_size = m_PenSize;
    g.pen_type = m_PenType;
    g.points = m_Points;
    g.deg_start = m_DegStart;
    g.deg_end = m_DegEnd;
    return zk::rasterise_graph(g, m_Info.AntiScale, *mask, *origin) == zk::MaskResult::drawn ? 0 : ZK_FAIL(-1);
}

int CDrawGraph::DispBwBmp_Line(CKrMonoBitmap* mask, POINT* origin) const { return make_mask(zk::kGraphLine, mask, origin); }
int CDrawGraph::DispBwBmp_PolyLine(CKrMonoBitmap* mask, POINT* origin) const { return make_mask(zk::kGraphPolyLine, mask, origin); }
int CDrawGraph::DispBwBmp_Rect(CKrMonoBitmap* mask, POINT* origin) const { return make_mask(zk::kGraphRect, mask, origin); }
int CDrawGraph::DispBwBmp_RoundRect(CKrMonoBitmap* mask, POINT* origin) const { return make_mask(zk::kGraphRoundRect, mask, origin); }
int CDrawGraph::DispBwBmp_Ellipse(CKrMonoBitmap* mask, POINT* origin) const { return make_mask(zk::kGraphEllipse, mask, origin); }
int CDrawGraph::DispBwBmp_Pie(CKrMonoBitmap* mask, POINT* origin) const { return make_mask(zk::kGraphPie, mask, origin); }
int CDrawGraph::DispBwBmp_PolyGon(CKrMonoBitmap* mask, POINT* origin) const { return make_mask(zk::kGraphPolyGon, mask, origin); }
int CDrawGraph::DispBwBmp_Spline(CKrMonoBitmap* mask, POINT* origin) const { return make_mask(zk::kGraphSpline, mask, origin); }

void CDrawGraph::GetDegAdd(double deg, long rx, long ry, POINT* pos) const
{
    put_out(pos, zk::deg_add(deg, rx, ry));
}

int CDrawGraph::prepare(CKrMonoBitmap& mask)
{
    if (zk::graph_points_needed(m_GraphType) == 0) return 1;
    POINT origin{};
    if (make_mask(m_GraphType, &mask, &origin) != 0) return -1;
    m_Info.Pos = origin;
    ResetConnect();
    return 0;
}

int CDrawGraph::DrawFrame(CKrFrameBuffer* fb)
{
    CKrMonoBitmap mask;
    const int ready = fb ? prepare(mask) : (zk::graph_points_needed(m_GraphType) ? -1 : 1);
    if (ready != 0) return ready > 0 ? 1 : 0;
    CKrBwDraw draw;
    draw.DispFb(fb, &m_Info, &mask, &m_DispEria);
    return 0;
}

int CDrawGraph::DrawFrameEria(CKrFrameBuffer* fb, CBox& whole, CBox& body, CBox& edge, CBox& shadow)
{
    CKrMonoBitmap mask;
    const int ready = fb ? prepare(mask) : (zk::graph_points_needed(m_GraphType) ? -1 : 1);
    if (ready != 0) return ready > 0 ? 1 : 0;
    CKrBwDraw draw;
    draw.SetFb(fb, &m_Info, &mask, m_DispEria, body, edge, shadow);
    whole = m_DispEria;
    return 0;
}

// ---- storage ------------------------------------------------------------------------------

int CDrawGraph::Write(CFile* file)
{
    if (!file || m_Points.size() > static_cast<size_t>(INT32_MAX)) return ZK_FAIL(0);
    std::vector<std::uint8_t> out;
    out.reserve(40 + m_Points.size() * 8 + zk::kBwDrawInfoBytes + 12 + static_cast<size_t>(m_BodyText.GetLength()) +
                static_cast<size_t>(m_EdgeText.GetLength()) + static_cast<size_t>(m_ShadText.GetLength()));
    out.insert(out.end(), kTag, kTag + 4);
    put32(out, static_cast<std::uint32_t>(m_GraphType));
    put32(out, static_cast<std::uint32_t>(m_FillMode));
    put32(out, static_cast<std::uint32_t>(m_PenSize));
    put32(out, static_cast<std::uint32_t>(m_PenType));
    put_double(out, m_DegStart);
    put_double(out, m_DegEnd);
    put32(out, static_cast<std::uint32_t>(m_Points.size()));
    for (const POINT& p : m_Points) {
        put32(out, static_cast<std::uint32_t>(p.x));
        put32(out, static_cast<std::uint32_t>(p.y));
    }
    const auto info = zk::pack_bw_draw_info(m_Info);
    out.insert(out.end(), info.begin(), info.end());
    put_name(out, m_BodyText);
    put_name(out, m_EdgeText);
    put_name(out, m_ShadText);
    try {
        // CFile takes 32-bit counts; a record of many points goes out in pieces.
        for (size_t done = 0; done < out.size();) {
            const UINT n = static_cast<UINT>(std::min<size_t>(out.size() - done, size_t{1} << 30));
            file->Write(out.data() + done, n);
            done += n;
        }
    } catch (const CFileException&) {
        // A disk that is full or gone must not be reported as a stored object.
        return ZK_FAIL(0);
    }
    return 1;
}

int CDrawGraph::Read(CFile* file)
{
    if (!file) return ZK_FAIL(0);
    m_Points.clear();
    bool ok = false;
    try {
        ok = [&]() {
            char tag[4];
            // The tag is read, not compared: records written with any four bytes there load.
            if (!read_exact(*file, tag, 4)) return false;
            if (!read32(*file, m_GraphType) || !read32(*file, m_FillMode) || !read32(*file, m_PenSize) ||
                !read32(*file, m_PenType) || !read_double(*file, m_DegStart) || !read_double(*file, m_DegEnd)) {
                return false;
            }
            std::int32_t count = 0;
            if (!read32(*file, count) || count < 0) return false;
            std::vector<std::uint8_t> chunk;
            for (std::uint32_t left = static_cast<std::uint32_t>(count); left > 0;) {
                const std::uint32_t n = std::min<std::uint32_t>(left, kReadChunk / 8);
                chunk.resize(n * 8);
                const UINT got = file->Read(chunk.data(), n * 8);
                zk::ByteReader r(chunk.data(), got);
                std::int32_t x = 0, y = 0;
                while (r.le32s(x) && r.le32s(y)) m_Points.push_back(POINT{x, y});
                if (got != n * 8) return false;
                left -= n;
            }
            std::uint8_t info[zk::kBwDrawInfoBytes];
            if (!read_exact(*file, info, sizeof info)) return false;
            zk::unpack_bw_draw_info(std::span<const std::uint8_t, zk::kBwDrawInfoBytes>(info), m_Info);
            return zk::read_counted_string(*file, m_BodyText) && zk::read_counted_string(*file, m_EdgeText) && zk::read_counted_string(*file, m_ShadText);
        }();
    } catch (const CFileException&) {
        ok = false;
    }
    // Even a partial read leaves the record's names pointing at the object's own strings.
    ResetConnect();
    return ok ? 1 : ZK_FAIL(0);
}

void CDrawGraph::Serialize(CArchive& ar)
{
    ar.Flush();
    CFile* file = ar.GetFile();
    if (ar.IsLoading()) Read(file);
    else Write(file);
}
