// Pixel swizzles between frame-buffer words (bytes blue, green, red, key) and the packed
// red-green-blue(-key) rows of the JPEG codec.
//
// Each kernel has a plain reference (_ref) and an AVX2 version (_avx2) with identical
// results; the unsuffixed name picks one at run time (core/simd.h). Preconditions, for all:
// n pixels, source and destination do not overlap unless stated below, no alignment needed. The AVX2 versions
// never touch a byte outside the n pixels of either buffer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zk {

// 3-byte red, green, blue to words with key 255. Works from the last pixel back, so dst may
// overlap src as long as it does not start before it (a row widened in place).
void rgb_to_bgra_ref(const std::uint8_t* src, std::uint32_t* dst, std::size_t n);
void rgb_to_bgra_avx2(const std::uint8_t* src, std::uint32_t* dst, std::size_t n);
void rgb_to_bgra(const std::uint8_t* src, std::uint32_t* dst, std::size_t n);

// Words to 3-byte red, green, blue (the key is dropped).
void bgra_to_rgb_ref(const std::uint32_t* src, std::uint8_t* dst, std::size_t n);
void bgra_to_rgb_avx2(const std::uint32_t* src, std::uint8_t* dst, std::size_t n);
void bgra_to_rgb(const std::uint32_t* src, std::uint8_t* dst, std::size_t n);

// Swaps the first and third byte of every 4-byte pixel: red-green-blue-key to frame-buffer
// order and back. src and dst may be the same buffer.
void swap_red_blue_ref(const std::uint8_t* src, std::uint8_t* dst, std::size_t n);
void swap_red_blue_avx2(const std::uint8_t* src, std::uint8_t* dst, std::size_t n);
void swap_red_blue(const std::uint8_t* src, std::uint8_t* dst, std::size_t n);

} // namespace zk
