// Edge, soft edge and extrusion growth, and their row kernels.
//
// Work is limited to the rows that hold ink and, within them, to the columns that the ink can
// reach, which is what keeps thin captions cheap: blank rows between lines cost nothing.
#include "draw/kernels/edge_grow.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/simd.h"

namespace zk {

std::vector<int> disc_half_widths(int r)
{
    const auto rounded_root = [r](long v) { return static_cast<long>(std::sqrt(static_cast<double>(r * r - v * v)) + 0.5); };
    std::vector<int> half(static_cast<std::size_t>(2 * r + 1));
    for (int dy = -r; dy <= r; ++dy) {
        long m = rounded_root(dy);
        // Beyond r the square root has no value; the widening stops there.
        while (m + 1 <= r && rounded_root(m + 1) == std::labs(dy)) ++m;
        half[static_cast<std::size_t>(dy + r)] = static_cast<int>(m);
    }
    return half;
}

int cone_weight(int r, long d2)
{
    const int v = static_cast<int>(255.0 * (r - std::sqrt(static_cast<double>(d2))) / r);
    return v < 0 ? 0 : v;
}

// ---- row kernels ----

void max_row_ref(std::uint8_t* dst, const std::uint8_t* src, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) dst[i] = std::max(dst[i], src[i]);
}

__attribute__((target("avx2"))) void max_row_avx2(std::uint8_t* dst, const std::uint8_t* src, std::size_t n)
{
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + i));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_max_epu8(a, b));
    }
    for (; i < n; ++i) dst[i] = std::max(dst[i], src[i]);
}

void max_row(std::uint8_t* dst, const std::uint8_t* src, std::size_t n)
{
    if (simd_avx2_enabled()) {
        max_row_avx2(dst, src, n);
    } else {
        max_row_ref(dst, src, n);
    }
}

void dilate3_row_ref(std::uint8_t* dst, const std::uint8_t* src, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) dst[i] = std::max({(src + i)[-1], src[i], src[i + 1]});
}

__attribute__((target("avx2"))) void dilate3_row_avx2(std::uint8_t* dst, const std::uint8_t* src, std::size_t n)
{
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i l = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i - 1));
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        const __m256i r = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i + 1));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), _mm256_max_epu8(_mm256_max_epu8(l, c), r));
    }
    for (; i < n; ++i) dst[i] = std::max({(src + i)[-1], src[i], src[i + 1]});
}

void dilate3_row(std::uint8_t* dst, const std::uint8_t* src, std::size_t n)
{
    if (simd_avx2_enabled()) {
        dilate3_row_avx2(dst, src, n);
    } else {
        dilate3_row_ref(dst, src, n);
    }
}

void min_dist_row_ref(std::uint16_t* acc, const std::uint16_t* d2, std::uint16_t add, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned v = std::min(65535u, static_cast<unsigned>(d2[i]) + add);
        acc[i] = static_cast<std::uint16_t>(std::min(static_cast<unsigned>(acc[i]), v));
    }
}

__attribute__((target("avx2"))) void min_dist_row_avx2(std::uint16_t* acc, const std::uint16_t* d2,
                                                       std::uint16_t add, std::size_t n)
{
    const __m256i a = _mm256_set1_epi16(static_cast<short>(add));
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m256i v = _mm256_adds_epu16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(d2 + i)), a);
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(acc + i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(acc + i), _mm256_min_epu16(c, v));
    }
    if (i < n) min_dist_row_ref(acc + i, d2 + i, add, n - i);
}

void min_dist_row(std::uint16_t* acc, const std::uint16_t* d2, std::uint16_t add, std::size_t n)
{
    if (simd_avx2_enabled()) {
        min_dist_row_avx2(acc, d2, add, n);
    } else {
        min_dist_row_ref(acc, d2, add, n);
    }
}

void count_ink_row_ref(std::uint8_t* cnt, const std::uint8_t* src, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) cnt[i] = static_cast<std::uint8_t>(cnt[i] + (src[i] != 0));
}

__attribute__((target("avx2"))) void count_ink_row_avx2(std::uint8_t* cnt, const std::uint8_t* src, std::size_t n)
{
    const __m256i zero = _mm256_setzero_si256();
    std::size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i blank = _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i)), zero);
        const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(cnt + i));
        // A set byte compares as 0x00, a blank one as 0xFF: adding one and then the mask
        // counts the set ones.
        const __m256i inc = _mm256_add_epi8(c, _mm256_set1_epi8(1));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(cnt + i), _mm256_add_epi8(inc, blank));
    }
    if (i < n) count_ink_row_ref(cnt + i, src + i, n - i);
}

void count_ink_row(std::uint8_t* cnt, const std::uint8_t* src, std::size_t n)
{
    if (simd_avx2_enabled()) {
        count_ink_row_avx2(cnt, src, n);
    } else {
        count_ink_row_ref(cnt, src, n);
    }
}

void reach_to_d2_row_ref(std::uint16_t* d2, const std::uint8_t* cnt, std::uint8_t far, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned d = static_cast<unsigned>(far - cnt[i]);
        d2[i] = static_cast<std::uint16_t>(d * d);
    }
}

__attribute__((target("avx2"))) void reach_to_d2_row_avx2(std::uint16_t* d2, const std::uint8_t* cnt, std::uint8_t far,
                                                          std::size_t n)
{
    const __m256i f = _mm256_set1_epi16(far);
    std::size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m256i c = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cnt + i)));
        const __m256i d = _mm256_sub_epi16(f, c);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d2 + i), _mm256_mullo_epi16(d, d));
    }
    if (i < n) reach_to_d2_row_ref(d2 + i, cnt + i, far, n - i);
}

void reach_to_d2_row(std::uint16_t* d2, const std::uint8_t* cnt, std::uint8_t far, std::size_t n)
{
    if (simd_avx2_enabled()) {
        reach_to_d2_row_avx2(d2, cnt, far, n);
    } else {
        reach_to_d2_row_ref(d2, cnt, far, n);
    }
}

// ---- growth ----

namespace {

// The first and last non-zero column of an input row; lo > hi when the row is blank.
struct Span {
    long lo;
    long hi;
    bool blank() const { return lo > hi; }
};

// Radii up to this use one vector pass per disc row for the soft edge; larger ones the
// parabola envelope, whose cost does not grow with the radius.
constexpr int kSoftRowsUpTo = 24;

Span ink_span(const std::uint8_t* row, long w)
{
    long lo = 0, hi = w - 1;
    while (lo < w && row[lo] == 0) ++lo;
    if (lo == w) return {1, 0};
    while (row[hi] == 0) --hi;
    return {lo, hi};
}


// Per input row, the squared distance from each output column to the row's nearest set pixel,
// at most (r + 1)²: two scans carrying the last set column. Any radius.
void row_distances_by_scan(const GreyPlane& in, const std::vector<Span>& span, int r, std::vector<std::uint16_t>& row_d2)
{
    const long W = in.w + 2L * r;
    const std::size_t w = static_cast<std::size_t>(W);
    constexpr std::uint16_t kFar = 65535;
    std::vector<long> dist(w);
    const long far = r + 1;
    for (long y = 0; y < in.h; ++y) {
        const std::uint8_t* row = in.bits + static_cast<std::size_t>(y) * in.stride;
        const Span& s = span[static_cast<std::size_t>(y)];
        if (s.blank()) continue;
        long last = -far - 1;
        for (long x = 0; x < W; ++x) {
            const long ix = x - r;
            if (ix >= 0 && ix < in.w && row[ix]) last = x;
            dist[static_cast<std::size_t>(x)] = std::min(far, x - last);
        }
        last = W + far;
        std::uint16_t* d2 = row_d2.data() + static_cast<std::size_t>(y) * w;
        for (long x = W - 1; x >= 0; --x) {
            const long ix = x - r;
            if (ix >= 0 && ix < in.w && row[ix]) last = x;
            const long d = std::min(dist[static_cast<std::size_t>(x)], last - x);
            d2[x] = static_cast<std::uint16_t>(std::min<long>(kFar, d * d));
        }
    }
}

// The same distances for small radii, within the columns the row's ink reaches: a column is
// within distance k of the ink when the ink dilated k times covers it, so counting the
// dilations 0..r that cover a column gives r + 1 minus its distance. Straight vector passes
// instead of a scan with a branch on every pixel.
void row_distances_by_dilation(const GreyPlane& in, const std::vector<Span>& span, int r,
                               std::vector<std::uint16_t>& row_d2)
{
    const long W = in.w + 2L * r;
    const std::size_t w = static_cast<std::size_t>(W);
    // One zero byte either side, for the three-tap maximum at the ends of the reach.
    std::vector<std::uint8_t> cur(w + 2, 0), nxt(w + 2, 0), cnt(w, 0);
    for (long y = 0; y < in.h; ++y) {
        const Span& s = span[static_cast<std::size_t>(y)];
        if (s.blank()) continue;
        const std::size_t lo = static_cast<std::size_t>(s.lo);
        const std::size_t n = static_cast<std::size_t>(s.hi + 2L * r - s.lo + 1);
        std::memcpy(cur.data() + 1 + r, in.bits + static_cast<std::size_t>(y) * in.stride, static_cast<std::size_t>(in.w));
        std::memset(cnt.data() + lo, 0, n);
        for (int k = 0;; ++k) {
            count_ink_row(cnt.data() + lo, cur.data() + 1 + lo, n);
            if (k == r) break;
            dilate3_row(nxt.data() + 1 + lo, cur.data() + 1 + lo, n);
            cur.swap(nxt);
        }
        reach_to_d2_row(row_d2.data() + static_cast<std::size_t>(y) * w + lo, cnt.data() + lo,
                        static_cast<std::uint8_t>(r + 1), n);
        // The next row may reach other columns; what this one left must read as blank.
        std::memset(cur.data() + lo, 0, n + 2);
        std::memset(nxt.data() + lo, 0, n + 2);
    }
}

// Output row y + r + dy takes min(d2 + dy²) from input row y, for every dy within the radius:
// 2r + 1 vector passes, the quickest way for the small radii of captions.
void soft_rows_by_offset(const std::vector<std::uint16_t>& row_d2, const std::vector<Span>& span, int r,
                         std::size_t w, std::vector<std::uint16_t>& acc)
{
    for (int dy = -r; dy <= r; ++dy) {
        const auto add = static_cast<std::uint16_t>(dy * dy);
        for (std::size_t y = 0; y < span.size(); ++y) {
            const Span& s = span[y];
            if (s.blank()) continue;
            // Columns the row's ink reaches: its span widened by r on each side.
            const std::size_t lo = static_cast<std::size_t>(s.lo);
            const std::size_t n = static_cast<std::size_t>(s.hi + 2L * r - s.lo + 1);
            min_dist_row(acc.data() + (y + static_cast<std::size_t>(r + dy)) * w + lo, row_d2.data() + y * w + lo, add, n);
        }
    }
}

// The same minimum per column through the lower envelope of the parabolas (y - q)² + d2(q)
// of the input rows q, in time independent of the radius. The intersections are exact
// enough in double: two parabolas with integer values differ at an integer row by a whole
// number, so a wrong side is at least 1/(2·rows) away from any intersection.
void soft_rows_by_envelope(const std::vector<std::uint16_t>& row_d2, const std::vector<Span>& span, int r,
                           std::size_t w, std::size_t out_h, std::vector<std::uint16_t>& acc)
{
    constexpr std::uint16_t kFar = 65535;
    const std::size_t in_h = span.size();
    std::vector<long> vq(in_h);
    std::vector<double> vz(in_h + 1);
    for (std::size_t x = 0; x < w; ++x) {
        const auto f = [&](long q) { return static_cast<double>(row_d2[static_cast<std::size_t>(q) * w + x]); };
        // Rows are placed at output row q + r.
        long k = -1;
        for (std::size_t q = 0; q < in_h; ++q) {
            if (span[q].blank() || row_d2[q * w + x] == kFar) continue;
            const long yq = static_cast<long>(q) + r;
            double z = -1e300;
            while (k >= 0) {
                const long yv = vq[static_cast<std::size_t>(k)] + r;
                z = ((f(static_cast<long>(q)) + static_cast<double>(yq) * yq) -
                     (f(vq[static_cast<std::size_t>(k)]) + static_cast<double>(yv) * yv)) /
                    (2.0 * static_cast<double>(yq - yv));
                if (z > vz[static_cast<std::size_t>(k)]) break;
                --k;
            }
            if (k < 0) z = -1e300;
            ++k;
            vq[static_cast<std::size_t>(k)] = static_cast<long>(q);
            vz[static_cast<std::size_t>(k)] = z;
        }
        if (k < 0) continue;
        const long last = k;
        k = 0;
        for (std::size_t y = 0; y < out_h; ++y) {
            while (k < last && vz[static_cast<std::size_t>(k + 1)] < static_cast<double>(y)) ++k;
            const long q = vq[static_cast<std::size_t>(k)];
            const long dy = static_cast<long>(y) - (q + r);
            const long d2 = dy * dy + static_cast<long>(row_d2[static_cast<std::size_t>(q) * w + x]);
            acc[y * w + x] = static_cast<std::uint16_t>(std::min<long>(kFar, d2));
        }
    }
}

} // namespace

void grow_edge_hard(const GreyPlane& in, int r, std::uint8_t* out, std::size_t out_stride)
{
    const long W = in.w + 2L * r;
    // One zero byte either side of every working row, so the three-tap maximum may read one
    // column beyond the picture.
    const std::size_t pitch = static_cast<std::size_t>(W) + 2;
    std::vector<std::uint8_t> cur(pitch * static_cast<std::size_t>(in.h), 0);
    std::vector<std::uint8_t> nxt(cur.size(), 0);
    std::vector<Span> span(static_cast<std::size_t>(in.h));
    for (long y = 0; y < in.h; ++y) {
        const std::uint8_t* row = in.bits + static_cast<std::size_t>(y) * in.stride;
        span[static_cast<std::size_t>(y)] = ink_span(row, in.w);
        std::memcpy(cur.data() + static_cast<std::size_t>(y) * pitch + 1 + r, row, static_cast<std::size_t>(in.w));
    }
    const std::vector<int> half = disc_half_widths(r);
    // cur holds, for every input row, its horizontal maximum over -m..m (in output columns).
    for (int m = 0; m <= r; ++m) {
        const auto reach = [&](const Span& s, long& lo, long& n) {
            lo = std::max(0L, s.lo + r - m);
            n = std::min(W - 1, s.hi + r + m) - lo + 1;
        };
        if (m > 0) {
            for (long y = 0; y < in.h; ++y) {
                const Span& s = span[static_cast<std::size_t>(y)];
                if (s.blank()) continue;
                long lo, n;
                reach(s, lo, n);
                const std::size_t at = static_cast<std::size_t>(y) * pitch + 1 + static_cast<std::size_t>(lo);
                dilate3_row(nxt.data() + at, cur.data() + at, static_cast<std::size_t>(n));
            }
            cur.swap(nxt);
        }
        for (int dy = -r; dy <= r; ++dy) {
            if (half[static_cast<std::size_t>(dy + r)] != m) continue;
            for (long y = 0; y < in.h; ++y) {
                const Span& s = span[static_cast<std::size_t>(y)];
                if (s.blank()) continue;
                long lo, n;
                reach(s, lo, n);
                std::uint8_t* dst = out + static_cast<std::size_t>(y + r + dy) * out_stride + static_cast<std::size_t>(lo);
                max_row(dst, cur.data() + static_cast<std::size_t>(y) * pitch + 1 + static_cast<std::size_t>(lo),
                        static_cast<std::size_t>(n));
            }
        }
    }
}

void grow_edge_soft(const GreyPlane& in, int r, std::uint8_t* out, std::size_t out_stride)
{
    const long W = in.w + 2L * r;
    const long H = in.h + 2L * r;
    const std::size_t w = static_cast<std::size_t>(W);
    constexpr std::uint16_t kFar = 65535;
    // Per input row: the squared distance from each output column to the row's nearest set
    // pixel, saturated beyond r, where the cone has ended anyway.
    std::vector<std::uint16_t> row_d2(w * static_cast<std::size_t>(in.h), kFar);
    std::vector<Span> span(static_cast<std::size_t>(in.h));
    for (long y = 0; y < in.h; ++y)
        span[static_cast<std::size_t>(y)] = ink_span(in.bits + static_cast<std::size_t>(y) * in.stride, in.w);
    if (r <= kSoftRowsUpTo) {
        row_distances_by_dilation(in, span, r, row_d2);
    } else {
        row_distances_by_scan(in, span, r, row_d2);
    }
    std::vector<std::uint16_t> acc(w * static_cast<std::size_t>(H), kFar);
    if (r <= kSoftRowsUpTo) {
        soft_rows_by_offset(row_d2, span, r, w, acc);
    } else {
        soft_rows_by_envelope(row_d2, span, r, w, static_cast<std::size_t>(H), acc);
    }
    const long r2 = static_cast<long>(r) * r;
    // One entry past the cone for every distance beyond it, so the lookup needs no branch.
    std::vector<std::uint8_t> weight(static_cast<std::size_t>(r2) + 1, 0);
    for (long d2 = 0; d2 < r2; ++d2) weight[static_cast<std::size_t>(d2)] = static_cast<std::uint8_t>(cone_weight(r, d2));
    const auto cap = static_cast<std::uint32_t>(r2);
    for (long y = 0; y < H; ++y) {
        const std::uint16_t* a = acc.data() + static_cast<std::size_t>(y) * w;
        std::uint8_t* o = out + static_cast<std::size_t>(y) * out_stride;
        for (std::size_t x = 0; x < w; ++x) o[x] = weight[std::min<std::uint32_t>(a[x], cap)];
    }
}

void grow_extrusion(const GreyPlane& in, int n, std::uint8_t* out, std::size_t out_stride)
{
    if (n < 1) return;
    const long W = in.w + n;
    const long H = in.h + n;
    for (long y = 0; y < in.h; ++y)
        std::memcpy(out + static_cast<std::size_t>(y) * out_stride, in.bits + static_cast<std::size_t>(y) * in.stride,
                    static_cast<std::size_t>(in.w));
    // After a step with shift L the picture is the maximum over the offsets 0..2L-1; the last
    // step overlaps two windows of length L to cover exactly 0..n-1.
    const auto shift_max = [&](long L) {
        for (long y = H - 1; y >= L; --y) {
            max_row(out + static_cast<std::size_t>(y) * out_stride + static_cast<std::size_t>(L),
                    out + static_cast<std::size_t>(y - L) * out_stride, static_cast<std::size_t>(W - L));
        }
    };
    long L = 1;
    while (2 * L <= n) {
        shift_max(L);
        L *= 2;
    }
    if (L < n) shift_max(n - L);
}

} // namespace zk
