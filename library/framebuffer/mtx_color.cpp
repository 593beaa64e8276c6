#include "framebuffer/mtx_color.h"

#include <algorithm>

namespace {

// Y, Cb and Cr packed as Y << 16 | Cb << 8 | Cr.
DWORD rgb_to_ycbcr(int r, int g, int b)
{
    int y = (((16895 * r + 33023 * g + 6403 * b + 128) >> 8) + 4224) >> 8;
    int cb = (((-9725 * r - 19202 * g + 28927 * b + 128) >> 8) + 32896) >> 8;
    int cr = (((28927 * r - 24320 * g - 4607 * b + 128) >> 8) + 32896) >> 8;
    y = std::clamp(y, 16, 235);
    cb = std::clamp(cb, 16, 240);
    cr = std::clamp(cr, 16, 240);
    return static_cast<DWORD>(y) << 16 | static_cast<DWORD>(cb) << 8 | static_cast<DWORD>(cr);
}

struct Rgb {
    int first, second, third;
};

Rgb ycbcr_to_rgb(DWORD yuv)
{
    const int y = static_cast<int>((yuv >> 16) & 0xFF) - 16;
    const int p = static_cast<int>((yuv >> 8) & 0xFF) - 128;
    const int q = static_cast<int>(yuv & 0xFF) - 128;
    const int first = (76260 * y + 103817 * p - 469 * q - 32768) >> 16;
    const int second = (76260 * y - 53057 * p - 25323 * q - 32768) >> 16;
    const int third = (76260 * y - 303 * p + 131551 * q - 32768) >> 16;
    return Rgb{std::clamp(first, 0, 255), std::clamp(second, 0, 255), std::clamp(third, 0, 255)};
}

} // namespace

DWORD MtxColor::RGBtoYUV(DWORD colorref)
{
    if (colorref == 0) {
        m_dwLastYuv = 0x8080;
        return 0x008080;
    }
    if (colorref == 0x00FFFFFF) return 0xEB8080;
    const int r = colorref & 0xFF, g = (colorref >> 8) & 0xFF, b = (colorref >> 16) & 0xFF;
    return (colorref & 0xFF000000u) | rgb_to_ycbcr(r, g, b);
}

DWORD MtxColor::ARGBtoYUV(DWORD argb)
{
    const DWORD key = argb & 0xFF000000u;
    const DWORD rgb = argb & 0x00FFFFFFu;
    if (rgb == 0) return key | 0x008080;
    if (rgb == 0x00FFFFFF) return key | 0xEB8080;
    const int b = argb & 0xFF, g = (argb >> 8) & 0xFF, r = (argb >> 16) & 0xFF;
    return key | rgb_to_ycbcr(r, g, b);
}

DWORD MtxColor::YUVtoRGB(DWORD yuv)
{
    if (yuv == 0x00008080) return 0;
    if (yuv == 0x00EB8080) return 0x00FFFFFF;
    const Rgb c = ycbcr_to_rgb(yuv);
    return static_cast<DWORD>(c.first) | static_cast<DWORD>(c.second) << 8 | static_cast<DWORD>(c.third) << 16;
}

DWORD MtxColor::YUVtoARGB(DWORD yuv)
{
    if (yuv == 0x00008080) return 0;
    if (yuv == 0x00EB8080) return 0x00FFFFFF;
    const Rgb c = ycbcr_to_rgb(yuv);
    return (yuv & 0xFF000000u) | static_cast<DWORD>(c.first) << 16 | static_cast<DWORD>(c.second) << 8 |
           static_cast<DWORD>(c.third);
}
