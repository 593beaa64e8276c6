// The roll's core: durations both ways, the setting rules, and whole runs of the three ways of
// moving, field by field, with breaks, holds and pictures smaller than the screen.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "effects/roll_core.h"
#include "support/test_support.h"

using zk::fx::Field;
using zk::fx::FieldCopy;
using zk::fx::FieldWrite;
using zk::fx::RollFieldOutcome;
using zk::fx::RollKind;
using zk::fx::RollParams;

// Printed in failure messages; found there by argument-dependent lookup.
namespace zk::fx {

std::ostream& operator<<(std::ostream& os, const RollFieldOutcome& o)
{
    os << "{top " << o.display_top << " dve " << (o.dve_fraction ? *o.dve_fraction : -1);
    if (o.write) {
        const FieldWrite& w = *o.write;
        os << " write f" << int(w.field) << " s" << w.source << " (" << w.src_x << "," << w.src_y << " " << w.width << "x"
           << w.height << " -> " << w.dst_x << "," << w.dst_y << ")";
    }
    if (o.copy) {
        const FieldCopy& c = *o.copy;
        os << " copy f" << int(c.field) << " (" << c.x << "," << c.y << " " << c.width << "x" << c.height << " by "
           << c.dx << "," << c.dy << ")";
    }
    return os << (o.ended ? " ended}" : "}");
}

} // namespace zk::fx

namespace {

constexpr Field F1 = Field::First, F2 = Field::Second;


// Runs a roll on alternating fields (first field first) until it ends or `limit` fields pass.
std::vector<RollFieldOutcome> run(const RollParams& p, long step, int limit = 10000, int break_at = -1)
{
    zk::fx::RollState s = zk::fx::start_roll(p);
    std::vector<RollFieldOutcome> out;
    for (int i = 0; i < limit; ++i) {
        out.push_back(zk::fx::roll_field(s, p, step, static_cast<unsigned long>(i % 2), break_at >= 0 && i >= break_at));
        if (out.back().ended) break;
    }
    return out;
}

// The run's first fields against a table, each difference named with its field.
void expect_fields(const std::vector<RollFieldOutcome>& got, const std::vector<RollFieldOutcome>& want)
{
    ASSERT_GE(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_EQ(got[i], want[i]) << "field " << i << " got " << got[i];
}

RollFieldOutcome write_only(FieldWrite w, bool ended = false)
{
    RollFieldOutcome o;
    o.write = w;
    o.ended = ended;
    return o;
}

RollFieldOutcome scrolled(FieldWrite w, FieldCopy c, bool ended = false)
{
    RollFieldOutcome o;
    o.display_top = true;
    o.write = w;
    o.copy = c;
    o.ended = ended;
    return o;
}

RollFieldOutcome crawled(int dve, FieldWrite w, FieldCopy c)
{
    RollFieldOutcome o;
    o.dve_fraction = dve;
    o.write = w;
    o.copy = c;
    return o;
}

} // namespace

TEST(RollCore, DurationExamplesAndLimits)
{
    EXPECT_EQ(zk::fx::comp_time_to_step(1086, 10000, 1, 0), 10);
    EXPECT_EQ(zk::fx::comp_step_to_time(1086, 10, 1, 0), 10000u);
    struct Case {
        long size;
        unsigned long ms;
        int vertical, mode, step;
    } to_step[] = {
        {1086, 0, 1, 0, 0},            // no time: no step
        {1086, 1, 1, 0, 600},          // capped for a roll
        {3000, 1, 0, 1, 240},          // and for a crawl
        {2000000000, 1, 1, 2, 600},    // far beyond any int: still capped
        {400, 10000, 1, 0, 1},         // smaller than the screen: the slowest step
        {487, 100000, 1, 0, 1},        // below one tenth per field
        {720 + 600, 10000, 0, 0, 10},  // a crawl leaves out the screen's 720 in mode 0
        {600, 10000, 1, 1, 10},        // modes 1 and 2 roll the whole picture
        {600, 10000, 1, 2, 10},
    };
    for (const Case& c : to_step) {
        EXPECT_EQ(zk::fx::comp_time_to_step(c.size, c.ms, c.vertical, c.mode), c.step) << c.size << " " << c.ms;
    }
    struct Back {
        long size, step;
        int vertical, mode;
        unsigned long ms;
    } to_time[] = {
        {1086, 0, 1, 0, 0},        // no step: never ends, reported as 0
        {1086, -10, 1, 0, 0},
        {400, 10, 1, 0, 0},        // nothing to roll, not a wrapped negative time
        {486, 10, 1, 0, 0},
        {720 + 600, 20, 0, 0, 5000},
        {600, 600, 1, 1, 166},     // 600 px at 60 px a field: 10 fields
    };
    for (const Back& c : to_time) {
        EXPECT_EQ(zk::fx::comp_step_to_time(c.size, c.step, c.vertical, c.mode), c.ms) << c.size << " " << c.step;
    }
    CKrFrameBuffer picture(800, 1086, 1);
    EXPECT_EQ(zk::fx::roll_image_size(&picture, 1), 1086);
    EXPECT_EQ(zk::fx::roll_image_size(&picture, 0), 800);
    EXPECT_EQ(zk::fx::roll_image_size(nullptr, 1), 0);
}

TEST(RollCore, DurationsAgreeWithExactArithmetic)
{
    // Both conversions are distance·500 / (3·x) for x = ms or step; the floating-point formula
    // may fall one below only when that quotient is a whole number.
    const std::uint32_t seed = zt::test_seed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    auto check = [](long long got, long long num, long long den, const char* what, long long a, long long b) {
        const long long q = num / den;
        if (num % den != 0) {
            EXPECT_EQ(got, q) << what << " " << a << " " << b;
        } else {
            EXPECT_TRUE(got == q || got == q - 1) << what << " " << a << " " << b;
        }
    };
    for (int i = 0; i < 20000; ++i) {
        const int vertical = static_cast<int>(rng() % 2), mode = static_cast<int>(rng() % 3);
        const long size = 1 + static_cast<long>(rng() % 5000);
        const long distance = size - (mode == 0 ? (vertical ? 486 : 720) : 0);
        const unsigned long ms = 1 + rng() % 120000;
        const int step = zk::fx::comp_time_to_step(size, ms, vertical, mode);
        const int cap = vertical ? 600 : 240;
        if (distance <= 0) {
            EXPECT_EQ(step, 1);
        } else {
            const long long num = 500LL * distance, den = 3LL * static_cast<long long>(ms);
            if (num / den > cap) {
                EXPECT_EQ(step, cap);
            } else if (num / den <= 1) {
                EXPECT_EQ(step, 1);
            } else {
                check(step, num, den, "step", size, static_cast<long long>(ms));
            }
        }
        const long s = 1 + static_cast<long>(rng() % 600);
        const unsigned long t = zk::fx::comp_step_to_time(size, s, vertical, mode);
        if (distance <= 0) {
            EXPECT_EQ(t, 0u);
            continue;
        }
        check(static_cast<long long>(t), 500LL * distance, 3LL * s, "time", size, s);
    }
}

TEST(RollCore, SettingRules)
{
    using zk::fx::RollSetting;
    struct Case {
        long width;
        int step, direction, mode;
        RollSetting want;
    } cases[] = {
        {720, 20, 1, 0, {20, 1, 0, RollKind::ScrollVertical}},   // 2 px: scrolling, no sub-pixel pictures
        {720, 25, 1, 1, {25, 1, 1, RollKind::SubpixelVertical}}, // 2.5 px: sub-pixel pictures
        {720, 10, 1, 2, {10, 1, 2, RollKind::SubpixelVertical}}, // 1 px is odd
        {720, 600, 1, 0, {600, 1, 0, RollKind::ScrollVertical}},
        {720, 900, 1, 0, {600, 1, 0, RollKind::ScrollVertical}},
        {720, -5, 1, 0, {1, 1, 0, RollKind::SubpixelVertical}},
        {720, 0, 1, 0, {1, 1, 0, RollKind::SubpixelVertical}},   // a set roll always moves
        {720, 30, 5, 0, {30, 1, 0, RollKind::SubpixelVertical}}, // direction 5 on a 720-wide picture: roll
        {2000, 30, 5, 0, {30, 0, 0, RollKind::Crawl}},           // on a 2000-wide one: crawl
        {2000, 300, 0, 9, {240, 0, 0, RollKind::Crawl}},
        {300, 0, 0, -1, {1, 0, 0, RollKind::Crawl}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(zk::fx::make_roll_setting(c.width, c.step, c.direction, c.mode), c.want)
            << c.width << " " << c.step << " " << c.direction << " " << c.mode;
    }
    EXPECT_EQ(zk::fx::roll_step_for(-3, 1), 0);
    EXPECT_EQ(zk::fx::roll_step_for(0, 0), 0);
    EXPECT_EQ(zk::fx::roll_step_for(700, 1), 600);
    EXPECT_EQ(zk::fx::roll_step_for(300, 0), 240);
    EXPECT_EQ(zk::fx::roll_step_for(55, 0), 55);
}

TEST(RollCore, CrawlDveRecord)
{
    EXPECT_EQ(zk::fx::roll_dve_record(5).lHorPos, -11650);
    EXPECT_EQ(zk::fx::roll_dve_record(9).lHorPos, -20971);
    const MQVIDFX_2DDVE_KEYFRAME rest = zk::fx::roll_dve_record(0);
    const std::uint32_t want[12] = {0, 0, 0, 0x1000000, 0x1000000, 0, 0x8080, 0x8080, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(&rest, want, 48), 0);
}

TEST(RollCore, SubpixelRollInModeZero)
{
    // 500 rows: 14 to roll. 2.5 px a field: the half-pixel picture on every other field.
    const RollParams p{RollKind::SubpixelVertical, 0, 720, 500, true};
    const std::vector<RollFieldOutcome> want = {
        write_only({F1, 5, 0, 3, 720, 486, 0, 1}),
        write_only({F2, 0, 0, 5, 720, 486, 0, 0}),
        write_only({F1, 5, 0, 8, 720, 486, 0, 1}),
        write_only({F2, 0, 0, 10, 720, 486, 0, 0}),
        write_only({F1, 5, 0, 13, 720, 486, 0, 1}),
        write_only({F2, 0, 0, 14, 720, 486, 0, 0}),      // the end: no fraction
        write_only({F1, 0, 0, 15, 720, 486, 0, 1}, true), // both fields there: ended
    };
    const auto got = run(p, 25);
    EXPECT_EQ(got.size(), want.size());
    expect_fields(got, want);

    // Without sub-pixel pictures every write takes the picture itself.
    for (const RollFieldOutcome& o : run({RollKind::SubpixelVertical, 0, 720, 500, false}, 25)) {
        EXPECT_EQ(o.write->source, 0);
    }
    // Odd whole pixels: the half-pixel picture whenever the position is whole.
    for (const RollFieldOutcome& o : run({RollKind::SubpixelVertical, 0, 720, 900, true}, 30)) {
        if (!o.ended && o.write->src_y - (o.write->field == F1 ? 1 : 0) < 900 - 486) {
            EXPECT_EQ(o.write->source, 5) << o;
        }
    }
}

TEST(RollCore, SubpixelRollEntersFromTheBottom)
{
    // Mode 1, 20 rows at 5 px a field: the picture rises into the screen and stops there.
    const RollParams p{RollKind::SubpixelVertical, 1, 720, 20, true};
    const std::vector<RollFieldOutcome> want = {
        write_only({F1, 5, 0, 0, 720, 5, 0, 481}),
        write_only({F2, 5, 0, 0, 720, 10, 0, 476}),
        write_only({F1, 5, 0, 0, 720, 15, 0, 471}),
        write_only({F2, 0, 0, 0, 720, 20, 0, 466}),
        write_only({F1, 0, 0, 0, 720, 20, 0, 466}, true),
    };
    const auto got = run(p, 50);
    EXPECT_EQ(got.size(), want.size());
    expect_fields(got, want);

    // Less than a pixel in: nothing to write yet. A tall picture shows its last 486 rows read.
    const auto slow = run({RollKind::SubpixelVertical, 2, 720, 600, true}, 5, 1);
    EXPECT_FALSE(slow[0].write.has_value());
    const auto tall = run({RollKind::SubpixelVertical, 2, 720, 600, true}, 600);
    EXPECT_EQ(tall.back().write, (FieldWrite{F1, 0, 0, 114, 720, 486, 0, 0}));
}

TEST(RollCore, ScrollingRollWritesOnlyNewRows)
{
    const RollParams p{RollKind::ScrollVertical, 0, 720, 500, false};
    const std::vector<RollFieldOutcome> want = {
        scrolled({F1, 0, 0, 486, 720, 4, 0, 486}, {F1, 0, 4, 720, 486, 0, -2}),
        scrolled({F2, 0, 0, 486, 720, 8, 0, 486}, {F2, 0, 8, 720, 486, 0, -4}),
        scrolled({F1, 0, 0, 490, 720, 8, 0, 486}, {F1, 0, 8, 720, 486, 0, -4}),
        scrolled({F2, 0, 0, 494, 720, 6, 0, 486}, {F2, 0, 6, 720, 486, 0, -3}),
        scrolled({F1, 0, 0, 498, 720, 2, 0, 486}, {F1, 0, 2, 720, 486, 0, -1}, true),
    };
    const auto got = run(p, 40);
    EXPECT_EQ(got.size(), want.size());
    expect_fields(got, want);

    // Each field receives every row of the picture below the first screen exactly once.
    for (int mode : {0, 1}) {
        for (long step : {20L, 40L, 100L, 600L}) {
            const long height = 1501;
            const auto out = run({RollKind::ScrollVertical, mode, 720, height, false}, step);
            long next[2] = {mode == 0 ? 486 : 0, mode == 0 ? 486 : 0};
            for (const RollFieldOutcome& o : out) {
                EXPECT_TRUE(o.display_top);
                if (!o.write) continue;
                const int f = o.write->field == F2 ? 1 : 0;
                EXPECT_EQ(o.write->src_y, next[f]) << "mode " << mode << " step " << step;
                next[f] += o.write->height;
                EXPECT_EQ(o.copy->y, o.write->height);
            }
            EXPECT_EQ(next[0], height) << "mode " << mode << " step " << step;
            EXPECT_EQ(next[1], height) << "mode " << mode << " step " << step;
        }
    }
}

TEST(RollCore, CrawlDelaysTheFractionByFourFields)
{
    // 1000 columns, 280 to crawl at 2.5 px a field.
    const RollParams p{RollKind::Crawl, 0, 1000, 486, false};
    const auto got = run(p, 25);
    const std::vector<RollFieldOutcome> head = {
        crawled(0, {F1, 0, 720, 0, 2, 486, 720, 0}, {F1, 2, 0, 720, 486, -2, 0}),
        crawled(0, {F2, 0, 720, 0, 5, 486, 720, 0}, {F2, 5, 0, 720, 486, -5, 0}),
        crawled(0, {F1, 0, 722, 0, 5, 486, 720, 0}, {F1, 5, 0, 720, 486, -5, 0}),
        crawled(0, {F2, 0, 725, 0, 5, 486, 720, 0}, {F2, 5, 0, 720, 486, -5, 0}),
        crawled(5, {F1, 0, 727, 0, 5, 486, 720, 0}, {F1, 5, 0, 720, 486, -5, 0}),
        crawled(0, {F2, 0, 730, 0, 5, 486, 720, 0}, {F2, 5, 0, 720, 486, -5, 0}),
    };
    expect_fields(got, head);
    // The fraction of field i reaches the DVE on field i + 4.
    for (std::size_t i = 4; i < got.size(); ++i) {
        const long t = std::min(25L * static_cast<long>(i - 3), 2800L + 25L);
        EXPECT_EQ(*got[i].dve_fraction, static_cast<int>(t % 10)) << "field " << i;
    }
    // Every column of the picture beyond the first screen reaches each field once.
    long next[2] = {720, 720};
    for (const RollFieldOutcome& o : got) {
        if (!o.write) continue;
        const int f = o.write->field == F2 ? 1 : 0;
        EXPECT_EQ(o.write->src_x, next[f]);
        next[f] += o.write->width;
    }
    EXPECT_EQ(next[0], 1000);
    EXPECT_EQ(next[1], 1000);
    EXPECT_TRUE(got.back().ended);
}

TEST(RollCore, BreakEndsWithinTwoFieldsWhereTheRollIs)
{
    for (RollKind kind : {RollKind::SubpixelVertical, RollKind::ScrollVertical, RollKind::Crawl}) {
        const RollParams p{kind, 0, 4000, 4000, true};
        const long step = kind == RollKind::ScrollVertical ? 40 : 25;
        const auto got = run(p, step, 10000, 6);
        ASSERT_LE(got.size(), 8u) << int(kind);
        EXPECT_TRUE(got.back().ended);
        // Position after six fields: 6 steps; the last writes stand there.
        const long at = 6 * step / 10;
        if (kind == RollKind::SubpixelVertical) {
            EXPECT_EQ(got.back().write->src_y, at + 1);
        }
        if (kind == RollKind::Crawl) {
            const long right = got[got.size() - 1].write ? got.back().write->src_x + got.back().write->width : 0;
            EXPECT_EQ(right, at + 720);
        }
    }
}

TEST(RollCore, HoldAndNothingToRoll)
{
    // A step of 0 holds the roll where it is: no new rows, no end, until the step rises.
    const RollParams p{RollKind::Crawl, 0, 1000, 486, false};
    zk::fx::RollState s = zk::fx::start_roll(p);
    for (int i = 0; i < 4; ++i) zk::fx::roll_field(s, p, 25, static_cast<unsigned long>(i % 2), false);
    const long at = s.position;
    // The first field of the hold still catches up with the second; then nothing moves.
    zk::fx::roll_field(s, p, 0, 0, false);
    zk::fx::roll_field(s, p, 0, 1, false);
    for (int i = 0; i < 200; ++i) {
        const RollFieldOutcome o = zk::fx::roll_field(s, p, 0, static_cast<unsigned long>(i % 2), false);
        ASSERT_FALSE(o.write.has_value());
        ASSERT_FALSE(o.ended);
    }
    EXPECT_EQ(s.position, at);
    int fields = 0;
    while (!zk::fx::roll_field(s, p, 25, static_cast<unsigned long>(fields % 2), false).ended) ASSERT_LT(++fields, 1000);
    EXPECT_EQ(s.end, 280);
    EXPECT_TRUE(zk::fx::roll_field(s, p, 25, 0, false).ended) << "an ended roll stays ended";

    // A picture no larger than the screen in mode 0 has nothing to roll: it ends at once.
    for (RollKind kind : {RollKind::SubpixelVertical, RollKind::ScrollVertical, RollKind::Crawl}) {
        const RollParams small{kind, 0, 300, 300, true};
        EXPECT_EQ(zk::fx::start_roll(small).end, 0);
        const auto out = run(small, 25, 5);
        EXPECT_EQ(out.size(), 1u) << int(kind);
        EXPECT_TRUE(out.back().ended);
        if (out.back().write) {
            EXPECT_GE(out.back().write->src_y, 0);
        }
    }
}
