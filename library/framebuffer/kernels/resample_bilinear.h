// The library's own resampler: bilinear, centre-aligned, defined byte for byte.
//
// For target row y, v = (y - th/2) / fy in single precision. The base row j is the integer
// part of v when v > 0 and the largest integer strictly below v otherwise; wy = v - j. The
// source row r = j + sh/2: outside -1 .. sh-1 the target row is zero; -1 pairs row 0 with
// itself, sh-1 the last row with itself, else rows r and r+1. Columns likewise with
// u = (x - tw/2) / fx, except that a base column outside -1 .. sw-1 zeroes only that pixel.
// Each byte is (1-wy)·((1-wx)·tl + wx·tr) + wy·((1-wx)·bl + wx·br) in float, truncated.
//
// The plain version follows that text literally; the AVX2 version computes the same float
// operations in the same order (no fused multiply-add), so both give identical bytes.
#pragma once

#include <cstdint>

namespace zk {

// src is sw × sh pixels of 4 bytes, dst tw × th; rows unpadded. All sizes at least 1.
void resample_bilinear_ref(const std::uint8_t* src, long sw, long sh, std::uint8_t* dst, long tw, long th,
                           float fx, float fy);
void resample_bilinear_avx2(const std::uint8_t* src, long sw, long sh, std::uint8_t* dst, long tw, long th,
                            float fx, float fy);
void resample_bilinear(const std::uint8_t* src, long sw, long sh, std::uint8_t* dst, long tw, long th, float fx,
                       float fy);

} // namespace zk
