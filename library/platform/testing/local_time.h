// For tests: where GetLocalTime reads from, replaced outright (it wins over a board's
// simulated local time); an empty function restores the default.
//
// Library code never includes the headers of platform/testing/.
#pragma once

#include <functional>

#include "platform/win32/win32_time.h"

namespace zk {

ZORVIK_API void set_local_time_source(std::function<void(SYSTEMTIME*)> source);

} // namespace zk
