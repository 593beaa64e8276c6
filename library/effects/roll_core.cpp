// The roll's core: durations, setting rules, sub-pixel pictures and the three per-field ways.
#include "effects/roll_core.h"

#include <algorithm>
#include <cmath>

#include "effects/kernels/subpixel.h"
#include "effects/kr_2ddve.h"

namespace zk::fx {

namespace {

// The pixels a roll travels: all of the picture, less the screen already showing in mode 0.
double roll_distance(long size, int vertical, int mode)
{
    const long screen = vertical ? kRollScreenHeight : kRollScreenWidth;
    return static_cast<double>(size) - (mode == 0 ? static_cast<double>(screen) : 0.0);
}

bool whole_even_pixels(int step) { return step % 10 == 0 && (step / 10) % 2 == 0; }

int index_of(Field f) { return f == Field::Second ? 1 : 0; }

void subpixel_field(RollFieldOutcome& out, RollState& s, const RollParams& p, long step, Field field)
{
    const long t = s.position + step;
    long px = t / 10;
    int f = static_cast<int>(t % 10);
    // At an odd whole-pixel speed the two fields of a frame would show the same rows of the
    // picture; the half-pixel picture sets them apart.
    if ((step / 10) % 2 == 1 && f == 0) f = 5;
    if (px >= s.end) {
        px = s.end;
        f = 0;
    }
    const int source = p.subpixel_images ? f : 0;
    if (p.mode == 0) {
        if (field == Field::First) {
            out.write = FieldWrite{field, source, 0, px + 1, kRollScreenWidth, kRollScreenHeight, 0, 1};
        } else {
            out.write = FieldWrite{field, source, 0, px, kRollScreenWidth, kRollScreenHeight, 0, 0};
        }
    } else {
        const long v = std::min(px, kRollScreenHeight);
        if (v > 0) out.write = FieldWrite{field, source, 0, px - v, kRollScreenWidth, v, 0, kRollScreenHeight - v};
    }
    s.last[index_of(field)] = px;
}

void scroll_field(RollFieldOutcome& out, RollState& s, const RollParams& p, long step, Field field)
{
    const long q = (s.position + step + 5) / 10;
    const long px = std::min(q + (q & 1), s.end);
    // Positions are even except at an odd end; a field that stopped there has nothing left to
    // write, so the odd-row adjustment only keeps the rule whole.
    const long last = s.last[index_of(field)];
    const long odd = last & 1;
    const long d = px - (last + odd);
    out.display_top = true;
    if (d > 0) {
        // New rows go below the picture (line 486 on), then the field moves up over them.
        const long first_row = last + (p.mode == 0 ? kRollScreenHeight : 0) - odd;
        out.write = FieldWrite{field, 0, 0, first_row, kRollScreenWidth, d + odd, 0, kRollScreenHeight};
        out.copy = FieldCopy{field, 0, d, kRollScreenWidth, kRollScreenHeight, 0, -(d / 2)};
    }
    s.last[index_of(field)] = px;
}

void crawl_field(RollFieldOutcome& out, RollState& s, const RollParams& p, long step, Field field)
{
    out.dve_fraction = s.delay[2];
    s.delay[2] = s.delay[1];
    s.delay[1] = s.delay[0];
    s.delay[0] = s.fraction;
    const long t = s.position + step;
    const long px = std::min(t / 10, s.end);
    s.fraction = static_cast<int>(t % 10);
    const long last = s.last[index_of(field)];
    const long d = px - last;
    if (d > 0) {
        // New columns go right of the picture (column 720 on), then the field moves left.
        const long first_column = last + (p.mode == 0 ? kRollScreenWidth : 0);
        out.write = FieldWrite{field, 0, first_column, 0, d, kRollScreenHeight, kRollScreenWidth, 0};
        out.copy = FieldCopy{field, d, 0, kRollScreenWidth, kRollScreenHeight, -d, 0};
    }
    s.last[index_of(field)] = px;
}

} // namespace

int comp_time_to_step(long size, unsigned long ms, int vertical, int mode)
{
    if (ms == 0) return 0;
    const double step = std::trunc(roll_distance(size, vertical, mode) / (static_cast<double>(ms) * 0.001 * 60) * 10);
    const int cap = vertical ? kRollMaxStep : kCrawlMaxStep;
    if (step < 1) return 1;
    if (step > cap) return cap;
    return static_cast<int>(step);
}

unsigned long comp_step_to_time(long size, long step, int vertical, int mode)
{
    const double distance = roll_distance(size, vertical, mode);
    if (step <= 0 || distance <= 0) return 0;
    return static_cast<unsigned long>(distance / (static_cast<double>(step) * 0.1) * (1.0 / 60) * 1000);
}

long roll_image_size(const CKrFrameBuffer* image, int vertical)
{
    if (!image) return 0;
    return static_cast<long>(vertical ? image->GetHeight() : image->GetWidth());
}

RollSetting make_roll_setting(long width, int step, int direction, int mode)
{
    RollSetting r;
    r.mode = (mode < 0 || mode > 2) ? 0 : mode;
    r.direction = (direction < 0 || direction > 1) ? (width <= kRollScreenWidth ? 1 : 0) : direction;
    const int cap = r.direction ? kRollMaxStep : kCrawlMaxStep;
    r.step = std::clamp(step, 1, cap);
    if (!r.direction) {
        r.kind = RollKind::Crawl;
    } else {
        r.kind = whole_even_pixels(r.step) ? RollKind::ScrollVertical : RollKind::SubpixelVertical;
    }
    return r;
}

int roll_step_for(int step, int direction)
{
    return std::clamp(step, 0, direction ? kRollMaxStep : kCrawlMaxStep);
}

bool make_subpixel_image(const CKrFrameBuffer& source, CKrFrameBuffer& target, int k)
{
    if (source.IsBuffer() || k < 0 || k > 10) return false;
    if (&source == &target) return false;
    if (target.IsBuffer() || target.GetWidth() != source.GetWidth() || target.GetHeight() != source.GetHeight()) {
        target.DeleteFrameBuffer();
        if (target.CreateFrameBuffer(static_cast<long>(source.GetWidth()), static_cast<long>(source.GetHeight()), 0) != 0) {
            return false;
        }
    }
    subpixel_picture(target.GetBufferDWord(), source.GetBufferDWord(), source.GetWidth(), source.GetHeight(),
                     static_cast<unsigned>(k));
    return true;
}

MQVIDFX_2DDVE_KEYFRAME roll_dve_record(int k)
{
    MQVIDFX_2DDVE_KEYFRAME r = default_dve_record();
    r.lHorPos = to_fixed(static_cast<double>(k) * (-1.0 / 7200), 24);
    return r;
}

RollState start_roll(const RollParams& params)
{
    RollState s;
    const bool crawl = params.kind == RollKind::Crawl;
    const long size = crawl ? params.image_width : params.image_height;
    const long screen = crawl ? kRollScreenWidth : kRollScreenHeight;
    s.end = std::max(0L, size - (params.mode == 0 ? screen : 0));
    return s;
}

RollFieldOutcome roll_field(RollState& state, const RollParams& params, long step, unsigned long field_indicator,
                            bool break_requested)
{
    RollFieldOutcome out;
    if (state.done) {
        out.ended = true;
        return out;
    }
    step = std::max(step, 0L);
    if (break_requested) state.end = std::min(state.end, state.position / 10);
    const Field field = field_of(field_indicator);
    switch (params.kind) {
    case RollKind::SubpixelVertical: subpixel_field(out, state, params, step, field); break;
    case RollKind::ScrollVertical: scroll_field(out, state, params, step, field); break;
    case RollKind::Crawl: crawl_field(out, state, params, step, field); break;
    }
    state.position = std::min(state.position + step, state.end * 10);
    state.done = state.last[0] >= state.end && state.last[1] >= state.end;
    out.ended = state.done;
    return out;
}

} // namespace zk::fx
