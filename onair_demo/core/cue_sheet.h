// The cue sheet: a small text format of timed on-air operations, and its parser.
//
// One cue a line: `<field> <operation> <arguments...> [name=value ...]`. The field is the run's
// own field count from 0 (59.94 fields make a second), or `+N`, N fields after the cue above.
// Fields never go back: a cue may share its field with the one above, never come before it.
// Arguments are integers (decimal with an optional sign, or 0x hexadecimal up to 32 bits, the
// way colours are written: 0xAARRGGBB), reals (for the 2D DVE's normalised positions) and
// quoted strings with the escapes \\ \" \n \t \xHH and \u{H...} (a character, written as
// UTF-8). Options after the arguments are integers by name. '#' outside a string starts a
// comment; blank lines are ignored. The text is UTF-8 (a leading byte-order mark is skipped).
//
// Which operations there are, with their arguments and options, is the table cue_operations()
// gives; README.md beside this folder lists it for people. The parser checks every cue against
// the table, so a sheet that parses has only cues the player knows, each with the right number
// and kinds of arguments. A bad sheet gives the first fault as its line number and a reason.
//
// Needs nothing but the standard library (the fuzz target compiles it on its own).
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace oa {

// The largest field a cue may name: a day of air at 59.94 fields a second, far beyond any
// sheet, and small enough that field counts never overflow.
constexpr long long kMostCueField = 5'178'816;

enum class ArgKind : char { integer = 'i', real = 'r', text = 's' };

struct CueArg {
    ArgKind kind = ArgKind::integer;
    long long integer = 0; // integer arguments (also set, truncated, for reals)
    double real = 0.0;     // real arguments (also set for integers)
    std::string text;      // string arguments, escapes resolved

    // The integer as a 32-bit word (colours, flags); integers are checked to fit on parsing.
    std::uint32_t word() const { return static_cast<std::uint32_t>(integer); }
    int i() const { return static_cast<int>(integer); }
};

struct Cue {
    long long field = 0;
    int line = 0;
    std::string operation;
    std::vector<CueArg> args;
    std::map<std::string, long long> options;

    // An option's value, or `fallback` when the cue does not give it.
    long long option(const std::string& name, long long fallback) const;
};

struct CueSheet {
    std::vector<Cue> cues; // in the sheet's order, fields ascending
    // The field of the last cue (0 for an empty sheet).
    long long last_field() const { return cues.empty() ? 0 : cues.back().field; }
};

struct CueError {
    int line = 0; // 1-based; 0 when the fault is not on a line (an unreadable file)
    std::string reason;
    // "line N: reason", or the reason alone.
    std::string text() const;
};

// One operation of the table: its name, its positional arguments as kinds ("iis": two
// integers and a string), the options it takes, and a line of help.
struct CueOperation {
    std::string_view name;
    std::string_view args;
    std::span<const std::string_view> options;
    std::string_view arg_names; // the arguments' names, for messages and the help text
    std::string_view help;
};

std::span<const CueOperation> cue_operations();
const CueOperation* find_cue_operation(std::string_view name);

// Parses a whole sheet. On a fault returns false with the first one in `error` (and `sheet`
// holding the cues before it).
bool parse_cue_sheet(std::string_view text, CueSheet& sheet, CueError& error);
// Reads and parses a file; an unreadable file is an error on line 0.
bool load_cue_sheet(const std::string& path, CueSheet& sheet, CueError& error);

// The help text: every operation with its arguments and options, one a line.
std::string cue_operations_help();

} // namespace oa
