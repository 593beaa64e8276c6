// The 2D DVE slides of the on-air control: the record at set and start, one record a field.
#include "effects/dve_slide_runner.h"

#include <algorithm>
#include <limits>

#include "effects/keyframe_out.h"
#include "effects/kr_2ddve_act_core.h"

namespace zk {

void DveSlideRunner::Initial(CMQGraph* graph, FieldWait* fields)
{
    graph_ = graph;
    fields_ = fields;
}

long DveSlideRunner::send(int slide)
{
    // Slides share the channel rule of the keypoint actions: 0 → Fiesta 1, 1 → Fiesta 3.
    return send_dve_record(graph_, fx::dve_fiesta_channel(slide), *slides_[static_cast<std::size_t>(slide)].Get2DdveKeyframe());
}

long DveSlideRunner::DveSlideSet(long slide, long direction, long in, unsigned long borderWidth,
                                 unsigned long borderArgb, unsigned long steps)
{
    const int s = StepRuns::valid(slide) ? static_cast<int>(slide) : 0;
    const unsigned long n = std::min<unsigned long>(steps, std::numeric_limits<long>::max());
    return runs_.locked([&] {
        runs_.set_steps_locked(s, n);
        slides_[static_cast<std::size_t>(s)].Set2DdveSlide(direction, in, borderWidth, borderArgb, static_cast<long>(n));
        return send(s) < 0 ? -1L : 0L;
    });
}

long DveSlideRunner::DveSlideStart(long which)
{
    return runs_.start(which, [this](int slide) {
        slides_[static_cast<std::size_t>(slide)].Set2DdveSlideFader(0);
        return send(slide);
    });
}

void DveSlideRunner::DevSlideThread(long slide)
{
    if (!StepRuns::valid(slide)) return;
    const int s = static_cast<int>(slide);
    runs_.step(s, [&](unsigned long step) {
        slides_[static_cast<std::size_t>(s)].Set2DdveSlideFader(static_cast<long>(step));
        send(s);
    });
}

long DveSlideRunner::DveSlideWait()
{
    return runs_.wait(fields_);
}

void DveSlideRunner::step_field()
{
    runs_.for_running([this](int unit) { DevSlideThread(unit); });
}

} // namespace zk
