// The pixel swizzles: the dispatched kernels against the plain references on random pixels
// for every width 1..64, with guard bytes around both buffers to catch any stray access.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/simd.h"
#include "imagefile/kernels/pixel_swizzle.h"
#include "support/test_support.h"

namespace {

constexpr std::size_t kGuard = 32;
constexpr std::uint8_t kGuardByte = 0xC5;

// A buffer of n bytes with guards on both sides; data() points past the front guard.
struct Guarded {
    explicit Guarded(std::size_t n) : bytes(n + 2 * kGuard, kGuardByte), size(n) {}
    std::uint8_t* data() { return bytes.data() + kGuard; }
    bool guards_intact() const
    {
        for (std::size_t i = 0; i < kGuard; ++i)
            if (bytes[i] != kGuardByte || bytes[kGuard + size + i] != kGuardByte) return false;
        return true;
    }
    std::vector<std::uint8_t> bytes;
    std::size_t size;
};

template <class Run>
void for_every_width(Run run)
{
    std::mt19937 rng(zt::test_seed());
    SCOPED_TRACE("seed " + std::to_string(zt::test_seed()) + (zk::simd_avx2_enabled() ? " avx2" : " plain"));
    for (std::size_t n = 1; n <= 64; ++n) run(n, rng);
}

TEST(KernelPixelSwizzle, RgbToWords)
{
    for_every_width([](std::size_t n, std::mt19937& rng) {
        Guarded src(3 * n);
        for (std::size_t i = 0; i < 3 * n; ++i) src.data()[i] = static_cast<std::uint8_t>(rng());
        // Words through byte buffers: the kernels do not need aligned rows.
        std::vector<std::uint32_t> wa(n), wb(n);
        zk::rgb_to_bgra_ref(src.data(), wa.data(), n);
        zk::rgb_to_bgra(src.data(), wb.data(), n);
        ASSERT_EQ(wa, wb) << "width " << n;
        ASSERT_EQ(wa[0], 0xFF000000u | src.data()[0] << 16 | src.data()[1] << 8 | src.data()[2]);
        ASSERT_TRUE(src.guards_intact()) << n;
    });
}

TEST(KernelPixelSwizzle, RgbWidenedInPlace)
{
    // A packed row at the start of a block, widened to words that start `shift` bytes later
    // (0: the first row of a picture decoded into its own frame buffer).
    for_every_width([](std::size_t n, std::mt19937& rng) {
        for (std::size_t shift : {std::size_t{0}, std::size_t{4}, n, 3 * n / 2}) {
            Guarded block(4 * n + shift);
            for (std::size_t i = 0; i < 3 * n; ++i) block.data()[i] = static_cast<std::uint8_t>(rng());
            const std::vector<std::uint8_t> rgb(block.data(), block.data() + 3 * n);
            std::vector<std::uint32_t> want(n);
            zk::rgb_to_bgra_ref(rgb.data(), want.data(), n);
            zk::rgb_to_bgra(block.data(), reinterpret_cast<std::uint32_t*>(block.data() + shift), n);
            ASSERT_EQ(std::memcmp(block.data() + shift, want.data(), 4 * n), 0) << "width " << n << " shift " << shift;
            ASSERT_TRUE(block.guards_intact()) << n;
        }
    });
}

TEST(KernelPixelSwizzle, SwapRedBlueInPlace)
{
    for_every_width([](std::size_t n, std::mt19937& rng) {
        Guarded block(4 * n);
        for (std::size_t i = 0; i < 4 * n; ++i) block.data()[i] = static_cast<std::uint8_t>(rng());
        std::vector<std::uint8_t> want(4 * n);
        zk::swap_red_blue_ref(block.data(), want.data(), n);
        zk::swap_red_blue(block.data(), block.data(), n);
        ASSERT_EQ(std::memcmp(block.data(), want.data(), 4 * n), 0) << "width " << n;
        ASSERT_TRUE(block.guards_intact()) << n;
    });
}

TEST(KernelPixelSwizzle, WordsToRgb)
{
    for_every_width([](std::size_t n, std::mt19937& rng) {
        std::vector<std::uint32_t> src(n);
        for (auto& v : src) v = rng();
        Guarded a(3 * n), b(3 * n);
        zk::bgra_to_rgb_ref(src.data(), a.data(), n);
        zk::bgra_to_rgb(src.data(), b.data(), n);
        ASSERT_TRUE(a.guards_intact() && b.guards_intact()) << "width " << n;
        ASSERT_EQ(a.bytes, b.bytes) << "width " << n;
        ASSERT_EQ(a.data()[0], static_cast<std::uint8_t>(src[0] >> 16));
    });
}

TEST(KernelPixelSwizzle, SwapRedBlue)
{
    for_every_width([](std::size_t n, std::mt19937& rng) {
        Guarded src(4 * n), a(4 * n), b(4 * n);
        for (std::size_t i = 0; i < 4 * n; ++i) src.data()[i] = static_cast<std::uint8_t>(rng());
        zk::swap_red_blue_ref(src.data(), a.data(), n);
        zk::swap_red_blue(src.data(), b.data(), n);
        ASSERT_TRUE(a.guards_intact() && b.guards_intact() && src.guards_intact()) << "width " << n;
        ASSERT_EQ(a.bytes, b.bytes) << "width " << n;
        ASSERT_EQ(a.data()[0], src.data()[2]);
        ASSERT_EQ(a.data()[3], src.data()[3]);
    });
}

} // namespace
