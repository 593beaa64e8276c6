// The program recorder: fields into frames on the caller's thread, frames into the file and
// the snapshots on a worker thread. See program_recorder.h.
//
// The caller's side keeps one canvas, the frame being assembled, and writes each field's lines
// into it. A finished frame is copied into one of a fixed number of frame buffers and queued;
// the worker encodes it and gives the buffer back. With every buffer queued or in the
// encoder, the caller waits for one to come back: the recording is never allowed to drop a
// frame or to grow without bound. The first failure on the worker (a full disk) stops the
// writing and is reported by the next call on the caller's side.
#include "platform/recorder/program_recorder.h"

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "core/checked.h"
#include "platform/recorder/pam_snapshot.h"
#include "platform/recorder/video_writer.h"

namespace zk {
namespace {

using Frame = std::vector<std::uint32_t>;

constexpr int kMaxSide = 8192;
constexpr int kMaxQueue = 64;
constexpr std::size_t kMaxRecorderBytes = std::size_t{2} << 30;

RecorderStatus check_settings(const RecorderSettings& s)
{
    if (s.video_path.empty() && s.snapshot_dir.empty())
        return ZK_RECORDER_FAIL(kRecorderBadArgument, "nothing to record to: give a video file or a snapshot folder");
    if (s.standard < 1 || s.standard > 3)
        return ZK_RECORDER_FAIL(kRecorderBadArgument, "unknown video standard " + std::to_string(s.standard) + " (1: 59.94 fields a second, 2 or 3: 50)");
    if (s.width < 1 || s.width > kMaxSide || s.height < 2 || s.height > kMaxSide)
        return ZK_RECORDER_FAIL(kRecorderBadArgument, "cannot record a picture of " + std::to_string(s.width) + " x " + std::to_string(s.height));
    if (s.snapshot_every < 1 || s.queue_frames < 1 || s.queue_frames > kMaxQueue)
        return ZK_RECORDER_FAIL(kRecorderBadArgument, "snapshot interval and queue length must be positive (queue at most 64 frames)");
    // The canvas and every queued frame are held at once.
    std::size_t frame_bytes = 0, all_bytes = 0;
    if (!image_bytes(s.width, s.height, 4, frame_bytes) || !checked_mul(frame_bytes, static_cast<std::size_t>(s.queue_frames) + 1, all_bytes) ||
        all_bytes > kMaxRecorderBytes)
        return ZK_RECORDER_FAIL(kRecorderBadArgument, "the frame queue would not fit in memory: make it shorter");
    return {};
}

// Whether `pixels` holds `rows` rows of `width` pixels, `stride` apart.
bool covers(std::span<const std::uint32_t> pixels, std::size_t rows, std::size_t width, std::size_t stride)
{
    std::size_t last = 0, need = 0;
    return checked_mul(rows - 1, stride, last) && checked_add(last, width, need) && pixels.size() >= need;
}

} // namespace

struct ProgramRecorder::Impl {
    RecorderSettings settings;
    bool open = false;
    std::string error;

    // The caller's side.
    Frame canvas;
    std::vector<std::int16_t> frame_audio; // the sound of the frame being assembled
    bool field_audio_given = false;         // add_field_audio came for the next field
    bool have_first = false;  // the frame being assembled has its first field
    RecorderCounts counts;    // snapshots are counted by the worker in `snapshots`

    // Shared with the worker, under `lock`.
    std::mutex lock;
    std::condition_variable frame_ready;  // the worker has work, or should stop
    std::condition_variable buffer_free;  // a buffer came back, or the worker failed
    std::vector<Frame> queued; // oldest first; capacity for every buffer, so pushing never allocates
    std::vector<Frame> spare;  // every buffer is made at open
    std::vector<std::vector<std::int16_t>> queued_audio; // the sound of each queued frame
    std::vector<std::vector<std::int16_t>> spare_audio;
    bool stopping = false;
    RecorderStatus worker_status;
    long long snapshots = 0;

    // The worker's own.
    VideoWriter video;
    long long frames_done = 0;
    std::thread worker;

    RecorderStatus fail(RecorderStatus status)
    {
        error = status.text;
        return status;
    }

    void run_worker();
    RecorderStatus write_frame(const Frame& frame, const std::vector<std::int16_t>& audio);
    void add_audio(std::span<const std::int16_t> stereo);
    RecorderStatus submit_frame(bool have_second);
    RecorderStatus add(FieldParity parity, std::span<const std::uint32_t> pixels, std::size_t stride, bool whole_picture);
    RecorderStatus stop();
};

RecorderStatus ProgramRecorder::Impl::write_frame(const Frame& frame, const std::vector<std::int16_t>& audio)
{
    if (video.is_open()) {
        RecorderStatus s = video.write(frame);
        if (!s.ok()) return s;
        if (settings.audio) {
            s = video.write_audio(audio);
            if (!s.ok()) return s;
        }
    }
    const long long index = frames_done++;
    if (!settings.snapshot_dir.empty() && index % settings.snapshot_every == 0) {
        RecorderStatus s = write_pam_snapshot(snapshot_path(settings.snapshot_dir, index), frame, settings.width, settings.height);
        if (!s.ok()) return s;
        std::lock_guard<std::mutex> guard(lock);
        ++snapshots;
    }
    return {};
}

void ProgramRecorder::Impl::run_worker()
{
    for (;;) {
        Frame frame;
        std::vector<std::int16_t> audio;
        bool failed = false;
        {
            std::unique_lock<std::mutex> guard(lock);
            frame_ready.wait(guard, [&] { return !queued.empty() || stopping; });
            if (queued.empty()) return;
            frame = std::move(queued.front());
            queued.erase(queued.begin());
            audio = std::move(queued_audio.front());
            queued_audio.erase(queued_audio.begin());
            failed = !worker_status.ok();
        }
        // After a failure the rest is not written, but the buffers still come back so the
        // caller never waits for them.
        RecorderStatus status = failed ? RecorderStatus{} : write_frame(frame, audio);
        std::lock_guard<std::mutex> guard(lock);
        if (!status.ok() && worker_status.ok()) worker_status = std::move(status);
        spare.push_back(std::move(frame));
        spare_audio.push_back(std::move(audio));
        buffer_free.notify_all();
    }
}

// Hands the canvas to the worker as one frame, waiting for a free buffer when all are out.
// A field the frame did not get keeps the previous frame's lines, which the canvas still has.
RecorderStatus ProgramRecorder::Impl::submit_frame(bool have_second)
{
    Frame frame;
    std::vector<std::int16_t> audio;
    {
        std::unique_lock<std::mutex> guard(lock);
        buffer_free.wait(guard, [&] { return !spare.empty() || !worker_status.ok(); });
        if (!worker_status.ok()) return worker_status;
        frame = std::move(spare.back());
        spare.pop_back();
        audio = std::move(spare_audio.back());
        spare_audio.pop_back();
    }
    std::copy(canvas.begin(), canvas.end(), frame.begin());
    audio.swap(frame_audio);
    frame_audio.clear();
    counts.audio_samples += static_cast<long long>(audio.size() / 2);
    {
        std::lock_guard<std::mutex> guard(lock);
        queued.push_back(std::move(frame));
        queued_audio.push_back(std::move(audio));
    }
    frame_ready.notify_one();
    ++counts.frames;
    counts.held_fields += (have_first ? 0 : 1) + (have_second ? 0 : 1);
    have_first = false;
    return {};
}

RecorderStatus ProgramRecorder::Impl::add(FieldParity parity, std::span<const std::uint32_t> pixels, std::size_t stride, bool whole_picture)
{
    if (!open) return ZK_RECORDER_FAIL(kRecorderNotOpen, "nothing is being recorded");
    if (parity != FieldParity::first && parity != FieldParity::second)
        return ZK_RECORDER_FAIL(kRecorderBadArgument, "a field is either the first (0) or the second (1)");
    const auto width = static_cast<std::size_t>(settings.width);
    const auto rows = static_cast<std::size_t>(field_rows(parity, settings.height));
    const std::size_t given_rows = whole_picture ? static_cast<std::size_t>(settings.height) : rows;
    if (stride < width || !pixels.data() || !covers(pixels, given_rows, width, stride))
        return ZK_RECORDER_FAIL(kRecorderBadArgument, "a field needs " + std::to_string(given_rows) + " rows of " + std::to_string(width) +
                                                          " pixels, with a stride of at least the width");
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!worker_status.ok()) return worker_status;
    }

    const bool first = parity == FieldParity::first;
    if (settings.audio && !field_audio_given) add_audio({}); // a field without sound is silence
    field_audio_given = false;
    // A first field while the previous one still waits for its second: that frame is
    // finished as it stands, its second field held from the frame before.
    if (first && have_first) {
        RecorderStatus s = submit_frame(false);
        if (!s.ok()) return s;
    }
    // Row r of the field is canvas row 2r + 1 for the first field, 2r for the second; a whole
    // picture holds it at that same row.
    const std::size_t canvas_row0 = first ? 1 : 0;
    const std::size_t src_row0 = whole_picture ? canvas_row0 : 0;
    const std::size_t src_step = whole_picture ? 2 : 1;
    for (std::size_t r = 0; r < rows; ++r) {
        const std::uint32_t* src = pixels.data() + (src_row0 + r * src_step) * stride;
        std::memcpy(canvas.data() + (canvas_row0 + 2 * r) * width, src, width * sizeof(std::uint32_t));
    }
    ++counts.fields;
    if (first) {
        have_first = true;
        return {};
    }
    return submit_frame(true);
}

// Appends the next field's sound to the frame's, cut or padded to the field's span. The sound
// of a first field that ends a half-done frame goes out with that frame: every field's span
// is written once and in order, so the sound stays as long as the pictures.
void ProgramRecorder::Impl::add_audio(std::span<const std::int16_t> stereo)
{
    const auto want = static_cast<std::size_t>(audio_samples_of_field(settings.standard, counts.fields)) * 2;
    const std::size_t have = std::min(want, stereo.size() & ~std::size_t{1});
    frame_audio.insert(frame_audio.end(), stereo.begin(), stereo.begin() + static_cast<std::ptrdiff_t>(have));
    frame_audio.resize(frame_audio.size() + (want - have), 0);
    field_audio_given = true;
}

RecorderStatus ProgramRecorder::Impl::stop()
{
    RecorderStatus status;
    if (have_first) status = submit_frame(false);
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping = true;
    }
    frame_ready.notify_one();
    if (worker.joinable()) worker.join();
    // The worker is gone: its state is ours now.
    if (status.ok()) status = worker_status;
    if (video.is_open()) {
        RecorderStatus finished = video.finish();
        if (status.ok()) status = std::move(finished);
    }
    open = false;
    return status;
}

ProgramRecorder::ProgramRecorder() : impl_(std::make_unique<Impl>()) {}

ProgramRecorder::~ProgramRecorder()
{
    if (impl_->open) (void)impl_->stop();
}

int ProgramRecorder::open(const std::string& path, int standard, int width, int height)
{
    RecorderSettings s;
    s.video_path = path;
    s.standard = standard;
    s.width = width;
    s.height = height;
    return open(s);
}

int ProgramRecorder::open(const RecorderSettings& settings)
{
    if (impl_->open) return impl_->fail(ZK_RECORDER_FAIL(kRecorderAlreadyOpen, "a recording is already running")).code;
    RecorderStatus status = check_settings(settings);
    if (!status.ok()) return impl_->fail(std::move(status)).code;

    if (!settings.snapshot_dir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(settings.snapshot_dir, ec);
        if (ec || !std::filesystem::is_directory(settings.snapshot_dir, ec))
            return impl_->fail(ZK_RECORDER_FAIL(kRecorderCannotCreate, "cannot create the snapshot folder " + settings.snapshot_dir +
                                                                           (ec ? ": " + ec.message() : std::string())))
                .code;
    }

    // A fresh state for every recording; the old one (a closed recording) goes.
    impl_ = std::make_unique<Impl>();
    Impl& m = *impl_;
    m.settings = settings;
    if (!settings.video_path.empty()) {
        VideoFormat format;
        format.width = settings.width;
        format.height = settings.height;
        format.codec = settings.codec;
        format.audio = settings.audio;
        // Two fields a frame: 60000/1001 fields make 30000/1001 frames, 50 fields 25.
        format.rate_num = settings.standard == 1 ? 30000 : 25;
        format.rate_den = settings.standard == 1 ? 1001 : 1;
        status = m.video.open(settings.video_path, format);
        if (!status.ok()) return m.fail(std::move(status)).code;
    }
    try {
        const std::size_t pixels = static_cast<std::size_t>(settings.width) * static_cast<std::size_t>(settings.height);
        m.canvas.assign(pixels, 0u);
        m.queued.reserve(static_cast<std::size_t>(settings.queue_frames));
        m.spare.assign(static_cast<std::size_t>(settings.queue_frames), Frame(pixels));
        m.queued_audio.reserve(static_cast<std::size_t>(settings.queue_frames));
        m.spare_audio.assign(static_cast<std::size_t>(settings.queue_frames), {});
        for (auto& a : m.spare_audio) a.reserve(4096);
        m.worker = std::thread([&m] { m.run_worker(); });
    } catch (const std::exception& e) {
        // Out of memory for the frames, or no thread to be had: nothing has started.
        if (m.video.is_open()) (void)m.video.finish();
        return m.fail(ZK_RECORDER_FAIL(kRecorderEncoderFailed, std::string("cannot start recording: ") + e.what())).code;
    }
    m.open = true;
    return kRecorderOk;
}

int ProgramRecorder::add_field(FieldParity parity, std::span<const std::uint32_t> picture, std::size_t stride)
{
    RecorderStatus s = impl_->add(parity, picture, stride, true);
    return s.ok() ? kRecorderOk : impl_->fail(std::move(s)).code;
}

int ProgramRecorder::add_field_lines(FieldParity parity, std::span<const std::uint32_t> lines, std::size_t stride)
{
    RecorderStatus s = impl_->add(parity, lines, stride, false);
    return s.ok() ? kRecorderOk : impl_->fail(std::move(s)).code;
}

int ProgramRecorder::add_field_audio(std::span<const std::int16_t> stereo)
{
    Impl& m = *impl_;
    if (!m.open) return m.fail(ZK_RECORDER_FAIL(kRecorderNotOpen, "nothing is being recorded")).code;
    if (!m.settings.audio) return m.fail(ZK_RECORDER_FAIL(kRecorderBadArgument, "this recording has no sound")).code;
    // Given twice for one field: the later sound counts.
    if (m.field_audio_given) {
        const auto drop = static_cast<std::size_t>(audio_samples_of_field(m.settings.standard, m.counts.fields)) * 2;
        m.frame_audio.resize(m.frame_audio.size() - std::min(drop, m.frame_audio.size()));
    }
    m.add_audio(stereo);
    return kRecorderOk;
}

int ProgramRecorder::field_audio_samples() const
{
    return audio_samples_of_field(impl_->settings.standard, impl_->counts.fields);
}

int ProgramRecorder::audio_samples_of_field(int standard, long long index)
{
    if (index < 0) return 0;
    // Field i spans [i, i + 1) field periods: 1001/60000 s or 1/50 s.
    const long long num = standard == 1 ? 1001 : 1, den = standard == 1 ? 60000 : 50;
    auto edge = [&](long long i) { return i * kRecordedSampleRate * num / den; };
    return static_cast<int>(edge(index + 1) - edge(index));
}

int ProgramRecorder::close()
{
    if (!impl_->open) return impl_->fail(ZK_RECORDER_FAIL(kRecorderNotOpen, "nothing is being recorded")).code;
    RecorderStatus s = impl_->stop();
    return s.ok() ? kRecorderOk : impl_->fail(std::move(s)).code;
}

bool ProgramRecorder::is_open() const
{
    return impl_->open;
}

bool ProgramRecorder::records_audio() const
{
    return impl_->open && impl_->settings.audio;
}

RecorderCounts ProgramRecorder::counts() const
{
    RecorderCounts c = impl_->counts;
    std::lock_guard<std::mutex> guard(impl_->lock);
    c.snapshots = impl_->snapshots;
    return c;
}

const std::string& ProgramRecorder::last_error() const
{
    return impl_->error;
}

int ProgramRecorder::field_rows(FieldParity parity, int height)
{
    if (height < 0) return 0;
    return parity == FieldParity::first ? height / 2 : (height + 1) / 2;
}

std::unique_ptr<ProgramRecorder> recorder_from_environment(int standard, int width, int height)
{
    const char* video = std::getenv("ZORVIK_RECORD");
    const char* snapshots = std::getenv("ZORVIK_RECORD_SNAPSHOTS");
    RecorderSettings s;
    s.video_path = video ? video : "";
    s.snapshot_dir = snapshots ? snapshots : "";
    if (s.video_path.empty() && s.snapshot_dir.empty()) return nullptr;
    s.standard = standard;
    s.width = width;
    s.height = height;
    s.audio = !s.video_path.empty();
    auto recorder = std::make_unique<ProgramRecorder>();
    (void)recorder->open(s);
    return recorder;
}

} // namespace zk
