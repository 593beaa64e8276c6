// The scan converter for large glyphs: pixel centres by the non-zero rule, curves, holes, and
// agreement with FreeType's one-bit rasteriser on real glyphs.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_BITMAP_H

#include <cmath>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/gdi_text/font_catalog.h"
#include "platform/gdi_text/outline_raster.h"

namespace {

struct Grid {
    long w, h, pitch;
    std::vector<std::uint8_t> bits;
    Grid(long width, long height) : w(width), h(height), pitch((width + 7) / 8), bits(static_cast<size_t>(pitch * height)) {}
    bool at(long x, long y) const { return bits[static_cast<size_t>(y * pitch + x / 8)] & (0x80 >> (x % 8)); }
    zk::RasterTarget target(double left, double top) { return {bits.data(), w, h, pitch, left, top}; }
    std::string rows() const
    {
        std::string s;
        for (long y = 0; y < h; ++y) {
            for (long x = 0; x < w; ++x) s += at(x, y) ? '#' : '.';
            s += '\n';
        }
        return s;
    }
};

void polygon(zk::EdgeList& e, std::initializer_list<std::pair<double, double>> pts)
{
    bool first = true;
    for (auto [x, y] : pts) {
        if (first) e.move_to(x, y);
        else e.line_to(x, y);
        first = false;
    }
    e.close();
}

} // namespace

TEST(GdiTextRaster, PixelCentresByTheNonZeroRule)
{
    // y runs up; the grid's top edge is y = 6, its left edge x = 0.
    zk::EdgeList rect;
    polygon(rect, {{0.3, 0.8}, {4.5, 0.8}, {4.5, 4.5}, {0.3, 4.5}});
    Grid g(6, 6);
    rect.fill(g.target(0, 6));
    // Columns: centres 0.5 to 4.5 lie in [0.3, 4.5], a centre on the outline counting as
    // inside. Rows: centres 1.5 to 4.5 in [0.8, 4.5), the top edge excluded so that a vertex
    // shared by two edges is crossed once.
    EXPECT_EQ(g.rows(), "......\n"
                        "......\n"
                        "#####.\n"
                        "#####.\n"
                        "#####.\n"
                        "......\n");

    // Two overlapping squares wound the same way fill once; a square wound against an outer one
    // is a hole.
    zk::EdgeList shapes;
    polygon(shapes, {{0, 0}, {4, 0}, {4, 4}, {0, 4}});
    polygon(shapes, {{2, 2}, {6, 2}, {6, 6}, {2, 6}});
    polygon(shapes, {{1, 1}, {1, 3}, {3, 3}, {3, 1}});  // reversed: cuts out of the first
    Grid h(6, 6);
    shapes.fill(h.target(0, 6));
    EXPECT_EQ(h.rows(), "..####\n"
                        "..####\n"
                        "######\n"
                        "#.####\n"   // the hole's overlap with the second square stays
                        "#..#..\n"
                        "####..\n");
}

TEST(GdiTextRaster, CurvesAreFlattenedCloseToTheCircle)
{
    // A circle of radius 40 from four quadratic arcs per quadrant is within a fraction of a
    // pixel of the true circle; test well inside and well outside.
    const double cx = 50, cy = 50, r = 40;
    zk::EdgeList e;
    const int n = 16;
    const double step = 2 * M_PI / n;
    e.move_to(cx + r, cy);
    for (int i = 0; i < n; ++i) {
        double a0 = i * step, a1 = (i + 1) * step, am = (a0 + a1) / 2;
        double k = r / std::cos(step / 2);  // control point on the tangents' meeting point
        e.conic_to(cx + k * std::cos(am), cy + k * std::sin(am), cx + r * std::cos(a1), cy + r * std::sin(a1));
    }
    e.close();
    Grid g(100, 100);
    e.fill(g.target(0, 100));
    for (long y = 0; y < 100; ++y) {
        for (long x = 0; x < 100; ++x) {
            double d = std::hypot(x + 0.5 - cx, (100 - y - 0.5) - cy);
            if (d < r - 0.3) {
                ASSERT_TRUE(g.at(x, y)) << x << "," << y;
            }
            if (d > r + 0.3) {
                ASSERT_FALSE(g.at(x, y)) << x << "," << y;
            }
        }
    }
}

TEST(GdiTextRaster, AgreesWithFreeTypeOnLargeGlyphs)
{
    auto cat = zk::font_catalog();
    const zk::FontFamilyInfo* family = cat->find("IPAMincho", nullptr);
    ASSERT_NE(family, nullptr);
    FT_Library lib;
    ASSERT_EQ(FT_Init_FreeType(&lib), 0);
    FT_Face face;
    ASSERT_EQ(FT_New_Face(lib, family->faces.front().path.c_str(), 0, &face), 0);
    ASSERT_EQ(FT_Set_Pixel_Sizes(face, 0, 300), 0);
    long total_ink = 0, differ = 0, only_ours = 0;
    for (char32_t c : {U'永', U'あ', U'Ｑ', U'g', U'@', U'鬱'}) {
        ASSERT_EQ(FT_Load_Char(face, c, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP), 0);
        FT_Outline& o = face->glyph->outline;
        FT_BBox box;
        FT_Outline_Get_CBox(&o, &box);
        long x0 = box.xMin >> 6, y0 = box.yMin >> 6, x1 = (box.xMax + 63) >> 6, y1 = (box.yMax + 63) >> 6;
        Grid ours(x1 - x0, y1 - y0), theirs(x1 - x0, y1 - y0);

        zk::EdgeList e;
        ASSERT_TRUE(e.add_outline(o));
        e.fill(ours.target(static_cast<double>(x0), static_cast<double>(y1)));

        FT_Outline_Translate(&o, -x0 * 64, -y0 * 64);
        FT_Bitmap bm;
        FT_Bitmap_Init(&bm);
        bm.rows = static_cast<unsigned>(theirs.h);
        bm.width = static_cast<unsigned>(theirs.w);
        bm.pitch = static_cast<int>(theirs.pitch);
        bm.buffer = theirs.bits.data();
        bm.pixel_mode = FT_PIXEL_MODE_MONO;
        bm.num_grays = 2;
        ASSERT_EQ(FT_Outline_Get_Bitmap(lib, &o, &bm), 0);
        for (long y = 0; y < ours.h; ++y)
            for (long x = 0; x < ours.w; ++x) {
                total_ink += theirs.at(x, y);
                differ += ours.at(x, y) != theirs.at(x, y);
                only_ours += ours.at(x, y) && !theirs.at(x, y);
            }
    }
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
    ASSERT_GT(total_ink, 10000);
    // Only pixels whose centres lie on an edge within the rounding of either may differ.
    EXPECT_LT(differ, total_ink / 200) << differ << " of " << total_ink << ", ours only " << only_ours;
}

TEST(GdiTextRaster, RefusesAnOutlineFreeTypeCannotWalk)
{
    FT_Vector points[3] = {{0, 0}, {640, 0}, {0, 640}};
    char tags[3] = {FT_CURVE_TAG_ON, FT_CURVE_TAG_ON, FT_CURVE_TAG_ON};
    std::remove_pointer_t<decltype(FT_Outline::contours)> ends[1] = {2};
    FT_Outline o{};
    o.n_points = 3;
    o.n_contours = 1;
    o.points = points;
    o.tags = tags;
    o.contours = ends;
    zk::EdgeList good;
    ASSERT_TRUE(good.add_outline(o));
    Grid g(10, 10);
    good.fill(g.target(0, 10));
    EXPECT_TRUE(g.at(1, 8)) << g.rows();
    EXPECT_FALSE(g.at(8, 1)) << g.rows();

    tags[0] = FT_CURVE_TAG_CUBIC;  // a contour may not start on a cubic control point
    zk::EdgeList bad;
    EXPECT_FALSE(bad.add_outline(o));
}
