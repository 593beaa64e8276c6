// The mixer's compositor on one core: program and preview out of one 720 × 486 field of a busy
// telop scene (background, a full-frame channel, a channel moved and scaled by its 2D DVE
// inside a box wipe at half way with a border, graphics keyed on top), with the vectorised
// kernels and with the plain references, against a plain memcpy of one frame. Each carries the
// field period (16.68 ms at 59.94 fields a second) as its counter "field_period", so
// bench/run_ratios.py also prints the share of a field that composing takes.
#include <benchmark/benchmark.h>

#include <cstring>

#include "bench_support.h"
#include "core/simd.h"
#include "framebuffer/mtx_color.h"
#include "platform/board/mixer/mixer_composer.h"
#include "platform/board/virtual_board.h"
#include "platform/testing/board.h"

namespace {

constexpr int kW = 720, kH = 486;
constexpr double kFieldPeriod = 1001.0 / 60000.0;

std::vector<std::uint8_t> words(std::initializer_list<std::uint32_t> list)
{
    std::vector<std::uint8_t> out;
    for (std::uint32_t w : list) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(w >> (8 * i)));
    }
    return out;
}

std::vector<std::uint32_t> pixels_of(const CKrFrameBuffer& fb)
{
    const DWORD* p = fb.GetBufferDWord();
    return std::vector<std::uint32_t>(p, p + static_cast<size_t>(fb.GetWidth()) * fb.GetHeight());
}

// The scene, set up through the mixer model as the filters would.
struct Scene {
    Scene() : board(zk::manual_board_config()), model(board)
    {
        using namespace zk::mixer;
        MtxColor colour;
        int unit = 0;
        auto claim = [&](REFCLSID clsid, const void* owner) {
            model.claim(*mixer_class(clsid), owner, unit);
            return unit;
        };
        auto send = [&](REFCLSID clsid, int u, const char* pin, const std::vector<std::uint8_t>& record) {
            const MixerClass* cls = mixer_class(clsid);
            model.receive_record(*cls, u, *cls->pin(pin, PINDIR_INPUT), record.data(), static_cast<DWORD>(record.size()));
        };
        for (int n = 0; n < 2; ++n) claim(CLSID_FiestaRenderer, &owners[n]);
        claim(CLSID_WipeRenderer, &owners[2]);
        claim(CLSID_BorderGenerator, &owners[3]);
        claim(CLSID_BackgroundGenerator2, &owners[4]);
        send(CLSID_BackgroundGenerator2, 0, "Background In", words({1, colour.ARGBtoYUV(0xFF203060)}));
        send(CLSID_FiestaRenderer, 1, "2D DVE In",
             words({0, 0x300000, 0x200000, 0x900000, 0x900000, 4, colour.ARGBtoYUV(0xFFFFFFFF), 0, 0, 0, 0, 0}));
        send(CLSID_WipeRenderer, 0, "Wipe In", words({0, 101, 0, 16 | 16u << 16, 8, 0, 0, 0, 1}));
        send(CLSID_WipeRenderer, 0, "Fader In", words({0, 0x800000}));
        send(CLSID_BorderGenerator, 0, "Border In", words({1, colour.ARGBtoYUV(0xFFFFE000)}));

        const CKrFrameBuffer photo = zb::photo_picture(kW, kH, 3);
        const CKrFrameBuffer second = zb::photo_picture(kW, kH, 5);
        const std::vector<std::uint32_t> p0 = pixels_of(photo), p1 = pixels_of(second);
        const MQ_TRANSFER_DIB whole{sizeof(MQ_TRANSFER_DIB), kW, kH, kW * kH * 4, 0, 0, kW, kH, 0, 0};
        model.put_still(0, whole, p0.data(), false);
        model.put_still(1, whole, p1.data(), false);

        const CKrFrameBuffer caption = zb::caption_picture(kW, kH, 7);
        gfb.assign(static_cast<size_t>(768) * kH, 0);
        for (int y = 0; y < kH; ++y)
            std::memcpy(gfb.data() + static_cast<size_t>(y) * 768, caption.GetBufferDWord() + static_cast<size_t>(y) * kW, kW * 4);
    }

    zk::VirtualBoard board;
    zk::mixer::MixerModel model;
    int owners[5] = {};
    std::vector<std::uint32_t> gfb;
};

void compose(benchmark::State& state, bool vectorised)
{
    Scene scene;
    zk::mixer::MixerComposer composer(std::shared_ptr<zk::mixer::MixerModel>(&scene.model, [](zk::mixer::MixerModel*) {}));
    zk::OutputPicture program, preview;
    const zk::GraphicsArea graphics{scene.gfb.data(), kW, kH, 768};
    zk::simd_override(vectorised ? 1 : 0);
    long long field = 0;
    for (auto _ : state) {
        composer.compose(field++, graphics, program, preview);
        benchmark::ClobberMemory();
    }
    zk::simd_override(-1);
    state.SetItemsProcessed(state.iterations() * kW * kH * 2);
    state.counters["field_period"] = kFieldPeriod;
}

void frame_memcpy(benchmark::State& state)
{
    std::vector<std::uint32_t> from(static_cast<size_t>(kW) * kH, 0x12345678), to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * 4);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kW * kH);
    state.counters["field_period"] = kFieldPeriod;
}

void register_all()
{
    benchmark::RegisterBenchmark("ComposeProgramAndPreview.zorvik", compose, true)->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("ComposeProgramAndPreview.plain_reference", compose, false)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("ComposeProgramAndPreview.memcpy_one_frame", frame_memcpy)->Unit(benchmark::kMicrosecond);
}
const int registered = (register_all(), 0);

} // namespace
