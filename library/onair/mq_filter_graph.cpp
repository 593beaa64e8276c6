// CMQFilterGraph: initialisation, threads, event handling, state changes, transport, scrub,
// shuttles and time. The graph-building and cardset operations are in mq_graph_building.cpp.
#include "onair/mq_filter_graph.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "core/errors.h"
#include "platform/board/video_standard.h"
#include "platform/registry/registry.h"
#include "platform/win32/win32_base.h"

namespace {

struct LastError {
    std::mutex lock;
    std::string text;
};

LastError& last_error()
{
    static LastError e;
    return e;
}

constexpr REFERENCE_TIME kRunNow = -1;
constexpr REFERENCE_TIME kStartLead = 500500; // 50.05 ms between computing a start time and the start
constexpr DWORD kEndModeTimeOut = 5000;
constexpr DWORD kThreadDeathTimeOut = 5000;
constexpr const char* kCaption = "MQFG Library";

// Formats one of the message-box texts: the return code and the description in UTF-8 where
// the text says %ls.
std::string box_text(const char* format, HRESULT code, const std::u16string& description)
{
    std::string fmt = format;
    const size_t ls = fmt.find("%ls");
    if (ls != std::string::npos) fmt.replace(ls, 3, "%s");
    const std::string desc = zk::to_ansi(description);
    char buf[1024];
    std::snprintf(buf, sizeof buf, fmt.c_str(), static_cast<unsigned>(code), desc.c_str());
    return buf;
}

// Rounds half away from zero, as the frame arithmetic needs.
LONGLONG round_half_away(double x)
{
    return static_cast<LONGLONG>(x < 0 ? std::ceil(x - 0.5) : std::floor(x + 0.5));
}

// (t * S +- R/2) / R with the sign of t: the nearest field.
LONGLONG ref_to_fields(REFERENCE_TIME t, const zk::FieldRate& r)
{
    const LONGLONG half = r.R / 2;
    return t >= 0 ? (t * r.S + half) / r.R : (t * r.S - half) / r.R;
}

} // namespace

void ReportError(const char* text, HRESULT code)
{
    char buf[512];
    if (code >= 0) std::snprintf(buf, sizeof buf, "Error! %s", text ? text : "");
    else std::snprintf(buf, sizeof buf, "Error! %s\nCode = 0x%lX", text ? text : "", static_cast<unsigned long>(static_cast<std::uint32_t>(code)));
    LastError& e = last_error();
    std::lock_guard<std::mutex> guard(e.lock);
    e.text = buf;
}

const char* GetLastErrorText()
{
    // Each thread reads its own copy, so a report from another thread cannot change the text
    // under a caller that is still reading it.
    thread_local std::string copy;
    LastError& e = last_error();
    std::lock_guard<std::mutex> guard(e.lock);
    copy = e.text;
    return copy.c_str();
}

namespace {

// Reports a failure and gives its code back, through the library's failure trace.
HRESULT fail(const char* text, HRESULT code)
{
    ReportError(text, code);
    return ZK_FAIL(code);
}

} // namespace

// ---- construction and initialisation ----

CMQFilterGraph::CMQFilterGraph(const char* name)
{
    if (name) m_name = name;
}

CMQFilterGraph::~CMQFilterGraph()
{
    Uninitialize();
}

void CMQFilterGraph::ReadTimeOuts()
{
    HKEY key = nullptr;
    if (RegOpenKeyEx(HKEY_CURRENT_USER, "SOFTWARE\\MATROX\\MQFG", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return;
    // Only a value that really is four bytes counts; anything else keeps the default.
    zk::read_registry_dword(key, "StateCompletionTimeOut", m_dwStateCompletionTimeOut);
    zk::read_registry_dword(key, "SeekTimeOut", m_dwSeekTimeOut);
    RegCloseKey(key);
}

HRESULT CMQFilterGraph::Initialize(BOOL withClock)
{
    // A second initialisation must not touch the lock or the threads of the first.
    if (m_pGraphBuilder) return fail("Filter graph is already initialized", E_FAIL);
    m_pCriticalSection = new (std::nothrow) CRITICAL_SECTION;
    if (!m_pCriticalSection) return fail("Cannot allocate memory for critical section", E_FAIL);
    InitializeCriticalSection(m_pCriticalSection);
    ReadTimeOuts();
    m_bOleInitialized = SUCCEEDED(OleInitialize(nullptr));
    HRESULT hr = CreateGraphInterfaces(nullptr);
    if (SUCCEEDED(hr) && withClock) hr = SetupReferenceClock(nullptr);
    if (FAILED(hr)) {
        Uninitialize();
        return hr;
    }
    return S_OK;
}

HRESULT CMQFilterGraph::InitializeWithGraph(IGraphBuilder* graph)
{
    if (m_pGraphBuilder) return fail("Filter graph is already initialized", E_FAIL);
    if (!graph) return fail("Could not instantiate Filter Graph Builder", E_POINTER);
    m_pCriticalSection = new (std::nothrow) CRITICAL_SECTION;
    if (!m_pCriticalSection) return fail("Cannot allocate memory for critical section", E_FAIL);
    InitializeCriticalSection(m_pCriticalSection);
    ReadTimeOuts();
    m_bOleInitialized = SUCCEEDED(OleInitialize(nullptr));
    HRESULT hr = CreateGraphInterfaces(graph);
    if (SUCCEEDED(hr)) hr = SetupReferenceClock(m_pMediaFilter.get());
    if (FAILED(hr)) {
        Uninitialize();
        return hr;
    }
    return S_OK;
}

HRESULT CMQFilterGraph::InitializeFrom(CMQFilterGraph* other)
{
    if (!other || !other->IsInitialized()) return fail("Cannot initialize filtergraph object with uninitialized object", E_FAIL);
    if (m_pGraphBuilder) return fail("Filter graph is already initialized", E_FAIL);
    m_pCriticalSection = new (std::nothrow) CRITICAL_SECTION;
    if (!m_pCriticalSection) return fail("Cannot allocate memory for critical section", E_FAIL);
    InitializeCriticalSection(m_pCriticalSection);
    m_bOleInitialized = SUCCEEDED(OleInitialize(nullptr));
    m_pGraphBuilder = other->m_pGraphBuilder;
    m_pMediaFilter = other->m_pMediaFilter;
    m_pMediaControl = other->m_pMediaControl;
    m_pScrubCueControl = other->m_pScrubCueControl;
    m_pScrubControl = other->m_pScrubControl;
    m_pShuttleControl = other->m_pShuttleControl;
    m_pMediaPosition = other->m_pMediaPosition;
    m_pMediaEvent = other->m_pMediaEvent;
    m_pRefClock = other->m_pRefClock;
    m_pExtendedClock = other->m_pExtendedClock;
    m_pMridEnumerator = other->m_pMridEnumerator;
    m_nVideoStandard = other->m_nVideoStandard.load();
    m_hActiveEvent = other->m_hActiveEvent;
    m_hGraphEvent = other->m_hGraphEvent;
    m_hShuttleBegin = other->m_hShuttleBegin;
    m_hShuttleEnd = other->m_hShuttleEnd;
    m_hShuttleDone = other->m_hShuttleDone;
    m_hShuttleKill = other->m_hShuttleKill;
    m_dwStateCompletionTimeOut = other->m_dwStateCompletionTimeOut;
    m_dwSeekTimeOut = other->m_dwSeekTimeOut;
    // The events stay the other object's: closing them here would pull them from under it.
    m_bOwnsEvents = false;
    return S_OK;
}

HRESULT CMQFilterGraph::CreateGraphInterfaces(IGraphBuilder* given)
{
    HRESULT hr;
    if (given) {
        m_pGraphBuilder = zk::ComPtr<IGraphBuilder>::share(given);
    } else {
        hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC, IID_IGraphBuilder, m_pGraphBuilder.put_void());
        if (FAILED(hr)) return fail("Could not instantiate Filter Graph Builder", hr);
    }
    hr = m_pGraphBuilder->QueryInterface(IID_IMediaControl, m_pMediaControl.put_void());
    if (FAILED(hr)) return fail("Could not get Filter Graph media control interface", hr);
    // The DigiSuite controls are optional: a graph without them simply cannot scrub or shuttle.
    m_pShuttleControl = m_pGraphBuilder.as<IShuttleControl>();
    m_pScrubControl = m_pGraphBuilder.as<IScrubControl>();
    if (m_pScrubControl) m_pScrubCueControl = m_pScrubControl.as<IScrubCueControl>();
    hr = m_pGraphBuilder->QueryInterface(IID_IMediaFilter, m_pMediaFilter.put_void());
    if (FAILED(hr)) return fail("Could not get Filter Graph media filter interface", hr);
    hr = m_pGraphBuilder->QueryInterface(IID_IMediaPosition, m_pMediaPosition.put_void());
    if (FAILED(hr)) return fail("Could not get Filter Graph media position interface", hr);
    hr = m_pGraphBuilder->QueryInterface(IID_IMediaEvent, m_pMediaEvent.put_void());
    if (FAILED(hr)) return fail("Could not get Filter Graph media event interface", hr);
    OAEVENT event = 0;
    hr = m_pMediaEvent->GetEventHandle(&event);
    if (FAILED(hr)) return fail("Could not get Filter Graph event handle", hr);
    m_hGraphEvent = reinterpret_cast<HANDLE>(event);
    if (FAILED(CoCreateInstance(CLSID_MridEnumerator, nullptr, CLSCTX_INPROC, IMridEnumerator::kIid,
                                m_pMridEnumerator.put_void())))
        m_pMridEnumerator.reset();
    m_hActiveEvent = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    if (!m_hActiveEvent) return fail("Could not create ACTIVE event for transport thread", E_FAIL);
    hr = CreateTransportThread();
    if (FAILED(hr)) return fail("Cannot create transport thread", hr);
    hr = CreateShuttleThread();
    if (FAILED(hr)) return fail("Cannot create shuttle thread", hr);
    return S_OK;
}

void CMQFilterGraph::ReleaseInterfaces()
{
    m_pFGShuttleClock = nullptr;
    m_pMridEnumerator.reset();
    m_pExtendedClock.reset();
    m_pRefClock.reset();
    m_pMediaEvent.reset();
    m_pMediaPosition.reset();
    m_pShuttleControl.reset();
    m_pScrubControl.reset();
    m_pScrubCueControl.reset();
    m_pMediaControl.reset();
    m_pMediaFilter.reset();
    m_pGraphBuilder.reset(); // last: the others are parts of it
}

HRESULT CMQFilterGraph::Uninitialize()
{
    if (!m_pGraphBuilder && !m_pCriticalSection) return S_OK;
    if (m_pMediaEvent) DrainEvents(FALSE);
    if (m_hShuttleThread) KillShuttleThread();
    if (m_hTransportThread) KillTransportThread();
    if (m_bOwnsEvents && m_hActiveEvent) CloseHandle(m_hActiveEvent);
    m_hActiveEvent = nullptr;
    m_hGraphEvent = nullptr;
    if (!m_bOwnsEvents) m_hShuttleBegin = m_hShuttleEnd = m_hShuttleDone = m_hShuttleKill = nullptr;
    m_bOwnsEvents = true;
    ReleaseInterfaces();
    if (m_bOleInitialized) OleUninitialize();
    m_bOleInitialized = false;
    if (m_pCriticalSection) {
        DeleteCriticalSection(m_pCriticalSection);
        delete m_pCriticalSection;
        m_pCriticalSection = nullptr;
    }
    return S_OK;
}

HRESULT CMQFilterGraph::BuildGraph()
{
    return S_OK;
}

HRESULT CMQFilterGraph::DestroyGraph()
{
    return S_OK;
}

// ---- threads ----

HRESULT CMQFilterGraph::CreateTransportThread()
{
    m_bKillTransport = FALSE;
    unsigned id = 0;
    const std::uintptr_t h = _beginthreadex(nullptr, 0, &CMQFilterGraph::TransportThreadProc, this, 0, &id);
    if (!h) return fail("Could not create transport callback thread", E_FAIL);
    m_hTransportThread = reinterpret_cast<HANDLE>(h);
    if (!SetThreadPriority(m_hTransportThread, THREAD_PRIORITY_LOWEST))
        return fail("Could not set transport thread priority", E_FAIL);
    return S_OK;
}

HRESULT CMQFilterGraph::KillTransportThread()
{
    if (!m_hTransportThread) return S_OK;
    m_bKillTransport = TRUE;
    SetEvent(m_hActiveEvent);
    SetEvent(m_hGraphEvent);
    if (WaitForSingleObject(m_hTransportThread, kThreadDeathTimeOut) != WAIT_OBJECT_0)
        return fail("Time-out waiting for the transport thread to die!", E_FAIL);
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

HRESULT CMQFilterGraph::CreateShuttleThread()
{
    m_hShuttleBegin = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    m_hShuttleEnd = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    m_hShuttleDone = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    m_hShuttleKill = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    if (!m_hShuttleBegin || !m_hShuttleEnd || !m_hShuttleDone || !m_hShuttleKill)
        return fail("Could not create shuttle callback thread", E_FAIL);
    unsigned id = 0;
    const std::uintptr_t h = _beginthreadex(nullptr, 0, &CMQFilterGraph::ShuttleThreadProc, this, 0, &id);
    if (!h) return fail("Could not create shuttle callback thread", E_FAIL);
    m_hShuttleThread = reinterpret_cast<HANDLE>(h);
    if (!SetThreadPriority(m_hShuttleThread, THREAD_PRIORITY_NORMAL))
        return fail("Could not set shuttle thread priority", E_FAIL);
    return S_OK;
}

HRESULT CMQFilterGraph::KillShuttleThread()
{
    HRESULT hr = S_OK;
    if (m_hShuttleThread) {
        SetEvent(m_hShuttleKill);
        if (WaitForSingleObject(m_hShuttleThread, kThreadDeathTimeOut) != WAIT_OBJECT_0) {
            // The thread still uses the events: leave them and the handle open.
            return fail("Time-out waiting for the shuttle thread to die!", E_FAIL);
        }
        CloseHandle(m_hShuttleThread);
        m_hShuttleThread = nullptr;
    }
    if (m_bOwnsEvents) {
        for (HANDLE* h : {&m_hShuttleBegin, &m_hShuttleEnd, &m_hShuttleDone, &m_hShuttleKill}) {
            if (*h) CloseHandle(*h);
            *h = nullptr;
        }
    }
    return hr;
}

unsigned CMQFilterGraph::ShuttleThreadProc(void* self)
{
    static_cast<CMQFilterGraph*>(self)->ShuttleLoop();
    return 0;
}

void CMQFilterGraph::ShuttleLoop()
{
    DWORD period = 0;
    for (;;) {
        const HANDLE start[2] = {m_hShuttleKill, m_hShuttleBegin};
        const DWORD r = WaitForMultipleObjects(2, start, FALSE, INFINITE);
        if (r != WAIT_OBJECT_0 + 1) return; // kill, or the events are gone
        // Worked out once, at the first start: one frame at the graph's standard.
        if (period == 0) period = std::max<DWORD>(1, static_cast<DWORD>(1000.0 * FramesToSeconds(1)));
        const HANDLE stop[2] = {m_hShuttleKill, m_hShuttleEnd};
        for (;;) {
            const DWORD w = WaitForMultipleObjects(2, stop, FALSE, period);
            if (w == WAIT_TIMEOUT) {
                FilterGraphShuttleTick();
                continue;
            }
            SetEvent(m_hShuttleDone);
            if (w != WAIT_OBJECT_0 + 1) return;
            break;
        }
    }
}

// ---- events ----

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
            const HRESULT hr = ChangeState(5);
            if (FAILED(hr) && window) {
                ReportError("Stop reports an error when attempting to stop filter graph.", hr);
                PostNotify(2, hr);
            } else {
                PostNotify(1, 0);
            }
            return FALSE;
        } else {
            const HRESULT hr = ChangeState(4);
            if (FAILED(hr) && window) {
                ReportError("Could not re-start another iteration of the loop.", hr);
                PostNotify(4, hr);
                return FALSE;
            }
            PostNotify(3, 0);
            return TRUE;
        }
    case EC_USERABORT:
    case EC_ERRORABORT: {
        const HRESULT hr = ChangeState(1);
        ResetPositions();
        if (FAILED(hr) && window) {
            ReportError("Stop reports an error when attempting to stop filter graph.", hr);
            PostNotify(2, hr);
        } else {
            PostNotify(2, param1);
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

BOOL CMQFilterGraph::HandleMQEvent(CMQEventInfo& info)
{
    const DWORD severity = info.GetSeverity();
    if (severity < 3) return TRUE;
    m_bLoop = FALSE;
    const HRESULT hr = ChangeState(1);
    if (FAILED(hr)) ReportError("Stop reports an error after receiving error event", hr);
    ResetPositions();
    PostNotify(2, 0);
    std::u16string description = info.GetDescription(255);
    if (description.empty()) description = u"<no description>";

    const char* format;
    UINT icon = MB_ICONERROR;
    switch (severity) {
    case 3:
        icon = MB_ICONWARNING;
        format = "There was an error reported by the filter graph during the playback process.\n\nReturn code: "
                 "0x%08X\nDescription: %ls\n\nThe filter graph was stopped automatically.";
        break;
    case 4:
        icon = MB_ICONWARNING;
        format = "There was a warning reported by the filter graph during the playback process, probably because a "
                 "cut-list specified an invalid or absent source file.\n\nReturn code: 0x%08X\nDescription: "
                 "%ls\n\nThe filter graph was stopped automatically.\nPlease verify the validity of the elements "
                 "contained in cut-lists before re-starting the filter graph.";
        break;
    case 5:
        format = "There was an error reported by the filter graph during the playback process.\n\nReturn code: "
                 "0x%08X\nDescription: %ls\n\nThe filter graph was stopped automatically.\nPlease save your work "
                 "and close the current document.";
        break;
    case 6:
        format = "There was a fatal error reported by the filter graph during the playback process.\n\nReturn code: "
                 "0x%08X\nDescription: %ls\n\nThe filter graph was stopped automatically.\nPlease save your work "
                 "and close the current application.";
        break;
    case 7:
        format = "There was a fatal error reported by the filter graph during the playback process.\nReturn code: "
                 "0x%08X\nDescription: %ls\n\nThe filter graph was stopped automatically.\nPlease save your work "
                 "and reboot your system.";
        break;
    default:
        format = "There was an unknown type of error reported by a filter in the filter graph (unknown "
                 "severity).\nReturn code: 0x%08X\nDescription: %ls\n\nThe filter graph was stopped automatically.";
        break;
    }
    const std::string text = box_text(format, info.GetReturnCode(), description);
    MessageBox(nullptr, text.c_str(), kCaption, MB_SYSTEMMODAL | icon);
    return FALSE;
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
    if (GetState(0) != MQFG_STATE_RUNNING) return fail("Filter graph not running in WaitForCompletion!", VFW_E_NOT_RUNNING);
    for (;;) {
        if (WaitForSingleObject(m_hGraphEvent, timeoutMs) != WAIT_OBJECT_0)
            return fail("Time-out waiting for the EC_COMPLETE in WaitForCompletion!", MQFG_E_COMPLETION_TIMEOUT);
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

// ---- state changes ----

HRESULT CMQFilterGraph::WaitForStateCompletion()
{
    OAFilterState state;
    const HRESULT hr = m_pMediaControl->GetState(static_cast<LONG>(std::min<DWORD>(m_dwStateCompletionTimeOut, 0x7FFFFFFF)), &state);
    if (hr == VFW_S_STATE_INTERMEDIATE) return fail("State transition not completed", E_FAIL);
    if (FAILED(hr)) return fail("Could not get filter graph state", hr);
    return S_OK;
}

HRESULT CMQFilterGraph::StopGraph(double* position)
{
    HRESULT hr;
    const int state = GetState(0);
    if (state == MQFG_STATE_RUNNING || m_bScrubbing || m_bShuttling || m_bFGShuttling) {
        if (m_bShuttling) {
            hr = EndShuttle(kEndModeTimeOut);
            if (position) GetPosition(*position);
            return hr;
        }
        if (m_bFGShuttling) EndFilterGraphShuttle(kEndModeTimeOut);
        if (m_bScrubbing) {
            hr = EndScrub(kEndModeTimeOut);
            if (position) GetPosition(*position);
            return hr;
        }
        if (state == MQFG_STATE_RUNNING) {
            hr = m_pMediaControl->Pause();
            if (FAILED(hr)) return fail("Error sending Pause command before the Stop command", hr);
            if (hr == S_FALSE && FAILED(WaitForStateCompletion()))
                return fail("State transition not completed between the Pause and Stop commands", E_FAIL);
        }
    }
    double kept = 0.0;
    m_pMediaPosition->get_CurrentPosition(&kept);
    hr = m_pMediaControl->Stop();
    if (FAILED(hr)) return fail("Error sending Stop command to filter graph", hr);
    if (hr == S_FALSE && FAILED(WaitForStateCompletion()))
        return fail("State transition not completed after the Stop command", E_FAIL);
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
        if (FAILED(hr)) return fail("Error sending Pause command before the Run command", hr);
        if (hr == S_FALSE && FAILED(WaitForStateCompletion()))
            return fail("State transition not completed between the Pause and Run commands", E_FAIL);
        hr = RunGraphAt(ComputeStartTime(FALSE));
    } else {
        hr = RunGraphAt(kRunNow);
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
    if (!m_pMediaControl) return fail("Error sending Run command to filter graph", E_FAIL);
    HRESULT hr;
    if (start == kRunNow) {
        m_rtRunStart = 0;
        hr = m_pMediaControl->Run();
        if (FAILED(hr)) return fail("Error sending Run command to filter graph", hr);
        return hr;
    }
    if (start == 0) start = ComputeStartTime(TRUE);
    m_rtRunStart = start;
    hr = m_pMediaFilter->Run(start);
    if (FAILED(hr)) return fail("RunAt reports an error", hr);
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
        MessageBox(nullptr, text, kCaption, MB_SYSTEMMODAL | MB_ICONWARNING);
    }
    // Error records that came with the end must still reach the operator.
    DrainEvents(TRUE);
    return hr;
}

HRESULT CMQFilterGraph::ChangeState(int kind, double* position)
{
    if (!m_pMediaControl || !m_pCriticalSection) return fail("Filter graph is not initialized", E_FAIL);
    zk::CriticalSectionLock lock(m_pCriticalSection);
    HRESULT hr;
    if (m_bScrubbing && (kind == 3 || kind == 2)) {
        double p = 0.0;
        GetPosition(p);
        EndScrub(kEndModeTimeOut);
        hr = m_pMediaPosition->put_CurrentPosition(p);
        if (FAILED(hr)) return fail("put_CurrentPosition reports an error after EndScrub", hr);
    }
    if ((kind == 2 || kind == 3) && GetState(0) == kind) {
        if (position) GetPosition(*position);
        return S_OK;
    }
    switch (kind) {
    case 1:
        return StopGraph(position);
    case 2:
        hr = m_pMediaControl->Pause();
        if (FAILED(hr)) return fail("Error sending Pause command to filter graph", hr);
        if (hr == S_FALSE && FAILED(WaitForStateCompletion()))
            return fail("State transition not completed after the Pause command", E_FAIL);
        if (position) GetPosition(*position);
        return S_OK;
    case 3:
        return RunGraph();
    case 4:
        StopOnComplete();
        m_pMediaPosition->put_CurrentPosition(m_dLoopStart);
        m_pMediaPosition->put_StopTime(m_dLoopStop);
        return RunGraph();
    case 5: {
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
        return fail("Unknown state change", E_INVALIDARG);
    }
}

// ---- transport ----

HRESULT CMQFilterGraph::EndSpecialModes()
{
    HRESULT first = S_OK;
    auto keep = [&first](HRESULT hr) {
        if (FAILED(hr) && SUCCEEDED(first)) first = hr;
    };
    if (m_bShuttling) keep(EndShuttle(kEndModeTimeOut));
    if (m_bFGShuttling) keep(EndFilterGraphShuttle(kEndModeTimeOut));
    if (m_bScrubbing) keep(EndScrub(kEndModeTimeOut));
    return first;
}

HRESULT CMQFilterGraph::PauseAndWait()
{
    if (GetState(0) == MQFG_STATE_PAUSED) return S_OK;
    const HRESULT hr = m_pMediaControl->Pause();
    if (FAILED(hr)) return fail("Error sending Pause command to filter graph", hr);
    if (hr == S_FALSE && FAILED(WaitForStateCompletion()))
        return fail("State transition not completed after the Pause command", E_FAIL);
    return S_OK;
}

HRESULT CMQFilterGraph::Play()
{
    if (!IsInitialized()) return fail("Filter graph is not initialized", E_FAIL);
    zk::CriticalSectionLock lock(m_pCriticalSection);
    HRESULT hr;
    if (m_bShuttling) {
        double p = 0.0;
        GetPosition(p);
        EndShuttle(kEndModeTimeOut);
        hr = m_pMediaPosition->put_CurrentPosition(p);
        if (FAILED(hr)) return fail("put_CurrentPosition reports an error after EndFilterGraphShuttle", hr);
    }
    if (m_bFGShuttling) EndFilterGraphShuttle(kEndModeTimeOut);
    if (m_bScrubbing) {
        double p = 0.0;
        GetPosition(p);
        EndScrub(kEndModeTimeOut);
        hr = m_pMediaPosition->put_CurrentPosition(p);
        if (FAILED(hr)) return fail("put_CurrentPosition reports an error after EndScrub", hr);
    }
    DrainEvents(FALSE);
    hr = ChangeState(3);
    if (FAILED(hr)) {
        Stop();
        return fail("Could not start graph", hr);
    }
    SetEvent(m_hActiveEvent);
    return hr;
}

HRESULT CMQFilterGraph::Stop(double* position)
{
    if (!IsInitialized()) return fail("Filter graph is not initialized", E_FAIL);
    zk::CriticalSectionLock lock(m_pCriticalSection);
    HRESULT hr;
    if (m_bShuttling && FAILED(hr = EndShuttle(kEndModeTimeOut))) return hr;
    if (m_bFGShuttling && FAILED(hr = EndFilterGraphShuttle(kEndModeTimeOut))) return hr;
    if (m_bScrubbing && FAILED(hr = EndScrub(kEndModeTimeOut))) return hr;
    hr = ChangeState(1, position);
    if (FAILED(hr)) return fail("Failed to stop the graph", hr);
    m_bLoop = FALSE;
    ResetEvent(m_hActiveEvent);
    return hr;
}

HRESULT CMQFilterGraph::Pause(double* position)
{
    if (!IsInitialized()) return fail("Filter graph is not initialized", E_FAIL);
    zk::CriticalSectionLock lock(m_pCriticalSection);
    const HRESULT hr = ChangeState(2, position);
    if (FAILED(hr)) return fail("Could not pause graph", hr);
    return hr;
}

HRESULT CMQFilterGraph::Seek(double seconds)
{
    if (!IsInitialized()) return fail("Filter graph is not initialized", E_FAIL);
    zk::CriticalSectionLock lock(m_pCriticalSection);
    HRESULT hr;
    if (m_bShuttling) EndShuttle(kEndModeTimeOut);
    if (m_bScrubbing) {
        SetEvent(m_hActiveEvent);
        hr = m_pScrubControl ? m_pScrubControl->Seek(seconds) : E_FAIL;
        if (FAILED(hr)) return fail("Error sending Seek command to the scrubbing PID", hr);
        m_dLastSeekPosition = seconds;
        return hr;
    }
    // Not scrubbing: the frame is shown by playing the graph up to it and stopping there.
    hr = Stop();
    if (FAILED(hr)) return fail("Cannot stop before the Seek", hr);
    m_pMediaPosition->put_CurrentPosition(seconds);
    m_pMediaPosition->put_StopTime(seconds);
    m_dLastSeekPosition = seconds;
    ResetEvent(m_hActiveEvent);
    DrainEvents(FALSE);
    hr = ChangeState(3);
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
    hr = ChangeState(1);
    if (FAILED(hr)) return fail("Stop reports an error after the completion of the Seek", hr);
    m_pMediaPosition->put_CurrentPosition(seconds);
    m_pMediaPosition->put_StopTime(GetDuration());
    return S_OK;
}

HRESULT CMQFilterGraph::SeekRelative(double delta, double* newPosition)
{
    if (!IsInitialized()) return fail("Filter graph is not initialized", E_FAIL);
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
    if (!IsInitialized()) return fail("Filter graph is not initialized", E_FAIL);
    zk::CriticalSectionLock lock(m_pCriticalSection);
    EndSpecialModes();
    HRESULT hr = m_pMediaPosition->put_CurrentPosition(start);
    if (FAILED(hr)) return fail("put_CurrentPosition reports an error", hr);
    hr = m_pMediaPosition->put_StopTime(stop);
    if (FAILED(hr)) return fail("put_CurrentPosition reports an error", hr);
    m_dLoopStart = start;
    m_dLoopStop = stop;
    m_bLoop = loop;
    return RunAtTime(0);
}

HRESULT CMQFilterGraph::RunAtTime(REFERENCE_TIME start)
{
    if (!IsInitialized()) return fail("Filter graph is not initialized", E_FAIL);
    zk::CriticalSectionLock lock(m_pCriticalSection);
    const bool wasStopped = GetState(0) == MQFG_STATE_STOPPED;
    EndSpecialModes();
    DrainEvents(FALSE);
    HRESULT hr = PauseAndWait();
    if (FAILED(hr)) return hr;
    SetEvent(m_hActiveEvent);
    if (start == 0) start = wasStopped ? ComputeStartTime(FALSE) : kRunNow;
    return RunGraphAt(start);
}

HRESULT CMQFilterGraph::PlayAt(double delaySeconds)
{
    if (!IsInitialized()) return fail("Filter graph is not initialized", E_FAIL);
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
    if (FAILED(hr)) return fail("Need a sync source to do a PlayAt", hr);
    return RunGraphAt(now + static_cast<REFERENCE_TIME>(std::llround(delay * kUnitsPerSecond)));
}

HRESULT CMQFilterGraph::ResetPositions()
{
    if (!m_pMediaPosition) return fail("Filter graph is not initialized", E_FAIL);
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

// ---- scrub and device shuttle ----

HRESULT CMQFilterGraph::BeginScrub()
{
    if (!IsInitialized()) return fail("Filter graph is not initialized", E_FAIL);
    zk::CriticalSectionLock lock(m_pCriticalSection);
    m_dLastSeekPosition = 0.0;
    if (!m_pScrubControl) return fail("The scrubbing PID is not installed.", E_FAIL);
    EndShuttle(kEndModeTimeOut);
    if (!m_bScrubbing) {
        DrainEvents(FALSE);
        const HRESULT hr = m_pScrubControl->BeginScrub();
        if (hr == MQ_E_NO_SCRUB_SOURCE) return fail("There is no source filter supporting scrubbing in this filter graph.", hr);
        if (FAILED(hr)) return fail("Error sending BeginScrub command to filter graph.", hr);
    }
    m_bScrubbing = TRUE;
    return S_OK;
}

HRESULT CMQFilterGraph::EndScrub(DWORD timeoutMs)
{
    if (!m_bScrubbing || !IsInitialized()) return S_OK;
    zk::CriticalSectionLock lock(m_pCriticalSection);
    ResetEvent(m_hActiveEvent);
    HRESULT hr = m_pScrubControl ? m_pScrubControl->EndScrub() : S_OK;
    if (FAILED(hr)) return fail("Error sending the EndScrub command to the FG", hr);
    m_bScrubbing = FALSE;
    if (GetState(0) != MQFG_STATE_RUNNING) return ResetPositions();
    hr = WaitForCompletion(timeoutMs, TRUE);
    if (FAILED(hr)) return fail("Error or time-out waiting for EC_COMPLETE after EndScrub", hr);
    hr = ChangeState(1);
    if (FAILED(hr)) return fail("Error stopping graph after EndScrub", hr);
    return ResetPositions();
}

HRESULT CMQFilterGraph::BeginShuttle(DWORD w0, DWORD w1, DWORD w2, DWORD w3, DWORD w4)
{
    if (!IsInitialized()) return fail("Filter graph is not initialized", E_FAIL);
    zk::CriticalSectionLock lock(m_pCriticalSection);
    if (!m_pShuttleControl) return fail("The scrubbing PID is not installed.", E_FAIL);
    EndScrub(kEndModeTimeOut);
    ChangeState(1);
    if (!m_bShuttling) {
        DrainEvents(FALSE);
        const HRESULT hr = m_pShuttleControl->BeginShuttle(w0, w1, w2, w3, w4);
        if (hr == MQ_E_NO_SCRUB_SOURCE) return fail("There is no source filter supporting shuttling in this filter graph.", hr);
        if (FAILED(hr)) return fail("Error sending BeginShuttle command to filter graph.", hr);
    }
    m_bShuttling = TRUE;
    return S_OK;
}

HRESULT CMQFilterGraph::SetSpeedAt(DWORD w0, DWORD w1, DWORD w2, DWORD w3)
{
    if (!IsInitialized()) return fail("Filter graph is not initialized", E_FAIL);
    zk::CriticalSectionLock lock(m_pCriticalSection);
    if (!m_bShuttling || !m_pShuttleControl) return S_FALSE;
    SetEvent(m_hActiveEvent);
    const HRESULT hr = m_pShuttleControl->SetSpeedAt(w0, w1, w2, w3);
    if (FAILED(hr)) return fail("Error sending the SetSpeedAt command to the FG", hr);
    return hr;
}

HRESULT CMQFilterGraph::EndShuttle(DWORD timeoutMs)
{
    if (!m_bShuttling || !IsInitialized()) return S_OK;
    zk::CriticalSectionLock lock(m_pCriticalSection);
    ResetEvent(m_hActiveEvent);
    HRESULT hr = m_pShuttleControl ? m_pShuttleControl->EndShuttle() : S_OK;
    if (FAILED(hr)) return fail("Error sending the EndShuttle command to the FG", hr);
    m_bShuttling = FALSE;
    if (GetState(0) != MQFG_STATE_RUNNING) return ResetPositions();
    hr = WaitForCompletion(timeoutMs, TRUE);
    if (FAILED(hr)) return fail("Error or time-out waiting for EC_COMPLETE after EndShuttle", hr);
    hr = ChangeState(1);
    if (FAILED(hr)) return fail("Error stopping graph after EndShuttle", hr);
    return ResetPositions();
}

BOOL CMQFilterGraph::IsScrubbing()
{
    return m_bScrubbing;
}

BOOL CMQFilterGraph::IsShuttling()
{
    return m_bShuttling;
}

BOOL CMQFilterGraph::IsFilterGraphShuttling()
{
    return m_bFGShuttling;
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

// ---- software shuttle ----

void CMQFilterGraph::RecomputeTimePerStep()
{
    const zk::FieldRate r = zk::field_rate(m_nVideoStandard);
    const double frame = 2.0 * static_cast<double>(r.R) / static_cast<double>(r.S);
    m_dTimePerStep = m_dFGShuttleSpeed != 0.0 ? frame / std::fabs(m_dFGShuttleSpeed) : 0.0;
}

HRESULT CMQFilterGraph::SetFilterGraphShuttleSpeed(double speed)
{
    if (!m_pCriticalSection) return fail("Filter graph is not initialized", E_FAIL);
    if (!std::isfinite(speed)) return fail("Invalid shuttle speed", E_INVALIDARG);
    zk::CriticalSectionLock lock(m_pCriticalSection);
    m_dFGShuttleSpeed = speed;
    RecomputeTimePerStep();
    return S_OK;
}

HRESULT CMQFilterGraph::BeginFilterGraphShuttle(double from, double to, double start, BOOL wrap)
{
    if (!IsInitialized()) return fail("Filter graph is not initialized", E_FAIL);
    zk::CriticalSectionLock lock(m_pCriticalSection);
    if (!m_hShuttleThread) return fail("Error sending BeginShuttle command to filter graph.", E_FAIL);
    if (!m_bScrubbing) {
        double kept = 0.0;
        ChangeState(1, &kept);
        const HRESULT hr = BeginScrub();
        if (FAILED(hr)) return fail("Error sending BeginScrub command to filter graph.", hr);
        Seek(kept);
    }
    m_bWrap = wrap;
    const double duration = GetDuration();
    const double upper = (to >= 0.0 && to <= duration) ? to : duration;
    const double lower = (from >= 0.0 && from <= duration) ? from : 0.0;
    LONGLONG lo = SecondsToFrames(lower), hi = SecondsToFrames(upper);
    if (lo > hi) std::swap(lo, hi);
    m_nMinFrame = static_cast<ULONGLONG>(std::max<LONGLONG>(lo, 0));
    m_nMaxFrame = static_cast<ULONGLONG>(std::max<LONGLONG>(hi, 0));
    double from_position = start;
    if (start < 0.0) GetPosition(from_position);
    const LONGLONG current = SecondsToFrames(from_position);
    m_nCurFrame = static_cast<ULONGLONG>(
        std::clamp<LONGLONG>(current, static_cast<LONGLONG>(m_nMinFrame), static_cast<LONGLONG>(m_nMaxFrame)));
    m_pFGShuttleClock = nullptr;
    RecomputeTimePerStep();
    // A shuttle already under way takes the new range without the thread starting over.
    if (!m_bFGShuttling) {
        ResetEvent(m_hShuttleDone);
        SetEvent(m_hShuttleBegin);
    }
    m_bFGShuttling = TRUE;
    return S_OK;
}

HRESULT CMQFilterGraph::EndFilterGraphShuttle(DWORD timeoutMs)
{
    if (!m_pCriticalSection) return S_OK;
    zk::CriticalSectionLock lock(m_pCriticalSection);
    if (!m_bFGShuttling) return S_OK;
    m_bFGShuttling = FALSE;
    SetEvent(m_hShuttleEnd);
    {
        // Every level of the lock is let go, so a step waiting for it can finish and the
        // shuttle thread can answer, even when this is called from inside another operation.
        zk::CriticalSectionRelease unlocked(m_pCriticalSection);
        WaitForSingleObject(m_hShuttleDone, timeoutMs);
    }
    m_pFGShuttleClock = nullptr;
    return S_OK;
}

HRESULT CMQFilterGraph::StopFilterGraphShuttle()
{
    if (!m_pCriticalSection) return S_OK;
    zk::CriticalSectionLock lock(m_pCriticalSection);
    if (!m_bFGShuttling) return S_OK;
    m_bFGShuttling = FALSE;
    SetEvent(m_hShuttleEnd);
    m_pFGShuttleClock = nullptr;
    return S_OK;
}

HRESULT CMQFilterGraph::FilterGraphShuttleTick()
{
    if (!m_pCriticalSection) return S_OK;
    zk::CriticalSectionLock lock(m_pCriticalSection);
    if (!m_bFGShuttling) return S_OK;
    if (!m_pFGShuttleClock) {
        m_pFGShuttleClock = GetSyncSource();
        if (!m_pFGShuttleClock || FAILED(m_pFGShuttleClock->GetTime(&m_rtLastTick))) {
            StopFilterGraphShuttle();
            return fail("Need a sync source to do a PlayAt", E_FAIL);
        }
        const HRESULT hr = Seek(FramesToSeconds(static_cast<LONGLONG>(m_nCurFrame)));
        if (FAILED(hr)) StopFilterGraphShuttle();
        return hr;
    }
    REFERENCE_TIME now = m_rtLastTick;
    if (FAILED(m_pFGShuttleClock->GetTime(&now))) now = m_rtLastTick;
    ULONGLONG steps = 0;
    if (m_dTimePerStep != 0.0) {
        // The remainder stays in the last tick time, so the frames moved follow the clock
        // however late or early the ticks come. One unit of allowance absorbs the rounding of
        // clock times to whole units (a field of 60000/1001 video is not a whole number of them).
        const double elapsed = static_cast<double>(now - m_rtLastTick) + 1.0;
        const double n = elapsed > 0 ? std::floor(elapsed / m_dTimePerStep) : 0.0;
        steps = static_cast<ULONGLONG>(n);
        m_rtLastTick += static_cast<REFERENCE_TIME>(std::llround(n * m_dTimePerStep));
    } else {
        m_rtLastTick = now;
    }
    ULONGLONG frame = m_nCurFrame;
    if (m_dFGShuttleSpeed >= 0.0) {
        frame = m_nCurFrame + steps;
        if (frame > m_nMaxFrame) frame = m_bWrap ? m_nMinFrame : m_nMaxFrame;
    } else {
        if (steps > m_nCurFrame || m_nCurFrame - steps < m_nMinFrame) frame = m_bWrap ? m_nMaxFrame : m_nMinFrame;
        else frame = m_nCurFrame - steps;
    }
    if (steps == 0 || frame == m_nCurFrame) return S_OK;
    m_nCurFrame = frame;
    const double seconds = FramesToSeconds(static_cast<LONGLONG>(frame));
    HRESULT hr = m_pScrubControl ? m_pScrubControl->SetShuttlePosition(seconds) : E_FAIL;
    if (SUCCEEDED(hr)) hr = m_pScrubCueControl ? m_pScrubCueControl->put_CueLength(FramesToRefTime(1)) : E_FAIL;
    if (FAILED(hr)) {
        StopFilterGraphShuttle();
        return ZK_FAIL(hr);
    }
    m_dLastSeekPosition = seconds;
    return S_OK;
}

// ---- state queries ----

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

BOOL CMQFilterGraph::IsInitialized()
{
    return m_pGraphBuilder ? TRUE : FALSE;
}

void CMQFilterGraph::SetVideoStandard(int standard)
{
    m_nVideoStandard = standard;
}

int CMQFilterGraph::GetVideoStandard()
{
    return m_nVideoStandard;
}

void CMQFilterGraph::SetNotifyWindow(HWND window)
{
    m_hNotifyWnd = window;
}

HWND CMQFilterGraph::GetNotifyWindow()
{
    return m_hNotifyWnd;
}

REFERENCE_TIME CMQFilterGraph::GetRunAtTime()
{
    return m_rtRunStart;
}

IGraphBuilder* CMQFilterGraph::GetGraphBuilder()
{
    return m_pGraphBuilder.get();
}

IScrubControl* CMQFilterGraph::GetScrubControl()
{
    return m_pScrubControl.get();
}

IShuttleControl* CMQFilterGraph::GetShuttleControl()
{
    return m_pShuttleControl.get();
}

IScrubCueControl* CMQFilterGraph::GetScrubCueControl()
{
    return m_pScrubCueControl.get();
}

// ---- clock and time ----

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
        if (FAILED(hr)) return fail("Could not get sync source from IMediaFilter interface", hr);
    } else {
        if (!m_pMediaFilter) return fail("Could not set the sync source on the filter graph", E_FAIL);
        if (m_dwSelectedCardset != MQFG_NO_CARDSET)
            hr = CreateInstanceOnResource(CLSID_DigiSuiteReferenceClock, IID_IReferenceClock, clock.put_void(), m_dwSelectedCardset);
        else
            hr = CoCreateInstance(CLSID_DigiSuiteReferenceClock, nullptr, CLSCTX_INPROC, IID_IReferenceClock, clock.put_void());
        if (FAILED(hr)) return fail("Could not instantiate DigiSuite reference clock", hr);
        hr = m_pMediaFilter->SetSyncSource(clock.get());
        if (FAILED(hr)) return fail("Could not set the sync source on the filter graph", hr);
    }
    m_pRefClock = clock;
    m_pExtendedClock.reset();
    if (!clock) return S_OK;
    m_pExtendedClock = clock.as<IExtendedClock>();
    if (!m_pExtendedClock) return S_OK; // a clock that cannot name its standard leaves it unknown
    GUID g{};
    hr = m_pExtendedClock->GetVideoStandard(&g);
    if (FAILED(hr)) return fail("Could not get extended clock interface", hr);
    if (const int standard = zk::standard_from_guid(g)) m_nVideoStandard = standard;
    return S_OK;
}

HRESULT CMQFilterGraph::SetSyncSource(IReferenceClock* clock)
{
    if (!m_pMediaFilter) return fail("Filter graph is not initialized", E_FAIL);
    const HRESULT hr = m_pMediaFilter->SetSyncSource(clock);
    if (FAILED(hr)) return fail("Could not set the sync source on the filter graph", hr);
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
    const zk::FieldRate r = zk::field_rate(m_nVideoStandard);
    return 2.0 * static_cast<double>(frames) * static_cast<double>(r.D) / static_cast<double>(r.N);
}

LONGLONG CMQFilterGraph::SecondsToFrames(double seconds)
{
    if (!std::isfinite(seconds)) return 0;
    const zk::FieldRate r = zk::field_rate(m_nVideoStandard);
    const LONGLONG fields = round_half_away(seconds * static_cast<double>(r.N) / static_cast<double>(r.D));
    return fields / 2;
}

REFERENCE_TIME CMQFilterGraph::FramesToRefTime(LONGLONG frames)
{
    const zk::FieldRate r = zk::field_rate(m_nVideoStandard);
    return 2 * frames * r.R / r.S;
}

LONGLONG CMQFilterGraph::RefTimeToFrames(REFERENCE_TIME time)
{
    return ref_to_fields(time, zk::field_rate(m_nVideoStandard)) / 2;
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
    REFERENCE_TIME t = now + kStartLead + static_cast<REFERENCE_TIME>(std::llround(preroll * kUnitsPerSecond)) - offset;
    if (standard != 0) {
        // Snap to an even field count, that is to the start of a frame.
        const zk::FieldRate r = zk::field_rate(standard);
        const LONGLONG fields = ref_to_fields(t, r) & ~LONGLONG{1};
        t = fields * r.R / r.S;
    }
    return t;
}
