// The board's output stage: what goes to air (program out) and to the preview monitor
// (preview out), field by field.
//
// At every field the stage asks its composer for the pictures of that field and keeps, of
// each, the lines of the field's parity, so that a frame is two fields as on the air (the
// first field is the odd lines, 0-based 1, 3, 5, ...; the second the even lines). Recorders
// and tests read the frames the stage has built.
//
// The composer is the mixer's model: it knows the still on every channel, the 2D DVE, crop and
// wipe records, the background, and lays the displayed area of the graphics frame buffer on top
// by its key. A board whose cardsets hold a DigiMix is given it when its stage is first used; a
// board without one uses the plain composer: the graphics area alone. A composer set by hand
// (tests, hosts) stays.
//
// The stage runs only while output is wanted: while a recording runs, or while a test or a
// host holds it on (OutputHold); otherwise a board pays nothing for it. While it runs it reads
// out each field at the field's end, just before the next field's interrupt is raised, so a
// field shows what the interrupt handlers of that field did (the vertical-sync worker's copy
// from the back area among them). A recording is started by a call (OutputStage::
// start_recording, or record_program_out for the current board), or by the environment
// (ZORVIK_RECORD, ZORVIK_RECORD_SNAPSHOTS, see platform/recorder/program_recorder.h) once the
// board's graphics device is first opened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/zorvik_api.h"
#include "platform/recorder/program_recorder.h"

namespace zk {

class VirtualBoard;
class TimeBase;
class BoardMedia;
struct GraphicsMemory;

// One output picture: 32-bit pixels (blue | green << 8 | red << 16 | key << 24), rows top to
// bottom, no padding.
struct OutputPicture {
    int width = 720;
    int height = 486;
    std::vector<std::uint32_t> pixels = std::vector<std::uint32_t>(720 * 486, 0);
};

// The graphics frame buffer's displayed area as the composer sees it: `height` rows of
// `width` pixels, `stride` pixels apart (the device's rows are 768 pixels long).
struct GraphicsArea {
    const std::uint32_t* pixels = nullptr;
    int width = 720;
    int height = 486;
    int stride = 768;
};

class OutputComposer {
public:
    virtual ~OutputComposer() = default;
    // Composes both whole pictures for board field `field` (as in the system clock's status
    // word, field & 1 is 0 for a first field and 1 for a second). Runs on the board's clock
    // thread with the graphics area locked: it must not wait for anything.
    virtual void compose(long long field, const GraphicsArea& graphics, OutputPicture& program, OutputPicture& preview) = 0;
};

// What the stage keeps of a frame: program and preview out, each line from the latest field of
// its parity.
struct OutputFrame {
    long long field = -1; // the board field whose end it shows; -1 before the first
    OutputPicture program;
    OutputPicture preview;
};

// The composer used when none is installed: program out is the displayed area of the graphics
// frame buffer with its key; preview out stays transparent black.
class ZORVIK_API PlainComposer final : public OutputComposer {
public:
    void compose(long long field, const GraphicsArea& graphics, OutputPicture& program, OutputPicture& preview) override;
};

class ZORVIK_API OutputStage : public std::enable_shared_from_this<OutputStage> {
public:
    OutputStage(std::weak_ptr<VirtualBoard> board, std::shared_ptr<TimeBase> time);
    ~OutputStage(); // ends a recording
    OutputStage(const OutputStage&) = delete;
    OutputStage& operator=(const OutputStage&) = delete;

    // Null brings back the plain composer.
    void set_composer(std::shared_ptr<OutputComposer> composer);
    // Sets the composer the board's hardware calls for, unless one was chosen already.
    void set_default_composer(std::shared_ptr<OutputComposer> composer);
    bool composer_chosen() const;

    // Holds output on (counted); see OutputHold.
    void hold();
    void release();
    bool running() const;

    // Records program out: the path, snapshot folder, codec and queue of `settings`; the
    // standard and size are the board's. RecorderResult codes.
    int start_recording(RecorderSettings settings);
    int stop_recording();
    bool recording() const;
    // What the running recording has done, or the last one when none runs.
    RecorderCounts recording_counts() const;
    std::string recording_error() const;
    // Starts the recording the environment asks for, the first time only.
    void start_from_environment();

    // How many completed frames to keep (2 unless told); each is kept when its second field
    // ends.
    void keep_frames(std::size_t count);
    std::vector<OutputFrame> kept_frames() const; // oldest first
    // Program and preview out as of the end of the last field read out.
    OutputFrame current() const;
    long long fields() const; // fields read out so far

private:
    void start_locked();
    void stop_locked();
    void schedule_locked(long long field);
    void field_ended(long long field, std::uint64_t generation);
    void add_field_sound(long long field); // under recorder_lock_

    std::weak_ptr<VirtualBoard> board_;
    std::weak_ptr<TimeBase> time_; // the board's; not kept alive by the stage
    mutable std::mutex lock_;
    std::shared_ptr<OutputComposer> composer_;
    bool composer_chosen_ = false;
    std::shared_ptr<GraphicsMemory> graphics_;
    int holds_ = 0;
    bool environment_read_ = false;
    std::uintptr_t tick_ = 0; // the time base's id of the next read-out
    std::uint64_t generation_ = 0;
    OutputPicture program_, preview_; // the latest whole pictures; the clock thread's only
    OutputFrame frame_;
    std::vector<OutputFrame> kept_;
    std::size_t keep_ = 2;
    long long fields_ = 0;
    mutable std::mutex recorder_lock_; // held by a field that feeds the recorder, and to end it
    std::unique_ptr<ProgramRecorder> recorder_;
    std::shared_ptr<BoardMedia> media_;  // under recorder_lock_
    std::vector<std::int16_t> sound_;    // the clock thread's
    std::string recorder_error_;
    RecorderCounts last_counts_;
};

// The output stage of a board, made on first use.
ZORVIK_API OutputStage& output_stage(const std::shared_ptr<VirtualBoard>& board);

// Holds a board's output on for a scope.
class ZORVIK_API OutputHold {
public:
    explicit OutputHold(OutputStage& stage) : stage_(stage) { stage_.hold(); }
    ~OutputHold() { stage_.release(); }
    OutputHold(const OutputHold&) = delete;
    OutputHold& operator=(const OutputHold&) = delete;

private:
    OutputStage& stage_;
};

// For hosts: record the program out of the current board to a video file (Matroska), or stop.
ZORVIK_API int record_program_out(const std::string& path);
ZORVIK_API int stop_program_out_recording();

} // namespace zk
