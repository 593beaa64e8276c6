// The outcome of a media operation: a MediaResult code and, on failure, a sentence that names
// the file and what was wrong with it ("cannot read clip.avi: no video or sound the library
// decodes"). Positive codes are successes that carry a note (a clip without a key).
//
// Every failure is made with ZK_MEDIA_FAIL, which passes through the library's one failure
// trace, so a breakpoint there (or ZORVIK_TRACE_ERRORS) finds where reading a file went wrong.
#pragma once

#include <string>

#include "core/errors.h"

namespace zk {

enum MediaResult : int {
    kMediaOk = 0,
    kMediaNoKey = 1,        // the clip opened, but has no matte or alpha: it is shown opaque
    kMediaKeyShorter = 2,   // the clip opened, but its key has fewer frames: the last one is held
    kMediaBadArgument = -1, // a picture size, a buffer too small for what was asked
    kMediaNotFound = -2,    // no such file
    kMediaUnreadable = -3,  // not a container or codec the library reads, or damaged headers
    kMediaNoStream = -4,    // no video where a picture was asked for, no sound where samples were
    kMediaTooLarge = -5,    // the file states sizes or rates beyond what the library takes
    kMediaDecodeFailed = -6, // a frame or samples could not be decoded, or are missing from the file
    kMediaOutOfRange = -7,  // a frame or sample number outside the file
    kMediaNotOpen = -8,     // nothing is open
};

struct MediaStatus {
    int code = kMediaOk;
    std::string text;

    // Successes include those with a note.
    bool ok() const { return code >= 0; }
};

#define ZK_MEDIA_FAIL(code, text) (::zk::MediaStatus{ZK_FAIL(code), (text)})

} // namespace zk
