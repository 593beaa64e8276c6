// Frames kept as pictures: one PAM file ("P7", TUPLTYPE RGB_ALPHA) per frame, fill as red,
// green and blue and the key as alpha, so a person can look at a recorded frame with any
// viewer that reads PAM (or `convert frame_000012.pam frame.png`) and a test can compare it
// byte for byte. The same layout as the pictures the test suite keeps.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/recorder/recorder_status.h"

namespace zk {

// The name of frame `index` in `dir`: dir/frame_000012.pam.
std::string snapshot_path(const std::string& dir, long long index);

// Writes width × height pixels (rows packed) to `path`, replacing what was there.
RecorderStatus write_pam_snapshot(const std::string& path, std::span<const std::uint32_t> pixels, int width, int height);

} // namespace zk
