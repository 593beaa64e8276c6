// One choke point for failures, and the library's message sink.
//
// Every internal failure returns through ZK_FAIL(code), so one breakpoint in trace_failure
// finds where any failure started; with ZORVIK_TRACE_ERRORS set in the environment each is
// also printed to standard error with the function it came from.
//
// report_message is where operations that fail "with a message" send their short text
// ("TgaLoadErr %s", "FontOpenErr %d:%s" ...). The text goes to the current on-air
// controller's message display when one is registered and is dropped otherwise; callers
// learn of failures from result codes only. Tests and hosts may watch the texts.
#pragma once

#include <functional>

#include "core/zorvik_api.h"

namespace zk {

[[gnu::cold]] int trace_failure(int code, const char* where);

#define ZK_FAIL(code) (::zk::trace_failure((code), __func__))

void report_message(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Where report_message delivers: set by the on-air controller while one is initialised.
using MessageTarget = void (*)(void* context, const char* text);
ZORVIK_API void set_message_target(MessageTarget target, void* context);
// Removes the target only while it is still the one set with `context` (a controller going
// away must not silence the one that took over). Once it returns, no delivery to that target
// is under way.
ZORVIK_API void clear_message_target(void* context);

// An extra observer of every reported text (tests, host logging); null removes it.
ZORVIK_API void set_message_observer(std::function<void(const char*)> observer);

} // namespace zk
