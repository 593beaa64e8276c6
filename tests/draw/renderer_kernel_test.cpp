// The renderer's hot kernels against their plain forms on seeded random data: the masked
// blend (row kernel and the whole FbCopyMask), mask reduction, the row maxima and distance
// minima, and the edge, soft edge and extrusion growth against the disc written out pixel by
// pixel. Every suite here also runs with the vector paths switched off.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "draw/internal/bw_grey.h"
#include "draw/kernels/anti_gray.h"
#include "draw/kernels/edge_grow.h"
#include "draw/kernels/grey_colour.h"
#include "framebuffer/kernels/mask_blend.h"
#include "support/renderer_reference.h"
#include "support/test_support.h"

namespace {

constexpr unsigned char kGuardByte = 0xA5;

// A grey picture of random blobs: mostly empty, solid runs and anti-aliased borders, the mix a
// caption mask reduces to.
CKrGrayBitmap random_grey(long w, long h, std::mt19937& rng)
{
    CKrGrayBitmap g;
    g.Create(w, h);
    const int mode = static_cast<int>(rng() % 3);
    for (long y = 0; y < h; ++y)
        for (long x = 0; x < w; ++x) {
            const unsigned v = rng() % 100;
            unsigned char px = 0;
            if (mode == 0) px = v < 8 ? static_cast<unsigned char>(rng() % 256) : 0;  // sparse dots
            if (mode == 1) px = v < 40 ? 255 : v < 50 ? static_cast<unsigned char>(rng() % 256) : 0;
            if (mode == 2) px = v < 2 ? 255 : 0;  // nearly empty
            g.Row(y)[x] = px;
        }
    return g;
}

::testing::AssertionResult same_grey(const CKrGrayBitmap& a, const CKrGrayBitmap& b)
{
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight())
        return ::testing::AssertionFailure() << "size " << a.GetWidth() << "x" << a.GetHeight() << " vs "
                                             << b.GetWidth() << "x" << b.GetHeight();
    for (long y = 0; y < a.GetHeight(); ++y)
        for (long x = 0; x < a.GetWidth(); ++x)
            if (a.Row(y)[x] != b.Row(y)[x])
                return ::testing::AssertionFailure() << "(" << x << "," << y << "): " << int(a.Row(y)[x]) << " vs "
                                                     << int(b.Row(y)[x]);
    return ::testing::AssertionSuccess();
}

} // namespace

TEST(KernelMaskBlend, RowKernelsMatchTheDefinitionForEveryWidth)
{
    const auto seed = zt::test_seed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    for (std::size_t n = 1; n <= 64; ++n) {
        for (int rep = 0; rep < 20; ++rep) {
            std::vector<DWORD> src(n), dst(n + 2);
            std::vector<unsigned char> mask(n);
            for (auto& v : src) v = rng();
            for (std::size_t i = 0; i < n; ++i) {
                dst[i + 1] = rng();
                // Keys and mask bytes at 0, 255 and in between, where the branches are.
                const unsigned pick = rng() % 4;
                mask[i] = pick == 0 ? 0 : pick == 1 ? 255 : static_cast<unsigned char>(rng());
                if (rng() % 4 == 0) src[i] &= 0x00FFFFFF;
                if (rng() % 4 == 0) dst[i + 1] &= 0x00FFFFFF;
            }
            dst.front() = dst.back() = 0xDEADBEEF;
            const bool no_mask = rep % 5 == 0;
            std::vector<DWORD> expect(dst), fast(dst), plain(dst);
            for (std::size_t i = 0; i < n; ++i) expect[i + 1] = zref::mask_blend(src[i], dst[i + 1], no_mask ? 0 : mask[i]);
            zk::mask_blend_row_avx2(fast.data() + 1, src.data(), no_mask ? nullptr : mask.data(), n);
            zk::mask_blend_row_ref(plain.data() + 1, src.data(), no_mask ? nullptr : mask.data(), n);
            ASSERT_EQ(fast, expect) << "n=" << n;
            ASSERT_EQ(plain, expect) << "n=" << n;
        }
    }
}

TEST(KernelMaskBlend, FbCopyMaskMatchesThePlainBlendOnRandomAreas)
{
    const auto seed = zt::test_seed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    for (int rep = 0; rep < 300; ++rep) {
        const long sw = 1 + rng() % 40, sh = 1 + rng() % 30, dw = 1 + rng() % 40, dh = 1 + rng() % 30;
        CKrFrameBuffer src = zt::random_buffer(sw, sh, rng, 1);
        CKrFrameBuffer dst = zt::random_buffer(dw, dh, rng, 1);
        // Masks smaller and larger than the source: beyond the mask the coverage is 0.
        CKrGrayBitmap mask;
        mask.Create(1 + rng() % 45, 1 + rng() % 35);
        for (long y = 0; y < mask.GetHeight(); ++y)
            for (long x = 0; x < mask.GetWidth(); ++x) mask.Row(y)[x] = static_cast<unsigned char>(rng());
        const long sx = static_cast<long>(rng() % 50) - 10, sy = static_cast<long>(rng() % 40) - 10;
        const long w = static_cast<long>(rng() % 50), h = static_cast<long>(rng() % 40);
        const long dx = static_cast<long>(rng() % 60) - 20, dy = static_cast<long>(rng() % 50) - 20;

        CKrFrameBuffer expect(dst);
        long csx = sx, csy = sy, cw = w, ch = h;
        if (csx < 0) { cw += csx; csx = 0; }
        if (csy < 0) { ch += csy; csy = 0; }
        long minx = 1 << 30, miny = 1 << 30, maxx = -1, maxy = -1;
        for (long j = 0; j < ch; ++j)
            for (long i = 0; i < cw; ++i) {
                const long x = csx + i, y = csy + j, tx = dx + i, ty = dy + j;
                if (x >= sw || y >= sh || tx < 0 || ty < 0 || tx >= dw || ty >= dh) continue;
                const DWORD m = x < mask.GetWidth() && y < mask.GetHeight() ? mask.Row(y)[x] : 0;
                zt::set_px(expect, tx, ty, zref::mask_blend(zt::px(src, x, y), zt::px(dst, tx, ty), m));
                minx = std::min(minx, tx), miny = std::min(miny, ty), maxx = std::max(maxx, tx), maxy = std::max(maxy, ty);
            }
        CBox done(-7L, -7L, -7L, -7L);
        const int rc = dst.FbCopyMask(&src, &mask, sx, sy, w, h, dx, dy, &done);
        std::string where;
        ASSERT_EQ(zt::diff_pixels(dst, expect, &where), 0) << "rep " << rep << " " << where;
        if (maxx < 0) {
            EXPECT_EQ(rc, -1);
            EXPECT_EQ(done, CBox(-7L, -7L, -7L, -7L));
        } else {
            EXPECT_EQ(rc, 0);
            EXPECT_EQ(done, CBox(minx, miny, maxx - minx + 1, maxy - miny + 1));
        }
    }
}

TEST(KernelMaskBlend, CopyWithinOneBufferReadsTheOriginalPixels)
{
    std::mt19937 rng(zt::test_seed());
    for (const auto& [dx, dy] : {std::pair{3L, 0L}, {-3L, 0L}, {0L, 4L}, {0L, -4L}, {2L, 2L}, {-2L, -5L}}) {
        CKrFrameBuffer fb = zt::random_buffer(30, 20, rng, 1);
        CKrFrameBuffer copy(fb);
        CKrGrayBitmap mask;
        mask.Create(30, 20);
        for (long y = 0; y < 20; ++y)
            for (long x = 0; x < 30; ++x) mask.Row(y)[x] = static_cast<unsigned char>(rng());
        CKrFrameBuffer expect(fb);
        expect.FbCopyMask(&copy, &mask, 5, 5, 15, 10, 5 + dx, 5 + dy, nullptr);
        fb.FbCopyMask(&fb, &mask, 5, 5, 15, 10, 5 + dx, 5 + dy, nullptr);
        EXPECT_EQ(zt::diff_pixels(fb, expect), 0) << dx << "," << dy;
    }
}

TEST(KernelAntiGray, RowKernelsMatchTheBitCountForEveryWidthAndScale)
{
    const auto seed = zt::test_seed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    for (int s : {1, 4, 8, 16}) {
        for (std::size_t bytes = 1; bytes <= 64; ++bytes) {
            const std::size_t stride = bytes + 3;
            std::vector<unsigned char> rows(stride * static_cast<std::size_t>(s));
            const unsigned density = rng() % 3;
            for (auto& b : rows) b = density == 0 ? 0xFF : density == 1 ? static_cast<unsigned char>(rng()) : (rng() % 8 ? 0 : static_cast<unsigned char>(rng()));
            const std::size_t n = bytes * 8 / static_cast<std::size_t>(s);
            std::vector<unsigned char> expect(n + 2, kGuardByte), fast(expect), plain(expect);
            for (std::size_t i = 0; i < n; ++i) {
                long bits = 0;
                for (int r = 0; r < s; ++r)
                    for (int k = 0; k < s; ++k) {
                        const std::size_t bit = i * static_cast<std::size_t>(s) + static_cast<std::size_t>(k);
                        bits += (rows[static_cast<std::size_t>(r) * stride + bit / 8] >> (7 - bit % 8)) & 1;
                    }
                expect[i + 1] = static_cast<unsigned char>(std::min(255L, bits * 256 / (s * s)));
            }
            zk::anti_gray_row_avx2(rows.data(), stride, s, bytes, fast.data() + 1);
            zk::anti_gray_row_ref(rows.data(), stride, s, bytes, plain.data() + 1);
            ASSERT_EQ(fast, expect) << "s=" << s << " bytes=" << bytes;
            ASSERT_EQ(plain, expect) << "s=" << s << " bytes=" << bytes;
        }
    }
}

TEST(KernelEdgeRows, MaxDilateAndDistanceRowsMatchForEveryWidth)
{
    const auto seed = zt::test_seed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    for (std::size_t n = 1; n <= 64; ++n) {
        std::vector<unsigned char> src(n + 2), a(n + 2), b;
        for (auto& v : src) v = static_cast<unsigned char>(rng());
        for (auto& v : a) v = static_cast<unsigned char>(rng());
        a.front() = a.back() = kGuardByte;
        b = a;
        std::vector<unsigned char> c(a);
        zk::max_row_avx2(a.data() + 1, src.data() + 1, n);
        zk::max_row_ref(b.data() + 1, src.data() + 1, n);
        for (std::size_t i = 1; i <= n; ++i) c[i] = std::max(c[i], src[i]);
        ASSERT_EQ(a, c) << n;
        ASSERT_EQ(b, c) << n;

        std::vector<unsigned char> d1(n + 2, kGuardByte), d2(d1), d3(d1);
        zk::dilate3_row_avx2(d1.data() + 1, src.data() + 1, n);
        zk::dilate3_row_ref(d2.data() + 1, src.data() + 1, n);
        for (std::size_t i = 1; i <= n; ++i) d3[i] = std::max({src[i - 1], src[i], src[i + 1]});
        ASSERT_EQ(d1, d3) << n;
        ASSERT_EQ(d2, d3) << n;

        std::vector<std::uint16_t> dist(n), m1(n + 2), m2, m3;
        for (auto& v : dist) v = static_cast<std::uint16_t>(rng() % 4 ? rng() % 70000 : 65535);
        for (auto& v : m1) v = static_cast<std::uint16_t>(rng());
        m1.front() = m1.back() = 0xBEEF;
        m2 = m3 = m1;
        const auto add = static_cast<std::uint16_t>(rng() % 65026);
        zk::min_dist_row_avx2(m1.data() + 1, dist.data(), add, n);
        zk::min_dist_row_ref(m2.data() + 1, dist.data(), add, n);
        for (std::size_t i = 0; i < n; ++i)
            m3[i + 1] = static_cast<std::uint16_t>(std::min<unsigned>(m3[i + 1], std::min(65535u, dist[i] + add + 0u)));
        ASSERT_EQ(m1, m3) << n;
        ASSERT_EQ(m2, m3) << n;

        // Ink counting wraps like a byte; the squared distance takes any count up to `far`.
        std::vector<unsigned char> c1(n + 2), c2, c3;
        for (auto& v : c1) v = static_cast<unsigned char>(rng());
        c1.front() = c1.back() = kGuardByte;
        c2 = c3 = c1;
        std::vector<unsigned char> ink(n);
        for (auto& v : ink) v = static_cast<unsigned char>(rng() % 3 ? 0 : rng());
        zk::count_ink_row_avx2(c1.data() + 1, ink.data(), n);
        zk::count_ink_row_ref(c2.data() + 1, ink.data(), n);
        for (std::size_t i = 0; i < n; ++i) c3[i + 1] = static_cast<unsigned char>(c3[i + 1] + (ink[i] != 0));
        ASSERT_EQ(c1, c3) << n;
        ASSERT_EQ(c2, c3) << n;

        const auto far = static_cast<std::uint8_t>(1 + rng() % 255);
        std::vector<unsigned char> cnt(n);
        for (auto& v : cnt) v = static_cast<unsigned char>(rng() % (far + 1u));
        std::vector<std::uint16_t> q1(n + 2, 0xBEEF), q2(q1), q3(q1);
        zk::reach_to_d2_row_avx2(q1.data() + 1, cnt.data(), far, n);
        zk::reach_to_d2_row_ref(q2.data() + 1, cnt.data(), far, n);
        for (std::size_t i = 0; i < n; ++i) q3[i + 1] = static_cast<std::uint16_t>((far - cnt[i]) * (far - cnt[i]));
        ASSERT_EQ(q1, q3) << n;
        ASSERT_EQ(q2, q3) << n;
    }
}

// Colouring against the key formula, for every width up to 64, every grey level and keys
// from none to full.
TEST(KernelColour, RowKernelsMatchTheKeyFormula)
{
    const auto seed = zt::test_seed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    std::vector<std::uint32_t> colours = {0x00123456u, 0xFF000000u, 0xFFFFFFFFu, 0x80FF8040u, 0x01ABCDEFu};
    for (int i = 0; i < 20; ++i) colours.push_back(static_cast<std::uint32_t>(rng()));
    for (const std::uint32_t col : colours) {
        for (std::size_t n = 1; n <= 64; ++n) {
            std::vector<unsigned char> grey(n);
            for (auto& g : grey) g = static_cast<unsigned char>(rng() % 4 ? rng() : 0);
            std::vector<std::uint32_t> a(n + 2, 0xDEADBEEFu), b(a), c(a);
            zk::colour_row_avx2(a.data() + 1, grey.data(), col, n);
            zk::colour_row_ref(b.data() + 1, grey.data(), col, n);
            for (std::size_t i = 0; i < n; ++i)
                c[i + 1] = grey[i] ? (col & 0x00FFFFFFu) | ((col >> 24) * grey[i] / 255) << 24 : 0u;
            ASSERT_EQ(a, c) << std::hex << col << " n=" << std::dec << n;
            ASSERT_EQ(b, c) << std::hex << col << " n=" << std::dec << n;
        }
        // Every grey level once.
        std::vector<unsigned char> ramp(256);
        for (int g = 0; g < 256; ++g) ramp[static_cast<std::size_t>(g)] = static_cast<unsigned char>(g);
        std::vector<std::uint32_t> a(256), b(256);
        zk::colour_row_avx2(a.data(), ramp.data(), col, 256);
        zk::colour_row_ref(b.data(), ramp.data(), col, 256);
        ASSERT_EQ(a, b) << std::hex << col;
    }
}

// The fast edge growth against every disc pixel of every input pixel, for radii 1 to 32.
TEST(KernelEdgeGrowth, HardAndSoftEdgesMatchTheDiscDefinition)
{
    const auto seed = zt::test_seed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    // Radii 1 to 32 cover both ways of finding soft distances; a few large ones follow.
    std::vector<int> radii;
    for (int r = 1; r <= 32; ++r) radii.push_back(r);
    for (int r : {47, 90, 255}) radii.push_back(r);
    for (int r : radii) {
        for (int rep = 0; rep < (r > 32 ? 1 : 3); ++rep) {
            const long w = 1 + rng() % (r > 32 ? 12 : 40), h = 1 + rng() % (r > 32 ? 8 : 25);
            const CKrGrayBitmap in = random_grey(w, h, rng);
            for (bool soft : {false, true}) {
                CKrGrayBitmap fast;
                ASSERT_EQ(zk::make_edge(soft, r, in, fast), 0);
                ASSERT_TRUE(same_grey(fast, zref::edge(in, r, soft)))
                    << "r=" << r << " soft=" << soft << " " << w << "x" << h;
            }
        }
    }
}

TEST(KernelEdgeGrowth, ExtrusionMatchesCopyByCopy)
{
    const auto seed = zt::test_seed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    for (int n = 0; n <= 40; ++n) {
        const CKrGrayBitmap in = random_grey(1 + rng() % 30, 1 + rng() % 20, rng);
        CKrGrayBitmap fast;
        ASSERT_EQ(zk::make_extrusion(n, in, fast), 0);
        ASSERT_TRUE(same_grey(fast, zref::extrusion(in, n))) << "n=" << n;
        ASSERT_EQ(zk::make_extrusion(-n, in, fast), 0);
        ASSERT_TRUE(same_grey(fast, zref::extrusion(in, n))) << "n=-" << n;
    }
}

TEST(KernelAntiGray, WholeMasksMatchTheBitCount)
{
    const auto seed = zt::test_seed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    for (int s : {1, 4, 8, 16}) {
        for (int rep = 0; rep < 10; ++rep) {
            CKrMonoBitmap mask;
            mask.Create(s * (1 + rng() % 50), s * (1 + rng() % 6) + rng() % s);
            for (unsigned long i = 0; i < mask.GetSize(); ++i) mask.GetBits()[i] = static_cast<unsigned char>(rng());
            CKrGrayBitmap fast;
            ASSERT_EQ(zk::make_anti_gray(s, mask, fast), 0);
            ASSERT_TRUE(same_grey(fast, zref::anti_gray(mask, s))) << "s=" << s;
        }
    }
}
