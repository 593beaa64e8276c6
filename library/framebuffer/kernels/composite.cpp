// Row kernels of the key composite: the plain loop and an AVX2 version.
//
// The AVX2 version handles eight pixels at a time. Runs that are wholly opaque or wholly
// transparent (the common case in captions) take short cuts. Over a destination whose eight
// keys are all 255 (a caption laid on a picture) t is 255 − a and k is 255, so each colour is
// (D.c·(255 − a) + S.c·a)/255, which fits 16-bit lanes and divides exactly by the shortcut
// below; over eight keys of 0 the result is S, or D where S is the zero word. Other mixes go
// through the full formula with exact integer results: d·a/255 uses (x + 1 + (x >> 8)) >> 8, exact for
// x ≤ 65534, and the division by k multiplies by a float reciprocal and adds a small bias
// before truncating: the numerator is below 65026, so the product is within 4e-5 of the true
// quotient, and a quotient that is not whole lies at least 1/255 from the next integer; the
// bias of 1/1024 lifts whole quotients that came out a hair low without pushing any other
// across an integer. quotient_by_reciprocal is checked against integer division for every
// numerator and divisor that can occur.
#include "framebuffer/kernels/composite.h"

#include <immintrin.h>

#include "core/simd.h"

namespace zk {

std::uint32_t quotient_by_reciprocal(std::uint32_t num, std::uint32_t k)
{
    const float r = 1.0f / static_cast<float>(k);
    return static_cast<std::uint32_t>(static_cast<float>(num) * r + kQuotientBias);
}

void composite_row_ref(std::uint32_t* dst, const std::uint32_t* src, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) dst[i] = key_composite(src[i], dst[i]);
}

namespace {

// (dc·(255 − a) + sc·a)/255 in sixteen 16-bit lanes; the sum stays below 65026, where the
// shortcut divides exactly and nothing overflows.
__attribute__((target("avx2"))) inline __m256i blend_by_255(__m256i dc, __m256i sc, __m256i a)
{
    const __m256i x =
        _mm256_add_epi16(_mm256_mullo_epi16(dc, _mm256_sub_epi16(_mm256_set1_epi16(255), a)), _mm256_mullo_epi16(sc, a));
    const __m256i one = _mm256_set1_epi16(1);
    return _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(x, one), _mm256_srli_epi16(x, 8)), 8);
}

// Eight pixels over eight opaque destination pixels.
__attribute__((target("avx2"))) inline __m256i over_opaque8(__m256i s, __m256i d)
{
    const __m256i zero = _mm256_setzero_si256();
    // Bytes to 16-bit lanes: lo holds pixels 0, 1 | 4, 5 and hi pixels 2, 3 | 6, 7, which the
    // pack at the end puts back in order.
    const __m256i s_lo = _mm256_unpacklo_epi8(s, zero), s_hi = _mm256_unpackhi_epi8(s, zero);
    const __m256i d_lo = _mm256_unpacklo_epi8(d, zero), d_hi = _mm256_unpackhi_epi8(d, zero);
    // Each pixel's key in its four lanes.
    const __m256i a_lo = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(s_lo, 0xFF), 0xFF);
    const __m256i a_hi = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(s_hi, 0xFF), 0xFF);
    const __m256i out = _mm256_packus_epi16(blend_by_255(d_lo, s_lo, a_lo), blend_by_255(d_hi, s_hi, a_hi));
    return _mm256_or_si256(out, _mm256_set1_epi32(static_cast<int>(0xFF000000u)));
}

} // namespace

__attribute__((target("avx2"))) void composite_row_avx2(std::uint32_t* dst, const std::uint32_t* src, std::size_t n)
{
    const __m256i key_mask = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    const __m256i zero = _mm256_setzero_si256();
    const __m256i k255 = _mm256_set1_epi32(255);
    const __m256i one = _mm256_set1_epi32(1);
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        // Eight zero words (the empty space around captions) leave the destination as it is.
        if (_mm256_testz_si256(s, s)) continue;
        const __m256i a = _mm256_srli_epi32(s, 24);
        const __m256i opaque = _mm256_cmpeq_epi32(a, k255);
        if (_mm256_movemask_epi8(opaque) == -1) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), s);
            continue;
        }
        const __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i));
        const __m256i d_key = _mm256_and_si256(d, key_mask);
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(d_key, key_mask)) == -1) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), over_opaque8(s, d));
            continue;
        }
        if (_mm256_testz_si256(d, key_mask)) {
            // t is 0 and k is a: S, except that a zero word leaves D.
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i),
                                _mm256_blendv_epi8(s, d, _mm256_cmpeq_epi32(s, zero)));
            continue;
        }
        const __m256i dk = _mm256_srli_epi32(d, 24);
        const __m256i clear = _mm256_cmpeq_epi32(a, zero);
        // a = 0: take S only where d = 0 and S != 0.
        const __m256i take_s_clear = _mm256_andnot_si256(_mm256_cmpeq_epi32(s, zero), _mm256_cmpeq_epi32(dk, zero));
        const __m256i result_clear = _mm256_blendv_epi8(d, s, take_s_clear);
        if (_mm256_movemask_epi8(clear) == -1) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), result_clear);
            continue;
        }

        // 0 < a < 255 (lanes with other keys are replaced below).
        const __m256i da = _mm256_mullo_epi32(dk, a);
        const __m256i da255 = _mm256_srli_epi32(_mm256_add_epi32(_mm256_add_epi32(da, one), _mm256_srli_epi32(da, 8)), 8);
        const __m256i t = _mm256_sub_epi32(dk, da255);
        __m256i k = _mm256_add_epi32(t, a);
        // Keep k non-zero in lanes whose result is not used.
        k = _mm256_max_epi32(k, one);
        const __m256 rk = _mm256_div_ps(_mm256_set1_ps(1.0f), _mm256_cvtepi32_ps(k));
        const __m256 eps = _mm256_set1_ps(kQuotientBias);
        const __m256i mask8 = _mm256_set1_epi32(0xFF);
        __m256i out = _mm256_slli_epi32(k, 24);
        for (int shift = 0; shift < 24; shift += 8) {
            const __m256i dc = _mm256_and_si256(_mm256_srli_epi32(d, shift), mask8);
            const __m256i sc = _mm256_and_si256(_mm256_srli_epi32(s, shift), mask8);
            const __m256i num = _mm256_add_epi32(_mm256_mullo_epi32(dc, t), _mm256_mullo_epi32(sc, a));
            const __m256i q = _mm256_cvttps_epi32(_mm256_add_ps(_mm256_mul_ps(_mm256_cvtepi32_ps(num), rk), eps));
            out = _mm256_or_si256(out, _mm256_slli_epi32(q, shift));
        }
        out = _mm256_blendv_epi8(out, s, opaque);
        out = _mm256_blendv_epi8(out, result_clear, clear);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), out);
    }
    for (; i < n; ++i) dst[i] = key_composite(src[i], dst[i]);
}

void composite_row(std::uint32_t* dst, const std::uint32_t* src, std::size_t n)
{
    if (simd_avx2_enabled()) {
        composite_row_avx2(dst, src, n);
    } else {
        composite_row_ref(dst, src, n);
    }
}

} // namespace zk
