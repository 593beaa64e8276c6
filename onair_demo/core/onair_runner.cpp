// The on-air runner: the board, the controller, the sheet and the measurements (see
// onair_runner.h).
#include "onair_runner.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "online/kr_online_ctl.h"
#include "platform/board/output_stage.h"
#include "platform/testing/board.h"

namespace oa {

struct OnAirRunner::Impl {
    std::unique_ptr<zk::BoardOverride> board_override; // stepped runs only
    std::shared_ptr<zk::VirtualBoard> board;
    std::unique_ptr<zk::OutputHold> hold;
    std::unique_ptr<CKrOnlineCtl> ctl;
    std::unique_ptr<CuePlayer> player;
    std::uint64_t journal_mark = 0;
    long long last_board_field = -1;
    bool recording = false;
    bool started = false;
    double field_ms = 0.0;
    long long recorded_frames = 0;
};

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

OutputImage image_of(const zk::OutputPicture& p)
{
    return {p.width, p.height, p.pixels};
}

} // namespace

std::string FieldWork::text() const
{
    char buf[512];
    const double share_worst = field_ms > 0 ? 100.0 * worst_ms / field_ms : 0.0;
    const double share_median = field_ms > 0 ? 100.0 * median_ms / field_ms : 0.0;
    const double share_free = field_ms > 0 ? 100.0 * worst_free_ms / field_ms : 0.0;
    std::snprintf(buf, sizeof buf,
                  "fields %lld, dropped on air %lld (field work done late by the vertical-sync thread); host "
                  "reached %lld fields late (%lld of them while a cue's call waited for the board); host per-field work "
                  "worst %.3f ms (%.1f %% of %.2f ms), worst without such a wait %.3f ms (%.1f %%), median %.3f ms "
                  "(%.1f %%)",
                  fields, late_on_air, dropped, waited, worst_ms, share_worst, field_ms, worst_free_ms, share_free, median_ms,
                  share_median);
    return buf;
}

OnAirRunner::OnAirRunner(RunnerOptions options) : options_(std::move(options)), impl_(std::make_unique<Impl>()) {}

OnAirRunner::~OnAirRunner()
{
    std::string ignored;
    finish(ignored);
}

bool OnAirRunner::start(std::string& error)
{
    Impl& m = *impl_;
    if (m.started) return true;
    if (options_.clock == ClockMode::stepped) {
        m.board_override = std::make_unique<zk::BoardOverride>(zk::manual_board_config());
        m.board = m.board_override->shared();
    } else {
        m.board = zk::current_board();
    }
    if (options_.keep_output) m.hold = std::make_unique<zk::OutputHold>(zk::output_stage(m.board));
    m.ctl = std::make_unique<CKrOnlineCtl>();
    if (m.ctl->Initial(nullptr) != 0) {
        error = std::string("the on-air controller did not start: ") + m.ctl->GetErrorText().GetString();
        m.ctl.reset();
        return false;
    }
    m.player = std::make_unique<CuePlayer>(*m.ctl, options_.sheet_folder);
    m.started = true;
    m.field_ms = static_cast<double>(m.board->field_time(1) - m.board->field_time(0)) / 10'000.0;
    if (!options_.record_path.empty()) {
        const std::filesystem::path out(options_.record_path);
        std::error_code ec;
        if (out.has_parent_path()) std::filesystem::create_directories(out.parent_path(), ec);
        std::filesystem::remove(out, ec);
        // A recorded frame is a first field and the second after it: begin on a first field.
        if (options_.clock == ClockMode::stepped && m.board->current_field() % 2 == 1 && !m.board->step_fields(1)) {
            error = "the board did not step";
            return false;
        }
        if (zk::record_program_out(options_.record_path) != zk::kRecorderOk) {
            error = "cannot record to " + options_.record_path + ": " + zk::output_stage(m.board).recording_error();
            return false;
        }
        m.recording = true;
    }
    m.journal_mark = m.board->journal().mark();
    return true;
}

void OnAirRunner::load(const CueSheet& sheet)
{
    sheet_ = sheet;
    next_cue_ = 0;
    sheet_field_ = 0;
}

bool OnAirRunner::sheet_done() const
{
    return next_cue_ >= sheet_.cues.size();
}

void OnAirRunner::play_due()
{
    Impl& m = *impl_;
    while (next_cue_ < sheet_.cues.size() && sheet_.cues[next_cue_].field <= sheet_field_) {
        const Cue& cue = sheet_.cues[next_cue_++];
        CueOutcome outcome = m.player->play(cue);
        ++cues_played_;
        const std::string text = "line " + std::to_string(cue.line) + ": " + outcome.text;
        m.board->log(zk::JournalKind::Note, "cue", static_cast<std::uint32_t>(cue.line), nullptr, 0, text,
                     outcome.ok);
        if (!outcome.ok) {
            outcome.text = text;
            failures_.push_back(std::move(outcome));
        }
    }
}

void OnAirRunner::read_journal()
{
    Impl& m = *impl_;
    zk::BoardJournal& journal = m.board->journal();
    const std::vector<zk::JournalEntry> entries = journal.since(m.journal_mark);
    // Read entries are let go, so each read costs only what came since the last. On a stepped
    // board nothing is journalled between the read and the clearing (everything has settled);
    // in real time an entry may be, so only stepped runs are checked.
    journal.clear();
    for (const zk::JournalEntry& e : entries) {
        m.journal_mark = e.seq + 1;
        if (options_.clock == ClockMode::stepped) {
            const bool interrupt = e.kind == zk::JournalKind::Interrupt;
            DWORD word = 0;
            if (interrupt && e.bytes.size() == sizeof word) std::memcpy(&word, e.bytes.data(), sizeof word);
            check_.entry(e.field, interrupt, static_cast<long long>(word));
        }
        if (options_.journal_lines == 0) continue;
        lines_.push_back(zk::BoardJournal::format(e));
        if (lines_.size() > options_.journal_lines) lines_.pop_front();
    }
}

bool OnAirRunner::advance(std::string& error)
{
    Impl& m = *impl_;
    if (!m.started || !m.ctl) {
        error = "the runner has not started";
        return false;
    }
    if (options_.clock == ClockMode::stepped) {
        const Clock::time_point t0 = Clock::now();
        long long passed = 0;
        if (next_cue_ < sheet_.cues.size() && sheet_.cues[next_cue_].field <= sheet_field_) {
            // A cue may wait for the board (a picture put on air waits until the field work
            // before it has been shown): while it does, and everything else has settled, the
            // pump moves the board on, as the real clock would.
            zk::IdlePump pump(*m.board);
            play_due();
            pump.stop();
            if (pump.failed()) {
                error = "the board did not settle while the cues of field " + std::to_string(sheet_field_) + " ran";
                return false;
            }
            passed = pump.fields();
        }
        if (!m.board->step_fields(1)) {
            error = "the board did not settle at field " + std::to_string(field_);
            return false;
        }
        work_ms_.push_back(ms_since(t0));
        work_waited_.push_back(passed > 0);
        field_ += 1 + passed;
        sheet_field_ += 1 + passed;
        read_journal();
        return true;
    }
    // Real time: the controller's next field, then every cue that is due by now.
    if (m.ctl->WaitField() != 0) {
        error = "the controller's field did not come";
        return false;
    }
    const long long now_field = m.board->current_field();
    long long fields = 1;
    if (m.last_board_field >= 0) {
        fields = std::max(1LL, now_field - m.last_board_field);
        dropped_ += fields - 1;
    }
    m.last_board_field = now_field;
    for (long long f = 0; f < fields; ++f) {
        play_due();
        ++field_;
        ++sheet_field_;
    }
    const REFERENCE_TIME began = m.board->field_time(now_field);
    const REFERENCE_TIME done = m.board->time_base()->now();
    // Some calls wait for the board by their nature (a still settles its channel for half a
    // second, a picture put on air waits for the field work before it): the fields that pass
    // meanwhile are the host's, counted apart from fields it missed for want of time.
    const long long waited = m.board->current_field() - now_field;
    waited_ += waited;
    work_ms_.push_back(static_cast<double>(done - began) / 10'000.0);
    work_waited_.push_back(waited > 0);
    read_journal();
    return true;
}

bool OnAirRunner::finish(std::string& error)
{
    Impl& m = *impl_;
    bool ok = true;
    if (m.recording) {
        if (options_.clock == ClockMode::stepped && m.board->current_field() % 2 == 1) m.board->step_fields(1);
        const int stopped = zk::stop_program_out_recording();
        m.recorded_frames = zk::output_stage(m.board).recording_counts().frames;
        if (stopped != zk::kRecorderOk) {
            error = "the recording did not end cleanly: " + zk::output_stage(m.board).recording_error();
            ok = false;
        }
        m.recording = false;
    }
    // The controller first: the player keeps the picture a running roll borrows. Ending an
    // effect that runs may wait for its last fields (or for a time-out), which on a stepped
    // board come only when someone steps it.
    if (m.ctl && m.board_override) {
        zk::IdlePump pump(*m.board);
        m.ctl.reset();
        pump.stop();
    }
    m.ctl.reset();
    m.player.reset();
    m.hold.reset();
    m.board.reset();
    m.board_override.reset();
    m.started = false;
    return ok;
}

void OnAirRunner::resync()
{
    impl_->last_board_field = -1;
}

FieldWork OnAirRunner::work() const
{
    FieldWork w;
    w.fields = static_cast<long long>(work_ms_.size());
    w.dropped = dropped_;
    w.waited = waited_;
    if (impl_->ctl) w.late_on_air = impl_->ctl->GetLateFields();
    for (size_t i = 0; i < work_ms_.size(); ++i)
        if (!work_waited_[i]) w.worst_free_ms = std::max(w.worst_free_ms, work_ms_[i]);
    w.field_ms = impl_->field_ms;
    if (work_ms_.empty()) return w;
    std::vector<double> sorted = work_ms_;
    std::sort(sorted.begin(), sorted.end());
    w.worst_ms = sorted.back();
    w.median_ms = sorted[sorted.size() / 2];
    return w;
}

OutputImage OnAirRunner::program() const
{
    if (!impl_->board) return {};
    return image_of(zk::output_stage(impl_->board).current().program);
}

OutputImage OnAirRunner::preview() const
{
    if (!impl_->board) return {};
    return image_of(zk::output_stage(impl_->board).current().preview);
}

long long OnAirRunner::recorded_frames() const
{
    if (!impl_->board || !impl_->recording) return impl_->recorded_frames;
    return zk::output_stage(impl_->board).recording_counts().frames;
}

} // namespace oa
