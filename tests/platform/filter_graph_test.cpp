// The filter graph manager on a hand-stepped clock: states, the timeline and its end,
// connections, events, and the clocks' advises.
#include <gtest/gtest.h>

#include "platform/filtergraph/filter_graph.h"
#include "platform/filtergraph/reference_clock.h"
#include "platform/win32/win32_base.h"

namespace {

constexpr REFERENCE_TIME kSecond = kUnitsPerSecond;

class Graph : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC, IID_IGraphBuilder, builder.put_void()), S_OK);
        control = builder.as<IMediaControl>();
        position = builder.as<IMediaPosition>();
        events = builder.as<IMediaEvent>();
        filter = builder.as<IMediaFilter>();
        clock = zk::ComPtr<IReferenceClock>::attach(new zk::ReferenceClock(time));
        ASSERT_EQ(filter->SetSyncSource(clock.get()), S_OK);
    }
    void TearDown() override { CoUninitialize(); }

    zk::ComPtr<IBaseFilter> make(std::vector<zk::PinDesc> pins, double duration = -1)
    {
        zk::FilterDesc desc;
        desc.name = "f";
        desc.pins = std::move(pins);
        desc.duration = duration;
        return zk::ComPtr<IBaseFilter>::attach(new zk::VirtualFilter(desc));
    }
    zk::ComPtr<IPin> pin(const zk::ComPtr<IBaseFilter>& f, const char16_t* name)
    {
        zk::ComPtr<IPin> p;
        f->FindPin(name, p.put());
        return p;
    }
    double pos()
    {
        double p = -1;
        position->get_CurrentPosition(&p);
        return p;
    }
    bool next_event(LONG& code, LONG_PTR& p1)
    {
        LONG_PTR p2;
        if (events->GetEvent(&code, &p1, &p2, 0) != S_OK) return false;
        events->FreeEventParams(code, p1, p2);
        return true;
    }

    std::shared_ptr<zk::ManualTimeBase> time = std::make_shared<zk::ManualTimeBase>(100 * kSecond);
    zk::ComPtr<IGraphBuilder> builder;
    zk::ComPtr<IMediaControl> control;
    zk::ComPtr<IMediaPosition> position;
    zk::ComPtr<IMediaEvent> events;
    zk::ComPtr<IMediaFilter> filter;
    zk::ComPtr<IReferenceClock> clock;
};

TEST_F(Graph, PositionFollowsTheClockFromTheStartTimeAndStopsAtTheEnd)
{
    auto source = make({{"Out", PINDIR_OUTPUT}}, 5.0);
    ASSERT_EQ(builder->AddFilter(source.get(), u"source"), S_OK);
    double d = 0;
    position->get_Duration(&d);
    EXPECT_DOUBLE_EQ(d, 5.0);
    ASSERT_EQ(position->put_CurrentPosition(1.0), S_OK);
    ASSERT_EQ(filter->Run(time->now() + kSecond / 2), S_OK);
    time->advance(kSecond / 4);
    EXPECT_DOUBLE_EQ(pos(), 1.0) << "nothing moves before the start time";
    time->advance(kSecond * 3 / 4);
    EXPECT_DOUBLE_EQ(pos(), 1.5);
    LONG code;
    LONG_PTR p1;
    EXPECT_FALSE(next_event(code, p1));
    // The end is queued at the clock time the stop time is reached, not a unit before.
    time->advance(kSecond * 7 / 2 - 1);
    EXPECT_FALSE(next_event(code, p1));
    time->advance(1);
    ASSERT_TRUE(next_event(code, p1));
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_DOUBLE_EQ(pos(), 5.0);
    time->advance(kSecond);
    EXPECT_DOUBLE_EQ(pos(), 5.0);
    EXPECT_FALSE(next_event(code, p1)) << "one end per run";
}

TEST_F(Graph, PauseStopAndSeekKeepOrMoveThePosition)
{
    auto source = make({{"Out", PINDIR_OUTPUT}}, 10.0);
    builder->AddFilter(source.get(), nullptr);
    ASSERT_EQ(control->Run(), S_OK);
    time->advance(2 * kSecond);
    ASSERT_EQ(control->Pause(), S_OK);
    time->advance(2 * kSecond);
    EXPECT_DOUBLE_EQ(pos(), 2.0);
    ASSERT_EQ(control->Stop(), S_OK);
    EXPECT_DOUBLE_EQ(pos(), 2.0);
    ASSERT_EQ(control->Run(), S_OK);
    time->advance(kSecond);
    EXPECT_DOUBLE_EQ(pos(), 3.0);
    // A jump while running moves on from the new place; a shorter stop time ends sooner.
    ASSERT_EQ(position->put_CurrentPosition(8.0), S_OK);
    ASSERT_EQ(position->put_StopTime(8.5), S_OK);
    time->advance(kSecond);
    EXPECT_DOUBLE_EQ(pos(), 8.5);
    LONG code;
    LONG_PTR p1;
    ASSERT_TRUE(next_event(code, p1));
    EXPECT_EQ(code, EC_COMPLETE);
    // Out-of-range requests are held to the media.
    position->put_CurrentPosition(-4);
    EXPECT_DOUBLE_EQ(pos(), 0.0);
    position->put_StopTime(99);
    double stop = 0;
    position->get_StopTime(&stop);
    EXPECT_DOUBLE_EQ(stop, 10.0);
    EXPECT_EQ(position->put_Rate(0), E_INVALIDARG);
}

TEST_F(Graph, WithoutASourceNothingMovesOrEnds)
{
    auto renderer = make({{"In", PINDIR_INPUT}});
    builder->AddFilter(renderer.get(), nullptr);
    ASSERT_EQ(control->Run(), S_OK);
    time->advance(60 * kSecond);
    EXPECT_DOUBLE_EQ(pos(), 0.0);
    LONG code;
    LONG_PTR p1;
    EXPECT_FALSE(next_event(code, p1));
    EXPECT_EQ(time->pending(), 0u);
}

TEST_F(Graph, ConnectionsFollowTheRules)
{
    auto a = make({{"Out", PINDIR_OUTPUT}, {"In", PINDIR_INPUT}});
    auto b = make({{"In", PINDIR_INPUT}});
    auto outside = make({{"In", PINDIR_INPUT}});
    builder->AddFilter(a.get(), u"a");
    builder->AddFilter(b.get(), u"b");
    EXPECT_EQ(builder->ConnectDirect(pin(a, u"Out").get(), pin(outside, u"In").get(), nullptr), VFW_E_NOT_IN_GRAPH);
    EXPECT_EQ(builder->ConnectDirect(pin(a, u"In").get(), pin(b, u"In").get(), nullptr), VFW_E_INVALID_DIRECTION);
    EXPECT_EQ(builder->ConnectDirect(pin(a, u"Out").get(), pin(a, u"Out").get(), nullptr), VFW_E_INVALID_DIRECTION);
    AM_MEDIA_TYPE mt{};
    mt.majortype = MEDIATYPE_Video;
    BYTE format[3] = {1, 2, 3};
    mt.cbFormat = 3;
    mt.pbFormat = format;
    ASSERT_EQ(builder->ConnectDirect(pin(a, u"Out").get(), pin(b, u"In").get(), &mt), S_OK);
    AM_MEDIA_TYPE got{};
    ASSERT_EQ(pin(b, u"In")->ConnectionMediaType(&got), S_OK);
    EXPECT_EQ(got.majortype, MEDIATYPE_Video);
    ASSERT_EQ(got.cbFormat, 3u);
    EXPECT_EQ(got.pbFormat[2], 3);
    zk::free_media_type(got);
    EXPECT_EQ(builder->ConnectDirect(pin(a, u"Out").get(), pin(b, u"In").get(), nullptr), VFW_E_ALREADY_CONNECTED);
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_EQ(builder->Disconnect(pin(b, u"In").get()), VFW_E_NOT_STOPPED);
    ASSERT_EQ(control->Stop(), S_OK);
    // Removing a filter takes its connections with it, on both sides.
    ASSERT_EQ(builder->RemoveFilter(b.get()), S_OK);
    zk::ComPtr<IPin> peer;
    EXPECT_EQ(pin(a, u"Out")->ConnectedTo(peer.put()), VFW_E_NOT_CONNECTED);
    FILTER_INFO info{};
    ASSERT_EQ(b->QueryFilterInfo(&info), S_OK);
    EXPECT_EQ(info.pGraph, nullptr);
}

TEST_F(Graph, FilterNamesAreUniqueAndFiltersFollowTheGraph)
{
    auto a = make({});
    auto b = make({});
    EXPECT_EQ(builder->AddFilter(a.get(), u"name"), S_OK);
    EXPECT_EQ(builder->AddFilter(b.get(), u"name"), VFW_S_DUPLICATE_NAME);
    EXPECT_EQ(builder->AddFilter(a.get(), u"again"), E_INVALIDARG);
    FILTER_INFO info{};
    b->QueryFilterInfo(&info);
    EXPECT_EQ(std::u16string(info.achName), u"name 0001");
    info.pGraph->Release();
    zk::ComPtr<IEnumFilters> all;
    ASSERT_EQ(builder->EnumFilters(all.put()), S_OK);
    IBaseFilter* got[3] = {};
    ULONG n = 0;
    EXPECT_EQ(all->Next(3, got, &n), S_FALSE);
    EXPECT_EQ(n, 2u);
    for (ULONG i = 0; i < n; ++i) got[i]->Release();
    ASSERT_EQ(control->Pause(), S_OK);
    FILTER_STATE fs;
    a->GetState(0, &fs);
    EXPECT_EQ(fs, State_Paused);
    zk::ComPtr<IReferenceClock> c;
    a->GetSyncSource(c.put());
    EXPECT_EQ(c.get(), clock.get());
    EXPECT_EQ(filter->SetSyncSource(nullptr), VFW_E_NOT_STOPPED);
}

TEST_F(Graph, TheEventHandleTracksTheQueue)
{
    OAEVENT e = 0;
    ASSERT_EQ(events->GetEventHandle(&e), S_OK);
    const HANDLE h = reinterpret_cast<HANDLE>(e);
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_TIMEOUT);
    auto sink = builder.as<IMediaEventSink>();
    sink->Notify(EC_USERABORT, 1, 2);
    sink->Notify(EC_OLE_EVENT, reinterpret_cast<LONG_PTR>(SysAllocString(u"a")), reinterpret_cast<LONG_PTR>(SysAllocString(u"b")));
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_OBJECT_0);
    LONG code;
    LONG_PTR p1;
    ASSERT_TRUE(next_event(code, p1));
    EXPECT_EQ(code, EC_USERABORT);
    EXPECT_EQ(p1, 1);
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_OBJECT_0) << "one more queued";
    ASSERT_TRUE(next_event(code, p1));
    EXPECT_EQ(code, EC_OLE_EVENT);
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_TIMEOUT);
    // Set by hand with nothing queued, it is cleared by the next look rather than spun on.
    SetEvent(h);
    LONG_PTR p2;
    EXPECT_EQ(events->GetEvent(&code, &p1, &p2, 0), E_ABORT);
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_TIMEOUT);
    // WaitForCompletion takes events until an end.
    sink->Notify(EC_TIME, 0, 0);
    sink->Notify(EC_ERRORABORT, 5, 0);
    LONG done = 0;
    EXPECT_EQ(events->WaitForCompletion(100, &done), S_OK);
    EXPECT_EQ(done, EC_ERRORABORT);
    EXPECT_EQ(events->WaitForCompletion(10, &done), E_ABORT);
}

TEST_F(Graph, DestroyingTheGraphReleasesItsFiltersAndQueuedRecords)
{
    auto a = make({{"Out", PINDIR_OUTPUT}}, 1.0);
    auto b = make({{"In", PINDIR_INPUT}});
    builder->AddFilter(a.get(), nullptr);
    builder->AddFilter(b.get(), nullptr);
    ASSERT_EQ(builder->ConnectDirect(pin(a, u"Out").get(), pin(b, u"In").get(), nullptr), S_OK);
    builder.as<IMediaEventSink>()->Notify(EC_OLE_EVENT, reinterpret_cast<LONG_PTR>(SysAllocString(u"x")), 0);
    ASSERT_EQ(control->Run(), S_OK);
    EXPECT_EQ(time->pending(), 1u);
    const size_t handles = zk::open_handle_count();
    builder.reset();
    control.reset();
    position.reset();
    events.reset();
    filter.reset();
    EXPECT_EQ(time->pending(), 0u) << "the end it was heading for is cancelled";
    EXPECT_EQ(zk::open_handle_count(), handles - 1) << "its event handle is closed";
    time->advance(10 * kSecond);
    // Its filters are no longer connected: a fresh graph can use them.
    zk::ComPtr<IPin> peer;
    EXPECT_EQ(pin(b, u"In")->ConnectedTo(peer.put()), VFW_E_NOT_CONNECTED);
}

TEST_F(Graph, FilesPlayForTheirCataloguedLength)
{
    zk::set_virtual_media("graph_test.avi", 2.5, 0.25);
    ASSERT_EQ(builder->RenderFile(u"graph_test.avi", nullptr), S_OK);
    double d = 0, preroll = 0;
    position->get_Duration(&d);
    position->get_PrerollTime(&preroll);
    EXPECT_DOUBLE_EQ(d, 2.5);
    EXPECT_DOUBLE_EQ(preroll, 0.25);
    EXPECT_EQ(builder->RenderFile(u"not_there.avi", nullptr), VFW_E_NOT_FOUND);
    zk::set_virtual_media("graph_test.avi", -1);
    zk::ComPtr<IBaseFilter> f;
    EXPECT_EQ(builder->AddSourceFilter(u"graph_test.avi", nullptr, f.put()), VFW_E_NOT_FOUND);
}

TEST(ReferenceClock, AdvisesSignalAtTheirTimesAndCanBeCancelled)
{
    auto time = std::make_shared<zk::ManualTimeBase>(1000);
    zk::ComPtr<IReferenceClock> clock = zk::ComPtr<IReferenceClock>::attach(new zk::ReferenceClock(time));
    HANDLE event = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    HANDLE sem = CreateSemaphore(nullptr, 0, 100, nullptr);
    DWORD_PTR once = 0, periodic = 0, cancelled = 0;
    ASSERT_EQ(clock->AdviseTime(1000, 500, reinterpret_cast<HEVENT>(event), &once), S_OK);
    ASSERT_EQ(clock->AdvisePeriodic(1200, 100, reinterpret_cast<HSEMAPHORE>(sem), &periodic), S_OK);
    ASSERT_EQ(clock->AdviseTime(1000, 50, reinterpret_cast<HEVENT>(event), &cancelled), S_OK);
    EXPECT_EQ(clock->Unadvise(cancelled), S_OK);
    EXPECT_EQ(clock->Unadvise(cancelled), S_FALSE);
    time->advance_to(1499);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    time->advance_to(1500);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    int ticks = 0;
    while (WaitForSingleObject(sem, 0) == WAIT_OBJECT_0) ++ticks;
    EXPECT_EQ(ticks, 4) << "1200, 1300, 1400, 1500";
    EXPECT_EQ(clock->Unadvise(periodic), S_OK);
    time->advance_to(3000);
    EXPECT_EQ(WaitForSingleObject(sem, 0), WAIT_TIMEOUT);
    // An advise already past fires at once.
    ASSERT_EQ(clock->AdviseTime(0, 0, reinterpret_cast<HEVENT>(event), &once), S_OK);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(clock->AdviseTime(0, 0, 0, &once), E_INVALIDARG);
    EXPECT_EQ(clock->AdvisePeriodic(0, 0, reinterpret_cast<HSEMAPHORE>(sem), &once), E_INVALIDARG);
    CloseHandle(event);
    CloseHandle(sem);
}

TEST(ReferenceClock, RealTimeFiresWithoutHelp)
{
    auto time = std::make_shared<zk::RealTimeBase>();
    zk::ComPtr<IReferenceClock> clock = zk::ComPtr<IReferenceClock>::attach(new zk::ReferenceClock(time));
    HANDLE event = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    REFERENCE_TIME now = 0;
    ASSERT_EQ(clock->GetTime(&now), S_OK);
    DWORD_PTR cookie = 0;
    ASSERT_EQ(clock->AdviseTime(now, 20 * 10000, reinterpret_cast<HEVENT>(event), &cookie), S_OK); // 20 ms
    EXPECT_EQ(WaitForSingleObject(event, 2000), WAIT_OBJECT_0);
    REFERENCE_TIME after = 0;
    clock->GetTime(&after);
    EXPECT_GE(after, now + 20 * 10000);
    CloseHandle(event);
}

} // namespace
