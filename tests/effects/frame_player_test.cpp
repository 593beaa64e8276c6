// The frame player of fades and animations, run event by event: which frame reaches which
// field with delay, hold and passes, the two stop rules, and events of one parity in a row.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "effects/anime_core.h"
#include "effects/frame_player.h"

namespace {

using zk::fx::Field;
using zk::fx::PlayerEnd;
using zk::fx::PlayerParams;

// One line per event that did something: "e<event>:<frame><f|s>" for a write into the first or
// second field, "e<event>:end" for the end.
std::string play(const PlayerParams& p, int events, int stop_at = 0, unsigned long first_field = 0,
                 const std::vector<unsigned long>& fields = {})
{
    zk::fx::PlayerState s = zk::fx::start_player(p);
    std::ostringstream log;
    for (int e = 1; e <= events; ++e) {
        const unsigned long field =
            fields.empty() ? (first_field + static_cast<unsigned long>(e) + 1) % 2 : fields[static_cast<size_t>(e - 1)];
        const zk::fx::PlayerOutcome out = zk::fx::player_step(s, p, field, stop_at == 0 || e < stop_at);
        if (out.write) {
            const long frame = (out.write->src_y - p.src_y) / p.height;
            log << 'e' << e << ':' << frame << (out.write->field == Field::Second ? "s " : "f ");
        }
        if (out.end != PlayerEnd::None) log << 'e' << e << (out.end == PlayerEnd::Passes ? ":end " : ":stop ");
    }
    return log.str();
}

PlayerParams params(long frames, long passes, long delay = 0, long hold = 0, bool at_once = false)
{
    return zk::fx::anime_player_params(frames, 0, 0, 8, 4, 0, 0, passes, delay, hold, at_once);
}

// The run written from the rule: frame k (from 0) is written on events d + 2k + 1 + k·h and
// the one after, for `passes` passes; the end comes on the event after the last write.
std::string expected_run(long frames, long passes, long delay, long hold)
{
    std::ostringstream log;
    long event = delay + 1;
    for (long pass = 0; pass < passes; ++pass) {
        for (long k = 0; k < frames; ++k) {
            if (pass > 0 || k > 0) event += hold;
            log << 'e' << event << ':' << k << (event % 2 ? "f " : "s ");
            log << 'e' << event + 1 << ':' << k << (event % 2 ? "s " : "f ");
            event += 2;
        }
    }
    log << 'e' << event << ":end ";
    return log.str();
}

struct Timing {
    long frames, passes, delay, hold;
};

class FramePlayerTiming : public ::testing::TestWithParam<Timing> {};

TEST_P(FramePlayerTiming, FramesLandOnTheFieldsTheRulesGive)
{
    const Timing t = GetParam();
    const int events = static_cast<int>(t.delay + t.passes * t.frames * (2 + t.hold) + 6);
    EXPECT_EQ(play(params(t.frames, t.passes, t.delay, t.hold), events), expected_run(t.frames, t.passes, t.delay, t.hold));
}

INSTANTIATE_TEST_SUITE_P(Table, FramePlayerTiming,
                         ::testing::Values(Timing{1, 1, 0, 0}, Timing{5, 1, 0, 0}, Timing{5, 1, 10, 0},
                                           Timing{4, 1, 3, 0}, Timing{3, 2, 0, 0}, Timing{3, 1, 0, 1},
                                           Timing{3, 2, 2, 3}, Timing{2, 3, 1, 2}));

TEST(FramePlayer, StopRules)
{
    // A stop during frame 1 of 3: the cycle plays out, or the run ends at the next frame step.
    EXPECT_EQ(play(params(3, 0), 12, 4), "e1:0f e2:0s e3:1f e4:1s e5:2f e6:2s e7:stop ");
    EXPECT_EQ(play(params(3, 0, 0, 0, true), 12, 4), "e1:0f e2:0s e3:1f e4:1s e5:stop ");
    // A stop before anything was shown ends at the first step either way.
    EXPECT_EQ(play(params(3, 0), 4, 1), "e1:stop ");
    // Endless play never ends by itself.
    EXPECT_EQ(play(params(1, 0), 200).find("end"), std::string::npos);
}

TEST(FramePlayer, EachFieldOnceAndInTheParityItArrives)
{
    // Starting on a second field writes that field first.
    EXPECT_EQ(play(params(2, 1), 5, 0, 1), "e1:0s e2:0f e3:1s e4:1f e5:end ");
    // Two events of the same parity: the second writes nothing and the frame waits for the other.
    // Any field number but 1 means the first field.
    EXPECT_EQ(play(params(2, 1), 7, 0, 0, {0, 0, 7, 1, 0, 1, 0}), "e1:0f e4:0s e5:1f e6:1s e7:end ");
}

TEST(FramePlayer, WritesTheAreaOfTheFrameOnAir)
{
    const PlayerParams p = zk::fx::anime_player_params(4, 2, 1, 30, 10, 100, 200, 1, 0, 0, false);
    zk::fx::PlayerState s = zk::fx::start_player(p);
    zk::fx::player_step(s, p, 0, true);
    zk::fx::player_step(s, p, 1, true);
    const zk::fx::PlayerOutcome out = zk::fx::player_step(s, p, 0, true);
    ASSERT_TRUE(out.write);
    EXPECT_EQ(*out.write, (zk::fx::FieldWrite{Field::First, 0, 2, 11, 30, 10, 100, 200}));
}

TEST(FramePlayer, NegativeTimingsNeitherHangNorEnd)
{
    const PlayerParams p = params(2, -1, -5, -3);
    EXPECT_EQ(p.passes, 0);
    EXPECT_EQ(p.delay, 0);
    EXPECT_EQ(p.hold, 0);
    EXPECT_EQ(play(p, 6), "e1:0f e2:0s e3:1f e4:1s e5:0f e6:0s ");
    EXPECT_EQ(zk::fx::normalised(PlayerParams{0}).frames, 1);
}

} // namespace
