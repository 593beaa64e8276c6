// Device handles, the device namespace, and which of the board's devices a name opens.
#include "platform/board/device_io.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/board/gfb_device.h"
#include "platform/board/sdti_device.h"
#include "platform/board/system_clock_device.h"
#include "platform/board/vfx_device.h"
#include "platform/board/virtual_board.h"
#include "platform/testing/devices.h"

namespace zk {
namespace {

struct Devices {
    std::mutex lock;
    std::map<std::string, DeviceFactory> by_name; // lower-case names
};

Devices& devices()
{
    static Devices d;
    return d;
}

DeviceFactory find_factory(const std::string& name)
{
    Devices& d = devices();
    std::lock_guard<std::mutex> guard(d.lock);
    auto it = d.by_name.find(device_name_key(name));
    return it == d.by_name.end() ? DeviceFactory() : it->second;
}

struct DeviceHandle final : KernelObject {
    std::shared_ptr<VirtualDevice> device;
    std::string name;
    bool overlapped = false;
};

// Requests larger than this are journalled by their first bytes only.
constexpr DWORD kJournalRequestBytes = 4096;

} // namespace

std::string device_name_key(std::string name)
{
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

void register_device(const std::string& name, DeviceFactory factory)
{
    Devices& d = devices();
    std::lock_guard<std::mutex> guard(d.lock);
    if (factory) d.by_name[device_name_key(name)] = std::move(factory);
    else d.by_name.erase(device_name_key(name));
}

DeviceOverride::DeviceOverride(std::string name, DeviceFactory factory) : name_(std::move(name))
{
    previous_ = find_factory(name_);
    register_device(name_, std::move(factory));
}

DeviceOverride::~DeviceOverride()
{
    register_device(name_, previous_);
}

void complete_overlapped(OVERLAPPED* overlapped, DWORD status, DWORD bytes)
{
    if (!overlapped) return;
    overlapped->InternalHigh = bytes;
    // The status is written last and read first, so a caller polling without waiting on the
    // event sees the byte count that belongs to it.
    std::atomic_ref<ULONG_PTR>(overlapped->Internal).store(status, std::memory_order_release);
    if (overlapped->hEvent) SetEvent(overlapped->hEvent);
}

} // namespace zk

HANDLE CreateFile(const char* name, DWORD, DWORD, SECURITY_ATTRIBUTES*, DWORD disposition, DWORD flags, HANDLE)
{
    static const char prefix[] = "\\\\.\\";
    if (!name || std::strncmp(name, prefix, 4) != 0 || !name[4]) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    if (disposition != OPEN_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::string device = name + 4;
    std::shared_ptr<zk::VirtualDevice> object;
    bool known = false;
    if (zk::DeviceFactory factory = zk::find_factory(device)) {
        known = true;
        object = factory();
    } else {
        const auto board = zk::current_board();
        DWORD word;
        if (board->effects_option_word(device, word)) {
            known = true;
            object = zk::open_effects_device(board, device, word);
        } else if (board->has_system_clock(device)) {
            known = true;
            object = zk::open_system_clock(board, device);
        } else if (board->has_graphics_device(device)) {
            known = true;
            object = zk::open_graphics_device(board, device);
        } else if (board->has_sdti_device(device)) {
            known = true;
            object = zk::open_sdti_device(board, device);
        }
    }
    if (!object) {
        SetLastError(known ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    auto handle = std::make_shared<zk::DeviceHandle>();
    handle->device = std::move(object);
    handle->name = device;
    handle->overlapped = (flags & FILE_FLAG_OVERLAPPED) != 0;
    HANDLE h = zk::make_handle(handle);
    if (!h) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    return h;
}

BOOL DeviceIoControl(HANDLE device, DWORD code, void* in, DWORD inBytes, void* out, DWORD outBytes,
                     DWORD* bytesReturned, OVERLAPPED* overlapped)
{
    auto handle = zk::handle_object<zk::DeviceHandle>(device);
    if (!handle) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (bytesReturned) *bytesReturned = 0;
    if (overlapped) {
        std::atomic_ref<ULONG_PTR>(overlapped->Internal).store(STATUS_PENDING, std::memory_order_relaxed);
        overlapped->InternalHigh = 0;
        if (overlapped->hEvent) ResetEvent(overlapped->hEvent);
    }
    // Journalled before the device acts, so the request comes before whatever it causes.
    const DWORD logged = in ? std::min(inBytes, zk::kJournalRequestBytes) : 0;
    const auto board = zk::current_board();
    const std::uint64_t entry = board->log(zk::JournalKind::DeviceRequest, handle->name, code, in, logged);
    const BOOL ok = handle->device->control(code, in, inBytes, out, outBytes, bytesReturned, overlapped);
    const DWORD error = ok ? 0 : GetLastError();
    if (!ok && error != ERROR_IO_PENDING) board->journal().refuse(entry);
    // A request finished at once completes its overlapped record too, as on Windows.
    if (overlapped && (ok || error != ERROR_IO_PENDING)) {
        zk::complete_overlapped(overlapped, error, bytesReturned ? *bytesReturned : 0);
    }
    if (!ok) SetLastError(error);
    return ok;
}

BOOL GetOverlappedResult(HANDLE device, OVERLAPPED* overlapped, DWORD* bytes, BOOL wait)
{
    if (!overlapped || !bytes) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!zk::handle_object<zk::DeviceHandle>(device)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (wait && overlapped->hEvent) WaitForSingleObject(overlapped->hEvent, INFINITE);
    const ULONG_PTR status = std::atomic_ref<ULONG_PTR>(overlapped->Internal).load(std::memory_order_acquire);
    if (status == STATUS_PENDING) {
        SetLastError(ERROR_IO_INCOMPLETE);
        return FALSE;
    }
    *bytes = static_cast<DWORD>(overlapped->InternalHigh);
    if (status != 0) {
        SetLastError(static_cast<DWORD>(status));
        return FALSE;
    }
    return TRUE;
}
