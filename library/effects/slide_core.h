// The slide core: how a rectangle's outgoing picture slides away while an incoming picture
// slides in or is revealed, one step per field, in one of eight directions.
//
// Each moving picture has a start box and a current box (CMoveBox: where the visible part goes,
// relative to the slide's rectangle, where it is taken from in the picture, and its size) and
// a motion record with one axis for x and one for y. An axis either moves the picture (mode 0)
// or grows its visible size (mode 1, toward smaller coordinates when anchored at 1); after
// step i of n it has gone round(distance · i / n) pixels. A moving picture is clipped to the
// rectangle on both sides, so nothing is drawn outside it.
//
// Directions: 0 right, 1 left, 2 down, 3 up, 4 right and down, 5 right and up, 6 left and down,
// 7 left and up. Kinds of motion: 0 slides out, 1 slides in, 2 is revealed.
//
// A slot's run, one call per field: the delay's fields write nothing; then every field
// advances the outgoing motion (when it slides out) and the incoming one, and writes the
// outgoing picture's visible part and then the incoming one's. Once the incoming motion has
// finished, three more fields are written (so both fields of the frame hold the end picture)
// and the run ends.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "effects/field_output.h"
#include "framebuffer/box.h"
#include "framebuffer/kr_frame_buffer.h"

// One axis of a motion record.
struct tagSLIDEAXIS {
    std::int32_t mode;      // 0 the picture moves, 1 its visible size grows
    std::int32_t anchor;    // 1: grows toward smaller coordinates
    std::int32_t distance;  // in pixels
    std::int32_t sign;      // +1 or -1; 0 for an axis that does not change
    std::int32_t steps;     // fields the axis takes
    std::int32_t index;     // steps taken
};

// A motion record: the x axis, then the y axis.
struct tagSLIDECOMP {
    tagSLIDEAXIS x;
    tagSLIDEAXIS y;
};
static_assert(sizeof(tagSLIDECOMP) == 48, "the motion record is twelve 32-bit words");

namespace zk::fx {

constexpr int kSlideSlots = 20;
enum SlideKind : int { kSlidesOut = 0, kSlidesIn = 1, kRevealed = 2 };
// FieldWrite::source of a slide: which of its two pictures is meant.
constexpr int kOutgoingPicture = 0;
constexpr int kIncomingPicture = 1;

// Fills a start box and a motion record for `kind` in `direction` (others count as 0) over
// `steps` fields on a width × height rectangle. For the four straight directions a `limit`
// between 1 and the size along the motion shortens the distance to it. Any other kind clears
// the box and the record. Returns 0.
int slide_set_one(CMoveBox& start, tagSLIDECOMP& comp, int kind, int direction, int steps, long width, long height,
                  int limit);

// Advances both axes one step and sets the current box. Returns 2 when both axes have
// finished, 1 when one has, 0 otherwise. An axis finishes on the call after its last step; an
// axis with no steps stands at its end at once.
int next_slide_comp(const CMoveBox& start, CMoveBox& current, tagSLIDECOMP& comp);

// Takes both axes to their end at once and sets the current box there.
void finish_slide_comp(const CMoveBox& start, CMoveBox& current, tagSLIDECOMP& comp);

// What a slide type does: types -4 to 3 (others count as 0); negative types bring in a solid
// colour. Types 10 to 14 are not slides but fades of mode type − 10.
struct SlideType {
    bool outgoing_slides_out = false;
    bool incoming_slides_in = false;  // else revealed
    bool solid_colour = false;
};
SlideType decode_slide_type(int type);
bool is_fade_type(int type);
int decode_slide_direction(int direction);

// The number of fields a slide takes: with `speed_in_pixels`, the size along the motion (the
// smaller size for diagonals) divided by the speed, else two fields per frame of `speed`. A
// speed below 1 counts as 1, and a slide takes at least one field, so its incoming picture
// always arrives.
int slide_steps(int direction, long width, long height, int speed, bool speed_in_pixels);

// SlideSet's arguments, in its order.
struct SlideSetArgs {
    int slot = 1;  // 1 to 20
    int type = 0;
    int direction = 0;
    int speed = 1;
    int speed_in_pixels = 0;
    int delay = 0;
    int out_bank = 0;
    int x = 0, y = 0, width = 0, height = 0;
    int in_bank = 0;
    int in_x = 0, in_y = 0;
    unsigned long colour = 0;
    int limit = 0;
};

// The rectangles after clipping to the 720 × 486 output: the outgoing one at (x, y), the
// incoming one at (in_x, in_y), both width × height.
struct SlideArea {
    long x = 0, y = 0, width = 0, height = 0;
    long in_x = 0, in_y = 0;

    friend bool operator==(const SlideArea&, const SlideArea&) = default;
};
// False when nothing of the rectangle is left.
bool clip_slide_area(const SlideSetArgs& args, SlideArea& area);

struct SlidePicture {
    CMoveBox start;
    CMoveBox current;
    tagSLIDECOMP comp{};
    CKrFrameBuffer picture;
    int bank = 0;
};

struct SlideSlot {
    long x = 0, y = 0, width = 0, height = 0;  // the rectangle on the output
    long delay = 0;                             // fields before the first step
    bool outgoing_on_air = false;
    bool outgoing_slides_out = false;
    SlidePicture incoming;
    SlidePicture outgoing;
};

// Prepares a slot from SlideSet's arguments and the four banks: clips the rectangle, takes
// the outgoing picture (when it slides out) and the incoming one (from its bank, or the solid
// colour) and sets up their motions. Returns 0, or -1 for a slot number outside 1 to 20, an
// empty rectangle, a bank number that names no bank, or no memory for the pictures; the slot
// is left as it was then. Fade types are not slides and are refused here too.
int prepare_slide(const SlideSetArgs& args, std::span<CKrFrameBuffer> banks, int on_air_bank, SlideSlot& slot);

struct SlideRun {
    bool delay_waiting = false;
    long delay_count = 0;
    int result = 0;     // the incoming motion's last result
    int finishing = 0;  // fields written since it finished
    bool ended = false;
};
SlideRun start_slide(const SlideSlot& slot);

struct SlideOutcome {
    std::array<FieldWrite, 2> writes{};
    int count = 0;
    int result = 0;
    bool ended = false;

    std::span<const FieldWrite> written() const { return {writes.data(), static_cast<std::size_t>(count)}; }
};

// One field of a slot's run (field number 1 is the second field).
SlideOutcome slide_step(SlideSlot& slot, SlideRun& run, unsigned long field);

// Takes every motion of the slot to its end at once (a slide on a bank that is not on air).
void finish_slide(SlideSlot& slot);

// Copies the slot's pictures as they stand into `bank`: the outgoing one (when it slides out),
// then the incoming one. Returns 0, or -1 when a copy failed.
int copy_slide_state(SlideSlot& slot, CKrFrameBuffer& bank);

} // namespace zk::fx
