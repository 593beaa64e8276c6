// The wipe patterns as spans per row: a shape grown or shrunk by the border width gives the
// border band as the difference of two nested spans.
#include "platform/board/mixer/wipe_pattern.h"

#include <algorithm>
#include <cmath>

#include "platform/board/mixer/channel_placement.h"

namespace zk::mixer {
namespace {

constexpr std::int32_t kOne = 0x1000000;

// The shape's span on row y at position p, grown by `delta` pixels (negative shrinks).
Span shape_span(WipeShape shape, std::int32_t p, int delta, int y, int width, int height)
{
    Span s;
    switch (shape) {
    case WipeShape::Horizontal:
        s.right = std::clamp<long>(fixed_times(p, width) + delta, 0, width);
        break;
    case WipeShape::Vertical:
        if (y < fixed_times(p, height) + delta) s.right = width;
        break;
    case WipeShape::Box: {
        // Half sizes round(p·W/2): the product with W taken over 25 fraction bits.
        const long hw = ((static_cast<long long>(p) * width + (1LL << 24)) >> 25) + delta;
        const long hh = ((static_cast<long long>(p) * height + (1LL << 24)) >> 25) + delta;
        const int cx = width / 2, cy = height / 2;
        if (hw > 0 && hh > 0 && y >= cy - hh && y < cy + hh) {
            s.left = static_cast<int>(std::max<long>(cx - hw, 0));
            s.right = static_cast<int>(std::min<long>(cx + hw, width));
        }
        break;
    }
    case WipeShape::Circle: {
        const double cx = width / 2.0, cy = height / 2.0;
        const double r = static_cast<double>(p) / kOne * std::sqrt(cx * cx + cy * cy) + delta;
        const double dy = y + 0.5 - cy;
        if (r <= 0 || dy * dy >= r * r) break;
        const double h = std::sqrt(r * r - dy * dy);
        // x + 0.5 strictly between cx − h and cx + h.
        const double lo = std::floor(cx - 0.5 - h) + 1;
        const double hi = std::ceil(cx - 0.5 + h);
        s.left = static_cast<int>(std::clamp(lo, 0.0, static_cast<double>(width)));
        s.right = static_cast<int>(std::clamp(hi, 0.0, static_cast<double>(width)));
        break;
    }
    case WipeShape::Mix:
        break;
    }
    if (s.right < s.left) s.right = s.left;
    return s;
}

// outer without inner, for inner inside outer.
std::array<Span, 2> without(Span outer, Span inner)
{
    if (outer.empty()) return {};
    if (inner.empty()) return {outer, Span{}};
    return {Span{outer.left, inner.left}, Span{inner.right, outer.right}};
}

} // namespace

WipeShape wipe_shape(std::uint32_t pattern)
{
    switch (pattern) {
    case 1:
        return WipeShape::Horizontal;
    case 2:
        return WipeShape::Vertical;
    case 101:
        return WipeShape::Box;
    case 102:
        return WipeShape::Circle;
    default:
        return WipeShape::Mix;
    }
}

WipeRow wipe_row(WipeShape shape, bool reversed, std::int32_t position, int border, int y, int width, int height)
{
    WipeRow row;
    if (shape == WipeShape::Mix) return row;
    const std::int32_t p = std::clamp(position, 0, kOne);
    const bool band = border > 0 && p > 0 && p < kOne;
    if (!reversed) {
        const Span s = shape_span(shape, p, 0, y, width, height);
        row.reveal = {s, Span{}};
        if (band) row.border = without(s, shape_span(shape, p, -border, y, width, height));
    } else {
        const Span s = shape_span(shape, kOne - p, 0, y, width, height);
        row.reveal = without(Span{0, width}, s);
        if (band) row.border = without(shape_span(shape, kOne - p, border, y, width, height), s);
    }
    return row;
}

} // namespace zk::mixer
