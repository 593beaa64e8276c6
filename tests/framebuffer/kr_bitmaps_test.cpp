// The mono and gray bitmaps: row padding, result codes, deep copies.
#include <gtest/gtest.h>

#include "framebuffer/kr_bitmaps.h"

TEST(MonoGrayBitmaps, RowPaddingAndSizes)
{
    struct Case { long w, h; unsigned long mono_row, gray_row; } cases[] = {
        {17, 3, 4, 18}, {16, 1, 2, 16}, {3, 2, 2, 4}, {4, 2, 2, 4}, {5, 2, 2, 6}, {1, 1, 2, 2}};
    for (const Case& c : cases) {
        CKrMonoBitmap m;
        CKrGrayBitmap g;
        ASSERT_EQ(m.Create(c.w, c.h), 0);
        ASSERT_EQ(g.Create(c.w, c.h), 0);
        EXPECT_EQ(m.GetLineByte(), c.mono_row) << c.w;
        EXPECT_EQ(m.GetSize(), c.mono_row * static_cast<unsigned long>(c.h));
        EXPECT_EQ(g.GetLineByte(), c.gray_row) << c.w;
        EXPECT_EQ(g.GetSize(), c.gray_row * static_cast<unsigned long>(c.h));
        for (unsigned long i = 0; i < g.GetSize(); ++i) ASSERT_EQ(g.GetBits()[i], 0);
    }
}

TEST(MonoGrayBitmaps, CreateAndDeleteCodes)
{
    CKrMonoBitmap m;
    EXPECT_EQ(m.Delete(), 3);
    EXPECT_EQ(m.Create(0, 5), 4);
    EXPECT_EQ(m.GetBits(), nullptr);
    EXPECT_EQ(m.Create(1L << 40, 1L << 40), 2);
    EXPECT_EQ(m.GetWidth(), 0);
    ASSERT_EQ(m.Create(8, 2), 0);
    unsigned char* first = m.GetBits();
    EXPECT_EQ(m.Create(100, 100), 1);
    EXPECT_EQ(m.GetBits(), first);
    EXPECT_EQ(m.GetWidth(), 8);
    EXPECT_EQ(m.Delete(), 0);
    EXPECT_EQ(m.GetBits(), nullptr);
    EXPECT_EQ(m.GetSize(), 0u);
}

TEST(MonoGrayBitmaps, MostSignificantBitIsLeftmostAndCopiesAreDeep)
{
    CKrMonoBitmap m;
    ASSERT_EQ(m.Create(20, 2), 0);
    m.SetPixel(0, 0, true);
    m.SetPixel(9, 1, true);
    EXPECT_EQ(m.GetBits()[0], 0x80);
    EXPECT_EQ(m.GetBits()[4 + 1], 0x40);
    EXPECT_TRUE(m.GetPixel(9, 1));
    EXPECT_FALSE(m.GetPixel(20, 0));  // padding is not part of the picture
    m.SetPixel(-1, 0, true);          // outside: ignored

    CKrMonoBitmap copy(m);
    ASSERT_NE(copy.GetBits(), m.GetBits());
    EXPECT_TRUE(copy.GetPixel(9, 1));
    copy.SetPixel(0, 0, false);
    EXPECT_TRUE(m.GetPixel(0, 0));
    CKrGrayBitmap g, h;
    ASSERT_EQ(g.Create(3, 3), 0);
    g.Row(2)[1] = 200;
    h = g;
    EXPECT_EQ(h.Row(2)[1], 200);
    h = CKrGrayBitmap();
    EXPECT_EQ(h.GetBits(), nullptr);
}
