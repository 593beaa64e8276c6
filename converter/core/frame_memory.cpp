// Allocator settings for a process that converts one large picture after another.
#include "frame_memory.h"

#include <cstddef>

#include "platform/win32/process_heap.h"

namespace vm {

namespace {
// Blocks up to this size come from the heap and are reused; larger ones are mapped.
constexpr std::size_t kLargestReusedBlock = 32 * 1024 * 1024;
// Free memory at the top of the heap is given back only beyond this much, so the buffers of
// one file are still there for the next.
constexpr std::size_t kKeptFreeMemory = 128 * 1024 * 1024;
} // namespace

bool keep_frame_memory_in_process()
{
    return zk::keep_freed_blocks_in_process(kLargestReusedBlock, kKeptFreeMemory);
}

} // namespace vm
