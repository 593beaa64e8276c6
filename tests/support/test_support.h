// Helpers shared by the test programs: seeded random pictures, temporary paths, pixel diffs.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "framebuffer/kr_frame_buffer.h"

namespace zt {

// A seed for a random test: ZORVIK_TEST_SEED when set, else a fixed default. Each random
// test prints it, so a failure can be replayed.
std::uint32_t test_seed();

// A fresh path under the build's test folder: <tmp>/<name>, any old file removed.
std::string temp_path(const std::string& name);
// A token drawn once per test process, and temp_path of a name carrying it: test programs run
// at once never share (or remove) each other's files.
const std::string& process_tag();
std::string process_temp_path(const std::string& name);
std::string data_path(const std::string& name);

// Random pixels; `keys` chooses how keys are drawn: 0 any, 1 mostly 0 or 255 (captions).
void fill_random(CKrFrameBuffer& fb, std::mt19937& rng, int keys = 0);
CKrFrameBuffer random_buffer(long w, long h, std::mt19937& rng, int keys = 0);

// Number of differing pixels, and the first difference in `where`.
long diff_pixels(const CKrFrameBuffer& a, const CKrFrameBuffer& b, std::string* where = nullptr);

inline DWORD px(const CKrFrameBuffer& fb, long x, long y)
{
    return fb.GetBufferDWord()[static_cast<size_t>(y) * fb.GetWidth() + static_cast<size_t>(x)];
}
inline void set_px(CKrFrameBuffer& fb, long x, long y, DWORD v)
{
    fb.GetBufferDWord()[static_cast<size_t>(y) * fb.GetWidth() + static_cast<size_t>(x)] = v;
}

} // namespace zt
