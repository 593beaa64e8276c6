// Overflow-checked size arithmetic for buffers whose dimensions come from files or callers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zk {

// The largest pixel block the library creates: 1 GiB. Larger requests fail as "no memory"
// instead of asking the system for absurd amounts because a file said so.
constexpr std::size_t kMaxBufferBytes = std::size_t{1} << 30;

inline bool checked_mul(std::size_t a, std::size_t b, std::size_t& out)
{
    return !__builtin_mul_overflow(a, b, &out);
}

inline bool checked_add(std::size_t a, std::size_t b, std::size_t& out)
{
    return !__builtin_add_overflow(a, b, &out);
}

// width × height × bytes per pixel, or false when it overflows or passes kMaxBufferBytes.
inline bool image_bytes(std::int64_t width, std::int64_t height, std::size_t bpp, std::size_t& out)
{
    if (width < 0 || height < 0) return false;
    std::size_t n = 0;
    if (!checked_mul(static_cast<std::size_t>(width), static_cast<std::size_t>(height), n)) return false;
    if (!checked_mul(n, bpp, n)) return false;
    if (n > kMaxBufferBytes) return false;
    out = n;
    return true;
}

} // namespace zk
