// Frame-buffer pushes on a stepped board: the incoming picture written to the back area, the
// copy requests of every field against the two move tables in each direction and mode, the
// new picture whole on air and in the on-air bank at the end, runs given in fields (too short
// ones included), ending early, refusals, and no thread or handle left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

#include "effects/roll_fixture.h"

namespace {

class PushOnAir : public zt::RollTest {
protected:
    void SetUp() override
    {
        zt::RollTest::SetUp();
        if (HasFatalFailure()) return;
        for (int b = 0; b < 4; ++b) zt::fill_random(*banks.GetGfb(b), rng, 1);
        // The on-air bank is what the air shows.
        ASSERT_EQ(graph->GfbFrWriteBuff(banks.GetGfbBuff(banks.GetBankOa()), 720, 486, 0, 0, 720, 486, 0, 0), 0);
        incoming = *banks.GetGfb(banks.GetBankNext());
    }
    // Steps until the push has ended; how many fields it took.
    long fields_until_push_ends(long limit = 2000)
    {
        long n = 0;
        while (push->CheckRollEnd() && n < limit && board().step_fields(1)) ++n;
        return n;
    }

    CKrFrameBuffer incoming;
};

struct PushCase {
    long mode, direction, amount, is_step;
    friend std::ostream& operator<<(std::ostream& os, const PushCase& c)
    {
        return os << "mode " << c.mode << " direction " << c.direction << " amount " << c.amount
                  << (c.is_step ? " a field" : " fields");
    }
};

class PushTables : public PushOnAir, public ::testing::WithParamInterface<PushCase> {
protected:
    // The copy requests of a run from the two tables, field by field from `start` + 1.
    std::vector<std::string> table_lines(long long start, const PushCase& c)
    {
        const int dir = c.direction < 0 || c.direction > 3 ? 0 : static_cast<int>(c.direction);
        const long distance = dir < 2 ? 720 : 243;
        long step = c.is_step ? std::min(c.amount, distance) : distance / (std::max(c.amount, 2L) - 1);
        step = std::max(step, 1L);
        const long m = std::labs(c.mode);
        const bool destination_moves = m == 2 || m == 3;
        const int source_mode = m == 1 || m == 3 ? 1 : 2;
        std::vector<std::string> out;
        long position = 0, dest_last[2] = {0, 0}, src_last[2] = {0, 0};
        for (long long f = start + 1; src_last[0] != distance || src_last[1] != distance; ++f) {
            const int i = static_cast<int>(f % 2);
            const std::int32_t lower = i == 0 ? 1 : 0; // the first field's lines start one lower
            position = std::min(position + step, distance);
            const auto blit = [&](long l, long t, long r, long b, long v, long h) {
                out.push_back(blit_line(f, {static_cast<std::int32_t>(l), static_cast<std::int32_t>(t) + lower,
                                            static_cast<std::int32_t>(r), static_cast<std::int32_t>(b),
                                            static_cast<std::int32_t>(v), static_cast<std::int32_t>(h)}));
            };
            if (destination_moves && position != dest_last[i]) {
                const long l = dest_last[i], d = position - l;
                switch (dir) {
                case 0: blit(l, 0, 720 - d, 486, 0, d); break;
                case 1: blit(d, 0, 720 - l, 486, 0, -d); break;
                case 2: blit(0, 2 * l, 720, 2 * (243 - d), d, 0); break;
                default: blit(0, 2 * d, 720, 2 * (243 - l), -d, 0); break;
                }
            }
            dest_last[i] = position;
            if (position != src_last[i]) {
                const long p = position, s = 720 - p;
                if (source_mode == 1) {
                    switch (dir) {
                    case 0: blit(s, 684, 720, 1170, -342, p - 720); break;
                    case 1: blit(0, 684, p, 1170, -342, s); break;
                    case 2: blit(0, 2 * (585 - p), 720, 1170, p - 585, 0); break;
                    default: blit(0, 684, 720, 2 * p + 684, -99 - p, 0); break;
                    }
                } else {
                    switch (dir) {
                    case 0: blit(0, 684, p, 1170, -342, 0); break;
                    case 1: blit(s, 684, 720, 1170, -342, 0); break;
                    case 2: blit(0, 684, 720, 2 * p + 684, -342, 0); break;
                    default: blit(0, 2 * (585 - p), 720, 1170, -342, 0); break;
                    }
                }
            }
            src_last[i] = position;
        }
        return out;
    }
};

// The incoming picture goes to the back area first; each field then sends the destination move
// (when the old picture moves) and the source move of its own lines, nothing for a move that
// did not change. At the end both fields show the whole new picture and the on-air bank holds it.
TEST_P(PushTables, SendsTheTableMovesOfEachFieldAndEndsOnTheNewPicture)
{
    const PushCase c = GetParam();
    const std::uint64_t from = board().journal().mark();
    const long long start = board().current_field();
    ASSERT_EQ(push->GfbRoll(c.mode, c.direction, c.amount, c.is_step), 1);
    const long fields = fields_until_push_ends();
    std::vector<std::string> want = {back_write_line(start, incoming)};
    const std::vector<std::string> moves = table_lines(start, c);
    want.insert(want.end(), moves.begin(), moves.end());
    EXPECT_EQ(trace_since(from), want) << "seed " << seed;
    EXPECT_EQ(board().current_field() - start, fields);
    EXPECT_EQ(zt::diff_pixels(shown(), incoming), 0) << "seed " << seed;
    EXPECT_EQ(zt::diff_pixels(*banks.GetGfb(banks.GetBankOa()), incoming), 0) << "the on-air bank";
}

INSTANTIATE_TEST_SUITE_P(
    DirectionsAndModes, PushTables,
    ::testing::Values(PushCase{3, 0, 24, 1}, PushCase{-3, 1, 31, 0}, PushCase{3, 2, 9, 1}, PushCase{3, 3, 16, 0},
                      PushCase{2, 0, 100, 1}, PushCase{-2, 1, 5, 0}, PushCase{2, 2, 40, 1}, PushCase{2, 3, 7, 1},
                      PushCase{1, 0, 50, 1}, PushCase{-1, 1, 13, 0}, PushCase{1, 2, 20, 1}, PushCase{1, 3, 60, 1},
                      PushCase{0, 0, 70, 1}, PushCase{9, 1, 11, 0}, PushCase{0, 2, 30, 1}, PushCase{-7, 3, 3, 0},
                      PushCase{2, 9, 720, 1},   // an unknown direction is 0; one step does it all
                      PushCase{1, 2, 1, 0},     // one field is taken as two
                      PushCase{3, 1, 0, 1}));   // a step of 0 is 1

// A run of n fields ends on its n-th field: 31 fields across move 24 columns a field.
TEST_F(PushOnAir, ARunOfFieldsEndsOnItsLastField)
{
    struct Case {
        long direction, amount;
        long fields;
    } cases[] = {{0, 31, 31}, {2, 28, 28}, {1, 2, 2}, {3, 1, 2}, {0, 0, 2}, {0, -5, 2}};
    for (const Case& c : cases) {
        ASSERT_EQ(push->GfbRoll(0, c.direction, c.amount, 0), 1);
        ASSERT_TRUE(board().step_fields(c.fields - 1));
        EXPECT_EQ(push->CheckRollEnd(), 1) << c.amount;
        ASSERT_TRUE(board().step_fields(1));
        EXPECT_EQ(push->CheckRollEnd(), 0) << c.amount;
    }
}

// WaitRollEnd waits for the fields a push still needs; RollEnd jumps to the end on the next
// field and waits for it. Both answer whether a push was running.
TEST_F(PushOnAir, WaitingAndEndingEarly)
{
    EXPECT_EQ(push->WaitRollEnd(), 0) << "nothing runs";
    ASSERT_EQ(push->GfbRoll(3, 2, 28, 0), 1);
    EXPECT_EQ(push->GfbRoll(3, 2, 28, 0), 0) << "one at a time";
    long long start = board().current_field();
    {
        zk::IdlePump pump(board(), 100);
        EXPECT_EQ(push->WaitRollEnd(), 1);
    }
    EXPECT_EQ(board().current_field() - start, 28);
    EXPECT_EQ(push->CheckRollEnd(), 0);

    ASSERT_EQ(push->GfbRoll(1, 0, 1, 1), 1); // a column a field: 720 fields
    ASSERT_TRUE(board().step_fields(10));
    start = board().current_field();
    {
        zk::IdlePump pump(board(), 100);
        EXPECT_EQ(push->RollEnd(), 1);
    }
    EXPECT_LE(board().current_field() - start, 2) << "the break takes the fields not yet at the end";
    EXPECT_EQ(push->CheckRollEnd(), 0);
    EXPECT_EQ(zt::diff_pixels(shown(), incoming), 0);
    EXPECT_EQ(push->RollEnd(), 0) << "nothing runs";
    // A break asked for while idle does not cut the next push short.
    ASSERT_EQ(push->GfbRoll(1, 0, 10, 0), 1);
    ASSERT_TRUE(board().step_fields(9));
    EXPECT_EQ(push->CheckRollEnd(), 1);
    ASSERT_TRUE(board().step_fields(1));
    EXPECT_EQ(push->CheckRollEnd(), 0);
}

TEST_F(PushOnAir, RefusedBeforeInitialAndLeavesNoThreadBehind)
{
    const size_t handles = zk::open_handle_count();
    {
        CGfbRoll lone;
        EXPECT_EQ(lone.GfbRoll(0, 0, 10, 0), 0) << "no graph, no banks";
        EXPECT_EQ(lone.CheckRollEnd(), 0);
        lone.Initial(graph.get(), &banks);
        ASSERT_EQ(lone.GfbRoll(0, 0, 100, 0), 1);
        lone.SetEvent(0);
        lone.SetEvent(1);
        EXPECT_EQ(lone.CheckRollEnd(), 1);
        // Goes away while running: its worker is stopped and joined.
    }
    EXPECT_EQ(zk::open_handle_count(), handles);
}

} // namespace
