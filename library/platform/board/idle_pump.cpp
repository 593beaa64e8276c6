// The idle pump: one field at a time, only while everything has settled.
#include <cstdio>

#include "platform/testing/board.h"
#include "platform/win32/settle_point.h"

namespace zk {

BoardConfig manual_board_config(int standard)
{
    BoardConfig c = BoardConfig::standard();
    c.manual_clock = true;
    for (auto& set : c.cardsets) set.standard = standard;
    const FieldRate r = field_rate(standard);
    c.manual_start = 600 * r.R / r.S;
    return c;
}

IdlePump::IdlePump(VirtualBoard& board, long long max_fields)
    : board_(board), max_fields_(max_fields), owner_("idle pump's owner"), thread_([this] { run(); })
{
}

IdlePump::~IdlePump()
{
    stop();
}

void IdlePump::stop()
{
    quit_ = true;
    wake_settle_waiters();
    if (thread_.joinable()) {
        thread_.join();
        // A step cut short by the stop may have left its field's work running: let it finish,
        // so whatever the owner does next starts from a settled board.
        if (!settle()) failed_ = true;
    }
}

void IdlePump::run()
{
    while (!quit_.load()) {
        if (!settle(0, &quit_)) {
            // Dumped by settle(); keep waiting, the test may still be at honest work.
            failed_ = true;
            continue;
        }
        if (quit_.load()) return;
        if (fields_.load() >= max_fields_) {
            std::fprintf(stderr, "zorvik: the idle pump stopped after %lld fields\n%s", fields_.load(),
                         thread_dump().c_str());
            failed_ = true;
            return;
        }
        if (!board_.step_fields(1, &quit_)) failed_ = true;
        ++fields_;
    }
}

} // namespace zk
