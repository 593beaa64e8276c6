// Shared set-up of the on-air tests: a virtual board on a manual clock, an in-memory registry,
// a window that records what is posted to it, a message-box sink that records the boxes, and
// a pump that steps the clock field by field whenever something waits on it.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/board/virtual_board.h"
#include "platform/registry/registry.h"
#include "platform/win32/win32_window.h"

namespace zt {

// Records the messages posted to one registered window.
class WindowRecorder {
public:
    struct Message {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    WindowRecorder()
    {
        hwnd_ = zk::register_window([this](UINT m, WPARAM w, LPARAM l) {
            std::lock_guard<std::mutex> guard(lock_);
            messages_.push_back({m, w, l});
            changed_.notify_all();
        });
    }
    ~WindowRecorder() { zk::unregister_window(hwnd_); }
    HWND hwnd() const { return hwnd_; }
    std::vector<Message> messages() const
    {
        std::lock_guard<std::mutex> guard(lock_);
        return messages_;
    }
    // Waits (in real time, at most `ms`) until a message with this wParam has arrived. As
    // generous as eventually(): a loaded sanitizer run can be slow to get the worker going.
    bool wait_for(WPARAM wParam, int ms = 20000)
    {
        std::unique_lock<std::mutex> lock(lock_);
        return changed_.wait_for(lock, std::chrono::milliseconds(ms), [&] {
            for (const Message& m : messages_) {
                if (m.wParam == wParam) return true;
            }
            return false;
        });
    }
    void clear()
    {
        std::lock_guard<std::mutex> guard(lock_);
        messages_.clear();
    }

private:
    HWND hwnd_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::vector<Message> messages_;
};

// Captures message boxes instead of writing them out.
class BoxRecorder {
public:
    struct Box {
        std::string text;
        std::string caption;
        UINT type;
    };
    BoxRecorder()
    {
        previous_ = zk::set_message_box_sink([this](HWND, const char* text, const char* caption, UINT type) {
            std::lock_guard<std::mutex> guard(lock_);
            boxes_.push_back({text ? text : "", caption ? caption : "", type});
            return IDOK;
        });
    }
    ~BoxRecorder() { zk::set_message_box_sink(previous_); }
    std::vector<Box> boxes() const
    {
        std::lock_guard<std::mutex> guard(lock_);
        return boxes_;
    }

private:
    mutable std::mutex lock_;
    std::vector<Box> boxes_;
    zk::MessageBoxSink previous_;
};

// Steps the board's manual clock one field at a time while anything is scheduled on it (a
// graph heading for its stop time, an advise somebody waits for). Results do not depend on
// how fast it goes: everything the graph does follows the clock, not the wall.
class FieldPump {
public:
    explicit FieldPump(zk::VirtualBoard& board) : board_(board)
    {
        thread_ = std::thread([this] {
            while (!quit_.load()) {
                if (board_.time_base()->pending() > 0) {
                    board_.step_fields(1);
                    ++steps_;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
        });
    }
    ~FieldPump() { stop(); }
    void stop()
    {
        quit_ = true;
        if (thread_.joinable()) thread_.join();
    }
    long steps() const { return steps_.load(); }

private:
    zk::VirtualBoard& board_;
    std::atomic<bool> quit_{false};
    std::atomic<long> steps_{0};
    std::thread thread_;
};

// Polls `done` in real time for at most `ms`; generous, because sanitizer builds on a loaded
// machine can leave a worker thread unscheduled for seconds. Only a failing test waits it out.
inline bool eventually(const std::function<bool()>& done, int ms = 20000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline zk::BoardConfig manual_board(int standard = 1)
{
    zk::BoardConfig c = zk::BoardConfig::standard();
    c.manual_clock = true;
    // Field 600 (10 s at 60 fields per second): on a field boundary, and far enough from 0
    // that times before it stay positive.
    const zk::FieldRate r = zk::field_rate(standard);
    c.manual_start = 600 * r.R / r.S;
    for (auto& set : c.cardsets) set.standard = standard;
    return c;
}

} // namespace zt
