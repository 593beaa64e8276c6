// Colouring grey images with a colour, a gradient or a texture.
#include "draw/internal/bw_fill.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "core/errors.h"
#include "draw/kernels/grey_colour.h"
#include "imagefile/img_file.h"

namespace zk {

GradGeometry grad_geometry(long pattern, long l, long t, long r, long b, long x, long y)
{
    const bool with_point = pattern >= 100 && pattern <= 110;
    long base = with_point ? pattern - 100 : pattern;
    if (base < 0 || base > 10) base = 0;
    GradGeometry g{with_point ? base + 100 : base, l, t, r, b, 0, 0, 0};
    long c = 0;
    if (with_point) {
        g.cx = x;
        g.cy = y;
        const long mx = std::max(std::labs(x - l), std::labs(x - r));
        const long my = std::max(std::labs(y - t), std::labs(y - b));
        const long across = 2 * mx + 1, down = 2 * my + 1;
        switch (base) {
        case 0: c = across; break;
        case 1: c = down; break;
        case 2:
        case 3: c = across + down; break;
        case 7: c = mx + 1; break;
        case 8: c = my + 1; break;
        case 9:
        case 10: c = (mx + 1) + (my + 1); break;
        default: c = (across + down) / 2; break;
        }
    } else {
        g.cx = r - r / 2;
        g.cy = b - b / 2;
        const long w = r - l + 1, h = b - t + 1;
        switch (base) {
        case 0: c = w; break;
        case 1: c = h; break;
        case 2:
        case 3: c = w + h; break;
        case 7: c = w / 2; break;
        case 8: c = h / 2; break;
        default: c = (w + h) / 2; break;
        }
    }
    // A band across a picture one pixel wide or high has no length; its single line sits at
    // p = 0 and takes colour 2.
    g.length = std::max(1L, c);
    return g;
}

double grad_position(const GradGeometry& g, long i, long j)
{
    const long ax = i - g.cx, ay = j - g.cy;
    switch (g.pattern % 100) {
    case 1: return static_cast<double>(j - g.b);
    case 2: return static_cast<double>((i - g.r) + (j - g.b));
    case 3: return static_cast<double>((j - g.b) - (i - g.l));
    case 4: return -static_cast<double>(std::labs(ax) + std::labs(ay));
    case 5: return -2.0 * static_cast<double>(std::max(std::labs(ax), std::labs(ay)));
    case 6: return -std::sqrt(static_cast<double>(ax * ax + ay * ay));
    case 7: return -static_cast<double>(std::labs(ax));
    case 8: return -static_cast<double>(std::labs(ay));
    case 9: return -static_cast<double>(std::labs(ax + ay));
    case 10: return -static_cast<double>(std::labs(ay - ax));
    default: return static_cast<double>(i - g.r);
    }
}

void grad_paint(DWORD* pixels, long w, long h, long x, long y, DWORD col1, DWORD col2, long pattern)
{
    if (!pixels || w < 1 || h < 1) return;
    if (pattern < 0 || pattern > 10) pattern = 0;
    if (x >= 0 && x < w && y >= 0 && y < h) pattern += 100;
    const GradGeometry g = grad_geometry(pattern, 0, 0, w - 1, h - 1, x, y);
    const double length = static_cast<double>(g.length);
    double diff[4];
    int base[4];
    for (int k = 0; k < 4; ++k) {
        base[k] = static_cast<int>((col2 >> (8 * k)) & 0xFF);
        diff[k] = static_cast<double>(base[k] - static_cast<int>((col1 >> (8 * k)) & 0xFF));
    }
    for (long j = 0; j < h; ++j) {
        DWORD* row = pixels + static_cast<std::size_t>(j) * static_cast<std::size_t>(w);
        for (long i = 0; i < w; ++i) {
            const double p = grad_position(g, i, j);
            DWORD v = 0;
            for (int k = 0; k < 4; ++k) {
                // p is whole for every pattern but the circle, and then p·diff/length is an
                // exact quotient of integers, so truncating it matches integer division.
                const long delta = static_cast<long>(std::trunc(p * diff[k] / length));
                v |= static_cast<DWORD>((base[k] + delta) & 0xFF) << (8 * k);
            }
            row[i] = v;
        }
    }
}

bool load_texture(const char* file, CKrFrameBuffer& out)
{
    out.DeleteFrameBuffer();
    if (!file || !*file) return false;
    CImgFile image;
    if (image.LoadImage(CString(file)) != 0) return false;
    CKrFrameBuffer* loaded = image.GetImg();
    if (!loaded || loaded->IsBuffer() == 1) return false;
    out = std::move(*loaded);
    return true;
}

void texture_fill(const tagTEXTUREINFO& text, CKrFrameBuffer& fill)
{
    constexpr DWORD kOpaqueBlack = 0xFF000000u;
    CKrFrameBuffer image;
    if (!load_texture(text.File, image)) {
        fill.ClearCol(kOpaqueBlack);
        return;
    }
    const long fw = static_cast<long>(fill.GetWidth()), fh = static_cast<long>(fill.GetHeight());
    const long iw = static_cast<long>(image.GetWidth()), ih = static_cast<long>(image.GetHeight());
    switch (text.Mode) {
    case 0:
        fill.ClearCol(kOpaqueBlack);
        fill.FbCopy(&image, 0, 0, iw, ih, fw / 2 - iw / 2, fh / 2 - ih / 2, 0, nullptr);
        return;
    case 1: {
        // Tiles from the top-left corner; each fill pixel takes the image pixel at its
        // position modulo the image size, which is what laying copies side by side gives.
        const DWORD* src = image.GetBufferDWord();
        DWORD* dst = fill.GetBufferDWord();
        for (long y = 0; y < fh; ++y) {
            const DWORD* srow = src + static_cast<std::size_t>(y % ih) * static_cast<std::size_t>(iw);
            DWORD* drow = dst + static_cast<std::size_t>(y) * static_cast<std::size_t>(fw);
            for (long x = 0; x < fw; x += iw) std::copy_n(srow, std::min(iw, fw - x), drow + x);
        }
        return;
    }
    case 2:
        if (image.SizeChange(&fill, fw, fh) != 0) fill.CreateFrameBuffer(fw, fh, 1);
        return;
    default:
        return;
    }
}

namespace {

// Creates out at the grey image's size; false when the grey image is empty or memory fails.
bool create_like(const CKrGrayBitmap& grey, CKrFrameBuffer& out)
{
    out.DeleteFrameBuffer();
    if (!grey.GetBits()) return false;
    return out.CreateFrameBuffer(grey.GetWidth(), grey.GetHeight(), 1) == 0;
}

// Weights a fill already painted into out by the grey image.
void apply_grey(const CKrGrayBitmap& grey, CKrFrameBuffer& out)
{
    const long w = grey.GetWidth(), h = grey.GetHeight();
    DWORD* p = out.GetBufferDWord();
    for (long y = 0; y < h; ++y) {
        const std::uint8_t* g = grey.Row(y);
        DWORD* row = p + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
        for (long x = 0; x < w; ++x) {
            const DWORD v = row[x];
            row[x] = g[x] ? (v & 0x00FFFFFFu) | ((v >> 24) * g[x] / 255) << 24 : 0;
        }
    }
}

} // namespace

int grey_to_fb_color(const CKrGrayBitmap& grey, CKrFrameBuffer& out, DWORD col)
{
    // Every pixel is written below, so the buffer is not cleared first.
    out.DeleteFrameBuffer();
    if (!grey.GetBits() || out.CreateFrameBuffer(grey.GetWidth(), grey.GetHeight(), 0) != 0) return ZK_FAIL(-1);
    const long w = grey.GetWidth(), h = grey.GetHeight();
    DWORD* p = out.GetBufferDWord();
    for (long y = 0; y < h; ++y)
        colour_row(p + static_cast<std::size_t>(y) * static_cast<std::size_t>(w), grey.Row(y), col, static_cast<std::size_t>(w));
    return 0;
}

int grey_to_fb_grad(const CKrGrayBitmap& grey, CKrFrameBuffer& out, const tagGRADINFO& grad)
{
    if (!create_like(grey, out)) return ZK_FAIL(-1);
    grad_paint(out.GetBufferDWord(), grey.GetWidth(), grey.GetHeight(), grad.x, grad.y, grad.Col1, grad.Col2,
               grad.Patern);
    apply_grey(grey, out);
    return 0;
}

int grey_to_fb_text(const CKrGrayBitmap& grey, CKrFrameBuffer& out, const tagTEXTUREINFO& text)
{
    if (!create_like(grey, out)) return ZK_FAIL(-1);
    texture_fill(text, out);
    apply_grey(grey, out);
    return 0;
}

int grey_to_fb(const CKrGrayBitmap& grey, CKrFrameBuffer& out, const tagMAPINFO& map)
{
    switch (map.Mode) {
    case kBwModeColor:
        if (!map.Col) break;
        return grey_to_fb_color(grey, out, *map.Col);
    case kBwModeGrad:
        if (!map.Grad) break;
        return grey_to_fb_grad(grey, out, *map.Grad);
    case kBwModeTexture:
        if (!map.Text) break;
        return grey_to_fb_text(grey, out, *map.Text);
    default:
        break;
    }
    out.DeleteFrameBuffer();
    return ZK_FAIL(-1);
}

} // namespace zk
