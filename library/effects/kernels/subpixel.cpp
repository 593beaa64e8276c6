// Sub-pixel picture kernels: the plain loop and an AVX2 version.
//
// The AVX2 version widens bytes to 16-bit lanes: a·(10 − k) + b·k is at most 2550, and
// (x · 6554) >> 16 equals x / 10 for every x up to 2550 (the error x·4/655360 stays below
// 0.016, less than the 0.1 gap to the next whole number), so one multiply-high divides.
#include "effects/kernels/subpixel.h"

#include <immintrin.h>

#include <cstring>

#include "core/simd.h"

namespace zk {

namespace {

using RowFn = void (*)(std::uint32_t*, const std::uint32_t*, const std::uint32_t*, std::size_t, unsigned);

void picture_with(RowFn row, std::uint32_t* dst, const std::uint32_t* src, std::size_t width, std::size_t height,
                  unsigned k)
{
    if (width == 0 || height == 0) return;
    row(dst, src, src + width, (height - 1) * width, k);
    std::memcpy(dst + (height - 1) * width, src + (height - 1) * width, width * sizeof(std::uint32_t));
}

} // namespace

void subpixel_row_ref(std::uint32_t* dst, const std::uint32_t* upper, const std::uint32_t* lower, std::size_t n,
                      unsigned k)
{
    for (std::size_t i = 0; i < n; ++i) dst[i] = subpixel_blend(upper[i], lower[i], k);
}

__attribute__((target("avx2"))) void subpixel_row_avx2(std::uint32_t* dst, const std::uint32_t* upper,
                                                       const std::uint32_t* lower, std::size_t n, unsigned k)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i wa = _mm256_set1_epi16(static_cast<short>(10 - k));
    const __m256i wb = _mm256_set1_epi16(static_cast<short>(k));
    const __m256i tenth = _mm256_set1_epi16(6554);
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(upper + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lower + i));
        const __m256i lo = _mm256_mulhi_epu16(
            _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(a, zero), wa),
                             _mm256_mullo_epi16(_mm256_unpacklo_epi8(b, zero), wb)),
            tenth);
        const __m256i hi = _mm256_mulhi_epu16(
            _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(a, zero), wa),
                             _mm256_mullo_epi16(_mm256_unpackhi_epi8(b, zero), wb)),
            tenth);
        // Unpacking and packing both work within each 128-bit half, so the order comes back.
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_packus_epi16(lo, hi));
    }
    for (; i < n; ++i) dst[i] = subpixel_blend(upper[i], lower[i], k);
}

void subpixel_picture_ref(std::uint32_t* dst, const std::uint32_t* src, std::size_t width, std::size_t height,
                          unsigned k)
{
    picture_with(subpixel_row_ref, dst, src, width, height, k);
}

void subpixel_picture_avx2(std::uint32_t* dst, const std::uint32_t* src, std::size_t width, std::size_t height,
                           unsigned k)
{
    picture_with(subpixel_row_avx2, dst, src, width, height, k);
}

void subpixel_picture(std::uint32_t* dst, const std::uint32_t* src, std::size_t width, std::size_t height,
                      unsigned k)
{
    if (simd_avx2_enabled()) {
        subpixel_picture_avx2(dst, src, width, height, k);
    } else {
        subpixel_picture_ref(dst, src, width, height, k);
    }
}

} // namespace zk
