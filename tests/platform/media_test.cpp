// Reading motion clips and sound: the facts the sample files state, frame k exactly whichever
// way it is reached, keys from mattes and alpha, sound at the board's rate, clear errors on bad
// files, and a prefetcher whose consumer never waits for the decoder.
//
// Every frame of the sample clip and of the fixture with predicted frames carries its own
// number as a row of lit squares, so these tests read back which frame they got.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "platform/media/frame_prefetcher.h"
#include "platform/media/media_file.h"
#include "platform/media/motion_clip.h"
#include "platform/media/riff_layout.h"
#include "platform/testing/board.h"
#include "platform/testing/settle.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

const std::string kClip = std::string(ZORVIK_SOURCE_DIR) + "/samples/motion/zorvik_motion";
constexpr long long kClipFrames = 90;
constexpr long long kClipSamples = 144144; // 3.003 s at 48 kHz

std::string fixture(const std::string& name)
{
    return zt::data_path("media/" + name);
}

// A scratch folder of its own for a test, emptied first.
std::string scratch(const std::string& name)
{
    const std::string dir = std::string(ZORVIK_TEST_TMP) + "/media_" + name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::vector<std::uint8_t> file_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::uint64_t hash_of(const std::vector<std::uint32_t>& pixels)
{
    std::uint64_t h = 1469598103934665603ull;
    for (std::uint32_t p : pixels) h = (h ^ p) * 1099511628211ull;
    return h;
}

// Where a file draws its frame number: `bits` squares of `size` pixels from (x, y), `step` apart.
struct CodeStrip {
    int bits, size, x, y, step;
};
constexpr CodeStrip kClipStrip{12, 16, 8, 8, 20};
constexpr CodeStrip kGopStrip{8, 24, 0, 0, 24};

// The number a picture shows, read from its green (fill) or key byte.
long long shown_number(const std::vector<std::uint32_t>& pixels, int width, const CodeStrip& strip, bool key = false)
{
    long long n = 0;
    for (int i = 0; i < strip.bits; ++i) {
        const int cx = strip.x + i * strip.step + strip.size / 2;
        const int cy = strip.y + strip.size / 2;
        const std::uint32_t p = pixels[static_cast<std::size_t>(cy) * static_cast<std::size_t>(width) + static_cast<std::size_t>(cx)];
        const std::uint32_t level = key ? p >> 24 : (p >> 8) & 0xFF;
        if (level > 128) n |= 1LL << i;
    }
    return n;
}

// ---- what the files state ----

struct FileFacts {
    const char* path;
    bool video;
    int width, height;
    long long frames;
    zk::FieldOrder order;
    bool alpha;
    bool audio;
    int rate, channels;
    long long samples, board_samples;
};

class MediaFacts : public testing::TestWithParam<FileFacts> {};

TEST_P(MediaFacts, AreStatedAsTheFileHasThem)
{
    const FileFacts& f = GetParam();
    const std::string path = f.path[0] == '/' ? f.path : (f.path[0] == '@' ? kClip + (f.path + 1) : fixture(f.path));
    zk::MediaFile file;
    const zk::MediaStatus st = file.open(path);
    ASSERT_EQ(st.code, zk::kMediaOk) << st.text;
    const zk::MediaInfo& info = file.info();
    EXPECT_EQ(info.has_video, f.video);
    EXPECT_EQ(info.has_audio, f.audio);
    if (f.video) {
        EXPECT_EQ(info.width, f.width);
        EXPECT_EQ(info.height, f.height);
        EXPECT_EQ(info.rate_num, 30000);
        EXPECT_EQ(info.rate_den, 1001);
        EXPECT_EQ(info.frame_count, f.frames);
        EXPECT_EQ(info.field_order, f.order);
        EXPECT_EQ(info.has_alpha, f.alpha);
        EXPECT_NEAR(info.duration, static_cast<double>(f.frames) * 1001.0 / 30000.0, 1e-9);
    }
    if (f.audio) {
        EXPECT_EQ(info.sample_rate, f.rate);
        EXPECT_EQ(info.channels, f.channels);
        EXPECT_EQ(info.sample_count, f.samples);
        EXPECT_EQ(info.board_sample_count, f.board_samples);
        EXPECT_NEAR(info.duration, static_cast<double>(f.samples) / f.rate, 1e-9);
    }
}

using FO = zk::FieldOrder;
INSTANTIATE_TEST_SUITE_P(
    Files, MediaFacts,
    testing::Values(
        // The sample clip and its sound: the sound lasts exactly as long as the 90 frames.
        FileFacts{"@.avi", true, 720, 486, kClipFrames, FO::bottom_first, false, false, 0, 0, 0, 0},
        FileFacts{"@.matte.avi", true, 720, 486, kClipFrames, FO::bottom_first, false, false, 0, 0, 0, 0},
        FileFacts{"@.A1.wav", false, 0, 0, 0, FO::unknown, false, true, 48000, 1, kClipSamples, kClipSamples},
        FileFacts{"@.A2.wav", false, 0, 0, 0, FO::unknown, false, true, 48000, 1, kClipSamples, kClipSamples},
        // Fixtures: predicted frames, a key of its own, sound needing conversion.
        FileFacts{"gop.avi", true, 192, 128, 45, FO::progressive, false, false, 0, 0, 0, 0},
        FileFacts{"ramp.alpha.avi", true, 64, 48, 6, FO::progressive, true, false, 0, 0, 0, 0},
        FileFacts{"tone_mono_44k.wav", false, 0, 0, 0, FO::unknown, false, true, 44100, 1, 22050, 24000},
        FileFacts{"tone_stereo_f32.wav", false, 0, 0, 0, FO::unknown, false, true, 48000, 2, 12000, 12000}));

// ---- frame k, however it is reached ----

struct ClipCase {
    const char* path; // '@' stands for the sample clip's base name
    CodeStrip strip;
    bool key; // the number is in the key (a matte), not the fill
};

class MediaFrames : public testing::TestWithParam<ClipCase> {
protected:
    static std::string path_of(const ClipCase& c) { return c.path[0] == '@' ? kClip + (c.path + 1) : fixture(c.path); }

    // Frame k as a picture: the fill, or the matte's key over black.
    static std::vector<std::uint32_t> read(zk::MediaFile& file, long long k, const ClipCase& c)
    {
        const int w = file.info().width, h = file.info().height;
        std::vector<std::uint32_t> px(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
        const zk::MediaStatus st = c.key ? file.read_key(k, zk::KeyFrom::luma, w, h, px) : file.read_picture(k, w, h, px);
        EXPECT_TRUE(st.ok()) << "frame " << k << ": " << st.text;
        return px;
    }
};

TEST_P(MediaFrames, AreTheSameInOrderBackwardAndSoughtAtRandom)
{
    const ClipCase& c = GetParam();
    zk::MediaFile in_order;
    ASSERT_TRUE(in_order.open(path_of(c)).ok());
    const long long frames = in_order.info().frame_count;
    const int w = in_order.info().width;
    // The straightforward way: every frame once, first to last.
    std::vector<std::uint64_t> expected;
    for (long long k = 0; k < frames; ++k) {
        const auto px = read(in_order, k, c);
        ASSERT_EQ(shown_number(px, w, c.strip, c.key), k) << "frame " << k << " shows another number";
        expected.push_back(hash_of(px));
    }
    // Each frame once more from a second reader, last to first, then in a random order.
    zk::MediaFile sought;
    ASSERT_TRUE(sought.open(path_of(c)).ok());
    for (long long k = frames - 1; k >= 0; --k) EXPECT_EQ(hash_of(read(sought, k, c)), expected[static_cast<std::size_t>(k)]) << "backward, frame " << k;
    std::vector<long long> order(static_cast<std::size_t>(frames));
    std::iota(order.begin(), order.end(), 0);
    const std::uint32_t seed = zt::test_seed();
    std::mt19937 rng(seed);
    std::shuffle(order.begin(), order.end(), rng);
    for (long long k : order) EXPECT_EQ(hash_of(read(sought, k, c)), expected[static_cast<std::size_t>(k)]) << "seed " << seed << ", frame " << k;
}

INSTANTIATE_TEST_SUITE_P(Clips, MediaFrames,
                         testing::Values(ClipCase{"@.avi", kClipStrip, false}, ClipCase{"@.matte.avi", kClipStrip, true},
                                         ClipCase{"gop.avi", kGopStrip, false}));

TEST(MediaFrames, FromMemoryMatchFromTheFile)
{
    const auto bytes = file_bytes(kClip + ".avi");
    zk::MediaFile from_file, from_memory;
    ASSERT_TRUE(from_file.open(kClip + ".avi").ok());
    ASSERT_TRUE(from_memory.open_memory(bytes, "clip in memory").ok());
    EXPECT_EQ(from_memory.info().frame_count, from_file.info().frame_count);
    std::vector<std::uint32_t> a(720 * 486), b(720 * 486);
    for (long long k : {33LL, 0LL, 89LL}) {
        ASSERT_TRUE(from_file.read_picture(k, 720, 486, a).ok());
        ASSERT_TRUE(from_memory.read_picture(k, 720, 486, b).ok());
        EXPECT_EQ(a, b) << "frame " << k;
    }
}

// ---- keys ----

// Copies fixture files into a scratch folder under the names a clip needs.
std::string clip_from(const std::string& dir, const std::string& base, std::initializer_list<std::pair<const char*, const char*>> files)
{
    for (const auto& [from, suffix] : files) fs::copy_file(fixture(from), dir + "/" + base + suffix);
    return dir + "/" + base;
}

TEST(MotionClipKeys, AMatteGivesTheSampleClipItsShape)
{
    zk::MotionClip clip;
    const zk::MediaStatus st = clip.open(kClip + ".avi");
    ASSERT_EQ(st.code, zk::kMediaOk) << st.text;
    EXPECT_EQ(clip.key_kind(), zk::KeyKind::matte);
    zk::VideoPicture pic;
    ASSERT_TRUE(clip.decode_frame(40, pic).ok());
    ASSERT_EQ(pic.pixels.size(), 720u * 486u);
    auto at = [&](int x, int y) { return pic.pixels[static_cast<std::size_t>(y) * 720 + static_cast<std::size_t>(x)]; };
    EXPECT_EQ(at(60, 350) >> 24, 255u) << "inside the caption band";
    EXPECT_GE((at(60, 350) >> 16) & 0xFF, 235u) << "the band is white";
    EXPECT_EQ(at(700, 470) >> 24, 0u) << "outside every shape";
    EXPECT_EQ(shown_number(pic.pixels, 720, kClipStrip, true), 40);
    EXPECT_EQ(shown_number(pic.pixels, 720, kClipStrip, false), 40);
}

TEST(MotionClipKeys, StudioRangeMatteAlphaClipAndScaling)
{
    const std::string dir = scratch("keys");
    // A studio-range matte: luma 16 keys 0, luma 235 keys 255.
    zk::MotionClip matte;
    ASSERT_EQ(matte.open(clip_from(dir, "lim", {{"small.avi", ".avi"}, {"small_matte.avi", ".matte.avi"}})).code, zk::kMediaOk);
    zk::VideoPicture pic;
    ASSERT_TRUE(matte.decode_frame(2, pic).ok());
    EXPECT_EQ(pic.pixels[24 * 64 + 8] >> 24, 0u);
    EXPECT_EQ(pic.pixels[24 * 64 + 56] >> 24, 255u);
    // The same at 720 × 486: the matte is scaled with the fill.
    zk::MotionClip big;
    ASSERT_EQ(big.open(dir + "/lim", 720, 486).code, zk::kMediaOk);
    ASSERT_TRUE(big.decode_frame(2, pic).ok());
    ASSERT_EQ(pic.width, 720);
    EXPECT_EQ(pic.pixels[243 * 720 + 100] >> 24, 0u);
    EXPECT_EQ(pic.pixels[243 * 720 + 620] >> 24, 255u);
    // No matte, an alpha clip: its alpha (4 × x) keys the fill.
    zk::MotionClip alpha;
    ASSERT_EQ(alpha.open(clip_from(dir, "ramp", {{"small.avi", ".avi"}, {"ramp.alpha.avi", ".alpha.avi"}})).code, zk::kMediaOk);
    EXPECT_EQ(alpha.key_kind(), zk::KeyKind::alpha_clip);
    ASSERT_TRUE(alpha.decode_frame(5, pic).ok());
    for (int x : {0, 10, 33, 63}) EXPECT_EQ(pic.pixels[20 * 64 + static_cast<std::size_t>(x)] >> 24, static_cast<std::uint32_t>(4 * x)) << x;
}

TEST(MotionClipKeys, AMissingOrUnusableKeyIsReported)
{
    const std::string dir = scratch("nokey");
    // Neither matte nor alpha clip: it opens, opaque, and says so.
    zk::MotionClip bare;
    const zk::MediaStatus st = bare.open(clip_from(dir, "bare", {{"small.avi", ".avi"}}));
    EXPECT_EQ(st.code, zk::kMediaNoKey);
    EXPECT_NE(st.text.find("bare.matte.avi"), std::string::npos) << st.text;
    EXPECT_NE(st.text.find("bare.alpha.avi"), std::string::npos) << st.text;
    zk::VideoPicture pic;
    ASSERT_TRUE(bare.decode_frame(1, pic).ok());
    EXPECT_TRUE(std::all_of(pic.pixels.begin(), pic.pixels.end(), [](std::uint32_t p) { return p >> 24 == 255; }));
    // A fill that carries alpha keys itself.
    zk::MotionClip own;
    EXPECT_EQ(own.open(clip_from(dir, "own", {{"ramp.alpha.avi", ".avi"}})).code, zk::kMediaOk);
    EXPECT_EQ(own.key_kind(), zk::KeyKind::own_alpha);
    // An "alpha" clip without alpha cannot key: refused, naming the file.
    zk::MotionClip no_alpha;
    const zk::MediaStatus refused = no_alpha.open(clip_from(dir, "flat", {{"small.avi", ".avi"}, {"small.avi", ".alpha.avi"}}));
    EXPECT_EQ(refused.code, zk::kMediaNoStream);
    EXPECT_NE(refused.text.find("flat.alpha.avi"), std::string::npos) << refused.text;
    // A key shorter than the fill: the clip opens and holds the key's last frame.
    zk::MotionClip shorter;
    EXPECT_EQ(shorter.open(clip_from(dir, "short", {{"gop.avi", ".avi"}, {"small_matte.avi", ".matte.avi"}})).code, zk::kMediaKeyShorter);
    EXPECT_TRUE(shorter.decode_frame(40, pic).ok());
}

TEST(MotionClipNames, FollowTheBaseName)
{
    EXPECT_EQ(zk::media_base_name("news/open.avi"), "news/open");
    EXPECT_EQ(zk::media_base_name("news/open"), "news/open");
    EXPECT_EQ(zk::media_base_name("news.v2/open"), "news.v2/open");
    EXPECT_EQ(zk::media_base_name("news/.open"), "news/.open");
    const std::string dir = scratch("names");
    const auto touch = [&](const std::string& name) { std::ofstream(dir + "/" + name) << "x"; };
    // Only the left file: a left file and no right one.
    touch("a.A1.wav");
    zk::WaveFiles w = zk::find_wave_files(dir + "/a.avi");
    EXPECT_EQ(w.left, dir + "/a.A1.wav");
    EXPECT_EQ(w.right, "");
    touch("b.A1.wav");
    touch("b.A2.wav");
    touch("b.wav");
    w = zk::find_wave_files(dir + "/b");
    EXPECT_EQ(w.left, dir + "/b.A1.wav");
    EXPECT_EQ(w.right, dir + "/b.A2.wav");
    touch("c.wav");
    EXPECT_EQ(zk::find_wave_files(dir + "/c").left, dir + "/c.wav");
    EXPECT_EQ(zk::find_wave_files(dir + "/none").left, "");
    // The matte wins over the alpha clip.
    touch("d.matte.avi");
    touch("d.alpha.avi");
    EXPECT_EQ(zk::find_motion_files(dir + "/d.avi").key_kind, zk::KeyKind::matte);
    touch("e.alpha.avi");
    EXPECT_EQ(zk::find_motion_files(dir + "/e").key, dir + "/e.alpha.avi");
}

// ---- sound ----

std::vector<std::int16_t> read_all(zk::MediaFile& file, long long chunk)
{
    const long long total = file.info().board_sample_count;
    std::vector<std::int16_t> all(static_cast<std::size_t>(2 * total));
    for (long long a = 0; a < total; a += chunk) {
        const long long b = std::min(total, a + chunk);
        const zk::MediaStatus st = file.read_audio(a, b, std::span<std::int16_t>(all.data() + 2 * a, static_cast<std::size_t>(2 * (b - a))));
        EXPECT_TRUE(st.ok()) << st.text;
    }
    return all;
}

long long zero_crossings(const std::vector<std::int16_t>& stereo, int channel)
{
    long long n = 0;
    for (std::size_t i = 2 + static_cast<std::size_t>(channel); i < stereo.size(); i += 2)
        if ((stereo[i - 2] < 0) != (stereo[i] < 0)) ++n;
    return n;
}

TEST(MediaSound, TheSampleToneReadsTheSameAnywhere)
{
    zk::MediaFile in_order, sought;
    ASSERT_TRUE(in_order.open(kClip + ".A1.wav").ok());
    ASSERT_TRUE(sought.open(kClip + ".A1.wav").ok());
    // A field's worth at a time, as the board takes it.
    const auto all = read_all(in_order, 801);
    // 1 kHz at -18 dBFS (4096), in both channels of the mono file, for all 3.003 s.
    EXPECT_NEAR(zero_crossings(all, 0), 2 * 3003, 2);
    EXPECT_NEAR(*std::max_element(all.begin(), all.end()), 4096, 1);
    for (std::size_t i = 0; i < all.size(); i += 2) ASSERT_EQ(all[i], all[i + 1]) << "sample " << i / 2;
    const std::uint32_t seed = zt::test_seed();
    std::mt19937 rng(seed);
    std::vector<std::int16_t> part;
    for (int i = 0; i < 40; ++i) {
        const long long a = std::uniform_int_distribution<long long>(0, kClipSamples - 1)(rng);
        const long long b = std::min(kClipSamples, a + std::uniform_int_distribution<long long>(1, 5000)(rng));
        part.assign(static_cast<std::size_t>(2 * (b - a)), -1);
        ASSERT_TRUE(sought.read_audio(a, b, part).ok());
        EXPECT_TRUE(std::equal(part.begin(), part.end(), all.begin() + 2 * a)) << "seed " << seed << ": samples " << a << " to " << b;
    }
    // Past the end is silence; as floats the same samples.
    part.assign(200, -1);
    ASSERT_TRUE(sought.read_audio(kClipSamples - 50, kClipSamples + 50, part).ok());
    EXPECT_TRUE(std::equal(part.begin(), part.begin() + 100, all.end() - 100));
    EXPECT_TRUE(std::all_of(part.begin() + 100, part.end(), [](std::int16_t s) { return s == 0; }));
    std::vector<float> floats(2000);
    ASSERT_TRUE(sought.read_audio(5000, 6000, floats).ok());
    for (std::size_t i = 0; i < floats.size(); ++i) ASSERT_EQ(floats[i] * 32768.0f, all[10000 + i]) << i;
}

TEST(MediaSound, OtherRatesAreResampledAndChannelsKept)
{
    // Mono 1 kHz at 44.1 kHz becomes 24 000 board samples of the same tone in both channels.
    zk::MediaFile mono;
    ASSERT_TRUE(mono.open(fixture("tone_mono_44k.wav")).ok());
    std::vector<float> all(2 * 24000);
    ASSERT_TRUE(mono.read_audio(0, 24000, all).ok());
    double worst = 0;
    for (std::size_t n = 64; n < 24000 - 64; ++n) {
        const double expected = std::sin(2 * M_PI * 1000.0 * static_cast<double>(n) / 48000.0) / 8.0;
        worst = std::max(worst, std::abs(all[2 * n] - expected));
        ASSERT_EQ(all[2 * n], all[2 * n + 1]);
    }
    EXPECT_LT(worst, 2e-3) << "the resampled tone is off in phase or level";
    // Reads elsewhere give what reading through gave.
    const std::uint32_t seed = zt::test_seed();
    std::mt19937 rng(seed);
    std::vector<float> part(2 * 1000);
    for (int i = 0; i < 12; ++i) {
        const long long a = std::uniform_int_distribution<long long>(0, 23000)(rng);
        ASSERT_TRUE(mono.read_audio(a, a + 1000, part).ok());
        for (std::size_t j = 0; j < part.size(); ++j)
            ASSERT_NEAR(part[j], all[static_cast<std::size_t>(2 * a) + j], 1e-5) << "seed " << seed << ": sample " << a << " + " << j / 2;
    }
    // Stereo keeps its channels apart: 1 kHz on the left, 3 kHz on the right.
    zk::MediaFile stereo;
    ASSERT_TRUE(stereo.open(fixture("tone_stereo_f32.wav")).ok());
    const auto both = read_all(stereo, 4800);
    EXPECT_NEAR(zero_crossings(both, 0), 500, 2);
    EXPECT_NEAR(zero_crossings(both, 1), 1500, 2);
}

// ---- errors ----

struct BadFile {
    const char* name;
    int code;
    std::vector<std::uint8_t> (*make)();
};

std::vector<std::uint8_t> first_bytes_of_clip(std::size_t n)
{
    auto b = file_bytes(kClip + ".avi");
    b.resize(std::min(n, b.size()));
    return b;
}

class MediaErrors : public testing::TestWithParam<BadFile> {};

TEST_P(MediaErrors, AreReportedWithACodeAndTheFileName)
{
    const BadFile& bad = GetParam();
    const std::string path = std::string(ZORVIK_TEST_TMP) + "/media_bad_" + bad.name;
    fs::remove_all(path);
    if (bad.make) write_bytes(path, bad.make());
    zk::MediaFile file;
    const zk::MediaStatus st = file.open(path);
    EXPECT_EQ(st.code, bad.code) << st.text;
    EXPECT_NE(st.text.find(path), std::string::npos) << st.text;
    EXPECT_FALSE(file.is_open());
    std::vector<std::uint32_t> px(16);
    EXPECT_EQ(file.read_picture(0, 4, 4, px).code, zk::kMediaNotOpen);
}

INSTANTIATE_TEST_SUITE_P(
    Files, MediaErrors,
    testing::Values(BadFile{"missing.avi", zk::kMediaNotFound, nullptr},
                    BadFile{"empty.avi", zk::kMediaUnreadable, [] { return std::vector<std::uint8_t>{}; }},
                    BadFile{"text.avi", zk::kMediaUnreadable,
                            [] {
                                const std::string t = "not a clip\n";
                                return std::vector<std::uint8_t>(t.begin(), t.end());
                            }},
                    BadFile{"header_only.avi", zk::kMediaUnreadable, [] { return first_bytes_of_clip(2000); }},
                    // Found by fuzzing: WAVE files whose tag lists claim 2 GB, inside the RIFF chunk or after it.
                    BadFile{"tags_claim_2gb.wav", zk::kMediaUnreadable,
                            [] { return file_bytes(std::string(ZORVIK_SOURCE_DIR) + "/fuzz/corpus/media_open/oom_wav_tag_list_claims_2gb.wav"); }},
                    BadFile{"tags_after_the_riff_chunk.wav", zk::kMediaUnreadable,
                            [] { return file_bytes(std::string(ZORVIK_SOURCE_DIR) + "/fuzz/corpus/media_open/oom_wav_tags_after_the_riff_chunk.wav"); }},
                    // A clip of another kind: an image sequence format the library does not take.
                    BadFile{"png_as.avi", zk::kMediaUnreadable,
                            [] {
                                std::vector<std::uint8_t> png(64, 0);
                                const std::uint8_t signature[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
                                std::copy(std::begin(signature), std::end(signature), png.begin());
                                return png;
                            }}),
    [](const auto& info) {
        std::string n = info.param.name;
        std::replace(n.begin(), n.end(), '.', '_');
        return n;
    });

TEST(MediaErrors, BadRequestsAndDamagedFrames)
{
    zk::MediaFile clip;
    ASSERT_TRUE(clip.open(kClip + ".avi").ok());
    std::vector<std::uint32_t> px(720 * 486);
    std::vector<std::int16_t> sound(16);
    EXPECT_EQ(clip.read_picture(90, 720, 486, px).code, zk::kMediaOutOfRange);
    EXPECT_EQ(clip.read_picture(-1, 720, 486, px).code, zk::kMediaOutOfRange);
    EXPECT_EQ(clip.read_picture(0, 720, 487, px).code, zk::kMediaBadArgument) << "one row more than the buffer holds";
    EXPECT_EQ(clip.read_picture(0, 0, 486, px).code, zk::kMediaBadArgument);
    EXPECT_EQ(clip.read_key(0, zk::KeyFrom::alpha, 720, 486, px).code, zk::kMediaNoStream);
    EXPECT_EQ(clip.read_audio(0, 8, sound).code, zk::kMediaNoStream);
    zk::MediaFile wave;
    ASSERT_TRUE(wave.open(kClip + ".A2.wav").ok());
    EXPECT_EQ(wave.read_audio(0, 9, sound).code, zk::kMediaBadArgument);
    EXPECT_EQ(wave.read_audio(5, 4, sound).code, zk::kMediaOutOfRange);
    EXPECT_EQ(wave.read_picture(0, 720, 486, px).code, zk::kMediaNoStream);

    // A clip cut off after 30 frames: it opens, the frames it has decode, the rest are missing.
    const std::string cut = std::string(ZORVIK_TEST_TMP) + "/media_cut.avi";
    const auto whole = file_bytes(kClip + ".avi");
    write_bytes(cut, std::vector<std::uint8_t>(whole.begin(), whole.begin() + static_cast<long>(whole.size() / 3)));
    zk::MediaFile cut_file;
    ASSERT_TRUE(cut_file.open(cut).ok());
    ASSERT_TRUE(cut_file.read_picture(20, 720, 486, px).ok());
    EXPECT_EQ(shown_number(px, 720, kClipStrip), 20);
    const zk::MediaStatus missing = cut_file.read_picture(80, 720, 486, px);
    EXPECT_EQ(missing.code, zk::kMediaDecodeFailed) << missing.text;
    ASSERT_TRUE(cut_file.read_picture(21, 720, 486, px).ok()) << "a missing frame leaves the reader usable";
    EXPECT_EQ(shown_number(px, 720, kClipStrip), 21);

    // Garbage over the middle of the file: whatever it costs, the frames around it still read.
    auto damaged = whole;
    std::mt19937 rng(zt::test_seed());
    for (std::size_t i = damaged.size() / 2; i < damaged.size() / 2 + 4000; ++i) damaged[i] = static_cast<std::uint8_t>(rng());
    const std::string hurt = std::string(ZORVIK_TEST_TMP) + "/media_damaged.avi";
    write_bytes(hurt, damaged);
    zk::MediaFile hurt_file;
    ASSERT_TRUE(hurt_file.open(hurt).ok());
    for (long long k = 0; k < kClipFrames; ++k) (void)hurt_file.read_picture(k, 720, 486, px);
    for (long long k : {10LL, 80LL}) {
        ASSERT_TRUE(hurt_file.read_picture(k, 720, 486, px).ok());
        EXPECT_EQ(shown_number(px, 720, kClipStrip), k);
    }
}

// RIFF files built chunk by chunk.
struct Riff {
    std::vector<std::uint8_t> bytes;
    Riff& fourcc(const char* f)
    {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(f[i]));
        return *this;
    }
    Riff& le32(std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        return *this;
    }
    // A chunk stating `size` bytes, with `have` of them present.
    Riff& chunk(const char* f, std::uint32_t size, std::size_t have)
    {
        fourcc(f).le32(size);
        bytes.resize(bytes.size() + have, 0);
        return *this;
    }
};

struct LayoutCase {
    const char* name;
    Riff file;
    const char* why; // empty: acceptable
};

class RiffLayout : public testing::TestWithParam<LayoutCase> {};

TEST_P(RiffLayout, HeaderChunksMustFitMediaChunksMayBeCut)
{
    const LayoutCase& c = GetParam();
    const auto& bytes = c.file.bytes;
    const zk::ReadBytesAt read = [&](std::uint64_t at, std::span<std::uint8_t> out) {
        if (at > bytes.size() || out.size() > bytes.size() - at) return false;
        std::copy_n(bytes.begin() + static_cast<long>(at), out.size(), out.begin());
        return true;
    };
    std::string why;
    EXPECT_EQ(zk::check_riff_layout(bytes.size(), read, why), std::string(c.why).empty()) << why;
    EXPECT_EQ(why, c.why);
}

Riff wave(std::uint32_t riff_size = 1000)
{
    return std::move(Riff{}.fourcc("RIFF").le32(riff_size).fourcc("WAVE").chunk("fmt ", 16, 16));
}
Riff avi_list(const char* type, std::uint32_t size)
{
    return std::move(Riff{}.fourcc("RIFF").le32(100000).fourcc("AVI ").fourcc("LIST").le32(size).fourcc(type));
}

INSTANTIATE_TEST_SUITE_P(
    Files, RiffLayout,
    testing::Values(LayoutCase{"wave", std::move(wave().chunk("data", 64, 64)), ""},
                    LayoutCase{"sound_cut_short", std::move(wave().chunk("data", 0x7FFFFFFF, 10)), ""},
                    LayoutCase{"tags_claim_2gb", std::move(wave().chunk("LIST", 0x9400001A, 0).fourcc("INFO").chunk("IART", 4, 4)),
                               "its 'INFO' chunk runs past the end of the file"},
                    LayoutCase{"format_cut_short", std::move(wave().chunk("fmt ", 40, 8)), "its 'fmt ' chunk runs past the end of the file"},
                    LayoutCase{"frames_cut_short", std::move(avi_list("movi", 5000).chunk("00dc", 4000, 100)), ""},
                    LayoutCase{"header_past_its_list", std::move(avi_list("hdrl", 20).chunk("avih", 56, 56)),
                               "its 'avih' chunk runs past the end of the list that holds it"},
                    // Found by fuzzing: FFmpeg reads on after the RIFF chunk's stated end.
                    LayoutCase{"tags_after_the_riff_chunk",
                               std::move(Riff{}.fourcc("RIFF").le32(4 + 24).fourcc("WAVE").chunk("fmt ", 16, 16).chunk("LIST", 0x6D666157, 0).fourcc("INFO")),
                               "its 'INFO' chunk runs past the end of the file"},
                    LayoutCase{"more_frames_in_another_riff", std::move(avi_list("movi", 4).chunk("RIFF", 100000, 50)), ""},
                    LayoutCase{"odd_chunks_padded", std::move(wave().chunk("note", 3, 4).chunk("data", 2, 2)), ""},
                    LayoutCase{"another_riff_form", std::move(Riff{}.fourcc("RIFF").le32(4).fourcc("RMID")), "not an AVI or WAVE file"},
                    LayoutCase{"too_short", std::move(Riff{}.fourcc("RIFF")), "not an AVI or WAVE file"},
                    LayoutCase{"endless_small_chunks",
                               [] {
                                   Riff r = wave(0xFFFFFFF0);
                                   for (int i = 0; i < 5000; ++i) r.chunk("JUNK", 0, 0);
                                   return r;
                               }(),
                               "it has more than 4096 chunks"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the prefetcher ----

// Frames whose pixels are their number; decoding waits while the gate is shut.
class GatedSource final : public zk::FrameSource {
public:
    GatedSource() : gate_(CreateEvent(nullptr, TRUE, FALSE, nullptr)) {}
    ~GatedSource() override { CloseHandle(gate_); }
    void open_gate() { SetEvent(gate_); }
    long long frame_count() const override { return 100; }
    int width() const override { return 8; }
    int height() const override { return 2; }
    zk::MediaStatus decode_frame(long long frame, zk::VideoPicture& out) override
    {
        WaitForSingleObject(gate_, INFINITE);
        if (frame == 13) return {zk::kMediaDecodeFailed, "frame 13 is damaged"};
        std::fill(out.pixels.begin(), out.pixels.end(), static_cast<std::uint32_t>(frame));
        return {};
    }

private:
    HANDLE gate_;
};

TEST(FramePrefetcher, ATakeNeverWaitsForAHeldDecoder)
{
    zk::BoardOverride board(zk::manual_board_config());
    GatedSource source;
    zk::FramePrefetcher prefetcher(source, 4);
    ASSERT_TRUE(prefetcher.start().ok());
    prefetcher.cue(0, 1.0);
    // The decoder is held inside frame 0: each field the consumer asks and goes on at once.
    std::vector<long long> asked;
    for (long long field = 0; field < 6; ++field) {
        ASSERT_TRUE(board.board().step_fields(1));
        asked.push_back(field / 2);
        EXPECT_EQ(prefetcher.take(field / 2), zk::TakeResult::not_ready) << "field " << field;
        EXPECT_EQ(prefetcher.current().frame, -1);
    }
    EXPECT_EQ(prefetcher.counts().misses, 6);
    EXPECT_EQ(prefetcher.counts().last_missed, 2);
    EXPECT_EQ(prefetcher.recent_misses(), asked);
    // Let it go: after the next settled field it has caught up with the consumer and stays ahead.
    source.open_gate();
    for (long long field = 6; field < 24; ++field) {
        ASSERT_TRUE(board.board().step_fields(1));
        ASSERT_EQ(prefetcher.take(field / 2), zk::TakeResult::ready) << "field " << field;
        EXPECT_EQ(prefetcher.current().frame, field / 2);
        EXPECT_EQ(prefetcher.current().pixels[5], static_cast<std::uint32_t>(field / 2));
    }
    EXPECT_EQ(prefetcher.counts().misses, 6);
    // A frame that cannot be decoded is reported; the last good one stays on show.
    ASSERT_TRUE(board.board().step_fields(1));
    EXPECT_EQ(prefetcher.take(13), zk::TakeResult::failed);
    EXPECT_EQ(prefetcher.current().frame, 11);
    EXPECT_EQ(prefetcher.last_error(), "frame 13 is damaged");
    EXPECT_EQ(prefetcher.take(100), zk::TakeResult::failed) << "outside the clip";
}

struct PlayCase {
    const char* name;
    long long start;
    double speed;
    long long fields;
};

class FramePrefetchPlay : public testing::TestWithParam<PlayCase> {};

TEST_P(FramePrefetchPlay, HasEveryFrameReadyOnItsField)
{
    const PlayCase& c = GetParam();
    zk::BoardOverride board(zk::manual_board_config());
    zk::MotionClip clip;
    ASSERT_EQ(clip.open(kClip).code, zk::kMediaOk);
    zk::FramePrefetcher prefetcher(clip, 6);
    ASSERT_TRUE(prefetcher.start().ok());
    prefetcher.cue(c.start, c.speed);
    for (long long field = 0; field < c.fields; ++field) {
        ASSERT_TRUE(board.board().step_fields(1));
        // A frame lasts two fields.
        const long long want = c.start + static_cast<long long>(std::trunc(static_cast<double>(field / 2) * c.speed));
        ASSERT_EQ(prefetcher.take(want), zk::TakeResult::ready) << "field " << field << ", frame " << want;
        ASSERT_EQ(shown_number(prefetcher.current().pixels, 720, kClipStrip), want);
    }
    EXPECT_EQ(prefetcher.counts().misses, 0);
}

INSTANTIATE_TEST_SUITE_P(Speeds, FramePrefetchPlay,
                         testing::Values(PlayCase{"forward", 0, 1.0, 60}, PlayCase{"backward", 89, -1.0, 60},
                                         PlayCase{"double", 3, 2.0, 40}, PlayCase{"triple_back", 85, -3.0, 40},
                                         PlayCase{"half", 20, 0.5, 40}, PlayCase{"held", 44, 0.0, 10}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FramePrefetcher, SeeksAndScrubsLandOnTheirFrame)
{
    zk::BoardOverride board(zk::manual_board_config());
    zk::MotionClip clip;
    ASSERT_EQ(clip.open(kClip).code, zk::kMediaOk);
    zk::FramePrefetcher prefetcher(clip, 4);
    ASSERT_TRUE(prefetcher.start().ok());
    // Scrub positions the consumer jumps to, each cued the field before it is shown.
    for (long long frame : {50LL, 7LL, 88LL, 8LL, 9LL, 30LL}) {
        prefetcher.cue(frame, 0.0);
        ASSERT_TRUE(board.board().step_fields(1));
        ASSERT_EQ(prefetcher.take(frame), zk::TakeResult::ready) << frame;
        EXPECT_EQ(shown_number(prefetcher.current().pixels, 720, kClipStrip), frame);
    }
    // A jump nobody cued is a miss on its field; the prefetcher re-plans from it.
    EXPECT_EQ(prefetcher.take(70), zk::TakeResult::not_ready);
    ASSERT_TRUE(board.board().step_fields(1));
    EXPECT_EQ(prefetcher.take(70), zk::TakeResult::ready);
    EXPECT_EQ(prefetcher.counts().misses, 1);
    EXPECT_EQ(prefetcher.counts().last_missed, 70);
}

} // namespace
