// The fade core: checking a fade's arguments, building its strip of frames from two bank
// rectangles, and the player parameters it runs with.
//
// A fade works on one rectangle (x, y, width, height) that is the same in the banks and on the
// output. A is that rectangle of the destination bank (what is there now), B that of the source
// bank (what is to come). The strip is width × (N·height), frame k in rows k·height onward.
// For the frames between the first and the last, f = 256·i / (N − 1) (in 256ths):
//   mode 0, fade in:        transparent … B with its key scaled by f … B
//   mode 1, fade out:       A … A with its key scaled by 256 − f … transparent
//   mode 2, out then in:    A … (t = 512·i / (N − 1): A scaled by 256 − t below 256,
//                           transparent at 256, B scaled by t − 256 above) … B
//   mode 3, dissolve:       A … B laid over A with B's key scaled by f … B
//   mode 4, cross-dissolve: A … A's key scaled down while B's is scaled up … B
// A strip of one frame holds only the last frame; one of two frames the first and the last.
// The per-pixel work is in effects/kernels/fade_blend.h.
#pragma once

#include "effects/frame_player.h"
#include "framebuffer/kr_frame_buffer.h"
#include "platform/framework/cstring.h"

namespace zk::fx {

constexpr int kFadeSlots = 32;
constexpr int kFadeModes = 5;

// FadeSet's arguments, in its order.
struct FadeSetArgs {
    int number = 0;
    int mode = 0;
    int frames = 1;
    int delay = 0;
    int dest_bank = 0;
    int x = 0, y = 0;
    int width = 0, height = 0;
    int src_bank = 0;
};

// Checks every argument of FadeSet before anything changes: the fade number, the frame count,
// the size, the two banks and then the mode. Returns the message of the first check that fails
// ("FadeNo Err[%d]", "FadeSpeed Err[%d]", "FadeSizeW Err[%d]%d", "FadeSizeH Err[%d]%d",
// "Fade DesBank Err[%d]%d", "Fade SouBank Err[%d]%d", "Fade Mode Error"), or an empty text.
// The mode is checked here, with the others, so that a refused call leaves a prepared fade in
// its slot as it was.
CString check_fade_set(const FadeSetArgs& args);

// The message for a strip that could not be built (the rectangle is not inside a bank that
// holds pixels, or there is no memory for the strip).
CString fade_strip_error(int number);

// Builds the strip of `mode` (0 to 4) with `frames` frames from the rectangle of the destination
// bank (A) and of the source bank (B) into `strip`, replacing what it held. Only the banks the
// mode uses must hold pixels; the rectangle must lie inside them. Returns 0, or -1 with `strip`
// left empty.
int build_fade_strip(int mode, const CKrFrameBuffer& dest_bank, const CKrFrameBuffer& src_bank, long x, long y,
                      long width, long height, long frames, CKrFrameBuffer& strip);

// A fade plays its strip once, without hold, at its rectangle, after its delay; a stop request
// lets it run to the end of the cycle.
PlayerParams fade_player_params(const FadeSetArgs& args);

} // namespace zk::fx
