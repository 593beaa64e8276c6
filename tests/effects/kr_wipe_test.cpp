// CKrWipe: the wipe record byte for byte, the fader positions of whole runs in both
// directions, and the records' fixed-point conversion at its limits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "effects/kr_wipe.h"
#include "framebuffer/mtx_color.h"
#include "support/test_support.h"

namespace {

template <std::size_t N>
void put32(std::array<std::uint8_t, N>& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

template <std::size_t N>
void put16(std::array<std::uint8_t, N>& b, std::size_t at, std::uint16_t v)
{
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

// The wipe record laid out offset by offset, from stored (already cut) values.
std::array<std::uint8_t, 36> wipe_bytes(std::uint32_t pattern, bool modifier, bool mode, std::uint32_t v1,
                                        std::uint32_t v2)
{
    std::array<std::uint8_t, 36> b{};
    put32(b, 0, mode ? 1 : 0);
    put32(b, 4, pattern | (modifier ? 0x8000u : 0u));
    put16(b, 12, 16);
    put16(b, 14, 16);
    put32(b, 16, v1);
    put32(b, 20, v2);
    put32(b, 32, 1);
    return b;
}

std::int32_t fader_of(CKrWipe& w, unsigned long step)
{
    const auto bytes = zk::fx::record_bytes(*w.GetFaderKeyFrame(step));
    EXPECT_EQ(bytes[0] | bytes[1] | bytes[2] | bytes[3], 0) << "the first word is always 0";
    return static_cast<std::int32_t>(bytes[4] | bytes[5] << 8 | bytes[6] << 16 | static_cast<std::uint32_t>(bytes[7]) << 24);
}

} // namespace

TEST(KrWipe, WipeRecordBytesAndLimits)
{
    struct Case {
        unsigned long pattern, modifier, mode, v1, v2;
        std::uint32_t stored_pattern, stored_v1, stored_v2;
    } cases[] = {
        {150, 1, 1, 500, 201, 103, 200, 200}, // over the limits: cut
        {103, 0, 0, 200, 0, 103, 200, 0},     // at the limits: kept
        {0, 7, 0, 1, 199, 0, 1, 199},         // any non-zero modifier sets the bit
        {42, 0, 3, 0, 0, 42, 0, 0},           // any non-zero mode writes 1
        {~0ul, 0, 0, ~0ul, 1ul << 40, 103, 200, 200},
    };
    for (const Case& c : cases) {
        CKrWipe w;
        w.SetWipe(c.pattern, c.modifier, c.mode, c.v1, c.v2, 0);
        EXPECT_EQ(zk::fx::record_bytes(*w.GetWipeKeyFrame()),
                  wipe_bytes(c.stored_pattern, c.modifier != 0, c.mode != 0, c.stored_v1, c.stored_v2))
            << "pattern " << c.pattern;
    }
}

TEST(KrWipe, WipeRecordOnRandomValues)
{
    const std::uint32_t seed = zt::test_seed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    for (int i = 0; i < 2000; ++i) {
        const unsigned long p = rng() % 300, m = rng() % 3, mo = rng() % 3, a = rng() % 400, b = rng() % 400;
        CKrWipe w;
        w.SetWipe(p, m, mo, a, b, rng() % 2);
        ASSERT_EQ(zk::fx::record_bytes(*w.GetWipeKeyFrame()),
                  wipe_bytes(static_cast<std::uint32_t>(std::min(p, 103ul)), m != 0, mo != 0,
                             static_cast<std::uint32_t>(std::min(a, 200ul)), static_cast<std::uint32_t>(std::min(b, 200ul))));
    }
}

TEST(KrWipe, FaderRunsBothWays)
{
    struct Case {
        unsigned long steps;
        bool backward;
        std::vector<std::int32_t> by_step; // steps 0, 1, ..., steps + 1
    } cases[] = {
        {4, false, {0, 0x400000, 0x800000, 0xC00000, 0x1000000, 0x1000000}},
        {4, true, {0x1000000, 12616466, 8422162, 4227858, 0, 0}},
        // 0.902, 0.802, ... in steps of 0.1 from a start held at 1.0 instead of 1.002.
        {10, true, {0x1000000, 15133049, 13455327, 11777606, 10099884, 8422162, 6744441, 5066719, 3388998,
                    1711276, 0, 0}},
        {3, false, {0, 5592405, 11184811, 0x1000000, 0x1000000}},
        // No steps: a cut, step 0 the start and every later step the end.
        {0, false, {0, 0x1000000, 0x1000000}},
        {0, true, {0x1000000, 0, 0}},
    };
    for (const Case& c : cases) {
        CKrWipe w;
        w.SetWipe(5, 0, 0, 0, 0, c.backward ? 1 : 0);
        w.SetWipeStart(c.steps);
        for (std::size_t s = 0; s < c.by_step.size(); ++s) {
            EXPECT_EQ(fader_of(w, s), c.by_step[s]) << c.steps << (c.backward ? " backward" : " forward") << " step " << s;
            EXPECT_EQ(w.GetWipeStep(), s);
        }
    }
}

TEST(KrWipe, RunsEndAndStayWithinTheFaderTravel)
{
    // The on-air loop: one step per field until the run says it was the last.
    for (unsigned long steps : {0ul, 1ul, 2ul, 7ul, 60ul, 499ul, 500ul, 501ul, 2000ul}) {
        for (bool backward : {false, true}) {
            std::vector<std::int32_t> sent{zk::fx::fader_position(0, steps, backward)};
            unsigned long shown = 0;
            for (;;) {
                const zk::fx::RunField f = zk::fx::next_run_field(shown, steps);
                sent.push_back(zk::fx::fader_position(f.step, steps, backward));
                shown = f.step;
                if (f.last) break;
            }
            SCOPED_TRACE(::testing::Message() << steps << (backward ? " backward" : " forward"));
            EXPECT_EQ(sent.size(), std::max(steps, 1ul) + 1);
            EXPECT_EQ(sent.front(), backward ? 0x1000000 : 0);
            EXPECT_EQ(sent.back(), backward ? 0 : 0x1000000);
            for (std::size_t i = 1; i < sent.size(); ++i) {
                EXPECT_GE(sent[i], 0);
                EXPECT_LE(sent[i], 0x1000000);
                if (backward) {
                    EXPECT_LE(sent[i], sent[i - 1]) << i;
                } else {
                    EXPECT_GE(sent[i], sent[i - 1]) << i;
                }
            }
        }
    }
}

TEST(KrWipe, FixedPointConversionSaturatesAndRoundsTowardZero)
{
    const LONG max = std::numeric_limits<LONG>::max(), min = std::numeric_limits<LONG>::min();
    struct Case {
        double x;
        int bits;
        LONG want;
    } cases[] = {
        {0.5, 24, 0x800000},       {-0.5, 24, -8388607},   {1.0, 24, 0x1000000}, {-0.25, 16, -16383},
        {127.99, 24, 2147315876},  {128.0, 24, max},       {-128.0, 24, -2147483647}, {-129.0, 24, min},    {1e300, 24, max},
        {-1e300, 16, min},         {std::nan(""), 24, 0},  {INFINITY, 24, max},  {-INFINITY, 24, min},
    };
    for (const Case& c : cases) EXPECT_EQ(zk::fx::to_fixed(c.x, c.bits), c.want) << c.x;
}

TEST(KrWipe, BackgroundRecord)
{
    MtxColor colour;
    for (DWORD argb : {0x00000000u, 0xFFFFFFFFu, 0x80123456u}) {
        for (long enable : {0L, 1L, -3L}) {
            const MQVIDFX_BACKGROUND_KEYFRAME r = zk::fx::background_record(enable, argb);
            std::array<std::uint8_t, 8> want{};
            put32(want, 0, enable != 0 ? 1 : 0);
            put32(want, 4, colour.ARGBtoYUV(argb));
            EXPECT_EQ(zk::fx::record_bytes(r), want) << std::hex << argb << " " << enable;
        }
    }
    EXPECT_EQ(zk::fx::background_record(0, 0).dwColor, 0x8080u);
}
