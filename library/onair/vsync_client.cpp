// The field-interrupt client, the field-work record, the field-work step and the helper that
// sends a request and waits for it.
#include "onair/vsync_client.h"

#include <memory>
#include <new>

#include "onair/mq_graph.h"
#include "platform/board/board_memory.h"
#include "platform/board/system_clock_device.h"
#include "platform/win32/win32_base.h"
#include "platform/win32/win32_window.h"

namespace {

constexpr HRESULT kNoDevice = hresult(0x80070006);
constexpr HRESULT kFailed = hresult(0x80004005);
// An interrupt that has not come in this long means no field; the thread looks at its quit
// flag and waits again.
constexpr DWORD kInterruptWaitMs = 60;
// More fields than this since the last one handled is not a late thread but a clock that
// jumped: only the current field is handled then.
constexpr DWORD kMostFieldsCaughtUp = 600;

} // namespace

namespace zk {

BOOL overlapped_control(HANDLE device, DWORD code, void* in, DWORD inBytes, void* out, DWORD outBytes, DWORD* returned,
                        OVERLAPPED* overlapped)
{
    std::unique_ptr<OVERLAPPED> own;
    HANDLE own_event = nullptr;
    if (!overlapped) {
        own.reset(new (std::nothrow) OVERLAPPED{});
        if (!own) {
            OutputDebugString("MXVCR: Not enough memory to create the overlapped structure.");
            return FALSE;
        }
        own_event = CreateEvent(nullptr, TRUE, FALSE, nullptr);
        if (!own_event) {
            OutputDebugString("MXVCR: CreateEvent failed.");
            return FALSE;
        }
        own->hEvent = own_event;
        overlapped = own.get();
    }
    DWORD bytes = 0;
    BOOL ok = DeviceIoControl(device, code, in, inBytes, out, outBytes, &bytes, overlapped);
    if (!ok && GetLastError() == ERROR_IO_PENDING) {
        ok = GetOverlappedResult(device, overlapped, &bytes, TRUE);
        if (!ok && GetLastError() == ERROR_IO_INCOMPLETE) ok = TRUE;
    }
    const DWORD error = ok ? 0 : GetLastError();
    if (returned) *returned = bytes;
    if (own_event) CloseHandle(own_event);
    if (!ok) SetLastError(error);
    return ok;
}

int copy_field_work(CMQGraph& graph, CVSyncWork& work, int field)
{
    if (!work.GetWorkFlag()) return 0;
    const CBox box = work.GetBox();
    long copied;
    // The field under way gets its own lines: a second field the even ones, a first field the
    // odd ones; the bits record them as the writer counts them.
    if (field == 1 && !work.GetFieldFirst()) {
        copied = graph.GfbCopyBktoFr_SecondField(box.x, box.y, box.width, box.height);
        work.SetFieldFirst();
    } else if (!work.GetFieldSecond()) {
        copied = graph.GfbCopyBktoFr_FirstField(box.x, box.y, box.width, box.height);
        work.SetFieldSecond();
    } else {
        return 0;
    }
    return copied == 0 ? 1 : -1;
}

} // namespace zk

// ---- CVSyncClient ----

CVSyncClient::CVSyncClient() = default;

CVSyncClient::CVSyncClient(const char* clockDevice, HRESULT* result)
{
    Open(clockDevice, result);
}

CVSyncClient::~CVSyncClient()
{
    Close();
}

void CVSyncClient::ProcessField(DWORD) {}

void CVSyncClient::Open(const char* clockDevice, HRESULT* result)
{
    if (m_hDevice || (result && FAILED(*result))) return;
    auto failed = [&](HRESULT code) {
        if (result) *result = code;
    };
    m_hDoneEvent = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    if (!m_hDoneEvent) return failed(kFailed);
    HANDLE device = CreateFile(clockDevice, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        Release();
        return failed(kNoDevice);
    }
    m_hDevice = device;
    m_hInterruptEvent = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    if (!m_hInterruptEvent) {
        Release();
        return failed(kFailed);
    }
    DWORD returned = 0;
    if (!zk::overlapped_control(m_hDevice, IOCTL_SYSCLK_REGISTER, nullptr, 0, &m_dwRegistration,
                                sizeof m_dwRegistration, &returned)) {
        Release();
        return failed(kFailed);
    }
    // The status word comes as a token; it must name at least the word.
    if (zk::overlapped_control(m_hDevice, IOCTL_SYSCLK_MAP_STATUS, nullptr, 0, &m_dwStatusToken,
                               sizeof m_dwStatusToken, &returned)) {
        m_pFieldStatus = static_cast<DWORD*>(zk::board_memory(m_dwStatusToken, sizeof(DWORD)));
    }
    if (!m_pFieldStatus) {
        zk::overlapped_control(m_hDevice, IOCTL_SYSCLK_DISARM, &m_dwRegistration, sizeof m_dwRegistration, nullptr, 0,
                               &returned);
        Release();
        return failed(kFailed);
    }
    m_Overlapped = OVERLAPPED{};
    m_Overlapped.hEvent = m_hInterruptEvent;
    // The arm stays pending for as long as the client is open; its event is the interrupt.
    const BOOL armed = DeviceIoControl(m_hDevice, IOCTL_SYSCLK_ARM, &m_dwRegistration, sizeof m_dwRegistration, nullptr,
                                       0, nullptr, &m_Overlapped);
    if (armed || GetLastError() != ERROR_IO_PENDING) {
        Close();
        return failed(kFailed);
    }
    m_bEnabled = 0;
    m_bQuit = 0;
    m_bSeenField = false;
    if (!m_Thread.start(&CVSyncClient::ThreadProc, this, THREAD_PRIORITY_TIME_CRITICAL, "vsync client")) {
        Close();
        return failed(kFailed);
    }
}

void CVSyncClient::Close()
{
    if (!m_hDevice) return;
    m_bQuit = 1;
    // Wakes the thread at once rather than at its next time-out.
    if (m_hInterruptEvent) SetEvent(m_hInterruptEvent);
    m_Thread.join();
    DWORD returned = 0;
    zk::overlapped_control(m_hDevice, IOCTL_SYSCLK_DISARM, &m_dwRegistration, sizeof m_dwRegistration, nullptr, 0,
                           &returned);
    if (m_pFieldStatus) {
        zk::overlapped_control(m_hDevice, IOCTL_SYSCLK_UNMAP, &m_dwStatusToken, sizeof m_dwStatusToken, nullptr, 0,
                               &returned);
    }
    Release();
}

void CVSyncClient::Release()
{
    if (m_hInterruptEvent) CloseHandle(m_hInterruptEvent);
    if (m_hDevice) CloseHandle(m_hDevice);
    if (m_hDoneEvent) CloseHandle(m_hDoneEvent);
    m_hInterruptEvent = m_hDevice = m_hDoneEvent = nullptr;
    m_pFieldStatus = nullptr;
    m_dwStatusToken = 0;
    m_dwRegistration = 0;
}

UINT CVSyncClient::ThreadProc(LPVOID self)
{
    static_cast<CVSyncClient*>(self)->Run();
    return 1;
}

void CVSyncClient::Run()
{
    while (!m_bQuit.load()) {
        const DWORD woke = WaitForSingleObject(m_hInterruptEvent, kInterruptWaitMs);
        if (m_bQuit.load()) break;
        // A wait that ran out (or failed) is not a field, and neither is the arm request
        // ending: its event is set then too, but the request no longer pends.
        if (woke != WAIT_OBJECT_0) continue;
        if (std::atomic_ref<ULONG_PTR>(m_Overlapped.Internal).load() != STATUS_PENDING) continue;
        Deliver(std::atomic_ref<DWORD>(*m_pFieldStatus).load());
    }
    SetEvent(m_hDoneEvent);
}

void CVSyncClient::Deliver(DWORD status)
{
    auto handle = [this](DWORD field) {
        m_nFieldIndicator = static_cast<int>(field & 1);
        m_dwLastStatus = field;
        m_bSeenField = true;
        if (m_bEnabled.load()) ProcessField(field);
    };
    if (m_bSeenField) {
        const DWORD passed = status - m_dwLastStatus;
        if (passed == 0) return; // the field already handled
        // Fields the thread came too late for are handled now, in order, each once.
        if (passed <= kMostFieldsCaughtUp) {
            for (DWORD field = m_dwLastStatus + 1; field != status; ++field) {
                m_nLateFields.fetch_add(1);
                handle(field);
            }
        }
    }
    handle(status);
}

// ---- CVSyncWork ----

CVSyncWork::CVSyncWork(const CVSyncWork& other)
{
    *this = other;
}

CVSyncWork& CVSyncWork::operator=(const CVSyncWork& other)
{
    m_nWork = other.m_nWork.load();
    m_nField = other.m_nField.load();
    m_nX = other.m_nX.load();
    m_nY = other.m_nY.load();
    m_nW = other.m_nW.load();
    m_nH = other.m_nH.load();
    return *this;
}

int CVSyncWork::SetVSyncWork(int x, int y, int w, int h)
{
    // Three looks 34 ms apart, as long as the previous rectangle is still being shown.
    for (int look = 0; m_nWork.load(); ++look) {
        if (look == 3) return -1;
        Sleep(34);
    }
    m_nX = x;
    m_nY = y;
    m_nW = w;
    m_nH = h;
    m_nField = 0;
    m_nWork = 1; // last: the vertical-sync thread reads the rectangle once this is up
    return 0;
}

int CVSyncWork::SetVSyncWork(long x, long y, long w, long h)
{
    return SetVSyncWork(static_cast<int>(x), static_cast<int>(y), static_cast<int>(w), static_cast<int>(h));
}

int CVSyncWork::SetVSyncWork(unsigned long x, unsigned long y, unsigned long w, unsigned long h)
{
    return SetVSyncWork(static_cast<int>(x), static_cast<int>(y), static_cast<int>(w), static_cast<int>(h));
}

int CVSyncWork::SetVSyncWork(CBox box)
{
    return SetVSyncWork(box.x, box.y, box.width, box.height);
}

int CVSyncWork::Set(int flag, int x, int y, int w, int h)
{
    m_nX = x;
    m_nY = y;
    m_nW = w;
    m_nH = h;
    m_nField = 0;
    m_nWork = flag;
    return 0;
}

int CVSyncWork::Mark(int bit)
{
    if ((m_nField.fetch_or(bit) | bit) == 3) m_nWork = 0;
    return m_nWork.load();
}

int CVSyncWork::SetFieldFirst()
{
    return Mark(1);
}

int CVSyncWork::SetFieldSecond()
{
    return Mark(2);
}
