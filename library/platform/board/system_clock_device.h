// The DigiSuite system-clock device ("\\.\DigiSuiteSystemClock%d"): the field interrupt.
//
// A client registers, maps the field status word, and arms the interrupt with an overlapped
// request whose event the device then sets at every field boundary of the board's clock until
// the client disarms. The status word counts fields: bit 0 is the parity of the current field
// (0 first field, 1 second). The word is shared with the device, which writes it from the
// clock's thread: read it atomically (std::atomic_ref<DWORD>). Every interrupt is written to
// the board journal.
//
// I/O controls:
//   IOCTL_SYSCLK_REGISTER   no input; 4-byte reply: the registration word
//   IOCTL_SYSCLK_MAP_STATUS no input; 4-byte reply: the status word's board-memory token
//                           (platform/board/board_memory.h), resolved with board_memory()
//   IOCTL_SYSCLK_UNMAP      input: that token
//   IOCTL_SYSCLK_ARM        input: the registration word; overlapped; left pending, and its
//                           event is set at every field until disarmed
//   IOCTL_SYSCLK_DISARM     input: the registration word; completes the pending arm
#pragma once

#include "platform/board/device_io.h"

constexpr DWORD IOCTL_SYSCLK_REGISTER = 0x83002108u;
constexpr DWORD IOCTL_SYSCLK_MAP_STATUS = 0x830020E8u;
constexpr DWORD IOCTL_SYSCLK_UNMAP = 0x830020ECu;
constexpr DWORD IOCTL_SYSCLK_ARM = 0x830020F0u;
constexpr DWORD IOCTL_SYSCLK_DISARM = 0x830020F4u;

namespace zk {

class VirtualBoard;

// The device object for one open of the board's system clock `name`.
std::shared_ptr<VirtualDevice> open_system_clock(const std::shared_ptr<VirtualBoard>& board, const std::string& name);

} // namespace zk
