// Shared set-up of the on-air tests: a virtual board on a manual clock, an in-memory registry,
// a window that records what is posted to it, a message-box sink that records the boxes, and
// stepping of the board until something has happened. Nothing here waits for real time:
// every step of the board settles the library's threads, so what a step causes has happened
// when it returns.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/testing/board.h"
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
        });
    }
    ~WindowRecorder() { zk::unregister_window(hwnd_); }
    HWND hwnd() const { return hwnd_; }
    std::vector<Message> messages() const
    {
        std::lock_guard<std::mutex> guard(lock_);
        return messages_;
    }
    // Whether a message with this wParam has arrived.
    bool has(WPARAM wParam) const
    {
        std::lock_guard<std::mutex> guard(lock_);
        for (const Message& m : messages_) {
            if (m.wParam == wParam) return true;
        }
        return false;
    }
    void clear()
    {
        std::lock_guard<std::mutex> guard(lock_);
        messages_.clear();
    }

private:
    HWND hwnd_;
    mutable std::mutex lock_;
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

// Steps the board one settled field at a time until `done` holds (checked before each step),
// at most `max_fields` fields; true when it held.
inline bool step_until(zk::VirtualBoard& board, const std::function<bool()>& done, int max_fields = 3000)
{
    if (!zk::settle()) return false;
    for (int i = 0; i < max_fields; ++i) {
        if (done()) return true;
        if (!board.step_fields(1)) return false;
    }
    return done();
}

inline zk::BoardConfig manual_board(int standard = 1)
{
    return zk::manual_board_config(standard);
}

} // namespace zt
