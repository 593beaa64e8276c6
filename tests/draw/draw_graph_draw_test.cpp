// CDrawGraph drawing into frame buffers: what is covered, what is left alone, the display
// area, and shapes that draw nothing. One test also writes a sheet of every shape with edges
// and shadows to test-tmp/draw_graph_shapes.png for a person to look at.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cstring>
#include <string>

#include "core/byte_reader.h"
#include "draw/draw_graph.h"
#include "framebuffer/kr_frame_buffer.h"
#include "support/test_support.h"

namespace {

constexpr DWORD kBackground = 0xFF203040;

CKrFrameBuffer background(long w, long h)
{
    CKrFrameBuffer fb(w, h, 1);
    fb.ClearCol(kBackground);
    return fb;
}

// Pixels that differ between a and b and lie outside box.
long changed_outside(const CKrFrameBuffer& a, const CKrFrameBuffer& b, const CBox& box)
{
    long n = 0;
    for (long y = 0; y < static_cast<long>(a.GetHeight()); ++y)
        for (long x = 0; x < static_cast<long>(a.GetWidth()); ++x)
            if (zt::px(a, x, y) != zt::px(b, x, y) &&
                !(x >= box.x && x < box.x + box.width && y >= box.y && y < box.y + box.height))
                ++n;
    return n;
}

TEST(DrawGraphDraw, UnknownTypesAndShortPointListsLeaveEverythingAlone)
{
    const POINT pts[4] = {{10, 10}, {40, 30}, {5, 5}, {60, 2}};
    struct Case { int type; long points; int result; } cases[] = {
        {0, 4, 1}, {9, 4, 1}, {-3, 4, 1}, {1, 1, 0}, {2, 0, 0}, {3, 1, 0}, {4, 2, 0}, {7, 0, 0}, {8, 0, 0},
    };
    for (const Case& c : cases) {
        // Build the record by hand, as a file could hold it.
        CDrawGraph proto;
        proto.SetPolyLine(pts, c.points);
        CMemFile f;
        ASSERT_EQ(proto.Write(&f), 1);
        std::vector<BYTE> bytes = f.data();
        zk::put_le32(bytes.data() + 4, static_cast<std::uint32_t>(c.type));
        CMemFile in(bytes.data(), bytes.size());
        CDrawGraph g;
        ASSERT_EQ(g.Read(&in), 1);
        g.GetDispEria() = CBox(1L, 2L, 3L, 4L);
        CKrFrameBuffer fb = background(80, 60);
        const CKrFrameBuffer before = fb;
        EXPECT_EQ(g.DrawFrame(&fb), c.result) << "type " << c.type;
        EXPECT_EQ(zt::diff_pixels(fb, before), 0) << "type " << c.type;
        EXPECT_EQ(g.GetDispEria(), CBox(1L, 2L, 3L, 4L)) << "type " << c.type;
        CBox whole(7L, 7L, 7L, 7L), body, edge, shadow;
        EXPECT_EQ(g.DrawFrameEria(&fb, whole, body, edge, shadow), c.result) << "type " << c.type;
        EXPECT_EQ(whole, CBox(7L, 7L, 7L, 7L));
        EXPECT_EQ(fb.GetWidth(), 80u);
        EXPECT_EQ(g.DrawFrame(nullptr), c.result);
    }
}

TEST(DrawGraphDraw, FilledRectangleAtScaleOneCoversItsBoxLessRightAndBottom)
{
    CDrawGraph g;
    const RECT rc{10, 20, 30, 35};
    g.SetRect(&rc);
    g.SetFillMode(1);
    g.SetAntiScale(1);
    g.SetBodyCol(0xFFFF8000);
    CKrFrameBuffer fb = background(64, 48);
    const CKrFrameBuffer before = fb;
    ASSERT_EQ(g.DrawFrame(&fb), 0);
    EXPECT_EQ(g.GetInfo()->Pos.x, 9);
    EXPECT_EQ(g.GetInfo()->Pos.y, 19);
    for (long y = 0; y < 48; ++y)
        for (long x = 0; x < 64; ++x) {
            const bool inside = x >= 10 && x < 30 && y >= 20 && y < 35;
            ASSERT_EQ(zt::px(fb, x, y), inside ? 0xFFFF8000u : kBackground) << x << "," << y;
        }
    const CBox area = g.GetDispEria();
    EXPECT_LE(area.x, 10);
    EXPECT_LE(area.y, 20);
    EXPECT_GE(area.x + area.width, 30);
    EXPECT_GE(area.y + area.height, 35);
    EXPECT_EQ(changed_outside(fb, before, area), 0);
}

TEST(DrawGraphDraw, SupersampledOutlineHasSoftEdgesAndEmptyInside)
{
    CDrawGraph g;
    const RECT rc{10, 20, 109, 69};
    g.SetEllipse(&rc);
    g.SetPenSize(2);
    CKrFrameBuffer fb(160, 100, 1);  // transparent
    ASSERT_EQ(g.DrawFrame(&fb), 0);
    EXPECT_EQ(g.GetInfo()->Pos.x, 9);
    EXPECT_EQ(g.GetInfo()->Pos.y, 19);
    EXPECT_EQ(zt::px(fb, 59, 44) >> 24, 0u) << "an outline leaves the inside alone";
    long partial = 0, full = 0;
    for (long y = 0; y < 100; ++y)
        for (long x = 0; x < 160; ++x) {
            const DWORD key = zt::px(fb, x, y) >> 24;
            partial += key > 0 && key < 255;
            full += key == 255;
        }
    EXPECT_GT(full, 200);
    EXPECT_GT(partial, 100) << "the curve's pixels are partly covered";
    const CBox area = g.GetDispEria();
    CKrFrameBuffer empty(160, 100, 1);
    EXPECT_EQ(changed_outside(fb, empty, area), 0);
}

TEST(DrawGraphDraw, EdgeAndShadowSurroundTheBody)
{
    CDrawGraph g;
    const RECT rc{20, 20, 40, 40};
    g.SetRect(&rc);
    g.SetFillMode(1);
    g.SetAntiScale(4);
    g.SetBodyCol(0xFFFFFFFF);
    g.SetEdgeType(0, 2, 0);
    g.SetEdgeCol(0xFFFF0000);
    g.SetShadType(0, 6, 0, 0);
    g.SetShadCol(0xFF00FF00);
    CKrFrameBuffer fb = background(80, 80);
    const CKrFrameBuffer before = fb;
    ASSERT_EQ(g.DrawFrame(&fb), 0);
    EXPECT_EQ(zt::px(fb, 30, 30), 0xFFFFFFFFu);
    EXPECT_EQ(zt::px(fb, 30, 18), 0xFFFF0000u) << "two rows above the body: edge";
    EXPECT_EQ(zt::px(fb, 30, 17), kBackground);
    EXPECT_EQ(zt::px(fb, 18, 30), 0xFFFF0000u) << "left of the body: edge";
    EXPECT_EQ(zt::px(fb, 44, 44), 0xFF00FF00u) << "down and right: shadow";
    EXPECT_EQ(zt::px(fb, 10, 10), kBackground);
    EXPECT_EQ(changed_outside(fb, before, g.GetDispEria()), 0);

    // The same through DrawFrameEria: a picture of just the decorated shape.
    CKrFrameBuffer alone;
    CBox whole, body, edge, shadow;
    ASSERT_EQ(g.DrawFrameEria(&alone, whole, body, edge, shadow), 0);
    EXPECT_EQ(whole, g.GetDispEria());
    EXPECT_EQ(static_cast<long>(alone.GetWidth()), whole.width);
    EXPECT_EQ(static_cast<long>(alone.GetHeight()), whole.height);
    EXPECT_EQ(edge.x + 2, body.x);
    EXPECT_EQ(shadow.x, body.x - 2 + 6);
    // The body's place in the picture plus the picture's place is the mask's origin.
    EXPECT_EQ(whole.x + body.x, g.GetInfo()->Pos.x);
    EXPECT_EQ(whole.y + body.y, g.GetInfo()->Pos.y);
    EXPECT_EQ(zt::px(alone, 30 - whole.x, 30 - whole.y), 0xFFFFFFFFu);
}

// Writes the frame buffer as an opaque PNG through Cairo.
void write_png(const CKrFrameBuffer& fb, const std::string& path)
{
    const int w = static_cast<int>(fb.GetWidth()), h = static_cast<int>(fb.GetHeight());
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    unsigned char* dst = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < h; ++y) std::memcpy(dst + static_cast<size_t>(y) * stride, fb.GetBufferByte() + static_cast<size_t>(y) * w * 4, static_cast<size_t>(w) * 4);
    cairo_surface_mark_dirty(s);
    cairo_surface_write_to_png(s, path.c_str());
    cairo_surface_destroy(s);
}

TEST(DrawGraphDraw, SheetOfEveryShapeWithEdgesAndShadows)
{
    CKrFrameBuffer sheet = background(720, 486);
    const POINT zigzag[5] = {{0, 60}, {30, 0}, {60, 60}, {90, 0}, {120, 60}};
    const POINT star[5] = {{60, 0}, {95, 110}, {0, 40}, {120, 40}, {25, 110}};
    const POINT curve[7] = {{0, 80}, {10, -40}, {110, -40}, {120, 60}, {125, 110}, {40, 130}, {60, 80}};
    for (int type = 1; type <= 8; ++type) {
        for (int style = 0; style < 2; ++style) {
            CDrawGraph g;
            const LONG ox = 30 + (type - 1) % 4 * 170, oy = 20 + ((type - 1) / 4 * 2 + style) * 115;
            auto at = [&](const POINT* p, int n) {
                std::vector<POINT> v(p, p + n);
                for (POINT& q : v) q = POINT{q.x + ox, q.y + oy};
                return v;
            };
            const RECT box{ox, oy, ox + 120, oy + 80};
            switch (type) {
            case 1: g.SetLine(POINT{ox, oy + 80}, POINT{ox + 120, oy}); break;
            case 2: g.SetPolyLine(at(zigzag, 5).data(), 5); break;
            case 3: g.SetRect(&box); break;
            case 4: g.SetRoundRect(&box, POINT{40, 30}); break;
            case 5: g.SetEllipse(&box); break;
            case 6: g.SetPie(&box, 30, 300); break;
            case 7: g.SetPolyGon(at(star, 5).data(), 5); break;
            default: g.SetSpline(at(curve, 7).data(), 7); break;
            }
            g.SetPenSize(style ? 3 : 9);
            g.SetPenType(style);
            g.SetFillMode(style);
            if (style) {
                g.SetBodyGrad(0, 6, -1, -1, 0xFFFFE060, 0xFFFF6000);
                g.SetEdgeType(1, 4, 0);
                g.SetEdgeCol(0xFF102080);
                g.SetShadType(2, 5, 4, 0);
                g.SetShadCol(0xC0000000);
            } else {
                g.SetBodyCol(0xFFF0F0F0);
                g.SetEdgeType(0, 2, 0);
                g.SetEdgeCol(0xFF000000);
                g.SetShadType(1, 4, 0, 0);
                g.SetShadCol(0xFF606060);
            }
            const CKrFrameBuffer before = sheet;
            ASSERT_EQ(g.DrawFrame(&sheet), 0) << type;
            EXPECT_GT(zt::diff_pixels(sheet, before), 100) << "type " << type << " style " << style;
            EXPECT_EQ(changed_outside(sheet, before, g.GetDispEria()), 0) << "type " << type;
        }
    }
    write_png(sheet, zt::temp_path("draw_graph_shapes.png"));
}

} // namespace
