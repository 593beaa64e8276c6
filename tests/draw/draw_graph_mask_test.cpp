// The graphic object's shape masks: size and origin per type and scale, the pixels covered at
// scale 1, what the pen type changes, and the pie's ray directions.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "draw/graph_raster.h"
#include "framebuffer/kr_bitmaps.h"

using namespace zk;

namespace {

std::string show(const CKrMonoBitmap& m)
{
    std::string s = "\n";
    for (long y = 0; y < m.GetHeight(); ++y) {
        for (long x = 0; x < m.GetWidth(); ++x) s += m.GetPixel(x, y) ? '#' : '.';
        s += "\n";
    }
    return s;
}

std::string rows(std::initializer_list<const char*> r)
{
    std::string s = "\n";
    for (const char* row : r) s += std::string(row) + "\n";
    return s;
}

// The shape refers to the caller's points, which must outlive it.
GraphShape shape(std::int32_t type, const std::vector<POINT>& pts, std::int32_t pen = 1, std::int32_t fill = 1,
                 std::int32_t pen_type = 0)
{
    GraphShape g;
    g.type = type;
    g.points = pts;
    g.pen_size = pen;
    g.fill = fill;
    g.pen_type = pen_type;
    return g;
}

struct SizeCase {
    std::int32_t type;
    std::vector<POINT> pts;
    std::int32_t pen, scale;
    long w, h;
    LONG ox, oy;
};

TEST(DrawGraphMask, SizeAndOriginPerTypeAndScale)
{
    const SizeCase cases[] = {
        // The rectangle that everyone checks by hand: h = 16 supersampled pixels of room.
        {kGraphRect, {{10, 20}, {109, 69}}, 2, 16, 1632, 832, 9, 19},
        {kGraphRect, {{109, 69}, {10, 20}}, 2, 16, 1632, 832, 9, 19},
        {kGraphRect, {{10, 20}, {109, 69}}, 2, 1, 102, 52, 9, 19},
        {kGraphRect, {{10, 20}, {109, 69}}, 2, 4, 408, 208, 9, 19},
        {kGraphRect, {{10, 20}, {109, 69}}, 2, 8, 816, 416, 9, 19},
        // pen 1 at scale 16: h = 8, half an output pixel, rounds to the shape's own corner
        {kGraphEllipse, {{0, 0}, {9, 4}}, 1, 16, 176, 96, 0, 0},
        // odd pen at scale 1: h = 1
        {kGraphLine, {{5, 7}, {2, 3}}, 1, 1, 6, 7, 1, 2},
        {kGraphLine, {{5, 7}, {2, 3}}, 3, 4, 28, 32, 1, 2},
        {kGraphPie, {{-30, -40}, {-11, -21}}, 4, 8, 192, 192, -32, -42},
        // the corner size does not widen the mask
        {kGraphRoundRect, {{0, 0}, {19, 9}, {300, 300}}, 2, 4, 88, 48, -1, -1},
        // the other types take the box of every point
        {kGraphPolyLine, {{3, 3}, {10, 1}, {0, 8}}, 2, 4, 52, 40, -1, 0},
        {kGraphPolyGon, {{3, 3}, {10, 1}, {0, 8}, {12, 12}}, 0, 16, 208, 192, 0, 1},
        {kGraphSpline, {{3, 3}, {10, 1}, {0, 8}, {12, 12}}, 1, 1, 15, 14, -1, 0},
    };
    for (const SizeCase& c : cases) {
        CKrMonoBitmap mask;
        POINT origin{-99, -99};
        ASSERT_EQ(rasterise_graph(shape(c.type, c.pts, c.pen), c.scale, mask, origin), MaskResult::drawn);
        EXPECT_EQ(mask.GetWidth(), c.w) << "type " << c.type << " scale " << c.scale;
        EXPECT_EQ(mask.GetHeight(), c.h) << "type " << c.type << " scale " << c.scale;
        EXPECT_EQ(origin.x, c.ox) << "type " << c.type << " scale " << c.scale;
        EXPECT_EQ(origin.y, c.oy) << "type " << c.type << " scale " << c.scale;
        EXPECT_EQ(mask.GetLineByte(), static_cast<unsigned long>((c.w + 15) / 16 * 2));
    }
}

// The shape's left edge lands on the same output column wherever it is, left of the picture
// included (a truncating origin would put shapes at x <= 0 one pixel to the right).
TEST(DrawGraphMask, LeftEdgeLandsOnTheSameGridAtAnyPosition)
{
    for (std::int32_t scale : {1, 4, 16}) {
        for (LONG l : {-37, -8, -1, 0, 1, 5, 300}) {
            CKrMonoBitmap mask;
            POINT origin{};
            const std::vector<POINT> pts{{l, l}, {l + 6, l + 4}};
            ASSERT_EQ(rasterise_graph(shape(kGraphRect, pts, 2), scale, mask, origin), MaskResult::drawn);
            long first = -1;
            for (long x = 0; x < mask.GetWidth() && first < 0; ++x)
                for (long y = 0; y < mask.GetHeight(); ++y)
                    if (mask.GetPixel(x, y)) { first = x; break; }
            // a pen two pixels wide centred on column l starts one output pixel left of it
            EXPECT_EQ(origin.x + first / scale, l - 1) << "scale " << scale << " l " << l;
            EXPECT_EQ(origin.y, origin.x);
        }
    }
}

TEST(DrawGraphMask, CoverageAtScaleOne)
{
    CKrMonoBitmap mask;
    POINT origin{};
    ASSERT_EQ(rasterise_graph(shape(kGraphRect, {{1, 1}, {5, 4}}), 1, mask, origin), MaskResult::drawn);
    EXPECT_EQ(show(mask), rows({".......",
                                ".####..",
                                ".####..",
                                ".####..",
                                ".......",
                                "......."}));
    EXPECT_EQ(origin.x, 0);

    ASSERT_EQ(rasterise_graph(shape(kGraphEllipse, {{0, 0}, {7, 7}}, 1, 0), 1, mask, origin), MaskResult::drawn);
    EXPECT_EQ(show(mask), rows({"..........",
                                "...###....",
                                "..#...#...",
                                ".#.....#..",
                                ".#.....#..",
                                ".#.....#..",
                                "..#...#...",
                                "...###....",
                                "..........",
                                ".........."}));

    const std::vector<POINT> box{{0, 0}, {11, 11}};
    GraphShape pie = shape(kGraphPie, box);
    pie.deg_start = 90;
    pie.deg_end = 180;
    ASSERT_EQ(rasterise_graph(pie, 1, mask, origin), MaskResult::drawn);
    EXPECT_EQ(show(mask), rows({"..............",
                                "..............",
                                "..............",
                                "..............",
                                "..............",
                                "..............",
                                "......######..",
                                "......######..",
                                "......######..",
                                "......#####...",
                                "......####....",
                                "......###.....",
                                "..............",
                                ".............."}));
    pie.deg_start = 0;
    pie.deg_end = 90;
    ASSERT_EQ(rasterise_graph(pie, 1, mask, origin), MaskResult::drawn);
    EXPECT_EQ(show(mask), rows({"..............",
                                "......###.....",
                                "......####....",
                                "......#####...",
                                "......######..",
                                "......######..",
                                "......######..",
                                "..............",
                                "..............",
                                "..............",
                                "..............",
                                "..............",
                                "..............",
                                ".............."}));
}

TEST(DrawGraphMask, PenTypeChangesEndsAndCornersButNotTheRoundedRectangle)
{
    auto render = [](const GraphShape& g) {
        CKrMonoBitmap mask;
        POINT origin{};
        EXPECT_EQ(rasterise_graph(g, 4, mask, origin), MaskResult::drawn);
        return show(mask);
    };
    const std::vector<POINT> line{{0, 0}, {10, 0}};
    EXPECT_NE(render(shape(kGraphLine, line, 3, 0, 0)), render(shape(kGraphLine, line, 3, 0, 1)));
    const std::vector<POINT> box{{0, 0}, {10, 6}};
    const std::string round_rect = render(shape(kGraphRect, box, 3, 0, 0));
    const std::string mitred_rect = render(shape(kGraphRect, box, 3, 0, 1));
    EXPECT_NE(round_rect, mitred_rect);
    EXPECT_EQ(mitred_rect[1], '#') << "a mitred corner reaches the mask's corner";
    EXPECT_EQ(round_rect[1], '.');
    const std::vector<POINT> rr{{0, 0}, {10, 6}, {4, 2}};
    EXPECT_EQ(render(shape(kGraphRoundRect, rr, 3, 0, 0)), render(shape(kGraphRoundRect, rr, 3, 0, 1)));
    // the fill switch does nothing for lines, polylines and splines
    const std::vector<POINT> curve{{0, 0}, {4, 8}, {8, -8}, {12, 0}};
    EXPECT_EQ(render(shape(kGraphSpline, curve, 1, 0)), render(shape(kGraphSpline, curve, 1, 1)));
    EXPECT_EQ(render(shape(kGraphPolyLine, curve, 1, 0)), render(shape(kGraphPolyLine, curve, 1, 1)));
    EXPECT_NE(render(shape(kGraphPolyGon, curve, 1, 0)), render(shape(kGraphPolyGon, curve, 1, 1)));
}

TEST(DrawGraphMask, TooFewPointsUnknownTypesAndBadScalesDrawNothing)
{
    struct Case { std::int32_t type; size_t points; MaskResult expected; } cases[] = {
        {kGraphNone, 4, MaskResult::unknown_type}, {9, 4, MaskResult::unknown_type}, {-1, 4, MaskResult::unknown_type},
        {kGraphLine, 1, MaskResult::nothing},       {kGraphRect, 1, MaskResult::nothing},
        {kGraphEllipse, 1, MaskResult::nothing},    {kGraphPie, 1, MaskResult::nothing},
        {kGraphRoundRect, 2, MaskResult::nothing},  {kGraphPolyLine, 0, MaskResult::nothing},
        {kGraphPolyGon, 0, MaskResult::nothing},    {kGraphSpline, 0, MaskResult::nothing},
        {kGraphRoundRect, 3, MaskResult::drawn},    {kGraphPolyGon, 1, MaskResult::drawn},
    };
    const std::vector<POINT> pts{{1, 1}, {6, 5}, {2, 2}, {9, 0}};
    for (const Case& c : cases) {
        CKrMonoBitmap mask;
        ASSERT_EQ(mask.Create(3, 3), 0);
        POINT origin{7, 7};
        GraphShape g = shape(c.type, pts);
        g.points = std::span<const POINT>(pts.data(), c.points);
        EXPECT_EQ(rasterise_graph(g, 4, mask, origin), c.expected) << "type " << c.type << " points " << c.points;
        if (c.expected != MaskResult::drawn) {
            EXPECT_EQ(mask.GetBits(), nullptr);
            EXPECT_EQ(origin.x, 7);
        }
    }
    for (std::int32_t scale : {0, -16, 2, 3, 32}) {
        CKrMonoBitmap mask;
        POINT origin{};
        EXPECT_EQ(rasterise_graph(shape(kGraphRect, pts), scale, mask, origin), MaskResult::nothing) << scale;
    }
    // A shape spanning the whole coordinate range would need a mask far past any limit.
    CKrMonoBitmap mask;
    POINT origin{};
    const std::vector<POINT> huge{{INT32_MIN, 0}, {INT32_MAX, 3}};
    EXPECT_EQ(rasterise_graph(shape(kGraphLine, huge, 1), 16, mask, origin), MaskResult::nothing);
    EXPECT_EQ(rasterise_graph(shape(kGraphLine, {{0, 0}, {3, 3}}, INT32_MAX), 16, mask, origin), MaskResult::nothing);
    // a negative pen draws as the thinnest one instead of shrinking the mask below the shape
    ASSERT_EQ(rasterise_graph(shape(kGraphLine, {{0, 0}, {3, 0}}, -5), 1, mask, origin), MaskResult::drawn);
    EXPECT_EQ(mask.GetWidth(), 4);
    EXPECT_TRUE(mask.GetPixel(0, 0) && mask.GetPixel(3, 0));
}

TEST(DrawGraphMask, DegAddRunsClockwiseFromTheTop)
{
    struct Case { double deg; long rx, ry; LONG x, y; } cases[] = {
        {0, 100, 7, 0, -100},     {90, 100, 7, 100, 0},      {180, 100, 7, 0, 100},   {270, 100, 7, -100, 0},
        {45, 100, 0, 71, -71},    {30, 100, 50, 50, -87},    {135, 7, 7, 5, 5},       {200, 1000, 1, -342, 940},
        {-90, 50, 50, -50, 0},    {450, 50, 50, 50, 0},      {0, 0, 10, 0, 0},
        // the legacy degree constant is short of pi / 180 in its eleventh digit: at this
        // radius the top and left rays lean by a few pixels, as the stored pies were drawn
        {0, 2000000000, 0, 4, -2000000000}, {270, 2000000000, 0, -2000000000, 7},
    };
    // angles straight from a damaged file
    for (double odd : {std::nan(""), HUGE_VAL, -HUGE_VAL, 1e300}) {
        const POINT p = deg_add(odd, 100, 100);
        EXPECT_LE(std::abs(p.x), 100) << odd;
        EXPECT_LE(std::abs(p.y), 100) << odd;
    }
    for (const Case& c : cases) {
        const POINT p = deg_add(c.deg, c.rx, c.ry);
        EXPECT_EQ(p.x, c.x) << c.deg << " deg, r " << c.rx;
        EXPECT_EQ(p.y, c.y) << c.deg << " deg, r " << c.rx;
    }
}

} // namespace
