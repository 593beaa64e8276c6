// Row kernels of the masked blend: the plain loop and an AVX2 version.
//
// The AVX2 version blends eight pixels at a time with exact integer results: d·(255 - m)/255
// uses (x + 1 + (x >> 8)) >> 8, exact for x ≤ 65534, and the division by k uses a correctly
// rounded float division, whose truncation is exact because the numerator is at most
// 255·255 and a quotient that is not whole lies at least 1/255 away from the next integer.
#include "framebuffer/kernels/mask_blend.h"

#include <immintrin.h>

#include "core/simd.h"

namespace zk {

void mask_blend_row_ref(std::uint32_t* dst, const std::uint32_t* src, const std::uint8_t* mask, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) dst[i] = mask_blend(src[i], dst[i], mask ? mask[i] : 0);
}

__attribute__((target("avx2"))) void mask_blend_row_avx2(std::uint32_t* dst, const std::uint32_t* src,
                                                         const std::uint8_t* mask, std::size_t n)
{
    const __m256i zero = _mm256_setzero_si256();
    const __m256i one = _mm256_set1_epi32(1);
    const __m256i k255 = _mm256_set1_epi32(255);
    const __m256i mask8 = _mm256_set1_epi32(0xFF);
    const __m256i rgb = _mm256_set1_epi32(0x00FFFFFF);
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i));
        const __m256i m = mask ? _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(mask + i)))
                               : zero;
        const __m256i sa = _mm256_srli_epi32(s, 24);
        const __m256i dk = _mm256_srli_epi32(d, 24);
        const __m256i x = _mm256_mullo_epi32(dk, _mm256_sub_epi32(k255, m));
        const __m256i q = _mm256_srli_epi32(_mm256_add_epi32(_mm256_add_epi32(x, one), _mm256_srli_epi32(x, 8)), 8);
        const __m256i ksum = _mm256_add_epi32(sa, q);
        const __m256i over = _mm256_cmpgt_epi32(ksum, k255);
        const __m256i k = _mm256_min_epi32(ksum, k255);
        const __m256i ws = _mm256_blendv_epi8(sa, _mm256_sub_epi32(k255, q), over);
        const __m256 kf = _mm256_cvtepi32_ps(_mm256_max_epi32(k, one));
        __m256i out = _mm256_slli_epi32(k, 24);
        for (int shift = 0; shift < 24; shift += 8) {
            const __m256i sc = _mm256_and_si256(_mm256_srli_epi32(s, shift), mask8);
            const __m256i dc = _mm256_and_si256(_mm256_srli_epi32(d, shift), mask8);
            const __m256i num = _mm256_add_epi32(_mm256_mullo_epi32(sc, ws), _mm256_mullo_epi32(dc, q));
            __m256i c = _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(num), kf));
            c = _mm256_min_epi32(c, k255);
            out = _mm256_or_si256(out, _mm256_slli_epi32(c, shift));
        }
        // k = 0: the colour of the source under a mask, of the destination without, key 0.
        const __m256i kzero = _mm256_cmpeq_epi32(k, zero);
        const __m256i mzero = _mm256_cmpeq_epi32(m, zero);
        const __m256i clear = _mm256_and_si256(_mm256_blendv_epi8(s, d, mzero), rgb);
        out = _mm256_blendv_epi8(out, clear, kzero);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), out);
    }
    for (; i < n; ++i) dst[i] = mask_blend(src[i], dst[i], mask ? mask[i] : 0);
}

void mask_blend_row(std::uint32_t* dst, const std::uint32_t* src, const std::uint8_t* mask, std::size_t n)
{
    if (simd_avx2_enabled()) {
        mask_blend_row_avx2(dst, src, mask, n);
    } else {
        mask_blend_row_ref(dst, src, mask, n);
    }
}

} // namespace zk
