// Colouring a grey image with one colour: the pixel takes the colour's RGB and a key of
// (colour key × grey) / 255, rounded down; a grey of 0 gives the empty pixel 0, not a
// transparent pixel of the colour, so untouched areas stay zero words.
//
// colour_row_ref looks every grey level up in a table; the AVX2 version computes the key
// eight pixels at a time, dividing by 255 as (x · 32897) >> 23, which is exact for every
// product of two bytes. Both give identical words.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zk {

void colour_row_ref(std::uint32_t* dst, const std::uint8_t* grey, std::uint32_t colour, std::size_t n);
void colour_row_avx2(std::uint32_t* dst, const std::uint8_t* grey, std::uint32_t colour, std::size_t n);
void colour_row(std::uint32_t* dst, const std::uint8_t* grey, std::uint32_t colour, std::size_t n);

} // namespace zk
