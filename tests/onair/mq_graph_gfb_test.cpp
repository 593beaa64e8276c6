// CMQGraph's graphics-device half on the virtual board: what BuildGraph sends (the map, the
// pointer, the display, the SDTI settings) and the messages when a device fails; the request
// words of every copy; field writes that touch only their field's lines; rectangle writes and
// copies clipped at every edge; waiting for frames on the field notification.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "onair/gfb_fixture.h"
#include "platform/board/sdti_device.h"
#include "platform/testing/devices.h"

namespace {

using Words = std::vector<std::int32_t>;
using zt::GfbGraphTest;

std::vector<zk::JournalEntry> since(zk::VirtualBoard& board, std::uint64_t mark)
{
    return board.journal().since(mark);
}

// ---- building ----

TEST_F(GfbGraphTest, BuildGraphMapsTheGraphicsDeviceShowsAreaZeroAndSetsTheSdtiKey)
{
    EXPECT_EQ(graph->GetBuilt(), 1);
    EXPECT_TRUE(boxes.boxes().empty());
    std::vector<std::pair<std::string, DWORD>> requests;
    std::vector<Words> settings;
    for (const zk::JournalEntry& e : since(board(), mark)) {
        if (e.kind == zk::JournalKind::DeviceRequest && e.target != "DigiMixVFX0") {
            EXPECT_TRUE(e.ok) << e.target;
            requests.push_back({e.target, e.code});
        }
        if (e.kind == zk::JournalKind::Register) {
            Words w(3);
            std::memcpy(w.data(), e.bytes.data(), 12);
            settings.push_back(w);
        }
    }
    const std::vector<std::pair<std::string, DWORD>> want{
        {"DigiMixGFB0", IOCTL_GFB_MAP},         {"DigiMixGFB0", IOCTL_GFB_DISPLAY}, // the pointer
        {"DigiMixGFB0", IOCTL_GFB_DISPLAY},                                         // area 0 shown
        {"DigiSuiteSdtiCtl0", IOCTL_SDTI_CONTROL}, {"DigiSuiteSdtiCtl0", IOCTL_SDTI_CONTROL},
        {"DigiSuiteSdtiCtl0", IOCTL_SDTI_CONTROL}};
    EXPECT_EQ(requests, want);
    EXPECT_EQ(settings, (std::vector<Words>{{26, 0, 1}, {24, 1, 1}, {24, 1, 0}}));

    // Built once: a second BuildGraph only sends the SDTI settings again.
    const std::uint64_t again = board().journal().mark();
    EXPECT_EQ(graph->BuildGraph(), S_OK);
    for (const zk::JournalEntry& e : since(board(), again))
        if (e.kind == zk::JournalKind::DeviceRequest) {
            EXPECT_NE(e.target, "DigiMixGFB0");
        }
}

TEST(GfbGraph, WithoutADigiMixNothingIsBuiltOrSent)
{
    zk::BoardOverride board(zt::manual_board());
    zk::RegistryOverride registry{zk::RegistryStore{}};
    CMQGraph graph;
    ASSERT_EQ(graph.Initialize(TRUE), S_OK);
    const std::uint64_t mark = board.board().journal().mark();
    EXPECT_EQ(graph.BuildGraph(), 1);
    EXPECT_EQ(graph.GetBuilt(), 0);
    std::vector<std::uint32_t> pixels(720 * 486, 7);
    const auto* p = reinterpret_cast<const unsigned char*>(pixels.data());
    EXPECT_EQ(graph.GfbBkWriteBuff(p, 720, 486, 0, 0, 720, 486, 0, 0), -1);
    EXPECT_EQ(graph.GfbCopyBktoFr(0, 0, 720, 486), -1);
    EXPECT_EQ(graph.GfbDispGfbSelect(1), -1);
    EXPECT_EQ(graph.GfbWaitFrame(), -1);
    EXPECT_TRUE(board.board().journal().since(mark).empty());
}

// A device standing in for one of the board's, refusing one request code.
class Refusing final : public zk::VirtualDevice {
public:
    explicit Refusing(DWORD code) : code_(code) {}
    BOOL control(DWORD code, const void*, DWORD, void* out, DWORD outBytes, DWORD* returned, OVERLAPPED*) override
    {
        if (code == code_) {
            SetLastError(ERROR_INVALID_FUNCTION);
            return FALSE;
        }
        if (out) std::memset(out, 0, outBytes);
        if (returned) *returned = outBytes;
        return TRUE;
    }

private:
    DWORD code_;
};

struct FailureCase {
    const char* name;
    const char* device;  // replaced by a refusing device; null: the device is missing
    DWORD refused;
    std::vector<std::string> boxes;
    bool mapped;
};

void PrintTo(const FailureCase& c, std::ostream* os)
{
    *os << c.name;
}

class GfbGraphFailures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(GfbGraphFailures, ShowTheirMessageAndLeaveTheBufferAlone)
{
    const FailureCase& c = GetParam();
    zk::BoardConfig config = zt::manual_board();
    if (!c.device) config.graphics_devices.clear();
    zk::BoardOverride board(config);
    zk::RegistryOverride registry{zt::built_in_registry()};
    std::unique_ptr<zk::DeviceOverride> replaced;
    if (c.device) {
        const DWORD refused = c.refused;
        replaced = std::make_unique<zk::DeviceOverride>(c.device, [refused] { return std::make_shared<Refusing>(refused); });
    }
    zt::BoxRecorder boxes;
    CMQGraph graph;
    ASSERT_EQ(graph.Initialize(TRUE), S_OK);
    EXPECT_EQ(graph.BuildGraph(), S_OK) << "the graph is built all the same";
    std::vector<std::string> texts;
    for (const auto& b : boxes.boxes()) texts.push_back(b.text);
    EXPECT_EQ(texts, c.boxes);
    EXPECT_EQ(graph.GfbCopyBktoFr(0, 0, 10, 10) == 0, c.mapped);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, GfbGraphFailures,
    ::testing::Values(
        FailureCase{"no_graphics_device", nullptr, 0, {"Unable to open the Graphic device"}, false},
        FailureCase{"map_refused", "DigiMixGFB0", IOCTL_GFB_MAP, {"Was unable to map frame buffer", "Was unable to get a pointer to the GFB"}, false},
        FailureCase{"pointer_refused", "DigiMixGFB0", IOCTL_GFB_DISPLAY, {"Was unable to get a pointer to the GFB"}, false},
        FailureCase{"sdti_refuses", "DigiSuiteSdtiCtl0", IOCTL_SDTI_CONTROL,
                    {"keyCompress 1 ERROR", "keyinvert 1 ERROR", "keyinvert 0  ERROR"}, true}),
    [](const ::testing::TestParamInfo<FailureCase>& i) { return std::string(i.param.name); });

TEST(GfbGraph, AMissingSdtiDeviceIsAnIoControlError)
{
    zk::BoardConfig config = zt::manual_board();
    config.sdti_devices.clear();
    zk::BoardOverride board(config);
    zk::RegistryOverride registry{zt::built_in_registry()};
    zt::BoxRecorder boxes;
    CMQGraph graph;
    ASSERT_EQ(graph.Initialize(TRUE), S_OK);
    EXPECT_EQ(graph.BuildGraph(), S_OK);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text, "SDI IOCONTROL ERROR");
}

// ---- the request words of every copy ----

struct CopyCase {
    const char* name;
    std::function<long(CMQGraph&)> call;
    long result;
    std::vector<Words> words;
};

void PrintTo(const CopyCase& c, std::ostream* os)
{
    *os << c.name;
}

class GfbCopyWords : public GfbGraphTest, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(GfbCopyWords, SendTheseRequests)
{
    const CopyCase& c = GetParam();
    const std::uint64_t from = board().journal().mark();
    EXPECT_EQ(c.call(*graph), c.result);
    EXPECT_EQ(blits_since(from), c.words);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, GfbCopyWords,
    ::testing::Values(
        // Back to front, both fields: right and bottom exclusive (x + w, the line after the last).
        CopyCase{"back_to_front", [](CMQGraph& g) { return g.GfbCopyBktoFr(10, 20, 30, 40); }, 0,
                 {{10, 704, 40, 744, -342, 0}, {10, 705, 40, 744, -342, 0}}},
        CopyCase{"back_to_front_clipped_at_the_origin", [](CMQGraph& g) { return g.GfbCopyBktoFr(-10, -5, 100, 50); }, 0,
                 {{0, 684, 90, 729, -342, 0}, {0, 685, 90, 729, -342, 0}}},
        CopyCase{"back_to_front_clipped_at_the_far_edges", [](CMQGraph& g) { return g.GfbCopyBktoFr(760, 680, 100, 10); }, 0,
                 {{760, 1364, 768, 1368, -342, 0}, {760, 1365, 768, 1368, -342, 0}}},
        CopyCase{"back_to_front_nothing_left", [](CMQGraph& g) { return g.GfbCopyBktoFr(768, 0, 10, 10); }, -1, {}},
        CopyCase{"back_to_front_empty", [](CMQGraph& g) { return g.GfbCopyBktoFr(0, 0, 0, 10); }, -1, {}},
        // One field: the first field's lines are the odd ones, the second's the even ones.
        CopyCase{"first_field_even_top", [](CMQGraph& g) { return g.GfbCopyBktoFr_FirstField(10, 20, 30, 40); }, 0,
                 {{10, 705, 40, 744, -342, 0}}},
        CopyCase{"second_field_even_top", [](CMQGraph& g) { return g.GfbCopyBktoFr_SecondField(10, 20, 30, 40); }, 0,
                 {{10, 704, 40, 744, -342, 0}}},
        CopyCase{"first_field_odd_top", [](CMQGraph& g) { return g.GfbCopyBktoFr_FirstField(10, 21, 30, 40); }, 0,
                 {{10, 705, 40, 745, -342, 0}}},
        CopyCase{"second_field_odd_top", [](CMQGraph& g) { return g.GfbCopyBktoFr_SecondField(10, 21, 30, 40); }, 0,
                 {{10, 706, 40, 745, -342, 0}}},
        // Front to front, moved by a across and b field lines down: the crawl and the roll.
        CopyCase{"front_first_crawl", [](CMQGraph& g) { return g.GfbCopyFrtoFr_First(4, 0, 720, 486, -4, 0); }, 0,
                 {{4, 1, 724, 486, 0, -4}}},
        CopyCase{"front_second_roll", [](CMQGraph& g) { return g.GfbCopyFrtoFr_Second(0, 6, 720, 486, 0, -3); }, 0,
                 {{0, 6, 720, 492, -3, 0}}},
        CopyCase{"front_first_clipped", [](CMQGraph& g) { return g.GfbCopyFrtoFr_First(-2, 680, 800, 10, 0, 1); }, 0,
                 {{0, 681, 768, 684, 1, 0}}},
        // The raw request, as the frame-buffer roll's tables give it.
        CopyCase{"raw", [](CMQGraph& g) { return g.GfbBlit(0, 684, 300, 1170, -342, 420); }, 0,
                 {{0, 684, 300, 1170, -342, 420}}},
        CopyCase{"raw_outside_is_refused", [](CMQGraph& g) { return g.GfbBlit(0, 2000, 10, 2010, 0, 0); }, -1,
                 {{0, 2000, 10, 2010, 0, 0}}}),
    [](const ::testing::TestParamInfo<CopyCase>& i) { return std::string(i.param.name); });

// ---- pictures: what the copies and writes change ----

std::uint32_t numbered(int x, int line)
{
    return 0xFF000000u | static_cast<std::uint32_t>(line) << 12 | static_cast<std::uint32_t>(x);
}

std::uint32_t back_only(int x, int line)
{
    return line >= zk::kGfbAreaLines ? numbered(x, line) : 0u;
}

struct RectCase {
    long x, y, w, h;
};

class GfbCopyPictures : public GfbGraphTest, public ::testing::WithParamInterface<RectCase> {};

// Both fields together copy exactly the rectangle, and the field copies split it by parity.
TEST_P(GfbCopyPictures, CopyExactlyTheRectangle)
{
    const RectCase r = GetParam();
    for (int which = 0; which < 3; ++which) {
        fill_memory(back_only);
        const long result = which == 0   ? graph->GfbCopyBktoFr(r.x, r.y, r.w, r.h)
                            : which == 1 ? graph->GfbCopyBktoFr_FirstField(r.x, r.y, r.w, r.h)
                                         : graph->GfbCopyBktoFr_SecondField(r.x, r.y, r.w, r.h);
        ASSERT_EQ(result, 0);
        const auto m = memory();
        long differ = 0;
        for (int line = 0; line < zk::kGfbAreaLines; ++line)
            for (int x = 0; x < zk::kGfbPitch; ++x) {
                const bool inside = x >= r.x && x < r.x + r.w && line >= r.y && line < r.y + r.h;
                const bool field = which == 0 || (which == 1) == (line % 2 == 1);
                const std::uint32_t want = inside && field ? numbered(x, line + zk::kGfbAreaLines) : 0u;
                if (m[static_cast<std::size_t>(line * zk::kGfbPitch + x)] != want && differ++ == 0)
                    ADD_FAILURE() << "copy " << which << ": first difference at " << x << "," << line;
            }
        EXPECT_EQ(differ, 0) << "copy " << which;
    }
}

INSTANTIATE_TEST_SUITE_P(Edges, GfbCopyPictures,
                         ::testing::Values(RectCase{0, 0, 720, 486}, RectCase{1, 1, 1, 1}, RectCase{0, 0, 1, 2},
                                           RectCase{5, 7, 10, 4}, RectCase{5, 8, 10, 5}, RectCase{767, 683, 1, 1},
                                           RectCase{700, 480, 68, 204}));

TEST_F(GfbGraphTest, FieldWritesTouchOnlyTheirLinesFromTheMatchingRows)
{
    // A 40 × 30 source whose pixels name their row and column.
    std::vector<std::uint32_t> source(40 * 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) source[static_cast<std::size_t>(y * 40 + x)] = 0xFF000000u | static_cast<std::uint32_t>(y << 8 | x);
    const auto* p = reinterpret_cast<const unsigned char*>(source.data());
    using Write = long (CMQGraph::*)(const unsigned char*, long, long, long, long, long, long, long, long);
    struct Case {
        const char* name;
        Write write;
        int area;   // first line of the area written
        int parity; // 1: odd lines (first field), 0: even lines (second field)
    };
    const Case cases[] = {{"front first", &CMQGraph::GfbFrWrite_First, 0, 1},
                          {"front second", &CMQGraph::GfbFrWrite_Second, 0, 0},
                          {"back first", &CMQGraph::GfbBkWrite_First, 684, 1},
                          {"back second", &CMQGraph::GfbBkWrite_Second, 684, 0}};
    for (const Case& c : cases)
        for (long dy : {10L, 11L}) {
            fill_memory([](int, int) { return 0u; });
            ASSERT_EQ((graph.get()->*c.write)(p, 40, 30, 2, 3, 20, 12, 100, dy), 0) << c.name;
            const auto m = memory();
            for (int line = 0; line < zk::kGfbLines; ++line)
                for (int x = 0; x < zk::kGfbPitch; ++x) {
                    const long row = line - c.area - dy; // row of the rectangle
                    const bool written = row >= 0 && row < 12 && x >= 100 && x < 120 && (line - c.area) % 2 == c.parity;
                    const std::uint32_t want =
                        written ? 0xFF000000u | static_cast<std::uint32_t>((3 + row) << 8 | (2 + x - 100)) : 0u;
                    ASSERT_EQ(m[static_cast<std::size_t>(line * zk::kGfbPitch + x)], want)
                        << c.name << " dy " << dy << " at " << x << "," << line;
                }
        }
    // A field write may reach the staging columns and lines beyond the picture.
    EXPECT_EQ(graph->GfbFrWrite_First(p, 40, 30, 0, 0, 40, 30, 720, 486), 0);
    EXPECT_EQ(graph->GfbFrWrite_Second(p, 40, 30, 0, 0, 40, 1, 720, 485), -1) << "no even line in one odd line";
}

struct RectWriteCase {
    const char* name;
    long sx, sy, w, h, dx, dy;
    long result;
    long written_x, written_y, written_w, written_h; // in the back area's picture
    long from_x, from_y;                            // source pixel of its top-left corner
};

void PrintTo(const RectWriteCase& c, std::ostream* os)
{
    *os << c.name;
}

class GfbRectWrites : public GfbGraphTest, public ::testing::WithParamInterface<RectWriteCase> {};

TEST_P(GfbRectWrites, ClipToTheSourceAndThePicture)
{
    const RectWriteCase& c = GetParam();
    std::vector<std::uint32_t> source(200 * 100);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x) source[static_cast<std::size_t>(y * 200 + x)] = 0xFF000000u | static_cast<std::uint32_t>(y << 8 | x);
    const auto* p = reinterpret_cast<const unsigned char*>(source.data());
    EXPECT_EQ(graph->GfbBkWriteBuff(p, 200, 100, c.sx, c.sy, c.w, c.h, c.dx, c.dy), c.result);
    const auto m = memory();
    for (int y = 0; y < 486; ++y)
        for (int x = 0; x < 768; ++x) {
            const bool in = x >= c.written_x && x < c.written_x + c.written_w && y >= c.written_y && y < c.written_y + c.written_h;
            const std::uint32_t want =
                in ? 0xFF000000u | static_cast<std::uint32_t>((c.from_y + y - c.written_y) << 8 | (c.from_x + x - c.written_x)) : 0u;
            ASSERT_EQ(m[static_cast<std::size_t>((684 + y) * 768 + x)], want) << x << "," << y;
        }
    for (int line = 0; line < 684; ++line) ASSERT_EQ(m[static_cast<std::size_t>(line * 768)], 0u) << "the front area stays";
}

INSTANTIATE_TEST_SUITE_P(
    Edges, GfbRectWrites,
    ::testing::Values(RectWriteCase{"inside", 5, 6, 30, 20, 100, 200, 0, 100, 200, 30, 20, 5, 6},
                      RectWriteCase{"destination_x_720", 0, 0, 10, 10, 720, 0, -1, 0, 0, 0, 0, 0, 0},
                      RectWriteCase{"destination_y_486", 0, 0, 10, 10, 0, 486, -1, 0, 0, 0, 0, 0, 0},
                      RectWriteCase{"destination_x_minus_10", 0, 0, 100, 10, -10, 0, 0, 0, 0, 90, 10, 10, 0},
                      RectWriteCase{"destination_y_minus_3", 0, 0, 10, 10, 0, -3, 0, 0, 0, 10, 7, 0, 3},
                      RectWriteCase{"source_x_minus_4", -4, 0, 10, 10, 50, 50, 0, 50, 50, 6, 10, 0, 0},
                      RectWriteCase{"source_origin_outside", 200, 0, 10, 10, 0, 0, -1, 0, 0, 0, 0, 0, 0},
                      RectWriteCase{"cut_to_the_source", 190, 95, 50, 50, 0, 0, 0, 0, 0, 10, 5, 190, 95},
                      RectWriteCase{"cut_to_the_picture", 0, 0, 200, 100, 700, 480, 0, 700, 480, 20, 6, 0, 0},
                      RectWriteCase{"empty", 0, 0, 0, 10, 0, 0, -1, 0, 0, 0, 0, 0, 0},
                      RectWriteCase{"huge_values", 0, 0, LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN, -1, 0, 0, 0, 0, 0, 0}),
    [](const ::testing::TestParamInfo<RectWriteCase>& i) { return std::string(i.param.name); });

TEST_F(GfbGraphTest, DisplaySelectionAndWholeWritesFollowTheShownArea)
{
    const std::uint64_t from = board().journal().mark();
    EXPECT_EQ(graph->GfbDispGfbSelect(5), 0);
    EXPECT_EQ(graph->GfbSwap(), 0);
    EXPECT_EQ(graph->GfbSwap(), 0);
    EXPECT_EQ(graph->GfbDispPos(100), 0);
    EXPECT_EQ(graph->GfbDispPos(2000), -1);
    std::vector<std::int32_t> positions;
    for (const zk::JournalEntry& e : since(board(), from)) {
        ASSERT_EQ(e.code, IOCTL_GFB_DISPLAY);
        std::int32_t v = 0;
        std::memcpy(&v, e.bytes.data(), 4);
        positions.push_back(v);
    }
    EXPECT_EQ(positions, (std::vector<std::int32_t>{684, 0, 684, 100, 2000}));
    // Area 1 is shown: a write to the shown area lands in lines 684 on, to the hidden one in 0 on.
    std::vector<std::uint32_t> picture(720 * 486, 0xFF00FF00u);
    const auto* p = reinterpret_cast<const unsigned char*>(picture.data());
    EXPECT_EQ(graph->GfbWriteBuffer(0, p), 0);
    auto m = memory();
    EXPECT_EQ(m[684 * 768], 0xFF00FF00u);
    EXPECT_EQ(m[(684 + 485) * 768 + 719], 0xFF00FF00u);
    EXPECT_EQ(m[(684 + 485) * 768 + 720], 0u) << "only 720 pixels a line";
    EXPECT_EQ(m[0], 0u);
    EXPECT_EQ(graph->GfbWriteBuffer(1, p), 0);
    EXPECT_EQ(memory()[485 * 768], 0xFF00FF00u);
    EXPECT_EQ(graph->GfbWriteLine(683, p), 0);
    EXPECT_EQ(graph->GfbWriteLine(684, p), -1);
    EXPECT_EQ(graph->GfbWriteLine(-1, p), -1);
    EXPECT_EQ(graph->GfbWriteBuffer(0, nullptr), -1);
}

// ---- waiting for frames ----

TEST_F(GfbGraphTest, WaitFrameReturnsAfterExactlyThreeFieldChanges)
{
    CVSyncWork work;
    zt::VSyncHarness harness(*graph, work);
    ASSERT_TRUE(harness.ok());
    ASSERT_TRUE(board().step_fields(1));
    for (int round = 0; round < 3; ++round) {
        const long long start = board().current_field();
        long result = 1;
        {
            zk::IdlePump pump(board());
            result = graph->GfbWaitFrame();
            EXPECT_EQ(board().current_field() - start, 3) << "round " << round;
            pump.stop();
            EXPECT_FALSE(pump.failed());
        }
        EXPECT_EQ(result, 0);
    }
}

TEST_F(GfbGraphTest, WaitFrameGivesUpWhenNoFieldComes)
{
    const long long start = board().current_field();
    zk::IdlePump pump(board());
    EXPECT_EQ(graph->GfbWaitFrame(), -1);
    pump.stop();
    EXPECT_EQ(board().current_field() - start, 30) << "half a second of fields, and no more";
}

} // namespace

namespace {

// Writes into the frame buffer's memory reach the journal with their place, their rows and,
// when asked for, a checksum of what they held: the effects' tests follow pictures by it.
TEST_F(GfbGraphTest, WritesAreJournalledWithTheirRowsAndPixels)
{
    std::vector<std::uint32_t> source(40 * 30, 0xFF336699u);
    const auto* p = reinterpret_cast<const unsigned char*>(source.data());
    auto& journal = board().journal();
    const std::uint64_t mark = journal.mark();
    ASSERT_EQ(graph->GfbFrWrite_First(p, 40, 30, 0, 0, 20, 12, 100, 10), 0);
    journal.set_pixel_checksums(true);
    ASSERT_EQ(graph->GfbBkWrite_Second(p, 40, 30, 0, 0, 20, 12, 100, 11), 0);
    journal.set_pixel_checksums(false);
    const auto writes = journal.where([&](const zk::JournalEntry& e) {
        return e.seq >= mark && e.kind == zk::JournalKind::GraphicsWrite;
    });
    ASSERT_EQ(writes.size(), 2u) << journal.dump();
    auto words = [](const zk::JournalEntry& e) {
        std::vector<std::uint32_t> w(e.bytes.size() / 4);
        std::memcpy(w.data(), e.bytes.data(), w.size() * 4);
        return w;
    };
    EXPECT_EQ(writes[0].target, "GFB front");
    EXPECT_EQ(writes[0].code, 1u) << "first field";
    EXPECT_EQ(words(writes[0]), (std::vector<std::uint32_t>{0, 100, 11, 20, 6, 0})) << "odd lines from 11, no sum";
    EXPECT_EQ(writes[1].target, "GFB back");
    EXPECT_EQ(writes[1].code, 2u) << "second field";
    std::uint32_t sum = 2166136261u;
    for (int r = 0; r < 6; ++r) sum = zk::pixel_checksum(source.data(), 20 * 4, sum);
    EXPECT_EQ(words(writes[1]), (std::vector<std::uint32_t>{684, 100, 12, 20, 6, sum})) << "even lines from 12";
}

} // namespace
