// CKr2DdveAct: the keypoint move's legacy surface, its record on the channel, its own thread.
#include "effects/kr_2ddve_act.h"

#include "effects/field_wait.h"
#include "effects/keyframe_out.h"

namespace {

constexpr double kWidth = 720.0;
constexpr double kHeight = 486.0;

} // namespace

CKr2DdveAct::CKr2DdveAct()
    : m_hProgress(CreateEvent(nullptr, FALSE, FALSE, nullptr)), m_hFieldWait(CreateEvent(nullptr, FALSE, FALSE, nullptr))
{
}

CKr2DdveAct::~CKr2DdveAct()
{
    m_Worker.stop();
    if (m_hProgress) CloseHandle(m_hProgress);
    if (m_hFieldWait) CloseHandle(m_hFieldWait);
}

int CKr2DdveAct::Initial(CMQGraph* graph)
{
    m_pGraph = graph;
    return graph ? 1 : 0;
}

int CKr2DdveAct::Crear()
{
    if (m_bRunning.load()) {
        m_bBreak = 1;
        m_Worker.stop(); // the worker is blocked between fields or ends the one it has
    }
    m_Worker.join();
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        m_Action = zk::fx::DveAction{};
        m_Move = zk::fx::DveMove{};
        m_nField = 0;
        m_nSavedSegment = 0;
        m_nSavedField = 0;
    }
    m_bSet = 0;
    m_bSetup = 0;
    m_bRunning = 0;
    m_bBreak = 0;
    m_bPause = 0;
    ::SetEvent(m_hProgress); // a Wait2D sees the move gone
    return 1;
}

int CKr2DdveAct::take_action(const zk::fx::DveAction& action)
{
    std::lock_guard<std::mutex> guard(m_Lock);
    m_Action = action;
    m_bSet = 1;
    m_bSetup = 0; // a new move is set up afresh
    m_bPause = 0;
    if (CEvent* end = m_pEndEvent.load()) end->ResetEvent();
    return 1;
}

int CKr2DdveAct::Set2D(const tag2DDVEPRM* params, long count, long channel)
{
    zk::fx::DveAction action;
    if (m_bRunning.load() || !zk::fx::make_dve_action(params, count, channel, action)) return 0;
    return take_action(action);
}

int CKr2DdveAct::Set2D(long pattern, long out, long fields, long channel)
{
    zk::fx::DveAction action;
    if (m_bRunning.load() || !zk::fx::make_dve_pattern(pattern, out, fields, channel, action)) return 0;
    return take_action(action);
}

int CKr2DdveAct::Setup2DParam(long segment)
{
    if (segment < 1 || segment >= zk::fx::kDveMaxKeypoints) return 0;
    std::lock_guard<std::mutex> guard(m_Lock);
    return zk::fx::dve_setup_segment(m_Move, m_Action, static_cast<int>(segment)) ? 1 : 0;
}

int CKr2DdveAct::Set2DPosition(long field, long segment)
{
    std::lock_guard<std::mutex> guard(m_Lock);
    if (m_Move.segment < 1 || segment != m_Move.segment) return 0;
    zk::fx::dve_position_field(m_Move, m_Action, field);
    zk::fx::dve_apply(m_Move, *this);
    return 1;
}

long CKr2DdveAct::GetFieldMax(long keypoint)
{
    if (keypoint < 0 || keypoint >= zk::fx::kDveMaxKeypoints) return 0;
    std::lock_guard<std::mutex> guard(m_Lock);
    return zk::fx::dve_segment_fields(m_Action, static_cast<int>(keypoint));
}

int CKr2DdveAct::GetFiestaChannel() const
{
    std::lock_guard<std::mutex> guard(m_Lock);
    return zk::fx::dve_fiesta_channel(m_Action.channel);
}

int CKr2DdveAct::send_locked()
{
    return zk::send_dve_record(m_pGraph.load(), zk::fx::dve_fiesta_channel(m_Action.channel), *Get2DdveKeyframe()) >= 0 ? 1 : 0;
}

int CKr2DdveAct::Set2DDveActKeyFrame()
{
    std::lock_guard<std::mutex> guard(m_Lock);
    return send_locked();
}

int CKr2DdveAct::setup_locked()
{
    if (!zk::fx::dve_setup_segment(m_Move, m_Action, 1)) return 0;
    m_nField = 0;
    zk::fx::dve_position_field(m_Move, m_Action, 0);
    zk::fx::dve_apply(m_Move, *this);
    send_locked();
    return 1;
}

int CKr2DdveAct::Setup2D()
{
    if (!m_pGraph.load() || m_bRunning.load()) return 0;
    std::lock_guard<std::mutex> guard(m_Lock);
    int fresh = 0;
    if (!m_bSetup.load()) {
        if (!setup_locked()) return 0;
        m_bSetup = 1;
        fresh = 1;
    }
    zk::fx::dve_apply(m_Move, *this);
    return fresh;
}

int CKr2DdveAct::Start2D()
{
    if (!m_pGraph.load() || m_bRunning.load() || m_bPause.load()) return 0;
    if (!m_bSetup.load()) {
        Setup2D();
        if (!m_bSetup.load()) return 0;
    }
    m_Worker.join(); // a run that has just stopped by itself
    m_bBreak = 0;
    m_bRunning = 1;
    if (!m_Worker.start([this](unsigned long) { return on_field(); }, THREAD_PRIORITY_TIME_CRITICAL, "2D DVE act")) {
        m_bRunning = 0;
        return 0;
    }
    return 1;
}

int CKr2DdveAct::ReStart2D()
{
    if (!m_pGraph.load() || !m_bPause.load() || m_bRunning.load()) return 0;
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        // The move as it stood when it paused: the saved segment stepped to the saved field.
        if (!zk::fx::dve_setup_segment(m_Move, m_Action, m_nSavedSegment)) return 0;
        for (long f = 1; f <= m_nSavedField; ++f) zk::fx::dve_position_field(m_Move, m_Action, f);
        m_nField = m_nSavedField;
    }
    m_Worker.join();
    m_bPause = 0;
    m_bBreak = 0;
    m_bRunning = 1;
    if (!m_Worker.start([this](unsigned long) { return on_field(); }, THREAD_PRIORITY_TIME_CRITICAL, "2D DVE act")) {
        m_bRunning = 0;
        m_bPause = 1;
        return 0;
    }
    return 1;
}

int CKr2DdveAct::Break2D()
{
    if (!m_bRunning.load()) return 0;
    m_bBreak = 1;
    return 1;
}

int CKr2DdveAct::Pause2D()
{
    if (!m_bRunning.load()) return 0;
    m_bPause = 1;
    return 1;
}

int CKr2DdveAct::Wait2D()
{
    while (m_bRunning.load()) WaitForSingleObject(m_hProgress, zk::kFieldPollMs);
    WaitField();
    WaitField();
    return 1;
}

int CKr2DdveAct::WaitField()
{
    m_bFieldWait = 1;
    while (m_bFieldWait.load()) WaitForSingleObject(m_hFieldWait, zk::kFieldPollMs);
    return 1;
}

void CKr2DdveAct::Set2DDveEndEvent(CEvent* event) { m_pEndEvent = event; }

void CKr2DdveAct::SetEvent(long field)
{
    m_nLastField = field;
    // The field wait first: a Wait2D woken by this field's end of the move counts its two
    // fields from the next one.
    if (m_bFieldWait.exchange(0)) ::SetEvent(m_hFieldWait);
    if (m_bRunning.load()) m_Worker.post(static_cast<unsigned long>(field));
    ::SetEvent(m_hProgress);
}

int CKr2DdveAct::PostionDirect2D(double x, double y, double width, double height)
{
    std::lock_guard<std::mutex> guard(m_Lock);
    Set2DdveHorPos(x);
    Set2DdveVerPos(y);
    Set2DdveHorSize(width);
    Set2DdveVerSize(height);
    return 1;
}

int CKr2DdveAct::PostionDirect2DChnage(double x, double y, double width, double height)
{
    return PostionDirect2D(x / kWidth, y / kHeight, width / kWidth, height / kHeight);
}

bool CKr2DdveAct::on_field()
{
    bool ended = false;
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        ++m_nField;
        zk::fx::dve_position_field(m_Move, m_Action, m_nField);
        zk::fx::dve_apply(m_Move, *this);
        send_locked();
        if (m_nField >= m_Move.fields) {
            const int next = m_Move.segment + 1;
            if (next >= m_Action.count) {
                ended = true;
            } else {
                zk::fx::dve_setup_segment(m_Move, m_Action, next);
                m_nField = 0;
            }
        }
        if (ended || m_bBreak.load()) {
            m_bPause = 0; // an ended or broken move has nothing to go on from
            ended = true;
        } else if (m_bPause.load()) {
            m_nSavedSegment = m_Move.segment;
            m_nSavedField = m_nField;
            ended = true;
        }
    }
    if (ended) finish_run();
    return !ended;
}

void CKr2DdveAct::finish_run()
{
    m_bSetup = 0;
    m_bBreak = 0;
    m_bRunning = 0;
    if (CEvent* end = m_pEndEvent.load()) end->SetEvent();
    ::SetEvent(m_hProgress);
}
