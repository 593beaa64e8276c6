// The keyframe records the effects send to the mixer's channel and wipe units.
//
// Each record is a run of little-endian words exactly as the units take them: the effects
// graph hands the unit a pointer and the record's size, so the layouts and sizes below are
// fixed and checked at compile time. Only the fields this library fills are given meaning
// here; words it always sets to the same value are named after their place in the record.
//
// Positions and sizes are 32-bit fixed-point numbers with 24 fraction bits (1.0 = 0x1000000,
// one picture width or height); shadow values have 16 fraction bits. Colours are studio-range
// YUV words as MtxColor::ARGBtoYUV makes them.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#include "core/zorvik_api.h"
#include "platform/framework/win_types.h"

static_assert(std::endian::native == std::endian::little,
              "the keyframe records are sent as they lie in memory, which must be little-endian");

#pragma pack(push, 1)

// Position, size, border and shadow of one channel's picture (the 2D DVE).
struct MQVIDFX_2DDVE_KEYFRAME {
    DWORD dwDefinition;
    LONG lHorPos;
    LONG lVerPos;
    LONG lHorSize;
    LONG lVerSize;
    DWORD dwBorderWidth;
    DWORD dwBorderColor;
    DWORD dwShadowColor;
    LONG lShadow[4];
};

// The pattern of a wipe unit.
struct MQVIDFX_WIPE_KEYFRAME {
    DWORD dwMode;       // 1 with the mode flag, else 0
    DWORD dwPattern;    // pattern number, 0x8000 added by the modifier flag
    WORD wWord8;        // 0
    WORD wWord10;       // 0
    WORD wWord12;       // 16
    WORD wWord14;       // 16
    DWORD dwValue1;
    DWORD dwValue2;
    DWORD dwWord24;     // 0
    DWORD dwWord28;     // 0
    DWORD dwWord32;     // 1
};

// How far a wipe unit's transition has gone: 0 to 1.0 in 8.24 fixed point.
struct MQVIDFX_FADERPOS_KEYFRAME {
    DWORD dwWord0;      // 0
    LONG lPosition;
};

// A background (border) generator: enable flag and YUV colour.
struct MQVIDFX_BACKGROUND_KEYFRAME {
    DWORD dwEnable;
    DWORD dwColor;
};

#pragma pack(pop)

static_assert(sizeof(MQVIDFX_2DDVE_KEYFRAME) == 48);
static_assert(sizeof(MQVIDFX_WIPE_KEYFRAME) == 36);
static_assert(sizeof(MQVIDFX_FADERPOS_KEYFRAME) == 8);
static_assert(sizeof(MQVIDFX_BACKGROUND_KEYFRAME) == 8);

namespace zk::fx {

// The bytes a unit receives for a record.
template <typename Record>
std::array<std::uint8_t, sizeof(Record)> record_bytes(const Record& r)
{
    std::array<std::uint8_t, sizeof(Record)> out{};
    std::memcpy(out.data(), &r, sizeof(Record));
    return out;
}

// x × 2^fraction_bits + 0.5, truncated toward zero, as every fixed-point value of the records
// is formed. Values beyond the 32-bit range saturate and NaN gives 0, so no caller's input
// can make the conversion undefined.
LONG to_fixed(double x, int fraction_bits);

// The background record: enable is 1 for any non-zero flag, the colour converted to YUV.
MQVIDFX_BACKGROUND_KEYFRAME background_record(long enable, DWORD argb);

} // namespace zk::fx
