// The one-bit shape surface: which pixels each shape, pen and brush covers, drawn out as
// grids, plus the invariants that hold for any shape (nothing beyond its reach, padding clear).
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/gdi_shape/gdi_shape.h"
#include "support/test_support.h"

using namespace zk::gdi;

namespace {

std::vector<std::string> grid(const MonoRaster& r)
{
    std::vector<std::string> rows;
    for (long y = 0; y < r.height(); ++y) {
        std::string row;
        for (long x = 0; x < r.width(); ++x) row += r.pixel(x, y) ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

std::string show(const std::vector<std::string>& rows)
{
    std::string s = "\n";
    for (const std::string& r : rows) s += r + "\n";
    return s;
}

Pen white_pen(long width, DWORD ends_and_joins = PS_ENDCAP_ROUND | PS_JOIN_ROUND)
{
    return ExtCreatePen(PS_GEOMETRIC | PS_SOLID | ends_and_joins, width, true);
}

struct GridCase {
    const char* name;
    long w, h;
    std::function<void(ShapeDC&)> draw;
    std::vector<std::string> expected;
};

void PrintTo(const GridCase& c, std::ostream* os) { *os << c.name; }

class ShapeGrid : public ::testing::TestWithParam<GridCase> {};

TEST_P(ShapeGrid, CoversExactlyTheDrawnPixels)
{
    const GridCase& c = GetParam();
    ShapeDC dc;
    ASSERT_TRUE(dc.CreateBitmap(c.w, c.h));
    dc.PatBlt(BLACKNESS);
    c.draw(dc);
    EXPECT_EQ(show(grid(dc.raster())), show(c.expected));
}

const GridCase kGrids[] = {
    {"filled_rectangle_leaves_out_right_and_bottom", 8, 6,
     [](ShapeDC& dc) {
         dc.SelectPen(white_pen(1));
         dc.SelectBrush(Brush::white);
         dc.Rectangle(1, 1, 6, 5);
     },
     {"........",
      ".#####..",
      ".#####..",
      ".#####..",
      ".#####..",
      "........"}},
    {"black_brush_keeps_only_the_outline", 8, 6,
     [](ShapeDC& dc) {
         dc.SelectPen(white_pen(1));
         dc.SelectBrush(Brush::black);
         dc.Rectangle(6, 5, 1, 1);  // corners given the wrong way round
     },
     {"........",
      ".#####..",
      ".#...#..",
      ".#...#..",
      ".#####..",
      "........"}},
    {"brush_alone_is_one_pixel_smaller", 8, 6,
     [](ShapeDC& dc) {
         dc.SelectPen(ExtCreatePen(PS_NULL, 1, true));
         dc.Rectangle(1, 1, 6, 5);
     },
     {"........",
      ".####...",
      ".####...",
      ".####...",
      "........",
      "........"}},
    {"filled_circle", 9, 9,
     [](ShapeDC& dc) {
         dc.SelectPen(white_pen(1));
         dc.Ellipse(1, 1, 8, 8);
     },
     {".........",
      "...###...",
      "..#####..",
      ".#######.",
      ".#######.",
      ".#######.",
      "..#####..",
      "...###...",
      "........."}},
    {"pie_clockwise_from_top_to_right", 13, 9,
     [](ShapeDC& dc) {
         dc.SelectPen(white_pen(1));
         dc.SetArcDirection(AD_CLOCKWISE);
         dc.Pie(1, 1, 12, 12, 6, 1, 11, 6);
     },
     {".............",
      "......###....",
      "......####...",
      "......#####..",
      "......######.",
      "......######.",
      "......######.",
      ".............",
      "............."}},
    {"pie_counter_clockwise_takes_the_other_three_quarters", 13, 13,
     [](ShapeDC& dc) {
         dc.SelectPen(white_pen(1));
         dc.Pie(1, 1, 12, 12, 6, 1, 11, 6);
     },
     {".............",
      "....###......",
      "...####......",
      "..#####......",
      ".######......",
      ".######......",
      ".###########.",
      ".###########.",
      ".###########.",
      "..#########..",
      "...#######...",
      "....#####....",
      "............."}},
    {"flat_ends_stop_at_the_end_points", 11, 7,
     [](ShapeDC& dc) {
         dc.SelectPen(white_pen(3, PS_ENDCAP_FLAT | PS_JOIN_MITER));
         dc.MoveTo(2, 3);
         dc.LineTo(8, 3);
     },
     {"...........",
      "...........",
      "..######...",
      "..######...",
      "..######...",
      "...........",
      "..........."}},
    {"round_ends_reach_half_a_pen_beyond", 11, 7,
     [](ShapeDC& dc) {
         dc.SelectPen(white_pen(3));
         dc.MoveTo(2, 3);
         dc.LineTo(8, 3);
     },
     {"...........",
      "...........",
      ".#########.",
      ".#########.",
      ".#########.",
      "...........",
      "..........."}},
    {"round_end_of_a_wide_pen_is_a_disc", 13, 9,
     [](ShapeDC& dc) {
         dc.SelectPen(white_pen(7));
         dc.MoveTo(4, 4);
         dc.LineTo(8, 4);
     },
     {".............",
      "...#######...",
      "..#########..",
      ".###########.",
      ".###########.",
      ".###########.",
      "..#########..",
      "...#######...",
      "............."}},
    {"mitred_corners_are_square", 12, 12,
     [](ShapeDC& dc) {
         dc.SelectBrush(Brush::black);
         dc.SelectPen(white_pen(5, PS_ENDCAP_FLAT | PS_JOIN_MITER));
         dc.Rectangle(3, 3, 9, 10);
     },
     {"............",
      ".##########.",
      ".##########.",
      ".##########.",
      ".##########.",
      ".##########.",
      ".##########.",
      ".##########.",
      ".##########.",
      ".##########.",
      ".##########.",
      ".##########."}},
    {"round_corners_cut_the_far_pixel", 12, 12,
     [](ShapeDC& dc) {
         dc.SelectBrush(Brush::black);
         dc.SelectPen(white_pen(5));
         dc.Rectangle(3, 3, 9, 10);
     },
     {"............",
      "..########..",
      ".##########.",
      ".##########.",
      ".##########.",
      ".##########.",
      ".##########.",
      ".##########.",
      ".##########.",
      ".##########.",
      ".##########.",
      "..########.."}},
    {"bevelled_corners_cut_more", 12, 12,
     [](ShapeDC& dc) {
         dc.SelectBrush(Brush::black);
         dc.SelectPen(white_pen(5, PS_ENDCAP_FLAT | PS_JOIN_BEVEL));
         dc.Rectangle(3, 3, 9, 10);
     },
     {"............",
      "...######...",
      "..########..",
      ".##########.",
      ".##########.",
      ".##########.",
      ".##########.",
      ".##########.",
      ".##########.",
      ".##########.",
      "..########..",
      "...######..."}},
    {"rounded_rectangle_corners", 14, 10,
     [](ShapeDC& dc) {
         dc.SelectPen(CreatePen(PS_SOLID, 1, true));
         dc.SelectBrush(Brush::black);
         dc.RoundRect(1, 1, 13, 9, 6, 4);
     },
     {"..............",
      "..##########..",
      ".##........##.",
      ".#..........#.",
      ".#..........#.",
      ".#..........#.",
      ".#..........#.",
      ".##........##.",
      "..##########..",
      ".............."}},
    {"bezier_arch_is_outlined_never_filled", 16, 8,
     [](ShapeDC& dc) {
         dc.SelectPen(white_pen(1));
         const POINT p[4] = {{1, 6}, {4, 0}, {11, 0}, {14, 6}};
         EXPECT_TRUE(dc.PolyBezier(p, 4));
     },
     {"................",
      "................",
      "....########....",
      "...##......##...",
      "..##........##..",
      ".##..........##.",
      ".#............#.",
      "................"}},
    {"black_pen_erases", 7, 5,
     [](ShapeDC& dc) {
         dc.PatBlt(WHITENESS);
         dc.SelectPen(ExtCreatePen(PS_GEOMETRIC | PS_ENDCAP_FLAT, 1, false));
         dc.MoveTo(1, 2);
         dc.LineTo(6, 2);
     },
     {"#######",
      "#######",
      "#.....#",
      "#######",
      "#######"}},
};

INSTANTIATE_TEST_SUITE_P(Grids, ShapeGrid, ::testing::ValuesIn(kGrids),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(GdiShape, PolygonFillRulesDifferInTheOverlap)
{
    // A five-pointed star drawn in one stroke: its centre is crossed twice.
    const POINT star[5] = {{10, 0}, {16, 19}, {0, 7}, {20, 7}, {4, 19}};
    for (FillRule rule : {FillRule::alternate, FillRule::winding}) {
        ShapeDC dc;
        ASSERT_TRUE(dc.CreateBitmap(21, 21));
        dc.SelectPen(ExtCreatePen(PS_NULL, 1, true));
        dc.SetPolyFillMode(rule);
        ASSERT_TRUE(dc.Polygon(star, 5));
        EXPECT_EQ(dc.raster().pixel(10, 11), rule == FillRule::winding) << show(grid(dc.raster()));
        EXPECT_TRUE(dc.raster().pixel(10, 3));  // a tip is filled either way
        EXPECT_TRUE(dc.raster().pixel(3, 8));
    }
}

TEST(GdiShape, DegenerateFiguresAndRefusedCalls)
{
    auto inked = [](const ShapeDC& dc) {
        long n = 0;
        for (long y = 0; y < dc.raster().height(); ++y)
            for (long x = 0; x < dc.raster().width(); ++x) n += dc.raster().pixel(x, y);
        return n;
    };
    ShapeDC dc;
    ASSERT_TRUE(dc.CreateBitmap(10, 10));
    dc.SelectPen(white_pen(3, PS_ENDCAP_FLAT | PS_JOIN_MITER));
    dc.MoveTo(5, 5);
    dc.LineTo(5, 5);
    EXPECT_EQ(inked(dc), 0) << "a flat-ended line of no length has no area";
    dc.SelectPen(white_pen(3));
    dc.LineTo(5, 5);
    EXPECT_EQ(inked(dc), 9) << "a round pen leaves a dot" << show(grid(dc.raster()));

    ShapeDC other;
    ASSERT_TRUE(other.CreateBitmap(10, 10));
    other.SelectPen(white_pen(1));
    const POINT p[5] = {{0, 0}, {9, 0}, {9, 9}, {0, 9}, {4, 4}};
    EXPECT_FALSE(other.PolyBezier(p, 2));
    EXPECT_FALSE(other.PolyBezier(p, 5));
    EXPECT_FALSE(other.PolyBezier(nullptr, 4));
    EXPECT_FALSE(other.Polygon(p, 1));
    EXPECT_TRUE(other.PolyBezier(p, 1));
    EXPECT_EQ(inked(other), 0);
    EXPECT_EQ(other.SetArcDirection(7), 0);

    EXPECT_FALSE(other.CreateBitmap(0, 4));
    EXPECT_FALSE(other.CreateBitmap(1L << 40, 1L << 40));
    EXPECT_EQ(other.raster().width(), 0);
    other.Ellipse(0, 0, 50, 50);  // drawing on no bitmap does nothing
    char buf[4] = {1, 2, 3, 4};
    EXPECT_EQ(other.GetBitmapBits(4, buf), 0);
}

TEST(GdiShape, BitmapBitsAreWordPaddedRowsMostSignificantBitFirst)
{
    ShapeDC dc;
    ASSERT_TRUE(dc.CreateBitmap(18, 2));  // two 16-bit words a row
    EXPECT_EQ(dc.raster().row_bytes(), 4u);
    dc.SelectPen(white_pen(1, PS_ENDCAP_FLAT));
    dc.MoveTo(0, 1);
    dc.LineTo(17, 1);  // pixels 0..16 of row 1
    dc.SelectBrush(Brush::white);
    std::uint8_t bits[8];
    EXPECT_EQ(dc.GetBitmapBits(8, bits), 8);
    const std::uint8_t expected[8] = {0, 0, 0, 0, 0xFF, 0xFF, 0x80, 0x00};
    EXPECT_EQ(std::vector<std::uint8_t>(bits, bits + 8), std::vector<std::uint8_t>(expected, expected + 8));
    dc.PatBlt(WHITENESS);
    EXPECT_EQ(dc.GetBitmapBits(3, bits), 3);
    EXPECT_EQ(bits[2], 0xC0) << "padding bits stay clear";
}

// Spans land exactly where a plain per-pixel model puts them, however they overlap and
// whatever mix of ink and clear runs through the same rows.
TEST(GdiShape, RandomSpansMatchAPixelModel)
{
    const std::uint32_t seed = zt::test_seed();
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    auto real = [&rng](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    for (int round = 0; round < 200; ++round) {
        const long w = 1 + static_cast<long>(rng() % 90), h = 1 + static_cast<long>(rng() % 6);
        MonoRaster r;
        ASSERT_TRUE(r.create(w, h));
        std::vector<std::vector<bool>> model(static_cast<size_t>(h), std::vector<bool>(static_cast<size_t>(w)));
        for (int k = 0; k < 60; ++k) {
            const long y = static_cast<long>(rng() % static_cast<unsigned>(h + 2)) - 1;
            const double xa = real(-10, w + 10), xb = xa + real(-3, 40);
            const bool ink = rng() % 4 != 0;
            if (rng() % 50 == 0) {
                r.fill(ink);
                for (auto& row : model) row.assign(row.size(), ink);
                continue;
            }
            r.span(y, xa, xb, ink);
            if (y < 0 || y >= h) continue;
            for (long x = 0; x < w; ++x)
                if (xa <= x && x < xb) model[static_cast<size_t>(y)][static_cast<size_t>(x)] = ink;
        }
        for (long y = 0; y < h; ++y)
            for (long x = 0; x < w; ++x)
                ASSERT_EQ(r.pixel(x, y), model[static_cast<size_t>(y)][static_cast<size_t>(x)]) << x << "," << y;
    }
}

// Random shapes: whatever is drawn stays within half a pen of the figure's box (a mitre may
// reach further, so the pens here are round or bevelled), and the padding bits stay clear.
TEST(GdiShape, RandomShapesStayWithinTheirReach)
{
    const std::uint32_t seed = zt::test_seed();
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 300; ++round) {
        const long w = pick(1, 70), h = pick(1, 50);
        ShapeDC dc;
        ASSERT_TRUE(dc.CreateBitmap(w, h));
        const int pen = pick(1, 9);
        dc.SelectPen(ExtCreatePen(PS_GEOMETRIC | (pick(0, 1) ? PS_JOIN_ROUND : PS_JOIN_BEVEL) |
                                      (pick(0, 1) ? PS_ENDCAP_ROUND : PS_ENDCAP_FLAT),
                                  pen, true));
        dc.SelectBrush(pick(0, 1) ? Brush::white : Brush::black);
        dc.SetArcDirection(pick(1, 2));
        POINT p[7];
        long minx = 1 << 30, miny = 1 << 30, maxx = -(1 << 30), maxy = -(1 << 30);
        for (POINT& q : p) {
            q = {pick(-20, 90), pick(-20, 70)};
        }
        const int kind = pick(0, 5);
        const int used = kind == 4 ? 7 : kind == 5 ? 4 : 2;
        for (int i = 0; i < used; ++i) {
            minx = std::min<long>(minx, p[i].x);
            maxx = std::max<long>(maxx, p[i].x);
            miny = std::min<long>(miny, p[i].y);
            maxy = std::max<long>(maxy, p[i].y);
        }
        switch (kind) {
        case 0: dc.MoveTo(p[0].x, p[0].y); dc.LineTo(p[1].x, p[1].y); break;
        case 1: dc.Rectangle(p[0].x, p[0].y, p[1].x, p[1].y); break;
        case 2: dc.Ellipse(p[0].x, p[0].y, p[1].x, p[1].y); break;
        case 3: dc.Pie(p[0].x, p[0].y, p[1].x, p[1].y, pick(-20, 90), pick(-20, 70), pick(-20, 90), pick(-20, 70)); break;
        case 4: dc.Polygon(p, 7); break;
        default: dc.PolyBezier(p, 4); break;  // the curve stays in its control points' hull
        }
        const double reach = pen / 2.0;
        for (long y = 0; y < h; ++y) {
            for (long x = 0; x < w; ++x) {
                if (!dc.raster().pixel(x, y)) continue;
                ASSERT_TRUE(x >= minx - reach && x <= maxx + reach && y >= miny - reach && y <= maxy + reach)
                    << "kind " << kind << " pixel " << x << "," << y << show(grid(dc.raster()));
            }
        }
        const auto bits = dc.raster().bits();
        const std::uint32_t rb = dc.raster().row_bytes();
        for (long y = 0; y < h; ++y) {
            for (long x = w; x < static_cast<long>(rb) * 8; ++x) {
                ASSERT_FALSE((bits[y * rb + x / 8] >> (7 - x % 8)) & 1) << "padding inked at row " << y;
            }
        }
    }
}

} // namespace
