// How the process heap treats large blocks, for programs that allocate and free the same few
// big buffers over and over (on Windows the heap's own settings, HeapSetInformation).
#pragma once

#include <cstddef>

#include "core/zorvik_api.h"

namespace zk {

// Freed blocks of up to `largest_reused` bytes stay in the heap to be reused instead of
// going back to the system, and up to `kept_free` bytes of free memory are kept at the top of
// the heap. Applies to the whole process. Returns false when a setting was refused (nothing
// breaks: only the reuse is lost).
ZORVIK_API bool keep_freed_blocks_in_process(std::size_t largest_reused, std::size_t kept_free);

} // namespace zk
