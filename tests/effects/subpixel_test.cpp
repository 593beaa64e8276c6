// The roll's sub-pixel pictures: the fast kernel against the plain one for every width 1..64,
// both against the rule written out here, guard words around every output, and the pictures
// the roll builds from a frame buffer.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "effects/kernels/subpixel.h"
#include "effects/roll_core.h"
#include "support/test_support.h"

namespace {

constexpr std::uint32_t kGuard = 0xDEADBEEF;
constexpr std::size_t kGuards = 9;

// The rule: each byte (a·(10 − k) + b·k) / 10, truncated, b from the row below; the last row
// has no row below and keeps the source's.
std::vector<std::uint32_t> rule(const std::vector<std::uint32_t>& src, std::size_t w, std::size_t h, unsigned k)
{
    std::vector<std::uint32_t> out(w * h);
    for (std::size_t y = 0; y < h; ++y) {
        for (std::size_t x = 0; x < w; ++x) {
            const std::uint32_t a = src[y * w + x];
            if (y + 1 == h) {
                out[y * w + x] = a;
                continue;
            }
            const std::uint32_t b = src[(y + 1) * w + x];
            std::uint32_t v = 0;
            for (int i = 0; i < 4; ++i) {
                const std::uint32_t ab = (a >> (8 * i)) & 0xFF, bb = (b >> (8 * i)) & 0xFF;
                v |= ((ab * (10 - k) + bb * k) / 10) << (8 * i);
            }
            out[y * w + x] = a == b ? a : v;
        }
    }
    return out;
}

// Caption-like rows: runs of equal pixels, equal rows, and noise.
std::vector<std::uint32_t> random_picture(std::mt19937& rng, std::size_t w, std::size_t h)
{
    std::vector<std::uint32_t> p(w * h);
    for (std::size_t i = 0; i < p.size(); ++i) {
        const unsigned kind = rng() % 4;
        if (kind == 0 && i > 0) p[i] = p[i - 1];
        else if (kind == 1 && i >= w) p[i] = p[i - w];
        else p[i] = rng();
    }
    return p;
}

using PictureFn = void (*)(std::uint32_t*, const std::uint32_t*, std::size_t, std::size_t, unsigned);

std::vector<std::uint32_t> run_guarded(PictureFn fn, const std::vector<std::uint32_t>& src, std::size_t w,
                                       std::size_t h, unsigned k)
{
    std::vector<std::uint32_t> buf(w * h + 2 * kGuards, kGuard);
    fn(buf.data() + kGuards, src.data(), w, h, k);
    for (std::size_t i = 0; i < kGuards; ++i) {
        EXPECT_EQ(buf[i], kGuard) << "before, w " << w << " h " << h;
        EXPECT_EQ(buf[buf.size() - 1 - i], kGuard) << "after, w " << w << " h " << h;
    }
    return std::vector<std::uint32_t>(buf.begin() + kGuards, buf.end() - kGuards);
}

} // namespace

TEST(KernelSubpixel, MultiplyHighDividesByTenOverTheWholeRange)
{
    for (std::uint32_t x = 0; x <= 2550; ++x) ASSERT_EQ((x * 6554) >> 16, x / 10) << x;
}

TEST(KernelSubpixel, FastMatchesPlainAndTheRuleForEveryWidth)
{
    const std::uint32_t seed = zt::test_seed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    const bool avx2 = __builtin_cpu_supports("avx2");
    for (std::size_t w = 1; w <= 64; ++w) {
        for (int round = 0; round < 3; ++round) {
            const std::size_t h = 1 + rng() % 12;
            const unsigned k = rng() % 11;
            const std::vector<std::uint32_t> src = random_picture(rng, w, h);
            const std::vector<std::uint32_t> want = rule(src, w, h, k);
            ASSERT_EQ(run_guarded(zk::subpixel_picture_ref, src, w, h, k), want) << "plain, w " << w << " h " << h << " k " << k;
            ASSERT_EQ(run_guarded(zk::subpixel_picture, src, w, h, k), want) << "chosen, w " << w << " h " << h << " k " << k;
            if (avx2) {
                ASSERT_EQ(run_guarded(zk::subpixel_picture_avx2, src, w, h, k), want)
                    << "avx2, w " << w << " h " << h << " k " << k;
            }
        }
    }
}

TEST(KernelSubpixel, TwoByTwoFixture)
{
    // Top row: opaque black and opaque white; bottom row: opaque white and the same white.
    const std::vector<std::uint32_t> src = {0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};
    std::vector<std::uint32_t> out(4);
    zk::subpixel_picture(out.data(), src.data(), 2, 2, 3);
    // 255·3/10 = 76.5 → 76 for the colours, the key stays 255; equal pixels stay; last row kept.
    EXPECT_EQ(out, (std::vector<std::uint32_t>{0xFF4C4C4C, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}));
    zk::subpixel_picture(out.data(), src.data(), 2, 2, 10);
    EXPECT_EQ(out, (std::vector<std::uint32_t>{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF}));
    zk::subpixel_picture(out.data(), src.data(), 2, 2, 0);
    EXPECT_EQ(out, src);
}

TEST(Subpixel, RollPicturesFromAFrameBuffer)
{
    std::mt19937 rng(zt::test_seed());
    CKrFrameBuffer src = zt::random_buffer(37, 9, rng, 1);
    std::vector<std::uint32_t> pixels(src.GetBufferDWord(), src.GetBufferDWord() + 37 * 9);
    for (int k = 0; k <= 10; ++k) {
        CKrFrameBuffer target;
        ASSERT_TRUE(zk::fx::make_subpixel_image(src, target, k)) << k;
        ASSERT_EQ(target.GetWidth(), 37u);
        ASSERT_EQ(target.GetHeight(), 9u);
        const std::vector<std::uint32_t> got(target.GetBufferDWord(), target.GetBufferDWord() + 37 * 9);
        EXPECT_EQ(got, rule(pixels, 37, 9, static_cast<unsigned>(k))) << k;
    }
    // A target of another size is made again at the source's size.
    CKrFrameBuffer wrong(5, 5, 1);
    ASSERT_TRUE(zk::fx::make_subpixel_image(src, wrong, 4));
    EXPECT_EQ(wrong.GetWidth(), 37u);
    EXPECT_EQ(wrong.GetHeight(), 9u);
    // Refused: k outside 0..10, an empty source, the source as its own target.
    CKrFrameBuffer kept(3, 3, 1), empty;
    EXPECT_FALSE(zk::fx::make_subpixel_image(src, kept, 11));
    EXPECT_FALSE(zk::fx::make_subpixel_image(src, kept, -1));
    EXPECT_FALSE(zk::fx::make_subpixel_image(empty, kept, 5));
    EXPECT_FALSE(zk::fx::make_subpixel_image(src, src, 5));
    EXPECT_EQ(kept.GetWidth(), 3u);
}
