// Frame-buffer copies over a 720 × 486 picture: the plain copy against memcpy of the same
// rows, and the key composite against pixman's OVER, on caption-like content (most keys 0 or
// 255) and on random keys.
#include <benchmark/benchmark.h>

#include <cstring>
#include <pixman.h>
#include <random>

#include "bench_support.h"
#include "framebuffer/kernels/composite.h"

namespace {

constexpr long kW = 720, kH = 486;

CKrFrameBuffer make_source(bool caption)
{
    if (caption) return zb::caption_picture(kW, kH, 7);
    std::mt19937 rng(7);
    return zt::random_buffer(kW, kH, rng, 0);
}

void set_pixels(benchmark::State& state)
{
    state.SetItemsProcessed(state.iterations() * kW * kH);
    state.SetBytesProcessed(state.iterations() * kW * kH * 4);
}

void FbCopyMode0_zorvik(benchmark::State& state)
{
    CKrFrameBuffer src = make_source(true), dst(kW, kH, 1);
    for (auto _ : state) {
        dst.FbCopy(&src, 0, 0, kW, kH, 0, 0, 0, nullptr);
        benchmark::ClobberMemory();
    }
    set_pixels(state);
}
BENCHMARK(FbCopyMode0_zorvik)->Name("FbCopyMode0.zorvik");

void FbCopyMode0_memcpy(benchmark::State& state)
{
    CKrFrameBuffer src = make_source(true), dst(kW, kH, 1);
    for (auto _ : state) {
        for (long y = 0; y < kH; ++y) {
            std::memcpy(dst.GetBufferByte() + y * kW * 4, src.GetBufferByte() + y * kW * 4, kW * 4);
        }
        benchmark::ClobberMemory();
    }
    set_pixels(state);
}
BENCHMARK(FbCopyMode0_memcpy)->Name("FbCopyMode0.memcpy");

void composite_ours(benchmark::State& state, bool caption)
{
    CKrFrameBuffer src = make_source(caption);
    CKrFrameBuffer background = zb::photo_picture(kW, kH, 3), dst;
    for (auto _ : state) {
        state.PauseTiming();
        dst = background;
        state.ResumeTiming();
        dst.FbCopy(&src, 0, 0, kW, kH, 0, 0, 1, nullptr);
        benchmark::ClobberMemory();
    }
    set_pixels(state);
}

void composite_pixman(benchmark::State& state, bool caption)
{
    CKrFrameBuffer src = make_source(caption);
    CKrFrameBuffer background = zb::photo_picture(kW, kH, 3), dst;
    pixman_image_t* s = pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH,
                                                 reinterpret_cast<uint32_t*>(src.GetBufferDWord()), kW * 4);
    dst = background;
    pixman_image_t* d = pixman_image_create_bits(PIXMAN_a8r8g8b8, kW, kH,
                                                 reinterpret_cast<uint32_t*>(dst.GetBufferDWord()), kW * 4);
    for (auto _ : state) {
        state.PauseTiming();
        std::memcpy(dst.GetBufferByte(), background.GetBufferByte(), dst.GetSize());
        state.ResumeTiming();
        pixman_image_composite32(PIXMAN_OP_OVER, s, nullptr, d, 0, 0, 0, 0, 0, 0, kW, kH);
        benchmark::ClobberMemory();
    }
    pixman_image_unref(s);
    pixman_image_unref(d);
    set_pixels(state);
}

void FbCopyMode1Caption_zorvik(benchmark::State& s) { composite_ours(s, true); }
void FbCopyMode1Caption_pixman(benchmark::State& s) { composite_pixman(s, true); }
void FbCopyMode1Random_zorvik(benchmark::State& s) { composite_ours(s, false); }
void FbCopyMode1Random_pixman(benchmark::State& s) { composite_pixman(s, false); }
BENCHMARK(FbCopyMode1Caption_zorvik)->Name("FbCopyMode1Caption.zorvik");
BENCHMARK(FbCopyMode1Caption_pixman)->Name("FbCopyMode1Caption.pixman_over");
BENCHMARK(FbCopyMode1Random_zorvik)->Name("FbCopyMode1Random.zorvik");
BENCHMARK(FbCopyMode1Random_pixman)->Name("FbCopyMode1Random.pixman_over");

// The plain per-pixel formula, for scale: what the vectorised kernel gains.
void FbCopyMode1Random_plain(benchmark::State& state)
{
    CKrFrameBuffer src = make_source(false);
    CKrFrameBuffer background = zb::photo_picture(kW, kH, 3), dst;
    for (auto _ : state) {
        state.PauseTiming();
        dst = background;
        state.ResumeTiming();
        zk::composite_row_ref(dst.GetBufferDWord(), src.GetBufferDWord(), static_cast<size_t>(kW * kH));
        benchmark::ClobberMemory();
    }
    set_pixels(state);
}
BENCHMARK(FbCopyMode1Random_plain)->Name("FbCopyMode1Random.plain_reference");

} // namespace
