// The few Win32 services every part of the library leans on: time-slice yields, tick and
// performance counters, and loading a module at run time.
//
// Sleep(0) gives up the rest of the time slice, as the file layer does after every block.
// Sleep, the tick count and the performance counter follow the board's time while a board
// runs on a hand-stepped clock (platform/win32/sim_time.h).
// Modules are shared objects opened with dlopen; a module handle is the dlopen handle.
#pragma once

#include "core/zorvik_api.h"
#include "platform/framework/win_types.h"

using HMODULE = void*;
using FARPROC = void*;

ZORVIK_API void Sleep(DWORD milliseconds);
ZORVIK_API DWORD GetTickCount();
ZORVIK_API ULONGLONG GetTickCount64();
ZORVIK_API BOOL QueryPerformanceCounter(LONGLONG* count);
ZORVIK_API BOOL QueryPerformanceFrequency(LONGLONG* frequency);

ZORVIK_API HMODULE LoadLibrary(const char* path);
ZORVIK_API FARPROC GetProcAddress(HMODULE module, const char* name);
ZORVIK_API BOOL FreeLibrary(HMODULE module);

namespace zk {

// What is left of a time-out begun at construction, measured on the tick count (so on the
// board's time while a stepped board is installed): INFINITE stays INFINITE, an expired one
// gives 0.
class TimeLeft {
public:
    explicit TimeLeft(DWORD milliseconds) : total_(milliseconds), start_(GetTickCount64()) {}
    DWORD left() const
    {
        if (total_ == INFINITE_TIME) return INFINITE_TIME;
        const ULONGLONG spent = GetTickCount64() - start_;
        return spent >= total_ ? 0 : static_cast<DWORD>(total_ - spent);
    }
    bool expired() const { return left() == 0; }

private:
    static constexpr DWORD INFINITE_TIME = 0xFFFFFFFFu;
    DWORD total_;
    ULONGLONG start_;
};

} // namespace zk

