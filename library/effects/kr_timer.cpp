// CKrTimer: the clock records and the worker that ticks them.
#include "effects/kr_timer.h"

#include <algorithm>

namespace {

constexpr unsigned long kShortestInterval = 1; // a tick of 0 would never let the worker wait

} // namespace

CKrTimer::CKrTimer()
{
    for (HANDLE& e : m_hEvent) e = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    m_hStop = CreateEvent(nullptr, TRUE, FALSE, nullptr);
}

CKrTimer::~CKrTimer()
{
    if (m_Thread.running()) TimerEnd();
    for (HANDLE e : m_hEvent) {
        if (e) CloseHandle(e);
    }
    if (m_hStop) CloseHandle(m_hStop);
}

int CKrTimer::TimerStart(CMQGraph* graph, unsigned long interval)
{
    m_pGraph = graph;
    m_dwInterval = std::max(interval, kShortestInterval);
    if (m_Thread.running() && m_nRun.load() == 1) return 0;
    m_Thread.join(); // a worker that has ended is released before the next
    ResetEvent(m_hStop);
    // Running from here, so that a TimerEnd right after this finds a worker to stop.
    m_nRun = 1;
    if (!m_Thread.start(&CKrTimer::TimerProc, this, THREAD_PRIORITY_TIME_CRITICAL, "clock timer")) {
        m_nRun = 0;
        return -1;
    }
    return 0;
}

void CKrTimer::TimerEnd()
{
    if (m_Thread.running()) {
        m_nRun = 0;
        SetEvent(m_hStop);
        m_Thread.join();
    }
    m_nRun = 0;
}

UINT CKrTimer::TimerProc(LPVOID self)
{
    static_cast<CKrTimer*>(self)->TimerRun();
    return 0;
}

bool CKrTimer::wait_tick()
{
    WaitForSingleObject(m_hStop, static_cast<DWORD>(m_dwInterval.load()));
    return m_nRun.load() == 1;
}

std::uint32_t CKrTimer::read_clock() const
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return zk::fx::time_reading(now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
}

void CKrTimer::TimerRun()
{
    m_dwTicks = 0;
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        m_Elapsed.SetTime(0UL);
    }
    if (wait_tick()) {
        std::uint32_t previous = read_clock();
        while (wait_tick()) {
            const std::uint32_t now = read_clock();
            const std::uint32_t step =
                zk::fx::reading_step(previous, now, static_cast<std::uint32_t>(m_dwInterval.load()));
            previous = now;
            unsigned changed = 0;
            {
                std::lock_guard<std::mutex> guard(m_Lock);
                m_Elapsed += static_cast<unsigned long>(step);
                changed = zk::fx::tick_clocks(m_Clock, step);
            }
            ++m_dwTicks;
            // Signalled after the lock is let go: a display woken here reads the new value.
            for (int i = 0; i < zk::fx::kClocks; ++i) {
                if (changed & (1u << i)) SetEvent(m_hEvent[static_cast<std::size_t>(i)]);
            }
        }
    }
    m_nRun = -1;
}

int CKrTimer::CheckTmID(int id) const
{
    return id < 0 || id >= zk::fx::kClocks ? 1 : 0;
}

zk::fx::ClockRecord* CKrTimer::record(int id)
{
    return CheckTmID(id) ? nullptr : &m_Clock[static_cast<std::size_t>(id)];
}

const zk::fx::ClockRecord* CKrTimer::record(int id) const
{
    return CheckTmID(id) ? nullptr : &m_Clock[static_cast<std::size_t>(id)];
}

template <class Change>
void CKrTimer::change(int id, Change&& op)
{
    std::lock_guard<std::mutex> guard(m_Lock);
    if (zk::fx::ClockRecord* r = record(id)) op(*r);
}

template <class Get>
auto CKrTimer::read(int id, Get&& get) const
{
    std::lock_guard<std::mutex> guard(m_Lock);
    const zk::fx::ClockRecord* r = record(id);
    return r ? get(*r) : decltype(get(*r)){};
}

void CKrTimer::TmClear(int id)
{
    change(id, [](zk::fx::ClockRecord& r) { r = zk::fx::ClockRecord{}; });
}

void CKrTimer::TmStart(int id)
{
    change(id, [](zk::fx::ClockRecord& r) { r.started = 1; });
}

void CKrTimer::TmStop(int id)
{
    change(id, [](zk::fx::ClockRecord& r) { r.started = 0; });
}

void CKrTimer::TmSet(int id, CKrTm value)
{
    change(id, [&](zk::fx::ClockRecord& r) { r.value = value; });
}

void CKrTimer::TmAdd(int id, CKrTm value)
{
    change(id, [&](zk::fx::ClockRecord& r) { r.value += value; });
}

void CKrTimer::TmDec(int id, CKrTm value)
{
    change(id, [&](zk::fx::ClockRecord& r) { zk::fx::clock_decrease(r.value, value); });
}

void CKrTimer::TmSync(int id, int source)
{
    // Under one hold of the lock, so that no tick comes between the reading and the copy.
    std::lock_guard<std::mutex> guard(m_Lock);
    zk::fx::ClockRecord* r = record(id);
    const zk::fx::ClockRecord* from = record(source);
    if (r && from) r->value = from->value;
}

void CKrTimer::SetCountUp(int id)
{
    change(id, [](zk::fx::ClockRecord& r) { r.count_mode = 0; });
}

void CKrTimer::SetCountDown(int id)
{
    change(id, [](zk::fx::ClockRecord& r) { r.count_mode = 1; });
}

void CKrTimer::SetStopMode(int id, CKrTm stop)
{
    change(id, [&](zk::fx::ClockRecord& r) {
        r.stop_mode = 1;
        r.stop_time = stop;
    });
}

void CKrTimer::ResetStopMode(int id)
{
    change(id, [](zk::fx::ClockRecord& r) {
        r.stop_mode = 0;
        r.stop_time = CKrTm();
    });
}

CKrTm* CKrTimer::GetTmPtr(int id)
{
    zk::fx::ClockRecord* r = record(id);
    return r ? &r->value : nullptr;
}

CKrTm CKrTimer::GetTm(int id) const
{
    return read(id, [](const zk::fx::ClockRecord& r) { return r.value; });
}

long CKrTimer::GetStrat(int id) const
{
    return read(id, [](const zk::fx::ClockRecord& r) { return r.started; });
}

long CKrTimer::GetCountMode(int id) const
{
    return read(id, [](const zk::fx::ClockRecord& r) { return r.count_mode; });
}

long CKrTimer::GetStopMode(int id) const
{
    return read(id, [](const zk::fx::ClockRecord& r) { return r.stop_mode; });
}

CKrTm* CKrTimer::GetStopTmPtr(int id)
{
    zk::fx::ClockRecord* r = record(id);
    return r ? &r->stop_time : nullptr;
}

CKrTm CKrTimer::GetStopTm(int id) const
{
    return read(id, [](const zk::fx::ClockRecord& r) { return r.stop_time; });
}

HANDLE CKrTimer::GetEvent(int id) const
{
    return CheckTmID(id) ? nullptr : m_hEvent[static_cast<std::size_t>(id)];
}

CKrTm CKrTimer::elapsed() const
{
    std::lock_guard<std::mutex> guard(m_Lock);
    return m_Elapsed;
}
