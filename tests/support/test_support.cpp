#include "support/test_support.h"

#include <cstdio>
#include <cstdlib>

namespace zt {

std::uint32_t test_seed()
{
    const char* env = std::getenv("ZORVIK_TEST_SEED");
    if (env && *env) return static_cast<std::uint32_t>(std::strtoul(env, nullptr, 10));
    return 20261208u;
}

std::string temp_path(const std::string& name)
{
    std::string p = std::string(ZORVIK_TEST_TMP) + "/" + name;
    std::remove(p.c_str());
    return p;
}

const std::string& process_tag()
{
    static const std::string tag = std::to_string(std::random_device{}());
    return tag;
}

std::string process_temp_path(const std::string& name)
{
    return temp_path("p" + process_tag() + "_" + name);
}

std::string data_path(const std::string& name)
{
    return std::string(ZORVIK_TEST_DATA) + "/" + name;
}

void fill_random(CKrFrameBuffer& fb, std::mt19937& rng, int keys)
{
    DWORD* p = fb.GetBufferDWord();
    const size_t n = static_cast<size_t>(fb.GetWidth()) * fb.GetHeight();
    for (size_t i = 0; i < n; ++i) {
        DWORD v = rng();
        if (keys == 1) {
            const DWORD pick = rng() % 16;
            const DWORD key = pick < 7 ? 0 : pick < 14 ? 255 : (rng() & 0xFF);
            v = (v & 0x00FFFFFF) | key << 24;
        }
        p[i] = v;
    }
}

CKrFrameBuffer random_buffer(long w, long h, std::mt19937& rng, int keys)
{
    CKrFrameBuffer fb(w, h, 1);
    fill_random(fb, rng, keys);
    return fb;
}

long diff_pixels(const CKrFrameBuffer& a, const CKrFrameBuffer& b, std::string* where)
{
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return -1;
    long n = 0;
    for (unsigned long y = 0; y < a.GetHeight(); ++y) {
        for (unsigned long x = 0; x < a.GetWidth(); ++x) {
            const DWORD pa = px(a, static_cast<long>(x), static_cast<long>(y));
            const DWORD pb = px(b, static_cast<long>(x), static_cast<long>(y));
            if (pa != pb) {
                if (n == 0 && where) {
                    char text[96];
                    std::snprintf(text, sizeof text, "(%lu,%lu): %08X vs %08X", x, y, pa, pb);
                    *where = text;
                }
                ++n;
            }
        }
    }
    return n;
}

} // namespace zt
