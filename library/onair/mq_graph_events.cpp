// CMQFilterGraph: the transport thread and the graph's events. The thread consumes events while
// the ACTIVE event is set, dispatches each under the graph's lock (so HandleFGEvent and
// HandleMQEvent of derived classes run there), and tells the notify window how a run ended.
#include "onair/mq_filter_graph.h"

#include <cstdint>
#include <string>

#include "onair/mq_graph_internal.h"
#include "platform/win32/win32_base.h"

HRESULT CMQFilterGraph::CreateTransportThread()
{
    m_bKillTransport = FALSE;
    unsigned id = 0;
    const std::uintptr_t h = _beginthreadex(nullptr, 0, &CMQFilterGraph::TransportThreadProc, this, 0, &id);
    if (!h) return zk::fail("Could not create transport callback thread", E_FAIL);
    m_hTransportThread = reinterpret_cast<HANDLE>(h);
    if (!SetThreadPriority(m_hTransportThread, THREAD_PRIORITY_LOWEST))
        return zk::fail("Could not set transport thread priority", E_FAIL);
    return S_OK;
}

HRESULT CMQFilterGraph::KillTransportThread()
{
    if (!m_hTransportThread) return S_OK;
    m_bKillTransport = TRUE;
    SetEvent(m_hActiveEvent);
    SetEvent(m_hGraphEvent);
    if (WaitForSingleObject(m_hTransportThread, zk::kThreadDeathTimeOut) != WAIT_OBJECT_0)
        return zk::fail("Time-out waiting for the transport thread to die!", E_FAIL);
    CloseHandle(m_hTransportThread);
    m_hTransportThread = nullptr;
    return S_OK;
}

unsigned CMQFilterGraph::TransportThreadProc(void* self)
{
    static_cast<CMQFilterGraph*>(self)->TransportLoop();
    return 0;
}

void CMQFilterGraph::TransportLoop()
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    zk::ComPtr<IEventMonitor> monitor;
    DWORD cookie = 0;
    if (SUCCEEDED(CoCreateInstance(CLSID_EventMonitor, nullptr, CLSCTX_LOCAL_SERVER, IEventMonitor::kIid,
                                   monitor.put_void()))) {
        const std::u16string client = zk::to_wide(m_name ? m_name->c_str() : "MQFG Filter Graph");
        if (FAILED(monitor->Register(client.c_str(), &cookie))) monitor.reset();
    }
    const HANDLE both[2] = {m_hActiveEvent, m_hGraphEvent};
    // The flag is looked at before every wait as well as after it: KillTransportThread sets it
    // before it sets the two events, and a handler that resets ACTIVE, or a GetEvent that
    // clears the graph's handle, may undo those signals just after they were given.
    while (!m_bKillTransport) {
        // A wait that fails (a handle gone) ends the thread rather than spinning on it.
        if (WaitForMultipleObjects(2, both, TRUE, INFINITE) == WAIT_FAILED) break;
        if (m_bKillTransport) break;
        LONG code;
        LONG_PTR p1, p2;
        if (m_pMediaEvent->GetEvent(&code, &p1, &p2, 0) != S_OK) continue;
        zk::CriticalSectionLock lock(m_pCriticalSection);
        if (monitor) monitor->NotifyEvent(code, code == EC_OLE_EVENT ? p1 : 0, cookie);
        if (!HandleFGEvent(code, p1, p2)) ResetEvent(m_hActiveEvent);
        m_pMediaEvent->FreeEventParams(code, p1, p2);
    }
    if (monitor) monitor->Unregister(cookie);
    monitor.reset();
    CoUninitialize();
}

void CMQFilterGraph::PostNotify(WPARAM what, LPARAM detail)
{
    const HWND window = m_hNotifyWnd.load();
    if (window) PostMessage(window, WM_MQFG_NOTIFY, what, detail);
}

BOOL CMQFilterGraph::HandleFGEvent(LONG code, LONG_PTR param1, LONG_PTR)
{
    if (m_bTimingValid) {
        QueryPerformanceCounter(&m_llLastEventCount);
        if (m_llFrequency > 0) m_dElapsed = static_cast<double>(m_llLastEventCount - m_llRunStartCount) / m_llFrequency;
    }
    const bool window = m_hNotifyWnd.load() != nullptr;
    switch (code) {
    case EC_COMPLETE:
        if (!m_bLoop) {
            const HRESULT hr = ChangeState(MQFG_CHANGE_STOP_AT_END);
            if (FAILED(hr) && window) {
                ReportError("Stop reports an error when attempting to stop filter graph.", hr);
                PostNotify(MQFG_NOTIFY_STOPPED, hr);
            } else {
                PostNotify(MQFG_NOTIFY_END, 0);
            }
            return FALSE;
        } else {
            const HRESULT hr = ChangeState(MQFG_CHANGE_RESTART_LOOP);
            if (FAILED(hr) && window) {
                ReportError("Could not re-start another iteration of the loop.", hr);
                PostNotify(MQFG_NOTIFY_LOOP_FAILED, hr);
                return FALSE;
            }
            PostNotify(MQFG_NOTIFY_LOOP_RESTARTED, 0);
            return TRUE;
        }
    case EC_USERABORT:
    case EC_ERRORABORT: {
        const HRESULT hr = ChangeState(MQFG_CHANGE_STOP);
        ResetPositions();
        if (FAILED(hr) && window) {
            ReportError("Stop reports an error when attempting to stop filter graph.", hr);
            PostNotify(MQFG_NOTIFY_STOPPED, hr);
        } else {
            PostNotify(MQFG_NOTIFY_STOPPED, param1);
        }
        return FALSE;
    }
    case EC_OLE_EVENT:
        if (CMQEventInfo::IsMQEvent(param1)) {
            CMQEventInfo info(param1);
            return HandleMQEvent(info);
        }
        return TRUE;
    default:
        return TRUE;
    }
}

void CMQFilterGraph::DrainEvents(BOOL dispatchRecords)
{
    if (!m_pMediaEvent) return;
    LONG code;
    LONG_PTR p1, p2;
    while (m_pMediaEvent->GetEvent(&code, &p1, &p2, 0) == S_OK) {
        if (dispatchRecords && code == EC_OLE_EVENT) HandleFGEvent(code, p1, p2);
        m_pMediaEvent->FreeEventParams(code, p1, p2);
    }
}

HRESULT CMQFilterGraph::WaitForCompletion(DWORD timeoutMs, BOOL dispatch)
{
    ResetEvent(m_hActiveEvent);
    if (GetState(0) != MQFG_STATE_RUNNING) return zk::fail("Filter graph not running in WaitForCompletion!", VFW_E_NOT_RUNNING);
    for (;;) {
        if (WaitForSingleObject(m_hGraphEvent, timeoutMs) != WAIT_OBJECT_0)
            return zk::fail("Time-out waiting for the EC_COMPLETE in WaitForCompletion!", MQFG_E_COMPLETION_TIMEOUT);
        LONG code;
        LONG_PTR p1, p2;
        const HRESULT hr = m_pMediaEvent->GetEvent(&code, &p1, &p2, 0);
        if (hr != S_OK) {
            ReportError("MQFG: WaitForCompletion's GetEvent failed!\n", hr);
            continue;
        }
        if (code != EC_COMPLETE && dispatch) HandleFGEvent(code, p1, p2);
        m_pMediaEvent->FreeEventParams(code, p1, p2);
        if (code == EC_COMPLETE || code == EC_USERABORT || code == EC_ERRORABORT) return S_OK;
    }
}
