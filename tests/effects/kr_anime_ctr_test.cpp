// The animation controller: its refusals and their texts, the loaders (numbered files named by
// a caller's pattern, one stacked file, resizing, layering with a bank) and saving; then on
// air, where the journal is read first: which frame reaches which field with delay, hold and
// passes, the two stop rules, the wait's answers, reloading a playing strip, all 32 slots at
// once, and no thread left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "effects/effect_shell_fixture.h"
#include "effects/kr_anime_ctr.h"
#include "imagefile/targa_image.h"
#include "onair/kr_gfb.h"
#include "platform/testing/board.h"
#include "support/test_support.h"

namespace {

constexpr long kSpinW = 160, kSpinH = 120;

std::string spin_path(int k)
{
    char name[64];
    std::snprintf(name, sizeof name, ZORVIK_SAMPLES "/anime/spin%03d.tga", k);
    return name;
}

CKrFrameBuffer load(const std::string& path)
{
    CKrFrameBuffer fb;
    CKrTargaImage tga;
    CString name(path);
    EXPECT_EQ(tga.LoadImage(&name, &fb), 0) << path;
    return fb;
}

// Frame k of a strip of frames `h` high.
CKrFrameBuffer frame_of(const CKrFrameBuffer& strip, long k, long h)
{
    CKrFrameBuffer f(static_cast<long>(strip.GetWidth()), h, 1);
    f.FbCopy(const_cast<CKrFrameBuffer*>(&strip), 0, k * h, static_cast<long>(strip.GetWidth()), h, 0, 0, 0, nullptr);
    return f;
}

// A picture laid by its key over transparent black, as a frame holds it after a load.
CKrFrameBuffer laid(const CKrFrameBuffer& picture, long w, long h)
{
    CKrFrameBuffer f(w, h, 1);
    f.FbCopy(const_cast<CKrFrameBuffer*>(&picture), 0, 0, w, h, 0, 0, 1, nullptr);
    return f;
}

bool all_zero(const CKrFrameBuffer& fb)
{
    for (unsigned long i = 0; i < fb.GetWidth() * fb.GetHeight(); ++i)
        if (fb.GetBufferDWord()[i] != 0) return false;
    return true;
}

char* text(std::string& s)
{
    return s.data();
}

// ---- refusals and loading: no board needed ----

TEST(AnimeSet, RefusesInOrderWithItsTextsAndMakesAZeroStrip)
{
    zt::MessageLog messages;
    CKrAnimeCtr anime;
    const struct {
        int no, frames, w, h;
        const char* text;
    } refused[] = {
        {32, 10, 100, 50, "AnimeNo Err[32]"},     {-1, 10, 100, 50, "AnimeNo Err[-1]"},
        {3, 0, 100, 50, "AnimeScenc Err[3]"},     {3, 10, 0, 50, "AnimeSizeW Err[3]0"},
        {3, 10, 721, 50, "AnimeSizeW Err[3]721"}, {3, 10, 100, 487, "AnimeSizeH Err[3]487"},
        {3, 10, 100, 0, "AnimeSizeH Err[3]0"},    {3, 4000, 720, 486, "AnimeAlloc Err[3]"},
    };
    for (const auto& r : refused) {
        EXPECT_EQ(anime.CAnimeSet1(r.no, r.frames, 0, POINT{0, 0}, r.w, r.h, 0, POINT{0, 0}), 0) << r.text;
        EXPECT_EQ(messages.take(), std::vector<std::string>{r.text});
        EXPECT_STREQ(anime.GetErrorText(), r.text);
        EXPECT_FALSE(anime.prepared(3));
    }
    ASSERT_EQ(anime.CAnimeSet1(3, 10, 7, POINT{0, 0}, 100, 50, 9, POINT{10, 20}), 1);
    EXPECT_TRUE(messages.take().empty());
    ASSERT_TRUE(anime.prepared(3));
    EXPECT_EQ(anime.strip(3)->GetWidth(), 100u);
    EXPECT_EQ(anime.strip(3)->GetHeight(), 500u);
    EXPECT_TRUE(all_zero(*anime.strip(3)));

    // Slot operations before a slot is prepared, and with numbers out of range.
    std::string file = zt::temp_path("never.tga");
    std::string pattern = file;
    EXPECT_EQ(anime.CAnimeLoad(4, 0, -1, 0, text(pattern), 0), 0);
    EXPECT_EQ(anime.CAnimeLoad_AniImg(4, -1, 0, text(file)), 0);
    EXPECT_EQ(anime.CAnimeSave(4, text(file)), 0);
    EXPECT_EQ(anime.CAnimeSet2(4, 1, 0, 0, 0), 0);
    EXPECT_EQ(messages.take(), std::vector<std::string>(4, "AnimeDataNotInitErr[4]"));
    EXPECT_EQ(anime.CAnimeLoad(40, 0, -1, 0, text(pattern), 0), 0);
    EXPECT_EQ(anime.CAnimeLoad_AniImg(-2, -1, 0, text(file)), 0);
    EXPECT_EQ(anime.CAnimeSave(32, text(file)), 0);
    EXPECT_EQ(anime.CAnimeSet2(99, 1, 0, 0, 0), 0);
    EXPECT_EQ(anime.CAnimeStop(33), 0);
    EXPECT_EQ(messages.take(), (std::vector<std::string>{"AnimeNo Err[40]", "AnimeNo Err[-2]", "AnimeNo Err[32]",
                                                         "AnimeNo Err[99]", "AnimeNo Err[33]"}));
    // Resets refuse silently.
    EXPECT_EQ(anime.CAnimeReset(32), 0);
    EXPECT_EQ(anime.CAnimeReset(4), 0);
    EXPECT_TRUE(messages.take().empty());
    EXPECT_EQ(anime.CAnimeReset(3), 1);
    EXPECT_FALSE(anime.prepared(3));
    EXPECT_TRUE(anime.strip(3)->IsBuffer() != 0);
    EXPECT_EQ(anime.CAnimeStopAll(), 1);
    EXPECT_EQ(anime.AnimeWait(), 1) << "nothing was started";
}

TEST(AnimeLoad, NumberedFilesFromThePatternAndAMissingOne)
{
    zt::MessageLog messages;
    CKrAnimeCtr anime;
    ASSERT_EQ(anime.CAnimeSet1(0, 3, 0, POINT{0, 0}, kSpinW, kSpinH, 0, POINT{0, 0}), 1);
    std::string pattern = ZORVIK_SAMPLES "/anime/spin%03d.tga";
    ASSERT_EQ(anime.CAnimeLoad(0, 5, -1, 0, text(pattern), 0), 1);
    EXPECT_TRUE(messages.take().empty());
    for (int k = 0; k < 3; ++k) {
        std::string where;
        EXPECT_EQ(zt::diff_pixels(frame_of(*anime.strip(0), k, kSpinH), laid(load(spin_path(5 + k)), kSpinW, kSpinH), &where), 0)
            << "frame " << k << " is spin" << 5 + k << " " << where;
    }

    // f005 and f007 in a folder, f006 missing: frame 0 loads, the rest stay empty.
    const std::filesystem::path dir = zt::temp_path("anime_missing");
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    std::filesystem::copy_file(spin_path(5), dir / "f005.tga");
    std::filesystem::copy_file(spin_path(7), dir / "f007.tga");
    ASSERT_EQ(anime.CAnimeSet1(1, 3, 0, POINT{0, 0}, kSpinW, kSpinH, 0, POINT{0, 0}), 1);
    std::string missing = (dir / "f%03d.tga").string();
    EXPECT_EQ(anime.CAnimeLoad(1, 5, -1, 0, text(missing), 0), 0);
    EXPECT_EQ(messages.take(), std::vector<std::string>{"AnimeImageLoadErr[" + (dir / "f006.tga").string() + "]"});
    EXPECT_EQ(zt::diff_pixels(frame_of(*anime.strip(1), 0, kSpinH), laid(load(spin_path(5)), kSpinW, kSpinH)), 0);
    EXPECT_TRUE(all_zero(frame_of(*anime.strip(1), 1, kSpinH)));
    EXPECT_TRUE(all_zero(frame_of(*anime.strip(1), 2, kSpinH)));

    // Patterns this library does not fill are refused whole, named in the message.
    const CKrFrameBuffer before = *anime.strip(0);
    for (std::string bad : {std::string(ZORVIK_SAMPLES "/anime/spin%s.tga"), std::string("spin%03d%d.tga"),
                            std::string("spin.tga"), std::string("spin%n.tga"), std::string("spin%*d.tga"),
                            std::string("spin%lld.tga"), std::string("spin%123d.tga"), std::string("spin%")}) {
        EXPECT_EQ(anime.CAnimeLoad(0, 0, -1, 0, text(bad), 0), 0) << bad;
        EXPECT_EQ(messages.take(), std::vector<std::string>{"AnimeImageLoadErr[" + bad + "]"});
    }
    EXPECT_EQ(anime.CAnimeLoad(0, 0, -1, 0, nullptr, 0), 0);
    EXPECT_EQ(messages.take(), std::vector<std::string>{"AnimeImageLoadErr[]"});
    EXPECT_EQ(zt::diff_pixels(*anime.strip(0), before), 0) << "a refused pattern loads nothing";
}

TEST(AnimeLoad, ResizedOrCutToTheFrame)
{
    CKrAnimeCtr anime;
    std::string pattern = ZORVIK_SAMPLES "/anime/spin%03d.tga";
    CKrFrameBuffer file = load(spin_path(3));
    ASSERT_EQ(anime.CAnimeSet1(0, 1, 0, POINT{0, 0}, 80, 50, 0, POINT{0, 0}), 1);
    ASSERT_EQ(anime.CAnimeLoad(0, 3, -1, 0, text(pattern), 1), 1);
    CKrFrameBuffer small;
    ASSERT_EQ(file.SizeChange(&small, 80, 50), 0);
    EXPECT_EQ(zt::diff_pixels(*anime.strip(0), laid(small, 80, 50)), 0) << "the whole picture, made smaller";

    ASSERT_EQ(anime.CAnimeSet1(1, 1, 0, POINT{0, 0}, 80, 50, 0, POINT{0, 0}), 1);
    ASSERT_EQ(anime.CAnimeLoad(1, 3, -1, 0, text(pattern), 0), 1);
    EXPECT_EQ(zt::diff_pixels(*anime.strip(1), laid(file, 80, 50)), 0) << "the top left of the picture";
}

TEST(AnimeLoad, OneStackedFileFillsTheStripAndIsCutToIt)
{
    zt::MessageLog messages;
    CKrAnimeCtr anime;
    std::string strip_file = ZORVIK_SAMPLES "/anime/spin_strip.tga";
    // 12 frames take the first half of the 24-frame file; nothing beyond the strip is written.
    ASSERT_EQ(anime.CAnimeSet1(2, 12, 0, POINT{0, 0}, kSpinW, kSpinH, 0, POINT{0, 0}), 1);
    ASSERT_EQ(anime.CAnimeLoad_AniImg(2, -1, 0, text(strip_file)), 1);
    for (int k = 0; k < 12; ++k)
        EXPECT_EQ(zt::diff_pixels(frame_of(*anime.strip(2), k, kSpinH), laid(load(spin_path(k)), kSpinW, kSpinH)), 0)
            << "frame " << k;
    std::string nothing = zt::temp_path("no_such_strip.tga");
    EXPECT_EQ(anime.CAnimeLoad_AniImg(2, -1, 0, text(nothing)), 0);
    EXPECT_EQ(messages.take(), std::vector<std::string>{"AnimeImageLoadErr[" + nothing + "]"});
}

TEST(AnimeSave, RunLengthFileHoldsTheStrip)
{
    zt::MessageLog messages;
    CKrAnimeCtr anime;
    std::string pattern = ZORVIK_SAMPLES "/anime/spin%03d.tga";
    ASSERT_EQ(anime.CAnimeSet1(6, 4, 0, POINT{0, 0}, kSpinW, kSpinH, 0, POINT{0, 0}), 1);
    ASSERT_EQ(anime.CAnimeLoad(6, 10, -1, 0, text(pattern), 0), 1);
    std::string path = zt::temp_path("anime_saved.tga");
    ASSERT_EQ(anime.CAnimeSave(6, text(path)), 1);
    EXPECT_EQ(zt::diff_pixels(load(path), *anime.strip(6)), 0);
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    unsigned char header[18] = {};
    ASSERT_EQ(std::fread(header, 1, sizeof header, f), sizeof header);
    std::fclose(f);
    EXPECT_EQ(header[2], 10) << "run-length true colour";

    std::string nowhere = zt::temp_path("no_such_folder") + "/anime.tga";
    EXPECT_EQ(anime.CAnimeSave(6, text(nowhere)), 0);
    EXPECT_EQ(messages.take(), std::vector<std::string>{"AnimeImageSaveErr[" + nowhere + "]"});
}

// ---- on air ----

class AnimeOnAir : public zt::EffectShellTest {
protected:
    void SetUp() override
    {
        EffectShellTest::SetUp();
        if (HasFatalFailure()) return;
        anime = std::make_unique<CKrAnimeCtr>();
        ASSERT_EQ(anime->Initial(rig->graph.get(), &banks), 1);
        vsync = std::make_unique<zt::FieldHarness>(*rig->graph, [this](unsigned long f) { anime->AnimeEventSet(f); });
        ASSERT_TRUE(vsync->ok());
    }
    void TearDown() override
    {
        vsync.reset();
        anime.reset();
        EffectShellTest::TearDown();
    }

    // Slot `no` with `frames` frames of the spin samples from `first`, shown at `dst`.
    void prepare(int no, int frames, POINT dst, int first = 0)
    {
        ASSERT_EQ(anime->CAnimeSet1(no, frames, 0, POINT{0, 0}, kSpinW, kSpinH, 0, dst), 1);
        std::string pattern = ZORVIK_SAMPLES "/anime/spin%03d.tga";
        ASSERT_EQ(anime->CAnimeLoad(no, first, -1, 0, text(pattern), 0), 1);
    }

    // The writes the rules call for when frame g (counting on over the passes) of slot `no`
    // goes out on events e and e + 1 after the start in board field `start`.
    void expect_frame(std::vector<zt::FieldWriteEntry>& want, int no, long long start, long event, long frame, POINT dst)
    {
        for (long e : {event, event + 1})
            want.push_back(zt::expected_field_write(start + e, *anime->strip(no), 0, frame * kSpinH, kSpinW, kSpinH, dst.x, dst.y));
    }

    CKrGfb banks;
    std::unique_ptr<CKrAnimeCtr> anime;
    std::unique_ptr<zt::FieldHarness> vsync;
};

struct Timing {
    long frames, passes, delay, hold;
    bool start_on_second;
};

void PrintTo(const Timing& t, std::ostream* os)
{
    *os << t.frames << " frames, " << t.passes << " passes, delay " << t.delay << ", hold " << t.hold
        << (t.start_on_second ? ", first event a second field" : ", first event a first field");
}

class AnimeTiming : public AnimeOnAir, public ::testing::WithParamInterface<Timing> {};

// Frame k of pass p is written on events d + 1 + 2g + h·g and the one after, g = p·N + k, the
// first event after the start being 1; the run ends on the event after the last write, leaving
// the last frame on air.
TEST_P(AnimeTiming, FramesReachTheFieldsTheRulesGive)
{
    const Timing t = GetParam();
    const POINT dst{101, 51};
    prepare(0, static_cast<int>(t.frames), dst, 4);
    // The first event after the start is a second field when the start is on a first one.
    ASSERT_TRUE(board().step_fields(1));
    if ((board().current_field() % 2 == 0) != t.start_on_second) {
        ASSERT_TRUE(board().step_fields(1));
    }
    ASSERT_EQ(anime->CAnimeSet2(0, static_cast<int>(t.passes), static_cast<int>(t.delay), static_cast<int>(t.hold), 0), 1);
    const long long start = board().current_field();
    const std::uint64_t mark = board().journal().mark();
    ASSERT_EQ(anime->CAnimeStart(), 1);
    EXPECT_TRUE(anime->playing(0));

    std::vector<zt::FieldWriteEntry> want;
    long event = t.delay + 1;
    for (long g = 0; g < t.passes * t.frames; ++g) {
        if (g > 0) event += t.hold;
        expect_frame(want, 0, start, event, g % t.frames, dst);
        event += 2;
    }
    ASSERT_TRUE(board().step_fields(event - 1));
    EXPECT_TRUE(anime->playing(0)) << "the end comes on the event after the last write";
    ASSERT_TRUE(board().step_fields(1));
    EXPECT_FALSE(anime->playing(0));
    EXPECT_FALSE(anime->enabled(0));
    EXPECT_EQ(anime->fields_seen(0), event - 1);
    ASSERT_TRUE(board().step_fields(6));
    EXPECT_EQ(zt::front_writes(board(), mark), want);

    // The last frame stays on air, whole.
    const CKrFrameBuffer last = frame_of(*anime->strip(0), t.frames - 1, kSpinH);
    long wrong = 0;
    for (long y = 0; y < kSpinH; ++y)
        for (long x = 0; x < kSpinW; ++x) wrong += rig->pixel(dst.x + x, dst.y + y) != zt::px(last, x, y);
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(anime->AnimeWait(), 1) << "nothing runs any more";
}

INSTANTIATE_TEST_SUITE_P(Table, AnimeTiming,
                         ::testing::Values(Timing{3, 1, 0, 0, false}, Timing{3, 1, 0, 0, true},
                                           Timing{2, 2, 0, 0, false}, Timing{3, 1, 4, 0, true},
                                           Timing{3, 2, 1, 3, false}, Timing{1, 3, 0, 2, true}));

TEST_F(AnimeOnAir, StopAtTheEndOfTheCycleOrAtOnce)
{
    const POINT a{0, 0}, b{300, 200};
    prepare(0, 3, a);
    prepare(1, 3, b);
    ASSERT_EQ(anime->CAnimeSet2(0, 0, 0, 0, 0), 1); // endless, plays its cycle out
    ASSERT_EQ(anime->CAnimeSet2(1, 0, 0, 0, 1), 1); // endless, stops at once
    const long long start = board().current_field();
    const std::uint64_t mark = board().journal().mark();
    ASSERT_EQ(anime->CAnimeStart(), 1);
    EXPECT_EQ(anime->AnimeWait(), 2) << "an endless animation: no waiting";
    ASSERT_TRUE(board().step_fields(3)); // frame 0 out, frame 1 half out
    EXPECT_EQ(anime->CAnimeStop(0), 1);
    EXPECT_EQ(anime->CAnimeStop(1), 1);
    EXPECT_FALSE(anime->enabled(0));
    ASSERT_TRUE(board().step_fields(12));
    EXPECT_FALSE(anime->playing(0));
    EXPECT_FALSE(anime->playing(1));

    std::vector<zt::FieldWriteEntry> want;
    for (long k = 0; k < 3; ++k) expect_frame(want, 0, start, 2 * k + 1, k, a); // to the end of the cycle
    for (long k = 0; k < 2; ++k) expect_frame(want, 1, start, 2 * k + 1, k, b); // frame 1 finishes its fields
    std::vector<zt::FieldWriteEntry> got = zt::front_writes(board(), mark);
    std::stable_sort(got.begin(), got.end(), [](const auto& x, const auto& y) { return x.words[1] < y.words[1]; });
    std::stable_sort(want.begin(), want.end(), [](const auto& x, const auto& y) { return x.words[1] < y.words[1]; });
    EXPECT_EQ(got, want);

    // Stopped animations keep their strips and may play again.
    EXPECT_TRUE(anime->prepared(0));
    ASSERT_EQ(anime->CAnimeSet2(0, 1, 0, 0, 0), 1);
    ASSERT_EQ(anime->CAnimeStart(), 1);
    EXPECT_TRUE(anime->playing(0));
}

TEST_F(AnimeOnAir, WaitBlocksUntilTheLastAnimationEnds)
{
    prepare(0, 4, POINT{0, 0});
    prepare(1, 2, POINT{200, 0});
    ASSERT_EQ(anime->CAnimeSet2(0, 1, 0, 0, 0), 1);
    ASSERT_EQ(anime->CAnimeSet2(1, 2, 3, 1, 0), 1);
    const long long start = board().current_field();
    ASSERT_EQ(anime->CAnimeStart(), 1);
    {
        zk::IdlePump pump(board());
        EXPECT_EQ(anime->AnimeWait(), 0);
        EXPECT_FALSE(pump.failed());
    }
    EXPECT_FALSE(anime->playing(0));
    EXPECT_FALSE(anime->playing(1));
    // Slot 1 ends last: 3 delay, 4 frames of 2 fields with 3 holds, then the ending event.
    EXPECT_GE(board().current_field() - start, 3 + 8 + 3 + 1);
    EXPECT_EQ(anime->AnimeWait(), 1);
}

TEST_F(AnimeOnAir, APlayingAnimationRefusesToBeSetAgainOrReset)
{
    prepare(0, 2, POINT{0, 0});
    ASSERT_EQ(anime->CAnimeSet2(0, 0, 0, 0, 0), 1);
    ASSERT_EQ(anime->CAnimeStart(), 1);
    ASSERT_TRUE(board().step_fields(2));
    const long seen = anime->fields_seen(0);
    EXPECT_EQ(anime->CAnimeSet2(0, 1, 5, 5, 1), 0);
    EXPECT_EQ(anime->CAnimeSet1(0, 2, 0, POINT{0, 0}, 10, 10, 0, POINT{0, 0}), 0);
    EXPECT_EQ(anime->CAnimeReset(0), 0);
    EXPECT_EQ(messages.take(), (std::vector<std::string>{"Anime Now Go Err[0]", "AnimeReset Err[0]"}));
    EXPECT_EQ(anime->AnimeWait(), 2) << "still endless";
    EXPECT_EQ(anime->strip(0)->GetWidth(), static_cast<unsigned long>(kSpinW)) << "the strip was left alone";
    ASSERT_TRUE(board().step_fields(2));
    EXPECT_EQ(anime->fields_seen(0), seen + 2) << "and it plays on";
    ASSERT_EQ(anime->CAnimeStopAll(), 1);
    ASSERT_TRUE(board().step_fields(4));
    EXPECT_FALSE(anime->playing(0));
    EXPECT_EQ(anime->CAnimeReset(0), 1);
    EXPECT_FALSE(anime->prepared(0));
    EXPECT_TRUE(messages.take().empty());
}

// Frames loaded into a playing strip go out from the next frame written, never half a frame.
TEST_F(AnimeOnAir, ReloadingAPlayingStripShowsTheNewFrames)
{
    const POINT dst{40, 40};
    prepare(0, 1, dst, 0);
    ASSERT_EQ(anime->CAnimeSet2(0, 0, 0, 0, 0), 1);
    ASSERT_EQ(anime->CAnimeStart(), 1);
    ASSERT_TRUE(board().step_fields(4));
    // An opaque picture loaded over the playing frame replaces it.
    std::string blue = zt::temp_path("anime_blue.tga");
    CKrFrameBuffer plate(kSpinW, kSpinH, 0);
    plate.ClearCol(0xFF0000FFu);
    CKrTargaImage tga;
    CString blue_name(blue);
    ASSERT_EQ(tga.SaveImage(&blue_name, &plate, 0), 0);
    ASSERT_EQ(anime->CAnimeLoad_AniImg(0, -1, 0, text(blue)), 1);
    const std::uint64_t mark = board().journal().mark();
    ASSERT_TRUE(board().step_fields(2));
    const long long now = board().current_field();
    EXPECT_EQ(zt::front_writes(board(), mark),
              (std::vector<zt::FieldWriteEntry>{zt::expected_field_write(now - 1, plate, 0, 0, kSpinW, kSpinH, dst.x, dst.y),
                                                zt::expected_field_write(now, plate, 0, 0, kSpinW, kSpinH, dst.x, dst.y)}));
}

TEST_F(AnimeOnAir, LayeredOverOrUnderTheBanksPicture)
{
    // Bank 1 under the animation: its left half opaque red, its right half transparent.
    const POINT dst{200, 100};
    CKrGfb& b = banks;
    ASSERT_EQ(b.SetBankWrite(1), 1);
    CBox box;
    ASSERT_EQ(b.BoxFill(dst.x, dst.y, kSpinW / 2, kSpinH, 0xFFFF0000u, &box), 0);
    const CKrFrameBuffer file = laid(load(spin_path(2)), kSpinW, kSpinH);
    std::string pattern = ZORVIK_SAMPLES "/anime/spin%03d.tga";
    for (int layer : {1, 2}) {
        ASSERT_EQ(anime->CAnimeSet1(layer, 2, 0, POINT{0, 0}, kSpinW, kSpinH, 0, dst), 1);
        ASSERT_EQ(anime->CAnimeLoad(layer, 2, 1, layer, text(pattern), 0), 1);
        for (long k = 0; k < 2; ++k) {
            const CKrFrameBuffer frame = frame_of(*anime->strip(layer), k, kSpinH);
            const CKrFrameBuffer want = k == 0 ? file : laid(load(spin_path(3)), kSpinW, kSpinH);
            long opaque_file = 0, clear_file = 0, wrong = 0;
            for (long y = 0; y < kSpinH; ++y) {
                for (long x = 0; x < kSpinW; ++x) {
                    const DWORD f = zt::px(want, x, y), got = zt::px(frame, x, y);
                    const DWORD bank = x < kSpinW / 2 ? 0xFFFF0000u : 0u;
                    if (layer == 1) {
                        // The frames over the bank: the bank shows where a frame is clear.
                        if (f >> 24 == 255) ++opaque_file, wrong += got != f;
                        if (f >> 24 == 0) ++clear_file, wrong += got != bank;
                    } else {
                        // The bank over the frames: the frame shows where the bank is clear.
                        wrong += got != (bank != 0 ? bank : f);
                    }
                }
            }
            EXPECT_EQ(wrong, 0) << "layer " << layer << " frame " << k;
            if (layer == 1) {
                EXPECT_TRUE(opaque_file > 0 && clear_file > 0) << "the sample has both";
            }
        }
    }
    // A bank outside 0-3 has no picture: the frames load alone.
    ASSERT_EQ(anime->CAnimeSet1(3, 1, 0, POINT{0, 0}, kSpinW, kSpinH, 0, dst), 1);
    ASSERT_EQ(anime->CAnimeLoad(3, 2, 7, 1, text(pattern), 0), 1);
    EXPECT_EQ(zt::diff_pixels(*anime->strip(3), file), 0);
}

TEST_F(AnimeOnAir, AllThirtyTwoPlayAtOnceEachInItsPlace)
{
    std::string pattern = ZORVIK_SAMPLES "/anime/spin%03d.tga";
    for (int no = 0; no < CKrAnimeCtr::kSlots; ++no) {
        const POINT dst{(no % 8) * 90, (no / 8) * 120};
        ASSERT_EQ(anime->CAnimeSet1(no, 2, 0, POINT{0, 0}, 80, 60, 0, dst), 1);
        ASSERT_EQ(anime->CAnimeLoad(no, no % 20, -1, 0, text(pattern), 0), 1);
        ASSERT_EQ(anime->CAnimeSet2(no, 1, no % 3, no % 2, 0), 1);
    }
    const long long start = board().current_field();
    const std::uint64_t mark = board().journal().mark();
    ASSERT_EQ(anime->CAnimeStart(), 1);
    ASSERT_TRUE(board().step_fields(2 + 4 + 1 + 1));
    for (int no = 0; no < CKrAnimeCtr::kSlots; ++no) EXPECT_FALSE(anime->playing(no)) << no;
    std::vector<zt::FieldWriteEntry> want;
    for (int no = 0; no < CKrAnimeCtr::kSlots; ++no) {
        const POINT dst{(no % 8) * 90, (no / 8) * 120};
        const long delay = no % 3, hold = no % 2;
        for (long k = 0; k < 2; ++k) {
            const long event = delay + 1 + 2 * k + hold * k;
            for (long e : {event, event + 1})
                want.push_back(zt::expected_field_write(start + e, *anime->strip(no), 0, k * 60, 80, 60, dst.x, dst.y));
        }
    }
    auto order = [](const zt::FieldWriteEntry& x, const zt::FieldWriteEntry& y) {
        return std::tie(x.field, x.words[2], x.words[1]) < std::tie(y.field, y.words[2], y.words[1]);
    };
    std::vector<zt::FieldWriteEntry> got = zt::front_writes(board(), mark);
    std::sort(got.begin(), got.end(), order);
    std::sort(want.begin(), want.end(), order);
    EXPECT_EQ(got, want);
}

TEST_F(AnimeOnAir, DestroyedWhilePlayingLeavesNoThreadBehind)
{
    const std::size_t handles = zk::open_handle_count();
    {
        CKrAnimeCtr local;
        local.Initial(rig->graph.get(), &banks);
        zt::FieldHarness driver(*rig->graph, [&](unsigned long f) { local.AnimeEventSet(f); });
        std::string pattern = ZORVIK_SAMPLES "/anime/spin%03d.tga";
        for (int no : {0, 9, 31}) {
            ASSERT_EQ(local.CAnimeSet1(no, 3, 0, POINT{0, 0}, 40, 40, 0, POINT{no * 10, 0}), 1);
            ASSERT_EQ(local.CAnimeLoad(no, 0, -1, 0, text(pattern), 0), 1);
            ASSERT_EQ(local.CAnimeSet2(no, 0, 0, 2, 0), 1);
        }
        ASSERT_EQ(local.CAnimeStart(), 1);
        ASSERT_TRUE(board().step_fields(7));
        EXPECT_TRUE(local.playing(9));
    }
    EXPECT_EQ(zk::open_handle_count(), handles);
}

} // namespace
