// Shared pieces of the benchmarks: test pictures and peer-library set-up.
#pragma once

#include <string>

#include "support/test_support.h"

struct ass_image;
struct ass_library;
struct ass_renderer;
struct ass_track;

namespace zb {

// A caption-like picture: opaque text-ish blocks with anti-aliased borders on transparency.
CKrFrameBuffer caption_picture(long w, long h, unsigned seed);
// A photograph-like picture: smooth colour gradients with noise, fully opaque.
CKrFrameBuffer photo_picture(long w, long h, unsigned seed);

// Lays libass's output images into a frame the way our renderer lays its layers (key
// composite), so both sides of a caption comparison end in the same picture work.
void lay_ass_images(const ass_image* img, CKrFrameBuffer& frame);

// The look of libass's side of a caption comparison: white text with a dark outline and a
// half-transparent shadow, bottom-left aligned.
struct AssStyle {
    const char* font_path;
    const char* family;
    int size;      // font size in frame pixels
    int scale_x;   // horizontal scale in percent
    int outline;   // outline width in frame pixels
    int shadow;    // shadow offset in frame pixels
    int margin_lr; // left and right margins in frame pixels
};

// libass set up for one caption line at a time over a frame of the given size.
class AssCaption {
public:
    AssCaption(const AssStyle& style, long frame_w, long frame_h);
    ~AssCaption();
    AssCaption(const AssCaption&) = delete;
    AssCaption& operator=(const AssCaption&) = delete;

    // Replaces the line shown; `text` may start with override tags such as {\blur4}.
    void set_line(const std::string& text);
    // Renders the frame at time t (milliseconds) and lays it into `frame`.
    void render(long long t, CKrFrameBuffer& frame);

private:
    ass_library* lib_;
    ass_renderer* renderer_;
    ass_track* track_;
};

} // namespace zb
