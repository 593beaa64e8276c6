// Clips for a person to look at, not a check: program out recorded while a still moves and
// scales through the fifteen presets, slides in every direction, and wipes run forward and
// backward with a border. Disabled by default; run through scripts/record-wipes-dve.sh, which
// writes out/dve_presets.mkv, out/dve_slides.mkv and out/wipes.mkv; run by hand the clips go
// to the folder ZORVIK_CLIPS_OUT names, or to the build's test folder.
//
// The mixer composes program out: background generator 2 in blue, Fiesta channel 0 holding
// the landscape (the picture below), Fiesta channel 1 the garden, moved by 2D DVE action 0 and
// slide 0 and wiped in and out by wipe unit 0.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "effects/wipe_dve_fixture.h"
#include "imagefile/img_file.h"
#include "platform/board/output_stage.h"
#include "support/test_support.h"

namespace {

constexpr DWORD kBlue = 0xFF203060u;
constexpr DWORD kYellow = 0xFFFFD000u;

class WipeDveClips : public zt::WipeDveTest {
protected:
    void SetUp() override
    {
        zt::WipeDveTest::SetUp();
        if (HasFatalFailure()) return;
        const MQVIDFX_BACKGROUND_KEYFRAME background = zk::fx::background_record(1, kBlue);
        ASSERT_EQ(graph->SendKeyframeBGen2(&background), S_OK);
        put(0, "landscape.bmp");
        put(1, "garden.jpg");
    }

    // A sample picture, at the channel's size and opaque, into Fiesta channel `ch`.
    void put(long ch, const char* name)
    {
        CImgFile file;
        ASSERT_EQ(file.LoadImage(CString(ZORVIK_SAMPLES "/") + name), 0) << name;
        CKrFrameBuffer picture;
        ASSERT_EQ(file.GetImg()->SizeChange(&picture, 720, 486), 0) << name;
        DWORD* p = picture.GetBufferDWord();
        for (long i = 0; i < 720 * 486; ++i) p[i] |= 0xFF000000u;
        EXPECT_EQ(pumped([&] { return graph->PutFiesta(ch, p, 720, 486, 0, 0, 720, 486, 0, 0); }), 0) << name;
    }

    void start(const char* file)
    {
        const char* dir = std::getenv("ZORVIK_CLIPS_OUT");
        path = dir ? std::string(dir) + "/" + file : zt::temp_path(file);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::filesystem::remove(path);
        if (now() % 2 == 1) {
            ASSERT_TRUE(board().step_fields(1)); // begin on a first field
        }
        zk::RecorderSettings settings;
        settings.video_path = path;
        zk::OutputStage& stage = zk::output_stage(shared_board());
        ASSERT_EQ(stage.start_recording(settings), zk::kRecorderOk) << stage.recording_error();
        ASSERT_TRUE(board().step_fields(10));
    }

    void finish()
    {
        ASSERT_TRUE(board().step_fields(now() % 2 == 1 ? 11 : 10));
        zk::OutputStage& stage = zk::output_stage(shared_board());
        ASSERT_EQ(stage.stop_recording(), zk::kRecorderOk) << stage.recording_error();
        std::printf("wrote %s (%lld frames)\n", path.c_str(), stage.recording_counts().frames);
    }

    // Steps fields until `running()` is false, then holds for `hold` fields.
    template <class F>
    void play(F&& running, int hold)
    {
        for (int f = 0; f < 1000 && running(); ++f) ASSERT_TRUE(board().step_fields(1));
        EXPECT_FALSE(running());
        ASSERT_TRUE(board().step_fields(hold));
    }

    std::string path;
};

TEST_F(WipeDveClips, DISABLED_StillThroughTheFifteenPresets)
{
    start("dve_presets.mkv");
    // Each preset: the garden grows from the preset's point, line or edge to the full picture
    // over 24 fields, holds, shrinks back over 24 fields, and waits collapsed.
    for (long pattern = 0; pattern < 15; ++pattern) {
        for (long out : {0L, 1L}) {
            ASSERT_EQ(actions.Set2DPtn(pattern, out, 24, 0), 1);
            ASSERT_EQ(actions.Start2DDveAct(0), 1);
            play([&] { return actions.GetActState(0) != 0; }, out ? 6 : 10);
        }
    }
    finish();
}

TEST_F(WipeDveClips, DISABLED_SlidesInEveryDirection)
{
    start("dve_slides.mkv");
    // In each direction the garden, in a 4-pixel yellow border, arrives over 30 fields, holds,
    // and leaves the same way over 30 fields.
    for (long direction = 0; direction < 8; ++direction) {
        for (long in : {1L, 0L}) {
            ASSERT_EQ(slides.DveSlideSet(0, direction, in, 4, kYellow, 30), 0);
            ASSERT_EQ(slides.DveSlideStart(0), 0);
            play([&] { return slides.GetDveSlideState(0) != 0; }, in ? 12 : 6);
        }
    }
    finish();
}

TEST_F(WipeDveClips, DISABLED_WipesForwardAndBackwardWithABorder)
{
    ASSERT_EQ(graph->WipeBorderSet0(1, kYellow), 0);
    start("wipes.mkv");
    // Horizontal, vertical, box and circle, then the box and circle reversed: the garden wipes
    // in over the landscape in 40 fields with a 6-pixel border, holds, and wipes out backward.
    struct Wipe {
        unsigned long pattern, modifier;
    };
    const Wipe wipes_played[] = {{1, 0}, {2, 0}, {101, 0}, {102, 0}, {101, 1}, {102, 1}};
    ASSERT_EQ(wipes.WipeSet(0, 1, 0, 0, 6, 0, 0, 40), 0); // the garden hidden to begin with
    ASSERT_TRUE(board().step_fields(10));
    for (const Wipe& w : wipes_played) {
        for (unsigned long backward : {0ul, 1ul}) {
            ASSERT_EQ(wipes.WipeSet(0, w.pattern, w.modifier, 0, 6, 0, backward, 40), 0);
            ASSERT_EQ(wipes.WipeStart(0), 0);
            play([&] { return wipes.GetWipeState(0) != 0; }, 12);
        }
    }
    finish();
}

} // namespace
