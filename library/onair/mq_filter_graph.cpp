// CMQFilterGraph: construction, initialisation (the graph, its interfaces, the two threads and
// the clock), teardown, and the plain accessors. The other operations live beside this file,
// one concern a file: mq_graph_events.cpp (transport thread and graph events),
// mq_graph_messages.cpp (playback-error messages), mq_graph_states.cpp (state changes),
// mq_graph_transport.cpp (play, stop, seek and positions), mq_graph_scrub.cpp (scrub and the
// device shuttle), mq_graph_shuttle.cpp (the software shuttle), mq_graph_clock.cpp (clock,
// video standard and time), mq_graph_building.cpp (filters, pins and cardsets) and
// mq_graph_errors.cpp (the last failure text).
#include "onair/mq_filter_graph.h"

#include <new>

#include "onair/mq_graph_internal.h"
#include "platform/registry/registry.h"

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
    if (m_pGraphBuilder) return zk::fail("Filter graph is already initialized", E_FAIL);
    m_pCriticalSection = new (std::nothrow) CRITICAL_SECTION;
    if (!m_pCriticalSection) return zk::fail("Cannot allocate memory for critical section", E_FAIL);
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
    if (m_pGraphBuilder) return zk::fail("Filter graph is already initialized", E_FAIL);
    if (!graph) return zk::fail("Could not instantiate Filter Graph Builder", E_POINTER);
    m_pCriticalSection = new (std::nothrow) CRITICAL_SECTION;
    if (!m_pCriticalSection) return zk::fail("Cannot allocate memory for critical section", E_FAIL);
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
    if (!other || !other->IsInitialized()) return zk::fail("Cannot initialize filtergraph object with uninitialized object", E_FAIL);
    if (m_pGraphBuilder) return zk::fail("Filter graph is already initialized", E_FAIL);
    m_pCriticalSection = new (std::nothrow) CRITICAL_SECTION;
    if (!m_pCriticalSection) return zk::fail("Cannot allocate memory for critical section", E_FAIL);
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
        if (FAILED(hr)) return zk::fail("Could not instantiate Filter Graph Builder", hr);
    }
    hr = m_pGraphBuilder->QueryInterface(IID_IMediaControl, m_pMediaControl.put_void());
    if (FAILED(hr)) return zk::fail("Could not get Filter Graph media control interface", hr);
    // The DigiSuite controls are optional: a graph without them simply cannot scrub or shuttle.
    m_pShuttleControl = m_pGraphBuilder.as<IShuttleControl>();
    m_pScrubControl = m_pGraphBuilder.as<IScrubControl>();
    if (m_pScrubControl) m_pScrubCueControl = m_pScrubControl.as<IScrubCueControl>();
    hr = m_pGraphBuilder->QueryInterface(IID_IMediaFilter, m_pMediaFilter.put_void());
    if (FAILED(hr)) return zk::fail("Could not get Filter Graph media filter interface", hr);
    hr = m_pGraphBuilder->QueryInterface(IID_IMediaPosition, m_pMediaPosition.put_void());
    if (FAILED(hr)) return zk::fail("Could not get Filter Graph media position interface", hr);
    hr = m_pGraphBuilder->QueryInterface(IID_IMediaEvent, m_pMediaEvent.put_void());
    if (FAILED(hr)) return zk::fail("Could not get Filter Graph media event interface", hr);
    OAEVENT event = 0;
    hr = m_pMediaEvent->GetEventHandle(&event);
    if (FAILED(hr)) return zk::fail("Could not get Filter Graph event handle", hr);
    m_hGraphEvent = reinterpret_cast<HANDLE>(event);
    if (FAILED(CoCreateInstance(CLSID_MridEnumerator, nullptr, CLSCTX_INPROC, IMridEnumerator::kIid,
                                m_pMridEnumerator.put_void())))
        m_pMridEnumerator.reset();
    m_hActiveEvent = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    if (!m_hActiveEvent) return zk::fail("Could not create ACTIVE event for transport thread", E_FAIL);
    hr = CreateTransportThread();
    if (FAILED(hr)) return zk::fail("Cannot create transport thread", hr);
    hr = CreateShuttleThread();
    if (FAILED(hr)) return zk::fail("Cannot create shuttle thread", hr);
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
