// The grey-image steps of the renderer: mask reduction, key extraction, edge, shadow and
// extrusion growth, each producing a CKrGrayBitmap.
//
// Every step empties its output first and creates it at the size it produces, so a failed
// step leaves an empty output. Input and output may be the same bitmap. Sizes are in output
// pixels; edge widths, soft radii and extrusion depths beyond kMaxDecoration are cut to it.
// Result codes: 0 success, -1 failure.
#pragma once

#include "framebuffer/kr_bitmaps.h"
#include "framebuffer/kr_frame_buffer.h"

namespace zk {

int make_anti_gray(long scale, const CKrMonoBitmap& mask, CKrGrayBitmap& out);
int key_to_gray(const CKrFrameBuffer& fb, CKrGrayBitmap& out);
// Hard edge (grey dilation by the disc) or, for soft, the cone around the binarised input.
// A size below 1 or an empty input fails.
int make_edge(bool soft, long size, const CKrGrayBitmap& in, CKrGrayBitmap& out);
// The input laid at offsets (k, k), k < depth, taking the maximum; (w + depth) × (h + depth).
int make_extrusion(long depth, const CKrGrayBitmap& in, CKrGrayBitmap& out);
// Type 1 extrudes by |size|, type 2 blurs by soft_size (nothing when soft_size < 1, on a
// picture the input's size), every other type copies the input.
int make_shadow(long type, long size, long soft_size, const CKrGrayBitmap& in, CKrGrayBitmap& out);

} // namespace zk
