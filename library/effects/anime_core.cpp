// The animation core: size checks, player parameters and the frame-file name formatter.
//
// The formatter reads the pattern once, copying literal text and filling the one conversion
// with digits it makes itself, so no caller text ever reaches a printf-style call.
#include "effects/anime_core.h"

#include <cstdint>

namespace zk::fx {
namespace {

constexpr long kOutputWidth = 720;
constexpr long kOutputHeight = 486;
constexpr int kMaxFieldDigits = 2;  // of a width or a precision

struct Conversion {
    bool left = false, plus = false, space = false, zero = false, alt = false;
    int width = 0;
    int precision = -1;  // none
    char type = 'd';
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Reads at most two digits at pattern[i...]; false when there are more.
bool read_number(std::string_view pattern, std::size_t& i, int& value)
{
    value = 0;
    int count = 0;
    while (i < pattern.size() && is_digit(pattern[i])) {
        if (++count > kMaxFieldDigits) return false;
        value = value * 10 + (pattern[i++] - '0');
    }
    return true;
}

// Reads the conversion after a '%' at pattern[i...]; i ends past its type letter.
bool read_conversion(std::string_view pattern, std::size_t& i, Conversion& c)
{
    for (; i < pattern.size(); ++i) {
        const char f = pattern[i];
        if (f == '-') c.left = true;
        else if (f == '+') c.plus = true;
        else if (f == ' ') c.space = true;
        else if (f == '0') c.zero = true;
        else if (f == '#') c.alt = true;
        else break;
    }
    if (!read_number(pattern, i, c.width)) return false;
    if (i < pattern.size() && pattern[i] == '.') {
        ++i;
        if (!read_number(pattern, i, c.precision)) return false;
    }
    if (i >= pattern.size()) return false;
    c.type = pattern[i++];
    switch (c.type) {
    case 'd':
    case 'i':
    case 'u': return !c.alt;
    case 'x':
    case 'X':
    case 'o': return true;
    default: return false;
    }
}

// The conversion filled with `number` as printf fills it with an int, appended to `out`.
void convert(const Conversion& c, long long number, std::string& out)
{
    const bool is_signed = c.type == 'd' || c.type == 'i';
    const bool negative = is_signed && number < 0;
    unsigned long long magnitude = 0;
    if (is_signed) {
        magnitude = negative ? 0ULL - static_cast<unsigned long long>(number) : static_cast<unsigned long long>(number);
    } else {
        magnitude = static_cast<std::uint32_t>(number);
    }
    const unsigned base = c.type == 'o' ? 8 : (c.type == 'x' || c.type == 'X') ? 16 : 10;
    const char* glyphs = c.type == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";

    char digits[32];  // least significant first; 22 octal digits hold 64 bits
    std::size_t count = 0;
    for (unsigned long long m = magnitude; m != 0; m /= base) digits[count++] = glyphs[m % base];
    // Zero shows as "0", except with a precision of 0, which prints no digits at all.
    if (count == 0 && c.precision < 0) digits[count++] = '0';
    std::size_t zeros = c.precision > static_cast<int>(count) ? static_cast<std::size_t>(c.precision) - count : 0;
    // '#' with o makes the first digit a 0.
    if (c.alt && c.type == 'o' && zeros == 0 && (count == 0 || digits[count - 1] != '0')) zeros = 1;

    std::string_view sign;
    if (negative) sign = "-";
    else if (is_signed && c.plus) sign = "+";
    else if (is_signed && c.space) sign = " ";
    std::string_view radix;
    if (c.alt && magnitude != 0 && (c.type == 'x' || c.type == 'X')) radix = c.type == 'x' ? "0x" : "0X";

    const std::size_t length = sign.size() + radix.size() + zeros + count;
    const std::size_t pad = static_cast<std::size_t>(c.width) > length ? static_cast<std::size_t>(c.width) - length : 0;
    // Zero padding goes between the sign or radix and the digits; a precision turns it off.
    const bool zero_pad = c.zero && !c.left && c.precision < 0;
    if (!c.left && !zero_pad) out.append(pad, ' ');
    out.append(sign);
    out.append(radix);
    out.append(zero_pad ? pad + zeros : zeros, '0');
    while (count > 0) out += digits[--count];
    if (c.left) out.append(pad, ' ');
}

// Walks the pattern: literal text and "%%" are copied, the one conversion is filled. Returns
// nothing for a refused pattern.
std::optional<std::string> fill(std::string_view pattern, long long number)
{
    std::string out;
    int conversions = 0;
    for (std::size_t i = 0; i < pattern.size();) {
        const char ch = pattern[i++];
        if (ch != '%') {
            out += ch;
            continue;
        }
        if (i < pattern.size() && pattern[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        Conversion c;
        if (!read_conversion(pattern, i, c) || ++conversions > 1) return std::nullopt;
        convert(c, number, out);
    }
    if (conversions != 1) return std::nullopt;
    return out;
}

} // namespace

CString check_anime_set1(int number, int frames, int width, int height)
{
    CString text;
    if (number < 0 || number >= kAnimeSlots) {
        text.Format("AnimeNo Err[%d]", number);
    } else if (frames <= 0) {
        text.Format("AnimeScenc Err[%d]", number);
    } else if (width < 1 || width > kOutputWidth) {
        text.Format("AnimeSizeW Err[%d]%d", number, width);
    } else if (height < 1 || height > kOutputHeight) {
        text.Format("AnimeSizeH Err[%d]%d", number, height);
    }
    return text;
}

PlayerParams anime_player_params(long frames, long src_x, long src_y, long width, long height, long dst_x,
                                 long dst_y, long passes, long delay, long hold, bool stop_at_once)
{
    PlayerParams p;
    p.frames = frames;
    p.src_x = src_x;
    p.src_y = src_y;
    p.width = width;
    p.height = height;
    p.dst_x = dst_x;
    p.dst_y = dst_y;
    p.passes = passes;
    p.delay = delay;
    p.hold = hold;
    p.stop_at_once = stop_at_once;
    return normalised(p);
}

bool frame_name_pattern_ok(std::string_view pattern)
{
    return fill(pattern, 0).has_value();
}

std::optional<std::string> format_frame_name(std::string_view pattern, long long number)
{
    return fill(pattern, number);
}

} // namespace zk::fx
