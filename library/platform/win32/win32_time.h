// Local and system time as the Windows SYSTEMTIME record.
//
// The timers read the local time's seconds and milliseconds to advance running clocks; tests
// replace the source so that a minute boundary or a late tick can be produced on demand.
#pragma once

#include <functional>

#include "core/zorvik_api.h"
#include "platform/framework/win_types.h"

struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};

ZORVIK_API void GetLocalTime(SYSTEMTIME* time);
ZORVIK_API void GetSystemTime(SYSTEMTIME* time);

namespace zk {

// Replaces where GetLocalTime reads from; an empty function restores the system clock.
ZORVIK_API void set_local_time_source(std::function<void(SYSTEMTIME*)> source);

} // namespace zk
