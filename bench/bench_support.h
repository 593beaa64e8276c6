// Shared pieces of the benchmarks: test pictures and peer-library set-up.
#pragma once

#include "support/test_support.h"

namespace zb {

// A caption-like picture: opaque text-ish blocks with anti-aliased borders on transparency.
CKrFrameBuffer caption_picture(long w, long h, unsigned seed);
// A photograph-like picture: smooth colour gradients with noise, fully opaque.
CKrFrameBuffer photo_picture(long w, long h, unsigned seed);

} // namespace zb
