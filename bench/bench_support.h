// Shared pieces of the benchmarks: test pictures and peer-library set-up.
#pragma once

#include "support/test_support.h"

struct ass_image;

namespace zb {

// A caption-like picture: opaque text-ish blocks with anti-aliased borders on transparency.
CKrFrameBuffer caption_picture(long w, long h, unsigned seed);
// A photograph-like picture: smooth colour gradients with noise, fully opaque.
CKrFrameBuffer photo_picture(long w, long h, unsigned seed);

// Lays libass's output images into a frame the way our renderer lays its layers (key
// composite), so both sides of a caption comparison end in the same picture work.
void lay_ass_images(const ass_image* img, CKrFrameBuffer& frame);

} // namespace zb
