// The fade core: argument checks, strip building and player parameters.
//
// Each frame of a strip is made by one recipe (clear, copy, key scale, dissolve or
// cross-dissolve with its factor), chosen from the mode and the frame's place in the strip;
// one loop then runs the recipe's row kernel over the rectangle's rows.
#include "effects/fade_core.h"

#include <cstdint>
#include <cstring>

#include "core/errors.h"
#include "effects/kernels/fade_blend.h"

namespace zk::fx {
namespace {

constexpr long kOutputWidth = 720;
constexpr long kOutputHeight = 486;
constexpr int kBanks = 4;

enum class Make { Clear, CopyA, CopyB, ScaleA, ScaleB, Dissolve, Cross };

struct Recipe {
    Make make;
    std::uint32_t f = 0;
};

Recipe recipe_for(int mode, long i, long frames)
{
    // The last frame comes first so that a strip of one frame holds the last frame's picture.
    if (i == frames - 1) return {mode == 1 ? Make::Clear : Make::CopyB};
    if (i == 0) return {mode == 0 ? Make::Clear : Make::CopyA};
    const auto f = static_cast<std::uint32_t>(256 * i / (frames - 1));
    switch (mode) {
    case 0: return {Make::ScaleB, f};
    case 1: return {Make::ScaleA, 256 - f};
    case 2: {
        const auto t = static_cast<std::uint32_t>(512 * i / (frames - 1));
        if (t == 256) return {Make::Clear};
        return t < 256 ? Recipe{Make::ScaleA, 256 - t} : Recipe{Make::ScaleB, t - 256};
    }
    case 3: return {Make::Dissolve, f};
    default: return {Make::Cross, f};
    }
}

// Whether the rectangle lies inside a bank that holds pixels.
bool inside(const CKrFrameBuffer& bank, long x, long y, long width, long height)
{
    if (bank.IsBuffer() != 0 || x < 0 || y < 0) return false;
    return width <= static_cast<long>(bank.GetWidth()) - x && height <= static_cast<long>(bank.GetHeight()) - y;
}

const std::uint32_t* row_at(const CKrFrameBuffer& bank, long x, long y)
{
    return bank.GetBufferDWord() + static_cast<std::size_t>(y) * bank.GetWidth() + static_cast<std::size_t>(x);
}

} // namespace

CString check_fade_set(const FadeSetArgs& a)
{
    CString text;
    if (a.number < 0 || a.number >= kFadeSlots) {
        text.Format("FadeNo Err[%d]", a.number);
    } else if (a.frames <= 0) {
        text.Format("FadeSpeed Err[%d]", a.number);
    } else if (a.width < 1 || a.width > kOutputWidth) {
        text.Format("FadeSizeW Err[%d]%d", a.number, a.width);
    } else if (a.height < 1 || a.height > kOutputHeight) {
        text.Format("FadeSizeH Err[%d]%d", a.number, a.height);
    } else if (a.dest_bank < 0 || a.dest_bank >= kBanks) {
        text.Format("Fade DesBank Err[%d]%d", a.number, a.dest_bank);
    } else if (a.src_bank < 0 || a.src_bank >= kBanks) {
        text.Format("Fade SouBank Err[%d]%d", a.number, a.src_bank);
    } else if (a.mode < 0 || a.mode >= kFadeModes) {
        text = "Fade Mode Error";
    }
    return text;
}

CString fade_strip_error(int number)
{
    CString text;
    text.Format("FadeStrip Err[%d]", number);
    return text;
}

int build_fade_strip(int mode, const CKrFrameBuffer& dest_bank, const CKrFrameBuffer& src_bank, long x, long y,
                     long width, long height, long frames, CKrFrameBuffer& strip)
{
    strip.DeleteFrameBuffer();
    if (mode < 0 || mode >= kFadeModes || frames < 1 || width < 1 || height < 1) return ZK_FAIL(-1);
    const bool uses_a = mode != 0;
    const bool uses_b = mode != 1;
    if (uses_a && !inside(dest_bank, x, y, width, height)) return ZK_FAIL(-1);
    if (uses_b && !inside(src_bank, x, y, width, height)) return ZK_FAIL(-1);
    long strip_height = 0;
    if (__builtin_mul_overflow(frames, height, &strip_height)) return ZK_FAIL(-1);
    if (strip.CreateFrameBuffer(width, strip_height, 0) != 0) return ZK_FAIL(-1);

    const auto n = static_cast<std::size_t>(width);
    for (long k = 0; k < frames; ++k) {
        const Recipe r = recipe_for(mode, k, frames);
        for (long j = 0; j < height; ++j) {
            std::uint32_t* out = strip.GetBufferDWord() + static_cast<std::size_t>(k * height + j) * n;
            const std::uint32_t* a = uses_a ? row_at(dest_bank, x, y + j) : nullptr;
            const std::uint32_t* b = uses_b ? row_at(src_bank, x, y + j) : nullptr;
            switch (r.make) {
            case Make::Clear: std::memset(out, 0, n * 4); break;
            case Make::CopyA: std::memcpy(out, a, n * 4); break;
            case Make::CopyB: std::memcpy(out, b, n * 4); break;
            case Make::ScaleA: scale_key_row(out, a, n, r.f); break;
            case Make::ScaleB: scale_key_row(out, b, n, r.f); break;
            case Make::Dissolve:
                std::memcpy(out, a, n * 4);
                dissolve_row(out, b, n, r.f);
                break;
            case Make::Cross: cross_dissolve_row(out, a, b, n, r.f); break;
            }
        }
    }
    return 0;
}

PlayerParams fade_player_params(const FadeSetArgs& args)
{
    PlayerParams p;
    p.frames = args.frames;
    p.width = args.width;
    p.height = args.height;
    p.dst_x = args.x;
    p.dst_y = args.y;
    p.passes = 1;
    p.delay = args.delay;
    p.hold = 0;
    p.stop_at_once = false;
    return normalised(p);
}

} // namespace zk::fx
