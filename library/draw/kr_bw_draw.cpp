// CKrBwDraw and the frame buffer's edge entry points: argument checks and result mapping
// around the layer pipeline in draw/internal/.
#include "draw/kr_bw_draw.h"

#include <climits>
#include <cmath>

#include "core/errors.h"
#include "draw/internal/bw_fill.h"
#include "draw/internal/bw_grey.h"
#include "draw/internal/bw_layers.h"

CKrBwDraw::~CKrBwDraw() = default;

namespace {

bool knockout(const tagKRBWDRAWINFO& info)
{
    return info.ShadType.SoftPen != 0;
}

// Decorates a body already made and hands back the layout, the picture replacing result.
int finish_set(zk::BwLayers& layers, const tagKRBWDRAWINFO& info, bool full_image, CKrFrameBuffer& result,
               CBox& whole, CBox& body, CBox& edge, CBox& shadow)
{
    zk::make_decorations(info, layers);
    const zk::BwLayout layout = zk::layout_layers(layers, info.Pos);
    if (zk::compose_layers(layers, layout, knockout(info), full_image, result) != 0) return ZK_FAIL(-1);
    whole = layout.whole;
    body = layout.body;
    edge = layout.edge;
    shadow = layout.shadow;
    return 0;
}

int set_from_image(CKrFrameBuffer* result, const tagKRBWDRAWINFO* info, CKrFrameBuffer* src, bool full_image,
                   CBox& whole, CBox& body, CBox& edge, CBox& shadow)
{
    if (!result || !info || !src) return ZK_FAIL(-1);
    zk::BwLayers layers;
    if (zk::make_body_from_image(*src, layers.body) != 0) return ZK_FAIL(-1);
    return finish_set(layers, *info, full_image, *result, whole, body, edge, shadow);
}

// The grey-image steps: a missing output is refused; a missing input is refused too and
// empties the output, so that no caller goes on with a picture from an earlier call.
template <typename In, typename Make>
int grey_step(const In* in, CKrGrayBitmap* out, Make&& make)
{
    if (!out) return ZK_FAIL(-1);
    if (!in) {
        out->Delete();
        return ZK_FAIL(-1);
    }
    return make(*in, *out);
}

} // namespace

int CKrBwDraw::DispFb(CKrFrameBuffer* target, const tagKRBWDRAWINFO* info, const CKrMonoBitmap* mask, CBox* box)
{
    m_pFb = target;
    m_pInfo = info;
    if (!target || !info || !mask) return ZK_FAIL(-1);
    zk::BwLayers layers;
    if (zk::make_body_from_mask(*info, *mask, layers.body) != 0) return ZK_FAIL(-1);
    zk::make_decorations(*info, layers);

    // The box starts inverted so that the first area written defines it.
    CBox out(static_cast<long>(INT_MAX), static_cast<long>(INT_MAX), static_cast<long>(INT_MIN),
             static_cast<long>(INT_MIN));
    CBox scratch(0L, 0L, 0L, 0L);
    const bool ko = knockout(*info);
    for (zk::BwLayer* layer : {&layers.shadow, &layers.edge, &layers.body}) {
        if (!layer->present) continue;
        zk::lay_layer(*target, *layer, info->Pos.x + layer->x, info->Pos.y + layer->y, ko, scratch);
        out.MaxBox(scratch);
    }
    if (box) *box = out;
    return 0;
}

int CKrBwDraw::SetFb(CKrFrameBuffer* result, const tagKRBWDRAWINFO* info, const CKrMonoBitmap* mask, CBox& whole,
                     CBox& body, CBox& edge, CBox& shadow)
{
    m_pFb = result;
    m_pInfo = info;
    if (!result || !info || !mask) return ZK_FAIL(-1);
    zk::BwLayers layers;
    if (zk::make_body_from_mask(*info, *mask, layers.body) != 0) return ZK_FAIL(-1);
    return finish_set(layers, *info, false, *result, whole, body, edge, shadow);
}

int CKrBwDraw::SetImgEdgeShadow(CKrFrameBuffer* result, const tagKRBWDRAWINFO* info, CKrFrameBuffer* src,
                                CBox& whole, CBox& body, CBox& edge, CBox& shadow)
{
    m_pFb = result;
    m_pInfo = info;
    return set_from_image(result, info, src, false, whole, body, edge, shadow);
}

int CKrBwDraw::SetFullImgEdgeShadow(CKrFrameBuffer* result, const tagKRBWDRAWINFO* info, CKrFrameBuffer* src,
                                    CBox& whole, CBox& body, CBox& edge, CBox& shadow)
{
    m_pFb = result;
    m_pInfo = info;
    return set_from_image(result, info, src, true, whole, body, edge, shadow);
}

int CKrBwDraw::MakeAntiGray(long scale, const CKrMonoBitmap* mask, CKrGrayBitmap* grey)
{
    return grey_step(mask, grey, [&](const CKrMonoBitmap& in, CKrGrayBitmap& out) {
        return zk::make_anti_gray(scale, in, out);
    });
}

int CKrBwDraw::KeyToGray(const CKrFrameBuffer* fb, CKrGrayBitmap* grey)
{
    return grey_step(fb, grey, [](const CKrFrameBuffer& in, CKrGrayBitmap& out) { return zk::key_to_gray(in, out); });
}

int CKrBwDraw::MakeEdge(long type, long size, long /*soft_pen*/, const CKrGrayBitmap* in, CKrGrayBitmap* out)
{
    return grey_step(in, out, [&](const CKrGrayBitmap& i, CKrGrayBitmap& o) {
        return zk::make_edge(type != 0, size, i, o);
    });
}

int CKrBwDraw::GrayMakeNomEdge(long size, const CKrGrayBitmap* in, CKrGrayBitmap* out)
{
    return MakeEdge(0, size, 0, in, out);
}

int CKrBwDraw::GrayMakeSoftEdge(long size, long soft_pen, const CKrGrayBitmap* in, CKrGrayBitmap* out)
{
    return MakeEdge(1, size, soft_pen, in, out);
}

int CKrBwDraw::MakeShadow(long type, long size, long soft_size, long /*soft_pen*/, const CKrGrayBitmap* in,
                          CKrGrayBitmap* out)
{
    return grey_step(in, out, [&](const CKrGrayBitmap& i, CKrGrayBitmap& o) {
        return zk::make_shadow(type, size, soft_size, i, o);
    });
}

int CKrBwDraw::Make3DShadow(long depth, const CKrGrayBitmap* in, CKrGrayBitmap* out)
{
    return grey_step(in, out, [&](const CKrGrayBitmap& i, CKrGrayBitmap& o) {
        return zk::make_extrusion(depth, i, o);
    });
}

int CKrBwDraw::GrayToFb(const CKrGrayBitmap* grey, CKrFrameBuffer* out, const tagMAPINFO* map)
{
    if (!out) return ZK_FAIL(-1);
    if (!grey || !map) {
        out->DeleteFrameBuffer();
        return ZK_FAIL(-1);
    }
    return zk::grey_to_fb(*grey, *out, *map);
}

int CKrBwDraw::MakeFb_Color(const CKrGrayBitmap* grey, CKrFrameBuffer* out, const DWORD* col)
{
    const tagMAPINFO map{kBwModeColor, col, nullptr, nullptr};
    return GrayToFb(grey, out, &map);
}

int CKrBwDraw::MakeFb_Grad(const CKrGrayBitmap* grey, CKrFrameBuffer* out, const tagGRADINFO* grad)
{
    const tagMAPINFO map{kBwModeGrad, nullptr, grad, nullptr};
    return GrayToFb(grey, out, &map);
}

int CKrBwDraw::MakeFb_Text(const CKrGrayBitmap* grey, CKrFrameBuffer* out, const tagTEXTUREINFO* text)
{
    const tagMAPINFO map{kBwModeTexture, nullptr, nullptr, text};
    return GrayToFb(grey, out, &map);
}

int CKrBwDraw::Pis_Grad_Paint(DWORD* pixels, long w, long h, long x, long y, DWORD col1, DWORD col2, long pattern)
{
    if (!pixels || w < 1 || h < 1) return ZK_FAIL(-1);
    zk::grad_paint(pixels, w, h, x, y, col1, col2, pattern);
    return 0;
}

long CKrBwDraw::Pis_Grad_Paint_Set1(long pattern, long l, long t, long r, long b, long x, long y, long* cx, long* cy)
{
    const zk::GradGeometry g = zk::grad_geometry(pattern, l, t, r, b, x, y);
    if (cx) *cx = g.cx;
    if (cy) *cy = g.cy;
    return g.length;
}

double CKrBwDraw::Pis_Grad_Paint_Conv(long pattern, long i, long j, long l, long t, long r, long b, long cx, long cy)
{
    zk::GradGeometry g = zk::grad_geometry(pattern, l, t, r, b, cx, cy);
    g.cx = cx;
    g.cy = cy;
    return zk::grad_position(g, i, j);
}

int CKrBwDraw::FilterBlush(unsigned char* buf, long n, long core)
{
    if (!buf || n < 1) return ZK_FAIL(-1);
    long peak = 255;
    if (core < 1) {
        peak = core + 255;
        core = 1;
        if (peak < 1 || peak > 255) peak = 255;
    }
    if ((core & 1) != (n & 1)) ++core;
    const long r0 = (core - 1) / 2;
    const long half = n / 2;
    // A core that fills the brush leaves no slope; every cell is then the peak instead of a
    // division by zero.
    const long run = half - r0;
    const double slope = run > 0 ? static_cast<double>(peak) / static_cast<double>(run) : 0.0;
    for (long j = 0; j < n; ++j) {
        for (long i = 0; i < n; ++i) {
            const double dx = static_cast<double>(i - half), dy = static_cast<double>(j - half);
            const double fall = run > 0 ? std::trunc((std::sqrt(dx * dx + dy * dy) - static_cast<double>(r0)) * slope) : 0.0;
            double v = static_cast<double>(peak) - fall;
            v = v < 0.0 ? 0.0 : v > 255.0 ? 255.0 : v;
            buf[static_cast<std::size_t>(j) * static_cast<std::size_t>(n) + static_cast<std::size_t>(i)] =
                static_cast<unsigned char>(v);
        }
    }
    return 0;
}

int CKrFrameBuffer::SetEdge(CKrFrameBuffer* target, tagKRBWDRAWINFO* info, CBox& whole, CBox& body, CBox& edge,
                            CBox& shadow)
{
    if (!target) return ZK_FAIL(-1);
    CKrBwDraw draw;
    return draw.SetImgEdgeShadow(target, info, this, whole, body, edge, shadow);
}

int CKrFrameBuffer::SetEdgeOrgSize(CKrFrameBuffer* target, tagKRBWDRAWINFO* info)
{
    if (!target) return ZK_FAIL(-1);
    CBox whole(0L, 0L, 0L, 0L), body(0L, 0L, 0L, 0L), edge(0L, 0L, 0L, 0L), shadow(0L, 0L, 0L, 0L);
    CKrBwDraw draw;
    return draw.SetFullImgEdgeShadow(target, info, this, whole, body, edge, shadow);
}
