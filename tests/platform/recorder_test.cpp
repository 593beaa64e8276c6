// The program recorder: synthetic clips recorded field by field, decoded back through
// libavformat and libavcodec here, and compared pixel for pixel (fill and key) with the frames
// the fields make; the stream's field order, rate and length; frames with a field missing;
// snapshots; refused arguments and paths; a write failure that must not pass as success.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/recorder/program_recorder.h"
#include "support/decoded_video.h"
#include "support/field_clip.h"
#include "support/pam_image.h"
#include "support/test_support.h"

namespace {

using Pixels = std::vector<std::uint32_t>;
using zk::FieldParity;
using zt::compare_frame;
using zt::decode_file;
using zt::Decoded;

// How the test hands fields over.
enum class Feed {
    whole,        // the whole picture, the recorder picks the field's rows
    lines,        // only the field's rows, packed
    padded_lines, // only the field's rows, each followed by 5 pixels of padding
};

int feed_field(zk::ProgramRecorder& r, Feed feed, long field, const Pixels& picture, int width, int height)
{
    const FieldParity parity = field % 2 ? FieldParity::second : FieldParity::first;
    if (feed == Feed::whole) return r.add_field(parity, picture, static_cast<std::size_t>(width));
    const std::size_t w = static_cast<std::size_t>(width), stride = feed == Feed::padded_lines ? w + 5 : w;
    const int rows = zk::ProgramRecorder::field_rows(parity, height);
    // Padding only between rows: the last row needs none after it.
    Pixels lines;
    for (int i = 0; i < rows; ++i) {
        const std::size_t y = 2 * static_cast<std::size_t>(i) + (parity == FieldParity::first ? 1 : 0);
        if (i) lines.insert(lines.end(), stride - w, 0xDEADBEEFu);
        lines.insert(lines.end(), picture.begin() + static_cast<std::ptrdiff_t>(y * w), picture.begin() + static_cast<std::ptrdiff_t>((y + 1) * w));
    }
    return r.add_field_lines(parity, lines, stride);
}

struct RoundTrip {
    const char* name;
    zk::RecorderCodec codec;
    AVCodecID codec_id;
    int standard;
    int width, height;
    long frames;
    zt::ClipKind content;
    Feed feed;
    int queue;
};

void PrintTo(const RoundTrip& c, std::ostream* os)
{
    *os << c.name;
}

class RecorderRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(RecorderRoundTrip, EveryFrameComesBackExactly)
{
    const RoundTrip& c = GetParam();
    const std::string path = zt::temp_path(std::string("recorder_") + c.name + ".mkv");
    zk::RecorderSettings s;
    s.video_path = path;
    s.codec = c.codec;
    s.standard = c.standard;
    s.width = c.width;
    s.height = c.height;
    s.queue_frames = c.queue;
    zk::ProgramRecorder r;
    ASSERT_EQ(r.open(s), zk::kRecorderOk) << r.last_error();
    for (long f = 0; f < 2 * c.frames; ++f)
        ASSERT_EQ(feed_field(r, c.feed, f, zt::clip_picture(c.content, f, c.width, c.height), c.width, c.height), zk::kRecorderOk)
            << "field " << f << ": " << r.last_error();
    ASSERT_EQ(r.close(), zk::kRecorderOk) << r.last_error();
    const zk::RecorderCounts n = r.counts();
    EXPECT_EQ(n.fields, 2 * c.frames);
    EXPECT_EQ(n.frames, c.frames);
    EXPECT_EQ(n.held_fields, 0);

    const Decoded d = decode_file(path);
    ASSERT_EQ(d.error, "");
    EXPECT_EQ(d.codec, c.codec_id);
    EXPECT_EQ(d.field_order, AV_FIELD_BB) << "the first field in time is the odd lines: bottom field first";
    const AVRational rate = c.standard == 1 ? AVRational{30000, 1001} : AVRational{25, 1};
    EXPECT_EQ(av_cmp_q(d.avg_rate, rate), 0) << d.avg_rate.num << "/" << d.avg_rate.den;
    EXPECT_EQ(av_cmp_q(d.real_rate, rate), 0) << d.real_rate.num << "/" << d.real_rate.den;
    EXPECT_EQ(d.width, c.width);
    EXPECT_EQ(d.height, c.height);
    ASSERT_EQ(static_cast<long>(d.frames.size()), c.frames);
    for (long k = 0; k < c.frames; ++k)
        ASSERT_EQ(compare_frame(k, d.frames[static_cast<std::size_t>(k)], zt::clip_frame(c.content, k, c.width, c.height), c.width), "");
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, RecorderRoundTrip,
    ::testing::Values(
        RoundTrip{"utvideo_full_size", zk::RecorderCodec::utvideo, AV_CODEC_ID_UTVIDEO, 1, 720, 486, 6, zt::ClipKind::rectangles, Feed::whole, 8},
        RoundTrip{"utvideo_caption", zk::RecorderCodec::utvideo, AV_CODEC_ID_UTVIDEO, 1, 720, 486, 4, zt::ClipKind::caption, Feed::lines, 2},
        RoundTrip{"utvideo_pal_odd_width", zk::RecorderCodec::utvideo, AV_CODEC_ID_UTVIDEO, 2, 37, 20, 12, zt::ClipKind::busy, Feed::padded_lines, 1},
        RoundTrip{"ffv1", zk::RecorderCodec::ffv1, AV_CODEC_ID_FFV1, 1, 64, 48, 10, zt::ClipKind::rectangles, Feed::padded_lines, 3},
        RoundTrip{"png_odd_height", zk::RecorderCodec::png, AV_CODEC_ID_PNG, 1, 33, 17, 5, zt::ClipKind::rectangles, Feed::whole, 2}),
    [](const ::testing::TestParamInfo<RoundTrip>& i) { return std::string(i.param.name); });

// Fields that arrive without their partner: a recording that starts on a second field, a
// first field followed by another first field, a first field left alone at the end. Each
// frame still comes out, its missing field holding the previous frame's lines (transparent
// black before the first frame), in the video and in the snapshots alike.
TEST(Recorder, MissingFieldsKeepThePreviousFramesLines)
{
    constexpr int w = 24, h = 10;
    const std::string path = zt::temp_path("recorder_missing_fields.mkv");
    const std::string dir = zt::temp_path("recorder_missing_fields_pam");
    std::filesystem::remove_all(dir);
    // Fields given, by parity; each field's picture is the clip's picture of its position here.
    const std::vector<FieldParity> fields = {FieldParity::second, FieldParity::first, FieldParity::second, FieldParity::first,
                                             FieldParity::first,  FieldParity::second, FieldParity::first};
    // Each frame as (field whose picture gives the odd rows, field that gives the even rows);
    // -1: transparent black.
    const std::vector<std::pair<int, int>> expected = {{-1, 0}, {1, 2}, {3, 2}, {4, 5}, {6, 5}};

    zk::RecorderSettings s;
    s.video_path = path;
    s.snapshot_dir = dir;
    s.width = w;
    s.height = h;
    zk::ProgramRecorder r;
    ASSERT_EQ(r.open(s), zk::kRecorderOk) << r.last_error();
    std::vector<Pixels> pictures;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        pictures.push_back(zt::clip_picture(zt::ClipKind::rectangles, static_cast<long>(i), w, h));
        ASSERT_EQ(r.add_field(fields[i], pictures.back(), w), zk::kRecorderOk) << r.last_error();
    }
    ASSERT_EQ(r.close(), zk::kRecorderOk) << r.last_error();
    EXPECT_EQ(r.counts().frames, 5);
    EXPECT_EQ(r.counts().held_fields, 3);
    EXPECT_EQ(r.counts().snapshots, 5);

    const Decoded d = decode_file(path);
    ASSERT_EQ(d.error, "");
    ASSERT_EQ(d.frames.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        Pixels want(static_cast<std::size_t>(w * h), 0u);
        for (int y = 0; y < h; ++y) {
            const int from = y % 2 ? expected[k].first : expected[k].second;
            if (from >= 0)
                std::copy_n(pictures[static_cast<std::size_t>(from)].begin() + y * w, w, want.begin() + y * w);
        }
        EXPECT_EQ(compare_frame(static_cast<long>(k), d.frames[k], want, w), "") << "video";
        CKrFrameBuffer snapshot;
        char name[32];
        std::snprintf(name, sizeof name, "/frame_%06zu.pam", k);
        ASSERT_TRUE(zt::read_pam(dir + name, snapshot)) << name;
        ASSERT_EQ(snapshot.GetWidth(), w);
        ASSERT_EQ(snapshot.GetHeight(), h);
        const Pixels got(snapshot.GetBufferDWord(), snapshot.GetBufferDWord() + w * h);
        EXPECT_EQ(compare_frame(static_cast<long>(k), got, want, w), "") << "snapshot";
    }
}

// Matroska readers refuse a file without frames, so a recording that never got one leaves
// nothing that looks like a recording; one frame is enough to keep the file.
TEST(Recorder, RecordingWithoutFramesLeavesNoFile)
{
    const std::string path = zt::temp_path("recorder_empty.mkv");
    const Pixels picture(720 * 486, 0xFF102030u);
    for (int fields : {0, 1}) {
        zk::ProgramRecorder r;
        ASSERT_EQ(r.open(path, 1), zk::kRecorderOk) << r.last_error();
        EXPECT_TRUE(std::filesystem::exists(path)) << "created at open, so a bad path shows at once";
        if (fields) {
            ASSERT_EQ(r.add_field(FieldParity::second, picture, 720), zk::kRecorderOk);
        }
        ASSERT_EQ(r.close(), zk::kRecorderOk) << r.last_error();
        EXPECT_EQ(r.counts().frames, fields);
        EXPECT_EQ(std::filesystem::exists(path), fields == 1);
    }
    EXPECT_EQ(decode_file(path).frames.size(), 1u);
}

TEST(Recorder, SnapshotsKeepEveryNthFrame)
{
    constexpr int w = 16, h = 8;
    const std::string dir = zt::temp_path("recorder_snapshots");
    std::filesystem::remove_all(dir);
    zk::RecorderSettings s;
    s.snapshot_dir = dir + "/made/on/open";
    s.snapshot_every = 3;
    s.width = w;
    s.height = h;
    zk::ProgramRecorder r;
    ASSERT_EQ(r.open(s), zk::kRecorderOk) << r.last_error();
    for (long f = 0; f < 14; ++f) ASSERT_EQ(r.add_field(f % 2 ? FieldParity::second : FieldParity::first, zt::clip_picture(zt::ClipKind::caption, f, w, h), w), 0);
    ASSERT_EQ(r.close(), zk::kRecorderOk) << r.last_error();
    EXPECT_EQ(r.counts().snapshots, 3);
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(s.snapshot_dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"frame_000000.pam", "frame_000003.pam", "frame_000006.pam"}));
    CKrFrameBuffer fb;
    ASSERT_TRUE(zt::read_pam(s.snapshot_dir + "/frame_000006.pam", fb));
    EXPECT_EQ(compare_frame(6, Pixels(fb.GetBufferDWord(), fb.GetBufferDWord() + w * h), zt::clip_frame(zt::ClipKind::caption, 6, w, h), w), "");
}

// Calls that cannot work are refused with their code, say why, and change nothing.
TEST(Recorder, RefusesWhatCannotWork)
{
    const std::string path = zt::temp_path("recorder_refusals.mkv");
    const Pixels picture(720 * 486, 0x80FFFFFFu);
    zk::ProgramRecorder closed;
    EXPECT_EQ(closed.add_field(FieldParity::first, picture, 720), zk::kRecorderNotOpen);
    EXPECT_EQ(closed.close(), zk::kRecorderNotOpen);
    EXPECT_NE(closed.last_error(), "");

    struct Open {
        const char* what;
        int standard, width, height;
    };
    for (const Open o : {Open{"standard 0", 0, 720, 486}, Open{"standard 4", 4, 720, 486}, Open{"no width", 1, 0, 486},
                         Open{"one line", 1, 720, 1}, Open{"too wide", 1, 9000, 486}}) {
        zk::ProgramRecorder r;
        EXPECT_EQ(r.open(path, o.standard, o.width, o.height), zk::kRecorderBadArgument) << o.what;
        EXPECT_FALSE(r.is_open()) << o.what;
        EXPECT_NE(r.last_error(), "") << o.what;
    }
    zk::RecorderSettings nothing;
    zk::ProgramRecorder r;
    EXPECT_EQ(r.open(nothing), zk::kRecorderBadArgument) << "neither a file nor a folder";

    ASSERT_EQ(r.open(path, 1), zk::kRecorderOk) << r.last_error();
    EXPECT_EQ(r.open(path, 1), zk::kRecorderAlreadyOpen);
    struct Field {
        const char* what;
        int parity;
        std::size_t pixels, stride;
        bool lines;
    };
    for (const Field f : {Field{"parity 2", 2, picture.size(), 720, false}, Field{"parity -1", -1, picture.size(), 720, false},
                          Field{"stride below the width", 0, picture.size(), 719, false},
                          Field{"picture a pixel short", 0, picture.size() - 1, 720, false},
                          Field{"lines a pixel short", 0, 242 * 720 + 719, 720, true},
                          Field{"stride overflowing", 1, picture.size(), std::size_t{1} << 62, false}}) {
        const std::span<const std::uint32_t> given(picture.data(), f.pixels);
        const int code = f.lines ? r.add_field_lines(static_cast<FieldParity>(f.parity), given, f.stride)
                                 : r.add_field(static_cast<FieldParity>(f.parity), given, f.stride);
        EXPECT_EQ(code, zk::kRecorderBadArgument) << f.what;
    }
    EXPECT_EQ(r.add_field_lines(FieldParity::first, std::span<const std::uint32_t>(picture.data(), 243 * 720), 720), zk::kRecorderOk)
        << "exactly the field's lines are enough";
    EXPECT_EQ(r.counts().fields, 1);
    ASSERT_EQ(r.close(), zk::kRecorderOk) << r.last_error();
    EXPECT_EQ(decode_file(path).frames.size(), 1u) << "the lone first field still makes a frame";
}

// Paths that cannot be written are refused at open with the path in the reason, and leave the
// recorder closed.
TEST(Recorder, PathsThatCannotBeCreatedAreRefused)
{
    const std::string file = zt::temp_path("recorder_plain_file");
    { std::ofstream(file) << "x"; }
    struct Case {
        const char* what;
        std::string video, snapshots;
        std::string named;
    };
    const Case cases[] = {
        {"missing folder", "/nonexistent-zorvik-folder/out.mkv", "", "/nonexistent-zorvik-folder/out.mkv"},
        {"a folder as the file", ZORVIK_TEST_TMP, "", ZORVIK_TEST_TMP},
        {"snapshots under a file", "", file + "/pictures", file + "/pictures"},
    };
    for (const Case& c : cases) {
        zk::RecorderSettings s;
        s.video_path = c.video;
        s.snapshot_dir = c.snapshots;
        zk::ProgramRecorder r;
        EXPECT_EQ(r.open(s), zk::kRecorderCannotCreate) << c.what;
        EXPECT_FALSE(r.is_open()) << c.what;
        EXPECT_NE(r.last_error().find(c.named), std::string::npos) << c.what << ": " << r.last_error();
    }
}

// A device that takes no bytes: the failure surfaces as a code from a later call or from
// close, never as a success, and fields after it are refused rather than queued.
TEST(Recorder, WriteFailureIsReportedNotSwallowed)
{
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    constexpr int w = 64, h = 48;
    zk::RecorderSettings s;
    s.video_path = "/dev/full";
    s.width = w;
    s.height = h;
    s.queue_frames = 1;
    zk::ProgramRecorder r;
    int code = r.open(s);
    for (long f = 0; code == zk::kRecorderOk && f < 2000; ++f)
        code = r.add_field(f % 2 ? FieldParity::second : FieldParity::first, zt::clip_picture(zt::ClipKind::busy, f, w, h), w);
    if (code == zk::kRecorderOk) code = r.close();
    EXPECT_EQ(code, zk::kRecorderCannotCreate) << r.last_error();
    EXPECT_NE(r.last_error().find("/dev/full"), std::string::npos) << r.last_error();
    if (r.is_open()) {
        EXPECT_EQ(r.add_field(FieldParity::first, zt::clip_picture(zt::ClipKind::busy, 0, w, h), w), zk::kRecorderCannotCreate);
        EXPECT_EQ(r.close(), zk::kRecorderCannotCreate);
    }
    EXPECT_FALSE(r.is_open());
}

TEST(Recorder, EnvironmentTurnsRecordingOn)
{
    const std::string path = zt::temp_path("recorder_environment.mkv");
    const std::string dir = zt::temp_path("recorder_environment_pam");
    std::filesystem::remove_all(dir);
    unsetenv("ZORVIK_RECORD");
    unsetenv("ZORVIK_RECORD_SNAPSHOTS");
    EXPECT_EQ(zk::recorder_from_environment(1), nullptr) << "nothing asked for";

    setenv("ZORVIK_RECORD", path.c_str(), 1);
    setenv("ZORVIK_RECORD_SNAPSHOTS", dir.c_str(), 1);
    std::unique_ptr<zk::ProgramRecorder> r = zk::recorder_from_environment(2, 32, 12);
    ASSERT_NE(r, nullptr);
    ASSERT_TRUE(r->is_open()) << r->last_error();
    for (long f = 0; f < 4; ++f) ASSERT_EQ(r->add_field(f % 2 ? FieldParity::second : FieldParity::first, zt::clip_picture(zt::ClipKind::rectangles, f, 32, 12), 32), 0);
    ASSERT_EQ(r->close(), zk::kRecorderOk) << r->last_error();
    const Decoded d = decode_file(path);
    EXPECT_EQ(d.frames.size(), 2u);
    EXPECT_EQ(av_cmp_q(d.avg_rate, AVRational{25, 1}), 0);
    EXPECT_TRUE(std::filesystem::exists(dir + "/frame_000001.pam"));

    setenv("ZORVIK_RECORD", "/nonexistent-zorvik-folder/out.mkv", 1);
    unsetenv("ZORVIK_RECORD_SNAPSHOTS");
    r = zk::recorder_from_environment(1);
    ASSERT_NE(r, nullptr) << "a failed request is returned, so the reason can be shown";
    EXPECT_FALSE(r->is_open());
    EXPECT_NE(r->last_error().find("/nonexistent-zorvik-folder/out.mkv"), std::string::npos) << r->last_error();
    unsetenv("ZORVIK_RECORD");
}

// One recorder records one clip after another; nothing of the first leaks into the second.
TEST(Recorder, RecordsAgainAfterClosing)
{
    constexpr int w = 20, h = 6;
    zk::ProgramRecorder r;
    for (int round = 0; round < 2; ++round) {
        const std::string path = zt::temp_path("recorder_again_" + std::to_string(round) + ".mkv");
        ASSERT_EQ(r.open(path, 1, w, h), zk::kRecorderOk) << r.last_error();
        const long first = round * 100;
        // The second round starts on a second field: its held first field must be black, not
        // the first round's last lines.
        for (long f = round; f < 4; ++f)
            ASSERT_EQ(r.add_field(f % 2 ? FieldParity::second : FieldParity::first, zt::clip_picture(zt::ClipKind::busy, first + f, w, h), w), 0);
        ASSERT_EQ(r.close(), zk::kRecorderOk) << r.last_error();
        const Decoded d = decode_file(path);
        ASSERT_EQ(d.frames.size(), 2u);
        Pixels want(static_cast<std::size_t>(w * h));
        const Pixels second = zt::clip_picture(zt::ClipKind::busy, first + 1, w, h), first_pic = zt::clip_picture(zt::ClipKind::busy, first, w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                want[static_cast<std::size_t>(y * w + x)] = y % 2 ? (round ? 0u : first_pic[static_cast<std::size_t>(y * w + x)])
                                                                   : second[static_cast<std::size_t>(y * w + x)];
        EXPECT_EQ(compare_frame(0, d.frames[0], want, w), "") << "round " << round;
        EXPECT_EQ(r.counts().held_fields, round);
    }
}

} // namespace
