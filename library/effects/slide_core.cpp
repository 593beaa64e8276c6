// The slide core: motion records, type and direction decoding, slot preparation and the
// per-field run. The two axes share one stepping function, told which box fields are theirs.
#include "effects/slide_core.h"

#include <algorithm>
#include <climits>

#include "core/errors.h"

namespace zk::fx {
namespace {

constexpr long kOutputWidth = 720;
constexpr long kOutputHeight = 486;
constexpr int kBanks = 4;
constexpr int kFinishingFields = 3;

// The signs of the two axes for each direction; 0 for an axis that does not change.
constexpr int kSigns[8][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {1, -1}, {-1, 1}, {-1, -1}};

// Which fields of a CMoveBox belong to one axis.
struct AxisFields {
    long CMoveBox::*dst;
    long CMoveBox::*src;
    long CMoveBox::*size;
};
constexpr AxisFields kAxisX{&CMoveBox::x1, &CMoveBox::x2, &CMoveBox::width};
constexpr AxisFields kAxisY{&CMoveBox::y1, &CMoveBox::y2, &CMoveBox::height};

// Sets one axis of a record and of the start box.
void set_axis(CMoveBox& start, tagSLIDEAXIS& axis, const AxisFields& f, int kind, int sign, int steps, long size,
              long distance)
{
    axis = tagSLIDEAXIS{};
    axis.mode = kind == kRevealed ? 1 : 0;
    start.*f.size = size;
    if (sign == 0) return;  // this axis stays as it is
    axis.sign = kind == kRevealed ? 1 : sign;
    axis.steps = steps;
    axis.distance = static_cast<std::int32_t>(distance);
    if (kind == kSlidesIn) {
        start.*f.dst = -sign * size;  // outside the rectangle, on the side it comes from
    } else if (kind == kRevealed) {
        axis.anchor = sign < 0 ? 1 : 0;
        start.*f.dst = start.*f.src = axis.anchor ? size : 0;
        start.*f.size = 0;
    }
}

// One step of one axis; true when the axis has finished.
bool step_axis(const CMoveBox& start, CMoveBox& cur, tagSLIDEAXIS& axis, const AxisFields& f)
{
    bool finished = false;
    long offset = 0;
    if (axis.steps <= 0) {
        // No steps to take: the axis is at its end from the start.
        axis.index = 0;
        finished = true;
        offset = static_cast<long>(axis.distance) * axis.sign;
    } else {
        long index = static_cast<long>(axis.index) + 1;
        if (index > axis.steps) {
            index = axis.steps;
            finished = true;
        }
        axis.index = static_cast<std::int32_t>(index);
        // Rounded to the nearest pixel, so the last step lands exactly on the distance.
        const __int128 num = static_cast<__int128>(axis.distance) * index * 10 + 5;
        offset = static_cast<long>(num / (static_cast<__int128>(axis.steps) * 10)) * axis.sign;
    }
    if (axis.mode == 1) {
        cur.*f.size = start.*f.size + offset;
        cur.*f.dst = axis.anchor == 1 ? start.*f.dst - offset : start.*f.dst;
        cur.*f.src = axis.anchor == 1 ? start.*f.src - offset : start.*f.src;
    } else {
        const long p = start.*f.dst + offset;
        if (p >= 0) {
            cur.*f.dst = p;
            cur.*f.size = start.*f.size - p;
            cur.*f.src = start.*f.src;
        } else {
            cur.*f.size = start.*f.size + p;
            cur.*f.src = start.*f.size - cur.*f.size;
            cur.*f.dst = 0;
        }
    }
    return finished;
}

void clip_axis(long& pos, long& size, long limit)
{
    if (pos < 0) {
        size += pos;
        pos = 0;
    }
    if (pos + size > limit) size = limit - pos;
    if (size < 0) size = 0;
}

bool names_a_bank(int bank, std::span<CKrFrameBuffer> banks)
{
    return bank >= 0 && bank < kBanks && static_cast<std::size_t>(bank) < banks.size();
}

void write_visible(SlideOutcome& out, const SlideSlot& slot, const SlidePicture& pic, int source, Field field)
{
    const CMoveBox& c = pic.current;
    if (c.width <= 0 || c.height <= 0) return;  // nothing of it is in the rectangle
    FieldWrite& w = out.writes[static_cast<std::size_t>(out.count++)];
    w.field = field;
    w.source = source;
    w.src_x = c.x2;
    w.src_y = c.y2;
    w.width = c.width;
    w.height = c.height;
    w.dst_x = slot.x + c.x1;
    w.dst_y = slot.y + c.y1;
}

int copy_visible(const SlideSlot& slot, SlidePicture& pic, CKrFrameBuffer& bank)
{
    const CMoveBox& c = pic.current;
    if (c.width <= 0 || c.height <= 0) return 0;
    return bank.FbCopy(&pic.picture, c.x2, c.y2, c.width, c.height, slot.x + c.x1, slot.y + c.y1, 0, nullptr);
}

} // namespace

int slide_set_one(CMoveBox& start, tagSLIDECOMP& comp, int kind, int direction, int steps, long width, long height,
                  int limit)
{
    start = CMoveBox();
    comp = tagSLIDECOMP{};
    if (kind != kSlidesOut && kind != kSlidesIn && kind != kRevealed) return 0;
    const int d = decode_slide_direction(direction);
    const bool diagonal = d >= 4;
    const long dx = !diagonal && limit > 0 && limit <= width ? limit : width;
    const long dy = !diagonal && limit > 0 && limit <= height ? limit : height;
    set_axis(start, comp.x, kAxisX, kind, kSigns[d][0], steps, width, dx);
    set_axis(start, comp.y, kAxisY, kind, kSigns[d][1], steps, height, dy);
    return 0;
}

int next_slide_comp(const CMoveBox& start, CMoveBox& current, tagSLIDECOMP& comp)
{
    const bool x_done = step_axis(start, current, comp.x, kAxisX);
    const bool y_done = step_axis(start, current, comp.y, kAxisY);
    return (x_done ? 1 : 0) + (y_done ? 1 : 0);
}

void finish_slide_comp(const CMoveBox& start, CMoveBox& current, tagSLIDECOMP& comp)
{
    comp.x.index = std::max(comp.x.steps, 0);
    comp.y.index = std::max(comp.y.steps, 0);
    next_slide_comp(start, current, comp);
}

SlideType decode_slide_type(int type)
{
    if (type < -4 || type > 3) type = 0;
    const int t = type < 0 ? -type % 4 : type;  // -1..-3 behave as 1..3, -4 as 0, with a colour
    SlideType s;
    s.solid_colour = type < 0;
    s.outgoing_slides_out = t == 2 || t == 3;
    s.incoming_slides_in = t == 1 || t == 3;
    return s;
}

bool is_fade_type(int type)
{
    return type >= 10 && type <= 14;
}

int decode_slide_direction(int direction)
{
    return direction >= 0 && direction <= 7 ? direction : 0;
}

int slide_steps(int direction, long width, long height, int speed, bool speed_in_pixels)
{
    const long s = std::max(speed, 1);
    long steps = 0;
    if (speed_in_pixels) {
        const int d = decode_slide_direction(direction);
        const long size = d <= 1 ? width : d <= 3 ? height : std::min(width, height);
        steps = size / s;
    } else {
        steps = s * 2;
    }
    return static_cast<int>(std::clamp(steps, 1L, static_cast<long>(INT_MAX)));
}

bool clip_slide_area(const SlideSetArgs& a, SlideArea& area)
{
    area = SlideArea{a.x, a.y, a.width, a.height, a.in_x, a.in_y};
    clip_axis(area.x, area.width, kOutputWidth);
    clip_axis(area.y, area.height, kOutputHeight);
    long in_width = area.width, in_height = area.height;
    clip_axis(area.in_x, in_width, kOutputWidth);
    clip_axis(area.in_y, in_height, kOutputHeight);
    area.width = std::min(area.width, in_width);
    area.height = std::min(area.height, in_height);
    return area.width > 0 && area.height > 0;
}

int prepare_slide(const SlideSetArgs& a, std::span<CKrFrameBuffer> banks, int on_air_bank, SlideSlot& slot)
{
    if (a.slot < 1 || a.slot > kSlideSlots || is_fade_type(a.type)) return ZK_FAIL(-1);
    SlideArea area;
    if (!clip_slide_area(a, area)) return ZK_FAIL(-1);
    const SlideType type = decode_slide_type(a.type);
    if (!names_a_bank(a.out_bank, banks)) return ZK_FAIL(-1);
    if (!type.solid_colour && !names_a_bank(a.in_bank, banks)) return ZK_FAIL(-1);
    const int direction = decode_slide_direction(a.direction);
    const int steps = slide_steps(direction, area.width, area.height, a.speed, a.speed_in_pixels != 0);

    SlideSlot s;
    s.x = area.x;
    s.y = area.y;
    s.width = area.width;
    s.height = area.height;
    s.delay = std::max(a.delay, 0);  // a negative delay would never run out
    s.outgoing_on_air = a.out_bank == on_air_bank;
    s.outgoing_slides_out = type.outgoing_slides_out;
    s.outgoing.bank = a.out_bank;
    s.incoming.bank = a.in_bank;

    if (s.outgoing_slides_out) {
        CKrFrameBuffer& bank = banks[static_cast<std::size_t>(a.out_bank)];
        if (s.outgoing.picture.CreateFrameBuffer(area.width, area.height, 1) != 0) return ZK_FAIL(-1);
        s.outgoing.picture.FbCopy(&bank, area.x, area.y, area.width, area.height, 0, 0, 0, nullptr);
        slide_set_one(s.outgoing.start, s.outgoing.comp, kSlidesOut, direction, steps, area.width, area.height,
                      a.limit);
        s.outgoing.current = s.outgoing.start;
    }
    if (s.incoming.picture.CreateFrameBuffer(area.width, area.height, 1) != 0) return ZK_FAIL(-1);
    if (type.solid_colour) {
        s.incoming.picture.ClearCol(static_cast<DWORD>(a.colour));
    } else {
        CKrFrameBuffer& bank = banks[static_cast<std::size_t>(a.in_bank)];
        s.incoming.picture.FbCopy(&bank, area.in_x, area.in_y, area.width, area.height, 0, 0, 0, nullptr);
    }
    slide_set_one(s.incoming.start, s.incoming.comp, type.incoming_slides_in ? kSlidesIn : kRevealed, direction,
                  steps, area.width, area.height, a.limit);
    s.incoming.current = s.incoming.start;
    slot = std::move(s);
    return 0;
}

SlideRun start_slide(const SlideSlot& slot)
{
    SlideRun run;
    run.delay_waiting = slot.delay > 0;
    return run;
}

SlideOutcome slide_step(SlideSlot& slot, SlideRun& run, unsigned long field)
{
    SlideOutcome out;
    out.result = run.result;
    out.ended = run.ended;
    if (run.ended) return out;
    if (run.delay_waiting) {
        if (++run.delay_count >= slot.delay) run.delay_waiting = false;
        return out;
    }
    const bool finishing = run.result == 2;
    if (slot.outgoing_slides_out) next_slide_comp(slot.outgoing.start, slot.outgoing.current, slot.outgoing.comp);
    run.result = next_slide_comp(slot.incoming.start, slot.incoming.current, slot.incoming.comp);
    const Field f = field_of(field);
    if (slot.outgoing_slides_out) write_visible(out, slot, slot.outgoing, kOutgoingPicture, f);
    write_visible(out, slot, slot.incoming, kIncomingPicture, f);
    if (finishing && ++run.finishing >= kFinishingFields) run.ended = true;
    out.result = run.result;
    out.ended = run.ended;
    return out;
}

void finish_slide(SlideSlot& slot)
{
    if (slot.outgoing_slides_out) finish_slide_comp(slot.outgoing.start, slot.outgoing.current, slot.outgoing.comp);
    finish_slide_comp(slot.incoming.start, slot.incoming.current, slot.incoming.comp);
}

int copy_slide_state(SlideSlot& slot, CKrFrameBuffer& bank)
{
    int rc = 0;
    if (slot.outgoing_slides_out && copy_visible(slot, slot.outgoing, bank) != 0) rc = ZK_FAIL(-1);
    if (copy_visible(slot, slot.incoming, bank) != 0) rc = ZK_FAIL(-1);
    return rc;
}

} // namespace zk::fx
