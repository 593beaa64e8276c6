// The cue sheet's parser and its table of operations (see cue_sheet.h for the format).
#include "cue_sheet.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>

namespace oa {

namespace {

using namespace std::string_view_literals;

constexpr std::string_view kNoOptions[] = {""sv};
constexpr double kLargestReal = 1'000'000.0;
constexpr std::string_view kTextOptions[] = {"font"sv, "color"sv, "edge"sv, "edgetype"sv, "edgecolor"sv,
                                             "shadow"sv, "shadowtype"sv, "shadowcolor"sv, "soft"sv, "width"sv};
constexpr std::string_view kShapeOptions[] = {"color"sv, "edge"sv, "edgecolor"sv, "shadow"sv, "shadowcolor"sv,
                                              "pen"sv, "fill"sv};

// Everything a sheet can ask for. Each operation is one call of the on-air controller (text
// and shapes first set the drawer's attributes the options name); the player (cue_player.cpp)
// carries them out.
constexpr CueOperation kOperations[] = {
    // Banks.
    {"clear", "", {kNoOptions, 0}, "", "clear the write bank"},
    {"clearbank", "ii", {kNoOptions, 0}, "bank colour", "fill a bank with a colour"},
    {"bank", "ii", {kNoOptions, 0}, "onair next", "choose the on-air and the next (preview) bank"},
    {"write", "i", {kNoOptions, 0}, "bank", "choose the bank drawing goes to"},
    {"copymode", "i", {kNoOptions, 0}, "mode", "0 copy, 1 lay over by key"},
    {"copybank", "ii", {kNoOptions, 0}, "from to", "copy a whole bank"},
    {"box", "iiiii", {kNoOptions, 0}, "x y w h colour", "fill a rectangle of the write bank"},
    {"preview", "i", {kNoOptions, 0}, "on", "preview out shows the next bank (1) or not (0)"},
    {"preout", "i", {kNoOptions, 0}, "channel", "the Fiesta channel preview out shows (and the next bank goes to)"},
    {"still", "is", {kNoOptions, 0}, "channel file", "a picture, fitted to 720 x 486 and opaque, on a Fiesta channel"},
    // Drawing.
    {"font", "is", {kNoOptions, 0}, "number face", "open a face under a number (1-50)"},
    {"text", "iiis", kTextOptions, "x y size text", "draw text into the write bank"},
    {"rect", "iiii", kShapeOptions, "x y w h", "draw a rectangle"},
    {"ellipse", "iiii", kShapeOptions, "x y w h", "draw an ellipse"},
    {"roundrect", "iiiiii", kShapeOptions, "x y w h rx ry", "draw a rounded rectangle"},
    {"image", "sii", {kNoOptions, 0}, "file x y", "load a picture (.tga .pct .jpg) into the write bank"},
    // Fades.
    {"fade", "iiiiiiiiii", {kNoOptions, 0}, "no mode speed delay tobank x y w h frombank", "prepare a fade"},
    {"fadestart", "", {kNoOptions, 0}, "", "start the prepared fades"},
    {"fadecopy", "", {kNoOptions, 0}, "", "write the ended fades' pictures into their banks"},
    {"fadereset", "", {kNoOptions, 0}, "", "stop and forget every fade"},
    // Running clocks.
    {"clock", "isiii", {kNoOptions, 0}, "no digits format x y", "prepare a clock from digit pictures"},
    {"clocktime", "iiiii", {kNoOptions, 0}, "no h m s ms", "set a clock's time"},
    {"clockdown", "i", {kNoOptions, 0}, "no", "count down"},
    {"clockup", "i", {kNoOptions, 0}, "no", "count up"},
    {"clockshow", "ii", {kNoOptions, 0}, "no on", "show (1) or hide (0) a clock"},
    {"clockstart", "i", {kNoOptions, 0}, "no", "start a clock"},
    {"clockstop", "i", {kNoOptions, 0}, "no", "stop a clock"},
    // Animations.
    {"anime", "iiiiiiisii", {kNoOptions, 0}, "no frames x y w h first format mode bank",
     "prepare an animation from numbered pictures (format like \"spin%03d.tga\")"},
    {"animemode", "iiiii", {kNoOptions, 0}, "no passes delay hold stop", "set how an animation plays"},
    {"animestart", "", {kNoOptions, 0}, "", "start the prepared animations"},
    {"animestop", "i", {kNoOptions, 0}, "no", "stop an animation"},
    // Rolls and crawls.
    {"roll", "siii", {kNoOptions, 0}, "file step direction mode",
     "prepare a roll (direction 1) or crawl (0) of a picture file; step in tenths of a pixel a field"},
    {"rollgrab", "iiiiiii", {kNoOptions, 0}, "x y w h step direction mode",
     "prepare a roll or crawl of a rectangle of the write bank"},
    {"rollstart", "", {kNoOptions, 0}, "", "start the prepared roll"},
    {"rollbreak", "", {kNoOptions, 0}, "", "break the roll off"},
    {"gfbroll", "iiii", {kNoOptions, 0}, "mode direction amount isstep",
     "push or slide the next bank over the picture on air"},
    // Wipes.
    {"wipe", "iiiiiiii", {kNoOptions, 0}, "unit pattern modifier mode value1 value2 direction steps",
     "prepare a wipe unit (0 or 1)"},
    {"wipestart", "i", {kNoOptions, 0}, "which", "start wipe 0, 1, or 2 for both"},
    // 2D DVE.
    {"dveslide", "iiiiii", {kNoOptions, 0}, "slide direction in borderwidth bordercolour steps",
     "prepare a 2D DVE slide (0 or 1)"},
    {"dveslidestart", "i", {kNoOptions, 0}, "which", "start DVE slide 0, 1, or 2 for both"},
    {"dve", "iiii", {kNoOptions, 0}, "pattern out fields act", "prepare a 2D DVE move (preset 0-14) on action 0-2"},
    {"dvestart", "i", {kNoOptions, 0}, "act", "start a 2D DVE move"},
    {"dvebreak", "i", {kNoOptions, 0}, "act", "end a 2D DVE move at once"},
    {"dvepos", "rrrri", {kNoOptions, 0}, "x y w h act", "place a 2D DVE action's picture (0.0-1.0 of the picture)"},
};

bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// One line's words: numbers, strings and options, as the line's own text says them.
class LineReader {
public:
    LineReader(std::string_view line, int number) : s_(line), line_(number) {}

    bool at_end()
    {
        skip_blanks();
        return i_ >= s_.size() || s_[i_] == '#';
    }
    bool fail(CueError& error, std::string reason) const
    {
        error.line = line_;
        error.reason = std::move(reason);
        return false;
    }
    // The next bare word (up to a blank, a quote or a comment).
    std::string_view word()
    {
        skip_blanks();
        const size_t start = i_;
        while (i_ < s_.size() && !is_blank(s_[i_]) && s_[i_] != '"' && s_[i_] != '#') ++i_;
        return s_.substr(start, i_ - start);
    }
    bool next_is_quote()
    {
        skip_blanks();
        return i_ < s_.size() && s_[i_] == '"';
    }
    // A quoted string with its escapes resolved.
    bool quoted(std::string& out, CueError& error)
    {
        ++i_; // the opening quote
        out.clear();
        while (i_ < s_.size()) {
            const char c = s_[i_++];
            if (c == '"') {
                if (i_ < s_.size() && !is_blank(s_[i_]) && s_[i_] != '#')
                    return fail(error, "a string must be followed by a blank");
                return true;
            }
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            if (i_ >= s_.size()) break;
            const char e = s_[i_++];
            switch (e) {
            case '\\': out.push_back('\\'); break;
            case '"': out.push_back('"'); break;
            case 'n': out.push_back('\n'); break;
            case 't': out.push_back('\t'); break;
            case 'x': {
                unsigned value = 0;
                if (!hex_digits(2, 2, value)) return fail(error, "\\x needs two hexadecimal digits");
                if (value == 0) return fail(error, "a string cannot hold the character 0");
                out.push_back(static_cast<char>(value));
                break;
            }
            case 'u': {
                unsigned value = 0;
                if (i_ >= s_.size() || s_[i_] != '{') return fail(error, "\\u needs {hexadecimal digits}");
                ++i_;
                if (!hex_digits(1, 6, value) || i_ >= s_.size() || s_[i_] != '}')
                    return fail(error, "\\u needs {hexadecimal digits}");
                ++i_;
                if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
                    return fail(error, "\\u{...} is not a character");
                append_utf8(out, value);
                break;
            }
            default: return fail(error, std::string("unknown escape \\") + e);
            }
        }
        return fail(error, "a string has no closing quote");
    }

private:
    void skip_blanks()
    {
        while (i_ < s_.size() && is_blank(s_[i_])) ++i_;
    }
    bool hex_digits(int least, int most, unsigned& value)
    {
        int n = 0;
        value = 0;
        while (n < most && i_ < s_.size() && std::isxdigit(static_cast<unsigned char>(s_[i_]))) {
            const char c = s_[i_++];
            value = value * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c))
                                                           ? c - '0'
                                                           : (std::tolower(static_cast<unsigned char>(c)) - 'a' + 10));
            ++n;
        }
        return n >= least;
    }
    static void append_utf8(std::string& out, unsigned c)
    {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }

    std::string_view s_;
    size_t i_ = 0;
    int line_;
};

// An integer word: decimal with an optional sign, or 0x hexadecimal; anything that does not fit
// a 32-bit word (signed or not) is refused, so every integer reaches the controller unchanged.
bool parse_integer(std::string_view w, long long& out)
{
    if (w.empty() || w.size() > 24) return false;
    const std::string s(w);
    const bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
    const char* begin = s.c_str();
    char* end = nullptr;
    errno = 0;
    long long value = 0;
    if (hex) {
        if (!std::isxdigit(static_cast<unsigned char>(s[2]))) return false;
        value = std::strtoll(begin + 2, &end, 16);
    } else {
        const size_t digits = (s[0] == '-' || s[0] == '+') ? 1 : 0;
        if (digits >= s.size() || !std::isdigit(static_cast<unsigned char>(s[digits]))) return false;
        value = std::strtoll(begin, &end, 10);
    }
    if (errno != 0 || *end != '\0') return false;
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::uint32_t>::max())
        return false;
    out = value;
    return true;
}

bool parse_real(std::string_view w, double& out)
{
    if (w.empty() || w.size() > 40) return false;
    const std::string s(w);
    // Plain decimals only: no hexadecimal floats, infinities or NaNs.
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '+' && c != 'e' && c != 'E')
            return false;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(s.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(value)) return false;
    out = value;
    return true;
}

const char* kind_name(ArgKind kind)
{
    switch (kind) {
    case ArgKind::integer: return "an integer";
    case ArgKind::real: return "a number";
    case ArgKind::text: return "a quoted string";
    }
    return "?";
}

// The name of argument `index` from the operation's list of names.
std::string arg_name(const CueOperation& op, size_t index)
{
    std::string_view names = op.arg_names;
    for (size_t i = 0; i < index; ++i) {
        const size_t blank = names.find(' ');
        if (blank == std::string_view::npos) return "argument " + std::to_string(index + 1);
        names.remove_prefix(blank + 1);
    }
    return std::string(names.substr(0, names.find(' ')));
}

bool parse_line(std::string_view text, int number, long long previous_field, CueSheet& sheet, CueError& error)
{
    LineReader in(text, number);
    if (in.at_end()) return true;

    Cue cue;
    cue.line = number;
    if (in.next_is_quote()) return in.fail(error, "a cue starts with its field");
    const std::string_view field_word = in.word();
    const bool relative = field_word.front() == '+';
    long long field = 0;
    if (field_word.front() == '-' || !parse_integer(field_word, field) ||
        (field_word.size() > 1 && (field_word[1] == 'x' || field_word[1] == 'X')))
        return in.fail(error, "the field '" + std::string(field_word) + "' is not a count of fields");
    if (relative) field += previous_field;
    if (field > kMostCueField)
        return in.fail(error, "field " + std::to_string(field) + " is beyond the last field a sheet may use (" +
                                  std::to_string(kMostCueField) + ")");
    if (field < previous_field)
        return in.fail(error, "field " + std::to_string(field) + " comes before field " +
                                  std::to_string(previous_field) + " of the cue above");
    cue.field = field;

    if (in.at_end()) return in.fail(error, "no operation after the field");
    if (in.next_is_quote()) return in.fail(error, "the operation is a word, not a string");
    const std::string_view op_word = in.word();
    const CueOperation* op = find_cue_operation(op_word);
    if (!op) return in.fail(error, "unknown operation '" + std::string(op_word) + "'");
    cue.operation = std::string(op->name);

    for (size_t a = 0; a < op->args.size(); ++a) {
        const ArgKind kind = static_cast<ArgKind>(op->args[a]);
        const std::string what = std::string(op->name) + ": " + arg_name(*op, a);
        if (in.at_end())
            return in.fail(error, what + " is missing (" + std::string(op->name) + " takes " +
                                      std::string(op->arg_names) + ")");
        CueArg arg;
        arg.kind = kind;
        if (kind == ArgKind::text) {
            if (!in.next_is_quote()) return in.fail(error, what + " must be " + kind_name(kind));
            if (!in.quoted(arg.text, error)) return false;
        } else {
            if (in.next_is_quote()) return in.fail(error, what + " must be " + kind_name(kind));
            const std::string_view w = in.word();
            if (w.find('=') != std::string_view::npos)
                return in.fail(error, what + " is missing before the option '" + std::string(w) + "'");
            if (kind == ArgKind::integer) {
                if (!parse_integer(w, arg.integer))
                    return in.fail(error, what + " must be " + kind_name(kind) + " of 32 bits, not '" +
                                              std::string(w) + "'");
                arg.real = static_cast<double>(arg.integer);
            } else {
                if (!parse_real(w, arg.real))
                    return in.fail(error, what + " must be " + kind_name(kind) + ", not '" + std::string(w) + "'");
                // Positions and sizes, in pictures or pixels: anything beyond a million is a
                // slip of the keyboard, and would not even fit the integer kept beside it.
                if (std::fabs(arg.real) > kLargestReal)
                    return in.fail(error, what + " must lie between -1000000 and 1000000, not '" + std::string(w) + "'");
                arg.integer = static_cast<long long>(arg.real);
            }
        }
        cue.args.push_back(std::move(arg));
    }

    while (!in.at_end()) {
        if (in.next_is_quote()) return in.fail(error, std::string(op->name) + " takes no more arguments");
        const std::string_view w = in.word();
        const size_t eq = w.find('=');
        if (eq == std::string_view::npos)
            return in.fail(error, std::string(op->name) + " takes no more arguments ('" + std::string(w) + "')");
        const std::string_view name = w.substr(0, eq);
        if (std::find(op->options.begin(), op->options.end(), name) == op->options.end() || name.empty())
            return in.fail(error, std::string(op->name) + " has no option '" + std::string(name) + "'");
        long long value = 0;
        if (!parse_integer(w.substr(eq + 1), value))
            return in.fail(error, "option " + std::string(name) + " must be an integer of 32 bits");
        if (!cue.options.emplace(std::string(name), value).second)
            return in.fail(error, "option " + std::string(name) + " is given twice");
    }
    sheet.cues.push_back(std::move(cue));
    return true;
}

} // namespace

long long Cue::option(const std::string& name, long long fallback) const
{
    const auto it = options.find(name);
    return it == options.end() ? fallback : it->second;
}

std::string CueError::text() const
{
    return line > 0 ? "line " + std::to_string(line) + ": " + reason : reason;
}

std::span<const CueOperation> cue_operations()
{
    return kOperations;
}

const CueOperation* find_cue_operation(std::string_view name)
{
    for (const CueOperation& op : kOperations)
        if (op.name == name) return &op;
    return nullptr;
}

bool parse_cue_sheet(std::string_view text, CueSheet& sheet, CueError& error)
{
    sheet.cues.clear();
    error = {};
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    int number = 0;
    while (!text.empty() || number == 0) {
        ++number;
        const size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.find('\0') != std::string_view::npos) {
            error = {number, "the line holds a character 0"};
            return false;
        }
        if (!parse_line(line, number, sheet.last_field(), sheet, error)) return false;
        if (number == std::numeric_limits<int>::max()) {
            error = {number, "too many lines"};
            return false;
        }
    }
    return true;
}

bool load_cue_sheet(const std::string& path, CueSheet& sheet, CueError& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        sheet.cues.clear();
        error = {0, "cannot read the cue sheet " + path};
        return false;
    }
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        error = {0, "cannot read the cue sheet " + path};
        return false;
    }
    return parse_cue_sheet(text, sheet, error);
}

std::string cue_operations_help()
{
    std::ostringstream out;
    for (const CueOperation& op : kOperations) {
        out << "  " << op.name;
        if (!op.arg_names.empty()) out << ' ' << op.arg_names;
        bool first = true;
        for (std::string_view o : op.options) {
            if (o.empty()) continue;
            out << (first ? "  [" : " ") << o << "=N";
            first = false;
        }
        if (!first) out << ']';
        out << "\n      " << op.help << '\n';
    }
    return out.str();
}

} // namespace oa
