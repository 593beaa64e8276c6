// CMQFilterGraph: the state changes (stop, pause, run, restart the loop, stop at the end) that
// every transport operation goes through, each waiting for the graph to complete it within
// the configured time-out, and the state queries built on GetState.
#include "onair/mq_filter_graph.h"

#include <algorithm>
#include <cstdio>

#include "onair/mq_graph_internal.h"
#include "platform/win32/win32_base.h"

HRESULT CMQFilterGraph::WaitForStateCompletion()
{
    OAFilterState state;
    const HRESULT hr = m_pMediaControl->GetState(static_cast<LONG>(std::min<DWORD>(m_dwStateCompletionTimeOut, 0x7FFFFFFF)), &state);
    if (hr == VFW_S_STATE_INTERMEDIATE) return zk::fail("State transition not completed", E_FAIL);
    if (FAILED(hr)) return zk::fail("Could not get filter graph state", hr);
    return S_OK;
}

HRESULT CMQFilterGraph::StopGraph(double* position)
{
    HRESULT hr;
    const int state = GetState(0);
    if (state == MQFG_STATE_RUNNING || m_bScrubbing || m_bShuttling || m_bFGShuttling) {
        if (m_bShuttling) {
            hr = EndShuttle(zk::kEndModeTimeOut);
            if (position) GetPosition(*position);
            return hr;
        }
        if (m_bFGShuttling) EndFilterGraphShuttle(zk::kEndModeTimeOut);
        if (m_bScrubbing) {
            hr = EndScrub(zk::kEndModeTimeOut);
            if (position) GetPosition(*position);
            return hr;
        }
        if (state == MQFG_STATE_RUNNING) {
            hr = m_pMediaControl->Pause();
            if (FAILED(hr)) return zk::fail("Error sending Pause command before the Stop command", hr);
            if (hr == S_FALSE && FAILED(WaitForStateCompletion()))
                return zk::fail("State transition not completed between the Pause and Stop commands", E_FAIL);
        }
    }
    double kept = 0.0;
    m_pMediaPosition->get_CurrentPosition(&kept);
    hr = m_pMediaControl->Stop();
    if (FAILED(hr)) return zk::fail("Error sending Stop command to filter graph", hr);
    if (hr == S_FALSE && FAILED(WaitForStateCompletion()))
        return zk::fail("State transition not completed after the Stop command", E_FAIL);
    m_pMediaPosition->put_CurrentPosition(kept);
    m_bScrubbing = FALSE;
    m_bShuttling = FALSE;
    m_bFGShuttling = FALSE;
    m_bTimingValid = FALSE;
    if (position) *position = kept;
    return S_OK;
}

HRESULT CMQFilterGraph::RunGraph()
{
    HRESULT hr;
    if (GetState(0) == MQFG_STATE_STOPPED) {
        hr = m_pMediaControl->Pause();
        if (FAILED(hr)) return zk::fail("Error sending Pause command before the Run command", hr);
        if (hr == S_FALSE && FAILED(WaitForStateCompletion()))
            return zk::fail("State transition not completed between the Pause and Run commands", E_FAIL);
        hr = RunGraphAt(ComputeStartTime(FALSE));
    } else {
        hr = RunGraphAt(zk::kRunNow);
    }
    if (FAILED(hr)) return hr;
    QueryPerformanceFrequency(&m_llFrequency);
    QueryPerformanceCounter(&m_llRunStartCount);
    m_llLastEventCount = m_llRunStartCount;
    m_dElapsed = 0.0;
    m_bTimingValid = TRUE;
    return hr;
}

HRESULT CMQFilterGraph::RunGraphAt(REFERENCE_TIME start)
{
    if (!m_pMediaControl) return zk::fail("Error sending Run command to filter graph", E_FAIL);
    HRESULT hr;
    if (start == zk::kRunNow) {
        m_rtRunStart = 0;
        hr = m_pMediaControl->Run();
        if (FAILED(hr)) return zk::fail("Error sending Run command to filter graph", hr);
        return hr;
    }
    if (start == 0) start = ComputeStartTime(TRUE);
    m_rtRunStart = start;
    hr = m_pMediaFilter->Run(start);
    if (FAILED(hr)) return zk::fail("RunAt reports an error", hr);
    return hr;
}

HRESULT CMQFilterGraph::StopOnComplete()
{
    const HRESULT hr = StopGraph(nullptr);
    if (FAILED(hr)) {
        ReportError("MQFG: Stop on EC_COMPLETE failed!\n", hr);
        char text[512];
        std::snprintf(text, sizeof text,
                      "There was an error reported by the filter graph while it was trying to stop.\n\nReturn code: "
                      "0x%08X\nThe filter graph could not be stopped automatically and may be in a wrong state",
                      static_cast<unsigned>(hr));
        MessageBox(nullptr, text, zk::kCaption, MB_SYSTEMMODAL | MB_ICONWARNING);
    }
    // Error records that came with the end must still reach the operator.
    DrainEvents(TRUE);
    return hr;
}

HRESULT CMQFilterGraph::ChangeState(int kind, double* position)
{
    if (!m_pMediaControl || !m_pCriticalSection) return zk::fail("Filter graph is not initialized", E_FAIL);
    zk::CriticalSectionLock lock(m_pCriticalSection);
    HRESULT hr;
    if (m_bScrubbing && (kind == MQFG_CHANGE_RUN || kind == MQFG_CHANGE_PAUSE)) {
        double p = 0.0;
        GetPosition(p);
        EndScrub(zk::kEndModeTimeOut);
        hr = m_pMediaPosition->put_CurrentPosition(p);
        if (FAILED(hr)) return zk::fail("put_CurrentPosition reports an error after EndScrub", hr);
    }
    // Pausing a paused graph or running a running one changes nothing.
    if ((kind == MQFG_CHANGE_PAUSE || kind == MQFG_CHANGE_RUN) && GetState(0) == kind) {
        if (position) GetPosition(*position);
        return S_OK;
    }
    switch (kind) {
    case MQFG_CHANGE_STOP:
        return StopGraph(position);
    case MQFG_CHANGE_PAUSE:
        hr = m_pMediaControl->Pause();
        if (FAILED(hr)) return zk::fail("Error sending Pause command to filter graph", hr);
        if (hr == S_FALSE && FAILED(WaitForStateCompletion()))
            return zk::fail("State transition not completed after the Pause command", E_FAIL);
        if (position) GetPosition(*position);
        return S_OK;
    case MQFG_CHANGE_RUN:
        return RunGraph();
    case MQFG_CHANGE_RESTART_LOOP:
        StopOnComplete();
        m_pMediaPosition->put_CurrentPosition(m_dLoopStart);
        m_pMediaPosition->put_StopTime(m_dLoopStop);
        return RunGraph();
    case MQFG_CHANGE_STOP_AT_END: {
        if (m_bShuttling) {
            hr = m_pShuttleControl ? m_pShuttleControl->EndShuttle() : S_OK;
            if (FAILED(hr)) ReportError("Error sending the EndShuttle command to the FG", hr);
            m_bShuttling = FALSE;
        }
        m_bScrubbing = FALSE;
        hr = StopOnComplete();
        double stopped = 0.0, duration = 0.0;
        m_pMediaPosition->get_CurrentPosition(&stopped);
        m_pMediaPosition->get_Duration(&duration);
        // A graph that played to its end rewinds, so the next start plays it all again.
        if (stopped > duration - 0.0001) stopped = 0.0;
        m_pMediaPosition->put_CurrentPosition(stopped);
        m_pMediaPosition->put_StopTime(duration);
        if (position) *position = stopped;
        return hr;
    }
    default:
        return zk::fail("Unknown state change", E_INVALIDARG);
    }
}

int CMQFilterGraph::GetState(DWORD timeoutMs)
{
    if (!m_pMediaControl) return MQFG_STATE_NOGRAPH;
    OAFilterState state = State_Stopped;
    const HRESULT hr = m_pMediaControl->GetState(static_cast<LONG>(std::min<DWORD>(timeoutMs, 0x7FFFFFFF)), &state);
    if (hr == VFW_S_STATE_INTERMEDIATE) return MQFG_STATE_INTERMEDIATE;
    if (FAILED(hr)) return MQFG_STATE_ERROR;
    switch (state) {
    case State_Stopped:
        return MQFG_STATE_STOPPED;
    case State_Paused:
        return MQFG_STATE_PAUSED;
    case State_Running:
        return MQFG_STATE_RUNNING;
    default:
        return MQFG_STATE_ERROR;
    }
}

BOOL CMQFilterGraph::CanRun()
{
    const int s = GetState(0);
    return s == MQFG_STATE_STOPPED || s == MQFG_STATE_PAUSED || m_bScrubbing;
}

BOOL CMQFilterGraph::CanStop()
{
    return GetState(0) != MQFG_STATE_STOPPED;
}

BOOL CMQFilterGraph::CanPause()
{
    return GetState(0) != MQFG_STATE_PAUSED && !m_bScrubbing;
}

BOOL CMQFilterGraph::CanSeek()
{
    return CanRun();
}
