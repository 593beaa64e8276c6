// Clips for a person to look at, not a check: program out recorded while a tall caption rolls
// (2000 lines) and a long one crawls (4000 columns), each at a slow and a fast step, and while
// the frame-buffer push replaces one picture with another in its four directions. The captions
// carry one-pixel rules between their lines, so a torn line, a jump at a field boundary or a
// stray row shows. Program out is the graphics over a still backdrop. Disabled by default; run
// through scripts/record-rolls.sh, which writes out/roll_slow.mkv, out/roll_fast.mkv,
// out/crawl_slow.mkv, out/crawl_fast.mkv and out/pushes.mkv; run by hand
// (build/release/bin/test_effects --gtest_also_run_disabled_tests --gtest_filter='RollClips.*')
// the clips go to the folder ZORVIK_CLIPS_OUT names, or to the build's test folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "draw/kr_font_draw.h"
#include "effects/clip_recording.h"
#include "effects/roll_fixture.h"
#include "imagefile/img_file.h"
#include "platform/board/output_stage.h"

namespace {

// Program out: a still blue-grey backdrop with the graphics laid over it by their key.
class BackdropComposer final : public zk::OutputComposer {
public:
    void compose(long long, const zk::GraphicsArea& g, zk::OutputPicture& program, zk::OutputPicture& preview) override
    {
        for (int y = 0; y < program.height; ++y) {
            for (int x = 0; x < program.width; ++x) {
                const std::uint32_t under[3] = {static_cast<std::uint32_t>(70 + 90 * y / 486), // blue
                                                static_cast<std::uint32_t>(50 + 40 * x / 720), 40u};
                const std::uint32_t pixel = g.pixels[static_cast<size_t>(y) * static_cast<size_t>(g.stride) +
                                                     static_cast<size_t>(x)];
                const std::uint32_t key = pixel >> 24;
                std::uint32_t out = 0xFF000000u;
                for (int c = 0; c < 3; ++c) {
                    const std::uint32_t over = pixel >> (8 * c) & 255u;
                    out |= ((over * key + under[c] * (255 - key) + 127) / 255) << (8 * c);
                }
                program.pixels[static_cast<size_t>(y) * static_cast<size_t>(program.width) + static_cast<size_t>(x)] = out;
            }
        }
        std::fill(preview.pixels.begin(), preview.pixels.end(), 0u);
    }
};

class RollClips : public zt::RollTest {
protected:
    void start(const char* file)
    {
        zk::output_stage(shared_board()).set_composer(std::make_shared<BackdropComposer>());
        path = zt::clip_path(file);
        zt::start_clip(shared_board(), path);
    }
    void finish() { zt::finish_clip(shared_board(), path); }
    // Runs the roll as set for at most `fields` fields, breaks it off if it still runs, and
    // holds the end for half a second.
    void roll_for(long fields)
    {
        ASSERT_EQ(roll->StartRoll(), 1);
        for (long n = 0; n < fields && roll->GetStateRoll(); ++n) ASSERT_TRUE(board().step_fields(1));
        roll->BreakRoll();
        ASSERT_TRUE(board().step_fields(30));
        ASSERT_EQ(roll->GetStateRoll(), 0);
    }
    // Clears what is on air (bank and graphics) between clips.
    void clear_air()
    {
        banks.ScreenClear(banks.GetBankOa(), nullptr);
        ASSERT_EQ(graph->GfbFrWriteBuff(banks.GetGfbBuff(banks.GetBankOa()), 720, 486, 0, 0, 720, 486, 0, 0), 0);
    }

    // White text with a dark edge and a soft shadow.
    static void text(CKrFrameBuffer& fb, long x, long y, long size, const char* s)
    {
        CKrFontDraw d;
        d.Initial(nullptr);
        d.SetSize(size, 100);
        d.SetPos(x, y);
        d.SetBodyCol(0xFFFFFFFFu);
        d.SetEdgeCol(0xFF102040u);
        d.SetShadCol(0x90000000u);
        d.SetEdgeType(1, 3, 0);
        d.SetShadType(2, 3, 3, 0);
        CBox box;
        EXPECT_EQ(d.FontDisp(s, &fb, &box), 0) << s;
    }
    static void fill(CKrFrameBuffer& fb, long x, long y, long w, long h, DWORD colour)
    {
        for (long j = y; j < y + h; ++j)
            for (long i = x; i < x + w; ++i) zt::set_px(fb, i, j, colour);
    }
    // The tall caption: a title, then numbered lines each under a one-pixel rule, on a clear
    // background with a half-transparent plate behind every line.
    static CKrFrameBuffer tall_caption()
    {
        CKrFrameBuffer fb(720, 2000, 1);
        text(fb, 150, 120, 60, "ロール見本");
        char line[64];
        for (int i = 0; i < 20; ++i) {
            const long y = 180 + 90L * i;
            fill(fb, 80, y, 560, 1, 0xFFFFFFFFu);
            fill(fb, 80, y + 8, 560, 60, 0x60000000u);
            std::snprintf(line, sizeof line, "第%02d行　テロップの動き", i + 1);
            text(fb, 100, y + 58, 40, line);
        }
        return fb;
    }
    // The long caption: a half-transparent band in the lower third with text along it and a
    // one-pixel upright rule every 250 columns.
    static CKrFrameBuffer long_caption()
    {
        CKrFrameBuffer fb(4000, 486, 1);
        fill(fb, 0, 370, 4000, 80, 0x80000040u);
        char line[64];
        for (int i = 0; i < 16; ++i) {
            fill(fb, 250L * i, 370, 1, 80, 0xFFFFFFFFu);
            std::snprintf(line, sizeof line, "ニュース%02d", i + 1);
            text(fb, 250L * i + 20, 432, 44, line);
        }
        return fb;
    }

    std::string path;
};

TEST_F(RollClips, DISABLED_RollOfATallCaption)
{
    CKrFrameBuffer caption = tall_caption();
    // Slow: 1.5 pixels a field into a clear screen for ten seconds, then broken off.
    start("roll_slow.mkv");
    ASSERT_EQ(roll->SetRoll(&caption, 15, 1, 1), 1);
    roll_for(600);
    finish();
    // Fast: from the first screen to the last at 9.5 pixels a field (sub-pixel pictures), then at
    // 8 pixels a field (the frame buffer scrolls).
    clear_air();
    start("roll_fast.mkv");
    ASSERT_EQ(roll->SetRoll(&caption, 95, 1, 0), 1);
    roll_for(1000);
    ASSERT_EQ(roll->SetRoll(&caption, 80, 1, 0), 1);
    roll_for(1000);
    finish();
}

TEST_F(RollClips, DISABLED_CrawlOfALongCaption)
{
    CKrFrameBuffer caption = long_caption();
    // Slow: 1.5 pixels a field in from the right edge for ten seconds, then broken off.
    start("crawl_slow.mkv");
    ASSERT_EQ(roll->SetRoll(&caption, 15, 0, 2), 1);
    roll_for(600);
    finish();
    // Fast: the whole caption from its first screen at the cap, 24 pixels a field.
    clear_air();
    start("crawl_fast.mkv");
    ASSERT_EQ(roll->SetRoll(&caption, 240, 0, 0), 1);
    roll_for(1000);
    finish();
}

TEST_F(RollClips, DISABLED_PushesInEveryDirection)
{
    CImgFile a, b;
    ASSERT_EQ(a.LoadImage(CString(ZORVIK_SAMPLES "/garden.jpg")), 0);
    ASSERT_EQ(b.LoadImage(CString(ZORVIK_SAMPLES "/landscape.bmp")), 0);
    start("pushes.mkv");
    // Each roll mode in a direction of its own, half a second each, the pictures taking turns.
    const long moves[][2] = {{3, 0}, {2, 1}, {1, 2}, {0, 3}, {-3, 2}, {-1, 1}};
    for (int i = 0; i < 6; ++i) {
        ASSERT_EQ(a.GetImg()->SizeChange(banks.GetGfb(banks.GetBankOa()), 720, 486), 0);
        ASSERT_EQ(b.GetImg()->SizeChange(banks.GetGfb(banks.GetBankNext()), 720, 486), 0);
        if (i % 2) std::swap(*banks.GetGfb(banks.GetBankOa()), *banks.GetGfb(banks.GetBankNext()));
        ASSERT_EQ(graph->GfbFrWriteBuff(banks.GetGfbBuff(banks.GetBankOa()), 720, 486, 0, 0, 720, 486, 0, 0), 0);
        ASSERT_TRUE(board().step_fields(20));
        ASSERT_EQ(push->GfbRoll(moves[i][0], moves[i][1], 30, 0), 1);
        ASSERT_TRUE(board().step_fields(50));
        EXPECT_EQ(push->CheckRollEnd(), 0);
    }
    finish();
}

} // namespace
