// What the source files of CMQFilterGraph share and nobody else needs: the failure helper and
// the few time-outs and markers every part of the graph layer uses.
#pragma once

#include "core/errors.h"
#include "onair/mq_filter_graph.h"

namespace zk {

// RunGraphAt's marker for "run now" (all bits set), as opposed to a clock time.
constexpr REFERENCE_TIME kRunNow = -1;
// 50.05 ms between computing a start time and the start.
constexpr REFERENCE_TIME kStartLead = 500500;
// How long ending a scrub or a shuttle may take when another operation ends it.
constexpr DWORD kEndModeTimeOut = 5000;
constexpr DWORD kThreadDeathTimeOut = 5000;
// The caption of every message box of the layer.
constexpr const char* kCaption = "MQFG Library";

// Reports a failure and gives its code back, through the library's failure trace.
inline HRESULT fail(const char* text, HRESULT code)
{
    ReportError(text, code);
    return ZK_FAIL(code);
}

} // namespace zk
