// Text to glyph mask: the rendering and fitting steps on top of the GDI text stand-in.
#include "draw/font_mask.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "core/errors.h"
#include "framebuffer/kr_bitmaps.h"
#include "platform/gdi_text/code_page.h"

namespace zk {
namespace {

// The record's values come from callers and files; products are formed in 64 bits and
// clamped where they become 32-bit GDI values, so no value can overflow on the way.
LONG to_long(std::int64_t v) { return static_cast<LONG>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX)); }
std::int64_t trunc64(double v)
{
    if (!(v > -9.0e18 && v < 9.0e18)) return v > 0 ? INT64_MAX / 4 : -(INT64_MAX / 4);
    return static_cast<std::int64_t>(v);
}
std::int64_t round_up(std::int64_t v, std::int64_t m) { return (v + m - 1) / m * m; }

// The line's length by the spacing rules: with a negative spacing the text is measured
// without it and the spacing is counted once less than the gaps between characters.
struct Measure {
    std::int64_t length = 0;
    std::int64_t cy = 0;
};

Measure measure(TextDc& dc, std::string_view text, std::int64_t sp, int chars)
{
    Measure m;
    SIZE size{0, 0};
    if (sp < 0) {
        dc.set_text_character_extra(0);
        dc.text_extent(text, size);
        dc.set_text_character_extra(static_cast<int>(sp));
        m.length = size.cx + static_cast<std::int64_t>(chars - 2) * sp;
    } else {
        dc.text_extent(text, size);
        m.length = size.cx - sp;
    }
    m.cy = size.cy;
    return m;
}

} // namespace

int change_break_char(std::string& text, unsigned brk)
{
    if (brk == 32) return 0;
    if (brk > 255) return -1;
    std::replace(text.begin(), text.end(), ' ', static_cast<char>(brk));
    return 1;
}

int lookup_face(const char* face, LOGFONTA& lf)
{
    if (!face || !*face) return -2;
    bool found = false;
    enum_font_families(face, [&](const ENUMLOGFONTA& elf, const NEWTEXTMETRICA&, DWORD) {
        lf = elf.elfLogFont;
        found = true;
        return false;  // the first entry is the one wanted
    });
    return found ? 0 : -2;
}

int render_font_mask(const FontMaskRequest& req, std::string_view text, bool fit, CKrMonoBitmap& mask,
                     FontMaskResult& result)
{
    // A factor below 1 would divide by zero below; above 16 no renderer reduces the mask.
    const std::int64_t s = req.anti_scale;
    if (s < 1 || s > 16) {
        mask.Delete();
        return ZK_FAIL(-1);
    }
    const bool vertical = req.dir != 0;
    const std::int64_t cell = std::clamp<std::int64_t>(std::int64_t{req.height} * s, INT32_MIN, INT32_MAX);
    const LONG weight = req.weight ? FW_BOLD : FW_NORMAL;
    const BYTE italic = req.italic ? 1 : 0;

    // The face's description, its vertical twin for Japanese vertical text. A face
    // that is not installed keeps the name, so the text layer's fallback face draws it.
    LOGFONTA lf{};
    if (lookup_face(req.face.c_str(), lf) != 0) {
        lf = LOGFONTA{};
        std::string name = req.face.substr(0, LF_FACESIZE - 1);
        std::memcpy(lf.lfFaceName, name.data(), name.size());
    }
    bool at_face = false;
    if (vertical && lf.lfCharSet == SHIFTJIS_CHARSET) {
        LOGFONTA at{};
        std::string name = std::string("@") + lf.lfFaceName;
        if (lookup_face(name.c_str(), at) == 0) {
            lf = at;
            at_face = true;
        }
    }
    lf.lfHeight = to_long(cell);
    lf.lfWidth = 0;
    lf.lfOrientation = 0;
    lf.lfEscapement = vertical ? -900 : 0;
    lf.lfWeight = weight;
    lf.lfItalic = italic;

    // The font at its natural width, with the spacing in force.
    TextDc dc;
    if (!dc.select_font(lf)) {
        mask.Delete();
        return ZK_FAIL(-1);
    }
    const std::int64_t sp0 = std::clamp<std::int64_t>(std::int64_t{req.space} * s, INT32_MIN / 2, INT32_MAX / 2);
    dc.set_text_character_extra(static_cast<int>(sp0));
    TEXTMETRICA tm{};
    dc.text_metrics(tm);

    // The width percentage; horizontal text widened by 1.125 unless AspectMode says
    // not, vertical text always (there it widens the column, and the advance stays natural).
    const int w = req.width_per ? req.width_per : 100;
    if (!vertical) {
        const double k = req.aspect_mode == 0 ? 1.125 : 1.0;
        lf.lfWidth = to_long(trunc64((static_cast<double>(tm.tmAveCharWidth) * w * k + 50) * 0.01));
    } else {
        lf.lfHeight = to_long(trunc64((static_cast<double>(cell * w) * 1.125 + 50) * 0.01));
        lf.lfWidth = tm.tmAveCharWidth;
    }
    dc.select_font(lf);
    dc.text_metrics(tm);

    // The space's width in percent, through justification of the break character.
    std::string line(text);
    if (req.sp_per) {
        int extra = -(tm.tmAveCharWidth / 2) -
                    static_cast<int>(trunc64(static_cast<double>(tm.tmAveCharWidth) * 0.5 * req.sp_per * -0.01));
        dc.set_text_justification(extra, 1);
        change_break_char(line, tm.tmBreakChar);
    }

    // The line's length.
    const int chars = count_characters(line);
    Measure m = measure(dc, line, sp0, chars);

    if (fit) {
        // Fitting: spacing first (never for a single character), then the width, within the
        // limits; the area is in mask pixels.
        const std::int64_t area = vertical ? std::int64_t{req.eria.cy} * s : std::int64_t{req.eria.cx} * s;
        const std::int64_t n = chars;
        std::int64_t sp = sp0;
        int w2 = 0;
        bool width_changes = false;
        if (m.length > area) {
            std::int64_t e = m.length - area;
            bool done = false;
            if (n > 1) {
                sp = sp0 - e / (n - 1);
                const std::int64_t min_sp = std::int64_t{req.fit_sp_min} * s;
                if (sp > min_sp) {
                    done = true;
                } else {
                    sp = min_sp;
                    e -= (sp0 - sp) * (n - 1);
                }
            }
            if (!done && e > 0 && area + e > 0) {
                double q = static_cast<double>(w) * static_cast<double>(area) / static_cast<double>(area + e);
                w2 = static_cast<int>(trunc64(vertical ? q + 0.5 : q));
                if (w2 < req.fit_str_min) w2 = req.fit_str_min;
                width_changes = true;
            }
        } else if (m.length < area && req.fit_mode == 2) {
            std::int64_t g = area - m.length;
            bool done = false;
            if (n > 1) {
                sp = sp0 + g / (n - 1);
                const std::int64_t max_sp = std::int64_t{req.fit_sp_max} * s;
                if (sp <= max_sp) {
                    done = true;
                } else {
                    sp = max_sp;
                    g -= (sp - sp0) * (n - 1);
                }
            }
            // The line with this spacing is area - g long; a line of no length cannot be
            // stretched by widening its characters.
            if (!done && g > 0 && area - g > 0) {
                double q = static_cast<double>(w) * static_cast<double>(area) / static_cast<double>(area - g);
                w2 = static_cast<int>(trunc64(vertical ? q + 0.5 : q));
                if (w2 > req.fit_str_max) w2 = req.fit_str_max;
                width_changes = true;
            }
        }
        if (width_changes) {
            // w2 is a percentage of the natural width, like w; the font in hand already has w
            // applied to its average width (horizontal text), or keeps the natural advance
            // (vertical text), so it is scaled by w2 / w.
            const double ratio = static_cast<double>(w2) * 100.0 / w;
            lf.lfWidth = to_long(trunc64((static_cast<double>(tm.tmAveCharWidth) * ratio + 50) * 0.01));
        }
        sp = std::clamp<std::int64_t>(sp, INT32_MIN / 2, INT32_MAX / 2);
        dc.set_text_character_extra(static_cast<int>(sp));
        dc.select_font(lf);
        dc.text_metrics(tm);
        m = measure(dc, line, sp, chars);
    }

    // Mask size and position.
    const std::int64_t L = m.length;
    const std::int64_t cy = m.cy;
    const std::int64_t pad = req.italic ? tm.tmAveCharWidth / 2 : 0;
    const bool sjis = tm.tmCharSet == SHIFTJIS_CHARSET;
    std::int64_t mask_w, mask_h, x, y;
    if (!vertical) {
        mask_w = round_up(L + pad, 16);
        mask_h = round_up(cy, s);
        x = req.address_mode == 0 ? req.pos.x : req.next_address.x;
        y = req.address_mode == 0 ? req.pos.y : req.next_address.y;
        y -= tm.tmHeight / s;
        if (!sjis) y += tm.tmDescent / s - trunc64(tm.tmHeight * 0.05 / static_cast<double>(s));
        if (req.format == 1) x += req.eria.cx - L / s;
        else if (req.format == 2) x += req.eria.cx / 2 - (L / s) / 2;
        result.next_address = {to_long(std::int64_t{req.pos.x} + L / s), req.pos.y};
    } else {
        mask_w = round_up(cy, 16);
        mask_h = round_up(L + pad, s);
        x = req.pos.x;
        y = req.pos.y;
        if (!sjis) x += trunc64(tm.tmHeight * 0.05 / static_cast<double>(s)) - tm.tmDescent / s;
        if (req.format == 1) y += req.eria.cy - L / s;
        else if (req.format == 2) y += req.eria.cy / 2 - (L / s) / 2;
        result.next_address = {req.pos.x, to_long(std::int64_t{req.pos.y} + L / s)};
    }
    result.origin = {to_long(x), to_long(y)};
    result.length = to_long(L);
    result.cell = to_long(cy);
    result.char_set = tm.tmCharSet;
    result.at_face = at_face;

    // Draw white on black; a vertical line hangs from the column's right edge.
    mask.Delete();
    if (mask_w > 0 && mask_h > 0 && mask.Create(static_cast<long>(mask_w), static_cast<long>(mask_h)) == 0)
        dc.text_out(mask, vertical ? static_cast<int>(cy) : 0, 0, line);
    return 0;
}

} // namespace zk
