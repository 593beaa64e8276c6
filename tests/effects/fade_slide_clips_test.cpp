// Clips for a person to look at, not a check: program out recorded while every fade mode and
// slides in all eight directions play over sample pictures. Disabled by default; run through
// scripts/record-fades-slides.sh, which writes out/fades.mkv and out/slides.mkv; run by hand
// (build/release/bin/test_effects --gtest_also_run_disabled_tests --gtest_filter='FadeSlideClips.*')
// the clips go to the folder ZORVIK_CLIPS_OUT names, or to the build's test folder.
#include <gtest/gtest.h>

#include <string>

#include "effects/clip_recording.h"
#include "effects/fade_slide_fixture.h"
#include "imagefile/img_file.h"
#include "platform/board/output_stage.h"
#include "platform/testing/board.h"

namespace {

class FadeSlideClips : public zt::FadeSlideTest {
protected:
    void SetUp() override
    {
        zt::FadeSlideTest::SetUp();
        if (HasFatalFailure()) return;
        board().journal().set_pixel_checksums(false);
        // Bank 0 is the picture on air, bank 1 the one to come, bank 2 a caption with its key,
        // bank 3 a third picture; the base is what bank 0 returns to before each effect.
        load(0, "fullhd_1920.jpg");
        load(1, "garden.jpg");
        load(2, "caption_key.tga");
        load(3, "landscape.bmp");
        base = bank(0);
    }

    void load(int b, const char* name)
    {
        CImgFile file;
        ASSERT_EQ(file.LoadImage(CString(ZORVIK_SAMPLES "/") + name), 0) << name;
        ASSERT_EQ(file.GetImg()->SizeChange(banks.GetGfb(b), 720, 486), 0) << name;
    }

    // Bank 0 and the air back to the base picture, held for a few fields.
    void show_base()
    {
        *banks.GetGfb(0) = base;
        ASSERT_EQ(graph->GfbFrWriteBuff(base.GetBufferByte(), 720, 486, 0, 0, 720, 486, 0, 0), 0);
        ASSERT_TRUE(board().step_fields(20));
    }

    void start(const char* file)
    {
        path = zt::clip_path(file);
        zt::start_clip(shared_board(), path);
    }
    void finish() { zt::finish_clip(shared_board(), path); }

    CKrFrameBuffer base;
    std::string path;
};

TEST_F(FadeSlideClips, DISABLED_EveryFadeMode)
{
    start("fades.mkv");
    // One second each on the middle of the picture: fade in of the garden, fade out of the base,
    // out then in, the caption dissolved over the base, and a cross-dissolve to the garden.
    const int source[5] = {1, 1, 1, 2, 1};
    for (int mode = 0; mode < 5; ++mode) {
        show_base();
        ASSERT_EQ(fade->FadeSet(mode, mode, 30, 0, 0, 120, 90, 480, 306, source[mode]), 1);
        ASSERT_EQ(fade->CFadeStart(), 1);
        ASSERT_TRUE(board().step_fields(62));
        EXPECT_EQ(fade->GetActive(), 0);
        fade->FadeEndCopy();
        fade->CFadeResetAll();
        ASSERT_TRUE(board().step_fields(20));
    }
    finish();
}

TEST_F(FadeSlideClips, DISABLED_SlidesInEveryDirection)
{
    start("slides.mkv");
    // The base slides out and the garden in, in each direction over 20 frames; then a revealed
    // picture, a slide in over what stays, and solid colours, in the diagonals.
    struct Move {
        int type, direction, in_bank;
    };
    const Move moves[] = {{3, 0, 1}, {3, 1, 1}, {3, 2, 1}, {3, 3, 1}, {3, 4, 1},  {3, 5, 1},
                          {3, 6, 1}, {3, 7, 1}, {2, 4, 3}, {1, 5, 3}, {-3, 6, 0}, {-4, 7, 0}};
    for (const Move& m : moves) {
        show_base();
        ASSERT_EQ(slide->SlideSet(1, m.type, m.direction, 20, 0, 0, 0, 120, 90, 480, 306, m.in_bank, 120, 90,
                                  0xFF2040C0u, 0),
                  0);
        zk::IdlePump pump(board());
        ASSERT_EQ(slide->SlideGo(), 0);
        pump.stop();
        ASSERT_TRUE(board().step_fields(20));
    }
    finish();
}

} // namespace
