// CKrOnlineCtl: life (construction, Initial, destruction), the field interrupt's handler and
// the vertical-sync thread, the field wait, the error sink, and the file and timing helpers.
#include "online/kr_online_ctl.h"

#include <cstdarg>
#include <filesystem>
#include <new>
#include <system_error>

#include "core/errors.h"
#include "draw/draw_graph.h"
#include "draw/kr_font_draw.h"
#include "effects/dve_action_runner.h"
#include "effects/dve_slide_runner.h"
#include "effects/field_wait.h"
#include "effects/gfb_roll.h"
#include "effects/kr_anime_ctr.h"
#include "effects/kr_fade_ctr.h"
#include "effects/kr_slide.h"
#include "effects/kr_tm_proc.h"
#include "effects/wipe_runner.h"
#include "onair/chk_digi_suite.h"
#include "onair/kr_gfb.h"
#include "onair/mq_graph.h"
#include "online/internal/online_helpers.h"
#include "platform/win32/win32_base.h"

namespace {

// Fields the vertical-sync thread may fall behind by before the oldest are let go: a thread
// that far behind is stuck, and catching up with ten seconds of fields would not help.
constexpr size_t kMostQueuedFields = 600;

} // namespace

CKrOnlineCtl::CKrOnlineCtl()
    : m_pGfb(std::make_unique<CKrGfb>()),
      m_pFade(std::make_unique<CKrFadeCtr>()),
      m_pSlide(std::make_unique<CKrSlide>()),
      m_pAnime(std::make_unique<CKrAnimeCtr>()),
      m_pFontDraw(std::make_unique<CKrFontDraw>()),
      m_pTmProc(std::make_unique<CKrTmProc>()),
      m_pDrawGraph(std::make_unique<CDrawGraph>()),
      m_pRoll(std::make_unique<CKrRoll>()),
      m_pGfbRoll(std::make_unique<CGfbRoll>()),
      m_pFields(std::make_unique<zk::FieldWait>()),
      m_pWipes(std::make_unique<zk::WipeRunner>()),
      m_pDveSlides(std::make_unique<zk::DveSlideRunner>()),
      m_pDveActs(std::make_unique<zk::DveActionRunner>()),
      m_hVSyncEvent(CreateEvent(nullptr, FALSE, FALSE, nullptr)),
      m_hMotionDone(CreateEvent(nullptr, FALSE, FALSE, nullptr))
{
}

CKrOnlineCtl::~CKrOnlineCtl()
{
    TearDown();
    // Every effect stops and joins its threads before the graph they write through goes.
    m_pRoll.reset();
    m_pGfbRoll.reset();
    m_pSlide.reset();
    m_pFade.reset();
    m_pAnime.reset();
    m_pDveActs.reset();
    m_pDveSlides.reset();
    m_pWipes.reset();
    if (m_pTmProc) m_pTmProc->End();
    m_pTmProc.reset();
    m_pGraph.reset();
    zk::clear_message_target(this);
    for (HANDLE h : {m_hVSyncEvent, m_hMotionDone})
        if (h) CloseHandle(h);
}

// Stops the field interrupt and the vertical-sync thread: after this no field reaches the
// effects. The graph and the controllers stay.
void CKrOnlineCtl::TearDown()
{
    m_bReady = false;
    Close();
    m_bVSyncQuit = 1;
    if (m_hVSyncEvent) SetEvent(m_hVSyncEvent);
    m_VSyncThread.join();
    std::lock_guard<std::mutex> guard(m_FieldLock);
    m_Fields.clear();
}

// ---- errors ----

void CKrOnlineCtl::MessageSink(void* self, const char* text)
{
    static_cast<CKrOnlineCtl*>(self)->ErrDispMessage(CString(text));
}

void CKrOnlineCtl::ErrDispMessage(CString text)
{
    std::lock_guard<std::mutex> guard(m_ErrLock);
    m_strErr = text;
}

CString CKrOnlineCtl::GetErrorText() const
{
    std::lock_guard<std::mutex> guard(m_ErrLock);
    return m_strErr;
}

int CKrOnlineCtl::Fail(const char* fmt, ...)
{
    CString text;
    va_list args;
    va_start(args, fmt);
    text.FormatV(fmt, args);
    va_end(args);
    zk::report_message("%s", text.GetString());
    return ZK_FAIL(-1);
}

// ---- life ----

int CKrOnlineCtl::Initial(CWnd* wnd)
{
    if (Ready()) return 0;
    if (!m_hVSyncEvent || !m_hMotionDone) return ZK_FAIL(-1);
    // From here on this controller receives the library's failure texts, its own included.
    zk::set_message_target(&CKrOnlineCtl::MessageSink, this);
    CChkDigiSuite inventory;
    m_pWnd = wnd;

    m_pGraph.reset(new (std::nothrow) CMQGraph);
    if (!m_pGraph) return Fail("CMQGraph Alloc Error");
    auto give_up = [this] {
        TearDown();
        m_pGraph.reset();
        return Fail("%s", ::GetLastErrorText());
    };
    if (FAILED(m_pGraph->Initialize(TRUE)) || FAILED(m_pGraph->BuildGraph())) return give_up();

    HRESULT hr = S_OK;
    Open(inventory.GetClockName(), &hr);
    if (FAILED(hr) || !IsOpen()) {
        // The clock leaves no text of its own; without one the text would be whatever failed
        // last, anywhere.
        ReportError("Could not open the system clock device", FAILED(hr) ? hr : E_FAIL);
        return give_up();
    }
    m_bVSyncQuit = 0;
    if (!m_VSyncThread.start(&CKrOnlineCtl::VSyncThreadProc, this, THREAD_PRIORITY_TIME_CRITICAL, "vsync")) {
        ReportError("Could not start the vertical-sync thread", E_FAIL);
        return give_up();
    }
    SetEnabled(TRUE);
    if (FAILED(m_pGraph->BilGraph_TelopNormal())) return give_up();

    // The registers are the driver's; a board without them still shows graphics.
    zk::online::set_digimix_registers(inventory);
    m_pGraph->FgPlay();

    CMQGraph* graph = m_pGraph.get();
    CKrGfb* gfb = m_pGfb.get();
    m_pFontDraw->Initial(wnd);
    m_pTmProc->Initial(graph);
    m_pFade->Initial(graph, gfb);
    m_pSlide->Initial(graph, gfb, m_pFade.get());
    m_pAnime->Initial(graph, gfb);
    m_pDrawGraph->SetDefault();
    m_pRoll->Initial(graph, static_cast<zk::RollHost*>(this));
    m_pGfbRoll->Initial(graph, gfb);
    m_pWipes->Initial(graph, m_pFields.get());
    m_pDveSlides->Initial(graph, m_pFields.get());
    m_pDveActs->Initial(graph, m_pFields.get());
    m_bReady = true;
    return 0;
}

void CKrOnlineCtl::ProcessField(DWORD)
{
    const int field = GetFieldIndicator();
    if (m_pGraph) m_pGraph->SetFieldNumber(field);
    {
        // Queued rather than merged: a late vertical-sync thread still sees every field, in
        // order, as the effects' workers do.
        std::lock_guard<std::mutex> guard(m_FieldLock);
        if (m_Fields.size() >= kMostQueuedFields) m_Fields.pop_front();
        m_Fields.push_back(static_cast<unsigned long>(field));
    }
    SetEvent(m_hVSyncEvent);
}

UINT CKrOnlineCtl::VSyncThreadProc(LPVOID self)
{
    return static_cast<CKrOnlineCtl*>(self)->VSyncProc();
}

UINT CKrOnlineCtl::VSyncProc()
{
    while (!m_bVSyncQuit.load()) {
        WaitForSingleObject(m_hVSyncEvent, INFINITE);
        for (;;) {
            unsigned long field;
            {
                std::lock_guard<std::mutex> guard(m_FieldLock);
                if (m_bVSyncQuit.load() || m_Fields.empty()) break;
                field = m_Fields.front();
                m_Fields.pop_front();
            }
            RunField(field);
        }
    }
    return 0;
}

// One field's steps, in the order the effects rely on: the field wait, then the field work (a
// rectangle drawn on air shows before anything moves over it), then every effect, each one
// call.
void CKrOnlineCtl::RunField(unsigned long field)
{
    m_pFields->step_field();
    zk::copy_field_work(*m_pGraph, m_VSyncWork, static_cast<int>(field));
    m_pRoll->SetEvent(field);
    if (m_pSlide->GetRunning()) m_pSlide->SlideEventSet(field);
    m_pTmProc->TimerEventSet(field);
    m_pAnime->AnimeEventSet(field);
    if (m_pFade->GetActive()) m_pFade->FadeEventSet(field);
    if (m_bMotionSet.load() || m_b3DdveActive.load()) MotionStopProc();
    m_pWipes->step_field();
    m_pDveSlides->step_field();
    m_pGfbRoll->SetEvent(field);
    m_pDveActs->step_field();
}

int CKrOnlineCtl::WaitField()
{
    if (!Ready()) return ZK_FAIL(-1);
    return m_pFields->WaitField();
}

// ---- files and timing ----

namespace {

int file_result(bool ok)
{
    return ok ? 0 : ZK_FAIL(-1);
}

const char* path_text(const unsigned char* path)
{
    return reinterpret_cast<const char*>(path);
}

} // namespace

int CKrOnlineCtl::ChDir(unsigned char* path)
{
    if (!path) return ZK_FAIL(-1);
    std::error_code ec;
    std::filesystem::current_path(path_text(path), ec);
    return file_result(!ec);
}

int CKrOnlineCtl::MkDir(unsigned char* path)
{
    if (!path) return ZK_FAIL(-1);
    std::error_code ec;
    return file_result(std::filesystem::create_directory(path_text(path), ec) && !ec);
}

int CKrOnlineCtl::DelFile(unsigned char* path)
{
    if (!path) return ZK_FAIL(-1);
    std::error_code ec;
    // Files only, as the run-time's remove of the original did; a folder stays.
    if (std::filesystem::is_directory(path_text(path), ec)) return ZK_FAIL(-1);
    return file_result(std::filesystem::remove(path_text(path), ec) && !ec);
}

int CKrOnlineCtl::TimeWait(int n)
{
    if (n > 0) Sleep(static_cast<DWORD>(n) * 100);
    return 0;
}
