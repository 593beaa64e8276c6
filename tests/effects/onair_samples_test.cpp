// The committed on-air sample pictures (samples/clock and samples/anime, drawn by
// tools/make_samples): found under the names the clock display and the animation controller
// build, loadable, and sized the way those two need them, so that a broken regeneration is
// caught here rather than on air.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>

#include "effects/anime_core.h"
#include "effects/timer_core.h"
#include "imagefile/targa_image.h"
#include "support/test_support.h"

namespace {

using namespace zk::fx;

bool load(const std::string& path, CKrFrameBuffer& fb)
{
    CKrTargaImage tga;
    CString name(path);
    return tga.LoadImage(&name, &fb) == 0 && tga.GetKeyFlag() == 1;
}

long keyed_pixels(const CKrFrameBuffer& fb)
{
    long n = 0;
    for (unsigned long i = 0; i < fb.GetWidth() * fb.GetHeight(); ++i) n += (fb.GetBufferDWord()[i] >> 24) != 0;
    return n;
}

TEST(OnAirSamples, ClockDigitSetHasTheSizesTheFaceIsBuiltFrom)
{
    std::array<CKrFrameBuffer, kClockImages> img;
    for (int k = 0; k < kClockImages; ++k) {
        const std::string path = clock_image_path(ZORVIK_SAMPLES "/clock/clk.tga", k);
        ASSERT_TRUE(load(path, img[k])) << path;
    }
    // The face takes every image at the height of image 0, digits at the width of image 0 and
    // colons at the width of image 10: blanks must match what they stand in for.
    const unsigned long digit_w = img[0].GetWidth(), colon_w = img[kImageColon].GetWidth();
    const unsigned long height = img[0].GetHeight();
    EXPECT_LT(colon_w, digit_w);
    for (int k = 0; k < kClockImages; ++k) {
        const bool colon = k == kImageColon || k == kImageBlankColon;
        EXPECT_EQ(img[k].GetWidth(), colon ? colon_w : digit_w) << "image " << k;
        EXPECT_EQ(img[k].GetHeight(), height) << "image " << k;
        if (k >= kImageBlankDigit)
            EXPECT_EQ(keyed_pixels(img[k]), 0) << "blank " << k << " must be transparent";
        else
            EXPECT_GT(keyed_pixels(img[k]), 0) << "image " << k << " is empty";
    }
    for (int a = 0; a < 10; ++a)
        for (int b = a + 1; b < 10; ++b) EXPECT_GT(zt::diff_pixels(img[a], img[b]), 0) << a << " and " << b;

    // The widest face still fits the output.
    EXPECT_LE(clock_face_width(1, static_cast<long>(digit_w), static_cast<long>(colon_w)), 720);
    EXPECT_LE(height, 486u);
}

TEST(OnAirSamples, AnimationFramesMatchTheirStrip)
{
    constexpr long kFrames = 24;
    std::array<CKrFrameBuffer, kFrames> frame;
    for (long k = 0; k < kFrames; ++k) {
        const std::optional<std::string> name = format_frame_name(ZORVIK_SAMPLES "/anime/spin%03d.tga", k);
        ASSERT_TRUE(name.has_value());
        ASSERT_TRUE(load(*name, frame[k])) << *name;
    }
    const auto w = static_cast<long>(frame[0].GetWidth()), h = static_cast<long>(frame[0].GetHeight());
    EXPECT_TRUE(check_anime_set1(0, kFrames, static_cast<int>(w), static_cast<int>(h)).IsEmpty());

    CKrFrameBuffer strip;
    ASSERT_TRUE(load(ZORVIK_SAMPLES "/anime/spin_strip.tga", strip));
    ASSERT_EQ(strip.GetWidth(), frame[0].GetWidth());
    ASSERT_EQ(strip.GetHeight(), frame[0].GetHeight() * kFrames);

    for (long k = 0; k < kFrames; ++k) {
        ASSERT_EQ(frame[k].GetWidth(), frame[0].GetWidth()) << "frame " << k;
        ASSERT_EQ(frame[k].GetHeight(), frame[0].GetHeight()) << "frame " << k;
        CKrFrameBuffer band(w, h, 1);
        band.FbCopy(&strip, 0, k * h, w, h, 0, 0, 0, nullptr);
        std::string where;
        EXPECT_EQ(zt::diff_pixels(band, frame[k], &where), 0) << "frame " << k << " of the strip " << where;
        // Every frame moves on from the one before, the last one into the first.
        EXPECT_GT(zt::diff_pixels(frame[k], frame[(k + 1) % kFrames]), 0) << "frame " << k;
    }
}

} // namespace
