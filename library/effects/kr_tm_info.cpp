// CKrTmInfo: loading the digit images, composing faces and writing them out field by field.
//
// The digits, the face's layout and its place on the output are the clock core's
// (effects/timer_core.h); this file runs them on the display's two threads.
#include "effects/kr_tm_info.h"

#include <string>
#include <utility>

#include "core/errors.h"
#include "effects/field_output.h"
#include "effects/kr_timer.h"
#include "imagefile/targa_image.h"
#include "onair/mq_graph.h"

CKrTmInfo::CKrTmInfo() : m_hQuit(CreateEvent(nullptr, TRUE, FALSE, nullptr)) {}

CKrTmInfo::~CKrTmInfo()
{
    m_bDisp = 0;
    stop_draw_thread();
    m_Writer.stop();
    if (m_hQuit) CloseHandle(m_hQuit);
}

int CKrTmInfo::SetTimerData(int clock, unsigned char* path, int format, int x, int y, CKrTimer* timer,
                            CMQGraph* graph)
{
    if (!timer || timer->CheckTmID(clock) != 0) return ZK_FAIL(-1);
    m_bDisp = 0;

    // The images are loaded before the lock is taken, so a playing face is not held up by files.
    const std::string base = path ? reinterpret_cast<const char*>(path) : "";
    std::array<CKrFrameBuffer, zk::fx::kClockImages> images;
    for (int k = 0; k < zk::fx::kClockImages; ++k) {
        const std::string name = zk::fx::clock_image_path(base, k);
        CString file(name);
        CKrTargaImage tga;
        if (tga.LoadImage(&file, &images[static_cast<std::size_t>(k)]) != 0) {
            images[static_cast<std::size_t>(k)].DeleteFrameBuffer();
            zk::report_message("Timer TgaLoadErr %s", name.c_str());
        }
    }
    const auto digit_w = static_cast<long>(images[0].GetWidth());
    const auto colon_w = static_cast<long>(images[zk::fx::kImageColon].GetWidth());
    const auto height = static_cast<long>(images[0].GetHeight());
    const int fmt = format == 1 ? 1 : 0;
    const long width = zk::fx::clock_face_width(fmt, digit_w, colon_w);
    const POINT at = zk::fx::place_clock(x, y, width, height);
    // Without the digit images there is no face (0 wide or high), and nothing is shown.
    CKrFrameBuffer face;
    face.CreateFrameBuffer(width, height, 1);

    // Another clock's event to wait for: the drawing thread starts again on it.
    if (m_bSetup.load() != 0 && (m_nClock.load() != clock || m_pTimer.load() != timer)) stop_draw_thread();
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        m_Img = std::move(images);
        m_nDigitW = digit_w;
        m_nColonW = colon_w;
        m_nHeight = height;
        m_nFormat = fmt;
        m_nWidth = width;
        m_nX = at.x;
        m_nY = at.y;
        m_Face = std::move(face);
        m_bFrameReady = 0;
        m_bFresh = false;
        m_nWritten = 0;
        m_pGraph = graph;
    }
    m_nClock = clock;
    m_pTimer = timer;
    m_bSetup = 1;
    start_threads();
    return 0;
}

void CKrTmInfo::start_threads()
{
    if (!m_DrawThread.running()) {
        m_hClockEvent = m_pTimer.load()->GetEvent(m_nClock.load());
        m_DrawThread.start(&CKrTmInfo::DrawProc, this, THREAD_PRIORITY_HIGHEST, "clock drawing");
    }
    if (!m_Writer.running()) {
        m_Writer.start([this](unsigned long field) { return WriteField(field); }, THREAD_PRIORITY_TIME_CRITICAL,
                       "clock field writer");
    }
}

void CKrTmInfo::stop_draw_thread()
{
    if (!m_DrawThread.running()) return;
    m_bDrawQuit = 1;
    SetEvent(m_hQuit);
    m_DrawThread.join();
    m_bDrawQuit = 0;
    ResetEvent(m_hQuit);
}

UINT CKrTmInfo::DrawProc(LPVOID self)
{
    static_cast<CKrTmInfo*>(self)->DrawRun();
    return 0;
}

void CKrTmInfo::DrawRun()
{
    const HANDLE wake[2] = {m_hQuit, m_hClockEvent};
    for (;;) {
        const DWORD r = WaitForMultipleObjects(2, wake, FALSE, INFINITE);
        if (r != WAIT_OBJECT_0 + 1 || m_bDrawQuit.load() != 0) break;
        if (m_bDisp.load() != 0) compose();
    }
}

void CKrTmInfo::compose()
{
    CKrTimer* timer = m_pTimer.load();
    if (!timer) return;
    const CKrTm value = timer->GetTm(m_nClock.load());
    std::lock_guard<std::mutex> guard(m_Lock);
    const std::vector<int> digits = zk::fx::clock_digit_images(m_nFormat, value);
    if (zk::fx::compose_clock(m_Img, digits, m_Face) != 0) return;
    m_bFresh = true;
    m_bFrameReady = 1;
}

bool CKrTmInfo::WriteField(unsigned long field)
{
    std::lock_guard<std::mutex> guard(m_Lock);
    if (m_bFrameReady.load() == 0 || !m_pGraph || m_Face.IsBuffer() != 0) return true;
    if (m_bFresh) {
        m_nWritten = 0;
        m_bFresh = false;
    }
    const auto w = static_cast<long>(m_Face.GetWidth()), h = static_cast<long>(m_Face.GetHeight());
    const unsigned char* pixels = m_Face.GetBufferByte();
    if (zk::fx::field_of(field) == zk::fx::Field::Second) {
        m_pGraph->GfbFrWrite_Second(pixels, w, h, 0, 0, w, h, m_nX, m_nY);
        m_nWritten |= 2;
    } else {
        m_pGraph->GfbFrWrite_First(pixels, w, h, 0, 0, w, h, m_nX, m_nY);
        m_nWritten |= 1;
    }
    if (m_nWritten == 3) {
        m_nWritten = 0;
        m_bFrameReady = 0;
    }
    return true;
}

int CKrTmInfo::TimerEventSet(unsigned long field)
{
    if (m_bSetup.load() == 0 || m_bDisp.load() == 0 || m_bFrameReady.load() == 0) return 0;
    m_Writer.post(field);
    return 1;
}

int CKrTmInfo::SetTmAddress(int x, int y)
{
    if (m_bSetup.load() == 0) return -1;
    std::lock_guard<std::mutex> guard(m_Lock);
    const POINT at = zk::fx::place_clock(x, y, m_nWidth, m_nHeight);
    m_nX = at.x;
    m_nY = at.y;
    return 0;
}

int CKrTmInfo::refreshed()
{
    if (m_bDisp.load() != 0) compose();
    return 0;
}

template <class Op>
int CKrTmInfo::on_clock(Op&& op)
{
    CKrTimer* timer = m_pTimer.load();
    if (m_bSetup.load() == 0 || !timer) return -1;
    op(*timer, m_nClock.load());
    return 0;
}

int CKrTmInfo::SetTmStart()
{
    if (on_clock([](CKrTimer& t, int id) { t.TmStart(id); }) != 0) return -1;
    m_bStart = 1;
    return refreshed();
}

int CKrTmInfo::SetTmStop()
{
    if (on_clock([](CKrTimer& t, int id) { t.TmStop(id); }) != 0) return -1;
    m_bStart = 0;
    return 0;
}

int CKrTmInfo::SetTmTime(int h, int m, int s, int ms)
{
    if (on_clock([&](CKrTimer& t, int id) { t.TmSet(id, CKrTm(h, m, s, ms)); }) != 0) return -1;
    return refreshed();
}

int CKrTmInfo::SetTmAddTime(int h, int m, int s, int ms)
{
    if (on_clock([&](CKrTimer& t, int id) { t.TmAdd(id, CKrTm(h, m, s, ms)); }) != 0) return -1;
    return refreshed();
}

int CKrTmInfo::SetTmDecTime(int h, int m, int s, int ms)
{
    if (on_clock([&](CKrTimer& t, int id) { t.TmDec(id, CKrTm(h, m, s, ms)); }) != 0) return -1;
    return refreshed();
}

int CKrTmInfo::SetTmSyncTime(int source)
{
    if (on_clock([&](CKrTimer& t, int id) { t.TmSync(id, source); }) != 0) return -1;
    return refreshed();
}

int CKrTmInfo::SetTmCountUp()
{
    return on_clock([](CKrTimer& t, int id) { t.SetCountUp(id); });
}

int CKrTmInfo::SetTmCountDown()
{
    return on_clock([](CKrTimer& t, int id) { t.SetCountDown(id); });
}

int CKrTmInfo::SetTmStopModeOn(int h, int m, int s, int ms)
{
    return on_clock([&](CKrTimer& t, int id) { t.SetStopMode(id, CKrTm(h, m, s, ms)); });
}

int CKrTmInfo::SetTmStopModeOff()
{
    return on_clock([](CKrTimer& t, int id) { t.ResetStopMode(id); });
}

int CKrTmInfo::DispTmOn()
{
    if (m_bSetup.load() == 0) return -1;
    compose();
    m_bDisp = 1;
    return 0;
}

int CKrTmInfo::DispTmOff()
{
    if (m_bSetup.load() == 0) return -1;
    m_bDisp = 0;
    return 0;
}

POINT CKrTmInfo::position() const
{
    std::lock_guard<std::mutex> guard(m_Lock);
    return POINT{static_cast<LONG>(m_nX), static_cast<LONG>(m_nY)};
}

CSize CKrTmInfo::face_size() const
{
    std::lock_guard<std::mutex> guard(m_Lock);
    return CSize(static_cast<long>(m_Face.GetWidth()), static_cast<long>(m_Face.GetHeight()));
}

void CKrTmInfo::forget_graph()
{
    std::lock_guard<std::mutex> guard(m_Lock);
    m_pGraph = nullptr;
}
