// Colouring grey images: plain colour, two-colour gradients and texture images, each
// weighted by the grey level.
//
// A grey pixel g becomes 0x00000000 when g is 0 and otherwise the fill's pixel with its key
// scaled by g/255 (truncating), colour bytes unchanged.
//
// Gradients. On a W × H picture with the frame l = 0, t = 0, r = W - 1, b = H - 1, a point
// (x, y) inside the picture becomes the centre and selects the "with point" lengths (pattern
// + 100); otherwise the centre is (r - r/2, b - b/2). Each pixel gets a position p, normally
// between -C and 0, and each byte is colour 2's byte + trunc(p·(colour 2's byte - colour 1's
// byte)/C), kept modulo 256. Patterns outside 0-10 draw as 0. A length that would be 0 (a band
// across a picture one pixel wide or high) counts as 1; p is then 0 and the band is colour 2.
#pragma once

#include "draw/bw_draw_info.h"
#include "framebuffer/kr_bitmaps.h"
#include "framebuffer/kr_frame_buffer.h"

namespace zk {

struct GradGeometry {
    long pattern; // 0-10, or 100-110 when the centre is the caller's point
    long l, t, r, b;
    long cx, cy;
    long length; // C, at least 1
};

// Centre and length of a pattern (already carrying its +100) over the frame.
GradGeometry grad_geometry(long pattern, long l, long t, long r, long b, long x, long y);
// The position p of pixel (i, j).
double grad_position(const GradGeometry& g, long i, long j);
void grad_paint(DWORD* pixels, long w, long h, long x, long y, DWORD col1, DWORD col2, long pattern);

// Loads a texture picture; false when the name is empty or the file cannot be read.
bool load_texture(const char* file, CKrFrameBuffer& out);
// Fills a created picture from a texture: centred on opaque black, tiled or stretched;
// opaque black when the file cannot be loaded, left as it is for an unknown mode.
void texture_fill(const tagTEXTUREINFO& text, CKrFrameBuffer& fill);

int grey_to_fb_color(const CKrGrayBitmap& grey, CKrFrameBuffer& out, DWORD col);
int grey_to_fb_grad(const CKrGrayBitmap& grey, CKrFrameBuffer& out, const tagGRADINFO& grad);
int grey_to_fb_text(const CKrGrayBitmap& grey, CKrFrameBuffer& out, const tagTEXTUREINFO& text);
// Chooses by map.Mode (0 colour, 1 gradient, 2 texture); other modes and missing fills fail.
int grey_to_fb(const CKrGrayBitmap& grey, CKrFrameBuffer& out, const tagMAPINFO& map);

} // namespace zk
