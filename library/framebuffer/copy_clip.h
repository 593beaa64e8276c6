// The clipping shared by the frame buffer's copies (plain, keyed and masked).
//
// In this order: a negative source position shrinks the area; the area is cut at the
// source's right and bottom; a negative destination position shrinks it and moves the source
// start; it is cut at the destination's right and bottom; an area under 1 × 1 is refused.
// The arithmetic is done in 128 bits so that absurd caller values cannot overflow.
#pragma once

namespace zk {

struct CopyArea {
    long sx, sy, w, h, dx, dy;
};

bool clip_copy(long src_w, long src_h, long dst_w, long dst_h, long sx, long sy, long w, long h, long dx, long dy,
               CopyArea& out);

} // namespace zk
