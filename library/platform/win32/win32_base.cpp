// Sleep, counters and modules on POSIX.
#include "platform/win32/win32_base.h"

#include <dlfcn.h>
#include <sched.h>
#include <time.h>

void Sleep(DWORD milliseconds)
{
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    timespec ts{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
}

DWORD GetTickCount()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<DWORD>(static_cast<ULONGLONG>(ts.tv_sec) * 1000u + static_cast<ULONGLONG>(ts.tv_nsec) / 1000000u);
}

BOOL QueryPerformanceCounter(LONGLONG* count)
{
    if (!count) return FALSE;
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    *count = static_cast<LONGLONG>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
    return TRUE;
}

BOOL QueryPerformanceFrequency(LONGLONG* frequency)
{
    if (!frequency) return FALSE;
    *frequency = 1000000000LL;
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
