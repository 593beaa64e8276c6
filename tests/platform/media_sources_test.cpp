// File sources that read their files, the timeline a graph hands its sources, and the sound
// track of a recording: lengths and rates from the sample files, clear refusals of missing and
// broken files, positions a source computes that agree with the graph's, and a sound stream
// exactly as long as the pictures with the samples it was given.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "platform/board/digisuite_interfaces.h"
#include "platform/filtergraph/filter_graph.h"
#include "platform/media/media_file.h"
#include "platform/recorder/program_recorder.h"
#include "platform/testing/board.h"
#include "support/decoded_video.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

const std::string kSamples = std::string(ZORVIK_SOURCE_DIR) + "/samples/motion/zorvik_motion";

// A fresh folder of the test's own (test processes may run side by side).
std::string scratch_dir(const std::string& name)
{
    const std::string dir = std::string(ZORVIK_TEST_TMP) + "/sources_" + name + "_" + std::to_string(std::random_device{}());
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

zk::ComPtr<zk::VirtualFilter> file_source()
{
    zk::FilterDesc d;
    d.clsid = zk::make_guid("5A7E3CF0-6B2D-4C1E-9A53-2F0D8E4B7C10");
    d.name = "Test File Source";
    d.pins = {{"Output", PINDIR_OUTPUT}};
    d.file_source = true;
    return zk::ComPtr<zk::VirtualFilter>::attach(new zk::VirtualFilter(d));
}

// ---- loading ----

struct Loaded {
    const char* suffix;
    double seconds;
    bool video;
    int rate_num, rate_den;
    long long frames;
    bool audio;
};

class FileSourceLoad : public ::testing::TestWithParam<Loaded> {};

TEST_P(FileSourceLoad, TakesLengthRateAndSoundFromTheFile)
{
    const Loaded& want = GetParam();
    auto f = file_source();
    const std::u16string path = zk::to_wide((kSamples + want.suffix).c_str());
    ASSERT_EQ(f->Load(reinterpret_cast<LPCOLESTR>(path.c_str()), nullptr), S_OK) << f->load_error();
    double length = -1, preroll = -1;
    ASSERT_EQ(f->GetLength(&length, &preroll), S_OK);
    EXPECT_NEAR(length, want.seconds, 1e-9);
    EXPECT_EQ(preroll, 0.0);
    const zk::MediaInfo info = f->media_info();
    EXPECT_EQ(info.has_video, want.video);
    EXPECT_EQ(info.has_audio, want.audio);
    if (want.video) {
        EXPECT_EQ(info.rate_num, want.rate_num);
        EXPECT_EQ(info.rate_den, want.rate_den);
        EXPECT_EQ(info.frame_count, want.frames);
        EXPECT_EQ(info.width, 720);
        EXPECT_EQ(info.height, 486);
    }
    EXPECT_EQ(f->load_error(), "");
}

INSTANTIATE_TEST_SUITE_P(Samples, FileSourceLoad,
                         ::testing::Values(Loaded{".avi", 3.003, true, 30000, 1001, 90, false},
                                           Loaded{".matte.avi", 3.003, true, 30000, 1001, 90, false},
                                           Loaded{".A1.wav", 3.003, false, 0, 1, 0, true},
                                           Loaded{".A2.wav", 3.003, false, 0, 1, 0, true}));

struct Refusal {
    const char* name;
    std::vector<char> bytes; // empty: the file does not exist
    HRESULT code;
};

class FileSourceRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(FileSourceRefusal, NamesTheFileAndKeepsThePreviousClip)
{
    const Refusal& r = GetParam();
    const std::string dir = scratch_dir(std::string("refusal_") + r.name);
    const std::string path = dir + "/" + r.name;
    if (!r.bytes.empty()) std::ofstream(path, std::ios::binary).write(r.bytes.data(), static_cast<std::streamsize>(r.bytes.size()));
    auto f = file_source();
    const std::u16string good = zk::to_wide((kSamples + ".avi").c_str());
    ASSERT_EQ(f->Load(reinterpret_cast<LPCOLESTR>(good.c_str()), nullptr), S_OK);
    const std::u16string bad = zk::to_wide(path.c_str());
    EXPECT_EQ(f->Load(reinterpret_cast<LPCOLESTR>(bad.c_str()), nullptr), r.code);
    EXPECT_NE(f->load_error().find(r.name), std::string::npos) << f->load_error();
    // The clip loaded before stays, whole.
    EXPECT_EQ(f->current_file(), kSamples + ".avi");
    double length = 0, preroll = 0;
    ASSERT_EQ(f->GetLength(&length, &preroll), S_OK);
    EXPECT_NEAR(length, 3.003, 1e-9);
}

std::vector<char> riff_avi_header_only()
{
    std::vector<char> b = {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'V', 'I', ' '};
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Files, FileSourceRefusal,
    ::testing::Values(Refusal{"missing.avi", {}, VFW_E_NOT_FOUND},
                      Refusal{"text.avi", std::vector<char>(400, 'x'), VFW_E_INVALID_FILE_FORMAT},
                      Refusal{"cut.avi", riff_avi_header_only(), VFW_E_INVALID_FILE_FORMAT}),
    [](const auto& info) { return std::string(info.param.name).substr(0, std::string(info.param.name).find('.')); });

TEST(FileSourceLoad, TheCatalogueComesFirstAndNeedsNoFile)
{
    zk::set_virtual_media("nowhere/catalogued.avi", 4.5, 0.5);
    auto f = file_source();
    const std::u16string path = u"nowhere/catalogued.avi";
    ASSERT_EQ(f->Load(reinterpret_cast<LPCOLESTR>(path.c_str()), nullptr), S_OK);
    double length = 0, preroll = 0;
    ASSERT_EQ(f->GetLength(&length, &preroll), S_OK);
    EXPECT_EQ(length, 4.5);
    EXPECT_EQ(preroll, 0.5);
    EXPECT_FALSE(f->media_info().has_video) << "a catalogue clip has a length and no pictures";
    zk::set_virtual_media("nowhere/catalogued.avi", -1);
}

// ---- the timeline the graph hands its sources ----

TEST(SourceTimeline, GivesTheGraphsPositionAtEveryClockTime)
{
    zk::BoardOverride board(zk::manual_board_config());
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    zk::ComPtr<IGraphBuilder> builder;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC, IID_IGraphBuilder, builder.put_void()), S_OK);
    auto graph = builder.as<IMediaFilter>();
    auto control = builder.as<IMediaControl>();
    auto position = builder.as<IMediaPosition>();
    // The board's clock, stepped by hand.
    zk::ComPtr<IReferenceClock> clock;
    ASSERT_EQ(CoCreateInstance(CLSID_DigiSuiteReferenceClock, nullptr, CLSCTX_INPROC, IID_IReferenceClock, clock.put_void()), S_OK);
    ASSERT_EQ(graph->SetSyncSource(clock.get()), S_OK);
    auto f = file_source();
    ASSERT_EQ(builder->AddFilter(f.get(), u"source"), S_OK);
    const std::u16string path = zk::to_wide((kSamples + ".avi").c_str());
    ASSERT_EQ(f->Load(reinterpret_cast<LPCOLESTR>(path.c_str()), nullptr), S_OK);

    auto agree = [&](const char* when) {
        REFERENCE_TIME now = 0;
        ASSERT_EQ(clock->GetTime(&now), S_OK);
        double pos = 0;
        ASSERT_EQ(position->get_CurrentPosition(&pos), S_OK);
        EXPECT_NEAR(f->timeline().position_at(now), pos, 1e-9) << when;
    };
    agree("stopped");
    ASSERT_EQ(control->Run(), S_OK);
    board.board().step_fields(7);
    agree("running");
    EXPECT_TRUE(f->timeline().moving);
    ASSERT_EQ(position->put_CurrentPosition(1.25), S_OK);
    agree("sought while running");
    board.board().step_fields(3);
    agree("running on from the seek");
    ASSERT_EQ(position->put_Rate(2.0), S_OK);
    board.board().step_fields(4);
    agree("at twice the rate");
    ASSERT_EQ(control->Pause(), S_OK);
    board.board().step_fields(5);
    agree("paused");
    EXPECT_FALSE(f->timeline().moving);
    ASSERT_EQ(control->Run(), S_OK);
    board.board().step_fields(400); // past the end: it completes and rests there
    agree("completed");
    EXPECT_FALSE(f->timeline().moving);
    ASSERT_EQ(control->Stop(), S_OK);
    builder.reset();
    CoUninitialize();
}

// ---- the sound track of a recording ----

TEST(RecordedSound, FieldsSpanExactlyTheirShareOfASecond)
{
    for (int standard : {1, 2}) {
        const long long fields_a_second = standard == 1 ? 60 : 50; // fields in 1.001 s or in 1 s
        long long total = 0;
        for (long long i = 0; i < fields_a_second; ++i) total += zk::ProgramRecorder::audio_samples_of_field(standard, i);
        EXPECT_EQ(total, standard == 1 ? 48048 : 48000) << "standard " << standard;
        for (long long i : {0LL, 1LL, 4LL, 123456789LL}) {
            const int n = zk::ProgramRecorder::audio_samples_of_field(standard, i);
            EXPECT_TRUE(standard == 1 ? (n == 800 || n == 801) : n == 960) << n;
        }
    }
    EXPECT_EQ(zk::ProgramRecorder::audio_samples_of_field(1, -1), 0);
}

TEST(RecordedSound, IsAsLongAsThePicturesAndHoldsWhatWasGiven)
{
    const std::string dir = scratch_dir("recorded_sound");
    const std::string path = dir + "/sound.mkv";
    zk::RecorderSettings s;
    s.video_path = path;
    s.width = 64;
    s.height = 48;
    s.audio = true;
    zk::ProgramRecorder rec;
    ASSERT_EQ(rec.open(s), zk::kRecorderOk) << rec.last_error();
    std::vector<std::uint32_t> picture(64 * 48, 0xFF204080u);
    std::vector<std::int16_t> given; // what the file must hold, pair by pair
    const int fields = 31; // an odd count: the last frame is finished with a field held
    for (int i = 0; i < fields; ++i) {
        const int n = rec.field_audio_samples();
        std::vector<std::int16_t> sound;
        if (i % 5 == 3) {
            // Too much: cut to the field's span.
            sound.assign(static_cast<std::size_t>(n + 100) * 2, static_cast<std::int16_t>(-i));
        } else if (i % 5 == 4) {
            // Too little: padded with silence.
            sound.assign(10, static_cast<std::int16_t>(i));
        } else if (i % 5 != 2) { // every fifth field gives none: silence
            for (int k = 0; k < n; ++k) {
                sound.push_back(static_cast<std::int16_t>(i * 100 + k % 100));
                sound.push_back(static_cast<std::int16_t>(-(i * 100 + k % 100)));
            }
        }
        if (i % 5 != 2) {
            ASSERT_EQ(rec.add_field_audio(sound), zk::kRecorderOk);
        }
        std::vector<std::int16_t> expect(sound.begin(), sound.begin() + std::min<std::ptrdiff_t>(sound.size(), 2 * n));
        expect.resize(static_cast<std::size_t>(2 * n), 0);
        given.insert(given.end(), expect.begin(), expect.end());
        ASSERT_EQ(rec.add_field(i % 2 ? zk::FieldParity::second : zk::FieldParity::first, picture, 64), zk::kRecorderOk);
    }
    ASSERT_EQ(rec.close(), zk::kRecorderOk) << rec.last_error();
    EXPECT_EQ(rec.counts().audio_samples, static_cast<long long>(given.size() / 2));

    const zt::Decoded d = zt::decode_file(path);
    ASSERT_EQ(d.error, "");
    ASSERT_TRUE(d.has_audio);
    EXPECT_EQ(d.sample_rate, 48000);
    EXPECT_EQ(d.channels, 2);
    ASSERT_EQ(d.frames.size(), 16u);
    // 16 frames: 32 fields of sound less the one held field of the last frame, which came
    // with no sound of its own.
    long long span = 0;
    for (int i = 0; i < fields; ++i) span += zk::ProgramRecorder::audio_samples_of_field(1, i);
    EXPECT_EQ(static_cast<long long>(d.audio.size() / 2), span);
    EXPECT_EQ(d.audio, given);
}

TEST(RecordedSound, IsRefusedOnARecordingWithoutIt)
{
    const std::string dir = scratch_dir("no_sound");
    zk::ProgramRecorder rec;
    ASSERT_EQ(rec.open(dir + "/quiet.mkv", 1, 64, 48), zk::kRecorderOk);
    std::vector<std::int16_t> sound(1602, 1);
    EXPECT_EQ(rec.add_field_audio(sound), zk::kRecorderBadArgument);
    EXPECT_FALSE(rec.records_audio());
    std::vector<std::uint32_t> picture(64 * 48, 0);
    ASSERT_EQ(rec.add_field(zk::FieldParity::first, picture, 64), zk::kRecorderOk);
    ASSERT_EQ(rec.add_field(zk::FieldParity::second, picture, 64), zk::kRecorderOk);
    ASSERT_EQ(rec.close(), zk::kRecorderOk);
    const zt::Decoded d = zt::decode_file(dir + "/quiet.mkv");
    ASSERT_EQ(d.error, "");
    EXPECT_FALSE(d.has_audio);
}

} // namespace
