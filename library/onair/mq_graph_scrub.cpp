// CMQFilterGraph: scrubbing and the device shuttle, both done by the board's controls; the
// graph only starts and ends them and keeps the flags that say which one runs.
#include "onair/mq_filter_graph.h"

#include "onair/mq_graph_internal.h"

HRESULT CMQFilterGraph::BeginScrub()
{
    if (!IsInitialized()) return zk::fail("Filter graph is not initialized", E_FAIL);
    zk::CriticalSectionLock lock(m_pCriticalSection);
    m_dLastSeekPosition = 0.0;
    if (!m_pScrubControl) return zk::fail("The scrubbing PID is not installed.", E_FAIL);
    EndShuttle(zk::kEndModeTimeOut);
    if (!m_bScrubbing) {
        DrainEvents(FALSE);
        const HRESULT hr = m_pScrubControl->BeginScrub();
        if (hr == MQ_E_NO_SCRUB_SOURCE) return zk::fail("There is no source filter supporting scrubbing in this filter graph.", hr);
        if (FAILED(hr)) return zk::fail("Error sending BeginScrub command to filter graph.", hr);
    }
    m_bScrubbing = TRUE;
    return S_OK;
}

// A graph that still runs once the board's control let go plays on to the end of what the
// control had cued; that end is waited for and the graph stopped. Either way it rewinds.
HRESULT CMQFilterGraph::SettleAfterMode(DWORD timeoutMs, const char* waitFailure, const char* stopFailure)
{
    if (GetState(0) != MQFG_STATE_RUNNING) return ResetPositions();
    HRESULT hr = WaitForCompletion(timeoutMs, TRUE);
    if (FAILED(hr)) return zk::fail(waitFailure, hr);
    hr = ChangeState(MQFG_CHANGE_STOP);
    if (FAILED(hr)) return zk::fail(stopFailure, hr);
    return ResetPositions();
}

HRESULT CMQFilterGraph::EndScrub(DWORD timeoutMs)
{
    if (!m_bScrubbing || !IsInitialized()) return S_OK;
    zk::CriticalSectionLock lock(m_pCriticalSection);
    ResetEvent(m_hActiveEvent);
    const HRESULT hr = m_pScrubControl ? m_pScrubControl->EndScrub() : S_OK;
    if (FAILED(hr)) return zk::fail("Error sending the EndScrub command to the FG", hr);
    m_bScrubbing = FALSE;
    return SettleAfterMode(timeoutMs, "Error or time-out waiting for EC_COMPLETE after EndScrub",
                           "Error stopping graph after EndScrub");
}

HRESULT CMQFilterGraph::BeginShuttle(DWORD w0, DWORD w1, DWORD w2, DWORD w3, DWORD w4)
{
    if (!IsInitialized()) return zk::fail("Filter graph is not initialized", E_FAIL);
    zk::CriticalSectionLock lock(m_pCriticalSection);
    if (!m_pShuttleControl) return zk::fail("The scrubbing PID is not installed.", E_FAIL);
    EndScrub(zk::kEndModeTimeOut);
    ChangeState(MQFG_CHANGE_STOP);
    if (!m_bShuttling) {
        DrainEvents(FALSE);
        const HRESULT hr = m_pShuttleControl->BeginShuttle(w0, w1, w2, w3, w4);
        if (hr == MQ_E_NO_SCRUB_SOURCE) return zk::fail("There is no source filter supporting shuttling in this filter graph.", hr);
        if (FAILED(hr)) return zk::fail("Error sending BeginShuttle command to filter graph.", hr);
    }
    m_bShuttling = TRUE;
    return S_OK;
}

HRESULT CMQFilterGraph::SetSpeedAt(DWORD w0, DWORD w1, DWORD w2, DWORD w3)
{
    if (!IsInitialized()) return zk::fail("Filter graph is not initialized", E_FAIL);
    zk::CriticalSectionLock lock(m_pCriticalSection);
    if (!m_bShuttling || !m_pShuttleControl) return S_FALSE;
    SetEvent(m_hActiveEvent);
    const HRESULT hr = m_pShuttleControl->SetSpeedAt(w0, w1, w2, w3);
    if (FAILED(hr)) return zk::fail("Error sending the SetSpeedAt command to the FG", hr);
    return hr;
}

HRESULT CMQFilterGraph::EndShuttle(DWORD timeoutMs)
{
    if (!m_bShuttling || !IsInitialized()) return S_OK;
    zk::CriticalSectionLock lock(m_pCriticalSection);
    ResetEvent(m_hActiveEvent);
    const HRESULT hr = m_pShuttleControl ? m_pShuttleControl->EndShuttle() : S_OK;
    if (FAILED(hr)) return zk::fail("Error sending the EndShuttle command to the FG", hr);
    m_bShuttling = FALSE;
    return SettleAfterMode(timeoutMs, "Error or time-out waiting for EC_COMPLETE after EndShuttle",
                           "Error stopping graph after EndShuttle");
}

BOOL CMQFilterGraph::IsScrubbing()
{
    return m_bScrubbing;
}

BOOL CMQFilterGraph::IsShuttling()
{
    return m_bShuttling;
}

BOOL CMQFilterGraph::CanScrub()
{
    return m_pScrubControl ? TRUE : FALSE;
}

BOOL CMQFilterGraph::HasScrubControl()
{
    return CanScrub();
}

BOOL CMQFilterGraph::CanShuttle()
{
    return m_pShuttleControl ? TRUE : FALSE;
}
