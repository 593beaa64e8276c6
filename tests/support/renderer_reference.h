// The caption renderer written out plainly, pixel by pixel, for the tests and benchmarks to
// hold the library's fast paths against: mask reduction bit by bit, every disc pixel of every
// input pixel for the edges, the extrusion copy by copy, the gradient per byte, the layers
// laid with the plain composite and masked blend. Header-only so the benchmarks can use it.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "draw/bw_draw_info.h"
#include "framebuffer/box.h"
#include "framebuffer/kr_bitmaps.h"
#include "framebuffer/kr_frame_buffer.h"

namespace zref {

// Half-widths of the disc rows dy = -r..r: round(√(r² - dy²)), widened while the next column
// rounds to |dy| on its own.
inline std::vector<int> disc_rows(int r)
{
    std::vector<int> out;
    for (int dy = -r; dy <= r; ++dy) {
        int m = static_cast<int>(std::sqrt(static_cast<double>(r * r - dy * dy)) + 0.5);
        while (m + 1 <= r && static_cast<int>(std::sqrt(static_cast<double>(r * r - (m + 1) * (m + 1))) + 0.5) == std::abs(dy))
            ++m;
        out.push_back(m);
    }
    return out;
}

inline CKrGrayBitmap blank(long w, long h)
{
    CKrGrayBitmap g;
    g.Create(w, h);
    return g;
}

inline CKrGrayBitmap anti_gray(const CKrMonoBitmap& mask, int s)
{
    const long w = static_cast<long>(mask.GetLineByte() * 8 / static_cast<unsigned long>(s));
    const long h = mask.GetHeight() / s;
    CKrGrayBitmap g = blank(w, h);
    for (long y = 0; y < h; ++y) {
        for (long x = 0; x < w; ++x) {
            long n = 0;
            for (long j = 0; j < s; ++j) {
                const unsigned char* row = mask.GetBits() + static_cast<size_t>(y * s + j) * mask.GetLineByte();
                for (long i = 0; i < s; ++i) {
                    const long bx = x * s + i;
                    n += (row[bx / 8] >> (7 - bx % 8)) & 1;
                }
            }
            g.Row(y)[x] = static_cast<unsigned char>(std::min(255L, n * 256 / (s * s)));
        }
    }
    return g;
}

// Every input pixel raises the output under its disc: to its own value (hard) or, set pixels
// only, to the cone trunc(255·(r - d)/r) (soft).
inline CKrGrayBitmap edge(const CKrGrayBitmap& in, int r, bool soft)
{
    CKrGrayBitmap out = blank(in.GetWidth() + 2 * r, in.GetHeight() + 2 * r);
    const std::vector<int> half = disc_rows(r);
    for (long y = 0; y < in.GetHeight(); ++y) {
        for (long x = 0; x < in.GetWidth(); ++x) {
            const int v = in.Row(y)[x];
            if (!v) continue;
            for (int dy = -r; dy <= r; ++dy) {
                const int m = half[static_cast<size_t>(dy + r)];
                for (int dx = -m; dx <= m; ++dx) {
                    int w = v;
                    if (soft) {
                        w = static_cast<int>(255.0 * (r - std::sqrt(static_cast<double>(dx * dx + dy * dy))) / r);
                        if (w < 0) w = 0;
                    }
                    unsigned char& o = out.Row(y + r + dy)[x + r + dx];
                    o = static_cast<unsigned char>(std::max<int>(o, w));
                }
            }
        }
    }
    return out;
}

inline CKrGrayBitmap extrusion(const CKrGrayBitmap& in, int n)
{
    CKrGrayBitmap out = blank(in.GetWidth() + n, in.GetHeight() + n);
    for (int k = 0; k < n; ++k)
        for (long y = 0; y < in.GetHeight(); ++y)
            for (long x = 0; x < in.GetWidth(); ++x) {
                unsigned char& o = out.Row(y + k)[x + k];
                o = std::max(o, in.Row(y)[x]);
            }
    return out;
}

inline DWORD composite(DWORD s, DWORD d)
{
    const DWORD a = s >> 24, dk = d >> 24;
    if (a == 255) return s;
    if (a == 0) return (dk == 0 && s != 0) ? s : d;
    const DWORD t = dk - dk * a / 255, k = t + a;
    DWORD out = k << 24;
    for (int sh = 0; sh < 24; sh += 8) out |= ((((d >> sh) & 255) * t + ((s >> sh) & 255) * a) / k) << sh;
    return out;
}

inline DWORD mask_blend(DWORD s, DWORD d, DWORD m)
{
    const DWORD sa = s >> 24, q = (d >> 24) * (255 - m) / 255;
    DWORD k = sa + q, ws = sa;
    if (k > 255) { k = 255; ws = 255 - q; }
    if (k == 0) return (m ? s : d) & 0xFFFFFF;
    DWORD out = k << 24;
    for (int sh = 0; sh < 24; sh += 8)
        out |= std::min<DWORD>(255, (((s >> sh) & 255) * ws + ((d >> sh) & 255) * q) / k) << sh;
    return out;
}

// The gradient table: the position p of each pattern and its length C, with and without a
// centre point inside the picture.
inline void gradient(DWORD* px, long W, long H, long x, long y, DWORD c1, DWORD c2, long pat)
{
    if (pat < 0 || pat > 10) pat = 0;
    const bool point = x >= 0 && x < W && y >= 0 && y < H;
    const long r = W - 1, b = H - 1;
    const long cx = point ? x : r - r / 2, cy = point ? y : b - b / 2;
    const long mx = std::max(std::labs(x), std::labs(x - r)), my = std::max(std::labs(y), std::labs(y - b));
    const long A = point ? 2 * mx + 1 : W, B = point ? 2 * my + 1 : H;
    const long C7 = point ? mx + 1 : W / 2, C8 = point ? my + 1 : H / 2;
    const long C9 = point ? (mx + 1) + (my + 1) : (W + H) / 2;
    long C = 0;
    switch (pat) {
    case 0: C = A; break;
    case 1: C = B; break;
    case 2: case 3: C = A + B; break;
    case 7: C = C7; break;
    case 8: C = C8; break;
    case 9: case 10: C = C9; break;
    default: C = (A + B) / 2; break;
    }
    if (C < 1) C = 1;
    for (long j = 0; j < H; ++j)
        for (long i = 0; i < W; ++i) {
            const long ax = i - cx, ay = j - cy;
            double p = 0;
            switch (pat) {
            case 0: p = static_cast<double>(i - r); break;
            case 1: p = static_cast<double>(j - b); break;
            case 2: p = static_cast<double>(i - r + j - b); break;
            case 3: p = static_cast<double>((j - b) - i); break;
            case 4: p = -static_cast<double>(std::labs(ax) + std::labs(ay)); break;
            case 5: p = -2.0 * static_cast<double>(std::max(std::labs(ax), std::labs(ay))); break;
            case 6: p = -std::sqrt(static_cast<double>(ax * ax + ay * ay)); break;
            case 7: p = -static_cast<double>(std::labs(ax)); break;
            case 8: p = -static_cast<double>(std::labs(ay)); break;
            case 9: p = -static_cast<double>(std::labs(ax + ay)); break;
            default: p = -static_cast<double>(std::labs(ay - ax)); break;
            }
            DWORD v = 0;
            for (int k = 0; k < 4; ++k) {
                const int b2 = static_cast<int>((c2 >> (8 * k)) & 255), b1 = static_cast<int>((c1 >> (8 * k)) & 255);
                const long d = static_cast<long>(std::trunc(p * (b2 - b1) / static_cast<double>(C)));
                v |= static_cast<DWORD>((b2 + d) & 255) << (8 * k);
            }
            px[j * W + i] = v;
        }
}

// A grey image coloured by a fill picture of its size: key scaled by the grey level.
inline CKrFrameBuffer colour(const CKrGrayBitmap& g, const CKrFrameBuffer& fill)
{
    CKrFrameBuffer out(g.GetWidth(), g.GetHeight(), 1);
    for (long y = 0; y < g.GetHeight(); ++y)
        for (long x = 0; x < g.GetWidth(); ++x) {
            const DWORD f = fill.GetBufferDWord()[y * g.GetWidth() + x];
            const DWORD v = g.Row(y)[x];
            out.GetBufferDWord()[y * g.GetWidth() + x] = v ? (f & 0xFFFFFF) | ((f >> 24) * v / 255) << 24 : 0;
        }
    return out;
}

// The fill of one part; textures are given as the loaded picture (or none: opaque black).
inline CKrFrameBuffer fill_of(long w, long h, int mode, DWORD col, const tagGRADINFO& grad,
                              const CKrFrameBuffer* texture, int texture_mode)
{
    CKrFrameBuffer f(w, h, 1);
    if (mode == 0) f.ClearCol(col);
    if (mode == 1) gradient(f.GetBufferDWord(), w, h, grad.x, grad.y, grad.Col1, grad.Col2, grad.Patern);
    if (mode == 2) {
        const long tw = texture ? static_cast<long>(texture->GetWidth()) : 0;
        const long th = texture ? static_cast<long>(texture->GetHeight()) : 0;
        if (!texture || texture->IsBuffer()) {
            f.ClearCol(0xFF000000);
        } else if (texture_mode == 0) {
            f.ClearCol(0xFF000000);
            for (long y = 0; y < th; ++y)
                for (long x = 0; x < tw; ++x) {
                    const long fx = w / 2 - tw / 2 + x, fy = h / 2 - th / 2 + y;
                    if (fx >= 0 && fy >= 0 && fx < w && fy < h)
                        f.GetBufferDWord()[fy * w + fx] = texture->GetBufferDWord()[y * tw + x];
                }
        } else if (texture_mode == 2) {
            CKrFrameBuffer copy(*texture);
            copy.SizeChange(&f, w, h);
        } else if (texture_mode == 1) {
            for (long y = 0; y < h; ++y)
                for (long x = 0; x < w; ++x)
                    f.GetBufferDWord()[y * w + x] =
                        texture->GetBufferDWord()[(y % static_cast<long>(texture->GetHeight())) * static_cast<long>(texture->GetWidth()) +
                                                  x % static_cast<long>(texture->GetWidth())];
        }
    }
    return f;
}

struct Layer {
    CKrGrayBitmap grey;
    CKrFrameBuffer fb;
    long x = 0, y = 0;
    bool present = false;
};

// SetFb from its definition: layers, their offsets, the shifting layout and the lay order.
// Textures: `texture` stands for every part in texture mode.
inline CKrFrameBuffer set_fb(const tagKRBWDRAWINFO& info, const CKrMonoBitmap& mask, CBox boxes[4],
                             const CKrFrameBuffer* texture = nullptr)
{
    Layer body, edg, shad;
    body.grey = anti_gray(mask, info.AntiScale);
    body.fb = colour(body.grey, fill_of(body.grey.GetWidth(), body.grey.GetHeight(), info.BodyMode, info.BodyCol,
                                        info.BodyGrad, texture, info.BodyText.Mode));
    body.present = true;
    const int E = info.EdgeType.Size >= 1 ? info.EdgeType.Size : 0;
    if (E) {
        edg.grey = edge(body.grey, E, info.EdgeType.Type != 0);
        edg.fb = colour(edg.grey, fill_of(edg.grey.GetWidth(), edg.grey.GetHeight(), info.EdgeMode, info.EdgeCol,
                                          info.EdgeGrad, texture, info.EdgeText.Mode));
        edg.x = edg.y = -E;
        edg.present = true;
    }
    const int S = info.ShadType.Size;
    if (S) {
        const CKrGrayBitmap& from = E ? edg.grey : body.grey;
        if (info.ShadType.Type == 1) shad.grey = extrusion(from, std::abs(S));
        else if (info.ShadType.Type == 2)
            shad.grey = info.ShadType.SoftSize >= 1 ? edge(from, info.ShadType.SoftSize, true)
                                                    : blank(from.GetWidth(), from.GetHeight());
        else shad.grey = from;
        shad.fb = colour(shad.grey, fill_of(shad.grey.GetWidth(), shad.grey.GetHeight(), info.ShadMode, info.ShadCol,
                                            info.ShadGrad, texture, info.ShadText.Mode));
        shad.x = shad.y = (info.ShadType.Type == 1 && S >= 0) ? -E : S - E;
        shad.present = true;
    }
    Layer* layers[3] = {&shad, &edg, &body};
    long bx[3], by[3];
    for (int i = 0; i < 3; ++i) { bx[i] = layers[i]->x; by[i] = layers[i]->y; }
    for (long* c : {bx, by}) {
        if (shad.present && c[0] < 0) { const long s = -c[0]; for (int i = 0; i < 3; ++i) c[i] += s; }
        if (edg.present && c[1] < 0) { const long s = -c[1]; for (int i = 0; i < 3; ++i) c[i] += s; }
    }
    long W = 0, H = 0;
    for (int i = 0; i < 3; ++i) {
        if (!layers[i]->present) { boxes[3 - i] = CBox(0L, 0L, 0L, 0L); continue; }
        boxes[3 - i] = CBox(bx[i], by[i], layers[i]->grey.GetWidth(), layers[i]->grey.GetHeight());
        W = std::max(W, bx[i] + layers[i]->grey.GetWidth());
        H = std::max(H, by[i] + layers[i]->grey.GetHeight());
    }
    boxes[0] = CBox(info.Pos.x - bx[2], info.Pos.y - by[2], W, H);
    CKrFrameBuffer out(W, H, 1);
    for (int i = 0; i < 3; ++i) {
        const Layer& l = *layers[i];
        if (!l.present) continue;
        for (long y = 0; y < l.grey.GetHeight(); ++y)
            for (long x = 0; x < l.grey.GetWidth(); ++x) {
                DWORD& d = out.GetBufferDWord()[(by[i] + y) * W + bx[i] + x];
                const DWORD s = l.fb.GetBufferDWord()[y * l.grey.GetWidth() + x];
                d = info.ShadType.SoftPen ? mask_blend(s, d, l.grey.Row(y)[x]) : composite(s, d);
            }
    }
    return out;
}

} // namespace zref
