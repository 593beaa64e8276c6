// SYSTEMTIME from the real-time clock, or from the board's time while a board runs on a
// hand-stepped clock; tests may also replace the local time's source outright.
#include "platform/win32/win32_time.h"

#include "platform/testing/local_time.h"
#include "platform/win32/sim_time.h"

#include <mutex>
#include <time.h>

namespace zk {
namespace {

struct TimeSource {
    std::mutex lock;
    std::function<void(SYSTEMTIME*)> source;
};

TimeSource& time_source()
{
    static TimeSource s;
    return s;
}

void fill(SYSTEMTIME* out, bool local)
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm parts{};
    if (local) localtime_r(&ts.tv_sec, &parts);
    else gmtime_r(&ts.tv_sec, &parts);
    out->wYear = static_cast<WORD>(parts.tm_year + 1900);
    out->wMonth = static_cast<WORD>(parts.tm_mon + 1);
    out->wDayOfWeek = static_cast<WORD>(parts.tm_wday);
    out->wDay = static_cast<WORD>(parts.tm_mday);
    out->wHour = static_cast<WORD>(parts.tm_hour);
    out->wMinute = static_cast<WORD>(parts.tm_min);
    out->wSecond = static_cast<WORD>(parts.tm_sec > 59 ? 59 : parts.tm_sec);
    out->wMilliseconds = static_cast<WORD>(ts.tv_nsec / 1000000);
}

} // namespace

void set_local_time_source(std::function<void(SYSTEMTIME*)> source)
{
    TimeSource& s = time_source();
    std::lock_guard<std::mutex> guard(s.lock);
    s.source = std::move(source);
}

} // namespace zk

void GetLocalTime(SYSTEMTIME* time)
{
    if (!time) return;
    std::function<void(SYSTEMTIME*)> source;
    {
        auto& s = zk::time_source();
        std::lock_guard<std::mutex> guard(s.lock);
        source = s.source;
    }
    if (source) source(time);
    else if (!zk::simulated_local_time(*time)) zk::fill(time, true);
}

void GetSystemTime(SYSTEMTIME* time)
{
    if (time) zk::fill(time, false);
}
