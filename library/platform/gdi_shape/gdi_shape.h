// The shape half of the GDI stand-in: a one-bit drawing surface with pens, brushes and the
// shape calls the graphic object rasterises with (MoveTo/LineTo, Rectangle, RoundRect,
// Ellipse, Pie, Polygon, PolyBezier).
//
// It is an own scanline rasteriser rather than a general vector library, because what
// matters here is GDI's idea of which pixels a shape covers, and that is easiest to pin down
// exactly when we own every rule:
//   - integer coordinates are pixel centres; a region covers pixel (i, j) when the point
//     (i, j) lies inside it, boundary points on the left and top sides counting as inside and
//     those on the right and bottom sides as outside (the top-left rule), so adjacent regions
//     neither overlap nor leave gaps;
//   - Rectangle, RoundRect, Ellipse and Pie leave out the right column and the bottom row of
//     their bounding box: the figure runs from (left, top) to (right - 1, bottom - 1);
//   - a pen is centred on the figure's outline; its ends (round, square, flat) apply at the
//     two ends of an open figure, its joins (round, mitred with GDI's default limit of 10,
//     bevelled) at every corner; separate LineTo calls are separate figures, each with its
//     own ends, exactly as in GDI;
//   - the brush fills the interior first, the pen outlines over it; Polygon fills with the
//     alternate (even-odd) rule unless told otherwise; PolyBezier never fills;
//   - curves are flattened into chords no further than 1/64 pixel from the true curve.
// A stroke is the union of one quadrilateral per segment plus a disc, a mitre or a bevel per
// corner and a cap per end, each rasterised with the same rule; a pixel centre lies in the
// union exactly when it lies in one of the pieces, so the union needs no polygon clipping.
//
// Rows of the bitmap are padded to whole 16-bit words, most significant bit leftmost, ink 1:
// the layout of GDI's monochrome bitmaps and of CKrMonoBitmap, so GetBitmapBits is a copy.
// Everything is clipped to the bitmap. Nothing here is thread-safe; one surface per caller.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "platform/framework/win_types.h"

namespace zk::gdi {

// Pen styles, arc directions and raster operations as GDI spells them.
constexpr DWORD PS_SOLID = 0x0;
constexpr DWORD PS_NULL = 0x5;
constexpr DWORD PS_STYLE_MASK = 0xF;
constexpr DWORD PS_ENDCAP_ROUND = 0x000;
constexpr DWORD PS_ENDCAP_SQUARE = 0x100;
constexpr DWORD PS_ENDCAP_FLAT = 0x200;
constexpr DWORD PS_ENDCAP_MASK = 0xF00;
constexpr DWORD PS_JOIN_ROUND = 0x0000;
constexpr DWORD PS_JOIN_BEVEL = 0x1000;
constexpr DWORD PS_JOIN_MITER = 0x2000;
constexpr DWORD PS_JOIN_MASK = 0xF000;
constexpr DWORD PS_COSMETIC = 0x00000;
constexpr DWORD PS_GEOMETRIC = 0x10000;

constexpr int AD_COUNTERCLOCKWISE = 1;
constexpr int AD_CLOCKWISE = 2;

constexpr DWORD BLACKNESS = 0x00000042;
constexpr DWORD WHITENESS = 0x00FF0062;

// GDI's default mitre limit: a mitre longer than ten pen widths becomes a bevel.
constexpr double kMiterLimit = 10.0;

struct PointD {
    double x;
    double y;
};

enum class FillRule { alternate, winding };

// A one-bit raster with 16-bit padded rows.
class MonoRaster {
public:
    // False (and nothing held) when a size is below 1 or the block would pass the library's
    // buffer limit.
    bool create(long width, long height);
    void fill(bool ink);

    long width() const { return width_; }
    long height() const { return height_; }
    std::uint32_t row_bytes() const { return row_bytes_; }
    std::span<const std::uint8_t> bits() const { return {bits_.get(), std::size_t{row_bytes_} * static_cast<std::size_t>(height_)}; }
    bool pixel(long x, long y) const;

    // Inks (or clears) the pixels i of row y with xa <= i < xb; clipped to the raster.
    void span(long y, double xa, double xb, bool ink);

private:
    struct FreeBlock {
        void operator()(std::uint8_t* p) const;
    };
    // The pixels of the last span per row, all written with ink_ since the last reset: the
    // pieces of a stroke overlap heavily row by row, and bits already set are not set again.
    struct Done {
        long a;
        long b;
    };
    void forget_spans(bool ink);

    long width_ = 0;
    long height_ = 0;
    std::uint32_t row_bytes_ = 0;
    std::unique_ptr<std::uint8_t[], FreeBlock> bits_;
    bool blank_ = true;  // nothing inked since the block was zeroed
    std::vector<Done> done_;
    bool done_ink_ = true;
};

// Rows j with ya <= j < yb: the first and the one past the last, clipped to [0, height).
void scan_rows(double ya, double yb, long height, long& first, long& end);

// Fills one closed contour with a fill rule; pixel centres on the top-left rule.
void fill_polygon(MonoRaster& r, std::span<const PointD> contour, FillRule rule, bool ink);
// Fills a convex polygon (no rule needed); cheaper than fill_polygon for the pen's pieces.
void fill_convex(MonoRaster& r, std::span<const PointD> poly, bool ink);
void fill_disc(MonoRaster& r, PointD centre, double radius, bool ink);

struct PenShape {
    double width = 1.0;     // full width in pixels
    DWORD end = PS_ENDCAP_ROUND;
    DWORD join = PS_JOIN_ROUND;
};

// Strokes an open or closed figure. Repeated points are dropped; a figure that shrinks to one
// point leaves a dot for round and square ends and nothing otherwise.
void stroke_path(MonoRaster& r, std::span<const PointD> pts, bool closed, const PenShape& pen, bool ink);

// Flatteners, appending to out. Angles in radians; y grows downwards, so growing angles turn
// clockwise on the screen.
void flatten_arc(std::vector<PointD>& out, PointD centre, double rx, double ry, double from, double sweep);
void flatten_bezier(std::vector<PointD>& out, PointD p0, PointD p1, PointD p2, PointD p3);

struct Pen {
    DWORD style = PS_SOLID;  // line style | end | join | type
    long width = 1;
    bool white = false;
};

// PS_GEOMETRIC pens keep their ends and joins; a width below 1 draws one pixel wide.
Pen ExtCreatePen(DWORD style, long width, bool white);
// The plain pen: round ends and joins; a width below 1 draws one pixel wide.
Pen CreatePen(DWORD style, long width, bool white);

enum class Brush { black, white, hollow };

// A memory device context with a monochrome bitmap selected into it. It starts with a black,
// one-pixel plain pen, a white brush and the counter-clockwise arc direction, as GDI's do.
class ShapeDC {
public:
    // Creates the bitmap; false when the size is refused.
    bool CreateBitmap(long width, long height);
    // BLACKNESS clears and WHITENESS inks the whole bitmap; other operations do nothing.
    void PatBlt(DWORD rop);

    void SelectPen(const Pen& pen) { pen_ = pen; }
    void SelectBrush(Brush brush) { brush_ = brush; }
    // Returns the previous direction, 0 for an unknown one (which changes nothing).
    int SetArcDirection(int direction);

    void MoveTo(LONG x, LONG y);
    BOOL LineTo(LONG x, LONG y);
    BOOL Rectangle(LONG l, LONG t, LONG r, LONG b);
    BOOL RoundRect(LONG l, LONG t, LONG r, LONG b, LONG corner_w, LONG corner_h);
    BOOL Ellipse(LONG l, LONG t, LONG r, LONG b);
    // The arc runs from where the ray from the centre towards (x1, y1) meets the ellipse to
    // where the ray towards (x2, y2) meets it, in the current arc direction; equal rays draw
    // the whole ellipse.
    BOOL Pie(LONG l, LONG t, LONG r, LONG b, LONG x1, LONG y1, LONG x2, LONG y2);
    BOOL Polygon(const POINT* pts, int count);
    // A start point and then three points per curve; other counts draw nothing and fail.
    BOOL PolyBezier(const POINT* pts, DWORD count);
    int SetPolyFillMode(FillRule rule);

    // Copies up to count bytes of the bitmap's rows; returns the bytes copied.
    long GetBitmapBits(long count, void* bits) const;
    const MonoRaster& raster() const { return raster_; }

private:
    void fill_and_outline(std::span<const PointD> contour, FillRule rule);
    PenShape pen_shape() const;
    bool pen_draws() const { return (pen_.style & PS_STYLE_MASK) != PS_NULL; }

    MonoRaster raster_;
    Pen pen_{};
    Brush brush_ = Brush::white;
    int arc_direction_ = AD_COUNTERCLOCKWISE;
    FillRule fill_rule_ = FillRule::alternate;
    POINT position_{0, 0};
};

} // namespace zk::gdi
