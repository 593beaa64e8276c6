// CKrOnlineCtl: drawing into the write bank, the frame-buffer roll, and the slide, animation
// and roll operations, each forwarded to its controller with the arguments as they come.
#include "core/errors.h"
#include "draw/draw_graph.h"
#include "draw/kr_font_draw.h"
#include "effects/gfb_roll.h"
#include "effects/kr_anime_ctr.h"
#include "effects/kr_roll.h"
#include "effects/kr_slide.h"
#include "onair/kr_gfb.h"
#include "online/kr_online_ctl.h"

// ---- drawing ----

int CKrOnlineCtl::GfbFontDisp(const char* text)
{
    if (!Ready()) return ZK_FAIL(-1);
    const int bank = m_pGfb->GetBankWrite();
    CBox box;
    if (m_pFontDraw->FontDisp(text, m_pGfb->GetGfb(bank), &box) != 0) return ZK_FAIL(-1);
    return CopyGfbRectBank(bank, box);
}

int CKrOnlineCtl::GfbGraphDisp()
{
    if (!Ready()) return ZK_FAIL(-1);
    const int bank = m_pGfb->GetBankWrite();
    if (m_pDrawGraph->DrawFrame(m_pGfb->GetGfb(bank)) != 0) return ZK_FAIL(-1);
    return CopyGfbRectBank(bank, m_pDrawGraph->GetDispEria());
}

int CKrOnlineCtl::GfbRoll(long rollMode, long direction, long amount, long amountIsStep)
{
    return Ready() ? m_pGfbRoll->GfbRoll(rollMode, direction, amount, amountIsStep) : ZK_FAIL(0);
}

// ---- slides ----

int CKrOnlineCtl::Slide_Set(int slot, int type, int direction, int speed, int pixels, int delay, int outBank, int x,
                            int y, int w, int h, int inBank, int inX, int inY, unsigned long colour, int limit)
{
    if (!Ready()) return ZK_FAIL(-1);
    return m_pSlide->SlideSet(slot, type, direction, speed, pixels, delay, outBank, x, y, w, h, inBank, inX, inY,
                              colour, limit);
}

int CKrOnlineCtl::Slide_Go()
{
    if (!Ready()) return ZK_FAIL(-1);
    return m_pSlide->SlideGo();
}

int CKrOnlineCtl::Slide_ResetAll()
{
    if (!Ready()) return ZK_FAIL(-1);
    return m_pSlide->SlideResetAll();
}

// ---- animations: 1 success, 0 failure, as the controller answers ----

namespace {

// The layering the controller takes for a mode: none for 0.
struct Layering {
    int bank;
    int layer;
};

Layering layering(int mode, int bank)
{
    return mode == 0 ? Layering{-1, 0} : Layering{bank, mode};
}

} // namespace

int CKrOnlineCtl::AnimeImageSet(int no, int frames, int x, int y, int width, int height, int first, char* format,
                                int mode, int bank, int resize)
{
    if (!Ready()) return ZK_FAIL(0);
    if (m_pAnime->CAnimeSet1(no, frames, 0, POINT{0, 0}, width, height, 0, POINT{x, y}) == 0) return 0;
    const Layering l = layering(mode, bank);
    return m_pAnime->CAnimeLoad(no, first, l.bank, l.layer, format, resize);
}

int CKrOnlineCtl::AnimeImageSet_AniImg(int no, int frames, int x, int y, int width, int height, char* name, int mode,
                                       int bank)
{
    if (!Ready()) return ZK_FAIL(0);
    if (m_pAnime->CAnimeSet1(no, frames, 0, POINT{0, 0}, width, height, 0, POINT{x, y}) == 0) return 0;
    const Layering l = layering(mode, bank);
    return m_pAnime->CAnimeLoad_AniImg(no, l.bank, l.layer, name);
}

int CKrOnlineCtl::AnimeImageSave(int no, char* name)
{
    return Ready() ? m_pAnime->CAnimeSave(no, name) : ZK_FAIL(0);
}

int CKrOnlineCtl::AnimeModeSet(int no, int passes, int delay, int hold, int stopAtOnce)
{
    return Ready() ? m_pAnime->CAnimeSet2(no, passes, delay, hold, stopAtOnce) : ZK_FAIL(0);
}

int CKrOnlineCtl::AnimeReset(int no)
{
    return Ready() ? m_pAnime->CAnimeReset(no) : ZK_FAIL(0);
}

int CKrOnlineCtl::AnimeStart()
{
    return Ready() ? m_pAnime->CAnimeStart() : ZK_FAIL(0);
}

int CKrOnlineCtl::AnimeStop(int no)
{
    return Ready() ? m_pAnime->CAnimeStop(no) : ZK_FAIL(0);
}

int CKrOnlineCtl::AnimeStopAll()
{
    return Ready() ? m_pAnime->CAnimeStopAll() : ZK_FAIL(0);
}

int CKrOnlineCtl::AnimeWait()
{
    // Nothing was started when nothing is up: nothing to wait for.
    return Ready() ? m_pAnime->AnimeWait() : 1;
}

// ---- the roll: 1 success, 0 failure, as the roll answers ----

int CKrOnlineCtl::SetRoll(CKrFrameBuffer* image, int step, int direction, int mode)
{
    return Ready() ? m_pRoll->SetRoll(image, step, direction, mode) : ZK_FAIL(0);
}

int CKrOnlineCtl::SetupRoll()
{
    return Ready() ? m_pRoll->SetupRoll() : ZK_FAIL(0);
}

int CKrOnlineCtl::StartRoll()
{
    return Ready() ? m_pRoll->StartRoll() : ZK_FAIL(0);
}

int CKrOnlineCtl::StartRollSleep()
{
    return Ready() ? m_pRoll->StartRollSleep() : ZK_FAIL(0);
}

int CKrOnlineCtl::BreakRoll()
{
    return Ready() ? m_pRoll->BreakRoll() : ZK_FAIL(0);
}

// The queries and conversions need no board: the roll answers them before Initial too.
int CKrOnlineCtl::SetStepRoll(int step)
{
    return m_pRoll->SetStepRoll(step);
}

int CKrOnlineCtl::GetStepRoll()
{
    return m_pRoll->GetStepRoll();
}

unsigned long CKrOnlineCtl::GetTimeRoll()
{
    return m_pRoll->GetTimeRoll();
}

int CKrOnlineCtl::GetStateRoll()
{
    return m_pRoll->GetStateRoll();
}

long CKrOnlineCtl::GetStateNowPosRoll()
{
    return m_pRoll->GetStateNowPosRoll();
}

long CKrOnlineCtl::GetStatePosSizeRoll()
{
    return m_pRoll->GetStatePosSizeRoll();
}

void CKrOnlineCtl::SetRollEndEvent(CEvent* event)
{
    m_pRoll->SetRollEndEvent(event);
}

void CKrOnlineCtl::CrearRoll()
{
    m_pRoll->Crear();
}

int CKrOnlineCtl::CompTimeToStep(int size, unsigned long ms, int vertical, int mode)
{
    return m_pRoll->CompTimeToStep(size, ms, vertical, mode);
}

int CKrOnlineCtl::CompTimeToStep(CKrFrameBuffer* image, unsigned long ms, int vertical, int mode)
{
    return m_pRoll->CompTimeToStep(image, ms, vertical, mode);
}

unsigned long CKrOnlineCtl::CompStepToTime(int size, int step, int vertical, int mode)
{
    return m_pRoll->CompStepToTime(size, step, vertical, mode);
}

unsigned long CKrOnlineCtl::CompStepToTime(CKrFrameBuffer* image, int step, int vertical, int mode)
{
    return m_pRoll->CompStepToTime(image, step, vertical, mode);
}
