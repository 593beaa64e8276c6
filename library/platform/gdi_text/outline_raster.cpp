// Non-zero winding scan conversion with an active edge list.
#include "platform/gdi_text/outline_raster.h"

#include <ft2build.h>
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>

#include "platform/gdi_text/mono_span.h"

namespace zk {
namespace {

constexpr double kTolerance = 1.0 / 16.0;
// FreeType's coordinates are 26.6 fixed point.
constexpr double kUnit = 1.0 / 64.0;
constexpr int kMaxSegments = 256;

int segments_for(double deviation)
{
    double n = std::ceil(std::sqrt(deviation / kTolerance));
    return static_cast<int>(std::clamp(n, 1.0, static_cast<double>(kMaxSegments)));
}

inline long ceil_long(double v)
{
    long c = static_cast<long>(v);  // toward zero: at or above v when v is negative
    return c < v ? c + 1 : c;
}

inline long floor_long(double v)
{
    long c = static_cast<long>(v);
    return c > v ? c - 1 : c;
}

} // namespace

void EdgeList::move_to(double x, double y)
{
    close();
    start_x_ = x_ = x;
    start_y_ = y_ = y;
    open_ = true;
}

void EdgeList::line_to(double x, double y)
{
    if (y != y_) edges_.push_back({x_, y_, x, y});
    x_ = x;
    y_ = y;
}

void EdgeList::conic_to(double cx, double cy, double x, double y)
{
    // A quadratic strays from its chords by |p0 - 2p1 + p2| / (4 n^2) with n equal steps.
    double dx = x_ - 2 * cx + x, dy = y_ - 2 * cy + y;
    int n = segments_for(std::hypot(dx, dy) / 4.0);
    const double x0 = x_, y0 = y_;
    for (int i = 1; i <= n; ++i) {
        double t = static_cast<double>(i) / n, u = 1 - t;
        if (i == n) line_to(x, y);
        else line_to(u * u * x0 + 2 * u * t * cx + t * t * x, u * u * y0 + 2 * u * t * cy + t * t * y);
    }
}

void EdgeList::cubic_to(double c1x, double c1y, double c2x, double c2y, double x, double y)
{
    // A cubic's second derivative is at most 6 max(|p0 - 2p1 + p2|, |p1 - 2p2 + p3|).
    double d1 = std::hypot(x_ - 2 * c1x + c2x, y_ - 2 * c1y + c2y);
    double d2 = std::hypot(c1x - 2 * c2x + x, c1y - 2 * c2y + y);
    int n = segments_for(3.0 * std::max(d1, d2) / 4.0);
    const double x0 = x_, y0 = y_;
    for (int i = 1; i <= n; ++i) {
        double t = static_cast<double>(i) / n, u = 1 - t;
        double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
        if (i == n) line_to(x, y);
        else line_to(a * x0 + b * c1x + c * c2x + d * x, a * y0 + b * c1y + c * c2y + d * y);
    }
}

void EdgeList::close()
{
    if (open_ && (x_ != start_x_ || y_ != start_y_)) line_to(start_x_, start_y_);
    open_ = false;
}

bool EdgeList::add_outline(const FT_Outline& outline)
{
    constexpr double k = kUnit;
    FT_Outline_Funcs funcs{};
    funcs.move_to = [](const FT_Vector* to, void* u) {
        static_cast<EdgeList*>(u)->move_to(to->x * k, to->y * k);
        return 0;
    };
    funcs.line_to = [](const FT_Vector* to, void* u) {
        static_cast<EdgeList*>(u)->line_to(to->x * k, to->y * k);
        return 0;
    };
    funcs.conic_to = [](const FT_Vector* c, const FT_Vector* to, void* u) {
        static_cast<EdgeList*>(u)->conic_to(c->x * k, c->y * k, to->x * k, to->y * k);
        return 0;
    };
    funcs.cubic_to = [](const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* u) {
        static_cast<EdgeList*>(u)->cubic_to(c1->x * k, c1->y * k, c2->x * k, c2->y * k, to->x * k, to->y * k);
        return 0;
    };
    const bool walked = FT_Outline_Decompose(const_cast<FT_Outline*>(&outline), &funcs, this) == 0;
    close();
    return walked;
}

void EdgeList::fill(const RasterTarget& t) const
{
    // Row r samples at y = top - r - 0.5; an edge covers the rows whose sample lies in
    // [its lower end, its upper end), so a vertex shared by two edges counts once.
    struct Active {
        long first, last;  // rows
        double x, step;    // x at the current row, change per row
        int dir;
    };
    std::vector<Active> pending;
    pending.reserve(edges_.size());
    for (const Edge& e : edges_) {
        double lo = std::min(e.y0, e.y1), hi = std::max(e.y0, e.y1);
        long first = static_cast<long>(std::floor(t.top - 0.5 - hi)) + 1;
        long last = static_cast<long>(std::floor(t.top - 0.5 - lo));
        first = std::max(first, 0L);
        last = std::min(last, t.rows - 1);
        if (first > last) continue;
        double slope = (e.x1 - e.x0) / (e.y1 - e.y0);  // x per unit of y
        double y = t.top - first - 0.5;
        pending.push_back({first, last, e.x0 + (y - e.y0) * slope, -slope, e.y1 > e.y0 ? 1 : -1});
    }
    std::sort(pending.begin(), pending.end(), [](const Active& a, const Active& b) { return a.first < b.first; });

    // The active edges are kept in x order: from one row to the next they seldom pass each
    // other, so an insertion sort keeps them ordered in about one pass.
    std::vector<Active> active;
    size_t next = 0;
    for (long r = 0; r < t.rows; ++r) {
        while (next < pending.size() && pending[next].first == r) active.push_back(pending[next++]);
        if (active.empty()) {
            if (next == pending.size()) break;
            continue;
        }
        for (size_t i = 1; i < active.size(); ++i) {
            if (!(active[i - 1].x > active[i].x)) continue;  // the usual case: still in order
            Active a = active[i];
            size_t j = i;
            for (; j > 0 && active[j - 1].x > a.x; --j) active[j] = active[j - 1];
            active[j] = a;
        }
        std::uint8_t* row = t.bits + r * t.pitch;
        int winding = 0;
        for (size_t i = 0; i + 1 < active.size(); ++i) {
            winding += active[i].dir;
            if (winding == 0) continue;
            // Columns whose centres lie between this crossing and the next, both included: a
            // centre on the outline is inside, as in the one-bit rasterisers this stands for.
            long from = ceil_long(active[i].x - t.left - 0.5);
            long to = floor_long(active[i + 1].x - t.left - 0.5) + 1;
            from = std::max(from, 0L);
            to = std::min(to, t.width);
            if (from < to) set_mono_span(row, from, to, true);
        }
        // Step the active edges to the next row and drop those that end here.
        size_t keep = 0;
        for (size_t i = 0; i < active.size(); ++i) {
            Active& a = active[i];
            if (a.last <= r) continue;
            a.x += a.step;
            if (keep != i) active[keep] = a;
            ++keep;
        }
        active.resize(keep);
    }
}

} // namespace zk
