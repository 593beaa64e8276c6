// CKrFontDraw: the font table, the attribute setters and the two drawing calls.
#include "draw/kr_font_draw.h"

#include <cstring>

#include "core/errors.h"
#include "platform/gdi_text/code_page.h"

namespace {

bool valid_no(long no) { return no >= 1 && no <= CKrFontDraw::kSlots; }

} // namespace

using zk::BwPart;

CKrFontDraw::CKrFontDraw() = default;

CKrFontDraw::CKrFontDraw(const CKrFontDraw& o) : CKrFont(o)
{
    copy_from(o);
}

CKrFontDraw& CKrFontDraw::operator=(const CKrFontDraw& o)
{
    if (this != &o) copy_from(o);
    return *this;
}

CKrFontDraw::~CKrFontDraw() = default;

void CKrFontDraw::copy_from(const CKrFontDraw& o)
{
    m_pWnd = o.m_pWnd;
    m_FontInfo = o.m_FontInfo;
    m_Slots = o.m_Slots;
    m_FontNo = o.m_FontNo;
    m_Files = o.m_Files;
    // The record names a texture only through this object's own strings; a part that never
    // had a texture keeps a null pointer.
    for (BwPart p : zk::kBwParts) {
        tagTEXTUREINFO& t = zk::text_of(m_FontInfo.BwDrawInfo, p);
        if (t.File) t.File = m_Files[static_cast<int>(p)].c_str();
    }
}

void CKrFontDraw::Initial(CWnd* wnd)
{
    m_pWnd = wnd;
    const std::string face = zk::default_face_name();
    FontOpen(face.c_str(), 1);
    SetFontNo(1);
    SetPos(0, 0);
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
    AddNextAddress(0, 0);
    SetBodyCol(0xFFFFFFFFu);
    SetEdgeCol(0xFF000000u);
    SetShadCol(0xFF000000u);
    SetEdgeType(0, 0, 0);
    SetShadType(0, 0, 0, 0);
}

int CKrFontDraw::FontOpen(const char* face, long no)
{
    const char* name = face ? face : "";
    if (!valid_no(no)) {
        zk::report_message("FontOpenErr %d:%s", static_cast<int>(no), name);
        return ZK_FAIL(-1);
    }
    LOGFONTA lf{};
    if (GetFontLogfont(hwnd(), name, &lf) != 0) {
        zk::report_message("FontOpenErr %d:%s", static_cast<int>(no), name);
        return ZK_FAIL(-1);
    }
    tagFONTSLOT& slot = m_Slots[static_cast<std::size_t>(no - 1)];
    slot = tagFONTSLOT{};
    slot.No = static_cast<std::int32_t>(no);
    std::memcpy(slot.Name, lf.lfFaceName, strnlen(lf.lfFaceName, kFontNameBytes - 2));
    return 0;
}

int CKrFontDraw::FontClose(long no)
{
    if (!valid_no(no)) {
        zk::report_message("FontCloseErr %d", static_cast<int>(no));
        return ZK_FAIL(-1);
    }
    m_Slots[static_cast<std::size_t>(no - 1)] = tagFONTSLOT{};
    return 0;
}

int CKrFontDraw::FontAllClose()
{
    m_Slots.fill(tagFONTSLOT{});
    return 0;
}

int CKrFontDraw::SetFontNo(long no)
{
    if (!valid_no(no)) {
        zk::report_message("SetFontNoErr Limit %d", static_cast<int>(no));
        return ZK_FAIL(-1);
    }
    const tagFONTSLOT& slot = m_Slots[static_cast<std::size_t>(no - 1)];
    if (slot.No == 0) {
        zk::report_message("SetFontNoErr NotOpen %d", static_cast<int>(no));
        return ZK_FAIL(-1);
    }
    m_FontNo = static_cast<std::int32_t>(no);
    std::memcpy(m_FontInfo.FontName, slot.Name, kFontNameBytes);
    return 0;
}

const tagFONTSLOT* CKrFontDraw::GetSlot(long no) const
{
    return valid_no(no) ? &m_Slots[static_cast<std::size_t>(no - 1)] : nullptr;
}

int CKrFontDraw::SetPos(long x, long y)
{
    m_FontInfo.Pos = {static_cast<LONG>(x), static_cast<LONG>(y)};
    return 0;
}

int CKrFontDraw::SetSize(long height, long width_per)
{
    m_FontInfo.Height = static_cast<std::int32_t>(height);
    m_FontInfo.WidthPer = static_cast<std::int32_t>(width_per);
    return 0;
}

int CKrFontDraw::SetSpace(long n)
{
    m_FontInfo.Space = static_cast<std::int32_t>(n);
    return 0;
}

int CKrFontDraw::SetItalic(long flag)
{
    m_FontInfo.Italic = flag ? 1 : 0;
    return 0;
}

int CKrFontDraw::SetWeight(long flag)
{
    m_FontInfo.Weight = flag ? 1 : 0;
    return 0;
}

int CKrFontDraw::SetFormat(long n)
{
    m_FontInfo.Format = n >= 0 && n <= 2 ? static_cast<std::int32_t>(n) : 0;
    return 0;
}

int CKrFontDraw::SetEria(long width, long height)
{
    m_FontInfo.Eria = {static_cast<LONG>(width), static_cast<LONG>(height)};
    return 0;
}

int CKrFontDraw::SetDir(long flag)
{
    m_FontInfo.Dir = flag ? 1 : 0;
    return 0;
}

int CKrFontDraw::SetSpPer(long n)
{
    m_FontInfo.SpPer = static_cast<std::int32_t>(n);
    return 0;
}

int CKrFontDraw::SetAntiScale(long n)
{
    m_FontInfo.AntiScale = zk::anti_scale_step(n);
    m_FontInfo.BwDrawInfo.AntiScale = m_FontInfo.AntiScale;
    return 0;
}

int CKrFontDraw::SetFitMode(long n)
{
    m_FontInfo.FitMode = n < 0 ? 0 : n > 2 ? 2 : static_cast<std::int32_t>(n);
    return 0;
}

int CKrFontDraw::SetFitStrMax(long max, long min)
{
    m_FontInfo.FitStrMax = {static_cast<LONG>(max), static_cast<LONG>(min)};
    return 0;
}

int CKrFontDraw::SetFitSpMax(long max, long min)
{
    m_FontInfo.FitSpMax = {static_cast<LONG>(max), static_cast<LONG>(min)};
    return 0;
}

int CKrFontDraw::SetAspectMode(long n)
{
    m_FontInfo.AspectMode = n == 1 ? 1 : 0;
    return 0;
}

int CKrFontDraw::SetAddressMode(long n)
{
    m_FontInfo.AddressMode = n == 1 ? 1 : 0;
    return 0;
}

int CKrFontDraw::AddNextAddress(long dx, long dy)
{
    // Wraps like the 32-bit field it is, rather than overflowing.
    m_FontInfo.NextAddress.x = static_cast<LONG>(static_cast<std::uint32_t>(m_FontInfo.NextAddress.x) +
                                                 static_cast<std::uint32_t>(dx));
    m_FontInfo.NextAddress.y = static_cast<LONG>(static_cast<std::uint32_t>(m_FontInfo.NextAddress.y) +
                                                 static_cast<std::uint32_t>(dy));
    return 0;
}

int CKrFontDraw::SetBodyCol(DWORD col)
{
    zk::set_col(m_FontInfo.BwDrawInfo, BwPart::body, col);
    return 0;
}

int CKrFontDraw::SetEdgeCol(DWORD col)
{
    zk::set_col(m_FontInfo.BwDrawInfo, BwPart::edge, col);
    return 0;
}

int CKrFontDraw::SetShadCol(DWORD col)
{
    zk::set_col(m_FontInfo.BwDrawInfo, BwPart::shad, col);
    return 0;
}

int CKrFontDraw::SetEdgeType(long type, long size, long soft_pen)
{
    zk::set_edge_type(m_FontInfo.BwDrawInfo, type, size, soft_pen);
    return 0;
}

int CKrFontDraw::SetShadType(long type, long size, long soft_size, long soft_pen)
{
    zk::set_shad_type(m_FontInfo.BwDrawInfo, type, size, soft_size, soft_pen);
    return 0;
}

int CKrFontDraw::SetBodyGrad(long mode, long patern, long x, long y, DWORD col1, DWORD col2)
{
    zk::set_grad(m_FontInfo.BwDrawInfo, BwPart::body, mode, patern, x, y, col1, col2);
    return 0;
}

int CKrFontDraw::SetEdgeGrad(long mode, long patern, long x, long y, DWORD col1, DWORD col2)
{
    zk::set_grad(m_FontInfo.BwDrawInfo, BwPart::edge, mode, patern, x, y, col1, col2);
    return 0;
}

int CKrFontDraw::SetShadGrad(long mode, long patern, long x, long y, DWORD col1, DWORD col2)
{
    zk::set_grad(m_FontInfo.BwDrawInfo, BwPart::shad, mode, patern, x, y, col1, col2);
    return 0;
}

int CKrFontDraw::set_text(BwPart part, long mode, const char* file)
{
    std::string& name = m_Files[static_cast<int>(part)];
    name = file ? file : "";
    zk::set_text(m_FontInfo.BwDrawInfo, part, mode, name.c_str());
    return 0;
}

int CKrFontDraw::SetBodyText(long mode, const char* file) { return set_text(BwPart::body, mode, file); }
int CKrFontDraw::SetEdgeText(long mode, const char* file) { return set_text(BwPart::edge, mode, file); }
int CKrFontDraw::SetShadText(long mode, const char* file) { return set_text(BwPart::shad, mode, file); }

int CKrFontDraw::FontDisp(const char* text, CKrFrameBuffer* fb, CBox* box)
{
    if (!text || !*text) return ZK_FAIL(-1);
    return FontFbDisp(hwnd(), &m_FontInfo, text, fb, box);
}

int CKrFontDraw::FontFbSet(const char* text, CKrFrameBuffer* fb, CBox& whole, CBox& body, CBox& edge, CBox& shadow)
{
    if (!text || !*text) return ZK_FAIL(-1);
    return CKrFont::FontFbSet(hwnd(), &m_FontInfo, text, fb, whole, body, edge, shadow);
}
