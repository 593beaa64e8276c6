// The outcome of one step of a recording: a RecorderResult code and, on failure, a sentence
// for the person who asked for the recording ("cannot create /x/out.mkv: Permission denied").
//
// Every failure is made with ZK_RECORDER_FAIL, which passes through the library's one failure
// trace, so a breakpoint there (or ZORVIK_TRACE_ERRORS) finds where a recording went wrong.
#pragma once

#include <string>

#include "core/errors.h"

namespace zk {

struct RecorderStatus {
    int code = 0;
    std::string text;

    bool ok() const { return code == 0; }
};

#define ZK_RECORDER_FAIL(code, text) (::zk::RecorderStatus{ZK_FAIL(code), (text)})

} // namespace zk
