// The frame player shared by fades and animations; the rules are in the header.
#include "effects/frame_player.h"

#include <algorithm>

namespace zk::fx {

PlayerParams normalised(PlayerParams p)
{
    p.frames = std::max(p.frames, 1L);
    p.passes = std::max(p.passes, 0L);
    p.delay = std::max(p.delay, 0L);
    p.hold = std::max(p.hold, 0L);
    return p;
}

PlayerState start_player(const PlayerParams& params)
{
    PlayerState s;
    s.delay_waiting = params.delay > 0;
    return s;
}

namespace {

PlayerOutcome ended(PlayerState& s, PlayerEnd how)
{
    s.ended = true;
    return PlayerOutcome{std::nullopt, how};
}

} // namespace

PlayerOutcome player_step(PlayerState& s, const PlayerParams& p, unsigned long field, bool enabled)
{
    if (s.ended) return {};

    // The frame step: only once both fields of the frame on air are out.
    if (s.first_written && s.second_written) {
        s.first_written = false;
        s.second_written = false;
        if (s.index != 0) s.hold_pending = true;
        if (++s.index > p.frames) {
            s.index = 1;
            ++s.passes_done;
            if (p.passes != 0 && s.passes_done >= p.passes) return ended(s, PlayerEnd::Passes);
        }
        if (!enabled && (p.stop_at_once || s.index == 1)) return ended(s, PlayerEnd::Stopped);
    }
    ++s.fields;

    // The delay and the hold each swallow their events whole, the last one included.
    if (s.delay_waiting) {
        if (++s.wait >= p.delay) {
            s.delay_waiting = false;
            s.wait = 0;
        }
        return {};
    }
    if (s.hold_pending) {
        if (p.hold > 0) {
            if (++s.wait >= p.hold) {
                s.wait = 0;
                s.hold_pending = false;
            }
            return {};
        }
        s.hold_pending = false;
    }

    const Field f = field_of(field);
    bool& written = f == Field::Second ? s.second_written : s.first_written;
    if (written) return {};  // the other parity has to come first
    written = true;
    FieldWrite w;
    w.field = f;
    w.src_x = p.src_x;
    w.src_y = (s.index - 1) * p.height + p.src_y;
    w.width = p.width;
    w.height = p.height;
    w.dst_x = p.dst_x;
    w.dst_y = p.dst_y;
    return PlayerOutcome{w, PlayerEnd::None};
}

} // namespace zk::fx
