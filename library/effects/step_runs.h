// The run bookkeeping that the wipe units and the 2D DVE slides of the on-air control share:
// two units, each idle (0), starting (2) or running (1), stepped once per field by the
// vertical-sync thread until its step count is reached, one done event for both, and the wait
// for both to be idle.
//
// A run of n steps shows steps 1 ... n on the n fields after its start and ends with the last;
// a run of 0 steps shows its end on the first field and ends there (it would otherwise never
// reach its count and never end). Starting `which` is 0 or 1 for one unit and 2 for both.
//
// Everything a unit holds (its record maker and counter) changes under one lock, taken by
// the host's calls and by the vertical-sync thread's steps alike; the lock is held while a
// record is sent, so records reach a unit in the order they were made (a send never waits).
// The states are atomics as well, so the vertical-sync thread may look at them unlocked.
#pragma once

#include <array>
#include <atomic>
#include <mutex>

#include "effects/field_wait.h"
#include "effects/kr_wipe.h"
#include "platform/win32/win32_sync.h"

namespace zk {

class StepRuns {
public:
    static constexpr int kUnits = 2;
    enum State : int { kIdle = 0, kRunning = 1, kStarting = 2 };

    StepRuns();
    ~StepRuns();
    StepRuns(const StepRuns&) = delete;
    StepRuns& operator=(const StepRuns&) = delete;

    int state(int unit) const { return valid(unit) ? state_[static_cast<std::size_t>(unit)].load() : kIdle; }
    bool busy() const { return state(0) != kIdle || state(1) != kIdle; }
    unsigned long shown(int unit) const { return valid(unit) ? counter_[static_cast<std::size_t>(unit)] : 0; }
    static bool valid(long unit) { return unit >= 0 && unit < kUnits; }

    // Runs `f` under the lock (the host's setters).
    template <class F>
    auto locked(F&& f)
    {
        std::lock_guard<std::mutex> guard(lock_);
        return f();
    }

    // Under the lock: a new step count for `unit`; a run in progress ends (and the done event
    // tells its waiters) and the counter goes back to 0.
    void set_steps_locked(int unit, unsigned long steps);

    // Starts `which` (0, 1 or 2 for both): each unit is marked starting, `restart(unit)` sends
    // what a start sends again, the counter goes to 0 and the unit runs. 0, or -1 when a
    // restart failed or `which` is none of these (nothing starts then).
    template <class F>
    long start(long which, F&& restart)
    {
        if (which < 0 || which > kUnits) return -1;
        std::lock_guard<std::mutex> guard(lock_);
        long result = 0;
        for (int unit = 0; unit < kUnits; ++unit) {
            if (which != kUnits && which != unit) continue;
            const std::size_t u = static_cast<std::size_t>(unit);
            state_[u] = kStarting;
            if (restart(unit) < 0) result = -1;
            counter_[u] = 0;
            state_[u] = kRunning;
        }
        return result;
    }

    // One field of `unit`: when it runs, the next step is shown with `show(step)` and the run
    // ends with its last step. False when the unit did not run.
    template <class F>
    bool step(int unit, F&& show)
    {
        if (!valid(unit)) return false;
        std::lock_guard<std::mutex> guard(lock_);
        const std::size_t u = static_cast<std::size_t>(unit);
        if (state_[u].load() != kRunning) return false;
        const fx::RunField next = fx::next_run_field(counter_[u], steps_[u]);
        counter_[u] = next.step;
        show(next.step);
        if (next.last) end_locked(unit);
        return true;
    }

    // The vertical-sync thread's step: `thread(unit)` for each running unit.
    template <class F>
    void for_running(F&& thread)
    {
        for (int unit = 0; unit < kUnits; ++unit) {
            if (state(unit) == kRunning) thread(unit);
        }
    }

    // Waits until both units are idle, then two fields more: 0, or -1 without a field wait.
    long wait(FieldWait* fields);

private:
    void end_locked(int unit);

    std::mutex lock_;
    std::array<std::atomic<int>, kUnits> state_{};
    std::array<unsigned long, kUnits> counter_{}; // under lock_
    std::array<unsigned long, kUnits> steps_{};   // under lock_
    HANDLE done_ = nullptr;
};

} // namespace zk
