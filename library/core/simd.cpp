#include "core/simd.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace zk {
namespace {

bool detect()
{
    const char* env = std::getenv("ZORVIK_NO_SIMD");
    if (env && *env && std::strcmp(env, "0") != 0) return false;
    return __builtin_cpu_supports("avx2");
}

std::atomic<int> g_override{-1};

} // namespace

bool simd_avx2_enabled()
{
    static const bool detected = detect();
    const int o = g_override.load(std::memory_order_relaxed);
    if (o == 0) return false;
    if (o == 1) return __builtin_cpu_supports("avx2");
    return detected;
}

void simd_override(int enabled)
{
    g_override.store(enabled, std::memory_order_relaxed);
}

} // namespace zk
