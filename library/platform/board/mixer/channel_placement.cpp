// The 2D DVE and crop geometry of a Fiesta channel, as column and row tables.
#include "platform/board/mixer/channel_placement.h"

#include <algorithm>

namespace zk::mixer {
namespace {

// floor(a / b) for b != 0.
long long floor_div(long long a, long long b)
{
    long long q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
    return q;
}

// The output span [lo, hi) of a placed extent starting at `origin` with signed size `size`,
// clipped to [0, limit).
void span(long origin, long size, int limit, int& lo, int& hi)
{
    const long a = size >= 0 ? origin : origin + size;
    const long b = size >= 0 ? origin + size : origin;
    lo = static_cast<int>(std::clamp<long>(a, 0, limit));
    hi = static_cast<int>(std::clamp<long>(b, 0, limit));
}

// The store index under each output position of [lo, hi), -1 where cut.
std::vector<std::int32_t> table(int lo, int hi, long origin, long size, int store, long cut_low, long cut_high,
                                bool pair_rows)
{
    std::vector<std::int32_t> out(static_cast<size_t>(std::max(hi - lo, 0)));
    for (int p = lo; p < hi; ++p) {
        long long s = floor_div((2LL * (p - origin) + 1) * store, 2LL * size);
        if (s < 0 || s >= store || s < cut_low || s >= store - cut_high) {
            out[static_cast<size_t>(p - lo)] = -1;
            continue;
        }
        if (pair_rows) s = std::min<long long>(s | 1, store - 1);
        out[static_cast<size_t>(p - lo)] = static_cast<std::int32_t>(s);
    }
    return out;
}

} // namespace

long fixed_times(std::int32_t v, long n)
{
    // Arithmetic shift of the 64-bit product: floor, so halves round up on both sides of 0.
    return static_cast<long>((static_cast<long long>(v) * n + (1LL << 23)) >> 24);
}

Placement place_channel(const Dve2D& dve, const Crop& crop, bool field_freeze, int out_width, int out_height,
                        int store_width, int store_height)
{
    Placement p;
    p.x0 = fixed_times(dve.x, out_width);
    p.y0 = fixed_times(dve.y, out_height);
    p.width = fixed_times(dve.width, out_width);
    p.height = fixed_times(dve.height, out_height);
    if (p.width == 0 || p.height == 0) return p;
    span(p.x0, p.width, out_width, p.left, p.right);
    span(p.y0, p.height, out_height, p.top, p.bottom);
    if (p.empty()) return p;

    long cut_left = 0, cut_right = 0, cut_top = 0, cut_bottom = 0;
    if (crop.enabled) {
        cut_left = std::clamp<long>(fixed_times(crop.left, store_width), 0, store_width);
        cut_right = std::clamp<long>(fixed_times(crop.right, store_width), 0, store_width);
        cut_top = std::clamp<long>(fixed_times(crop.top, store_height), 0, store_height);
        cut_bottom = std::clamp<long>(fixed_times(crop.bottom, store_height), 0, store_height);
    }
    p.identity = p.x0 == 0 && p.y0 == 0 && p.width == store_width && p.height == store_height &&
                 out_width == store_width && out_height == store_height && !field_freeze && cut_left == 0 &&
                 cut_right == 0 && cut_top == 0 && cut_bottom == 0;
    p.columns = table(p.left, p.right, p.x0, p.width, store_width, cut_left, cut_right, false);
    p.rows = table(p.top, p.bottom, p.y0, p.height, store_height, cut_top, cut_bottom, field_freeze);
    return p;
}

} // namespace zk::mixer
