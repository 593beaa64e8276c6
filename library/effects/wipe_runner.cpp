// The wipe units of the on-air control: records at set and start, one fader record a field.
#include "effects/wipe_runner.h"

#include "effects/keyframe_out.h"

namespace zk {

void WipeRunner::Initial(CMQGraph* graph, FieldWait* fields)
{
    graph_ = graph;
    fields_ = fields;
}

long WipeRunner::WipeSet(long unit, unsigned long pattern, unsigned long modifier, unsigned long mode,
                         unsigned long value1, unsigned long value2, unsigned long direction, unsigned long steps)
{
    const int u = StepRuns::valid(unit) ? static_cast<int>(unit) : 0;
    return runs_.locked([&] {
        CKrWipe& wipe = wipes_[static_cast<std::size_t>(u)];
        wipe.SetWipe(pattern, modifier, mode, value1, value2, direction);
        wipe.SetWipeStart(steps);
        runs_.set_steps_locked(u, steps);
        const long a = send_wipe_record(graph_, u, *wipe.GetWipeKeyFrame());
        const long b = send_fader_record(graph_, u, *wipe.GetFaderKeyFrame(0));
        return a < 0 || b < 0 ? -1L : 0L;
    });
}

long WipeRunner::WipeStart(long which)
{
    return runs_.start(which, [this](int unit) {
        CKrWipe& wipe = wipes_[static_cast<std::size_t>(unit)];
        wipe.SetWipeStart(wipe.GetWipeSteps());
        return send_wipe_record(graph_, unit, *wipe.GetWipeKeyFrame());
    });
}

void WipeRunner::WipeThread(long unit)
{
    if (!StepRuns::valid(unit)) return;
    const int u = static_cast<int>(unit);
    runs_.step(u, [&](unsigned long step) {
        send_fader_record(graph_, u, *wipes_[static_cast<std::size_t>(u)].GetFaderKeyFrame(step));
    });
}

long WipeRunner::WipeWait()
{
    return runs_.wait(fields_);
}

void WipeRunner::step_field()
{
    runs_.for_running([this](int unit) { WipeThread(unit); });
}

} // namespace zk
