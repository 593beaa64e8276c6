// What an effect core asks of the board on one field, described rather than done.
//
// Cores return these; the shells (the legacy controller classes) turn them into calls on the
// effects graph. Keeping them plain values lets a test compare a whole run of fields with a
// table, and lets the shell stay a few lines long.
#pragma once

#include <cstdint>

namespace zk::fx {

// The two fields of an interlaced frame. A field number handed to an effect is 1 for the
// second field; every other value means the first field.
enum class Field : int { First = 0, Second = 1 };

constexpr Field field_of(unsigned long fieldNumber)
{
    return fieldNumber == 1 ? Field::Second : Field::First;
}

// Copy one field's lines of a rectangle of a source picture to the output at (dst_x, dst_y)
// (CMQGraph::GfbFrWrite_First / GfbFrWrite_Second). `source` names which of the effect's
// pictures is meant, when it has several (a slide's outgoing and incoming pictures).
struct FieldWrite {
    Field field = Field::First;
    int source = 0;
    long src_x = 0, src_y = 0;
    long width = 0, height = 0;
    long dst_x = 0, dst_y = 0;

    friend bool operator==(const FieldWrite&, const FieldWrite&) = default;
};

// One copy inside the graphics frame buffer (the blit request): the rectangle's left, top,
// right and bottom in frame-buffer lines and columns, and the vertical and horizontal shift.
struct BlitWords {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    std::int32_t vshift = 0, hshift = 0;

    friend bool operator==(const BlitWords&, const BlitWords&) = default;
};

} // namespace zk::fx
