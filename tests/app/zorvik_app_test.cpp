// The application object and the frame buffer's resize slot: what the object loads is what
// every resize uses, and nothing it released is used any more.
#include <gtest/gtest.h>

#include "app/zorvik_app.h"
#include "framebuffer/kr_frame_buffer.h"
#include "framebuffer/resize_routine.h"
#include "support/test_support.h"

namespace {

constexpr DWORD kFakeMarker = 0x5A5A5A5Au;  // what the stand-in module fills its target with

// A 2 × 1 picture grown to 4 × 1: the module fills it with its marker, the library's own
// resampler interpolates between the two colours.
DWORD resized_corner()
{
    CKrFrameBuffer src(2, 1, 1), dst;
    zt::set_px(src, 0, 0, 0xFF000000u);
    zt::set_px(src, 1, 0, 0xFF204060u);
    EXPECT_EQ(src.SizeChange(&dst, 4, 1), 0);
    return zt::px(dst, 0, 0);
}

struct Released {
    ~Released() { AfxGetZorvikApp()->UnloadResizeModule(); }
};

} // namespace

TEST(ZorvikApp, ALoadedModuleIsWhatEveryResizeUsesUntilItIsReleased)
{
    Released after;
    CZorvikApp* app = AfxGetZorvikApp();
    ASSERT_TRUE(app->LoadResizeModule(ZORVIK_FAKE_RESIZE_MODULE_PATH));
    EXPECT_NE(app->GetResizeModule(), nullptr);
    ASSERT_NE(zk::resize_routine(), nullptr);
    EXPECT_EQ(app->GetResizeRoutine(), zk::resize_routine());
    EXPECT_EQ(resized_corner(), kFakeMarker);

    app->UnloadResizeModule();
    EXPECT_EQ(app->GetResizeModule(), nullptr);
    EXPECT_EQ(zk::resize_routine(), nullptr);
    EXPECT_EQ(app->GetResizeRoutine(), nullptr);
    EXPECT_EQ(resized_corner(), 0xFF000000u);
}

class ZorvikAppFailedLoad : public ::testing::TestWithParam<const char*> {};

// A load that fails leaves nothing in use, not even the module that was loaded before it.
TEST_P(ZorvikAppFailedLoad, LeavesNoModuleAndNoRoutine)
{
    Released after;
    CZorvikApp* app = AfxGetZorvikApp();
    ASSERT_TRUE(app->LoadResizeModule(ZORVIK_FAKE_RESIZE_MODULE_PATH));
    EXPECT_FALSE(app->LoadResizeModule(GetParam()));
    EXPECT_EQ(app->GetResizeModule(), nullptr);
    EXPECT_EQ(zk::resize_routine(), nullptr);
    EXPECT_NE(resized_corner(), kFakeMarker);
}

INSTANTIATE_TEST_SUITE_P(Paths, ZorvikAppFailedLoad,
                         ::testing::Values(nullptr, "", ZORVIK_TEST_TMP "/no-such-resize-module.so"));
