// CKrTmProc: clock-number checks and forwarding to the displays.
#include "effects/kr_tm_proc.h"

#include "core/errors.h"

namespace {

constexpr unsigned long kTickMs = 100;

} // namespace

int CKrTmProc::Initial(CMQGraph* graph)
{
    m_pGraph = graph;
    return m_Timer.TimerStart(graph, kTickMs) == 0 ? 0 : ZK_FAIL(-1);
}

int CKrTmProc::End()
{
    m_pGraph = nullptr;
    // The displays let go too: the owner deletes the graph after this, and a field still
    // queued for a writer must not reach it.
    for (CKrTmInfo& info : m_Info) info.forget_graph();
    return 0;
}

CKrTmInfo* CKrTmProc::display(int clock)
{
    return m_Timer.CheckTmID(clock) == 0 ? &m_Info[static_cast<std::size_t>(clock)] : nullptr;
}

int CKrTmProc::CheckTmID(int clock)
{
    if (m_Timer.CheckTmID(clock) == 0) return 0;
    m_strErr.Format("TimerID Err [%d]", clock);
    zk::report_message("%s", m_strErr.GetString());
    return -1;
}

int CKrTmProc::CheckTm(int clock)
{
    if (CheckTmID(clock) != 0) return -1;
    if (m_Info[static_cast<std::size_t>(clock)].set_up()) return 0;
    m_strErr.Format("Timer Not Setup [%d]", clock);
    zk::report_message("%s", m_strErr.GetString());
    return -1;
}

template <class Op>
int CKrTmProc::forward(int clock, Op&& op)
{
    if (CheckTm(clock) != 0) return -1;
    return op(m_Info[static_cast<std::size_t>(clock)]);
}

int CKrTmProc::SetTimerData(int clock, unsigned char* path, int format, int x, int y)
{
    if (CheckTmID(clock) != 0) return -1;
    const int r = m_Info[static_cast<std::size_t>(clock)].SetTimerData(clock, path, format, x, y, &m_Timer, m_pGraph);
    m_bDataSet = 1;
    count_displays_on(); // a display set up again is switched off
    return r;
}

int CKrTmProc::SetTmAddress(int clock, int x, int y)
{
    return forward(clock, [&](CKrTmInfo& d) { return d.SetTmAddress(x, y); });
}

int CKrTmProc::SetTmStart(int clock)
{
    return forward(clock, [](CKrTmInfo& d) { return d.SetTmStart(); });
}

int CKrTmProc::SetTmStop(int clock)
{
    return forward(clock, [](CKrTmInfo& d) { return d.SetTmStop(); });
}

int CKrTmProc::SetTmTime(int clock, int h, int m, int s, int ms)
{
    return forward(clock, [&](CKrTmInfo& d) { return d.SetTmTime(h, m, s, ms); });
}

int CKrTmProc::SetTmAddTime(int clock, int h, int m, int s, int ms)
{
    return forward(clock, [&](CKrTmInfo& d) { return d.SetTmAddTime(h, m, s, ms); });
}

int CKrTmProc::SetTmDecTime(int clock, int h, int m, int s, int ms)
{
    return forward(clock, [&](CKrTmInfo& d) { return d.SetTmDecTime(h, m, s, ms); });
}

int CKrTmProc::SetTmSyncTime(int clock, int source)
{
    return forward(clock, [&](CKrTmInfo& d) { return d.SetTmSyncTime(source); });
}

int CKrTmProc::SetTmAdvTime(int clock, long tenths)
{
    const zk::fx::ClockAdvance a = zk::fx::clock_advance(tenths);
    return a.add ? SetTmAddTime(clock, a.hour, a.minute, a.second, a.millisecond)
                 : SetTmDecTime(clock, a.hour, a.minute, a.second, a.millisecond);
}

int CKrTmProc::SetTmCountUp(int clock)
{
    return forward(clock, [](CKrTmInfo& d) { return d.SetTmCountUp(); });
}

int CKrTmProc::SetTmCountDown(int clock)
{
    return forward(clock, [](CKrTmInfo& d) { return d.SetTmCountDown(); });
}

int CKrTmProc::SetTmStopModeOn(int clock, int h, int m, int s, int ms)
{
    return forward(clock, [&](CKrTmInfo& d) { return d.SetTmStopModeOn(h, m, s, ms); });
}

int CKrTmProc::SetTmStopModeOff(int clock)
{
    return forward(clock, [](CKrTmInfo& d) { return d.SetTmStopModeOff(); });
}

int CKrTmProc::DispTmOn(int clock)
{
    const int r = forward(clock, [](CKrTmInfo& d) { return d.DispTmOn(); });
    count_displays_on();
    return r;
}

int CKrTmProc::DispTmOff(int clock)
{
    const int r = forward(clock, [](CKrTmInfo& d) { return d.DispTmOff(); });
    count_displays_on();
    return r;
}

void CKrTmProc::count_displays_on()
{
    int n = 0;
    for (const CKrTmInfo& info : m_Info) n += info.shown() ? 1 : 0;
    m_nDispOn = n;
}

int CKrTmProc::TimerEventSet(unsigned long field)
{
    if (m_nDispOn.load() < 1) return 0;
    for (CKrTmInfo& info : m_Info) info.TimerEventSet(field);
    return 0;
}
