// The roll and crawl of a caption, field by field, as plain arithmetic.
//
// A roll moves a tall picture up through the 720 × 486 output, a crawl moves a wide one left,
// at a speed in tenths of a pixel per field. What happens on each field is decided here and
// handed back as a description (field writes from the picture, copies inside the graphics
// frame buffer, a fraction for the 2D DVE); the roll's worker performs it on the board.
//
// Three ways of moving, chosen when the roll is set:
//   - sub-pixel vertical roll (any speed that is not a whole even number of pixels): every
//     field writes one whole field of the picture taken from the sub-pixel copy that matches
//     the fraction, so the roll moves smoothly by tenths;
//   - scrolling vertical roll (a whole even number of pixels per field): the hardware moves
//     the field up and only the newly exposed rows are written below the picture;
//   - crawl: the hardware moves the field left, only the new columns are written to the right
//     of the picture, and the 2D DVE shifts the output by the tenths, four fields late so the
//     shift lands together with the copy it belongs to.
// In start mode 0 the picture's first screen is on air when the roll starts and the roll ends
// on its last screen; in modes 1 and 2 the picture enters from the bottom (right) edge and
// ends the same way. A picture smaller than the screen in mode 0 has nothing to roll.
//
// Speeds: SetRoll takes a step of 1 ... 600 (roll) or 1 ... 240 (crawl); 0 and below become 1,
// so a roll once set always moves and ends. A running roll's step may be changed to 0: the
// roll then holds still where it is until its step is raised again or it is broken off.
//
// Durations count 60 fields a second, which is what hosts compute with and what the
// conversions return. The roll itself moves one step per field of the video standard: at
// 59.94 fields a second it takes 0.1 % longer than the figure (10 000 ms become 10 010 ms), at
// 50 fields a second 20 % longer (10 000 ms become 12 000 ms).
#pragma once

#include <optional>

#include "effects/field_output.h"
#include "effects/mqvidfx_records.h"
#include "framebuffer/kr_frame_buffer.h"

namespace zk::fx {

inline constexpr long kRollScreenWidth = 720;
inline constexpr long kRollScreenHeight = 486;
inline constexpr int kRollMaxStep = 600;
inline constexpr int kCrawlMaxStep = 240;

// --- Durations -------------------------------------------------------------------------------

// The step (tenths of a pixel per field) that rolls `size` pixels in `ms` milliseconds: 0 for
// 0 ms, at least 1, at most 600 (vertical) or 240.
int comp_time_to_step(long size, unsigned long ms, int vertical, int mode);
// The milliseconds a roll of `size` pixels takes at `step`: 0 for a step of 0 or below (it never
// ends) and when there is nothing to roll.
unsigned long comp_step_to_time(long size, long step, int vertical, int mode);
// The size a picture rolls over: its height for a roll, its width for a crawl; 0 without one.
long roll_image_size(const CKrFrameBuffer* image, int vertical);

// --- Setting a roll --------------------------------------------------------------------------

enum class RollKind { SubpixelVertical, ScrollVertical, Crawl };

struct RollSetting {
    int step = 0;
    int direction = 1; // 1 roll, 0 crawl
    int mode = 0;
    RollKind kind = RollKind::SubpixelVertical;

    friend bool operator==(const RollSetting&, const RollSetting&) = default;
};

// SetRoll's rules for a picture `width` wide: a mode outside 0-2 becomes 0; a direction outside
// 0-1 becomes a roll for pictures up to 720 wide, else a crawl; the step is held to its range.
RollSetting make_roll_setting(long width, int step, int direction, int mode);
// SetStepRoll's rule: below 0 → 0 (holds still), above the direction's maximum → the maximum.
int roll_step_for(int step, int direction);

// The picture `source` moved up by k tenths of a pixel (k 0 ... 10) into `target`, which is
// (re)made at the source's size. False, target untouched, for an empty source or k outside.
bool make_subpixel_image(const CKrFrameBuffer& source, CKrFrameBuffer& target, int k);

// The 2D DVE record the crawl sends: the picture shifted left by k tenths of a pixel, full size,
// black border and shadow colours. k = 0 is the resting record.
MQVIDFX_2DDVE_KEYFRAME roll_dve_record(int k);

// --- Per field -------------------------------------------------------------------------------

// A copy of one field's lines inside the graphics frame buffer: the w × h area at (x, y) moved
// by dx columns and dy field lines (GfbCopyFrtoFr_First / GfbCopyFrtoFr_Second).
struct FieldCopy {
    Field field = Field::First;
    long x = 0, y = 0, width = 0, height = 0;
    long dx = 0, dy = 0;

    friend bool operator==(const FieldCopy&, const FieldCopy&) = default;
};

struct RollParams {
    RollKind kind = RollKind::SubpixelVertical;
    int mode = 0;
    long image_width = 0, image_height = 0;
    bool subpixel_images = true; // slots 1-9 hold the sub-pixel pictures
};

struct RollState {
    long position = 0;          // tenths of a pixel
    long end = 0;               // pixels
    long last[2] = {0, 0};      // last position written in the first and the second field
    int fraction = 0;           // crawl: the fraction of the last field
    int delay[3] = {0, 0, 0};   // crawl: fractions on their way to the 2D DVE
    bool done = false;
};

// What one field asks for, in this order: the display position reset to 0, the fraction sent
// to the 2D DVE, the field write, the copy. Source 0 of a write is the picture, source k
// (1-9) its sub-pixel copy k.
struct RollFieldOutcome {
    bool display_top = false;
    std::optional<int> dve_fraction;
    std::optional<FieldWrite> write;
    std::optional<FieldCopy> copy;
    bool ended = false;

    friend bool operator==(const RollFieldOutcome&, const RollFieldOutcome&) = default;
};

RollState start_roll(const RollParams& params);
// One field: `step` is the current step (read each field, it may change while running),
// `field_indicator` the field being shown (1 second, other first), `break_requested` the
// break flag. Once ended, further calls do nothing and report ended.
RollFieldOutcome roll_field(RollState& state, const RollParams& params, long step, unsigned long field_indicator,
                            bool break_requested);

} // namespace zk::fx
