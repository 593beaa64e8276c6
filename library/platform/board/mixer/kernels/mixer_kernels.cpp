// Row kernels of the mixer compositor: the plain loops and AVX2 versions, eight pixels at a
// time.
//
// The gather uses the masked hardware gather, so lanes with a negative index read nothing and
// stay zero. The mix widens each byte to a 16-bit lane: a·(256 − f) + b·f is at most
// 255·256 = 65280, which fits, and the logical shift gives the plain formula's value.
#include "platform/board/mixer/kernels/mixer_kernels.h"

#include <immintrin.h>

#include "core/simd.h"

namespace zk::mixer {

void gather_row_ref(std::uint32_t* dst, const std::uint32_t* src, const std::int32_t* index, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) dst[i] = index[i] < 0 ? 0u : src[index[i]];
}

__attribute__((target("avx2"))) void gather_row_avx2(std::uint32_t* dst, const std::uint32_t* src,
                                                      const std::int32_t* index, std::size_t n)
{
    const __m256i zero = _mm256_setzero_si256();
    const auto* base = reinterpret_cast<const int*>(src);
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i at = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(index + i));
        // Lanes with a negative index have their sign bit set, which the mask reads as "skip".
        const __m256i take = _mm256_cmpgt_epi32(zero, at);
        const __m256i mask = _mm256_xor_si256(take, _mm256_set1_epi32(-1));
        const __m256i safe = _mm256_and_si256(at, mask);
        const __m256i v = _mm256_mask_i32gather_epi32(zero, base, safe, mask, 4);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), v);
    }
    for (; i < n; ++i) dst[i] = index[i] < 0 ? 0u : src[index[i]];
}

void gather_row(std::uint32_t* dst, const std::uint32_t* src, const std::int32_t* index, std::size_t n)
{
    if (simd_avx2_enabled()) {
        gather_row_avx2(dst, src, index, n);
    } else {
        gather_row_ref(dst, src, index, n);
    }
}

void mix_row_ref(std::uint32_t* dst, const std::uint32_t* b, std::size_t n, std::uint32_t f)
{
    for (std::size_t i = 0; i < n; ++i) dst[i] = mix_pixel(dst[i], b[i], f);
}

__attribute__((target("avx2"))) void mix_row_avx2(std::uint32_t* dst, const std::uint32_t* b, std::size_t n,
                                                   std::uint32_t f)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i f16 = _mm256_set1_epi16(static_cast<short>(f));
    const __m256i g16 = _mm256_set1_epi16(static_cast<short>(256 - f));
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i pa = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i));
        const __m256i pb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
        // The unpacks and the pack work within 128-bit halves, so every byte returns to its place.
        const __m256i lo = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(pa, zero), g16),
                                                              _mm256_mullo_epi16(_mm256_unpacklo_epi8(pb, zero), f16)),
                                             8);
        const __m256i hi = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(pa, zero), g16),
                                                              _mm256_mullo_epi16(_mm256_unpackhi_epi8(pb, zero), f16)),
                                             8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_packus_epi16(lo, hi));
    }
    for (; i < n; ++i) dst[i] = mix_pixel(dst[i], b[i], f);
}

void mix_row(std::uint32_t* dst, const std::uint32_t* b, std::size_t n, std::uint32_t f)
{
    if (simd_avx2_enabled()) {
        mix_row_avx2(dst, b, n, f);
    } else {
        mix_row_ref(dst, b, n, f);
    }
}

} // namespace zk::mixer
