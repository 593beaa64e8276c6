// Edge, soft edge and extrusion growth on eight-bit coverage images: the renderer's hot path.
//
// The disc of radius r covers, on row dy (-r ≤ dy ≤ r), the columns -m..m with
// m = round(√(r² - dy²)), widened while the next column m + 1 still rounds to |dy| on its own
// column, so the disc looks the same after a quarter turn. Every integer point within distance
// r of the centre lies inside it.
//
// Hard edge: each output pixel is the largest input pixel whose disc covers it (grey
// dilation). It is computed row-separably and exactly: the horizontal maximum over -m..m of an
// input row grows from m to m + 1 by one three-tap maximum, and output row y collects, for
// every disc row dy, the horizontal maximum of input row y - dy at that row's half-width.
// Soft edge: each set input pixel (any non-zero value) raises the pixels of its disc at
// distance d to trunc(255·(r - d)/r), at least 0. That is a falling function of the distance
// to the nearest set pixel, so it is computed from an exact squared-distance search (nearest
// set pixel per row, then the minimum of dx² + dy² over the rows within r).
// Extrusion: the input laid at offsets (k, k) for k < n, taking the maximum, by doubling.
//
// Output buffers are caller-allocated, zero-filled, (w + 2r) × (h + 2r) for the edges and
// (w + n) × (h + n) for the extrusion, with the input's top-left at (r, r) or (0, 0).
// The row kernels have a plain version and an AVX2 version with identical results.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zk {

// The largest edge width, soft radius, shadow offset or extrusion depth the renderer honours.
// Records come from files; a larger value is cut to this instead of asking for a picture of
// absurd size. 255 output pixels is a third of the screen's width and far beyond any caption.
constexpr long kMaxDecoration = 255;

constexpr long clamp_decoration(long v)
{
    return v > kMaxDecoration ? kMaxDecoration : v < -kMaxDecoration ? -kMaxDecoration : v;
}

// m for dy = -r..r, at index dy + r.
std::vector<int> disc_half_widths(int r);

// trunc(255·(r - √d2)/r), never below 0.
int cone_weight(int r, long d2);

struct GreyPlane {
    const std::uint8_t* bits;
    std::size_t stride;
    long w;
    long h;
};

void grow_edge_hard(const GreyPlane& in, int r, std::uint8_t* out, std::size_t out_stride);
void grow_edge_soft(const GreyPlane& in, int r, std::uint8_t* out, std::size_t out_stride);
void grow_extrusion(const GreyPlane& in, int n, std::uint8_t* out, std::size_t out_stride);

// dst[i] = max(dst[i], src[i]).
void max_row_ref(std::uint8_t* dst, const std::uint8_t* src, std::size_t n);
void max_row_avx2(std::uint8_t* dst, const std::uint8_t* src, std::size_t n);
void max_row(std::uint8_t* dst, const std::uint8_t* src, std::size_t n);
// dst[i] = max(src[i - 1], src[i], src[i + 1]); src[-1] and src[n] must be readable.
void dilate3_row_ref(std::uint8_t* dst, const std::uint8_t* src, std::size_t n);
void dilate3_row_avx2(std::uint8_t* dst, const std::uint8_t* src, std::size_t n);
void dilate3_row(std::uint8_t* dst, const std::uint8_t* src, std::size_t n);
// acc[i] = min(acc[i], d2[i] + add), the sum saturating at 65535.
void min_dist_row_ref(std::uint16_t* acc, const std::uint16_t* d2, std::uint16_t add, std::size_t n);
void min_dist_row_avx2(std::uint16_t* acc, const std::uint16_t* d2, std::uint16_t add, std::size_t n);
void min_dist_row(std::uint16_t* acc, const std::uint16_t* d2, std::uint16_t add, std::size_t n);
// cnt[i] += (src[i] != 0), wrapping at 256.
void count_ink_row_ref(std::uint8_t* cnt, const std::uint8_t* src, std::size_t n);
void count_ink_row_avx2(std::uint8_t* cnt, const std::uint8_t* src, std::size_t n);
void count_ink_row(std::uint8_t* cnt, const std::uint8_t* src, std::size_t n);
// d2[i] = (far - cnt[i])², for cnt[i] <= far.
void reach_to_d2_row_ref(std::uint16_t* d2, const std::uint8_t* cnt, std::uint8_t far, std::size_t n);
void reach_to_d2_row_avx2(std::uint16_t* d2, const std::uint8_t* cnt, std::uint8_t far, std::size_t n);
void reach_to_d2_row(std::uint16_t* d2, const std::uint8_t* cnt, std::uint8_t far, std::size_t n);

} // namespace zk
