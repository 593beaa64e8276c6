// A font as GDI creates it from a LOGFONTA: one face of a family at one size, with its
// metrics, its glyph layout and its glyph masks. Internal to the GDI stand-in.
//
// Sizes follow GDI: a positive height is the cell (ascent + descent, exactly that many
// pixels), a negative one the em; a non-zero width is the average character width, which
// scales the glyphs horizontally. Everything is laid out in a baseline frame (u along the line,
// v up from the baseline) and then turned into the mask: horizontally (x = u, y = -v) or, for
// lines written downward, a quarter turn clockwise (x = v, y = u). Characters standing upright
// in a vertical line are turned back a quarter within their cell first.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/gdi_text/font_catalog.h"
#include "platform/gdi_text/gdi_text.h"
#include "platform/gdi_text/glyph_cache.h"

class CKrMonoBitmap;

namespace zk {

class FaceData;

// The largest cell or width a font is created at, in pixels; larger requests are clamped.
constexpr int kMaxFontPixels = 16384;

struct LaidGlyph {
    GlyphKey key;
    int pen = 0;      // along the line from the start, pixels
    bool empty = false;
};

class FontInstance {
public:
    // The font of `family` (its "@" twin when `at_face`) for the description; the face is the
    // family's style nearest to the weight and italic asked for, synthesised where it has none.
    static std::shared_ptr<const FontInstance> create(const FontFamilyInfo& family, bool at_face, const LOGFONTA& lf);
    ~FontInstance();

    const TEXTMETRICA& metrics() const { return tm_; }
    const FaceData& face() const { return *face_; }
    bool vertical() const { return vertical_; }

    // Lays out text in the current code page. Each glyph's pen position includes the extra
    // spacing after every earlier character and the justification of earlier break characters.
    // Returns the line's length (the text extent).
    long layout(std::string_view text, int extra, int break_extra, int break_count, std::vector<LaidGlyph>* out) const;

    // Draws laid glyphs with the cell's top-left corner (top-right for vertical lines) at (x, y).
    void draw(const std::vector<LaidGlyph>& glyphs, CKrMonoBitmap& target, long x, long y) const;

    // The mask of one glyph, from the cache or rasterised now.
    std::shared_ptr<const GlyphMask> glyph_mask(const GlyphKey& key) const;

private:
    FontInstance() = default;

    std::shared_ptr<FaceData> face_;
    TEXTMETRICA tm_{};
    double sx_ = 0, sy_ = 0;      // pixels per font unit along and across the line
    bool vertical_ = false;       // the line runs downward
    bool at_face_ = false;        // double-byte characters stand upright
    bool italic_ = false;         // synthesised italic
    std::int32_t bold_ = 0;       // synthesised emboldening, 1/64 pixel
    int bold_advance_ = 0;        // what emboldening adds to each advance, pixels
};

// One opened face file, shared by every font made from it; all use is under the engine lock.
class FaceData {
public:
    static std::shared_ptr<FaceData> open(const FaceSource& source);
    ~FaceData();

    std::uint32_t id() const { return id_; }
    const FaceSource& source() const { return source_; }

    // Design metrics, font units.
    int units_per_em = 0;
    int win_ascent = 0;
    int win_descent = 0;
    int line_gap = 0;           // hhea gap less the part of the win cell beyond hhea's
    int avg_char_width = 0;     // xAvgCharWidth, or the advance of 'x'
    int max_advance = 0;
    int em_top = 0;             // top of the em box: where upright glyphs are turned about

    struct Impl;
    std::unique_ptr<Impl> impl;

private:
    FaceData() = default;
    FaceSource source_;
    std::uint32_t id_ = 0;
};

} // namespace zk
