// CKrGfb: the bank choices and their refusals, the write bank standing in for a number out of
// range, and the copies and fills into banks clipped to the picture, each reporting the
// rectangle it changed.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>

#include "onair/kr_gfb.h"
#include "support/test_support.h"

namespace {

struct ChoiceCase {
    const char* name;
    std::function<int(CKrGfb&, int, CBox*)> choose;
    std::function<int(const CKrGfb&)> read;
    int initial;
    bool sets_box;
};

void PrintTo(const ChoiceCase& c, std::ostream* os)
{
    *os << c.name;
}

class BankChoices : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(BankChoices, RefuseOutsideZeroToThreeAndSayWhetherTheyChanged)
{
    const ChoiceCase& c = GetParam();
    CKrGfb gfb;
    EXPECT_EQ(c.read(gfb), c.initial);
    for (int bad : {4, -1, 9}) {
        CBox box(1, 2, 3, 4);
        EXPECT_EQ(c.choose(gfb, bad, &box), -1) << bad;
        EXPECT_EQ(c.read(gfb), c.initial) << "a refusal changes nothing";
        if (c.sets_box) {
            EXPECT_EQ(box, CBox(0, 0, 720, 486)) << "the box is the whole picture even when refused";
        }
    }
    EXPECT_EQ(c.choose(gfb, 4, nullptr), -1) << "no box needed";
    EXPECT_EQ(c.choose(gfb, c.initial, nullptr), 0) << "unchanged";
    EXPECT_EQ(c.choose(gfb, 3, nullptr), 1) << "changed";
    EXPECT_EQ(c.read(gfb), 3);
}

INSTANTIATE_TEST_SUITE_P(
    Choices, BankChoices,
    ::testing::Values(ChoiceCase{"on_air", [](CKrGfb& g, int n, CBox* b) { return g.SetBankOa(n, b); },
                                 [](const CKrGfb& g) { return g.GetBankOa(); }, 0, true},
                      ChoiceCase{"next", [](CKrGfb& g, int n, CBox* b) { return g.SetBankNext(n, b); },
                                 [](const CKrGfb& g) { return g.GetBankNext(); }, 2, true},
                      ChoiceCase{"write", [](CKrGfb& g, int n, CBox*) { return g.SetBankWrite(n); },
                                 [](const CKrGfb& g) { return g.GetBankWrite(); }, 0, false}),
    [](const ::testing::TestParamInfo<ChoiceCase>& i) { return std::string(i.param.name); });

TEST(KrGfb, TheWriteBankStandsInForABadNumberAndCopiesKeepEverything)
{
    CKrGfb gfb;
    gfb.SetBankOa(3, nullptr);
    gfb.SetBankNext(1, nullptr);
    gfb.SetBankWrite(2);
    EXPECT_EQ(gfb.SetCopyMode(1), 0);
    EXPECT_EQ(gfb.SetCopyMode(2), -1);
    EXPECT_EQ(gfb.GetCopyMode(), 1);
    EXPECT_EQ(gfb.GetGfb(9), gfb.GetGfb(2)) << "a number outside 0-3 means the write bank";
    EXPECT_EQ(gfb.GetGfb(-1), gfb.GetGfb(2));
    EXPECT_EQ(gfb.GetGfbBuff(INT_MAX), gfb.GetGfb(2)->GetBufferByte());
    EXPECT_NE(gfb.GetGfb(0), gfb.GetGfb(1));
    for (int b = 0; b < 4; ++b) {
        EXPECT_EQ(gfb.GetGfb(b)->GetWidth(), 720u);
        EXPECT_EQ(gfb.GetGfb(b)->GetHeight(), 486u);
    }
    const CKrGfb copy(gfb);
    EXPECT_EQ(copy.GetBankOa(), 3);
    EXPECT_EQ(copy.GetBankNext(), 1);
    EXPECT_EQ(copy.GetBankWrite(), 2);
    EXPECT_EQ(copy.GetCopyMode(), 1);
}

struct FillCase {
    const char* name;
    long x, y, w, h;
    int result;
    CBox changed;
};

void PrintTo(const FillCase& c, std::ostream* os)
{
    *os << c.name;
}

class BoxFills : public ::testing::TestWithParam<FillCase> {};

TEST_P(BoxFills, FillNoMoreThanThePicture)
{
    const FillCase& c = GetParam();
    CKrGfb gfb;
    gfb.SetBankWrite(1);
    CBox box(-7, -7, -7, -7);
    EXPECT_EQ(gfb.BoxFill(c.x, c.y, c.w, c.h, 0xFF112233u, &box), c.result);
    if (c.result == 0) {
        EXPECT_EQ(box, c.changed);
    }
    long filled = 0;
    const CKrFrameBuffer& bank = *gfb.GetGfb(1);
    for (long y = 0; y < 486; ++y)
        for (long x = 0; x < 720; ++x) {
            const bool in = x >= c.changed.x && x < c.changed.x + c.changed.width && y >= c.changed.y &&
                            y < c.changed.y + c.changed.height;
            ASSERT_EQ(zt::px(bank, x, y), in ? 0xFF112233u : 0u) << x << "," << y;
            filled += in;
        }
    EXPECT_EQ(filled, c.changed.width * c.changed.height);
    EXPECT_EQ(zt::px(*gfb.GetGfb(0), 0, 0), 0u) << "only the write bank";
}

INSTANTIATE_TEST_SUITE_P(
    Edges, BoxFills,
    ::testing::Values(FillCase{"inside", 10, 20, 30, 40, 0, CBox(10, 20, 30, 40)},
                      FillCase{"width_2000", 0, 5, 2000, 3, 0, CBox(0, 5, 720, 3)},
                      FillCase{"height_2000", 700, 0, 5, 2000, 0, CBox(700, 0, 5, 486)},
                      FillCase{"past_the_right_edge", 715, 0, 20, 2, 0, CBox(715, 0, 5, 2)},
                      FillCase{"before_the_origin", -5, -6, 10, 10, 0, CBox(0, 0, 5, 4)},
                      FillCase{"empty", 0, 0, 0, 10, -1, CBox(0, 0, 0, 0)},
                      FillCase{"outside", 720, 0, 10, 10, -1, CBox(0, 0, 0, 0)}),
    [](const ::testing::TestParamInfo<FillCase>& i) { return std::string(i.param.name); });

TEST(KrGfb, ClearsAndBankCopiesReportTheWholePictureAndRefuseBadBanks)
{
    CKrGfb gfb;
    CBox box;
    EXPECT_EQ(gfb.ScreenClearCol(1, 0x80FF0000u, &box), 0);
    EXPECT_EQ(box, CBox(0, 0, 720, 486));
    EXPECT_EQ(gfb.ScreenClearCol(4, 0x80FF0000u, &box), -1);
    EXPECT_EQ(gfb.CopyBank(1, 3, &box), 0);
    EXPECT_EQ(zt::px(*gfb.GetGfb(3), 719, 485), 0x80FF0000u);
    EXPECT_EQ(gfb.CopyBank(1, 4, &box), -1);
    EXPECT_EQ(gfb.CopyBank(-1, 0, &box), -1);
    EXPECT_EQ(gfb.ScreenClear(3, &box), 0);
    EXPECT_EQ(zt::px(*gfb.GetGfb(3), 719, 485), 0u);
    // The copy mode goes with the bank copy through FbCopy: a half-transparent bank laid over
    // an opaque one blends.
    gfb.ScreenClearCol(0, 0xFF0000FFu, nullptr);
    gfb.SetCopyMode(1);
    EXPECT_EQ(gfb.CopyBankCm(1, 0, &box), 0);
    const DWORD blended = zt::px(*gfb.GetGfb(0), 0, 0);
    EXPECT_NE(blended, 0xFF0000FFu);
    EXPECT_NE(blended, 0x80FF0000u);
    // A bank made again at another size is never copied past its end.
    gfb.GetGfb(2)->DeleteFrameBuffer();
    gfb.GetGfb(2)->CreateFrameBuffer(10, 10, 1);
    EXPECT_EQ(gfb.CopyBank(1, 2, &box), 0);
    EXPECT_EQ(zt::px(*gfb.GetGfb(2), 9, 9), 0x80FF0000u);
}

TEST(KrGfb, ABoxCopyWithinOneBankGoesThroughACopyOfTheRectangle)
{
    CKrGfb gfb;
    CKrFrameBuffer& bank = *gfb.GetGfb(1);
    for (long y = 0; y < 486; ++y)
        for (long x = 0; x < 720; ++x) zt::set_px(bank, x, y, 0xFF000000u | static_cast<DWORD>(y << 10 | x));
    const CKrFrameBuffer before = bank;
    CBox box;
    // Overlapping: 100 × 50 at (10, 10) moved 5 right and 3 down.
    ASSERT_EQ(gfb.CopyBankBox(1, 10, 10, 100, 50, 1, 15, 13, &box), 0);
    EXPECT_EQ(box, CBox(15, 13, 100, 50));
    for (long y = 0; y < 486; ++y)
        for (long x = 0; x < 720; ++x) {
            const bool in = x >= 15 && x < 115 && y >= 13 && y < 63;
            ASSERT_EQ(zt::px(bank, x, y), in ? zt::px(before, x - 5, y - 3) : zt::px(before, x, y)) << x << "," << y;
        }
    EXPECT_EQ(gfb.CopyBankBox(1, 0, 0, 10, 10, 5, 0, 0, &box), -1);
}

TEST(KrGfb, PutAndGetImagesThroughTheWriteBank)
{
    CKrGfb gfb;
    gfb.SetBankWrite(3);
    CKrFrameBuffer image(40, 30, 0);
    image.ClearCol(0xFF445566u);
    CBox box;
    EXPECT_EQ(gfb.PutImg(&image, 0, 0, 40, 30, 700, 470, &box), 0);
    EXPECT_EQ(box, CBox(700, 470, 20, 16));
    EXPECT_EQ(zt::px(*gfb.GetGfb(3), 719, 485), 0xFF445566u);
    CKrFrameBuffer empty;
    EXPECT_EQ(gfb.PutImg(&empty, 0, 0, 40, 30, 0, 0, &box), -1);
    EXPECT_EQ(gfb.PutImg(nullptr, 0, 0, 40, 30, 0, 0, &box), -1);
    EXPECT_EQ(gfb.PutImg_Sel(7, &image, 0, 0, 40, 30, 0, 0, &box), -1);
    EXPECT_EQ(gfb.PutImg_Sel(0, &image, 0, 0, 40, 30, 0, 0, &box), 0);
    EXPECT_EQ(zt::px(*gfb.GetGfb(0), 39, 29), 0xFF445566u);

    CKrFrameBuffer out(5, 5, 1);
    EXPECT_EQ(gfb.GetImg(&out, 690, 460, 50, 40, &box), 0);
    EXPECT_EQ(out.GetWidth(), 50u) << "made again at the asked size";
    EXPECT_EQ(out.GetHeight(), 40u);
    EXPECT_EQ(box, CBox(690, 460, 30, 26));
    EXPECT_EQ(zt::px(out, 10, 10), 0xFF445566u);
    EXPECT_EQ(zt::px(out, 9, 9), 0u);
    EXPECT_EQ(gfb.GetImg(&out, 0, 0, 0, 10, &box), -1);
    EXPECT_EQ(gfb.GetImg_Sel(0, &out, 0, 0, 40, 30, &box), 0);
    EXPECT_EQ(zt::px(out, 39, 29), 0xFF445566u);
}

} // namespace
