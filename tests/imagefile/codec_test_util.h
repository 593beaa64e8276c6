// Helpers for the codec tests: pictures with runs, noise and keys, in-memory files, a file
// that fails on demand, and the command-line tools of the cross-checks.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "framebuffer/kr_frame_buffer.h"
#include "platform/framework/cfile.h"
#include "support/test_support.h"

namespace zt {

// Flat bands (long runs), short repeats, noise and a gradient, with keys that are mostly 0
// or 255 and sometimes in between: what captions look like to an encoder.
inline CKrFrameBuffer varied_picture(long w, long h, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    CKrFrameBuffer fb(w, h, 1);
    for (long y = 0; y < h; ++y) {
        const int band = static_cast<int>(y % 4);
        DWORD flat = rng() | 0xFF000000u;
        for (long x = 0; x < w; ++x) {
            DWORD v = 0;
            switch (band) {
            case 0: v = (x / 9) % 2 ? flat : 0x00000000u; break;  // runs, transparent gaps
            case 1: v = rng(); break;                                // noise, any key
            case 2: v = 0xFF000000u | static_cast<DWORD>(x * 255 / (w > 1 ? w - 1 : 1)) << 8; break;
            default: v = (rng() % 3 == 0) ? flat : (flat ^ 0x00010101u); break;  // short repeats
            }
            set_px(fb, x, y, v);
        }
    }
    return fb;
}

inline std::vector<BYTE> read_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void write_bytes(const std::string& path, const std::vector<BYTE>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A memory file whose reads or writes fail once `budget` bytes have passed, as a disk error
// would: the file layer throws.
class FailingFile : public CMemFile {
public:
    FailingFile(const std::vector<BYTE>& data, size_t budget) : CMemFile(data.data(), data.size()), budget_(budget) {}
    UINT Read(void* buffer, UINT count) override
    {
        spend(count);
        return CMemFile::Read(buffer, count);
    }
    void Write(const void* buffer, UINT count) override
    {
        spend(count);
        CMemFile::Write(buffer, count);
    }

private:
    void spend(UINT count)
    {
        if (count > budget_) throw CFileException(CFileException::hardIO);
        budget_ -= count;
    }
    size_t budget_;
};

inline bool tool_available(const char* name)
{
    const std::string cmd = std::string("command -v ") + name + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

inline int run_tool(const std::string& cmd)
{
    return std::system((cmd + " >/dev/null 2>&1").c_str());
}

// RGBA bytes (as ImageMagick's rgba: dump) as frame-buffer words.
inline std::vector<DWORD> rgba_to_words(const std::vector<BYTE>& rgba)
{
    std::vector<DWORD> out(rgba.size() / 4);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<DWORD>(rgba[4 * i + 2]) | static_cast<DWORD>(rgba[4 * i + 1]) << 8 |
                 static_cast<DWORD>(rgba[4 * i]) << 16 | static_cast<DWORD>(rgba[4 * i + 3]) << 24;
    return out;
}

// Largest difference of any byte between the picture and expected words (-1: sizes differ);
// total receives the sum of all byte differences.
inline int max_byte_diff(const CKrFrameBuffer& fb, const std::vector<DWORD>& expected, long* total = nullptr,
                         bool with_key = true)
{
    if (expected.size() != static_cast<size_t>(fb.GetWidth()) * fb.GetHeight()) return -1;
    int worst = 0;
    long sum = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
        const DWORD a = fb.GetBufferDWord()[i], b = expected[i];
        for (int s = 0; s < (with_key ? 32 : 24); s += 8) {
            const int d = std::abs(static_cast<int>((a >> s) & 0xFF) - static_cast<int>((b >> s) & 0xFF));
            worst = std::max(worst, d);
            sum += d;
        }
    }
    if (total) *total = sum;
    return worst;
}

} // namespace zt
