// The board's device requests as an untrusted host sends them: sizes, fields and addresses of
// its own choosing, to the graphics frame buffer, the video-effects device, the SDTI control
// device and the system clock. Every request is answered or refused without reading or writing
// past what was handed over, and never claims more bytes than the reply had room for.
//
// Input: a device (0 graphics, 1 effects, 2 SDTI, 3 system clock), then requests until the
// input ends, each: a code byte (below 8: that many steps into the device's codes; else four
// bytes of a raw code follow), the input and output sizes (16 bits each, at most 4096), a flags
// byte (1 no input buffer, 2 no output buffer, 4 a valid token of twelve host bytes in word 0,
// 8 the same in word 1, 16 an overlapped record, 32 the last registration word the clock gave
// in word 0), and the input bytes (zero when the data runs out).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/board/board_memory.h"
#include "platform/board/gfb_device.h"
#include "platform/board/sdti_device.h"
#include "platform/board/system_clock_device.h"
#include "platform/board/vfx_device.h"
#include "platform/board/virtual_board.h"

namespace {

struct Reader {
    const std::uint8_t* p;
    std::size_t n;
    std::uint32_t take(int bytes)
    {
        std::uint32_t v = 0;
        for (int i = 0; i < bytes; ++i, ++p, --n) {
            if (!n) return v;
            v |= static_cast<std::uint32_t>(*p) << (8 * i);
        }
        return v;
    }
};

constexpr const char* kDevices[] = {"\\\\.\\DigiMixGFB0", "\\\\.\\DigiMixVFX0", "\\\\.\\DigiSuiteSdtiCtl0",
                                    "\\\\.\\DigiSuiteSystemClock0"};
const std::vector<DWORD> kCodes[] = {
    {IOCTL_GFB_MAP, IOCTL_GFB_DISPLAY, IOCTL_GFB_BLIT},
    {IOCTL_VFX_GET_PROM_OPTIONS, IOCTL_VFX_MAP_REGISTERS},
    {IOCTL_SDTI_CONTROL},
    {IOCTL_SYSCLK_REGISTER, IOCTL_SYSCLK_MAP_STATUS, IOCTL_SYSCLK_UNMAP, IOCTL_SYSCLK_ARM, IOCTL_SYSCLK_DISARM},
};

// A board of our own on a clock that never moves, made once.
std::shared_ptr<zk::VirtualBoard> board()
{
    static std::shared_ptr<zk::VirtualBoard> b = [] {
        zk::BoardConfig c = zk::BoardConfig::standard();
        c.manual_clock = true;
        auto made = std::make_shared<zk::VirtualBoard>(c);
        zk::install_board(made);
        return made;
    }();
    return b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1 || size > (1u << 16)) return 0;
    board()->journal().clear();
    static std::uint8_t host[12];
    static const std::uint32_t host_token = zk::map_board_memory(host, sizeof host);
    Reader in{data, size};
    const std::size_t device = in.take(1) % 4;
    HANDLE h = CreateFile(kDevices[device], GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) std::abort();
    OVERLAPPED overlapped{};
    overlapped.hEvent = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    std::uint32_t registration = 0;
    while (in.n) {
        const std::uint32_t pick = in.take(1);
        const auto& codes = kCodes[device];
        const DWORD code = pick < 8 ? codes[pick % codes.size()] + (pick / codes.size()) * 4 : in.take(4);
        const DWORD in_bytes = std::min<DWORD>(in.take(2), 4096);
        const DWORD out_bytes = std::min<DWORD>(in.take(2), 4096);
        const std::uint32_t flags = in.take(1);
        // Buffers of exactly the sizes claimed, so a read or write past them is caught.
        std::vector<std::uint8_t> input(in_bytes), output(out_bytes, 0xCD);
        for (std::uint8_t& b : input) b = static_cast<std::uint8_t>(in.take(1));
        if ((flags & 4) && in_bytes >= 4) std::memcpy(input.data(), &host_token, 4);
        if ((flags & 8) && in_bytes >= 8) std::memcpy(input.data() + 4, &host_token, 4);
        if ((flags & 32) && in_bytes >= 4) std::memcpy(input.data(), &registration, 4);
        void* in_p = (flags & 1) ? nullptr : input.data();
        void* out_p = (flags & 2) ? nullptr : output.data();
        DWORD returned = 0xFFFFFFFFu;
        const BOOL ok = DeviceIoControl(h, code, in_p, in_p ? in_bytes : 0, out_p, out_p ? out_bytes : 0, &returned,
                                        (flags & 16) ? &overlapped : nullptr);
        if (ok && returned > (out_p ? out_bytes : 0)) std::abort();
        if (ok && code == IOCTL_SYSCLK_REGISTER && returned == 4) std::memcpy(&registration, output.data(), 4);
    }
    // Closing ends whatever the handle left pending, before the record goes.
    CloseHandle(h);
    CloseHandle(overlapped.hEvent);
    return 0;
}
