// CMQGraph: the graphics frame buffer. Display selection, whole and rectangle writes into the
// mapped memory (row by row under the memory's lock), field writes, and the board copies sent
// to the device.
#include <algorithm>
#include <cstring>

#include "onair/mq_graph.h"

#include "platform/board/board_journal.h"
#include "platform/board/gfb_device.h"

namespace {

constexpr long kPitch = zk::kGfbPitch;
constexpr long kAreaLines = zk::kGfbAreaLines;
constexpr long kWidth = zk::kGfbShownWidth;
constexpr long kHeight = zk::kGfbShownLines;
// Back area lines are front area lines moved down by this many field lines.
constexpr long kBackShift = kAreaLines / 2;

// Which lines of a rectangle a write touches.
constexpr int kBothFields = 0;
constexpr int kFirstField = 1;  // odd lines
constexpr int kSecondField = 2; // even lines

// Coordinates come from callers and may be anything; far beyond the memory they all mean the
// same, and held to this range no sum of two of them overflows.
constexpr long kCoordinateLimit = 1L << 30;

long held(long v)
{
    return std::clamp(v, -kCoordinateLimit, kCoordinateLimit);
}

// The first line at or below `line` that belongs to `field` (odd lines for the first field,
// even for the second); `line` itself for both fields.
long first_line_of(int field, long line)
{
    if (field == kBothFields) return line;
    const bool odd = (line & 1) != 0;
    return (field == kFirstField) == odd ? line : line + 1;
}

// Clips a rectangle of the front or back area to its 768 × 684 lines; false when nothing is left.
bool clip_to_area(long& x, long& y, long& w, long& h)
{
    x = held(x), y = held(y), w = held(w), h = held(h);
    if (x < 0) w += x, x = 0;
    if (y < 0) h += y, y = 0;
    w = std::min(w, kPitch - x);
    h = std::min(h, kAreaLines - y);
    return w >= 1 && h >= 1;
}

} // namespace

long CMQGraph::GfbDispGfbSelect(int which)
{
    const int area = which == 0 ? 0 : 1;
    if (GfbDispPos(area * kAreaLines) != 0) return -1;
    m_nGfbDispSelect = area;
    return 0;
}

long CMQGraph::GfbSwap()
{
    return GfbDispGfbSelect(m_nGfbDispSelect.load() == 0 ? 1 : 0);
}

long CMQGraph::GfbDispPos(long line)
{
    if (!m_hGfb) return -1;
    const auto position = static_cast<DWORD>(held(line));
    DWORD token = 0;
    DWORD returned = 0;
    if (!DeviceIoControl(m_hGfb, IOCTL_GFB_DISPLAY, const_cast<DWORD*>(&position), sizeof position, &token,
                         sizeof token, &returned, nullptr))
        return -1;
    m_dwGfbDispPos = position;
    return 0;
}

long CMQGraph::GfbWriteBuffer(int which, const unsigned char* pixels)
{
    if (!GfbReady() || !pixels) return -1;
    const int shown = m_nGfbDispSelect.load();
    const long area = which == 0 ? shown : 1 - shown;
    return GfbWriteRect(area * kAreaLines, kWidth, kHeight, kBothFields, pixels, kWidth, kHeight, 0, 0, kWidth, kHeight,
                        0, 0);
}

long CMQGraph::GfbWriteLine(long line, const unsigned char* pixels)
{
    if (!GfbReady() || !pixels || line < 0 || line >= kAreaLines) return -1;
    return GfbWriteRect(0, kWidth, kAreaLines, kBothFields, pixels, kWidth, 1, 0, 0, kWidth, 1, 0, line);
}

long CMQGraph::GfbBkWriteBuff(const unsigned char* pixels, long srcW, long srcH, long sx, long sy, long w, long h,
                              long dx, long dy)
{
    return GfbWriteRect(kAreaLines, kWidth, kHeight, kBothFields, pixels, srcW, srcH, sx, sy, w, h, dx, dy);
}

long CMQGraph::GfbFrWriteBuff(const unsigned char* pixels, long srcW, long srcH, long sx, long sy, long w, long h,
                              long dx, long dy)
{
    return GfbWriteRect(0, kWidth, kHeight, kBothFields, pixels, srcW, srcH, sx, sy, w, h, dx, dy);
}

long CMQGraph::GfbBkWrite_First(const unsigned char* pixels, long srcW, long srcH, long sx, long sy, long w, long h,
                                long dx, long dy)
{
    return GfbWriteRect(kAreaLines, kPitch, kAreaLines, kFirstField, pixels, srcW, srcH, sx, sy, w, h, dx, dy);
}

long CMQGraph::GfbBkWrite_Second(const unsigned char* pixels, long srcW, long srcH, long sx, long sy, long w, long h,
                                 long dx, long dy)
{
    return GfbWriteRect(kAreaLines, kPitch, kAreaLines, kSecondField, pixels, srcW, srcH, sx, sy, w, h, dx, dy);
}

long CMQGraph::GfbFrWrite_First(const unsigned char* pixels, long srcW, long srcH, long sx, long sy, long w, long h,
                                long dx, long dy)
{
    return GfbWriteRect(0, kPitch, kAreaLines, kFirstField, pixels, srcW, srcH, sx, sy, w, h, dx, dy);
}

long CMQGraph::GfbFrWrite_Second(const unsigned char* pixels, long srcW, long srcH, long sx, long sy, long w, long h,
                                 long dx, long dy)
{
    return GfbWriteRect(0, kPitch, kAreaLines, kSecondField, pixels, srcW, srcH, sx, sy, w, h, dx, dy);
}

long CMQGraph::GfbWriteRect(long areaTop, long limitW, long limitH, int fields, const unsigned char* pixels, long srcW,
                            long srcH, long sx, long sy, long w, long h, long dx, long dy)
{
    srcW = held(srcW), srcH = held(srcH), sx = held(sx), sy = held(sy);
    w = held(w), h = held(h), dx = held(dx), dy = held(dy);
    if (!GfbReady() || !pixels || srcW < 1 || srcH < 1) return -1;
    if (sx >= srcW || sy >= srcH || dx >= limitW || dy >= limitH) return -1;
    // The source: a negative origin cuts the part before it; the size stays inside the picture.
    if (sx < 0) w += sx, sx = 0;
    if (sy < 0) h += sy, sy = 0;
    w = std::min(w, srcW - sx);
    h = std::min(h, srcH - sy);
    // The destination: a part that would land before the area's origin is cut off, the source
    // moving on with it, as a frame-buffer copy clips.
    if (dx < 0) w += dx, sx -= dx, dx = 0;
    if (dy < 0) h += dy, sy -= dy, dy = 0;
    w = std::min(w, limitW - dx);
    h = std::min(h, limitH - dy);
    if (w < 1 || h < 1) return -1;
    const long first = first_line_of(fields, dy) - dy;
    if (first >= h) return -1;
    const long step = fields == kBothFields ? 1 : 2;
    const auto bytes = static_cast<std::size_t>(w) * 4;
    const auto source_stride = static_cast<std::size_t>(srcW) * 4;
    const bool checksum = zk::board_journals_pixels();
    std::uint32_t sum = 2166136261u;
    long rows = 0;
    for (long r = first; r < h; r += step, ++rows) {
        const unsigned char* from = pixels + static_cast<std::size_t>(sy + r) * source_stride + static_cast<std::size_t>(sx) * 4;
        std::uint32_t* to = m_pGfbMemory + (areaTop + dy + r) * kPitch + dx;
        {
            // One row at a time under the memory's lock: the board reads out what it shows,
            // the device copies, other threads write, and none of them waits long.
            std::lock_guard<std::mutex> guard(*m_pGfbLock);
            std::memcpy(to, from, bytes);
        }
        if (checksum) sum = zk::pixel_checksum(from, bytes, sum);
    }
    // What reached the board: the place, the rows and (when asked for) what they held.
    const std::uint32_t words[6] = {static_cast<std::uint32_t>(areaTop), static_cast<std::uint32_t>(dx),
                                    static_cast<std::uint32_t>(dy + first), static_cast<std::uint32_t>(w),
                                    static_cast<std::uint32_t>(rows), checksum ? sum : 0u};
    zk::journal_on_board(zk::JournalKind::GraphicsWrite, areaTop == 0 ? "GFB front" : "GFB back",
                         static_cast<std::uint32_t>(fields), words, sizeof words);
    return 0;
}

long CMQGraph::GfbBlit(long left, long top, long right, long bottom, long vshift, long hshift)
{
    if (!GfbReady()) return -1;
    zk::GfbBlitRequest request;
    request.left = static_cast<std::int32_t>(held(left));
    request.top = static_cast<std::int32_t>(held(top));
    request.right = static_cast<std::int32_t>(held(right));
    request.bottom = static_cast<std::int32_t>(held(bottom));
    request.vshift = static_cast<std::int32_t>(held(vshift));
    request.hshift = static_cast<std::int32_t>(held(hshift));
    DWORD returned = 0;
    return DeviceIoControl(m_hGfb, IOCTL_GFB_BLIT, &request, sizeof request, &request, sizeof request, &returned,
                           nullptr)
               ? 0
               : -1;
}

long CMQGraph::GfbCopyBktoFr(long x, long y, long w, long h)
{
    if (!GfbReady() || !clip_to_area(x, y, w, h)) return -1;
    // Right and bottom are exclusive: x + w and the line after the rectangle's last.
    const long even = GfbBlit(x, y + kAreaLines, x + w, y + h + kAreaLines, -kBackShift, 0);
    const long odd = GfbBlit(x, y + kAreaLines + 1, x + w, y + h + kAreaLines, -kBackShift, 0);
    return even == 0 && odd == 0 ? 0 : -1;
}

long CMQGraph::GfbCopyBktoFr_FirstField(long x, long y, long w, long h)
{
    return GfbCopyField(kFirstField, x, y, w, h, kAreaLines, 0, -kBackShift);
}

long CMQGraph::GfbCopyBktoFr_SecondField(long x, long y, long w, long h)
{
    return GfbCopyField(kSecondField, x, y, w, h, kAreaLines, 0, -kBackShift);
}

long CMQGraph::GfbCopyFrtoFr_First(long x, long y, long w, long h, long a, long b)
{
    return GfbCopyField(kFirstField, x, y, w, h, 0, a, b);
}

long CMQGraph::GfbCopyFrtoFr_Second(long x, long y, long w, long h, long a, long b)
{
    return GfbCopyField(kSecondField, x, y, w, h, 0, a, b);
}

long CMQGraph::GfbCopyField(int field, long x, long y, long w, long h, long fromTop, long a, long b)
{
    if (!GfbReady() || !clip_to_area(x, y, w, h)) return -1;
    // The copy starts on the field's first line in the rectangle, so it touches that field's
    // lines only, whatever the parity of y.
    const long top = first_line_of(field, y);
    return GfbBlit(x, fromTop + top, x + w, fromTop + y + h, held(b), held(a));
}
