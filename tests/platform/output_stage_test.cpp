// The board's output stage on a hand-stepped clock: it runs only while held or recording; each
// field keeps the lines of its parity from the displayed area, read out at the field's end
// before the next interrupt; an installed composer makes both pictures; recordings start by a
// call or from the environment.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "platform/board/board_memory.h"
#include "platform/board/gfb_device.h"
#include "platform/board/output_stage.h"
#include "platform/board/system_clock_device.h"
#include "platform/testing/board.h"
#include "support/library_thread.h"
#include "support/test_support.h"

namespace {

class OutputStageTest : public ::testing::Test {
protected:
    zk::BoardOverride board_{zk::manual_board_config()};
    zk::VirtualBoard& board() { return board_.board(); }
    zk::OutputStage& stage() { return zk::output_stage(board_.shared()); }
    std::shared_ptr<zk::GraphicsMemory> memory() { return zk::graphics_memory(board()); }

    // Every pixel of the front area's lines `first` to `last` set to `value`, under the lock.
    void fill(std::uint32_t value, int first = 0, int last = zk::kGfbAreaLines - 1)
    {
        auto m = memory();
        std::lock_guard<std::mutex> guard(*m->lock);
        std::fill(m->pixels.begin() + first * zk::kGfbPitch, m->pixels.begin() + (last + 1) * zk::kGfbPitch, value);
    }
};

std::uint32_t pixel(const zk::OutputPicture& p, int x, int y)
{
    return p.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(p.width) + static_cast<std::size_t>(x)];
}

// Whether every line of one parity of a picture is `value` across its width.
bool lines_are(const zk::OutputPicture& p, int parity, std::uint32_t value)
{
    for (int y = parity == 0 ? 1 : 0; y < p.height; y += 2)
        for (int x = 0; x < p.width; ++x)
            if (pixel(p, x, y) != value) return false;
    return true;
}

TEST_F(OutputStageTest, RunsOnlyWhileHeld)
{
    ASSERT_TRUE(board().step_fields(3));
    EXPECT_EQ(stage().fields(), 0);
    EXPECT_EQ(board().time_base()->pending(), 0u) << "a board without output pays nothing for it";
    {
        zk::OutputHold hold(stage());
        zk::OutputHold again(stage());
        ASSERT_TRUE(board().step_fields(4));
        EXPECT_EQ(stage().fields(), 4);
    }
    EXPECT_FALSE(stage().running());
    ASSERT_TRUE(board().step_fields(2));
    EXPECT_EQ(stage().fields(), 4);
    EXPECT_EQ(board().time_base()->pending(), 0u);
}

TEST_F(OutputStageTest, EachFieldKeepsTheLinesOfItsParity)
{
    zk::OutputHold hold(stage());
    stage().keep_frames(3);
    ASSERT_EQ(board().current_field() % 2, 0) << "the board starts on a first field";
    const std::uint32_t a = 0xFF0000AAu, b = 0x80BB0000u, c = 0x1000CC00u;
    fill(a);
    ASSERT_TRUE(board().step_fields(1));
    zk::OutputFrame f = stage().current();
    EXPECT_EQ(f.field, 600);
    EXPECT_TRUE(lines_are(f.program, 0, a)) << "the first field is the odd lines";
    EXPECT_TRUE(lines_are(f.program, 1, 0u)) << "the even lines wait for the second field";
    EXPECT_TRUE(stage().kept_frames().empty()) << "a frame is kept when its second field ends";
    fill(b);
    ASSERT_TRUE(board().step_fields(1));
    fill(c);
    ASSERT_TRUE(board().step_fields(1));
    f = stage().current();
    EXPECT_EQ(f.field, 602);
    EXPECT_TRUE(lines_are(f.program, 0, c));
    EXPECT_TRUE(lines_are(f.program, 1, b));
    const auto kept = stage().kept_frames();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].field, 601);
    EXPECT_TRUE(lines_are(kept[0].program, 0, a));
    EXPECT_TRUE(lines_are(kept[0].program, 1, b));
    EXPECT_TRUE(lines_are(kept[0].preview, 0, 0u) && lines_are(kept[0].preview, 1, 0u)) << "no mixer: no preview";
    ASSERT_TRUE(board().step_fields(7));
    std::vector<long long> fields;
    for (const zk::OutputFrame& k : stage().kept_frames()) fields.push_back(k.field);
    EXPECT_EQ(fields, (std::vector<long long>{605, 607, 609})) << "the newest three, oldest first";
    EXPECT_TRUE(lines_are(stage().kept_frames().back().program, 1, c));
}

TEST_F(OutputStageTest, ShowsTheAreaAtTheDisplayPositionUpTo720By486)
{
    zk::OutputHold hold(stage());
    auto m = memory();
    {
        std::lock_guard<std::mutex> guard(*m->lock);
        for (int line = 0; line < zk::kGfbLines; ++line)
            for (int x = 0; x < zk::kGfbPitch; ++x)
                m->pixels[static_cast<std::size_t>(line * zk::kGfbPitch + x)] = static_cast<std::uint32_t>(line << 12 | x);
    }
    m->display_line = 684;
    ASSERT_TRUE(board().step_fields(2));
    const zk::OutputFrame f = stage().current();
    ASSERT_EQ(f.program.width, 720);
    ASSERT_EQ(f.program.height, 486);
    for (int y : {0, 1, 485})
        for (int x : {0, 719}) EXPECT_EQ(pixel(f.program, x, y), static_cast<std::uint32_t>((684 + y) << 12 | x)) << x << "," << y;
}

// A composer that records what it was given and paints both pictures from it.
class RecordingComposer final : public zk::OutputComposer {
public:
    void compose(long long field, const zk::GraphicsArea& g, zk::OutputPicture& program, zk::OutputPicture& preview) override
    {
        fields.push_back(field);
        strides.push_back(g.stride);
        std::fill(program.pixels.begin(), program.pixels.end(), g.pixels ? g.pixels[0] : 0u);
        std::fill(preview.pixels.begin(), preview.pixels.end(), 0xFF000000u | static_cast<std::uint32_t>(field));
    }
    std::vector<long long> fields; // on the clock's thread; read after stepping
    std::vector<int> strides;
};

TEST_F(OutputStageTest, AnInstalledComposerMakesBothPictures)
{
    auto composer = std::make_shared<RecordingComposer>();
    stage().set_composer(composer);
    fill(0xFF123456u);
    {
        zk::OutputHold hold(stage());
        ASSERT_TRUE(board().step_fields(2));
    }
    EXPECT_EQ(composer->fields, (std::vector<long long>{600, 601}));
    EXPECT_EQ(composer->strides, (std::vector<int>{768, 768}));
    const zk::OutputFrame f = stage().current();
    EXPECT_TRUE(lines_are(f.program, 0, 0xFF123456u));
    EXPECT_TRUE(lines_are(f.preview, 0, 0xFF000000u | 600u));
    EXPECT_TRUE(lines_are(f.preview, 1, 0xFF000000u | 601u));
    stage().set_composer(nullptr);
}

// A field shows what the handlers of its own interrupt did, and nothing of the next one's.
TEST_F(OutputStageTest, AFieldIsReadOutBeforeTheNextInterrupt)
{
    HANDLE clock = CreateFile("\\\\.\\DigiSuiteSystemClock0", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(clock, INVALID_HANDLE_VALUE);
    DWORD word = 0, token = 0, n = 0;
    ASSERT_TRUE(DeviceIoControl(clock, IOCTL_SYSCLK_REGISTER, nullptr, 0, &word, sizeof word, &n, nullptr));
    ASSERT_TRUE(DeviceIoControl(clock, IOCTL_SYSCLK_MAP_STATUS, nullptr, 0, &token, sizeof token, &n, nullptr));
    auto* status = static_cast<DWORD*>(zk::board_memory(token, sizeof(DWORD)));
    OVERLAPPED ov{};
    ov.hEvent = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    ASSERT_FALSE(DeviceIoControl(clock, IOCTL_SYSCLK_ARM, &word, sizeof word, nullptr, 0, nullptr, &ov));
    std::atomic<bool> quit{false};
    {
        // The interrupt's handler writes the field's number into both top lines.
        zt::LibraryThread handler([&] {
            while (WaitForSingleObject(ov.hEvent, INFINITE) == WAIT_OBJECT_0 && !quit.load()) {
                if (std::atomic_ref<ULONG_PTR>(ov.Internal).load() != STATUS_PENDING) continue;
                fill(std::atomic_ref<DWORD>(*status).load(), 0, 1);
            }
        });
        // The field under way when the clock was armed had no interrupt of its own.
        ASSERT_TRUE(board().step_fields(1));
        zk::OutputHold hold(stage());
        for (int i = 0; i < 6; ++i) {
            ASSERT_TRUE(board().step_fields(1));
            const zk::OutputFrame f = stage().current();
            const int line = f.field % 2 == 0 ? 1 : 0;
            EXPECT_EQ(pixel(f.program, 0, line), static_cast<std::uint32_t>(f.field)) << "field " << f.field;
        }
        quit = true;
        SetEvent(ov.hEvent);
    }
    DeviceIoControl(clock, IOCTL_SYSCLK_DISARM, &word, sizeof word, nullptr, 0, &n, nullptr);
    CloseHandle(ov.hEvent);
    CloseHandle(clock);
}

TEST_F(OutputStageTest, RecordsByACallAndStopsOnce)
{
    const std::string path = zt::temp_path("output_stage_call.mkv");
    zk::RecorderSettings settings;
    settings.video_path = path;
    settings.width = 16; // the board's own size is used
    ASSERT_EQ(stage().start_recording(settings), zk::kRecorderOk) << stage().recording_error();
    EXPECT_EQ(stage().start_recording(settings), zk::kRecorderAlreadyOpen);
    EXPECT_TRUE(stage().running());
    ASSERT_TRUE(board().step_fields(5));
    EXPECT_EQ(stage().recording_counts().fields, 5);
    EXPECT_EQ(stage().stop_recording(), zk::kRecorderOk) << stage().recording_error();
    EXPECT_EQ(stage().stop_recording(), zk::kRecorderNotOpen);
    EXPECT_FALSE(stage().running()) << "the recording was the only reason to run";
    EXPECT_TRUE(std::filesystem::exists(path));

    settings.video_path = zt::temp_path("no_such_folder/x.mkv");
    EXPECT_EQ(stage().start_recording(settings), zk::kRecorderCannotCreate);
    EXPECT_FALSE(stage().recording_error().empty());
    EXPECT_FALSE(stage().running());
}

TEST(OutputStageEnvironment, ARecordingAskedForStartsWhenTheGraphicsDeviceOpens)
{
    zk::BoardOverride o(zk::manual_board_config());
    const std::string path = zt::temp_path("output_stage_environment.mkv");
    ::setenv("ZORVIK_RECORD", path.c_str(), 1);
    HANDLE gfb = CreateFile("\\\\.\\DigiMixGFB0", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ::unsetenv("ZORVIK_RECORD");
    ASSERT_NE(gfb, INVALID_HANDLE_VALUE);
    zk::OutputStage& stage = zk::output_stage(o.shared());
    EXPECT_TRUE(stage.recording());
    ASSERT_TRUE(o.board().step_fields(4));
    EXPECT_EQ(stage.recording_counts().frames, 2);
    CloseHandle(gfb);
    EXPECT_EQ(stage.stop_recording(), zk::kRecorderOk);
    EXPECT_GT(std::filesystem::file_size(path), 0u);
}

} // namespace
