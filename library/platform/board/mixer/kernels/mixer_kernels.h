// The mixer compositor's per-pixel kernels: sampling a channel's row through a column table
// (the 2D DVE's scaling, mirroring and crop) and mixing two rows by a fader (a wipe without a
// pattern). Each has a plain reference and an AVX2 version with identical results; the
// dispatchers take the AVX2 one when core/simd.h allows it (ZORVIK_NO_SIMD=1 forces the plain).
//
//   gather_row(dst, src, index, n):  dst[i] = src[index[i]], or the zero word (transparent)
//                                    where index[i] is negative. Every non-negative index
//                                    must lie inside src.
//   mix_row(dst, b, n, f):           every byte of dst[i] (key included) becomes
//                                    (a·(256 − f) + b·f) >> 8 with a the old byte and b the
//                                    byte of b[i]; f from 0 (dst unchanged) to 256 (b).
// Rows do not overlap.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zk::mixer {

inline std::uint32_t mix_pixel(std::uint32_t a, std::uint32_t b, std::uint32_t f)
{
    const std::uint32_t g = 256 - f;
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const std::uint32_t ac = (a >> shift) & 0xFF;
        const std::uint32_t bc = (b >> shift) & 0xFF;
        out |= ((ac * g + bc * f) >> 8) << shift;
    }
    return out;
}

void gather_row_ref(std::uint32_t* dst, const std::uint32_t* src, const std::int32_t* index, std::size_t n);
void gather_row_avx2(std::uint32_t* dst, const std::uint32_t* src, const std::int32_t* index, std::size_t n);
void gather_row(std::uint32_t* dst, const std::uint32_t* src, const std::int32_t* index, std::size_t n);

void mix_row_ref(std::uint32_t* dst, const std::uint32_t* b, std::size_t n, std::uint32_t f);
void mix_row_avx2(std::uint32_t* dst, const std::uint32_t* b, std::size_t n, std::uint32_t f);
void mix_row(std::uint32_t* dst, const std::uint32_t* b, std::size_t n, std::uint32_t f);

} // namespace zk::mixer
