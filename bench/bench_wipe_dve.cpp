// The on-air control's wipe, DVE slide and 2D DVE action runners: the work each adds to the
// vertical-sync thread's field, reported as a percentage of the 16.68 ms field period
// ("field_pct", on CPU time).
//
// A rig is the effects graph built in its telop configuration on the virtual board (so every
// record reaches a unit input, is checked and journalled as on air) with the runners on it.
// One iteration is one field of the vertical-sync thread: the field wait's step, then each
// runner's step_field, which makes and sends the next record of every running unit. The cases
// run both wipe units, both DVE slides, all three 2D DVE actions, and all seven at once; their
// peer ("idle") is the same field handed to the runners with nothing running. A run that ends
// is started again outside the timing.
//
// As measured on the shared build machine (taskset -c 1, a load of about 10; processor time of
// the whole process per field as a share of the 16.68 ms field): two wipes 0.006 % (1.1 us),
// two DVE slides 0.006 %, three 2D DVE actions 0.009 % (1.6 us), all seven 0.022 % (3.7 us),
// the idle field 0.0001 %; each record sent costs about half a microsecond, nearly all of it
// the graph's send and its journal entry.
#include <benchmark/benchmark.h>

#include <ctime>

#include "effects/dve_action_runner.h"
#include "effects/dve_slide_runner.h"
#include "effects/field_wait.h"
#include "effects/wipe_runner.h"
#include "onair/mq_graph.h"
#include "platform/board/board_journal.h"
#include "platform/testing/board.h"

namespace {

constexpr double kFieldSeconds = 0.01668;

// Long runs, so that restarts are rare; a restart is not part of a field's cost.
constexpr unsigned long kWipeSteps = 600;
constexpr unsigned long kSlideSteps = 600;
constexpr long kActFields = 600;

enum Runs : unsigned { kWipes = 1, kSlides = 2, kActions = 4, kAll = 7 };

class RunnerRig {
public:
    explicit RunnerRig(unsigned runs) : runs_(runs)
    {
        ok_ = graph_.Initialize(TRUE) == S_OK && graph_.BuildGraph() == S_OK && graph_.BilGraph_TelopNormal() == 0 &&
              graph_.FgPlay() == S_OK;
        wipes_.Initial(&graph_, &fields_);
        slides_.Initial(&graph_, &fields_);
        actions_.Initial(&graph_, &fields_);
        // A bordered wipe each way, a slide in from the left and one out to the top, and three
        // different presets coming in.
        ok_ = ok_ && wipes_.WipeSet(0, 3, 1, 0, 0x10, 0xFF00FF00, 0, kWipeSteps) == 0 &&
              wipes_.WipeSet(1, 7, 0, 1, 0x20, 0xFFFF0000, 1, kWipeSteps) == 0 &&
              slides_.DveSlideSet(0, 0, 1, 4, 0xFFFFFFFF, kSlideSteps) == 0 &&
              slides_.DveSlideSet(1, 2, 0, 4, 0xFF0000FF, kSlideSteps) == 0;
        for (long act = 0; act < zk::DveActionRunner::kActions; ++act) {
            ok_ = ok_ && actions_.Set2DPtn(act * 5, 0, kActFields, act) == 1;
        }
    }
    bool ok() const { return ok_; }

    // Starts whatever of the case's runs is idle; false when a start was refused.
    bool start_idle()
    {
        bool ok = true;
        if ((runs_ & kWipes) != 0) {
            for (long u = 0; u < 2; ++u) {
                if (wipes_.GetWipeState(u) == 0) ok = ok && wipes_.WipeStart(u) == 0;
            }
        }
        if ((runs_ & kSlides) != 0) {
            for (long s = 0; s < 2; ++s) {
                if (slides_.GetDveSlideState(s) == 0) ok = ok && slides_.DveSlideStart(s) == 0;
            }
        }
        if ((runs_ & kActions) != 0) {
            for (long a = 0; a < zk::DveActionRunner::kActions; ++a) {
                if (actions_.GetActState(a) == 0) ok = ok && actions_.Start2DDveAct(a) == 1;
            }
        }
        return ok;
    }
    bool any_idle() const
    {
        bool idle = false;
        if ((runs_ & kWipes) != 0) idle = idle || wipes_.GetWipeState(0) == 0 || wipes_.GetWipeState(1) == 0;
        if ((runs_ & kSlides) != 0) idle = idle || slides_.GetDveSlideState(0) == 0 || slides_.GetDveSlideState(1) == 0;
        if ((runs_ & kActions) != 0) {
            for (long a = 0; a < zk::DveActionRunner::kActions; ++a) idle = idle || actions_.GetActState(a) == 0;
        }
        return idle;
    }

    // One field as the vertical-sync thread hands it on.
    void field()
    {
        fields_.step_field();
        wipes_.step_field();
        slides_.step_field();
        actions_.step_field();
    }

    // The journal keeps every record; a long run must not measure its growth.
    void trim_journal() { board_.board().journal().clear(); }

private:
    zk::BoardOverride board_{zk::manual_board_config()};
    CMQGraph graph_;
    zk::FieldWait fields_;
    zk::WipeRunner wipes_;
    zk::DveSlideRunner slides_;
    zk::DveActionRunner actions_;
    unsigned runs_;
    bool ok_ = false;
};

void runner_case(benchmark::State& state, unsigned runs)
{
    RunnerRig rig(runs);
    if (!rig.ok() || !rig.start_idle()) return state.SkipWithError("the runs did not start");
    long fields = 0;
    std::clock_t outside = 0;
    const std::clock_t started = std::clock();
    for (auto _ : state) {
        rig.field();
        if (++fields % 512 == 0 || (runs != 0 && rig.any_idle())) {
            const std::clock_t t = std::clock();
            state.PauseTiming();
            if (fields % 512 == 0) rig.trim_journal();
            if (!rig.start_idle()) state.SkipWithError("a restart was refused");
            state.ResumeTiming();
            outside += std::clock() - t;
        }
    }
    const double seconds = static_cast<double>(std::clock() - started - outside) / CLOCKS_PER_SEC;
    state.counters["field_pct"] = seconds / static_cast<double>(state.iterations()) / kFieldSeconds * 100;
}

BENCHMARK_CAPTURE(runner_case, wipes, kWipes)->Name("RunnerFieldTwoWipes.zorvik")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(runner_case, slides, kSlides)->Name("RunnerFieldTwoDveSlides.zorvik")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(runner_case, actions, kActions)->Name("RunnerFieldThree2DDveActions.zorvik")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(runner_case, all, kAll)->Name("RunnerFieldAllSeven.zorvik")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(runner_case, idle, 0u)->Name("RunnerField.idle")->Unit(benchmark::kMicrosecond);

} // namespace
