// The frame-buffer push and slide: run parameters and the two move tables.
//
// Frame-buffer coordinates: the picture lies in lines 0-485 of the front area, the new picture
// in the back area from line 684; one field line is two frame lines, so moving the back area up
// onto the picture is a shift of −342 field lines. Words are left, top, right, bottom in frame
// lines and columns, then the vertical shift in field lines and the horizontal shift.
#include "effects/gfb_roll_core.h"

#include <algorithm>

namespace zk::fx {

namespace {

BlitWords words(long left, long top, long right, long bottom, long vshift, long hshift)
{
    return BlitWords{static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
                     static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom),
                     static_cast<std::int32_t>(vshift), static_cast<std::int32_t>(hshift)};
}

// The old picture, moved on by d from l.
BlitWords destination_move(int direction, long l, long d)
{
    switch (direction) {
    case 0: return words(l, 0, 720 - d, 486, 0, d);
    case 1: return words(d, 0, 720 - l, 486, 0, -d);
    case 2: return words(0, 2 * l, 720, 2 * (243 - d), d, 0);
    default: return words(0, 2 * d, 720, 2 * (243 - l), -d, 0);
    }
}

// The part of the new picture shown at position p.
BlitWords source_move(int source_mode, int direction, long p)
{
    const long s = 720 - p;
    if (source_mode == 1) {
        switch (direction) {
        case 0: return words(s, 684, 720, 1170, -342, p - 720);
        case 1: return words(0, 684, p, 1170, -342, s);
        case 2: return words(0, 2 * (585 - p), 720, 1170, p - 585, 0);
        default: return words(0, 684, 720, 2 * p + 684, -99 - p, 0);
        }
    }
    switch (direction) {
    case 0: return words(0, 684, p, 1170, -342, 0);
    case 1: return words(s, 684, 720, 1170, -342, 0);
    case 2: return words(0, 684, 720, 2 * p + 684, -342, 0);
    default: return words(0, 2 * (585 - p), 720, 1170, -342, 0);
    }
}

} // namespace

GfbRollMode gfb_roll_mode(long roll_mode)
{
    switch (roll_mode) {
    case 3: case -3: return GfbRollMode{true, 1};
    case 2: case -2: return GfbRollMode{true, 2};
    case 1: case -1: return GfbRollMode{false, 1};
    default: return GfbRollMode{false, 2};
    }
}

GfbRollParams make_gfb_roll(long roll_mode, long direction, long amount, long amount_is_step)
{
    GfbRollParams p;
    p.mode = gfb_roll_mode(roll_mode);
    p.direction = (direction < 0 || direction > 3) ? 0 : static_cast<int>(direction);
    p.distance = p.direction < 2 ? 720 : 243;
    if (amount_is_step) {
        p.step = std::min(amount, p.distance);
    } else {
        const long fields = std::max(amount, 2L);
        p.step = p.distance / (fields - 1);
    }
    p.step = std::max(p.step, 1L);
    return p;
}

GfbRollFieldOutcome gfb_roll_field(GfbRollState& state, const GfbRollParams& params, unsigned long field_number,
                                   bool break_requested)
{
    GfbRollFieldOutcome out;
    if (state.done) {
        out.ended = true;
        return out;
    }
    state.position = break_requested ? params.distance : std::min(state.position + params.step, params.distance);
    const Field field = field_of(field_number);
    const int i = field == Field::Second ? 1 : 0;
    // The first field's lines are the odd ones: its copies start one line lower.
    const std::int32_t top_offset = field == Field::First ? 1 : 0;
    if (params.mode.destination_moves) {
        const long l = state.destination_last[i];
        if (state.position != l) {
            out.destination = destination_move(params.direction, l, state.position - l);
            out.destination->top += top_offset;
        }
        state.destination_last[i] = state.position;
    }
    if (state.position != state.source_last[i]) {
        out.source = source_move(params.mode.source_mode, params.direction, state.position);
        out.source->top += top_offset;
    }
    state.source_last[i] = state.position;
    state.done = state.source_last[0] == params.distance && state.source_last[1] == params.distance;
    out.ended = state.done;
    return out;
}

} // namespace zk::fx
