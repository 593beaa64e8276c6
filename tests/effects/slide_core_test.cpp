// The slide core: offsets per step, start boxes of every kind and direction, clipping, step
// counts, prepared pictures, a slot's run field by field and the final state at once.
#include <gtest/gtest.h>

#include <vector>

#include "effects/slide_core.h"
#include "support/test_support.h"

namespace {

using namespace zk::fx;

struct Box {
    long x1, y1, x2, y2, w, h;
    friend bool operator==(const Box&, const Box&) = default;
};
Box box(const CMoveBox& b) { return {b.x1, b.y1, b.x2, b.y2, b.width, b.height}; }
std::ostream& operator<<(std::ostream& os, const Box& b)
{
    return os << "(" << b.x1 << "," << b.y1 << " from " << b.x2 << "," << b.y2 << " " << b.w << "x" << b.h << ")";
}

// The current boxes of a motion, step by step, until it reports both axes finished.
std::vector<Box> steps_of(int kind, int direction, int steps, long w, long h, int limit = 0)
{
    CMoveBox start, current;
    tagSLIDECOMP comp;
    slide_set_one(start, comp, kind, direction, steps, w, h, limit);
    std::vector<Box> out;
    while (next_slide_comp(start, current, comp) != 2) out.push_back(box(current));
    out.push_back(box(current));
    return out;
}

TEST(SlideMotion, OffsetsRoundToTheNearestPixelAndEndOnTheDistance)
{
    // Sliding out rightwards over 10 pixels in 3 steps: 3, 6, 10, then the finishing call.
    EXPECT_EQ(steps_of(kSlidesOut, 0, 3, 10, 5),
              (std::vector<Box>{{3, 0, 0, 0, 7, 5}, {6, 0, 0, 0, 4, 5}, {10, 0, 0, 0, 0, 5}, {10, 0, 0, 0, 0, 5}}));
    // Type 1 rightwards, 200 wide, 10 steps: in from x = -200 at 20 pixels a field, clipped.
    const std::vector<Box> in = steps_of(kSlidesIn, 0, 10, 200, 50);
    ASSERT_EQ(in.size(), 11u);
    for (long i = 1; i <= 10; ++i) EXPECT_EQ(in[static_cast<size_t>(i - 1)], (Box{0, 0, 200 - 20 * i, 0, 20 * i, 50}));
    // Type 0 leftwards, 100 wide, 4 steps: revealed from the right edge.
    EXPECT_EQ(steps_of(kRevealed, 1, 4, 100, 30),
              (std::vector<Box>{{75, 0, 75, 0, 25, 30}, {50, 0, 50, 0, 50, 30}, {25, 0, 25, 0, 75, 30},
                                {0, 0, 0, 0, 100, 30}, {0, 0, 0, 0, 100, 30}}));
    // Upwards out of a 40-high rectangle with a limit of 30; diagonals ignore the limit.
    EXPECT_EQ(steps_of(kSlidesOut, 3, 2, 20, 40, 30).back(), (Box{0, 0, 0, 30, 20, 10}));
    EXPECT_EQ(steps_of(kSlidesOut, 7, 2, 20, 40, 10).back(), (Box{0, 0, 20, 40, 0, 0}));
    // An axis without steps stands at its end at once.
    EXPECT_EQ(steps_of(kSlidesIn, 2, 0, 20, 40), (std::vector<Box>{{0, 0, 0, 0, 20, 40}}));
}

TEST(SlideMotion, StartBoxesOfEveryKindAndDirection)
{
    const long W = 30, H = 20;
    const Box out_start{0, 0, 0, 0, W, H};
    const Box in_start[8] = {{-W, 0, 0, 0, W, H}, {W, 0, 0, 0, W, H},   {0, -H, 0, 0, W, H},  {0, H, 0, 0, W, H},
                             {-W, -H, 0, 0, W, H}, {-W, H, 0, 0, W, H}, {W, -H, 0, 0, W, H}, {W, H, 0, 0, W, H}};
    const Box reveal_start[8] = {{0, 0, 0, 0, 0, H}, {W, 0, W, 0, 0, H}, {0, 0, 0, 0, W, 0}, {0, H, 0, H, W, 0},
                                 {0, 0, 0, 0, 0, 0}, {0, H, 0, H, 0, 0}, {W, 0, W, 0, 0, 0}, {W, H, W, H, 0, 0}};
    const int sx[8] = {1, -1, 0, 0, 1, 1, -1, -1}, sy[8] = {0, 0, 1, -1, 1, -1, 1, -1};
    for (int d = 0; d < 8; ++d) {
        for (int kind = 0; kind < 3; ++kind) {
            SCOPED_TRACE(::testing::Message() << "kind " << kind << " direction " << d);
            CMoveBox start;
            tagSLIDECOMP c;
            slide_set_one(start, c, kind, d, 6, W, H, 0);
            EXPECT_EQ(box(start), kind == 0 ? out_start : kind == 1 ? in_start[d] : reveal_start[d]);
            for (const auto& [axis, sign, size] : {std::tuple{c.x, sx[d], W}, std::tuple{c.y, sy[d], H}}) {
                EXPECT_EQ(axis.mode, kind == kRevealed ? 1 : 0);
                EXPECT_EQ(axis.sign, kind == kRevealed ? (sign != 0 ? 1 : 0) : sign);
                EXPECT_EQ(axis.anchor, kind == kRevealed && sign < 0 ? 1 : 0);
                EXPECT_EQ(axis.distance, sign != 0 ? size : 0);
                EXPECT_EQ(axis.steps, sign != 0 ? 6 : 0);
            }
            // Whatever the motion, what is shown stays inside the rectangle and the picture.
            CMoveBox cur;
            for (int i = 0; i < 7; ++i) {
                next_slide_comp(start, cur, c);
                EXPECT_TRUE(cur.x1 >= 0 && cur.x1 + cur.width <= W && cur.x2 >= 0 && cur.x2 + cur.width <= W);
                EXPECT_TRUE(cur.y1 >= 0 && cur.y1 + cur.height <= H && cur.y2 >= 0 && cur.y2 + cur.height <= H);
            }
        }
    }
    CMoveBox cleared(1, 2, 3, 4, 5, 6);
    tagSLIDECOMP comp{{1, 1, 1, 1, 1, 1}, {1, 1, 1, 1, 1, 1}};
    slide_set_one(cleared, comp, 3, 0, 6, W, H, 0);
    EXPECT_EQ(box(cleared), (Box{}));
    EXPECT_EQ(comp.x.steps + comp.y.distance, 0);
}

TEST(SlideDecode, TypesDirectionsStepsAndClipping)
{
    const struct {
        int type;
        bool out, in, colour;
    } types[] = {{-4, false, false, true}, {-3, true, true, true},   {-2, true, false, true}, {-1, false, true, true},
                 {0, false, false, false}, {1, false, true, false},  {2, true, false, false}, {3, true, true, false},
                 {9, false, false, false}, {-5, false, false, false}};
    for (const auto& t : types) {
        const SlideType s = decode_slide_type(t.type);
        EXPECT_EQ(s.outgoing_slides_out, t.out) << t.type;
        EXPECT_EQ(s.incoming_slides_in, t.in) << t.type;
        EXPECT_EQ(s.solid_colour, t.colour) << t.type;
    }
    EXPECT_TRUE(is_fade_type(12));
    EXPECT_FALSE(is_fade_type(15));
    EXPECT_EQ(decode_slide_direction(8), 0);

    EXPECT_EQ(slide_steps(0, 100, 40, 10, true), 10);
    EXPECT_EQ(slide_steps(3, 100, 40, 10, true), 4);
    EXPECT_EQ(slide_steps(5, 100, 40, 10, true), 4);
    EXPECT_EQ(slide_steps(0, 100, 40, 0, true), 100);
    EXPECT_EQ(slide_steps(0, 100, 40, 101, true), 1);  // faster than its size: still one step
    EXPECT_EQ(slide_steps(0, 100, 40, 5, false), 10);
    EXPECT_EQ(slide_steps(0, 100, 40, 0, false), 2);
    EXPECT_EQ(slide_steps(0, 100, 40, 2000000000, false), 2147483647);

    const struct {
        SlideSetArgs args;
        bool kept;
        SlideArea area;
    } clips[] = {
        {{.x = 700, .y = 10, .width = 100, .height = 50}, true, {700, 10, 20, 50, 0, 0}},
        {{.x = -10, .y = -5, .width = 50, .height = 50}, true, {0, 0, 40, 45, 0, 0}},
        {{.x = 0, .y = 400, .width = 50, .height = 100, .in_x = 690, .in_y = 10}, true, {0, 400, 30, 86, 690, 10}},
        {{.x = 720, .y = 0, .width = 50, .height = 50}, false, {720, 0, 0, 50, 0, 0}},
        {{.x = 0, .y = 0, .width = 50, .height = 50, .in_y = -60}, false, {0, 0, 50, 0, 0, 0}},
    };
    for (const auto& c : clips) {
        SlideArea area;
        EXPECT_EQ(clip_slide_area(c.args, area), c.kept) << c.args.x;
        EXPECT_EQ(area, c.area) << c.args.x;
    }
}

class SlideSlotTest : public ::testing::Test {
protected:
    SlideSlotTest()
    {
        std::mt19937 rng(zt::test_seed());
        for (auto& b : banks) b = zt::random_buffer(60, 40, rng);
    }
    std::vector<CKrFrameBuffer> banks{4};
};

TEST_F(SlideSlotTest, PreparesPicturesOrRefuses)
{
    SlideSetArgs a{.slot = 3, .type = 3, .direction = 0, .speed = 5, .speed_in_pixels = 1, .out_bank = 1,
                   .x = 10, .y = 5, .width = 20, .height = 10, .in_bank = 2, .in_x = 30, .in_y = 20};
    SlideSlot slot;
    ASSERT_EQ(prepare_slide(a, banks, 1, slot), 0);
    EXPECT_TRUE(slot.outgoing_on_air);
    EXPECT_EQ(slot.incoming.comp.x.steps, 4);
    for (long j = 0; j < 10; ++j) {
        for (long i = 0; i < 20; ++i) {
            ASSERT_EQ(zt::px(slot.outgoing.picture, i, j), zt::px(banks[1], 10 + i, 5 + j));
            ASSERT_EQ(zt::px(slot.incoming.picture, i, j), zt::px(banks[2], 30 + i, 20 + j));
        }
    }
    SlideSetArgs colour = a;
    colour.type = -1;
    colour.in_bank = 9;  // not used by a colour
    colour.colour = 0xFF102030;
    ASSERT_EQ(prepare_slide(colour, banks, 0, slot), 0);
    EXPECT_FALSE(slot.outgoing_on_air);
    EXPECT_EQ(slot.outgoing.picture.IsBuffer(), 1);
    EXPECT_EQ(zt::px(slot.incoming.picture, 19, 9), 0xFF102030u);

    for (auto change : std::vector<void (*)(SlideSetArgs&)>{
             [](SlideSetArgs& s) { s.slot = 0; }, [](SlideSetArgs& s) { s.slot = 21; },
             [](SlideSetArgs& s) { s.type = 12; }, [](SlideSetArgs& s) { s.width = 0; },
             [](SlideSetArgs& s) { s.out_bank = 4; }, [](SlideSetArgs& s) { s.in_bank = -1; }}) {
        SlideSetArgs bad = a;
        change(bad);
        EXPECT_EQ(prepare_slide(bad, banks, 0, slot), -1);
        EXPECT_EQ(slot.incoming.picture.GetWidth(), 20u);  // left as it was
    }
}

TEST_F(SlideSlotTest, RunsWithDelayThenThreeFinishingFields)
{
    SlideSetArgs a{.slot = 1, .type = 3, .direction = 0, .speed = 1, .delay = 2, .out_bank = 0,
                   .x = 10, .y = 5, .width = 20, .height = 10, .in_bank = 1};
    SlideSlot slot;
    ASSERT_EQ(prepare_slide(a, banks, 0, slot), 0);  // one frame: two steps
    SlideRun run = start_slide(slot);
    std::vector<std::vector<FieldWrite>> fields;
    std::vector<int> results;
    for (unsigned long f = 0; f < 9; ++f) {
        const SlideOutcome o = slide_step(slot, run, f % 2);
        fields.emplace_back(o.written().begin(), o.written().end());
        results.push_back(o.result);
        EXPECT_EQ(o.ended, f >= 7) << "field " << f;
    }
    EXPECT_EQ(results, (std::vector<int>{0, 0, 1, 1, 2, 2, 2, 2, 2}));
    EXPECT_TRUE(fields[0].empty() && fields[1].empty() && fields[8].empty());
    using zk::fx::Field;
    const FieldWrite half_out{Field::First, kOutgoingPicture, 0, 0, 10, 10, 20, 5};
    const FieldWrite half_in{Field::First, kIncomingPicture, 10, 0, 10, 10, 10, 5};
    EXPECT_EQ(fields[2], (std::vector<FieldWrite>{half_out, half_in}));
    const FieldWrite full_in{Field::Second, kIncomingPicture, 0, 0, 20, 10, 10, 5};
    for (int f = 3; f <= 7; ++f) {
        FieldWrite want = full_in;
        want.field = f % 2 ? Field::Second : Field::First;
        EXPECT_EQ(fields[static_cast<size_t>(f)], std::vector<FieldWrite>{want}) << "field " << f;
    }
}

TEST_F(SlideSlotTest, FinalStateAtOnceMatchesTheRunsEnd)
{
    for (int type : {-4, -3, -2, -1, 0, 1, 2, 3}) {
        for (int direction = 0; direction < 8; ++direction) {
            SCOPED_TRACE(::testing::Message() << "type " << type << " direction " << direction);
            SlideSetArgs a{.slot = 2, .type = type, .direction = direction, .speed = 3, .out_bank = 0,
                           .x = 7, .y = 3, .width = 25, .height = 14, .in_bank = 1, .in_x = 1, .in_y = 2,
                           .colour = 0xFFABCDEF, .limit = 9};
            SlideSlot played, at_once;
            ASSERT_EQ(prepare_slide(a, banks, 0, played), 0);
            ASSERT_EQ(prepare_slide(a, banks, 0, at_once), 0);
            SlideRun run = start_slide(played);
            while (!slide_step(played, run, 0).ended) {}
            finish_slide(at_once);
            CKrFrameBuffer bank_played = banks[0], bank_at_once = banks[0];
            ASSERT_EQ(copy_slide_state(played, bank_played), 0);
            ASSERT_EQ(copy_slide_state(at_once, bank_at_once), 0);
            EXPECT_EQ(zt::diff_pixels(bank_played, bank_at_once), 0);
            EXPECT_EQ(box(at_once.incoming.current), box(played.incoming.current));
        }
    }
    // Without a limit the incoming picture ends up filling the rectangle.
    SlideSetArgs a{.slot = 2, .type = 3, .direction = 6, .speed = 500, .speed_in_pixels = 1, .out_bank = 0,
                   .x = 7, .y = 3, .width = 25, .height = 14, .in_bank = 1};
    SlideSlot slot;
    ASSERT_EQ(prepare_slide(a, banks, 0, slot), 0);
    finish_slide(slot);
    ASSERT_EQ(copy_slide_state(slot, banks[0]), 0);
    for (long j = 0; j < 14; ++j) {
        for (long i = 0; i < 25; ++i) ASSERT_EQ(zt::px(banks[0], 7 + i, 3 + j), zt::px(banks[1], i, j));
    }
}

} // namespace
