#include "framebuffer/kernels/resample_bilinear.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <immintrin.h>
#include <vector>

#include "core/simd.h"

namespace zk {
namespace {

// Base index and weight of a sample position, as the resampler defines them.
inline void base_and_weight(float v, long& base, float& weight)
{
    if (v > 0.0f) {
        base = static_cast<long>(v);
    } else {
        const float f = std::floor(v);
        base = static_cast<long>(f);
        if (f == v) base -= 1;
    }
    weight = v - static_cast<float>(base);
}

inline std::uint8_t to_byte(float value)
{
    if (!(value > 0.0f)) return 0;  // negative (and NaN) give 0
    const long t = static_cast<long>(value);
    return static_cast<std::uint8_t>(t > 255 ? 255 : t);
}

struct Column {
    long c0;     // byte offset of the left neighbour
    long c1;     // byte offset of the right neighbour
    float wx;
    float omw;   // 1 - wx
};

// Source rows of target row y, or false for a zero row.
inline bool row_pair(long y, long th, long sh, float fy, long& r0, long& r1, float& wy)
{
    const float v = static_cast<float>(y - th / 2) / fy;
    long j = 0;
    base_and_weight(v, j, wy);
    const long r = j + sh / 2;
    if (r < -1 || r > sh - 1) return false;
    if (r == -1) {
        r0 = r1 = 0;
    } else if (r == sh - 1) {
        r0 = r1 = sh - 1;
    } else {
        r0 = r;
        r1 = r + 1;
    }
    return true;
}

// Column table; returns the contiguous range [lo, hi) of target columns that have pixels.
void column_table(long sw, long tw, float fx, std::vector<Column>& cols, long& lo, long& hi)
{
    cols.resize(static_cast<size_t>(tw));
    lo = tw;
    hi = 0;
    for (long x = 0; x < tw; ++x) {
        const float u = static_cast<float>(x - tw / 2) / fx;
        long i = 0;
        float wx = 0;
        base_and_weight(u, i, wx);
        const long c = i + sw / 2;
        Column col{0, 0, wx, 1.0f - wx};
        bool valid = true;
        if (c >= 0 && c < sw - 1) {
            col.c0 = c * 4;
            col.c1 = (c + 1) * 4;
        } else if (c == sw - 1) {
            col.c0 = col.c1 = c * 4;
        } else if (c == -1) {
            col.c0 = col.c1 = 0;
        } else {
            valid = false;
        }
        cols[static_cast<size_t>(x)] = col;
        if (valid) {
            lo = std::min(lo, x);
            hi = std::max(hi, x + 1);
        }
    }
    if (lo >= hi) lo = hi = 0;
}

} // namespace

void resample_bilinear_ref(const std::uint8_t* src, long sw, long sh, std::uint8_t* dst, long tw, long th,
                           float fx, float fy)
{
    for (long y = 0; y < th; ++y) {
        std::uint8_t* out = dst + static_cast<size_t>(y) * static_cast<size_t>(tw) * 4;
        long r0 = 0, r1 = 0;
        float wy = 0;
        if (!row_pair(y, th, sh, fy, r0, r1, wy)) {
            std::memset(out, 0, static_cast<size_t>(tw) * 4);
            continue;
        }
        const std::uint8_t* top = src + static_cast<size_t>(r0) * static_cast<size_t>(sw) * 4;
        const std::uint8_t* bottom = src + static_cast<size_t>(r1) * static_cast<size_t>(sw) * 4;
        for (long x = 0; x < tw; ++x) {
            const float u = static_cast<float>(x - tw / 2) / fx;
            long i = 0;
            float wx = 0;
            base_and_weight(u, i, wx);
            const long c = i + sw / 2;
            long c0 = 0, c1 = 0;
            if (c >= 0 && c < sw - 1) {
                c0 = c;
                c1 = c + 1;
            } else if (c == sw - 1) {
                c0 = c1 = c;
            } else if (c == -1) {
                c0 = c1 = 0;
            } else {
                std::memset(out + x * 4, 0, 4);
                continue;
            }
            for (int b = 0; b < 4; ++b) {
                const float tl = top[c0 * 4 + b], tr = top[c1 * 4 + b];
                const float bl = bottom[c0 * 4 + b], br = bottom[c1 * 4 + b];
                const float value = (1.0f - wy) * ((1.0f - wx) * tl + wx * tr) + wy * ((1.0f - wx) * bl + wx * br);
                out[x * 4 + b] = to_byte(value);
            }
        }
    }
}

namespace {

// One source row interpolated horizontally: (1-wx)·left + wx·right for every byte of the
// target columns lo .. hi-1, as floats.
__attribute__((target("avx2"))) void horizontal_avx2(const std::uint8_t* row, const Column* cols, long lo, long hi,
                                                     float* out)
{
    long x = lo;
    for (; x + 2 <= hi; x += 2) {
        const Column& a = cols[x];
        const Column& b = cols[x + 1];
        std::uint32_t la, ra, lb, rb;
        std::memcpy(&la, row + a.c0, 4);
        std::memcpy(&ra, row + a.c1, 4);
        std::memcpy(&lb, row + b.c0, 4);
        std::memcpy(&rb, row + b.c1, 4);
        const __m256 left = _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_set_epi32(0, 0, static_cast<int>(lb), static_cast<int>(la))));
        const __m256 right = _mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(_mm_set_epi32(0, 0, static_cast<int>(rb), static_cast<int>(ra))));
        const __m256 omw = _mm256_setr_ps(a.omw, a.omw, a.omw, a.omw, b.omw, b.omw, b.omw, b.omw);
        const __m256 wx = _mm256_setr_ps(a.wx, a.wx, a.wx, a.wx, b.wx, b.wx, b.wx, b.wx);
        _mm256_storeu_ps(out + (x - lo) * 4, _mm256_add_ps(_mm256_mul_ps(omw, left), _mm256_mul_ps(wx, right)));
    }
    for (; x < hi; ++x) {
        const Column& c = cols[x];
        for (int k = 0; k < 4; ++k) {
            out[(x - lo) * 4 + k] = c.omw * static_cast<float>(row[c.c0 + k]) + c.wx * static_cast<float>(row[c.c1 + k]);
        }
    }
}

// (1-wy)·top + wy·bottom, truncated to bytes, for n floats.
__attribute__((target("avx2"))) void vertical_avx2(const float* top, const float* bottom, float wy, long n,
                                                   std::uint8_t* out)
{
    const __m256 w = _mm256_set1_ps(wy);
    const __m256 omw = _mm256_set1_ps(1.0f - wy);
    const __m256i zero = _mm256_setzero_si256();
    long i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m256 v0 = _mm256_add_ps(_mm256_mul_ps(omw, _mm256_loadu_ps(top + i)), _mm256_mul_ps(w, _mm256_loadu_ps(bottom + i)));
        const __m256 v1 = _mm256_add_ps(_mm256_mul_ps(omw, _mm256_loadu_ps(top + i + 8)),
                                        _mm256_mul_ps(w, _mm256_loadu_ps(bottom + i + 8)));
        const __m256i i0 = _mm256_max_epi32(_mm256_cvttps_epi32(v0), zero);
        const __m256i i1 = _mm256_max_epi32(_mm256_cvttps_epi32(v1), zero);
        // packus saturates to 0..255 and interleaves 128-bit lanes; undo that with a permute.
        const __m256i w16 = _mm256_packus_epi32(i0, i1);
        const __m256i w16p = _mm256_permute4x64_epi64(w16, 0xD8);
        const __m128i b8 = _mm_packus_epi16(_mm256_castsi256_si128(w16p), _mm256_extracti128_si256(w16p, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), b8);
    }
    for (; i < n; ++i) out[i] = to_byte((1.0f - wy) * top[i] + wy * bottom[i]);
}

} // namespace

__attribute__((target("avx2"))) void resample_bilinear_avx2(const std::uint8_t* src, long sw, long sh, std::uint8_t* dst,
                                                            long tw, long th, float fx, float fy)
{
    std::vector<Column> cols;
    long lo = 0, hi = 0;
    column_table(sw, tw, fx, cols, lo, hi);
    const size_t span = static_cast<size_t>(hi - lo) * 4;
    std::vector<float> cache[2] = {std::vector<float>(span), std::vector<float>(span)};
    long cached[2] = {-1, -1};
    int next_slot = 0;
    auto interpolated = [&](long r) -> const float* {
        for (int s = 0; s < 2; ++s) {
            if (cached[s] == r) return cache[s].data();
        }
        const int s = next_slot;
        next_slot ^= 1;
        horizontal_avx2(src + static_cast<size_t>(r) * static_cast<size_t>(sw) * 4, cols.data(), lo, hi, cache[s].data());
        cached[s] = r;
        return cache[s].data();
    };

    const size_t row_bytes = static_cast<size_t>(tw) * 4;
    for (long y = 0; y < th; ++y) {
        std::uint8_t* out = dst + static_cast<size_t>(y) * row_bytes;
        long r0 = 0, r1 = 0;
        float wy = 0;
        if (!row_pair(y, th, sh, fy, r0, r1, wy) || span == 0) {
            std::memset(out, 0, row_bytes);
            continue;
        }
        const float* top = interpolated(r0);
        // Keep the row pair's first row cached while the second is computed.
        if (r1 != r0 && cached[next_slot] == r0) next_slot ^= 1;
        const float* bottom = interpolated(r1);
        if (lo > 0) std::memset(out, 0, static_cast<size_t>(lo) * 4);
        vertical_avx2(top, bottom, wy, static_cast<long>(span), out + lo * 4);
        if (hi < tw) std::memset(out + hi * 4, 0, static_cast<size_t>(tw - hi) * 4);
    }
}

void resample_bilinear(const std::uint8_t* src, long sw, long sh, std::uint8_t* dst, long tw, long th, float fx,
                       float fy)
{
    if (simd_avx2_enabled()) {
        resample_bilinear_avx2(src, sw, sh, dst, tw, th, fx, fy);
    } else {
        resample_bilinear_ref(src, sw, sh, dst, tw, th, fx, fy);
    }
}

} // namespace zk
