// What recording the program output costs, per field, at 720 × 486 and 59.94 fields a second:
// a recorder fed 120 fields (60 frames) of a clip, opened and closed in every iteration, on
// each lossless codec it can write and on caption, test-pattern and worst-case content.
// "RecordField.<content>.zorvik" is the codec recordings use (UT Video); the other codecs are
// the alternatives it was chosen over, so bench/run_ratios.py prints how much cheaper it is.
//
// The figure that matters is the processor time of the whole process (the caller copying
// lines and the worker converting, encoding and writing), per field, as a share of the field
// period (16.68 ms); the budget is a quarter of it. Run pinned to one core so that the worker
// cannot hide on another:
//     taskset -c 1 build/release/bin/bench_recorder
// Counters: cpu_ms_per_field, share_of_field (0.25 is the budget), bytes_per_frame.
#include <benchmark/benchmark.h>

#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "platform/recorder/program_recorder.h"
#include "support/field_clip.h"

namespace {

constexpr int kW = 720, kH = 486;
constexpr long kFields = 120;
constexpr double kFieldMs = 1000.0 * 1001.0 / 60000.0;

const std::vector<std::vector<std::uint32_t>>& clip(zt::ClipKind kind)
{
    static std::vector<std::vector<std::uint32_t>> pictures[3];
    auto& p = pictures[static_cast<int>(kind)];
    if (p.empty())
        for (long f = 0; f < kFields; ++f) p.push_back(zt::clip_picture(kind, f, kW, kH));
    return p;
}

void record(benchmark::State& state, zk::RecorderCodec codec, zt::ClipKind kind)
{
    const auto& pictures = clip(kind);
    const std::string path = std::string(ZORVIK_BENCH_TMP) + "/bench_recorder.mkv";
    zk::RecorderSettings settings;
    settings.video_path = path;
    settings.codec = codec;
    double cpu_seconds = 0;
    for (auto _ : state) {
        const std::clock_t start = std::clock();
        zk::ProgramRecorder recorder;
        if (recorder.open(settings) != zk::kRecorderOk) {
            state.SkipWithError(recorder.last_error().c_str());
            return;
        }
        for (long f = 0; f < kFields; ++f)
            recorder.add_field(f % 2 ? zk::FieldParity::second : zk::FieldParity::first, pictures[static_cast<std::size_t>(f)], kW);
        if (recorder.close() != zk::kRecorderOk) {
            state.SkipWithError(recorder.last_error().c_str());
            return;
        }
        cpu_seconds += static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    }
    const double ms_per_field = cpu_seconds * 1000.0 / (static_cast<double>(state.iterations()) * kFields);
    state.counters["cpu_ms_per_field"] = ms_per_field;
    state.counters["share_of_field"] = ms_per_field / kFieldMs;
    state.counters["bytes_per_frame"] = static_cast<double>(std::filesystem::file_size(path)) / (kFields / 2);
    state.SetItemsProcessed(state.iterations() * kFields);
}

struct Codec {
    zk::RecorderCodec codec;
    const char* name;
};
struct Content {
    zt::ClipKind kind;
    const char* name;
};

const bool registered = [] {
    for (Codec c : {Codec{zk::RecorderCodec::utvideo, "zorvik"}, Codec{zk::RecorderCodec::ffv1, "ffv1"},
                    Codec{zk::RecorderCodec::png, "png"}})
        for (Content k : {Content{zt::ClipKind::caption, "caption"}, Content{zt::ClipKind::rectangles, "rectangles"},
                          Content{zt::ClipKind::busy, "busy"}})
            benchmark::RegisterBenchmark((std::string("RecordField.") + k.name + "." + c.name).c_str(),
                                         [c, k](benchmark::State& s) { record(s, c.codec, k.kind); })
                ->Unit(benchmark::kMillisecond)
                ->MeasureProcessCPUTime()
                ->Iterations(3);
    return true;
}();

} // namespace
