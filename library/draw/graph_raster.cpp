// Shape to mask for the graphic object: the bounding box, the supersampled mapping, the pen
// and brush choice per type, and the GDI calls, as the legacy renderer made them.
#include "draw/graph_raster.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "framebuffer/kr_bitmaps.h"
#include "platform/gdi_shape/gdi_shape.h"

namespace zk {

namespace {

// The legacy program's value of pi / 180. Stored pies were drawn with it, and at large radii
// its last digits move a ray's end by whole pixels, so it stays as it was.
constexpr double kDegree = 0.0174532925;

// Stored angles may be anything a double holds; NaN lands on 0 and infinities on the ends.
LONG to_long32(double v)
{
    if (std::isnan(v)) return 0;
    return static_cast<LONG>(std::clamp(v, static_cast<double>(INT32_MIN), static_cast<double>(INT32_MAX)));
}

bool uses_box_of_two_points(std::int32_t type)
{
    return type == kGraphLine || type == kGraphRect || type == kGraphRoundRect || type == kGraphEllipse ||
           type == kGraphPie;
}

} // namespace

int graph_points_needed(std::int32_t type)
{
    switch (type) {
    case kGraphLine:
    case kGraphRect:
    case kGraphEllipse:
    case kGraphPie: return 2;
    case kGraphRoundRect: return 3;  // two corners and the corner ellipse's size
    case kGraphPolyLine:
    case kGraphPolyGon:
    case kGraphSpline: return 1;
    default: return 0;
    }
}

POINT deg_add(double deg, long rx, long /*ry*/)
{
    const double theta = (deg - 90.0) * kDegree;
    const double r = static_cast<double>(rx);
    return POINT{to_long32(std::round(std::cos(theta) * r)), to_long32(std::round(std::sin(theta) * r))};
}

MaskResult rasterise_graph(const GraphShape& g, std::int32_t scale, CKrMonoBitmap& mask, POINT& origin)
{
    mask.Delete();
    const int needed = graph_points_needed(g.type);
    if (needed == 0) return MaskResult::unknown_type;
    // The rasterisers take the points they need as given; a shorter list draws nothing.
    if (g.points.size() < static_cast<size_t>(needed)) return MaskResult::nothing;
    if (scale != 1 && scale != 4 && scale != 8 && scale != 16) return MaskResult::nothing;

    const std::int64_t s = scale;
    // A negative pen would shrink the mask below the shape; it draws as the thinnest pen.
    const std::int64_t pw = std::max<std::int64_t>(g.pen_size, 0) * s;
    const std::int64_t h = (pw + 1) / 2;

    std::int64_t l, t, r, b;
    if (uses_box_of_two_points(g.type)) {
        l = std::min(g.points[0].x, g.points[1].x);
        r = std::max(g.points[0].x, g.points[1].x);
        t = std::min(g.points[0].y, g.points[1].y);
        b = std::max(g.points[0].y, g.points[1].y);
    } else {
        l = r = g.points[0].x;
        t = b = g.points[0].y;
        for (const POINT& p : g.points) {
            l = std::min<std::int64_t>(l, p.x);
            r = std::max<std::int64_t>(r, p.x);
            t = std::min<std::int64_t>(t, p.y);
            b = std::max<std::int64_t>(b, p.y);
        }
    }
    const std::int64_t mask_w = (r - l + 1) * s + 2 * h;
    const std::int64_t mask_h = (b - t + 1) * s + 2 * h;
    if (mask_w > INT32_MAX || mask_h > INT32_MAX) return MaskResult::nothing;

    gdi::ShapeDC dc;
    if (!dc.CreateBitmap(static_cast<long>(mask_w), static_cast<long>(mask_h))) return MaskResult::nothing;
    dc.PatBlt(gdi::BLACKNESS);

    // Every mapped point of the shape lies inside the mask, so it fits 32 bits.
    auto map = [&](const POINT& p) {
        return POINT{static_cast<LONG>(p.x * s - l * s + h), static_cast<LONG>(p.y * s - t * s + h)};
    };
    if (g.type == kGraphRoundRect) {
        // The rounded rectangle was drawn with the plain pen, whatever the pen type says.
        dc.SelectPen(gdi::CreatePen(gdi::PS_SOLID, static_cast<long>(pw), true));
    } else {
        const DWORD ends = g.pen_type == 0 ? (gdi::PS_ENDCAP_ROUND | gdi::PS_JOIN_ROUND)
                                           : (gdi::PS_ENDCAP_FLAT | gdi::PS_JOIN_MITER);
        dc.SelectPen(gdi::ExtCreatePen(gdi::PS_GEOMETRIC | gdi::PS_SOLID | ends, static_cast<long>(pw), true));
    }
    if (g.type != kGraphLine && g.type != kGraphPolyLine) {
        dc.SelectBrush(g.fill ? gdi::Brush::white : gdi::Brush::black);
    }

    const POINT p0 = map(g.points[0]);
    const POINT p1 = g.points.size() > 1 ? map(g.points[1]) : p0;
    switch (g.type) {
    case kGraphLine:
        dc.MoveTo(p0.x, p0.y);
        dc.LineTo(p1.x, p1.y);
        break;
    case kGraphPolyLine:
        dc.MoveTo(p0.x, p0.y);
        for (size_t i = 1; i < g.points.size(); ++i) {
            const POINT p = map(g.points[i]);
            dc.LineTo(p.x, p.y);
        }
        break;
    case kGraphRect: dc.Rectangle(p0.x, p0.y, p1.x, p1.y); break;
    case kGraphRoundRect:
        dc.RoundRect(p0.x, p0.y, p1.x, p1.y, to_long32(double(g.points[2].x) * double(s)),
                     to_long32(double(g.points[2].y) * double(s)));
        break;
    case kGraphEllipse: dc.Ellipse(p0.x, p0.y, p1.x, p1.y); break;
    case kGraphPie: {
        const std::int64_t x0 = h, y0 = h, x1 = (r - l) * s + h, y1 = (b - t) * s + h;
        const std::int64_t rx = (x1 - x0) / 2, ry = (y1 - y0) / 2;
        POINT from = deg_add(g.deg_start, static_cast<long>(rx), static_cast<long>(ry));
        POINT to = deg_add(g.deg_end, static_cast<long>(rx), static_cast<long>(ry));
        from = {static_cast<LONG>(from.x + rx + h), static_cast<LONG>(from.y + ry + h)};
        to = {static_cast<LONG>(to.x + rx + h), static_cast<LONG>(to.y + ry + h)};
        dc.SetArcDirection(gdi::AD_CLOCKWISE);
        dc.Pie(static_cast<LONG>(x0), static_cast<LONG>(y0), static_cast<LONG>(x1), static_cast<LONG>(y1), from.x,
               from.y, to.x, to.y);
        break;
    }
    case kGraphPolyGon:
    case kGraphSpline: {
        std::vector<POINT> mapped;
        mapped.reserve(g.points.size());
        for (const POINT& p : g.points) mapped.push_back(map(p));
        if (g.type == kGraphPolyGon) dc.Polygon(mapped.data(), static_cast<int>(mapped.size()));
        else dc.PolyBezier(mapped.data(), static_cast<DWORD>(mapped.size()));
        break;
    }
    default: break;
    }

    if (mask.Create(static_cast<long>(mask_w), static_cast<long>(mask_h)) != 0) return MaskResult::nothing;
    dc.GetBitmapBits(static_cast<long>(mask.GetSize()), mask.GetBits());
    // floor, not truncation: shapes left of or above the picture's origin must land on the
    // same grid as the others rather than one pixel towards it.
    const double ds = static_cast<double>(s);
    origin.x = to_long32(std::floor(static_cast<double>(l * s - h) / ds + 0.5));
    origin.y = to_long32(std::floor(static_cast<double>(t * s - h) / ds + 0.5));
    return MaskResult::drawn;
}

} // namespace zk
