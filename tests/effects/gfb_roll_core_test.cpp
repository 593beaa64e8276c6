// The frame-buffer push and slide: run parameters, the blit words of both move tables, and
// whole runs in every direction and mode, with breaks and runs too short to divide.
#include <gtest/gtest.h>

#include <vector>

#include "effects/gfb_roll_core.h"

using zk::fx::BlitWords;
using zk::fx::GfbRollFieldOutcome;
using zk::fx::GfbRollMode;
using zk::fx::GfbRollParams;

// Printed in failure messages; found there by argument-dependent lookup.
namespace zk::fx {

std::ostream& operator<<(std::ostream& os, const std::optional<BlitWords>& w)
{
    if (!w) return os << "none";
    return os << "(" << w->left << "," << w->top << "," << w->right << "," << w->bottom << "," << w->vshift << ","
              << w->hshift << ")";
}

std::ostream& operator<<(std::ostream& os, const GfbRollFieldOutcome& o)
{
    return os << "{dest " << o.destination << " src " << o.source << (o.ended ? " ended}" : "}");
}

} // namespace zk::fx

namespace {


// Runs on alternating field numbers 0, 1, 0, ... until the run ends.
std::vector<GfbRollFieldOutcome> run(const GfbRollParams& p, int break_at = -1)
{
    zk::fx::GfbRollState s;
    std::vector<GfbRollFieldOutcome> out;
    for (int i = 0; i < 2000; ++i) {
        out.push_back(zk::fx::gfb_roll_field(s, p, static_cast<unsigned long>(i % 2), break_at >= 0 && i >= break_at));
        if (out.back().ended) break;
    }
    return out;
}

} // namespace

TEST(GfbRollCore, RunParameters)
{
    struct Case {
        long mode, direction, amount, is_step;
        GfbRollParams want;
    } cases[] = {
        {0, 0, 31, 0, {{false, 2}, 0, 720, 24}},  // 31 fields across: 720 / 30
        {3, 2, 31, 0, {{true, 1}, 2, 243, 8}},
        {-2, 1, 1, 0, {{true, 2}, 1, 720, 720}},  // one field is taken as two
        {-1, 3, 0, 0, {{false, 1}, 3, 243, 243}},
        {5, 7, -4, 0, {{false, 2}, 0, 720, 720}}, // unknown direction: 0
        {1, 2, 1000, 1, {{false, 1}, 2, 243, 243}},
        {1, 0, 0, 1, {{false, 1}, 0, 720, 1}},
        {-3, 0, -9, 1, {{true, 1}, 0, 720, 1}},
        {0, -1, 721, 0, {{false, 2}, 0, 720, 1}},
        {2, 0, 1000, 0, {{true, 2}, 0, 720, 1}},  // 720 / 999 rounds to 0: at least 1
    };
    for (const Case& c : cases) {
        EXPECT_EQ(zk::fx::make_gfb_roll(c.mode, c.direction, c.amount, c.is_step), c.want)
            << c.mode << " " << c.direction << " " << c.amount << " " << c.is_step;
    }
}

TEST(GfbRollCore, PushAcrossFieldByField)
{
    const auto got = run(zk::fx::make_gfb_roll(3, 0, 300, 1));
    const std::vector<GfbRollFieldOutcome> want = {
        {BlitWords{0, 1, 420, 486, 0, 300}, BlitWords{420, 685, 720, 1170, -342, -420}, false},
        {BlitWords{0, 0, 120, 486, 0, 600}, BlitWords{120, 684, 720, 1170, -342, -120}, false},
        {BlitWords{300, 1, 300, 486, 0, 420}, BlitWords{0, 685, 720, 1170, -342, 0}, false},
        {BlitWords{600, 0, 600, 486, 0, 120}, BlitWords{0, 684, 720, 1170, -342, 0}, true},
    };
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_EQ(got[i], want[i]) << "field " << i << " got " << got[i];
}

TEST(GfbRollCore, SourceMoveTable)
{
    struct Case {
        long mode, direction;
        BlitWords want;
    } cases[] = {
        {1, 0, {620, 684, 720, 1170, -342, -620}}, {1, 1, {0, 684, 100, 1170, -342, 620}},
        {1, 2, {0, 970, 720, 1170, -485, 0}},      {1, 3, {0, 684, 720, 884, -199, 0}},
        {0, 0, {0, 684, 100, 1170, -342, 0}},      {0, 1, {620, 684, 720, 1170, -342, 0}},
        {0, 2, {0, 684, 720, 884, -342, 0}},       {0, 3, {0, 970, 720, 1170, -342, 0}},
    };
    for (const Case& c : cases) {
        zk::fx::GfbRollState s;
        const GfbRollFieldOutcome o = zk::fx::gfb_roll_field(s, zk::fx::make_gfb_roll(c.mode, c.direction, 100, 1), 1, false);
        EXPECT_FALSE(o.destination.has_value()) << "a slide leaves the old picture";
        EXPECT_EQ(o.source, c.want) << "mode " << c.mode << " direction " << c.direction;
    }
}

TEST(GfbRollCore, DestinationMoveTable)
{
    // Third move of the second field at 100 a field: l = 200, d = 100 (43 down the picture).
    const BlitWords want[4] = {{200, 0, 620, 486, 0, 100}, {100, 0, 520, 486, 0, -100},
                               {0, 400, 720, 400, 43, 0},  {0, 86, 720, 86, -43, 0}};
    for (long dir = 0; dir < 4; ++dir) {
        const GfbRollParams p = zk::fx::make_gfb_roll(3, dir, 100, 1);
        zk::fx::GfbRollState s;
        GfbRollFieldOutcome o;
        for (int i = 0; i < 3; ++i) o = zk::fx::gfb_roll_field(s, p, 1, false);
        EXPECT_EQ(o.destination, want[dir]) << "direction " << dir;
    }
}

TEST(GfbRollCore, EveryRunEndsOnceBothFieldsAreThere)
{
    for (long mode : {-3L, -2L, -1L, 0L, 1L, 2L, 3L}) {
        for (long dir = 0; dir < 4; ++dir) {
            for (long step : {1L, 7L, 24L, 243L, 720L}) {
                const GfbRollParams p = zk::fx::make_gfb_roll(mode, dir, step, 1);
                const auto got = run(p);
                const long distance = dir < 2 ? 720 : 243, used = std::min(step, distance);
                SCOPED_TRACE(::testing::Message() << "mode " << mode << " dir " << dir << " step " << step);
                ASSERT_EQ(static_cast<long>(got.size()), (distance + used - 1) / used + 1);
                EXPECT_TRUE(got.back().ended);
                for (std::size_t i = 0; i < got.size(); ++i) {
                    EXPECT_TRUE(got[i].source.has_value()) << i;
                    EXPECT_EQ(got[i].destination.has_value(), p.mode.destination_moves) << i;
                    if (got[i].source) {
                        EXPECT_EQ(got[i].source->top % 2, i % 2 == 0 ? 1 : 0) << "first field one lower";
                    }
                }
            }
        }
    }
}

TEST(GfbRollCore, BreaksRepeatsAndShortRuns)
{
    // A break jumps both fields to the distance within two fields.
    const auto broken = run(zk::fx::make_gfb_roll(3, 0, 10, 1), 1);
    ASSERT_EQ(broken.size(), 3u);
    EXPECT_EQ(broken[1].destination, (BlitWords{0, 0, 0, 486, 0, 720}));
    EXPECT_EQ(broken[2].destination, (BlitWords{10, 1, 10, 486, 0, 710}));
    EXPECT_TRUE(broken[2].ended);

    // The same field twice with no change sends nothing the second time.
    const GfbRollParams p = zk::fx::make_gfb_roll(1, 0, 720, 1);
    zk::fx::GfbRollState s;
    EXPECT_TRUE(zk::fx::gfb_roll_field(s, p, 0, false).source.has_value());
    EXPECT_EQ(zk::fx::gfb_roll_field(s, p, 0, false), GfbRollFieldOutcome{});
    EXPECT_TRUE(zk::fx::gfb_roll_field(s, p, 1, false).ended);
    EXPECT_EQ(zk::fx::gfb_roll_field(s, p, 0, false), (GfbRollFieldOutcome{std::nullopt, std::nullopt, true}));

    // One field or none, counted in fields: two fields, no division by zero.
    for (long fields : {1L, 0L, -5L}) EXPECT_EQ(run(zk::fx::make_gfb_roll(0, 2, fields, 0)).size(), 2u) << fields;
}
