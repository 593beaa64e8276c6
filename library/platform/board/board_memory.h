// Addresses in 32-bit request words: board-memory tokens.
//
// Five request layouts of the board's drivers carry an address in a 32-bit word: the
// system-clock status map (its 4-byte reply), the graphics device's map record (its first
// word) and pointer request, the SDTI request (a pointer to three longs) and the 72-byte
// connection packet (a pointer to its payload). On the original 32-bit system those were
// plain addresses. Here a process address does not fit in 32 bits, and a device must never
// trust an address a host hands it, so one rule holds for all five:
//
//   A 32-bit address word holds a board-memory token. Whoever hands memory over (a device
//   mapping its memory for a host, or a host passing its own memory to a device) maps it
//   first with map_board_memory(), which gives the token, and unmaps it when done. The other
//   side resolves the token with board_memory(token, bytes it needs); an unknown token, or
//   one whose region is shorter than what is asked, resolves to null and the request is
//   refused. Token 0 is never given out, so a zeroed record names no memory.
//
// Tokens are per process and are not reused while the process lives, so a stale token cannot
// reach memory mapped later for someone else.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/zorvik_api.h"

namespace zk {

ZORVIK_API std::uint32_t map_board_memory(void* address, size_t bytes);
// False when the token is not mapped.
ZORVIK_API bool unmap_board_memory(std::uint32_t token);
// The address behind `token` when at least `bytes` bytes lie behind it, else null.
ZORVIK_API void* board_memory(std::uint32_t token, size_t bytes);

} // namespace zk
