// MtxColor: the fixed values, the formulas, and the exchanged components on the way back.
#include <gtest/gtest.h>

#include <cstdlib>

#include "framebuffer/mtx_color.h"

TEST(MtxColor, FixedValuesAndListedColours)
{
    MtxColor m;
    EXPECT_EQ(m.m_dwLastYuv, 0xFF108080u);
    EXPECT_EQ(m.ARGBtoYUV(0xFF000000), 0xFF008080u);
    EXPECT_EQ(m.ARGBtoYUV(0x80FFFFFF), 0x80EB8080u);
    EXPECT_EQ(m.RGBtoYUV(0x000000FF), 0x525AF0u);  // pure red: Y 82, Cb 90, Cr 240
    EXPECT_EQ(m.YUVtoRGB(0x525AF0), 0xFF3F0Fu);     // red 15, green 63, blue 255
    EXPECT_EQ(m.YUVtoRGB(0x008080), 0u);
    EXPECT_EQ(m.YUVtoRGB(0xEB8080), 0xFFFFFFu);
    EXPECT_EQ(m.YUVtoARGB(0xFFEB8080), 0xFFFEFEFEu);  // not the fixed value: computed
    EXPECT_EQ(m.RGBtoYUV(0x00FFFFFF), 0xEB8080u);
    EXPECT_EQ(m.RGBtoYUV(0x01000000), 0x01108080u);  // black with a top byte is computed

    EXPECT_EQ(m.RGBtoYUV(0), 0x008080u);
    EXPECT_EQ(m.m_dwLastYuv, 0x8080u);
    MtxColor copy(m);
    EXPECT_EQ(copy.m_dwLastYuv, 0x8080u);
}

TEST(MtxColor, RangesHoldForEveryGreyAndPrimaryMix)
{
    MtxColor m;
    for (DWORD r = 0; r < 256; r += 15) {
        for (DWORD g = 0; g < 256; g += 15) {
            for (DWORD b = 0; b < 256; b += 15) {
                const DWORD argb = 0x7F000000u | r << 16 | g << 8 | b;
                const DWORD yuv = m.ARGBtoYUV(argb);
                EXPECT_EQ(yuv >> 24, 0x7Fu);
                if ((argb & 0xFFFFFF) == 0 || (argb & 0xFFFFFF) == 0xFFFFFF) continue;
                const DWORD y = (yuv >> 16) & 0xFF, cb = (yuv >> 8) & 0xFF, cr = yuv & 0xFF;
                EXPECT_GE(y, 16u);
                EXPECT_LE(y, 235u);
                EXPECT_GE(cb, 16u);
                EXPECT_LE(cb, 240u);
                EXPECT_GE(cr, 16u);
                EXPECT_LE(cr, 240u);
            }
        }
    }
}

TEST(MtxColor, TheWayBackExchangesCbAndCr)
{
    MtxColor m;
    // A grey survives; a colour comes back as the colour whose Cb and Cr are swapped.
    const DWORD grey = m.YUVtoARGB(m.ARGBtoYUV(0xFF808080));
    EXPECT_NEAR(static_cast<int>(grey & 0xFF), 0x80, 1);
    EXPECT_EQ(grey & 0xFF, (grey >> 8) & 0xFF);
    // Straight back without the exchange, a colour is visibly wrong.
    const DWORD wrong = m.YUVtoARGB(m.ARGBtoYUV(0xFF2040C0));
    EXPECT_GT(std::abs(static_cast<int>(wrong & 0xFF) - 0xC0), 40);
    const DWORD yuv = m.ARGBtoYUV(0xFF2040C0);
    const DWORD swapped = (yuv & 0xFFFF0000u) | (yuv & 0xFF) << 8 | ((yuv >> 8) & 0xFF);
    const DWORD back = m.YUVtoARGB(swapped);
    // Within the rounding of the two integer matrices.
    EXPECT_NEAR(static_cast<int>((back >> 16) & 0xFF), 0x20, 3);
    EXPECT_NEAR(static_cast<int>((back >> 8) & 0xFF), 0x40, 3);
    EXPECT_NEAR(static_cast<int>(back & 0xFF), 0xC0, 3);
    EXPECT_EQ(back >> 24, 0xFFu);
}
