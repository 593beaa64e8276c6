// Device drivers by name: CreateFile on "\\.\NAME", DeviceIoControl and overlapped results.
//
// A device is a VirtualDevice object answering I/O control codes. Devices come from two
// places, looked up in this order: those registered by name (register_device, used by other
// parts of the platform and by tests) and those the current virtual board has: its
// video-effects devices (vfx_device.h), system clocks (system_clock_device.h), graphics
// frame buffers (gfb_device.h) and SDTI control devices (sdti_device.h). Names compare
// without regard to case. Only device names are served; any other path fails with
// ERROR_FILE_NOT_FOUND.
//
// A device may finish a request later: it answers FALSE with ERROR_IO_PENDING and calls
// complete_overlapped when done, which sets the caller's event, as a driver does.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/zorvik_api.h"
#include "platform/win32/win32_sync.h"

struct OVERLAPPED {
    ULONG_PTR Internal;     // status: 0 done, STATUS_PENDING while in progress, else a Win32 error
    ULONG_PTR InternalHigh; // bytes transferred
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
};

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000u;
constexpr ULONG_PTR STATUS_PENDING = 0x103;

// The option-word request of the video-effects device: 68 bytes in and out, the first word
// 0x5A5AA5A5; the reply's tenth word is the option word.
constexpr DWORD IOCTL_VFX_GET_PROM_OPTIONS = 0x8300216Cu;
constexpr DWORD kPromRequestMagic = 0x5A5AA5A5u;
constexpr DWORD kPromRequestBytes = 68;

ZORVIK_API HANDLE CreateFile(const char* name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                             DWORD disposition, DWORD flags, HANDLE templateFile);
ZORVIK_API BOOL DeviceIoControl(HANDLE device, DWORD code, void* in, DWORD inBytes, void* out, DWORD outBytes,
                                DWORD* bytesReturned, OVERLAPPED* overlapped);
ZORVIK_API BOOL GetOverlappedResult(HANDLE device, OVERLAPPED* overlapped, DWORD* bytes, BOOL wait);

namespace zk {

class VirtualDevice {
public:
    virtual ~VirtualDevice() = default;
    // Handles one request; sets the thread's last error when it answers FALSE.
    virtual BOOL control(DWORD code, const void* in, DWORD inBytes, void* out, DWORD outBytes, DWORD* bytesReturned,
                         OVERLAPPED* overlapped) = 0;
};

// Makes the device object for one CreateFile; null refuses the open (ERROR_ACCESS_DENIED).
using DeviceFactory = std::function<std::shared_ptr<VirtualDevice>()>;

// Registers a device under NAME (without "\\.\"); an empty factory removes it. Tests replace
// devices for a scope with DeviceOverride (platform/testing/devices.h).
ZORVIK_API void register_device(const std::string& name, DeviceFactory factory);


// The form device names are compared in: ASCII lower case, as names compare without regard
// to case.
std::string device_name_key(std::string name);

// Finishes a request a device left pending: records status and byte count, then sets the event.
ZORVIK_API void complete_overlapped(OVERLAPPED* overlapped, DWORD status, DWORD bytes);

} // namespace zk
