// Batch conversion speed of the converter: 20 generated 1920 × 1080 Targa pictures (captions
// with keys and photograph-like frames, alternately) converted by the converter's document
// to 720 × 486 ("カスタム", no smoothing) run-length Targa and JPEG, against ImageMagick
// (MagickWand, one thread) reading, resizing bilinearly and writing the same files. Items
// are pictures, so items per second is pictures per second.
//
// "BatchTga" and "BatchJpeg" take the library's exact bilinear resampler; the "Module"
// cases take the optional resize module, with the same ImageMagick run as their peer.
// The process uses the allocator settings the converter sets at start
// (keep_frame_memory_in_process), which ImageMagick, running in the same process, shares.
#include <benchmark/benchmark.h>
#include <wand/MagickWand.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bench_support.h"
#include "core/convert_pipeline.h"
#include "core/folder_listing.h"
#include "core/frame_memory.h"
#include "core/message_box.h"
#include "core/velmora_doc.h"
#include "app/zorvik_app.h"
#include "imagefile/targa_image.h"

namespace {

constexpr int kPictures = 20;

struct Inputs {
    std::string src;
    std::string out;
    std::vector<std::string> names;
};

const Inputs& inputs()
{
    static const Inputs in = [] {
        vm::keep_frame_memory_in_process();
        Inputs i;
        i.src = std::string(ZORVIK_BENCH_TMP) + "/converter-src";
        i.out = std::string(ZORVIK_BENCH_TMP) + "/converter-out";
        std::filesystem::create_directories(i.src);
        std::filesystem::create_directories(i.out);
        for (int n = 0; n < kPictures; ++n) {
            char name[32];
            std::snprintf(name, sizeof name, "frame%02d.tga", n);
            CKrFrameBuffer fb = (n % 2 == 0) ? zb::caption_picture(1920, 1080, 100u + n) : zb::photo_picture(1920, 1080, 100u + n);
            CString path(i.src + "/" + name);
            CKrTargaImage tga;
            if (tga.SaveImage(&path, &fb, 0) != 0) std::fprintf(stderr, "could not write %s\n", path.GetString());
            i.names.push_back(name);
        }
        return i;
    }();
    return in;
}

void use_module(bool on)
{
    if (on) {
        AfxGetZorvikApp()->LoadResizeModule(ZORVIK_RESIZE_MODULE_PATH);
    } else {
        AfxGetZorvikApp()->UnloadResizeModule();
    }
}

void convert_ours(benchmark::State& state, int format, bool module)
{
    const Inputs& in = inputs();
    use_module(module);
    if (module && !AfxGetZorvikApp()->GetResizeRoutine()) {
        state.SkipWithError("resize module not found");
        return;
    }
    int failures = 0;
    const vm::MessageHandler quiet = vm::set_message_handler([&failures](const std::string&, unsigned) {
        ++failures;
        return vm::IDOK;
    });
    CVelmoraDoc doc;
    doc.CurrentSettings = {720, 486, 0, 0, 0, 0, 0, 0};
    for (auto _ : state) {
        for (const std::string& name : in.names) {
            doc.ConvertFile(CString(vm::join_path(in.src, name)), CString(vm::destination_path(in.out, name, format)),
                            vm::kAspectCustom, format);
        }
    }
    vm::set_message_handler(quiet);
    use_module(false);
    if (failures) state.SkipWithError("a conversion failed");
    state.SetItemsProcessed(state.iterations() * kPictures);
}

void convert_magick(benchmark::State& state, bool jpeg)
{
    const Inputs& in = inputs();
    MagickWandGenesis();
    MagickSetResourceLimit(ThreadResource, 1);
    PixelWand* black = NewPixelWand();
    PixelSetColor(black, "black");
    for (auto _ : state) {
        for (const std::string& name : in.names) {
            MagickWand* w = NewMagickWand();
            MagickReadImage(w, vm::join_path(in.src, name).c_str());
            MagickResizeImage(w, 720, 486, TriangleFilter, 1.0);
            const std::string out = in.out + "/im_" + name.substr(0, name.size() - 3) + (jpeg ? "jpg" : "tga");
            if (jpeg) {
                // Like the converter: the picture goes onto opaque black, without key.
                MagickSetImageBackgroundColor(w, black);
                MagickSetImageAlphaChannel(w, RemoveAlphaChannel);
                MagickSetImageCompressionQuality(w, 85);
            } else {
                MagickSetImageCompression(w, RLECompression);
            }
            MagickWriteImage(w, out.c_str());
            DestroyMagickWand(w);
        }
    }
    DestroyPixelWand(black);
    state.SetItemsProcessed(state.iterations() * kPictures);
}

void BatchTga_zorvik(benchmark::State& s) { convert_ours(s, vm::kFormatTgaRle, false); }
void BatchJpeg_zorvik(benchmark::State& s) { convert_ours(s, vm::kFormatJpeg, false); }
void BatchTgaModule_zorvik(benchmark::State& s) { convert_ours(s, vm::kFormatTgaRle, true); }
void BatchJpegModule_zorvik(benchmark::State& s) { convert_ours(s, vm::kFormatJpeg, true); }
void BatchTga_magick(benchmark::State& s) { convert_magick(s, false); }
void BatchJpeg_magick(benchmark::State& s) { convert_magick(s, true); }

} // namespace

BENCHMARK(BatchTga_zorvik)->Name("BatchTga.zorvik")->Unit(benchmark::kMillisecond);
BENCHMARK(BatchTga_magick)->Name("BatchTga.imagemagick")->Unit(benchmark::kMillisecond);
BENCHMARK(BatchJpeg_zorvik)->Name("BatchJpeg.zorvik")->Unit(benchmark::kMillisecond);
BENCHMARK(BatchJpeg_magick)->Name("BatchJpeg.imagemagick")->Unit(benchmark::kMillisecond);
BENCHMARK(BatchTgaModule_zorvik)->Name("BatchTgaModule.zorvik")->Unit(benchmark::kMillisecond);
BENCHMARK(BatchTga_magick)->Name("BatchTgaModule.imagemagick")->Unit(benchmark::kMillisecond);
BENCHMARK(BatchJpegModule_zorvik)->Name("BatchJpegModule.zorvik")->Unit(benchmark::kMillisecond);
BENCHMARK(BatchJpeg_magick)->Name("BatchJpegModule.imagemagick")->Unit(benchmark::kMillisecond);
