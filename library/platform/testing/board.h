// For tests: a board of their own, stepped by hand, and a pump that steps it when idle.
//
// BoardOverride installs a board for a scope (a manual clock, another standard, missing
// pieces) and puts the previous one back after. With a manual clock the board's time is the
// process's time while it is installed (Sleep, time-outs, tick counts, local time), and every
// step settles the library's threads before and after each field.
//
// IdlePump is for tests whose own thread blocks in a library call that needs fields to pass
// (a wait for a fade, a slide that plays to its end): it advances one field only when
// everything, the test's thread included, has settled. It makes the constructing thread a
// participant for its lifetime, so the pump never moves time while that thread is busy, and
// stop() returns with the last field's work finished.
//
// Library code never includes the headers of platform/testing/.
#pragma once

#include <atomic>
#include <memory>
#include <thread>

#include "platform/board/virtual_board.h"
#include "platform/testing/settle.h"

namespace zk {

class ZORVIK_API BoardOverride {
public:
    explicit BoardOverride(BoardConfig config);
    ~BoardOverride();
    BoardOverride(const BoardOverride&) = delete;
    BoardOverride& operator=(const BoardOverride&) = delete;
    VirtualBoard& board() { return *board_; }
    std::shared_ptr<VirtualBoard> shared() { return board_; }

private:
    std::shared_ptr<VirtualBoard> board_;
    std::shared_ptr<VirtualBoard> previous_;
};

// The standard board on a manual clock at field 600 (10 s at 59.94 fields a second, on a
// field boundary and far enough from 0 that times before it stay positive).
ZORVIK_API BoardConfig manual_board_config(int standard = 1);

class ZORVIK_API IdlePump {
public:
    // Stops (and reports failure) after `max_fields` fields, so a wait that can never end
    // does not run the clock for ever.
    explicit IdlePump(VirtualBoard& board, long long max_fields = 10'000'000);
    ~IdlePump();
    IdlePump(const IdlePump&) = delete;
    IdlePump& operator=(const IdlePump&) = delete;

    void stop();
    long long fields() const { return fields_.load(); }
    // Something did not settle, or the field limit was reached (the thread dump was written).
    bool failed() const { return failed_.load(); }

private:
    void run();

    VirtualBoard& board_;
    long long max_fields_;
    std::atomic<bool> quit_{false};
    std::atomic<bool> failed_{false};
    std::atomic<long long> fields_{0};
    Participant owner_;
    std::thread thread_;
};

} // namespace zk
