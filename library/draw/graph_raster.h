// Turning a graphic object's shape into the supersampled one-bit mask that the edge and
// shadow renderer takes, and the point on a circle that fixes a pie's rays.
//
// The mask holds the shape at `scale` times the output size with half a pen's width of room
// on every side; `origin` is the output pixel where the mask's top-left block lands. The
// shape's own points are in output pixels. Drawing goes through the GDI stand-in, with the
// pens, brushes and calls the legacy renderer used, so the covered pixels follow GDI's rules.
#pragma once

#include <cstdint>
#include <span>

#include "platform/framework/win_types.h"

class CKrMonoBitmap;

namespace zk {

// The graphic object's shape types.
enum GraphType : std::int32_t {
    kGraphNone = 0,
    kGraphLine = 1,
    kGraphPolyLine = 2,
    kGraphRect = 3,
    kGraphRoundRect = 4,
    kGraphEllipse = 5,
    kGraphPie = 6,
    kGraphPolyGon = 7,
    kGraphSpline = 8,
};

struct GraphShape {
    std::int32_t type = kGraphNone;
    std::int32_t fill = 0;       // non-zero: closed shapes are filled
    std::int32_t pen_size = 1;   // output pixels
    std::int32_t pen_type = 0;   // 0 round ends and joins, else flat ends and mitred joins
    std::span<const POINT> points;
    double deg_start = 0;
    double deg_end = 0;
};

// Points a shape type needs before it can be drawn; 0 for an unknown type.
int graph_points_needed(std::int32_t type);

// Results of rasterise_graph.
enum class MaskResult { drawn, unknown_type, nothing };

// Makes `mask` (emptied first) and its origin. `nothing` when the type has too few points,
// the scale is not one the renderer reduces (1, 4, 8, 16) or the mask would be too large:
// then the mask stays empty.
MaskResult rasterise_graph(const GraphShape& shape, std::int32_t scale, CKrMonoBitmap& mask, POINT& origin);

// The point at `deg` degrees on a circle of radius rx: 0 is up, angles run clockwise, and
// the coordinates are rounded half away from zero. ry does not enter; the point only sets a
// ray's direction.
POINT deg_add(double deg, long rx, long ry);

} // namespace zk
