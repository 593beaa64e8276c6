// Cache of rasterised glyph masks, so a caption drawn again (or a character drawn twice) does
// not go back to the outline rasteriser.
//
// A glyph mask is drawn once at a whole-pixel reference point and laid into the text mask by
// whole pixels, so the cached copy is exactly what rasterising again would give: the cache
// cannot change an output bit. Entries are keyed by the face file, the scales, the synthetic
// styles, the glyph's orientation and the glyph; the least recently used are dropped beyond
// a byte budget. Entries are shared, so a mask in use stays valid after eviction.
// All functions are thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace zk {

// One glyph in one-bit form: rows of `pitch` bytes, most significant bit leftmost. (left, top)
// is the position of the first bit relative to the glyph's reference point, y down.
struct GlyphMask {
    int left = 0;
    int top = 0;
    int width = 0;
    int rows = 0;
    int pitch = 0;
    std::vector<std::uint8_t> bits;
};

struct GlyphKey {
    std::uint32_t face_id = 0;
    std::uint32_t glyph = 0;
    std::uint64_t scale_x = 0;  // bit patterns of the scales (pixels per font unit)
    std::uint64_t scale_y = 0;
    std::int32_t bold = 0;      // emboldening strength, 1/64 pixel
    std::uint8_t italic = 0;
    std::uint8_t upright = 0;   // turned back upright within a vertical line
    std::uint8_t vertical = 0;  // the line runs downward

    bool operator==(const GlyphKey&) const = default;
};

class GlyphCache {
public:
    static GlyphCache& instance();

    std::shared_ptr<const GlyphMask> find(const GlyphKey& key);
    void insert(const GlyphKey& key, std::shared_ptr<const GlyphMask> mask);
    void clear();
    void set_enabled(bool on);
    bool enabled() const;
    void set_budget(std::size_t bytes);

    struct Stats {
        std::uint64_t hits, misses;
        std::size_t bytes, entries;
    };
    Stats stats() const;

private:
    GlyphCache();
    ~GlyphCache();
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace zk
