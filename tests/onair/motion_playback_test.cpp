// Motion clips and sound on air: the sample clip on a motion line's two Fiesta channels, frame
// by frame with the transport (play, stop at a field, seeks, the software shuttle), the
// prefetcher keeping every field supplied, and the wave files in the recording's sound track
// in step with the pictures, with the master volume. Each test reads the board's journal
// first, then the pictures by hash against frames decoded separately.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "onair/effects_graph_fixture.h"
#include "platform/board/board_media.h"
#include "platform/board/output_stage.h"
#include "platform/media/media_file.h"
#include "platform/media/motion_clip.h"
#include "support/decoded_video.h"

namespace {

namespace fs = std::filesystem;

const std::string kSample = std::string(ZORVIK_SOURCE_DIR) + "/samples/motion/zorvik_motion";
constexpr long long kSampleFrames = 90;

std::uint64_t hash_pixels(const std::vector<std::uint32_t>& p)
{
    std::uint64_t h = 1469598103934665603ull;
    for (std::uint32_t v : p) h = (h ^ v) * 1099511628211ull;
    return h;
}

// The sample clip's frames, decoded on their own, by hash of fill and of key-as-grey.
struct Reference {
    std::map<std::uint64_t, long long> fill_frame;
    std::vector<std::uint64_t> key_hash;
};

const Reference& reference()
{
    static const Reference r = [] {
        Reference out;
        zk::MotionClip clip;
        EXPECT_TRUE(clip.open(kSample, 720, 486).ok());
        zk::VideoPicture pic;
        pic.pixels.resize(720 * 486);
        for (long long k = 0; k < kSampleFrames; ++k) {
            EXPECT_TRUE(clip.decode_frame(k, pic).ok()) << k;
            out.fill_frame[hash_pixels(pic.pixels)] = k;
            std::vector<std::uint32_t> key(pic.pixels.size());
            for (std::size_t i = 0; i < key.size(); ++i) {
                const std::uint32_t a = pic.pixels[i] >> 24;
                key[i] = a | a << 8 | a << 16;
            }
            out.key_hash.push_back(hash_pixels(key));
        }
        return out;
    }();
    return r;
}

// A folder of the running test's own, fresh: test processes may run side by side.
std::string own_scratch_dir(const std::string& stem)
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = stem + "_" + info->test_suite_name() + "_" + info->name() + "_" + std::to_string(std::random_device{}());
    for (char& c : name)
        if (c == '/') c = '_';
    const std::string dir = std::string(ZORVIK_TEST_TMP) + "/" + name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

class MotionOnAir : public zt::EffectsGraphTest {
protected:
    void SetUp() override
    {
        EffectsGraphTest::SetUp();
        hold_ = std::make_unique<zk::OutputHold>(zk::output_stage(shared_board()));
        ASSERT_EQ(graph->SetVideoFilename0((kSample + ".avi").c_str()), 0);
        ASSERT_EQ(graph->SetVideoFilename1((kSample + ".matte.avi").c_str()), 0);
        ASSERT_EQ(graph->BilGraph_Motion(0), 0) << GetLastErrorText();
        ASSERT_EQ(graph->UnFreezeFiesta(1), 0);
        ASSERT_EQ(graph->UnFreezeFiesta(2), 0);
        // Transport calls come on a frame's first field, so a frame's picture is taken at
        // the field it starts on.
        if (board().current_field() % 2) board().step_fields(1);
    }
    void TearDown() override
    {
        graph.reset();
        hold_.reset();
        EffectsGraphTest::TearDown();
    }

    // The clip frame Fiesta channel 1 holds (-1: none, -2: a picture that is no frame).
    long long shown()
    {
        const zk::mixer::MixerState s = mixer();
        const auto& fill = s.channels[1].store;
        if (!fill) return -1;
        const auto it = reference().fill_frame.find(hash_pixels(fill->pixels));
        if (it == reference().fill_frame.end()) return -2;
        const auto& key = s.channels[2].store;
        EXPECT_TRUE(key && hash_pixels(key->pixels) == reference().key_hash[static_cast<std::size_t>(it->second)])
            << "the key channel holds the same frame's key";
        return it->second;
    }
    long long frame_of_position()
    {
        double seconds = 0;
        graph->GetPosition(seconds);
        return graph->SecondsToFrames(seconds);
    }
    // What the on-air controller does to seek: stop, then seek (which runs the graph to the
    // one frame, so fields pass meanwhile); then back to a frame's first field.
    void seek_seconds(double seconds)
    {
        {
            zk::IdlePump pump(board());
            ASSERT_EQ(graph->FgStop(), 0);
            ASSERT_EQ(graph->FgSeek(seconds), S_OK);
        }
        if (board().current_field() % 2) board().step_fields(1);
    }
    void seek_frame(long long k) { seek_seconds(graph->FramesToSeconds(k)); }
    zk::MotionLineCounts counts() { return zk::board_media(board())->motion_counts(0); }
    std::vector<zk::JournalEntry> line_entries(zk::JournalKind kind)
    {
        return board().journal().where(
            [&](const zk::JournalEntry& e) { return e.seq >= mark && e.kind == kind && e.target == "MotionLine0"; });
    }

    std::unique_ptr<zk::OutputHold> hold_;
};

TEST_F(MotionOnAir, PlayShowsFrameKOnTheFieldsOfTheKthFrame)
{
    const auto started = line_entries(zk::JournalKind::StateChange);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].code, 1u);
    EXPECT_EQ(started[0].text, "plays " + kSample + ".avi on Fiesta1 and Fiesta2");

    ASSERT_EQ(graph->FgPlay(), S_OK);
    // The graph starts at a frame boundary a little ahead (its start time): position 0 holds
    // until then. Each board frame shows the frame of the position at its first field.
    std::vector<long long> seen, want;
    for (int f = 0; f < 24; ++f) {
        want.push_back(frame_of_position());
        board().step_fields(2);
        seen.push_back(shown());
    }
    const auto lead = std::count(want.begin(), want.end(), 0LL) - 1;
    ASSERT_GE(lead, 0);
    ASSERT_LE(lead, 3);
    for (std::size_t f = 0; f < want.size(); ++f)
        ASSERT_EQ(want[f], std::max<long long>(0, static_cast<long long>(f) - lead)) << "the transport moves a frame a frame";
    // Journal first: every frame handed over once, in order, none missed.
    std::vector<std::uint32_t> handed;
    for (const auto& e : line_entries(zk::JournalKind::Still)) handed.push_back(e.code);
    std::vector<std::uint32_t> each;
    for (long long k = 0; k <= want.back(); ++k) each.push_back(static_cast<std::uint32_t>(k));
    EXPECT_EQ(handed, each);
    EXPECT_TRUE(line_entries(zk::JournalKind::Note).empty());
    EXPECT_EQ(seen, want);
    EXPECT_EQ(counts().misses, 0);
    EXPECT_EQ(counts().fields, 48);
}

TEST_F(MotionOnAir, StopAtAFieldHoldsThatFieldsFrame)
{
    ASSERT_EQ(graph->FgPlay(), S_OK);
    board().step_fields(2 * 14 + 1); // stopped on a frame's second field
    ASSERT_EQ(graph->FgStop(), 0);
    const long long held = frame_of_position();
    EXPECT_GE(held, 10);
    board().step_fields(1);
    EXPECT_EQ(shown(), held);
    board().step_fields(30);
    EXPECT_EQ(shown(), held) << "nothing moves while stopped";
    EXPECT_EQ(frame_of_position(), held);
    EXPECT_EQ(counts().misses, 0);
}

struct Seek {
    const char* name;
    std::vector<long long> frames;
};

class MotionSeek : public MotionOnAir, public ::testing::WithParamInterface<Seek> {};

TEST_P(MotionSeek, LandsOnTheFrameOnTheNextField)
{
    for (long long k : GetParam().frames) {
        seek_frame(k);
        board().step_fields(2);
        EXPECT_EQ(shown(), k);
        EXPECT_EQ(frame_of_position(), k);
    }
    // Seeking by time lands on the frame whose period holds the time.
    seek_seconds(graph->FramesToSeconds(33) + 0.01);
    board().step_fields(2);
    EXPECT_EQ(shown(), 33);
    EXPECT_TRUE(line_entries(zk::JournalKind::Note).empty()) << "decoded ahead of every field";
    EXPECT_EQ(counts().misses, 0);
}

INSTANTIATE_TEST_SUITE_P(Frames, MotionSeek,
                         ::testing::Values(Seek{"forward", {0, 1, 17, 45, 89}}, Seek{"backward", {89, 60, 59, 2, 0}},
                                           Seek{"scattered", {44, 3, 88, 12, 12, 70}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MotionOnAir, PlayAfterASeekStartsThere)
{
    seek_frame(50);
    board().step_fields(2);
    ASSERT_EQ(graph->FgPlay(), S_OK);
    std::vector<long long> seen;
    for (int f = 0; f < 8; ++f) {
        const long long want = frame_of_position();
        board().step_fields(2);
        EXPECT_EQ(shown(), want);
        seen.push_back(want);
    }
    EXPECT_EQ(seen.front(), 50);
    EXPECT_GE(seen.back(), 54) << "it plays on from there";
    EXPECT_EQ(counts().misses, 0);
}

struct Shuttle {
    const char* name;
    double speed;
};

class MotionShuttle : public MotionOnAir, public ::testing::WithParamInterface<Shuttle> {};

TEST_P(MotionShuttle, ShowsTheShuttlePositionsFrameOnEveryTick)
{
    const double speed = GetParam().speed;
    ASSERT_EQ(graph->SetFilterGraphShuttleSpeed(speed), S_OK);
    ASSERT_EQ(graph->BeginFilterGraphShuttle(0.0, graph->GetDuration(), graph->FramesToSeconds(45), FALSE), S_OK)
        << GetLastErrorText();
    board().step_fields(3);
    EXPECT_EQ(shown(), 45);
    long long last = 45;
    int moved = 0;
    for (int i = 0; i < 8; ++i) {
        board().step_fields(2);
        const long long now = shown();
        EXPECT_EQ(now, frame_of_position()) << "tick " << i;
        if (now != last) {
            ++moved;
            EXPECT_EQ(now < last, speed < 0) << "the direction of the speed";
        }
        last = now;
    }
    EXPECT_GE(moved, 6);
    ASSERT_EQ(graph->EndFilterGraphShuttle(1000), S_OK);
    EXPECT_EQ(counts().misses, 0);
}

INSTANTIATE_TEST_SUITE_P(Speeds, MotionShuttle,
                         ::testing::Values(Shuttle{"forward_double", 2.0}, Shuttle{"backward", -1.0},
                                           Shuttle{"backward_triple", -3.0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MotionOnAir, TearingTheLineDownStopsFeedingTheChannels)
{
    ASSERT_EQ(graph->FgPlay(), S_OK);
    board().step_fields(8);
    ASSERT_EQ(graph->FgStop(), S_OK);
    ASSERT_EQ(graph->DisconnectMotion(), 0);
    const auto changes = line_entries(zk::JournalKind::StateChange);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[1].code, 0u);
    EXPECT_EQ(changes[1].text, "stopped after 8 fields, 0 missed");
    const std::size_t handed = line_entries(zk::JournalKind::Still).size();
    board().step_fields(6);
    EXPECT_EQ(line_entries(zk::JournalKind::Still).size(), handed);
}

// ---- a clip with an alpha clip instead of a matte ----

TEST(MotionFiles, AClipWithoutAMatteKeysWithItsAlphaClip)
{
    const std::string dir = own_scratch_dir("motion_alpha");
    fs::copy_file(zt::data_path("media/small.avi"), dir + "/clip.avi");
    fs::copy_file(zt::data_path("media/ramp.alpha.avi"), dir + "/clip.alpha.avi");
    const zk::MotionFiles files = zk::find_motion_files(dir + "/clip.avi");
    EXPECT_EQ(files.key, dir + "/clip.alpha.avi");
    EXPECT_EQ(files.key_kind, zk::KeyKind::alpha_clip);
    // Once a matte appears it is taken first.
    fs::copy_file(zt::data_path("media/small_matte.avi"), dir + "/clip.matte.avi");
    EXPECT_EQ(zk::find_motion_files(dir + "/clip").key_kind, zk::KeyKind::matte);
}

// ---- sound ----

class SoundOnAir : public zt::EffectsGraphTest {
protected:
    void SetUp() override
    {
        EffectsGraphTest::SetUp();
        dir_ = own_scratch_dir("sound");
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        ASSERT_EQ(graph->BilGraph_WaveSound(), 0) << GetLastErrorText();
        ASSERT_EQ(graph->SetLeftAudioFilename((kSample + ".A1.wav").c_str()), 0) << GetLastErrorText();
        ASSERT_EQ(graph->SetRightAudioFilename((kSample + ".A2.wav").c_str()), 0) << GetLastErrorText();
        for (int side = 0; side < 2; ++side) {
            zk::MediaFile f;
            ASSERT_TRUE(f.open(kSample + (side ? ".A2.wav" : ".A1.wav")).ok());
            std::vector<std::int16_t> stereo(static_cast<std::size_t>(f.info().board_sample_count) * 2);
            ASSERT_TRUE(f.read_audio(0, f.info().board_sample_count, stereo).ok());
            for (std::size_t i = 0; i < stereo.size(); i += 2) tone_[side].push_back(stereo[i]);
        }
    }
    void TearDown() override
    {
        graph.reset();
        EffectsGraphTest::TearDown();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    // Records `before` fields, plays, records `playing` fields, and reads the file back.
    zt::Decoded record(int before, int playing, long long& play_sample)
    {
        zk::OutputStage& stage = zk::output_stage(shared_board());
        zk::RecorderSettings s;
        s.video_path = dir_ + "/sound.mkv";
        EXPECT_EQ(stage.start_recording(s), zk::kRecorderOk) << stage.recording_error();
        board().step_fields(before);
        fields_before_ = before;
        play_sample = 0;
        for (int i = 0; i < before; ++i) play_sample += zk::ProgramRecorder::audio_samples_of_field(1, i);
        EXPECT_EQ(graph->FgPlay(), S_OK);
        board().step_fields(playing);
        EXPECT_EQ(stage.stop_recording(), zk::kRecorderOk) << stage.recording_error();
        fields_ = stage.recording_counts().fields;
        return zt::decode_file(s.video_path);
    }

    // Where the tone begins in the recording: at the first field of the graph's run, which
    // starts at a frame boundary a few fields after the play (silence until then). -1 when
    // no field boundary within eight fields after `at` gives exactly the tone from there on.
    long long tone_start(const zt::Decoded& d, long long at, double gain)
    {
        long long candidate = at;
        for (int m = 0; m <= 8; ++m) {
            bool match = true;
            for (long long i = 0; i < static_cast<long long>(d.audio.size() / 2) && match; ++i) {
                const auto k = static_cast<std::size_t>(i);
                if (i < candidate) {
                    match = d.audio[2 * k] == 0 && d.audio[2 * k + 1] == 0;
                    continue;
                }
                const auto s = static_cast<std::size_t>(i - candidate);
                for (int side = 0; side < 2 && match; ++side)
                    match = std::abs(d.audio[2 * k + static_cast<std::size_t>(side)] - std::round(tone_[side][s] * gain)) <= 1;
            }
            if (match) return candidate;
            candidate += zk::ProgramRecorder::audio_samples_of_field(1, fields_before_ + m);
        }
        return -1;
    }

    std::string dir_;
    std::vector<std::int16_t> tone_[2];
    long long fields_before_ = 0;
    long long fields_ = 0;
};

TEST_F(SoundOnAir, TheRecordingCarriesBothFilesInStepWithThePictures)
{
    const auto sound = board().journal().where([&](const zk::JournalEntry& e) { return e.seq >= mark && e.target == "Sound"; });
    ASSERT_FALSE(sound.empty());
    EXPECT_EQ(sound.back().text, "plays " + kSample + ".A1.wav left and " + kSample + ".A2.wav right");

    long long at = 0;
    const zt::Decoded d = record(6, 40, at);
    ASSERT_EQ(d.error, "");
    ASSERT_TRUE(d.has_audio);
    EXPECT_EQ(d.sample_rate, 48000);
    EXPECT_EQ(d.channels, 2);
    EXPECT_EQ(fields_, 46);
    long long span = 0;
    for (long long i = 0; i < fields_; ++i) span += zk::ProgramRecorder::audio_samples_of_field(1, i);
    EXPECT_EQ(static_cast<long long>(d.audio.size() / 2), span) << "as long as the pictures";
    EXPECT_EQ(static_cast<long long>(d.frames.size()), fields_ / 2);
    const long long start = tone_start(d, at, 1.0);
    ASSERT_GE(start, at) << "silence, then both files from their first sample, each on its side";
    EXPECT_LE(start - at, 4 * 801) << "from the graph's start time on";
    EXPECT_NE(tone_[0], tone_[1]) << "the two sides are told apart";
}

TEST_F(SoundOnAir, TheMasterVolumeIsALevelInDecibels)
{
    ASSERT_EQ(graph->AudioMasterVolume(-20.0 * std::log10(2.0)), 0); // half the amplitude
    long long at = 0;
    const zt::Decoded d = record(2, 20, at);
    ASSERT_EQ(d.error, "");
    EXPECT_GE(tone_start(d, at, 0.5), at);
    EXPECT_EQ(tone_start(d, at, 1.0), -1) << "not at the file's own level";
}

TEST_F(SoundOnAir, ALeftFileAlonePlaysOnBothSides)
{
    ASSERT_EQ(graph->SetRightAudioFilename(nullptr), 0) << GetLastErrorText();
    tone_[1] = tone_[0]; // a mono file fills both channels
    long long at = 0;
    const zt::Decoded d = record(2, 16, at);
    ASSERT_EQ(d.error, "");
    EXPECT_GE(tone_start(d, at, 1.0), at);
}

TEST_F(SoundOnAir, LiveSoundAndATornDownWaveConfigurationAreSilence)
{
    ASSERT_EQ(graph->BilGraph_LiveSound(), 0) << GetLastErrorText();
    long long at = 0;
    const zt::Decoded d = record(2, 10, at);
    ASSERT_EQ(d.error, "");
    ASSERT_TRUE(d.has_audio);
    long long span = 0;
    for (long long i = 0; i < fields_; ++i) span += zk::ProgramRecorder::audio_samples_of_field(1, i);
    EXPECT_EQ(static_cast<long long>(d.audio.size() / 2), span);
    EXPECT_TRUE(std::all_of(d.audio.begin(), d.audio.end(), [](std::int16_t v) { return v == 0; }));
}

TEST_F(SoundOnAir, AMissingWaveFileIsRefusedWithItsName)
{
    ASSERT_EQ(graph->SetRightAudioFilename((dir_ + "/nothing.A2.wav").c_str()), VFW_E_NOT_FOUND);
    EXPECT_NE(std::string(GetLastErrorText()).find("Could not open source file"), std::string::npos) << GetLastErrorText();
}

} // namespace

// ---- a clip for people to look at ----

// Caption letters, 5 × 7, one row a byte (bit 4 the left column).
const std::map<char, std::array<std::uint8_t, 7>>& caption_font()
{
    static const std::map<char, std::array<std::uint8_t, 7>> font = {
        {'Z', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x10, 0x1F}}, {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
        {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}}, {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
        {'I', {0x0E, 0x04, 0x04, 0x04, 0x04, 0x04, 0x0E}}, {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
        {'M', {0x11, 0x1B, 0x15, 0x15, 0x11, 0x11, 0x11}}, {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
        {'N', {0x11, 0x19, 0x15, 0x13, 0x11, 0x11, 0x11}}, {' ', {0, 0, 0, 0, 0, 0, 0}},
    };
    return font;
}

// A caption bar across the lower third: a half-transparent plate with white letters on it.
std::vector<std::uint32_t> caption_picture(const std::string& text)
{
    std::vector<std::uint32_t> p(720 * 486, 0u);
    for (int y = 350; y < 430; ++y)
        for (int x = 60; x < 660; ++x) p[static_cast<std::size_t>(y * 720 + x)] = 0xB0102060u;
    const int scale = 6;
    int x0 = 360 - static_cast<int>(text.size()) * 6 * scale / 2;
    for (char c : text) {
        const auto& rows = caption_font().at(c);
        for (int r = 0; r < 7; ++r)
            for (int col = 0; col < 5; ++col) {
                if (!(rows[static_cast<std::size_t>(r)] >> (4 - col) & 1)) continue;
                for (int dy = 0; dy < scale; ++dy)
                    for (int dx = 0; dx < scale; ++dx)
                        p[static_cast<std::size_t>((369 + r * scale + dy) * 720 + x0 + col * scale + dx)] = 0xFFFFFFFFu;
            }
        x0 += 6 * scale;
    }
    return p;
}

class MotionDemo : public zt::EffectsGraphTest {};

// The sample clip with its matte and sound under a caption, from program out, into
// $ZORVIK_CLIPS_DIR/motion_demo.mkv (default: out/ of the source tree). scripts/record-motion.sh
// runs it and shows the file's streams.
TEST_F(MotionDemo, DISABLED_ClipUnderACaptionWithSound)
{
    const char* env = std::getenv("ZORVIK_CLIPS_DIR");
    const std::string dir = env && *env ? env : ZORVIK_SOURCE_DIR "/out";
    fs::create_directories(dir);
    const std::string path = dir + "/motion_demo.mkv";

    ASSERT_EQ(graph->SetVideoFilename0((kSample + ".avi").c_str()), 0);
    ASSERT_EQ(graph->SetVideoFilename1((kSample + ".matte.avi").c_str()), 0);
    ASSERT_EQ(graph->BilGraph_Motion(0), 0) << GetLastErrorText();
    ASSERT_EQ(graph->UnFreezeFiesta(1), 0);
    ASSERT_EQ(graph->UnFreezeFiesta(2), 0);
    ASSERT_EQ(graph->BilGraph_WaveSound(), 0) << GetLastErrorText();
    ASSERT_EQ(graph->SetLeftAudioFilename((kSample + ".A1.wav").c_str()), 0) << GetLastErrorText();
    ASSERT_EQ(graph->SetRightAudioFilename((kSample + ".A2.wav").c_str()), 0) << GetLastErrorText();
    const std::vector<std::uint32_t> caption = caption_picture("ZORVIK MOTION");
    ASSERT_EQ(graph->GfbFrWriteBuff(reinterpret_cast<const unsigned char*>(caption.data()), 720, 486, 0, 0, 720, 486, 0, 0), 0);

    zk::OutputStage& stage = zk::output_stage(shared_board());
    if (board().current_field() % 2) board().step_fields(1);
    zk::RecorderSettings settings;
    settings.video_path = path;
    ASSERT_EQ(stage.start_recording(settings), zk::kRecorderOk) << stage.recording_error();
    board().step_fields(10);
    ASSERT_EQ(graph->FgPlay(), S_OK);
    board().step_fields(2 * 90 + 16); // the whole clip, its start time, and a moment after
    ASSERT_EQ(stage.stop_recording(), zk::kRecorderOk) << stage.recording_error();
    const zk::RecorderCounts c = stage.recording_counts();
    const zk::MotionLineCounts line = zk::board_media(board())->motion_counts(0);
    std::printf("%s: %lld frames, %lld sound samples; the line: %lld fields, %lld missed\n", path.c_str(), c.frames,
                c.audio_samples, line.fields, line.misses);
    EXPECT_EQ(line.misses, 0);
    const zt::Decoded d = zt::decode_file(path);
    ASSERT_EQ(d.error, "");
    EXPECT_TRUE(d.has_audio);
}
