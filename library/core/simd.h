// Whether the hand-vectorised kernels may run.
//
// They run when the processor has AVX2 and the environment variable ZORVIK_NO_SIMD is unset
// or "0". Setting it makes every kernel take its plain reference path, so the whole test
// suite can be run on both.
#pragma once

namespace zk {

bool simd_avx2_enabled();

// For tests and benchmarks: force the plain paths on or off regardless of the environment.
void simd_override(int enabled /* -1 = follow environment and CPU, 0 = off, 1 = on if CPU has it */);

} // namespace zk
