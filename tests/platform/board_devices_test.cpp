// The board's graphics frame-buffer device, video-effects registers and SDTI control device,
// driven by the requests a host sends (journal first, then memory); the blit convention at its
// edges, checked against hand-worked tables and against a model that copies through a whole
// second memory; and the board's configuration against the registry's built-in description of
// the same installation.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "onair/chk_digi_suite.h"
#include "platform/board/board_memory.h"
#include "platform/board/gfb_device.h"
#include "platform/board/sdti_device.h"
#include "platform/board/system_clock_device.h"
#include "platform/board/vfx_device.h"
#include "platform/registry/registry.h"
#include "platform/testing/board.h"
#include "support/test_support.h"

namespace {

using zk::BlitResult;
using zk::GfbBlitRequest;
using Memory = std::vector<std::uint32_t>;

constexpr int kPitch = 8, kLines = 12; // a small memory for the tables

Memory numbered(int pitch, int lines)
{
    Memory m(static_cast<std::size_t>(pitch) * static_cast<std::size_t>(lines));
    for (std::size_t i = 0; i < m.size(); ++i) m[i] = 0xA0000000u + static_cast<std::uint32_t>(i);
    return m;
}

GfbBlitRequest request(int left, int top, int right, int bottom, int vshift, int hshift)
{
    GfbBlitRequest r;
    r.left = left, r.top = top, r.right = right, r.bottom = bottom, r.vshift = vshift, r.hshift = hshift;
    return r;
}

// What a blit should leave: each pixel of the request's lines (every second one from the top)
// and columns, where it and its destination lie in the memory, copied from the memory as it
// was before. Requests here are small, so walking them pixel by pixel is cheap.
Memory model(const Memory& before, int pitch, int lines, const GfbBlitRequest& r, bool& any)
{
    Memory after = before;
    any = false;
    // Only lines and columns of the memory can be copied: start the walk near it (keeping the
    // parity of the top line) so that far-out words do not make it long.
    long long top = r.top;
    if (top < 0) top += (-top) / 2 * 2;
    const long long bottom = std::min<long long>(r.bottom, lines);
    const long long left = std::max<long long>(r.left, 0), right = std::min<long long>(r.right, pitch);
    for (long long y = top; y < bottom; y += 2) {
        for (long long x = left; x < right; ++x) {
            const long long ty = y + 2LL * r.vshift, tx = x + r.hshift;
            if (y < 0 || y >= lines || x < 0 || x >= pitch || ty < 0 || ty >= lines || tx < 0 || tx >= pitch) continue;
            after[static_cast<std::size_t>(ty * pitch + tx)] = before[static_cast<std::size_t>(y * pitch + x)];
            any = true;
        }
    }
    return after;
}

// The lines and columns of the memory a blit changed.
void changed(const Memory& before, const Memory& after, std::set<int>& lines, std::set<int>& columns)
{
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i] == after[i]) continue;
        lines.insert(static_cast<int>(i / kPitch));
        columns.insert(static_cast<int>(i % kPitch));
    }
}

struct BlitCase {
    const char* name;
    GfbBlitRequest words;
    BlitResult result;
    std::set<int> lines_written;   // destination lines that change
    std::set<int> columns_written; // destination columns that change
};

void PrintTo(const BlitCase& c, std::ostream* os)
{
    *os << c.name;
}

class BlitConvention : public ::testing::TestWithParam<BlitCase> {};

TEST_P(BlitConvention, CopiesTheLinesAndColumnsItSays)
{
    const BlitCase& c = GetParam();
    const Memory before = numbered(kPitch, kLines);
    Memory memory = before;
    EXPECT_EQ(zk::blit_frame_buffer(memory, kPitch, kLines, c.words), c.result);
    std::set<int> lines, columns;
    changed(before, memory, lines, columns);
    EXPECT_EQ(lines, c.lines_written);
    EXPECT_EQ(columns, c.columns_written);
    bool any = false;
    EXPECT_EQ(memory, model(before, kPitch, kLines, c.words, any)) << "as if copied through a temporary";
}

const std::set<int> kAllColumns{0, 1, 2, 3, 4, 5, 6, 7};

INSTANTIATE_TEST_SUITE_P(
    Edges, BlitConvention,
    ::testing::Values(
        // Lines: the parity of the top one, bottom exclusive; the shift counts field lines.
        BlitCase{"even_top_bottom_exclusive", request(0, 0, 8, 4, 3, 0), BlitResult::copied, {6, 8}, kAllColumns},
        BlitCase{"odd_top", request(0, 1, 8, 6, 3, 0), BlitResult::copied, {7, 9, 11}, kAllColumns},
        BlitCase{"odd_bottom_includes_the_line_before_it", request(0, 0, 8, 5, 3, 0), BlitResult::copied, {6, 8, 10}, kAllColumns},
        // Columns: right exclusive, clipped at both edges of the line and of the destination.
        BlitCase{"right_exclusive", request(2, 0, 5, 2, 1, 0), BlitResult::copied, {2}, {2, 3, 4}},
        BlitCase{"left_edge", request(-3, 0, 2, 2, 1, 2), BlitResult::copied, {2}, {2, 3}},
        BlitCase{"right_edge_by_the_shift", request(4, 0, 8, 2, 1, 2), BlitResult::copied, {2}, {6, 7}},
        BlitCase{"right_beyond_the_line", request(6, 0, 20, 2, 1, 0), BlitResult::copied, {2}, {6, 7}},
        // Lines clipped at the top keep the parity, at the bottom by the shift.
        BlitCase{"top_edge_keeps_parity", request(0, -3, 8, 5, 1, 0), BlitResult::copied, {3, 5}, kAllColumns},
        BlitCase{"top_edge_by_the_shift", request(0, 0, 8, 8, -2, 0), BlitResult::copied, {0, 2}, kAllColumns},
        BlitCase{"bottom_edge_by_the_shift", request(0, 6, 8, 12, 2, 0), BlitResult::copied, {10}, kAllColumns},
        // Overlapping source and destination: as if through a temporary.
        BlitCase{"overlap_down", request(0, 0, 8, 12, 1, 0), BlitResult::copied, {2, 4, 6, 8, 10}, kAllColumns},
        BlitCase{"overlap_up", request(0, 3, 8, 12, -1, 0), BlitResult::copied, {1, 3, 5, 7, 9}, kAllColumns},
        BlitCase{"overlap_right_along_the_line", request(0, 4, 8, 5, 0, 3), BlitResult::copied, {4}, {3, 4, 5, 6, 7}},
        BlitCase{"overlap_left_along_the_line", request(0, 5, 8, 6, 0, -3), BlitResult::copied, {5}, {0, 1, 2, 3, 4}},
        // Nothing to copy: an empty rectangle is done; a reversed one, or one that lies wholly
        // outside (before or after the shift), is refused.
        BlitCase{"empty_width", request(3, 0, 3, 8, 1, 0), BlitResult::empty, {}, {}},
        BlitCase{"empty_height", request(0, 4, 8, 4, 1, 0), BlitResult::empty, {}, {}},
        BlitCase{"reversed_columns", request(5, 0, 3, 8, 1, 0), BlitResult::refused, {}, {}},
        BlitCase{"reversed_lines", request(0, 8, 8, 4, 1, 0), BlitResult::refused, {}, {}},
        BlitCase{"below_the_memory", request(0, 12, 8, 20, -1, 0), BlitResult::refused, {}, {}},
        BlitCase{"right_of_the_memory", request(8, 0, 12, 4, 1, 0), BlitResult::refused, {}, {}},
        BlitCase{"shifted_out", request(0, 0, 8, 4, 0, 100), BlitResult::refused, {}, {}},
        BlitCase{"empty_at_an_odd_line", request(0, 5, 8, 5, 1, 0), BlitResult::empty, {}, {}},
        BlitCase{"extreme_words", request(INT_MIN, INT_MIN, INT_MAX, INT_MAX, INT_MIN, INT_MAX), BlitResult::refused, {}, {}},
        BlitCase{"extreme_shift_back", request(INT_MIN, INT_MIN + 1, INT_MAX, INT_MAX, 0, INT_MIN), BlitResult::refused, {}, {}}),
    [](const ::testing::TestParamInfo<BlitCase>& i) { return std::string(i.param.name); });

TEST(BlitConvention, RandomRequestsMatchTheModel)
{
    const std::uint32_t seed = zt::test_seed();
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> at(-6, 20), shift(-7, 7);
    for (int i = 0; i < 5000; ++i) {
        const GfbBlitRequest r = request(at(rng), at(rng), at(rng), at(rng), shift(rng), shift(rng));
        const Memory before = numbered(kPitch, kLines);
        Memory memory = before;
        const BlitResult got = zk::blit_frame_buffer(memory, kPitch, kLines, r);
        bool any = false;
        const Memory want = model(before, kPitch, kLines, r, any);
        const BlitResult expected = r.right < r.left || r.bottom < r.top ? BlitResult::refused
                                    : r.right == r.left || r.bottom == r.top ? BlitResult::empty
                                    : any                                   ? BlitResult::copied
                                                                            : BlitResult::refused;
        ASSERT_EQ(got, expected) << "seed " << seed << " request " << i;
        ASSERT_EQ(memory, want) << "seed " << seed << " request " << i << ": " << r.left << " " << r.top << " " << r.right
                                << " " << r.bottom << " " << r.vshift << " " << r.hshift;
    }
}

// ---- the devices through their requests ----

HANDLE open_device(const char* name)
{
    return CreateFile(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                      FILE_FLAG_OVERLAPPED, nullptr);
}

std::vector<zk::JournalEntry> requests_since(zk::VirtualBoard& board, std::uint64_t mark)
{
    std::vector<zk::JournalEntry> out;
    for (zk::JournalEntry& e : board.journal().since(mark))
        if (e.kind == zk::JournalKind::DeviceRequest) out.push_back(std::move(e));
    return out;
}

class GraphicsDevice : public ::testing::Test {
protected:
    zk::BoardOverride board_{zk::manual_board_config()};
    HANDLE h_ = open_device("\\\\.\\DigiMixGFB0");
    void TearDown() override { CloseHandle(h_); }
    zk::VirtualBoard& board() { return board_.board(); }

    std::uint32_t* map(zk::GfbMapRecord& record)
    {
        DWORD n = 0;
        if (!DeviceIoControl(h_, IOCTL_GFB_MAP, &record, sizeof record, &record, sizeof record, &n, nullptr)) return nullptr;
        return static_cast<std::uint32_t*>(zk::board_memory(record.token, zk::kGfbBytes));
    }
    BOOL blit(GfbBlitRequest r, DWORD in = sizeof(GfbBlitRequest))
    {
        DWORD n = 0;
        return DeviceIoControl(h_, IOCTL_GFB_BLIT, &r, in, nullptr, 0, &n, nullptr);
    }
};

TEST_F(GraphicsDevice, MapsTheWholeMemoryWithItsLock)
{
    ASSERT_NE(h_, INVALID_HANDLE_VALUE);
    const std::uint64_t mark = board().journal().mark();
    zk::GfbMapRecord record;
    std::uint32_t* memory = map(record);
    ASSERT_NE(memory, nullptr);
    EXPECT_EQ(record.bytes, 768u * 1368u * 4u);
    EXPECT_EQ(record.pitch_bytes, 3072u);
    EXPECT_EQ(record.lines, 1368u);
    EXPECT_EQ(zk::board_memory(record.token, zk::kGfbBytes + 1), nullptr) << "no more than the memory";
    EXPECT_NE(zk::board_memory_lock(record.token), nullptr) << "the memory's users share its lock";
    EXPECT_EQ(zk::graphics_memory(board())->pixels.data(), memory) << "the board's own memory";
    DWORD small = 0, n = 0;
    EXPECT_FALSE(DeviceIoControl(h_, IOCTL_GFB_MAP, nullptr, 0, &small, sizeof small, &n, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    HANDLE second = open_device("\\\\.\\digimixgfb0");
    zk::GfbMapRecord again;
    ASSERT_TRUE(DeviceIoControl(second, IOCTL_GFB_MAP, nullptr, 0, &again, sizeof again, &n, nullptr));
    EXPECT_EQ(again.token, record.token) << "every open sees the same memory";
    CloseHandle(second);
    const auto got = requests_since(board(), mark);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].code, IOCTL_GFB_MAP);
    EXPECT_EQ(got[0].bytes.size(), 20u);
    EXPECT_TRUE(got[0].ok);
    EXPECT_FALSE(got[1].ok);
}

TEST_F(GraphicsDevice, TheDisplayPositionKeepsTheShownPictureInsideTheMemory)
{
    struct Case {
        std::int32_t line;
        bool ok;
    };
    DWORD n = 0;
    for (Case c : {Case{0, true}, Case{684, true}, Case{882, true}, Case{883, false}, Case{-1, false}, Case{1368, false}}) {
        DWORD token = 0;
        EXPECT_EQ(DeviceIoControl(h_, IOCTL_GFB_DISPLAY, &c.line, sizeof c.line, &token, sizeof token, &n, nullptr), c.ok ? TRUE : FALSE)
            << c.line;
        if (c.ok) {
            EXPECT_EQ(zk::graphics_memory(board())->display_line.load(), c.line);
            EXPECT_NE(zk::board_memory(token, zk::kGfbBytes), nullptr) << "the reply is the memory's token";
        }
    }
    EXPECT_EQ(zk::graphics_memory(board())->display_line.load(), 882) << "a refused position changes nothing";
    std::int16_t half = 0;
    EXPECT_FALSE(DeviceIoControl(h_, IOCTL_GFB_DISPLAY, &half, sizeof half, nullptr, 0, &n, nullptr));
}

TEST_F(GraphicsDevice, BlitsMoveTheBackAreaToTheFrontAndRefuseWhatLiesOutside)
{
    zk::GfbMapRecord record;
    std::uint32_t* memory = map(record);
    ASSERT_NE(memory, nullptr);
    auto at = [memory](int x, int line) -> std::uint32_t& { return memory[static_cast<std::size_t>(line) * 768 + static_cast<std::size_t>(x)]; };
    for (int line = 684; line < 684 + 10; ++line)
        for (int x = 0; x < 768; ++x) at(x, line) = 0xFF000000u | static_cast<std::uint32_t>(line << 12 | x);
    const std::uint64_t mark = board().journal().mark();
    // The odd lines 1, 3, 5 of columns 10-19 from the back area to the front.
    ASSERT_TRUE(blit(request(10, 685, 20, 691, -342, 0)));
    for (int line = 0; line < 8; ++line)
        for (int x = 8; x < 22; ++x) {
            const bool copied = line % 2 == 1 && line < 7 && x >= 10 && x < 20;
            EXPECT_EQ(at(x, line), copied ? at(x, line + 684) : 0u) << x << "," << line;
        }
    EXPECT_FALSE(blit(request(0, 1368, 10, 1400, 0, 0))) << "wholly below the memory";
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(blit(request(0, 0, 10, 10, 0, 0), 40)) << "a short request";
    EXPECT_TRUE(blit(request(0, 0, 0, 10, 0, 0))) << "an empty rectangle copies nothing";
    const auto got = requests_since(board(), mark);
    ASSERT_EQ(got.size(), 4u);
    ASSERT_EQ(got[0].bytes.size(), 48u);
    std::int32_t words[12];
    std::memcpy(words, got[0].bytes.data(), sizeof words);
    EXPECT_EQ(std::vector<std::int32_t>(words + 6, words + 12), (std::vector<std::int32_t>{10, 685, 20, 691, -342, 0}));
    EXPECT_TRUE(got[0].ok);
    EXPECT_FALSE(got[1].ok);
    EXPECT_FALSE(got[2].ok);
    EXPECT_TRUE(got[3].ok);
}

TEST(BoardDevices, TheEffectsRegistersAreJournalledWithTheFieldTheyChangedIn)
{
    zk::BoardOverride o(zk::manual_board_config());
    zk::VirtualBoard& board = o.board();
    HANDLE h = open_device("\\\\.\\DigiMixVFX0");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    zk::VfxMapRecord record;
    DWORD n = 0;
    ASSERT_TRUE(DeviceIoControl(h, IOCTL_VFX_MAP_REGISTERS, &record, sizeof record, &record, sizeof record, &n, nullptr));
    EXPECT_EQ(record.registers, 256u);
    auto* registers = static_cast<DWORD*>(zk::board_memory(record.token, record.bytes));
    ASSERT_NE(registers, nullptr);
    auto write = [registers](int r, DWORD v) { std::atomic_ref<DWORD>(registers[r]).store(v); };
    const long long start = board.current_field();
    const std::uint64_t mark = board.journal().mark();

    write(45, 1);
    write(46, 1);
    ASSERT_TRUE(board.step_fields(1));
    write(45, 1); // the same value again: no change
    ASSERT_TRUE(board.step_fields(2));
    write(3, 0x1234);
    CloseHandle(h); // the change shows when the mapping handle goes
    write(4, 9);    // nobody has the block mapped: not watched
    ASSERT_TRUE(board.step_fields(2));

    const auto got = board.journal().since(mark);
    ASSERT_EQ(got.size(), 3u) << board.journal().dump();
    for (const auto& e : got) {
        EXPECT_EQ(e.kind, zk::JournalKind::Register);
        EXPECT_EQ(e.target, "DigiMixVFX0");
    }
    EXPECT_EQ(got[0].code, 45u);
    EXPECT_EQ(got[1].code, 46u);
    EXPECT_EQ(got[0].field, start) << "stamped with the field it was written in";
    EXPECT_EQ(got[0].bytes, (std::vector<std::uint8_t>{1, 0, 0, 0}));
    EXPECT_EQ(got[2].code, 3u);
    EXPECT_EQ(got[2].field, start + 3);
    EXPECT_EQ(got[2].text, "0x0 -> 0x1234");
    EXPECT_EQ(board.time_base()->pending(), 0u) << "nothing ticks once nobody has the block mapped";
}

TEST(BoardDevices, TheSdtiDeviceReadsItsSettingThroughAToken)
{
    zk::BoardOverride o(zk::manual_board_config());
    zk::VirtualBoard& board = o.board();
    HANDLE h = open_device("\\\\.\\DigiSuiteSdtiCtl0");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    std::int32_t words[3] = {24, 1, 1};
    const std::uint32_t token = zk::map_board_memory(words, sizeof words);
    std::int32_t two[2] = {0, 0};
    const std::uint32_t short_token = zk::map_board_memory(two, sizeof two);
    const std::uint64_t mark = board.journal().mark();
    struct Case {
        zk::SdtiRequest request;
        DWORD bytes;
        bool ok;
    };
    DWORD n = 0;
    for (Case c : {Case{{1, token}, 8, true}, Case{{2, token}, 8, false}, Case{{1, 0}, 8, false},
                   Case{{1, short_token}, 8, false}, Case{{1, token}, 4, false}, Case{{1, token + 1}, 8, false}}) {
        EXPECT_EQ(DeviceIoControl(h, IOCTL_SDTI_CONTROL, &c.request, c.bytes, nullptr, 0, &n, nullptr), c.ok ? TRUE : FALSE);
    }
    zk::unmap_board_memory(token);
    zk::unmap_board_memory(short_token);
    CloseHandle(h);
    const auto settings = board.journal().where(
        [mark](const zk::JournalEntry& e) { return e.seq >= mark && e.kind == zk::JournalKind::Register; });
    ASSERT_EQ(settings.size(), 1u);
    EXPECT_EQ(settings[0].target, "DigiSuiteSdtiCtl0");
    EXPECT_EQ(settings[0].code, 24u);
    EXPECT_EQ(settings[0].bytes, (std::vector<std::uint8_t>{24, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(requests_since(board, mark).size(), 6u);
}

TEST(BoardDevices, ClosingAClockHandleEndsTheRequestsItArmed)
{
    zk::BoardOverride o(zk::manual_board_config());
    HANDLE h = open_device("\\\\.\\DigiSuiteSystemClock0");
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD word = 0, n = 0;
    ASSERT_TRUE(DeviceIoControl(h, IOCTL_SYSCLK_REGISTER, nullptr, 0, &word, sizeof word, &n, nullptr));
    OVERLAPPED ov{};
    ov.hEvent = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    ASSERT_FALSE(DeviceIoControl(h, IOCTL_SYSCLK_ARM, &word, sizeof word, nullptr, 0, nullptr, &ov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    ASSERT_TRUE(o.board().step_fields(1));
    CloseHandle(h); // without a disarm: the record must not stay with the clock
    EXPECT_EQ(std::atomic_ref<ULONG_PTR>(ov.Internal).load(), 995u) << "ended as cancelled";
    EXPECT_EQ(o.board().time_base()->pending(), 0u) << "nothing armed is left to interrupt";
    ResetEvent(ov.hEvent);
    ASSERT_TRUE(o.board().step_fields(2));
    EXPECT_EQ(WaitForSingleObject(ov.hEvent, 0), WAIT_TIMEOUT);
    CloseHandle(ov.hEvent);
}

// ---- one installation, two descriptions ----

TEST(BoardDevices, TheBuiltInRegistryAndTheStandardBoardNameTheSameDevices)
{
    auto store = zk::RegistryStore::parse(zk::RegistryStore::default_text());
    ASSERT_TRUE(store);
    zk::RegistryOverride registry{std::move(*store)};
    const zk::BoardConfig config = zk::BoardConfig::standard();
    zk::BoardOverride o(config);
    CChkDigiSuite inventory;
    ASSERT_EQ(inventory.GetMixFlag(), 1);
    ASSERT_EQ(inventory.GetSdtiFlag(), 1);
    // Every device the registry names opens on the board...
    const std::string sdti = std::string("\\\\.\\") + inventory.GetSdtiControlDevice().GetString();
    std::set<std::string> named;
    for (const std::string& path : {std::string(inventory.GetDeviceName().GetString()), std::string(inventory.GetGFBName().GetString()),
                                    std::string(inventory.GetClockName().GetString()), sdti}) {
        HANDLE h = open_device(path.c_str());
        EXPECT_NE(h, INVALID_HANDLE_VALUE) << path;
        CloseHandle(h);
        named.insert(zk::device_name_key(path.substr(4)));
    }
    // ...and the board has no device the registry does not name.
    std::set<std::string> configured;
    for (const auto& [name, word] : config.effects_devices) configured.insert(zk::device_name_key(name));
    for (const auto* list : {&config.system_clocks, &config.graphics_devices, &config.sdti_devices})
        for (const std::string& name : *list) configured.insert(zk::device_name_key(name));
    EXPECT_EQ(configured, named);
    EXPECT_EQ(inventory.GetMixStandard(), static_cast<DWORD>(config.cardsets.front().standard));
}

} // namespace
