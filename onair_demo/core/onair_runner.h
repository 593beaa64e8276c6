// The on-air runner: one board, one on-air controller and a cue sheet, run field by field.
//
// The runner owns the board the controller runs on: a board on a hand-stepped clock for the
// headless mode, the soak and the tests (each advance() runs the cues of the next field and
// steps one field, every consequence settled before it returns; a cue whose call waits for
// the board meanwhile lets the board move on, and those fields count as run), or the board's real
// clock at the video rate for the window and the real-time measurement (advance() then waits
// for the controller's next field and runs every cue that has come due, late ones included, so
// nothing on the sheet is skipped even when the host falls behind). It starts the controller
// (Initial), optionally records program out to a video file, and ends both in order.
//
// While it runs it reads the board's journal as it goes (a long run never holds more than a
// field's entries): every cue it plays is journalled as a note, the last entries are kept as
// lines for people, and the field interrupts are checked to come once each, in order. It also
// measures each field's work: the time from the field's start until its cues have run and
// the field is done (stepped: the stepped field settled; real time: the vertical-sync thread
// has handled it), and counts fields the host did not get round to in time.
//
// The header names no type of the library, so the window includes it without the library's
// framework types meeting Qt's.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "cue_player.h"
#include "cue_sheet.h"
#include "journal_check.h"

namespace oa {

enum class ClockMode { stepped, real_time };

struct RunnerOptions {
    ClockMode clock = ClockMode::stepped;
    std::string record_path;   // program out to this video file (.mkv); none when empty
    std::string sheet_folder;  // where the sheet's relative file names are looked for
    bool keep_output = false;  // build program and preview out every field (the window)
    std::size_t journal_lines = 200;
};

struct OutputImage {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels; // blue | green << 8 | red << 16 | key << 24, rows top down
};

// Per-field work, in milliseconds.
struct FieldWork {
    long long fields = 0;
    long long dropped = 0; // fields the host reached only after the next had begun
    long long waited = 0;  // of those, fields that passed while a cue's call waited for the board
    long long late_on_air = 0; // fields whose on-air work the vertical-sync thread did only after the next had come
    double worst_free_ms = 0.0; // the worst field whose cues did not wait for the board
    double worst_ms = 0.0;
    double median_ms = 0.0;
    double field_ms = 0.0; // the field period
    std::string text() const;
};

class OnAirRunner {
public:
    explicit OnAirRunner(RunnerOptions options);
    ~OnAirRunner();
    OnAirRunner(const OnAirRunner&) = delete;
    OnAirRunner& operator=(const OnAirRunner&) = delete;

    // Installs the board, starts the controller and the recording. False with a reason.
    bool start(std::string& error);
    // Plays `sheet` from the next field on: its field 0 is the next field run. A sheet loaded
    // while another plays replaces it.
    void load(const CueSheet& sheet);
    // One field (see above). False when the board could not step or the controller is gone.
    bool advance(std::string& error);
    // Ends the recording (the last frame completed first) and the controller. False when the
    // recording did not end cleanly. Called by the destructor when not called before.
    bool finish(std::string& error);
    // Real time: forget where the last field was, so fields that pass while the host does not
    // advance (a paused window) are neither played late nor counted as dropped.
    void resync();

    long long field() const { return field_; }        // fields run so far
    long long sheet_field() const { return sheet_field_; } // fields into the current sheet
    bool sheet_done() const;                           // every cue of the sheet has played
    const std::vector<CueOutcome>& failures() const { return failures_; }
    long long cues_played() const { return cues_played_; }
    const JournalFieldCheck& journal_check() const { return check_; }
    const std::deque<std::string>& journal_lines() const { return lines_; }
    FieldWork work() const;
    // Program and preview out as of the last field (empty unless keep_output or recording).
    OutputImage program() const;
    OutputImage preview() const;
    // The recording's frames so far.
    long long recorded_frames() const;

private:
    struct Impl;
    void play_due();
    void read_journal();

    RunnerOptions options_;
    std::unique_ptr<Impl> impl_;
    CueSheet sheet_;
    std::size_t next_cue_ = 0;
    long long field_ = 0;
    long long sheet_field_ = 0;
    long long cues_played_ = 0;
    std::vector<CueOutcome> failures_;
    JournalFieldCheck check_;
    std::deque<std::string> lines_;
    std::vector<double> work_ms_;
    std::vector<bool> work_waited_;
    long long dropped_ = 0;
    long long waited_ = 0;
};

} // namespace oa
