// The filter-graph layer's last failure: one process-wide text, "Error! %s" or
// "Error! %s\nCode = 0x%lX", replaced by every report and read by GetLastErrorText.
#include "onair/mq_filter_graph.h"

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace {

struct LastError {
    std::mutex lock;
    std::string text;
};

LastError& last_error()
{
    static LastError e;
    return e;
}

} // namespace

void ReportError(const char* text, HRESULT code)
{
    char buf[512];
    if (code >= 0) std::snprintf(buf, sizeof buf, "Error! %s", text ? text : "");
    else std::snprintf(buf, sizeof buf, "Error! %s\nCode = 0x%lX", text ? text : "", static_cast<unsigned long>(static_cast<std::uint32_t>(code)));
    LastError& e = last_error();
    std::lock_guard<std::mutex> guard(e.lock);
    e.text = buf;
}

const char* GetLastErrorText()
{
    // Each thread reads its own copy, so a report from another thread cannot change the text
    // under a caller that is still reading it.
    thread_local std::string copy;
    LastError& e = last_error();
    std::lock_guard<std::mutex> guard(e.lock);
    copy = e.text;
    return copy.c_str();
}
