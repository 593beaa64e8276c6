// CMQFilterGraph: the software shuttle. A thread of its own looks at the clock once a frame
// period while the shuttle runs and moves the scrub position by the frames that fell due
// (shuttle_step in graph_time.h); begin, end and stop talk to it through four events.
#include "onair/mq_filter_graph.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <utility>

#include "onair/graph_time.h"
#include "onair/mq_graph_internal.h"

HRESULT CMQFilterGraph::CreateShuttleThread()
{
    m_hShuttleBegin = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    m_hShuttleEnd = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    m_hShuttleDone = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    m_hShuttleKill = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    if (!m_hShuttleBegin || !m_hShuttleEnd || !m_hShuttleDone || !m_hShuttleKill)
        return zk::fail("Could not create shuttle callback thread", E_FAIL);
    unsigned id = 0;
    const std::uintptr_t h = _beginthreadex(nullptr, 0, &CMQFilterGraph::ShuttleThreadProc, this, 0, &id);
    if (!h) return zk::fail("Could not create shuttle callback thread", E_FAIL);
    m_hShuttleThread = reinterpret_cast<HANDLE>(h);
    if (!SetThreadPriority(m_hShuttleThread, THREAD_PRIORITY_NORMAL))
        return zk::fail("Could not set shuttle thread priority", E_FAIL);
    return S_OK;
}

HRESULT CMQFilterGraph::KillShuttleThread()
{
    HRESULT hr = S_OK;
    if (m_hShuttleThread) {
        SetEvent(m_hShuttleKill);
        if (WaitForSingleObject(m_hShuttleThread, zk::kThreadDeathTimeOut) != WAIT_OBJECT_0) {
            // The thread still uses the events: leave them and the handle open.
            return zk::fail("Time-out waiting for the shuttle thread to die!", E_FAIL);
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

void CMQFilterGraph::RecomputeTimePerStep()
{
    m_dTimePerStep = zk::shuttle_time_per_step(m_dFGShuttleSpeed, zk::field_rate(m_nVideoStandard));
}

HRESULT CMQFilterGraph::SetFilterGraphShuttleSpeed(double speed)
{
    if (!m_pCriticalSection) return zk::fail("Filter graph is not initialized", E_FAIL);
    if (!std::isfinite(speed)) return zk::fail("Invalid shuttle speed", E_INVALIDARG);
    zk::CriticalSectionLock lock(m_pCriticalSection);
    m_dFGShuttleSpeed = speed;
    RecomputeTimePerStep();
    return S_OK;
}

HRESULT CMQFilterGraph::BeginFilterGraphShuttle(double from, double to, double start, BOOL wrap)
{
    if (!IsInitialized()) return zk::fail("Filter graph is not initialized", E_FAIL);
    zk::CriticalSectionLock lock(m_pCriticalSection);
    if (!m_hShuttleThread) return zk::fail("Error sending BeginShuttle command to filter graph.", E_FAIL);
    if (!m_bScrubbing) {
        double kept = 0.0;
        ChangeState(MQFG_CHANGE_STOP, &kept);
        const HRESULT hr = BeginScrub();
        if (FAILED(hr)) return zk::fail("Error sending BeginScrub command to filter graph.", hr);
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
            return zk::fail("Need a sync source to do a PlayAt", E_FAIL);
        }
        const HRESULT hr = Seek(FramesToSeconds(static_cast<LONGLONG>(m_nCurFrame)));
        if (FAILED(hr)) StopFilterGraphShuttle();
        return hr;
    }
    REFERENCE_TIME now = m_rtLastTick;
    if (FAILED(m_pFGShuttleClock->GetTime(&now))) now = m_rtLastTick;
    const zk::ShuttleMotion motion{m_dFGShuttleSpeed, m_nMinFrame, m_nMaxFrame, m_bWrap != FALSE};
    const zk::ShuttleStep step = zk::shuttle_step(m_nCurFrame, motion, m_dTimePerStep, m_rtLastTick, now);
    m_rtLastTick = step.last_tick;
    const ULONGLONG frame = step.frame;
    if (frame == m_nCurFrame) return S_OK;
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

BOOL CMQFilterGraph::IsFilterGraphShuttling()
{
    return m_bFGShuttling;
}
