// Scan conversion of glyph outlines into one-bit masks, for large glyphs.
//
// A pixel is ink when its centre lies inside the outline (or on it) by the non-zero winding
// rule, which
// is how GDI and FreeType's one-bit rasteriser fill glyphs whose strokes are wider than a
// pixel. Curves are flattened to within 1/16 pixel. There is no dropout control: strokes
// thinner than a pixel may lose pixels, so small glyphs go to FreeType's rasteriser instead
// (see the threshold in font_instance.cpp). Supersampled caption text is the case this serves:
// the glyphs are AntiScale times their output size, and this is several times faster than the
// general rasteriser there.
#pragma once

#include <cstdint>
#include <vector>

struct FT_Outline_;

namespace zk {

struct RasterTarget {
    std::uint8_t* bits;  // rows of `pitch` bytes, most significant bit leftmost, zeroed
    long width;
    long rows;
    long pitch;
    double left;  // outline x of the first column's left edge
    double top;   // outline y (upward) of the first row's top edge
};

// Collects an outline's edges, contour by contour, in outline units (pixels, y upward).
class EdgeList {
public:
    void move_to(double x, double y);
    void line_to(double x, double y);
    void conic_to(double cx, double cy, double x, double y);
    void cubic_to(double c1x, double c1y, double c2x, double c2y, double x, double y);
    void close();
    // Adds a FreeType outline (26.6 fixed point) as closed contours; false when FreeType
    // refuses to walk it.
    bool add_outline(const FT_Outline_& outline);

    // Fills the target by the non-zero rule, sampling at pixel centres.
    void fill(const RasterTarget& target) const;

private:
    struct Edge {
        double x0, y0, x1, y1;
    };
    std::vector<Edge> edges_;
    double start_x_ = 0, start_y_ = 0, x_ = 0, y_ = 0;
    bool open_ = false;
};

} // namespace zk
