// CKr2DdveAct on its own thread, on a stepped board: the set-up record, one record a field on
// the channel's Fiesta unit (journal first), the end event on the field of the last record,
// breaks, pauses and restarts, Crear, the waits, refusals, and no thread left behind.
#include <gtest/gtest.h>

#include "effects/kr_2ddve_act_core.h"
#include "effects/wipe_dve_fixture.h"

namespace {

using zt::bytes_of;

class Act2D : public zt::WipeDveTest {
protected:
    void TearDown() override
    {
        own.Crear();
        zt::WipeDveTest::TearDown();
    }
    static bool signalled(CEvent& e) { return WaitForSingleObject(e, 0) == WAIT_OBJECT_0; }
    std::vector<std::vector<std::uint8_t>> records(const char* target, std::uint64_t from)
    {
        std::vector<std::vector<std::uint8_t>> out;
        for (const zt::Sent& s : sent(target, from)) out.push_back(s.bytes);
        return out;
    }
    static std::vector<std::vector<std::uint8_t>> run_of(const tag2DDVEPRM* table, long count)
    {
        zk::fx::DveAction a;
        EXPECT_EQ(zk::fx::make_dve_action(table, count, 0, a), 1);
        std::vector<std::vector<std::uint8_t>> out;
        for (const MQVIDFX_2DDVE_KEYFRAME& r : zk::fx::dve_action_run(a, zk::fx::default_dve_record())) out.push_back(bytes_of(r));
        return out;
    }

    // Three keypoints: 3 fields, then a jump (0 fields: one field), then 4 fields.
    const tag2DDVEPRM table[4] = {{0, 0, 0, 720, 486, 9},
                                  {1, 180, 120, 360, 243, 3},
                                  {2, 540, 0, 180, 122, 0},
                                  {3, -90, 400, 90, 60, 4}};
};

TEST_F(Act2D, RunsOnItsOwnThreadOneRecordAFieldAndSetsItsEndEventOnTheLastField)
{
    CEvent end(FALSE, TRUE);
    const size_t handles = zk::open_handle_count();
    own.Set2DDveEndEvent(&end);
    ASSERT_EQ(own.Set2D(table, 4, 1), 1);
    EXPECT_EQ(own.GetFieldMax(2), 1) << "a keypoint of 0 fields takes one";
    EXPECT_EQ(own.GetFieldMax(4), 0);
    const std::uint64_t from = board().journal().mark();
    const long long start = now();
    ASSERT_EQ(own.Start2D(), 1);
    EXPECT_TRUE(own.IsRunning());
    EXPECT_EQ(own.Start2D(), 0) << "already running";
    EXPECT_EQ(own.Set2D(table, 2, 0), 0) << "no new keypoints while running";
    for (int f = 1; f <= 8; ++f) {
        ASSERT_FALSE(signalled(end)) << "field " << f;
        ASSERT_TRUE(board().step_fields(1));
    }
    EXPECT_TRUE(signalled(end)) << "set on the field of the last record";
    EXPECT_FALSE(own.IsRunning());
    EXPECT_FALSE(own.IsSetUp());
    ASSERT_TRUE(board().step_fields(3));

    const auto got = sent("Fiesta3:2D DVE In", from);
    EXPECT_EQ(records("Fiesta3:2D DVE In", from), run_of(table, 4));
    ASSERT_EQ(got.size(), 9u) << "the set-up and 3 + 1 + 4 fields";
    for (size_t k = 0; k < got.size(); ++k) EXPECT_EQ(got[k].field, start + static_cast<long long>(k));
    own.Crear();
    EXPECT_EQ(zk::open_handle_count(), handles) << "the worker was joined";
}

TEST_F(Act2D, ABreakSendsTheFieldUnderWayThenStops)
{
    CEvent end(FALSE, TRUE);
    own.Set2DDveEndEvent(&end);
    ASSERT_EQ(own.Set2D(4, 0, 20, 0), 1);
    const std::uint64_t from = board().journal().mark();
    ASSERT_EQ(own.Start2D(), 1);
    ASSERT_TRUE(board().step_fields(3));
    ASSERT_EQ(own.Break2D(), 1);
    EXPECT_FALSE(signalled(end));
    ASSERT_TRUE(board().step_fields(1));
    EXPECT_TRUE(signalled(end));
    EXPECT_FALSE(own.IsRunning());
    EXPECT_EQ(own.Break2D(), 0) << "nothing to break";
    ASSERT_TRUE(board().step_fields(4));
    EXPECT_EQ(sent("Fiesta1:2D DVE In", from).size(), 1u + 4u);
}

TEST_F(Act2D, APauseKeepsItsPlaceAndARestartGoesOnFromIt)
{
    CEvent end(FALSE, TRUE);
    own.Set2DDveEndEvent(&end);
    ASSERT_EQ(own.Set2D(table, 4, 7), 1);
    const std::uint64_t from = board().journal().mark();
    ASSERT_EQ(own.Start2D(), 1);
    ASSERT_TRUE(board().step_fields(2));
    ASSERT_EQ(own.Pause2D(), 1);
    ASSERT_TRUE(board().step_fields(1));
    EXPECT_FALSE(own.IsRunning());
    EXPECT_TRUE(own.IsPaused());
    EXPECT_TRUE(signalled(end)) << "the thread stopped";
    end.ResetEvent();
    EXPECT_EQ(own.Start2D(), 0) << "paused: only a restart goes on";
    EXPECT_EQ(own.Pause2D(), 0);
    ASSERT_TRUE(board().step_fields(4));
    EXPECT_EQ(sent("Fiesta0:2D DVE In", from).size(), 4u) << "channel 7 drives Fiesta 0; nothing while paused";
    // Moving the record by hand while paused does not shift the move.
    ASSERT_EQ(own.Setup2DParam(3), 1);
    ASSERT_EQ(own.Set2DPosition(2, 3), 1);
    ASSERT_EQ(own.ReStart2D(), 1);
    EXPECT_EQ(own.ReStart2D(), 0) << "running";
    ASSERT_TRUE(board().step_fields(7));
    EXPECT_TRUE(signalled(end));
    EXPECT_EQ(records("Fiesta0:2D DVE In", from), run_of(table, 4)) << "the whole move, held for four fields";
}

TEST_F(Act2D, CrearEndsAMoveAtOnceWithoutItsEndEvent)
{
    CEvent end(FALSE, TRUE);
    const size_t handles = zk::open_handle_count();
    own.Set2DDveEndEvent(&end);
    ASSERT_EQ(own.Set2D(0, 1, 30, 0), 1);
    ASSERT_EQ(own.Start2D(), 1);
    ASSERT_TRUE(board().step_fields(2));
    const std::uint64_t from = board().journal().mark();
    ASSERT_EQ(own.Crear(), 1);
    EXPECT_FALSE(own.IsRunning());
    EXPECT_FALSE(signalled(end));
    EXPECT_EQ(zk::open_handle_count(), handles);
    ASSERT_TRUE(board().step_fields(3));
    EXPECT_TRUE(sent("Fiesta1:2D DVE In", from).empty());
    EXPECT_FALSE(own.IsSet());
    EXPECT_EQ(own.Start2D(), 0) << "no move is set any more";
}

TEST_F(Act2D, Wait2DReturnsTwoFieldsAfterTheLastRecord)
{
    ASSERT_EQ(own.Set2D(table, 4, 0), 1);
    const long long start = now();
    ASSERT_EQ(own.Start2D(), 1);
    EXPECT_EQ(pumped([&] { return own.Wait2D(); }), 1);
    EXPECT_EQ(now(), start + 8 + 2);
    EXPECT_EQ(sent("Fiesta1:2D DVE In").back().field, start + 8);
}

TEST_F(Act2D, SetUpAndRefusals)
{
    CKr2DdveAct alone;
    EXPECT_EQ(alone.Initial(nullptr), 0);
    ASSERT_EQ(alone.Set2D(table, 4, 0), 1);
    EXPECT_EQ(alone.Setup2D(), 0) << "no graph";
    EXPECT_EQ(alone.Start2D(), 0);

    std::vector<tag2DDVEPRM> many(21, table[1]);
    EXPECT_EQ(own.Set2D(many.data(), 21, 0), 0);
    EXPECT_EQ(own.Set2D(table, 1, 0), 0);
    EXPECT_EQ(own.Set2D(15, 0, 10, 0), 0);
    EXPECT_EQ(own.Setup2D(), 0) << "nothing set";
    EXPECT_EQ(own.ReStart2D(), 0) << "not paused";
    EXPECT_EQ(own.Pause2D(), 0) << "not running";

    ASSERT_EQ(own.Set2D(table, 4, 1), 1);
    const std::uint64_t from = board().journal().mark();
    EXPECT_EQ(own.Setup2D(), 1);
    EXPECT_EQ(own.Setup2D(), 0) << "set up already";
    EXPECT_EQ(sent("Fiesta3:2D DVE In", from).size(), 1u) << "the set-up sends once";
    EXPECT_EQ(own.Set2DPosition(1, 2), 0) << "segment 2 is not prepared";
    EXPECT_EQ(own.Setup2DParam(0), 0);
    EXPECT_EQ(own.Setup2DParam(4), 0);
}

TEST_F(Act2D, DirectPositionsAndTheChannelRule)
{
    ASSERT_EQ(own.Set2D(table, 2, 2), 1);
    EXPECT_EQ(own.GetFiestaChannel(), 0);
    ASSERT_EQ(own.PostionDirect2DChnage(360, 121.5, 1440, -486), 1);
    const std::uint64_t from = board().journal().mark();
    ASSERT_EQ(own.Set2DDveActKeyFrame(), 1);
    const auto got = sent("Fiesta0:2D DVE In", from);
    ASSERT_EQ(got.size(), 1u);
    CKr2Ddve want;
    want.Set2DdveHorPos(0.5);
    want.Set2DdveVerPos(0.25);
    want.Set2DdveHorSize(2.0);
    want.Set2DdveVerSize(-1.0);
    EXPECT_EQ(got[0].bytes, bytes_of(*want.Get2DdveKeyframe()));
    ASSERT_EQ(own.Set2D(table, 2, 0), 1);
    EXPECT_EQ(own.GetFiestaChannel(), 1);
    ASSERT_EQ(own.Set2D(table, 2, 1), 1);
    EXPECT_EQ(own.GetFiestaChannel(), 3);
}

} // namespace
