// SizeChange and SizeChangeScale: the exact resampler's defined results, the failures, and the
// dispatch to a resize module.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/zorvik_app.h"
#include "framebuffer/kr_frame_buffer.h"
#include "support/test_support.h"

using zt::px;
using zt::set_px;

namespace {

// Runs a test body with the given module (or none) in use, restoring "none" afterwards.
struct ModuleScope {
    explicit ModuleScope(const char* path) { AfxGetZorvikApp()->LoadResizeModule(path); }
    ~ModuleScope() { AfxGetZorvikApp()->UnloadResizeModule(); }
};

} // namespace

TEST(Resize, SameSizeIsIdentity)
{
    ModuleScope none(nullptr);
    std::mt19937 rng(zt::test_seed());
    for (long w : {1L, 2L, 3L, 17L}) {
        for (long h : {1L, 2L, 5L}) {
            CKrFrameBuffer src = zt::random_buffer(w, h, rng), dst;
            ASSERT_EQ(src.SizeChange(&dst, w, h), 0);
            EXPECT_EQ(zt::diff_pixels(src, dst), 0) << w << "x" << h;
        }
    }
}

TEST(Resize, DoublingARowInterpolatesHalfWay)
{
    ModuleScope none(nullptr);
    CKrFrameBuffer src(4, 1, 1), dst;
    const DWORD c[4] = {0x00000000, 0x10203040, 0xFF808080, 0x01020304};
    for (long x = 0; x < 4; ++x) set_px(src, x, 0, c[x]);
    ASSERT_EQ(src.SizeChange(&dst, 8, 1), 0);
    auto mid = [](DWORD a, DWORD b) {
        DWORD out = 0;
        for (int s = 0; s < 32; s += 8) out |= ((((a >> s) & 0xFF) + ((b >> s) & 0xFF)) / 2) << s;
        return out;
    };
    const DWORD want[8] = {c[0], mid(c[0], c[1]), c[1], mid(c[1], c[2]), c[2], mid(c[2], c[3]), c[3], c[3]};
    for (long x = 0; x < 8; ++x) EXPECT_EQ(px(dst, x, 0), want[x]) << x;
}

TEST(Resize, ExactHalvingPicksEverySecondPixel)
{
    ModuleScope none(nullptr);
    std::mt19937 rng(zt::test_seed());
    CKrFrameBuffer src = zt::random_buffer(100, 100, rng), dst;
    ASSERT_EQ(src.SizeChange(&dst, 50, 50), 0);
    for (long y = 0; y < 50; ++y)
        for (long x = 0; x < 50; ++x) ASSERT_EQ(px(dst, x, y), px(src, 2 * x, 2 * y)) << x << "," << y;
}

TEST(Resize, ScaleSizesTruncateAndBadArgumentsFail)
{
    ModuleScope none(nullptr);
    CKrFrameBuffer src(101, 51, 1), dst(3, 3, 1), empty;
    ASSERT_EQ(src.SizeChangeScale(&dst, 0.5f, 0.5f), 0);
    EXPECT_EQ(dst.GetWH(), CSize(50, 25));

    EXPECT_EQ(src.SizeChange(&dst, 0, 10), -1);
    EXPECT_EQ(src.SizeChange(&dst, 10, -1), -1);
    EXPECT_EQ(src.SizeChange(nullptr, 10, 10), -1);
    EXPECT_EQ(src.SizeChangeScale(&dst, 0.0f, 1.0f), -1);
    EXPECT_EQ(src.SizeChangeScale(&dst, 1.0f, -1.0f), -1);
    EXPECT_EQ(src.SizeChangeScale(&dst, 1e30f, 1.0f), -1);
    EXPECT_EQ(empty.SizeChange(&dst, 10, 10), -1);
    EXPECT_EQ(empty.SizeChangeScale(&dst, 1.0f, 1.0f), -1);

    // A scale that rounds a side to nothing leaves the target empty and fails.
    EXPECT_EQ(src.SizeChangeScale(&dst, 0.001f, 1.0f), -1);
    EXPECT_EQ(dst.IsBuffer(), 1);
}

TEST(Resize, ResizingABufferIntoItself)
{
    ModuleScope none(nullptr);
    CKrFrameBuffer fb(4, 1, 1);
    for (long x = 0; x < 4; ++x) set_px(fb, x, 0, 0x10101010u * static_cast<DWORD>(x));
    CKrFrameBuffer want;
    ASSERT_EQ(fb.SizeChange(&want, 8, 2), 0);
    ASSERT_EQ(fb.SizeChange(&fb, 8, 2), 0);
    EXPECT_EQ(zt::diff_pixels(fb, want), 0);
}

TEST(Resize, ModuleGetsSupersamplingToShrinkAndCubicToGrow)
{
    ModuleScope fake(ZORVIK_FAKE_RESIZE_MODULE_PATH);
    HMODULE m = AfxGetZorvikApp()->GetResizeModule();
    ASSERT_NE(m, nullptr);
    auto last = reinterpret_cast<void (*)(int*, double*, double*, int*, int*)>(GetProcAddress(m, "fake_resize_last"));
    auto set_status = reinterpret_cast<void (*)(int)>(GetProcAddress(m, "fake_resize_set_status"));
    ASSERT_TRUE(last && set_status);
    set_status(0);

    struct Case { long w, h; int interpolation; } cases[] = {
        {50, 40, 8}, {100, 80, 8}, {50, 80, 8}, {101, 40, 4}, {50, 81, 4}, {200, 160, 4}};
    CKrFrameBuffer src(100, 80, 1), dst;
    for (const Case& c : cases) {
        ASSERT_EQ(src.SizeChange(&dst, c.w, c.h), 0);
        int interpolation, w, h;
        double xf, yf;
        last(&interpolation, &xf, &yf, &w, &h);
        EXPECT_EQ(interpolation, c.interpolation) << c.w << "x" << c.h;
        EXPECT_EQ(w, c.w);
        EXPECT_EQ(h, c.h);
        EXPECT_DOUBLE_EQ(xf, static_cast<double>(c.w) / 100.0);
        EXPECT_DOUBLE_EQ(yf, static_cast<double>(c.h) / 80.0);
        EXPECT_EQ(px(dst, 0, 0), 0x5A5A5A5Au);
    }
    set_status(-6);
    EXPECT_EQ(src.SizeChange(&dst, 30, 30), -1);
    set_status(0);
}

TEST(Resize, BundledModuleAveragesWhenShrinkingAndKeepsFlatAreasWhenGrowing)
{
    ModuleScope real(ZORVIK_RESIZE_MODULE_PATH);
    ASSERT_NE(AfxGetZorvikApp()->GetResizeRoutine(), nullptr);
    CKrFrameBuffer src(4, 2, 1), dst;
    const DWORD c[4] = {0x10203040, 0x30405060, 0xFF000000, 0x01FFFFFF};
    for (long x = 0; x < 4; ++x) {
        set_px(src, x, 0, c[x]);
        set_px(src, x, 1, c[x]);
    }
    ASSERT_EQ(src.SizeChange(&dst, 2, 1), 0);
    EXPECT_EQ(px(dst, 0, 0), 0x20304050u);  // the mean of each 2 × 2 block
    EXPECT_EQ(px(dst, 1, 0), 0x80808080u);

    CKrFrameBuffer flat(7, 5, 1), big;
    flat.ClearCol(0xC0406080);
    ASSERT_EQ(flat.SizeChange(&big, 23, 11), 0);
    for (long y = 0; y < 11; ++y)
        for (long x = 0; x < 23; ++x) ASSERT_EQ(px(big, x, y), 0xC0406080u);

    // Growing by a whole factor puts every source pixel exactly on the centre of its block.
    std::mt19937 rng(zt::test_seed());
    CKrFrameBuffer noise = zt::random_buffer(16, 16, rng), up;
    ASSERT_EQ(noise.SizeChange(&up, 48, 48), 0);
    ASSERT_EQ(up.GetWH(), CSize(48, 48));
    for (long y = 0; y < 16; ++y)
        for (long x = 0; x < 16; ++x) ASSERT_EQ(px(up, 3 * x + 1, 3 * y + 1), px(noise, x, y)) << x << "," << y;
}

// The module beside the library is used only when ZORVIK_RESIZE_MODULE names it: by default
// every resize is the exact resampler's.
TEST(Resize, StartUpLoadsTheModuleOnlyWhenNamed)
{
    const char* saved = std::getenv("ZORVIK_RESIZE_MODULE");
    const std::string before = saved ? saved : "";
    struct Case {
        const char* value;  // null: unset
        bool loaded;
    } cases[] = {{nullptr, false}, {"", false}, {"none", false}, {ZORVIK_RESIZE_MODULE_PATH, true},
                 {"/nowhere/libzorvik_resize.so", false}};
    CZorvikApp* app = AfxGetZorvikApp();
    for (const Case& c : cases) {
        if (c.value) {
            setenv("ZORVIK_RESIZE_MODULE", c.value, 1);
        } else {
            unsetenv("ZORVIK_RESIZE_MODULE");
        }
        app->ExitInstance();
        app->InitInstance();
        EXPECT_EQ(app->GetResizeRoutine() != nullptr, c.loaded) << (c.value ? c.value : "(unset)");
    }
    if (saved) {
        setenv("ZORVIK_RESIZE_MODULE", before.c_str(), 1);
    } else {
        unsetenv("ZORVIK_RESIZE_MODULE");
    }
    app->ExitInstance();
    app->InitInstance();
}
