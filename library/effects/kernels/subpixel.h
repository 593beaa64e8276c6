// The sub-pixel picture kernel of the roll: a picture moved up by k tenths of a pixel.
//
// Each pixel is the blend of itself (weight 10 − k) and the pixel below it (weight k), byte by
// byte, (a·(10 − k) + b·k) / 10 truncated; where the two are equal the result is the pixel
// itself, which the formula gives anyway. The last row has no row below and is copied.
//
// Preconditions, stated once: k ≤ 10; rows are `width` pixels with no padding; dst does not
// overlap src. Because rows follow each other, the blend of rows 0 ... h − 2 with the rows
// below is a single run of (h − 1)·width pixels against the same run shifted by one row.
//
// The plain functions are the definition; the AVX2 ones give identical bytes and are used when
// simd_avx2_enabled() says so (ZORVIK_NO_SIMD=1 forces the plain ones).
#pragma once

#include <cstddef>
#include <cstdint>

namespace zk {

inline std::uint32_t subpixel_blend(std::uint32_t a, std::uint32_t b, unsigned k)
{
    if (a == b) return a;
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const std::uint32_t v = (((a >> shift) & 0xFF) * (10 - k) + ((b >> shift) & 0xFF) * k) / 10;
        out |= v << shift;
    }
    return out;
}

// dst[i] = subpixel_blend(upper[i], lower[i], k) for i < n.
void subpixel_row_ref(std::uint32_t* dst, const std::uint32_t* upper, const std::uint32_t* lower, std::size_t n,
                      unsigned k);
void subpixel_row_avx2(std::uint32_t* dst, const std::uint32_t* upper, const std::uint32_t* lower, std::size_t n,
                       unsigned k);

// The whole picture: width × height pixels of src shifted up by k tenths into dst.
void subpixel_picture_ref(std::uint32_t* dst, const std::uint32_t* src, std::size_t width, std::size_t height,
                          unsigned k);
void subpixel_picture_avx2(std::uint32_t* dst, const std::uint32_t* src, std::size_t width, std::size_t height,
                           unsigned k);
void subpixel_picture(std::uint32_t* dst, const std::uint32_t* src, std::size_t width, std::size_t height,
                      unsigned k);

} // namespace zk
