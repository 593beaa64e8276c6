// CKrFont: the record mapped onto the text-to-mask geometry, and the mask handed to the renderer.
#include "draw/kr_font.h"

#include <cstring>
#include <string>
#include <utility>

#include "core/byte_reader.h"
#include "core/errors.h"
#include "draw/font_mask.h"
#include "draw/kr_bw_draw.h"

namespace zk {
namespace {

// The text fields in their stored order, the face name excepted (it sits between AspectMode
// and Height); the visitor sees each 32-bit field once.
template <typename Info, typename F>
void for_each_text_field(Info& info, F&& f)
{
    f(&info.Height);
    f(&info.WidthPer);
    f(&info.Dir);
    f(&info.Space);
    f(&info.SpPer);
    f(&info.Weight);
    f(&info.Italic);
    f(&info.Format);
    f(&info.Eria.cx);
    f(&info.Eria.cy);
    f(&info.FitMode);
    f(&info.FitStrMax.cx);
    f(&info.FitStrMax.cy);
    f(&info.FitSpMax.cx);
    f(&info.FitSpMax.cy);
    f(&info.Pos.x);
    f(&info.Pos.y);
    f(&info.NextAddress.x);
    f(&info.NextAddress.y);
    f(&info.AddressMode);
}

constexpr std::size_t kNameAt = 8;
constexpr std::size_t kFieldsAt = kNameAt + kFontNameBytes + 2;

} // namespace

void pack_font_info(const tagKRFONTINFO& info, std::span<std::uint8_t, kFontInfoBytes> out)
{
    put_le32(out.data(), static_cast<std::uint32_t>(info.AntiScale));
    put_le32(out.data() + 4, static_cast<std::uint32_t>(info.AspectMode));
    std::memcpy(out.data() + kNameAt, info.FontName, kFontNameBytes);
    out[kNameAt + kFontNameBytes] = 0;
    out[kNameAt + kFontNameBytes + 1] = 0;
    std::size_t at = kFieldsAt;
    for_each_text_field(info, [&](const auto* field) {
        put_le32(out.data() + at, static_cast<std::uint32_t>(*field));
        at += 4;
    });
    pack_bw_draw_info(info.BwDrawInfo, out.subspan<kFontInfoTextBytes, kBwDrawInfoBytes>());
}

std::array<std::uint8_t, kFontInfoBytes> pack_font_info(const tagKRFONTINFO& info)
{
    std::array<std::uint8_t, kFontInfoBytes> out{};
    pack_font_info(info, std::span<std::uint8_t, kFontInfoBytes>(out));
    return out;
}

void unpack_font_info(std::span<const std::uint8_t, kFontInfoBytes> in, tagKRFONTINFO& info)
{
    // Every read below lies inside the fixed-size record, so none can run short.
    ByteReader r(in.data(), in.size());
    r.le32s(info.AntiScale);
    r.le32s(info.AspectMode);
    r.read_bytes(info.FontName, kFontNameBytes);
    // A damaged file may fill the whole field; the name must still end inside it.
    info.FontName[kFontNameBytes - 1] = 0;
    r.seek(kFieldsAt);
    for_each_text_field(info, [&](auto* field) {
        std::int32_t v = 0;
        r.le32s(v);
        *field = v;
    });
    unpack_bw_draw_info(in.subspan<kFontInfoTextBytes, kBwDrawInfoBytes>(), info.BwDrawInfo);
}

} // namespace zk

CKrFont::~CKrFont() = default;

int CKrFont::GetFontLogfont(HWND, const char* face, LOGFONTA* lf)
{
    if (!lf) return ZK_FAIL(-1);
    LOGFONTA found{};
    if (zk::lookup_face(face, found) != 0) return -2;
    *lf = found;
    return 0;
}

int CKrFont::GetAllFontList(HWND, tagENUMER* list)
{
    if (!list) return ZK_FAIL(-1);
    HGLOBAL block = GlobalAlloc(GHND, zk::kEnumEntryBytes);
    if (!block) return ZK_FAIL(-1);
    std::int32_t count = 0;
    // The block grows one entry at a time; when it cannot grow the list ends with what it has.
    zk::enum_font_families(nullptr, [&](const ENUMLOGFONTA& elf, const NEWTEXTMETRICA& ntm, DWORD type) {
        const std::size_t need = (static_cast<std::size_t>(count) + 1) * zk::kEnumEntryBytes;
        if (GlobalSize(block) < need) {
            HGLOBAL grown = GlobalReAlloc(block, need, GMEM_MOVEABLE | GMEM_ZEROINIT);
            if (!grown) return false;
            block = grown;
        }
        auto* entry = static_cast<std::uint8_t*>(GlobalLock(block)) + static_cast<std::size_t>(count) * zk::kEnumEntryBytes;
        std::memcpy(entry, &type, 4);
        std::memcpy(entry + 4, &elf, sizeof elf);
        std::memcpy(entry + 4 + sizeof elf, &ntm, sizeof ntm);
        GlobalUnlock(block);
        ++count;
        return true;
    });
    list->hGlobal = block;
    list->hCount = count;
    return 0;
}

int CKrFont::render_mask(tagKRFONTINFO* info, const char* text, bool fit, CKrMonoBitmap* mask, POINT* origin)
{
    if (!info || !mask) return ZK_FAIL(-1);
    zk::FontMaskRequest req;
    req.anti_scale = info->AntiScale;
    req.aspect_mode = info->AspectMode;
    req.face.assign(info->FontName, strnlen(info->FontName, kFontNameBytes));
    req.height = info->Height;
    req.width_per = info->WidthPer;
    req.dir = info->Dir;
    req.space = info->Space;
    req.sp_per = info->SpPer;
    req.weight = info->Weight;
    req.italic = info->Italic;
    req.format = info->Format;
    req.eria = info->Eria;
    req.fit_mode = info->FitMode;
    req.fit_str_max = info->FitStrMax.cx;
    req.fit_str_min = info->FitStrMax.cy;
    req.fit_sp_max = info->FitSpMax.cx;
    req.fit_sp_min = info->FitSpMax.cy;
    req.pos = info->Pos;
    req.next_address = info->NextAddress;
    req.address_mode = info->AddressMode;
    zk::FontMaskResult result;
    if (zk::render_font_mask(req, text ? std::string_view(text) : std::string_view(), fit, *mask, result) != 0)
        return ZK_FAIL(-1);
    info->NextAddress = result.next_address;
    if (origin) *origin = result.origin;
    return 0;
}

int CKrFont::NomDispBwBmp(HWND, tagKRFONTINFO* info, const char* text, CKrMonoBitmap* mask, POINT* origin)
{
    return render_mask(info, text, false, mask, origin);
}

int CKrFont::FitDispBwBmp(HWND, tagKRFONTINFO* info, const char* text, CKrMonoBitmap* mask, POINT* origin)
{
    return render_mask(info, text, true, mask, origin);
}

int CKrFont::FontFbDisp(HWND, tagKRFONTINFO* info, const char* text, CKrFrameBuffer* fb, CBox* box)
{
    if (!info || !fb) return ZK_FAIL(-1);
    CKrMonoBitmap mask;
    POINT origin{0, 0};
    if (render_mask(info, text, info->FitMode != 0, &mask, &origin) != 0) {
        if (box) *box = CBox();
        return ZK_FAIL(-1);
    }
    info->BwDrawInfo.Pos = origin;
    // Empty text measures nothing and gives no mask: there is nothing to draw, and the
    // area written is empty.
    if (!text || !*text) {
        if (box) *box = CBox();
        return 0;
    }
    CKrBwDraw draw;
    if (draw.DispFb(fb, &info->BwDrawInfo, &mask, box) != 0) {
        if (box) *box = CBox();
        return ZK_FAIL(-1);
    }
    return 0;
}

int CKrFont::FontFbSet(HWND, tagKRFONTINFO* info, const char* text, CKrFrameBuffer* fb, CBox& whole, CBox& body,
                       CBox& edge, CBox& shadow)
{
    if (!info || !fb) return ZK_FAIL(-1);
    auto nothing = [&] {
        fb->DeleteFrameBuffer();
        whole = body = edge = shadow = CBox();
    };
    CKrMonoBitmap mask;
    POINT origin{0, 0};
    if (render_mask(info, text, info->FitMode != 0, &mask, &origin) != 0) {
        nothing();
        return ZK_FAIL(-1);
    }
    info->BwDrawInfo.Pos = origin;
    if (!text || !*text) {
        nothing();
        return 0;
    }
    CKrBwDraw draw;
    if (draw.SetFb(fb, &info->BwDrawInfo, &mask, whole, body, edge, shadow) != 0) {
        nothing();
        return ZK_FAIL(-1);
    }
    return 0;
}

int CKrFont::ChBreakChar(CString& text, unsigned short brk)
{
    std::string s(text.GetString(), static_cast<std::size_t>(text.GetLength()));
    const int r = zk::change_break_char(s, brk);
    if (r == 1) text = CString(std::move(s));
    return r;
}
