// The frame and time arithmetic of the filter-graph layer, as plain functions of a field rate.
//
// Reference time counts 100 ns units; a frame is two fields; frame numbers count from position
// 0 of the graph, and negative ones lie before it. Conversions to frames go through the nearest
// field (half a field rounds away from zero) and then drop to whole frames toward zero, so a
// time converts to the frame whose fields it mostly covers. Results that do not fit in 64 bits
// saturate at the largest or smallest value instead of wrapping.
//
// The software shuttle's step is here too: where the shuttle stands after the clock moved on,
// given its speed and range. Keeping it apart from the shuttle thread lets it be checked
// against a table without a clock or a graph.
#pragma once

#include "platform/board/video_standard.h"

namespace zk {

double frames_to_seconds(LONGLONG frames, const FieldRate& rate);
// Not-a-number and infinities give frame 0.
LONGLONG seconds_to_frames(double seconds, const FieldRate& rate);
REFERENCE_TIME frames_to_ref_time(LONGLONG frames, const FieldRate& rate);
LONGLONG ref_time_to_frames(REFERENCE_TIME time, const FieldRate& rate);
// The nearest field boundary to a time, as a field count.
LONGLONG ref_time_to_fields(REFERENCE_TIME time, const FieldRate& rate);
// A time moved to the start of a frame: the nearest field boundary, then down to an even
// field count.
REFERENCE_TIME snap_to_frame(REFERENCE_TIME time, const FieldRate& rate);

// The software shuttle: it shows the frames from `min_frame` to `max_frame` at `speed` frames of
// video per frame of time (negative: backwards), and at either end stops there or, with `wrap`,
// jumps to the other end.
struct ShuttleMotion {
    double speed;
    ULONGLONG min_frame;
    ULONGLONG max_frame;
    bool wrap;
};

// Reference time between two steps of one frame at that speed: one frame period divided by the
// absolute speed; 0 when the shuttle stands still.
double shuttle_time_per_step(double speed, const FieldRate& rate);

struct ShuttleStep {
    ULONGLONG frame;          // the frame to show now; the current one when nothing moved
    REFERENCE_TIME last_tick; // the clock time accounted for so far
};

// One look at the clock: the steps that fell due between `last_tick` and `now` are taken, and
// the remainder of a step stays unaccounted for in the returned `last_tick`, so the frames
// moved follow the clock however late or early the looks come. A time per step of 0 (standing
// still) accounts for all the time at once.
ShuttleStep shuttle_step(ULONGLONG current_frame, const ShuttleMotion& motion, double time_per_step,
                         REFERENCE_TIME last_tick, REFERENCE_TIME now);

} // namespace zk
