// The one-bit shape rasteriser behind the GDI stand-in; see gdi_shape.h for the coverage
// rules. Coordinates are doubles so that pen offsets and curve points keep their fractions
// until the one place (MonoRaster::span) where a span is cut to whole pixels.
#include "platform/gdi_shape/gdi_shape.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <numbers>

#include "core/checked.h"
#include "platform/gdi_text/mono_span.h"

namespace zk::gdi {

namespace {

// How far a flattened curve may stray from the true one, in pixels.
constexpr double kFlatness = 1.0 / 64.0;
// No curve is cut into more chords than this, however large it is.
constexpr long kMaxChords = 1L << 16;

long clamp_to_long(double v, long lo, long hi)
{
    if (!(v > static_cast<double>(lo))) return lo;  // NaN lands low
    if (v >= static_cast<double>(hi)) return hi;
    return static_cast<long>(v);
}

PointD operator+(PointD a, PointD b) { return {a.x + b.x, a.y + b.y}; }
PointD operator-(PointD a, PointD b) { return {a.x - b.x, a.y - b.y}; }
PointD operator*(PointD a, double k) { return {a.x * k, a.y * k}; }
bool same_point(PointD a, PointD b) { return a.x == b.x && a.y == b.y; }

PointD unit(PointD v)
{
    const double len = std::hypot(v.x, v.y);
    return {v.x / len, v.y / len};
}

// The pieces of a stroke, each a region rasterised on its own into the union.
struct Stroker {
    MonoRaster& raster;
    double hw;
    const PenShape& pen;
    bool ink;

    void segment(PointD a, PointD b) const
    {
        const PointD d = unit(b - a);
        const PointD n{-d.y * hw, d.x * hw};
        const PointD quad[4] = {a + n, b + n, b - n, a - n};
        fill_convex(raster, quad, ink);
    }

    // The end at v of a line arriving along the unit direction d.
    void cap(PointD v, PointD d) const
    {
        if (pen.end == PS_ENDCAP_ROUND) {
            fill_disc(raster, v, hw, ink);
        } else if (pen.end == PS_ENDCAP_SQUARE) {
            const PointD n{-d.y * hw, d.x * hw};
            const PointD ahead = v + d * hw;
            const PointD quad[4] = {v + n, ahead + n, ahead - n, v - n};
            fill_convex(raster, quad, ink);
        }
    }

    // The corner at v between the segment from a and the segment to b.
    void corner(PointD a, PointD v, PointD b) const
    {
        const PointD d0 = unit(v - a);
        const PointD d1 = unit(b - v);
        const double cross = d0.x * d1.y - d0.y * d1.x;
        const double dot = d0.x * d1.x + d0.y * d1.y;
        const PointD n0{-d0.y, d0.x};
        const PointD n1{-d1.y, d1.x};
        if (pen.join == PS_JOIN_ROUND) {
            // A point within half a pen of the path is nearest either to a segment's inside,
            // and then lies in that segment's quadrilateral, or to a corner, and then lies in
            // the wedge between the two outer normals there. So a round corner needs only
            // that sector, not the whole disc: far fewer rows along a flattened curve.
            if (cross == 0.0 && dot > 0) return;
            double from, sweep;
            if (cross == 0.0) {
                // Straight back: the half disc ahead of the corner, like a round end.
                from = std::atan2(n0.y, n0.x);
                sweep = -std::numbers::pi;
            } else {
                const double side = cross > 0 ? -1.0 : 1.0;
                from = std::atan2(side * n0.y, side * n0.x);
                sweep = std::remainder(std::atan2(side * n1.y, side * n1.x) - from, 2 * std::numbers::pi);
            }
            std::vector<PointD> sector{v};
            flatten_arc(sector, v, hw, hw, from, sweep);
            // The chords of the arc fall inside the circle; push them out by the flatness so
            // the sector covers at least the true disc's wedge.
            for (size_t i = 1; i < sector.size(); ++i) sector[i] = v + (sector[i] - v) * (1.0 + kFlatness / hw);
            fill_convex(raster, sector, ink);
            return;
        }
        if (cross == 0.0) return;  // straight on, or straight back: the segments cover it
        // The outer side of the turn is where the two segments' edges part.
        const double side = cross > 0 ? -1.0 : 1.0;
        const PointD o0 = v + n0 * (side * hw);
        const PointD o1 = v + n1 * (side * hw);
        if (pen.join == PS_JOIN_MITER && 1.0 + dot > 1e-12) {
            const PointD m = v + (n0 + n1) * (side * hw / (1.0 + dot));
            // GDI compares the mitre (inner to outer corner) with the pen width: hw on both
            // sides of that ratio cancel, leaving the distance from v over hw.
            if (std::hypot(m.x - v.x, m.y - v.y) <= kMiterLimit * hw) {
                const PointD quad[4] = {v, o0, m, o1};
                fill_convex(raster, quad, ink);
                return;
            }
        }
        const PointD tri[3] = {v, o0, o1};
        fill_convex(raster, tri, ink);
    }
};

} // namespace

void MonoRaster::FreeBlock::operator()(std::uint8_t* p) const
{
    std::free(p);
}

bool MonoRaster::create(long width, long height)
{
    width_ = height_ = 0;
    row_bytes_ = 0;
    bits_.reset();
    done_.clear();
    done_.shrink_to_fit();
    if (width < 1 || height < 1 || width > INT32_MAX || height > INT32_MAX) return false;
    const std::size_t rb = static_cast<std::size_t>((width + 15) / 16) * 2;
    std::size_t total = 0;
    if (!checked_mul(rb, static_cast<std::size_t>(height), total) || total > kMaxBufferBytes) return false;
    // calloc: a large block comes as fresh zero pages from the system, not written twice.
    bits_.reset(static_cast<std::uint8_t*>(std::calloc(total, 1)));
    if (!bits_) return false;
    try {
        done_.assign(static_cast<size_t>(height), Done{0, 0});
    } catch (const std::bad_alloc&) {
        bits_.reset();
        return false;
    }
    width_ = width;
    height_ = height;
    row_bytes_ = static_cast<std::uint32_t>(rb);
    blank_ = true;
    return true;
}

void MonoRaster::forget_spans(bool ink)
{
    std::fill(done_.begin(), done_.end(), Done{0, 0});
    done_ink_ = ink;
}

void MonoRaster::fill(bool ink)
{
    if (!bits_ || (!ink && blank_)) return;
    // Padding bits stay clear so the bytes handed out depend on the picture only.
    for (long y = 0; y < height_; ++y) {
        std::uint8_t* row = bits_.get() + static_cast<size_t>(y) * row_bytes_;
        std::memset(row, 0, row_bytes_);
        if (ink) set_mono_span(row, 0, width_, true);
    }
    blank_ = !ink;
    forget_spans(ink);
    if (ink) std::fill(done_.begin(), done_.end(), Done{0, width_});
}

bool MonoRaster::pixel(long x, long y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return false;
    return (bits_[static_cast<size_t>(y) * row_bytes_ + static_cast<size_t>(x >> 3)] >> (7 - (x & 7))) & 1;
}

void MonoRaster::span(long y, double xa, double xb, bool ink)
{
    if (y < 0 || y >= height_ || !(xa < xb)) return;
    long a = clamp_to_long(std::ceil(xa), 0, width_);
    long b = clamp_to_long(std::ceil(xb), 0, width_);
    if (a >= b) return;
    if (ink != done_ink_) forget_spans(ink);
    std::uint8_t* row = bits_.get() + static_cast<size_t>(y) * row_bytes_;
    Done& done = done_[static_cast<size_t>(y)];
    if (done.a < done.b && a <= done.b && b >= done.a) {
        // Touching or overlapping the last span: only the parts outside it are new.
        if (a < done.a) set_mono_span(row, a, done.a, ink);
        if (b > done.b) set_mono_span(row, done.b, b, ink);
        done = Done{std::min(a, done.a), std::max(b, done.b)};
    } else {
        set_mono_span(row, a, b, ink);
        done = Done{a, b};
    }
    if (ink) blank_ = false;
}

void scan_rows(double ya, double yb, long height, long& first, long& end)
{
    first = clamp_to_long(std::ceil(ya), 0, height);
    end = clamp_to_long(std::ceil(yb), 0, height);
    if (!(ya < yb)) end = first;
}

void fill_polygon(MonoRaster& r, std::span<const PointD> contour, FillRule rule, bool ink)
{
    struct Edge {
        double x0, y0, slope;
        long first, end;
        int dir;
    };
    std::vector<Edge> edges;
    edges.reserve(contour.size());
    const size_t n = contour.size();
    for (size_t i = 0; i < n; ++i) {
        const PointD a = contour[i];
        const PointD b = contour[(i + 1) % n];
        if (a.y == b.y) continue;  // horizontal edges cross no row on the half-open rule
        const PointD& top = a.y < b.y ? a : b;
        const PointD& bottom = a.y < b.y ? b : a;
        Edge e{top.x, top.y, (b.x - a.x) / (b.y - a.y), 0, 0, a.y < b.y ? 1 : -1};
        scan_rows(top.y, bottom.y, r.height(), e.first, e.end);
        if (e.first < e.end) edges.push_back(e);
    }
    if (edges.empty()) return;
    std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.first < b.first; });

    long end_row = 0;
    for (const Edge& e : edges) end_row = std::max(end_row, e.end);
    std::vector<const Edge*> active;
    std::vector<std::pair<double, int>> xs;
    size_t next = 0;
    for (long y = edges.front().first; y < end_row; ++y) {
        if (active.empty() && next < edges.size() && edges[next].first > y) y = edges[next].first;
        while (next < edges.size() && edges[next].first <= y) active.push_back(&edges[next++]);
        std::erase_if(active, [y](const Edge* e) { return e->end <= y; });
        xs.clear();
        // Each crossing is computed from the edge's start, not accumulated, so long edges
        // do not drift.
        for (const Edge* e : active) xs.emplace_back(e->x0 + (static_cast<double>(y) - e->y0) * e->slope, e->dir);
        std::sort(xs.begin(), xs.end());
        if (rule == FillRule::alternate) {
            for (size_t k = 0; k + 1 < xs.size(); k += 2) r.span(y, xs[k].first, xs[k + 1].first, ink);
        } else {
            int winding = 0;
            double start = 0;
            for (const auto& [x, dir] : xs) {
                const int before = winding;
                winding += dir;
                if (before == 0 && winding != 0) start = x;
                else if (before != 0 && winding == 0) r.span(y, start, x, ink);
            }
        }
    }
}

void fill_convex(MonoRaster& r, std::span<const PointD> poly, bool ink)
{
    if (poly.size() < 3) return;
    double ya = poly[0].y, yb = poly[0].y;
    for (const PointD& p : poly) {
        ya = std::min(ya, p.y);
        yb = std::max(yb, p.y);
    }
    long first = 0, end = 0;
    scan_rows(ya, yb, r.height(), first, end);
    const size_t n = poly.size();
    for (long y = first; y < end; ++y) {
        const double fy = static_cast<double>(y);
        double lo = INFINITY, hi = -INFINITY;
        for (size_t i = 0; i < n; ++i) {
            const PointD a = poly[i];
            const PointD b = poly[(i + 1) % n];
            if (!((a.y <= fy && fy < b.y) || (b.y <= fy && fy < a.y))) continue;
            const double x = a.x + (fy - a.y) * (b.x - a.x) / (b.y - a.y);
            lo = std::min(lo, x);
            hi = std::max(hi, x);
        }
        if (lo < hi) r.span(y, lo, hi, ink);
    }
}

void fill_disc(MonoRaster& r, PointD c, double radius, bool ink)
{
    if (!(radius > 0)) return;
    long first = 0, end = 0;
    scan_rows(c.y - radius, c.y + radius, r.height(), first, end);
    const double r2 = radius * radius;
    for (long y = first; y < end; ++y) {
        const double dy = static_cast<double>(y) - c.y;
        const double d2 = r2 - dy * dy;
        if (d2 <= 0) continue;
        const double dx = std::sqrt(d2);
        r.span(y, c.x - dx, c.x + dx, ink);
    }
}

void stroke_path(MonoRaster& r, std::span<const PointD> in, bool closed, const PenShape& pen, bool ink)
{
    std::vector<PointD> p;
    p.reserve(in.size());
    for (const PointD& q : in) {
        if (p.empty() || !same_point(p.back(), q)) p.push_back(q);
    }
    if (closed) {
        while (p.size() > 1 && same_point(p.back(), p.front())) p.pop_back();
    }
    if (p.empty()) return;
    const Stroker s{r, pen.width / 2.0, pen, ink};
    if (p.size() == 1) {
        // A figure of one point: the ends meet, pointing nowhere in particular.
        s.cap(p[0], {1.0, 0.0});
        return;
    }
    const size_t n = p.size();
    const size_t segments = closed ? n : n - 1;
    for (size_t i = 0; i < segments; ++i) s.segment(p[i], p[(i + 1) % n]);
    if (closed) {
        for (size_t i = 0; i < n; ++i) s.corner(p[(i + n - 1) % n], p[i], p[(i + 1) % n]);
    } else {
        for (size_t i = 1; i + 1 < n; ++i) s.corner(p[i - 1], p[i], p[i + 1]);
        s.cap(p[0], unit(p[0] - p[1]));
        s.cap(p[n - 1], unit(p[n - 1] - p[n - 2]));
    }
}

void flatten_arc(std::vector<PointD>& out, PointD c, double rx, double ry, double from, double sweep)
{
    const double radius = std::max(std::fabs(rx), std::fabs(ry));
    long chords = 1;
    if (radius > kFlatness) {
        const double step = 2.0 * std::acos(1.0 - kFlatness / radius);
        chords = clamp_to_long(std::ceil(std::fabs(sweep) / step), 1, kMaxChords);
    }
    for (long k = 0; k <= chords; ++k) {
        const double a = from + sweep * static_cast<double>(k) / static_cast<double>(chords);
        out.push_back({c.x + rx * std::cos(a), c.y + ry * std::sin(a)});
    }
}

void flatten_bezier(std::vector<PointD>& out, PointD p0, PointD p1, PointD p2, PointD p3)
{
    // A uniform cut into n chords strays at most |B''| / (8 n²) from the curve, and |B''| is
    // at most six times the larger second difference of the control points.
    const PointD d1 = p0 - p1 * 2.0 + p2;
    const PointD d2 = p1 - p2 * 2.0 + p3;
    const double dd = std::max(std::hypot(d1.x, d1.y), std::hypot(d2.x, d2.y));
    const long chords = clamp_to_long(std::ceil(std::sqrt(0.75 * dd / kFlatness)), 1, kMaxChords);
    for (long k = 1; k <= chords; ++k) {
        const double t = static_cast<double>(k) / static_cast<double>(chords);
        const double u = 1.0 - t;
        const double b0 = u * u * u, b1 = 3 * u * u * t, b2 = 3 * u * t * t, b3 = t * t * t;
        out.push_back({b0 * p0.x + b1 * p1.x + b2 * p2.x + b3 * p3.x, b0 * p0.y + b1 * p1.y + b2 * p2.y + b3 * p3.y});
    }
}

Pen ExtCreatePen(DWORD style, long width, bool white)
{
    return Pen{style, width, white};
}

Pen CreatePen(DWORD style, long width, bool white)
{
    return Pen{PS_GEOMETRIC | PS_ENDCAP_ROUND | PS_JOIN_ROUND | (style & PS_STYLE_MASK), width, white};
}

bool ShapeDC::CreateBitmap(long width, long height)
{
    return raster_.create(width, height);
}

void ShapeDC::PatBlt(DWORD rop)
{
    if (rop == BLACKNESS) raster_.fill(false);
    else if (rop == WHITENESS) raster_.fill(true);
}

int ShapeDC::SetArcDirection(int direction)
{
    if (direction != AD_CLOCKWISE && direction != AD_COUNTERCLOCKWISE) return 0;
    const int old = arc_direction_;
    arc_direction_ = direction;
    return old;
}

int ShapeDC::SetPolyFillMode(FillRule rule)
{
    const int old = fill_rule_ == FillRule::alternate ? 1 : 2;
    fill_rule_ = rule;
    return old;
}

PenShape ShapeDC::pen_shape() const
{
    if (!(pen_.style & PS_GEOMETRIC)) return PenShape{};
    return PenShape{static_cast<double>(std::max(pen_.width, 1L)), pen_.style & PS_ENDCAP_MASK, pen_.style & PS_JOIN_MASK};
}

void ShapeDC::fill_and_outline(std::span<const PointD> contour, FillRule rule)
{
    if (brush_ != Brush::hollow) fill_polygon(raster_, contour, rule, brush_ == Brush::white);
    if (pen_draws()) stroke_path(raster_, contour, true, pen_shape(), pen_.white);
}

void ShapeDC::MoveTo(LONG x, LONG y)
{
    position_ = {x, y};
}

BOOL ShapeDC::LineTo(LONG x, LONG y)
{
    const PointD line[2] = {{double(position_.x), double(position_.y)}, {double(x), double(y)}};
    if (pen_draws()) stroke_path(raster_, line, false, pen_shape(), pen_.white);
    position_ = {x, y};
    return TRUE;
}

namespace {

// The figure of a bounding box: normalised, right column and bottom row left out; a box one
// pixel or less across keeps its left or top line.
struct Figure {
    double l, t, r, b;
};

Figure figure_of(LONG l, LONG t, LONG r, LONG b)
{
    const double x0 = std::min(l, r), x1 = std::max(l, r);
    const double y0 = std::min(t, b), y1 = std::max(t, b);
    return {x0, y0, std::max(x0, x1 - 1), std::max(y0, y1 - 1)};
}

} // namespace

BOOL ShapeDC::Rectangle(LONG l, LONG t, LONG r, LONG b)
{
    const Figure f = figure_of(l, t, r, b);
    const PointD contour[4] = {{f.l, f.t}, {f.r, f.t}, {f.r, f.b}, {f.l, f.b}};
    fill_and_outline(contour, FillRule::alternate);
    return TRUE;
}

BOOL ShapeDC::RoundRect(LONG l, LONG t, LONG r, LONG b, LONG corner_w, LONG corner_h)
{
    const Figure f = figure_of(l, t, r, b);
    const double rx = std::min(std::fabs(double(corner_w)), f.r - f.l) / 2.0;
    const double ry = std::min(std::fabs(double(corner_h)), f.b - f.t) / 2.0;
    constexpr double q = std::numbers::pi / 2;
    std::vector<PointD> contour;
    flatten_arc(contour, {f.r - rx, f.t + ry}, rx, ry, -q, q);
    flatten_arc(contour, {f.r - rx, f.b - ry}, rx, ry, 0, q);
    flatten_arc(contour, {f.l + rx, f.b - ry}, rx, ry, q, q);
    flatten_arc(contour, {f.l + rx, f.t + ry}, rx, ry, 2 * q, q);
    fill_and_outline(contour, FillRule::alternate);
    return TRUE;
}

BOOL ShapeDC::Ellipse(LONG l, LONG t, LONG r, LONG b)
{
    const Figure f = figure_of(l, t, r, b);
    std::vector<PointD> contour;
    flatten_arc(contour, {(f.l + f.r) / 2, (f.t + f.b) / 2}, (f.r - f.l) / 2, (f.b - f.t) / 2, 0, 2 * std::numbers::pi);
    contour.pop_back();  // the closing point repeats the first
    fill_and_outline(contour, FillRule::alternate);
    return TRUE;
}

BOOL ShapeDC::Pie(LONG l, LONG t, LONG r, LONG b, LONG x1, LONG y1, LONG x2, LONG y2)
{
    const Figure f = figure_of(l, t, r, b);
    const PointD c{(f.l + f.r) / 2, (f.t + f.b) / 2};
    const double rx = (f.r - f.l) / 2, ry = (f.b - f.t) / 2;
    // The parameter angle where a ray from the centre meets the ellipse: scaling the ray by
    // the other axis's radius keeps the two radii from dividing anything.
    auto angle_of = [&](LONG x, LONG y) { return std::atan2((y - c.y) * rx, (x - c.x) * ry); };
    const double from = angle_of(x1, y1);
    double sweep = angle_of(x2, y2) - from;
    constexpr double turn = 2 * std::numbers::pi;
    if (arc_direction_ == AD_CLOCKWISE) {
        if (sweep <= 0) sweep += turn;
    } else {
        if (sweep >= 0) sweep -= turn;
    }
    std::vector<PointD> contour{c};
    flatten_arc(contour, c, rx, ry, from, sweep);
    fill_and_outline(contour, FillRule::alternate);
    return TRUE;
}

BOOL ShapeDC::Polygon(const POINT* pts, int count)
{
    if (!pts || count < 2) return FALSE;
    std::vector<PointD> contour;
    contour.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) contour.push_back({double(pts[i].x), double(pts[i].y)});
    fill_and_outline(contour, fill_rule_);
    return TRUE;
}

BOOL ShapeDC::PolyBezier(const POINT* pts, DWORD count)
{
    if (!pts || count < 1 || (count - 1) % 3 != 0) return FALSE;
    if (count == 1 || !pen_draws()) return TRUE;
    auto at = [pts](DWORD i) { return PointD{double(pts[i].x), double(pts[i].y)}; };
    std::vector<PointD> path{at(0)};
    for (DWORD i = 1; i + 2 < count; i += 3) flatten_bezier(path, at(i - 1), at(i), at(i + 1), at(i + 2));
    stroke_path(raster_, path, false, pen_shape(), pen_.white);
    return TRUE;
}

long ShapeDC::GetBitmapBits(long count, void* bits) const
{
    const std::span<const std::uint8_t> src = raster_.bits();
    if (!bits || count <= 0 || src.empty()) return 0;
    const size_t n = std::min(static_cast<size_t>(count), src.size());
    std::memcpy(bits, src.data(), n);
    return static_cast<long>(n);
}

} // namespace zk::gdi
