// CKrSlide: the legacy operations over the slide core, the slot threads, and SlideGo's play,
// wait and hand-over of the end pictures to the banks.
#include "effects/kr_slide.h"

#include <span>
#include <utility>

#include "core/errors.h"
#include "effects/gfb_field_write.h"
#include "effects/kr_fade_ctr.h"
#include "onair/kr_gfb.h"
#include "onair/mq_graph.h"
#include "platform/win32/win32_base.h"

using zk::fx::kSlideSlots;

namespace {

// How often SlideGo looks whether its slots are still playing.
constexpr DWORD kPollMs = 67;

} // namespace

CKrSlideInfo::CKrSlideInfo() = default;
CKrSlideInfo::~CKrSlideInfo() = default;

CKrSlide::CKrSlide() = default;

CKrSlide::~CKrSlide()
{
    // The slot threads call back into this object: they end before any member goes.
    for (CKrSlideInfo& info : m_Info) info.m_Thread.stop();
}

int CKrSlide::Initial(CMQGraph* graph, CKrGfb* gfb, CKrFadeCtr* fade)
{
    m_pGraph = graph;
    m_pGfb = gfb;
    m_pFade = fade;
    return 0;
}

int CKrSlide::SlideSet(int slot, int type, int direction, int speed, int pixels, int delay, int outBank, int x, int y,
                       int w, int h, int inBank, int inX, int inY, unsigned long colour, int limit)
{
    if (zk::fx::is_fade_type(type)) {
        // A fade refused by the fade controller (which reported why) is not prepared: say so.
        if (!m_pFade || m_pFade->FadeSet(slot, type - 10, speed, delay, outBank, x, y, w, h, inBank) != 1)
            return ZK_FAIL(-1);
        ++m_nFadeCount;
        return 0;
    }
    if (slot < 1 || slot > kSlideSlots || !m_pGfb) return ZK_FAIL(-1);
    const zk::fx::SlideSetArgs args{slot, type, direction, speed, pixels, delay, outBank, x,
                                    y,    w,    h,         inBank, inX, inY, colour, limit};
    // The four banks are one array inside CKrGfb.
    const std::span<CKrFrameBuffer> banks(m_pGfb->GetGfb(0), CKrGfb::kBanks);
    zk::fx::SlideSlot prepared;
    if (zk::fx::prepare_slide(args, banks, m_pGfb->GetBankOa(), prepared) != 0) return ZK_FAIL(-1);
    const int index = slot - 1;
    Clear(index);
    m_Info[index].m_Slot = std::move(prepared);
    m_bInUse[index] = true;
    return 0;
}

int CKrSlide::SlideGo()
{
    for (int i = 0; i < kSlideSlots; ++i) {
        CKrSlideInfo& info = m_Info[i];
        if (!m_bInUse[i] || !info.m_Slot.outgoing_on_air) continue;
        info.m_Run = zk::fx::start_slide(info.m_Slot);
        info.m_nFieldNumber = 0;
        if (!info.m_Thread.start([this, i](unsigned long field) { return VSyncEvent(i, field); },
                                 THREAD_PRIORITY_TIME_CRITICAL, "slide slot")) {
            ZK_FAIL(0);  // not played: its end picture still goes into the bank below
            continue;
        }
        info.m_bRunning = 1;
    }
    m_bRunning = 1;
    if (m_nFadeCount > 0 && m_pFade) m_pFade->CFadeStart();
    while (AnyRunning()) Sleep(kPollMs);
    if (m_pFade) m_pFade->FadeWait();
    m_bRunning = 0;

    // The banks take the end pictures: what the played slots left on air, and at once the end
    // of every slot that was not played.
    for (int i = 0; i < kSlideSlots; ++i) {
        if (!m_bInUse[i]) continue;
        CKrSlideInfo& info = m_Info[i];
        info.m_Thread.join();
        if (!info.m_Run.ended) zk::fx::finish_slide(info.m_Slot);
        if (m_pGfb) zk::fx::copy_slide_state(info.m_Slot, *m_pGfb->GetGfb(info.m_Slot.outgoing.bank));
    }
    if (m_nFadeCount > 0 && m_pFade) {
        m_pFade->FadeEndCopy();
        m_pFade->CFadeResetAll();
    }
    m_nFadeCount = 0;
    for (int i = 0; i < kSlideSlots; ++i) {
        if (m_bInUse[i]) Clear(i);
    }
    return 0;
}

bool CKrSlide::AnyRunning() const
{
    for (const CKrSlideInfo& info : m_Info) {
        if (info.m_bRunning.load() != 0) return true;
    }
    return false;
}

void CKrSlide::Clear(int index)
{
    CKrSlideInfo& info = m_Info[index];
    info.m_Thread.stop();
    info.m_bRunning = 0;
    info.m_Slot = zk::fx::SlideSlot{};
    info.m_Run = zk::fx::SlideRun{};
    m_bInUse[index] = false;
}

int CKrSlide::SlideClear(int index)
{
    if (index < 0 || index >= kSlideSlots) return ZK_FAIL(-1);
    Clear(index);
    return 0;
}

int CKrSlide::SlideResetAll()
{
    if (m_nFadeCount > 0 && m_pFade) m_pFade->CFadeResetAll();
    m_nFadeCount = 0;
    for (int i = 0; i < kSlideSlots; ++i) {
        if (m_bInUse[i]) Clear(i);
    }
    return 0;
}

int CKrSlide::SlideSetOne(CMoveBox& start, tagSLIDECOMP* comp, int kind, int direction, int steps, int w, int h,
                          int limit)
{
    if (!comp) return ZK_FAIL(-1);
    return zk::fx::slide_set_one(start, *comp, kind, direction, steps, w, h, limit);
}

int CKrSlide::NextSlideComp(CMoveBox& start, CMoveBox& current, tagSLIDECOMP* comp, int& result)
{
    result = comp ? zk::fx::next_slide_comp(start, current, *comp) : 2;
    return result;
}

void CKrSlide::SlideEventSet(unsigned long field)
{
    if (m_bRunning.load() == 0) return;
    for (CKrSlideInfo& info : m_Info) {
        if (info.m_bRunning.load() == 0) continue;
        info.m_nFieldNumber = field;
        info.m_Thread.post(field);
    }
}

bool CKrSlide::VSyncEvent(int index, unsigned long field)
{
    CKrSlideInfo& info = m_Info[index];
    zk::fx::SlideSlot& slot = info.m_Slot;
    const zk::fx::SlideOutcome out = zk::fx::slide_step(slot, info.m_Run, field);
    if (CMQGraph* graph = m_pGraph.load()) {
        for (const zk::fx::FieldWrite& w : out.written())
            zk::write_field(*graph, w.source == zk::fx::kOutgoingPicture ? slot.outgoing.picture : slot.incoming.picture,
                            w);
    }
    if (!out.ended) return true;
    info.m_bRunning = 0;
    return false;
}
