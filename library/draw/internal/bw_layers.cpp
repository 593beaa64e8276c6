// Making, placing and laying the shadow, edge and body layers of a caption element.
#include "draw/internal/bw_layers.h"

#include <algorithm>

#include "core/errors.h"
#include "draw/internal/bw_fill.h"
#include "draw/internal/bw_grey.h"
#include "draw/kernels/edge_grow.h"

namespace zk {
namespace {

tagMAPINFO map_of(std::int32_t mode, const DWORD& col, const tagGRADINFO& grad, const tagTEXTUREINFO& text)
{
    return tagMAPINFO{mode, &col, &grad, &text};
}

void drop(BwLayer& layer)
{
    layer.grey.Delete();
    layer.fb.DeleteFrameBuffer();
    layer.present = false;
}

CBox box_of(const BwLayer& layer)
{
    if (!layer.present) return CBox(0L, 0L, 0L, 0L);
    return CBox(layer.x, layer.y, layer.grey.GetWidth(), layer.grey.GetHeight());
}

} // namespace

int make_body_from_mask(const tagKRBWDRAWINFO& info, const CKrMonoBitmap& mask, BwLayer& body)
{
    drop(body);
    if (make_anti_gray(info.AntiScale, mask, body.grey) != 0) return ZK_FAIL(-1);
    if (grey_to_fb(body.grey, body.fb, map_of(info.BodyMode, info.BodyCol, info.BodyGrad, info.BodyText)) != 0) {
        drop(body);
        return ZK_FAIL(-1);
    }
    body.x = body.y = 0;
    body.present = true;
    return 0;
}

int make_body_from_image(const CKrFrameBuffer& image, BwLayer& body)
{
    drop(body);
    if (key_to_gray(image, body.grey) != 0) return ZK_FAIL(-1);
    body.fb = image;
    if (body.fb.IsBuffer() == 1) {
        drop(body);
        return ZK_FAIL(-1);
    }
    body.x = body.y = 0;
    body.present = true;
    return 0;
}

void make_decorations(const tagKRBWDRAWINFO& info, BwLayers& layers)
{
    drop(layers.edge);
    drop(layers.shadow);
    if (!layers.body.present) return;

    long e = 0;
    if (info.EdgeType.Size != 0) {
        const long size = clamp_decoration(info.EdgeType.Size);
        BwLayer& edge = layers.edge;
        if (make_edge(info.EdgeType.Type != 0, size, layers.body.grey, edge.grey) == 0 &&
            grey_to_fb(edge.grey, edge.fb, map_of(info.EdgeMode, info.EdgeCol, info.EdgeGrad, info.EdgeText)) == 0) {
            e = size;
            edge.x = edge.y = -e;
            edge.present = true;
        } else {
            drop(edge);
        }
    }

    if (info.ShadType.Size != 0) {
        const long type = info.ShadType.Type;
        const long size = clamp_decoration(info.ShadType.Size);
        const long soft = std::max(0L, clamp_decoration(info.ShadType.SoftSize));
        const CKrGrayBitmap& from = layers.edge.present ? layers.edge.grey : layers.body.grey;
        BwLayer& shadow = layers.shadow;
        if (make_shadow(type, size, soft, from, shadow.grey) == 0 &&
            grey_to_fb(shadow.grey, shadow.fb, map_of(info.ShadMode, info.ShadCol, info.ShadGrad, info.ShadText)) ==
                0) {
            const long at = type == 1 && size >= 0 ? -e : size - e;
            shadow.x = shadow.y = at;
            shadow.present = true;
        } else {
            drop(shadow);
        }
    }
}

void lay_layer(CKrFrameBuffer& target, BwLayer& layer, long x, long y, bool knockout, CBox& scratch)
{
    if (!layer.present) return;
    const long w = static_cast<long>(layer.fb.GetWidth()), h = static_cast<long>(layer.fb.GetHeight());
    // A copy that writes nothing (wholly outside the target) fails and leaves scratch alone.
    if (knockout) {
        target.FbCopyMask(&layer.fb, &layer.grey, 0, 0, w, h, x, y, &scratch);
    } else {
        target.FbCopy(&layer.fb, 0, 0, w, h, x, y, 1, &scratch);
    }
}

BwLayout layout_layers(const BwLayers& layers, POINT pos)
{
    BwLayout out;
    out.body = box_of(layers.body);
    out.edge = box_of(layers.edge);
    out.shadow = box_of(layers.shadow);
    CBox* all[] = {&out.shadow, &out.edge, &out.body};
    const auto shift = [&](long CBox::*axis, long by) {
        for (CBox* b : all) b->*axis += by;
    };
    for (long CBox::*axis : {&CBox::x, &CBox::y}) {
        if (out.shadow.*axis < 0) shift(axis, -(out.shadow.*axis));
        if (out.edge.*axis < 0) shift(axis, -(out.edge.*axis));
    }
    long right = 0, bottom = 0;
    for (CBox* b : all) {
        if (b->width == 0 || b->height == 0) b->x = b->y = 0;
        right = std::max(right, b->x + b->width);
        bottom = std::max(bottom, b->y + b->height);
    }
    out.whole = CBox(static_cast<long>(pos.x) - out.body.x, static_cast<long>(pos.y) - out.body.y, right, bottom);
    return out;
}

int compose_layers(BwLayers& layers, const BwLayout& layout, bool knockout, bool body_only, CKrFrameBuffer& result)
{
    const long w = body_only ? layout.body.width : layout.whole.width;
    const long h = body_only ? layout.body.height : layout.whole.height;
    const long ox = body_only ? layout.body.x : 0;
    const long oy = body_only ? layout.body.y : 0;
    CKrFrameBuffer out;
    if (out.CreateFrameBuffer(w, h, 1) != 0) return ZK_FAIL(-1);
    CBox scratch(0L, 0L, 0L, 0L);
    lay_layer(out, layers.shadow, layout.shadow.x - ox, layout.shadow.y - oy, knockout, scratch);
    lay_layer(out, layers.edge, layout.edge.x - ox, layout.edge.y - oy, knockout, scratch);
    lay_layer(out, layers.body, layout.body.x - ox, layout.body.y - oy, knockout, scratch);
    result = std::move(out);
    return 0;
}

} // namespace zk
