// The renderer's defined numbers: disc shapes, the soft cone, mask reduction, gradients, the
// layer layout of SetFb and its image variants, DispFb's box, knock-out mode, texture
// failures, the masked copy's extremes and the bounds put on sizes read from records.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "draw/bw_draw_info.h"
#include "draw/kr_bw_draw.h"
#include "imagefile/img_file.h"
#include "support/renderer_reference.h"
#include "support/test_support.h"

namespace {

// A mask with a solid block of ink (mask pixels, right and bottom exclusive).
CKrMonoBitmap block_mask(long w, long h, long x0, long y0, long x1, long y1)
{
    CKrMonoBitmap m;
    m.Create(w, h);
    for (long y = y0; y < y1; ++y)
        for (long x = x0; x < x1; ++x) m.SetPixel(x, y, true);
    return m;
}

CKrGrayBitmap grey_block(long w, long h, long x0, long y0, long x1, long y1, unsigned char v)
{
    CKrGrayBitmap g;
    g.Create(w, h);
    for (long y = y0; y < y1; ++y)
        for (long x = x0; x < x1; ++x) g.Row(y)[x] = v;
    return g;
}

std::vector<std::string> picture(const CKrGrayBitmap& g, unsigned char ink)
{
    std::vector<std::string> rows;
    for (long y = 0; y < g.GetHeight(); ++y) {
        std::string s;
        for (long x = 0; x < g.GetWidth(); ++x) s += g.Row(y)[x] == ink ? '#' : g.Row(y)[x] == 0 ? '.' : '?';
        rows.push_back(s);
    }
    return rows;
}

} // namespace

TEST(BwDrawEdge, DiscsOfRadiusOneToFour)
{
    const std::vector<std::vector<std::string>> discs = {
        {".#.", "###", ".#."},
        {".###.", "#####", "#####", "#####", ".###."},
        {"..###..", ".#####.", "#######", "#######", "#######", ".#####.", "..###.."},
        {"...###...", ".#######.", ".#######.", "#########", "#########", "#########", ".#######.", ".#######.",
         "...###..."},
    };
    CKrBwDraw draw;
    const CKrGrayBitmap dot = grey_block(1, 1, 0, 0, 1, 1, 200);
    for (int r = 1; r <= 4; ++r) {
        CKrGrayBitmap out;
        ASSERT_EQ(draw.GrayMakeNomEdge(r, &dot, &out), 0);
        EXPECT_EQ(picture(out, 200), discs[static_cast<size_t>(r - 1)]) << "radius " << r;
    }
}

TEST(BwDrawEdge, SoftConeFallsInQuartersAtSizeFour)
{
    CKrBwDraw draw;
    // Any non-zero pixel counts as set, so a faint block grows the same cone as a solid one.
    for (unsigned char v : {255, 1}) {
        const CKrGrayBitmap block = grey_block(6, 6, 0, 0, 6, 6, v);
        CKrGrayBitmap out;
        ASSERT_EQ(draw.GrayMakeSoftEdge(4, 99, &block, &out), 0);
        ASSERT_EQ(out.GetWidth(), 14);
        ASSERT_EQ(out.GetHeight(), 14);
        const int expect_right[] = {255, 255, 191, 127, 63, 0};  // x = 8, 9 (inside), 10 .. 13
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(out.Row(6)[8 + i], expect_right[i]) << "column " << 8 + i;
            EXPECT_EQ(out.Row(8 + i)[6], expect_right[i]) << "row " << 8 + i;
            EXPECT_EQ(out.Row(6)[5 - i], expect_right[i]) << "column " << 5 - i;
        }
        // Diagonally from the corner (4, 4) away, at distance √2 and √8.
        EXPECT_EQ(out.Row(10)[10], static_cast<int>(255.0 * (4 - std::sqrt(2.0)) / 4));
        EXPECT_EQ(out.Row(11)[11], static_cast<int>(255.0 * (4 - std::sqrt(8.0)) / 4));
    }
}

TEST(BwDrawEdge, BadSizesAndEmptyInputsFailWithAnEmptyOutput)
{
    CKrBwDraw draw;
    const CKrGrayBitmap dot = grey_block(3, 3, 1, 1, 2, 2, 255);
    CKrGrayBitmap empty, out;
    for (long size : {0L, -1L, static_cast<long>(INT_MIN)}) {
        out.Create(5, 5);
        EXPECT_EQ(draw.MakeEdge(0, size, 0, &dot, &out), -1) << size;
        EXPECT_EQ(out.GetBits(), nullptr);
    }
    EXPECT_EQ(draw.MakeEdge(1, 3, 0, &empty, &out), -1);
    EXPECT_EQ(draw.MakeShadow(0, 3, 0, 0, &empty, &out), -1);
    // In and out may be one bitmap.
    CKrGrayBitmap same = dot;
    ASSERT_EQ(draw.MakeEdge(0, 2, 0, &same, &same), 0);
    EXPECT_EQ(same.GetWidth(), 7);
    EXPECT_EQ(same.Row(3)[1], 255);
}

TEST(BwDrawEdge, AbsurdSizesAreCutTo255)
{
    CKrBwDraw draw;
    const CKrGrayBitmap dot = grey_block(2, 1, 0, 0, 1, 1, 255);
    CKrGrayBitmap out;
    ASSERT_EQ(draw.GrayMakeNomEdge(INT_MAX, &dot, &out), 0);
    EXPECT_EQ(out.GetWidth(), 2 + 2 * 255);
    EXPECT_EQ(out.GetHeight(), 1 + 2 * 255);
    ASSERT_EQ(draw.Make3DShadow(static_cast<long>(INT_MIN), &dot, &out), 0);
    EXPECT_EQ(out.GetWidth(), 2 + 255);
    ASSERT_EQ(draw.MakeShadow(2, 1, LONG_MAX, 0, &dot, &out), 0);
    EXPECT_EQ(out.GetHeight(), 1 + 2 * 255);
}

TEST(BwDrawShadow, TypesGiveCopyExtrusionBlurOrNothing)
{
    CKrBwDraw draw;
    const CKrGrayBitmap in = grey_block(4, 3, 1, 1, 3, 2, 180);
    CKrGrayBitmap out;
    for (long type : {0L, 3L, -1L}) {  // drop shadow, and unknown types drawn as drop shadows
        ASSERT_EQ(draw.MakeShadow(type, 5, 2, 0, &in, &out), 0);
        EXPECT_EQ(picture(out, 180), picture(in, 180)) << type;
    }
    ASSERT_EQ(draw.MakeShadow(1, -3, 0, 0, &in, &out), 0);
    EXPECT_EQ(picture(out, 180), (std::vector<std::string>{".......", ".##....", "..##...", "...##..", ".......", "......."}));
    ASSERT_EQ(draw.MakeShadow(2, 4, 0, 0, &in, &out), 0);  // no blur radius: an empty shadow
    EXPECT_EQ(picture(out, 180), (std::vector<std::string>{"....", "....", "...."}));
}

TEST(BwDrawAntiGray, ScalesWeighBitsAndRejectOthers)
{
    CKrBwDraw draw;
    const struct { int s; int one_bit; } scales[] = {{1, 255}, {4, 16}, {8, 4}, {16, 1}};
    for (const auto& c : scales) {
        // 32 × 2s mask: block 0 full, block 1 a single bit.
        CKrMonoBitmap m = block_mask(32, 2 * c.s, 0, 0, c.s, c.s);
        m.SetPixel(c.s + c.s / 2, c.s + c.s / 2, true);
        CKrGrayBitmap g;
        ASSERT_EQ(draw.MakeAntiGray(c.s, &m, &g), 0);
        EXPECT_EQ(g.GetWidth(), 32 / c.s);
        EXPECT_EQ(g.GetHeight(), 2);
        EXPECT_EQ(g.Row(0)[0], 255) << c.s;
        EXPECT_EQ(g.Row(1)[1], c.one_bit) << c.s;
        EXPECT_EQ(g.Row(1)[0], 0);
    }
    CKrMonoBitmap m = block_mask(32, 32, 0, 0, 32, 32);
    for (long s : {0L, 2L, 3L, 5L, 32L, -16L}) {
        CKrGrayBitmap g;
        g.Create(3, 3);
        EXPECT_EQ(draw.MakeAntiGray(s, &m, &g), -1) << s;
        EXPECT_EQ(g.GetBits(), nullptr);
    }
    // A mask shorter than one block gives no picture.
    CKrMonoBitmap thin = block_mask(32, 15, 0, 0, 32, 15);
    CKrGrayBitmap g;
    EXPECT_EQ(draw.MakeAntiGray(16, &thin, &g), -1);
}

// Every pattern on a 9 × 5 picture, without a point and with the point (2, 1): the length C,
// the pixel where p = 0 (colour 2 exactly), and the far pixel with its colour byte when the
// gradient runs from black to white.
TEST(BwDrawGradient, LengthsCentresAndEndsOfEveryPattern)
{
    struct Case { long pattern, x, y, C, cx, cy, zx, zy, fx, fy; int far_byte; };
    const Case cases[] = {
        {0, -1, -1, 9, 4, 2, 8, 0, 0, 3, 29},   {1, -1, -1, 5, 4, 2, 3, 4, 3, 0, 51},
        {2, -1, -1, 14, 4, 2, 8, 4, 0, 0, 37},  {3, -1, -1, 14, 4, 2, 0, 4, 8, 0, 37},
        {4, -1, -1, 7, 4, 2, 4, 2, 0, 0, 37},   {5, -1, -1, 7, 4, 2, 4, 2, 0, 0, 220},
        {6, -1, -1, 7, 4, 2, 4, 2, 0, 0, 93},   {7, -1, -1, 4, 4, 2, 4, 0, 0, 1, 0},
        {8, -1, -1, 2, 4, 2, 0, 2, 5, 0, 0},    {9, -1, -1, 7, 4, 2, 3, 3, 0, 0, 37},
        {10, -1, -1, 7, 4, 2, 2, 0, 0, 0, 183}, {0, 2, 1, 13, 2, 1, 8, 2, 0, 2, 99},
        {1, 2, 1, 7, 2, 1, 0, 4, 0, 0, 110},    {2, 2, 1, 20, 2, 1, 8, 4, 0, 0, 102},
        {3, 2, 1, 20, 2, 1, 0, 4, 8, 0, 102},   {4, 2, 1, 10, 2, 1, 2, 1, 8, 4, 26},
        {5, 2, 1, 10, 2, 1, 2, 1, 8, 4, 205},   {6, 2, 1, 10, 2, 1, 2, 1, 8, 4, 84},
        {7, 2, 1, 7, 2, 1, 2, 3, 8, 0, 37},     {8, 2, 1, 4, 2, 1, 7, 1, 0, 4, 64},
        {9, 2, 1, 11, 2, 1, 2, 1, 8, 4, 47},    {10, 2, 1, 11, 2, 1, 3, 2, 8, 0, 93},
    };
    CKrBwDraw draw;
    for (const Case& c : cases) {
        const bool point = c.x >= 0;
        const long pat = c.pattern + (point ? 100 : 0);
        long cx = -9, cy = -9;
        EXPECT_EQ(draw.Pis_Grad_Paint_Set1(pat, 0, 0, 8, 4, c.x, c.y, &cx, &cy), c.C) << pat;
        EXPECT_EQ(cx, c.cx) << pat;
        EXPECT_EQ(cy, c.cy) << pat;
        EXPECT_EQ(draw.Pis_Grad_Paint_Conv(pat, c.zx, c.zy, 0, 0, 8, 4, cx, cy), 0.0) << pat;
        std::vector<DWORD> px(45);
        ASSERT_EQ(draw.Pis_Grad_Paint(px.data(), 9, 5, c.x, c.y, 0xFF000000, 0xFFFFFFFF, c.pattern), 0);
        EXPECT_EQ(px[static_cast<size_t>(c.zy * 9 + c.zx)], 0xFFFFFFFFu) << pat;
        const DWORD far = px[static_cast<size_t>(c.fy * 9 + c.fx)];
        const DWORD b = static_cast<DWORD>(c.far_byte);
        EXPECT_EQ(far, 0xFF000000u | b << 16 | b << 8 | b) << pat;
    }
}

TEST(BwDrawGradient, WorkedExamplePointsOutsideAndDegenerateBands)
{
    CKrBwDraw draw;
    std::vector<DWORD> row(256);
    ASSERT_EQ(draw.Pis_Grad_Paint(row.data(), 256, 1, -1, -1, 0xFF000000, 0xFFFFFFFF, 0), 0);
    EXPECT_EQ(row[255], 0xFFFFFFFFu);
    EXPECT_EQ(row[0], 0xFF010101u);

    // A point outside the picture draws as no point; unknown patterns draw as pattern 0.
    for (long pat = 0; pat <= 10; ++pat) {
        std::vector<DWORD> a(63), b(63), c(63);
        draw.Pis_Grad_Paint(a.data(), 9, 7, -1, -1, 0x80102030, 0xFFF0E0D0, pat);
        draw.Pis_Grad_Paint(b.data(), 9, 7, 9, 3, 0x80102030, 0xFFF0E0D0, pat);
        draw.Pis_Grad_Paint(c.data(), 9, 7, 4, 70, 0x80102030, 0xFFF0E0D0, pat);
        EXPECT_EQ(a, b) << pat;
        EXPECT_EQ(a, c) << pat;
    }
    std::vector<DWORD> zero(63), odd(63);
    draw.Pis_Grad_Paint(zero.data(), 9, 7, -1, -1, 0x80102030, 0xFFF0E0D0, 0);
    for (long pat : {11L, -1L, 1000L}) {
        draw.Pis_Grad_Paint(odd.data(), 9, 7, -1, -1, 0x80102030, 0xFFF0E0D0, pat);
        EXPECT_EQ(odd, zero) << pat;
    }

    // Bands across a picture one pixel wide or high have no length: colour 2, no division.
    for (const auto& [pat, w, h] : {std::tuple{7L, 1L, 6L}, {8L, 6L, 1L}, {7L, 1L, 1L}, {8L, 1L, 1L}}) {
        std::vector<DWORD> px(static_cast<size_t>(w * h), 0);
        ASSERT_EQ(draw.Pis_Grad_Paint(px.data(), w, h, -1, -1, 0xFF000000, 0xFF336699, pat), 0);
        for (DWORD v : px) EXPECT_EQ(v, 0xFF336699u) << pat;
        EXPECT_EQ(draw.Pis_Grad_Paint_Set1(pat, 0, 0, w - 1, h - 1, -1, -1, nullptr, nullptr), 1);
    }
    EXPECT_EQ(draw.Pis_Grad_Paint(nullptr, 4, 4, 0, 0, 0, 0, 0), -1);
    EXPECT_EQ(draw.Pis_Grad_Paint(row.data(), 0, 4, 0, 0, 0, 0, 0), -1);
}

TEST(BwDrawColour, GreyScalesTheFillsKeyAndZeroIsTransparent)
{
    CKrBwDraw draw;
    CKrGrayBitmap g;
    g.Create(4, 1);
    const unsigned char levels[] = {0, 1, 128, 255};
    for (int i = 0; i < 4; ++i) g.Row(0)[i] = levels[i];
    CKrFrameBuffer out;
    const DWORD col = 0xC8123456;
    ASSERT_EQ(draw.MakeFb_Color(&g, &out, &col), 0);
    EXPECT_EQ(zt::px(out, 0, 0), 0u);
    EXPECT_EQ(zt::px(out, 1, 0), 0x00123456u);  // 200·1/255 = 0
    EXPECT_EQ(zt::px(out, 2, 0), (200u * 128 / 255) << 24 | 0x123456);
    EXPECT_EQ(zt::px(out, 3, 0), col);
    const tagMAPINFO bad{7, &col, nullptr, nullptr};
    EXPECT_EQ(draw.GrayToFb(&g, &out, &bad), -1);
    EXPECT_EQ(out.IsBuffer(), 1);
}

TEST(BwDrawColour, TexturesThatCannotBeLoadedFillOpaqueBlack)
{
    CKrBwDraw draw;
    const CKrGrayBitmap g = grey_block(3, 2, 0, 0, 3, 2, 255);
    for (const char* name : {static_cast<const char*>(nullptr), "", "/nonexistent/texture.tga"}) {
        for (int mode : {0, 1, 2, 7}) {
            const tagTEXTUREINFO t{mode, name};
            CKrFrameBuffer out;
            ASSERT_EQ(draw.MakeFb_Text(&g, &out, &t), 0);
            for (long y = 0; y < 2; ++y)
                for (long x = 0; x < 3; ++x) EXPECT_EQ(zt::px(out, x, y), 0xFF000000u) << mode;
        }
    }
}

TEST(BwDrawColour, TexturesAreCentredTiledStretchedOrLeftClear)
{
    const std::string path = zt::data_path("draw/texture_stripes.tga");
    CImgFile file;
    ASSERT_EQ(file.LoadImage(CString(path.c_str())), 0);
    const CKrFrameBuffer& tex = *file.GetImg();
    ASSERT_EQ(tex.GetWidth(), 12u);
    ASSERT_EQ(tex.GetHeight(), 10u);
    CKrGrayBitmap g = grey_block(30, 25, 0, 0, 30, 25, 255);
    g.Row(0)[0] = 51;  // a fifth of the key at the corner
    CKrBwDraw draw;
    CKrFrameBuffer out;

    // Centre: top-left at (30/2 - 12/2, 25/2 - 10/2) = (9, 7) over opaque black.
    tagTEXTUREINFO t{0, path.c_str()};
    ASSERT_EQ(draw.MakeFb_Text(&g, &out, &t), 0);
    EXPECT_EQ(zt::px(out, 9, 7), zt::px(tex, 0, 0));
    EXPECT_EQ(zt::px(out, 20, 16), zt::px(tex, 11, 9));
    EXPECT_EQ(zt::px(out, 8, 7), 0xFF000000u);
    EXPECT_EQ(zt::px(out, 21, 16), 0xFF000000u);
    EXPECT_EQ(zt::px(out, 0, 0), 0x33000000u);

    // Tile from the top-left corner.
    t.Mode = 1;
    ASSERT_EQ(draw.MakeFb_Text(&g, &out, &t), 0);
    for (long y = 1; y < 25; ++y)
        for (long x = 1; x < 30; ++x) ASSERT_EQ(zt::px(out, x, y), zt::px(tex, x % 12, y % 10)) << x << "," << y;

    // Stretch: the texture resized to the fill.
    t.Mode = 2;
    ASSERT_EQ(draw.MakeFb_Text(&g, &out, &t), 0);
    CKrFrameBuffer copy(tex), stretched;
    ASSERT_EQ(copy.SizeChange(&stretched, 30, 25), 0);
    EXPECT_EQ(zt::px(out, 17, 13), zt::px(stretched, 17, 13));

    // Unknown mode: the part stays fully transparent.
    t.Mode = 5;
    ASSERT_EQ(draw.MakeFb_Text(&g, &out, &t), 0);
    EXPECT_EQ(zt::px(out, 17, 13), 0u);
}

TEST(BwDrawCopyMask, FullMaskCopiesAndEmptyMaskLeavesOpaqueWhereSourceIsClear)
{
    std::mt19937 rng(zt::test_seed());
    CKrFrameBuffer src = zt::random_buffer(12, 9, rng, 1);
    for (long i = 0; i < 12 * 9; ++i) src.GetBufferDWord()[i] |= 0xFF000000;
    CKrFrameBuffer dst = zt::random_buffer(12, 9, rng, 1), plain(dst);
    CKrGrayBitmap full = grey_block(12, 9, 0, 0, 12, 9, 255);
    ASSERT_EQ(dst.FbCopyMask(&src, &full, 0, 0, 12, 9, 0, 0, nullptr), 0);
    plain.FbCopy(&src, 0, 0, 12, 9, 0, 0, 0, nullptr);
    EXPECT_EQ(zt::diff_pixels(dst, plain), 0);

    CKrFrameBuffer clear = zt::random_buffer(12, 9, rng, 1);
    for (long i = 0; i < 12 * 9; i += 2) clear.GetBufferDWord()[i] &= 0x00FFFFFF;
    CKrFrameBuffer opaque = zt::random_buffer(12, 9, rng, 0);
    for (long i = 0; i < 12 * 9; ++i) opaque.GetBufferDWord()[i] |= 0xFF000000;
    const CKrFrameBuffer before(opaque);
    CKrGrayBitmap none = grey_block(12, 9, 0, 0, 0, 0, 0);
    ASSERT_EQ(opaque.FbCopyMask(&clear, &none, 0, 0, 12, 9, 0, 0, nullptr), 0);
    for (long i = 0; i < 12 * 9; i += 2) EXPECT_EQ(opaque.GetBufferDWord()[i], before.GetBufferDWord()[i]) << i;

    EXPECT_EQ(opaque.FbCopyMask(&clear, nullptr, 0, 0, 12, 9, 0, 0, nullptr), -1);
    EXPECT_EQ(opaque.FbCopyMask(nullptr, &none, 0, 0, 12, 9, 0, 0, nullptr), -1);
    CKrFrameBuffer empty;
    EXPECT_EQ(empty.FbCopyMask(&clear, &none, 0, 0, 12, 9, 0, 0, nullptr), -1);
}

namespace {

// A 16 × 4 body at scale 4 (a solid block with one anti-aliased column).
CKrMonoBitmap body_mask()
{
    CKrMonoBitmap m = block_mask(64, 16, 0, 0, 62, 16);
    return m;
}

tagKRBWDRAWINFO record(long edge, long shad_type, long shad, long soft)
{
    tagKRBWDRAWINFO r{};
    r.AntiScale = 4;
    r.Pos = {100, 50};
    r.EdgeType = {0, static_cast<std::int32_t>(edge), 0};
    r.ShadType = {static_cast<std::int32_t>(shad_type), static_cast<std::int32_t>(shad), static_cast<std::int32_t>(soft), 0};
    r.BodyCol = 0xFFFFFFFF;
    r.EdgeCol = 0xFF0000FF;
    r.ShadCol = 0x80000000;
    return r;
}

} // namespace

TEST(BwDrawSetFb, LayoutOfEdgesAndShadows)
{
    struct Case {
        const char* name;
        long edge, shad_type, shad, soft;
        CBox whole, body, edge_box, shadow;
    };
    const Case cases[] = {
        {"edge only", 2, 0, 0, 0, {98L, 48L, 20L, 8L}, {2L, 2L, 16L, 4L}, {0L, 0L, 20L, 8L}, {0L, 0L, 0L, 0L}},
        {"drop -6 edge 2", 2, 0, -6, 0, {92L, 42L, 26L, 14L}, {8L, 8L, 16L, 4L}, {6L, 6L, 20L, 8L}, {0L, 0L, 20L, 8L}},
        {"drop 5", 0, 0, 5, 0, {100L, 50L, 21L, 9L}, {0L, 0L, 16L, 4L}, {0L, 0L, 0L, 0L}, {5L, 5L, 16L, 4L}},
        {"drop 3 edge 2", 2, 0, 3, 0, {98L, 48L, 23L, 11L}, {2L, 2L, 16L, 4L}, {0L, 0L, 20L, 8L}, {3L, 3L, 20L, 8L}},
        {"negative -3", 0, 9, -3, 0, {97L, 47L, 19L, 7L}, {3L, 3L, 16L, 4L}, {0L, 0L, 0L, 0L}, {0L, 0L, 16L, 4L}},
        {"extruded 4 edge 1", 1, 1, 4, 0, {99L, 49L, 22L, 10L}, {1L, 1L, 16L, 4L}, {0L, 0L, 18L, 6L}, {0L, 0L, 22L, 10L}},
        {"extruded -4 edge 1", 1, 1, -4, 0, {95L, 45L, 22L, 10L}, {5L, 5L, 16L, 4L}, {4L, 4L, 18L, 6L}, {0L, 0L, 22L, 10L}},
        {"soft 3 blur 2", 0, 2, 3, 2, {100L, 50L, 23L, 11L}, {0L, 0L, 16L, 4L}, {0L, 0L, 0L, 0L}, {3L, 3L, 20L, 8L}},
        {"soft -2 blur 3 edge 1", 1, 2, -2, 3, {97L, 47L, 24L, 12L}, {3L, 3L, 16L, 4L}, {2L, 2L, 18L, 6L}, {0L, 0L, 24L, 12L}},
    };
    const CKrMonoBitmap mask = body_mask();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int soft_pen : {0, 1}) {
            tagKRBWDRAWINFO r = record(c.edge, c.shad_type, c.shad, c.soft);
            r.ShadType.SoftPen = soft_pen;
            CKrFrameBuffer result(3, 3, 1);
            CBox whole, body, edge, shadow;
            CKrBwDraw draw;
            ASSERT_EQ(draw.SetFb(&result, &r, &mask, whole, body, edge, shadow), 0);
            EXPECT_EQ(whole, c.whole);
            EXPECT_EQ(body, c.body);
            EXPECT_EQ(edge, c.edge_box);
            EXPECT_EQ(shadow, c.shadow);
            ASSERT_EQ(static_cast<long>(result.GetWidth()), c.whole.width);
            ASSERT_EQ(static_cast<long>(result.GetHeight()), c.whole.height);
            CBox ref_boxes[4];
            const CKrFrameBuffer expect = zref::set_fb(r, mask, ref_boxes);
            EXPECT_EQ(ref_boxes[0], whole);
            std::string where;
            EXPECT_EQ(zt::diff_pixels(result, expect, &where), 0) << "soft pen " << soft_pen << " " << where;
        }
    }
}

TEST(BwDrawSetFb, RecordsThatCannotDrawFailAndLeaveTheResult)
{
    const CKrMonoBitmap mask = body_mask();
    CKrBwDraw draw;
    CBox whole(1L, 2L, 3L, 4L), body, edge, shadow;
    CKrFrameBuffer result(5, 5, 1);
    result.ClearCol(0x12345678);
    tagKRBWDRAWINFO r = record(2, 0, 3, 0);
    r.AntiScale = 2;
    EXPECT_EQ(draw.SetFb(&result, &r, &mask, whole, body, edge, shadow), -1);
    r.AntiScale = 4;
    r.BodyMode = 3;
    EXPECT_EQ(draw.SetFb(&result, &r, &mask, whole, body, edge, shadow), -1);
    EXPECT_EQ(draw.SetFb(nullptr, &r, &mask, whole, body, edge, shadow), -1);
    EXPECT_EQ(draw.SetFb(&result, nullptr, &mask, whole, body, edge, shadow), -1);
    EXPECT_EQ(draw.SetFb(&result, &r, nullptr, whole, body, edge, shadow), -1);
    EXPECT_EQ(whole, CBox(1L, 2L, 3L, 4L));
    EXPECT_EQ(result.GetWidth(), 5u);
    EXPECT_EQ(zt::px(result, 4, 4), 0x12345678u);
}

TEST(BwDrawSetFb, UnknownEdgeOrShadowModesLeaveThatLayerOut)
{
    const CKrMonoBitmap mask = body_mask();
    CKrBwDraw draw;
    CBox whole, body, edge, shadow;
    CKrFrameBuffer result;
    // Without its edge the shadow is grown from the body and placed as if there were no edge.
    tagKRBWDRAWINFO r = record(2, 0, 3, 0);
    r.EdgeMode = 5;
    ASSERT_EQ(draw.SetFb(&result, &r, &mask, whole, body, edge, shadow), 0);
    EXPECT_EQ(edge, CBox(0L, 0L, 0L, 0L));
    EXPECT_EQ(shadow, CBox(3L, 3L, 16L, 4L));
    EXPECT_EQ(body, CBox(0L, 0L, 16L, 4L));
    r = record(2, 0, 3, 0);
    r.ShadMode = -1;
    ASSERT_EQ(draw.SetFb(&result, &r, &mask, whole, body, edge, shadow), 0);
    EXPECT_EQ(shadow, CBox(0L, 0L, 0L, 0L));
    EXPECT_EQ(whole, CBox(98L, 48L, 20L, 8L));
    // A negative edge size is no edge, and does not move the shadow.
    r = record(-4, 0, 3, 0);
    ASSERT_EQ(draw.SetFb(&result, &r, &mask, whole, body, edge, shadow), 0);
    EXPECT_EQ(edge, CBox(0L, 0L, 0L, 0L));
    EXPECT_EQ(shadow, CBox(3L, 3L, 16L, 4L));
}

TEST(BwDrawSetFb, DamagedSizesStayWithinTheCap)
{
    const CKrMonoBitmap mask = body_mask();
    CKrBwDraw draw;
    CBox whole, body, edge, shadow;
    CKrFrameBuffer result;
    // Edge 255 at (-255, -255); an extrusion 255 up and left of it, 255 larger than the edge.
    tagKRBWDRAWINFO r = record(INT_MAX, 1, INT_MIN, INT_MAX);
    ASSERT_EQ(draw.SetFb(&result, &r, &mask, whole, body, edge, shadow), 0);
    EXPECT_EQ(edge, CBox(255L, 255L, 16L + 510L, 4L + 510L));
    EXPECT_EQ(shadow, CBox(0L, 0L, 16L + 510L + 255L, 4L + 510L + 255L));
    EXPECT_EQ(body, CBox(510L, 510L, 16L, 4L));
    EXPECT_EQ(whole, CBox(100L - 510L, 50L - 510L, 781L, 769L));
    r = record(3, 1, INT_MAX, 0);
    ASSERT_EQ(draw.SetFb(&result, &r, &mask, whole, body, edge, shadow), 0);
    EXPECT_EQ(shadow, CBox(0L, 0L, 16L + 6L + 255L, 4L + 6L + 255L));
}

TEST(BwDrawDispFb, BoxIsTheUnionOfWhatWasWrittenAndNothingElseChanges)
{
    const CKrMonoBitmap mask = body_mask();
    std::mt19937 rng(zt::test_seed());
    struct Case { long px, py; CBox expect; };
    const Case cases[] = {
        {10, 10, {8L, 8L, 23L, 11L}},   // all inside: edge (8, 8, 20, 8), shadow (11, 11, 20, 8)
        {40, 10, {38L, 8L, 12L, 11L}},  // body and its decorations cut at the right edge
        {-12, -3, {0L, 0L, 9L, 6L}},    // cut at the top-left
    };
    for (const Case& c : cases) {
        CKrFrameBuffer target = zt::random_buffer(50, 40, rng, 1);
        const CKrFrameBuffer before(target);
        tagKRBWDRAWINFO r = record(2, 0, 3, 0);
        r.Pos = {static_cast<std::int32_t>(c.px), static_cast<std::int32_t>(c.py)};
        CBox box(-1L, -1L, -1L, -1L);
        CKrBwDraw draw;
        ASSERT_EQ(draw.DispFb(&target, &r, &mask, &box), 0);
        EXPECT_EQ(box, c.expect) << c.px;
        long changed_outside = 0;
        for (long y = 0; y < 40; ++y)
            for (long x = 0; x < 50; ++x)
                if ((x < box.x || y < box.y || x >= box.x + box.width || y >= box.y + box.height) &&
                    zt::px(target, x, y) != zt::px(before, x, y))
                    ++changed_outside;
        EXPECT_EQ(changed_outside, 0) << c.px;

        // Where the opaque edge lies under the body, the target shows what SetFb draws alone.
        CKrFrameBuffer alone;
        CBox whole, body, edge, shadow;
        ASSERT_EQ(draw.SetFb(&alone, &r, &mask, whole, body, edge, shadow), 0);
        if (c.px == 10) {
            for (long y = 0; y < body.height; ++y)
                for (long x = 0; x < body.width; ++x)
                    EXPECT_EQ(zt::px(target, c.px + x, c.py + y), zt::px(alone, body.x + x, body.y + y));
        }
    }
}

TEST(BwDrawDispFb, LayersWhollyOutsideLeaveTheirMarkOnTheBox)
{
    // The scratch area keeps its last value when a copy writes nothing, so a shadow outside
    // the target adds the origin to the box, as the drawing code has always reported.
    const CKrMonoBitmap mask = body_mask();
    CKrFrameBuffer target(60, 40, 1);
    tagKRBWDRAWINFO r = record(0, 0, -40, 0);
    r.Pos = {30, 20};
    CBox box;
    CKrBwDraw draw;
    ASSERT_EQ(draw.DispFb(&target, &r, &mask, &box), 0);
    EXPECT_EQ(box, CBox(0L, 0L, 46L, 24L));
    r.Pos = {100, 100};
    ASSERT_EQ(draw.DispFb(&target, &r, &mask, &box), 0);
    EXPECT_EQ(box, CBox(0L, 0L, 0L, 0L));
}

TEST(BwDrawDispFb, DefaultRecordDrawsATransparentBodyAndBadRecordsNothing)
{
    const CKrMonoBitmap mask = body_mask();
    std::mt19937 rng(zt::test_seed());
    CKrFrameBuffer target = zt::random_buffer(40, 30, rng, 1);
    const CKrFrameBuffer before(target);
    CBwDrawInfo info;
    info.SetAntiScale(4);
    info.GetInfo()->Pos = {5, 6};
    CBox box;
    CKrBwDraw draw;
    ASSERT_EQ(draw.DispFb(&target, info.GetInfo(), &mask, &box), 0);
    EXPECT_EQ(box, CBox(5L, 6L, 16L, 4L));
    EXPECT_EQ(zt::diff_pixels(target, before), 0);

    info.GetInfo()->AntiScale = 2;
    box = CBox(1L, 1L, 1L, 1L);
    EXPECT_EQ(draw.DispFb(&target, info.GetInfo(), &mask, &box), -1);
    EXPECT_EQ(box, CBox(1L, 1L, 1L, 1L));
    EXPECT_EQ(draw.DispFb(nullptr, info.GetInfo(), &mask, &box), -1);
}

TEST(BwDrawDispFb, KnockOutReplacesWhereCompositeBlends)
{
    const CKrMonoBitmap mask = body_mask();
    for (int soft_pen : {0, 1}) {
        CKrFrameBuffer target(30, 20, 1);
        target.ClearCol(0xFF0000FF);
        tagKRBWDRAWINFO r = record(0, 0, 0, 0);
        r.BodyCol = 0x80FF0000;
        r.ShadType.SoftPen = soft_pen;
        r.Pos = {2, 2};
        CKrBwDraw draw;
        ASSERT_EQ(draw.DispFb(&target, &r, &mask, nullptr), 0);
        // Inside the block the mask is full; the last column is half covered (2 of 4 bits).
        const DWORD inside = zt::px(target, 5, 3), half = zt::px(target, 2 + 15, 3);
        if (soft_pen) {
            EXPECT_EQ(inside, 0x80FF0000u);
            EXPECT_EQ(half, zref::mask_blend(0x40FF0000, 0xFF0000FF, 128));
        } else {
            EXPECT_EQ(inside, zref::composite(0x80FF0000, 0xFF0000FF));
            EXPECT_EQ(inside >> 24, 255u);
            EXPECT_EQ(half, zref::composite(0x40FF0000, 0xFF0000FF));
        }
        EXPECT_EQ(zt::px(target, 0, 0), 0xFF0000FFu);
    }
}

TEST(BwDrawImage, EdgesAroundPicturesAndTheOriginalSizeVariant)
{
    // A 10 × 6 picture: an opaque red 6 × 2 bar in the middle, transparent elsewhere.
    CKrFrameBuffer pic(10, 6, 1);
    for (long y = 2; y < 4; ++y)
        for (long x = 2; x < 8; ++x) zt::set_px(pic, x, y, 0xFFFF0000);
    tagKRBWDRAWINFO r = record(2, 0, 1, 0);
    r.BodyMode = 9;  // the picture is the body: its fill is not used
    r.Pos = {0, 0};
    CKrBwDraw draw;
    CKrFrameBuffer result;
    CBox whole, body, edge, shadow;
    ASSERT_EQ(draw.SetImgEdgeShadow(&result, &r, &pic, whole, body, edge, shadow), 0);
    EXPECT_EQ(body, CBox(2L, 2L, 10L, 6L));
    EXPECT_EQ(edge, CBox(0L, 0L, 14L, 10L));
    EXPECT_EQ(shadow, CBox(1L, 1L, 14L, 10L));
    EXPECT_EQ(whole, CBox(-2L, -2L, 15L, 11L));
    EXPECT_EQ(zt::px(result, 2 + 4, 2 + 2), 0xFFFF0000u);  // body
    EXPECT_EQ(zt::px(result, 2 + 4, 2 + 0), 0xFF0000FFu);  // edge two rows above the bar
    EXPECT_EQ(zt::px(result, 2 + 4, 2 - 1), 0u);           // beyond the edge

    CKrFrameBuffer full;
    ASSERT_EQ(draw.SetFullImgEdgeShadow(&full, &r, &pic, whole, body, edge, shadow), 0);
    ASSERT_EQ(full.GetWidth(), 10u);
    ASSERT_EQ(full.GetHeight(), 6u);
    for (long y = 0; y < 6; ++y)
        for (long x = 0; x < 10; ++x) EXPECT_EQ(zt::px(full, x, y), zt::px(result, x + 2, y + 2)) << x << "," << y;

    // The frame buffer's own entry points, the result replacing the picture itself.
    CKrFrameBuffer same(pic), org(pic);
    CBox w2, b2, e2, s2;
    ASSERT_EQ(same.SetEdge(&same, &r, w2, b2, e2, s2), 0);
    EXPECT_EQ(zt::diff_pixels(same, result), 0);
    EXPECT_EQ(w2, whole);
    ASSERT_EQ(org.SetEdgeOrgSize(&org, &r), 0);
    EXPECT_EQ(zt::diff_pixels(org, full), 0);
    EXPECT_EQ(pic.SetEdge(nullptr, &r, w2, b2, e2, s2), -1);
    EXPECT_EQ(pic.SetEdgeOrgSize(nullptr, &r), -1);
    CKrFrameBuffer empty;
    EXPECT_EQ(empty.SetEdgeOrgSize(&org, &r), -1);
}

TEST(BwDrawBrush, RoundBrushSlopesAndDegenerateCores)
{
    CKrBwDraw draw;
    unsigned char b[25];
    ASSERT_EQ(draw.FilterBlush(b, 5, 1), 0);
    // Peak 255 at the centre, slope 255/2 a pixel: 128 beside it, 0 two pixels out.
    EXPECT_EQ(b[12], 255);
    EXPECT_EQ(b[13], 128);
    EXPECT_EQ(b[14], 0);
    EXPECT_EQ(b[18], 255 - static_cast<int>(std::sqrt(2.0) * 127.5));
    // A core as wide as the brush leaves no slope to divide by.
    unsigned char c[16];
    ASSERT_EQ(draw.FilterBlush(c, 4, 6), 0);
    for (unsigned char v : c) EXPECT_EQ(v, 255);
    EXPECT_EQ(draw.FilterBlush(nullptr, 4, 1), -1);
    EXPECT_EQ(draw.FilterBlush(c, 0, 1), -1);
}
