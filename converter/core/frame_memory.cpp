// Allocator settings for a process that converts one large picture after another.
#include "frame_memory.h"

#include <malloc.h>

namespace vm {

namespace {
// Blocks up to this size come from the heap and are reused; larger ones are mapped.
constexpr int kLargestReusedBlock = 32 * 1024 * 1024;
// Free memory at the top of the heap is given back only beyond this much, so the buffers of
// one file are still there for the next.
constexpr int kKeptFreeMemory = 128 * 1024 * 1024;
} // namespace

bool keep_frame_memory_in_process()
{
    const bool mmap_ok = ::mallopt(M_MMAP_THRESHOLD, kLargestReusedBlock) == 1;
    const bool trim_ok = ::mallopt(M_TRIM_THRESHOLD, kKeptFreeMemory) == 1;
    return mmap_ok && trim_ok;
}

} // namespace vm
