// The text half of the GDI stand-in: font families, fonts, metrics and text into one-bit masks.
//
// The caption code was written against the Windows GDI: it enumerates font families by face
// name, creates fonts from LOGFONTA records, reads TEXTMETRICA, sets inter-character spacing and
// justification, measures with GetTextExtentPoint32 and draws with TextOut into a monochrome
// bitmap. This layer gives it the same records and the same meanings on FreeType (outlines and
// the one-bit rasteriser), fontconfig (what is installed) and HarfBuzz (vertical glyph forms):
//
//  - Families are the faces' legacy family names (the sfnt name 1, English and Japanese), with
//    their styles. Names compare without regard to ASCII case, in the library's code page. The
//    Windows Japanese faces the system names ("ＭＳ ゴシック", "ＭＳ 明朝", "ＭＳ Ｐゴシック",
//    "ＭＳ Ｐ明朝" and "MS Gothic", "MS Mincho", "MS PGothic", "MS PMincho") are families of
//    their own over the IPA faces when those are installed. A face covering Japanese reports
//    character set 128 (SHIFTJIS_CHARSET) and has a vertical twin "@" + name. A name that is not
//    installed is not found: nothing is substituted for it.
//  - lfHeight > 0 is the cell height (ascent + descent, exactly), lfHeight < 0 the character
//    (em) height, 0 a 16-pixel cell. lfWidth non-zero is the average character width: the glyphs
//    are scaled horizontally so that tmAveCharWidth equals it. The average width is the face's
//    OS/2 xAvgCharWidth, or the advance of 'x' when that is absent; the break character is the
//    space. Heights and widths beyond 16384 pixels are clamped there.
//  - Weight 600 and above on a face without a bold style is emboldened by a 24th of the em
//    (and each advance grows by as much); italic on a face without an italic style is sheared by
//    0.2126 (about 12 degrees).
//  - lfEscapement -900 (or 2700) writes top to bottom: the line is turned a quarter clockwise.
//    With an "@" face, the double-byte characters (as code page 932 counts them) stand upright,
//    take their vertical forms (OpenType 'vert'/'vrt2') and advance by their vertical advance;
//    everything else lies on its side. Other escapements draw as 0.
//  - Advances are whole pixels (each rounded); no kerning or ligatures, as in GDI's TextOut.
//
// Thread safety: every call may come from any thread; the FreeType state is used under one lock
// and the glyph cache under another. Rendering results do not depend on the cache.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "core/zorvik_api.h"
#include "platform/framework/win_types.h"

class CKrMonoBitmap;

constexpr int LF_FACESIZE = 32;
constexpr int LF_FULLFACESIZE = 64;

constexpr LONG FW_DONTCARE = 0;
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;

constexpr BYTE ANSI_CHARSET = 0;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE SHIFTJIS_CHARSET = 128;

constexpr BYTE OUT_STROKE_PRECIS = 3;
constexpr BYTE CLIP_STROKE_PRECIS = 2;
constexpr BYTE DRAFT_QUALITY = 1;
constexpr BYTE FIXED_PITCH = 1;
constexpr BYTE VARIABLE_PITCH = 2;
constexpr BYTE FF_DONTCARE = 0x00;
constexpr BYTE FF_ROMAN = 0x10;
constexpr BYTE FF_SWISS = 0x20;
constexpr BYTE FF_MODERN = 0x30;

// tmPitchAndFamily bits; TMPF_FIXED_PITCH set means a variable-pitch font, as in GDI.
constexpr BYTE TMPF_FIXED_PITCH = 0x01;
constexpr BYTE TMPF_VECTOR = 0x02;
constexpr BYTE TMPF_TRUETYPE = 0x04;

constexpr DWORD RASTER_FONTTYPE = 0x0001;
constexpr DWORD TRUETYPE_FONTTYPE = 0x0004;

constexpr DWORD NTM_ITALIC = 0x00000001;
constexpr DWORD NTM_BOLD = 0x00000020;
constexpr DWORD NTM_REGULAR = 0x00000040;
constexpr DWORD NTM_PS_OPENTYPE = 0x00020000;
constexpr DWORD NTM_TT_OPENTYPE = 0x00040000;

struct LOGFONTA {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    char lfFaceName[LF_FACESIZE];
};
static_assert(sizeof(LOGFONTA) == 60);

struct ENUMLOGFONTA {
    LOGFONTA elfLogFont;
    BYTE elfFullName[LF_FULLFACESIZE];
    BYTE elfStyle[LF_FACESIZE];
};
static_assert(sizeof(ENUMLOGFONTA) == 156);

struct TEXTMETRICA {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    BYTE tmFirstChar;
    BYTE tmLastChar;
    BYTE tmDefaultChar;
    BYTE tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};
static_assert(sizeof(TEXTMETRICA) == 56);

struct NEWTEXTMETRICA {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    BYTE tmFirstChar;
    BYTE tmLastChar;
    BYTE tmDefaultChar;
    BYTE tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
    DWORD ntmFlags;
    UINT ntmSizeEM;
    UINT ntmCellHeight;
    UINT ntmAvgWidth;
};
static_assert(sizeof(NEWTEXTMETRICA) == 72);

namespace zk {

class FontInstance;

// The family enumeration (EnumFontFamilies). With no name (null or empty) every family is
// delivered once, as its first style; with a name, every style of the family of that name
// ("@" + name for the vertical twin). The LOGFONTA and metrics describe a 16-pixel cell.
// Returning false from the callback stops the enumeration. Returns the number delivered.
using FontFamilyProc = std::function<bool(const ENUMLOGFONTA&, const NEWTEXTMETRICA&, DWORD font_type)>;
int enum_font_families(const char* family, const FontFamilyProc& proc);

// Reads the installed faces again (fontconfig's current view). Glyphs already cached stay
// valid: they are keyed by the face file they came from.
void rescan_fonts();

// A memory device context with one selected font and a text state, drawing into one-bit masks:
// ink 1 on background 0, as a monochrome bitmap with text colour white on black.
class TextDc {
public:
    TextDc();
    ~TextDc();
    TextDc(const TextDc&) = delete;
    TextDc& operator=(const TextDc&) = delete;

    // CreateFontIndirect + SelectObject. A face name that is not installed gets the system's
    // fallback face (a Japanese sans-serif face when there is one), as GDI's font mapper would.
    // False only when no scalable face is installed at all.
    bool select_font(const LOGFONTA& lf);
    // SetTextCharacterExtra: added after every character; returns the previous value.
    int set_text_character_extra(int extra);
    int text_character_extra() const { return extra_; }
    // SetTextJustification: break_extra spread over break_count break characters (every
    // break character gets break_extra / break_count, the remainder goes to the first ones);
    // a count below 1 clears it.
    bool set_text_justification(int break_extra, int break_count);
    // GetTextMetrics of the selected font; false with no font selected.
    bool text_metrics(TEXTMETRICA& tm) const;
    // GetTextExtentPoint32: advances, spacing and justification along the line; cy = tmHeight.
    bool text_extent(std::string_view text, SIZE& size) const;
    // TextOut at (x, y), the top-left corner of the first character cell (for vertical text,
    // the top-right corner of the column, the cell turned with the line). Clipped to the mask.
    bool text_out(CKrMonoBitmap& target, int x, int y, std::string_view text) const;

private:
    std::shared_ptr<const FontInstance> font_;
    int extra_ = 0;
    int break_extra_ = 0;
    int break_count_ = 0;
};

// Glyph mask cache statistics and switch, for tests and benchmarks.
struct GlyphCacheStats {
    std::uint64_t hits = 0;
    std::uint64_t misses = 0;
    std::size_t bytes = 0;
    std::size_t entries = 0;
};
GlyphCacheStats glyph_cache_stats();
void glyph_cache_clear();
// Off: every glyph is rasterised afresh (the results are the same bits).
void glyph_cache_enable(bool on);

} // namespace zk
