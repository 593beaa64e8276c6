// CKrRoll: setting a roll, putting its first screen up, and the worker that carries out the
// core's decision for every field on the effects graph.
#include "effects/kr_roll.h"

#include "core/errors.h"
#include "effects/gfb_field_write.h"
#include "onair/mq_graph.h"

namespace {

using zk::fx::Field;
using zk::fx::RollKind;

// How long Crear waits for a broken-off roll to finish its fields. Two fields are enough; when
// none come (the vertical-sync thread has stopped), the roll is ended without them.
constexpr DWORD kBreakWaitMs = 300;

} // namespace

CKrRoll::CKrRoll() = default;

CKrRoll::~CKrRoll()
{
    Crear();
}

int CKrRoll::Initial(CMQGraph* graph, void* onlineCtl)
{
    m_pGraph = graph;
    m_pHost = static_cast<zk::RollHost*>(onlineCtl);
    return 1;
}

int CKrRoll::SetRoll(CKrFrameBuffer* image, int step, int direction, int mode)
{
    if (m_bRunning.load()) return ZK_FAIL(0);
    Crear();
    if (!image || image->IsBuffer()) return ZK_FAIL(0);
    const zk::fx::RollSetting setting =
        zk::fx::make_roll_setting(static_cast<long>(image->GetWidth()), step, direction, mode);
    m_pImage = image;
    m_nStep = setting.step;
    m_nDirection = setting.direction;
    m_nMode = setting.mode;
    m_Kind = setting.kind;
    if (m_Kind == RollKind::SubpixelVertical) {
        if (!SetSubpixcelImage(image)) {
            Crear();
            return ZK_FAIL(0);
        }
    } else {
        m_pSlot0 = image;
    }
    m_bSetup = 0;
    m_pEndEvent = nullptr;
    return 1;
}

int CKrRoll::SetupRoll()
{
    if (!m_pGraph || !m_pImage || m_bRunning.load()) return ZK_FAIL(0);
    if (m_bSetup.load()) return 1;
    const int mode = m_nMode.load();
    if (mode == 0 || mode == 1) {
        if (!m_pHost) return ZK_FAIL(0);
        if (mode == 0) {
            // The roll starts on the picture's first screen.
            if (m_pHost->ImagePut(m_pImage, 0, 0) < 0) return ZK_FAIL(0);
        } else {
            // The picture enters a clear screen.
            CKrFrameBuffer blank(zk::fx::kRollScreenWidth, zk::fx::kRollScreenHeight, 1);
            if (blank.IsBuffer() || m_pHost->ImagePut(&blank, 0, 0) < 0) return ZK_FAIL(0);
        }
    }
    m_bSetup = 1;
    return 1;
}

int CKrRoll::StartRoll()
{
    return Start(0);
}

int CKrRoll::StartRollSleep()
{
    return Start(1);
}

int CKrRoll::Start(int sleep)
{
    if (!m_pGraph || !m_pImage || m_bRunning.load()) return ZK_FAIL(0);
    if (!m_bSetup.load() && !SetupRoll()) return ZK_FAIL(0);
    m_bSleep = sleep;
    // A roll that ended by itself may still be leaving its thread.
    m_Worker.join();
    m_Params = zk::fx::RollParams{m_Kind, m_nMode.load(), static_cast<long>(m_pImage->GetWidth()),
                                  static_cast<long>(m_pImage->GetHeight()), m_Kind == RollKind::SubpixelVertical};
    m_State = zk::fx::start_roll(m_Params);
    m_nNowPos = 0;
    m_nEndPos = m_State.end;
    m_bBreak = 0;
    m_bRunning = 1;
    if (!m_Worker.start([this](unsigned long field) { return RunField(field); }, THREAD_PRIORITY_TIME_CRITICAL,
                        "roll")) {
        m_bRunning = 0;
        return ZK_FAIL(0);
    }
    return 1;
}

int CKrRoll::BreakRoll()
{
    if (!m_bRunning.load()) return 0;
    m_bBreak = 1;
    return 1;
}

int CKrRoll::SetStepRoll(int step)
{
    m_nStep = zk::fx::roll_step_for(step, m_nDirection.load());
    return 1;
}

int CKrRoll::GetStepRoll()
{
    return m_nStep.load();
}

int CKrRoll::GetStateRoll()
{
    return m_bRunning.load();
}

long CKrRoll::GetStateNowPosRoll()
{
    return m_bRunning.load() ? m_nNowPos.load() : 0;
}

long CKrRoll::GetStatePosSizeRoll()
{
    return m_bRunning.load() ? m_nEndPos.load() : 0;
}

unsigned long CKrRoll::GetTimeRoll()
{
    const int vertical = m_nDirection.load();
    return zk::fx::comp_step_to_time(zk::fx::roll_image_size(m_pImage, vertical), m_nStep.load(), vertical,
                                     m_nMode.load());
}

int CKrRoll::CompTimeToStep(int size, unsigned long ms, int vertical, int mode)
{
    return zk::fx::comp_time_to_step(size, ms, vertical, mode);
}

int CKrRoll::CompTimeToStep(CKrFrameBuffer* image, unsigned long ms, int vertical, int mode)
{
    return zk::fx::comp_time_to_step(zk::fx::roll_image_size(image, vertical), ms, vertical, mode);
}

unsigned long CKrRoll::CompStepToTime(int size, int step, int vertical, int mode)
{
    return zk::fx::comp_step_to_time(size, step, vertical, mode);
}

unsigned long CKrRoll::CompStepToTime(CKrFrameBuffer* image, int step, int vertical, int mode)
{
    return zk::fx::comp_step_to_time(zk::fx::roll_image_size(image, vertical), step, vertical, mode);
}

void CKrRoll::SetRollEndEvent(CEvent* event)
{
    m_pEndEvent = event;
}

void CKrRoll::Crear()
{
    // Made before the worker is stopped and gone after, so the worker never signals it late.
    CEvent ended;
    if (m_bRunning.load()) {
        m_pEndEvent = &ended;
        m_bBreak = 1;
        // The worker clears the running flag before it reads the end event: when it still runs
        // here, it will signal this one.
        if (m_bRunning.load()) ended.Lock(kBreakWaitMs);
    }
    m_Worker.stop();
    // A crawl whose fields stopped coming was ended without its last field: the 2D DVE goes
    // back to rest here instead.
    if (m_bRunning.load() && m_Params.kind == RollKind::Crawl) SetDveHSub(0);
    m_pEndEvent = nullptr;
    m_nStep = 0;
    m_nDirection = 0;
    m_nMode = 0;
    m_Kind = RollKind::SubpixelVertical;
    m_bRunning = 0;
    m_bSetup = 0;
    m_bBreak = 0;
    m_nNowPos = 0;
    m_nEndPos = 0;
    m_pImage = nullptr;
    m_pSlot0 = nullptr;
    FreeSubpixel();
}

int CKrRoll::SetSubpixcelImage(CKrFrameBuffer* image)
{
    if (!image || image->IsBuffer() || m_bRunning.load()) return ZK_FAIL(0);
    for (int k = 1; k <= 9; ++k) {
        CKrFrameBuffer& slot = m_Subpixel[k - 1];
        slot.DeleteFrameBuffer();
        if (!zk::fx::make_subpixel_image(*image, slot, k)) {
            FreeSubpixel();
            return ZK_FAIL(0);
        }
    }
    m_pSlot0 = image;
    return 1;
}

int CKrRoll::MakeSubpixcelImage(CKrFrameBuffer* source, CKrFrameBuffer* target, int k)
{
    if (!source || !target) return ZK_FAIL(0);
    return zk::fx::make_subpixel_image(*source, *target, k) ? 1 : ZK_FAIL(0);
}

int CKrRoll::SetDveInit()
{
    return SetDveHSub(0);
}

int CKrRoll::SetDveHSub(int k)
{
    if (!m_pGraph) return 0;
    const MQVIDFX_2DDVE_KEYFRAME record = zk::fx::roll_dve_record(k);
    m_pGraph->Send2DDveKeyframe1(&record);
    m_pGraph->Send2DDveKeyframe3(&record);
    return 0;
}

void CKrRoll::SetEvent(unsigned long field)
{
    m_Worker.post(field);
}

bool CKrRoll::RunField(unsigned long field)
{
    const zk::fx::RollFieldOutcome outcome =
        zk::fx::roll_field(m_State, m_Params, m_nStep.load(), field, m_bBreak.load() != 0);
    Apply(outcome);
    m_nNowPos = m_State.position;
    m_nEndPos = m_State.end;
    if (!outcome.ended) return true;
    // The crawl's last fractions never reach the 2D DVE: put it back at rest.
    if (m_Params.kind == RollKind::Crawl) SetDveHSub(0);
    m_bRunning = 0;
    m_bSetup = 0;
    m_bBreak = 0;
    if (CEvent* event = m_pEndEvent.load()) event->SetEvent();
    return false;
}

void CKrRoll::Apply(const zk::fx::RollFieldOutcome& outcome)
{
    if (outcome.display_top) m_pGraph->GfbDispPos(0);
    if (outcome.dve_fraction) SetDveHSub(*outcome.dve_fraction);
    if (outcome.write) zk::write_field(*m_pGraph, *SourcePicture(outcome.write->source), *outcome.write);
    if (outcome.copy) {
        const zk::fx::FieldCopy& c = *outcome.copy;
        if (c.field == Field::Second)
            m_pGraph->GfbCopyFrtoFr_Second(c.x, c.y, c.width, c.height, c.dx, c.dy);
        else
            m_pGraph->GfbCopyFrtoFr_First(c.x, c.y, c.width, c.height, c.dx, c.dy);
    }
}

const CKrFrameBuffer* CKrRoll::SourcePicture(int slot) const
{
    if (slot >= 1 && slot <= 9 && !m_Subpixel[slot - 1].IsBuffer()) return &m_Subpixel[slot - 1];
    return m_pSlot0;
}

void CKrRoll::FreeSubpixel()
{
    for (CKrFrameBuffer& slot : m_Subpixel) slot.DeleteFrameBuffer();
}
