// CMQFilterGraph on the virtual board: time arithmetic, start times, time-outs, transport,
// end-of-media and loop handling, filter error records and the software shuttle.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "onair/mq_filter_graph.h"
#include "onair/onair_fixture.h"
#include "platform/filtergraph/virtual_filter.h"
#include "platform/win32/win32_base.h"

namespace {

constexpr double kClipSeconds = 10.0;
const char* const kClip = "clip10.avi";

// A filter that records the time-outs it is asked to settle within, and can be told to answer
// that it is still on its way to a state.
class ProbeFilter final : public zk::VirtualFilter {
public:
    ProbeFilter() : zk::VirtualFilter(desc()) {}
    static zk::FilterDesc desc()
    {
        zk::FilterDesc s;
        s.name = "Probe";
        s.pins = {{"In", PINDIR_INPUT}};
        return s;
    }
    HRESULT Pause() override
    {
        VirtualFilter::Pause();
        return slow_pause.load() ? S_FALSE : S_OK;
    }
    HRESULT GetState(DWORD ms, FILTER_STATE* state) override
    {
        last_timeout = ms;
        VirtualFilter::GetState(ms, state);
        return stuck.load() ? VFW_S_STATE_INTERMEDIATE : S_OK;
    }
    std::atomic<bool> slow_pause{false};
    std::atomic<bool> stuck{false};
    std::atomic<DWORD> last_timeout{0};
};

BSTR make_record(DWORD magic, DWORD header, DWORD code, DWORD severity, const std::vector<std::u16string>& strings)
{
    std::vector<unsigned char> bytes(kMQEventHeaderBytes, 0);
    auto put = [&](size_t at, DWORD v) {
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    put(0, magic);
    put(4, header);
    put(12, code);
    put(16, severity);
    for (const auto& s : strings) {
        for (char16_t c : s) {
            bytes.push_back(static_cast<unsigned char>(c));
            bytes.push_back(static_cast<unsigned char>(c >> 8));
        }
        bytes.push_back(0);
        bytes.push_back(0);
    }
    return SysAllocStringByteLen(reinterpret_cast<const char*>(bytes.data()), static_cast<UINT>(bytes.size()));
}

// Opens the protected completion wait for the tests.
class TestGraph : public CMQFilterGraph {
public:
    using CMQFilterGraph::CMQFilterGraph;
    using CMQFilterGraph::WaitForCompletion;
};

class MQGraph : public ::testing::Test {
protected:
    void SetUp() override { start(zt::manual_board()); }
    void start(zk::BoardConfig config, zk::RegistryStore store = {})
    {
        if (graph) graph->Uninitialize();
        graph.reset();
        registry_.reset();
        board_.reset();
        board_ = std::make_unique<zk::BoardOverride>(std::move(config));
        registry_ = std::make_unique<zk::RegistryOverride>(std::move(store));
        zk::set_virtual_media(kClip, kClipSeconds);
        graph = std::make_unique<TestGraph>("test graph");
        ASSERT_EQ(graph->Initialize(TRUE), S_OK) << GetLastErrorText();
        graph->SetNotifyWindow(window.hwnd());
        ASSERT_EQ(graph->AddSourceFilter(kClip, nullptr), S_OK);
    }
    void TearDown() override
    {
        if (graph) graph->Uninitialize();
        graph.reset();
        registry_.reset();
        board_.reset();
    }
    zk::VirtualBoard& board() { return board_->board(); }
    REFERENCE_TIME now() { return board().time_base()->now(); }
    double position()
    {
        double p = -1;
        graph->GetPosition(p);
        return p;
    }
    void post(LONG code, LONG_PTR p1, LONG_PTR p2)
    {
        auto sink = zk::ComPtr<IGraphBuilder>::share(graph->GetGraphBuilder()).as<IMediaEventSink>();
        ASSERT_TRUE(sink);
        sink->Notify(code, p1, p2);
    }
    ProbeFilter* add_probe()
    {
        auto* probe = new ProbeFilter;
        EXPECT_EQ(graph->GetGraphBuilder()->AddFilter(probe, u"probe"), S_OK);
        probe_ = zk::ComPtr<IBaseFilter>::attach(probe);
        return probe;
    }

    std::unique_ptr<zk::BoardOverride> board_;
    std::unique_ptr<zk::RegistryOverride> registry_;
    zt::WindowRecorder window;
    zt::BoxRecorder boxes;
    std::unique_ptr<TestGraph> graph;
    zk::ComPtr<IBaseFilter> probe_;
};

// ---- time arithmetic ----

struct RateCase {
    int standard;
    REFERENCE_TIME frame_units; // FramesToRefTime(1)
    double frame_seconds;
};

class MQTime : public ::testing::TestWithParam<RateCase> {};

TEST_P(MQTime, ConversionsRoundTripAndRoundToTheNearestField)
{
    const RateCase c = GetParam();
    CMQFilterGraph g;
    g.SetVideoStandard(c.standard);
    EXPECT_EQ(g.FramesToRefTime(1), c.frame_units);
    EXPECT_NEAR(g.FramesToSeconds(1), c.frame_seconds, 1e-12);
    for (LONGLONG f : {0LL, 1LL, 2LL, 29LL, 30LL, 1799LL, 107892LL, -1LL, -45LL}) {
        EXPECT_EQ(g.SecondsToFrames(g.FramesToSeconds(f)), f) << f;
        EXPECT_EQ(g.RefTimeToFrames(g.FramesToRefTime(f)), f) << f;
        // A time a little off a frame still belongs to it, on either side of zero.
        EXPECT_EQ(g.RefTimeToFrames(g.FramesToRefTime(f) + c.frame_units / 4), f) << f;
        EXPECT_EQ(g.SecondsToRefTime(g.FramesToSeconds(f)), g.FramesToRefTime(f));
        EXPECT_DOUBLE_EQ(g.RefTimeToSeconds(g.FramesToRefTime(f)), g.FramesToSeconds(f));
    }
}

INSTANTIATE_TEST_SUITE_P(Standards, MQTime,
                         ::testing::Values(RateCase{0, 333666, 1001.0 / 30000}, RateCase{1, 333666, 1001.0 / 30000},
                                           RateCase{2, 400000, 0.04}, RateCase{3, 400000, 0.04},
                                           RateCase{4, 333333, 1.0 / 30}));

TEST(MQTimeRounding, HalfFieldsRoundAwayFromZero)
{
    CMQFilterGraph g;
    g.SetVideoStandard(2); // 50 fields per second: a field is 0.02 s
    EXPECT_EQ(g.SecondsToFrames(0.03), 1);   // 1.5 fields -> 2 -> frame 1
    EXPECT_EQ(g.SecondsToFrames(-0.03), -1); // -1.5 fields -> -2
    EXPECT_EQ(g.SecondsToFrames(0.0299), 0); // 1.495 fields -> 1 -> frame 0
    EXPECT_EQ(g.RefTimeToFrames(300000), 1);   // 1.5 fields
    EXPECT_EQ(g.RefTimeToFrames(-300000), -1);
    EXPECT_EQ(g.RefTimeToFrames(299999), 0);
}

// ---- start times ----

class MQStart : public MQGraph, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override { start(zt::manual_board(GetParam())); }
};

TEST_P(MQStart, StartTimesLieOnAFrameAboutFiftyMillisecondsAhead)
{
    const zk::FieldRate r = zk::field_rate(GetParam());
    EXPECT_EQ(graph->GetVideoStandard(), GetParam()) << "the clock names the board's standard";
    for (int step = 0; step < 7; ++step) {
        board().advance_to(now() + 123457 * step);
        const REFERENCE_TIME t = graph->ComputeStartTime(FALSE);
        const REFERENCE_TIME ideal = now() + 500500;
        // On an even field boundary: t is the start of a frame.
        const LONGLONG fields = (t * r.S + r.R / 2) / r.R;
        EXPECT_EQ(fields % 2, 0) << t;
        EXPECT_EQ(t, fields * r.R / r.S);
        EXPECT_LE(std::llabs(t - ideal), 2 * r.R / r.S) << "within a frame of 50.05 ms ahead";
    }
}

INSTANTIATE_TEST_SUITE_P(Standards, MQStart, ::testing::Values(1, 2, 3));

TEST_F(MQGraph, StartTimeAddsThePrerollAndCanCountFromThePosition)
{
    board().advance_to(110000000);
    // 11 s + 50.05 ms is 662.8 fields at 60000/1001: field 663 is odd, so the frame starts at 662.
    EXPECT_EQ(graph->ComputeStartTime(FALSE), 662LL * 1001000 / 6);
    auto position = zk::ComPtr<IGraphBuilder>::share(graph->GetGraphBuilder()).as<IMediaPosition>();
    ASSERT_EQ(position->put_PrerollTime(0.2), S_OK);
    // 0.2 s later: 674.8 fields, frame at 674.
    EXPECT_EQ(graph->ComputeStartTime(FALSE), 674LL * 1001000 / 6);
    ASSERT_EQ(position->put_PrerollTime(0.0), S_OK);
    // From position 1.001 s (30 frames) the start lies that much earlier: 602.8 fields, 602.
    ASSERT_EQ(position->put_CurrentPosition(1.001), S_OK);
    EXPECT_EQ(graph->ComputeStartTime(TRUE), 602LL * 1001000 / 6);
}

TEST(MQStartWithoutClock, NeedsASyncSource)
{
    zk::BoardOverride board(zt::manual_board());
    zk::RegistryOverride registry{zk::RegistryStore{}};
    CMQFilterGraph g;
    ASSERT_EQ(g.Initialize(FALSE), S_OK);
    EXPECT_EQ(g.ComputeStartTime(FALSE), 0);
    EXPECT_STREQ(GetLastErrorText(), "Error! Need a sync source to do a PlayAt\nCode = 0x80004005");
    EXPECT_EQ(g.PlayAt(0.5), E_FAIL);
    g.Uninitialize();
}

// ---- configuration and initialisation ----

struct TimeOutCase {
    const char* name;
    std::function<void(zk::RegistryStore&)> fill;
    DWORD state_ms, seek_ms;
};

class MQTimeOuts : public MQGraph, public ::testing::WithParamInterface<TimeOutCase> {
protected:
    void SetUp() override
    {
        zk::RegistryStore store;
        GetParam().fill(store);
        start(zt::manual_board(), std::move(store));
    }
};

TEST_P(MQTimeOuts, ComeFromTheUserKeyOrDefault)
{
    EXPECT_EQ(graph->GetStateCompletionTimeOut(), GetParam().state_ms);
    EXPECT_EQ(graph->GetSeekTimeOut(), GetParam().seek_ms);
    // The state waits really use it: a filter slow to pause is given that long.
    ProbeFilter* probe = add_probe();
    probe->slow_pause = true;
    ASSERT_EQ(graph->Pause(), S_OK);
    EXPECT_LE(probe->last_timeout.load(), GetParam().state_ms);
    EXPECT_GE(probe->last_timeout.load(), GetParam().state_ms - 50);
}

const char* const kMqfgKey = "HKEY_CURRENT_USER\\SOFTWARE\\MATROX\\MQFG";

INSTANTIATE_TEST_SUITE_P(
    Registry, MQTimeOuts,
    ::testing::Values(
        TimeOutCase{"NoKey", [](zk::RegistryStore&) {}, 5000, 2000},
        TimeOutCase{"StateTimeOut", [](zk::RegistryStore& s) { s.set_dword(kMqfgKey, "StateCompletionTimeOut", 10000); },
                    10000, 2000},
        TimeOutCase{"Both",
                    [](zk::RegistryStore& s) {
                        s.set_dword(kMqfgKey, "StateCompletionTimeOut", 700);
                        s.set_dword(kMqfgKey, "SeekTimeOut", 900);
                    },
                    700, 900},
        TimeOutCase{"NotFourBytes",
                    [](zk::RegistryStore& s) {
                        s.set_string(kMqfgKey, "StateCompletionTimeOut", "10000");
                        s.set_binary(kMqfgKey, "SeekTimeOut", {1, 2});
                    },
                    5000, 2000},
        TimeOutCase{"OtherUserKeyOnly",
                    [](zk::RegistryStore& s) {
                        s.set_dword("HKEY_LOCAL_MACHINE\\SOFTWARE\\MATROX\\MQFG", "StateCompletionTimeOut", 10000);
                    },
                    5000, 2000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MQGraph, SecondInitializeFailsAndLeavesTheFirstWorking)
{
    EXPECT_EQ(graph->Initialize(TRUE), E_FAIL);
    EXPECT_STREQ(GetLastErrorText(), "Error! Filter graph is already initialized\nCode = 0x80004005");
    EXPECT_EQ(graph->InitializeWithGraph(graph->GetGraphBuilder()), E_FAIL);
    // Still one working graph: it plays to its end and its transport thread reports that.
    ASSERT_EQ(graph->Play(), S_OK);
    EXPECT_TRUE(zt::step_until(board(), [&] { return window.has(1); }));
}

TEST_F(MQGraph, StateChangesThatDoNotCompleteFail)
{
    ProbeFilter* probe = add_probe();
    probe->slow_pause = true;
    probe->stuck = true;
    EXPECT_EQ(graph->Pause(), E_FAIL);
    EXPECT_STREQ(GetLastErrorText(), "Error! Could not pause graph\nCode = 0x80004005");
    EXPECT_EQ(graph->GetState(0), MQFG_STATE_INTERMEDIATE);
    probe->stuck = false;
    EXPECT_EQ(graph->GetState(0), MQFG_STATE_PAUSED);
}

TEST_F(MQGraph, InitializeFromSharesTheGraphWithoutOwningIt)
{
    const size_t handles = zk::open_handle_count();
    {
        CMQFilterGraph other;
        CMQFilterGraph uninitialised;
        EXPECT_EQ(other.InitializeFrom(&uninitialised), E_FAIL);
        ASSERT_EQ(other.InitializeFrom(graph.get()), S_OK);
        EXPECT_EQ(other.GetGraphBuilder(), graph->GetGraphBuilder());
        EXPECT_EQ(other.GetVideoStandard(), graph->GetVideoStandard());
        EXPECT_NEAR(other.GetDuration(), kClipSeconds, 1e-9);
    }
    // The copy is gone; the original still has its events and threads.
    EXPECT_EQ(zk::open_handle_count(), handles);
    ASSERT_EQ(graph->Play(), S_OK);
    EXPECT_TRUE(zt::step_until(board(), [&] { return window.has(1); }));
}

// ---- transport ----

TEST_F(MQGraph, StopKeepsThePosition)
{
    ASSERT_EQ(graph->Play(), S_OK);
    EXPECT_EQ(graph->GetState(0), MQFG_STATE_RUNNING);
    board().step_fields(150);
    const double before = position();
    EXPECT_GT(before, 2.0);
    double stopped = -1;
    ASSERT_EQ(graph->Stop(&stopped), S_OK);
    EXPECT_DOUBLE_EQ(stopped, before);
    EXPECT_DOUBLE_EQ(position(), before);
    EXPECT_EQ(graph->GetState(0), MQFG_STATE_STOPPED);
    EXPECT_FALSE(graph->CanStop());
    EXPECT_TRUE(graph->CanRun());
    // Pausing keeps it as well, and running again goes on from there.
    ASSERT_EQ(graph->Play(), S_OK);
    board().step_fields(60);
    double paused = -1;
    ASSERT_EQ(graph->Pause(&paused), S_OK);
    EXPECT_GT(paused, before);
    board().step_fields(60);
    EXPECT_DOUBLE_EQ(position(), paused);
}

TEST_F(MQGraph, SeekShowsOneFrameByRunningToIt)
{
    ProbeFilter* probe = add_probe();
    zk::IdlePump pump(board()); // the seek waits for the clock to reach the frame
    ASSERT_EQ(graph->Seek(3.0), S_OK) << GetLastErrorText();
    pump.stop();
    EXPECT_FALSE(pump.failed());
    EXPECT_DOUBLE_EQ(position(), 3.0);
    EXPECT_DOUBLE_EQ(graph->GetStopTime(), kClipSeconds);
    EXPECT_EQ(graph->GetState(0), MQFG_STATE_STOPPED);
    EXPECT_NE(probe->run_start(), 0) << "the graph ran to show the frame";
    EXPECT_GE(now(), probe->run_start()) << "and the clock reached its start";
    EXPECT_TRUE(window.messages().empty()) << "the seek's own completion is not an end of play";
}

TEST_F(MQGraph, SeekRelativePastEitherEndDoesNotMove)
{
    zk::IdlePump pump(board());
    ASSERT_EQ(graph->Seek(1.0), S_OK);
    struct Case {
        double delta;
        double expected;
    };
    for (const Case c : {Case{-2.0, 1.0}, Case{20.0, 1.0}, Case{-1.0001, 1.0}, Case{0.5, 1.5}, Case{-1.5, 0.0}}) {
        const double before = position();
        double out = -7;
        EXPECT_EQ(graph->SeekRelative(c.delta, &out), S_OK) << c.delta;
        EXPECT_DOUBLE_EQ(position(), c.expected) << c.delta;
        EXPECT_DOUBLE_EQ(out, c.expected == before ? -7 : c.expected) << c.delta;
    }
}

TEST_F(MQGraph, PlayAtStartsNoSoonerThanATenthOfASecondAhead)
{
    for (const double delay : {0.0, -3.0, 0.05, 0.1, 0.5}) {
        ASSERT_EQ(graph->Stop(), S_OK);
        const REFERENCE_TIME t0 = now();
        ASSERT_EQ(graph->PlayAt(delay), S_OK);
        EXPECT_EQ(graph->GetRunAtTime(), t0 + std::llround(std::max(delay, 0.1) * 1e7)) << delay;
        EXPECT_EQ(graph->GetState(0), MQFG_STATE_RUNNING);
        // Nothing moves before the start time.
        board().advance_to(graph->GetRunAtTime() - 1);
        EXPECT_DOUBLE_EQ(position(), 0.0);
        ASSERT_EQ(graph->ResetPositions(), S_OK);
    }
}

struct EndCase {
    double from, to;
    double rest; // where the position stays after the end
};

class MQEnd : public MQGraph, public ::testing::WithParamInterface<EndCase> {};

TEST_P(MQEnd, PlayingToTheEndStopsAndRewindsOnlyAtTheEnd)
{
    const EndCase c = GetParam();
    ASSERT_EQ(graph->PlayFromTo(c.from, c.to, FALSE), S_OK);
    ASSERT_TRUE(zt::step_until(board(), [&] { return window.has(1); }));
    EXPECT_EQ(graph->GetState(0), MQFG_STATE_STOPPED) << "stopped before the end was posted";
    EXPECT_NEAR(position(), c.rest, 1e-9);
    EXPECT_DOUBLE_EQ(graph->GetStopTime(), kClipSeconds);
    const auto messages = window.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].message, WM_MQFG_NOTIFY);
    EXPECT_EQ(messages[0].lParam, 0);
}

INSTANTIATE_TEST_SUITE_P(Ends, MQEnd,
                         ::testing::Values(EndCase{0.0, kClipSeconds, 0.0}, EndCase{2.0, 4.0, 4.0},
                                           EndCase{9.0, kClipSeconds - 0.00005, 0.0},
                                           EndCase{9.0, kClipSeconds - 0.0002, kClipSeconds - 0.0002}));

TEST_F(MQGraph, LoopRestartsAtTheLoopStart)
{
    ASSERT_EQ(graph->PlayFromTo(1.0, 2.0, TRUE), S_OK);
    ASSERT_TRUE(zt::step_until(board(), [&] {
        int restarts = 0;
        for (const auto& m : window.messages()) restarts += m.wParam == 3;
        return restarts >= 2;
    }));
    EXPECT_TRUE(graph->IsLooping());
    const double p = position();
    EXPECT_GE(p, 1.0);
    EXPECT_LE(p, 2.0);
    for (const auto& m : window.messages()) EXPECT_EQ(m.wParam, 3u) << "no end or error while looping";
    ASSERT_EQ(graph->Stop(), S_OK);
    EXPECT_FALSE(graph->IsLooping());
}

TEST_F(MQGraph, AbortStopsAndRewinds)
{
    ASSERT_EQ(graph->Play(), S_OK);
    board().step_fields(100);
    post(EC_ERRORABORT, 0x1234, 0);
    ASSERT_TRUE(zk::settle());
    ASSERT_TRUE(window.has(2));
    EXPECT_EQ(window.messages()[0].lParam, 0x1234);
    EXPECT_EQ(graph->GetState(0), MQFG_STATE_STOPPED);
    EXPECT_DOUBLE_EQ(position(), 0.0);
}

TEST_F(MQGraph, TheTransportThreadDiesWhenToldRightAfterAHandlerStopped)
{
    // A handler that returns FALSE resets ACTIVE; a kill that comes just then must still be
    // seen by the thread instead of leaving it waiting for ACTIVE for ever.
    for (int i = 0; i < 12; ++i) {
        window.clear();
        ASSERT_EQ(graph->Play(), S_OK);
        post(EC_USERABORT, i, 0);
        ASSERT_TRUE(zk::settle());
        ASSERT_TRUE(window.has(2));
        ASSERT_EQ(graph->KillTransportThread(), S_OK) << "round " << i;
        ASSERT_EQ(graph->CreateTransportThread(), S_OK);
    }
}

// ---- filter error records ----

struct RecordCase {
    const char* name;
    DWORD magic, header, severity;
    bool shown;
    UINT icon;
    const char* text; // the expected box text, when shown
};

class MQRecords : public MQGraph, public ::testing::WithParamInterface<RecordCase> {};

TEST_P(MQRecords, AreIgnoredOrShownBySeverity)
{
    const RecordCase c = GetParam();
    ASSERT_EQ(graph->Play(), S_OK);
    board().step_fields(30);
    const std::vector<std::u16string> strings =
        std::string(c.name) == "NoDescription" ? std::vector<std::u16string>{u"src"}
                                               : std::vector<std::u16string>{u"src", u"Disk full", u"more"};
    post(EC_OLE_EVENT, reinterpret_cast<LONG_PTR>(make_record(c.magic, c.header, 0x8004100A, c.severity, strings)),
         reinterpret_cast<LONG_PTR>(SysAllocString(u"second")));
    if (!c.shown) {
        // An abort queued after the record is handled after it: once it has stopped the graph,
        // the record has been dealt with, and it must have left nothing behind.
        post(EC_USERABORT, 99, 0);
        ASSERT_TRUE(zk::settle());
        ASSERT_TRUE(window.has(2));
        EXPECT_TRUE(boxes.boxes().empty());
        ASSERT_EQ(window.messages().size(), 1u);
        EXPECT_EQ(window.messages()[0].lParam, 99);
        return;
    }
    ASSERT_TRUE(zk::settle());
    ASSERT_TRUE(window.has(2));
    ASSERT_FALSE(boxes.boxes().empty());
    const auto box = boxes.boxes().front();
    EXPECT_EQ(box.caption, "MQFG Library");
    EXPECT_EQ(box.type, MB_SYSTEMMODAL | c.icon);
    EXPECT_EQ(box.text, c.text);
    EXPECT_EQ(window.messages().front().lParam, 0);
    EXPECT_EQ(graph->GetState(0), MQFG_STATE_STOPPED);
    EXPECT_DOUBLE_EQ(position(), 0.0);
    // The transport thread passed the record to the event monitor under the graph's name.
    bool monitored = false;
    for (const auto& e : board().monitored_events()) monitored |= e.code == EC_OLE_EVENT && e.client == "test graph";
    EXPECT_TRUE(monitored);
}

INSTANTIATE_TEST_SUITE_P(
    Severities, MQRecords,
    ::testing::Values(
        RecordCase{"WrongMagic", 0x99889989, 32, 6, false, 0, ""},
        RecordCase{"WrongHeader", 0x99889988, 36, 6, false, 0, ""},
        RecordCase{"Severity2", 0x99889988, 32, 2, false, 0, ""},
        RecordCase{"Severity3", 0x99889988, 32, 3, true, MB_ICONWARNING,
                   "There was an error reported by the filter graph during the playback process.\n\nReturn code: "
                   "0x8004100A\nDescription: Disk full\n\nThe filter graph was stopped automatically."},
        RecordCase{"Severity4", 0x99889988, 32, 4, true, MB_ICONWARNING,
                   "There was a warning reported by the filter graph during the playback process, probably because a "
                   "cut-list specified an invalid or absent source file.\n\nReturn code: 0x8004100A\nDescription: "
                   "Disk full\n\nThe filter graph was stopped automatically.\nPlease verify the validity of the "
                   "elements contained in cut-lists before re-starting the filter graph."},
        RecordCase{"Severity5", 0x99889988, 32, 5, true, MB_ICONERROR,
                   "There was an error reported by the filter graph during the playback process.\n\nReturn code: "
                   "0x8004100A\nDescription: Disk full\n\nThe filter graph was stopped automatically.\nPlease save "
                   "your work and close the current document."},
        RecordCase{"Severity6", 0x99889988, 32, 6, true, MB_ICONERROR,
                   "There was a fatal error reported by the filter graph during the playback process.\n\nReturn "
                   "code: 0x8004100A\nDescription: Disk full\n\nThe filter graph was stopped automatically.\nPlease "
                   "save your work and close the current application."},
        RecordCase{"Severity7", 0x99889988, 32, 7, true, MB_ICONERROR,
                   "There was a fatal error reported by the filter graph during the playback process.\nReturn code: "
                   "0x8004100A\nDescription: Disk full\n\nThe filter graph was stopped automatically.\nPlease save "
                   "your work and reboot your system."},
        RecordCase{"Severity9", 0x99889988, 32, 9, true, MB_ICONERROR,
                   "There was an unknown type of error reported by a filter in the filter graph (unknown "
                   "severity).\nReturn code: 0x8004100A\nDescription: Disk full\n\nThe filter graph was stopped "
                   "automatically."},
        RecordCase{"NoDescription", 0x99889988, 32, 3, true, MB_ICONWARNING,
                   "There was an error reported by the filter graph during the playback process.\n\nReturn code: "
                   "0x8004100A\nDescription: <no description>\n\nThe filter graph was stopped automatically."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MQGraph, ShortRecordsAreNotRead)
{
    // A BSTR shorter than the header is no record: it is passed over, not read past its end.
    const char tiny[6] = {'\x88', '\x99', '\x88', '\x99', 32, 0};
    BSTR record = SysAllocStringByteLen(tiny, sizeof tiny);
    EXPECT_FALSE(CMQEventInfo::IsMQEvent(reinterpret_cast<LONG_PTR>(record)));
    EXPECT_FALSE(CMQEventInfo(reinterpret_cast<LONG_PTR>(record)).IsValid());
    EXPECT_FALSE(CMQEventInfo::IsMQEvent(0));
    ASSERT_EQ(graph->Play(), S_OK);
    post(EC_OLE_EVENT, reinterpret_cast<LONG_PTR>(record), 0);
    post(EC_USERABORT, 5, 0);
    ASSERT_TRUE(zk::settle());
    ASSERT_TRUE(window.has(2));
    EXPECT_TRUE(boxes.boxes().empty());
}

// ---- software shuttle ----

class MQShuttle : public MQGraph {
protected:
    // Moves the clock by whole frames in one step, so a tick sees all of it or none.
    void frames(int n) { board().advance_to(board().field_time(board().field_at(now()) + 2 * n)); }
    int shuttle_steps() { return board().activity().shuttle_positions.load(); }
    LONGLONG frame() { return graph->SecondsToFrames(position()); }
    void begin(BOOL wrap, double speed)
    {
        ASSERT_EQ(graph->SetFilterGraphShuttleSpeed(speed), S_OK);
        const int seeks = board().activity().scrub_seeks.load();
        ASSERT_EQ(graph->BeginFilterGraphShuttle(1.0, 3.0, 1.2, wrap), S_OK) << GetLastErrorText();
        EXPECT_TRUE(graph->IsFilterGraphShuttling());
        EXPECT_TRUE(graph->IsScrubbing());
        // The shuttle ticks once a frame of the clock: the first tick only takes the clock
        // and shows the start frame.
        frames(1);
        EXPECT_GT(board().activity().scrub_seeks.load(), seeks + 1);
        EXPECT_EQ(frame(), 36) << "start frame";
    }
    // Moves the clock; the one tick that follows it is sent and recorded when the step returns.
    void step_and_wait(int n)
    {
        const int before = shuttle_steps();
        frames(n);
        EXPECT_GT(shuttle_steps(), before);
    }
};

TEST_F(MQShuttle, BackwardsWithoutWrapStopsAtTheLowerBound)
{
    begin(FALSE, -2.0); // frames 30 to 90, from 36
    step_and_wait(1);
    EXPECT_EQ(frame(), 34);
    // Less than a tick's worth of clock moves nothing.
    board().advance_to(now() + 100000);
    EXPECT_EQ(frame(), 34);
    step_and_wait(2);
    EXPECT_EQ(frame(), 30);
    const int at_bound = shuttle_steps();
    frames(1);
    EXPECT_EQ(frame(), 30);
    EXPECT_EQ(shuttle_steps(), at_bound) << "nothing sent once the frame stops changing";
    ASSERT_EQ(graph->EndFilterGraphShuttle(1000), S_OK);
    EXPECT_FALSE(graph->IsFilterGraphShuttling());
}

TEST_F(MQShuttle, BackwardsWithWrapJumpsToTheUpperBound)
{
    begin(TRUE, -2.0);
    step_and_wait(3);
    EXPECT_EQ(frame(), 30);
    step_and_wait(1);
    EXPECT_EQ(frame(), 90);
    ASSERT_EQ(graph->Stop(), S_OK);
    EXPECT_FALSE(graph->IsFilterGraphShuttling());
    EXPECT_FALSE(graph->IsScrubbing());
}

TEST_F(MQShuttle, SlowSpeedsCarryTheRemainderOver)
{
    begin(FALSE, 0.5); // one frame every two frames of time
    frames(1);
    EXPECT_EQ(frame(), 36) << "half a step is kept, not dropped";
    step_and_wait(1);
    EXPECT_EQ(frame(), 37);
    ASSERT_EQ(graph->SetFilterGraphShuttleSpeed(0.0), S_OK);
    frames(5);
    EXPECT_EQ(frame(), 37);
    ASSERT_EQ(graph->EndFilterGraphShuttle(1000), S_OK);
}

TEST_F(MQShuttle, NeedsTheScrubControl)
{
    graph->Uninitialize();
    graph.reset();
    zk::BoardConfig config = zt::manual_board();
    config.scrub_control = false;
    start(config);
    EXPECT_FALSE(graph->CanScrub());
    EXPECT_EQ(graph->BeginFilterGraphShuttle(0, 1, 0, FALSE), E_FAIL);
    EXPECT_STREQ(GetLastErrorText(), "Error! Error sending BeginScrub command to filter graph.\nCode = 0x80004005");
    EXPECT_EQ(graph->BeginScrub(), E_FAIL);
    EXPECT_STREQ(GetLastErrorText(), "Error! The scrubbing PID is not installed.\nCode = 0x80004005");
}

// ---- scrubbing and the device shuttle ----

TEST_F(MQGraph, ScrubbingShowsTheFramesSentAndEndsAtZero)
{
    ASSERT_EQ(graph->BeginScrub(), S_OK);
    EXPECT_FALSE(graph->CanPause());
    EXPECT_TRUE(graph->CanRun());
    ASSERT_EQ(graph->Seek(4.5), S_OK);
    EXPECT_DOUBLE_EQ(position(), 4.5);
    auto media = zk::ComPtr<IGraphBuilder>::share(graph->GetGraphBuilder()).as<IMediaPosition>();
    double shown = 0;
    media->get_CurrentPosition(&shown);
    EXPECT_DOUBLE_EQ(shown, 4.5);
    ASSERT_EQ(graph->EndScrub(1000), S_OK);
    EXPECT_FALSE(graph->IsScrubbing());
    EXPECT_DOUBLE_EQ(position(), 0.0);
}

TEST_F(MQGraph, ScrubNeedsASourceThatCanScrub)
{
    graph->Uninitialize();
    graph = std::make_unique<TestGraph>();
    ASSERT_EQ(graph->Initialize(TRUE), S_OK);
    EXPECT_EQ(graph->BeginScrub(), MQ_E_NO_SCRUB_SOURCE);
    EXPECT_STREQ(GetLastErrorText(),
                 "Error! There is no source filter supporting scrubbing in this filter graph.\nCode = 0x80041031");
    EXPECT_EQ(graph->BeginShuttle(0x10000, 0, 0, 0, 0), MQ_E_NO_SCRUB_SOURCE);
    EXPECT_STREQ(GetLastErrorText(),
                 "Error! There is no source filter supporting shuttling in this filter graph.\nCode = 0x80041031");
}

TEST_F(MQGraph, DeviceShuttleFollowsTheClockAtItsSpeed)
{
    ASSERT_EQ(graph->BeginShuttle(0x20000, 0, 0, 0, 0), S_OK); // twice play speed
    EXPECT_TRUE(graph->IsShuttling());
    board().advance_to(now() + 10000000); // 1 s
    EXPECT_NEAR(position(), 2.0, 1.0 / 30);
    ASSERT_EQ(graph->SetSpeedAt(static_cast<DWORD>(-0x10000), 0, 0, 0), S_OK);
    board().advance_to(now() + 5000000);
    EXPECT_NEAR(position(), 1.5, 1.0 / 30);
    board().advance_to(now() + 50000000); // held at the start of the clip
    EXPECT_NEAR(position(), 0.0, 1e-9);
    // Play ends the shuttle where it is.
    ASSERT_EQ(graph->Play(), S_OK);
    EXPECT_FALSE(graph->IsShuttling());
    EXPECT_EQ(graph->GetState(0), MQFG_STATE_RUNNING);
}

TEST_F(MQGraph, WaitForCompletionNeedsARunningGraphAndTimesOut)
{
    EXPECT_EQ(graph->WaitForCompletion(50, TRUE), VFW_E_NOT_RUNNING);
    EXPECT_STREQ(GetLastErrorText(), "Error! Filter graph not running in WaitForCompletion!\nCode = 0x80040226");
    ASSERT_EQ(graph->Play(), S_OK);
    // Thirty milliseconds of a ten-second clip: the end does not come in time.
    zk::IdlePump pump(board());
    EXPECT_EQ(graph->WaitForCompletion(30, TRUE), MQFG_E_COMPLETION_TIMEOUT);
    EXPECT_STREQ(GetLastErrorText(),
                 "Error! Time-out waiting for the EC_COMPLETE in WaitForCompletion!\nCode = 0x80041013");
    // Events before the end go to the handler; the end itself is taken and not handed on.
    post(EC_ERRORABORT, 7, 0);
    EXPECT_EQ(graph->WaitForCompletion(1000, TRUE), S_OK);
    pump.stop();
    ASSERT_TRUE(zk::settle());
    EXPECT_TRUE(window.has(2));
}

} // namespace
