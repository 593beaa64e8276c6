// The on-air control's two wipe units, run field by field.
//
// WipeSet keeps a wipe's parameters in the unit's CKrWipe and sends the unit its wipe record
// and the fader record of step 0 (the transition not begun). WipeStart sends the wipe record
// again and starts the unit (or both); from the next field on, WipeThread, called by the
// vertical-sync thread once per field for each running unit, sends the fader record of the
// next step, and the last step ends the run and signals the wipe-done event. WipeWait returns
// when both units are idle and two more fields have passed.
//
// Numbers and orders as the host passes them: WipeSet(unit, pattern, modifier, mode, value1,
// value2, direction, steps), a unit outside 0-1 meaning unit 0, direction 0 forward and any
// other backward; WipeStart(which) with 0, 1 or 2 (both). Setting a unit while it runs ends
// that run: the new wipe starts from its own step 0. A run of 0 steps is a cut: the fader goes
// to its end on the first field. Results: 0, or -1 when a record did not reach the unit (or
// `which` is out of range).
#pragma once

#include <array>

#include "effects/field_wait.h"
#include "effects/kr_wipe.h"
#include "effects/step_runs.h"

class CMQGraph;

namespace zk {

class WipeRunner {
public:
    // The graph the records go to and the control's field wait (both borrowed).
    void Initial(CMQGraph* graph, FieldWait* fields);

    long WipeSet(long unit, unsigned long pattern, unsigned long modifier, unsigned long mode, unsigned long value1,
                 unsigned long value2, unsigned long direction, unsigned long steps);
    long WipeStart(long which);
    // One field of a running unit; nothing for an idle one.
    void WipeThread(long unit);
    long WipeWait();

    // The vertical-sync thread's step: WipeThread for each running unit.
    void step_field();
    // 0 idle, 2 starting, 1 running.
    int GetWipeState(long unit) const { return runs_.state(static_cast<int>(unit)); }

private:
    CMQGraph* graph_ = nullptr;
    FieldWait* fields_ = nullptr;
    StepRuns runs_;
    std::array<CKrWipe, StepRuns::kUnits> wipes_; // under the runs' lock
};

} // namespace zk
