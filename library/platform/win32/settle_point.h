// The settle point: which threads the library has, and whether all of them are blocked.
//
// The library knows its threads (those it starts) and threads a test registers as
// participants, and whether each is running or blocked. settle() returns once every one of
// them, the caller excepted, is blocked on something that is not signalled (or sleeps until
// a time not yet reached). A board on a hand-stepped clock settles before and after every
// field, so each field's consequences are complete before the next one comes.
//
// Tests reach this through platform/testing/settle.h.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "core/zorvik_api.h"

namespace zk {

// Makes the calling thread a participant (it then counts while it runs); calls nest, and the
// thread stops being one at the matching number of unregisters.
ZORVIK_API void register_participant(const char* name = nullptr);
ZORVIK_API void unregister_participant();

// Waits until everything has settled. A real-time watchdog (watchdog_ms, 0 for the default of
// 20 s or ZORVIK_SETTLE_WATCHDOG_MS) ends the wait when something never settles: the state of
// every known thread is written to standard error and false returned. `stop` ends the wait
// early when it becomes true (after wake_settle_waiters()).
ZORVIK_API bool settle(unsigned watchdog_ms = 0, const std::atomic<bool>* stop = nullptr);
ZORVIK_API void wake_settle_waiters();

// Diagnostics: every known thread and what it waits on; how many there are; how many
// wake-ups the wait layer has handed out since the process started.
ZORVIK_API std::string thread_dump();
ZORVIK_API size_t participant_count();
ZORVIK_API std::uint64_t wakeup_count();

} // namespace zk
