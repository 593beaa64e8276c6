// One-bit ORing: the bit-by-bit definition and the 64-bit version.
#include "platform/gdi_text/mono_blit.h"

#include <algorithm>
#include <cstring>

#include <immintrin.h>

#include "core/simd.h"

namespace zk {

void or_mono_reference(const MonoSource& src, const MonoView& dst, long x, long y)
{
    for (long r = 0; r < src.height; ++r) {
        long ty = y + r;
        if (ty < 0 || ty >= dst.height) continue;
        for (long c = 0; c < src.width; ++c) {
            long tx = x + c;
            if (tx < 0 || tx >= dst.width) continue;
            if (src.bits[r * src.pitch + c / 8] & (0x80 >> (c % 8)))
                dst.bits[ty * dst.row_bytes + tx / 8] |= static_cast<std::uint8_t>(0x80 >> (tx % 8));
        }
    }
}

namespace {

// 64 bits of a source row starting at bit `at` (negative or past the row: zeros there).
inline std::uint64_t load64(const std::uint8_t* row, long pitch, long at)
{
    const long byte = at >> 3;  // floor, also for negative positions
    const int shift = static_cast<int>(at & 7);
    if (byte >= 0 && byte + 9 <= pitch) {
        std::uint64_t hi;
        std::memcpy(&hi, row + byte, 8);
        hi = __builtin_bswap64(hi);
        return shift ? hi << shift | row[byte + 8] >> (8 - shift) : hi;
    }
    auto at_byte = [&](long b) -> std::uint64_t { return b >= 0 && b < pitch ? row[b] : 0; };
    std::uint64_t hi = 0;
    for (int i = 0; i < 8; ++i) hi = hi << 8 | at_byte(byte + i);
    return shift ? hi << shift | at_byte(byte + 8) >> (8 - shift) : hi;
}

inline void or64(std::uint8_t* p, std::uint64_t v)
{
    std::uint64_t cur;
    std::memcpy(&cur, p, 8);
    cur |= __builtin_bswap64(v);
    std::memcpy(p, &cur, 8);
}

} // namespace

void or_mono_words(const MonoSource& src, const MonoView& dst, long x, long y)
{
    const long c0 = std::max(0L, -x), c1 = std::min(src.width, dst.width - x);
    if (c0 >= c1) return;
    const long r0 = std::max(0L, -y), r1 = std::min(src.height, dst.height - y);
    const long first = x + c0, last = x + c1;  // target bits [first, last)
    const long d0 = first >> 3, d1 = (last - 1) >> 3;
    // Bits of the last target byte at or past `last` are kept out; before `first` the source
    // supplies zeros by itself.
    const std::uint8_t tail = static_cast<std::uint8_t>(0xFF00 >> (((last - 1) & 7) + 1));
    for (long r = r0; r < r1; ++r) {
        const std::uint8_t* s = src.bits + r * src.pitch;
        std::uint8_t* d = dst.bits + (y + r) * dst.row_bytes;
        long b = d0;
        for (; b + 7 < d1; b += 8) {
            std::uint64_t v = load64(s, src.pitch, b * 8 - x);
            if (v) or64(d + b, v);
        }
        if (b <= d1) {
            std::uint64_t v = load64(s, src.pitch, b * 8 - x);
            for (int i = 0; b + i <= d1; ++i) {
                std::uint8_t part = static_cast<std::uint8_t>(v >> (56 - 8 * i));
                d[b + i] |= b + i == d1 ? static_cast<std::uint8_t>(part & tail) : part;
            }
        }
    }
}


namespace {

// Target byte b of a row: the source bits that land on it, with x = 8·xq + xr.
inline std::uint8_t shifted_byte(const std::uint8_t* row, long pitch, long i, int xr)
{
    auto at = [&](long k) -> unsigned { return k >= 0 && k < pitch ? row[k] : 0u; };
    unsigned v = at(i) >> xr;
    if (xr) v |= at(i - 1) << (8 - xr);
    return static_cast<std::uint8_t>(v);
}

__attribute__((target("avx2"))) void or_mono_avx2(const MonoSource& src, const MonoView& dst, long x, long y)
{
    const long c0 = std::max(0L, -x), c1 = std::min(src.width, dst.width - x);
    if (c0 >= c1) return;
    const long r0 = std::max(0L, -y), r1 = std::min(src.height, dst.height - y);
    const long first = x + c0, last = x + c1;
    const long d0 = first >> 3, d1 = (last - 1) >> 3;
    const std::uint8_t tail = static_cast<std::uint8_t>(0xFF00 >> (((last - 1) & 7) + 1));
    const long xq = x >> 3;  // floor, also for negative positions
    const int xr = static_cast<int>(x & 7);
    // Bytes shifted within 16-bit lanes, the bits that crossed into the neighbour byte
    // masked off: hi keeps a byte's own bits moved right, lo the previous byte's moved left.
    const __m128i right = _mm_cvtsi32_si128(xr), left = _mm_cvtsi32_si128(8 - xr);
    const __m256i keep_hi = _mm256_set1_epi8(static_cast<char>(0xFF >> xr));
    const __m256i keep_lo = _mm256_set1_epi8(static_cast<char>((0xFF << (8 - xr)) & 0xFF));
    const __m256i last_byte_clip = _mm256_set_epi8(static_cast<char>(tail), -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                                   -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                                   -1, -1, -1, -1, -1, -1);
    for (long r = r0; r < r1; ++r) {
        const std::uint8_t* s = src.bits + r * src.pitch;
        std::uint8_t* d = dst.bits + (y + r) * dst.row_bytes;
        long b = d0;
        // Until the previous source byte exists, byte by byte.
        for (; b < d1 && b - xq - 1 < 0; ++b) d[b] |= shifted_byte(s, src.pitch, b - xq, xr);
        // 32 target bytes at a time while both source loads stay inside the row and the
        // stores stay before the last, partly kept byte.
        for (; b + 32 <= d1 && b - xq + 32 <= src.pitch; b += 32) {
            const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + (b - xq)));
            const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + (b - xq - 1)));
            const __m256i v = _mm256_or_si256(_mm256_and_si256(_mm256_srl_epi16(a, right), keep_hi),
                                              _mm256_and_si256(_mm256_sll_epi16(p, left), keep_lo));
            __m256i* out = reinterpret_cast<__m256i*>(d + b);
            _mm256_storeu_si256(out, _mm256_or_si256(_mm256_loadu_si256(out), v));
        }
        // The rest of the row. ORing is idempotent, so the usual case is one more vector
        // that ends at the row's last target byte and overlaps bytes already done; its last
        // byte keeps only the bits before the clip. It needs its source bytes inside the row,
        // so when the last target byte holds only spill from the last source byte, the
        // vector ends one byte earlier and that byte is done alone.
        const bool spill = d1 - xq >= src.pitch;
        const long e_end = spill ? d1 - 1 : d1;
        const long e = e_end - 31;
        if (b <= e_end && e >= d0 && e - xq - 1 >= 0 && e_end - xq < src.pitch) {
            const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + (e - xq)));
            const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + (e - xq - 1)));
            __m256i v = _mm256_or_si256(_mm256_and_si256(_mm256_srl_epi16(a, right), keep_hi),
                                        _mm256_and_si256(_mm256_sll_epi16(p, left), keep_lo));
            if (!spill) v = _mm256_and_si256(v, last_byte_clip);
            __m256i* out = reinterpret_cast<__m256i*>(d + e);
            _mm256_storeu_si256(out, _mm256_or_si256(_mm256_loadu_si256(out), v));
            if (spill) d[d1] |= static_cast<std::uint8_t>(shifted_byte(s, src.pitch, d1 - xq, xr) & tail);
            b = d1 + 1;
        }
        // Otherwise through a zero-padded copy of its source bytes.
        while (b <= d1) {
            const long n = std::min(d1 - b + 1, 64L);
            alignas(32) std::uint8_t in[96] = {};
            alignas(32) std::uint8_t out[64];
            const long s0 = b - xq - 1;  // source index of in[0]
            const long k0 = std::max(0L, -s0), k1 = std::min(n + 1, src.pitch - s0);
            if (k0 < k1) std::memcpy(in + k0, s + s0 + k0, static_cast<std::size_t>(k1 - k0));
            for (long j = 0; j < n; j += 32) {
                const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + j + 1));
                const __m256i p = _mm256_load_si256(reinterpret_cast<const __m256i*>(in + j));
                const __m256i v = _mm256_or_si256(_mm256_and_si256(_mm256_srl_epi16(a, right), keep_hi),
                                                  _mm256_and_si256(_mm256_sll_epi16(p, left), keep_lo));
                _mm256_store_si256(reinterpret_cast<__m256i*>(out + j), v);
            }
            const bool last = b + n - 1 == d1;
            const long full = last ? n - 1 : n;
            for (long i = 0; i < full; ++i) d[b + i] |= out[i];
            if (last) d[d1] |= static_cast<std::uint8_t>(out[n - 1] & tail);
            b += n;
        }
    }
}

} // namespace

void or_mono(const MonoSource& src, const MonoView& dst, long x, long y)
{
    if (simd_avx2_enabled())
        or_mono_avx2(src, dst, x, y);
    else
        or_mono_words(src, dst, x, y);
}

void or_mono_all(std::span<const PlacedMono> glyphs, const MonoView& dst, long band_rows)
{
    if (band_rows < 1) band_rows = 1;
    for (long top = 0; top < dst.height; top += band_rows) {
        const long rows = std::min(band_rows, dst.height - top);
        const MonoView band{dst.bits + top * dst.row_bytes, dst.width, rows, dst.row_bytes};
        for (const PlacedMono& g : glyphs) {
            // The glyph's rows that fall in this band.
            const long r0 = std::max(top, g.y), r1 = std::min(top + rows, g.y + g.src.height);
            if (r0 >= r1) continue;
            const MonoSource part{g.src.bits + (r0 - g.y) * g.src.pitch, g.src.width, r1 - r0, g.src.pitch};
            or_mono(part, band, g.x, r0 - top);
        }
    }
}

} // namespace zk
