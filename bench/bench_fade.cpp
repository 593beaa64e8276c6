// Fade strips of a whole 720 × 486 rectangle at 30 frames, one benchmark per mode, with the
// vectorised blends against the plain reference loops, and one step of the frame player.
// Each carries the field period (16.68 ms at 59.94 fields a second) as its counter
// "field_period", and bench/run_ratios.py prints its time as a share of it: a strip is built
// before the fade starts, but an operator waits for it; a player step runs on every field.
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "core/simd.h"
#include "effects/fade_core.h"
#include "effects/frame_player.h"

namespace {

constexpr long kW = 720, kH = 486, kFrames = 30;
constexpr double kFieldPeriod = 1001.0 / 60000.0;

void report_against_field(benchmark::State& state)
{
    state.counters["field_period"] = kFieldPeriod;
}

// Mode 0 uses only the incoming caption, mode 1 only the picture on air, the rest both.
void build_strip(benchmark::State& state, int mode, bool vectorised)
{
    const CKrFrameBuffer on_air = zb::photo_picture(kW, kH, 3);
    const CKrFrameBuffer incoming = zb::caption_picture(kW, kH, 7);
    CKrFrameBuffer strip;
    zk::simd_override(vectorised ? 1 : 0);
    for (auto _ : state) {
        if (zk::fx::build_fade_strip(mode, on_air, incoming, 0, 0, kW, kH, kFrames, strip) != 0) {
            state.SkipWithError("strip not built");
            break;
        }
        benchmark::ClobberMemory();
    }
    zk::simd_override(-1);
    state.SetItemsProcessed(state.iterations() * kW * kH * kFrames);
    report_against_field(state);
}

void register_strips()
{
    for (int mode = 0; mode < zk::fx::kFadeModes; ++mode) {
        const std::string name = "FadeStripMode" + std::to_string(mode);
        benchmark::RegisterBenchmark((name + ".zorvik").c_str(), build_strip, mode, true)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((name + ".plain_reference").c_str(), build_strip, mode, false)
            ->Unit(benchmark::kMillisecond);
    }
}
const int registered = (register_strips(), 0);

// The player of a 30-frame fade without end, stepped on alternating fields.
void FadePlayerStep(benchmark::State& state)
{
    zk::fx::FadeSetArgs args{0, 3, kFrames, 0, 0, 0, 0, kW, kH, 1};
    zk::fx::PlayerParams params = zk::fx::fade_player_params(args);
    params.passes = 0;
    zk::fx::PlayerState s = zk::fx::start_player(params);
    unsigned long field = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(zk::fx::player_step(s, params, field, true));
        field ^= 1;
    }
    report_against_field(state);
}
BENCHMARK(FadePlayerStep)->Name("FadePlayerStep.zorvik");

} // namespace
