// CDrawText: defaults, setters, drawing and the "DTO0" stored form.
#include "draw/draw_text.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/byte_reader.h"
#include "core/checked.h"
#include "core/errors.h"
#include "draw/internal/counted_string.h"
#include "platform/gdi_text/code_page.h"

IMPLEMENT_SERIAL(CDrawText, CObject, VERSIONABLE_SCHEMA | 0)

namespace {

constexpr char kTag[4] = {'D', 'T', 'O', '0'};

} // namespace

using zk::BwPart;

CDrawText::CDrawText()
{
    SetDefault();
}

CDrawText::CDrawText(const CDrawText& o) : CKrFont(o), CObject(o)
{
    copy_from(o);
}

CDrawText& CDrawText::operator=(const CDrawText& o)
{
    if (this != &o) copy_from(o);
    return *this;
}

CDrawText::~CDrawText() = default;

void CDrawText::copy_from(const CDrawText& o)
{
    m_FontInfo = o.m_FontInfo;
    m_String = o.m_String;
    m_BodyFile = o.m_BodyFile;
    m_EdgeFile = o.m_EdgeFile;
    m_ShadFile = o.m_ShadFile;
    m_DispEria = o.m_DispEria;
    ResetConnect();
}

void CDrawText::ResetConnect()
{
    // Every part points at its own string, texture or not: a pointer left over from another
    // object or a file would otherwise dangle.
    m_FontInfo.BwDrawInfo.BodyText.File = m_BodyFile.GetString();
    m_FontInfo.BwDrawInfo.EdgeText.File = m_EdgeFile.GetString();
    m_FontInfo.BwDrawInfo.ShadText.File = m_ShadFile.GetString();
}

void CDrawText::SetDefault()
{
    const std::string face = zk::default_face_name();
    SetFontName(face.c_str());
    SetPos(72, 438);
    SetSize(32, 100);
    SetSpace(0);
    SetItalic(0);
    SetWeight(0);
    SetFormat(0);
    SetEria(0, 0);
    SetDir(0);
    SetSpPer(0);
    SetAntiScale(16);
    SetFitMode(0);
    SetFitStrMax(0, 0);
    SetFitSpMax(0, 0);
    SetAspectMode(0);
    SetAddressMode(0);
    SetNextAddress(0, 0);
    SetEdgeType(0, 0, 0);
    SetShadType(0, 0, 0, 0);
    SetBodyGrad(0, 0, -1, -1, 0xFFFFFFFFu, 0xFFFFFFFFu);
    SetEdgeGrad(0, 0, -1, -1, 0xFF000000u, 0xFF000000u);
    SetShadGrad(0, 0, -1, -1, 0xFF000000u, 0xFF000000u);
    SetBodyText(0, CString(""));
    SetEdgeText(0, "");
    SetShadText(0, "");
    SetBodyCol(0xFFFFFFFFu);
    SetEdgeCol(0xFF000000u);
    SetShadCol(0xFF000000u);
    SetString(CString(""));
}

int CDrawText::CheckFontName(HWND hwnd, const char* face)
{
    LOGFONTA lf{};
    return GetFontLogfont(hwnd, face, &lf) == 0 ? 0 : 1;
}

void CDrawText::SetFontName(const char* face)
{
    std::memset(m_FontInfo.FontName, 0, sizeof m_FontInfo.FontName);
    if (face) std::memcpy(m_FontInfo.FontName, face, strnlen(face, kFontNameBytes - 2));
}

CString CDrawText::GetFontName() const
{
    return CString(m_FontInfo.FontName, static_cast<int>(strnlen(m_FontInfo.FontName, kFontNameBytes)));
}

void CDrawText::SetPos(long x, long y) { m_FontInfo.Pos = {static_cast<LONG>(x), static_cast<LONG>(y)}; }
void CDrawText::SetSize(long height, long width_per)
{
    m_FontInfo.Height = static_cast<std::int32_t>(height);
    m_FontInfo.WidthPer = static_cast<std::int32_t>(width_per);
}
void CDrawText::SetSpace(long n) { m_FontInfo.Space = static_cast<std::int32_t>(n); }
void CDrawText::SetItalic(long flag) { m_FontInfo.Italic = flag ? 1 : 0; }
void CDrawText::SetWeight(long flag) { m_FontInfo.Weight = flag ? 1 : 0; }
void CDrawText::SetFormat(long n) { m_FontInfo.Format = n >= 0 && n <= 2 ? static_cast<std::int32_t>(n) : 0; }
void CDrawText::SetEria(long width, long height)
{
    m_FontInfo.Eria = {static_cast<LONG>(width), static_cast<LONG>(height)};
}
void CDrawText::SetDir(long flag) { m_FontInfo.Dir = flag ? 1 : 0; }
void CDrawText::SetSpPer(long n) { m_FontInfo.SpPer = static_cast<std::int32_t>(n); }
void CDrawText::SetAntiScale(long n)
{
    m_FontInfo.AntiScale = zk::anti_scale_step(n);
    m_FontInfo.BwDrawInfo.AntiScale = m_FontInfo.AntiScale;
}
void CDrawText::SetFitMode(long n) { m_FontInfo.FitMode = n < 0 ? 0 : n > 2 ? 2 : static_cast<std::int32_t>(n); }
void CDrawText::SetFitStrMax(long max, long min)
{
    m_FontInfo.FitStrMax = {static_cast<LONG>(max), static_cast<LONG>(min)};
}
void CDrawText::SetFitSpMax(long max, long min)
{
    m_FontInfo.FitSpMax = {static_cast<LONG>(max), static_cast<LONG>(min)};
}
void CDrawText::SetAspectMode(long n) { m_FontInfo.AspectMode = n == 1 ? 1 : 0; }
void CDrawText::SetAddressMode(long n) { m_FontInfo.AddressMode = n == 1 ? 1 : 0; }
void CDrawText::SetNextAddress(long x, long y)
{
    m_FontInfo.NextAddress = {static_cast<LONG>(x), static_cast<LONG>(y)};
}
void CDrawText::SetBodyText(long mode, const CString& file)
{
    m_BodyFile = file;
    zk::set_text(m_FontInfo.BwDrawInfo, BwPart::body, mode, m_BodyFile.GetString());
}
void CDrawText::SetEdgeText(long mode, const char* file)
{
    m_EdgeFile = CString(file);
    zk::set_text(m_FontInfo.BwDrawInfo, BwPart::edge, mode, m_EdgeFile.GetString());
}
void CDrawText::SetShadText(long mode, const char* file)
{
    m_ShadFile = CString(file);
    zk::set_text(m_FontInfo.BwDrawInfo, BwPart::shad, mode, m_ShadFile.GetString());
}

void CDrawText::GetPos(long* x, long* y) const
{
    if (x) *x = m_FontInfo.Pos.x;
    if (y) *y = m_FontInfo.Pos.y;
}
void CDrawText::GetSize(long* height, long* width_per) const
{
    if (height) *height = m_FontInfo.Height;
    if (width_per) *width_per = m_FontInfo.WidthPer;
}
void CDrawText::GetEria(long* width, long* height) const
{
    if (width) *width = m_FontInfo.Eria.cx;
    if (height) *height = m_FontInfo.Eria.cy;
}
void CDrawText::GetFitStrMax(long* max, long* min) const
{
    if (max) *max = m_FontInfo.FitStrMax.cx;
    if (min) *min = m_FontInfo.FitStrMax.cy;
}
void CDrawText::GetFitSpMax(long* max, long* min) const
{
    if (max) *max = m_FontInfo.FitSpMax.cx;
    if (min) *min = m_FontInfo.FitSpMax.cy;
}
void CDrawText::GetNextAddress(long* x, long* y) const
{
    if (x) *x = m_FontInfo.NextAddress.x;
    if (y) *y = m_FontInfo.NextAddress.y;
}
CString CDrawText::GetBodyText(long* mode) const
{
    zk::get_text_mode(m_FontInfo.BwDrawInfo, BwPart::body, mode);
    return m_BodyFile;
}
CString CDrawText::GetEdgeText(long* mode) const
{
    zk::get_text_mode(m_FontInfo.BwDrawInfo, BwPart::edge, mode);
    return m_EdgeFile;
}
CString CDrawText::GetShadText(long* mode) const
{
    zk::get_text_mode(m_FontInfo.BwDrawInfo, BwPart::shad, mode);
    return m_ShadFile;
}

int CDrawText::DrawFrame(HWND hwnd, CKrFrameBuffer* fb)
{
    ResetConnect();
    return FontFbDisp(hwnd, &m_FontInfo, m_String.GetString(), fb, &m_DispEria);
}

int CDrawText::DrawFrameEria(HWND hwnd, CKrFrameBuffer* fb, CBox& whole, CBox& body, CBox& edge, CBox& shadow)
{
    ResetConnect();
    const int r = FontFbSet(hwnd, &m_FontInfo, m_String.GetString(), fb, m_DispEria, body, edge, shadow);
    whole = m_DispEria;
    return r;
}

int CDrawText::Write(CFile* file)
{
    if (!file) return ZK_FAIL(0);
    try {
        file->Write(kTag, 4);
        const auto record = zk::pack_font_info(m_FontInfo);
        file->Write(record.data(), static_cast<UINT>(record.size()));
        zk::write_counted_string(*file, m_String);
        zk::write_counted_string(*file, m_BodyFile);
        zk::write_counted_string(*file, m_EdgeFile);
        zk::write_counted_string(*file, m_ShadFile);
    } catch (...) {
        return ZK_FAIL(0);
    }
    return 1;
}

int CDrawText::Read(CFile* file)
{
    if (!file) return ZK_FAIL(0);
    bool ok = false;
    try {
        ok = [&]() {
            // The tag is not compared: objects written with another tag are read all the same.
            char tag[4];
            if (file->Read(tag, 4) != 4) return false;
            std::array<std::uint8_t, zk::kFontInfoBytes> record;
            if (file->Read(record.data(), static_cast<UINT>(record.size())) != record.size()) return false;
            zk::unpack_font_info(record, m_FontInfo);
            for (CString* s : {&m_String, &m_BodyFile, &m_EdgeFile, &m_ShadFile}) {
                if (!zk::read_counted_string(*file, *s)) return false;
            }
            return true;
        }();
    } catch (...) {
        ok = false;
    }
    // However far the read got, the record's names point at this object's own strings.
    ResetConnect();
    return ok ? 1 : ZK_FAIL(0);
}

void CDrawText::Serialize(CArchive& ar)
{
    try {
        ar.Flush();
    } catch (...) {
        return;
    }
    if (ar.IsLoading())
        Read(ar.GetFile());
    else
        Write(ar.GetFile());
}
