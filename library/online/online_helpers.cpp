// The on-air controller's helpers: the DigiMix registers set at start-up, and file names.
#include "online/internal/online_helpers.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "onair/chk_digi_suite.h"
#include "platform/board/board_memory.h"
#include "platform/board/device_io.h"
#include "platform/board/vfx_device.h"

namespace zk::online {

namespace {

// The two registers the board's mixer needs set before the graph plays; what they select is
// the DigiMix driver's business.
constexpr int kStartRegisters[] = {45, 46};

} // namespace

bool set_digimix_registers(CChkDigiSuite& inventory)
{
    const CString& name = inventory.GetDeviceName();
    if (name.IsEmpty()) return false;
    HANDLE device = CreateFile(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) return false;
    VfxMapRecord record;
    DWORD returned = 0;
    bool ok = DeviceIoControl(device, IOCTL_VFX_MAP_REGISTERS, &record, sizeof record, &record, sizeof record,
                              &returned, nullptr) &&
              returned >= sizeof record;
    // The record names the registers by token; a block too small for the registers we set is
    // refused rather than written past.
    constexpr int kLast = *std::max_element(std::begin(kStartRegisters), std::end(kStartRegisters));
    auto* registers = ok ? static_cast<DWORD*>(board_memory(record.token, (kLast + 1) * sizeof(DWORD))) : nullptr;
    if (registers) {
        for (int r : kStartRegisters) std::atomic_ref<DWORD>(registers[r]).store(1);
    }
    CloseHandle(device);
    return registers != nullptr;
}

bool file_exists(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

std::string lower_extension(const std::string& path)
{
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

std::string strip_extension(const std::string& path)
{
    std::filesystem::path p(path);
    if (!p.has_extension()) return path;
    return p.replace_extension().string();
}

} // namespace zk::online
