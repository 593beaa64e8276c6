// The fixed-point conversion shared by every keyframe record, and the background record.
#include "effects/mqvidfx_records.h"

#include <cmath>
#include <limits>

#include "framebuffer/mtx_color.h"

namespace zk::fx {

LONG to_fixed(double x, int fraction_bits)
{
    const double v = std::ldexp(x, fraction_bits) + 0.5;
    if (std::isnan(v)) return 0;
    constexpr double lo = std::numeric_limits<LONG>::min();
    constexpr double hi = std::numeric_limits<LONG>::max();
    if (v <= lo) return std::numeric_limits<LONG>::min();
    if (v >= hi) return std::numeric_limits<LONG>::max();
    return static_cast<LONG>(v); // truncates toward zero
}

MQVIDFX_BACKGROUND_KEYFRAME background_record(long enable, DWORD argb)
{
    MtxColor colour;
    return MQVIDFX_BACKGROUND_KEYFRAME{enable != 0 ? 1u : 0u, colour.ARGBtoYUV(argb)};
}

} // namespace zk::fx
