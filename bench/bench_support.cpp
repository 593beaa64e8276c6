#include "bench_support.h"

#include <ass/ass.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "support/renderer_reference.h"

namespace zb {

CKrFrameBuffer caption_picture(long w, long h, unsigned seed)
{
    std::mt19937 rng(seed);
    CKrFrameBuffer fb(w, h, 1);
    // Horizontal bands of "glyphs": solid rectangles whose one-pixel rims carry partial keys.
    for (long y0 = h / 8; y0 + 40 < h; y0 += h / 4) {
        for (long x0 = 20; x0 + 30 < w; x0 += 36) {
            const long gw = 20 + static_cast<long>(rng() % 10), gh = 30 + static_cast<long>(rng() % 10);
            const DWORD colour = rng() & 0x00FFFFFF;
            for (long y = y0; y < y0 + gh && y < h; ++y) {
                for (long x = x0; x < x0 + gw && x < w; ++x) {
                    const bool rim = y == y0 || x == x0 || y == y0 + gh - 1 || x == x0 + gw - 1;
                    const DWORD key = rim ? 64 + rng() % 128 : 255;
                    zt::set_px(fb, x, y, colour | key << 24);
                }
            }
        }
    }
    return fb;
}

CKrFrameBuffer photo_picture(long w, long h, unsigned seed)
{
    std::mt19937 rng(seed);
    CKrFrameBuffer fb(w, h, 1);
    for (long y = 0; y < h; ++y) {
        for (long x = 0; x < w; ++x) {
            const double fx = static_cast<double>(x) / w, fy = static_cast<double>(y) / h;
            const int n = static_cast<int>(rng() % 16) - 8;
            auto chan = [&](double v) { return static_cast<DWORD>(std::clamp(static_cast<int>(v * 255) + n, 0, 255)); };
            const DWORD r = chan(0.5 + 0.5 * std::sin(fx * 7 + fy * 3));
            const DWORD g = chan(fy);
            const DWORD b = chan(0.5 + 0.5 * std::cos(fx * 11 - fy * 5));
            zt::set_px(fb, x, y, 0xFF000000u | r << 16 | g << 8 | b);
        }
    }
    return fb;
}

void lay_ass_images(const ass_image* img, CKrFrameBuffer& frame)
{
    const long fw = static_cast<long>(frame.GetWidth()), fh = static_cast<long>(frame.GetHeight());
    for (; img; img = img->next) {
        const DWORD colour = img->color; // RRGGBBAA, AA = transparency
        const DWORD a = 255 - (colour & 0xFF);
        const DWORD rgb = colour >> 8;
        for (int y = 0; y < img->h; ++y) {
            const long fy = img->dst_y + y;
            if (fy < 0 || fy >= fh) continue;
            DWORD* row = frame.GetBufferDWord() + fy * fw;
            for (int x = 0; x < img->w; ++x) {
                const long fx = img->dst_x + x;
                if (fx < 0 || fx >= fw) continue;
                const DWORD k = a * img->bitmap[y * img->stride + x] / 255;
                if (k) row[fx] = zref::composite(k << 24 | rgb, row[fx]);
            }
        }
    }
}

AssCaption::AssCaption(const AssStyle& style, long frame_w, long frame_h)
    : lib_(ass_library_init()), renderer_(ass_renderer_init(lib_))
{
    ass_set_frame_size(renderer_, static_cast<int>(frame_w), static_cast<int>(frame_h));
    ass_set_storage_size(renderer_, static_cast<int>(frame_w), static_cast<int>(frame_h));
    ass_set_fonts(renderer_, style.font_path, style.family, ASS_FONTPROVIDER_AUTODETECT, nullptr, 1);
    track_ = ass_new_track(lib_);
    const std::string header =
        "[Script Info]\nScriptType: v4.00+\nPlayResX: " + std::to_string(frame_w) +
        "\nPlayResY: " + std::to_string(frame_h) + "\n\n[V4+ Styles]\n"
        "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, Italic, "
        "Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, "
        "MarginR, MarginV, Encoding\n"
        "Style: Default," + std::string(style.family) + "," + std::to_string(style.size) +
        ",&H00FFFFFF,&H00FFFFFF,&H00602010,&H60000000,0,0,0,0," + std::to_string(style.scale_x) + ",100,0,0,1," +
        std::to_string(style.outline) + "," + std::to_string(style.shadow) + ",1," + std::to_string(style.margin_lr) +
        "," + std::to_string(style.margin_lr) + ",40,1\n\n"
        "[Events]\nFormat: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n";
    ass_process_data(track_, const_cast<char*>(header.data()), static_cast<int>(header.size()));
}

AssCaption::~AssCaption()
{
    ass_free_track(track_);
    ass_renderer_done(renderer_);
    ass_library_done(lib_);
}

void AssCaption::set_line(const std::string& text)
{
    ass_flush_events(track_);
    std::string line = "Dialogue: 0,0:00:00.00,9:00:00.00,Default,,0,0,0,," + text + "\n";
    ass_process_data(track_, line.data(), static_cast<int>(line.size()));
}

void AssCaption::render(long long t, CKrFrameBuffer& frame)
{
    int changed = 0;
    lay_ass_images(ass_render_frame(renderer_, track_, t, &changed), frame);
}

} // namespace zb
