// Row kernels of the fade blends: the plain loops and AVX2 versions, eight pixels at a time.
//
// The key scale and the cross-dissolve are exact integer arithmetic in the vector lanes. The
// cross-dissolve mixes all four bytes of a pixel at once in 16-bit lanes: a byte times a
// factor of at most 256 is at most 65280, so the product fits and the logical shift gives the
// same value as the plain formula. The dissolve scales the keys into a small staging row and
// hands it to the key composite's own vectorised row kernel; a pixel whose scaled key is 0 is
// staged as the zero word, which the composite leaves out, as the dissolve asks.
#include "effects/kernels/fade_blend.h"

#include <immintrin.h>

#include <algorithm>

#include "core/simd.h"

namespace zk::fx {

void scale_key_row_ref(std::uint32_t* dst, const std::uint32_t* src, std::size_t n, std::uint32_t f)
{
    for (std::size_t i = 0; i < n; ++i) dst[i] = scale_key(src[i], f);
}

void dissolve_row_ref(std::uint32_t* dst, const std::uint32_t* b, std::size_t n, std::uint32_t f)
{
    for (std::size_t i = 0; i < n; ++i) dst[i] = dissolve(dst[i], b[i], f);
}

void cross_dissolve_row_ref(std::uint32_t* dst, const std::uint32_t* a, const std::uint32_t* b, std::size_t n,
                            std::uint32_t f)
{
    for (std::size_t i = 0; i < n; ++i) dst[i] = cross_dissolve(a[i], b[i], f);
}

namespace {

// Colour of each lane with its key replaced by (key·f) >> 8; the new keys go to `keys`.
__attribute__((target("avx2"))) inline __m256i scaled_lanes(__m256i p, __m256i f, __m256i& keys)
{
    keys = _mm256_srli_epi32(_mm256_mullo_epi32(_mm256_srli_epi32(p, 24), f), 8);
    return _mm256_or_si256(_mm256_and_si256(p, _mm256_set1_epi32(0x00FFFFFF)), _mm256_slli_epi32(keys, 24));
}

// Bytes widened to 16-bit lanes: ((b·f) >> 8) + ((a·g) >> 8) in each lane.
__attribute__((target("avx2"))) inline __m256i mixed_words(__m256i a, __m256i b, __m256i f, __m256i g)
{
    return _mm256_add_epi16(_mm256_srli_epi16(_mm256_mullo_epi16(b, f), 8),
                            _mm256_srli_epi16(_mm256_mullo_epi16(a, g), 8));
}

} // namespace

__attribute__((target("avx2"))) void scale_key_row_avx2(std::uint32_t* dst, const std::uint32_t* src, std::size_t n,
                                                         std::uint32_t f)
{
    const __m256i fv = _mm256_set1_epi32(static_cast<int>(f));
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        __m256i keys;
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), scaled_lanes(s, fv, keys));
    }
    for (; i < n; ++i) dst[i] = scale_key(src[i], f);
}

__attribute__((target("avx2"))) void dissolve_row_avx2(std::uint32_t* dst, const std::uint32_t* b, std::size_t n,
                                                        std::uint32_t f)
{
    constexpr std::size_t kChunk = 64;
    alignas(32) std::uint32_t staged[kChunk];
    const __m256i fv = _mm256_set1_epi32(static_cast<int>(f));
    const __m256i zero = _mm256_setzero_si256();
    for (std::size_t i = 0; i < n; i += kChunk) {
        const std::size_t m = std::min(kChunk, n - i);
        std::size_t j = 0;
        for (; j + 8 <= m; j += 8) {
            const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i + j));
            __m256i keys;
            const __m256i scaled = scaled_lanes(s, fv, keys);
            const __m256i gone = _mm256_cmpeq_epi32(keys, zero);
            _mm256_store_si256(reinterpret_cast<__m256i*>(staged + j), _mm256_andnot_si256(gone, scaled));
        }
        for (; j < m; ++j) {
            const std::uint32_t p = scale_key(b[i + j], f);
            staged[j] = (p >> 24) == 0 ? 0 : p;
        }
        zk::composite_row_avx2(dst + i, staged, m);
    }
}

__attribute__((target("avx2"))) void cross_dissolve_row_avx2(std::uint32_t* dst, const std::uint32_t* a,
                                                              const std::uint32_t* b, std::size_t n, std::uint32_t f)
{
    const std::uint32_t g = 256 - f;
    const __m256i f32 = _mm256_set1_epi32(static_cast<int>(f));
    const __m256i g32 = _mm256_set1_epi32(static_cast<int>(g));
    const __m256i f16 = _mm256_set1_epi16(static_cast<short>(f));
    const __m256i g16 = _mm256_set1_epi16(static_cast<short>(g));
    const __m256i zero = _mm256_setzero_si256();
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i pa = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i));
        const __m256i pb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));

        // The unpacks and the pack both work within 128-bit halves, so the bytes come back in
        // their places.
        const __m256i lo = mixed_words(_mm256_unpacklo_epi8(pa, zero), _mm256_unpacklo_epi8(pb, zero), f16, g16);
        const __m256i hi = mixed_words(_mm256_unpackhi_epi8(pa, zero), _mm256_unpackhi_epi8(pb, zero), f16, g16);
        const __m256i mixed = _mm256_packus_epi16(lo, hi);

        __m256i ka, kb;
        const __m256i only_a_value = scaled_lanes(pa, g32, ka);
        const __m256i only_b_value = scaled_lanes(pb, f32, kb);
        const __m256i a_gone = _mm256_cmpeq_epi32(ka, zero);
        const __m256i b_gone = _mm256_cmpeq_epi32(kb, zero);
        __m256i out = _mm256_blendv_epi8(mixed, only_a_value, _mm256_andnot_si256(a_gone, b_gone));
        out = _mm256_blendv_epi8(out, only_b_value, _mm256_andnot_si256(b_gone, a_gone));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), out);
    }
    for (; i < n; ++i) dst[i] = cross_dissolve(a[i], b[i], f);
}

void scale_key_row(std::uint32_t* dst, const std::uint32_t* src, std::size_t n, std::uint32_t f)
{
    if (simd_avx2_enabled()) {
        scale_key_row_avx2(dst, src, n, f);
    } else {
        scale_key_row_ref(dst, src, n, f);
    }
}

void dissolve_row(std::uint32_t* dst, const std::uint32_t* b, std::size_t n, std::uint32_t f)
{
    if (simd_avx2_enabled()) {
        dissolve_row_avx2(dst, b, n, f);
    } else {
        dissolve_row_ref(dst, b, n, f);
    }
}

void cross_dissolve_row(std::uint32_t* dst, const std::uint32_t* a, const std::uint32_t* b, std::size_t n,
                        std::uint32_t f)
{
    if (simd_avx2_enabled()) {
        cross_dissolve_row_avx2(dst, a, b, n, f);
    } else {
        cross_dissolve_row_ref(dst, a, b, n, f);
    }
}

} // namespace zk::fx
