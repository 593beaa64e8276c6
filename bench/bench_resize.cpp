// Resizing a 1920 × 1080 picture to 720 × 486: the exact bilinear resampler and the resize
// module against libvips and ImageMagick doing a bilinear resize of the same picture, all on
// one thread.
#include <benchmark/benchmark.h>

#include <vips/vips.h>
#include <wand/MagickWand.h>

#include "bench_support.h"
#include "app/zorvik_app.h"

namespace {

constexpr long kSw = 1920, kSh = 1080, kTw = 720, kTh = 486;

const CKrFrameBuffer& source()
{
    static const CKrFrameBuffer pic = zb::photo_picture(kSw, kSh, 11);
    return pic;
}

void Resize_exact(benchmark::State& state)
{
    AfxGetZorvikApp()->UnloadResizeModule();
    CKrFrameBuffer src = source(), dst;
    for (auto _ : state) {
        src.SizeChange(&dst, kTw, kTh);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(Resize_exact)->Name("ResizeBilinear.zorvik")->Unit(benchmark::kMillisecond);

void Resize_module(benchmark::State& state)
{
    if (!AfxGetZorvikApp()->LoadResizeModule(ZORVIK_RESIZE_MODULE_PATH)) {
        state.SkipWithError("resize module missing");
        return;
    }
    CKrFrameBuffer src = source(), dst;
    for (auto _ : state) {
        src.SizeChange(&dst, kTw, kTh);
        benchmark::ClobberMemory();
    }
    AfxGetZorvikApp()->UnloadResizeModule();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(Resize_module)->Name("ResizeModule.zorvik")->Unit(benchmark::kMillisecond);

void vips_resize_once(benchmark::State& state)
{
    static const bool started = [] {
        VIPS_INIT("bench");
        vips_concurrency_set(1);
        vips_cache_set_max(0);
        return true;
    }();
    (void)started;
    const CKrFrameBuffer& src = source();
    for (auto _ : state) {
        VipsImage* in = vips_image_new_from_memory(src.GetBufferByte(), src.GetSize(), kSw, kSh, 4, VIPS_FORMAT_UCHAR);
        VipsImage* out = nullptr;
        vips_resize(in, &out, static_cast<double>(kTw) / kSw, "vscale", static_cast<double>(kTh) / kSh, "kernel",
                    VIPS_KERNEL_LINEAR, nullptr);
        size_t size = 0;
        void* mem = vips_image_write_to_memory(out, &size);
        benchmark::DoNotOptimize(mem);
        g_free(mem);
        g_object_unref(out);
        g_object_unref(in);
    }
    state.SetItemsProcessed(state.iterations());
}

void ResizeBilinear_vips(benchmark::State& s) { vips_resize_once(s); }
void ResizeModule_vips(benchmark::State& s) { vips_resize_once(s); }
BENCHMARK(ResizeBilinear_vips)->Name("ResizeBilinear.libvips")->Unit(benchmark::kMillisecond);
BENCHMARK(ResizeModule_vips)->Name("ResizeModule.libvips")->Unit(benchmark::kMillisecond);

void ResizeBilinear_magick(benchmark::State& state)
{
    MagickWandGenesis();
    MagickSetResourceLimit(ThreadResource, 1);
    MagickWand* base = NewMagickWand();
    const CKrFrameBuffer& src = source();
    MagickConstituteImage(base, kSw, kSh, "BGRA", CharPixel, src.GetBufferByte());
    for (auto _ : state) {
        MagickWand* w = CloneMagickWand(base);
        MagickResizeImage(w, kTw, kTh, TriangleFilter, 1.0);
        benchmark::DoNotOptimize(w);
        DestroyMagickWand(w);
    }
    DestroyMagickWand(base);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ResizeBilinear_magick)->Name("ResizeBilinear.imagemagick")->Unit(benchmark::kMillisecond);

} // namespace
