// Waiting on the host's thread for fields to pass, as the on-air control's WaitField does, and
// the "wait until done, then two more fields" that ends every wait for a running effect.
//
// The vertical-sync thread calls step_field() once per field, FIRST, before it steps any
// effect; WaitField() raises a flag and returns once a step_field() has cleared it, so it
// returns at the beginning of the next field. (Clearing the flag later in the field, after
// some effects have been stepped, would let a wait begun by one of those effects' ends return
// in that same field: one field early, or not, by a race with the waiting thread.) It also
// looks at the flag every 333 ms on its own, as the original did between fields, so a wait
// begun just as the flag is cleared never sleeps through it.
//
// wait_then_two_fields(done, busy) is the shape of WipeWait, DveSlideWait and Wait2DDveAct:
// while `busy()` holds it waits on the effect's done event (and looks again every 333 ms, so a
// state that changed without a signal is seen too), then waits two fields so that the last
// record has reached the air: a run that ended in field N releases its waiter as field N + 2
// begins. Both block until fields pass: never call them from the vertical-sync thread.
#pragma once

#include <atomic>
#include <functional>

#include "platform/win32/win32_sync.h"

namespace zk {

class FieldWait {
public:
    FieldWait();
    ~FieldWait();
    FieldWait(const FieldWait&) = delete;
    FieldWait& operator=(const FieldWait&) = delete;

    // Returns 0 once the next field has been stepped.
    int WaitField();
    // The vertical-sync thread, once per field: ends a pending WaitField.
    void step_field();
    bool waiting() const { return flag_.load() != 0; }

    void wait_then_two_fields(HANDLE done, const std::function<bool()>& busy);

private:
    std::atomic<int> flag_{0};
    HANDLE event_ = nullptr;
};

// How often a wait for fields looks at its flag on its own, in milliseconds.
inline constexpr DWORD kFieldPollMs = 333;

} // namespace zk
