// The frame player that fades and animations share: which frame of a strip goes into which
// field on each field event, and when the run ends.
//
// A strip holds N frames of width × height stacked top to bottom. Each frame is shown on two
// fields: on a field event with field number 1 it goes into the second field, on any other into
// the first, each field once. When both fields of a frame are out, the next event steps to the
// next frame; after the last frame the strip starts again and a pass is counted.
//
// Around that:
//   - delay: the first `delay` events after the start write nothing;
//   - hold: from the second frame on, `hold` events between frames write nothing;
//   - passes: the run ends at the frame step that would begin pass `passes` + 1 (0: endless),
//     leaving the last frame on air;
//   - stop: once the caller has cleared its enabled flag, the run ends at the next frame step
//     when `stop_at_once` is set, else at the step that returns to the first frame (the end of
//     the cycle), so a stopped strip is left showing its last frame.
//
// Fades and animations differ only in where these parameters come from: a fade plays one pass
// with no hold, never stops at once and shows each whole frame; an animation takes passes,
// hold and the stop rule from its caller and may show an area at an offset inside each frame.
#pragma once

#include <optional>

#include "effects/field_output.h"

namespace zk::fx {

struct PlayerParams {
    long frames = 1;             // N, at least 1
    long width = 0, height = 0;  // of the area shown from each frame
    long src_x = 0, src_y = 0;   // offset of that area inside a frame
    long dst_x = 0, dst_y = 0;   // where it goes on the output
    long passes = 1;             // 0: endless
    long delay = 0;              // events before the first frame
    long hold = 0;               // events between frames
    bool stop_at_once = false;
};

// The parameters as the player uses them. A negative delay or hold would be waited for forever
// and a negative pass count would never be reached: they count as no delay, no hold and
// endless play (which the controllers' waits recognise by passes 0).
PlayerParams normalised(PlayerParams p);

struct PlayerState {
    long index = 0;        // frame shown is index − 1; 0 before the first frame
    long passes_done = 0;
    bool first_written = true;
    bool second_written = true;
    bool delay_waiting = false;
    bool hold_pending = false;
    long wait = 0;         // events counted for the delay or the hold
    long fields = 0;       // events seen
    bool ended = false;
};

// The state of a run that is just starting.
PlayerState start_player(const PlayerParams& params);

enum class PlayerEnd { None, Passes, Stopped };

struct PlayerOutcome {
    std::optional<FieldWrite> write;
    PlayerEnd end = PlayerEnd::None;

    friend bool operator==(const PlayerOutcome&, const PlayerOutcome&) = default;
};

// One field event. `enabled` is the controller's enabled flag as it stands now (a stop request
// clears it). After the run has ended every further event does nothing.
PlayerOutcome player_step(PlayerState& state, const PlayerParams& params, unsigned long field, bool enabled);

} // namespace zk::fx
