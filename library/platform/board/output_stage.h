// The board's output stage: what goes to air (program out) and to the preview monitor
// (preview out), field by field.
//
// At every field the stage asks its composer for the pictures of that field and keeps, of
// each, the lines of the field's parity, so that a frame is two fields as on the air (the
// first field is the odd lines, 0-based 1, 3, 5, ...; the second the even lines). Recorders
// and tests read the frames the stage has built.
//
// The composer is the mixer's model: it knows the still on every channel, the 2D DVE, crop and
// wipe records, the background, and lays the displayed area of the graphics frame buffer on top
// by its key. A board without a mixer model uses the plain composer: the graphics area alone.
#pragma once

#include <cstdint>
#include <vector>

namespace zk {

// One output picture: 32-bit pixels (blue | green << 8 | red << 16 | key << 24), rows top to
// bottom, no padding.
struct OutputPicture {
    int width = 720;
    int height = 486;
    std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(720 * 486, 0);
};

// The graphics frame buffer's displayed area as the composer sees it: `height` rows of
// `width` pixels, `stride` pixels apart (the device's rows are 768 pixels long).
struct GraphicsArea {
    const std::uint32_t* pixels = nullptr;
    int width = 720;
    int height = 486;
    int stride = 768;
};

class OutputComposer {
public:
    virtual ~OutputComposer() = default;
    // Composes both whole pictures for board field `field` (as in the system clock's status
    // word, field & 1 is 0 for a first field and 1 for a second). Runs on the board's clock
    // thread with the graphics area locked: it must not wait for anything.
    virtual void compose(long long field, const GraphicsArea& graphics, OutputPicture& program, OutputPicture& preview) = 0;
};

} // namespace zk
