// Slides on a stepped board: the fields a slide writes (read from the board journal with a
// checksum of the rows), offsets over a number of steps, every kind and direction together
// in one go staying inside their rectangles and leaving their banks as the air shows them,
// clipping at the picture's edges, a slide on a bank that is not on air applied without any
// write, slot and number ranges, fades handed to the fade controller, SlideGo waiting for
// everything, and the legacy motion helpers.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "effects/fade_core.h"
#include "effects/fade_slide_fixture.h"
#include "platform/testing/board.h"

namespace {

using zt::GfbWrite;

class SlideOnAir : public zt::FadeSlideTest {
protected:
    // Runs SlideGo with the board stepping whenever everything waits; the field it began in.
    long long go()
    {
        const long long start = board().current_field();
        zk::IdlePump pump(board(), 2000);
        EXPECT_EQ(slide->SlideGo(), 0);
        pump.stop();
        EXPECT_FALSE(pump.failed());
        EXPECT_EQ(slide->GetRunning(), 0);
        return start;
    }
    static CKrFrameBuffer solid(long w, long h, DWORD colour)
    {
        CKrFrameBuffer out(w, h, 0);
        out.ClearCol(colour);
        return out;
    }
};

TEST_F(SlideOnAir, SlidingInMovesByTheRoundedShareOfTheDistanceEachField)
{
    // In from the left over 200 pixels at 20 a field, after two fields of delay.
    const long x = 101, y = 40, w = 200, h = 31;
    ASSERT_EQ(slide->SlideSet(1, 1, 0, 20, 1, 2, 0, x, y, w, h, 1, 300, 200, 0, 0), 0);
    const CKrFrameBuffer in = cut(bank(1), 300, 200, w, h);
    const std::uint64_t from = board().journal().mark();
    const long long start = go();
    std::vector<GfbWrite> expected;
    for (long i = 1; i <= 14; ++i) {
        const long shown = std::min(i, 10L) * 20;
        expected.push_back(zt::expected_write(start + 2 + i, in, w - shown, 0, shown, h, x, y));
    }
    EXPECT_EQ(writes_since(from), expected);
    EXPECT_EQ(zt::diff_pixels(cut(bank(0), x, y, w, h), in), 0);

    // Revealed from the right edge leftwards in four steps (two frames): 25, 50, 75, 100.
    const std::uint64_t again = board().journal().mark();
    ASSERT_EQ(slide->SlideSet(20, 0, 1, 2, 0, 0, 0, 10, 11, 100, 20, 2, 0, 0, 0, 0), 0);
    const CKrFrameBuffer revealed = cut(bank(2), 0, 0, 100, 20);
    const long long second = go();
    expected.clear();
    for (long i = 1; i <= 8; ++i) {
        const long shown = std::min(i, 4L) * 25;
        expected.push_back(zt::expected_write(second + i, revealed, 100 - shown, 0, shown, 20, 10 + 100 - shown, 11));
    }
    EXPECT_EQ(writes_since(again), expected);
}

TEST_F(SlideOnAir, TheOutgoingPictureIsWrittenBeforeTheIncomingOne)
{
    // Both move down over 10 lines in two steps (a limit of 10 of the 24 lines): the outgoing
    // picture's lower part goes first, then the incoming picture's lower part above it.
    const long x = 40, y = 30, w = 16, h = 24;
    const CKrFrameBuffer out = cut(bank(0), x, y, w, h);
    const CKrFrameBuffer in = cut(bank(3), 0, 0, w, h);
    ASSERT_EQ(slide->SlideSet(2, 3, 2, 1, 0, 0, 0, x, y, w, h, 3, 0, 0, 0, 10), 0);
    const std::uint64_t from = board().journal().mark();
    const long long start = go();
    const long offsets[] = {5, 10, 10, 10, 10, 10};
    std::vector<GfbWrite> expected;
    for (long i = 1; i <= 6; ++i) {
        const long d = offsets[i - 1];
        expected.push_back(zt::expected_write(start + i, out, 0, 0, w, h - d, x, y + d));
        expected.push_back(zt::expected_write(start + i, in, 0, h - d, w, d, x, y));
    }
    EXPECT_EQ(writes_since(from), expected);
}

// One kind of slide in all eight directions at once, each in its own rectangle and slot: every
// write stays inside its rectangle, each slot writes on the fields its steps give, and at the end
// the air and the bank both hold the incoming picture.
class SlideDirections : public SlideOnAir, public ::testing::WithParamInterface<int> {};

TEST_P(SlideDirections, EveryDirectionStaysInItsRectangleAndEndsOnTheIncomingPicture)
{
    const int type = GetParam();
    SCOPED_TRACE(::testing::Message() << "type " << type << " seed " << seed);
    const long w = 60, h = 40;
    const DWORD colour = 0xC0204080u;
    auto rect_x = [](int d) { return 15L + 85 * d; };
    const long y = 101;
    std::vector<CKrFrameBuffer> incoming;
    for (int d = 0; d < 8; ++d) {
        // Two fields of speed for the straight moves, frames for the diagonals; delays 0 to 3.
        const int speed = d < 4 ? 20 : 3, pixels = d < 4 ? 1 : 0;
        ASSERT_EQ(slide->SlideSet(d + 1, type, d, speed, pixels, d % 4, 0, rect_x(d), y, w, h, 1, 7 * d, 50, colour, 0), 0);
        incoming.push_back(type < 0 ? solid(w, h, colour) : cut(bank(1), 7 * d, 50, w, h));
    }
    const CKrFrameBuffer before = bank(0);
    const std::uint64_t from = board().journal().mark();
    const long long start = go();

    std::map<int, std::vector<long long>> fields;  // per slot, the fields it wrote
    for (const GfbWrite& wr : writes_since(from)) {
        const long dx = wr.words[1], line = wr.words[2], width = wr.words[3], rows = wr.words[4];
        const int d = static_cast<int>((dx - 15) / 85);
        ASSERT_TRUE(d >= 0 && d < 8) << wr;
        EXPECT_GE(dx, rect_x(d)) << wr;
        EXPECT_LE(dx + width, rect_x(d) + w) << wr;
        EXPECT_GE(line, y) << wr;
        EXPECT_LT(line + 2 * (rows - 1), y + h) << wr;
        if (fields[d].empty() || fields[d].back() != wr.field) fields[d].push_back(wr.field);
    }
    CKrFrameBuffer end_bank = before;
    for (int d = 0; d < 8; ++d) {
        SCOPED_TRACE(::testing::Message() << "direction " << d);
        const long steps = d < 4 ? (d < 2 ? w : h) / 20 : 6;
        std::vector<long long> want;
        for (long i = 1; i <= steps + 4; ++i) want.push_back(start + d % 4 + i);
        EXPECT_EQ(fields[d], want);
        EXPECT_EQ(zt::diff_pixels(front(rect_x(d), y, w, h), incoming[static_cast<size_t>(d)]), 0);
        ASSERT_EQ(end_bank.FbCopy(&incoming[static_cast<size_t>(d)], 0, 0, w, h, rect_x(d), y, 0, nullptr), 0);
    }
    EXPECT_EQ(zt::diff_pixels(bank(0), end_bank), 0) << "the bank holds what is on air, and nothing else changed";
}

INSTANTIATE_TEST_SUITE_P(Types, SlideDirections, ::testing::Values(-4, -3, -2, -1, 0, 1, 2, 3));

TEST_F(SlideOnAir, AllTwentySlotsPlayTogether)
{
    for (int s = 1; s <= 20; ++s)
        ASSERT_EQ(slide->SlideSet(s, s % 4, s % 8, 1 + s % 3, 0, 0, 0, 36 * (s - 1), 400, 30, 20, 2, 0, 0, 0, 0), 0);
    const std::uint64_t from = board().journal().mark();
    const long long start = go();
    long long last = 0;
    std::map<long, int> per_slot;
    for (const GfbWrite& wr : writes_since(from)) {
        ++per_slot[static_cast<long>(wr.words[1]) / 36];
        last = std::max(last, wr.field);
    }
    ASSERT_EQ(per_slot.size(), 20u);
    EXPECT_EQ(last, start + 2 * 3 + 4) << "the longest slot";
    for (int s = 1; s <= 20; ++s)
        EXPECT_EQ(zt::diff_pixels(cut(bank(0), 36 * (s - 1), 400, 30, 20), cut(bank(2), 0, 0, 30, 20)), 0) << s;
}

TEST_F(SlideOnAir, ARectangleIsClippedToThePictureBeforeAnythingElse)
{
    // 100 wide at x = 700: 20 are left, taken from the incoming picture's corner.
    ASSERT_EQ(slide->SlideSet(3, 1, 2, 2, 0, 0, 0, 700, 10, 100, 30, 1, 0, 0, 0, 0), 0);
    // Above and left of the picture: 40 × 45 are left at its corner.
    ASSERT_EQ(slide->SlideSet(4, 3, 7, 1, 0, 0, 0, -10, -5, 50, 50, 1, 200, 200, 0, 0), 0);
    const std::uint64_t from = board().journal().mark();
    go();
    for (const GfbWrite& wr : writes_since(from)) {
        EXPECT_LE(static_cast<long>(wr.words[1] + wr.words[3]), 720) << wr;
        EXPECT_TRUE(wr.words[1] < 40 || wr.words[1] >= 700) << wr;
    }
    EXPECT_EQ(zt::diff_pixels(front(700, 10, 20, 30), cut(bank(1), 0, 0, 20, 30)), 0);
    EXPECT_EQ(zt::diff_pixels(cut(bank(0), 700, 10, 20, 30), cut(bank(1), 0, 0, 20, 30)), 0);
    EXPECT_EQ(zt::diff_pixels(cut(bank(0), 0, 0, 40, 45), cut(bank(1), 200, 200, 40, 45)), 0);
}

TEST_F(SlideOnAir, ABankNotOnAirTakesTheEndPictureWithoutAnyWrite)
{
    // Bank 2 is not on air: outgoing slides right by a limit of 30 while the incoming picture is
    // revealed from the left edge over those 30 columns.
    const CKrFrameBuffer before = bank(2);
    ASSERT_EQ(slide->SlideSet(9, 2, 0, 50, 0, 5, 2, 200, 100, 100, 40, 3, 10, 20, 0, 30), 0);
    // And a solid colour slid in up and left over a whole rectangle.
    ASSERT_EQ(slide->SlideSet(10, -1, 7, 50, 0, 0, 2, 400, 100, 60, 50, 9, 0, 0, 0xFF0000FFu, 0), 0);
    const std::uint64_t from = board().journal().mark();
    const long long start = go();
    EXPECT_TRUE(writes_since(from).empty());
    EXPECT_EQ(board().current_field(), start) << "nothing to wait for";
    CKrFrameBuffer want = before;
    ASSERT_EQ(want.FbCopy(const_cast<CKrFrameBuffer*>(&before), 200, 100, 70, 40, 230, 100, 0, nullptr), 0);
    CKrFrameBuffer in = cut(bank(3), 10, 20, 30, 40);
    ASSERT_EQ(want.FbCopy(&in, 0, 0, 30, 40, 200, 100, 0, nullptr), 0);
    CKrFrameBuffer blue = solid(60, 50, 0xFF0000FFu);
    ASSERT_EQ(want.FbCopy(&blue, 0, 0, 60, 50, 400, 100, 0, nullptr), 0);
    EXPECT_EQ(zt::diff_pixels(bank(2), want), 0);
}

TEST_F(SlideOnAir, SlotsNumbersAndRectanglesOutOfRangeAreRefused)
{
    const CKrFrameBuffer before = bank(0);
    const struct {
        int slot, x, y, w, h, out, in;
    } bad[] = {{0, 0, 0, 10, 10, 0, 1},   {21, 0, 0, 10, 10, 0, 1}, {1, 0, 0, 0, 10, 0, 1},
               {1, 720, 0, 10, 10, 0, 1}, {1, 0, -10, 10, 10, 0, 1}, {1, 0, 0, 10, 10, 4, 1},
               {1, 0, 0, 10, 10, 0, -1}};
    for (const auto& b : bad) EXPECT_EQ(slide->SlideSet(b.slot, 1, 0, 1, 0, 0, b.out, b.x, b.y, b.w, b.h, b.in, 0, 0, 0, 0), -1);
    EXPECT_EQ(slide->SlideSet(1, 1, 0, 1, 0, 0, 0, 0, 0, 10, 10, 1, 0, 486, 0, 0), -1) << "nothing of the incoming rectangle";
    for (int index : {-1, 20}) EXPECT_EQ(slide->SlideClear(index), -1);
    // A slot set twice plays the second; a cleared slot plays nothing.
    ASSERT_EQ(slide->SlideSet(1, 1, 0, 1, 0, 0, 0, 0, 0, 10, 10, 1, 0, 0, 0, 0), 0);
    ASSERT_EQ(slide->SlideSet(1, 1, 0, 1, 0, 0, 0, 20, 0, 10, 10, 1, 0, 0, 0, 0), 0);
    ASSERT_EQ(slide->SlideSet(20, 1, 0, 1, 0, 0, 0, 40, 0, 10, 10, 1, 0, 0, 0, 0), 0);
    EXPECT_EQ(slide->SlideClear(19), 0);
    EXPECT_EQ(slide->SlideClear(19), 0) << "clearing twice is harmless";
    const std::uint64_t from = board().journal().mark();
    go();
    const std::vector<GfbWrite> seen = writes_since(from);
    EXPECT_EQ(seen.size(), 6u);
    for (const GfbWrite& wr : seen) EXPECT_EQ(wr.words[1], 20u) << wr;
    CKrFrameBuffer want = before;
    ASSERT_EQ(want.FbCopy(banks.GetGfb(1), 0, 0, 10, 10, 20, 0, 0, nullptr), 0);
    EXPECT_EQ(zt::diff_pixels(bank(0), want), 0);
}

TEST_F(SlideOnAir, FadeTypesGoToTheFadeControllerAndSlideGoWaitsForThem)
{
    zt::ReportedTexts texts;
    // Type 12: a fade of mode 2 numbered after the slot, its speed the frame count.
    ASSERT_EQ(slide->SlideSet(5, 12, 0, 10, 0, 0, 0, 300, 200, 40, 30, 1, 0, 0, 0, 0), 0);
    ASSERT_EQ(slide->SlideSet(6, 1, 0, 1, 0, 0, 0, 10, 10, 30, 20, 2, 0, 0, 0, 0), 0);
    EXPECT_EQ(slide->SlideSet(7, 10, 0, 5, 0, 0, 0, 0, 0, 721, 20, 1, 0, 0, 0, 0), -1) << "refused by the fades";
    EXPECT_EQ(texts.take(), std::vector<std::string>{"FadeSizeW Err[7]721"});
    CKrFrameBuffer strip;
    ASSERT_EQ(zk::fx::build_fade_strip(2, bank(0), bank(1), 300, 200, 40, 30, 10, strip), 0);
    const std::uint64_t from = board().journal().mark();
    const long long start = go();
    std::vector<GfbWrite> fade_writes, slide_writes;
    for (const GfbWrite& w : writes_since(from)) (w.words[1] == 300 ? fade_writes : slide_writes).push_back(w);
    std::vector<GfbWrite> expected;
    for (long e = 1; e <= 20; ++e)
        expected.push_back(zt::expected_write(start + e, strip, 0, (e - 1) / 2 * 30, 40, 30, 300, 200));
    EXPECT_EQ(fade_writes, expected) << "started with the slides";
    ASSERT_EQ(slide_writes.size(), 6u);
    EXPECT_EQ(slide_writes.back().field, start + 6);
    EXPECT_GT(board().current_field(), start + 20) << "SlideGo returned after the fade had ended";
    // The bank holds the fade's last frame, and the fade is gone.
    EXPECT_EQ(zt::diff_pixels(cut(bank(0), 300, 200, 40, 30), cut(bank(1), 300, 200, 40, 30)), 0);
    EXPECT_EQ(fade->CFadeReset(5), 0) << "already reset";

    CKrSlide without_fades;
    ASSERT_EQ(without_fades.Initial(graph.get(), &banks, nullptr), 0);
    EXPECT_EQ(without_fades.SlideSet(5, 12, 0, 10, 0, 0, 0, 300, 200, 40, 30, 1, 0, 0, 0, 0), -1);
    EXPECT_TRUE(texts.take().empty());
}

TEST_F(SlideOnAir, ResetAllForgetsSlidesAndTheirFades)
{
    const CKrFrameBuffer before = bank(0);
    ASSERT_EQ(slide->SlideSet(3, 11, 0, 4, 0, 0, 0, 0, 0, 20, 20, 1, 0, 0, 0, 0), 0);
    ASSERT_EQ(slide->SlideSet(4, 3, 5, 2, 0, 0, 0, 50, 50, 20, 20, 1, 0, 0, 0, 0), 0);
    EXPECT_EQ(slide->SlideResetAll(), 0);
    EXPECT_EQ(fade->CFadeReset(3), 0) << "the fade was reset";
    const std::uint64_t from = board().journal().mark();
    go();
    EXPECT_TRUE(writes_since(from).empty());
    EXPECT_EQ(zt::diff_pixels(bank(0), before), 0);
}

TEST_F(SlideOnAir, MotionHelpersStepTheRecordTheyAreGiven)
{
    CMoveBox start, current;
    tagSLIDECOMP comp;
    // Sliding out rightwards over a limit of 10 in 3 steps: 3, 6, 10.
    ASSERT_EQ(slide->SlideSetOne(start, &comp, 0, 0, 3, 40, 20, 10), 0);
    std::vector<long> offsets;
    std::vector<int> results;
    for (int i = 0; i < 4; ++i) {
        int result = -1;
        results.push_back(slide->NextSlideComp(start, current, &comp, result));
        EXPECT_EQ(result, results.back());
        offsets.push_back(current.x1);
    }
    EXPECT_EQ(offsets, (std::vector<long>{3, 6, 10, 10}));
    EXPECT_EQ(results, (std::vector<int>{1, 1, 1, 2})) << "y does not move; x finishes after its last step";
    int result = -1;
    EXPECT_EQ(slide->SlideSetOne(start, nullptr, 0, 0, 3, 40, 20, 10), -1);
    EXPECT_EQ(slide->NextSlideComp(start, current, nullptr, result), 2);
    EXPECT_EQ(result, 2);
}

TEST_F(SlideOnAir, NoSlotThreadOutlivesItsRun)
{
    const size_t handles = zk::open_handle_count();
    ASSERT_EQ(slide->SlideSet(1, 3, 4, 2, 0, 0, 0, 0, 0, 30, 30, 1, 0, 0, 0, 0), 0);
    ASSERT_EQ(slide->SlideSet(2, 3, 4, 2, 0, 0, 0, 40, 0, 30, 30, 1, 0, 0, 0, 0), 0);
    go();
    EXPECT_EQ(zk::open_handle_count(), handles) << "the slots' threads were joined and closed";
}

} // namespace
