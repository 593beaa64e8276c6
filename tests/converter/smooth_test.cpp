// The smoothing pass: hand-computed sums at a corner, an edge and the centre, the fast
// interior against the plain definition, and the document's SmoothFilter around it.
#include <gtest/gtest.h>

#include "converter_test_support.h"
#include "core/smooth_filter.h"
#include "core/velmora_doc.h"

namespace {

TEST(SmoothFilter, WeightsAreThoseInsideThePicture)
{
    // Blue 10..90 row by row; green its mirror; red 255 only at the bottom-right; key 255.
    CKrFrameBuffer src(3, 3, 1);
    for (long y = 0; y < 3; ++y) {
        for (long x = 0; x < 3; ++x) {
            const DWORD blue = static_cast<DWORD>(10 * (y * 3 + x + 1));
            const DWORD red = (x == 2 && y == 2) ? 255 : 0;
            zt::set_px(src, x, y, blue | (255 - blue) << 8 | red << 16 | 0xFFu << 24);
        }
    }
    CKrFrameBuffer dst;
    ASSERT_EQ(CVelmoraDoc::SmoothFilter(&src, &dst), 0);
    ASSERT_EQ(dst.GetWidth(), 3u);
    ASSERT_EQ(dst.GetHeight(), 3u);
    auto byte = [&](long x, long y, int b) { return (zt::px(dst, x, y) >> (8 * b)) & 0xFF; };
    // Corner (0,0): (20·10 + 2·20 + 2·40 + 1·50) / 25 = 370 / 25.
    EXPECT_EQ(byte(0, 0, 0), 14u);
    // Edge (1,0): (2·10 + 20·20 + 2·30 + 1·40 + 2·50 + 1·60) / 28 = 680 / 28.
    EXPECT_EQ(byte(1, 0, 0), 24u);
    // Centre: (10 + 30 + 70 + 90 + 2·(20 + 40 + 60 + 80) + 20·50) / 32 = 1600 / 32.
    EXPECT_EQ(byte(1, 1, 0), 50u);
    // Green of the corner: (20·245 + 2·235 + 2·215 + 205) / 25 = 6005 / 25.
    EXPECT_EQ(byte(0, 0, 1), 240u);
    // A lone bright red pixel: 255 / 32 at the centre, 255·20 / 25 in its own corner,
    // 255·2 / 28 beside it on the edge, nothing in the far corner.
    EXPECT_EQ(byte(1, 1, 2), 7u);
    EXPECT_EQ(byte(2, 2, 2), 204u);
    EXPECT_EQ(byte(2, 1, 2), 18u);
    EXPECT_EQ(byte(0, 0, 2), 0u);
    for (long y = 0; y < 3; ++y) {
        for (long x = 0; x < 3; ++x) EXPECT_EQ(byte(x, y, 3), 255u) << x << "," << y;
    }
}

TEST(SmoothFilter, FastInteriorMatchesTheDefinitionForEverySize)
{
    const std::uint32_t seed = zt::test_seed();
    std::mt19937 rng(seed);
    SCOPED_TRACE("seed " + std::to_string(seed));
    for (long h = 1; h <= 12; ++h) {
        for (long w = 1; w <= 40; ++w) {
            const CKrFrameBuffer src = zt::random_buffer(w, h, rng);
            // Guard words after the output catch a write past its end.
            std::vector<DWORD> out(static_cast<size_t>(w * h) + 8, 0xDEADBEEF);
            vm::smooth_pixels(src.GetBufferDWord(), out.data(), w, h);
            for (long y = 0; y < h; ++y) {
                for (long x = 0; x < w; ++x) {
                    ASSERT_EQ(out[static_cast<size_t>(y * w + x)],
                              vm::smooth_one_pixel(src.GetBufferDWord(), w, h, x, y))
                        << w << "x" << h << " at " << x << "," << y;
                }
            }
            for (size_t i = static_cast<size_t>(w * h); i < out.size(); ++i) ASSERT_EQ(out[i], 0xDEADBEEFu);
        }
    }
}

TEST(SmoothFilter, FlatPicturesStayFlatAndSinglePixelsStay)
{
    CKrFrameBuffer flat(7, 5, 1);
    flat.ClearCol(0x80FF4001u);
    CKrFrameBuffer out;
    ASSERT_EQ(CVelmoraDoc::SmoothFilter(&flat, &out), 0);
    EXPECT_EQ(zt::diff_pixels(flat, out), 0);

    CKrFrameBuffer one(1, 1, 1);
    zt::set_px(one, 0, 0, 0x12345678u);
    ASSERT_EQ(CVelmoraDoc::SmoothFilter(&one, &out), 0);
    EXPECT_EQ(zt::px(out, 0, 0), 0x12345678u);
}

TEST(SmoothFilter, RemakesAWrongSizedTargetAndLeavesTheSourceAlone)
{
    std::mt19937 rng(zt::test_seed());
    const CKrFrameBuffer original = zt::random_buffer(9, 4, rng);
    CKrFrameBuffer src = original;
    CKrFrameBuffer dst(2, 2, 1);
    ASSERT_EQ(CVelmoraDoc::SmoothFilter(&src, &dst), 0);
    EXPECT_EQ(dst.GetWidth(), 9u);
    EXPECT_EQ(dst.GetHeight(), 4u);
    EXPECT_EQ(zt::diff_pixels(src, original), 0);

    CKrFrameBuffer empty;
    EXPECT_EQ(CVelmoraDoc::SmoothFilter(&empty, &dst), -1);
    EXPECT_EQ(CVelmoraDoc::SmoothFilter(nullptr, &dst), -1);

    // Smoothing a picture into itself works from an untouched copy.
    CKrFrameBuffer expected;
    CVelmoraDoc::SmoothFilter(&src, &expected);
    ASSERT_EQ(CVelmoraDoc::SmoothFilter(&src, &src), 0);
    EXPECT_EQ(zt::diff_pixels(src, expected), 0);
}

} // namespace
