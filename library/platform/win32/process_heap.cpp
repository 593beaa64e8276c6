// Heap settings through the GNU C library's allocator options.
#include "platform/win32/process_heap.h"

#include <climits>
#include <malloc.h>

namespace zk {

bool keep_freed_blocks_in_process(std::size_t largest_reused, std::size_t kept_free)
{
    if (largest_reused > INT_MAX || kept_free > INT_MAX) return false;
    const bool reuse_ok = ::mallopt(M_MMAP_THRESHOLD, static_cast<int>(largest_reused)) == 1;
    const bool keep_ok = ::mallopt(M_TRIM_THRESHOLD, static_cast<int>(kept_free)) == 1;
    return reuse_ok && keep_ok;
}

} // namespace zk
