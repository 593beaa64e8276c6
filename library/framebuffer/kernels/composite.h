// The key composite: laying a keyed source pixel over a destination pixel.
//
// With S the source, D the destination, a and d their keys:
//   a = 255:      S.
//   0 < a < 255:  t = d - d·a/255, k = t + a, each colour (D.c·t + S.c·a)/k, key k.
//   a = 0:        S when d = 0 and S is not the zero word (a transparent source still brings
//                 its colour onto a transparent destination), otherwise D.
// Every division truncates. key_composite is the plain definition; composite_row runs it
// over a row, vectorised where the processor allows, with identical results.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zk {

inline std::uint32_t key_composite(std::uint32_t s, std::uint32_t d)
{
    const std::uint32_t a = s >> 24;
    if (a == 255) return s;
    const std::uint32_t dk = d >> 24;
    if (a == 0) return (dk == 0 && s != 0) ? s : d;
    const std::uint32_t t = dk - dk * a / 255;
    const std::uint32_t k = t + a;
    std::uint32_t out = k << 24;
    for (int shift = 0; shift < 24; shift += 8) {
        const std::uint32_t dc = (d >> shift) & 0xFF;
        const std::uint32_t sc = (s >> shift) & 0xFF;
        out |= ((dc * t + sc * a) / k) << shift;
    }
    return out;
}

// The vectorised kernel divides by k through a float reciprocal plus this bias; the scalar
// twin below exists so the method can be checked exhaustively.
constexpr float kQuotientBias = 1.0f / 1024.0f;
std::uint32_t quotient_by_reciprocal(std::uint32_t num, std::uint32_t k);

// dst[i] = key_composite(src[i], dst[i]) for i < n. src and dst must not overlap.
void composite_row_ref(std::uint32_t* dst, const std::uint32_t* src, std::size_t n);
void composite_row_avx2(std::uint32_t* dst, const std::uint32_t* src, std::size_t n);
void composite_row(std::uint32_t* dst, const std::uint32_t* src, std::size_t n);

} // namespace zk
