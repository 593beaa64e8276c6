// What every output format does to a loaded picture before it is saved: put it on a canvas
// whose background follows the format and key mode, composite it by key, cut and resize it
// for the aspect choice, and smooth it.
//
// The picture given is only read. Formats and aspect choices use the numbers the form's
// radio buttons stand for.
#pragma once

#include "framebuffer/kr_frame_buffer.h"
#include "platform/framework/geometry.h"
#include "velmora_settings.h"

namespace vm {

enum OutputFormat : int {
    kFormatTgaRle = 0,  // "TGA(圧)"
    kFormatJpeg = 1,    // "JPG"
    kFormatBmp = 2,     // "BMP"
    kFormatPict = 3,    // "PICT"
    kFormatTgaRaw = 4,  // "TGA(非)"
};

enum AspectChoice : int {
    kAspectOff = 0,     // "OFF": source size
    kAspectWiden = 1,   // "拡大": width × 1.125
    kAspectNarrow = 2,  // "縮小": width × 8/9
    kAspectCustom = 3,  // "カスタム": custom size, optional cut
};

// The file-name extension written for a format ("tga", "jpg", "bmp", "pct").
const char* format_extension(int format);

// Canvas background: JPEG and BMP always go on opaque black; Targa and PICT keep the
// source's key over transparency (key mode 0) or go on opaque black (key mode 1).
DWORD background_colour(int format, int key_mode);

// Output size for a w × h source.
CSize target_size(long w, long h, int aspect, const tagCONVSETTING& s);

// The area cut out of the source before resizing, or an empty box when none is cut: only
// for the custom choice, only for 1920-pixel-wide sources, only when a cut size is set.
// A cut width or height that is zero (or negative) reaches from the cut position to the
// source's edge, so a cut given in one direction only still works.
CBox cut_area(long w, long h, int aspect, const tagCONVSETTING& s);

// The whole treatment into out (replaced). 0 on success; -1 when a buffer could not be made
// or the output size is not a picture size, in which case out is left empty.
int render_output(CKrFrameBuffer& image, long w, long h, int aspect, int format, const tagCONVSETTING& s,
                  CKrFrameBuffer& out);

} // namespace vm
