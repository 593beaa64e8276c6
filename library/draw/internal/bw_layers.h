// The three layers of a caption element (shadow, edge, body), how they are made from a
// record, where they lie relative to the body, and how they are laid into a picture.
//
// Offsets are relative to the body's top-left corner. With E the edge width actually drawn
// (0 without an edge): the edge lies at (-E, -E); the shadow at (-E, -E) when it is an
// extrusion down and to the right, otherwise at (Size - E, Size - E), a soft shadow with the
// same corner although its picture is larger by the blur radius on every side.
#pragma once

#include "draw/bw_draw_info.h"
#include "framebuffer/box.h"
#include "framebuffer/kr_bitmaps.h"
#include "framebuffer/kr_frame_buffer.h"

namespace zk {

struct BwLayer {
    CKrGrayBitmap grey;
    CKrFrameBuffer fb;
    long x = 0;
    long y = 0;
    bool present = false;
};

struct BwLayers {
    BwLayer shadow;
    BwLayer edge;
    BwLayer body;
};

// The body from a supersampled mask, coloured by the record's body fill. -1 when the scale is
// not supported, the mask is empty or the body's mode is unknown.
int make_body_from_mask(const tagKRBWDRAWINFO& info, const CKrMonoBitmap& mask, BwLayer& body);
// The body as a copy of a picture, its coverage being the picture's key.
int make_body_from_image(const CKrFrameBuffer& image, BwLayer& body);
// Grows edge and shadow from the body's grey image; a part that cannot be made is left out.
void make_decorations(const tagKRBWDRAWINFO& info, BwLayers& layers);

// Lays one layer into target with its top-left at (x, y): key composite, or in knock-out mode
// blended under its own grey image. scratch receives the area written and keeps its value
// when nothing is written.
void lay_layer(CKrFrameBuffer& target, BwLayer& layer, long x, long y, bool knockout, CBox& scratch);

// The layout of a decorated element in a picture of its own, as the caller sees it: boxes of
// the three layers moved so that none has a negative position, and the whole picture's size
// and its position in the caller's picture.
struct BwLayout {
    CBox whole;
    CBox body;
    CBox edge;
    CBox shadow;
};
BwLayout layout_layers(const BwLayers& layers, POINT pos);

// Renders layers into a fresh picture laid out as layout, or (full_image) into a picture of
// the body's size with everything outside the body cut off. -1 when memory fails.
int compose_layers(BwLayers& layers, const BwLayout& layout, bool knockout, bool body_only, CKrFrameBuffer& result);

} // namespace zk
