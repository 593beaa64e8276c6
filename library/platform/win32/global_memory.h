// Movable global memory: the blocks the library hands to its host and the host frees.
//
// A handle names a block that GlobalReAlloc may move; GlobalLock gives its current address.
// Blocks are limited to zk::kMaxBufferBytes; a request beyond that fails like any allocation
// failure (a null handle), so a size that came from a file cannot exhaust the machine. The
// functions accept null handles and return their failure values for them.
#pragma once

#include <cstddef>

#include "core/zorvik_api.h"
#include "platform/framework/win_types.h"

using HGLOBAL = void*;

constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

ZORVIK_API HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes);
// Resizes the block; the new part is zeroed with GMEM_ZEROINIT. Null on failure, and the old
// block is then unchanged and still owned by the caller.
ZORVIK_API HGLOBAL GlobalReAlloc(HGLOBAL block, std::size_t bytes, UINT flags);
ZORVIK_API void* GlobalLock(HGLOBAL block);
ZORVIK_API BOOL GlobalUnlock(HGLOBAL block);
ZORVIK_API std::size_t GlobalSize(HGLOBAL block);
// Frees the block; returns null on success, the handle when it could not be freed.
ZORVIK_API HGLOBAL GlobalFree(HGLOBAL block);
