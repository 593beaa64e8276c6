// Moving the board's pixels (32-bit words blue | green << 8 | red << 16 | key << 24) into the
// layouts the lossless codecs take: as they are, four planes (green, blue, red, key: the
// order of the codecs' planar RGB), or bytes in red, green, blue, key order. Only bytes move, so every
// layout gives back exactly what went in.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zk {

enum class PixelLayout {
    bgra,  // one plane, bytes blue, green, red, key: the board's own
    gbrap, // four planes: green, blue, red, key
    rgba,  // one plane, bytes red, green, blue, key
};

// Repacks `height` rows of `width` pixels (rows `src_stride` pixels apart) into the planes
// `dst` (one for the packed layouts, four for gbrap), each row `dst_stride[i]` bytes apart.
void repack_pixels(PixelLayout layout, const std::uint32_t* src, std::size_t src_stride, int width, int height,
                   std::uint8_t* const dst[4], const int dst_stride[4]);

} // namespace zk
