// The caption renderer: a whole decorated caption element against libass rendering a
// comparable line, and the edge growth and mask reduction against their plain forms.
//
// Our element is a line of text rasterised once at AntiScale 16 (about 600 × 60 output
// pixels), drawn each iteration with DispFb into a 720 × 486 frame: grey reduction, a soft
// edge of 6, a soft shadow of 6, colouring and the key composite. libass renders the same
// text with a 6-pixel outline, a 6-pixel shadow and \blur6, and its images are blended into a
// 720 × 486 frame. Its caches are defeated by a tiny change of horizontal scale each
// iteration, so every frame is rendered from the outlines, as ours is from the mask.
#include <benchmark/benchmark.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <string>
#include <vector>

#include "bench_support.h"
#include "draw/internal/bw_grey.h"
#include "draw/kernels/anti_gray.h"
#include "draw/kr_bw_draw.h"
#include "platform/gdi_text/code_page.h"
#include "support/renderer_reference.h"

namespace {

constexpr const char* kFontPath = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";
constexpr const char* kFontFamily = "IPAGothic";
constexpr const char* kText = "ニュース速報 Breaking News";
constexpr int kScale = 16;
constexpr int kPixelHeight = 44;  // output pixels
constexpr long kFrameW = 720, kFrameH = 486;

// The caption's characters, decoded by the library's own UTF-8 reader.
std::vector<char32_t> utf32(const char* s)
{
    std::vector<char32_t> out;
    for (const zk::MbChar& c : zk::decode_text(s, zk::kCodePageUtf8)) out.push_back(c.code);
    return out;
}

// The caption text as a one-bit mask at 16 times the output size, the way the font
// rasteriser hands it to the renderer: mask width a multiple of 16 output pixels.
const CKrMonoBitmap& caption_mask()
{
    static CKrMonoBitmap mask = [] {
        CKrMonoBitmap m;
        FT_Library lib;
        FT_Face face;
        if (FT_Init_FreeType(&lib) || FT_New_Face(lib, kFontPath, 0, &face)) {
            std::fprintf(stderr, "cannot open %s\n", kFontPath);
            std::abort();
        }
        FT_Set_Pixel_Sizes(face, 0, kPixelHeight * kScale);
        const std::vector<char32_t> text = utf32(kText);
        long advance = 0;
        for (char32_t c : text) {
            FT_Load_Char(face, c, FT_LOAD_DEFAULT);
            advance += face->glyph->advance.x >> 6;
        }
        const long height = (kPixelHeight + 16) * kScale;
        const long width = (advance / kScale + 2 + 15) / 16 * 16 * kScale;
        m.Create(width, height);
        const long baseline = (kPixelHeight + 4) * kScale;
        long pen = kScale;
        for (char32_t c : text) {
            FT_Load_Char(face, c, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO);
            const FT_Bitmap& b = face->glyph->bitmap;
            for (unsigned y = 0; y < b.rows; ++y)
                for (unsigned x = 0; x < b.width; ++x)
                    if (b.buffer[static_cast<long>(y) * b.pitch + x / 8] & (0x80 >> (x % 8)))
                        m.SetPixel(pen + face->glyph->bitmap_left + static_cast<long>(x),
                                   baseline - face->glyph->bitmap_top + static_cast<long>(y), true);
            pen += face->glyph->advance.x >> 6;
        }
        FT_Done_Face(face);
        FT_Done_FreeType(lib);
        return m;
    }();
    return mask;
}

tagKRBWDRAWINFO caption_record()
{
    CBwDrawInfo info;
    info.SetAntiScale(kScale);
    info.SetBodyCol(0xFFFFFFFF);
    info.SetEdgeCol(0xFF102060);
    info.SetShadCol(0xA0000000);
    info.SetEdgeType(1, 6, 0);
    info.SetShadType(2, 3, 6, 0);
    tagKRBWDRAWINFO r = *info.GetInfo();
    r.Pos = {40, 380};
    return r;
}

void Caption_zorvik(benchmark::State& state)
{
    const CKrMonoBitmap& mask = caption_mask();
    const tagKRBWDRAWINFO r = caption_record();
    CKrFrameBuffer frame = zb::photo_picture(kFrameW, kFrameH, 5);
    CKrBwDraw draw;
    CBox box;
    for (auto _ : state) {
        draw.DispFb(&frame, &r, &mask, &box);
        benchmark::ClobberMemory();
    }
    state.counters["out_w"] = static_cast<double>(mask.GetWidth() / kScale);
    state.counters["out_h"] = static_cast<double>(mask.GetHeight() / kScale);
}
BENCHMARK(Caption_zorvik)->Name("Caption.zorvik")->Unit(benchmark::kMicrosecond);

// libass: the same text, outline 6, shadow 6, blur 6, blended into the frame.
void Caption_libass(benchmark::State& state)
{
    zb::AssCaption ass({kFontPath, kFontFamily, kPixelHeight, 100, 6, 6, 40}, kFrameW, kFrameH);
    CKrFrameBuffer frame = zb::photo_picture(kFrameW, kFrameH, 5);
    long long t = 0;
    long serial = 0;
    for (auto _ : state) {
        state.PauseTiming();
        // A scale differing in the fourth decimal keeps libass from reusing the last line.
        char tags[64];
        std::snprintf(tags, sizeof tags, "{\\blur6\\fscx%.4f}", 100.0 + static_cast<double>(serial++ % 1000) * 0.0001);
        ass.set_line(tags + std::string(kText));
        state.ResumeTiming();
        ass.render(t++, frame);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Caption_libass)->Name("Caption.libass")->Unit(benchmark::kMicrosecond);

const CKrGrayBitmap& caption_grey()
{
    static CKrGrayBitmap grey = [] {
        CKrGrayBitmap g;
        zk::make_anti_gray(kScale, caption_mask(), g);
        return g;
    }();
    return grey;
}

void EdgeR8_zorvik(benchmark::State& state)
{
    CKrGrayBitmap out;
    for (auto _ : state) {
        zk::make_edge(false, 8, caption_grey(), out);
        benchmark::DoNotOptimize(out.GetBits());
    }
}
BENCHMARK(EdgeR8_zorvik)->Name("EdgeHardR8.zorvik")->Unit(benchmark::kMicrosecond);

void EdgeR8_plain(benchmark::State& state)
{
    for (auto _ : state) {
        CKrGrayBitmap out = zref::edge(caption_grey(), 8, false);
        benchmark::DoNotOptimize(out.GetBits());
    }
}
BENCHMARK(EdgeR8_plain)->Name("EdgeHardR8.plain_reference")->Unit(benchmark::kMicrosecond);

void SoftR8_zorvik(benchmark::State& state)
{
    CKrGrayBitmap out;
    for (auto _ : state) {
        zk::make_edge(true, 8, caption_grey(), out);
        benchmark::DoNotOptimize(out.GetBits());
    }
}
BENCHMARK(SoftR8_zorvik)->Name("EdgeSoftR8.zorvik")->Unit(benchmark::kMicrosecond);

void SoftR8_plain(benchmark::State& state)
{
    for (auto _ : state) {
        CKrGrayBitmap out = zref::edge(caption_grey(), 8, true);
        benchmark::DoNotOptimize(out.GetBits());
    }
}
BENCHMARK(SoftR8_plain)->Name("EdgeSoftR8.plain_reference")->Unit(benchmark::kMicrosecond);

void AntiGray16(benchmark::State& state, bool fast)
{
    const CKrMonoBitmap& mask = caption_mask();
    const long h = mask.GetHeight() / kScale;
    std::vector<std::uint8_t> row(mask.GetLineByte());
    for (auto _ : state) {
        for (long y = 0; y < h; ++y) {
            const std::uint8_t* band = mask.GetBits() + static_cast<std::size_t>(y * kScale) * mask.GetLineByte();
            if (fast) {
                zk::anti_gray_row(band, mask.GetLineByte(), kScale, mask.GetLineByte(), row.data());
            } else {
                zk::anti_gray_row_ref(band, mask.GetLineByte(), kScale, mask.GetLineByte(), row.data());
            }
        }
        benchmark::DoNotOptimize(row.data());
    }
}
BENCHMARK_CAPTURE(AntiGray16, zorvik, true)->Name("AntiGray16.zorvik")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(AntiGray16, table, false)->Name("AntiGray16.table_reference")->Unit(benchmark::kMicrosecond);

} // namespace
