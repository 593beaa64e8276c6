// The SDTI board's control device (the inventory's "ControlDevice", "\\.\DigiSuiteSdtiCtl0").
//
// One I/O control, IOCTL_SDTI_CONTROL: 8 bytes in, a command word (1: change a setting) and
// the board-memory token (platform/board/board_memory.h) of three 32-bit words the host maps:
// the setting, the channel and the value (the on-air graph sends {26, 0, 1}, key compression,
// and {24, 1, 1} then {24, 1, 0}, key inversion). Any other command, a token that does not
// name twelve bytes, or a shorter request is refused (ERROR_INVALID_PARAMETER). Each accepted
// setting is journalled (JournalKind::Register: target the device, code the setting, bytes
// the three words) after the request itself, whose bytes are only the command and the token.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/board/device_io.h"

constexpr DWORD IOCTL_SDTI_CONTROL = 0x83002158u;

namespace zk {

class VirtualBoard;

constexpr std::uint32_t kSdtiSetCommand = 1;

struct SdtiRequest {
    std::uint32_t command = kSdtiSetCommand;
    std::uint32_t token = 0; // three 32-bit words: setting, channel, value
};
static_assert(sizeof(SdtiRequest) == 8, "the SDTI request is 8 bytes");

// The device object for one open of the board's SDTI control device `name`.
std::shared_ptr<VirtualDevice> open_sdti_device(const std::shared_ptr<VirtualBoard>& board, const std::string& name);

} // namespace zk
