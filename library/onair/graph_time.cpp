// Frame and time conversions and the software shuttle's step.
//
// Products of a time or a frame count with the rate's terms are formed in 128 bits: a time
// near the end of the 64-bit range times six does not fit in 64 bits, and the result would
// otherwise be undefined rather than merely large.
#include "onair/graph_time.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zk {
namespace {

using Wide = __int128;

constexpr LONGLONG kMost = std::numeric_limits<LONGLONG>::max();
constexpr LONGLONG kLeast = std::numeric_limits<LONGLONG>::min();

LONGLONG saturate(Wide v)
{
    if (v > kMost) return kMost;
    if (v < kLeast) return kLeast;
    return static_cast<LONGLONG>(v);
}

// Half away from zero, saturated; the caller has ruled out not-a-number.
LONGLONG round_half_away(double x)
{
    const double r = x < 0 ? std::ceil(x - 0.5) : std::floor(x + 0.5);
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    if (r >= 9223372036854775808.0) return kMost;
    if (r < -9223372036854775808.0) return kLeast;
    return static_cast<LONGLONG>(r);
}

} // namespace

double frames_to_seconds(LONGLONG frames, const FieldRate& rate)
{
    return 2.0 * static_cast<double>(frames) * static_cast<double>(rate.D) / static_cast<double>(rate.N);
}

LONGLONG seconds_to_frames(double seconds, const FieldRate& rate)
{
    if (!std::isfinite(seconds)) return 0;
    return round_half_away(seconds * static_cast<double>(rate.N) / static_cast<double>(rate.D)) / 2;
}

REFERENCE_TIME frames_to_ref_time(LONGLONG frames, const FieldRate& rate)
{
    return saturate(Wide{2} * frames * rate.R / rate.S);
}

LONGLONG ref_time_to_fields(REFERENCE_TIME time, const FieldRate& rate)
{
    const Wide half = rate.R / 2;
    const Wide scaled = Wide{time} * rate.S;
    return saturate((time >= 0 ? scaled + half : scaled - half) / rate.R);
}

LONGLONG ref_time_to_frames(REFERENCE_TIME time, const FieldRate& rate)
{
    return ref_time_to_fields(time, rate) / 2;
}

REFERENCE_TIME snap_to_frame(REFERENCE_TIME time, const FieldRate& rate)
{
    const LONGLONG fields = ref_time_to_fields(time, rate) & ~LONGLONG{1};
    return saturate(Wide{fields} * rate.R / rate.S);
}

double shuttle_time_per_step(double speed, const FieldRate& rate)
{
    if (speed == 0.0 || !std::isfinite(speed)) return 0.0;
    const double frame = 2.0 * static_cast<double>(rate.R) / static_cast<double>(rate.S);
    return frame / std::fabs(speed);
}

ShuttleStep shuttle_step(ULONGLONG current_frame, const ShuttleMotion& motion, double time_per_step,
                         REFERENCE_TIME last_tick, REFERENCE_TIME now)
{
    if (time_per_step <= 0.0 || !std::isfinite(time_per_step)) return {current_frame, now};
    // One unit of allowance absorbs the rounding of clock times to whole units (a field of
    // 60000/1001 video is not a whole number of them). The difference is taken in 128 bits,
    // so clock times far apart cannot overflow it.
    const double elapsed = static_cast<double>(Wide{now} - last_tick) + 1.0;
    if (!(elapsed > 0.0)) return {current_frame, last_tick};
    // More steps than any range holds (frame numbers stay below 2^63) move the shuttle no
    // further than to an end, so the count is capped there; the time is accounted for in full.
    const double due = std::floor(elapsed / time_per_step);
    constexpr ULONGLONG kMostSteps = ULONGLONG{1} << 63;
    const ULONGLONG steps = due < 9223372036854775808.0 ? static_cast<ULONGLONG>(due) : kMostSteps;
    const REFERENCE_TIME tick = saturate(Wide{last_tick} + std::llround(std::min(due * time_per_step, 9.0e18)));
    if (steps == 0) return {current_frame, tick};

    ULONGLONG frame;
    if (motion.speed >= 0.0) {
        const bool past_end = current_frame > motion.max_frame || steps > motion.max_frame - current_frame;
        frame = past_end ? (motion.wrap ? motion.min_frame : motion.max_frame) : current_frame + steps;
    } else {
        const bool past_start = steps > current_frame || current_frame - steps < motion.min_frame;
        frame = past_start ? (motion.wrap ? motion.max_frame : motion.min_frame) : current_frame - steps;
    }
    return {frame, tick};
}

} // namespace zk
