// The DigiMix video-effects device ("\\.\DigiMixVFX0"): the option word and the register block.
//
// I/O controls:
//   IOCTL_VFX_GET_PROM_OPTIONS  68 bytes in and out, the first word 0x5A5AA5A5; the reply's
//                               tenth word is the board's option word (device_io.h).
//   IOCTL_VFX_MAP_REGISTERS     20 bytes out (the input is not read): the map record below,
//                               whose first word is the register block's board-memory token.
//
// The block is kVfxRegisters 32-bit registers, one block per device and board, shared by every
// open. The board reads it while the host writes it, so both sides access each register with
// std::atomic_ref<DWORD>. The board journals every change of a register (JournalKind::Register:
// target the device, code the register number, bytes the new value, text old and new), comparing
// the block with what it saw last at the end of every field while a handle has it mapped (the
// change is stamped with that field) and when such a handle is closed (stamped with the field
// it is closed in).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/board/device_io.h"

constexpr DWORD IOCTL_VFX_MAP_REGISTERS = 0x83002258u;

namespace zk {

class VirtualBoard;

constexpr int kVfxRegisters = 256;

struct VfxMapRecord {
    std::uint32_t token = 0;     // the register block, as a board-memory token
    std::uint32_t bytes = 0;     // its size
    std::uint32_t registers = 0; // how many registers it holds
    std::uint32_t reserved[2] = {};
};
static_assert(sizeof(VfxMapRecord) == 20, "the map record is 20 bytes");

// The device object for one open of the board's video-effects device `name`, which reports
// `option_word`.
std::shared_ptr<VirtualDevice> open_effects_device(const std::shared_ptr<VirtualBoard>& board, const std::string& name,
                                                   DWORD option_word);

} // namespace zk
