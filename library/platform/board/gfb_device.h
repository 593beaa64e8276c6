// The DigiMix graphics frame-buffer device ("\\.\DigiMixGFB0"): the video memory the board keys
// over its output.
//
// The memory is 1368 lines of 768 pixels of 32 bits (blue | green << 8 | red << 16 |
// key << 24). Lines 0-683 are the front area, lines 684-1367 the back area; the board shows
// the 720 × 486 pixels at the top left of the lines from the display position on (0 shows the
// front area, 684 the back area). Memory and display position belong to the board: every open
// of the device sees the same ones.
//
// I/O controls:
//   IOCTL_GFB_MAP      20 bytes out (the input, 20 bytes, is not read): the map record below;
//                      its first word is the memory's board-memory token
//                      (platform/board/board_memory.h), mapped with the memory's lock.
//   IOCTL_GFB_DISPLAY  4 bytes in: the display position in lines, 0 to 882 (the shown
//                      486 lines must lie in the memory); 4 bytes out when given: the token.
//   IOCTL_GFB_BLIT     48 bytes in: six reserved words (ignored), then left, top, right,
//                      bottom, vertical shift, horizontal shift; 48 bytes out when given:
//                      the request as received.
//
// The blit, one convention everywhere: right and bottom are exclusive. It copies the lines of
// the parity of `top`, from `top` up to (not including) `bottom`, every second line; columns
// `left` up to (not including) `right`. Each line moves down by twice the vertical shift (the
// shift counts field lines, two frame lines each) and each column right by the horizontal
// shift. Source and destination may overlap: the copy is as if through a temporary. The
// rectangle is clipped so that both the lines read and the lines written lie in the memory;
// a rectangle with right < left or bottom < top, or of which nothing is left after clipping,
// is refused (ERROR_INVALID_PARAMETER); an empty one (right = left or bottom = top) copies
// nothing and succeeds. The device copies under the memory's lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "platform/board/device_io.h"

constexpr DWORD IOCTL_GFB_MAP = 0x83002258u;
constexpr DWORD IOCTL_GFB_DISPLAY = 0x83002260u;
constexpr DWORD IOCTL_GFB_BLIT = 0x83002264u;

namespace zk {

class VirtualBoard;

constexpr int kGfbPitch = 768;      // pixels per line
constexpr int kGfbLines = 1368;     // lines of the whole memory
constexpr int kGfbAreaLines = 684;  // lines of one area; the back area starts here
constexpr int kGfbShownWidth = 720; // the displayed picture
constexpr int kGfbShownLines = 486;
constexpr int kGfbMaxDisplayLine = kGfbLines - kGfbShownLines;
constexpr std::size_t kGfbBytes = std::size_t{kGfbPitch} * kGfbLines * 4;

// The map record the device fills (20 bytes).
struct GfbMapRecord {
    std::uint32_t token = 0;        // the memory, as a board-memory token
    std::uint32_t bytes = 0;        // its size
    std::uint32_t pitch_bytes = 0;  // bytes per line
    std::uint32_t lines = 0;        // lines of the whole memory
    std::uint32_t display_line = 0; // the display position when mapped
};
static_assert(sizeof(GfbMapRecord) == 20, "the map record is 20 bytes");

// The blit request (48 bytes).
struct GfbBlitRequest {
    std::int32_t reserved[6] = {};
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    std::int32_t vshift = 0; // field lines
    std::int32_t hshift = 0; // pixels
};
static_assert(sizeof(GfbBlitRequest) == 48, "the blit request is 48 bytes");

enum class BlitResult { copied, empty, refused };

// The blit as the device does it, on `memory` of `lines` lines of `pitch` pixels.
BlitResult blit_frame_buffer(std::span<std::uint32_t> memory, int pitch, int lines, const GfbBlitRequest& request);

// The memory of one graphics device of a board, shared by every open of it and by the board's
// output stage. Touch `pixels` only while holding `lock`, one short operation at a time.
struct GraphicsMemory {
    GraphicsMemory();
    ~GraphicsMemory();
    GraphicsMemory(const GraphicsMemory&) = delete;
    GraphicsMemory& operator=(const GraphicsMemory&) = delete;

    std::shared_ptr<std::mutex> lock = std::make_shared<std::mutex>();
    std::vector<std::uint32_t> pixels;
    std::uint32_t token = 0;
    std::atomic<int> display_line{0};
};

// The memory of the board's graphics device `name` (made on first use), or of its first one
// when `name` is empty; null when the board has no such device.
ZORVIK_API std::shared_ptr<GraphicsMemory> graphics_memory(VirtualBoard& board, const std::string& name = {});

// The device object for one open of the board's graphics device `name`.
std::shared_ptr<VirtualDevice> open_graphics_device(const std::shared_ptr<VirtualBoard>& board, const std::string& name);

} // namespace zk
