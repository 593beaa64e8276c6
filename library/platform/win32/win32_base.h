// The few Win32 services every part of the library leans on: time-slice yields, tick and
// performance counters, and loading a module at run time.
//
// Sleep(0) gives up the rest of the time slice, as the file layer does after every block.
// Modules are shared objects opened with dlopen; a module handle is the dlopen handle.
#pragma once

#include "core/zorvik_api.h"
#include "platform/framework/win_types.h"

using HMODULE = void*;
using FARPROC = void*;

ZORVIK_API void Sleep(DWORD milliseconds);
ZORVIK_API DWORD GetTickCount();
ZORVIK_API BOOL QueryPerformanceCounter(LONGLONG* count);
ZORVIK_API BOOL QueryPerformanceFrequency(LONGLONG* frequency);

ZORVIK_API HMODULE LoadLibrary(const char* path);
ZORVIK_API FARPROC GetProcAddress(HMODULE module, const char* name);
ZORVIK_API BOOL FreeLibrary(HMODULE module);
