// The board's output stage: per field, compose, keep that field's lines, record.
#include "platform/board/output_stage.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/board/board_media.h"
#include "platform/board/gfb_device.h"
#include "platform/board/mixer/mixer_composer.h"
#include "platform/board/virtual_board.h"

namespace zk {
namespace {

// Copies the rows of one field's parity from `from` into `to` (pictures of one size).
void copy_field_rows(const OutputPicture& from, OutputPicture& to, int parity)
{
    const auto width = static_cast<std::size_t>(from.width);
    for (int y = parity == 0 ? 1 : 0; y < from.height; y += 2) {
        const std::size_t at = static_cast<std::size_t>(y) * width;
        std::memcpy(to.pixels.data() + at, from.pixels.data() + at, width * sizeof(std::uint32_t));
    }
}

// Whether one of the board's cardsets holds a DigiMix, whose mixer makes the pictures.
bool has_mixer(const VirtualBoard& board)
{
    for (const BoardCardset& set : board.config().cardsets) {
        for (const std::string& name : set.boards) {
            if (name.size() == 7 && std::equal(name.begin(), name.end(), "DigiMix", [](char a, char b) {
                    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
                }))
                return true;
        }
    }
    return false;
}

int board_standard(const std::weak_ptr<VirtualBoard>& board)
{
    auto b = board.lock();
    const int standard = b ? b->standard_for(0) : 1;
    return standard >= 1 && standard <= 3 ? standard : 1;
}

} // namespace

void PlainComposer::compose(long long, const GraphicsArea& graphics, OutputPicture& program, OutputPicture& preview)
{
    std::fill(preview.pixels.begin(), preview.pixels.end(), 0u);
    if (!graphics.pixels) {
        std::fill(program.pixels.begin(), program.pixels.end(), 0u);
        return;
    }
    const int width = std::min(program.width, graphics.width);
    const int height = std::min(program.height, graphics.height);
    for (int y = 0; y < program.height; ++y) {
        std::uint32_t* row = program.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(program.width);
        if (y < height) {
            std::memcpy(row, graphics.pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(graphics.stride),
                        static_cast<std::size_t>(width) * sizeof(std::uint32_t));
            std::fill(row + width, row + program.width, 0u);
        } else {
            std::fill(row, row + program.width, 0u);
        }
    }
}

OutputStage::OutputStage(std::weak_ptr<VirtualBoard> board, std::shared_ptr<TimeBase> time)
    : board_(std::move(board)), time_(std::move(time)), composer_(std::make_shared<PlainComposer>())
{
}

OutputStage::~OutputStage()
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        stop_locked();
    }
    stop_recording();
}

void OutputStage::set_composer(std::shared_ptr<OutputComposer> composer)
{
    std::lock_guard<std::mutex> guard(lock_);
    composer_ = composer ? std::move(composer) : std::make_shared<PlainComposer>();
    composer_chosen_ = true;
}

void OutputStage::set_default_composer(std::shared_ptr<OutputComposer> composer)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (composer_chosen_ || !composer) return;
    composer_ = std::move(composer);
    composer_chosen_ = true;
}

bool OutputStage::composer_chosen() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return composer_chosen_;
}

void OutputStage::hold()
{
    std::lock_guard<std::mutex> guard(lock_);
    if (holds_++ == 0) start_locked();
}

void OutputStage::release()
{
    std::lock_guard<std::mutex> guard(lock_);
    if (holds_ > 0 && --holds_ == 0) stop_locked();
}

bool OutputStage::running() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return tick_ != 0;
}

int OutputStage::start_recording(RecorderSettings settings)
{
    settings.standard = board_standard(board_);
    settings.width = kGfbShownWidth;
    settings.height = kGfbShownLines;
    // A recording of the board carries the board's sound beside its pictures.
    settings.audio = !settings.video_path.empty();
    std::lock_guard<std::mutex> recording(recorder_lock_);
    // Refused before anything is opened: a second recorder on the same path would spoil the
    // file of the first.
    if (recorder_) return kRecorderAlreadyOpen;
    auto recorder = std::make_unique<ProgramRecorder>();
    const int result = recorder->open(settings);
    if (result != kRecorderOk) {
        recorder_error_ = recorder->last_error();
        return result;
    }
    recorder_ = std::move(recorder);
    recorder_error_.clear();
    std::lock_guard<std::mutex> guard(lock_);
    if (holds_++ == 0) start_locked();
    return kRecorderOk;
}

int OutputStage::stop_recording()
{
    std::unique_ptr<ProgramRecorder> recorder;
    {
        std::lock_guard<std::mutex> recording(recorder_lock_);
        if (!recorder_) return kRecorderNotOpen;
        recorder = std::move(recorder_);
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (holds_ > 0 && --holds_ == 0) stop_locked();
        }
        const int result = recorder->close();
        if (result != kRecorderOk) recorder_error_ = recorder->last_error();
        last_counts_ = recorder->counts();
        return result;
    }
}

bool OutputStage::recording() const
{
    std::lock_guard<std::mutex> recording(recorder_lock_);
    return recorder_ != nullptr;
}

RecorderCounts OutputStage::recording_counts() const
{
    std::lock_guard<std::mutex> recording(recorder_lock_);
    return recorder_ ? recorder_->counts() : last_counts_;
}

std::string OutputStage::recording_error() const
{
    std::lock_guard<std::mutex> recording(recorder_lock_);
    return recorder_error_;
}

void OutputStage::start_from_environment()
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (environment_read_) return;
        environment_read_ = true;
    }
    std::unique_ptr<ProgramRecorder> recorder =
        recorder_from_environment(board_standard(board_), kGfbShownWidth, kGfbShownLines);
    if (!recorder) return;
    std::lock_guard<std::mutex> recording(recorder_lock_);
    if (!recorder->is_open()) {
        recorder_error_ = recorder->last_error();
        std::fprintf(stderr, "zorvik: program out is not recorded: %s\n", recorder_error_.c_str());
        return;
    }
    if (recorder_) return; // a host started one first
    recorder_ = std::move(recorder);
    std::lock_guard<std::mutex> guard(lock_);
    if (holds_++ == 0) start_locked();
}

void OutputStage::keep_frames(std::size_t count)
{
    std::lock_guard<std::mutex> guard(lock_);
    keep_ = count;
    if (kept_.size() > keep_) kept_.erase(kept_.begin(), kept_.end() - static_cast<std::ptrdiff_t>(keep_));
}

std::vector<OutputFrame> OutputStage::kept_frames() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return kept_;
}

OutputFrame OutputStage::current() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return frame_;
}

long long OutputStage::fields() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return fields_;
}

void OutputStage::start_locked()
{
    auto board = board_.lock();
    if (!board || tick_) return;
    if (!graphics_) graphics_ = graphics_memory(*board);
    // The field under way is the first read out, at its end.
    schedule_locked(board->current_field());
}

void OutputStage::stop_locked()
{
    auto time = time_.lock();
    if (tick_ && time) time->cancel(tick_);
    tick_ = 0;
    ++generation_;
}

void OutputStage::schedule_locked(long long field)
{
    auto board = board_.lock();
    auto time = time_.lock();
    if (!board || !time) return;
    const std::uint64_t generation = ++generation_;
    std::weak_ptr<OutputStage> self = weak_from_this();
    // Ahead of everything else due when the field ends: the next field's interrupt comes after
    // this field has been read out. A field whose end has passed already (a real-time clock
    // running late) is read out at once, so none is skipped.
    tick_ = time->schedule_ahead(board->field_time(field + 1), [self, field, generation] {
        if (auto stage = self.lock()) stage->field_ended(field, generation);
    });
}

void OutputStage::field_ended(long long field, std::uint64_t generation)
{
    const int parity = static_cast<int>(field & 1);
    {
        std::lock_guard<std::mutex> guard(lock_);
        // A call already on its way when the stage stopped (and maybe started again) is not
        // the current chain of read-outs.
        if (generation != generation_) return;
        GraphicsArea area;
        std::unique_lock<std::mutex> graphics;
        if (graphics_) {
            graphics = std::unique_lock<std::mutex>(*graphics_->lock);
            area.pixels = graphics_->pixels.data() +
                          static_cast<std::size_t>(graphics_->display_line.load()) * static_cast<std::size_t>(kGfbPitch);
            area.width = kGfbShownWidth;
            area.height = kGfbShownLines;
            area.stride = kGfbPitch;
        }
        composer_->compose(field, area, program_, preview_);
        if (graphics) graphics.unlock();
        copy_field_rows(program_, frame_.program, parity);
        copy_field_rows(preview_, frame_.preview, parity);
        frame_.field = field;
        if (parity == 1 && keep_ > 0) {
            // The oldest kept frame's pictures are reused: no allocation per frame.
            if (kept_.size() >= keep_) {
                std::rotate(kept_.begin(), kept_.begin() + 1, kept_.end());
                kept_.back() = frame_;
            } else {
                kept_.push_back(frame_);
            }
        }
        ++fields_;
        schedule_locked(field + 1);
    }
    // The recorder may wait for its encoder: not under the stage's lock. program_ is touched
    // only here, on the one thread that fires the clock's callbacks.
    std::lock_guard<std::mutex> recording(recorder_lock_);
    if (recorder_ && recorder_->records_audio()) add_field_sound(field);
    if (recorder_) {
        recorder_->add_field(parity == 1 ? FieldParity::second : FieldParity::first, program_.pixels,
                             static_cast<std::size_t>(program_.width));
    }
}

// The board's sound of a field, for a recording that has a sound stream.
void OutputStage::add_field_sound(long long field)
{
    if (!media_) {
        auto board = board_.lock();
        if (!board) return;
        media_ = board_media(*board);
    }
    sound_.resize(static_cast<std::size_t>(recorder_->field_audio_samples()) * 2);
    media_->sound_for_field(field, sound_);
    (void)recorder_->add_field_audio(sound_);
}

OutputStage& output_stage(const std::shared_ptr<VirtualBoard>& board)
{
    std::weak_ptr<VirtualBoard> weak = board;
    auto time = board->time_base();
    OutputStage& stage = *board->device_state<OutputStage>("output-stage", [weak, time] {
        return std::make_shared<OutputStage>(weak, time);
    });
    // Made outside the board's device table (the mixer's model lives there too).
    if (!stage.composer_chosen() && has_mixer(*board)) stage.set_default_composer(mixer::make_mixer_composer(*board));
    return stage;
}

int record_program_out(const std::string& path)
{
    RecorderSettings settings;
    settings.video_path = path;
    return output_stage(current_board()).start_recording(settings);
}

int stop_program_out_recording()
{
    return output_stage(current_board()).stop_recording();
}

} // namespace zk
