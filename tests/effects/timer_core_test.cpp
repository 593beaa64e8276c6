// The clock core: steps between readings (minute, hour and midnight rollovers, clocks that were
// set), clocks counting down to zero and up to a stop time tick by tick, the digit images of
// both formats, the composed face, placement and advances in tenths.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <vector>

#include "effects/timer_core.h"
#include "support/test_support.h"

namespace {

using namespace zk::fx;

constexpr int B = kImageBlankDigit, C = kImageColon, BC = kImageBlankColon;

TEST(ClockReading, StepsAcrossRolloversAndIgnoresJumps)
{
    const struct {
        std::uint32_t previous, now, step;
    } cases[] = {
        {time_reading(10, 20, 30, 0), time_reading(10, 20, 30, 100), 100},
        {time_reading(10, 20, 59, 900), time_reading(10, 21, 0, 0), 100},        // minute
        {time_reading(10, 59, 59, 950), time_reading(11, 0, 0, 50), 100},        // hour
        {time_reading(23, 59, 59, 950), time_reading(0, 0, 0, 50), 100},         // midnight
        {time_reading(9, 0, 0, 0), time_reading(9, 0, 30, 0), 30000},           // a late tick
        {time_reading(9, 0, 0, 0), time_reading(9, 0, 59, 999), 59999},
        {time_reading(9, 0, 0, 0), time_reading(9, 1, 0, 0), 100},              // a minute: set
        {time_reading(9, 0, 5, 0), time_reading(9, 0, 0, 0), 100},              // set back
        {time_reading(9, 0, 0, 0), time_reading(12, 0, 0, 0), 100},             // set forward
        {time_reading(9, 0, 0, 0), time_reading(9, 0, 0, 0), 0},
    };
    for (const auto& c : cases) EXPECT_EQ(reading_step(c.previous, c.now, 100), c.step) << c.previous << " -> " << c.now;
    EXPECT_EQ(time_reading(24, 0, 0, 5), 5u);
}

// Ticks a clock by `step` until it stops (at most `limit` ticks); returns the ticks taken and
// the ticks on which its second changed.
int run_until_stopped(ClockRecord& r, std::uint32_t step, int limit, std::vector<int>& changes)
{
    for (int t = 1; t <= limit; ++t) {
        if (tick_clocks({&r, 1}, step) & 1u) changes.push_back(t);
        if (r.started == 0) return t;
    }
    return -1;
}

TEST(ClockTick, CountDownStopsAtZeroAndShowsBlankZeroColonZeroZero)
{
    ClockRecord r;
    r.value = CKrTm(0, 0, 1, 0);
    r.last_second = 1;
    r.started = 1;
    r.count_mode = 1;
    EXPECT_EQ(tick_clocks({&r, 1}, 100), 1u);
    EXPECT_EQ(r.value.GetMilCount(), 900u);
    std::vector<int> changes;
    EXPECT_EQ(run_until_stopped(r, 100, 50, changes), 9);
    EXPECT_EQ(r.value.GetMilCount(), 0u);
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(clock_digit_images(0, r.value), (std::vector<int>{B, 0, C, 0, 0}));
    EXPECT_EQ(tick_clocks({&r, 1}, 100), 0u);  // stopped clocks stay
    EXPECT_EQ(r.value.GetMilCount(), 0u);
}

TEST(ClockTick, CountUpStopsExactlyAtItsStopTime)
{
    ClockRecord r;
    r.started = 1;
    r.stop_mode = 1;
    r.stop_time = CKrTm(0, 0, 10, 0);
    std::vector<int> changes;
    EXPECT_EQ(run_until_stopped(r, 130, 100, changes), 77);  // 77 × 130 = 10010
    EXPECT_EQ(r.value.GetMilCount(), 10000u);
    EXPECT_EQ(changes.size(), 10u);
}

TEST(ClockTick, OnlyStartedClocksMoveAndEachReportsItsOwnSecond)
{
    std::array<ClockRecord, kClocks> r{};
    r[0].started = 1;                            // up from 0.95 s
    r[0].value = CKrTm(950UL);
    r[1].value = CKrTm(500UL);                   // not started
    r[2].started = 1;                            // down from 5.05 s to a stop at 5 s: no new second
    r[2].count_mode = 1;
    r[2].value = CKrTm(5050UL);
    r[2].last_second = 5;
    r[2].stop_mode = 1;
    r[2].stop_time = CKrTm(5000UL);
    r[3].started = 1;                            // up across a minute
    r[3].value = CKrTm(0, 0, 59, 990);
    r[3].last_second = 59;
    EXPECT_EQ(tick_clocks(r, 100), 0b1001u);
    EXPECT_EQ(r[0].value.GetMilCount(), 1050u);
    EXPECT_EQ(r[1].value.GetMilCount(), 500u);
    EXPECT_EQ(r[2].value.GetMilCount(), 5000u);
    EXPECT_EQ(r[2].started, 0);
    EXPECT_EQ(r[3].value.GetMinute(), 1);
    EXPECT_EQ(r[3].value.GetMillisecond(), 90);
}

TEST(ClockDigits, BothFormatsBlankTheirLeadingZeros)
{
    const struct {
        int format;
        CKrTm value;
        std::vector<int> images;
    } cases[] = {
        {1, CKrTm(0, 5, 7, 0), {B, B, BC, B, 5, C, 0, 7}},
        {1, CKrTm(1, 5, 7, 0), {B, 1, C, 0, 5, C, 0, 7}},
        {1, CKrTm(12, 34, 56, 999), {1, 2, C, 3, 4, C, 5, 6}},
        {1, CKrTm(0, 10, 0, 0), {B, B, BC, 1, 0, C, 0, 0}},
        {1, CKrTm(123, 4, 5, 0), {2, 3, C, 0, 4, C, 0, 5}},   // past two digits of hours
        {0, CKrTm(0, 5, 7, 0), {B, 5, C, 0, 7}},
        {0, CKrTm(0, 45, 0, 0), {4, 5, C, 0, 0}},
        {0, CKrTm(1, 30, 0, 0), {9, 0, C, 0, 0}},             // whole minutes past an hour
        {0, CKrTm(0, 75, 0, 0), {7, 5, C, 0, 0}},             // as set, and as counted
        {3, CKrTm(0, 0, 9, 0), {B, 0, C, 0, 9}},              // unknown formats show format 0
    };
    for (const auto& c : cases) {
        EXPECT_EQ(clock_digit_images(c.format, c.value), c.images)
            << "format " << c.format << " at " << c.value.GetMilCount() << " ms";
    }
}

TEST(ClockFace, ImagesLieSideBySideAndMissingOnesLeaveGaps)
{
    std::vector<CKrFrameBuffer> images(kClockImages);
    for (int k = 0; k < kClockImages; ++k) {
        if (k == 7) continue;  // failed to load
        images[static_cast<size_t>(k)].CreateFrameBuffer(k == C ? 2 : 3, 4, 1);
        images[static_cast<size_t>(k)].ClearCol(0xFF000000u | static_cast<DWORD>(k + 1));
    }
    const long width = clock_face_width(0, 3, 2);
    ASSERT_EQ(width, 14);
    EXPECT_EQ(clock_face_width(1, 3, 2), 22);
    CKrFrameBuffer face(width, 4, 1);
    face.ClearCol(0xFFFFFFFFu);  // an older face
    const std::vector<int> seq{B, 5, C, 7, 9};
    ASSERT_EQ(compose_clock(images, seq, face), 0);
    const int column_image[] = {B, B, B, 5, 5, 5, C, C, 9, 9, 9, -1, -1, -1};
    for (long x = 0; x < width; ++x) {
        const DWORD want = column_image[x] < 0 ? 0u : 0xFF000000u | static_cast<DWORD>(column_image[x] + 1);
        EXPECT_EQ(zt::px(face, x, 3), want) << "column " << x;
    }
    EXPECT_EQ(compose_clock(images, std::vector<int>{13}, face), -1);
    EXPECT_EQ(compose_clock(std::span(images).first(12), seq, face), -1);
}

TEST(ClockPlace, KeepsTheFaceOnTheOutput)
{
    const struct {
        long x, y, w, h, px, py;
    } cases[] = {
        {700, 10, 100, 20, 620, 10}, {-5, -9, 100, 20, 0, 0}, {10, 480, 100, 20, 10, 466},
        {620, 466, 100, 20, 620, 466}, {5, 5, 800, 500, 0, 0},
    };
    for (const auto& c : cases) {
        const POINT p = place_clock(c.x, c.y, c.w, c.h);
        EXPECT_EQ(p.x, c.px) << c.x;
        EXPECT_EQ(p.y, c.py) << c.y;
    }
}

TEST(ClockImagePath, KeepsTheFolderAndDropsTheExtension)
{
    EXPECT_EQ(clock_image_path("C:\\clock\\num.tga", 12), "C:\\clock\\num12.tga");
    EXPECT_EQ(clock_image_path("/data/clock/num", 0), "/data/clock/num0.tga");
    EXPECT_EQ(clock_image_path("/data/v1.2/num", 3), "/data/v1.2/num3.tga");
    EXPECT_EQ(clock_image_path("digit.x.png", 10), "digit.x10.tga");
}

TEST(ClockAdvance, TenthsBecomePartsToAddOrTakeAway)
{
    EXPECT_EQ(clock_advance(-15), (ClockAdvance{false, 0, 0, 1, 500}));
    EXPECT_EQ(clock_advance(15), (ClockAdvance{true, 0, 0, 1, 500}));
    EXPECT_EQ(clock_advance(0), (ClockAdvance{true, 0, 0, 0, 0}));
    EXPECT_EQ(clock_advance(36615), (ClockAdvance{true, 1, 1, 1, 500}));
    // Past the millisecond range: held at its largest value instead of wrapping.
    EXPECT_EQ(clock_advance(LONG_MIN), (ClockAdvance{false, 1193, 2, 47, 295}));

    // Taking 1.5 s from a clock at 1.0 s stops at zero.
    const ClockAdvance back = clock_advance(-15);
    CKrTm value(0, 0, 1, 0);
    clock_decrease(value, CKrTm(back.hour, back.minute, back.second, back.millisecond));
    EXPECT_EQ(value.GetMilCount(), 0u);
    CKrTm more(0, 0, 3, 0);
    clock_decrease(more, CKrTm(0, 0, 1, 500));
    EXPECT_EQ(more.GetMilCount(), 1500u);
}

} // namespace
