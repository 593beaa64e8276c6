// For tests: the settle point (platform/win32/settle_point.h) and a scoped participant.
//
// A test thread that drives the library while an IdlePump runs, or that should count for the
// settle point for any other reason, holds a Participant for as long as it does.
//
// Library code never includes the headers of platform/testing/.
#pragma once

#include "platform/win32/settle_point.h"

namespace zk {

class Participant {
public:
    explicit Participant(const char* name = nullptr) { register_participant(name); }
    ~Participant() { unregister_participant(); }
    Participant(const Participant&) = delete;
    Participant& operator=(const Participant&) = delete;
};

} // namespace zk
