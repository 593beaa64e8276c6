// The keypoint move of a 2D DVE action: presets, segment set-up, per-field positions, runs.
#include "effects/kr_2ddve_act_core.h"

#include <algorithm>

namespace zk::fx {

namespace {

constexpr double kPictureSize[4] = {720.0, 486.0, 720.0, 486.0};
constexpr DveRect kFullPicture{0, 0, 720, 486};

constexpr std::array<DveRect, kDvePresetCount> kPresets = {{
    {360, 242, 0, 0},   // 0: centre point
    {0, 242, 0, 0},     // 1: left middle
    {720, 242, 0, 0},   // 2: right middle
    {360, 0, 0, 0},     // 3: top middle
    {360, 486, 0, 0},   // 4: bottom middle
    {720, 486, 0, 0},   // 5: bottom right
    {0, 486, 0, 0},     // 6: bottom left
    {720, 0, 0, 0},     // 7: top right
    {0, 0, 0, 0},       // 8: top left
    {360, 0, 0, 486},   // 9: vertical centre line
    {0, 242, 720, 0},   // 10: horizontal centre line
    {0, 0, 0, 486},     // 11: left edge
    {720, 0, 0, 486},   // 12: right edge
    {0, 0, 720, 0},     // 13: top edge
    {0, 486, 720, 0},   // 14: bottom edge
}};

double keypoint_value(const tag2DDVEPRM& k, int i)
{
    const LONG v[4] = {k.lX, k.lY, k.lWidth, k.lHeight};
    return static_cast<double>(v[i]);
}

// Positions stay within one picture of the place, sizes below twice the picture.
double hold_to_range(double v, int i)
{
    if (i < 2) {
        if (v >= 1.0) return 1.0;
        if (v <= -1.0) return -1.0;
        return v;
    }
    if (v >= 2.0) return 1.9999;
    if (v <= -2.0) return -1.9999;
    return v;
}

void normalise(DveMove& move)
{
    for (int i = 0; i < 4; ++i) move.normalised[i] = hold_to_range(move.current[i] / kPictureSize[i], i);
}

tag2DDVEPRM keypoint_of(const DveRect& r, long tag, long fields)
{
    return tag2DDVEPRM{static_cast<LONG>(tag), static_cast<LONG>(r.x), static_cast<LONG>(r.y),
                       static_cast<LONG>(r.width), static_cast<LONG>(r.height), static_cast<LONG>(fields)};
}

} // namespace

const std::array<DveRect, kDvePresetCount>& dve_presets() { return kPresets; }

int make_dve_action(const tag2DDVEPRM* keypoints, long count, long channel, DveAction& out)
{
    if (!keypoints || count < 2 || count > kDveMaxKeypoints) return 0;
    DveAction a;
    std::copy_n(keypoints, count, a.keypoints.begin());
    a.count = static_cast<int>(count);
    a.channel = channel;
    out = a;
    return 1;
}

int make_dve_pattern(long pattern, long out, long fields, long channel, DveAction& action)
{
    if (pattern < 0 || pattern >= kDvePresetCount) return 0;
    const DveRect& point = kPresets[static_cast<std::size_t>(pattern)];
    const tag2DDVEPRM table[2] = {keypoint_of(out ? kFullPicture : point, pattern, 0),
                                  keypoint_of(out ? point : kFullPicture, pattern, fields)};
    return make_dve_action(table, 2, channel, action);
}

long dve_segment_fields(const DveAction& action, int keypoint)
{
    if (keypoint < 0 || keypoint >= action.count) return 0;
    return std::max<long>(action.keypoints[static_cast<std::size_t>(keypoint)].lFields, 1);
}

int dve_fiesta_channel(long channel)
{
    if (channel == 0) return 1;
    if (channel == 1) return 3;
    return 0;
}

bool dve_setup_segment(DveMove& move, const DveAction& action, int segment)
{
    if (segment < 1 || segment >= action.count) return false;
    const tag2DDVEPRM& from = action.keypoints[static_cast<std::size_t>(segment - 1)];
    const tag2DDVEPRM& to = action.keypoints[static_cast<std::size_t>(segment)];
    move.segment = segment;
    move.fields = dve_segment_fields(action, segment);
    for (int i = 0; i < 4; ++i) {
        move.current[i] = keypoint_value(from, i);
        move.delta[i] = (keypoint_value(to, i) - keypoint_value(from, i)) / static_cast<double>(move.fields);
    }
    normalise(move);
    return true;
}

void dve_position_field(DveMove& move, const DveAction& action, long field)
{
    if (field > 0 && move.segment >= 1 && move.segment < action.count) {
        for (int i = 0; i < 4; ++i) move.current[i] += move.delta[i];
        if (field >= move.fields) {
            const tag2DDVEPRM& to = action.keypoints[static_cast<std::size_t>(move.segment)];
            for (int i = 0; i < 4; ++i) move.current[i] = keypoint_value(to, i);
        }
    }
    normalise(move);
}

void dve_apply(const DveMove& move, CKr2Ddve& record)
{
    record.Set2DdveHorPos(move.normalised[0]);
    record.Set2DdveVerPos(move.normalised[1]);
    record.Set2DdveHorSize(move.normalised[2]);
    record.Set2DdveVerSize(move.normalised[3]);
}

MQVIDFX_2DDVE_KEYFRAME dve_action_record(const DveAction& action, int segment, long field,
                                         const MQVIDFX_2DDVE_KEYFRAME& base)
{
    CKr2Ddve record;
    record.Set2Ddve(&base);
    DveMove move;
    if (!dve_setup_segment(move, action, segment)) return base;
    // From the segment's last field on nothing changes, so stepping stops there.
    const long last = std::min(field, move.fields);
    for (long f = 1; f <= last; ++f) dve_position_field(move, action, f);
    dve_apply(move, record);
    return *record.Get2DdveKeyframe();
}

std::vector<MQVIDFX_2DDVE_KEYFRAME> dve_action_run(const DveAction& action, const MQVIDFX_2DDVE_KEYFRAME& base)
{
    std::vector<MQVIDFX_2DDVE_KEYFRAME> out;
    CKr2Ddve record;
    record.Set2Ddve(&base);
    DveMove move;
    if (!dve_setup_segment(move, action, 1)) return out;
    dve_position_field(move, action, 0);
    dve_apply(move, record);
    out.push_back(*record.Get2DdveKeyframe());
    for (int segment = 1; segment < action.count; ++segment) {
        if (segment > 1) dve_setup_segment(move, action, segment);
        for (long f = 1; f <= move.fields; ++f) {
            dve_position_field(move, action, f);
            dve_apply(move, record);
            out.push_back(*record.Get2DdveKeyframe());
        }
    }
    return out;
}

} // namespace zk::fx
