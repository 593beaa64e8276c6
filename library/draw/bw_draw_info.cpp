// CBwDrawInfo and the stored form of tagKRBWDRAWINFO.
//
// The stored form is written field by field rather than copied from memory: the in-memory
// record carries 8-byte pointers and compiler padding that the file format never had.
#include "draw/bw_draw_info.h"

#include <type_traits>

#include "core/byte_reader.h"

namespace {

// The stored fields in order, as views onto the record's 32-bit members. The name slots are
// marked by a null field pointer.
template <typename Info, typename Visit>
void for_each_field(Info& info, Visit&& visit)
{
    visit(&info.AntiScale);
    visit(&info.Pos.x);
    visit(&info.Pos.y);
    visit(&info.EdgeType.Type);
    visit(&info.EdgeType.Size);
    visit(&info.EdgeType.SoftPen);
    visit(&info.ShadType.Type);
    visit(&info.ShadType.Size);
    visit(&info.ShadType.SoftSize);
    visit(&info.ShadType.SoftPen);
    visit(&info.BodyMode);
    visit(&info.EdgeMode);
    visit(&info.ShadMode);
    visit(&info.BodyCol);
    visit(&info.EdgeCol);
    visit(&info.ShadCol);
    for (auto* g : {&info.BodyGrad, &info.EdgeGrad, &info.ShadGrad}) {
        visit(&g->Mode);
        visit(&g->Patern);
        visit(&g->x);
        visit(&g->y);
        visit(&g->Col1);
        visit(&g->Col2);
    }
    for (auto* t : {&info.BodyText, &info.EdgeText, &info.ShadText}) {
        visit(&t->Mode);
        visit(static_cast<std::int32_t*>(nullptr));
    }
}

CString name_or_empty(const char* p)
{
    return CString(p ? p : "");
}

} // namespace

namespace zk {

void pack_bw_draw_info(const tagKRBWDRAWINFO& info, std::span<std::uint8_t, kBwDrawInfoBytes> out)
{
    std::size_t at = 0;
    for_each_field(info, [&](const auto* field) {
        put_le32(out.data() + at, field ? static_cast<std::uint32_t>(*field) : 0u);
        at += 4;
    });
}

std::array<std::uint8_t, kBwDrawInfoBytes> pack_bw_draw_info(const tagKRBWDRAWINFO& info)
{
    std::array<std::uint8_t, kBwDrawInfoBytes> out{};
    pack_bw_draw_info(info, std::span<std::uint8_t, kBwDrawInfoBytes>(out));
    return out;
}

void unpack_bw_draw_info(std::span<const std::uint8_t, kBwDrawInfoBytes> in, tagKRBWDRAWINFO& info)
{
    ByteReader r(in.data(), in.size());
    for_each_field(info, [&](auto* field) {
        std::uint32_t v = 0;
        r.le32(v); // cannot run short: the span holds exactly the forty fields
        using T = std::remove_pointer_t<decltype(field)>;
        if (field) *field = static_cast<T>(v);
    });
    info.BodyText.File = nullptr;
    info.EdgeText.File = nullptr;
    info.ShadText.File = nullptr;
}

void set_grad(tagGRADINFO& g, long mode, long patern, long x, long y, DWORD col1, DWORD col2)
{
    g = {static_cast<std::int32_t>(mode), static_cast<std::int32_t>(patern), static_cast<std::int32_t>(x),
         static_cast<std::int32_t>(y), col1, col2};
}

void get_grad(const tagGRADINFO& g, long* mode, long* patern, long* x, long* y, DWORD* col1, DWORD* col2)
{
    if (mode) *mode = g.Mode;
    if (patern) *patern = g.Patern;
    if (x) *x = g.x;
    if (y) *y = g.y;
    if (col1) *col1 = g.Col1;
    if (col2) *col2 = g.Col2;
}

namespace {

// Where each part keeps its mode, colour, gradient and texture.
struct PartFields {
    std::int32_t tagKRBWDRAWINFO::*mode;
    DWORD tagKRBWDRAWINFO::*col;
    tagGRADINFO tagKRBWDRAWINFO::*grad;
    tagTEXTUREINFO tagKRBWDRAWINFO::*text;
};

constexpr PartFields kPartFields[] = {
    {&tagKRBWDRAWINFO::BodyMode, &tagKRBWDRAWINFO::BodyCol, &tagKRBWDRAWINFO::BodyGrad, &tagKRBWDRAWINFO::BodyText},
    {&tagKRBWDRAWINFO::EdgeMode, &tagKRBWDRAWINFO::EdgeCol, &tagKRBWDRAWINFO::EdgeGrad, &tagKRBWDRAWINFO::EdgeText},
    {&tagKRBWDRAWINFO::ShadMode, &tagKRBWDRAWINFO::ShadCol, &tagKRBWDRAWINFO::ShadGrad, &tagKRBWDRAWINFO::ShadText},
};

const PartFields& fields(BwPart part)
{
    return kPartFields[static_cast<int>(part)];
}

} // namespace

std::int32_t anti_scale_step(long n)
{
    return n > 8 ? 16 : n > 4 ? 8 : n > 1 ? 4 : 1;
}

void set_col(tagKRBWDRAWINFO& info, BwPart part, DWORD col)
{
    info.*fields(part).col = col;
    info.*fields(part).mode = kBwModeColor;
}

void set_grad(tagKRBWDRAWINFO& info, BwPart part, long mode, long patern, long x, long y, DWORD col1, DWORD col2)
{
    set_grad(info.*fields(part).grad, mode, patern, x, y, col1, col2);
    info.*fields(part).mode = kBwModeGrad;
}

void get_grad(const tagKRBWDRAWINFO& info, BwPart part, long* mode, long* patern, long* x, long* y, DWORD* col1,
              DWORD* col2)
{
    get_grad(info.*fields(part).grad, mode, patern, x, y, col1, col2);
}

void set_text(tagKRBWDRAWINFO& info, BwPart part, long mode, const char* file)
{
    // Member by member: assigning a whole temporary may leave indeterminate bytes in the
    // padding after Mode, and holders compare records bytewise.
    tagTEXTUREINFO& t = info.*fields(part).text;
    t.Mode = static_cast<std::int32_t>(mode);
    t.File = file;
    info.*fields(part).mode = kBwModeTexture;
}

tagTEXTUREINFO& text_of(tagKRBWDRAWINFO& info, BwPart part)
{
    return info.*fields(part).text;
}

const tagTEXTUREINFO& text_of(const tagKRBWDRAWINFO& info, BwPart part)
{
    return info.*fields(part).text;
}

void get_text_mode(const tagKRBWDRAWINFO& info, BwPart part, long* mode)
{
    if (mode) *mode = text_of(info, part).Mode;
}

void set_edge_type(tagKRBWDRAWINFO& info, long type, long size, long softpen)
{
    info.EdgeType = {static_cast<std::int32_t>(type), static_cast<std::int32_t>(size),
                     static_cast<std::int32_t>(softpen)};
}

void get_edge_type(const tagKRBWDRAWINFO& info, long* type, long* size, long* softpen)
{
    if (type) *type = info.EdgeType.Type;
    if (size) *size = info.EdgeType.Size;
    if (softpen) *softpen = info.EdgeType.SoftPen;
}

void set_shad_type(tagKRBWDRAWINFO& info, long type, long size, long softsize, long softpen)
{
    info.ShadType = {static_cast<std::int32_t>(type), static_cast<std::int32_t>(size),
                     static_cast<std::int32_t>(softsize), static_cast<std::int32_t>(softpen)};
}

void get_shad_type(const tagKRBWDRAWINFO& info, long* type, long* size, long* softsize, long* softpen)
{
    if (type) *type = info.ShadType.Type;
    if (size) *size = info.ShadType.Size;
    if (softsize) *softsize = info.ShadType.SoftSize;
    if (softpen) *softpen = info.ShadType.SoftPen;
}

} // namespace zk

using zk::BwPart;

CBwDrawInfo::CBwDrawInfo() : m_Info{}
{
    m_Info.AntiScale = 16;
}

CBwDrawInfo::CBwDrawInfo(const CBwDrawInfo& o) : m_Info{}
{
    copy_from(o);
}

CBwDrawInfo& CBwDrawInfo::operator=(const CBwDrawInfo& o)
{
    if (this != &o) copy_from(o);
    return *this;
}

CBwDrawInfo::~CBwDrawInfo() = default;

void CBwDrawInfo::copy_from(const CBwDrawInfo& o)
{
    // The copy takes the names the other record points at (a part never given one keeps a
    // null pointer). They are copied before anything changes, so a failed allocation leaves
    // this object as it was.
    std::array<CString, 3> names;
    for (BwPart p : zk::kBwParts) {
        if (const char* f = zk::text_of(o.m_Info, p).File) names[static_cast<int>(p)] = CString(f);
    }
    m_Names = std::move(names);
    m_Info = o.m_Info;
    for (BwPart p : zk::kBwParts) {
        tagTEXTUREINFO& t = zk::text_of(m_Info, p);
        if (t.File) t.File = m_Names[static_cast<int>(p)].GetString();
    }
}

void CBwDrawInfo::set_text(BwPart part, long mode, const char* file)
{
    CString& name = m_Names[static_cast<int>(part)];
    name = CString(file);
    zk::set_text(m_Info, part, mode, name.GetString());
}

CString CBwDrawInfo::text_file(BwPart part, long* mode) const
{
    zk::get_text_mode(m_Info, part, mode);
    return name_or_empty(zk::text_of(m_Info, part).File);
}

void CBwDrawInfo::SetAntiScale(long n) { m_Info.AntiScale = zk::anti_scale_step(n); }











void CBwDrawInfo::SetBodyText(long mode, const char* file) { set_text(BwPart::body, mode, file); }
void CBwDrawInfo::SetEdgeText(long mode, const char* file) { set_text(BwPart::edge, mode, file); }
void CBwDrawInfo::SetShadText(long mode, const char* file) { set_text(BwPart::shad, mode, file); }

void CBwDrawInfo::GetBodyText(long* mode, CString& file) const { file = text_file(BwPart::body, mode); }
CString CBwDrawInfo::GetBodyText(long* mode) const { return text_file(BwPart::body, mode); }
CString CBwDrawInfo::GetBodyText_File() const { return text_file(BwPart::body, nullptr); }
void CBwDrawInfo::GetEdgeText(long* mode, CString& file) const { file = text_file(BwPart::edge, mode); }
CString CBwDrawInfo::GetEdgeText(long* mode) const { return text_file(BwPart::edge, mode); }
CString CBwDrawInfo::GetEdgeText_File() const { return text_file(BwPart::edge, nullptr); }
void CBwDrawInfo::GetShadText(long* mode, CString& file) const { file = text_file(BwPart::shad, mode); }
CString CBwDrawInfo::GetShadText(long* mode) const { return text_file(BwPart::shad, mode); }
CString CBwDrawInfo::GetShadText_File() const { return text_file(BwPart::shad, nullptr); }
