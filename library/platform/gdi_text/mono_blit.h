// Laying a one-bit glyph mask into a one-bit text mask: the inner loop of TextOut.
//
// Both rasters are rows of bytes, most significant bit leftmost. The glyph's bits are ORed in
// with its first bit at (x, y) of the target; whatever falls outside the target's width and
// height (its row padding included) is cut. `or_mono_reference` goes bit by bit, straight
// from that definition; `or_mono_words` moves 64 bits at a time and the AVX2 path behind
// `or_mono` 256; all must give the same bytes.
#pragma once

#include <cstdint>
#include <span>

namespace zk {

struct MonoView {
    std::uint8_t* bits;
    long width;      // pixels
    long height;
    long row_bytes;
};

struct MonoSource {
    const std::uint8_t* bits;
    long width;  // pixels; bits past it in a row are zero
    long height;
    long pitch;  // bytes a row
};

void or_mono_reference(const MonoSource& src, const MonoView& dst, long x, long y);
void or_mono_words(const MonoSource& src, const MonoView& dst, long x, long y);
// The AVX2 path when enabled, else or_mono_words.
void or_mono(const MonoSource& src, const MonoView& dst, long x, long y);

// A glyph and where its first bit goes in the target.
struct PlacedMono {
    MonoSource src;
    long x;
    long y;
};

// ORs every glyph into the target, band by band of `band_rows` rows: a supersampled line's
// mask is larger than the processor's caches, and going glyph by glyph through all its rows
// would fetch every row from memory once per glyph. The bytes are the same as ORing the
// glyphs one after another.
void or_mono_all(std::span<const PlacedMono> glyphs, const MonoView& dst, long band_rows);

} // namespace zk
