// CBox and CMoveBox.
#include <gtest/gtest.h>

#include "framebuffer/box.h"

TEST(Box, ConstructorsAndTheirSetBoxTwins)
{
    const RECT r{10, 20, 30, 60};
    EXPECT_EQ(CBox(r), CBox(10L, 20L, 20L, 40L));
    EXPECT_EQ(CBox(&r), CBox(10, 20, 20, 40));
    CRect cr(10, 20, 30, 60);
    EXPECT_EQ(CBox(cr), CBox(10, 20, 20, 40));
    EXPECT_EQ(CBox(POINT{1, 2}, SIZE{3, 4}), CBox(1, 2, 3, 4));
    EXPECT_EQ(CBox(POINT{1, 2}, POINT{5, 9}), CBox(1, 2, 4, 7));

    CBox b;
    EXPECT_EQ(b, CBox(0, 0, 0, 0));
    b.SetBox(POINT{1, 2}, POINT{5, 9});
    EXPECT_EQ(b, CBox(1, 2, 4, 7));
    b.SetBox(r);
    EXPECT_EQ(b.GetRect(), CRect(10, 20, 30, 60));
    EXPECT_EQ(b.TopLeft(), CPoint(10, 20));
    EXPECT_EQ(b.BottomRight(), CPoint(30, 60));
    EXPECT_EQ(b.Size(), CSize(20, 40));
}

TEST(Box, ChEriaNeedsBothSizesAtLeastOne)
{
    EXPECT_EQ(CBox(0, 0, 1, 1).ChEria(), 1);
    EXPECT_EQ(CBox(0, 0, 0, 5).ChEria(), 0);
    EXPECT_EQ(CBox(0, 0, 5, -1).ChEria(), 0);
}

struct ClipCase {
    CBox in;
    CBox out;
    int changed;
};

class BoxClip : public ::testing::TestWithParam<ClipCase> {};

TEST_P(BoxClip, ToTheLimits)
{
    CBox b = GetParam().in;
    EXPECT_EQ(b.ClipBox(100, 100), GetParam().changed);
    EXPECT_EQ(b, GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Cases, BoxClip,
                         ::testing::Values(ClipCase{CBox(-10, 90, 50, 50), CBox(0, 90, 40, 10), 1},
                                           ClipCase{CBox(0, 0, 10, 10), CBox(0, 0, 10, 10), 0},
                                           ClipCase{CBox(150, 0, 10, 10), CBox(150, 0, 0, 10), 1},
                                           ClipCase{CBox(-20, -20, 10, 10), CBox(0, 0, 0, 0), 1},
                                           ClipCase{CBox(0, 0, 100, 100), CBox(0, 0, 100, 100), 0}));

TEST(Box, MaxBoxTakesEmptyBoxesAsTheyStand)
{
    CBox a(0, 0, 10, 10);
    a.MaxBox(CBox(20, 5, 10, 10));
    EXPECT_EQ(a, CBox(0, 0, 30, 15));

    CBox b(5, 5, 2, 2);
    b.MaxBox(CBox(0, 0, 0, 0));  // an empty box at the origin still pulls the corner there
    EXPECT_EQ(b, CBox(0, 0, 7, 7));

    // The renderer's starting box: extreme values that the first real box replaces.
    CBox start(2147483647L, 2147483647L, -2147483648L, -2147483648L);
    start.MaxBox(CBox(10, 20, 5, 6));
    EXPECT_EQ(start, CBox(10, 20, 5, 6));
}

TEST(Box, MoveBoxKeepsItsSixFieldsInOrder)
{
    CMoveBox m(1, 2, 3, 4, 5, 6);
    EXPECT_EQ(m.x1, 1);
    EXPECT_EQ(m.y1, 2);
    EXPECT_EQ(m.x2, 3);
    EXPECT_EQ(m.y2, 4);
    EXPECT_EQ(m.width, 5);
    EXPECT_EQ(m.height, 6);
    CMoveBox copy(&m);
    EXPECT_EQ(copy.height, 6);
    copy.SetBox(7L, 8L, 9L, 10L, 11L, 12L);
    m.SetBox(&copy);
    EXPECT_EQ(m.x1, 7);
    m.SetBox(static_cast<const CMoveBox*>(nullptr));
    EXPECT_EQ(m.x1, 7);
}
