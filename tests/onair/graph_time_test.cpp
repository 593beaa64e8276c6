// The filter-graph layer's frame arithmetic and the software shuttle's step, as plain tables:
// round trips at 59.94 and 50 frames a second, the rounding at half a field, values far from
// zero, and where the shuttle stands after each look at the clock.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "onair/graph_time.h"

namespace {

constexpr LONGLONG kMost = std::numeric_limits<LONGLONG>::max();
constexpr LONGLONG kLeast = std::numeric_limits<LONGLONG>::min();
const zk::FieldRate kNtsc = zk::field_rate(1); // 60000/1001 fields a second
const zk::FieldRate kPal = zk::field_rate(2);  // 50

struct Standard {
    const char* name;
    int number;
};

class GraphTimeRoundTrip : public ::testing::TestWithParam<Standard> {};

TEST_P(GraphTimeRoundTrip, FramesComeBackFromSecondsAndFromReferenceTime)
{
    const zk::FieldRate r = zk::field_rate(GetParam().number);
    // Up to a thousand years of frames through seconds (doubles still hold them exactly
    // enough); through reference time up to where 2 × frames × R no longer fits in 64 bits,
    // near the end of the range of times.
    for (LONGLONG f : {0LL, 1LL, -1LL, 2LL, 29LL, 30LL, -30LL, 1799LL, 107892LL, -107892LL, 2589408LL,
                       1000000000000LL, -1000000000000LL}) {
        EXPECT_EQ(zk::seconds_to_frames(zk::frames_to_seconds(f, r), r), f) << f;
        EXPECT_EQ(zk::ref_time_to_frames(zk::frames_to_ref_time(f, r), r), f) << f;
        // A quarter of a field either way still names the same frame.
        const REFERENCE_TIME quarter_field = zk::frames_to_ref_time(1, r) / 8;
        EXPECT_EQ(zk::ref_time_to_frames(zk::frames_to_ref_time(f, r) + quarter_field, r), f) << f;
        EXPECT_EQ(zk::ref_time_to_frames(zk::frames_to_ref_time(f, r) - quarter_field, r), f) << f;
    }
    for (LONGLONG f : {10000000000000LL, -10000000000000LL, 20000000000000LL, -20000000000000LL})
        EXPECT_EQ(zk::ref_time_to_frames(zk::frames_to_ref_time(f, r), r), f) << f;
}

INSTANTIATE_TEST_SUITE_P(Rates, GraphTimeRoundTrip,
                         ::testing::Values(Standard{"ntsc", 1}, Standard{"pal", 2}, Standard{"pal_m", 3},
                                           Standard{"sixty", 4}, Standard{"unknown", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

struct TimeCase {
    int standard;
    REFERENCE_TIME time;
    LONGLONG frames;
};

class GraphTimeToFrames : public ::testing::TestWithParam<TimeCase> {};

TEST_P(GraphTimeToFrames, GoesToTheNearestFieldThenDownToWholeFrames)
{
    const TimeCase c = GetParam();
    EXPECT_EQ(zk::ref_time_to_frames(c.time, zk::field_rate(c.standard)), c.frames) << c.time;
}

INSTANTIATE_TEST_SUITE_P(
    Edges, GraphTimeToFrames,
    ::testing::Values(
        // 59.94: a field is 166833⅓ units, 1.5 fields 250250, 3.5 fields 583916⅔.
        TimeCase{1, 250250, 1}, TimeCase{1, 250249, 0}, TimeCase{1, -250250, -1}, TimeCase{1, -250249, 0},
        TimeCase{1, 583917, 2}, TimeCase{1, 583916, 1}, TimeCase{1, 83417, 0},
        // 50: a field is 200000 units.
        TimeCase{2, 300000, 1}, TimeCase{2, 299999, 0}, TimeCase{2, -300000, -1}, TimeCase{2, -299999, 0},
        TimeCase{2, 700000, 2}, TimeCase{2, 699999, 1},
        // The ends of the range: time × 6 needs more than 64 bits.
        TimeCase{1, kMost, 27642473636927}, TimeCase{1, kLeast, -27642473636927},
        TimeCase{2, kMost, 23058430092137}, TimeCase{2, kLeast, -23058430092137}));

struct FrameCase {
    int standard;
    LONGLONG frames;
    REFERENCE_TIME time;
};

class GraphFramesToTime : public ::testing::TestWithParam<FrameCase> {};

TEST_P(GraphFramesToTime, TruncatesTowardZeroAndSaturates)
{
    const FrameCase c = GetParam();
    EXPECT_EQ(zk::frames_to_ref_time(c.frames, zk::field_rate(c.standard)), c.time) << c.frames;
}

INSTANTIATE_TEST_SUITE_P(
    Values, GraphFramesToTime,
    ::testing::Values(FrameCase{1, 1, 333666}, FrameCase{1, -1, -333666}, FrameCase{1, 30, 10010000},
                      FrameCase{2, 1, 400000}, FrameCase{2, 25, 10000000}, FrameCase{4, 1, 333333},
                      FrameCase{1, 10000000000000, 3336666666666666666}, FrameCase{1, kMost, kMost},
                      FrameCase{1, kLeast, kLeast}, FrameCase{2, kMost / 2, kMost}));

struct SecondsCase {
    int standard;
    double seconds;
    LONGLONG frames;
};

class GraphSecondsToFrames : public ::testing::TestWithParam<SecondsCase> {};

TEST_P(GraphSecondsToFrames, RoundsHalfFieldsAwayFromZero)
{
    const SecondsCase c = GetParam();
    EXPECT_EQ(zk::seconds_to_frames(c.seconds, zk::field_rate(c.standard)), c.frames) << c.seconds;
}

INSTANTIATE_TEST_SUITE_P(
    Values, GraphSecondsToFrames,
    ::testing::Values(SecondsCase{2, 0.03, 1}, SecondsCase{2, 0.0299, 0}, SecondsCase{2, -0.03, -1},
                      SecondsCase{1, 0.025026, 1}, SecondsCase{1, 0.025024, 0}, SecondsCase{1, -0.025026, -1},
                      SecondsCase{1, 1.001, 30}, SecondsCase{2, 3600.0, 90000},
                      SecondsCase{1, std::nan(""), 0}, SecondsCase{1, INFINITY, 0}, SecondsCase{1, -INFINITY, 0},
                      SecondsCase{1, 1e300, kMost / 2}, SecondsCase{1, -1e300, kLeast / 2}));

class GraphSnap : public ::testing::TestWithParam<TimeCase> {};

// Here `frames` holds the expected snapped time.
TEST_P(GraphSnap, LandsOnAnEvenFieldCount)
{
    const TimeCase c = GetParam();
    const zk::FieldRate r = zk::field_rate(c.standard);
    const REFERENCE_TIME snapped = zk::snap_to_frame(c.time, r);
    EXPECT_EQ(snapped, c.frames) << c.time;
    if (snapped != kMost) {
        EXPECT_EQ(zk::ref_time_to_fields(snapped, r) % 2, 0) << c.time;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Values, GraphSnap,
    ::testing::Values(TimeCase{1, 0, 0}, TimeCase{1, 166833, 0}, TimeCase{1, 250250, 333666},
                      TimeCase{1, 500500, 333666}, TimeCase{1, 583917, 667333}, TimeCase{1, -250250, -333666},
                      // An odd negative field count goes down to the even one below it.
                      TimeCase{1, -166834, -333666}, TimeCase{2, 699999, 400000}, TimeCase{2, 700000, 800000},
                      TimeCase{1, kMost, 9223372036854642333}, TimeCase{2, kMost, kMost}));

TEST(GraphShuttle, TimePerStepIsOneFrameOverTheSpeed)
{
    EXPECT_DOUBLE_EQ(zk::shuttle_time_per_step(1.0, kPal), 400000.0);
    EXPECT_DOUBLE_EQ(zk::shuttle_time_per_step(-2.0, kPal), 200000.0);
    EXPECT_DOUBLE_EQ(zk::shuttle_time_per_step(0.5, kNtsc), 2.0 * 2.0 * 1001000.0 / 6.0);
    EXPECT_EQ(zk::shuttle_time_per_step(0.0, kPal), 0.0);
    EXPECT_EQ(zk::shuttle_time_per_step(std::nan(""), kPal), 0.0);
}

struct StepCase {
    const char* name;
    ULONGLONG current;
    zk::ShuttleMotion motion;
    double time_per_step;
    REFERENCE_TIME last_tick, now;
    ULONGLONG frame;
    REFERENCE_TIME tick;
};

class GraphShuttleStep : public ::testing::TestWithParam<StepCase> {};

TEST_P(GraphShuttleStep, MovesByTheStepsThatFellDue)
{
    const StepCase c = GetParam();
    const zk::ShuttleStep s = zk::shuttle_step(c.current, c.motion, c.time_per_step, c.last_tick, c.now);
    EXPECT_EQ(s.frame, c.frame);
    EXPECT_EQ(s.last_tick, c.tick);
}

const double kPalFrame = 400000.0;
const double kNtscFrame = 2.0 * 1001000.0 / 6.0;
constexpr ULONGLONG kHugeRange = ULONGLONG{1} << 62;

INSTANTIATE_TEST_SUITE_P(
    Table, GraphShuttleStep,
    ::testing::Values(
        StepCase{"one_step", 10, {1.0, 0, 100, false}, kPalFrame, 0, 400000, 11, 400000},
        StepCase{"remainder_carried", 10, {1.0, 0, 100, false}, kPalFrame, 0, 1000000, 12, 800000},
        StepCase{"slower_than_a_look", 10, {0.5, 0, 100, false}, 2 * kPalFrame, 0, 400000, 10, 0},
        StepCase{"stops_at_the_end", 99, {1.0, 0, 100, false}, kPalFrame, 0, 1200000, 100, 1200000},
        StepCase{"wraps_to_the_start", 99, {1.0, 0, 100, true}, kPalFrame, 0, 1200000, 0, 1200000},
        StepCase{"lands_on_the_end", 97, {1.0, 0, 100, false}, kPalFrame, 0, 1200000, 100, 1200000},
        StepCase{"backwards", 10, {-2.0, 0, 100, false}, kPalFrame / 2, 0, 1000000, 5, 1000000},
        StepCase{"backwards_lands_on_start", 7, {-2.0, 2, 100, false}, kPalFrame / 2, 0, 1000000, 2, 1000000},
        StepCase{"backwards_stops_at_start", 3, {-2.0, 2, 100, false}, kPalFrame / 2, 0, 1000000, 2, 1000000},
        StepCase{"backwards_wraps_to_end", 3, {-2.0, 2, 100, true}, kPalFrame / 2, 0, 1000000, 100, 1000000},
        StepCase{"backwards_below_zero", 3, {-2.0, 0, 100, false}, kPalFrame / 2, 0, 1000000, 0, 1000000},
        StepCase{"standing_still", 10, {0.0, 0, 100, false}, 0.0, 0, 123, 10, 123},
        StepCase{"clock_went_back", 10, {1.0, 0, 100, false}, kPalFrame, 500000, 400000, 10, 500000},
        // A frame of 59.94 video is not a whole number of units: one unit of allowance.
        StepCase{"ntsc_rounding", 10, {1.0, 0, 100, false}, kNtscFrame, 0, 333666, 11, 333667},
        StepCase{"clock_jump_across_the_range", 10, {1.0, 0, kHugeRange, false}, 1.0, kLeast, kMost, kHugeRange,
                 kLeast + 9000000000000000000},
        StepCase{"clock_jump_backwards_wrap", 10, {-1.0, 5, kHugeRange, true}, 1.0, kLeast, kMost, kHugeRange,
                 kLeast + 9000000000000000000}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
