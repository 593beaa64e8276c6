// One-bit ORing: the bit-by-bit definition and the 64-bit version.
#include "platform/gdi_text/mono_blit.h"

#include <algorithm>
#include <cstring>

namespace zk {

void or_mono_reference(const MonoSource& src, const MonoView& dst, long x, long y)
{
    for (long r = 0; r < src.height; ++r) {
        long ty = y + r;
        if (ty < 0 || ty >= dst.height) continue;
        for (long c = 0; c < src.width; ++c) {
            long tx = x + c;
            if (tx < 0 || tx >= dst.width) continue;
            if (src.bits[r * src.pitch + c / 8] & (0x80 >> (c % 8)))
                dst.bits[ty * dst.row_bytes + tx / 8] |= static_cast<std::uint8_t>(0x80 >> (tx % 8));
        }
    }
}

namespace {

// 64 bits of a source row starting at bit `at` (negative or past the row: zeros there).
inline std::uint64_t load64(const std::uint8_t* row, long pitch, long at)
{
    const long byte = at >> 3;  // floor, also for negative positions
    const int shift = static_cast<int>(at & 7);
    if (byte >= 0 && byte + 9 <= pitch) {
        std::uint64_t hi;
        std::memcpy(&hi, row + byte, 8);
        hi = __builtin_bswap64(hi);
        return shift ? hi << shift | row[byte + 8] >> (8 - shift) : hi;
    }
    auto at_byte = [&](long b) -> std::uint64_t { return b >= 0 && b < pitch ? row[b] : 0; };
    std::uint64_t hi = 0;
    for (int i = 0; i < 8; ++i) hi = hi << 8 | at_byte(byte + i);
    return shift ? hi << shift | at_byte(byte + 8) >> (8 - shift) : hi;
}

inline void or64(std::uint8_t* p, std::uint64_t v)
{
    std::uint64_t cur;
    std::memcpy(&cur, p, 8);
    cur |= __builtin_bswap64(v);
    std::memcpy(p, &cur, 8);
}

} // namespace

void or_mono(const MonoSource& src, const MonoView& dst, long x, long y)
{
    const long c0 = std::max(0L, -x), c1 = std::min(src.width, dst.width - x);
    if (c0 >= c1) return;
    const long r0 = std::max(0L, -y), r1 = std::min(src.height, dst.height - y);
    const long first = x + c0, last = x + c1;  // target bits [first, last)
    const long d0 = first >> 3, d1 = (last - 1) >> 3;
    // Bits of the last target byte at or past `last` are kept out; before `first` the source
    // supplies zeros by itself.
    const std::uint8_t tail = static_cast<std::uint8_t>(0xFF00 >> (((last - 1) & 7) + 1));
    for (long r = r0; r < r1; ++r) {
        const std::uint8_t* s = src.bits + r * src.pitch;
        std::uint8_t* d = dst.bits + (y + r) * dst.row_bytes;
        long b = d0;
        for (; b + 7 < d1; b += 8) {
            std::uint64_t v = load64(s, src.pitch, b * 8 - x);
            if (v) or64(d + b, v);
        }
        if (b <= d1) {
            std::uint64_t v = load64(s, src.pitch, b * 8 - x);
            for (int i = 0; b + i <= d1; ++i) {
                std::uint8_t part = static_cast<std::uint8_t>(v >> (56 - 8 * i));
                d[b + i] |= b + i == d1 ? static_cast<std::uint8_t>(part & tail) : part;
            }
        }
    }
}

} // namespace zk
