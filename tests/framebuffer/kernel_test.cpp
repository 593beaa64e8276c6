// The hot kernels against plain references: the key composite (row kernel and the whole
// FbCopy with its clipping) and the bilinear resampler, on seeded random data.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "core/simd.h"
#include "framebuffer/kernels/composite.h"
#include "framebuffer/kernels/resample_bilinear.h"
#include "framebuffer/kr_frame_buffer.h"
#include "support/test_support.h"

namespace {

constexpr DWORD kGuard = 0xDEADBEEF;

// The composite written out from its definition, independently of the library's.
DWORD plain_composite(DWORD s, DWORD d)
{
    const DWORD a = s >> 24, dk = d >> 24;
    if (a == 255) return s;
    if (a == 0) return (dk == 0 && s != 0) ? s : d;
    const DWORD t = dk - (dk * a) / 255;
    const DWORD k = t + a;
    const DWORD b = ((d & 0xFF) * t + (s & 0xFF) * a) / k;
    const DWORD g = (((d >> 8) & 0xFF) * t + ((s >> 8) & 0xFF) * a) / k;
    const DWORD r = (((d >> 16) & 0xFF) * t + ((s >> 16) & 0xFF) * a) / k;
    return k << 24 | r << 16 | g << 8 | b;
}

// FbCopy from its clipping steps: a negative source start only shrinks the area, then every
// pixel that lies inside both buffers is written.
void plain_fbcopy(CKrFrameBuffer& dst, const CKrFrameBuffer& src, long sx, long sy, long w, long h, long dx, long dy,
                  int mode)
{
    if (sx < 0) { w += sx; sx = 0; }
    if (sy < 0) { h += sy; sy = 0; }
    for (long j = 0; j < h; ++j) {
        for (long i = 0; i < w; ++i) {
            const long x = sx + i, y = sy + j, tx = dx + i, ty = dy + j;
            if (x >= static_cast<long>(src.GetWidth()) || y >= static_cast<long>(src.GetHeight())) continue;
            if (tx < 0 || ty < 0 || tx >= static_cast<long>(dst.GetWidth()) || ty >= static_cast<long>(dst.GetHeight())) continue;
            const DWORD s = zt::px(src, x, y);
            zt::set_px(dst, tx, ty, mode ? plain_composite(s, zt::px(dst, tx, ty)) : s);
        }
    }
}

// The resampler transcribed from its definition.
void plain_base(float v, long& j, float& w)
{
    if (v > 0) {
        j = static_cast<long>(v);
    } else {
        j = static_cast<long>(std::floor(v));
        if (static_cast<float>(j) == v) --j;
    }
    w = v - static_cast<float>(j);
}

void plain_resample(const CKrFrameBuffer& src, CKrFrameBuffer& dst, float fx, float fy)
{
    const long sw = static_cast<long>(src.GetWidth()), sh = static_cast<long>(src.GetHeight());
    const long tw = static_cast<long>(dst.GetWidth()), th = static_cast<long>(dst.GetHeight());
    for (long y = 0; y < th; ++y) {
        long j;
        float wy;
        plain_base(static_cast<float>(y - th / 2) / fy, j, wy);
        const long r = j + sh / 2;
        for (long x = 0; x < tw; ++x) {
            long i;
            float wx;
            plain_base(static_cast<float>(x - tw / 2) / fx, i, wx);
            const long c = i + sw / 2;
            if (r < -1 || r > sh - 1 || c < -1 || c > sw - 1) {
                zt::set_px(dst, x, y, 0);
                continue;
            }
            const long r0 = r == -1 ? 0 : r, r1 = (r == -1 || r == sh - 1) ? r0 : r + 1;
            const long c0 = c == -1 ? 0 : c, c1 = (c == -1 || c == sw - 1) ? c0 : c + 1;
            DWORD out = 0;
            for (int b = 0; b < 32; b += 8) {
                auto at = [&](long xx, long yy) { return static_cast<float>((zt::px(src, xx, yy) >> b) & 0xFF); };
                const float v = (1 - wy) * ((1 - wx) * at(c0, r0) + wx * at(c1, r0)) +
                                wy * ((1 - wx) * at(c0, r1) + wx * at(c1, r1));
                const long iv = v < 0 ? 0 : static_cast<long>(v);
                out |= static_cast<DWORD>(std::min(iv, 255L)) << b;
            }
            zt::set_px(dst, x, y, out);
        }
    }
}

} // namespace

TEST(KernelComposite, Div255ShortcutIsExactOverTheUsedRange)
{
    for (DWORD x = 0; x <= 65534; ++x) ASSERT_EQ((x + 1 + (x >> 8)) >> 8, x / 255) << x;
}

TEST(KernelComposite, ReciprocalDivisionIsExactForEveryQuotientThatOccurs)
{
    for (DWORD k = 1; k <= 255; ++k) {
        for (DWORD num = 0; num <= 255 * k; ++num) {
            ASSERT_EQ(zk::quotient_by_reciprocal(num, k), num / k) << num << " / " << k;
        }
    }
}

TEST(KernelComposite, RowKernelsMatchTheDefinitionForEveryWidth)
{
    const std::uint32_t seed = zt::test_seed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    // Destinations: random keys, all opaque (a caption over a picture), all key 0 with and
    // without colour, and opaque and transparent mixed; each takes its own path.
    const auto dest_pixel = [&](int kind) -> DWORD {
        switch (kind) {
        case 1: return rng() | 0xFF000000u;
        case 2: return rng() & 0x00FFFFFFu;
        case 3: return rng() % 2 ? 0u : rng() & 0x00FFFFFFu;
        case 4: return rng() % 2 ? rng() | 0xFF000000u : 0u;
        default: return rng();
        }
    };
    for (size_t n = 1; n <= 64; ++n) {
        for (int keys = 0; keys < 2 * 5; ++keys) {
            std::vector<DWORD> src(n), dst(n + 2), want(n);
            for (auto& v : src) v = rng();
            if (keys % 2) {
                for (auto& v : src) v = (v & 0xFFFFFF) | (rng() % 3 == 0 ? 0u : rng() % 2 ? 255u : rng() & 0xFF) << 24;
                // Some zero words, which a transparent destination keeps.
                for (auto& v : src) v = rng() % 5 == 0 ? 0u : v;
            }
            dst.front() = dst.back() = kGuard;
            for (size_t i = 0; i < n; ++i) dst[i + 1] = dest_pixel(keys / 2);
            for (size_t i = 0; i < n; ++i) want[i] = plain_composite(src[i], dst[i + 1]);
            std::vector<DWORD> ref = dst, fast = dst;
            zk::composite_row_ref(ref.data() + 1, src.data(), n);
            if (__builtin_cpu_supports("avx2")) zk::composite_row_avx2(fast.data() + 1, src.data(), n);
            else zk::composite_row(fast.data() + 1, src.data(), n);
            for (size_t i = 0; i < n; ++i) {
                ASSERT_EQ(ref[i + 1], want[i]) << "n " << n << " kind " << keys << " at " << i;
                ASSERT_EQ(fast[i + 1], want[i]) << "n " << n << " kind " << keys << " at " << i;
            }
            EXPECT_EQ(fast.front(), kGuard);
            EXPECT_EQ(fast.back(), kGuard);
        }
    }
}

TEST(KernelComposite, EveryKeyPairWithManyColours)
{
    std::mt19937 rng(zt::test_seed());
    std::vector<DWORD> src, dst;
    for (DWORD a = 0; a < 256; ++a) {
        for (DWORD d = 0; d < 256; ++d) {
            for (int k = 0; k < 4; ++k) {
                src.push_back(a << 24 | (rng() & 0xFFFFFF));
                dst.push_back(d << 24 | (rng() & 0xFFFFFF));
            }
        }
    }
    // Every source key and colour level over whole runs of opaque and of key-0 destinations.
    for (DWORD d_key : {255u, 0u}) {
        for (DWORD a = 0; a < 256; ++a) {
            for (DWORD c = 0; c < 256; c += 5) {
                for (int k = 0; k < 8; ++k) {
                    src.push_back(a << 24 | c << 16 | (255 - c) << 8 | (rng() & 0xFF));
                    dst.push_back(d_key << 24 | (rng() & 0xFFFFFF));
                }
            }
        }
    }
    std::vector<DWORD> out = dst;
    zk::composite_row(out.data(), src.data(), src.size());
    for (size_t i = 0; i < src.size(); ++i) ASSERT_EQ(out[i], plain_composite(src[i], dst[i])) << i;
}

TEST(KernelFbCopy, MatchesThePlainReferenceOnRandomAreas)
{
    const std::uint32_t seed = zt::test_seed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    for (int round = 0; round < 600; ++round) {
        const int keys = round % 2;
        CKrFrameBuffer src = zt::random_buffer(1 + rng() % 70, 1 + rng() % 20, rng, keys);
        CKrFrameBuffer dst = zt::random_buffer(1 + rng() % 70, 1 + rng() % 20, rng, keys);
        auto coord = [&](long range) { return static_cast<long>(rng() % (3 * range)) - range; };
        const long sx = coord(40), sy = coord(12), w = coord(80), h = coord(25), dx = coord(40), dy = coord(12);
        const long mode = static_cast<long>(rng() % 4) - 1;
        CKrFrameBuffer want = dst;
        plain_fbcopy(want, src, sx, sy, w, h, dx, dy, mode >= 1);
        CBox done(-7, -7, -7, -7);
        const int r = dst.FbCopy(&src, sx, sy, w, h, dx, dy, mode, &done);
        std::string where;
        ASSERT_EQ(zt::diff_pixels(dst, want, &where), 0) << "round " << round << " " << where;
        if (r == 0) {
            EXPECT_GE(done.x, 0);
            EXPECT_GE(done.width, 1);
            EXPECT_LE(done.x + done.width, static_cast<long>(dst.GetWidth()));
            EXPECT_LE(done.y + done.height, static_cast<long>(dst.GetHeight()));
        } else {
            EXPECT_EQ(done, CBox(-7, -7, -7, -7));
        }
    }
}

TEST(KernelFbCopy, CopyWithinOneBufferReadsTheOriginalPixels)
{
    std::mt19937 rng(zt::test_seed());
    for (int round = 0; round < 200; ++round) {
        CKrFrameBuffer fb = zt::random_buffer(1 + rng() % 1200, 1 + rng() % 6, rng, 1);
        const long w = static_cast<long>(fb.GetWidth()), h = static_cast<long>(fb.GetHeight());
        const long sx = static_cast<long>(rng() % w), sy = static_cast<long>(rng() % h);
        const long dx = static_cast<long>(rng() % w) - w / 2, dy = static_cast<long>(rng() % 3) - 1;
        const long mode = round % 2;
        CKrFrameBuffer want = fb, snapshot = fb;
        plain_fbcopy(want, snapshot, sx, sy, w, h, dx, dy, static_cast<int>(mode));
        fb.FbCopy(&fb, sx, sy, w, h, dx, dy, mode, nullptr);
        std::string where;
        ASSERT_EQ(zt::diff_pixels(fb, want, &where), 0) << "round " << round << " " << where;
    }
}

TEST(KernelResample, BilinearMatchesThePlainReference)
{
    const std::uint32_t seed = zt::test_seed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    for (int round = 0; round < 300; ++round) {
        CKrFrameBuffer src = zt::random_buffer(1 + rng() % 40, 1 + rng() % 30, rng, round % 2);
        const long tw = 1 + rng() % 90, th = 1 + rng() % 60;
        // Factors that fit the sizes (as SizeChange makes them) and arbitrary ones (as
        // SizeChangeScale passes them on).
        float fx = static_cast<float>(static_cast<double>(tw) / static_cast<double>(src.GetWidth()));
        float fy = static_cast<float>(static_cast<double>(th) / static_cast<double>(src.GetHeight()));
        if (round % 3 == 0) {
            fx = 0.05f + static_cast<float>(rng() % 1000) / 200.0f;
            fy = 0.05f + static_cast<float>(rng() % 1000) / 200.0f;
        }
        CKrFrameBuffer want(tw, th, 1), ref(tw, th, 0), fast(tw, th, 0);
        plain_resample(src, want, fx, fy);
        zk::resample_bilinear_ref(src.GetBufferByte(), static_cast<long>(src.GetWidth()), static_cast<long>(src.GetHeight()),
                                  ref.GetBufferByte(), tw, th, fx, fy);
        zk::resample_bilinear(src.GetBufferByte(), static_cast<long>(src.GetWidth()), static_cast<long>(src.GetHeight()),
                              fast.GetBufferByte(), tw, th, fx, fy);
        std::string where;
        ASSERT_EQ(zt::diff_pixels(ref, want, &where), 0) << "round " << round << " ref " << where;
        ASSERT_EQ(zt::diff_pixels(fast, want, &where), 0) << "round " << round << " fast " << where;
    }
}
