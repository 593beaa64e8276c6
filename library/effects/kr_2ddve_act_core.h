// The keypoint move of a 2D DVE action, as plain arithmetic: keypoints in, one record per field
// out.
//
// An action is a list of 2 to 20 keypoints (pixel rectangles of the 720 × 486 picture, each
// with the number of fields taken to reach it from the one before). Segment k runs from
// keypoint k − 1 to keypoint k: it starts at keypoint k − 1, adds a fixed per-field delta to x,
// y, width and height on each of its fields, and lands exactly on keypoint k on its last field.
// The record carries the values normalised to the picture (x and width over 720, y and height
// over 486), positions held to −1.0 ... 1.0 and sizes to −1.9999 ... 1.9999 (2.0 and beyond
// become 1.9999), on every field including a segment's field 0.
//
// A keypoint that asks for 0 fields (or fewer) is reached in one field: the move jumps there,
// and a segment always ends. An action of fewer than two keypoints has no segment and is
// refused, as is a null table or more than 20 keypoints.
//
// The presets are two-keypoint moves between a collapsed rectangle and the full picture
// (0, 0, 720, 486); the vertical centre of the presets is line 242.
#pragma once

#include <array>
#include <vector>

#include "effects/kr_2ddve.h"
#include "effects/mqvidfx_records.h"
#include "platform/framework/win_types.h"

// One keypoint: a tag (the preset number, or the caller's), the rectangle in pixels, and the
// fields taken to reach it from the previous keypoint.
struct tag2DDVEPRM {
    LONG lTag;
    LONG lX;
    LONG lY;
    LONG lWidth;
    LONG lHeight;
    LONG lFields;
};
static_assert(sizeof(tag2DDVEPRM) == 24);

namespace zk::fx {

inline constexpr int kDveMaxKeypoints = 20;
inline constexpr int kDvePresetCount = 15;

struct DveRect {
    long x = 0, y = 0, width = 0, height = 0;

    friend bool operator==(const DveRect&, const DveRect&) = default;
};

// The collapsed rectangle of preset `pattern` (0-14).
const std::array<DveRect, kDvePresetCount>& dve_presets();

struct DveAction {
    std::array<tag2DDVEPRM, kDveMaxKeypoints> keypoints{};
    int count = 0;
    long channel = 0;
};

// Set2D with a keypoint table: 1 when taken, 0 when refused (out left unchanged).
int make_dve_action(const tag2DDVEPRM* keypoints, long count, long channel, DveAction& out);
// Set2D with a preset: without `out` from the preset's rectangle to the full picture, with it
// back; the second keypoint takes `fields` fields. 1 when taken, 0 for a pattern outside 0-14.
int make_dve_pattern(long pattern, long out, long fields, long channel, DveAction& action);

// The fields segment `keypoint` takes (GetFieldMax): at least 1; 0 outside the table.
long dve_segment_fields(const DveAction& action, int keypoint);

// The mixer channel whose 2D DVE an action drives: channel 0 → 1, 1 → 3, any other → 0.
int dve_fiesta_channel(long channel);

// Where a move stands (Setup2DParam / Set2DPosition).
struct DveMove {
    int segment = 0;
    long fields = 0;           // of the segment
    double delta[4] = {};      // per field: x, y, width, height in pixels
    double current[4] = {};    // pixels
    double normalised[4] = {}; // as written to the record, held to the record's ranges
};

// Prepares segment `segment` (1 ... count − 1) at its field 0; false (move unchanged) outside.
bool dve_setup_segment(DveMove& move, const DveAction& action, int segment);
// Moves to field `field` of the prepared segment: a field above 0 adds one delta, and from the
// segment's last field on the values are keypoint `segment` exactly. Field 0 only re-normalises.
void dve_position_field(DveMove& move, const DveAction& action, long field);
// Writes the move's four normalised values into a record through the double setters.
void dve_apply(const DveMove& move, CKr2Ddve& record);

// The record on field `field` of segment `segment` (fields 1 ... n stepped from field 0, as a
// running action does), starting from `base`; `base` unchanged when the segment is outside.
MQVIDFX_2DDVE_KEYFRAME dve_action_record(const DveAction& action, int segment, long field,
                                         const MQVIDFX_2DDVE_KEYFRAME& base);

// The whole run: element 0 is the record sent at set-up (segment 1, field 0), element i the
// record sent on the i-th field after the start. Meant for runs of sensible length.
std::vector<MQVIDFX_2DDVE_KEYFRAME> dve_action_run(const DveAction& action, const MQVIDFX_2DDVE_KEYFRAME& base);

} // namespace zk::fx
