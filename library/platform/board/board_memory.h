// Addresses in 32-bit request words: board-memory tokens.
//
// Six request layouts of the board's drivers carry an address in a 32-bit word: the
// system-clock status map (its 4-byte reply), the graphics device's map record (its first
// word) and pointer request, the video-effects device's register map record (its first
// word), the SDTI request (a pointer to three longs) and the 72-byte
// connection packet (a pointer to its payload). On the original 32-bit system those were
// plain addresses. Here a process address does not fit in 32 bits, and a device must never
// trust an address a host hands it, so one rule holds for all six:
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
//
// Memory that both sides touch from different threads (the graphics frame buffer: the host
// writes rows, the device blits and the board reads out what is displayed) is mapped with a
// lock. Every side holds it for one short operation at a time (a row, a blit, a read-out) and
// never across a wait; board_memory_lock() hands it to the side that only has the token.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "core/zorvik_api.h"

namespace zk {

ZORVIK_API std::uint32_t map_board_memory(void* address, size_t bytes);
// Maps memory whose users serialise their access on `lock`.
ZORVIK_API std::uint32_t map_board_memory(void* address, size_t bytes, std::shared_ptr<std::mutex> lock);
// The lock of the region behind `token`, or null when the token is not mapped or was mapped
// without one.
ZORVIK_API std::shared_ptr<std::mutex> board_memory_lock(std::uint32_t token);
// False when the token is not mapped.
ZORVIK_API bool unmap_board_memory(std::uint32_t token);
// The address behind `token` when at least `bytes` bytes lie behind it, else null.
ZORVIK_API void* board_memory(std::uint32_t token, size_t bytes);

} // namespace zk
