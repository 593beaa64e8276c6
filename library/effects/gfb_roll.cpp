// CGfbRoll: starting a push, its worker sending each field's board copies, and the banks set
// straight at the end.
#include "effects/gfb_roll.h"

#include "core/errors.h"
#include "onair/kr_gfb.h"
#include "onair/mq_graph.h"

CGfbRoll::CGfbRoll() = default;

CGfbRoll::~CGfbRoll()
{
    m_Worker.stop();
}

void CGfbRoll::Initial(CMQGraph* graph, CKrGfb* gfb)
{
    m_pGraph = graph;
    m_pGfb = gfb;
}

int CGfbRoll::GfbRoll(long rollMode, long direction, long amount, long amountIsStep)
{
    if (m_bRunning.load() || !m_pGraph || !m_pGfb) return ZK_FAIL(0);
    SetRollMode(rollMode);
    m_Params = zk::fx::make_gfb_roll(rollMode, direction, amount, amountIsStep);
    // The incoming picture waits in the back area, from where each field's copy takes its part.
    const int next = m_pGfb->GetBankNext();
    if (m_pGraph->GfbBkWriteBuff(m_pGfb->GetGfbBuff(next), m_pGfb->GetGfbWidth(), m_pGfb->GetGfbHeight(), 0, 0,
                                 CKrGfb::kWidth, CKrGfb::kHeight, 0, 0) != 0)
        return ZK_FAIL(0);
    // A push that ended by itself may still be leaving its thread.
    m_Worker.join();
    m_State = zk::fx::GfbRollState{};
    m_bBreak = 0;
    m_bRunning = 1;
    if (!m_Worker.start([this](unsigned long field) { return RunField(field); }, THREAD_PRIORITY_TIME_CRITICAL,
                        "gfb roll")) {
        m_bRunning = 0;
        return ZK_FAIL(0);
    }
    return 1;
}

void CGfbRoll::SetRollMode(long rollMode)
{
    m_nRollMode = rollMode;
}

int CGfbRoll::CheckRollEnd()
{
    return m_bRunning.load();
}

int CGfbRoll::WaitRollEnd()
{
    const int running = m_bRunning.load();
    if (running) m_Worker.join();
    return running;
}

int CGfbRoll::RollEnd()
{
    m_bBreak = 1;
    return WaitRollEnd();
}

void CGfbRoll::SetEvent(unsigned long field)
{
    m_Worker.post(field);
}

bool CGfbRoll::RunField(unsigned long field)
{
    // The mode may be changed while the push runs; it counts from the next field.
    m_Params.mode = zk::fx::gfb_roll_mode(m_nRollMode.load());
    const zk::fx::GfbRollFieldOutcome outcome = zk::fx::gfb_roll_field(m_State, m_Params, field, m_bBreak.load() != 0);
    if (outcome.destination) Blit(*outcome.destination);
    if (outcome.source) Blit(*outcome.source);
    if (!outcome.ended) return true;
    CBox changed;
    m_pGfb->CopyBank(m_pGfb->GetBankNext(), m_pGfb->GetBankOa(), &changed);
    m_bBreak = 0;
    m_bRunning = 0;
    return false;
}

void CGfbRoll::Blit(const zk::fx::BlitWords& w)
{
    m_pGraph->GfbBlit(w.left, w.top, w.right, w.bottom, w.vshift, w.hshift);
}
