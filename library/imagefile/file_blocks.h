// Whole-file transfers in blocks of 16384 bytes, giving up the time slice after each block so
// that a long transfer runs in short steps beside the library's field-rate threads.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/framework/cfile.h"

namespace zk {

constexpr std::size_t kFileBlock = 16384;

// Reads from the file's current position to its end into `out` (resized to what was
// actually read). Returns false when the rest of the file is empty or larger than the
// library accepts; the file layer's exceptions pass through.
bool read_rest_in_blocks(CFile& file, std::vector<std::uint8_t>& out);

// Writes all bytes in blocks, yielding after each; the file layer's exceptions pass through.
void write_in_blocks(CFile& file, std::span<const std::uint8_t> bytes);

} // namespace zk
