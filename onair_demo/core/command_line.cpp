// The on-air demo's command line and headless runs (see command_line.h).
#include "command_line.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "onair_runner.h"

namespace oa {

namespace {

bool parse_count(const std::string& text, long long& out)
{
    long long v = 0;
    const char* end = text.data() + text.size();
    const auto [p, ec] = std::from_chars(text.data(), end, v);
    if (ec != std::errc{} || p != end || v < 0 || v > kMostCueField) return false;
    out = v;
    return true;
}

} // namespace

std::string usage_text()
{
    return "usage: zorvik-onair [--cue FILE] [--fields N] [--record OUT.mkv] [--realtime --stats]\n"
           "                    [--screenshot OUT.png] [--list]\n"
           "  --cue FILE        the cue sheet to play (onair_demo/README.md describes it)\n"
           "  --fields N        run N fields (default: to the sheet's last cue and 60 fields more)\n"
           "  --record OUT.mkv  headless: record program out to OUT.mkv on a stepped clock\n"
           "  --realtime        run on the real clock at the field rate (with --stats: headless)\n"
           "  --stats           print fields dropped on air, fields the host reached late, and the worst and median per-field work\n"
           "  --screenshot F    open the window, run N fields, save the window to F and quit\n"
           "  --journal FILE    headless: write the board's journal to FILE, one entry a line\n"
           "  --list            list the cue sheet's operations\n";
}

bool parse_command_line(const std::vector<std::string>& args, CommandLine& out, std::string& error)
{
    out = {};
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                error = a + " needs a value";
                return false;
            }
            into = args[++i];
            return true;
        };
        if (a == "--cue") {
            if (!value(out.cue)) return false;
        } else if (a == "--record") {
            if (!value(out.record)) return false;
        } else if (a == "--journal") {
            if (!value(out.journal)) return false;
        } else if (a == "--screenshot") {
            if (!value(out.screenshot)) return false;
        } else if (a == "--fields") {
            std::string n;
            if (!value(n)) return false;
            if (!parse_count(n, out.fields)) {
                error = "--fields needs a count of fields from 0 to " + std::to_string(kMostCueField) + ", not '" + n + "'";
                return false;
            }
        } else if (a == "--realtime") {
            out.realtime = true;
        } else if (a == "--stats") {
            out.stats = true;
        } else if (a == "--list") {
            out.list = true;
        } else if (a == "--help" || a == "-h") {
            out.help = true;
        } else {
            error = "unknown option '" + a + "'";
            return false;
        }
    }
    if (out.list || out.help) return true;
    if (out.headless() && out.cue.empty()) {
        error = "a headless run needs --cue FILE";
        return false;
    }
    if (!out.record.empty() && out.realtime) {
        error = "--record runs on the stepped clock; --realtime measures without recording";
        return false;
    }
    if (out.stats && !out.realtime) {
        error = "--stats measures a real-time run: add --realtime";
        return false;
    }
    if (!out.screenshot.empty() && out.headless()) {
        error = "--screenshot needs the window: leave out --record and --stats";
        return false;
    }
    return true;
}

int run_headless(const CommandLine& cmd, std::ostream& out, std::ostream& err)
{
    CueSheet sheet;
    CueError bad;
    if (!load_cue_sheet(cmd.cue, sheet, bad)) {
        err << cmd.cue << ": " << bad.text() << '\n';
        return 2;
    }
    RunnerOptions options;
    options.clock = cmd.realtime ? ClockMode::real_time : ClockMode::stepped;
    options.record_path = cmd.record;
    options.sheet_folder = std::filesystem::path(cmd.cue).parent_path().string();
    options.journal_lines = cmd.journal.empty() ? 0 : static_cast<std::size_t>(-1);
    OnAirRunner runner(options);
    std::string error;
    if (!runner.start(error)) {
        err << error << '\n';
        return 1;
    }
    runner.load(sheet);
    const long long fields = cmd.fields >= 0 ? cmd.fields : sheet.last_field() + 60;
    while (runner.field() < fields) {
        if (!runner.advance(error)) {
            err << error << '\n';
            return 1;
        }
    }
    const FieldWork work = runner.work();
    const bool finished = runner.finish(error);
    int status = 0;
    for (const CueOutcome& f : runner.failures()) err << cmd.cue << ": " << f.text << '\n';
    if (!runner.failures().empty()) {
        err << runner.failures().size() << " cue(s) refused\n";
        status = 1;
    }
    if (!finished) {
        err << error << '\n';
        status = 1;
    }
    if (!cmd.record.empty() && finished)
        out << "recorded " << runner.recorded_frames() << " frames (" << runner.field() << " fields) of program out to "
            << cmd.record << '\n';
    if (cmd.stats) out << work.text() << '\n';
    if (!cmd.journal.empty()) {
        std::ofstream file(cmd.journal);
        for (const std::string& line : runner.journal_lines()) file << line << '\n';
        if (!file) {
            err << "cannot write the journal to " << cmd.journal << '\n';
            status = 1;
        }
    }
    return status;
}

} // namespace oa
