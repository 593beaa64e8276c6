// CKrTm: parts and count agree, carries across every unit, unsigned 32-bit wrapping,
// comparisons by count only.
#include <gtest/gtest.h>

#include <random>

#include "effects/kr_tm.h"
#include "support/test_support.h"

namespace {

void expect_parts(const CKrTm& t, unsigned h, unsigned m, unsigned s, unsigned ms, const char* what)
{
    EXPECT_EQ(t.GetHour(), h) << what;
    EXPECT_EQ(t.GetMinute(), m) << what;
    EXPECT_EQ(t.GetSecond(), s) << what;
    EXPECT_EQ(t.GetMillisecond(), ms) << what;
}

} // namespace

TEST(KrTm, PartsAndCountAgreeBothWays)
{
    CKrTm from_parts(1, 2, 3, 4);
    EXPECT_EQ(from_parts.GetMilCount(), 3723004u);
    CKrTm from_count(3723004L);
    expect_parts(from_count, 1, 2, 3, 4, "count 3723004");
    EXPECT_EQ(static_cast<unsigned long>(from_count), 3723004u);

    // Parts are kept as given; only arithmetic normalises them.
    CKrTm odd(0, 75, 0, 0);
    expect_parts(odd, 0, 75, 0, 0, "minute 75");
    EXPECT_EQ(odd.GetMilCount(), 4500000u);
    expect_parts(odd + 0, 1, 15, 0, 0, "minute 75 plus 0");
    expect_parts(odd, 0, 75, 0, 0, "left operand of + unchanged");

    // Parts are truncated to 16 bits before the count is formed.
    CKrTm truncated(65536 + 2, 0, 0, 0);
    EXPECT_EQ(truncated.GetHour(), 2);
    EXPECT_EQ(truncated.GetMilCount(), 7200000u);
}

TEST(KrTm, CarriesAndWrapping)
{
    struct Case { unsigned long start; long delta; unsigned h, m, s, ms; } cases[] = {
        {999, 1, 0, 0, 1, 0},
        {59999, 1, 0, 1, 0, 0},
        {3599999, 1, 1, 0, 0, 0},
        {3600000, -1, 0, 59, 59, 999},
        {0, -1, 1193, 2, 47, 295},           // one millisecond before zero
        {4294967295ul, 1, 0, 0, 0, 0},        // and back over the top
    };
    for (const Case& c : cases) {
        CKrTm t(c.start);
        t += c.delta;
        expect_parts(t, c.h, c.m, c.s, c.ms, "after +=");
        CKrTm u = CKrTm(c.start) - (-c.delta);
        EXPECT_EQ(u.GetMilCount(), t.GetMilCount()) << c.start << " " << c.delta;
    }
    CKrTm zero;
    EXPECT_EQ((zero - 1).GetMilCount(), 4294967295u);
    EXPECT_EQ((zero - CKrTm(1)).GetMilCount(), 4294967295u);
    // A count wider than 32 bits means what its low 32 bits meant.
    EXPECT_EQ(CKrTm((1ul << 32) + 5ul).GetMilCount(), 5u);

    CKrTm acc(0, 59, 59, 500);
    acc += CKrTm(0, 0, 0, 500);
    expect_parts(acc, 1, 0, 0, 0, "tm += tm");
    acc -= 3600000ul;
    EXPECT_EQ(acc.GetMilCount(), 0u);
}

TEST(KrTm, ComparisonsUseTheCountOnly)
{
    CKrTm a(0, 75, 0, 0), b(1, 15, 0, 0), c(1, 15, 0, 1);
    EXPECT_TRUE(a == b);
    EXPECT_FALSE(a != b);
    EXPECT_TRUE(a < c && a <= c && c > a && c >= a && a <= b && a >= b);
    EXPECT_FALSE(a > b || a < b);
    EXPECT_TRUE(a == 4500000ul);
    EXPECT_TRUE(c > 4500000ul && c >= 4500001ul && a < 4500001ul && a <= 4500000ul);
    EXPECT_TRUE(a != 4500001ul);

    // Random pairs: every comparison agrees with the counts, and + then - restores a value.
    std::uint32_t seed = zt::test_seed();
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    for (int i = 0; i < 1000; ++i) {
        std::uint32_t x = rng(), y = rng() % 4;
        if (rng() & 1) y = x;
        CKrTm tx(static_cast<unsigned long>(x)), ty(static_cast<unsigned long>(y));
        ASSERT_EQ(tx < ty, x < y);
        ASSERT_EQ(tx == ty, x == y);
        ASSERT_EQ(tx >= ty, x >= y);
        CKrTm back = (tx + ty) - ty;
        ASSERT_EQ(back.GetMilCount(), x);
        ASSERT_EQ(back.GetHour(), x / 3600000u);
    }
}
