// Export macro for the classes and functions that form the library's public surface.
//
// The library is built with hidden visibility; only what carries ZORVIK_API is exported from
// libzorvik.so. Internal helpers live in namespace zk and stay hidden.
#pragma once

#if defined(ZORVIK_BUILDING)
#define ZORVIK_API __attribute__((visibility("default")))
#else
#define ZORVIK_API
#endif
