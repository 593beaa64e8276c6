// The moving effects as the host drives them through the controller: the wipe units, the DVE
// slides and the 2D DVE actions stepped by the controller's vertical-sync thread (which unit or
// channel each number reaches, when a run is done, when the waits return, runs of no steps),
// the order of one field's steps, and the roll and the frame-buffer roll putting pictures up
// through the controller.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "effects/gfb_roll.h"
#include "effects/kr_2ddve_act_core.h"
#include "framebuffer/kr_frame_buffer.h"
#include "online/online_fixture.h"
#include "platform/board/gfb_device.h"
#include "platform/testing/settle.h"

namespace zt {
namespace {

// A unit input's records since `from`, as the fields they arrived in; a refused one fails.
std::vector<long long> record_fields(zk::VirtualBoard& board, const std::string& target, std::uint64_t from)
{
    std::vector<long long> out;
    for (const zk::JournalEntry& e : board.journal().since(from)) {
        if (e.kind != zk::JournalKind::Keyframe || e.target != target) continue;
        EXPECT_TRUE(e.ok) << target << " refused a record in field " << e.field;
        out.push_back(e.field);
    }
    return out;
}

// Every unit input that took a record since `from`.
std::vector<std::string> record_targets(zk::VirtualBoard& board, std::uint64_t from)
{
    std::vector<std::string> out;
    for (const zk::JournalEntry& e : board.journal().since(from))
        if (e.kind == zk::JournalKind::Keyframe && std::find(out.begin(), out.end(), e.target) == out.end())
            out.push_back(e.target);
    std::sort(out.begin(), out.end());
    return out;
}

std::string fader_in(int unit)
{
    return "WipeRenderer" + std::to_string(unit) + ":Fader In";
}
std::string wipe_in(int unit)
{
    return "WipeRenderer" + std::to_string(unit) + ":Wipe In";
}
std::string dve_in(int fiesta)
{
    return "Fiesta" + std::to_string(fiesta) + ":2D DVE In";
}

class Effects : public OnlineTest {
protected:
    long long now() { return board().current_field(); }
    // A blocking call on the test's thread while fields pass; the field it returned in.
    template <class F>
    long long returns_in(F&& call, int& result)
    {
        zk::IdlePump pump(board());
        result = call();
        const long long at = now();
        pump.stop();
        EXPECT_FALSE(pump.failed());
        return at;
    }
};

// ---- wipes ----

struct WipeCase {
    const char* name;
    int unit;      // as the host passes it
    int reached;   // the mixer unit it means
    unsigned long steps;
};

class Wipes : public Effects, public ::testing::WithParamInterface<WipeCase> {};

TEST_P(Wipes, AWipeShowsOneStepAFieldIsDoneAfterItsStepsAndItsWaitTwoFieldsLater)
{
    const WipeCase c = GetParam();
    ASSERT_EQ(ctl->WipeSet(c.unit, 101, 1, 1, 12, 300, 0, c.steps), 0);
    ASSERT_TRUE(board().step_fields(1));
    const std::uint64_t from = board().journal().mark();
    const long long start = now();
    ASSERT_EQ(ctl->WipeStart(c.reached), 0);
    EXPECT_EQ(ctl->GetWipeState(c.reached), 1);
    // A wipe of no steps is a cut: done on its first field rather than never.
    const long long fields = std::max<long long>(static_cast<long long>(c.steps), 1);
    int result = -1;
    const long long returned = returns_in([&] { return ctl->WipeWait(); }, result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(returned, start + fields + 2) << "two fields after the last step";
    EXPECT_EQ(ctl->GetWipeState(c.reached), 0);

    std::vector<long long> want;
    for (long long f = 1; f <= fields; ++f) want.push_back(start + f);
    EXPECT_EQ(record_fields(board(), fader_in(c.reached), from), want) << "one fader step a field";
    EXPECT_EQ(record_fields(board(), wipe_in(c.reached), from), std::vector<long long>{start}) << "again at the start";
    EXPECT_TRUE(record_fields(board(), fader_in(1 - c.reached), mark).empty()) << "the other unit is left alone";
}

INSTANTIATE_TEST_SUITE_P(Online, Wipes,
                         ::testing::Values(WipeCase{"Unit0", 0, 0, 4}, WipeCase{"Unit1", 1, 1, 3},
                                           WipeCase{"Unit5IsUnit0", 5, 0, 2}, WipeCase{"MinusOneIsUnit0", -1, 0, 6},
                                           WipeCase{"ACutOfNoSteps", 1, 1, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Effects, BothWipesAtOnceAndNoOtherChoice)
{
    ASSERT_EQ(ctl->WipeSet(0, 2, 0, 0, 0, 0, 0, 3), 0);
    ASSERT_EQ(ctl->WipeSet(1, 2, 0, 0, 0, 0, 1, 5), 0);
    EXPECT_EQ(ctl->WipeStart(3), -1);
    EXPECT_EQ(ctl->GetWipeState(0) + ctl->GetWipeState(1), 0) << "nothing started";
    const long long start = now();
    ASSERT_EQ(ctl->WipeStart(2), 0);
    int result = -1;
    EXPECT_EQ(returns_in([&] { return ctl->WipeWait(); }, result), start + 5 + 2) << "the wait is for both";
    EXPECT_EQ(record_fields(board(), fader_in(0), mark).back(), start + 3);
    EXPECT_EQ(record_fields(board(), fader_in(1), mark).back(), start + 5);
}

// ---- DVE slides ----

struct SlideCase {
    const char* name;
    int slide;  // as the host passes it
    int which;  // the slide it means
    int fiesta; // the channel whose 2D DVE it moves
    unsigned long steps;
};

class DveSlides : public Effects, public ::testing::WithParamInterface<SlideCase> {};

TEST_P(DveSlides, ASlideMovesItsChannelOneStepAFieldAndEnds)
{
    const SlideCase c = GetParam();
    // Slide, direction, in, border width, border colour, steps.
    ASSERT_EQ(ctl->DveSlideSet(c.slide, 2, 1, 3, 0xFF10E0F0, c.steps), 0);
    const long long set_at = now();
    ASSERT_TRUE(board().step_fields(1));
    const long long start = now();
    ASSERT_EQ(ctl->DveSlideStart(c.which), 0);
    const long long fields = std::max<long long>(static_cast<long long>(c.steps), 1);
    int result = -1;
    EXPECT_EQ(returns_in([&] { return ctl->DveSlideWait(); }, result), start + fields + 2);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(ctl->GetDveSlideState(c.which), 0);

    std::vector<long long> want = {set_at, start};
    for (long long f = 1; f <= fields; ++f) want.push_back(start + f);
    EXPECT_EQ(record_fields(board(), dve_in(c.fiesta), mark), want) << "at the set, the start, then each step";
    EXPECT_EQ(record_targets(board(), mark), std::vector<std::string>{dve_in(c.fiesta)}) << "no other channel";
}

INSTANTIATE_TEST_SUITE_P(Online, DveSlides,
                         ::testing::Values(SlideCase{"Slide0", 0, 0, 1, 4}, SlideCase{"Slide1", 1, 1, 3, 3},
                                           SlideCase{"Slide7IsSlide0", 7, 0, 1, 2},
                                           SlideCase{"ACutOfNoSteps", 1, 1, 3, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- 2D DVE actions ----

struct ActCase {
    int act;
    int fiesta;
};

class DveActions : public Effects, public ::testing::WithParamInterface<ActCase> {};

TEST_P(DveActions, AnActionMovesItsChannelForItsFieldsAndItsWaitEndsTwoFieldsLater)
{
    const ActCase c = GetParam();
    // Pattern, out, fields, action.
    ASSERT_EQ(ctl->Set2DPtn(3, 0, 6, c.act), 1);
    EXPECT_EQ(ctl->GetActState(c.act), 0) << "set up, not started";
    const long long set_at = now();
    ASSERT_TRUE(board().step_fields(1));
    const long long start = now();
    ASSERT_EQ(ctl->Start2DDveAct(c.act), 1);
    int result = -1;
    EXPECT_EQ(returns_in([&] { return ctl->Wait2DDveAct(); }, result), start + 6 + 2);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(ctl->GetActState(c.act), 0);
    std::vector<long long> want = {set_at, start};
    for (long long f = 1; f <= 6; ++f) want.push_back(start + f);
    EXPECT_EQ(record_fields(board(), dve_in(c.fiesta), mark), want);
    EXPECT_EQ(record_targets(board(), mark), std::vector<std::string>{dve_in(c.fiesta)});

    // Placed directly: on the same channel, at once.
    const std::uint64_t from = board().journal().mark();
    EXPECT_EQ(ctl->PostionDirect2DDve(0.1, 0.2, 0.5, 0.5, c.act), 1);
    EXPECT_EQ(ctl->PostionDirect2DDveChnage(72, 48, 360, 243, c.act), 1);
    EXPECT_EQ(record_fields(board(), dve_in(c.fiesta), from).size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Online, DveActions, ::testing::Values(ActCase{0, 1}, ActCase{1, 3}, ActCase{2, 0}),
                         [](const auto& info) { return "Action" + std::to_string(info.param.act); });

TEST_F(Effects, ActionsOutsideTheirRangeAreRefusedOrTakenAsActionZeroAsEachOperationSays)
{
    tag2DDVEPRM table[3] = {{0, 0, 0, 720, 486, 0}, {0, 100, 100, 200, 100, 4}, {0, 0, 0, 720, 486, 0}};
    EXPECT_EQ(ctl->Set2DCustom(table, 1, 0), 0) << "one keypoint is no move";
    EXPECT_EQ(ctl->Set2DCustom(table, 3, 3), 0);
    EXPECT_EQ(ctl->Set2DPtn(3, 0, 6, 3), 0);
    EXPECT_EQ(ctl->Set2DPtn(15, 0, 6, 0), 0) << "no such preset";
    EXPECT_EQ(ctl->Start2DDveAct(-1), 0);
    EXPECT_TRUE(record_targets(board(), mark).empty()) << "refusals change nothing";

    EXPECT_EQ(ctl->PostionDirect2DDve(0, 0, 1, 1, 9), 1);
    EXPECT_EQ(record_targets(board(), mark), std::vector<std::string>{dve_in(1)}) << "action 9 is action 0";

    // Keypoints of 4 then 0 fields: the last is reached in one field, so the move ends.
    ASSERT_EQ(ctl->Set2DCustom(table, 3, 0), 1);
    ASSERT_EQ(ctl->Start2DDveAct(0), 1);
    ASSERT_TRUE(board().step_fields(5));
    EXPECT_EQ(ctl->GetActState(0), 0);

    ASSERT_EQ(ctl->Set2DPtn(0, 1, 100, 0), 1);
    ASSERT_EQ(ctl->Start2DDveAct(0), 1);
    ASSERT_TRUE(board().step_fields(2));
    EXPECT_EQ(ctl->Break2DDveAct(7), 1) << "action 7 is action 0";
    EXPECT_EQ(ctl->GetActState(0), 0);
    const std::uint64_t from = board().journal().mark();
    ASSERT_TRUE(board().step_fields(3));
    EXPECT_TRUE(record_targets(board(), from).empty()) << "a broken action sends nothing more";
}

TEST_F(Effects, APausedActionHoldsItsPlaceUntilRestarted)
{
    ASSERT_EQ(ctl->Set2DPtn(5, 0, 10, 1), 1);
    ASSERT_EQ(ctl->Start2DDveAct(1), 1);
    ASSERT_TRUE(board().step_fields(3));
    EXPECT_EQ(ctl->Pause2DDveAct(1), 1);
    std::uint64_t from = board().journal().mark();
    ASSERT_TRUE(board().step_fields(20));
    EXPECT_TRUE(record_fields(board(), dve_in(3), from).empty());
    EXPECT_EQ(ctl->GetActState(1), 1) << "paused, not ended";
    EXPECT_EQ(ctl->ReStart2DDveAct(1), 1);
    from = board().journal().mark();
    ASSERT_TRUE(board().step_fields(10));
    EXPECT_EQ(record_fields(board(), dve_in(3), from).size(), 7u) << "the seven fields it had left";
    EXPECT_EQ(ctl->GetActState(1), 0);
}

// ---- one field's steps ----

TEST_F(Effects, OneFieldShowsTheFieldWorkThenWipesThenSlidesThenActions)
{
    ASSERT_EQ(ctl->WipeSet(0, 1, 0, 0, 0, 0, 0, 4), 0);
    ASSERT_EQ(ctl->DveSlideSet(0, 0, 1, 0, 0, 4), 0);
    ASSERT_EQ(ctl->Set2DPtn(2, 0, 4, 2), 1);
    ASSERT_EQ(ctl->WipeStart(0), 0);
    ASSERT_EQ(ctl->DveSlideStart(0), 0);
    ASSERT_EQ(ctl->Start2DDveAct(2), 1);
    // A rectangle drawn on air becomes field work for the next fields.
    ASSERT_EQ(ctl->BoxFill(10, 10, 40, 20, 0xFF00FF00), 0);
    const std::uint64_t from = board().journal().mark();
    ASSERT_TRUE(board().step_fields(1));
    std::vector<std::string> order;
    for (const zk::JournalEntry& e : board().journal().since(from)) {
        if (e.kind == zk::JournalKind::DeviceRequest && e.code == IOCTL_GFB_BLIT) order.push_back("field work");
        if (e.kind == zk::JournalKind::Keyframe) order.push_back(e.target);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"field work", fader_in(0), dve_in(1), dve_in(0)}));
}

// ---- the rolls ----

TEST_F(Effects, ARollPutsItsFirstScreenUpThroughTheControllerAndSignalsItsEnd)
{
    std::mt19937 rng(test_seed());
    CKrFrameBuffer tall = random_buffer(720, 520, rng, 1);
    CEvent ended(FALSE, TRUE);
    EXPECT_EQ(ctl->SetRoll(nullptr, 35, 1, 0), 0);
    ASSERT_EQ(ctl->SetRoll(&tall, 100, 1, 0), TRUE);
    ctl->SetRollEndEvent(&ended); // after SetRoll, which lets an earlier event go
    EXPECT_EQ(ctl->GetStepRoll(), 100);
    EXPECT_GT(ctl->GetTimeRoll(), 0u);
    EXPECT_EQ(ctl->CompStepToTime(&tall, 100, 1, 0), ctl->GetTimeRoll());
    ASSERT_EQ(ctl->StartRoll(), 1);
    // The first screen went to the on-air bank's output: written into the back area.
    const std::vector<GfbWriteSeen> writes = rig.gfb_writes(mark);
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.front().target, "GFB back");
    EXPECT_EQ(writes.front().words[3], 720) << "the whole width";
    EXPECT_EQ(ctl->GetStateRoll(), 1);
    int fields = 0;
    for (; ctl->GetStateRoll() && fields < 100; ++fields) ASSERT_TRUE(board().step_fields(1));
    EXPECT_EQ(fields, 5) << "34 pixels at 10 a field (four moves), then the field that ends it";
    EXPECT_EQ(WaitForSingleObject(ended, 0), WAIT_OBJECT_0);
    ctl->CrearRoll();
    EXPECT_EQ(ctl->StartRoll(), 0) << "nothing left to roll";
}

TEST_F(Effects, TheFrameBufferRollPushesTheNextBankInAndEnds)
{
    ASSERT_EQ(ctl->SetBankNext(1), 0);
    ASSERT_EQ(ctl->GfbRoll(3, 2, 10, 0), 1);
    EXPECT_EQ(ctl->GfbRoll(3, 2, 10, 0), 0) << "one at a time";
    ASSERT_TRUE(board().step_fields(9));
    EXPECT_EQ(ctl->GetGfbRoll()->CheckRollEnd(), 1);
    ASSERT_TRUE(board().step_fields(1));
    EXPECT_EQ(ctl->GetGfbRoll()->CheckRollEnd(), 0) << "done on its tenth field";
    EXPECT_FALSE(rig.blits(mark).empty());
}

} // namespace
} // namespace zt
