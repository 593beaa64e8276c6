// The shared body of the five writers.
#include "convert_pipeline.h"

#include <utility>

#include "smooth_filter.h"

namespace vm {

const char* format_extension(int format)
{
    switch (format) {
    case kFormatJpeg: return "jpg";
    case kFormatBmp: return "bmp";
    case kFormatPict: return "pct";
    default: return "tga";
    }
}

DWORD background_colour(int format, int key_mode)
{
    if (format == kFormatJpeg || format == kFormatBmp) return 0xFF000000u;
    return key_mode == 1 ? 0xFF000000u : 0x00000000u;
}

CSize target_size(long w, long h, int aspect, const tagCONVSETTING& s)
{
    switch (aspect) {
    case kAspectWiden: return CSize(static_cast<long>(static_cast<double>(w) * 1.125), h);
    // 0.8888888888888888 rather than 8/9 computed: it is the factor the old program used, and
    // it gives 640 for 720 exactly.
    case kAspectNarrow: return CSize(static_cast<long>(static_cast<double>(w) * 0.8888888888888888), h);
    case kAspectCustom: return CSize(s.nWidth, s.nHeight);
    default: return CSize(w, h);
    }
}

CBox cut_area(long w, long h, int aspect, const tagCONVSETTING& s)
{
    CBox none{};
    if (aspect != kAspectCustom || w != 1920) return none;
    if (s.nCutW == 0 && s.nCutH == 0) return none;
    const long cw = s.nCutW > 0 ? s.nCutW : w - s.nCutX;
    const long ch = s.nCutH > 0 ? s.nCutH : h - s.nCutY;
    if (cw < 1 || ch < 1) return none;
    CBox box{};
    box.x = s.nCutX;
    box.y = s.nCutY;
    box.width = cw;
    box.height = ch;
    return box;
}

int render_output(CKrFrameBuffer& image, long w, long h, int aspect, int format, const tagCONVSETTING& s,
                  CKrFrameBuffer& out)
{
    out.DeleteFrameBuffer();
    const CSize target = target_size(w, h, aspect, s);
    if (target.cx < 1 || target.cy < 1) return -1;

    CKrFrameBuffer canvas;
    // The background fills every pixel, so the buffer needs no clearing first.
    if (canvas.CreateFrameBuffer(w, h, 0) != 0) return -1;
    canvas.ClearCol(background_colour(format, s.nKey));
    canvas.FbCopy(&image, 0, 0, w, h, 0, 0, 1, nullptr);

    CKrFrameBuffer resized;
    const CBox cut = cut_area(w, h, aspect, s);
    if (cut.width > 0) {
        CKrFrameBuffer piece;
        if (piece.CreateFrameBuffer(cut.width, cut.height, 1) != 0) return -1;
        piece.FbCopy(&canvas, cut.x, cut.y, cut.width, cut.height, 0, 0, 0, nullptr);
        canvas.DeleteFrameBuffer();  // the full-size canvas is not needed any more
        if (piece.SizeChange(&resized, target.cx, target.cy) != 0) return -1;
    } else {
        if (canvas.SizeChange(&resized, target.cx, target.cy) != 0) return -1;
    }
    canvas.DeleteFrameBuffer();

    if (s.nFilter < 1) {
        out = std::move(resized);
        return 0;
    }
    // Every pass smooths the previous pass's result.
    CKrFrameBuffer smoothed;
    if (smoothed.CreateFrameBuffer(target.cx, target.cy, 0) != 0) return -1;
    for (std::int32_t pass = 0; pass < s.nFilter; ++pass) {
        smooth_pixels(resized.GetBufferDWord(), smoothed.GetBufferDWord(), target.cx, target.cy);
        std::swap(resized, smoothed);
    }
    out = std::move(resized);
    return 0;
}

} // namespace vm
