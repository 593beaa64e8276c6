// Row kernels of the mask reduction: table counting and an AVX2 version.
//
// Both first sum the bit counts of each mask byte (or, at scale 4, of each half byte) down the
// band of s rows, then combine neighbouring columns into grey pixels. Per-byte sums stay in a
// byte: at most 16 rows × 8 bits = 128.
#include "draw/kernels/anti_gray.h"

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "core/simd.h"

namespace zk {
namespace {

constexpr std::array<std::uint8_t, 256> make_bit_counts()
{
    std::array<std::uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i) t[i] = static_cast<std::uint8_t>(__builtin_popcount(static_cast<unsigned>(i)));
    return t;
}

constexpr std::array<std::uint8_t, 256> kBitCount = make_bit_counts();

// At scale 1 every bit is a pixel of 0 or 255: eight pixels a byte, straight from a table.
struct ExpandTable {
    std::uint8_t px[256][8];
    constexpr ExpandTable() : px{}
    {
        for (int b = 0; b < 256; ++b)
            for (int k = 0; k < 8; ++k) px[b][k] = (b >> (7 - k)) & 1 ? 255 : 0;
    }
};

constexpr ExpandTable kExpand{};

void expand_bits(const std::uint8_t* row, std::size_t bytes, std::uint8_t* out)
{
    for (std::size_t c = 0; c < bytes; ++c) std::memcpy(out + 8 * c, kExpand.px[row[c]], 8);
}

} // namespace

void anti_gray_row_ref(const std::uint8_t* rows, std::size_t stride, int s, std::size_t bytes, std::uint8_t* out)
{
    switch (s) {
    case 1:
        expand_bits(rows, bytes, out);
        return;
    case 4:
        for (std::size_t c = 0; c < bytes; ++c) {
            unsigned hi = 0, lo = 0;
            for (int r = 0; r < 4; ++r) {
                const std::uint8_t b = rows[static_cast<std::size_t>(r) * stride + c];
                hi += kBitCount[b >> 4];
                lo += kBitCount[b & 0x0F];
            }
            out[2 * c] = static_cast<std::uint8_t>(std::min(255u, hi * 16));
            out[2 * c + 1] = static_cast<std::uint8_t>(std::min(255u, lo * 16));
        }
        return;
    case 8:
        for (std::size_t c = 0; c < bytes; ++c) {
            unsigned n = 0;
            for (int r = 0; r < 8; ++r) n += kBitCount[rows[static_cast<std::size_t>(r) * stride + c]];
            out[c] = static_cast<std::uint8_t>(std::min(255u, n * 4));
        }
        return;
    case 16:
        for (std::size_t i = 0; i < bytes / 2; ++i) {
            unsigned n = 0;
            for (int r = 0; r < 16; ++r) {
                const std::uint8_t* p = rows + static_cast<std::size_t>(r) * stride + 2 * i;
                n += kBitCount[p[0]] + kBitCount[p[1]];
            }
            out[i] = static_cast<std::uint8_t>(std::min(255u, n));
        }
        return;
    default:
        return;
    }
}

namespace {

__attribute__((target("avx2"))) inline __m256i popcount8(__m256i v, __m256i table, __m256i low4)
{
    const __m256i lo = _mm256_shuffle_epi8(table, _mm256_and_si256(v, low4));
    const __m256i hi = _mm256_shuffle_epi8(table, _mm256_and_si256(_mm256_srli_epi16(v, 4), low4));
    return _mm256_add_epi8(lo, hi);
}

__attribute__((target("avx2"))) inline __m256i load_row(const std::uint8_t* col, std::size_t stride, int r)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(col + static_cast<std::size_t>(r) * stride));
}

} // namespace

__attribute__((target("avx2"))) void anti_gray_row_avx2(const std::uint8_t* rows, std::size_t stride, int s,
                                                        std::size_t bytes, std::uint8_t* out)
{
    if (s == 1) {
        expand_bits(rows, bytes, out);
        return;
    }
    const __m256i table = _mm256_setr_epi8(0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4, 0, 1, 1, 2, 1, 2, 2, 3, 1, 2,
                                           2, 3, 2, 3, 3, 4);
    const __m256i low4 = _mm256_set1_epi8(0x0F);
    std::size_t c = 0;
    for (; c + 32 <= bytes; c += 32) {
        const std::uint8_t* col = rows + c;
        if (s == 4) {
            __m256i hi = _mm256_setzero_si256(), lo = _mm256_setzero_si256();
            for (int r = 0; r < 4; ++r) {
                const __m256i v = load_row(col, stride, r);
                lo = _mm256_add_epi8(lo, _mm256_shuffle_epi8(table, _mm256_and_si256(v, low4)));
                hi = _mm256_add_epi8(hi, _mm256_shuffle_epi8(table, _mm256_and_si256(_mm256_srli_epi16(v, 4), low4)));
            }
            // ×16 with saturation: 16 bits of a 4 × 4 block give 256, which stops at 255.
            for (int k = 0; k < 4; ++k) {
                hi = _mm256_adds_epu8(hi, hi);
                lo = _mm256_adds_epu8(lo, lo);
            }
            // The left pixel of a byte is its high half.
            const __m256i a = _mm256_unpacklo_epi8(hi, lo);
            const __m256i b = _mm256_unpackhi_epi8(hi, lo);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * c), _mm256_permute2x128_si256(a, b, 0x20));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * c + 32), _mm256_permute2x128_si256(a, b, 0x31));
        } else if (s == 8) {
            __m256i acc = _mm256_setzero_si256();
            for (int r = 0; r < 8; ++r) acc = _mm256_add_epi8(acc, popcount8(load_row(col, stride, r), table, low4));
            acc = _mm256_adds_epu8(acc, acc);
            acc = _mm256_adds_epu8(acc, acc);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + c), acc);
        } else if (s == 16) {
            __m256i acc = _mm256_setzero_si256();
            for (int r = 0; r < 16; ++r) acc = _mm256_add_epi8(acc, popcount8(load_row(col, stride, r), table, low4));
            __m256i sums = _mm256_maddubs_epi16(acc, _mm256_set1_epi8(1));
            sums = _mm256_min_epu16(sums, _mm256_set1_epi16(255));
            const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(sums, sums), 0x08);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + c / 2), _mm256_castsi256_si128(packed));
        } else {
            return;
        }
    }
    if (c < bytes) anti_gray_row_ref(rows + c, stride, s, bytes - c, out + c * 8 / static_cast<std::size_t>(s));
}

void anti_gray_row(const std::uint8_t* rows, std::size_t stride, int s, std::size_t bytes, std::uint8_t* out)
{
    if (simd_avx2_enabled()) {
        anti_gray_row_avx2(rows, stride, s, bytes, out);
    } else {
        anti_gray_row_ref(rows, stride, s, bytes, out);
    }
}

} // namespace zk
