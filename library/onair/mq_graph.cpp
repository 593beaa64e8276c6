// CMQGraph: construction, BuildGraph (the inventory, the graphics device, the SDTI settings)
// and the field notification.
#include "onair/mq_graph.h"

#include <algorithm>
#include <string>

#include "onair/chk_digi_suite.h"
#include "onair/mq_graph_parts.h"
#include "platform/board/board_memory.h"
#include "platform/board/gfb_device.h"
#include "platform/board/sdti_device.h"
#include "platform/win32/win32_window.h"

namespace {

constexpr DWORD kOpenShared = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr DWORD kOpenAccess = GENERIC_READ | GENERIC_WRITE;

// A plain application message box, as the build steps show them.
void show(const char* text)
{
    MessageBox(nullptr, text, nullptr, MB_OK);
}

} // namespace

CMQGraph::CMQGraph() : m_pParts(std::make_unique<zk::graph::Parts>()) {}

CMQGraph::~CMQGraph()
{
    // Events are dispatched to the handlers of the derived class while the graph lives: end
    // them before this object's members go. The board stops showing this graph's clip and
    // playing its sound first.
    if (m_bBuilt.load()) {
        for (auto c : {zk::graph::Config::motion, zk::graph::Config::motion_telop, zk::graph::Config::wave_sound})
            ReleaseBoardMedia(c);
    }
    Uninitialize();
    CloseGraphicsDevice();
}

HRESULT CMQGraph::BuildGraph()
{
    CChkDigiSuite inventory;
    if (!inventory.GetMixFlag()) {
        m_bBuilt = 0;
        return 1;
    }
    m_dwMixNJType = inventory.GetMixNJType();
    m_bLinx = inventory.GetLinxFlag() ? 1 : 0;
    m_bSdti = inventory.GetSdtiFlag() ? 1 : 0;
    m_bGenie = inventory.GetGniFlag() ? 1 : 0;
    HRESULT hr = S_OK;
    if (!m_bBuilt.load()) {
        hr = CMQFilterGraph::BuildGraph();
        m_bBuilt = 1;
        OpenGraphicsDevice(inventory.GetGFBName());
        GfbDispGfbSelect(0);
    }
    if (m_bSdti) SendSdtiSettings(inventory.GetSdtiControlDevice());
    return FAILED(hr) ? E_FAIL : S_OK;
}

void CMQGraph::OpenGraphicsDevice(const char* name)
{
    CloseGraphicsDevice();
    HANDLE device = CreateFile(name, kOpenAccess, kOpenShared, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        show("Unable to open the Graphic device");
        return;
    }
    m_hGfb = device;
    DWORD returned = 0;
    if (!DeviceIoControl(m_hGfb, IOCTL_GFB_MAP, m_GfbMap, sizeof m_GfbMap, m_GfbMap, sizeof m_GfbMap, &returned,
                         nullptr)) {
        show("Was unable to map frame buffer");
    }
    m_dwGfbBytes = m_GfbMap[1];
    DWORD position = 0;
    DWORD token = 0;
    // The device hands out its memory as a token; the memory is used only when the token
    // names at least the whole frame buffer.
    void* memory = nullptr;
    if (DeviceIoControl(m_hGfb, IOCTL_GFB_DISPLAY, &position, sizeof position, &token, sizeof token, &returned,
                        nullptr)) {
        memory = zk::board_memory(token, zk::kGfbBytes);
    }
    if (!memory) {
        show("Was unable to get a pointer to the GFB");
        return;
    }
    m_dwGfbDispPos = position;
    m_pGfbLock = zk::board_memory_lock(token);
    if (!m_pGfbLock) m_pGfbLock = std::make_shared<std::mutex>();
    m_pGfbMemory = static_cast<std::uint32_t*>(memory);
}

void CMQGraph::CloseGraphicsDevice()
{
    if (m_hGfb) CloseHandle(m_hGfb);
    m_hGfb = nullptr;
    m_pGfbMemory = nullptr;
    m_pGfbLock.reset();
}

void CMQGraph::SendSdtiSettings(const char* device)
{
    const std::string name = std::string("\\\\.\\") + (device ? device : "");
    HANDLE h = CreateFile(name.c_str(), kOpenAccess, kOpenShared, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        show("SDI IOCONTROL ERROR");
        return;
    }
    struct Setting {
        LONG words[3];
        const char* failure;
    };
    static const Setting settings[] = {
        {{26, 0, 1}, "keyCompress 1 ERROR"},
        {{24, 1, 1}, "keyinvert 1 ERROR"},
        {{24, 1, 0}, "keyinvert 0  ERROR"},
    };
    for (const Setting& s : settings) {
        LONG words[3] = {s.words[0], s.words[1], s.words[2]};
        // The device reads the three words through a token for as long as the request lasts.
        zk::SdtiRequest request;
        request.token = zk::map_board_memory(words, sizeof words);
        DWORD returned = 0;
        const BOOL ok = request.token != 0 &&
                        DeviceIoControl(h, IOCTL_SDTI_CONTROL, &request, sizeof request, nullptr, 0, &returned, nullptr);
        zk::unmap_board_memory(request.token);
        if (!ok) show(s.failure);
    }
    CloseHandle(h);
}

void CMQGraph::SetFieldNumber(int field)
{
    if (m_nFieldNumber.exchange(field) == field) return;
    m_nFieldChanges.fetch_add(1);
    std::lock_guard<std::mutex> guard(m_FieldWaitLock);
    for (HANDLE h : m_FieldWaiters) SetEvent(h);
}

long CMQGraph::GfbWaitFrame()
{
    if (!GfbReady()) return -1;
    constexpr unsigned long kChanges = 3;
    constexpr DWORD kNoFieldsMs = 500;
    HANDLE wake = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    if (!wake) return -1;
    // Registered before the count is read, so no change between the two is missed.
    {
        std::lock_guard<std::mutex> guard(m_FieldWaitLock);
        m_FieldWaiters.push_back(wake);
    }
    const unsigned long start = m_nFieldChanges.load();
    long result = 0;
    while (m_nFieldChanges.load() - start < kChanges) {
        if (WaitForSingleObject(wake, kNoFieldsMs) != WAIT_OBJECT_0) {
            result = -1;
            break;
        }
    }
    {
        std::lock_guard<std::mutex> guard(m_FieldWaitLock);
        m_FieldWaiters.erase(std::find(m_FieldWaiters.begin(), m_FieldWaiters.end(), wake));
    }
    CloseHandle(wake);
    return result;
}
