// CKrTmProc: the four running clocks the on-air control drives.
//
// It owns one CKrTimer (the four clock values and their worker) and four CKrTmInfo displays,
// display i showing clock i. Every operation takes the clock number first, checks it (and, for
// all but SetTimerData, that its display is set up), and forwards to the display. Initial
// starts the timer's worker with a 100 ms tick; the on-air control's vertical-sync thread
// calls TimerEventSet with each field.
//
// Results: 0 success, -1 failure. A clock number outside 0-3 reports "TimerID Err [%d]", a
// display not set up "Timer Not Setup [%d]"; the text is kept as the last error text.
//
// On destruction the displays end their threads first, then the timer its worker. End only
// lets go of the graph: no display writes into it afterwards, so the graph may be deleted
// while the clocks keep time.
#pragma once

#include <array>
#include <atomic>

#include "core/zorvik_api.h"
#include "effects/kr_timer.h"
#include "effects/kr_tm_info.h"
#include "platform/framework/cstring.h"

class CMQGraph;

class ZORVIK_API CKrTmProc {
public:
    CKrTmProc() = default;
    virtual ~CKrTmProc() = default;
    CKrTmProc(const CKrTmProc&) = delete;
    CKrTmProc& operator=(const CKrTmProc&) = delete;

    int Initial(CMQGraph* graph);
    int End();

    int SetTimerData(int clock, unsigned char* path, int format, int x, int y);
    int SetTmAddress(int clock, int x, int y);
    int SetTmStart(int clock);
    int SetTmStop(int clock);
    int SetTmTime(int clock, int h, int m, int s, int ms);
    int SetTmAddTime(int clock, int h, int m, int s, int ms);
    int SetTmDecTime(int clock, int h, int m, int s, int ms);
    int SetTmSyncTime(int clock, int source);
    // Moves the clock on (tenths ≥ 0) or back by |tenths| tenths of a second.
    int SetTmAdvTime(int clock, long tenths);
    int SetTmCountUp(int clock);
    int SetTmCountDown(int clock);
    int SetTmStopModeOn(int clock, int h, int m, int s, int ms);
    int SetTmStopModeOff(int clock);
    int DispTmOn(int clock);
    int DispTmOff(int clock);

    // Every field, from the vertical-sync thread: hands it to the displays while any is on.
    int TimerEventSet(unsigned long field);

    int CheckTmID(int clock);
    int CheckTm(int clock);

    const CString& GetErrorText() const { return m_strErr; }
    CKrTimer& timer() { return m_Timer; }
    // Display `clock`, null for a number outside 0-3.
    CKrTmInfo* display(int clock);
    int displays_on() const { return m_nDispOn.load(); }

private:
    // Checks the clock and its display, then runs op on the display; -1 when refused.
    template <class Op>
    int forward(int clock, Op&& op);
    void count_displays_on();

    int m_bDataSet = 0;
    CMQGraph* m_pGraph = nullptr;
    CKrTimer m_Timer;
    std::array<CKrTmInfo, 4> m_Info;
    std::atomic<int> m_nDispOn{0};
    CString m_strErr;
};
