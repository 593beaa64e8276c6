// Runs by steps of the wipe units and the 2D DVE slides: ends, the done event and the wait.
#include "effects/step_runs.h"

namespace zk {

StepRuns::StepRuns() : done_(CreateEvent(nullptr, FALSE, FALSE, nullptr)) {}

StepRuns::~StepRuns()
{
    if (done_) CloseHandle(done_);
}

void StepRuns::set_steps_locked(int unit, unsigned long steps)
{
    if (!valid(unit)) return;
    const std::size_t u = static_cast<std::size_t>(unit);
    steps_[u] = steps;
    counter_[u] = 0;
    if (state_[u].load() != kIdle) end_locked(unit);
}

void StepRuns::end_locked(int unit)
{
    state_[static_cast<std::size_t>(unit)] = kIdle;
    SetEvent(done_);
}

long StepRuns::wait(FieldWait* fields)
{
    if (!fields) return -1;
    fields->wait_then_two_fields(done_, [this] { return busy(); });
    return 0;
}

} // namespace zk
