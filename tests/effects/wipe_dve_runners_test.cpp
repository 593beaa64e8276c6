// The on-air control's wipe, DVE slide and 2D DVE action runners on a stepped board: what
// reaches each unit input (journal first), in which field, with which bytes; the runs' ends,
// the waits that follow them, the unit and channel choices, refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

#include "effects/kr_2ddve_act_core.h"
#include "effects/wipe_dve_fixture.h"
#include "platform/board/mixer/mixer_records.h"
#include "support/test_support.h"

namespace {

using zt::bytes_of;
using zt::Sent;

class WipeDve : public zt::WipeDveTest {};

std::int32_t fader_of(const Sent& s)
{
    std::int32_t v;
    std::memcpy(&v, s.bytes.data() + 4, 4);
    return v;
}

std::vector<std::int32_t> faders(const std::vector<Sent>& sent)
{
    std::vector<std::int32_t> out;
    for (const Sent& s : sent) out.push_back(fader_of(s));
    return out;
}

// The wipe record laid out word by word (the 16-bit words 12 and 14 are 16).
std::vector<std::uint8_t> wipe_bytes(std::uint32_t mode, std::uint32_t pattern, std::uint32_t v1, std::uint32_t v2)
{
    const std::uint32_t words[9] = {mode, pattern, 0, 0x00100010u, v1, v2, 0, 0, 1};
    std::vector<std::uint8_t> out(36);
    std::memcpy(out.data(), words, 36);
    return out;
}

const char* fader_input(int unit) { return unit == 0 ? "WipeRenderer0:Fader In" : "WipeRenderer1:Fader In"; }
const char* wipe_input(int unit) { return unit == 0 ? "WipeRenderer0:Wipe In" : "WipeRenderer1:Wipe In"; }

struct FaderRun {
    const char* name;
    unsigned long backward, steps;
    std::int32_t at_set;                 // the step-0 record WipeSet sends
    std::vector<std::int32_t> per_field; // steps 1 ... n, one a field after the start
};

void PrintTo(const FaderRun& r, std::ostream* os) { *os << r.name; }

class WipeRuns : public zt::WipeDveTest, public ::testing::WithParamInterface<FaderRun> {};

TEST_P(WipeRuns, OneFaderRecordAFieldUntilTheLastStepOnEitherUnit)
{
    const FaderRun& run = GetParam();
    for (int unit : {0, 1}) {
        const std::uint64_t from = board().journal().mark();
        const long long set_at = now();
        ASSERT_EQ(wipes.WipeSet(unit, 101, 1, 1, 12, 300, run.backward, run.steps), 0);
        ASSERT_TRUE(board().step_fields(1));
        const long long start = now();
        ASSERT_EQ(wipes.WipeStart(unit), 0);
        EXPECT_EQ(wipes.GetWipeState(unit), 1);
        const size_t n = run.per_field.size();
        for (size_t k = 0; k < n; ++k) {
            EXPECT_EQ(wipes.GetWipeState(unit), 1) << "before step " << k + 1;
            ASSERT_TRUE(board().step_fields(1));
        }
        EXPECT_EQ(wipes.GetWipeState(unit), 0) << "idle from the field of the last step";
        ASSERT_TRUE(board().step_fields(3));

        const auto pattern = sent(wipe_input(unit), from);
        ASSERT_EQ(pattern.size(), 2u) << "at the set and again at the start";
        EXPECT_EQ(pattern[0].field, set_at);
        EXPECT_EQ(pattern[1].field, start);
        EXPECT_EQ(pattern[0].bytes, wipe_bytes(1, 101 | 0x8000, 12, 200));
        EXPECT_EQ(pattern[1].bytes, pattern[0].bytes);
        const auto fader = sent(fader_input(unit), from);
        ASSERT_EQ(fader.size(), n + 1);
        EXPECT_EQ(fader[0].field, set_at);
        EXPECT_EQ(fader_of(fader[0]), run.at_set);
        for (size_t k = 1; k <= n; ++k) EXPECT_EQ(fader[k].field, start + static_cast<long long>(k)) << "step " << k;
        EXPECT_EQ(faders({fader.begin() + 1, fader.end()}), run.per_field);
        EXPECT_TRUE(sent(fader_input(1 - unit), from).empty()) << "the other unit is left alone";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, WipeRuns,
    ::testing::Values(
        FaderRun{"forward4", 0, 4, 0, {0x400000, 0x800000, 0xC00000, 0x1000000}},
        FaderRun{"backward4", 1, 4, 0x1000000, {0xC08312, 0x808312, 0x408312, 0}},
        FaderRun{"forward10", 0, 10, 0,
                 {0x19999A, 0x333333, 0x4CCCCD, 0x666666, 0x800000, 0x99999A, 0xB33333, 0xCCCCCD, 0xE66666, 0x1000000}},
        FaderRun{"backward10", 7, 10, 0x1000000,
                 {0xE6E979, 0xCD4FDF, 0xB3B646, 0x9A1CAC, 0x808312, 0x66E979, 0x4D4FDF, 0x33B646, 0x1A1CAC, 0}},
        FaderRun{"forward1", 0, 1, 0, {0x1000000}},
        // A run of 0 steps is a cut: it ends on its first field instead of running for ever.
        FaderRun{"forwardCut", 0, 0, 0, {0x1000000}},
        FaderRun{"backwardCut", 1, 0, 0x1000000, {0}}),
    [](const ::testing::TestParamInfo<FaderRun>& info) { return std::string(info.param.name); });

TEST_F(WipeDve, WipeUnitsOutsideTheRangeAndBothAtOnce)
{
    ASSERT_EQ(wipes.WipeSet(5, 2, 0, 0, 0, 0, 0, 3), 0);
    EXPECT_EQ(sent(wipe_input(0)).size(), 1u) << "unit 5 is unit 0";
    EXPECT_TRUE(sent(wipe_input(1)).empty());
    ASSERT_EQ(wipes.WipeSet(1, 2, 0, 0, 0, 0, 1, 2), 0);

    EXPECT_EQ(wipes.WipeStart(3), -1);
    EXPECT_EQ(wipes.WipeStart(-1), -1);
    EXPECT_EQ(wipes.GetWipeState(0) + wipes.GetWipeState(1), 0) << "nothing started";

    const std::uint64_t from = board().journal().mark();
    const long long start = now();
    ASSERT_EQ(wipes.WipeStart(2), 0);
    ASSERT_TRUE(board().step_fields(4));
    const auto a = sent(fader_input(0), from), b = sent(fader_input(1), from);
    ASSERT_EQ(a.size(), 3u);
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(a.back().field, start + 3);
    EXPECT_EQ(b.back().field, start + 2);
    EXPECT_EQ(fader_of(b.back()), 0) << "unit 1 ran backward";
}

TEST_F(WipeDve, SettingARunningUnitEndsItsRunAndStartsFromStepZero)
{
    ASSERT_EQ(wipes.WipeSet(0, 1, 0, 0, 0, 0, 0, 8), 0);
    ASSERT_EQ(wipes.WipeStart(0), 0);
    ASSERT_TRUE(board().step_fields(3));
    const std::uint64_t from = board().journal().mark();
    ASSERT_EQ(wipes.WipeSet(0, 2, 0, 0, 0, 0, 0, 2), 0);
    EXPECT_EQ(wipes.GetWipeState(0), 0);
    ASSERT_TRUE(board().step_fields(3));
    const auto fader = sent(fader_input(0), from);
    ASSERT_EQ(fader.size(), 1u) << "only the new wipe's step 0";
    EXPECT_EQ(fader_of(fader[0]), 0);
}

TEST_F(WipeDve, WipeWaitReturnsTwoFieldsAfterBothUnitsEnded)
{
    ASSERT_EQ(wipes.WipeSet(0, 1, 0, 0, 0, 0, 0, 6), 0);
    ASSERT_EQ(wipes.WipeSet(1, 1, 0, 0, 0, 0, 0, 9), 0);
    const long long start = now();
    ASSERT_EQ(wipes.WipeStart(2), 0);
    EXPECT_EQ(pumped([&] { return wipes.WipeWait(); }), 0);
    EXPECT_EQ(now(), start + 9 + 2);
    EXPECT_EQ(pumped([&] { return wipes.WipeWait(); }), 0);
    EXPECT_EQ(now(), start + 9 + 4) << "nothing runs: two fields";
}

TEST_F(WipeDve, WipeRecordsOnRandomValues)
{
    const std::uint32_t seed = zt::test_seed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    for (int i = 0; i < 50; ++i) {
        const unsigned long pattern = rng() % 200, mod = rng() % 3, mode = rng() % 3, v1 = rng() % 400,
                            v2 = rng() % 400, dir = rng() % 2, steps = rng() % 30;
        const std::uint64_t from = board().journal().mark();
        ASSERT_EQ(wipes.WipeSet(i % 2, pattern, mod, mode, v1, v2, dir, steps), 0);
        const auto got = sent(wipe_input(i % 2), from);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].bytes, wipe_bytes(mode ? 1 : 0, static_cast<std::uint32_t>(std::min(pattern, 103ul)) | (mod ? 0x8000 : 0),
                                           static_cast<std::uint32_t>(std::min(v1, 200ul)),
                                           static_cast<std::uint32_t>(std::min(v2, 200ul))));
        ASSERT_EQ(sent(fader_input(i % 2), from).size(), 1u);
        EXPECT_EQ(fader_of(sent(fader_input(i % 2), from)[0]), dir ? 0x1000000 : 0);
    }
}

// ---- DVE slides ----

const char* dve_input(int fiesta)
{
    static const char* names[5] = {"Fiesta0:2D DVE In", "Fiesta1:2D DVE In", "Fiesta2:2D DVE In", "Fiesta3:2D DVE In",
                                   "Fiesta4:2D DVE In"};
    return names[fiesta];
}

TEST_F(WipeDve, SlidesInEveryDirectionSendEachStepOnTheirChannel)
{
    for (int slide : {0, 1}) {
        for (long direction = 0; direction < 8; ++direction) {
            for (long in : {0L, 1L}) {
                SCOPED_TRACE(::testing::Message() << "slide " << slide << " direction " << direction << " in " << in);
                const std::uint64_t from = board().journal().mark();
                const long long set_at = now();
                ASSERT_EQ(slides.DveSlideSet(slide, direction, in, 3, 0xFF10E0F0, 4), 0);
                ASSERT_TRUE(board().step_fields(1));
                const long long start = now();
                ASSERT_EQ(slides.DveSlideStart(slide), 0);
                ASSERT_TRUE(board().step_fields(6));
                EXPECT_EQ(slides.GetDveSlideState(slide), 0);

                CKr2DdveSlide want;
                want.Set2DdveSlide(direction, in, 3, 0xFF10E0F0, 4);
                const auto got = sent(dve_input(slide == 0 ? 1 : 3), from);
                ASSERT_EQ(got.size(), 6u) << "at the set, at the start, steps 1-4";
                EXPECT_EQ(got[0].field, set_at);
                EXPECT_EQ(got[1].field, start);
                EXPECT_EQ(got[0].bytes, bytes_of(*want.Get2DdveKeyframe()));
                EXPECT_EQ(got[1].bytes, got[0].bytes);
                for (long s = 1; s <= 4; ++s) {
                    want.Set2DdveSlideFader(s);
                    EXPECT_EQ(got[static_cast<size_t>(s + 1)].field, start + s);
                    EXPECT_EQ(got[static_cast<size_t>(s + 1)].bytes, bytes_of(*want.Get2DdveKeyframe())) << "step " << s;
                }
                EXPECT_TRUE(sent(dve_input(slide == 0 ? 3 : 1), from).empty());
            }
        }
    }
}

TEST_F(WipeDve, SlideExamplesCutsAndChoices)
{
    // Direction 0, arriving, 10 steps: half way is -0.5 stored as -8388607.
    ASSERT_EQ(slides.DveSlideSet(9, 0, 1, 0, 0, 10), 0) << "slide 9 is slide 0";
    ASSERT_EQ(slides.DveSlideStart(0), 0);
    ASSERT_TRUE(board().step_fields(5));
    const auto half = sent(dve_input(1));
    ASSERT_EQ(half.size(), 7u);
    EXPECT_EQ(zk::mixer::read_dve(half.back().bytes).x, -8388607);
    EXPECT_EQ(slides.GetDveSlideState(0), 1);

    // Set again while running: the run ends, the slide is back at its step 0.
    ASSERT_EQ(slides.DveSlideSet(0, 2, 0, 0, 0, 0), 0);
    EXPECT_EQ(slides.GetDveSlideState(0), 0);
    // A slide of 0 steps is a cut: its end on the first field, then idle.
    const std::uint64_t from = board().journal().mark();
    const long long start = now();
    ASSERT_EQ(slides.DveSlideStart(2), 0) << "both";
    ASSERT_TRUE(board().step_fields(3));
    const auto cut = sent(dve_input(1), from);
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_EQ(cut[1].field, start + 1);
    EXPECT_EQ(zk::mixer::read_dve(cut[1].bytes).y, 0x1000000) << "left downward by one picture";
    EXPECT_EQ(sent(dve_input(3), from).size(), 2u) << "slide 1, never set, is a cut too";
    EXPECT_EQ(slides.DveSlideStart(5), -1);
    EXPECT_EQ(slides.GetDveSlideState(0) + slides.GetDveSlideState(1), 0);
}

TEST_F(WipeDve, DveSlideWaitReturnsTwoFieldsAfterTheLastStep)
{
    ASSERT_EQ(slides.DveSlideSet(1, 5, 1, 0, 0, 7), 0);
    const long long start = now();
    ASSERT_EQ(slides.DveSlideStart(1), 0);
    EXPECT_EQ(pumped([&] { return slides.DveSlideWait(); }), 0);
    EXPECT_EQ(now(), start + 7 + 2);
    EXPECT_EQ(sent(dve_input(3)).back().field, start + 7);
}

// ---- 2D DVE actions ----

std::vector<std::vector<std::uint8_t>> run_bytes(const zk::fx::DveAction& action)
{
    std::vector<std::vector<std::uint8_t>> out;
    for (const MQVIDFX_2DDVE_KEYFRAME& r : zk::fx::dve_action_run(action, zk::fx::default_dve_record())) out.push_back(bytes_of(r));
    return out;
}

std::vector<std::vector<std::uint8_t>> bytes(const std::vector<Sent>& sent)
{
    std::vector<std::vector<std::uint8_t>> out;
    for (const Sent& s : sent) out.push_back(s.bytes);
    return out;
}

constexpr int kActFiesta[3] = {1, 3, 0};

TEST_F(WipeDve, PresetActionsSendOneRecordAFieldOnTheirChannelsAndEnd)
{
    for (long act = 0; act < 3; ++act) {
        for (long pattern : {0L, 9L, 14L}) {
            for (long out : {0L, 1L}) {
                SCOPED_TRACE(::testing::Message() << "act " << act << " pattern " << pattern << " out " << out);
                const std::uint64_t from = board().journal().mark();
                const long long set_at = now();
                ASSERT_EQ(actions.Set2DPtn(pattern, out, 5, act), 1);
                EXPECT_EQ(actions.GetActState(act), 0);
                ASSERT_TRUE(board().step_fields(2));
                const long long start = now();
                ASSERT_EQ(actions.Start2DDveAct(act), 1);
                for (int f = 0; f < 5; ++f) {
                    EXPECT_EQ(actions.GetActState(act), 1);
                    ASSERT_TRUE(board().step_fields(1));
                }
                EXPECT_EQ(actions.GetActState(act), 0) << "idle on the field of the last record";
                ASSERT_TRUE(board().step_fields(2));

                zk::fx::DveAction want;
                ASSERT_EQ(zk::fx::make_dve_pattern(pattern, out, 5, act, want), 1);
                auto expected = run_bytes(want);
                expected.insert(expected.begin() + 1, expected.front()); // sent again at the start
                const auto got = sent(dve_input(kActFiesta[act]), from);
                EXPECT_EQ(bytes(got), expected);
                ASSERT_EQ(got.size(), 7u);
                EXPECT_EQ(got[0].field, set_at);
                for (int k = 1; k < 7; ++k) EXPECT_EQ(got[static_cast<size_t>(k)].field, start + k - 1);
                // The preset's collapsed rectangle is where the move starts (or ends, going out).
                const zk::mixer::Dve2D point = zk::mixer::read_dve(got[out ? 6 : 0].bytes);
                const zk::fx::DveRect& r = zk::fx::dve_presets()[static_cast<size_t>(pattern)];
                EXPECT_EQ(point.x, zk::fx::to_fixed(r.x / 720.0, 24));
                EXPECT_EQ(point.height, zk::fx::to_fixed(r.height / 486.0, 24));
            }
        }
    }
}

TEST_F(WipeDve, RandomKeypointTablesRunFieldByFieldAndEndTheirWait)
{
    const std::uint32_t seed = zt::test_seed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    for (int i = 0; i < 6; ++i) {
        const long count = 2 + static_cast<long>(rng() % 19);
        std::vector<tag2DDVEPRM> table(static_cast<size_t>(count));
        for (tag2DDVEPRM& k : table) {
            k = tag2DDVEPRM{0, static_cast<LONG>(rng() % 3000) - 1500, static_cast<LONG>(rng() % 2000) - 1000,
                            static_cast<LONG>(rng() % 3000) - 1000, static_cast<LONG>(rng() % 2000) - 700,
                            static_cast<LONG>(rng() % 5)}; // 0 fields: reached in one
        }
        const long act = i % 3;
        const std::uint64_t from = board().journal().mark();
        ASSERT_EQ(actions.Set2DCustom(table.data(), count, act), 1);
        ASSERT_EQ(actions.Start2DDveAct(act), 1);
        const long long start = now();
        EXPECT_EQ(pumped([&] { return actions.Wait2DDveAct(); }), 1);
        zk::fx::DveAction want;
        ASSERT_EQ(zk::fx::make_dve_action(table.data(), count, act, want), 1);
        auto expected = run_bytes(want);
        expected.insert(expected.begin() + 1, expected.front());
        const auto got = sent(dve_input(kActFiesta[act]), from);
        EXPECT_EQ(bytes(got), expected) << "count " << count;
        const long long fields = static_cast<long long>(expected.size()) - 2;
        EXPECT_EQ(got.back().field, start + fields);
        EXPECT_EQ(now(), start + fields + 2) << "the wait: the end, then two fields";
    }
}

TEST_F(WipeDve, APausedActionHoldsItsPlaceAndABrokenOneStops)
{
    const tag2DDVEPRM table[3] = {{0, 0, 0, 720, 486, 0}, {0, 360, 243, 360, 243, 4}, {0, -720, 0, 720, 486, 6}};
    ASSERT_EQ(actions.Set2DCustom(table, 3, 1), 1);
    const std::uint64_t from = board().journal().mark();
    ASSERT_EQ(actions.Start2DDveAct(1), 1);
    ASSERT_TRUE(board().step_fields(3));
    ASSERT_EQ(actions.Pause2DDveAct(1), 1);
    ASSERT_TRUE(board().step_fields(5));
    EXPECT_EQ(sent(dve_input(3), from).size(), 4u) << "nothing while paused";
    EXPECT_EQ(actions.GetActState(1), 1) << "a paused action still runs";
    ASSERT_EQ(actions.ReStart2DDveAct(1), 1);
    ASSERT_TRUE(board().step_fields(10));
    zk::fx::DveAction want;
    ASSERT_EQ(zk::fx::make_dve_action(table, 3, 1, want), 1);
    EXPECT_EQ(bytes(sent(dve_input(3), from)), run_bytes(want)) << "the same move, held for five fields";
    EXPECT_EQ(actions.GetActState(1), 0);
    // Started again after its end, it plays from its first pattern: set up, start, every field.
    const std::uint64_t again = board().journal().mark();
    ASSERT_EQ(actions.Start2DDveAct(1), 1);
    ASSERT_TRUE(board().step_fields(12));
    auto replay = run_bytes(want);
    replay.insert(replay.begin(), replay.front());
    EXPECT_EQ(bytes(sent(dve_input(3), again)), replay);

    ASSERT_EQ(actions.Set2DPtn(3, 0, 30, 0), 1);
    ASSERT_EQ(actions.Start2DDveAct(0), 1);
    ASSERT_TRUE(board().step_fields(2));
    EXPECT_EQ(actions.Break2DDveAct(7), 1) << "act 7 is act 0";
    EXPECT_EQ(actions.GetActState(0), 0);
    const std::uint64_t after = board().journal().mark();
    ASSERT_TRUE(board().step_fields(3));
    EXPECT_TRUE(sent(dve_input(1), after).empty());
}

TEST_F(WipeDve, ActionRefusalsChangeNothing)
{
    ASSERT_EQ(actions.Set2DPtn(2, 0, 10, 2), 1);
    ASSERT_EQ(actions.Start2DDveAct(2), 1);
    ASSERT_TRUE(board().step_fields(2));
    const std::uint64_t from = board().journal().mark();
    const tag2DDVEPRM one[1] = {{0, 1, 2, 3, 4, 5}};
    std::vector<tag2DDVEPRM> many(21, one[0]);
    EXPECT_EQ(actions.Set2DCustom(one, 1, 2), 0);
    EXPECT_EQ(actions.Set2DCustom(many.data(), 21, 2), 0);
    EXPECT_EQ(actions.Set2DCustom(nullptr, 2, 2), 0);
    EXPECT_EQ(actions.Set2DPtn(15, 0, 10, 2), 0);
    EXPECT_EQ(actions.Set2DPtn(0, 0, 10, 3), 0);
    EXPECT_EQ(actions.Start2DDveAct(0), 0) << "never set";
    EXPECT_EQ(actions.Setup2DDveAct(-1), 0);
    EXPECT_EQ(actions.Pause2DDveAct(3), 0);
    EXPECT_EQ(actions.ReStart2DDveAct(-1), 0);
    EXPECT_TRUE(sent(dve_input(0), from).empty());
    EXPECT_EQ(actions.GetActState(2), 1) << "the running action runs on";
    ASSERT_TRUE(board().step_fields(1));
    EXPECT_EQ(sent(dve_input(0), from).size(), 1u) << "and only its own field's record was sent";
}

TEST_F(WipeDve, DirectPositionsGoStraightToTheActionsChannel)
{
    const std::uint64_t from = board().journal().mark();
    ASSERT_EQ(actions.PostionDirect2DDve(0.25, -0.5, 0.5, 1.5, 2), 1);
    ASSERT_EQ(actions.PostionDirect2DDveChnage(180, -243, 360, 729, 9), 1) << "act 9 is act 0";
    const auto a = sent(dve_input(0), from), b = sent(dve_input(1), from);
    ASSERT_EQ(a.size(), 1u);
    ASSERT_EQ(b.size(), 1u);
    const zk::mixer::Dve2D d = zk::mixer::read_dve(a[0].bytes);
    EXPECT_EQ(d.x, 0x400000);
    EXPECT_EQ(d.y, -8388607);
    EXPECT_EQ(d.width, 0x800000);
    EXPECT_EQ(d.height, 0x1800000);
    EXPECT_EQ(b[0].bytes, a[0].bytes) << "the same place given in pixels";
}

} // namespace
