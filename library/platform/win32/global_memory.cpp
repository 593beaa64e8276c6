// Movable global memory over the C heap: a handle is a small header that owns the data block.
#include "platform/win32/global_memory.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "core/checked.h"

namespace {

struct GlobalBlock {
    unsigned char* data = nullptr;
    std::size_t size = 0;
    unsigned locks = 0;
};

// malloc(0) may return null; every block keeps at least one byte so a handle always has an
// address to lock.
unsigned char* allocate(std::size_t bytes) { return static_cast<unsigned char*>(std::malloc(bytes ? bytes : 1)); }

} // namespace

HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes)
{
    if (bytes > zk::kMaxBufferBytes) return nullptr;
    auto* block = new (std::nothrow) GlobalBlock;
    if (!block) return nullptr;
    block->data = allocate(bytes);
    if (!block->data) {
        delete block;
        return nullptr;
    }
    block->size = bytes;
    if (flags & GMEM_ZEROINIT) std::memset(block->data, 0, bytes ? bytes : 1);
    return block;
}

HGLOBAL GlobalReAlloc(HGLOBAL handle, std::size_t bytes, UINT flags)
{
    auto* block = static_cast<GlobalBlock*>(handle);
    if (!block || bytes > zk::kMaxBufferBytes) return nullptr;
    auto* moved = static_cast<unsigned char*>(std::realloc(block->data, bytes ? bytes : 1));
    if (!moved) return nullptr;
    if ((flags & GMEM_ZEROINIT) && bytes > block->size) std::memset(moved + block->size, 0, bytes - block->size);
    block->data = moved;
    block->size = bytes;
    return block;
}

void* GlobalLock(HGLOBAL handle)
{
    auto* block = static_cast<GlobalBlock*>(handle);
    if (!block) return nullptr;
    ++block->locks;
    return block->data;
}

BOOL GlobalUnlock(HGLOBAL handle)
{
    auto* block = static_cast<GlobalBlock*>(handle);
    if (!block || block->locks == 0) return FALSE;
    return --block->locks > 0 ? TRUE : FALSE;
}

std::size_t GlobalSize(HGLOBAL handle)
{
    auto* block = static_cast<GlobalBlock*>(handle);
    return block ? block->size : 0;
}

HGLOBAL GlobalFree(HGLOBAL handle)
{
    auto* block = static_cast<GlobalBlock*>(handle);
    if (!block) return nullptr;
    std::free(block->data);
    delete block;
    return nullptr;
}
