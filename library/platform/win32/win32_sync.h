// Kernel objects the on-air side waits on: events, semaphores, threads and critical sections,
// with the wait functions and result codes the library's threads are written against.
//
// A HANDLE is an opaque number into one process-wide table, never a pointer: a handle that
// was closed or never existed makes the call fail with ERROR_INVALID_HANDLE instead of
// touching freed memory. Every waitable object keeps its signalled state under one lock,
// which makes wait-all atomic (all objects are taken together or none) and keeps the whole
// layer simple enough to reason about under ThreadSanitizer; a signal wakes only the threads
// waiting on that object. Time-outs and Sleep are real milliseconds, except while a board
// runs on a hand-stepped clock: then they follow the board's time (platform/win32/sim_time.h).
//
// The layer knows the threads it starts (and threads a test registers), and whether each is
// running or blocked; tests use that to step the board only once everything has settled
// (platform/testing/settle.h).
//
// Thread priorities are best effort: the requested priority is recorded and returned by
// GetThreadPriority, and a lower one is applied as a nice value where Linux allows it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/zorvik_api.h"
#include "platform/framework/win_types.h"

using HANDLE = void*;
using LPVOID = void*;
using DWORD_PTR = std::uintptr_t;
using ULONG_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))

constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_ABANDONED_0 = 0x80;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
constexpr DWORD MAXIMUM_WAIT_OBJECTS = 64;

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD ERROR_TOO_MANY_POSTS = 298;
constexpr DWORD ERROR_IO_INCOMPLETE = 996;
constexpr DWORD ERROR_IO_PENDING = 997;
constexpr DWORD STILL_ACTIVE = 259;

constexpr DWORD CREATE_SUSPENDED = 0x4;

constexpr int THREAD_PRIORITY_IDLE = -15;
constexpr int THREAD_PRIORITY_LOWEST = -2;
constexpr int THREAD_PRIORITY_BELOW_NORMAL = -1;
constexpr int THREAD_PRIORITY_NORMAL = 0;
constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 1;
constexpr int THREAD_PRIORITY_HIGHEST = 2;
constexpr int THREAD_PRIORITY_TIME_CRITICAL = 15;
constexpr int THREAD_PRIORITY_ERROR_RETURN = 0x7FFFFFFF;

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    void* lpSecurityDescriptor;
    BOOL bInheritHandle;
};

ZORVIK_API DWORD GetLastError();
ZORVIK_API void SetLastError(DWORD code);

// Events: manual-reset events stay signalled until reset; auto-reset events release one
// waiter and reset themselves. Names are accepted and ignored (no sharing across processes).
ZORVIK_API HANDLE CreateEvent(SECURITY_ATTRIBUTES* attributes, BOOL manualReset, BOOL initialState, const char* name);
ZORVIK_API BOOL SetEvent(HANDLE event);
ZORVIK_API BOOL ResetEvent(HANDLE event);

ZORVIK_API HANDLE CreateSemaphore(SECURITY_ATTRIBUTES* attributes, LONG initialCount, LONG maximumCount, const char* name);
ZORVIK_API BOOL ReleaseSemaphore(HANDLE semaphore, LONG releaseCount, LONG* previousCount);

// Closing a handle removes it from the table; the object lives on while a thread runs on it.
ZORVIK_API BOOL CloseHandle(HANDLE object);

ZORVIK_API DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
// Waits for the objects (all of them, or the first in list order that is signalled).
ZORVIK_API DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds);

// Threads. The handle is signalled when the thread function returns.
using THREAD_START = unsigned (*)(void* argument);
ZORVIK_API std::uintptr_t _beginthreadex(void* security, unsigned stackSize, THREAD_START start, void* argument,
                                         unsigned initFlags, unsigned* threadId);
ZORVIK_API DWORD ResumeThread(HANDLE thread);
ZORVIK_API BOOL SetThreadPriority(HANDLE thread, int priority);
ZORVIK_API int GetThreadPriority(HANDLE thread);
ZORVIK_API BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);
ZORVIK_API DWORD GetCurrentThreadId();

// Critical sections are recursive, as on Windows: the owner may enter again and must leave
// as often as it entered.
namespace zk {
struct CriticalSectionImpl;
}
struct CRITICAL_SECTION {
    zk::CriticalSectionImpl* impl = nullptr;
};
ZORVIK_API void InitializeCriticalSection(CRITICAL_SECTION* section);
ZORVIK_API void DeleteCriticalSection(CRITICAL_SECTION* section);
ZORVIK_API void EnterCriticalSection(CRITICAL_SECTION* section);
ZORVIK_API BOOL TryEnterCriticalSection(CRITICAL_SECTION* section);
ZORVIK_API void LeaveCriticalSection(CRITICAL_SECTION* section);

namespace zk {

// Names the calling thread in diagnostics (the settle point's thread dump, debuggers).
ZORVIK_API void set_thread_name(const char* name);

// Releases every level the calling thread holds and gives the count back, so a wait that must
// let other threads into the section can do so even from inside nested operations.
ZORVIK_API int leave_critical_section_fully(CRITICAL_SECTION* section);
ZORVIK_API void reenter_critical_section(CRITICAL_SECTION* section, int depth);

// Scoped ownership of a critical section.
class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CRITICAL_SECTION* section) : section_(section) { EnterCriticalSection(section_); }
    ~CriticalSectionLock() { LeaveCriticalSection(section_); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CRITICAL_SECTION* section_;
};

// While alive, the calling thread holds none of the section's levels; they come back after.
class CriticalSectionRelease {
public:
    explicit CriticalSectionRelease(CRITICAL_SECTION* section)
        : section_(section), depth_(leave_critical_section_fully(section)) {}
    ~CriticalSectionRelease() { reenter_critical_section(section_, depth_); }
    CriticalSectionRelease(const CriticalSectionRelease&) = delete;
    CriticalSectionRelease& operator=(const CriticalSectionRelease&) = delete;

private:
    CRITICAL_SECTION* section_;
    int depth_;
};

// Objects other layers put behind a handle (devices) derive from this; they are not waitable.
struct ZORVIK_API KernelObject {
    virtual ~KernelObject() = default;
};

// A handle for `object`; null when the table cannot take it.
ZORVIK_API HANDLE make_handle(std::shared_ptr<KernelObject> object);
// The object behind a handle when it is of type T, else null.
ZORVIK_API std::shared_ptr<KernelObject> object_from_handle(HANDLE handle);
template <class T> std::shared_ptr<T> handle_object(HANDLE handle)
{
    return std::dynamic_pointer_cast<T>(object_from_handle(handle));
}

// Number of live handles; tests use it to prove that an object released what it opened.
ZORVIK_API size_t open_handle_count();

} // namespace zk
