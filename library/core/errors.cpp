#include "core/errors.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace zk {
namespace {

struct Sink {
    std::mutex lock;
    MessageTarget target = nullptr;
    void* context = nullptr;
    std::function<void(const char*)> observer;
};

Sink& sink()
{
    static Sink s;
    return s;
}

bool tracing()
{
    static const bool on = [] {
        const char* e = std::getenv("ZORVIK_TRACE_ERRORS");
        return e && *e && *e != '0';
    }();
    return on;
}

} // namespace

int trace_failure(int code, const char* where)
{
    if (tracing()) std::fprintf(stderr, "zorvik: %s failed with %d\n", where, code);
    return code;
}

void report_message(const char* fmt, ...)
{
    char text[512];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    Sink& s = sink();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.observer) s.observer(text);
    if (s.target) s.target(s.context, text);
}

void set_message_target(MessageTarget target, void* context)
{
    Sink& s = sink();
    std::lock_guard<std::mutex> guard(s.lock);
    s.target = target;
    s.context = context;
}

void clear_message_target(void* context)
{
    Sink& s = sink();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.context != context) return;
    s.target = nullptr;
    s.context = nullptr;
}

void set_message_observer(std::function<void(const char*)> observer)
{
    Sink& s = sink();
    std::lock_guard<std::mutex> guard(s.lock);
    s.observer = std::move(observer);
}

} // namespace zk
