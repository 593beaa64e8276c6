// CKrOnlineCtl: the mixer's two wipe units, the two 2D DVE slides and the three 2D DVE
// actions. Each operation is one call of its runner; the runners keep the units' states and
// step them when the vertical-sync thread hands them a field.
#include "core/errors.h"
#include "effects/dve_action_runner.h"
#include "effects/dve_slide_runner.h"
#include "effects/wipe_runner.h"
#include "online/kr_online_ctl.h"

namespace {

// The runners answer 0 / -1; the controller's wipe and slide operations answer the same.
int step_result(long result)
{
    return result == 0 ? 0 : ZK_FAIL(-1);
}

// The 2D DVE actions answer 1 done / 0 refused.
int act_result(int result)
{
    return result == 1 ? 1 : ZK_FAIL(0);
}

} // namespace

// ---- wipe ----

int CKrOnlineCtl::WipeSet(int unit, unsigned long pattern, unsigned long modifier, unsigned long mode,
                          unsigned long value1, unsigned long value2, unsigned long direction, unsigned long steps)
{
    if (!Ready()) return ZK_FAIL(-1);
    return step_result(m_pWipes->WipeSet(unit, pattern, modifier, mode, value1, value2, direction, steps));
}

int CKrOnlineCtl::WipeStart(int which)
{
    return Ready() ? step_result(m_pWipes->WipeStart(which)) : ZK_FAIL(-1);
}

int CKrOnlineCtl::WipeWait()
{
    return Ready() ? step_result(m_pWipes->WipeWait()) : ZK_FAIL(-1);
}

void CKrOnlineCtl::WipeThread(int unit)
{
    if (Ready()) m_pWipes->WipeThread(unit);
}

int CKrOnlineCtl::GetWipeState(int unit) const
{
    return m_pWipes->GetWipeState(unit);
}

// ---- 2D DVE slides ----

int CKrOnlineCtl::DveSlideSet(int slide, int direction, int in, unsigned long borderWidth, unsigned long borderArgb,
                              unsigned long steps)
{
    if (!Ready()) return ZK_FAIL(-1);
    return step_result(m_pDveSlides->DveSlideSet(slide, direction, in, borderWidth, borderArgb, steps));
}

int CKrOnlineCtl::DveSlideStart(int which)
{
    return Ready() ? step_result(m_pDveSlides->DveSlideStart(which)) : ZK_FAIL(-1);
}

int CKrOnlineCtl::DveSlideWait()
{
    return Ready() ? step_result(m_pDveSlides->DveSlideWait()) : ZK_FAIL(-1);
}

void CKrOnlineCtl::DevSlideThread(int slide)
{
    if (Ready()) m_pDveSlides->DevSlideThread(slide);
}

int CKrOnlineCtl::GetDveSlideState(int slide) const
{
    return m_pDveSlides->GetDveSlideState(slide);
}

// ---- 2D DVE actions ----

int CKrOnlineCtl::Set2DCustom(tag2DDVEPRM* params, int count, int act)
{
    return Ready() ? act_result(m_pDveActs->Set2DCustom(params, count, act)) : ZK_FAIL(0);
}

int CKrOnlineCtl::Set2DPtn(int pattern, int out, int fields, int act)
{
    return Ready() ? act_result(m_pDveActs->Set2DPtn(pattern, out, fields, act)) : ZK_FAIL(0);
}

int CKrOnlineCtl::Setup2DDveAct(int act)
{
    return Ready() ? act_result(m_pDveActs->Setup2DDveAct(act)) : ZK_FAIL(0);
}

int CKrOnlineCtl::Start2DDveAct(int act)
{
    return Ready() ? act_result(m_pDveActs->Start2DDveAct(act)) : ZK_FAIL(0);
}

int CKrOnlineCtl::ReStart2DDveAct(int act)
{
    return Ready() ? act_result(m_pDveActs->ReStart2DDveAct(act)) : ZK_FAIL(0);
}

int CKrOnlineCtl::Break2DDveAct(int act)
{
    return Ready() ? act_result(m_pDveActs->Break2DDveAct(act)) : ZK_FAIL(0);
}

int CKrOnlineCtl::Pause2DDveAct(int act)
{
    return Ready() ? act_result(m_pDveActs->Pause2DDveAct(act)) : ZK_FAIL(0);
}

int CKrOnlineCtl::Wait2DDveAct()
{
    return Ready() ? act_result(m_pDveActs->Wait2DDveAct()) : ZK_FAIL(0);
}

void CKrOnlineCtl::Act2DDveThread(int act)
{
    if (Ready()) m_pDveActs->Act2DDveThread(act);
}

int CKrOnlineCtl::PostionDirect2DDve(double x, double y, double width, double height, int act)
{
    return Ready() ? act_result(m_pDveActs->PostionDirect2DDve(x, y, width, height, act)) : ZK_FAIL(0);
}

int CKrOnlineCtl::PostionDirect2DDveChnage(double x, double y, double width, double height, int act)
{
    return Ready() ? act_result(m_pDveActs->PostionDirect2DDveChnage(x, y, width, height, act)) : ZK_FAIL(0);
}

int CKrOnlineCtl::GetActState(int act) const
{
    return m_pDveActs->GetActState(act);
}
