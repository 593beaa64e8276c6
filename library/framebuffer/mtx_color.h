// MtxColor: conversions between 32-bit RGB colours and the studio-range YUV words that the
// video hardware takes.
//
// YUV words hold Cr in bits 0-7, Cb in bits 8-15, Y in bits 16-23 and the input's top byte.
// The way back reads bits 8-15 as Cr and bits 0-7 as Cb, so a colour converted there and back
// returns with its colour-difference components exchanged; hardware colours depend on that.
#pragma once

#include "core/zorvik_api.h"
#include "platform/framework/win_types.h"

class ZORVIK_API MtxColor {
public:
    MtxColor() = default;
    MtxColor(const MtxColor&) = default;
    MtxColor& operator=(const MtxColor&) = default;
    virtual ~MtxColor() = default;

    // From a colour reference (red in bits 0-7, green 8-15, blue 16-23).
    DWORD RGBtoYUV(DWORD colorref);
    // From a frame-buffer word (blue in bits 0-7, green, red, key on top); the key is kept.
    DWORD ARGBtoYUV(DWORD argb);
    // To a colour reference.
    DWORD YUVtoRGB(DWORD yuv);
    // To a frame-buffer word; the input's top byte is kept.
    DWORD YUVtoARGB(DWORD yuv);

    DWORD m_dwLastYuv = 0xFF108080u;
    DWORD m_dwReserved = 0;
};
