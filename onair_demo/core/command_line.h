// The on-air demo's command line and its headless runs.
//
//   zorvik-onair [--cue FILE] [--fields N]                 the window, playing FILE
//   zorvik-onair --cue FILE --record OUT.mkv --fields N    headless: program out recorded
//   zorvik-onair --cue FILE --realtime --fields N --stats  headless on the real clock, measured
//   zorvik-onair --cue FILE --screenshot OUT.png --fields N   the window after N fields, saved
//   ... --journal FILE                                    headless: the board's journal kept
//   zorvik-onair --list                                    the cue sheet's operations
//
// Headless runs need no display. Exit status: 0 done; 1 the run failed (the controller did
// not start, a cue was refused, the recording did not end cleanly); 2 a bad command line or a
// bad cue sheet, with the reason on standard error.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace oa {

struct CommandLine {
    std::string cue;
    std::string record;
    std::string screenshot;
    std::string journal; // headless: the board's journal written here, one entry a line
    long long fields = -1; // -1: as long as the sheet, or until the window closes
    bool realtime = false;
    bool stats = false;
    bool list = false;
    bool help = false;

    // Runs without a window: recording, or the real-time measurement.
    bool headless() const { return !record.empty() || stats; }
};

// False with the reason in `error` for an unknown option, a missing or bad value, or a
// combination that makes no sense (a recording in real time, a screenshot headless).
bool parse_command_line(const std::vector<std::string>& args, CommandLine& out, std::string& error);
std::string usage_text();

// A headless run as the command line asks; returns the exit status.
int run_headless(const CommandLine& cmd, std::ostream& out, std::ostream& err);

} // namespace oa
