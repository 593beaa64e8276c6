// Still-image files: Targa (run-length) load and save of a 1920 × 1080 caption picture
// against ImageMagick, and JPEG load and save at quality 85 of a 1920 × 1080 photograph-like
// picture against plain libjpeg-turbo.
//
// Both sides start from and end with the same thing: pixels in memory as blue, green, red,
// key words, and the file as a memory blob. ImageMagick runs single-threaded and takes and
// gives its pixels through ConstituteImage and ExportImagePixels. The libjpeg-turbo baseline
// encodes the same words directly (BGRX input) at the same settings (4:2:2, quality 85) and
// decodes straight into BGRA words, so the ratio is what our layer costs on top of the codec.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>
#include <wand/MagickWand.h>

#include "bench_support.h"
#include "imagefile/jpeg_image.h"
#include "imagefile/targa_image.h"

namespace {

constexpr long kW = 1920, kH = 1080;

const CKrFrameBuffer& caption()
{
    static const CKrFrameBuffer fb = zb::caption_picture(kW, kH, 1);
    return fb;
}

const CKrFrameBuffer& photo()
{
    static const CKrFrameBuffer fb = zb::photo_picture(kW, kH, 2);
    return fb;
}

struct Magick {
    Magick()
    {
        MagickWandGenesis();
        MagickSetResourceLimit(ThreadResource, 1);
    }
    ~Magick() { MagickWandTerminus(); }
};

void magick_once()
{
    static Magick m;
}

std::vector<BYTE> our_targa(const CKrFrameBuffer& src)
{
    CMemFile mem;
    CKrTargaImage().SaveImage(&mem, const_cast<CKrFrameBuffer*>(&src), 1);
    return mem.data();
}

void targa_save_zorvik(benchmark::State& state)
{
    CKrFrameBuffer& src = const_cast<CKrFrameBuffer&>(caption());
    for (auto _ : state) {
        CMemFile mem;
        if (CKrTargaImage().SaveImage(&mem, &src, 1) != 0) state.SkipWithError("save failed");
        benchmark::DoNotOptimize(mem.data().data());
    }
}

void targa_save_magick(benchmark::State& state)
{
    magick_once();
    const CKrFrameBuffer& src = caption();
    for (auto _ : state) {
        MagickWand* wand = NewMagickWand();
        MagickConstituteImage(wand, kW, kH, "BGRA", CharPixel, src.GetBufferByte());
        MagickSetImageFormat(wand, "TGA");
        MagickSetImageCompression(wand, RLECompression);
        size_t length = 0;
        unsigned char* blob = MagickGetImageBlob(wand, &length);
        if (!blob || length == 0) state.SkipWithError("ImageMagick could not write");
        benchmark::DoNotOptimize(blob);
        MagickRelinquishMemory(blob);
        DestroyMagickWand(wand);
    }
}

void targa_load_zorvik(benchmark::State& state)
{
    const std::vector<BYTE> file = our_targa(caption());
    for (auto _ : state) {
        CMemFile mem(file.data(), file.size());
        CKrFrameBuffer fb;
        if (CKrTargaImage().LoadImage(&mem, &fb) != 0) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(fb.GetBufferByte());
    }
}

void targa_load_magick(benchmark::State& state)
{
    magick_once();
    const std::vector<BYTE> file = our_targa(caption());
    std::vector<BYTE> pixels(static_cast<size_t>(kW) * kH * 4);
    for (auto _ : state) {
        MagickWand* wand = NewMagickWand();
        MagickSetFormat(wand, "TGA");
        if (MagickReadImageBlob(wand, file.data(), file.size()) == MagickFalse ||
            MagickExportImagePixels(wand, 0, 0, kW, kH, "BGRA", CharPixel, pixels.data()) == MagickFalse)
            state.SkipWithError("ImageMagick could not read");
        benchmark::DoNotOptimize(pixels.data());
        DestroyMagickWand(wand);
    }
}

std::vector<BYTE> our_jpeg(const CKrFrameBuffer& src)
{
    CMemFile mem;
    CKrJpegImage().SaveImage(&mem, const_cast<CKrFrameBuffer*>(&src), 85, 0);
    return mem.data();
}

void jpeg_save_zorvik(benchmark::State& state)
{
    CKrFrameBuffer& src = const_cast<CKrFrameBuffer&>(photo());
    for (auto _ : state) {
        CMemFile mem;
        if (CKrJpegImage().SaveImage(&mem, &src, 85, 0) != 0) state.SkipWithError("save failed");
        benchmark::DoNotOptimize(mem.data().data());
    }
}

void jpeg_save_libjpeg(benchmark::State& state)
{
    const CKrFrameBuffer& src = photo();
    for (auto _ : state) {
        jpeg_compress_struct c;
        jpeg_error_mgr err;
        c.err = jpeg_std_error(&err);
        jpeg_create_compress(&c);
        unsigned char* out = nullptr;
        unsigned long size = 0;
        jpeg_mem_dest(&c, &out, &size);
        c.image_width = kW;
        c.image_height = kH;
        c.input_components = 4;
        c.in_color_space = JCS_EXT_BGRX;
        jpeg_set_defaults(&c);
        jpeg_set_quality(&c, 85, TRUE);
        c.comp_info[0].h_samp_factor = 2;
        c.comp_info[0].v_samp_factor = 1;
        jpeg_start_compress(&c, TRUE);
        while (c.next_scanline < c.image_height) {
            JSAMPROW row = const_cast<JSAMPROW>(src.GetBufferByte() + static_cast<size_t>(c.next_scanline) * kW * 4);
            jpeg_write_scanlines(&c, &row, 1);
        }
        jpeg_finish_compress(&c);
        jpeg_destroy_compress(&c);
        benchmark::DoNotOptimize(out);
        std::free(out);
    }
}

void jpeg_load_zorvik(benchmark::State& state)
{
    const std::vector<BYTE> file = our_jpeg(photo());
    for (auto _ : state) {
        CMemFile mem(file.data(), file.size());
        CKrFrameBuffer fb;
        if (CKrJpegImage().LoadImage(&mem, &fb) != 0) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(fb.GetBufferByte());
    }
}

void jpeg_load_libjpeg(benchmark::State& state)
{
    const std::vector<BYTE> file = our_jpeg(photo());
    for (auto _ : state) {
        jpeg_decompress_struct d;
        jpeg_error_mgr err;
        d.err = jpeg_std_error(&err);
        jpeg_create_decompress(&d);
        jpeg_mem_src(&d, file.data(), file.size());
        jpeg_read_header(&d, TRUE);
        d.out_color_space = JCS_EXT_BGRA;
        jpeg_start_decompress(&d);
        CKrFrameBuffer fb(static_cast<long>(d.output_width), static_cast<long>(d.output_height), 0);
        while (d.output_scanline < d.output_height) {
            JSAMPROW row = fb.GetBufferByte() + static_cast<size_t>(d.output_scanline) * d.output_width * 4;
            jpeg_read_scanlines(&d, &row, 1);
        }
        jpeg_finish_decompress(&d);
        jpeg_destroy_decompress(&d);
        benchmark::DoNotOptimize(fb.GetBufferByte());
    }
}

} // namespace

BENCHMARK(targa_save_zorvik)->Name("targa_save_rle_1080.zorvik")->Unit(benchmark::kMillisecond);
BENCHMARK(targa_save_magick)->Name("targa_save_rle_1080.magick")->Unit(benchmark::kMillisecond);
BENCHMARK(targa_load_zorvik)->Name("targa_load_rle_1080.zorvik")->Unit(benchmark::kMillisecond);
BENCHMARK(targa_load_magick)->Name("targa_load_rle_1080.magick")->Unit(benchmark::kMillisecond);
BENCHMARK(jpeg_save_zorvik)->Name("jpeg_save_q85_1080.zorvik")->Unit(benchmark::kMillisecond);
BENCHMARK(jpeg_save_libjpeg)->Name("jpeg_save_q85_1080.libjpeg")->Unit(benchmark::kMillisecond);
BENCHMARK(jpeg_load_zorvik)->Name("jpeg_load_q85_1080.zorvik")->Unit(benchmark::kMillisecond);
BENCHMARK(jpeg_load_libjpeg)->Name("jpeg_load_q85_1080.libjpeg")->Unit(benchmark::kMillisecond);
