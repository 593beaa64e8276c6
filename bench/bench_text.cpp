// Caption text from string to frame: a 20-character Japanese caption at height 48 with a soft
// edge and a soft shadow, drawn into a 720 × 486 frame, against libass drawing the same text
// with a comparable outline, shadow and blur in IPAGothic.
//
// Cases: "TextNewS4" and "TextNewS16" draw text whose glyphs were never drawn before (our
// glyph cache is emptied, untimed, before each iteration; libass's caches are defeated by a
// tiny change of horizontal scale each iteration). "TextDrawnS16" draws with our glyph cache
// warm; its peer "libass" is libass rendering new text as above, and "libass_cached" libass
// drawing the same line again from its own caches.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench_support.h"
#include "draw/kr_font_draw.h"
#include "platform/gdi_text/gdi_text.h"
#include "support/renderer_reference.h"

namespace {

constexpr const char* kFontFamily = "IPAGothic";
constexpr const char* kFontPath = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";
// 20 characters: kanji, kana and a full-width digit, as captions have them.
constexpr const char* kText = "本日の天気予報は全国的に晴れ、気温は２５度";
constexpr int kHeight = 48;
constexpr int kWidthPer = 70;  // so that the whole line fits the frame
constexpr long kFrameW = 720, kFrameH = 486;

void set_up(CKrFontDraw& d, int scale)
{
    d.Initial(nullptr);
    d.FontOpen(kFontFamily, 2);
    d.SetFontNo(2);
    d.SetSize(kHeight, kWidthPer);
    d.SetAspectMode(1);
    d.SetAntiScale(scale);
    d.SetPos(8, 440);
    d.SetBodyCol(0xFFFFFFFFu);
    d.SetEdgeCol(0xFF102060u);
    d.SetShadCol(0xA0000000u);
    d.SetEdgeType(1, 4, 0);
    d.SetShadType(2, 4, 4, 0);
}

void Text_zorvik(benchmark::State& state, int scale, bool cached)
{
    CKrFontDraw d;
    set_up(d, scale);
    CKrFrameBuffer frame = zb::photo_picture(kFrameW, kFrameH, 5);
    CBox box;
    zk::glyph_cache_clear();
    if (cached) d.FontDisp(kText, &frame, &box);
    for (auto _ : state) {
        if (!cached) {
            state.PauseTiming();
            zk::glyph_cache_clear();
            state.ResumeTiming();
        }
        d.FontDisp(kText, &frame, &box);
        benchmark::ClobberMemory();
    }
    const zk::GlyphCacheStats s = zk::glyph_cache_stats();
    state.counters["box_w"] = static_cast<double>(box.width);
    state.counters["box_h"] = static_cast<double>(box.height);
    state.counters["cache_hits"] = static_cast<double>(s.hits);
}

// libass: outline 4, shadow 4, \blur4, blended into the frame by key composite.
void Text_libass(benchmark::State& state, bool fresh)
{
    zb::AssCaption ass({kFontPath, kFontFamily, kHeight, kWidthPer, 4, 4, 8}, kFrameW, kFrameH);
    CKrFrameBuffer frame = zb::photo_picture(kFrameW, kFrameH, 5);
    long serial = 0;
    long long t = 0;
    auto set_line = [&] {
        // A fresh line differs in the fourth decimal of its scale, so libass cannot reuse the last.
        char tags[64];
        std::snprintf(tags, sizeof tags, "{\\blur4\\fscx%.4f}",
                      kWidthPer + static_cast<double>(fresh ? serial++ % 1000 : 0) * 0.0001);
        ass.set_line(tags + std::string(kText));
    };
    set_line();
    for (auto _ : state) {
        if (fresh) {
            state.PauseTiming();
            set_line();
            state.ResumeTiming();
        }
        ass.render(t++, frame);
        benchmark::ClobberMemory();
    }
}

BENCHMARK_CAPTURE(Text_zorvik, s4_new, 4, false)->Name("TextNewS4.zorvik")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Text_libass, new, true)->Name("TextNewS4.libass")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Text_zorvik, s16_new, 16, false)->Name("TextNewS16.zorvik")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Text_libass, new, true)->Name("TextNewS16.libass")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Text_zorvik, s16_drawn, 16, true)->Name("TextDrawnS16.zorvik")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Text_libass, new, true)->Name("TextDrawnS16.libass")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(Text_libass, cached, false)->Name("TextDrawnS16.libass_cached")->Unit(benchmark::kMicrosecond);

} // namespace
