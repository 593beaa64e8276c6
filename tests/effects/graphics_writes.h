// What the effects wrote into the graphics frame buffer, read back for the effect tests: the
// graphics writes as the graph journals them (target, field, area top, x, first line, width,
// rows and the checksum of the pixels), the words expected of one field write of a picture
// computed from the picture itself, and rectangles of the graphics memory as pictures.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "framebuffer/kr_frame_buffer.h"
#include "platform/board/board_journal.h"
#include "platform/board/gfb_device.h"
#include "support/test_support.h"

namespace zt {

// One graphics write as the journal has it.
struct GfbWrite {
    long long field = 0;
    std::uint32_t code = 0;  // 1 first field, 2 second, 0 both
    std::array<std::uint32_t, 6> words{};
    std::string target = "GFB front";

    friend bool operator==(const GfbWrite&, const GfbWrite&) = default;
    friend std::ostream& operator<<(std::ostream& os, const GfbWrite& w)
    {
        os << w.target << " f" << w.field << " code " << w.code << " {";
        for (std::uint32_t v : w.words) os << " " << static_cast<std::int32_t>(v);
        return os << " }";
    }
};

// The write of field `field` of the board (even: a first field, the odd lines) of the w × h
// area at (sx, sy) of `picture` to (dx, dy) of the front area, as the graph journals it.
inline GfbWrite expected_write(long long field, const CKrFrameBuffer& picture, long sx, long sy, long w, long h,
                               long dx, long dy)
{
    const bool second = field % 2 == 1;
    const long first = (dy % 2 == 1) == !second ? 0 : 1;  // odd lines for the first field
    std::uint32_t sum = 2166136261u;
    long rows = 0;
    for (long r = first; r < h; r += 2, ++rows) {
        const DWORD* row = picture.GetBufferDWord() + static_cast<size_t>(sy + r) * picture.GetWidth() + sx;
        sum = zk::pixel_checksum(row, static_cast<size_t>(w) * 4, sum);
    }
    return GfbWrite{field, second ? 2u : 1u,
                    {0u, static_cast<std::uint32_t>(dx), static_cast<std::uint32_t>(dy + first),
                     static_cast<std::uint32_t>(w), static_cast<std::uint32_t>(rows), sum}};
}

// Every graphics write journalled since `from`, front and back area.
inline std::vector<GfbWrite> graphics_writes(const zk::BoardJournal& journal, std::uint64_t from)
{
    std::vector<GfbWrite> out;
    for (const zk::JournalEntry& e : journal.since(from)) {
        if (e.kind != zk::JournalKind::GraphicsWrite) continue;
        GfbWrite w{e.field, e.code, {}, e.target};
        std::memcpy(w.words.data(), e.bytes.data(), std::min(e.bytes.size(), sizeof w.words));
        out.push_back(w);
    }
    return out;
}

// The rectangle of the graphics memory `memory` (lines of zk::kGfbPitch pixels) at (x, y), as
// a picture.
inline CKrFrameBuffer memory_picture(const std::vector<std::uint32_t>& memory, long x, long y, long w, long h)
{
    CKrFrameBuffer out(w, h, 0);
    for (long j = 0; j < h; ++j)
        for (long i = 0; i < w; ++i) set_px(out, i, j, memory[static_cast<size_t>((y + j) * zk::kGfbPitch + x + i)]);
    return out;
}

// The rectangle of a picture, as a picture of its own.
inline CKrFrameBuffer cut_picture(const CKrFrameBuffer& from, long x, long y, long w, long h)
{
    CKrFrameBuffer out(w, h, 0);
    for (long j = 0; j < h; ++j)
        for (long i = 0; i < w; ++i) set_px(out, i, j, px(from, x + i, y + j));
    return out;
}

} // namespace zt
