// CKrTimer: four clock values, advanced by a worker that reads the time of day every tick.
//
// Each clock (0 to 3) has a value, a started flag, a count mode (0 up, 1 down), an optional
// stop time and an auto-reset event that the worker signals whenever the clock's shown second
// changes, which is what wakes the clock's display. The worker (time-critical) waits one tick
// interval (100 ms from the timer processor) on board time, reads the local time and moves
// every started clock on by the time that passed between the two readings, so a late tick
// loses nothing. How readings become steps, and what happens at a rollover of the minute, the
// hour or the day or when the system clock is set, is the clock core's (effects/timer_core.h).
//
// Operations with a clock number outside 0-3 do nothing and answer 0, a null pointer or a zero
// value. The clock records are shared by the host, the worker and the displays' drawing
// threads under one lock, held for a tick's arithmetic or one operation and never across a
// wait. GetTmPtr and GetStopTmPtr hand out the records themselves, for callers that read them
// while no worker runs.
#pragma once

#include <array>
#include <atomic>
#include <mutex>

#include "core/zorvik_api.h"
#include "effects/kr_tm.h"
#include "effects/timer_core.h"
#include "platform/win32/afx_thread.h"
#include "platform/win32/win32_time.h"

class CMQGraph;

class ZORVIK_API CKrTimer {
public:
    CKrTimer();
    virtual ~CKrTimer();
    CKrTimer(const CKrTimer&) = delete;
    CKrTimer& operator=(const CKrTimer&) = delete;

    // Stores the graph and the interval (at least 1 ms) and starts the worker; 0, or -1 when
    // no thread could be made. While a worker runs only the graph and interval change.
    int TimerStart(CMQGraph* graph, unsigned long interval);
    // Stops the worker and waits for it; the run state is 0 afterwards.
    void TimerEnd();

    // 1 when id is not a clock number.
    int CheckTmID(int id) const;
    void TmClear(int id);
    void TmStart(int id);
    void TmStop(int id);
    void TmSet(int id, CKrTm value);
    void TmAdd(int id, CKrTm value);
    // Takes the value away, stopping at zero.
    void TmDec(int id, CKrTm value);
    // Clock id takes the value of clock source.
    void TmSync(int id, int source);
    void SetCountUp(int id);
    void SetCountDown(int id);
    void SetStopMode(int id, CKrTm stop);
    void ResetStopMode(int id);

    CKrTm* GetTmPtr(int id);
    CKrTm GetTm(int id) const;
    long GetStrat(int id) const;
    long GetCountMode(int id) const;
    long GetStopMode(int id) const;
    CKrTm* GetStopTmPtr(int id);
    CKrTm GetStopTm(int id) const;
    HANDLE GetEvent(int id) const;

    // 1 while the worker runs, 0 once a stop is asked for, -1 when it has ended.
    long run_state() const { return m_nRun.load(); }
    unsigned long ticks() const { return m_dwTicks.load(); }
    // Time since the worker started, as the worker measured it.
    CKrTm elapsed() const;

private:
    static UINT TimerProc(LPVOID self);
    void TimerRun();
    // False when the stop was asked for during the wait.
    bool wait_tick();
    std::uint32_t read_clock() const;
    zk::fx::ClockRecord* record(int id);
    const zk::fx::ClockRecord* record(int id) const;
    // One record changed, or read, under the lock; nothing (a zero value) for a bad number.
    template <class Change>
    void change(int id, Change&& op);
    template <class Get>
    auto read(int id, Get&& get) const;

    std::atomic<CMQGraph*> m_pGraph{nullptr};
    zk::OwnedThread m_Thread;
    std::atomic<long> m_nRun{0};
    std::atomic<unsigned long> m_dwInterval{100};
    std::atomic<unsigned long> m_dwTicks{0};
    mutable std::mutex m_Lock;
    CKrTm m_Elapsed;                                           // under m_Lock
    std::array<zk::fx::ClockRecord, zk::fx::kClocks> m_Clock;  // under m_Lock
    std::array<HANDLE, zk::fx::kClocks> m_hEvent{};
    HANDLE m_hStop = nullptr; // ends the worker's tick wait at once when a stop is asked for
};
