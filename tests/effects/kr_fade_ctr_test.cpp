// The fade controller on a stepped board: which frame of which strip reaches which field (read
// from the board journal with a checksum of the rows written), the delay, the end of a run,
// the stop and reset rules, the wait's answers, every message with its arguments, many fades
// at once, the end copy into the banks, and no thread left behind.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "effects/fade_core.h"
#include "effects/fade_slide_fixture.h"
#include "platform/testing/board.h"

namespace {

using zt::GfbWrite;

class FadeControl : public zt::FadeSlideTest {};

struct FadeRun {
    int mode, frames, delay;
    long x, y, w, h;
    bool start_on_second;  // the first field after the start is a second field
};
void PrintTo(const FadeRun& r, std::ostream* os)
{
    *os << "mode " << r.mode << ", " << r.frames << " frames, delay " << r.delay << ", " << r.w << "x" << r.h << " at "
        << r.x << "," << r.y << (r.start_on_second ? ", from a second field" : "");
}

class FadeFields : public zt::FadeSlideTest, public ::testing::WithParamInterface<FadeRun> {
protected:
    // Steps to just before a field of the wanted parity.
    void align(bool next_is_second)
    {
        if ((board().current_field() % 2 == 0) != next_is_second) {
            ASSERT_TRUE(board().step_fields(1));
        }
    }
};

TEST_P(FadeFields, FrameKGoesOutOnEvents2kPlus1And2kPlus2AfterTheDelay)
{
    const FadeRun& c = GetParam();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    align(c.start_on_second);
    ASSERT_EQ(fade->FadeSet(7, c.mode, c.frames, c.delay, 0, c.x, c.y, c.w, c.h, 1), 1);
    CKrFrameBuffer strip;  // what the fade is to play: A from bank 0, B from bank 1
    ASSERT_EQ(zk::fx::build_fade_strip(c.mode, bank(0), bank(1), c.x, c.y, c.w, c.h, c.frames, strip), 0);
    const std::uint64_t from = board().journal().mark();
    const long long start = board().current_field();
    ASSERT_EQ(fade->CFadeStart(), 1);
    EXPECT_EQ(fade->GetActive(), 1);
    ASSERT_TRUE(board().step_fields(c.delay + 2 * c.frames + 2));

    std::vector<GfbWrite> expected;
    for (long k = 0; k < c.frames; ++k) {
        for (long e = 1; e <= 2; ++e)
            expected.push_back(zt::expected_write(start + c.delay + 2 * k + e, strip, 0, k * c.h, c.w, c.h, c.x, c.y));
    }
    EXPECT_EQ(writes_since(from), expected);
    EXPECT_EQ(fade->GetActive(), 0) << "the controller has seen the fade finish";
    EXPECT_EQ(fade->FadeWait(), 1);
    // On air at the end: the incoming picture, or nothing after a fade out.
    const CKrFrameBuffer end = c.mode == 1 ? CKrFrameBuffer(c.w, c.h, 1) : cut(bank(1), c.x, c.y, c.w, c.h);
    EXPECT_EQ(zt::diff_pixels(front(c.x, c.y, c.w, c.h), end), 0);
    EXPECT_EQ(zt::diff_pixels(bank(0), *banks.GetGfb(0)), 0) << "the banks are left alone until FadeEndCopy";
}

INSTANTIATE_TEST_SUITE_P(
    Table, FadeFields,
    ::testing::Values(FadeRun{0, 4, 0, 101, 51, 40, 21, false}, FadeRun{1, 4, 0, 101, 51, 40, 21, false},
                      FadeRun{2, 5, 0, 100, 50, 40, 20, true}, FadeRun{3, 4, 0, 101, 51, 40, 21, false},
                      FadeRun{4, 6, 0, 0, 0, 33, 17, true},
                      // One frame, two frames, a long delay, the corner of the picture, the whole picture.
                      FadeRun{0, 1, 0, 7, 8, 9, 10, false}, FadeRun{3, 2, 1, 7, 8, 9, 10, true},
                      FadeRun{0, 16, 0, 100, 100, 200, 50, false}, FadeRun{2, 3, 10, 680, 465, 40, 21, true},
                      FadeRun{4, 3, 3, 0, 0, 720, 486, false}),
    [](const auto& info) { return "run" + std::to_string(info.index); });

TEST_F(FadeControl, AStopEndsAFadeAtTheStartOfItsCycle)
{
    // Stopped before its first field: it ends at once, nothing shown; its strip stays for the
    // end copy.
    const std::uint64_t from = board().journal().mark();
    ASSERT_EQ(fade->FadeSet(2, 3, 4, 0, 0, 10, 10, 8, 6, 1), 1);
    ASSERT_EQ(fade->CFadeStart(), 1);
    EXPECT_EQ(fade->CFadeStop(2), 1);
    ASSERT_TRUE(board().step_fields(3));
    EXPECT_TRUE(writes_since(from).empty());
    EXPECT_EQ(fade->GetActive(), 0);
    EXPECT_EQ(fade->FadeEndCopy(), 1);
    EXPECT_EQ(zt::diff_pixels(cut(bank(0), 10, 10, 8, 6), cut(bank(1), 10, 10, 8, 6)), 0);

    // Stopped in its second frame: a fade plays one cycle, so it still plays to its last frame.
    const std::uint64_t again = board().journal().mark();
    ASSERT_EQ(fade->FadeSet(2, 0, 4, 0, 0, 10, 10, 8, 6, 1), 1) << "a stopped fade is reset by the next FadeSet";
    ASSERT_EQ(fade->CFadeStart(), 1);
    ASSERT_TRUE(board().step_fields(3));
    EXPECT_EQ(fade->CFadeStopAll(), 1);
    ASSERT_TRUE(board().step_fields(8));
    EXPECT_EQ(writes_since(again).size(), 8u);
    EXPECT_EQ(fade->GetActive(), 0);

    zt::ReportedTexts texts;
    EXPECT_EQ(fade->CFadeStop(32), 0);
    EXPECT_EQ(fade->CFadeStop(-1), 0);
    EXPECT_EQ(texts.take(), (std::vector<std::string>{"FadeNo Err[32]", "FadeNo Err[-1]"}));
}

TEST_F(FadeControl, ResetRefusesARunningFadeAndChangesNothing)
{
    zt::ReportedTexts texts;
    const std::uint64_t from = board().journal().mark();
    ASSERT_EQ(fade->FadeSet(31, 1, 3, 0, 2, 50, 60, 10, 10, 3), 1);
    ASSERT_EQ(fade->CFadeStart(), 1);
    ASSERT_TRUE(board().step_fields(1));
    EXPECT_EQ(fade->CFadeReset(31), 0);
    EXPECT_EQ(fade->FadeSet(31, 0, 9, 0, 0, 0, 0, 5, 5, 1), 0);
    EXPECT_EQ(texts.take(), std::vector<std::string>{"FadeReset Err[31]"});
    EXPECT_EQ(fade->CFadeStart(), 1) << "nothing new to start";
    ASSERT_TRUE(board().step_fields(7));
    CKrFrameBuffer strip;
    ASSERT_EQ(zk::fx::build_fade_strip(1, bank(2), bank(3), 50, 60, 10, 10, 3, strip), 0);
    const std::vector<GfbWrite> seen = writes_since(from);
    ASSERT_EQ(seen.size(), 6u) << "the first fade played on, untouched";
    EXPECT_EQ(seen.back(), zt::expected_write(seen.back().field, strip, 0, 20, 10, 10, 50, 60));

    EXPECT_EQ(fade->CFadeReset(31), 1) << "ended: it may go";
    EXPECT_EQ(fade->CFadeReset(31), 0) << "already free";
    for (int no : {-1, 32}) EXPECT_EQ(fade->CFadeReset(no), 0);
    ASSERT_EQ(fade->FadeSet(4, 2, 3, 0, 0, 0, 0, 5, 5, 1), 1);
    ASSERT_EQ(fade->FadeSet(5, 2, 3, 0, 0, 0, 0, 5, 5, 1), 1);
    EXPECT_EQ(fade->CFadeResetAll(), 1);
    EXPECT_EQ(fade->CFadeReset(4) + fade->CFadeReset(5), 0) << "both freed";
    const CKrFrameBuffer before = bank(0);
    EXPECT_EQ(fade->FadeEndCopy(), 1);
    EXPECT_EQ(zt::diff_pixels(bank(0), before), 0) << "free slots copy nothing";
    EXPECT_TRUE(texts.take().empty());
}

// Every refusal of FadeSet with its text and arguments; each leaves the fade already prepared in
// that slot as it was (the arguments are all checked before the slot is reset).
TEST_F(FadeControl, EveryRefusalSaysWhyAndKeepsThePreparedFade)
{
    ASSERT_EQ(fade->FadeSet(6, 0, 2, 0, 0, 20, 30, 12, 8, 1), 1);
    struct Refusal {
        int no, mode, speed, des, x, y, w, h, sou;
        const char* text;
    };
    const Refusal refusals[] = {
        {32, 0, 2, 0, 0, 0, 5, 5, 1, "FadeNo Err[32]"},
        {-3, 0, 2, 0, 0, 0, 5, 5, 1, "FadeNo Err[-3]"},
        {6, 0, 0, 0, 0, 0, 5, 5, 1, "FadeSpeed Err[6]"},
        {6, 0, -2, 0, 0, 0, 5, 5, 1, "FadeSpeed Err[6]"},
        {6, 0, 2, 0, 0, 0, 721, 5, 1, "FadeSizeW Err[6]721"},
        {6, 0, 2, 0, 0, 0, 0, 5, 1, "FadeSizeW Err[6]0"},
        {6, 0, 2, 0, 0, 0, 5, 487, 1, "FadeSizeH Err[6]487"},
        {6, 0, 2, 0, 0, 0, 5, -1, 1, "FadeSizeH Err[6]-1"},
        {6, 0, 2, 4, 0, 0, 5, 5, 1, "Fade DesBank Err[6]4"},
        {6, 0, 2, -1, 0, 0, 5, 5, 1, "Fade DesBank Err[6]-1"},
        {6, 0, 2, 0, 0, 0, 5, 5, 4, "Fade SouBank Err[6]4"},
        {6, 5, 2, 0, 0, 0, 5, 5, 1, "Fade Mode Error"},
        {6, -1, 2, 0, 0, 0, 5, 5, 1, "Fade Mode Error"},
    };
    zt::ReportedTexts texts;
    for (const Refusal& r : refusals) {
        EXPECT_EQ(fade->FadeSet(r.no, r.mode, r.speed, 0, r.des, r.x, r.y, r.w, r.h, r.sou), 0) << r.text;
        EXPECT_EQ(texts.take(), std::vector<std::string>{r.text});
    }
    const std::uint64_t from = board().journal().mark();
    ASSERT_EQ(fade->CFadeStart(), 1);
    ASSERT_TRUE(board().step_fields(5));
    EXPECT_EQ(writes_since(from).size(), 4u) << "the fade prepared first plays";

    // A strip that cannot be built (the rectangle runs off the banks) is refused and named, and
    // the slot is left free.
    EXPECT_EQ(fade->FadeSet(6, 3, 4, 0, 0, 700, 0, 100, 20, 1), 0);
    EXPECT_EQ(fade->FadeSet(9, 0, 4, 0, 0, 0, 480, 10, 20, 1), 0);
    EXPECT_EQ(texts.take(), (std::vector<std::string>{"FadeStrip Err[6]", "FadeStrip Err[9]"}));
    EXPECT_EQ(fade->CFadeReset(6), 0) << "free";
    CKrFadeCtr without_banks;
    ASSERT_EQ(without_banks.Initial(graph.get(), nullptr), 1);
    EXPECT_EQ(without_banks.FadeSet(0, 0, 4, 0, 0, 0, 0, 10, 10, 1), 0);
    EXPECT_EQ(texts.take(), std::vector<std::string>{"FadeStrip Err[0]"});
}

TEST_F(FadeControl, WaitAnswersOneAtOnceThenBlocksUntilTheLastFadeEnds)
{
    {
        zk::IdlePump pump(board());
        EXPECT_EQ(fade->FadeWait(), 1) << "no fade started";
        pump.stop();
        EXPECT_EQ(pump.fields(), 0);
    }
    ASSERT_EQ(fade->FadeSet(0, 3, 3, 0, 0, 0, 0, 16, 16, 1), 1);
    ASSERT_EQ(fade->FadeSet(1, 4, 12, 5, 0, 20, 0, 16, 16, 1), 1);
    const std::uint64_t from = board().journal().mark();
    const long long start = board().current_field();
    ASSERT_EQ(fade->CFadeStart(), 1);
    {
        zk::IdlePump pump(board());
        EXPECT_EQ(fade->FadeWait(), 0);
        pump.stop();
        EXPECT_FALSE(pump.failed());
    }
    const std::vector<GfbWrite> seen = writes_since(from);
    ASSERT_EQ(seen.size(), 30u) << "both fades played to their ends before the wait returned";
    EXPECT_EQ(seen.back().field, start + 5 + 24);
    EXPECT_LE(board().current_field(), start + 5 + 24 + 2 + 18) << "found within a 300 ms look";
    EXPECT_EQ(fade->FadeWait(), 1) << "nothing runs";
}

TEST_F(FadeControl, ThirtyTwoFadesRunTogether)
{
    const std::uint64_t from = board().journal().mark();
    const long long start = board().current_field();
    for (int no = 0; no < 32; ++no) {
        // Fade n: n % 5 its mode, 1 + n % 7 frames, n % 3 fields of delay, its own rectangle.
        ASSERT_EQ(fade->FadeSet(no, no % 5, 1 + no % 7, no % 3, 0, 20 * no, 2 * no, 9, 7, 1), 1);
    }
    ASSERT_EQ(fade->CFadeStart(), 1);
    ASSERT_TRUE(board().step_fields(2 + 14 + 2));
    std::vector<std::vector<GfbWrite>> per_fade(32);
    for (const GfbWrite& w : writes_since(from)) per_fade[w.words[1] / 20].push_back(w);
    for (int no = 0; no < 32; ++no) {
        SCOPED_TRACE(::testing::Message() << "fade " << no);
        const int frames = 1 + no % 7, delay = no % 3;
        CKrFrameBuffer strip;
        ASSERT_EQ(zk::fx::build_fade_strip(no % 5, bank(0), bank(1), 20 * no, 2 * no, 9, 7, frames, strip), 0);
        std::vector<GfbWrite> expected;
        for (long e = 1; e <= 2 * frames; ++e)
            expected.push_back(zt::expected_write(start + delay + e, strip, 0, (e - 1) / 2 * 7, 9, 7, 20 * no, 2 * no));
        EXPECT_EQ(per_fade[static_cast<size_t>(no)], expected);
    }
    EXPECT_EQ(fade->GetActive(), 0);
}

TEST_F(FadeControl, EndCopyPutsEachLastFrameIntoItsDestinationBank)
{
    ASSERT_EQ(fade->FadeSet(0, 1, 5, 0, 2, 30, 40, 50, 20, 3), 1);  // fade out: leaves nothing
    ASSERT_EQ(fade->FadeSet(1, 3, 5, 0, 2, 130, 40, 50, 20, 3), 1); // dissolve: leaves B
    const CKrFrameBuffer before = bank(2);
    EXPECT_EQ(fade->FadeEndCopy(), 1) << "prepared slots count, started or not";
    CKrFrameBuffer want = before;
    ASSERT_EQ(want.FbCopy(banks.GetGfb(3), 130, 40, 50, 20, 130, 40, 0, nullptr), 0);
    for (long j = 0; j < 20; ++j)
        for (long i = 0; i < 50; ++i) zt::set_px(want, 30 + i, 40 + j, 0);
    EXPECT_EQ(zt::diff_pixels(bank(2), want), 0);
}

TEST_F(FadeControl, NoPlayerOutlivesItsController)
{
    const size_t handles = zk::open_handle_count();
    {
        CKrFadeCtr own;
        ASSERT_EQ(own.Initial(graph.get(), &banks), 1);
        ASSERT_EQ(own.FadeSet(3, 0, 16, 0, 0, 100, 100, 200, 50, 1), 1);
        ASSERT_EQ(own.FadeSet(4, 1, 16, 0, 0, 300, 100, 200, 50, 1), 1);
        ASSERT_EQ(own.CFadeStart(), 1);
        ASSERT_TRUE(zk::settle());
        // Its players wait for fields that never come: the destructor ends them.
    }
    EXPECT_EQ(zk::open_handle_count(), handles);
}

} // namespace
