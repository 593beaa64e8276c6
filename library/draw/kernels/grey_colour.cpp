#include "draw/kernels/grey_colour.h"

#include <immintrin.h>

#include "core/simd.h"

namespace zk {

void colour_row_ref(std::uint32_t* dst, const std::uint8_t* grey, std::uint32_t colour, std::size_t n)
{
    std::uint32_t table[256];
    table[0] = 0;
    for (std::uint32_t g = 1; g < 256; ++g) table[g] = (colour & 0x00FFFFFFu) | ((colour >> 24) * g / 255) << 24;
    for (std::size_t i = 0; i < n; ++i) dst[i] = table[grey[i]];
}

__attribute__((target("avx2"))) void colour_row_avx2(std::uint32_t* dst, const std::uint8_t* grey, std::uint32_t colour,
                                                     std::size_t n)
{
    const __m256i key = _mm256_set1_epi32(static_cast<int>(colour >> 24));
    const __m256i rgb = _mm256_set1_epi32(static_cast<int>(colour & 0x00FFFFFFu));
    const __m256i by255 = _mm256_set1_epi32(32897);
    const __m256i zero = _mm256_setzero_si256();
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m256i g = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(grey + i)));
        const __m256i k = _mm256_srli_epi32(_mm256_mullo_epi32(_mm256_mullo_epi32(g, key), by255), 23);
        const __m256i px = _mm256_or_si256(_mm256_slli_epi32(k, 24), rgb);
        const __m256i blank = _mm256_cmpeq_epi32(g, zero);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_andnot_si256(blank, px));
    }
    if (i < n) colour_row_ref(dst + i, grey + i, colour, n - i);
}

void colour_row(std::uint32_t* dst, const std::uint8_t* grey, std::uint32_t colour, std::size_t n)
{
    if (simd_avx2_enabled()) {
        colour_row_avx2(dst, grey, colour, n);
    } else {
        colour_row_ref(dst, grey, colour, n);
    }
}

} // namespace zk
