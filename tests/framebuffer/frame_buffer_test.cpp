// CKrFrameBuffer: ownership and result codes, the copy clipping order, the key composite,
// fills and transforms.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "framebuffer/kr_frame_buffer.h"
#include "support/test_support.h"

using zt::px;
using zt::set_px;

TEST(FrameBuffer, LifeOfThePixelBlockAndItsCodes)
{
    CKrFrameBuffer fb;
    EXPECT_EQ(fb.IsBuffer(), 1);  // 1 means empty
    EXPECT_EQ(fb.GetWidth(), 0u);
    EXPECT_EQ(fb.GetInvert(), 1);
    EXPECT_EQ(fb.GetBitCount(), 32);
    EXPECT_EQ(fb.DeleteFrameBuffer(), 3);
    EXPECT_EQ(fb.CreateFrameBuffer(0, 5, 1), 4);
    EXPECT_EQ(fb.CreateFrameBuffer(5, -1, 1), 4);
    EXPECT_EQ(fb.CreateFrameBuffer(1 << 20, 1 << 20, 1), 2);  // beyond what the library allocates
    EXPECT_EQ(fb.IsBuffer(), 1);

    ASSERT_EQ(fb.CreateFrameBuffer(3, 2, 1), 0);
    EXPECT_EQ(fb.IsBuffer(), 0);
    EXPECT_EQ(fb.GetSize(), 24u);
    EXPECT_EQ(fb.GetLineByte(), 12u);
    EXPECT_EQ(fb.GetWH(), CSize(3, 2));
    EXPECT_EQ(static_cast<void*>(fb.GetBufferByte()), static_cast<void*>(fb.GetBufferDWord()));
    for (unsigned long i = 0; i < fb.GetSize(); ++i) EXPECT_EQ(fb.GetBufferByte()[i], 0);

    fb.ClearCol(0x11223344);
    EXPECT_EQ(fb.CreateFrameBuffer(8, 8, 1), 1);  // refused, old pixels kept
    EXPECT_EQ(fb.GetWidth(), 3u);
    EXPECT_EQ(px(fb, 2, 1), 0x11223344u);
    EXPECT_EQ(fb.DeleteFrameBuffer(), 0);
    EXPECT_EQ(fb.IsBuffer(), 1);
    EXPECT_EQ(fb.GetSize(), 0u);
}

TEST(FrameBuffer, CopiesAreDeepAndEmptySourcesEmptyTheTarget)
{
    CKrFrameBuffer a(4, 3, 1);
    a.ClearCol(0xFF102030);
    CKrFrameBuffer b(a);
    ASSERT_EQ(b.IsBuffer(), 0);
    EXPECT_NE(a.GetBufferByte(), b.GetBufferByte());
    EXPECT_EQ(zt::diff_pixels(a, b), 0);

    CKrFrameBuffer c(9, 9, 1);
    c = a;
    EXPECT_EQ(c.GetWidth(), 4u);
    EXPECT_EQ(zt::diff_pixels(a, c), 0);

    CKrFrameBuffer empty;
    c = empty;
    EXPECT_EQ(c.IsBuffer(), 1);
    CKrFrameBuffer& same = c; // self-assignment keeps nothing strange
    c = same;
    EXPECT_EQ(c.IsBuffer(), 1);
}

TEST(FrameBuffer, FbCopyClipsInTheDefinedOrder)
{
    CKrFrameBuffer src(20, 10, 1), dst(30, 12, 1);
    for (long y = 0; y < 10; ++y)
        for (long x = 0; x < 20; ++x) set_px(src, x, y, 0xFF000000u | static_cast<DWORD>(y << 8 | x));

    // A negative destination moves the source start along: columns sx + 10 onward land at 0.
    CBox done(99, 99, 99, 99);
    ASSERT_EQ(dst.FbCopy(&src, 2, 0, 15, 4, -10, 1, 0, &done), 0);
    EXPECT_EQ(done, CBox(0L, 1L, 5L, 4L));
    EXPECT_EQ(px(dst, 0, 1), 0xFF000000u | 12u);
    EXPECT_EQ(px(dst, 4, 4), 0xFF000000u | (3u << 8) | 16u);
    EXPECT_EQ(px(dst, 5, 1), 0u);

    // A negative source position shrinks the area but the destination stays where it was.
    dst.Clear();
    ASSERT_EQ(dst.FbCopy(&src, -3, -2, 6, 5, 7, 0, 0, &done), 0);
    EXPECT_EQ(done, CBox(7L, 0L, 3L, 3L));
    EXPECT_EQ(px(dst, 7, 0), 0xFF000000u);
    EXPECT_EQ(px(dst, 9, 2), 0xFF000000u | (2u << 8) | 2u);

    // Cut at the source's and the destination's right and bottom.
    dst.Clear();
    ASSERT_EQ(dst.FbCopy(&src, 15, 8, 100, 100, 27, 0, 0, &done), 0);
    EXPECT_EQ(done, CBox(27L, 0L, 3L, 2L));

    // Wholly outside either buffer: refused, done untouched.
    done = CBox(1L, 2L, 3L, 4L);
    EXPECT_EQ(dst.FbCopy(&src, 20, 0, 5, 5, 0, 0, 0, &done), -1);
    EXPECT_EQ(dst.FbCopy(&src, 0, 0, 5, 5, 30, 0, 0, &done), -1);
    EXPECT_EQ(dst.FbCopy(&src, 0, 0, 5, 5, -5, 0, 0, &done), -1);
    EXPECT_EQ(dst.FbCopy(&src, -4, 0, 4, 5, 0, 0, 0, &done), -1);
    EXPECT_EQ(done, CBox(1L, 2L, 3L, 4L));

    // Absurd values neither overflow nor write anything.
    EXPECT_EQ(dst.FbCopy(&src, LONG_MIN, LONG_MIN, LONG_MAX, LONG_MAX, LONG_MAX, LONG_MAX, 0, nullptr), -1);

    CKrFrameBuffer empty;
    EXPECT_EQ(dst.FbCopy(&empty, 0, 0, 1, 1, 0, 0, 0, nullptr), -1);
    EXPECT_EQ(dst.FbCopy(nullptr, 0, 0, 1, 1, 0, 0, 0, nullptr), -1);
    EXPECT_EQ(empty.FbCopy(&src, 0, 0, 1, 1, 0, 0, 0, nullptr), -1);
}

struct CompositeCase {
    DWORD src, dst, expected;
};

class KeyComposite : public ::testing::TestWithParam<CompositeCase> {};

TEST_P(KeyComposite, OnePixelThroughFbCopyMode1)
{
    const CompositeCase c = GetParam();
    CKrFrameBuffer s(1, 1, 1), d(1, 1, 1);
    set_px(s, 0, 0, c.src);
    set_px(d, 0, 0, c.dst);
    ASSERT_EQ(d.FbCopy(&s, 0, 0, 1, 1, 0, 0, 1, nullptr), 0);
    EXPECT_EQ(px(d, 0, 0), c.expected) << std::hex << c.src << " over " << c.dst;
    // Modes above 1 count as 1.
    set_px(d, 0, 0, c.dst);
    ASSERT_EQ(d.FbCopy(&s, 0, 0, 1, 1, 0, 0, 7, nullptr), 0);
    EXPECT_EQ(px(d, 0, 0), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Formula, KeyComposite,
    ::testing::Values(
        CompositeCase{0xFF123456, 0xFFABCDEF, 0xFF123456},   // opaque source replaces
        CompositeCase{0xFF123456, 0x00000000, 0xFF123456},
        // key 128 over opaque: t = 255 - 128 = 127, k = 255; colour (D·127 + S·128) / 255
        CompositeCase{0x80FF0000, 0xFF0000FF, 0xFF800000 | (0xFFu * 127 / 255)},
        CompositeCase{0x80FFFFFF, 0xFF000000, 0xFF808080},
        // key 128 over key 100: t = 100 - 100·128/255 = 50, k = 178
        CompositeCase{0x80C86432, 0x64000000, 0xB2000000 | (200u * 128 / 178) << 16 | (100u * 128 / 178) << 8 | (50u * 128 / 178)},
        CompositeCase{0x00FF0000, 0x00000000, 0x00FF0000},   // transparent colour onto transparent
        CompositeCase{0x00FF0000, 0x01000000, 0x01000000},   // ... but not onto any key
        CompositeCase{0x00FF0000, 0x00123456, 0x00FF0000},
        CompositeCase{0x00000000, 0x00123456, 0x00123456},   // the zero word never replaces
        CompositeCase{0x00000000, 0xFF123456, 0xFF123456},
        CompositeCase{0x01FFFFFF, 0x00000000, 0x01FFFFFF}));  // t = 0, k = a: colour is S

TEST(FrameBuffer, CopyKeyPixcelLeavesTheDestinationUnderAClearSource)
{
    EXPECT_EQ(CKrFrameBuffer::CopyKeyPixcel(0x00FF0000, 0x00000000), 0x00000000u);
    EXPECT_EQ(CKrFrameBuffer::CopyKeyPixcel(0x00FF0000, 0xFF00FF00), 0xFF00FF00u);
    EXPECT_EQ(CKrFrameBuffer::CopyKeyPixcel(0xFF00FF00, 0x12345678), 0xFF00FF00u);
    EXPECT_EQ(CKrFrameBuffer::CopyKeyPixcel(0x80FFFFFF, 0xFF000000), 0xFF808080u);
}

TEST(FrameBuffer, KeyFrameBufferRepeatsTheKeyEvenIntoItself)
{
    CKrFrameBuffer fb(3, 1, 1);
    set_px(fb, 0, 0, 0x00FFFFFF);
    set_px(fb, 1, 0, 0x7F123456);
    set_px(fb, 2, 0, 0xFF000000);
    CKrFrameBuffer out(10, 10, 1);
    ASSERT_EQ(fb.GetKeyFreameBuffer(&out), 0);
    ASSERT_EQ(out.GetWidth(), 3u);
    EXPECT_EQ(px(out, 0, 0), 0x00000000u);
    EXPECT_EQ(px(out, 1, 0), 0x7F7F7F7Fu);
    EXPECT_EQ(px(out, 2, 0), 0xFFFFFFFFu);

    ASSERT_EQ(fb.GetKeyFreameBuffer(&fb), 0);
    EXPECT_EQ(px(fb, 1, 0), 0x7F7F7F7Fu);

    CKrFrameBuffer empty;
    EXPECT_EQ(empty.GetKeyFreameBuffer(&out), -1);
    EXPECT_EQ(fb.GetKeyFreameBuffer(nullptr), -1);
}

TEST(FrameBuffer, ClearCrossDrawsOpaqueBandsOfAtLeastTwoPixels)
{
    CKrFrameBuffer fb(6, 5, 1);
    fb.ClearCross(POINT{1, 1}, 0x000000AA, 0x000000BB);
    const char* expected[] = {"AABBAA", "AABBAA", "BBAABB", "BBAABB", "AABBAA"};
    for (long y = 0; y < 5; ++y) {
        for (long x = 0; x < 6; ++x) {
            const DWORD want = 0xFF000000u | (expected[y][x] == 'A' ? 0xAAu : 0xBBu);
            EXPECT_EQ(px(fb, x, y), want) << x << "," << y;
        }
    }
    CKrFrameBuffer one_row(5, 1, 1);
    one_row.ClearCross(POINT{3, 3}, 1, 2);
    EXPECT_EQ(px(one_row, 2, 0), 0xFF000001u);
    EXPECT_EQ(px(one_row, 3, 0), 0xFF000002u);
}

TEST(FrameBuffer, FillsAndTransformsWorkOnTheWholeBlock)
{
    CKrFrameBuffer fb(2, 2, 0);
    fb.ClearCol(0x80FF8040);
    fb.ClearKey();
    EXPECT_EQ(px(fb, 1, 1), 0x00FF8040u);
    fb.Clear();
    EXPECT_EQ(px(fb, 0, 0), 0u);

    // A white tint gives the grey version; another colour scales it.
    set_px(fb, 0, 0, 0x7F0000FF);  // blue: Y = (7209·255 + 32768) >> 16 = 28
    fb.ImageChColor(0xFFFFFFFF);
    EXPECT_EQ(px(fb, 0, 0), 0x7F1C1C1Cu);
    set_px(fb, 0, 0, 0x7FFFFFFF);
    fb.ImageChColor(0x00FF8000);
    EXPECT_EQ(px(fb, 0, 0), 0x7FFF8000u);

    CKrFrameBuffer empty;  // nothing held: nothing happens
    empty.ClearCol(1);
    empty.ClearCross(POINT{2, 2}, 1, 2);
    empty.MakeLuminanceKey(0, 0);
    empty.ImageChColor(0);
    EXPECT_EQ(empty.IsBuffer(), 1);
}

TEST(FrameBuffer, LuminanceKeyRamp)
{
    CKrFrameBuffer fb(4, 1, 1);
    const DWORD greys[] = {16, 126, 235, 236};
    for (long x = 0; x < 4; ++x) set_px(fb, x, 0, 0x00000000u | greys[x] * 0x010101u);
    fb.MakeLuminanceKey(16, 219);
    EXPECT_EQ(px(fb, 0, 0) >> 24, 0u);
    EXPECT_EQ(px(fb, 1, 0) >> 24, 110u * 255 / 220);
    EXPECT_EQ(px(fb, 2, 0) >> 24, 219u * 255 / 220);
    EXPECT_EQ(px(fb, 3, 0) >> 24, 255u);
    EXPECT_EQ(px(fb, 1, 0) & 0xFFFFFF, 126u * 0x010101u);

    // The largest range divides by 2^32 instead of by zero.
    fb.MakeLuminanceKey(0, 0xFFFFFFFFu);
    EXPECT_EQ(px(fb, 3, 0) >> 24, 0u);
}

TEST(FrameBuffer, CopyBitmap24WritesPaddedRowsAndTheHeader)
{
    CKrFrameBuffer fb(3, 2, 1);
    set_px(fb, 0, 0, 0xFF010203);
    set_px(fb, 2, 1, 0x80040506);
    std::vector<unsigned char> bits(2 * 12, 0xEE);
    BITMAPINFOHEADER h{};
    ASSERT_EQ(fb.CopyBitmap24(bits.data(), &h, 0), 0);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 3);
    EXPECT_EQ(h.biHeight, 2);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(h.biSizeImage, 24u);
    // Bottom-up: the top row is the second bitmap row; padding bytes are left alone.
    EXPECT_EQ(bits[12], 0x03);
    EXPECT_EQ(bits[13], 0x02);
    EXPECT_EQ(bits[14], 0x01);
    EXPECT_EQ(bits[6], 0x06);
    EXPECT_EQ(bits[8], 0x04);
    EXPECT_EQ(bits[9], 0xEE);

    ASSERT_EQ(fb.CopyBitmap24(bits.data(), &h, 1), 0);
    EXPECT_EQ(h.biHeight, -2);
    EXPECT_EQ(bits[0], 0x03);

    EXPECT_EQ(fb.CopyBitmap24(nullptr, &h, 0), -1);
    CKrFrameBuffer empty;
    EXPECT_EQ(empty.CopyBitmap24(bits.data(), nullptr, 0), -1);
}
