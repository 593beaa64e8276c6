// The wipe units' patterns, row by row: where a wipe at fader position p shows its layer (the
// new picture) and where it draws its border.
//
// Patterns this board draws exactly (all others mix the two pictures evenly by the fader
// position, with no border):
//   1   horizontal: the new picture enters from the left; its edge is at round(p·720).
//   2   vertical: it enters from the top; its edge is at row round(p·486).
//   101 box: a centred rectangle of round(p·720/2) columns and round(p·486/2) rows each side
//       of the centre (360, 243).
//   102 circle: a centred disc whose radius is p times the half-diagonal (sqrt(360² + 243²)),
//       so at 1.0 it covers the picture; pixel (x, y) is inside when its centre
//       (x + 0.5, y + 0.5) lies strictly inside.
// The modifier reverses a pattern: the new picture shows outside the shape at 1 − p (from the
// right, from the bottom, closing in from the edges). The border is a band of the border
// width (pixels, from the wipe record's first value) along the edge, on the new picture's
// side: inside the shape, or outside the reversed shape. It is drawn only while 0 < p < 1 and
// the unit's border generator is enabled.
#pragma once

#include <array>
#include <cstdint>

namespace zk::mixer {

struct Span {
    int left = 0, right = 0; // columns [left, right)
    bool empty() const { return right <= left; }
};

// At most two spans each (a reversed shape leaves the parts either side of it).
struct WipeRow {
    std::array<Span, 2> reveal{};
    std::array<Span, 2> border{};
};

enum class WipeShape { Mix, Horizontal, Vertical, Box, Circle };

WipeShape wipe_shape(std::uint32_t pattern);

// Row `y` of a W × H picture for the given shape at fader position `position` (24 fraction
// bits, 0 to 0x1000000). `border` is the band width in pixels (0 for none).
WipeRow wipe_row(WipeShape shape, bool reversed, std::int32_t position, int border, int y, int width = 720,
                 int height = 486);

} // namespace zk::mixer
