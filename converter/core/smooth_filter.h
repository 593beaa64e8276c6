// The smoothing pass of the converter: a 3 × 3 weighted average (1 2 1 / 2 20 2 / 1 2 1) of
// each of the four bytes of every pixel.
//
// At the border only the neighbours inside the picture count, and the sum is divided by the
// weights that were used (32 inside, 28 on an edge, 25 in a corner), truncating. Because the
// centre always counts, pictures narrower or lower than 2 pixels are smoothed the same way
// (a single pixel divides by 20 and stays as it was).
#pragma once

#include <cstdint>

#include "platform/framework/win_types.h"

namespace vm {

// One pass from src (w × h pixel words) into dst (the same size, not overlapping src).
void smooth_pixels(const DWORD* src, DWORD* dst, long w, long h);

// The plain per-pixel definition, used for the border and to check the fast interior.
DWORD smooth_one_pixel(const DWORD* src, long w, long h, long x, long y);

} // namespace vm
