// The virtual board: its clock and field timing, the scrub and shuttle controls it plugs into
// graphs, its enumerator and event monitor, and devices by name.
#include <gtest/gtest.h>

#include <thread>

#include "platform/testing/devices.h"
#include "platform/board/digisuite_filter.h"
#include "platform/board/board_memory.h"
#include "platform/board/system_clock_device.h"
#include "platform/testing/board.h"
#include "platform/filtergraph/filter_graph.h"
#include "platform/win32/win32_base.h"

namespace {

zk::BoardConfig manual(int standard = 1)
{
    zk::BoardConfig c = zk::BoardConfig::standard();
    c.manual_clock = true;
    c.cardsets[0].standard = standard;
    return c;
}

class Board : public ::testing::Test {
protected:
    void SetUp() override { CoInitialize(nullptr); }
    void TearDown() override { CoUninitialize(); }
};

TEST_F(Board, FieldsFollowTheStandard)
{
    struct Case {
        int standard;
        REFERENCE_TIME field_600;
    };
    for (const Case c : {Case{1, 100100000}, Case{2, 120000000}, Case{3, 120000000}}) {
        zk::BoardOverride o(manual(c.standard));
        zk::VirtualBoard& b = o.board();
        EXPECT_EQ(b.field_time(600), c.field_600);
        EXPECT_EQ(b.field_at(c.field_600), 600);
        EXPECT_EQ(b.field_at(c.field_600 - 1), 599);
        ASSERT_TRUE(b.step_fields(600));
        EXPECT_EQ(b.time_base()->now(), c.field_600);
    }
    zk::BoardOverride real(zk::BoardConfig::standard());
    EXPECT_FALSE(real.board().step_fields(1)) << "a real-time board is not stepped";
    EXPECT_EQ(real.board().manual_clock(), nullptr);
}

TEST_F(Board, ClockNamesTheStandardOfItsCardset)
{
    zk::BoardConfig c = manual(1);
    c.cardsets.push_back({0x20000, "PAL", 2, {"DigiMix"}, {}});
    zk::BoardOverride o(c);
    zk::ComPtr<IReferenceClock> plain;
    ASSERT_EQ(CoCreateInstance(CLSID_DigiSuiteReferenceClock, nullptr, CLSCTX_INPROC, IID_IReferenceClock, plain.put_void()), S_OK);
    GUID g{};
    ASSERT_EQ(plain.as<IExtendedClock>()->GetVideoStandard(&g), S_OK);
    EXPECT_EQ(g, VIDEOSTANDARD_NTSC);
    zk::ComPtr<IResourceFactory> factory;
    ASSERT_EQ(CoGetClassObject(CLSID_DigiSuiteReferenceClock, CLSCTX_INPROC, nullptr, IID_IResourceFactory, factory.put_void()), S_OK);
    zk::ComPtr<IReferenceClock> pal;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IReferenceClock, pal.put_void(), 0x20000), S_OK);
    ASSERT_EQ(pal.as<IExtendedClock>()->GetVideoStandard(&g), S_OK);
    EXPECT_EQ(g, VIDEOSTANDARD_PAL);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IReferenceClock, pal.put_void(), 0x77777), E_INVALIDARG);
    // Both clocks run on the board's one time base.
    o.board().step_fields(3);
    REFERENCE_TIME a = 0, b = 0;
    plain->GetTime(&a);
    factory.reset();
    ASSERT_EQ(CoCreateInstance(CLSID_DigiSuiteReferenceClock, nullptr, CLSCTX_INPROC, IID_IReferenceClock, pal.put_void()), S_OK);
    pal->GetTime(&b);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, o.board().field_time(3));
}

TEST_F(Board, MissingPiecesAreMissing)
{
    zk::BoardConfig c = manual();
    c.extended_clock = false;
    c.scrub_control = false;
    c.shuttle_control = false;
    c.event_monitor = false;
    c.mrid_enumerator = false;
    zk::BoardOverride o(c);
    zk::ComPtr<IReferenceClock> clock;
    ASSERT_EQ(CoCreateInstance(CLSID_DigiSuiteReferenceClock, nullptr, CLSCTX_INPROC, IID_IReferenceClock, clock.put_void()), S_OK);
    EXPECT_FALSE(clock.as<IExtendedClock>());
    zk::ComPtr<IUnknown> u;
    EXPECT_EQ(CoCreateInstance(CLSID_MridEnumerator, nullptr, CLSCTX_INPROC, IMridEnumerator::kIid, u.put_void()), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(CLSID_EventMonitor, nullptr, CLSCTX_LOCAL_SERVER, IEventMonitor::kIid, u.put_void()), REGDB_E_CLASSNOTREG);
    zk::ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC, IID_IGraphBuilder, graph.put_void()), S_OK);
    EXPECT_FALSE(graph.as<IScrubControl>());
    EXPECT_FALSE(graph.as<IShuttleControl>());
}

class Controls : public Board {
protected:
    void SetUp() override
    {
        Board::SetUp();
        board = std::make_unique<zk::BoardOverride>(manual());
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC, IID_IGraphBuilder, graph.put_void()), S_OK);
        zk::ComPtr<IReferenceClock> clock;
        CoCreateInstance(CLSID_DigiSuiteReferenceClock, nullptr, CLSCTX_INPROC, IID_IReferenceClock, clock.put_void());
        graph.as<IMediaFilter>()->SetSyncSource(clock.get());
        zk::set_virtual_media("board_test.avi", 8.0);
        zk::ComPtr<IBaseFilter> source;
        ASSERT_EQ(graph->AddSourceFilter(u"board_test.avi", nullptr, source.put()), S_OK);
        position = graph.as<IMediaPosition>();
    }
    void TearDown() override
    {
        position.reset();
        graph.reset();
        board.reset();
        Board::TearDown();
    }
    double pos()
    {
        double p = -1;
        position->get_CurrentPosition(&p);
        return p;
    }
    REFERENCE_TIME now() { return board->board().time_base()->now(); }
    std::unique_ptr<zk::BoardOverride> board;
    zk::ComPtr<IGraphBuilder> graph;
    zk::ComPtr<IMediaPosition> position;
};

TEST_F(Controls, ScrubbingHoldsTheTimelineAndShowsWhatItIsSent)
{
    auto scrub = graph.as<IScrubControl>();
    auto cue = scrub.as<IScrubCueControl>();
    ASSERT_TRUE(scrub && cue) << "the cue control comes from the scrub control";
    EXPECT_EQ(scrub->Seek(1.0), VFW_E_WRONG_STATE);
    ASSERT_EQ(graph.as<IMediaControl>()->Run(), S_OK);
    ASSERT_EQ(scrub->BeginScrub(), S_OK);
    board->board().step_fields(120);
    EXPECT_DOUBLE_EQ(pos(), 0.0) << "held";
    ASSERT_EQ(scrub->Seek(3.25), S_OK);
    EXPECT_DOUBLE_EQ(pos(), 3.25);
    ASSERT_EQ(cue->put_CueLength(333666), S_OK);
    ASSERT_EQ(scrub->SetShuttlePosition(4.0), S_OK);
    REFERENCE_TIME start = 0, length = 0;
    cue->get_CueStart(&start);
    cue->get_CueLength(&length);
    EXPECT_EQ(start, now());
    EXPECT_EQ(length, 333666);
    EXPECT_EQ(board->board().activity().scrub_seeks.load(), 1);
    EXPECT_EQ(board->board().activity().shuttle_positions.load(), 1);
    // Ending the scrub on a running graph ends its stream where it stands.
    ASSERT_EQ(scrub->EndScrub(), S_OK);
    EXPECT_EQ(scrub->EndScrub(), S_FALSE);
    LONG code;
    LONG_PTR p1, p2;
    ASSERT_EQ(graph.as<IMediaEvent>()->GetEvent(&code, &p1, &p2, 0), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    board->board().step_fields(60);
    EXPECT_DOUBLE_EQ(pos(), 4.0);
}

TEST_F(Controls, TheShuttleMovesWithTheClockBetweenTheEnds)
{
    auto shuttle = graph.as<IShuttleControl>();
    ASSERT_TRUE(shuttle);
    position->put_CurrentPosition(2.0);
    ASSERT_EQ(shuttle->BeginShuttle(0x8000, 0, 0, 0, 0), S_OK); // half speed
    board->board().advance_to(now() + 20000000);
    REFERENCE_TIME p = 0;
    shuttle->GetShuttlePosition(&p);
    EXPECT_EQ(p, 30000000);
    // A change set for later applies from then: until then the old speed runs on.
    const REFERENCE_TIME at = now() + 10000000;
    ASSERT_EQ(shuttle->SetSpeedAt(static_cast<DWORD>(-0x30000), static_cast<DWORD>(at), static_cast<DWORD>(at >> 32), 0), S_OK);
    board->board().advance_to(at);
    shuttle->GetShuttlePosition(&p);
    EXPECT_EQ(p, 35000000);
    board->board().advance_to(at + 10000000);
    shuttle->GetShuttlePosition(&p);
    EXPECT_EQ(p, 5000000);
    board->board().advance_to(at + 30000000);
    shuttle->GetShuttlePosition(&p);
    EXPECT_EQ(p, 0) << "held at the start";
    ASSERT_EQ(shuttle->EndShuttle(), S_OK);
    EXPECT_DOUBLE_EQ(pos(), 0.0);
    EXPECT_EQ(shuttle->SetSpeedAt(0x10000, 0, 0, 0), VFW_E_WRONG_STATE);
}

TEST_F(Board, TheEnumeratorListsCardsetsBoardsAndInstances)
{
    zk::BoardConfig c = manual();
    const CLSID cls = zk::make_guid("0B0A0001-0000-4000-8000-000000000001");
    c.cardsets[0].instances.push_back({cls, 0, 3, 0});
    c.cardsets.push_back({0x50000, "Second", 0, {"Genie", ""}, {{cls, 1, 0, 0x50123}}});
    zk::BoardOverride o(c);
    zk::ComPtr<IMridEnumerator> e;
    ASSERT_EQ(CoCreateInstance(CLSID_MridEnumerator, nullptr, CLSCTX_INPROC, IMridEnumerator::kIid, e.put_void()), S_OK);
    LONG n = 0;
    e->GetCardsetCount(&n);
    EXPECT_EQ(n, 2);
    DWORD mrid = 0;
    ASSERT_EQ(e->GetCardsetMrid(1, &mrid), S_OK);
    EXPECT_EQ(mrid, 0x50000u);
    EXPECT_EQ(e->GetCardsetMrid(2, &mrid), E_INVALIDARG);
    GUID g;
    e->GetCardsetVideoStandard(0x50000, &g);
    EXPECT_EQ(g, GUID_NULL);
    BSTR name = nullptr;
    EXPECT_EQ(e->GetBoardName(0x50000, 1, &name), E_FAIL);
    ASSERT_EQ(e->GetBoardName(0x50000, 0, &name), S_OK);
    EXPECT_EQ(zk::to_ansi(name), "Genie");
    SysFreeString(name);
    DWORD inst, set;
    LONG board, number;
    ASSERT_EQ(e->GetFilterInstance(cls, 0, &inst, &set, &board, &number), S_OK);
    EXPECT_EQ(set, 0x10000u);
    EXPECT_EQ(number, 3);
    EXPECT_NE(inst, 0u) << "assigned by the board";
    ASSERT_EQ(e->GetFilterInstance(cls, 1, &inst, &set, &board, &number), S_OK);
    EXPECT_EQ(inst, 0x50123u);
    EXPECT_EQ(board, 1);
    EXPECT_EQ(e->GetFilterInstance(cls, 2, &inst, &set, &board, &number), S_FALSE);
    EXPECT_TRUE(o.board().resource_known(0x50123));
    EXPECT_EQ(o.board().standard_for(0x50123), 0);
}

TEST_F(Board, TheEventMonitorRecordsItsClients)
{
    zk::BoardOverride o(manual());
    zk::ComPtr<IEventMonitor> m;
    ASSERT_EQ(CoCreateInstance(CLSID_EventMonitor, nullptr, CLSCTX_LOCAL_SERVER, IEventMonitor::kIid, m.put_void()), S_OK);
    DWORD cookie = 0;
    ASSERT_EQ(m->Register(u"graph one", &cookie), S_OK);
    EXPECT_EQ(m->NotifyEvent(EC_COMPLETE, 0, cookie), S_OK);
    EXPECT_EQ(m->NotifyEvent(EC_COMPLETE, 0, cookie + 1), E_INVALIDARG);
    ASSERT_EQ(o.board().monitored_events().size(), 1u);
    EXPECT_EQ(o.board().monitored_events()[0].client, "graph one");
    EXPECT_EQ(m->Unregister(cookie), S_OK);
    EXPECT_TRUE(o.board().monitor_clients().empty());
}

TEST(Devices, TheEffectsDeviceAnswersTheOptionRequest)
{
    zk::BoardOverride o(zk::BoardConfig::standard());
    HANDLE h = CreateFile("\\\\.\\digimixvfx0", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << "device names ignore case";
    DWORD words[17] = {kPromRequestMagic};
    DWORD returned = 0;
    ASSERT_TRUE(DeviceIoControl(h, IOCTL_VFX_GET_PROM_OPTIONS, words, 68, words, 68, &returned, nullptr));
    EXPECT_EQ(returned, 68u);
    EXPECT_EQ(words[9], 0u);
    words[0] = 0;
    EXPECT_FALSE(DeviceIoControl(h, IOCTL_VFX_GET_PROM_OPTIONS, words, 68, words, 68, &returned, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    words[0] = kPromRequestMagic;
    EXPECT_FALSE(DeviceIoControl(h, IOCTL_VFX_GET_PROM_OPTIONS, words, 40, words, 40, &returned, nullptr));
    // The register map is the device's other request (the on-air control maps the registers);
    // codes it does not know are refused.
    EXPECT_TRUE(DeviceIoControl(h, 0x83002258, words, 20, words, 20, &returned, nullptr));
    EXPECT_EQ(returned, 20u);
    EXPECT_FALSE(DeviceIoControl(h, 0x83002264, words, 48, words, 48, &returned, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_FUNCTION);
    CloseHandle(h);
    EXPECT_FALSE(DeviceIoControl(h, IOCTL_VFX_GET_PROM_OPTIONS, words, 68, words, 68, &returned, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    for (const char* bad : {"\\\\.\\NoSuchDevice", "DigiMixVFX0", "C:\\file.txt", "\\\\.\\"}) {
        EXPECT_EQ(CreateFile(bad, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE) << bad;
        EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    }
}

TEST(Devices, PendingRequestsCompleteThroughTheOverlappedRecord)
{
    // A device that finishes its requests later, on another thread, as a driver does.
    class Slow final : public zk::VirtualDevice {
    public:
        BOOL control(DWORD, const void*, DWORD, void*, DWORD, DWORD*, OVERLAPPED* ov) override
        {
            if (!ov) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return FALSE;
            }
            std::thread([ov] { zk::complete_overlapped(ov, 0, 12); }).detach();
            SetLastError(ERROR_IO_PENDING);
            return FALSE;
        }
    };
    zk::DeviceOverride dev("SlowDevice", [] { return std::make_shared<Slow>(); });
    HANDLE h = CreateFile("\\\\.\\SlowDevice", GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    OVERLAPPED ov{};
    ov.hEvent = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    EXPECT_FALSE(DeviceIoControl(h, 1, nullptr, 0, nullptr, 0, nullptr, &ov));
    EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    DWORD bytes = 0;
    ASSERT_TRUE(GetOverlappedResult(h, &ov, &bytes, TRUE));
    EXPECT_EQ(bytes, 12u);
    CloseHandle(ov.hEvent);
    CloseHandle(h);
}

TEST(Devices, TheSystemClockInterruptsAtEveryField)
{
    zk::BoardConfig c = zk::BoardConfig::standard();
    c.manual_clock = true;
    zk::BoardOverride o(c);
    HANDLE h = CreateFile("\\\\.\\DigiSuiteSystemClock0", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFile("\\\\.\\DigiSuiteSystemClock1", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    DWORD word = 0, n = 0;
    ASSERT_TRUE(DeviceIoControl(h, IOCTL_SYSCLK_REGISTER, nullptr, 0, &word, sizeof word, &n, nullptr));
    WORD small = 0;
    EXPECT_FALSE(DeviceIoControl(h, IOCTL_SYSCLK_MAP_STATUS, nullptr, 0, &small, sizeof small, &n, nullptr))
        << "the reply holds a 4-byte board-memory token";
    DWORD token = 0;
    ASSERT_TRUE(DeviceIoControl(h, IOCTL_SYSCLK_MAP_STATUS, nullptr, 0, &token, sizeof token, &n, nullptr));
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(zk::board_memory(token, 8), nullptr) << "the region is one word long";
    EXPECT_EQ(zk::board_memory(token + 1, 4), nullptr);
    auto* status = static_cast<DWORD*>(zk::board_memory(token, sizeof(DWORD)));
    ASSERT_NE(status, nullptr);
    auto read = [status] { return std::atomic_ref<DWORD>(*status).load(); };

    OVERLAPPED ov{};
    ov.hEvent = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    DWORD bad = word + 1;
    EXPECT_FALSE(DeviceIoControl(h, IOCTL_SYSCLK_ARM, &bad, sizeof bad, nullptr, 0, nullptr, &ov));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(DeviceIoControl(h, IOCTL_SYSCLK_ARM, &word, sizeof word, nullptr, 0, nullptr, &ov));
    EXPECT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_EQ(WaitForSingleObject(ov.hEvent, 0), WAIT_TIMEOUT);
    for (int field = 1; field <= 4; ++field) {
        o.board().step_fields(1);
        EXPECT_EQ(WaitForSingleObject(ov.hEvent, 0), WAIT_OBJECT_0) << field;
        EXPECT_EQ(read(), static_cast<DWORD>(field));
        EXPECT_EQ(read() & 1, static_cast<DWORD>(field & 1)) << "bit 0 is the field parity";
    }
    ASSERT_TRUE(DeviceIoControl(h, IOCTL_SYSCLK_DISARM, &word, sizeof word, nullptr, 0, &n, nullptr));
    DWORD bytes = 0;
    EXPECT_FALSE(GetOverlappedResult(h, &ov, &bytes, TRUE)) << "the arm ends as cancelled";
    EXPECT_EQ(GetLastError(), 995u);
    o.board().step_fields(2);
    EXPECT_EQ(WaitForSingleObject(ov.hEvent, 0), WAIT_TIMEOUT);
    EXPECT_EQ(o.board().time_base()->pending(), 0u) << "nothing ticks once nobody listens";
    EXPECT_FALSE(DeviceIoControl(h, IOCTL_SYSCLK_UNMAP, &bad, sizeof bad, nullptr, 0, &n, nullptr));
    EXPECT_TRUE(DeviceIoControl(h, IOCTL_SYSCLK_UNMAP, &token, sizeof token, nullptr, 0, &n, nullptr));
    CloseHandle(ov.hEvent);
    CloseHandle(h);
}

TEST(Journal, RecordsEveryRequestWithItsBytesAndField)
{
    zk::BoardOverride o(zk::manual_board_config());
    zk::VirtualBoard& board = o.board();
    HANDLE h = CreateFile("\\\\.\\DigiMixVFX0", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const std::uint64_t mark = board.journal().mark();
    ASSERT_TRUE(board.step_fields(2));
    DWORD words[17] = {kPromRequestMagic, 7, 8};
    DWORD returned = 0;
    ASSERT_TRUE(DeviceIoControl(h, IOCTL_VFX_GET_PROM_OPTIONS, words, 68, words, 68, &returned, nullptr));
    EXPECT_FALSE(DeviceIoControl(h, 0x12345678, words, 8, nullptr, 0, &returned, nullptr));
    CloseHandle(h);
    const auto got = board.journal().since(mark);
    ASSERT_EQ(got.size(), 2u) << board.journal().dump();
    EXPECT_EQ(got[0].kind, zk::JournalKind::DeviceRequest);
    EXPECT_EQ(got[0].target, "DigiMixVFX0");
    EXPECT_EQ(got[0].code, IOCTL_VFX_GET_PROM_OPTIONS);
    EXPECT_EQ(got[0].field, 602) << "stamped with the field it arrived in";
    ASSERT_EQ(got[0].bytes.size(), 68u);
    EXPECT_EQ(got[0].bytes[4], 7) << "the bytes as sent, not as answered";
    EXPECT_TRUE(got[0].ok);
    EXPECT_FALSE(got[1].ok);
    EXPECT_LT(got[0].seq, got[1].seq);
    const std::string dump = board.journal().dump();
    EXPECT_NE(dump.find("f602 #" + std::to_string(got[0].seq) + " request DigiMixVFX0 0x8300216C [a5a55a5a 07000000"), std::string::npos) << dump;
    EXPECT_NE(dump.find("0x12345678 [a5a55a5a 07000000] refused"), std::string::npos) << dump;
}

TEST(Journal, KeepsTheNewestEntriesWhenFull)
{
    zk::BoardJournal journal(8);
    for (int i = 0; i < 20; ++i) {
        zk::JournalEntry e;
        e.code = static_cast<std::uint32_t>(i);
        journal.record(e);
    }
    const auto kept = journal.entries();
    ASSERT_FALSE(kept.empty());
    EXPECT_LE(kept.size(), 8u);
    EXPECT_EQ(kept.back().code, 19u);
    EXPECT_EQ(journal.dropped() + kept.size(), 20u);
    EXPECT_EQ(journal.mark(), 21u);
}

} // namespace
