// Simulated time for the Win32 time services.
//
// While a board runs on a hand-stepped clock, its time is the only time there is: Sleep, every
// wait time-out, GetTickCount, the performance counter and GetLocalTime follow it, so that a
// test stepping fields sees exactly the same waits run out on every run. The board installs
// its clock here when it becomes current and removes it when it stops being current; real
// time is the default.
//
// A timed wait runs out at the first moment the mover reports (simulated_time_moved) at or
// after its deadline: with a clock stepped field by field, at a field boundary. So Sleep(100)
// begun on a boundary at 59.94 fields a second ends at the sixth field (100.1 ms). The board
// reports the move only once that moment's events have been handled and everything settled,
// so a thread that wakes from a time-out finds the field's work done.
#pragma once

#include <functional>

#include "core/zorvik_api.h"
#include "platform/framework/win_types.h"
#include "platform/win32/win32_time.h"

namespace zk {

// `now` gives the board time in 100 ns units; `local_start` is the local time at the moment
// of installing. `owner` identifies the installer for remove_simulated_time.
ZORVIK_API void install_simulated_time(const void* owner, std::function<LONGLONG()> now, const SYSTEMTIME& local_start);
// Back to real time when `owner` installed the current one; waits on the removed time end
// as timed out.
ZORVIK_API void remove_simulated_time(const void* owner);
ZORVIK_API bool simulated_time_active();
// Told by the mover each time the time has moved: ends the waits whose time ran out.
ZORVIK_API void simulated_time_moved();
// The simulated time and local time; false in real time.
ZORVIK_API bool simulated_now(LONGLONG& now);
ZORVIK_API bool simulated_local_time(SYSTEMTIME& time);

} // namespace zk
