// The keyframe records the mixer's units take, as the board reads them.
//
// Every record is a run of little-endian 32-bit words; a unit takes it only at its exact size.
// Positions, sizes, fader positions and volumes are fixed point with 24 fraction bits
// (1.0 = 0x1000000); colours are studio-range YUV words as MtxColor::ARGBtoYUV makes them
// (Y in bits 16-23, Cb in 8-15, Cr in 0-7; the top byte is not a key and is ignored).
//
//   2D DVE (48):      definition, horizontal and vertical position (of the picture's top-left
//                     corner, 1.0 = one picture width or height), horizontal and vertical size
//                     (1.0 = full; negative mirrors), border width in pixels, border colour,
//                     shadow colour, four shadow values (16.16). The shadow is kept, not drawn.
//   crop (20):        enable, then the part cut from the left, top, right and bottom edge, each
//                     a fraction of the picture (0 cuts nothing); cut parts are transparent.
//   procamp (20):     enable, brightness, contrast, saturation, hue: kept, not applied.
//   mask (20):        enable, left, top, right, bottom of the window: kept, not applied.
//   paint (16):       enable, YUV colour, mode, reserved: kept, not applied.
//   wipe (36):        mode (kept), pattern (bit 15 the modifier, which reverses it), four
//                     16-bit reserved words, value 1 (the border width in pixels, 0-200),
//                     value 2 (kept), three reserved words. Patterns: wipe_pattern.h.
//   fader (8):        reserved word, position 0 to 1.0 (outside that range it is clamped).
//   background (8):   enable (non-zero), YUV colour: the background generator and the wipe
//                     units' border generators.
//   volume (4):       the audio mixer's master volume, 1.0 = unity.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "platform/framework/win_types.h"

namespace zk::mixer {

enum class RecordKind : int { Dve2D, Crop, Procamp, Mask, Paint, Wipe, Fader, Background, Volume };
inline constexpr int kRecordKinds = 9;

inline constexpr std::size_t record_size(RecordKind kind)
{
    switch (kind) {
    case RecordKind::Dve2D:
        return 48;
    case RecordKind::Crop:
    case RecordKind::Procamp:
    case RecordKind::Mask:
        return 20;
    case RecordKind::Paint:
        return 16;
    case RecordKind::Wipe:
        return 36;
    case RecordKind::Fader:
    case RecordKind::Background:
        return 8;
    case RecordKind::Volume:
        return 4;
    }
    return 0;
}

const char* record_name(RecordKind kind);

// The 32-bit word at byte `offset` of a record (0 when the record is too short).
inline std::uint32_t record_word(std::span<const std::uint8_t> record, std::size_t offset)
{
    if (offset + 4 > record.size()) return 0;
    std::uint32_t w;
    std::memcpy(&w, record.data() + offset, 4);
    return w;
}
inline std::int32_t record_long(std::span<const std::uint8_t> record, std::size_t offset)
{
    return static_cast<std::int32_t>(record_word(record, offset));
}

constexpr std::int32_t kFixedOne = 0x1000000;

struct Dve2D {
    std::int32_t x = 0, y = 0;                  // 8.24, picture widths and heights
    std::int32_t width = kFixedOne, height = kFixedOne;
    std::uint32_t border_width = 0;             // pixels
    std::uint32_t border_yuv = 0x008080;
};
// The picture a channel shows before it has a record: in place at full size.
Dve2D read_dve(std::span<const std::uint8_t> record);

struct Crop {
    bool enabled = false;
    std::int32_t left = 0, top = 0, right = 0, bottom = 0; // 8.24 fractions cut from each edge
};
Crop read_crop(std::span<const std::uint8_t> record);

struct Wipe {
    std::uint32_t mode = 0;
    std::uint32_t pattern = 0;     // without the modifier bit
    bool reversed = false;         // the modifier
    std::uint32_t border_width = 0; // pixels, at most 200
    std::uint32_t value2 = 0;
};
Wipe read_wipe(std::span<const std::uint8_t> record);

// The fader position clamped to 0 .. 0x1000000.
std::int32_t read_fader(std::span<const std::uint8_t> record);

struct Background {
    bool enabled = false;
    std::uint32_t yuv = 0x008080;
};
Background read_background(std::span<const std::uint8_t> record);

// A hardware colour word as a frame-buffer pixel, opaque. MtxColor's way back reads the
// colour-difference bytes in the opposite order to the way there; the board reads them in the
// order the way there writes them, so a colour sent comes back as itself (within rounding).
std::uint32_t yuv_to_pixel(std::uint32_t yuv);

} // namespace zk::mixer
