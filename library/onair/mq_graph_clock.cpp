// CMQFilterGraph: the reference clock, the video standard it names, the conversions between
// frames, seconds and reference time (graph_time.h at the graph's standard), and start times
// that fall on a frame.
#include "onair/mq_filter_graph.h"

#include <cmath>

#include "onair/graph_time.h"
#include "onair/mq_graph_internal.h"
#include "platform/board/video_standard.h"

bool CMQFilterGraph::QueryStandard(IReferenceClock* clock)
{
    if (!clock) return false;
    zk::ComPtr<IExtendedClock> ext;
    if (FAILED(clock->QueryInterface(IExtendedClock::kIid, ext.put_void())) || !ext) return false;
    GUID g{};
    if (FAILED(ext->GetVideoStandard(&g))) return false;
    const int standard = zk::standard_from_guid(g);
    if (standard) m_nVideoStandard = standard;
    return standard != 0;
}

HRESULT CMQFilterGraph::SetupReferenceClock(IMediaFilter* from)
{
    HRESULT hr;
    zk::ComPtr<IReferenceClock> clock;
    if (from) {
        hr = from->GetSyncSource(clock.put());
        if (FAILED(hr)) return zk::fail("Could not get sync source from IMediaFilter interface", hr);
    } else {
        if (!m_pMediaFilter) return zk::fail("Could not set the sync source on the filter graph", E_FAIL);
        if (m_dwSelectedCardset != MQFG_NO_CARDSET)
            hr = CreateInstanceOnResource(CLSID_DigiSuiteReferenceClock, IID_IReferenceClock, clock.put_void(), m_dwSelectedCardset);
        else
            hr = CoCreateInstance(CLSID_DigiSuiteReferenceClock, nullptr, CLSCTX_INPROC, IID_IReferenceClock, clock.put_void());
        if (FAILED(hr)) return zk::fail("Could not instantiate DigiSuite reference clock", hr);
        hr = m_pMediaFilter->SetSyncSource(clock.get());
        if (FAILED(hr)) return zk::fail("Could not set the sync source on the filter graph", hr);
    }
    m_pRefClock = clock;
    m_pExtendedClock.reset();
    if (!clock) return S_OK;
    m_pExtendedClock = clock.as<IExtendedClock>();
    if (!m_pExtendedClock) return S_OK; // a clock that cannot name its standard leaves it unknown
    GUID g{};
    hr = m_pExtendedClock->GetVideoStandard(&g);
    if (FAILED(hr)) return zk::fail("Could not get extended clock interface", hr);
    if (const int standard = zk::standard_from_guid(g)) m_nVideoStandard = standard;
    return S_OK;
}

HRESULT CMQFilterGraph::SetSyncSource(IReferenceClock* clock)
{
    if (!m_pMediaFilter) return zk::fail("Filter graph is not initialized", E_FAIL);
    const HRESULT hr = m_pMediaFilter->SetSyncSource(clock);
    if (FAILED(hr)) return zk::fail("Could not set the sync source on the filter graph", hr);
    m_pRefClock = zk::ComPtr<IReferenceClock>::share(clock);
    return hr;
}

IReferenceClock* CMQFilterGraph::GetSyncSource()
{
    if (!m_pMediaFilter) return nullptr;
    IReferenceClock* clock = nullptr;
    if (FAILED(m_pMediaFilter->GetSyncSource(&clock))) return nullptr;
    // The graph keeps its own reference, which is what the caller relies on.
    if (clock) clock->Release();
    return clock;
}

HRESULT CMQFilterGraph::GetClockTime(REFERENCE_TIME* time)
{
    if (!time) return E_POINTER;
    IReferenceClock* clock = GetSyncSource();
    if (!clock) return E_FAIL;
    return clock->GetTime(time);
}

double CMQFilterGraph::FramesToSeconds(LONGLONG frames)
{
    return zk::frames_to_seconds(frames, zk::field_rate(m_nVideoStandard));
}

LONGLONG CMQFilterGraph::SecondsToFrames(double seconds)
{
    return zk::seconds_to_frames(seconds, zk::field_rate(m_nVideoStandard));
}

REFERENCE_TIME CMQFilterGraph::FramesToRefTime(LONGLONG frames)
{
    return zk::frames_to_ref_time(frames, zk::field_rate(m_nVideoStandard));
}

LONGLONG CMQFilterGraph::RefTimeToFrames(REFERENCE_TIME time)
{
    return zk::ref_time_to_frames(time, zk::field_rate(m_nVideoStandard));
}

REFERENCE_TIME CMQFilterGraph::SecondsToRefTime(double seconds)
{
    return FramesToRefTime(SecondsToFrames(seconds));
}

double CMQFilterGraph::RefTimeToSeconds(REFERENCE_TIME time)
{
    return FramesToSeconds(RefTimeToFrames(time));
}

REFERENCE_TIME CMQFilterGraph::ComputeStartTime(BOOL fromCurrentPosition)
{
    if (m_nVideoStandard == 0) {
        IReferenceClock* clock = GetSyncSource();
        if (!clock) ReportError("Need a sync source to retrieve the video standard", E_FAIL);
        else QueryStandard(clock);
    }
    const int standard = m_nVideoStandard;
    REFERENCE_TIME offset = 0;
    if (fromCurrentPosition) {
        if (standard == 0) return 0;
        double position = 0.0;
        GetPosition(position);
        offset = SecondsToRefTime(position);
    }
    double preroll = 0.0;
    if (m_pMediaPosition) m_pMediaPosition->get_PrerollTime(&preroll);
    REFERENCE_TIME now = 0;
    if (FAILED(GetClockTime(&now))) {
        ReportError("Need a sync source to do a PlayAt", E_FAIL);
        return 0;
    }
    REFERENCE_TIME t = now + zk::kStartLead + static_cast<REFERENCE_TIME>(std::llround(preroll * kUnitsPerSecond)) - offset;
    if (standard != 0) t = zk::snap_to_frame(t, zk::field_rate(standard));
    return t;
}
