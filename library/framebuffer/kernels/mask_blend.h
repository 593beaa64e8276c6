// The masked blend: laying a keyed source pixel over a destination pixel under a coverage
// byte, as the frame buffer's masked copy does.
//
// With S the source, D the destination, sa and d their keys and m the mask byte:
//   q = d·(255 - m)/255, k = sa + q;
//   k > 255: k = 255 and the source weighs 255 - q; otherwise the source weighs sa;
//   k = 0: the colour of S (m not 0) or of D (m = 0), key 0;
//   otherwise each colour (S.c·ws + D.c·q)/k, at most 255, key k.
// So a full mask replaces the destination by the source, and a zero mask lays the source over
// what is there. Every division truncates. mask_blend is the plain definition; the row
// functions run it along a row, vectorised where the processor allows, with identical results.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zk {

inline std::uint32_t mask_blend(std::uint32_t s, std::uint32_t d, std::uint32_t m)
{
    const std::uint32_t sa = s >> 24;
    const std::uint32_t q = (d >> 24) * (255 - m) / 255;
    std::uint32_t k = sa + q;
    std::uint32_t ws = sa;
    if (k > 255) {
        k = 255;
        ws = 255 - q;
    }
    if (k == 0) return (m != 0 ? s : d) & 0x00FFFFFFu;
    std::uint32_t out = k << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        const std::uint32_t c = (((s >> shift) & 0xFF) * ws + ((d >> shift) & 0xFF) * q) / k;
        out |= (c > 255 ? 255 : c) << shift;
    }
    return out;
}

// dst[i] = mask_blend(src[i], dst[i], mask[i]) for i < n; a null mask counts as all zero.
// src and dst must not overlap.
void mask_blend_row_ref(std::uint32_t* dst, const std::uint32_t* src, const std::uint8_t* mask, std::size_t n);
void mask_blend_row_avx2(std::uint32_t* dst, const std::uint32_t* src, const std::uint8_t* mask, std::size_t n);
void mask_blend_row(std::uint32_t* dst, const std::uint32_t* src, const std::uint8_t* mask, std::size_t n);

} // namespace zk
