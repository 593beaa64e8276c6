// make_samples: draws the on-air sample pictures with the library's own renderer, so that the
// clocks and animations can be tried on air without pictures from anywhere else.
//
//   make_samples <samples folder> <preview.pam>
//
// Writes, run-length compressed:
//   clock/clk0.tga ... clk12.tga   the clock's digit set: "0" to "9" and ":" in a bold caption
//                                  style (white body, dark hard edge, soft shadow) on a
//                                  transparent key, every digit the same width and the colon
//                                  narrower; 11 and 12 are a transparent digit and colon
//   anime/spin000.tga ... 023      a turning ring of dots, one frame each
//   anime/spin_strip.tga           the same frames stacked top to bottom in one picture
// and a contact sheet of all of it over a checkerboard (with clock faces laid out the way
// the clock display lays them) into the preview file, for a person to look at. The preview is
// a PAM picture, like the tests' reference pictures, because not every viewer reads Targa rows
// stored bottom first the right way up (ImageMagick 6.9 turns them over).
//
// File names come from the same helpers the clock display and the animation controller use
// to find them, so a set written here is a set they load. Faces are looked up through the
// system's fonts: IPA Gothic must be installed.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "draw/draw_graph.h"
#include "draw/kr_font_draw.h"
#include "effects/anime_core.h"
#include "effects/kr_tm.h"
#include "effects/timer_core.h"
#include "framebuffer/box.h"
#include "framebuffer/kr_frame_buffer.h"
#include "imagefile/targa_image.h"
#include "support/pam_image.h"

namespace {

namespace fs = std::filesystem;
namespace fx = zk::fx;

constexpr const char* kFace = "IPAGothic";
constexpr const char* kClockBase = "clock/clk.tga";
constexpr const char* kFramePattern = "anime/spin%03d.tga";
constexpr const char* kStripName = "anime/spin_strip.tga";

constexpr long kFrames = 24;
constexpr long kFrameWidth = 160;
constexpr long kFrameHeight = 120;

// Everything a step can fail on ends the run with a message naming it.
bool fail(const std::string& what)
{
    std::fprintf(stderr, "make_samples: %s\n", what.c_str());
    return false;
}

bool save_targa(CKrFrameBuffer& fb, const fs::path& path)
{
    CKrTargaImage tga;
    CString name(path.string());
    if (tga.SaveImage(&name, &fb, 1) != 0) return fail("cannot write " + path.string());
    return true;
}

// The smallest box holding every pixel whose key is not 0; an empty box when there is none.
CBox ink_bounds(const CKrFrameBuffer& fb)
{
    const auto w = static_cast<long>(fb.GetWidth());
    const auto h = static_cast<long>(fb.GetHeight());
    long left = w, top = h, right = -1, bottom = -1;
    const DWORD* p = fb.GetBufferDWord();
    for (long y = 0; y < h; ++y) {
        for (long x = 0; x < w; ++x) {
            if ((p[static_cast<std::size_t>(y * w + x)] >> 24) == 0) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0) return CBox(0L, 0L, 0L, 0L);
    return CBox(left, top, right - left + 1, bottom - top + 1);
}

// ---- the clock's digit set ----

// The caption style of the clock: bold white figures, a hard dark edge, a soft shadow below
// and to the right. The face is widened as every horizontal caption is.
bool set_clock_style(CKrFontDraw& d, long height)
{
    d.Initial(nullptr);
    if (d.FontOpen(kFace, 2) != 0 || d.SetFontNo(2) != 0) return fail(std::string("face not found: ") + kFace);
    d.SetSize(height, 100);
    d.SetWeight(1);
    d.SetBodyCol(0xFFFFFFFFu);
    d.SetEdgeCol(0xFF101C30u);
    d.SetEdgeType(0, 3, 0);
    d.SetShadCol(0xB0000000u);
    d.SetShadType(2, 3, 3, 0);
    return true;
}

// Draws "0" to "9" and ":" and cuts them to a common height: the band every glyph's ink lies
// in, so all figures share one baseline. Digits get the widest digit's width and are centred
// in it; the colon keeps its own width. A pixel of transparent margin on each side keeps the
// soft shadow from touching the next figure.
std::optional<std::array<CKrFrameBuffer, fx::kClockImages>> draw_clock_digits()
{
    constexpr long kHeight = 44;
    constexpr long kCanvasW = 4 * kHeight;
    constexpr long kCanvasH = 3 * kHeight;
    constexpr long kMargin = 1;
    CKrFontDraw d;
    if (!set_clock_style(d, kHeight)) return std::nullopt;

    constexpr int kDrawn = fx::kImageColon + 1; // the ten digits and the colon
    std::array<CKrFrameBuffer, kDrawn> drawn;
    std::array<CBox, kDrawn> ink;
    long top = kCanvasH, bottom = 0, digit_w = 0;
    for (int k = 0; k <= fx::kImageColon; ++k) {
        const char text[2] = {k == fx::kImageColon ? ':' : static_cast<char>('0' + k), '\0'};
        drawn[k].CreateFrameBuffer(kCanvasW, kCanvasH, 1);
        d.SetPos(kHeight, 2 * kHeight);
        CBox box;
        if (drawn[k].IsBuffer() != 0 || d.FontDisp(text, &drawn[k], &box) != 0) {
            fail(std::string("cannot draw ") + text);
            return std::nullopt;
        }
        ink[k] = ink_bounds(drawn[k]);
        // Ink on the canvas's border may have been cut off there.
        const CBox& b = ink[k];
        if (b.ChEria() == 0 || b.x == 0 || b.y == 0 || b.x + b.width == kCanvasW || b.y + b.height == kCanvasH) {
            fail(std::string("nothing drawn, or drawn off the canvas, for ") + text);
            return std::nullopt;
        }
        top = std::min(top, ink[k].y);
        bottom = std::max(bottom, ink[k].y + ink[k].height);
        if (k < fx::kImageColon) digit_w = std::max(digit_w, ink[k].width);
    }

    const long height = bottom - top + 2 * kMargin;
    digit_w += 2 * kMargin;
    const long colon_w = ink[fx::kImageColon].width + 2 * kMargin;
    std::array<CKrFrameBuffer, fx::kClockImages> images;
    for (int k = 0; k < fx::kClockImages; ++k) {
        const bool colon = k == fx::kImageColon || k == fx::kImageBlankColon;
        const long w = colon ? colon_w : digit_w;
        if (images[k].CreateFrameBuffer(w, height, 1) != 0) {
            fail("no memory for a digit");
            return std::nullopt;
        }
        if (k > fx::kImageColon) continue; // the blanks stay transparent
        const CBox& b = ink[k];
        images[k].FbCopy(&drawn[k], b.x, top, b.width, bottom - top, (w - b.width) / 2, kMargin, 0, nullptr);
    }
    return images;
}

bool write_clock(std::array<CKrFrameBuffer, fx::kClockImages>& images, const fs::path& root)
{
    const std::string base = (root / kClockBase).string();
    for (int k = 0; k < fx::kClockImages; ++k) {
        if (!save_targa(images[k], fx::clock_image_path(base, k))) return false;
    }
    return true;
}

// ---- the animation ----

// A filled disc of radius r around (cx, cy); edge and shadow as the record's attributes say
// (a size of 0 leaves them out).
bool draw_disc(CKrFrameBuffer& frame, long cx, long cy, long r, DWORD body, DWORD edge, long edge_size, DWORD shadow,
               long shadow_size)
{
    const RECT rc{static_cast<LONG>(cx - r), static_cast<LONG>(cy - r), static_cast<LONG>(cx + r),
                  static_cast<LONG>(cy + r)};
    CDrawGraph disc;
    disc.SetEllipse(&rc);
    disc.SetFillMode(1);
    disc.SetPenSize(1);
    disc.SetBodyCol(body);
    disc.SetEdgeCol(edge);
    disc.SetEdgeType(0, edge_size, 0);
    disc.SetShadCol(shadow);
    disc.SetShadType(0, shadow_size, 0, 0);
    return disc.DrawFrame(&frame) == 0;
}

// One frame of a ring of twelve dots turning clockwise: a large bright dot leads and each
// following dot is smaller and fainter. Between two frames the ring turns by half a dot's
// spacing, so the 24 frames make exactly one turn and the strip loops without a jump.
bool draw_spin_frame(long index, CKrFrameBuffer& frame)
{
    constexpr int kDots = 12;
    constexpr double kCx = kFrameWidth / 2.0;
    constexpr double kCy = kFrameHeight / 2.0;
    constexpr double kRing = 42.0;
    if (frame.CreateFrameBuffer(kFrameWidth, kFrameHeight, 1) != 0) return fail("no memory for a frame");

    // Drawn from the tail to the head, so the brighter dots lie over the fainter ones.
    for (int i = kDots - 1; i >= 0; --i) {
        const double deg = 360.0 * static_cast<double>(index) / kFrames - 30.0 * i;
        const double rad = (deg - 90.0) * std::numbers::pi / 180.0;
        const long cx = std::lround(kCx + kRing * std::cos(rad));
        const long cy = std::lround(kCy + kRing * std::sin(rad));
        const long r = std::lround(10.0 - 0.55 * i);
        const DWORD key = static_cast<DWORD>(255 - 15 * i) << 24;
        // Flat colours keep the run-length files small; a paler spot above and left of the
        // middle makes each dot read as a ball.
        if (!draw_disc(frame, cx, cy, r, key | 0xF08A1Cu, key | 0x18100Cu, 2, (key >> 1) & 0xFF000000u, 3) ||
            !draw_disc(frame, cx - r / 3, cy - r / 3, std::max(r / 3, 1L), key | 0xFFE8B0u, 0, 0, 0, 0))
            return fail("cannot draw a dot of frame " + std::to_string(index));
    }
    return true;
}

bool write_anime(std::vector<CKrFrameBuffer>& frames, const fs::path& root)
{
    CKrFrameBuffer strip;
    if (strip.CreateFrameBuffer(kFrameWidth, kFrameHeight * kFrames, 1) != 0) return fail("no memory for the strip");
    for (long k = 0; k < kFrames; ++k) {
        const std::optional<std::string> name = fx::format_frame_name(kFramePattern, k);
        if (!name) return fail(std::string("frame pattern refused: ") + kFramePattern);
        if (!save_targa(frames[static_cast<std::size_t>(k)], root / *name)) return false;
        strip.FbCopy(&frames[static_cast<std::size_t>(k)], 0, 0, kFrameWidth, kFrameHeight, 0, k * kFrameHeight, 0,
                     nullptr);
    }
    return save_targa(strip, root / kStripName);
}

// ---- the contact sheet ----

class Sheet {
public:
    static constexpr long kWidth = 8 * (kFrameWidth + 8) + 24;
    static constexpr DWORD kLight = 0xFF6E7580u;
    static constexpr DWORD kDark = 0xFF5A6069u;

    bool create(long height)
    {
        if (fb_.CreateFrameBuffer(kWidth, height, 1) != 0) return fail("no memory for the sheet");
        fb_.ClearCol(0xFF262B33u);
        label_.Initial(nullptr);
        if (label_.FontOpen(kFace, 2) != 0 || label_.SetFontNo(2) != 0) return fail("face not found for labels");
        label_.SetSize(18, 100);
        label_.SetBodyCol(0xFFE8ECF0u);
        return true;
    }

    void label(long x, long y, const char* text)
    {
        CBox box;
        label_.SetPos(x, y);
        label_.FontDisp(text, &fb_, &box);
    }

    // A picture over a checkerboard of its own size, so its transparent parts and its extent
    // both show.
    void place(CKrFrameBuffer& pic, long x, long y)
    {
        const auto w = static_cast<long>(pic.GetWidth());
        const auto h = static_cast<long>(pic.GetHeight());
        CKrFrameBuffer tile(w, h, 1);
        tile.ClearCross(POINT{8, 8}, kLight, kDark);
        fb_.FbCopy(&tile, 0, 0, w, h, x, y, 0, nullptr);
        fb_.FbCopy(&pic, 0, 0, w, h, x, y, 1, nullptr);
    }

    CKrFrameBuffer& fb() { return fb_; }

private:
    CKrFrameBuffer fb_;
    CKrFontDraw label_;
};

// A clock face showing `value` as the clock display lays it out.
bool compose_face(std::array<CKrFrameBuffer, fx::kClockImages>& images, int format, const CKrTm& value,
                  CKrFrameBuffer& face)
{
    const long digit_w = static_cast<long>(images[0].GetWidth());
    const long colon_w = static_cast<long>(images[fx::kImageColon].GetWidth());
    const std::vector<int> seq = fx::clock_digit_images(format, value);
    if (face.CreateFrameBuffer(fx::clock_face_width(format, digit_w, colon_w), images[0].GetHeight(), 1) != 0 ||
        fx::compose_clock(images, seq, face) != 0)
        return fail("cannot compose a clock face");
    return true;
}

bool write_preview(std::array<CKrFrameBuffer, fx::kClockImages>& digits, std::vector<CKrFrameBuffer>& frames,
                   const fs::path& path)
{
    const long digit_h = static_cast<long>(digits[0].GetHeight());
    const long faces_y = 40 + digit_h + 48;
    const long frames_y = faces_y + digit_h + 48;
    const long rows = (kFrames + 7) / 8;
    Sheet sheet;
    if (!sheet.create(frames_y + rows * (kFrameHeight + 28) + 8)) return false;

    sheet.label(12, 30, "時計の数字 clk0 〜 clk12（11, 12 は空白）");
    long x = 12;
    for (CKrFrameBuffer& img : digits) {
        sheet.place(img, x, 40);
        x += static_cast<long>(img.GetWidth()) + 6;
    }

    sheet.label(12, faces_y - 10, "表示の合成例（書式 1 と 0）");
    const struct { int format; CKrTm value; } faces[] = {
        {1, CKrTm(0, 5, 7, 0)}, {1, CKrTm(12, 34, 56, 0)}, {0, CKrTm(0, 9, 30, 0)}, {0, CKrTm(0, 59, 8, 0)}};
    x = 12;
    for (const auto& f : faces) {
        CKrFrameBuffer face;
        if (!compose_face(digits, f.format, f.value, face)) return false;
        sheet.place(face, x, faces_y);
        x += static_cast<long>(face.GetWidth()) + 24;
    }

    sheet.label(12, frames_y - 10, "アニメ spin000 〜 spin023");
    for (long k = 0; k < kFrames; ++k) {
        const long fx0 = 12 + (k % 8) * (kFrameWidth + 8);
        const long fy0 = frames_y + (k / 8) * (kFrameHeight + 28);
        sheet.place(frames[static_cast<std::size_t>(k)], fx0, fy0);
        char number[24];
        std::snprintf(number, sizeof number, "%03ld", k);
        sheet.label(fx0 + kFrameWidth - 34, fy0 + kFrameHeight + 20, number);
    }
    if (!zt::write_pam(path.string(), sheet.fb())) return fail("cannot write " + path.string());
    return true;
}

bool make_folders(const fs::path& root)
{
    std::error_code ec;
    for (const char* sub : {"clock", "anime"}) {
        fs::create_directories(root / sub, ec);
        if (ec) return fail("cannot create " + (root / sub).string() + ": " + ec.message());
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_samples <samples folder> <preview.pam>\n");
        return 2;
    }
    const fs::path root = argv[1];
    if (!make_folders(root)) return 1;

    std::optional<std::array<CKrFrameBuffer, fx::kClockImages>> digits = draw_clock_digits();
    if (!digits || !write_clock(*digits, root)) return 1;

    std::vector<CKrFrameBuffer> frames(static_cast<std::size_t>(kFrames));
    for (long k = 0; k < kFrames; ++k) {
        if (!draw_spin_frame(k, frames[static_cast<std::size_t>(k)])) return 1;
    }
    if (!write_anime(frames, root)) return 1;

    if (!write_preview(*digits, frames, argv[2])) return 1;
    std::printf("make_samples: %d clock images, %ld frames and a strip under %s; preview %s\n", fx::kClockImages,
                kFrames, root.string().c_str(), argv[2]);
    return 0;
}
