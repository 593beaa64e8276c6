// The mixer's compositor: the state read once per field into a scene, then the layers laid
// row by row with the mixer and frame-buffer kernels.
#include "platform/board/mixer/mixer_composer.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "framebuffer/kernels/composite.h"
#include "platform/board/mixer/channel_placement.h"
#include "platform/board/mixer/kernels/mixer_kernels.h"
#include "platform/board/mixer/wipe_pattern.h"

namespace zk::mixer {
namespace {

constexpr int W = kStoreWidth;
constexpr int H = kStoreHeight;
// A DVE border wider than this is drawn this wide: the record's width is the sender's word.
constexpr int kMaxDveBorder = 64;

struct ChannelScene {
    bool visible = false;
    const StillPicture* store = nullptr;
    Placement placement;
    int border = 0;
    std::uint32_t border_pixel = 0;
};

struct WipeScene {
    bool active = false; // driven and given a fader position
    Wipe wipe;
    std::int32_t fader = kFixedOne;
    bool border_on = false;
    std::uint32_t border_pixel = 0;
};

struct Scene {
    std::uint32_t background = 0;
    std::array<ChannelScene, kFiestaChannels> channels;
    std::array<WipeScene, kWipeUnits> wipes;
    int preview_channel = -1;
};

Scene read_scene(const MixerState& s)
{
    Scene scene;
    const UnitState& bgen = s.unit("BGen2");
    if (bgen.present && bgen.record(RecordKind::Background).received()) {
        const Background b = read_background(bgen.record(RecordKind::Background).bytes);
        if (b.enabled) scene.background = yuv_to_pixel(b.yuv);
    }
    for (int n = 0; n < kFiestaChannels; ++n) {
        const UnitState& unit = s.unit("Fiesta" + std::to_string(n));
        const ChannelState& channel = s.channels[static_cast<size_t>(n)];
        ChannelScene& c = scene.channels[static_cast<size_t>(n)];
        c.visible = unit.present && channel.store;
        if (!c.visible) continue;
        c.store = channel.store.get();
        const RecordSlot& dve_slot = unit.record(RecordKind::Dve2D);
        const RecordSlot& crop_slot = unit.record(RecordKind::Crop);
        const Dve2D dve = dve_slot.received() ? read_dve(dve_slot.bytes) : Dve2D{};
        const Crop crop = crop_slot.received() ? read_crop(crop_slot.bytes) : Crop{};
        c.placement = place_channel(dve, crop, channel.display_mode == DISPLAY_FIELD);
        c.border = static_cast<int>(std::min<std::uint32_t>(dve.border_width, kMaxDveBorder));
        c.border_pixel = yuv_to_pixel(dve.border_yuv);
    }
    for (int w = 0; w < kWipeUnits; ++w) {
        const UnitState& unit = s.unit("WipeRenderer" + std::to_string(w));
        WipeScene& wipe = scene.wipes[static_cast<size_t>(w)];
        wipe.active = unit.present && unit.record(RecordKind::Fader).received();
        if (!wipe.active) continue;
        wipe.fader = read_fader(unit.record(RecordKind::Fader).bytes);
        const RecordSlot& pattern = unit.record(RecordKind::Wipe);
        if (pattern.received()) wipe.wipe = read_wipe(pattern.bytes);
        const UnitState& border = s.unit("WipeBorder" + std::to_string(w));
        if (border.present && border.record(RecordKind::Background).received()) {
            const Background b = read_background(border.record(RecordKind::Background).bytes);
            wipe.border_on = b.enabled;
            wipe.border_pixel = yuv_to_pixel(b.yuv);
        }
    }
    if (const Crosspoint* x = s.crosspoint("PreviewOutputSelect", "Video In")) {
        for (int n = 0; n < kFiestaChannels; ++n) {
            if (x->source == mq_hwconn_source(0x50u + static_cast<unsigned>(n))) scene.preview_channel = n;
        }
    }
    return scene;
}

void shape_picture(OutputPicture& p)
{
    p.width = W;
    p.height = H;
    p.pixels.resize(static_cast<size_t>(W) * H);
}

void fill(OutputPicture& p, std::uint32_t colour)
{
    std::fill(p.pixels.begin(), p.pixels.end(), colour);
}

void fill_span(std::uint32_t* row, long left, long right, std::uint32_t colour)
{
    left = std::clamp<long>(left, 0, W);
    right = std::clamp<long>(right, 0, W);
    if (right > left) std::fill(row + left, row + right, colour);
}

// The DVE border: a frame `b` pixels wide around the placed rectangle.
void draw_frame(OutputPicture& dst, const Placement& pl, int b, std::uint32_t colour)
{
    const long x0 = std::min(pl.x0, pl.x0 + pl.width), x1 = std::max(pl.x0, pl.x0 + pl.width);
    const long y0 = std::min(pl.y0, pl.y0 + pl.height), y1 = std::max(pl.y0, pl.y0 + pl.height);
    const long top = std::max<long>(y0 - b, 0), bottom = std::min<long>(y1 + b, H);
    for (long y = top; y < bottom; ++y) {
        std::uint32_t* row = dst.pixels.data() + y * W;
        if (y < y0 || y >= y1) {
            fill_span(row, x0 - b, x1 + b, colour);
        } else {
            fill_span(row, x0 - b, x0, colour);
            fill_span(row, x1, x1 + b, colour);
        }
    }
}

void lay_channel(OutputPicture& dst, const ChannelScene& c, std::vector<std::uint32_t>& staging)
{
    if (!c.visible) return;
    const Placement& pl = c.placement;
    if (pl.width == 0 || pl.height == 0) return;
    if (c.border > 0) draw_frame(dst, pl, c.border, c.border_pixel);
    if (pl.empty()) return;
    const std::uint32_t* store = c.store->pixels.data();
    if (pl.identity) {
        composite_row(dst.pixels.data(), store, static_cast<size_t>(W) * H);
        return;
    }
    const size_t n = static_cast<size_t>(pl.right - pl.left);
    staging.resize(n);
    for (int y = pl.top; y < pl.bottom; ++y) {
        const std::int32_t sr = pl.rows[static_cast<size_t>(y - pl.top)];
        if (sr < 0) continue;
        gather_row(staging.data(), store + static_cast<size_t>(sr) * W, pl.columns.data(), n);
        composite_row(dst.pixels.data() + static_cast<size_t>(y) * W + pl.left, staging.data(), n);
    }
}

// `below` becomes what the wipe shows between it and `line`.
void apply_wipe(OutputPicture& below, const OutputPicture& line, const WipeScene& w)
{
    const WipeShape shape = wipe_shape(w.wipe.pattern);
    if (shape == WipeShape::Mix) {
        const auto f = static_cast<std::uint32_t>((static_cast<long long>(w.fader) * 256 + (1LL << 23)) >> 24);
        if (f > 0) mix_row(below.pixels.data(), line.pixels.data(), below.pixels.size(), f);
        return;
    }
    const int band = w.border_on ? static_cast<int>(w.wipe.border_width) : 0;
    for (int y = 0; y < H; ++y) {
        const WipeRow r = wipe_row(shape, w.wipe.reversed, w.fader, band, y);
        std::uint32_t* to = below.pixels.data() + static_cast<size_t>(y) * W;
        const std::uint32_t* from = line.pixels.data() + static_cast<size_t>(y) * W;
        for (const Span& s : r.reveal) {
            if (!s.empty()) std::memcpy(to + s.left, from + s.left, static_cast<size_t>(s.right - s.left) * 4);
        }
        for (const Span& s : r.border) fill_span(to, s.left, s.right, w.border_pixel);
    }
}

void key_graphics(OutputPicture& dst, const GraphicsArea& g)
{
    if (!g.pixels || g.width <= 0 || g.height <= 0) return;
    const int rows = std::min(g.height, H);
    const int cols = std::min({g.width, W, g.stride});
    for (int y = 0; y < rows; ++y) {
        composite_row(dst.pixels.data() + static_cast<size_t>(y) * W, g.pixels + static_cast<size_t>(y) * g.stride,
                      static_cast<size_t>(cols));
    }
}

} // namespace

MixerComposer::MixerComposer(std::shared_ptr<MixerModel> model) : model_(std::move(model))
{
    shape_picture(line_);
    staging_.reserve(W);
}

void MixerComposer::compose(long long field, const GraphicsArea& graphics, OutputPicture& program,
                            OutputPicture& preview)
{
    compose_state(model_->state_for_field(field), graphics, program, preview);
}

void MixerComposer::compose_state(const MixerState& state, const GraphicsArea& graphics, OutputPicture& program,
                                  OutputPicture& preview)
{
    const Scene scene = read_scene(state);
    shape_picture(program);
    shape_picture(preview);
    auto shown = [&](int n) {
        return n != scene.preview_channel && scene.channels[static_cast<size_t>(n)].visible;
    };

    // Program, below the graphics. `complete` stays true while it is also the preview: no
    // channel is taken off for preview and every line shows whole.
    bool complete = scene.preview_channel < 0;
    fill(program, scene.background);
    if (shown(0)) lay_channel(program, scene.channels[0], staging_);
    for (int w = 0; w < kWipeUnits; ++w) {
        const int first = 2 * w + 1, second = 2 * w + 2;
        if (!shown(first) && !shown(second)) continue;
        const WipeScene& wipe = scene.wipes[static_cast<size_t>(w)];
        if (!wipe.active || wipe.fader >= kFixedOne) {
            if (shown(first)) lay_channel(program, scene.channels[static_cast<size_t>(first)], staging_);
            if (shown(second)) lay_channel(program, scene.channels[static_cast<size_t>(second)], staging_);
            continue;
        }
        complete = false;
        if (wipe.fader <= 0) continue;
        line_.pixels = program.pixels;
        if (shown(first)) lay_channel(line_, scene.channels[static_cast<size_t>(first)], staging_);
        if (shown(second)) lay_channel(line_, scene.channels[static_cast<size_t>(second)], staging_);
        apply_wipe(program, line_, wipe);
    }

    // Preview.
    if (complete) {
        preview.pixels = program.pixels;
    } else {
        fill(preview, scene.background);
        if (scene.preview_channel >= 0) {
            lay_channel(preview, scene.channels[static_cast<size_t>(scene.preview_channel)], staging_);
        } else {
            for (const ChannelScene& c : scene.channels) lay_channel(preview, c, staging_);
        }
    }

    key_graphics(program, graphics);
}

std::unique_ptr<OutputComposer> make_mixer_composer(VirtualBoard& board)
{
    return std::make_unique<MixerComposer>(mixer_model(board));
}

} // namespace zk::mixer
