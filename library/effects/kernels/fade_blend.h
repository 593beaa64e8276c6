// The per-pixel blends of the fade strips: a key scaled by a factor, a dissolve and a
// cross-dissolve, each as a plain row loop and an AVX2 row loop with identical results.
//
// Factors are in 256ths, 0 to 256 (256 leaves a value as it is). Pixels are the library's
// words: blue | green << 8 | red << 16 | key << 24. Every shift and division truncates.
//
//   scale_key(p, f):      p's colour, key (key·f) >> 8.
//   dissolve(a, b, f):    b laid over a by the key composite with b's key scaled by f; where the
//                         scaled key is 0 (key·f < 256) a stays as it is.
//   cross_dissolve(a, b, f), g = 256 − f, kA = (keyA·g) >> 8, kB = (keyB·f) >> 8:
//                         only kA > 0: a's colour with key kA; only kB > 0: b's colour with key
//                         kB; otherwise every byte (key included) is ((b·f) >> 8) + ((a·g) >> 8).
//
// The row functions take rows that do not overlap (dissolve_row blends into dst in place).
// The dispatchers pick the AVX2 version when core/simd.h allows it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framebuffer/kernels/composite.h"

namespace zk::fx {

inline std::uint32_t scale_key(std::uint32_t p, std::uint32_t f)
{
    return (p & 0x00FFFFFFu) | (((p >> 24) * f) >> 8) << 24;
}

inline std::uint32_t dissolve(std::uint32_t a, std::uint32_t b, std::uint32_t f)
{
    const std::uint32_t k = ((b >> 24) * f) >> 8;
    if (k == 0) return a;
    return zk::key_composite((b & 0x00FFFFFFu) | k << 24, a);
}

inline std::uint32_t cross_dissolve(std::uint32_t a, std::uint32_t b, std::uint32_t f)
{
    const std::uint32_t g = 256 - f;
    const std::uint32_t ka = ((a >> 24) * g) >> 8;
    const std::uint32_t kb = ((b >> 24) * f) >> 8;
    if (ka > 0 && kb == 0) return (a & 0x00FFFFFFu) | ka << 24;
    if (ka == 0 && kb > 0) return (b & 0x00FFFFFFu) | kb << 24;
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const std::uint32_t bc = (b >> shift) & 0xFF;
        const std::uint32_t ac = (a >> shift) & 0xFF;
        out |= (((bc * f) >> 8) + ((ac * g) >> 8)) << shift;
    }
    return out;
}

// dst[i] = scale_key(src[i], f).
void scale_key_row_ref(std::uint32_t* dst, const std::uint32_t* src, std::size_t n, std::uint32_t f);
void scale_key_row_avx2(std::uint32_t* dst, const std::uint32_t* src, std::size_t n, std::uint32_t f);
void scale_key_row(std::uint32_t* dst, const std::uint32_t* src, std::size_t n, std::uint32_t f);

// dst[i] = dissolve(dst[i], b[i], f).
void dissolve_row_ref(std::uint32_t* dst, const std::uint32_t* b, std::size_t n, std::uint32_t f);
void dissolve_row_avx2(std::uint32_t* dst, const std::uint32_t* b, std::size_t n, std::uint32_t f);
void dissolve_row(std::uint32_t* dst, const std::uint32_t* b, std::size_t n, std::uint32_t f);

// dst[i] = cross_dissolve(a[i], b[i], f).
void cross_dissolve_row_ref(std::uint32_t* dst, const std::uint32_t* a, const std::uint32_t* b, std::size_t n,
                            std::uint32_t f);
void cross_dissolve_row_avx2(std::uint32_t* dst, const std::uint32_t* a, const std::uint32_t* b, std::size_t n,
                             std::uint32_t f);
void cross_dissolve_row(std::uint32_t* dst, const std::uint32_t* a, const std::uint32_t* b, std::size_t n,
                        std::uint32_t f);

} // namespace zk::fx
