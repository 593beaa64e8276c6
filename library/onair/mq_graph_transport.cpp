// CMQFilterGraph: play, stop, pause, seeking (a frame is shown by playing the graph up to it and
// stopping there), runs at a clock time, and the positions.
#include "onair/mq_filter_graph.h"

#include <algorithm>
#include <cmath>

#include "onair/mq_graph_internal.h"

HRESULT CMQFilterGraph::EndSpecialModes()
{
    HRESULT first = S_OK;
    auto keep = [&first](HRESULT hr) {
        if (FAILED(hr) && SUCCEEDED(first)) first = hr;
    };
    if (m_bShuttling) keep(EndShuttle(zk::kEndModeTimeOut));
    if (m_bFGShuttling) keep(EndFilterGraphShuttle(zk::kEndModeTimeOut));
    if (m_bScrubbing) keep(EndScrub(zk::kEndModeTimeOut));
    return first;
}

HRESULT CMQFilterGraph::PauseAndWait()
{
    if (GetState(0) == MQFG_STATE_PAUSED) return S_OK;
    const HRESULT hr = m_pMediaControl->Pause();
    if (FAILED(hr)) return zk::fail("Error sending Pause command to filter graph", hr);
    if (hr == S_FALSE && FAILED(WaitForStateCompletion()))
        return zk::fail("State transition not completed after the Pause command", E_FAIL);
    return S_OK;
}

HRESULT CMQFilterGraph::Play()
{
    if (!IsInitialized()) return zk::fail("Filter graph is not initialized", E_FAIL);
    zk::CriticalSectionLock lock(m_pCriticalSection);
    HRESULT hr;
    if (m_bShuttling) {
        double p = 0.0;
        GetPosition(p);
        EndShuttle(zk::kEndModeTimeOut);
        hr = m_pMediaPosition->put_CurrentPosition(p);
        if (FAILED(hr)) return zk::fail("put_CurrentPosition reports an error after EndFilterGraphShuttle", hr);
    }
    if (m_bFGShuttling) EndFilterGraphShuttle(zk::kEndModeTimeOut);
    if (m_bScrubbing) {
        double p = 0.0;
        GetPosition(p);
        EndScrub(zk::kEndModeTimeOut);
        hr = m_pMediaPosition->put_CurrentPosition(p);
        if (FAILED(hr)) return zk::fail("put_CurrentPosition reports an error after EndScrub", hr);
    }
    DrainEvents(FALSE);
    hr = ChangeState(MQFG_CHANGE_RUN);
    if (FAILED(hr)) {
        Stop();
        return zk::fail("Could not start graph", hr);
    }
    SetEvent(m_hActiveEvent);
    return hr;
}

HRESULT CMQFilterGraph::Stop(double* position)
{
    if (!IsInitialized()) return zk::fail("Filter graph is not initialized", E_FAIL);
    zk::CriticalSectionLock lock(m_pCriticalSection);
    HRESULT hr;
    if (m_bShuttling && FAILED(hr = EndShuttle(zk::kEndModeTimeOut))) return hr;
    if (m_bFGShuttling && FAILED(hr = EndFilterGraphShuttle(zk::kEndModeTimeOut))) return hr;
    if (m_bScrubbing && FAILED(hr = EndScrub(zk::kEndModeTimeOut))) return hr;
    hr = ChangeState(MQFG_CHANGE_STOP, position);
    if (FAILED(hr)) return zk::fail("Failed to stop the graph", hr);
    m_bLoop = FALSE;
    ResetEvent(m_hActiveEvent);
    return hr;
}

HRESULT CMQFilterGraph::Pause(double* position)
{
    if (!IsInitialized()) return zk::fail("Filter graph is not initialized", E_FAIL);
    zk::CriticalSectionLock lock(m_pCriticalSection);
    const HRESULT hr = ChangeState(MQFG_CHANGE_PAUSE, position);
    if (FAILED(hr)) return zk::fail("Could not pause graph", hr);
    return hr;
}

HRESULT CMQFilterGraph::Seek(double seconds)
{
    if (!IsInitialized()) return zk::fail("Filter graph is not initialized", E_FAIL);
    zk::CriticalSectionLock lock(m_pCriticalSection);
    HRESULT hr;
    if (m_bShuttling) EndShuttle(zk::kEndModeTimeOut);
    if (m_bScrubbing) {
        SetEvent(m_hActiveEvent);
        hr = m_pScrubControl ? m_pScrubControl->Seek(seconds) : E_FAIL;
        if (FAILED(hr)) return zk::fail("Error sending Seek command to the scrubbing PID", hr);
        m_dLastSeekPosition = seconds;
        return hr;
    }
    // Not scrubbing: the frame is shown by playing the graph up to it and stopping there.
    hr = Stop();
    if (FAILED(hr)) return zk::fail("Cannot stop before the Seek", hr);
    m_pMediaPosition->put_CurrentPosition(seconds);
    m_pMediaPosition->put_StopTime(seconds);
    m_dLastSeekPosition = seconds;
    ResetEvent(m_hActiveEvent);
    DrainEvents(FALSE);
    hr = ChangeState(MQFG_CHANGE_RUN);
    if (FAILED(hr)) {
        ReportError("Run reports an error on the Seek", hr);
        ResetPositions();
        return ZK_FAIL(hr);
    }
    WaitForCueTime();
    hr = WaitForCompletion(m_dwSeekTimeOut, TRUE);
    if (FAILED(hr)) {
        ReportError("Problem waiting for seek completion", hr);
        ResetPositions();
        return ZK_FAIL(hr);
    }
    hr = ChangeState(MQFG_CHANGE_STOP);
    if (FAILED(hr)) return zk::fail("Stop reports an error after the completion of the Seek", hr);
    m_pMediaPosition->put_CurrentPosition(seconds);
    m_pMediaPosition->put_StopTime(GetDuration());
    return S_OK;
}

HRESULT CMQFilterGraph::SeekRelative(double delta, double* newPosition)
{
    if (!IsInitialized()) return zk::fail("Filter graph is not initialized", E_FAIL);
    zk::CriticalSectionLock lock(m_pCriticalSection);
    double position = 0.0;
    GetPosition(position);
    const double target = position + delta;
    // Past either end nothing moves; that is not an error.
    if (target < 0.0 || target > GetDuration()) return S_OK;
    const HRESULT hr = Seek(target);
    if (newPosition) *newPosition = target;
    return hr;
}

HRESULT CMQFilterGraph::PlayFromTo(double start, double stop, BOOL loop)
{
    if (!IsInitialized()) return zk::fail("Filter graph is not initialized", E_FAIL);
    zk::CriticalSectionLock lock(m_pCriticalSection);
    EndSpecialModes();
    HRESULT hr = m_pMediaPosition->put_CurrentPosition(start);
    if (FAILED(hr)) return zk::fail("put_CurrentPosition reports an error", hr);
    hr = m_pMediaPosition->put_StopTime(stop);
    if (FAILED(hr)) return zk::fail("put_CurrentPosition reports an error", hr);
    m_dLoopStart = start;
    m_dLoopStop = stop;
    m_bLoop = loop;
    return RunAtTime(0);
}

HRESULT CMQFilterGraph::RunAtTime(REFERENCE_TIME start)
{
    if (!IsInitialized()) return zk::fail("Filter graph is not initialized", E_FAIL);
    zk::CriticalSectionLock lock(m_pCriticalSection);
    const bool wasStopped = GetState(0) == MQFG_STATE_STOPPED;
    EndSpecialModes();
    DrainEvents(FALSE);
    HRESULT hr = PauseAndWait();
    if (FAILED(hr)) return hr;
    SetEvent(m_hActiveEvent);
    if (start == 0) start = wasStopped ? ComputeStartTime(FALSE) : zk::kRunNow;
    return RunGraphAt(start);
}

HRESULT CMQFilterGraph::PlayAt(double delaySeconds)
{
    if (!IsInitialized()) return zk::fail("Filter graph is not initialized", E_FAIL);
    zk::CriticalSectionLock lock(m_pCriticalSection);
    EndSpecialModes();
    DrainEvents(FALSE);
    HRESULT hr = PauseAndWait();
    if (FAILED(hr)) return hr;
    SetEvent(m_hActiveEvent);
    // Starting sooner than this would miss frames the board has not cued.
    const double delay = std::isfinite(delaySeconds) ? std::max(delaySeconds, 0.1) : 0.1;
    REFERENCE_TIME now = 0;
    hr = GetClockTime(&now);
    if (FAILED(hr)) return zk::fail("Need a sync source to do a PlayAt", hr);
    return RunGraphAt(now + static_cast<REFERENCE_TIME>(std::llround(delay * kUnitsPerSecond)));
}

HRESULT CMQFilterGraph::ResetPositions()
{
    if (!m_pMediaPosition) return zk::fail("Filter graph is not initialized", E_FAIL);
    m_pMediaPosition->put_CurrentPosition(0.0);
    return m_pMediaPosition->put_StopTime(GetDuration());
}

HRESULT CMQFilterGraph::WaitForClock(REFERENCE_TIME at)
{
    IReferenceClock* clock = GetSyncSource();
    if (!clock) return E_FAIL;
    REFERENCE_TIME now = 0;
    if (FAILED(clock->GetTime(&now)) || at <= now) return S_OK;
    HANDLE event = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    if (!event) return E_FAIL;
    DWORD_PTR cookie = 0;
    HRESULT hr = clock->AdviseTime(now, at - now, reinterpret_cast<HEVENT>(event), &cookie);
    if (SUCCEEDED(hr) && WaitForSingleObject(event, 1000) != WAIT_OBJECT_0) {
        clock->Unadvise(cookie);
        hr = VFW_E_TIMEOUT;
    }
    CloseHandle(event);
    return hr;
}

HRESULT CMQFilterGraph::WaitForCueTime()
{
    const REFERENCE_TIME start = m_rtRunStart.load();
    if (start == 0) return S_OK;
    return WaitForClock(start + FramesToRefTime(1));
}

HRESULT CMQFilterGraph::WaitForScrubCue()
{
    if (!m_pScrubCueControl) return E_FAIL;
    m_pScrubCueControl->put_Value(1000);
    REFERENCE_TIME start = 0, length = 0;
    m_pScrubCueControl->get_CueStart(&start);
    m_pScrubCueControl->get_CueLength(&length);
    return WaitForClock(start + length);
}

HRESULT CMQFilterGraph::CheckFilterStates()
{
    if (!m_pGraphBuilder) return E_FAIL;
    zk::ComPtr<IEnumFilters> filters;
    if (FAILED(m_pGraphBuilder->EnumFilters(filters.put()))) return E_FAIL;
    IBaseFilter* f = nullptr;
    while (filters->Next(1, &f, nullptr) == S_OK) {
        zk::ComPtr<IBaseFilter> filter = zk::ComPtr<IBaseFilter>::attach(f);
        FILTER_STATE state;
        filter->GetState(0, &state);
        FILTER_INFO info{};
        if (SUCCEEDED(filter->QueryFilterInfo(&info)) && info.pGraph) info.pGraph->Release();
    }
    return S_OK;
}

HRESULT CMQFilterGraph::GetPosition(double& seconds)
{
    seconds = 0.0;
    if (m_bScrubbing) {
        seconds = m_dLastSeekPosition;
        return S_OK;
    }
    if (m_bShuttling && m_pShuttleControl) {
        REFERENCE_TIME t = 0;
        const HRESULT hr = m_pShuttleControl->GetShuttlePosition(&t);
        if (SUCCEEDED(hr)) seconds = RefTimeToSeconds(t);
        return hr;
    }
    if (!m_pMediaPosition) return E_FAIL;
    return m_pMediaPosition->get_CurrentPosition(&seconds);
}

double CMQFilterGraph::GetDuration()
{
    double d = 0.0;
    if (m_pMediaPosition) m_pMediaPosition->get_Duration(&d);
    return d;
}

double CMQFilterGraph::GetStopTime()
{
    double t = 0.0;
    if (m_pMediaPosition) m_pMediaPosition->get_StopTime(&t);
    return t;
}
