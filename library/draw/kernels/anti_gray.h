// Mask reduction: one row of grey levels from a band of supersampled one-bit mask rows.
//
// At scale s each grey pixel counts the ink bits n of an s × s block of the mask and becomes
// min(255, n·256/s²): at s = 1 a bit gives 0 or 255, at s = 4 each bit is worth 16, at s = 8
// 4 and at s = 16 1, and a full block gives 255 at every scale. Mask bytes hold eight pixels,
// the most significant bit leftmost. A band of `bytes` mask bytes gives bytes·8/s grey pixels
// (at s = 16 a trailing odd byte is ignored). Only the scales 1, 4, 8 and 16 exist.
//
// anti_gray_row_ref counts through a table of bit counts per byte; the AVX2 version counts
// 32 mask bytes at a time with nibble look-ups; both give identical bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zk {

constexpr bool anti_gray_scale_ok(long s)
{
    return s == 1 || s == 4 || s == 8 || s == 16;
}

// rows: the first of s mask rows, `stride` bytes apart; out receives bytes·8/s pixels.
void anti_gray_row_ref(const std::uint8_t* rows, std::size_t stride, int s, std::size_t bytes, std::uint8_t* out);
void anti_gray_row_avx2(const std::uint8_t* rows, std::size_t stride, int s, std::size_t bytes, std::uint8_t* out);
void anti_gray_row(const std::uint8_t* rows, std::size_t stride, int s, std::size_t bytes, std::uint8_t* out);

} // namespace zk
