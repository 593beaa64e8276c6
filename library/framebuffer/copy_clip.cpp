#include "framebuffer/copy_clip.h"

namespace zk {

bool clip_copy(long src_w, long src_h, long dst_w, long dst_h, long sx0, long sy0, long w0, long h0, long dx0, long dy0,
               CopyArea& out)
{
    using wide = __int128;
    wide sx = sx0, sy = sy0, w = w0, h = h0, dx = dx0, dy = dy0;
    if (sx < 0) { w += sx; sx = 0; }
    if (sy < 0) { h += sy; sy = 0; }
    if (sx + w > src_w) w = src_w - sx;
    if (sy + h > src_h) h = src_h - sy;
    if (dx < 0) { w += dx; sx -= dx; dx = 0; }
    if (dy < 0) { h += dy; sy -= dy; dy = 0; }
    if (dx + w > dst_w) w = dst_w - dx;
    if (dy + h > dst_h) h = dst_h - dy;
    if (w < 1 || h < 1) return false;
    out = CopyArea{static_cast<long>(sx), static_cast<long>(sy), static_cast<long>(w),
                   static_cast<long>(h), static_cast<long>(dx), static_cast<long>(dy)};
    return true;
}

} // namespace zk
