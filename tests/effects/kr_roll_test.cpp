// Rolls and crawls on a stepped board: what reaches the graphics device on every field (writes
// with a checksum of their rows, display positions, copies inside the frame buffer) against the
// rules of each way of rolling and each start mode, the picture left on air at the end, the end
// event on the field the roll ends, breaks, holds and restarts, the steps at their caps, the
// conversions between durations and steps, what a roll takes at each field rate, refusals, and
// no thread or handle left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "effects/kernels/subpixel.h"
#include "effects/roll_fixture.h"
#include "framebuffer/mtx_color.h"
#include "platform/board/video_standard.h"
#include "platform/win32/win32_base.h"

namespace {

using zt::GfbWrite;

class RollOnAir : public zt::RollTest {
protected:
    // Starts the roll and steps until it ends; the field it started in (the first field it
    // moves is the next) and, in `fields`, how many it took. The end event is checked to be
    // signalled on the last field and not before.
    long long run_roll(long& fields, CEvent* ended = nullptr)
    {
        const long long start = board().current_field();
        EXPECT_EQ(roll->StartRoll(), 1);
        fields = 0;
        while (roll->GetStateRoll() && fields < 5000) {
            if (ended) {
                EXPECT_FALSE(ended->Lock(0)) << "signalled before the roll ended, field " << fields;
            }
            if (!board().step_fields(1)) break;
            ++fields;
        }
        if (ended) {
            EXPECT_TRUE(ended->Lock(0)) << "the end event";
        }
        return start;
    }
    // The sub-pixel picture k of `pic` made by the plain reference.
    static CKrFrameBuffer tenth(const CKrFrameBuffer& pic, int k)
    {
        CKrFrameBuffer out(static_cast<long>(pic.GetWidth()), static_cast<long>(pic.GetHeight()), 0);
        zk::subpixel_picture_ref(out.GetBufferDWord(), pic.GetBufferDWord(), pic.GetWidth(), pic.GetHeight(),
                                 static_cast<unsigned>(k));
        return out;
    }
    static CKrFrameBuffer blank() { return CKrFrameBuffer(720, 486, 1); }
    // What SetupRoll puts up in each start mode: the first screen, a clear one, or nothing; the
    // vertical-sync thread then copies it to the front on the next two fields.
    std::vector<std::string> setup_lines(long long start, int mode, const CKrFrameBuffer& pic)
    {
        if (mode == 2) return {};
        const CKrFrameBuffer screen = mode == 0 ? zt::cut_picture(pic, 0, 0, 720, 486) : blank();
        return {back_write_line(start, screen), field_work_line(start + 1)};
    }
};

// ---- the sub-pixel roll ------------------------------------------------------------------

// A roll's step and start mode, and the picture's size along the way it moves.
struct RollCase {
    int step, mode;
    long size;
    friend std::ostream& operator<<(std::ostream& os, const RollCase& c)
    {
        return os << "step " << c.step << " mode " << c.mode << " size " << c.size;
    }
};

class SubpixelRoll : public RollOnAir, public ::testing::WithParamInterface<RollCase> {};

// Every field writes one whole field of the picture from the sub-pixel copy of its tenth: in
// mode 0 the screen at the position (the first field from the row below, to line 1), in modes
// 1 and 2 the rows that have risen from the bottom edge. The picture's last screen is left.
TEST_P(SubpixelRoll, WritesEachFieldFromThePictureOfItsTenth)
{
    const RollCase c = GetParam();
    CKrFrameBuffer pic = picture(720, c.size);
    std::vector<CKrFrameBuffer> tenths;
    for (int k = 0; k < 10; ++k) tenths.push_back(k == 0 ? pic : tenth(pic, k));
    ASSERT_EQ(roll->SetRoll(&pic, c.step, 1, c.mode), 1);
    CEvent ended;
    roll->SetRollEndEvent(&ended);
    const std::uint64_t from = board().journal().mark();
    long fields = 0;
    const long long start = run_roll(fields, &ended);
    EXPECT_EQ(host->puts, c.mode == 2 ? 0 : 1);

    std::vector<std::string> want = setup_lines(start, c.mode, pic);
    const long end = c.size - (c.mode == 0 ? 486 : 0);
    long position = 0, last[2] = {0, 0}, roll_fields = 0;
    for (long long f = start + 1; last[0] < end || last[1] < end; ++f, ++roll_fields) {
        const int second = static_cast<int>(f % 2);
        if (f == start + 2 && c.mode != 2) want.push_back(field_work_line(f));
        long p = (position + c.step) / 10;
        int k = static_cast<int>((position + c.step) % 10);
        if ((c.step / 10) % 2 == 1 && k == 0) k = 5;
        if (p >= end) p = end, k = 0;
        const CKrFrameBuffer& src = tenths[static_cast<size_t>(k)];
        if (c.mode == 0) {
            want.push_back(line(second ? zt::expected_write(f, src, 0, p, 720, 486, 0, 0)
                                       : zt::expected_write(f, src, 0, p + 1, 720, 486, 0, 1)));
        } else if (const long v = std::min(p, 486L); v > 0) {
            want.push_back(line(zt::expected_write(f, src, 0, p - v, 720, v, 0, 486 - v)));
        }
        last[second] = p;
        position = std::min(position + c.step, end * 10);
    }
    const std::vector<std::string> got = trace_since(from);
    EXPECT_EQ(got, want) << "seed " << seed;
    EXPECT_EQ(fields, roll_fields);
    EXPECT_EQ(zt::diff_pixels(shown(), zt::cut_picture(pic, 0, c.size - 486, 720, 486)), 0);
}

INSTANTIATE_TEST_SUITE_P(StepsAndModes, SubpixelRoll,
                         ::testing::Values(RollCase{25, 0, 526},   // 2.5 px, starts on the first screen
                                           RollCase{30, 0, 520},   // odd whole pixels: the half-pixel picture
                                           RollCase{7, 0, 490},    // under a pixel a field
                                           RollCase{595, 0, 1100}, // just under the cap
                                           RollCase{45, 1, 530},   // enters a clear screen
                                           RollCase{133, 2, 600}));

// ---- the scrolling roll ------------------------------------------------------------------


class ScrollRoll : public RollOnAir, public ::testing::WithParamInterface<RollCase> {};

// A whole even number of pixels a field: the display is held at the top, the new rows are
// written below the picture (line 486 on, that field's lines) and the field is moved up over
// them by the hardware, so only d rows a field are written.
TEST_P(ScrollRoll, WritesOnlyTheNewRowsAndMovesTheFieldUp)
{
    const RollCase c = GetParam();
    CKrFrameBuffer pic = picture(720, c.size);
    ASSERT_EQ(roll->SetRoll(&pic, c.step, 1, c.mode), 1);
    const std::uint64_t from = board().journal().mark();
    long fields = 0;
    const long long start = run_roll(fields);

    std::vector<std::string> want = setup_lines(start, c.mode, pic);
    const long end = c.size - (c.mode == 0 ? 486 : 0);
    long position = 0, last[2] = {0, 0};
    for (long long f = start + 1; last[0] < end || last[1] < end; ++f) {
        const int second = static_cast<int>(f % 2);
        if (f == start + 2 && c.mode != 2) want.push_back(field_work_line(f));
        const long q = (position + c.step + 5) / 10;
        const long p = std::min(q + q % 2, end);
        const long d = p - last[second];
        want.push_back(display_line(f, 0));
        if (d > 0) {
            want.push_back(line(zt::expected_write(f, pic, 0, last[second] + (c.mode == 0 ? 486 : 0), 720, d, 0, 486)));
            want.push_back(field_copy_line(f, 0, d, 720, 486, 0, -d / 2));
        }
        last[second] = p;
        position = std::min(position + c.step, end * 10);
    }
    EXPECT_EQ(trace_since(from), want) << "seed " << seed;
    EXPECT_EQ(zt::diff_pixels(shown(), zt::cut_picture(pic, 0, c.size - 486, 720, 486)), 0);
}

INSTANTIATE_TEST_SUITE_P(StepsAndModes, ScrollRoll,
                         ::testing::Values(RollCase{20, 0, 546},    // 2 px: no sub-pixel pictures
                                           RollCase{600, 0, 2000},  // the cap: 60 px a field
                                           RollCase{40, 1, 600},
                                           RollCase{80, 2, 700}));

// ---- the crawl ---------------------------------------------------------------------------


// Crawls run with the telop configuration built, so that the 2D DVE records reach channels 1
// and 3.
class CrawlOnAir : public RollOnAir {
protected:
    void SetUp() override
    {
        RollOnAir::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(graph->BilGraph_TelopNormal(), 0) << GetLastErrorText();
        ASSERT_EQ(graph->FgPlay(), S_OK);
        ASSERT_TRUE(board().step_fields(3));
    }
    // The record shifting the picture left by k tenths of a pixel, word by word: definition 0,
    // horizontal position k × (−1/7200) of the width in 8.24 fixed point, vertical position 0,
    // both scales 1.0, border width 0, border and shadow colour black in YUV, no shadow.
    static std::vector<std::string> dve_lines(long long field, int k)
    {
        const auto pos = static_cast<std::int32_t>(std::trunc(k * (-1.0 / 7200) * 16777216 + 0.5));
        MtxColor colour;
        const std::uint32_t black = colour.ARGBtoYUV(0);
        const std::uint32_t words[12] = {0, static_cast<std::uint32_t>(pos), 0, 0x1000000, 0x1000000, 0, black, black,
                                         0, 0, 0, 0};
        std::vector<std::uint8_t> bytes;
        for (std::uint32_t w : words)
            for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(w >> (8 * i)));
        return {key_line(field, "Fiesta1:2D DVE In", bytes), key_line(field, "Fiesta3:2D DVE In", bytes)};
    }
    // The keyframe lines of the trace since `from`.
    std::vector<std::string> keys_since(std::uint64_t from)
    {
        std::vector<std::string> out;
        for (const std::string& l : trace_since(from))
            if (l.find(" key ") != std::string::npos) out.push_back(l);
        return out;
    }
};

class Crawl : public CrawlOnAir, public ::testing::WithParamInterface<RollCase> {};

// Every field sends the 2D DVE the fraction of a pixel computed four fields earlier (the copy
// it belongs to reaches the air that much later), then writes the new columns right of the
// picture (column 720 on, that field's lines) and moves the field left over them. At the end
// the 2D DVE goes back to rest.
TEST_P(Crawl, WritesOnlyTheNewColumnsAndMovesTheFieldLeft)
{
    const RollCase c = GetParam();
    CKrFrameBuffer pic = picture(c.size, 486);
    ASSERT_EQ(roll->SetRoll(&pic, c.step, 0, c.mode), 1);
    const std::uint64_t from = board().journal().mark();
    long fields = 0;
    const long long start = run_roll(fields);

    std::vector<std::string> want = setup_lines(start, c.mode, pic);
    const long end = c.size - (c.mode == 0 ? 720 : 0);
    long position = 0, last[2] = {0, 0};
    std::vector<int> fractions;
    long long f = start + 1;
    for (; last[0] < end || last[1] < end; ++f) {
        const int second = static_cast<int>(f % 2);
        if (f == start + 2 && c.mode != 2) want.push_back(field_work_line(f));
        const size_t i = fractions.size();
        for (const std::string& l : dve_lines(f, i >= 4 ? fractions[i - 4] : 0)) want.push_back(l);
        fractions.push_back(static_cast<int>((position + c.step) % 10));
        const long p = std::min((position + c.step) / 10, end);
        const long d = p - last[second];
        if (d > 0) {
            want.push_back(line(zt::expected_write(f, pic, last[second] + (c.mode == 0 ? 720 : 0), 0, d, 486, 720, 0)));
            want.push_back(field_copy_line(f, d, 0, 720, 486, -d, 0));
        }
        last[second] = p;
        position = std::min(position + c.step, end * 10);
    }
    for (const std::string& l : dve_lines(f - 1, 0)) want.push_back(l);
    EXPECT_EQ(trace_since(from), want) << "seed " << seed;
    EXPECT_EQ(zt::diff_pixels(shown(), zt::cut_picture(pic, c.size - 720, 0, 720, 486)), 0);
}

INSTANTIATE_TEST_SUITE_P(StepsAndModes, Crawl,
                         ::testing::Values(RollCase{45, 0, 900},    // 4.5 px
                                           RollCase{240, 0, 2000},  // the cap: 24 px
                                           RollCase{3, 0, 740},     // 0.3 px
                                           RollCase{100, 1, 800},
                                           RollCase{77, 2, 760}));

// A crawl broken off, or abandoned when its fields stop coming, leaves the 2D DVE at rest.
TEST_F(CrawlOnAir, ABrokenOrAbandonedCrawlPutsThe2dDveBackToRest)
{
    CKrFrameBuffer pic = picture(4000, 486);
    ASSERT_EQ(roll->SetRoll(&pic, 45, 0, 0), 1);
    ASSERT_EQ(roll->StartRoll(), 1);
    ASSERT_TRUE(board().step_fields(20));
    std::uint64_t from = board().journal().mark();
    EXPECT_EQ(roll->BreakRoll(), 1);
    ASSERT_TRUE(board().step_fields(2));
    ASSERT_EQ(roll->GetStateRoll(), 0);
    std::vector<std::string> keys = keys_since(from);
    ASSERT_GE(keys.size(), 2u);
    const long long ended = std::stoll(keys.back().substr(1)); // the field it ended in
    EXPECT_EQ(std::vector<std::string>(keys.end() - 2, keys.end()), dve_lines(ended, 0));

    from = board().journal().mark();
    {
        zk::IdlePump pump(board(), 100);
        CKrRoll lone;
        ASSERT_EQ(lone.Initial(graph.get(), static_cast<zk::RollHost*>(host.get())), 1);
        ASSERT_EQ(lone.SetRoll(&pic, 45, 0, 2), 1);
        ASSERT_EQ(lone.StartRoll(), 1);
        ASSERT_EQ(lone.SetDveHSub(7), 0); // as if it had shifted the picture
    }
    keys = keys_since(from);
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(keys.begin() + 2, keys.end()), dve_lines(board().current_field(), 0));
}

// ---- breaks, holds, restarts -------------------------------------------------------------

struct BreakCase {
    int step, direction;
    long size; // along the way it moves
    friend std::ostream& operator<<(std::ostream& os, const BreakCase& c)
    {
        return os << "step " << c.step << " direction " << c.direction << " size " << c.size;
    }
};

class RollBreak : public RollOnAir, public ::testing::WithParamInterface<BreakCase> {};

// A break ends the roll within the next two fields where it has got to: the end event is
// signalled, and both fields of the screen show the picture at the position of the break.
TEST_P(RollBreak, EndsWithinTwoFieldsWhereItIs)
{
    const BreakCase c = GetParam();
    CKrFrameBuffer pic = c.direction ? picture(720, c.size) : picture(c.size, 486);
    ASSERT_EQ(roll->SetRoll(&pic, c.step, c.direction, 0), 1);
    CEvent ended;
    roll->SetRollEndEvent(&ended);
    EXPECT_EQ(roll->BreakRoll(), 0) << "nothing runs yet";
    ASSERT_EQ(roll->StartRoll(), 1);
    ASSERT_TRUE(board().step_fields(12));
    ASSERT_EQ(roll->GetStateRoll(), 1);
    const long position = roll->GetStateNowPosRoll();
    EXPECT_EQ(position, 12L * c.step);
    EXPECT_EQ(roll->BreakRoll(), 1);
    ASSERT_TRUE(board().step_fields(2));
    EXPECT_EQ(roll->GetStateRoll(), 0);
    EXPECT_TRUE(ended.Lock(0));
    EXPECT_EQ(roll->GetStateNowPosRoll(), 0) << "not running";
    const long at = position / 10;
    const CKrFrameBuffer want = c.direction ? zt::cut_picture(pic, 0, at, 720, 486) : zt::cut_picture(pic, at, 0, 720, 486);
    EXPECT_EQ(zt::diff_pixels(shown(), want), 0) << "seed " << seed;
}

INSTANTIATE_TEST_SUITE_P(EachWay, RollBreak,
                         ::testing::Values(BreakCase{25, 1, 2000}, BreakCase{40, 1, 2000}, BreakCase{130, 0, 4000}));

// A step of 0 set while running holds the roll where it is; a new step moves it on, and the
// roll can be started again from its first screen once it has ended.
TEST_F(RollOnAir, HoldsAtStepZeroAndStartsAgainAfterItsEnd)
{
    CKrFrameBuffer pic = picture(720, 560);
    ASSERT_EQ(roll->SetRoll(&pic, 35, 1, 0), 1);
    ASSERT_EQ(roll->StartRoll(), 1);
    ASSERT_TRUE(board().step_fields(4));
    EXPECT_EQ(roll->GetStatePosSizeRoll(), 74);
    EXPECT_EQ(roll->SetStepRoll(0), 1);
    ASSERT_TRUE(board().step_fields(30));
    EXPECT_EQ(roll->GetStateRoll(), 1);
    EXPECT_EQ(roll->GetStateNowPosRoll(), 140);
    const CKrFrameBuffer held = shown();
    ASSERT_TRUE(board().step_fields(2));
    EXPECT_EQ(zt::diff_pixels(shown(), held), 0) << "a held roll stays where it is";
    EXPECT_EQ(roll->SetStepRoll(100), 1);
    long fields = 0;
    for (; roll->GetStateRoll() && fields < 100; ++fields) ASSERT_TRUE(board().step_fields(1));
    EXPECT_EQ(fields, 7) << "from 14 px to 74 px at 10 px a field, both fields";
    EXPECT_EQ(zt::diff_pixels(shown(), zt::cut_picture(pic, 0, 74, 720, 486)), 0);

    // Ended: the configuration stays; starting again puts the first screen up again.
    EXPECT_EQ(roll->GetStepRoll(), 100);
    EXPECT_EQ(roll->StartRoll(), 1);
    EXPECT_EQ(host->puts, 2);
    for (; roll->GetStateRoll() && fields < 200; ++fields) ASSERT_TRUE(board().step_fields(1));
    EXPECT_EQ(zt::diff_pixels(shown(), zt::cut_picture(pic, 0, 74, 720, 486)), 0);
}

// StartRollSleep starts the same roll: the worker is woken by the fields and never polls.
TEST_F(RollOnAir, StartRollSleepRunsTheSameRoll)
{
    CKrFrameBuffer pic = picture(720, 500);
    // Each run's lines without their field numbers; both runs start on the same parity.
    auto run = [&](int (CKrRoll::*start)()) {
        if (board().current_field() % 2 == 1) {
            EXPECT_TRUE(board().step_fields(1));
        }
        EXPECT_EQ(roll->SetRoll(&pic, 50, 1, 2), 1);
        const std::uint64_t from = board().journal().mark();
        EXPECT_EQ((roll.get()->*start)(), 1);
        for (int i = 0; roll->GetStateRoll() && i < 1000; ++i) EXPECT_TRUE(board().step_fields(1));
        std::vector<std::string> lines = trace_since(from);
        for (std::string& l : lines) l = std::regex_replace(l, std::regex("f[0-9]+ "), "", std::regex_constants::format_first_only);
        return lines;
    };
    const std::vector<std::string> first = run(&CKrRoll::StartRoll);
    EXPECT_EQ(first.size(), 101u) << "500 px at 5 px a field, and the other field's last";
    EXPECT_EQ(run(&CKrRoll::StartRollSleep), first);
}

// ---- setting, steps, durations -----------------------------------------------------------

TEST_F(RollOnAir, SettingHoldsStepsToTheirCapsAndChoosesTheDirection)
{
    CKrFrameBuffer narrow = picture(720, 1086), wide = picture(2000, 486);
    CKrFrameBuffer* n = &narrow;
    CKrFrameBuffer* w = &wide;
    struct Case {
        CKrFrameBuffer* image;
        int step, direction, mode;
        int want_step;
        unsigned long want_ms; // GetTimeRoll, telling roll from crawl
    } cases[] = {
        {n, 10, 1, 0, 10, 10000},    // 600 px at 1 px a field
        {n, 700, 1, 0, 600, 166},    // capped at 60 px
        {n, -5, 1, 0, 1, 100000},    // at least a tenth
        {n, 0, 1, 0, 1, 100000},     // a step of 0 would never end
        {n, 10, 5, 0, 10, 10000},    // unknown direction, 720 wide: a roll
        {w, 10, 5, 0, 10, 21333},    // unknown direction, 2000 wide: a crawl of 1280 px
        {w, 300, 0, 0, 240, 888},    // crawls cap at 24 px
        {w, 10, 0, 7, 10, 21333},    // unknown mode: 0
        {w, 10, 0, 1, 10, 33333},    // mode 1 crawls the whole width
        {n, 20, 1, 2, 20, 9050},     // mode 2 rolls the whole height
    };
    for (const Case& c : cases) {
        ASSERT_EQ(roll->SetRoll(c.image, c.step, c.direction, c.mode), 1) << c.step;
        EXPECT_EQ(roll->GetStepRoll(), c.want_step) << c.step << " " << c.direction;
        EXPECT_EQ(roll->GetTimeRoll(), c.want_ms) << c.step << " " << c.direction << " " << c.mode;
    }

    // SetStepRoll: below 0 holds (0), above the direction's cap is the cap.
    ASSERT_EQ(roll->SetRoll(n, 10, 1, 0), 1);
    const int roll_steps[][2] = {{-5, 0}, {0, 0}, {599, 599}, {601, 600}, {100000, 600}};
    for (const auto& s : roll_steps) EXPECT_EQ((roll->SetStepRoll(s[0]), roll->GetStepRoll()), s[1]);
    EXPECT_EQ(roll->GetTimeRoll(), 166u) << "600 px at 60 px a field";
    ASSERT_EQ(roll->SetRoll(w, 10, 0, 0), 1);
    const int crawl_steps[][2] = {{-1, 0}, {240, 240}, {241, 240}};
    for (const auto& s : crawl_steps) EXPECT_EQ((roll->SetStepRoll(s[0]), roll->GetStepRoll()), s[1]);
    roll->SetStepRoll(0);
    EXPECT_EQ(roll->GetTimeRoll(), 0u) << "a held roll has no duration";
}

TEST_F(RollOnAir, ConversionsBothWays)
{
    // The worked example: 600 px in 10 s is 1 px a field, and back.
    EXPECT_EQ(roll->CompTimeToStep(1086, 10000, 1, 0), 10);
    EXPECT_EQ(roll->CompStepToTime(1086, 10, 1, 0), 10000u);
    CKrFrameBuffer pic = picture(2000, 1086);
    auto* p = &pic;
    EXPECT_EQ(roll->CompTimeToStep(p, 10000, 1, 0), 10) << "the height for a roll";
    EXPECT_EQ(roll->CompTimeToStep(p, 10000, 0, 0), 21) << "the width for a crawl: 1280 px in 10 s";
    EXPECT_EQ(roll->CompStepToTime(p, 10, 1, 0), 10000u);
    EXPECT_EQ(roll->CompStepToTime(p, 10, 0, 2), 33333u);
    // Edges: no time, no step, and pictures smaller than the screen in mode 0 (nothing to roll:
    // 0 ms, never an unsigned wrap; the step is the least).
    EXPECT_EQ(roll->CompTimeToStep(1086, 0, 1, 0), 0);
    EXPECT_EQ(roll->CompStepToTime(1086, 0, 1, 0), 0u);
    EXPECT_EQ(roll->CompStepToTime(1086, -3, 1, 0), 0u);
    EXPECT_EQ(roll->CompStepToTime(100, 10, 1, 0), 0u);
    EXPECT_EQ(roll->CompStepToTime(static_cast<CKrFrameBuffer*>(nullptr), 10, 1, 1), 0u);
    EXPECT_EQ(roll->CompTimeToStep(100, 1000, 1, 0), 1);
    EXPECT_EQ(roll->CompTimeToStep(100000, 1, 1, 0), 600) << "capped";
    EXPECT_EQ(roll->CompTimeToStep(100000, 1, 0, 0), 240) << "capped";

    // Random sizes and steps: the time of a step gives that step back, within the truncations.
    std::mt19937 r(seed);
    for (int i = 0; i < 500; ++i) {
        const int vertical = static_cast<int>(r() % 2), mode = static_cast<int>(r() % 3);
        const int size = 800 + static_cast<int>(r() % 8000);
        const int step = 1 + static_cast<int>(r() % (vertical ? 600 : 240));
        const unsigned long ms = roll->CompStepToTime(size, step, vertical, mode);
        ASSERT_GT(ms, 0u);
        const int back = roll->CompTimeToStep(size, ms, vertical, mode);
        EXPECT_GE(back, step - 1) << size << " " << step << " seed " << seed;
        EXPECT_LE(back, step + step / 10 + 1) << size << " " << step << " seed " << seed;
    }
}

// The conversions count 60 fields a second, as hosts do; the roll moves a step every field of
// the video standard, so it lasts as many fields at every rate, longer in time at 59.94 and 50.
TEST(RollFieldRates, RollsOneStepAFieldOfTheStandard)
{
    for (int standard : {1, 2, 4}) {
        zk::BoardOverride board_override(zk::manual_board_config(standard));
        zk::VirtualBoard& board = board_override.board();
        zk::RegistryOverride registry(zt::built_in_registry());
        CMQGraph graph;
        ASSERT_EQ(graph.Initialize(TRUE), S_OK);
        ASSERT_EQ(graph.BuildGraph(), S_OK);
        CKrGfb banks;
        CVSyncWork work;
        CKrRoll roll;
        CGfbRoll push;
        ASSERT_EQ(roll.Initial(&graph, nullptr), 1);
        zt::FieldClient vsync(graph, zt::roll_vsync_steps(graph, work, roll, push));
        ASSERT_TRUE(vsync.ok());
        CKrFrameBuffer pic(720, 486 + 60, 1);
        ASSERT_EQ(roll.SetRoll(&pic, 10, 1, 2), 1);
        EXPECT_EQ(roll.SetupRoll(), 1) << "mode 2 needs no host";
        EXPECT_EQ(roll.GetTimeRoll(), 9100u) << "546 px at 1 px a field, 60 fields a second";
        const DWORD t0 = GetTickCount();
        ASSERT_EQ(roll.StartRoll(), 1);
        long fields = 0;
        for (; roll.GetStateRoll() && fields < 2000; ++fields) ASSERT_TRUE(board.step_fields(1));
        const double ms = GetTickCount() - t0;
        EXPECT_EQ(fields, 547) << "standard " << standard;
        const zk::FieldRate rate = zk::field_rate(standard);
        EXPECT_NEAR(ms, fields * 1000.0 * static_cast<double>(rate.D) / static_cast<double>(rate.N), 1.5) << "standard " << standard;
    }
}

// ---- sub-pixel pictures ------------------------------------------------------------------

// Every tenth against the blend written out: each byte (a·(10 − k) + b·k) / 10 of a pixel and
// the one below, equal neighbours kept; the last row, which has none below, is the source's.
TEST_F(RollOnAir, SubpixelPicturesBlendEachTenthAndFillTheLastRow)
{
    CKrFrameBuffer src = picture(13, 9);
    CKrFrameBuffer* s = &src;
    CKrFrameBuffer target(3, 3, 1); // re-made at the source's size
    for (int k = 0; k <= 10; ++k) {
        ASSERT_EQ(roll->MakeSubpixcelImage(s, &target, k), 1) << k;
        ASSERT_EQ(target.GetWidth(), 13u);
        ASSERT_EQ(target.GetHeight(), 9u);
        for (long y = 0; y < 9; ++y) {
            for (long x = 0; x < 13; ++x) {
                const DWORD a = zt::px(src, x, y);
                DWORD want = a;
                if (y < 8 && a != zt::px(src, x, y + 1)) {
                    const DWORD b = zt::px(src, x, y + 1);
                    want = 0;
                    for (int sh = 0; sh < 32; sh += 8)
                        want |= (((a >> sh & 255u) * (10 - k) + (b >> sh & 255u) * k) / 10) << sh;
                }
                ASSERT_EQ(zt::px(target, x, y), want) << "k " << k << " at " << x << "," << y << " seed " << seed;
            }
        }
    }
    EXPECT_EQ(roll->MakeSubpixcelImage(s, nullptr, 3), 0);
    EXPECT_EQ(roll->MakeSubpixcelImage(nullptr, &target, 3), 0);
    EXPECT_EQ(roll->MakeSubpixcelImage(s, &target, 11), 0);
    EXPECT_EQ(roll->MakeSubpixcelImage(s, &target, -1), 0);
    EXPECT_EQ(roll->SetSubpixcelImage(s), 1);
    EXPECT_EQ(roll->SetSubpixcelImage(nullptr), 0);
}

// ---- refusals and clearing ---------------------------------------------------------------

TEST_F(RollOnAir, RefusesWhatItCannotDo)
{
    CKrFrameBuffer pic = picture(720, 600), empty;
    EXPECT_EQ(roll->SetRoll(nullptr, 10, 1, 0), 0);
    EXPECT_EQ(roll->GetStepRoll(), 0) << "a null picture clears the roll";
    EXPECT_EQ(roll->SetRoll(&empty, 10, 1, 0), 0) << "nothing to roll";
    EXPECT_EQ(roll->StartRoll(), 0) << "nothing set";
    EXPECT_EQ(roll->SetupRoll(), 0);

    // Modes 0 and 1 put a picture up through the host; without one, or when it fails, they
    // cannot be set up. Mode 2 puts nothing up.
    CKrRoll orphan;
    ASSERT_EQ(orphan.Initial(graph.get(), nullptr), 1);
    for (int mode : {0, 1, 2}) {
        ASSERT_EQ(orphan.SetRoll(&pic, 10, 1, mode), 1);
        EXPECT_EQ(orphan.SetupRoll(), mode == 2 ? 1 : 0) << mode;
    }
    CKrRoll unbuilt;
    ASSERT_EQ(unbuilt.SetRoll(&pic, 10, 1, 2), 1);
    EXPECT_EQ(unbuilt.StartRoll(), 0) << "no graph";
    host->refuse = true;
    ASSERT_EQ(roll->SetRoll(&pic, 10, 1, 0), 1);
    EXPECT_EQ(roll->StartRoll(), 0) << "the first screen could not be put up";
    EXPECT_EQ(roll->GetStateRoll(), 0);
    host->refuse = false;

    // While running: no new roll, no second start, no set-up, the pictures stay.
    ASSERT_EQ(roll->StartRoll(), 1);
    ASSERT_TRUE(board().step_fields(2));
    EXPECT_EQ(roll->SetRoll(&pic, 20, 1, 0), 0);
    EXPECT_EQ(roll->StartRoll(), 0);
    EXPECT_EQ(roll->StartRollSleep(), 0);
    EXPECT_EQ(roll->SetupRoll(), 0);
    EXPECT_EQ(roll->SetSubpixcelImage(&pic), 0);
    EXPECT_EQ(roll->GetStepRoll(), 10) << "the running roll kept";
    EXPECT_EQ(roll->GetStatePosSizeRoll(), 114);
    EXPECT_EQ(roll->BreakRoll(), 1);
    ASSERT_TRUE(board().step_fields(2));
    EXPECT_EQ(roll->GetStateRoll(), 0);
}

// Crear ends a running roll (its fields still come) without signalling the caller's event,
// which it forgets with everything else; the worker is joined and no handle is left.
TEST_F(RollOnAir, CrearEndsARunningRollAndLeavesNothing)
{
    const size_t handles = zk::open_handle_count();
    CKrFrameBuffer pic = picture(720, 2000);
    ASSERT_EQ(roll->SetRoll(&pic, 25, 1, 0), 1);
    CEvent ended;
    roll->SetRollEndEvent(&ended);
    ASSERT_EQ(roll->StartRoll(), 1);
    ASSERT_TRUE(board().step_fields(5));
    const long long before = board().current_field();
    {
        zk::IdlePump pump(board(), 100);
        roll->Crear();
        pump.stop();
        EXPECT_FALSE(pump.failed());
    }
    EXPECT_LE(board().current_field() - before, 2) << "the break took its fields";
    EXPECT_EQ(roll->GetStateRoll(), 0);
    EXPECT_EQ(roll->GetStepRoll(), 0);
    EXPECT_EQ(roll->GetTimeRoll(), 0u);
    EXPECT_FALSE(ended.Lock(0)) << "Crear waits on its own event";
    EXPECT_EQ(roll->StartRoll(), 0) << "cleared";
    EXPECT_EQ(zk::open_handle_count(), handles + 1) << "only the caller's event";

    // A roll whose fields stop coming (the vertical-sync thread has gone) still ends when its
    // controller goes: it waits a little, then ends the worker.
    {
        zk::IdlePump pump(board(), 100);
        CKrRoll lone;
        ASSERT_EQ(lone.Initial(graph.get(), static_cast<zk::RollHost*>(host.get())), 1);
        ASSERT_EQ(lone.SetRoll(&pic, 25, 1, 2), 1);
        ASSERT_EQ(lone.StartRoll(), 1);
    }
    EXPECT_EQ(zk::open_handle_count(), handles + 1);
}

} // namespace
