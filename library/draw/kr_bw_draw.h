// CKrBwDraw: the renderer that paints a caption element in three layers.
//
// It takes a one-bit supersampled mask (from the text or shape rasteriser) or a picture with a
// key, reduces it to grey levels, grows an edge and a shadow from it, colours each layer with
// its fill from the attribute record (colour, gradient or texture) and lays shadow, edge and
// body, in that order, into a frame buffer: by key composite, or, when the shadow's SoftPen is
// set, each layer replacing what lies under it in proportion to its own coverage (knock-out).
//
// The object keeps only the two pointers of the current call (target and record), owned by
// the caller. Every operation returns 0 for success and -1 for failure. Sizes and positions
// are output pixels. Edge widths, shadow offsets and soft radii are honoured up to 255 pixels
// and cut to that beyond, so a damaged record cannot ask for a picture of absurd size.
#pragma once

#include "core/zorvik_api.h"
#include "draw/bw_draw_info.h"
#include "framebuffer/box.h"
#include "framebuffer/kr_bitmaps.h"
#include "framebuffer/kr_frame_buffer.h"

class ZORVIK_API CKrBwDraw {
public:
    CKrBwDraw() = default;
    CKrBwDraw(const CKrBwDraw&) = default;
    CKrBwDraw& operator=(const CKrBwDraw&) = default;
    virtual ~CKrBwDraw();

    // Renders the mask with the record's decorations into target with the body's top-left at
    // the record's position; box (optional) receives the union of the areas written.
    int DispFb(CKrFrameBuffer* target, const tagKRBWDRAWINFO* info, const CKrMonoBitmap* mask, CBox* box);
    // Renders into result, replaced by a picture just large enough for all layers. whole is
    // that picture's size and its place in the caller's picture; body, edge and shadow are
    // where the layers lie in it (all zero for a layer that is not drawn).
    int SetFb(CKrFrameBuffer* result, const tagKRBWDRAWINFO* info, const CKrMonoBitmap* mask, CBox& whole, CBox& body,
              CBox& edge, CBox& shadow);
    // As SetFb with the picture src as the body (its key is the coverage); the record's body
    // fill is not used.
    int SetImgEdgeShadow(CKrFrameBuffer* result, const tagKRBWDRAWINFO* info, CKrFrameBuffer* src, CBox& whole,
                         CBox& body, CBox& edge, CBox& shadow);
    // As SetImgEdgeShadow, but result keeps src's size: what lies outside the body is cut off.
    int SetFullImgEdgeShadow(CKrFrameBuffer* result, const tagKRBWDRAWINFO* info, CKrFrameBuffer* src, CBox& whole,
                             CBox& body, CBox& edge, CBox& shadow);

    // Building blocks. Each empties its output first and creates it at the size it produces.
    // Grey image (bytes·8/scale) × (rows/scale) from a mask at scale 1, 4, 8 or 16.
    int MakeAntiGray(long scale, const CKrMonoBitmap* mask, CKrGrayBitmap* grey);
    // One grey pixel per picture pixel: its key.
    int KeyToGray(const CKrFrameBuffer* fb, CKrGrayBitmap* grey);
    // Edge of the given width around in, (w + 2·size) × (h + 2·size): hard for type 0, soft
    // otherwise. soft_pen is accepted and has no effect.
    int MakeEdge(long type, long size, long soft_pen, const CKrGrayBitmap* in, CKrGrayBitmap* out);
    int GrayMakeNomEdge(long size, const CKrGrayBitmap* in, CKrGrayBitmap* out);
    int GrayMakeSoftEdge(long size, long soft_pen, const CKrGrayBitmap* in, CKrGrayBitmap* out);
    // Shadow picture: type 1 extruded by |size|, type 2 blurred by soft_size, otherwise a copy.
    int MakeShadow(long type, long size, long soft_size, long soft_pen, const CKrGrayBitmap* in, CKrGrayBitmap* out);
    int Make3DShadow(long depth, const CKrGrayBitmap* in, CKrGrayBitmap* out);
    // Colouring a grey image: by the map's mode, or with a colour, gradient or texture.
    int GrayToFb(const CKrGrayBitmap* grey, CKrFrameBuffer* out, const tagMAPINFO* map);
    int MakeFb_Color(const CKrGrayBitmap* grey, CKrFrameBuffer* out, const DWORD* col);
    int MakeFb_Grad(const CKrGrayBitmap* grey, CKrFrameBuffer* out, const tagGRADINFO* grad);
    int MakeFb_Text(const CKrGrayBitmap* grey, CKrFrameBuffer* out, const tagTEXTUREINFO* text);
    // Paints a w × h gradient into pixels (w·h words, rows without padding).
    int Pis_Grad_Paint(DWORD* pixels, long w, long h, long x, long y, DWORD col1, DWORD col2, long pattern);
    // Gradient geometry over the frame (l, t)-(r, b): the length C of a pattern (which carries
    // +100 when (x, y) is its centre) and the centre; then the position p of pixel (i, j).
    long Pis_Grad_Paint_Set1(long pattern, long l, long t, long r, long b, long x, long y, long* cx, long* cy);
    double Pis_Grad_Paint_Conv(long pattern, long i, long j, long l, long t, long r, long b, long cx, long cy);
    // Fills an n × n byte buffer with a round brush with a solid core of diameter core.
    int FilterBlush(unsigned char* buf, long n, long core);

private:
    CKrFrameBuffer* m_pFb = nullptr;
    const tagKRBWDRAWINFO* m_pInfo = nullptr;
};
