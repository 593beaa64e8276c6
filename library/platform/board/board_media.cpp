// The board's clip players and sound: see board_media.h.
#include "platform/board/board_media.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/errors.h"
#include "platform/board/mixer/mixer_model.h"
#include "platform/board/virtual_board.h"
#include "platform/filtergraph/virtual_filter.h"
#include "platform/media/frame_prefetcher.h"
#include "platform/media/motion_clip.h"

namespace zk {

struct BoardMedia::Line {
    int fill_channel = 1;
    int key_channel = 2;
    ComPtr<IBaseFilter> source; // keeps the filter alive while the line reads it
    VirtualFilter* filter = nullptr;
    MotionClip clip;
    std::unique_ptr<FramePrefetcher> prefetch;
    int rate_num = 30000;
    int rate_den = 1001;
    long long frames = 0;
    // The clock thread's, under BoardMedia::lock_.
    long long shown = -1;
    MotionLineCounts counts;

    ~Line()
    {
        if (prefetch) prefetch->stop();
    }

    // The clip's frame on show at clock time `t` of `timeline`.
    long long frame_at(const SourceTimeline& timeline, REFERENCE_TIME t) const
    {
        const double p = timeline.position_at(t);
        // A hair over a whole frame: a seek to frame k's time lands on k, not on k - 1.
        const double f = std::floor(p * rate_num / rate_den + 1e-6);
        if (!(f >= 0)) return 0;
        return std::min(static_cast<long long>(std::min(f, 9e15)), frames - 1);
    }
    static double speed_of(const SourceTimeline& timeline) { return timeline.moving ? timeline.rate : 0.0; }
};

struct BoardMedia::Sound {
    ComPtr<IBaseFilter> left_source, right_source;
    VirtualFilter* timeline_of = nullptr; // the source whose timeline the sound follows
    std::vector<std::int16_t> left;  // stereo
    std::vector<std::int16_t> right; // stereo; empty without a right file
    // The clock thread's: where the last field's sound ended, so that fields that follow one
    // another on an unchanged timeline play on sample by sample, whatever their lengths.
    unsigned long long generation = 0;
    long long last_field = LLONG_MIN;
    std::size_t next = 0;
    bool playing = false;
};

namespace {

std::string line_target(int line)
{
    return "MotionLine" + std::to_string(line);
}

VirtualFilter* virtual_of(IBaseFilter* f)
{
    return f ? dynamic_cast<VirtualFilter*>(f) : nullptr;
}

// The whole sound of a file at the board's rate, interleaved stereo.
MediaStatus read_sound(const std::string& path, std::vector<std::int16_t>& out)
{
    MediaFile file;
    MediaStatus s = file.open(path);
    if (!s.ok()) return s;
    if (!file.info().has_audio) return ZK_MEDIA_FAIL(kMediaNoStream, "no sound in " + path);
    const long long n = file.info().board_sample_count;
    if (n < 0 || static_cast<double>(n) > kMaxBoardSoundSeconds * kBoardSampleRate)
        return ZK_MEDIA_FAIL(kMediaTooLarge, path + " plays longer than the board holds sound for");
    out.assign(static_cast<std::size_t>(n) * 2, 0);
    return file.read_audio(0, n, out);
}

std::int16_t scaled(std::int16_t v, double gain)
{
    const double x = std::round(v * gain);
    return static_cast<std::int16_t>(std::clamp(x, -32768.0, 32767.0));
}

} // namespace

BoardMedia::BoardMedia(VirtualBoard& board) : board_(board)
{
    lines_.resize(2);
}

BoardMedia::~BoardMedia() = default;

void BoardMedia::install_hook_locked()
{
    if (hooked_) return;
    hooked_ = true;
    model_ = mixer::mixer_model(board_);
    std::weak_ptr<BoardMedia> self = weak_from_this();
    model_->set_field_hook([self](long long field) {
        if (auto media = self.lock()) media->field(field);
    });
}

HRESULT BoardMedia::attach_motion_line(int line, IBaseFilter* fill_source, int fill_channel, int key_channel)
{
    if (line < 0 || line > 1 || fill_channel < 0 || fill_channel >= mixer::kFiestaChannels || key_channel < 0 ||
        key_channel >= mixer::kFiestaChannels)
        return ZK_FAIL(E_INVALIDARG);
    VirtualFilter* filter = virtual_of(fill_source);
    const std::string path = filter ? filter->current_file() : std::string();
    auto fail = [&](HRESULT hr, std::string text) {
        std::lock_guard<std::mutex> guard(lock_);
        error_ = std::move(text);
        return ZK_FAIL(hr);
    };
    if (path.empty()) return fail(E_INVALIDARG, "the motion source has no clip loaded");
    // A clip the media catalogue names has a length and no pictures: nothing to show.
    if (!filter->media_info().has_video) {
        detach_motion_line(line);
        return S_FALSE;
    }
    auto l = std::make_shared<Line>();
    l->fill_channel = fill_channel;
    l->key_channel = key_channel;
    l->source = ComPtr<IBaseFilter>::share(fill_source);
    l->filter = filter;
    MediaStatus s = l->clip.open(path, mixer::kStoreWidth, mixer::kStoreHeight);
    if (!s.ok()) return fail(s.code == kMediaNotFound ? VFW_E_NOT_FOUND : VFW_E_INVALID_FILE_FORMAT, s.text);
    l->frames = l->clip.frame_count();
    const MediaInfo& info = l->clip.fill_info();
    if (info.rate_num > 0 && info.rate_den > 0) {
        l->rate_num = info.rate_num;
        l->rate_den = info.rate_den;
    }
    l->prefetch = std::make_unique<FramePrefetcher>(l->clip, 8);
    s = l->prefetch->start();
    if (!s.ok()) return fail(E_FAIL, s.text);

    detach_motion_line(line);
    {
        std::lock_guard<std::mutex> guard(lock_);
        lines_[static_cast<std::size_t>(line)] = l;
        error_.clear();
        install_hook_locked();
    }
    board_.log(JournalKind::StateChange, line_target(line), 1, nullptr, 0,
               "plays " + path + " on Fiesta" + std::to_string(fill_channel) + " and Fiesta" + std::to_string(key_channel));
    std::weak_ptr<BoardMedia> self = weak_from_this();
    filter->set_timeline_listener([self, line](const SourceTimeline&) {
        if (auto media = self.lock()) media->cue(line);
    });
    cue(line);
    return S_OK;
}

void BoardMedia::detach_motion_line(int line)
{
    if (line < 0 || line > 1) return;
    std::shared_ptr<Line> old;
    {
        std::lock_guard<std::mutex> guard(lock_);
        old.swap(lines_[static_cast<std::size_t>(line)]);
    }
    if (!old) return;
    old->filter->set_timeline_listener(nullptr);
    const MotionLineCounts c = old->counts;
    board_.log(JournalKind::StateChange, line_target(line), 0, nullptr, 0,
               "stopped after " + std::to_string(c.fields) + " fields, " + std::to_string(c.misses) + " missed");
    // The channels keep the last frame, as a channel without input keeps its store.
    auto model = mixer::mixer_model(board_);
    model->set_live_input(old->fill_channel, nullptr);
    model->set_live_input(old->key_channel, nullptr);
    // `old` goes here, outside the lock: its worker is joined.
}

MotionLineCounts BoardMedia::motion_counts(int line) const
{
    std::lock_guard<std::mutex> guard(lock_);
    if (line < 0 || line > 1 || !lines_[static_cast<std::size_t>(line)]) return {};
    return lines_[static_cast<std::size_t>(line)]->counts;
}

// The frame the field under way will want, told to the worker now, so that it is decoded by
// the time the field is composed.
void BoardMedia::cue(int line)
{
    // The board's time is read before the lock: the clock's thread holds that lock to compose.
    const long long field = board_.current_field();
    const REFERENCE_TIME at = board_.field_time(field);
    std::lock_guard<std::mutex> guard(lock_);
    const std::shared_ptr<Line>& l = lines_[static_cast<std::size_t>(line)];
    if (!l) return;
    const SourceTimeline t = l->filter->timeline();
    l->prefetch->cue(l->frame_at(t, at), Line::speed_of(t));
}

void BoardMedia::field(long long field)
{
    const REFERENCE_TIME at = board_.field_time(field);
    std::lock_guard<std::mutex> guard(lock_);
    mixer::MixerModel* model = model_.get();
    for (std::size_t n = 0; n < lines_.size(); ++n) {
        const std::shared_ptr<Line>& l = lines_[n];
        if (!l) continue;
        const long long k = l->frame_at(l->filter->timeline(), at);
        ++l->counts.fields;
        const TakeResult r = l->prefetch->take(k);
        if (r == TakeResult::ready) ++l->counts.ready;
        else if (r == TakeResult::failed) ++l->counts.failures;
        else {
            ++l->counts.misses;
            l->counts.last_missed = k;
        }
        const VideoPicture& pic = l->prefetch->current();
        if (r != TakeResult::ready) {
            board_.log(JournalKind::Note, line_target(static_cast<int>(n)), static_cast<std::uint32_t>(k), nullptr, 0,
                       "field " + std::to_string(field) + ": frame " + std::to_string(k) +
                           (r == TakeResult::failed ? " cannot be decoded" : " was not decoded in time") + ", frame " +
                           std::to_string(pic.frame) + " stays",
                       false);
        }
        if (pic.frame < 0 || pic.frame == l->shown) continue;
        board_.log(JournalKind::Still, line_target(static_cast<int>(n)), static_cast<std::uint32_t>(pic.frame), nullptr, 0,
                   "field " + std::to_string(field) + ": frame " + std::to_string(pic.frame));
        // A new frame: the fill with its key on one channel, the key as grey on the other.
        auto fill = std::make_shared<StillPicture>();
        auto key = std::make_shared<StillPicture>();
        const std::size_t count = std::min(fill->pixels.size(), pic.pixels.size());
        std::memcpy(fill->pixels.data(), pic.pixels.data(), count * sizeof(std::uint32_t));
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t a = pic.pixels[i] >> 24;
            key->pixels[i] = a | a << 8 | a << 16;
        }
        l->shown = pic.frame;
        l->counts.frame = pic.frame;
        model->set_live_input(l->fill_channel, std::move(fill));
        model->set_live_input(l->key_channel, std::move(key));
    }
}

HRESULT BoardMedia::attach_sound(IBaseFilter* left, IBaseFilter* right)
{
    auto sound = std::make_shared<Sound>();
    auto fail = [&](HRESULT hr, std::string text) {
        std::lock_guard<std::mutex> guard(lock_);
        error_ = std::move(text);
        return ZK_FAIL(hr);
    };
    VirtualFilter* l = virtual_of(left);
    VirtualFilter* r = virtual_of(right);
    const std::string lpath = l ? l->current_file() : std::string();
    const std::string rpath = r ? r->current_file() : std::string();
    if (lpath.empty() && rpath.empty()) return fail(E_INVALIDARG, "no wave source has a file loaded");
    // Clips the media catalogue names have a length and no sound.
    if (!(l && l->media_info().has_audio) && !(r && r->media_info().has_audio)) {
        detach_sound();
        return S_FALSE;
    }
    // One file alone plays its own two channels, whichever side it was given on.
    const bool both = !lpath.empty() && !rpath.empty();
    MediaStatus s = read_sound(lpath.empty() ? rpath : lpath, sound->left);
    if (s.ok() && both) s = read_sound(rpath, sound->right);
    if (!s.ok()) return fail(s.code == kMediaNotFound ? VFW_E_NOT_FOUND : VFW_E_INVALID_FILE_FORMAT, s.text);
    sound->left_source = ComPtr<IBaseFilter>::share(left);
    sound->right_source = ComPtr<IBaseFilter>::share(right);
    sound->timeline_of = lpath.empty() ? r : l;
    board_.log(JournalKind::StateChange, "Sound", 1, nullptr, 0,
               both ? "plays " + lpath + " left and " + rpath + " right" : "plays " + (lpath.empty() ? rpath : lpath));
    std::lock_guard<std::mutex> guard(lock_);
    sound_ = std::move(sound);
    error_.clear();
    return S_OK;
}

void BoardMedia::detach_sound()
{
    std::shared_ptr<Sound> old;
    {
        std::lock_guard<std::mutex> guard(lock_);
        old.swap(sound_);
    }
    if (old) board_.log(JournalKind::StateChange, "Sound", 0, nullptr, 0, "stopped");
}

bool BoardMedia::has_sound() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return static_cast<bool>(sound_);
}

void BoardMedia::sound_for_field(long long field, std::span<std::int16_t> out)
{
    std::fill(out.begin(), out.end(), std::int16_t{0});
    std::shared_ptr<Sound> sound;
    {
        std::lock_guard<std::mutex> guard(lock_);
        sound = sound_;
    }
    if (!sound) return;
    const SourceTimeline t = sound->timeline_of->timeline();
    const bool follows = sound->playing && t.generation == sound->generation && field == sound->last_field + 1;
    sound->generation = t.generation;
    sound->last_field = field;
    sound->playing = false;
    if (!t.moving) return;
    const std::size_t pairs = out.size() / 2;
    std::size_t lead = 0;
    std::size_t first = sound->next;
    if (!follows) {
        // A graph told to run at a time still to come is silent until then.
        const REFERENCE_TIME begin = board_.field_time(field);
        if (t.start > begin) {
            const double wait = std::round(static_cast<double>(t.start - begin) * kBoardSampleRate / 1e7);
            if (wait >= static_cast<double>(pairs)) return;
            lead = static_cast<std::size_t>(wait);
        }
        const double at = std::round(t.position_at(std::max(begin, t.start)) * kBoardSampleRate);
        if (!(at >= 0) || at > 9e15) return;
        first = static_cast<std::size_t>(at);
    }
    sound->playing = true;
    sound->next = first + (pairs - lead);
    double gain = 1.0;
    const mixer::MixerState state = mixer::mixer_model(board_)->state();
    const mixer::RecordSlot& volume = state.unit("AudioMixer").record(mixer::RecordKind::Volume);
    if (volume.bytes.size() == 4) {
        std::int32_t word;
        std::memcpy(&word, volume.bytes.data(), 4);
        gain = std::pow(10.0, static_cast<double>(word) / 16777216.0 / 20.0);
    }
    const std::size_t frames = sound->left.size() / 2;
    const bool both = !sound->right.empty();
    const std::size_t right_frames = sound->right.size() / 2;
    for (std::size_t i = lead; i < pairs; ++i) {
        const std::size_t s = first + (i - lead);
        if (both) {
            out[2 * i] = s < frames ? scaled(sound->left[2 * s], gain) : std::int16_t{0};
            out[2 * i + 1] = s < right_frames ? scaled(sound->right[2 * s], gain) : std::int16_t{0};
        } else if (s < frames) {
            out[2 * i] = scaled(sound->left[2 * s], gain);
            out[2 * i + 1] = scaled(sound->left[2 * s + 1], gain);
        }
    }
}

std::string BoardMedia::last_error() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return error_;
}

std::shared_ptr<BoardMedia> board_media(VirtualBoard& board)
{
    return board.device_state<BoardMedia>("clips and sound", [&board] { return std::make_shared<BoardMedia>(board); });
}

std::shared_ptr<BoardMedia> current_board_media()
{
    return board_media(*current_board());
}

} // namespace zk
