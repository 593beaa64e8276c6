// Synthetic program output for the recorder's tests and benchmark: the picture on air at each
// field, as the board would hand it over (32-bit pixels, blue | green << 8 | red << 16 |
// key << 24), computed from the field number alone so any field can be rebuilt to compare.
//
//   rectangles: a gradient that changes every field, with rectangles moving by a few pixels
//               a field and a key that varies across the picture and over time; two fields
//               are never alike, so a swapped or repeated field shows.
//   caption:    what a telop looks like: transparent except a half-transparent plate on the
//               lower third carrying crawling white "letters" with a black edge and soft
//               borders. The common case the recorder must keep up with.
//   busy:       every pixel opaque and different from its neighbours and from the last
//               field's: the worst case for a lossless coder.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zt {

enum class ClipKind { rectangles, caption, busy };

inline std::uint32_t clip_hash(std::uint32_t a, std::uint32_t b, std::uint32_t c)
{
    std::uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

inline std::uint32_t clip_pixel(std::uint32_t key, std::uint32_t r, std::uint32_t g, std::uint32_t b)
{
    return (key & 255u) << 24 | (r & 255u) << 16 | (g & 255u) << 8 | (b & 255u);
}

// The picture on air at `field` (0, 1, 2, ...: even numbers are first fields), width × height
// pixels with rows packed into `out`.
inline void draw_clip_picture(ClipKind kind, long field, int width, int height, std::span<std::uint32_t> out)
{
    const auto f = static_cast<std::uint32_t>(field);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto ux = static_cast<std::uint32_t>(x), uy = static_cast<std::uint32_t>(y);
            std::uint32_t p = 0;
            switch (kind) {
            case ClipKind::rectangles: {
                p = clip_pixel((ux * 3 + uy * 5 + f * 17) & 255u, ux + f * 7, uy * 2 + f, ux ^ uy ^ f);
                const long rx = (5 + 3 * field) % (width + 8) - 4, ry = (2 + 2 * field) % (height + 6) - 3;
                if (x >= rx && x < rx + width / 3 + 2 && y >= ry && y < ry + height / 3 + 2)
                    p = clip_pixel(255u - f % 256u, 255u, f * 31u, 40u);
                const long sx = width - 1 - (7 * field) % (width + 4), sy = height / 2;
                if (x >= sx && x < sx + 6 && y >= sy - 4 && y < sy + 4) p = clip_pixel(f % 2 ? 0u : 128u, 20u, 200u, f);
                break;
            }
            case ClipKind::caption: {
                const int top = height * 7 / 10, bottom = height * 9 / 10, left = width / 18, right = width - width / 18;
                if (y < top || y >= bottom || x < left || x >= right) break;
                p = clip_pixel(0xB4u, 0x1Au, 0x2Au, 0x6Cu);
                // Letters 24 pixels apart crawling left 2 pixels a field; each a few strokes
                // chosen by the letter's number, 3 pixels wide with a 1-pixel black edge.
                const long cx = x + 2 * field;
                const long letter = cx / 24, lx = cx % 24;
                const long ly = y - top - (bottom - top) / 2 + 10;
                if (ly < 0 || ly >= 20 || lx >= 18) break;
                const std::uint32_t strokes = clip_hash(static_cast<std::uint32_t>(letter), 11u, 0u);
                int distance = 9;
                for (int s = 0; s < 6; ++s) {
                    if (!(strokes >> s & 1u)) continue;
                    const long d = s < 3 ? (lx > 3 + 6 * s ? lx - 3 - 6 * s : 3 + 6 * s - lx)
                                         : (ly > 3 + 7 * (s - 3) ? ly - 3 - 7 * (s - 3) : 3 + 7 * (s - 3) - ly);
                    distance = std::min(distance, static_cast<int>(d));
                }
                if (distance <= 1) p = clip_pixel(255u, 255u, 255u, 255u);
                else if (distance == 2) p = clip_pixel(255u, 0u, 0u, 0u);
                else if (distance == 3) p = clip_pixel(0xD8u, 0x0Cu, 0x12u, 0x30u);
                break;
            }
            case ClipKind::busy: {
                const std::uint32_t n = clip_hash(ux, uy, f);
                p = clip_pixel(255u, (ux + f) + (n & 31u), (uy * 2) ^ (n >> 8 & 63u), (ux ^ uy) + (n >> 16 & 15u));
                break;
            }
            }
            out[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] = p;
        }
    }
}

inline std::vector<std::uint32_t> clip_picture(ClipKind kind, long field, int width, int height)
{
    std::vector<std::uint32_t> out(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    draw_clip_picture(kind, field, width, height, out);
    return out;
}

// The frame a recording of the clip should hold at `frame`: its odd lines from the first field
// (field 2 × frame), its even lines from the second (field 2 × frame + 1).
inline std::vector<std::uint32_t> clip_frame(ClipKind kind, long frame, int width, int height)
{
    const std::vector<std::uint32_t> first = clip_picture(kind, 2 * frame, width, height);
    std::vector<std::uint32_t> out = clip_picture(kind, 2 * frame + 1, width, height);
    const auto w = static_cast<std::size_t>(width);
    for (std::size_t y = 1; y < static_cast<std::size_t>(height); y += 2)
        std::copy(first.begin() + static_cast<std::ptrdiff_t>(y * w), first.begin() + static_cast<std::ptrdiff_t>((y + 1) * w),
                  out.begin() + static_cast<std::ptrdiff_t>(y * w));
    return out;
}

} // namespace zt
