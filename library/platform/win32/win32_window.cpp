// Host windows by handle, the message-box sink and the debugger output.
#include "platform/win32/win32_window.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

#include "platform/win32/win32_sync.h"

namespace zk {
namespace {

struct Window {
    std::recursive_mutex calls; // held while the handler runs, so unregistering waits for it
    WindowHandler handler;
};

struct Windows {
    std::mutex lock;
    std::map<std::uintptr_t, std::shared_ptr<Window>> by_handle;
    std::uintptr_t next = 0x10;
};

Windows& windows()
{
    static Windows w;
    return w;
}

std::shared_ptr<Window> find_window(HWND hwnd)
{
    Windows& w = windows();
    std::lock_guard<std::mutex> guard(w.lock);
    auto it = w.by_handle.find(reinterpret_cast<std::uintptr_t>(hwnd));
    return it == w.by_handle.end() ? nullptr : it->second;
}

struct Sinks {
    std::mutex lock;
    MessageBoxSink box;
    std::function<void(const char*)> debug;
};

Sinks& sinks()
{
    static Sinks s;
    return s;
}

int default_message_box(HWND, const char* text, const char* caption, UINT)
{
    std::fprintf(stderr, "[%s] %s\n", caption ? caption : "", text ? text : "");
    return IDOK;
}

} // namespace

HWND register_window(WindowHandler handler)
{
    auto window = std::make_shared<Window>();
    window->handler = std::move(handler);
    Windows& w = windows();
    std::lock_guard<std::mutex> guard(w.lock);
    const std::uintptr_t key = w.next;
    w.next += 0x10;
    w.by_handle.emplace(key, std::move(window));
    return reinterpret_cast<HWND>(key);
}

void unregister_window(HWND hwnd)
{
    std::shared_ptr<Window> window;
    {
        Windows& w = windows();
        std::lock_guard<std::mutex> guard(w.lock);
        auto it = w.by_handle.find(reinterpret_cast<std::uintptr_t>(hwnd));
        if (it == w.by_handle.end()) return;
        window = std::move(it->second);
        w.by_handle.erase(it);
    }
    std::lock_guard<std::recursive_mutex> wait_for_calls(window->calls);
}

MessageBoxSink set_message_box_sink(MessageBoxSink sink)
{
    Sinks& s = sinks();
    std::lock_guard<std::mutex> guard(s.lock);
    MessageBoxSink previous = std::move(s.box);
    s.box = std::move(sink);
    return previous;
}

void set_debug_output_observer(std::function<void(const char*)> observer)
{
    Sinks& s = sinks();
    std::lock_guard<std::mutex> guard(s.lock);
    s.debug = std::move(observer);
}

} // namespace zk

BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto w = zk::find_window(window);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    std::lock_guard<std::recursive_mutex> guard(w->calls);
    if (w->handler) w->handler(message, wParam, lParam);
    return TRUE;
}

BOOL IsWindow(HWND window)
{
    return zk::find_window(window) ? TRUE : FALSE;
}

int MessageBox(HWND owner, const char* text, const char* caption, UINT type)
{
    zk::MessageBoxSink sink;
    {
        auto& s = zk::sinks();
        std::lock_guard<std::mutex> guard(s.lock);
        sink = s.box;
    }
    return sink ? sink(owner, text, caption, type) : zk::default_message_box(owner, text, caption, type);
}

void OutputDebugString(const char* text)
{
    if (!text) return;
    static const bool to_stderr = [] {
        const char* e = std::getenv("ZORVIK_DEBUG_OUTPUT");
        return e && *e && *e != '0';
    }();
    if (to_stderr) std::fputs(text, stderr);
    std::function<void(const char*)> observer;
    {
        auto& s = zk::sinks();
        std::lock_guard<std::mutex> guard(s.lock);
        observer = s.debug;
    }
    if (observer) observer(text);
}
