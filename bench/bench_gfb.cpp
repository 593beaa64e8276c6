// What the graphics frame buffer costs per field at 720 × 486, 59.94 fields a second, on the
// virtual board:
//   - FieldCopy: the vertical-sync thread's copy of one field of the whole picture from the
//     back area to the front (CMQGraph::GfbCopyBktoFr_FirstField: the request, its journal
//     entry, the device's blit under the memory's lock); the peer copies the same 243 lines
//     with memcpy;
//   - FieldWrite: an effect writing one field of a whole picture (GfbFrWrite_First, row by row
//     under the lock); the peer is memcpy of the same lines;
//   - BackWrite: the on-air control writing a whole changed picture into the back area
//     (GfbBkWriteBuff); the peer is memcpy of the picture;
//   - RecordField: the board reading out each field of a changing caption and recording it
//     (the output stage with the plain composer feeding the UT Video recorder, 120 fields per
//     iteration, opened and closed in it); the peer ("readout") is the same stage without the
//     recording. The figure is the processor time of the whole process (the stepping thread
//     and the encoder) per field as a share of the field period; the budget is a quarter.
// The copy cases carry "field_period", so bench/run_ratios.py prints their time as a share of
// a field. Run pinned to one core so that no thread hides on another:
//     taskset -c 1 build/release/bin/bench_gfb
// As measured on the shared build machine: a field copy 26 us (0.16 % of a field; memcpy of the
// same lines 23 us), a field write 25 us, a whole back-area write 0.1 ms; recording 3.8 ms of
// processor time per field (23 % of a field, the recorder alone about 2.9 ms), the read-out
// without recording 0.53 ms (3 %).
#include <benchmark/benchmark.h>

#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "onair/mq_graph.h"
#include "platform/board/gfb_device.h"
#include "platform/board/output_stage.h"
#include "platform/testing/board.h"
#include "support/field_clip.h"

namespace {

constexpr int kW = 720, kH = 486;
constexpr double kFieldSeconds = 1001.0 / 60000.0;
constexpr long kRecordedFields = 120;

// A manual board with a built graph, its graphics memory filled with a caption.
struct Rig {
    zk::BoardOverride board{zk::manual_board_config()};
    CMQGraph graph;
    std::vector<std::uint32_t> picture = zt::clip_picture(zt::ClipKind::caption, 3, kW, kH);
    bool ok = false;
    Rig()
    {
        ok = graph.Initialize(TRUE) == S_OK && graph.BuildGraph() == S_OK &&
             graph.GfbBkWriteBuff(bytes(), kW, kH, 0, 0, kW, kH, 0, 0) == 0;
    }
    const unsigned char* bytes() const { return reinterpret_cast<const unsigned char*>(picture.data()); }
};

void per_field(benchmark::State& state)
{
    state.counters["field_period"] = kFieldSeconds;
    state.SetItemsProcessed(state.iterations());
}

void FieldCopy_zorvik(benchmark::State& state)
{
    Rig rig;
    if (!rig.ok) return state.SkipWithError("the graph did not build");
    long copies = 0;
    for (auto _ : state) {
        rig.graph.GfbCopyBktoFr_FirstField(0, 0, kW, kH);
        // The journal keeps every request; a long run must not measure its growth.
        if (++copies % 4096 == 0) rig.board.board().journal().clear();
    }
    per_field(state);
}

// The peers: memcpy of the rows first, first + step, ... of a picture into the board's memory at
// its pitch, from line `to_top` on.
void rows_memcpy(benchmark::State& state, int first, int step, int to_top)
{
    std::vector<std::uint32_t> memory(static_cast<std::size_t>(zk::kGfbPitch) * zk::kGfbLines);
    const auto picture = zt::clip_picture(zt::ClipKind::caption, 3, kW, kH);
    for (auto _ : state) {
        for (int y = first; y < kH; y += step)
            std::memcpy(memory.data() + static_cast<std::size_t>(to_top + y) * zk::kGfbPitch,
                        picture.data() + static_cast<std::size_t>(y) * kW, kW * 4);
        benchmark::DoNotOptimize(memory.data());
    }
    per_field(state);
}

void FieldCopy_memcpy(benchmark::State& state)
{
    rows_memcpy(state, 1, 2, 0);
}

void FieldWrite_zorvik(benchmark::State& state)
{
    Rig rig;
    if (!rig.ok) return state.SkipWithError("the graph did not build");
    for (auto _ : state) rig.graph.GfbFrWrite_First(rig.bytes(), kW, kH, 0, 0, kW, kH, 0, 0);
    per_field(state);
}

void FieldWrite_memcpy(benchmark::State& state)
{
    rows_memcpy(state, 1, 2, 0);
}

void BackWrite_zorvik(benchmark::State& state)
{
    Rig rig;
    if (!rig.ok) return state.SkipWithError("the graph did not build");
    for (auto _ : state) rig.graph.GfbBkWriteBuff(rig.bytes(), kW, kH, 0, 0, kW, kH, 0, 0);
    per_field(state);
}

void BackWrite_memcpy(benchmark::State& state)
{
    rows_memcpy(state, 0, 1, zk::kGfbAreaLines);
}

// The board reads out (and records) a caption that changes every field.
void record_fields(benchmark::State& state, bool record)
{
    static std::vector<std::vector<std::uint32_t>> pictures;
    if (pictures.empty())
        for (long f = 0; f < 16; ++f) pictures.push_back(zt::clip_picture(zt::ClipKind::caption, f, kW, kH));
    zk::BoardOverride board(zk::manual_board_config());
    auto memory = zk::graphics_memory(board.board());
    zk::OutputStage& stage = zk::output_stage(board.shared());
    const std::string path = std::string(ZORVIK_BENCH_TMP) + "/bench_gfb.mkv";
    double cpu_seconds = 0;
    for (auto _ : state) {
        const std::clock_t start = std::clock();
        std::unique_ptr<zk::OutputHold> hold;
        if (record) {
            zk::RecorderSettings settings;
            settings.video_path = path;
            if (stage.start_recording(settings) != zk::kRecorderOk) return state.SkipWithError(stage.recording_error().c_str());
        } else {
            hold = std::make_unique<zk::OutputHold>(stage);
        }
        for (long f = 0; f < kRecordedFields; ++f) {
            {
                std::lock_guard<std::mutex> guard(*memory->lock);
                const auto& p = pictures[static_cast<std::size_t>(f % 16)];
                for (int y = 0; y < kH; ++y)
                    std::memcpy(memory->pixels.data() + static_cast<std::size_t>(y) * zk::kGfbPitch,
                                p.data() + static_cast<std::size_t>(y) * kW, kW * 4);
            }
            board.board().step_fields(1);
        }
        if (record && stage.stop_recording() != zk::kRecorderOk) return state.SkipWithError(stage.recording_error().c_str());
        hold.reset();
        cpu_seconds += static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    }
    const double ms_per_field = cpu_seconds * 1000.0 / (static_cast<double>(state.iterations()) * kRecordedFields);
    state.counters["cpu_ms_per_field"] = ms_per_field;
    state.counters["share_of_field"] = ms_per_field / (kFieldSeconds * 1000.0);
    state.SetItemsProcessed(state.iterations() * kRecordedFields);
}

const bool registered = [] {
    benchmark::RegisterBenchmark("FieldCopy.zorvik", FieldCopy_zorvik)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("FieldCopy.memcpy", FieldCopy_memcpy)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("FieldWrite.zorvik", FieldWrite_zorvik)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("FieldWrite.memcpy", FieldWrite_memcpy)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BackWrite.zorvik", BackWrite_zorvik)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BackWrite.memcpy", BackWrite_memcpy)->Unit(benchmark::kMicrosecond);
    for (bool record : {true, false})
        benchmark::RegisterBenchmark(record ? "RecordField.caption.zorvik" : "RecordField.caption.readout",
                                     [record](benchmark::State& s) { record_fields(s, record); })
            ->Unit(benchmark::kMillisecond)
            ->MeasureProcessCPUTime()
            ->Iterations(3);
    return true;
}();

} // namespace
