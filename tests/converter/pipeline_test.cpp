// What every writer does before saving: background by format and key mode, key composite,
// aspect sizes, the cut from 1920-pixel-wide sources, and smoothing passes.
#include <gtest/gtest.h>

#include "converter_test_support.h"
#include "core/convert_pipeline.h"
#include "core/smooth_filter.h"
#include "core/velmora_doc.h"
#include "app/zorvik_app.h"
#include "framebuffer/kernels/composite.h"

namespace {

// The library's own resampler, so a 1:1 resize is an exact copy whatever module is around.
class Pipeline : public ::testing::Test {
protected:
    void SetUp() override { AfxGetZorvikApp()->UnloadResizeModule(); }
};

constexpr DWORD kRed = 0xFFFF0000u;
constexpr DWORD kGreen = 0xFF00FF00u;

// A w × h picture: opaque red between columns left and right (exclusive), green outside.
CKrFrameBuffer bars(long w, long h, long left, long right)
{
    CKrFrameBuffer fb(w, h, 1);
    for (long y = 0; y < h; ++y) {
        for (long x = 0; x < w; ++x) zt::set_px(fb, x, y, (x >= left && x < right) ? kRed : kGreen);
    }
    return fb;
}

long count_colour(const CKrFrameBuffer& fb, DWORD colour)
{
    long n = 0;
    const DWORD* p = fb.GetBufferDWord();
    for (size_t i = 0; i < static_cast<size_t>(fb.GetWidth()) * fb.GetHeight(); ++i) n += p[i] == colour;
    return n;
}

struct SizeCase {
    long w, h;
    int aspect;
    long tw, th;
};

class AspectSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(AspectSize, OnlyTheWidthChangesExceptForCustom)
{
    const SizeCase c = GetParam();
    vm::tagCONVSETTING s;
    s.nWidth = 720;
    s.nHeight = 486;
    EXPECT_EQ(vm::target_size(c.w, c.h, c.aspect, s), CSize(c.tw, c.th));
}

INSTANTIATE_TEST_SUITE_P(Values, AspectSize,
                         ::testing::Values(SizeCase{640, 480, vm::kAspectWiden, 720, 480},
                                           SizeCase{720, 486, vm::kAspectNarrow, 640, 486},
                                           SizeCase{721, 10, vm::kAspectWiden, 811, 10},   // 811.125
                                           SizeCase{721, 10, vm::kAspectNarrow, 640, 10},  // 640.88…
                                           SizeCase{1, 1, vm::kAspectNarrow, 0, 1},
                                           SizeCase{1920, 1080, vm::kAspectOff, 1920, 1080},
                                           SizeCase{1920, 1080, vm::kAspectCustom, 720, 486},
                                           SizeCase{33, 44, 9, 33, 44}));

TEST(ConvertPipeline, BackgroundFollowsFormatAndKeyMode)
{
    struct Case {
        int format, key;
        DWORD colour;
    };
    const Case cases[] = {
        {vm::kFormatTgaRle, 0, 0x00000000u}, {vm::kFormatTgaRle, 1, 0xFF000000u}, {vm::kFormatTgaRle, 2, 0},
        {vm::kFormatTgaRaw, 0, 0x00000000u}, {vm::kFormatTgaRaw, 1, 0xFF000000u}, {vm::kFormatPict, 0, 0},
        {vm::kFormatPict, 1, 0xFF000000u},   {vm::kFormatJpeg, 0, 0xFF000000u},   {vm::kFormatJpeg, 1, 0xFF000000u},
        {vm::kFormatBmp, 0, 0xFF000000u},    {vm::kFormatBmp, 1, 0xFF000000u},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(vm::background_colour(c.format, c.key), c.colour) << c.format << "/" << c.key;
    }
}

TEST_F(Pipeline, KeyedSourceIsCompositedOntoTheBackground)
{
    // Transparent, half and opaque pixels side by side.
    CKrFrameBuffer src(4, 2, 1);
    const DWORD pixels[4] = {0x00FFFFFFu, 0x80FF8040u, 0xFF102030u, 0x40000000u};
    for (long y = 0; y < 2; ++y) {
        for (long x = 0; x < 4; ++x) zt::set_px(src, x, y, pixels[x]);
    }
    const CKrFrameBuffer original = src;
    for (int format : {vm::kFormatTgaRle, vm::kFormatTgaRaw, vm::kFormatPict, vm::kFormatJpeg, vm::kFormatBmp}) {
        for (int key : {0, 1}) {
            vm::tagCONVSETTING s;
            s.nKey = key;
            CKrFrameBuffer out;
            ASSERT_EQ(vm::render_output(src, 4, 2, vm::kAspectOff, format, s, out), 0);
            const DWORD bg = vm::background_colour(format, key);
            for (long x = 0; x < 4; ++x) {
                EXPECT_EQ(zt::px(out, x, 1), zk::key_composite(pixels[x], bg))
                    << "format " << format << " key " << key << " x " << x;
            }
            // Outputs on opaque black have no transparency left anywhere.
            if (bg == 0xFF000000u) {
                for (long x = 0; x < 4; ++x) EXPECT_EQ(zt::px(out, x, 0) >> 24, 0xFFu);
            }
        }
    }
    EXPECT_EQ(zt::diff_pixels(src, original), 0);
}

TEST_F(Pipeline, CutTakesTheCentreOf1920WideSources)
{
    const CKrFrameBuffer src = bars(1920, 1080, 240, 1680);
    vm::tagCONVSETTING s{720, 486, 240, 0, 1440, 1080, 0, 0};
    CKrFrameBuffer out;
    CKrFrameBuffer in = src;
    ASSERT_EQ(vm::render_output(in, 1920, 1080, vm::kAspectCustom, vm::kFormatTgaRle, s, out), 0);
    ASSERT_EQ(out.GetWidth(), 720u);
    ASSERT_EQ(out.GetHeight(), 486u);
    EXPECT_EQ(count_colour(out, kRed), 720 * 486);

    // A cut given in one direction reaches to the edge in the other.
    for (const vm::tagCONVSETTING& one_way : {vm::tagCONVSETTING{720, 486, 240, 0, 1440, 0, 0, 0},
                                              vm::tagCONVSETTING{720, 486, 240, 0, 0, 1080, 0, 0}}) {
        CKrFrameBuffer partial;
        ASSERT_EQ(vm::render_output(in, 1920, 1080, vm::kAspectCustom, vm::kFormatTgaRle, one_way, partial), 0);
        ASSERT_EQ(partial.GetWidth(), 720u);
        if (one_way.nCutW != 0) {
            EXPECT_EQ(zt::diff_pixels(partial, out), 0);
        } else {
            // From x 240 to the right edge: red, then the green bar on the right.
            EXPECT_EQ(zt::px(partial, 0, 0), kRed);
            EXPECT_EQ(zt::px(partial, 719, 485), kGreen);
        }
    }
}

TEST_F(Pipeline, CutIsIgnoredForOtherWidthsAndOtherChoices)
{
    vm::tagCONVSETTING s{720, 486, 240, 0, 1440, 1080, 0, 0};
    CKrFrameBuffer narrow = bars(1919, 1080, 240, 1680);
    CKrFrameBuffer out;
    ASSERT_EQ(vm::render_output(narrow, 1919, 1080, vm::kAspectCustom, vm::kFormatTgaRle, s, out), 0);
    ASSERT_EQ(out.GetWidth(), 720u);
    EXPECT_EQ(zt::px(out, 0, 0), kGreen);    // the whole width was resized
    EXPECT_EQ(zt::px(out, 719, 0), kGreen);
    EXPECT_EQ(zt::px(out, 360, 243), kRed);

    // "OFF" on a 1920-wide source with cut values left over keeps the whole picture.
    CKrFrameBuffer wide = bars(1920, 8, 240, 1680);
    ASSERT_EQ(vm::render_output(wide, 1920, 8, vm::kAspectOff, vm::kFormatTgaRle, s, out), 0);
    EXPECT_EQ(zt::diff_pixels(out, wide), 0);
    EXPECT_TRUE(vm::cut_area(1920, 1080, vm::kAspectCustom, vm::tagCONVSETTING{720, 486, 5, 5, 0, 0, 0, 0}).width == 0);
}

TEST_F(Pipeline, PassesSmoothTheResizedPictureOneAfterTheOther)
{
    std::mt19937 rng(zt::test_seed());
    SCOPED_TRACE("seed " + std::to_string(zt::test_seed()));
    CKrFrameBuffer src = zt::random_buffer(16, 9, rng, 1);
    for (int passes = 0; passes <= 3; ++passes) {
        vm::tagCONVSETTING s{16, 9, 0, 0, 0, 0, passes, 1};
        CKrFrameBuffer out;
        ASSERT_EQ(vm::render_output(src, 16, 9, vm::kAspectCustom, vm::kFormatTgaRle, s, out), 0);
        // Expected: composite on opaque black, then the passes.
        CKrFrameBuffer expected(16, 9, 1);
        expected.ClearCol(0xFF000000u);
        expected.FbCopy(&src, 0, 0, 16, 9, 0, 0, 1, nullptr);
        for (int p = 0; p < passes; ++p) {
            CKrFrameBuffer next;
            CVelmoraDoc::SmoothFilter(&expected, &next);
            expected = std::move(next);
        }
        std::string where;
        EXPECT_EQ(zt::diff_pixels(out, expected, &where), 0) << passes << " passes: " << where;
    }
}

TEST_F(Pipeline, OutputSizeThatIsNoPictureFailsWithoutAnOutput)
{
    CKrFrameBuffer src(8, 8, 1);
    CKrFrameBuffer out(3, 3, 1);
    for (const vm::tagCONVSETTING& s : {vm::tagCONVSETTING{0, 486, 0, 0, 0, 0, 0, 0},
                                        vm::tagCONVSETTING{720, 0, 0, 0, 0, 0, 0, 0},
                                        vm::tagCONVSETTING{-5, 10, 0, 0, 0, 0, 0, 0}}) {
        EXPECT_EQ(vm::render_output(src, 8, 8, vm::kAspectCustom, vm::kFormatTgaRle, s, out), -1);
        EXPECT_EQ(out.IsBuffer(), 1);
    }
    CKrFrameBuffer one(1, 1, 1);
    EXPECT_EQ(vm::render_output(one, 1, 1, vm::kAspectNarrow, vm::kFormatBmp, vm::tagCONVSETTING{}, out), -1);
}

TEST(CustomExtras, FixedAspectChoicesForgetPassesAndKeyModesOfBothPresets)
{
    CVelmoraDoc doc;
    doc.CurrentSettings = {720, 486, 240, 0, 1440, 1080, 2, 1};
    doc.Preset1 = {640, 480, 1, 2, 3, 4, 3, 1};
    doc.Preset2 = {720, 486, 240, 0, 1440, 1080, 1, 1};
    doc.ResetCustomExtras();
    EXPECT_EQ(doc.CurrentSettings, (vm::tagCONVSETTING{720, 486, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(doc.Preset1, (vm::tagCONVSETTING{640, 480, 1, 2, 3, 4, 0, 0}));
    EXPECT_EQ(doc.Preset2, (vm::tagCONVSETTING{720, 486, 240, 0, 1440, 1080, 0, 0}));
}

} // namespace
