// The animation core: checking an animation's size arguments, the player parameters it runs
// with, and the names of its numbered frame files.
//
// Frame files are named by a pattern the caller gives, such as "clip\f%03d.tga", filled with
// the frame's number. The pattern comes from outside, so it is never handed to printf: it may
// hold literal text, "%%" for a percent sign, and exactly one integer conversion
//   % [flags -+ 0#] [width] [.precision] d | i | u | x | X | o
// with a width and a precision of at most two digits each ('#' only with o, x and X). Anything
// else (no conversion, two conversions, strings, pointers, length modifiers, '*', a lone '%')
// is refused. The conversions print as printf prints an int: d and i signed, u, x, X and o the
// number's 32-bit unsigned word.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "effects/frame_player.h"
#include "platform/framework/cstring.h"

namespace zk::fx {

constexpr int kAnimeSlots = 32;

// CAnimeSet1's checks in its order: the number, the frame count, the width, the height.
// Returns the message of the first that fails ("AnimeNo Err[%d]", "AnimeScenc Err[%d]",
// "AnimeSizeW Err[%d]%d", "AnimeSizeH Err[%d]%d"), or an empty text.
CString check_anime_set1(int number, int frames, int width, int height);

// An animation shows the width × height area at (src_x, src_y) of each frame at (dst_x, dst_y)
// with the caller's passes, delay, hold and stop rule.
PlayerParams anime_player_params(long frames, long src_x, long src_y, long width, long height, long dst_x,
                                 long dst_y, long passes, long delay, long hold, bool stop_at_once);

// Whether a frame-file pattern is one this library fills in (see above).
bool frame_name_pattern_ok(std::string_view pattern);

// The pattern filled with `number`, or nothing when the pattern is refused.
std::optional<std::string> format_frame_name(std::string_view pattern, long long number);

} // namespace zk::fx
