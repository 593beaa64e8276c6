// Local and system time as the Windows SYSTEMTIME record.
//
// The timers read the local time's seconds and milliseconds to advance running clocks. While a
// board runs on a hand-stepped clock, local time is the board's start date plus board time;
// tests may also replace the source outright (platform/testing/local_time.h).
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
