// The pixel swizzles: plain loops and AVX2 byte shuffles, eight pixels a step.
//
// The 3-byte side is read or written as two 16-byte halves of which 12 bytes count; the 4
// bytes beyond are either read but unused (rgb_to_bgra) or written and then overwritten by
// the next step (bgra_to_rgb). The vector loop therefore stops while at least two more pixels
// follow, and the plain loop finishes the row, so no byte outside the buffers is touched.
#include "imagefile/kernels/pixel_swizzle.h"

#include <cstring>
#include <immintrin.h>

#include "core/simd.h"

namespace zk {

void rgb_to_bgra_ref(const std::uint8_t* src, std::uint32_t* dst, std::size_t n)
{
    // Backwards, reading each pixel before its word is stored: safe when dst overlaps src
    // from above, as it does when a decoded row is widened in place.
    for (std::size_t i = n; i-- > 0;) {
        const std::uint8_t* p = src + 3 * i;
        const std::uint32_t v = static_cast<std::uint32_t>(p[2]) | static_cast<std::uint32_t>(p[1]) << 8 |
                                static_cast<std::uint32_t>(p[0]) << 16 | 0xFF000000u;
        std::memcpy(dst + i, &v, 4);
    }
}

void bgra_to_rgb_ref(const std::uint32_t* src, std::uint8_t* dst, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i, dst += 3) {
        const std::uint32_t v = src[i];
        dst[0] = static_cast<std::uint8_t>(v >> 16);
        dst[1] = static_cast<std::uint8_t>(v >> 8);
        dst[2] = static_cast<std::uint8_t>(v);
    }
}

void swap_red_blue_ref(const std::uint8_t* src, std::uint8_t* dst, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i, src += 4, dst += 4) {
        const std::uint8_t r = src[0], g = src[1], b = src[2], k = src[3];
        dst[0] = b;
        dst[1] = g;
        dst[2] = r;
        dst[3] = k;
    }
}

__attribute__((target("avx2"))) void rgb_to_bgra_avx2(const std::uint8_t* src, std::uint32_t* dst, std::size_t n)
{
    const __m128i lane = _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
    const __m256i mask = _mm256_broadcastsi128_si256(lane);
    const __m256i key = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    if (n < 10) {
        rgb_to_bgra_ref(src, dst, n);
        return;
    }
    // Steps of eight read 28 bytes from 3i, so they cover pixels 0 .. last; the pixels after
    // them go first, backwards like the whole row, so that an in-place widening never
    // overwrites source bytes still to be read: each step loads before it stores, and the
    // words it stores lie above every source byte of the steps below it.
    const std::size_t steps = (n - 2) / 8;
    const std::size_t last = steps * 8;
    rgb_to_bgra_ref(src + 3 * last, dst + last, n - last);
    for (std::size_t s = steps; s-- > 0;) {
        const std::size_t i = s * 8;
        const std::uint8_t* p = src + 3 * i;
        const __m256i v = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 12)), 1);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_or_si256(_mm256_shuffle_epi8(v, mask), key));
    }
}

__attribute__((target("avx2"))) void bgra_to_rgb_avx2(const std::uint32_t* src, std::uint8_t* dst, std::size_t n)
{
    const __m128i lane = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    const __m256i mask = _mm256_broadcastsi128_si256(lane);
    std::size_t i = 0;
    for (; i + 10 <= n; i += 8) {
        const __m256i v = _mm256_shuffle_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i)), mask);
        std::uint8_t* p = dst + 3 * i;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(v));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 12), _mm256_extracti128_si256(v, 1));
    }
    bgra_to_rgb_ref(src + i, dst + 3 * i, n - i);
}

__attribute__((target("avx2"))) void swap_red_blue_avx2(const std::uint8_t* src, std::uint8_t* dst, std::size_t n)
{
    const __m128i lane = _mm_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
    const __m256i mask = _mm256_broadcastsi128_si256(lane);
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * i), _mm256_shuffle_epi8(v, mask));
    }
    swap_red_blue_ref(src + 4 * i, dst + 4 * i, n - i);
}

void rgb_to_bgra(const std::uint8_t* src, std::uint32_t* dst, std::size_t n)
{
    if (simd_avx2_enabled()) rgb_to_bgra_avx2(src, dst, n);
    else rgb_to_bgra_ref(src, dst, n);
}

void bgra_to_rgb(const std::uint32_t* src, std::uint8_t* dst, std::size_t n)
{
    if (simd_avx2_enabled()) bgra_to_rgb_avx2(src, dst, n);
    else bgra_to_rgb_ref(src, dst, n);
}

void swap_red_blue(const std::uint8_t* src, std::uint8_t* dst, std::size_t n)
{
    if (simd_avx2_enabled()) swap_red_blue_avx2(src, dst, n);
    else swap_red_blue_ref(src, dst, n);
}

} // namespace zk
