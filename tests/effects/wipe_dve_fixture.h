// Shared set-up of the wipe and 2D DVE tests: a board on a hand-stepped clock with the effects
// graph built and its telop configuration playing (so the Fiesta channels and wipe units take
// records), the on-air control's wipe, DVE slide and 2D DVE action runners with its field
// wait, a CKr2DdveAct on its own thread, and, until the on-air control exists, a field
// harness (onair/gfb_fixture.h) that plays its vertical-sync steps: the field wait (first: see
// effects/field_wait.h), the wipes, the DVE slides, the own-thread action's field, the 2D DVE
// actions.
//
// Records are read back from the journal: the Keyframe entries of one unit input ("Fiesta1:2D
// DVE In", "WipeRenderer0:Fader In"), with the field each arrived in.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "effects/dve_action_runner.h"
#include "effects/dve_slide_runner.h"
#include "effects/field_wait.h"
#include "effects/kr_2ddve_act.h"
#include "effects/wipe_runner.h"
#include "onair/gfb_fixture.h"
#include "platform/board/board_journal.h"
#include "platform/testing/board.h"
#include "platform/testing/settle.h"

namespace zt {

// A record as it reached a unit.
struct Sent {
    long long field = 0;
    std::vector<std::uint8_t> bytes;
};

template <class Record>
std::vector<std::uint8_t> bytes_of(const Record& r)
{
    std::vector<std::uint8_t> out(sizeof r);
    std::memcpy(out.data(), &r, sizeof r);
    return out;
}

class WipeDveTest : public GfbGraphTest {
protected:
    void SetUp() override
    {
        GfbGraphTest::SetUp();
        if (HasFatalFailure()) return;
        ASSERT_EQ(graph->BilGraph_TelopNormal(), 0) << GetLastErrorText();
        ASSERT_EQ(graph->FgPlay(), S_OK);
        wipes.Initial(graph.get(), &fields);
        slides.Initial(graph.get(), &fields);
        actions.Initial(graph.get(), &fields);
        ASSERT_EQ(own.Initial(graph.get()), 1);
        vsync = std::make_unique<FieldHarness>(*graph, [this](unsigned long field) {
            fields.step_field();
            wipes.step_field();
            slides.step_field();
            own.SetEvent(static_cast<long>(field));
            actions.step_field();
        });
        ASSERT_TRUE(vsync->ok());
        ASSERT_TRUE(board().step_fields(3));
        mark = board().journal().mark();
    }
    void TearDown() override
    {
        vsync.reset();
        GfbGraphTest::TearDown();
    }

    // Every record accepted by `target` ("<unit>:<pin>") since `from`; a refused one fails.
    std::vector<Sent> sent(const std::string& target, std::uint64_t from)
    {
        std::vector<Sent> out;
        for (const zk::JournalEntry& e : board().journal().since(from)) {
            if (e.kind != zk::JournalKind::Keyframe || e.target != target) continue;
            EXPECT_TRUE(e.ok) << target << " refused a record in field " << e.field;
            out.push_back({e.field, e.bytes});
        }
        return out;
    }
    std::vector<Sent> sent(const std::string& target) { return sent(target, mark); }
    long long now() { return board().current_field(); }
    // Runs a blocking call on the test's thread while fields pass as needed; returns once the
    // field in which it returned has been handled by every thread.
    template <class F>
    long pumped(F&& call)
    {
        long result;
        {
            zk::IdlePump pump(board());
            result = static_cast<long>(call());
            pump.stop();
            EXPECT_FALSE(pump.failed());
        }
        EXPECT_TRUE(zk::settle());
        return result;
    }

    zk::FieldWait fields;
    zk::WipeRunner wipes;
    zk::DveSlideRunner slides;
    zk::DveActionRunner actions;
    CKr2DdveAct own;
    std::unique_ptr<FieldHarness> vsync;
};

} // namespace zt
