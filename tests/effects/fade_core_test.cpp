// The fade core: the blends' row kernels against the blends written out from their
// definitions (every width 1..64, guard words around the output row), the strips of every mode
// frame by frame, and FadeSet's argument checks.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "core/simd.h"
#include "effects/fade_core.h"
#include "effects/kernels/fade_blend.h"
#include "support/test_support.h"

namespace {

constexpr std::uint32_t kGuard = 0xDEADBEEF;

std::uint32_t channel(std::uint32_t p, int i) { return (p >> (8 * i)) & 0xFF; }

std::uint32_t plain_scale(std::uint32_t p, std::uint32_t f)
{
    return (p & 0xFFFFFF) | ((channel(p, 3) * f) >> 8) << 24;
}

// B over A with B's key scaled by f, by the key composite's formula.
std::uint32_t plain_dissolve(std::uint32_t a, std::uint32_t b, std::uint32_t f)
{
    const std::uint32_t k = (channel(b, 3) * f) >> 8;
    if (channel(b, 3) * f < 256) return a;
    if (k == 255) return b;
    const std::uint32_t da = channel(a, 3), t = da - da * k / 255, key = t + k;
    std::uint32_t out = key << 24;
    for (int i = 0; i < 3; ++i) out |= ((channel(a, i) * t + channel(b, i) * k) / key) << (8 * i);
    return out;
}

std::uint32_t plain_cross(std::uint32_t a, std::uint32_t b, std::uint32_t f)
{
    const std::uint32_t g = 256 - f, ka = (channel(a, 3) * g) >> 8, kb = (channel(b, 3) * f) >> 8;
    const bool b_present = channel(b, 3) * f >= 256;
    if (ka > 0 && !b_present) return (a & 0xFFFFFF) | ka << 24;
    if (ka == 0 && b_present) return (b & 0xFFFFFF) | kb << 24;
    std::uint32_t out = (kb + ka) << 24;
    for (int i = 0; i < 3; ++i) out |= ((((channel(b, i) * f) >> 8) + ((channel(a, i) * g) >> 8)) & 0xFF) << (8 * i);
    return out;
}

enum class Blend { Scale, Dissolve, Cross };

// Runs one of the three versions of a blend: 0 the reference, 1 AVX2, 2 the dispatcher.
void run(int version, Blend blend, std::uint32_t* dst, const std::uint32_t* a, const std::uint32_t* b, std::size_t n,
         std::uint32_t f)
{
    using namespace zk::fx;
    switch (blend) {
    case Blend::Scale:
        (version == 0 ? scale_key_row_ref : version == 1 ? scale_key_row_avx2 : scale_key_row)(dst, b, n, f);
        break;
    case Blend::Dissolve:
        std::copy(a, a + n, dst);
        (version == 0 ? dissolve_row_ref : version == 1 ? dissolve_row_avx2 : dissolve_row)(dst, b, n, f);
        break;
    case Blend::Cross:
        (version == 0 ? cross_dissolve_row_ref : version == 1 ? cross_dissolve_row_avx2 : cross_dissolve_row)(
            dst, a, b, n, f);
        break;
    }
}

std::uint32_t expected(Blend blend, std::uint32_t a, std::uint32_t b, std::uint32_t f)
{
    switch (blend) {
    case Blend::Scale: return plain_scale(b, f);
    case Blend::Dissolve: return plain_dissolve(a, b, f);
    default: return plain_cross(a, b, f);
    }
}

class KernelFadeBlend : public ::testing::TestWithParam<Blend> {};

TEST_P(KernelFadeBlend, EveryVersionMatchesTheDefinitionForEveryWidth)
{
    const std::uint32_t seed = zt::test_seed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    const bool avx2 = zk::simd_avx2_enabled();
    std::uniform_int_distribution<std::uint32_t> word, factor(0, 256), pick(0, 3);
    // Keys drawn from the values where the rules change as well as at random.
    const std::uint32_t keys[] = {0, 1, 255};
    auto pixel = [&] {
        const std::uint32_t p = word(rng);
        const std::uint32_t k = pick(rng);
        return k < 3 ? (p & 0xFFFFFF) | keys[k] << 24 : p;
    };
    for (std::size_t n = 1; n <= 64; ++n) {
        for (std::uint32_t f : {0u, 1u, 2u, 128u, 255u, 256u, factor(rng), factor(rng)}) {
            std::vector<std::uint32_t> a(n), b(n);
            for (std::size_t i = 0; i < n; ++i) a[i] = pixel(), b[i] = pixel();
            for (int version = 0; version < 3; ++version) {
                if (version == 1 && !avx2) continue;
                std::vector<std::uint32_t> out(n + 2, kGuard);
                run(version, GetParam(), out.data() + 1, a.data(), b.data(), n, f);
                ASSERT_EQ(out.front(), kGuard) << "n " << n;
                ASSERT_EQ(out.back(), kGuard) << "n " << n;
                for (std::size_t i = 0; i < n; ++i) {
                    ASSERT_EQ(out[i + 1], expected(GetParam(), a[i], b[i], f))
                        << "version " << version << " n " << n << " i " << i << " f " << f << std::hex << " a "
                        << a[i] << " b " << b[i];
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Blends, KernelFadeBlend, ::testing::Values(Blend::Scale, Blend::Dissolve, Blend::Cross));

} // namespace

namespace {

// Frame i of a strip of n frames at one pixel of A and B, from the description of the modes.
std::uint32_t strip_pixel(int mode, long i, long n, std::uint32_t a, std::uint32_t b)
{
    if (i == n - 1) return mode == 1 ? 0 : b;
    if (i == 0) return mode == 0 ? 0 : a;
    const auto f = static_cast<std::uint32_t>(256 * i / (n - 1));
    const auto t = static_cast<std::uint32_t>(512 * i / (n - 1));
    switch (mode) {
    case 0: return plain_scale(b, f);
    case 1: return plain_scale(a, 256 - f);
    case 2: return t == 256 ? 0 : t < 256 ? plain_scale(a, 256 - t) : plain_scale(b, t - 256);
    case 3: return plain_dissolve(a, b, f);
    default: return plain_cross(a, b, f);
    }
}

class FadeStrip : public ::testing::TestWithParam<std::tuple<int, long>> {};

TEST_P(FadeStrip, EveryFrameFollowsItsMode)
{
    const auto [mode, frames] = GetParam();
    const std::uint32_t seed = zt::test_seed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    CKrFrameBuffer a = zt::random_buffer(24, 20, rng), b = zt::random_buffer(24, 20, rng), strip;
    const long x = 3, y = 2, w = 10, h = 6;
    ASSERT_EQ(zk::fx::build_fade_strip(mode, a, b, x, y, w, h, frames, strip), 0);
    ASSERT_EQ(strip.GetWidth(), 10u);
    ASSERT_EQ(strip.GetHeight(), static_cast<unsigned long>(frames * h));
    for (long k = 0; k < frames; ++k) {
        for (long j = 0; j < h; ++j) {
            for (long i = 0; i < w; ++i) {
                ASSERT_EQ(zt::px(strip, i, k * h + j), strip_pixel(mode, k, frames, zt::px(a, x + i, y + j),
                                                                   zt::px(b, x + i, y + j)))
                    << "frame " << k << " at " << i << "," << j;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ModesAndLengths, FadeStrip,
                         ::testing::Combine(::testing::Range(0, 5), ::testing::Values(1L, 2L, 3L, 5L, 9L)));

TEST(FadeStripExample, FadeInOfSixteenFramesScalesFrameEightBy136)
{
    std::mt19937 rng(zt::test_seed());
    CKrFrameBuffer bank0(720, 486, 1), bank1 = zt::random_buffer(720, 486, rng), strip;
    // FadeSet(3, 0, 16, 0, 0, 100, 100, 200, 50, 1): A is bank 0, B bank 1.
    ASSERT_EQ(zk::fx::build_fade_strip(0, bank0, bank1, 100, 100, 200, 50, 16, strip), 0);
    ASSERT_EQ(strip.GetWidth(), 200u);
    ASSERT_EQ(strip.GetHeight(), 800u);
    for (long j = 0; j < 50; ++j) {
        for (long i = 0; i < 200; ++i) {
            const DWORD b = zt::px(bank1, 100 + i, 100 + j);
            ASSERT_EQ(zt::px(strip, i, j), 0u);
            ASSERT_EQ(zt::px(strip, i, 8 * 50 + j), (b & 0xFFFFFF) | ((b >> 24) * 136 >> 8) << 24);
            ASSERT_EQ(zt::px(strip, i, 15 * 50 + j), b);
        }
    }
}

struct StripRefusal {
    const char* what;
    int mode;
    long x, y, w, h, frames;
    bool a_held, b_held;
    int rc;
};

class FadeStripRefusal : public ::testing::TestWithParam<StripRefusal> {};

TEST_P(FadeStripRefusal, ReportsFailureAndLeavesNoStrip)
{
    const StripRefusal& c = GetParam();
    CKrFrameBuffer a, b, strip(4, 4, 1);
    if (c.a_held) a.CreateFrameBuffer(30, 20, 1);
    if (c.b_held) b.CreateFrameBuffer(30, 20, 1);
    EXPECT_EQ(zk::fx::build_fade_strip(c.mode, a, b, c.x, c.y, c.w, c.h, c.frames, strip), c.rc);
    EXPECT_EQ(strip.IsBuffer(), c.rc == 0 ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FadeStripRefusal,
    ::testing::Values(StripRefusal{"fade in needs no A", 0, 0, 0, 30, 20, 4, false, true, 0},
                      StripRefusal{"fade out needs no B", 1, 0, 0, 30, 20, 4, true, false, 0},
                      StripRefusal{"fade in without B", 0, 0, 0, 5, 5, 4, true, false, -1},
                      StripRefusal{"dissolve without A", 3, 0, 0, 5, 5, 4, false, true, -1},
                      StripRefusal{"left of the bank", 2, -1, 0, 5, 5, 4, true, true, -1},
                      StripRefusal{"above the bank", 4, 0, -1, 5, 5, 4, true, true, -1},
                      StripRefusal{"past the right edge", 3, 26, 0, 5, 5, 4, true, true, -1},
                      StripRefusal{"past the bottom edge", 3, 0, 16, 5, 5, 4, true, true, -1},
                      StripRefusal{"mode 5", 5, 0, 0, 5, 5, 4, true, true, -1},
                      StripRefusal{"no frames", 0, 0, 0, 5, 5, 0, true, true, -1},
                      StripRefusal{"a strip too large to hold", 3, 0, 0, 30, 20, 1L << 40, true, true, -1}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(FadeSetCheck, RefusesInTheLegacyOrderWithTheModeLast)
{
    using zk::fx::FadeSetArgs;
    const FadeSetArgs ok{3, 0, 16, 0, 0, 100, 100, 200, 50, 1};
    auto with = [&](auto change) { FadeSetArgs a = ok; change(a); return std::string(zk::fx::check_fade_set(a)); };
    EXPECT_EQ(with([](FadeSetArgs&) {}), "");
    EXPECT_EQ(with([](FadeSetArgs& a) { a.number = 32; }), "FadeNo Err[32]");
    EXPECT_EQ(with([](FadeSetArgs& a) { a.number = -1; }), "FadeNo Err[-1]");
    EXPECT_EQ(with([](FadeSetArgs& a) { a.frames = 0; }), "FadeSpeed Err[3]");
    EXPECT_EQ(with([](FadeSetArgs& a) { a.width = 721; }), "FadeSizeW Err[3]721");
    EXPECT_EQ(with([](FadeSetArgs& a) { a.height = 0; }), "FadeSizeH Err[3]0");
    EXPECT_EQ(with([](FadeSetArgs& a) { a.dest_bank = 4; }), "Fade DesBank Err[3]4");
    EXPECT_EQ(with([](FadeSetArgs& a) { a.src_bank = -1; }), "Fade SouBank Err[3]-1");
    EXPECT_EQ(with([](FadeSetArgs& a) { a.mode = 5; }), "Fade Mode Error");
    EXPECT_EQ(with([](FadeSetArgs& a) { a.mode = -1, a.width = 721; }), "FadeSizeW Err[3]721");
    EXPECT_EQ(std::string(zk::fx::fade_strip_error(7)), "FadeStrip Err[7]");

    FadeSetArgs late = ok;
    late.delay = -4;
    const zk::fx::PlayerParams p = zk::fx::fade_player_params(late);
    EXPECT_EQ(p.delay, 0);
    EXPECT_EQ(p.passes, 1);
    EXPECT_EQ(p.hold, 0);
    EXPECT_FALSE(p.stop_at_once);
    EXPECT_EQ(p.dst_x, 100);
    EXPECT_EQ(p.frames, 16);
}

} // namespace
