// Counters and modules on POSIX (Sleep lives with the waits in win32_sync.cpp).
//
// The counters follow the board's time while a board runs on a hand-stepped clock; the
// performance counter always counts 100 ns units, in real as in simulated time, so that a
// frequency read once stays right when a test installs a stepped board.
#include "platform/win32/win32_base.h"

#include <dlfcn.h>
#include <time.h>

#include "platform/win32/sim_time.h"

namespace {

LONGLONG now_100ns()
{
    LONGLONG t = 0;
    if (zk::simulated_now(t)) return t;
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<LONGLONG>(ts.tv_sec) * 10000000LL + ts.tv_nsec / 100;
}

} // namespace

DWORD GetTickCount()
{
    return static_cast<DWORD>(GetTickCount64());
}

ULONGLONG GetTickCount64()
{
    return static_cast<ULONGLONG>(now_100ns() / 10000);
}

BOOL QueryPerformanceCounter(LONGLONG* count)
{
    if (!count) return FALSE;
    *count = now_100ns();
    return TRUE;
}

BOOL QueryPerformanceFrequency(LONGLONG* frequency)
{
    if (!frequency) return FALSE;
    *frequency = 10000000LL;
    return TRUE;
}

HMODULE LoadLibrary(const char* path)
{
    if (!path || !*path) return nullptr;
    return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

FARPROC GetProcAddress(HMODULE module, const char* name)
{
    if (!module || !name) return nullptr;
    return dlsym(module, name);
}

BOOL FreeLibrary(HMODULE module)
{
    return module && dlclose(module) == 0 ? TRUE : FALSE;
}
