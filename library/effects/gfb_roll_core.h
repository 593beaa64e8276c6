// The frame-buffer push and slide, field by field, as the blit requests to send.
//
// The new picture waits in the back area of the graphics frame buffer; every field one or two
// board copies move the old picture out (when the destination moves: a push) and bring the
// matching part of the new one in, each field of the frame on its own. Horizontal runs cover
// 720 columns, vertical runs 243 field lines. The run ends when both fields show all of the
// new picture.
//
// Roll modes: ±3 the old picture is pushed out and the new one slides in behind it; ±2 the old
// one is pushed out and the new one is uncovered where it stands; ±1 the new one slides in over
// the old one; any other mode uncovers the new one over the old one. Directions 0-3 (0 and 1
// across, 2 and 3 up or down the picture); any other direction is 0.
//
// The amount is a step per field, or a number of fields n: the step is then distance / (n − 1)
// so the last field lands at the distance. A run shorter than two fields is taken as two (the
// whole distance in one step), and every step is at least 1, so a run always ends.
#pragma once

#include <optional>

#include "effects/field_output.h"

namespace zk::fx {

struct GfbRollMode {
    bool destination_moves = false;
    int source_mode = 2;

    friend bool operator==(const GfbRollMode&, const GfbRollMode&) = default;
};

// SetRollMode's table.
GfbRollMode gfb_roll_mode(long roll_mode);

struct GfbRollParams {
    GfbRollMode mode;
    int direction = 0;
    long distance = 720;
    long step = 1;

    friend bool operator==(const GfbRollParams&, const GfbRollParams&) = default;
};

// GfbRoll's arguments made into a run.
GfbRollParams make_gfb_roll(long roll_mode, long direction, long amount, long amount_is_step);

struct GfbRollState {
    long position = 0;
    long destination_last[2] = {0, 0}; // first field, second field
    long source_last[2] = {0, 0};
    bool done = false;
};

// The blits of one field, destination move first. Nothing is sent for a move that did not
// change since that field's last one.
struct GfbRollFieldOutcome {
    std::optional<BlitWords> destination;
    std::optional<BlitWords> source;
    bool ended = false;

    friend bool operator==(const GfbRollFieldOutcome&, const GfbRollFieldOutcome&) = default;
};

// One field: `field_number` 1 for the second field, anything else the first (whose blits
// start one line lower); `break_requested` jumps to the distance.
GfbRollFieldOutcome gfb_roll_field(GfbRollState& state, const GfbRollParams& params, unsigned long field_number,
                                   bool break_requested);

} // namespace zk::fx
