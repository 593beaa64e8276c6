// The mixer compositor's kernels against their definitions: every width 1..64 on seeded random
// data, with guard words either side of each output row.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/board/mixer/kernels/mixer_kernels.h"
#include "support/test_support.h"

namespace {

constexpr std::uint32_t kGuard = 0xDEADBEEF;

// The mix written out from its definition, independently of the library's.
std::uint32_t plain_mix(std::uint32_t a, std::uint32_t b, std::uint32_t f)
{
    std::uint32_t out = 0;
    for (int byte = 0; byte < 4; ++byte) {
        const std::uint32_t x = a >> (8 * byte) & 0xFF, y = b >> (8 * byte) & 0xFF;
        out |= ((x * (256 - f) + y * f) / 256) << (8 * byte);
    }
    return out;
}

bool have_avx2()
{
    return __builtin_cpu_supports("avx2");
}

TEST(MixerKernel, GatherTakesTheIndexedPixelOrNothing)
{
    const std::uint32_t seed = zt::test_seed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    for (size_t n = 1; n <= 64; ++n) {
        for (int round = 0; round < 8; ++round) {
            const size_t source_size = 1 + rng() % 100;
            std::vector<std::uint32_t> src(source_size);
            for (auto& v : src) v = rng();
            std::vector<std::int32_t> index(n);
            for (auto& i : index) i = rng() % 4 == 0 ? -1 - static_cast<std::int32_t>(rng() % 1000) : static_cast<std::int32_t>(rng() % source_size);
            std::vector<std::uint32_t> ref(n + 2, kGuard), fast(n + 2, kGuard), dispatched(n + 2, kGuard);
            zk::mixer::gather_row_ref(ref.data() + 1, src.data(), index.data(), n);
            if (have_avx2()) zk::mixer::gather_row_avx2(fast.data() + 1, src.data(), index.data(), n);
            else fast = ref;
            zk::mixer::gather_row(dispatched.data() + 1, src.data(), index.data(), n);
            for (size_t i = 0; i < n; ++i) {
                const std::uint32_t want = index[i] < 0 ? 0u : src[static_cast<size_t>(index[i])];
                ASSERT_EQ(ref[i + 1], want) << "n " << n << " at " << i;
                ASSERT_EQ(fast[i + 1], want) << "n " << n << " at " << i;
                ASSERT_EQ(dispatched[i + 1], want) << "n " << n << " at " << i;
            }
            for (const auto* row : {&ref, &fast, &dispatched}) {
                EXPECT_EQ(row->front(), kGuard);
                EXPECT_EQ(row->back(), kGuard);
            }
        }
    }
}

TEST(MixerKernel, MixBlendsEveryByteByTheFader)
{
    const std::uint32_t seed = zt::test_seed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    for (size_t n = 1; n <= 64; ++n) {
        for (std::uint32_t f : {0u, 1u, 127u, 128u, 255u, 256u, static_cast<std::uint32_t>(rng() % 257)}) {
            std::vector<std::uint32_t> a(n + 2, kGuard), b(n);
            for (size_t i = 0; i < n; ++i) a[i + 1] = rng();
            for (auto& v : b) v = rng();
            std::vector<std::uint32_t> ref = a, fast = a, dispatched = a;
            zk::mixer::mix_row_ref(ref.data() + 1, b.data(), n, f);
            if (have_avx2()) zk::mixer::mix_row_avx2(fast.data() + 1, b.data(), n, f);
            else fast = ref;
            zk::mixer::mix_row(dispatched.data() + 1, b.data(), n, f);
            for (size_t i = 0; i < n; ++i) {
                const std::uint32_t want = plain_mix(a[i + 1], b[i], f);
                ASSERT_EQ(ref[i + 1], want) << "n " << n << " f " << f << " at " << i;
                ASSERT_EQ(fast[i + 1], want) << "n " << n << " f " << f << " at " << i;
                ASSERT_EQ(dispatched[i + 1], want) << "n " << n << " f " << f << " at " << i;
            }
            for (const auto* row : {&ref, &fast, &dispatched}) {
                EXPECT_EQ(row->front(), kGuard);
                EXPECT_EQ(row->back(), kGuard);
            }
            if (f == 0) {
                EXPECT_EQ(ref, a) << "0 leaves the row as it was";
            }
        }
    }
}

} // namespace
