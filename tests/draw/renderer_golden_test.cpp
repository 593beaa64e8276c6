// Rendered caption elements against committed reference pictures
// (tests/data/goldens/renderer/*.pam).
//
// Each element is drawn by the library (SetFb) and by the plain renderer of the tests; the two
// must agree exactly, and the library's picture must equal the committed one, so a later
// optimisation can neither drift from the definition nor change what was approved. With
// ZORVIK_UPDATE_GOLDENS=1 the pictures are written back to the source tree instead (look at
// them, `convert x.pam x.png`, before committing).
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "draw/kr_bw_draw.h"
#include "imagefile/img_file.h"
#include "support/golden.h"
#include "support/renderer_reference.h"
#include "support/test_support.h"

namespace {

constexpr int kScale = 4;

// A caption-like mask at scale 4: a ring, a slanted stroke and a bar, 64 × 24 output pixels.
CKrMonoBitmap caption_mask()
{
    CKrMonoBitmap m;
    m.Create(256, 96);
    for (long y = 0; y < 96; ++y)
        for (long x = 0; x < 256; ++x) {
            const double d = std::hypot(x - 46.5, y - 47.5);
            const bool ring = d >= 28 && d <= 40;
            // Stroke from (96, 8) to (136, 88), 12 mask pixels wide horizontally.
            const double along = (static_cast<double>(y) - 8.0) / 80.0;
            const bool stroke = along >= 0 && along <= 1 && std::fabs(static_cast<double>(x) - (96 + 40 * along)) <= 6;
            const bool bar = x >= 160 && x < 246 && y >= 38 && y < 57;
            if (ring || stroke || bar) m.SetPixel(x, y, true);
        }
    return m;
}

struct Golden {
    const char* name;
    std::function<void(tagKRBWDRAWINFO&)> setup;
};

tagKRBWDRAWINFO base_record()
{
    tagKRBWDRAWINFO r{};
    r.AntiScale = kScale;
    r.Pos = {40, 30};
    r.BodyCol = 0xFFFFFFFF;
    r.EdgeCol = 0xFF102060;
    r.ShadCol = 0x90000000;
    return r;
}

const Golden kGoldens[] = {
    {"hard_edge", [](tagKRBWDRAWINFO& r) { r.EdgeType = {0, 3, 0}; }},
    {"soft_edge", [](tagKRBWDRAWINFO& r) {
         r.BodyCol = 0xFFFFE040;
         r.EdgeCol = 0xFFE02010;
         r.EdgeType = {1, 5, 0};
     }},
    {"soft_shadow", [](tagKRBWDRAWINFO& r) {
         r.EdgeType = {0, 2, 0};
         r.ShadType = {2, 4, 4, 0};
     }},
    {"gradient_body", [](tagKRBWDRAWINFO& r) {
         r.BodyMode = 1;
         r.BodyGrad = {0, 6, 20, 6, 0xFF2040FF, 0xFFFFFFA0};
         r.EdgeType = {0, 2, 0};
         r.ShadType = {0, 3, 0, 0};
     }},
    {"textured_edge", [](tagKRBWDRAWINFO& r) {
         static const std::string texture = zt::data_path("draw/texture_stripes.tga");
         r.EdgeType = {0, 4, 0};
         r.EdgeMode = 2;
         r.EdgeText = {1, texture.c_str()};
         r.ShadType = {0, 2, 0, 0};
     }},
    {"extruded_knockout", [](tagKRBWDRAWINFO& r) {
         r.BodyCol = 0xC0FFFFFF;
         r.EdgeType = {1, 2, 0};
         r.EdgeMode = 1;
         r.EdgeGrad = {0, 1, -1, -1, 0xFF00A0FF, 0xFF002040};
         r.ShadType = {1, -5, 0, 1};
     }},
};

class RendererGolden : public ::testing::TestWithParam<Golden> {};

} // namespace

TEST_P(RendererGolden, LibraryMatchesThePlainRendererAndTheApprovedPicture)
{
    const Golden& g = GetParam();
    const CKrMonoBitmap mask = caption_mask();
    tagKRBWDRAWINFO r = base_record();
    g.setup(r);

    // Every textured part uses the one texture picture; loading it is not under test here.
    CImgFile texture;
    const bool textured = r.BodyMode == 2 || r.EdgeMode == 2 || r.ShadMode == 2;
    if (textured) {
        ASSERT_EQ(texture.LoadImage(CString(zt::data_path("draw/texture_stripes.tga").c_str())), 0);
    }
    CBox boxes[4];
    const CKrFrameBuffer plain = zref::set_fb(r, mask, boxes, textured ? texture.GetImg() : nullptr);
    CKrFrameBuffer drawn;
    CBox whole, body, edge, shadow;
    CKrBwDraw draw;
    ASSERT_EQ(draw.SetFb(&drawn, &r, &mask, whole, body, edge, shadow), 0);
    EXPECT_EQ(whole, boxes[0]);
    EXPECT_EQ(body, boxes[1]);
    EXPECT_EQ(edge, boxes[2]);
    EXPECT_EQ(shadow, boxes[3]);
    std::string where;
    EXPECT_EQ(zt::diff_pixels(drawn, plain, &where), 0) << where;

    EXPECT_GOLDEN(zt::check_picture(zt::golden_path("renderer", g.name), drawn));
}

INSTANTIATE_TEST_SUITE_P(Elements, RendererGolden, ::testing::ValuesIn(kGoldens),
                         [](const ::testing::TestParamInfo<Golden>& info) { return std::string(info.param.name); });
