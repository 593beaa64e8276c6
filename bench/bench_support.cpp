#include "bench_support.h"

#include <ass/ass.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "support/renderer_reference.h"

namespace zb {

CKrFrameBuffer caption_picture(long w, long h, unsigned seed)
{
    std::mt19937 rng(seed);
    CKrFrameBuffer fb(w, h, 1);
    // Horizontal bands of "glyphs": solid rectangles whose one-pixel rims carry partial keys.
    for (long y0 = h / 8; y0 + 40 < h; y0 += h / 4) {
        for (long x0 = 20; x0 + 30 < w; x0 += 36) {
            const long gw = 20 + static_cast<long>(rng() % 10), gh = 30 + static_cast<long>(rng() % 10);
            const DWORD colour = rng() & 0x00FFFFFF;
            for (long y = y0; y < y0 + gh && y < h; ++y) {
                for (long x = x0; x < x0 + gw && x < w; ++x) {
                    const bool rim = y == y0 || x == x0 || y == y0 + gh - 1 || x == x0 + gw - 1;
                    const DWORD key = rim ? 64 + rng() % 128 : 255;
                    zt::set_px(fb, x, y, colour | key << 24);
                }
            }
        }
    }
    return fb;
}

CKrFrameBuffer photo_picture(long w, long h, unsigned seed)
{
    std::mt19937 rng(seed);
    CKrFrameBuffer fb(w, h, 1);
    for (long y = 0; y < h; ++y) {
        for (long x = 0; x < w; ++x) {
            const double fx = static_cast<double>(x) / w, fy = static_cast<double>(y) / h;
            const int n = static_cast<int>(rng() % 16) - 8;
            auto chan = [&](double v) { return static_cast<DWORD>(std::clamp(static_cast<int>(v * 255) + n, 0, 255)); };
            const DWORD r = chan(0.5 + 0.5 * std::sin(fx * 7 + fy * 3));
            const DWORD g = chan(fy);
            const DWORD b = chan(0.5 + 0.5 * std::cos(fx * 11 - fy * 5));
            zt::set_px(fb, x, y, 0xFF000000u | r << 16 | g << 8 | b);
        }
    }
    return fb;
}

void lay_ass_images(const ass_image* img, CKrFrameBuffer& frame)
{
    const long fw = static_cast<long>(frame.GetWidth()), fh = static_cast<long>(frame.GetHeight());
    for (; img; img = img->next) {
        const DWORD colour = img->color; // RRGGBBAA, AA = transparency
        const DWORD a = 255 - (colour & 0xFF);
        const DWORD rgb = colour >> 8;
        for (int y = 0; y < img->h; ++y) {
            const long fy = img->dst_y + y;
            if (fy < 0 || fy >= fh) continue;
            DWORD* row = frame.GetBufferDWord() + fy * fw;
            for (int x = 0; x < img->w; ++x) {
                const long fx = img->dst_x + x;
                if (fx < 0 || fx >= fw) continue;
                const DWORD k = a * img->bitmap[y * img->stride + x] / 255;
                if (k) row[fx] = zref::composite(k << 24 | rgb, row[fx]);
            }
        }
    }
}

} // namespace zb
