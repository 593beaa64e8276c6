// CKrOnlineCtl: the banks and the copies of what changed in them to the outputs.
//
// Every bank operation is CKrGfb's; what it reports changed goes to the output that shows the
// bank (CopyGfbRectBank). The on-air bank's rectangle is written into the back area of the
// graphics frame buffer and handed to the vertical-sync thread as field work, which copies it
// to the front area one field at a time; the writer waits for the previous field work first,
// so a rectangle is never overwritten in the back area before both its fields were shown.
#include <algorithm>

#include "core/errors.h"
#include "framebuffer/kr_frame_buffer.h"
#include "onair/kr_gfb.h"
#include "onair/mq_graph.h"
#include "online/kr_online_ctl.h"
#include "platform/win32/win32_base.h"

namespace {

// The writer's look at the field work: every 8 ms, for about as long as the field work's own
// registration waits (102 ms). A vertical-sync thread that has not taken the work by then is
// not coming (no field interrupt, or a stuck device).
constexpr DWORD kMainOutPollMs = 8;
constexpr int kMainOutPolls = 13;

// The part of `box` that lies on the picture and on `fb`.
CBox on_picture(const CBox& box, const CKrFrameBuffer& fb)
{
    const long right = std::min({box.x + box.width, static_cast<long>(fb.GetWidth()), CKrGfb::kWidth});
    const long bottom = std::min({box.y + box.height, static_cast<long>(fb.GetHeight()), CKrGfb::kHeight});
    const long x = std::max(box.x, 0L), y = std::max(box.y, 0L);
    return CBox(x, y, std::max(right - x, 0L), std::max(bottom - y, 0L));
}

} // namespace

int CKrOnlineCtl::Changed(int result, int bank, const CBox& box)
{
    if (result < 0) return ZK_FAIL(-1);
    return CopyGfbRectBank(bank, box);
}

int CKrOnlineCtl::ScreenClear()
{
    return ScreenClearBank(Ready() ? m_pGfb->GetBankWrite() : 0);
}

int CKrOnlineCtl::ScreenClearCol(DWORD colour)
{
    return ScreenClearBankCol(Ready() ? m_pGfb->GetBankWrite() : 0, colour);
}

int CKrOnlineCtl::ScreenClearBank(int bank)
{
    if (!Ready()) return ZK_FAIL(-1);
    CBox box;
    return Changed(m_pGfb->ScreenClear(bank, &box), bank, box);
}

int CKrOnlineCtl::ScreenClearBankCol(int bank, DWORD colour)
{
    if (!Ready()) return ZK_FAIL(-1);
    CBox box;
    return Changed(m_pGfb->ScreenClearCol(bank, colour, &box), bank, box);
}

int CKrOnlineCtl::SetBankDisp(int oa, int next)
{
    const int a = SetBankOa(oa);
    const int b = SetBankNext(next);
    return a < 0 || b < 0 ? ZK_FAIL(-1) : 0;
}

int CKrOnlineCtl::SetBankOa(int bank)
{
    if (!Ready()) return ZK_FAIL(-1);
    CBox box;
    const int changed = m_pGfb->SetBankOa(bank, &box);
    if (changed <= 0) return changed < 0 ? ZK_FAIL(-1) : 0;
    return CopyGfbRectBank(bank, box);
}

int CKrOnlineCtl::SetBankNext(int bank)
{
    if (!Ready()) return ZK_FAIL(-1);
    CBox box;
    const int changed = m_pGfb->SetBankNext(bank, &box);
    if (changed <= 0) return changed < 0 ? ZK_FAIL(-1) : 0;
    return CopyGfbRectBank(bank, box);
}

int CKrOnlineCtl::SetBankWrite(int bank)
{
    if (!Ready()) return ZK_FAIL(-1);
    return m_pGfb->SetBankWrite(bank) < 0 ? ZK_FAIL(-1) : 0;
}

int CKrOnlineCtl::SetCopyMode(int mode)
{
    if (!Ready()) return ZK_FAIL(-1);
    return m_pGfb->SetCopyMode(mode) < 0 ? ZK_FAIL(-1) : 0;
}

int CKrOnlineCtl::CopyBank(int src, int dst)
{
    if (!Ready()) return ZK_FAIL(-1);
    CBox box;
    return Changed(m_pGfb->CopyBank(src, dst, &box), dst, box);
}

int CKrOnlineCtl::CopyBankBox(int src, int x, int y, int w, int h, int dst, int dx, int dy)
{
    if (!Ready()) return ZK_FAIL(-1);
    CBox box;
    return Changed(m_pGfb->CopyBankBox(src, x, y, w, h, dst, dx, dy, &box), dst, box);
}

int CKrOnlineCtl::BoxFill(int x, int y, int w, int h, DWORD colour)
{
    if (!Ready()) return ZK_FAIL(-1);
    CBox box;
    return Changed(m_pGfb->BoxFill(x, y, w, h, colour, &box), m_pGfb->GetBankWrite(), box);
}

int CKrOnlineCtl::CopyGfbRectBank(int bank, CBox box)
{
    if (!Ready()) return ZK_FAIL(-1);
    if (bank == m_pGfb->GetBankOa()) return CopyGfbMainOut(m_pGfb->GetGfb(bank), box);
    if (bank == m_pGfb->GetBankNext() && m_bPreview.load() && !m_bLiveSuper.load())
        return CopyGfbPreviewOut(m_pGfb->GetGfb(bank), box);
    return 0;
}

int CKrOnlineCtl::CopyGfbMainOut(CKrFrameBuffer* fb, CBox box)
{
    if (!Ready() || !fb || fb->IsBuffer()) return ZK_FAIL(-1);
    // Only the picture's part goes: beyond it the front area holds the effects' staging
    // columns and lines, which a copy from the back area would overwrite.
    const CBox part = on_picture(box, *fb);
    if (part.width <= 0 || part.height <= 0) return 0;
    for (int look = 0; m_VSyncWork.GetWorkFlag() && look < kMainOutPolls; ++look) Sleep(kMainOutPollMs);
    if (m_VSyncWork.GetWorkFlag()) return Fail("CopyGfbMainOut TimeOut");
    if (m_pGraph->GfbBkWriteBuff(fb->GetBufferByte(), static_cast<long>(fb->GetWidth()),
                                 static_cast<long>(fb->GetHeight()), part.x, part.y, part.width, part.height, part.x,
                                 part.y) != 0)
        return ZK_FAIL(-1);
    return m_VSyncWork.SetVSyncWork(part) == 0 ? 0 : ZK_FAIL(-1);
}

int CKrOnlineCtl::CopyGfbPreviewOut(CKrFrameBuffer* fb, CBox box)
{
    if (!Ready() || !fb || fb->IsBuffer()) return ZK_FAIL(-1);
    if (box.width <= 0 || box.height <= 0) return 0;
    return m_pGraph->PutFiesta(m_nPreviewChannel.load(), fb->GetBufferByte(), static_cast<long>(fb->GetWidth()),
                               static_cast<long>(fb->GetHeight()), box.x, box.y, box.width, box.height, box.x,
                               box.y) == 0
               ? 0
               : ZK_FAIL(-1);
}
