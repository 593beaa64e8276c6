// Pixel repacking for the recorder's codecs. See pixel_repack.h.
//
// Plain loops over one row at a time: each is a byte shuffle or a split that the compiler
// vectorises well enough that the encoder, not this, is what a recorded frame costs.
#include "platform/recorder/pixel_repack.h"

#include <cstring>

namespace zk {
namespace {

void split_row(const std::uint32_t* src, int width, std::uint8_t* g, std::uint8_t* b, std::uint8_t* r, std::uint8_t* a)
{
    for (int x = 0; x < width; ++x) {
        const std::uint32_t p = src[x];
        b[x] = static_cast<std::uint8_t>(p);
        g[x] = static_cast<std::uint8_t>(p >> 8);
        r[x] = static_cast<std::uint8_t>(p >> 16);
        a[x] = static_cast<std::uint8_t>(p >> 24);
    }
}

// Writes each pixel as four bytes, taking them from the word at bit offsets s0..s3.
template <int s0, int s1, int s2, int s3>
void shuffle_row(const std::uint32_t* src, int width, std::uint8_t* dst)
{
    for (int x = 0; x < width; ++x) {
        const std::uint32_t p = src[x];
        dst[4 * x + 0] = static_cast<std::uint8_t>(p >> s0);
        dst[4 * x + 1] = static_cast<std::uint8_t>(p >> s1);
        dst[4 * x + 2] = static_cast<std::uint8_t>(p >> s2);
        dst[4 * x + 3] = static_cast<std::uint8_t>(p >> s3);
    }
}

} // namespace

void repack_pixels(PixelLayout layout, const std::uint32_t* src, std::size_t src_stride, int width, int height,
                   std::uint8_t* const dst[4], const int dst_stride[4])
{
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* row = src + static_cast<std::size_t>(y) * src_stride;
        auto plane_row = [&](int i) { return dst[i] + static_cast<std::ptrdiff_t>(y) * dst_stride[i]; };
        switch (layout) {
        case PixelLayout::bgra:
            std::memcpy(plane_row(0), row, static_cast<std::size_t>(width) * 4);
            break;
        case PixelLayout::gbrap:
            split_row(row, width, plane_row(0), plane_row(1), plane_row(2), plane_row(3));
            break;
        case PixelLayout::rgba:
            shuffle_row<16, 8, 0, 24>(row, width, plane_row(0));
            break;
        }
    }
}

} // namespace zk
