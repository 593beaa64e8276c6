// Inking or clearing a run of pixels in one row of a one-bit raster (bytes, most significant
// bit leftmost): the innermost step of both the glyph scan converter and the shape surface.
#pragma once

#include <cstdint>
#include <cstring>

namespace zk {

// Pixels i with from <= i < to; the caller has clipped them to the row, and from < to.
inline void set_mono_span(std::uint8_t* row, long from, long to, bool ink)
{
    const long first = from >> 3;
    const long last = (to - 1) >> 3;
    const auto first_mask = static_cast<std::uint8_t>(0xFFu >> (from & 7));
    const auto last_mask = static_cast<std::uint8_t>(0xFFu << (7 - ((to - 1) & 7)));
    auto apply = [ink](std::uint8_t& byte, std::uint8_t mask) {
        if (ink) byte |= mask;
        else byte &= static_cast<std::uint8_t>(~mask);
    };
    if (first == last) {
        apply(row[first], first_mask & last_mask);
        return;
    }
    apply(row[first], first_mask);
    if (last > first + 1) std::memset(row + first + 1, ink ? 0xFF : 0x00, static_cast<std::size_t>(last - first - 1));
    apply(row[last], last_mask);
}

} // namespace zk
