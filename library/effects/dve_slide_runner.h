// The on-air control's two 2D DVE slides, run field by field.
//
// DveSlideSet(slide, direction, in, border width, border ARGB, steps) resets the slide (a run
// in progress ends), sets up its CKr2DdveSlide at step 0 and sends the record to the slide's
// channel: slide 0 drives the 2D DVE of Fiesta channel 1, slide 1 that of channel 3 (a slide
// outside 0-1 means slide 0). DveSlideStart(which) (0, 1 or 2 for both) sends the step-0 record
// again and starts; DevSlideThread, called by the vertical-sync thread once per field for each
// running slide, sends the record of the next step, and the last step ends the run and signals
// the slide-done event. DveSlideWait returns when neither slide runs and two more fields have
// passed. A slide of 0 steps is a cut: its end on the first field. Steps beyond the largest
// long are taken as that. Results: 0, or -1 when a record did not reach the channel (or
// `which` is out of range).
#pragma once

#include <array>

#include "effects/field_wait.h"
#include "effects/kr_2ddve.h"
#include "effects/step_runs.h"

class CMQGraph;

namespace zk {

class DveSlideRunner {
public:
    void Initial(CMQGraph* graph, FieldWait* fields);

    long DveSlideSet(long slide, long direction, long in, unsigned long borderWidth, unsigned long borderArgb,
                     unsigned long steps);
    long DveSlideStart(long which);
    void DevSlideThread(long slide);
    long DveSlideWait();

    void step_field();
    int GetDveSlideState(long slide) const { return runs_.state(static_cast<int>(slide)); }

private:
    long send(int slide);

    CMQGraph* graph_ = nullptr;
    FieldWait* fields_ = nullptr;
    StepRuns runs_;
    std::array<CKr2DdveSlide, StepRuns::kUnits> slides_; // under the runs' lock
};

} // namespace zk
