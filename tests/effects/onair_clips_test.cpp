// Clips for people to look at, not checks: an animation with a hold and passes (and one laid
// over a plate it shares the screen with), and running clocks, played on air over a moving
// background and recorded from program out as Matroska files. Disabled by default; the script
// scripts/record-anime-clock.sh runs them with
//   build/release/bin/test_effects --gtest_also_run_disabled_tests --gtest_filter='OnAirClips.*'
// writing into $ZORVIK_CLIPS_DIR (default: out/ of the source tree).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "effects/effect_shell_fixture.h"
#include "effects/kr_anime_ctr.h"
#include "effects/kr_tm_proc.h"
#include "onair/kr_gfb.h"
#include "platform/board/output_stage.h"

namespace {

// Program out as the mixer would give it with a studio picture behind the graphics: a slowly
// moving backdrop, the graphics laid over it by their key.
class BackdropComposer final : public zk::OutputComposer {
public:
    void compose(long long field, const zk::GraphicsArea& g, zk::OutputPicture& program, zk::OutputPicture& preview) override
    {
        const auto t = static_cast<std::uint32_t>(field);
        for (int y = 0; y < program.height; ++y) {
            for (int x = 0; x < program.width; ++x) {
                const auto ux = static_cast<std::uint32_t>(x), uy = static_cast<std::uint32_t>(y);
                const bool stripe = ((ux + uy + t * 2) / 40) % 2 == 0;
                const std::uint32_t r = 20 + uy * 60 / 486, gr = 40 + ux * 50 / 720 + (stripe ? 12 : 0),
                                    b = 90 + uy * 100 / 486 + (stripe ? 18 : 0);
                std::uint32_t out = 0xFF000000u | r << 16 | gr << 8 | b;
                if (y < g.height && x < g.width) {
                    const std::uint32_t px = g.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(g.stride) +
                                                      static_cast<std::size_t>(x)];
                    const std::uint32_t k = px >> 24;
                    out = 0xFF000000u;
                    for (int shift : {0, 8, 16}) {
                        const std::uint32_t over = px >> shift & 255u, under = (shift == 16 ? r : shift == 8 ? gr : b);
                        out |= ((over * k + under * (255 - k) + 127) / 255) << shift;
                    }
                }
                program.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(program.width) +
                               static_cast<std::size_t>(x)] = out;
            }
        }
        std::fill(preview.pixels.begin(), preview.pixels.end(), 0u);
    }
};

std::string clips_dir()
{
    const char* dir = std::getenv("ZORVIK_CLIPS_DIR");
    const std::string path = dir && *dir ? dir : ZORVIK_SOURCE_DIR "/out";
    std::filesystem::create_directories(path);
    return path;
}

class OnAirClips : public zt::EffectShellTest {
protected:
    void record(const std::string& name)
    {
        zk::OutputStage& stage = zk::output_stage(rig->shared_board());
        stage.set_composer(std::make_shared<BackdropComposer>());
        ASSERT_TRUE(board().step_fields(board().current_field() % 2)); // to a first field
        zk::RecorderSettings settings;
        settings.video_path = clips_dir() + "/" + name;
        ASSERT_EQ(stage.start_recording(settings), zk::kRecorderOk) << stage.recording_error();
        std::printf("recording %s\n", settings.video_path.c_str());
    }
    void finish()
    {
        ASSERT_TRUE(board().step_fields(board().current_field() % 2)); // to a first field
        zk::OutputStage& stage = zk::output_stage(rig->shared_board());
        ASSERT_EQ(stage.stop_recording(), zk::kRecorderOk) << stage.recording_error();
        std::printf("%lld frames\n", stage.recording_counts().frames);
    }
};

TEST_F(OnAirClips, DISABLED_AnimationWithHoldAndPasses)
{
    CKrGfb banks;
    CKrAnimeCtr anime;
    anime.Initial(rig->graph.get(), &banks);
    zt::FieldHarness vsync(*rig->graph, [&](unsigned long f) { anime.AnimeEventSet(f); });
    ASSERT_TRUE(vsync.ok());

    // A plate on the right, drawn into bank 1 and shown; the second spinner is laid over it.
    const POINT plate_at{420, 260};
    ASSERT_EQ(banks.SetBankWrite(1), 1);
    CBox box;
    ASSERT_EQ(banks.BoxFill(plate_at.x - 40, plate_at.y - 30, 240, 180, 0xE0C03020u, &box), 0);
    ASSERT_EQ(rig->graph->GfbFrWriteBuff(banks.GetGfbBuff(1), 720, 486, box.x, box.y, box.width, box.height, box.x,
                                         box.y),
              0);

    std::string pattern = ZORVIK_SAMPLES "/anime/spin%03d.tga";
    std::string strip = ZORVIK_SAMPLES "/anime/spin_strip.tga";
    // Spinner 0 on the left: every frame held two more fields, three passes, after half a second.
    ASSERT_EQ(anime.CAnimeSet1(0, 24, 0, POINT{0, 0}, 160, 120, 0, POINT{80, 80}), 1);
    ASSERT_EQ(anime.CAnimeLoad(0, 0, -1, 0, pattern.data(), 0), 1);
    ASSERT_EQ(anime.CAnimeSet2(0, 3, 30, 2, 0), 1);
    // Spinner 1 over the plate, from the stacked file, endless until stopped at its cycle's end.
    ASSERT_EQ(anime.CAnimeSet1(1, 24, 0, POINT{0, 0}, 160, 120, 0, plate_at), 1);
    ASSERT_EQ(anime.CAnimeLoad_AniImg(1, 1, 1, strip.data()), 1);
    ASSERT_EQ(anime.CAnimeSet2(1, 0, 0, 0, 0), 1);

    record("anime_hold_passes.mkv");
    // Started on a second field, each frame's two writes are the two fields of one recorded
    // frame (first field first), so stills of the clip show whole frames.
    ASSERT_TRUE(board().step_fields(1));
    ASSERT_EQ(anime.CAnimeStart(), 1);
    ASSERT_TRUE(board().step_fields(120));
    ASSERT_EQ(anime.CAnimeStop(1), 1);
    // An endless animation makes the wait answer 2 at once until it has played its cycle out.
    EXPECT_EQ(anime.AnimeWait(), 2);
    ASSERT_TRUE(zt::step_until(board(), [&] { return !anime.playing(1); }, 100));
    {
        zk::IdlePump pump(board());
        EXPECT_EQ(anime.AnimeWait(), 0);
    }
    ASSERT_TRUE(board().step_fields(30)); // the last frames stay
    finish();
}

TEST_F(OnAirClips, DISABLED_RunningClocksOverABackground)
{
    CKrTmProc clocks;
    ASSERT_EQ(clocks.Initial(rig->graph.get()), 0);
    zt::FieldHarness vsync(*rig->graph, [&](unsigned long f) { clocks.TimerEventSet(f); });
    ASSERT_TRUE(vsync.ok());
    std::string path = ZORVIK_SAMPLES "/clock/clk.tga";
    auto* p = reinterpret_cast<unsigned char*>(path.data());
    // Clock 0: hours, minutes and seconds, counting up through the hour at the right edge.
    ASSERT_EQ(clocks.SetTimerData(0, p, 1, 700, 40), 0);
    ASSERT_EQ(clocks.SetTmTime(0, 0, 59, 55, 0), 0);
    // Clock 1: a count-down from five seconds, which blanks its minute tens and stops at 0:00.
    ASSERT_EQ(clocks.SetTimerData(1, p, 0, 60, 400), 0);
    ASSERT_EQ(clocks.SetTmCountDown(1), 0);
    ASSERT_EQ(clocks.SetTmTime(1, 0, 0, 5, 0), 0);
    record("clock_running.mkv");
    ASSERT_EQ(clocks.DispTmOn(0), 0);
    ASSERT_EQ(clocks.DispTmOn(1), 0);
    ASSERT_EQ(clocks.SetTmStart(0), 0);
    ASSERT_EQ(clocks.SetTmStart(1), 0);
    ASSERT_TRUE(board().step_fields(300));
    // Half a second back, then on again: the faces follow at once.
    ASSERT_EQ(clocks.SetTmAdvTime(0, -5), 0);
    ASSERT_TRUE(board().step_fields(240));
    finish();
}

} // namespace
