// Sound of a media file: any run of samples at the board's rate, as stereo. See media_file.h.
//
// Decoded samples go through the resampler (which also turns every sample format into float)
// into a queue of stereo samples whose first sample number is known. Reading on from where the
// last read ended only decodes more; a read elsewhere seeks to the packet at or before it
// (a little earlier when resampling, so the filter has the samples before the first one asked
// for) and drops what comes before. Sample numbers come from the first frame's timestamp after a
// seek, counted from the first frame of the file; a gap before the samples is silence.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>

#include "core/checked.h"
#include "platform/media/internal/media_state.h"

namespace zk {
namespace media {
namespace {

constexpr long long kForwardSamples = kBoardSampleRate; // read on rather than seek within a second
constexpr long long kResampleMargin = 256;             // board samples decoded before a seek's target
constexpr std::size_t kMaxConverted = std::size_t{1} << 22; // values one frame may turn into
constexpr long long kMaxGridStep = 4096;  // rates whose grid is coarser are placed to the nearest sample
constexpr int kMaxPlacingFrames = 64;     // frames decoded after a seek before it counts as lost

// The sample of the file's own rate at which a decoded frame starts.
long long input_index_of(const AudioSide& a, const AVFrame* f)
{
    const std::int64_t ts = f->best_effort_timestamp;
    std::int64_t from_first = 0;
    if (ts == AV_NOPTS_VALUE || __builtin_sub_overflow(ts, a.first_ts, &from_first)) return kNoIndex;
    const std::int64_t index = av_rescale_q_rnd(from_first, a.stream->time_base, AVRational{1, f->sample_rate},
                                                static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
    return index == INT64_MIN ? kNoIndex : index;
}

// The next decoded frame into a.decoded: 0, AVERROR_EOF, or an error.
int receive(MediaFile::State& s)
{
    AudioSide& a = s.audio;
    int bad = 0;
    for (;;) {
        int err = avcodec_receive_frame(a.codec.get(), a.decoded.get());
        if (err != AVERROR(EAGAIN)) return err;
        if (a.flushed) return AVERROR_EOF;
        err = feed_decoder(s, a.codec.get(), a.index, Reader::audio, a.flushed, bad);
        if (err < 0) return err;
    }
}

// Moves `count` samples of the resampler's output (the file's channels) onto the queue as stereo.
void queue_stereo(AudioSide& a, std::size_t count)
{
    const std::size_t channels = static_cast<std::size_t>(a.in_channels);
    const std::size_t right = channels > 1 ? 1 : 0; // a mono file fills both channels
    const std::size_t old = a.pending.size();
    a.pending.resize(old + 2 * count);
    float* out = a.pending.data() + old;
    const float* in = a.converted.data();
    for (std::size_t i = 0; i < count; ++i) {
        out[2 * i] = in[i * channels];
        out[2 * i + 1] = in[i * channels + right];
    }
}

// Runs `frame` from its sample `skip` on (null: what the resampler still holds) through the
// resampler onto the queue.
MediaStatus resample(MediaFile::State& s, const AVFrame* frame, int skip = 0)
{
    AudioSide& a = s.audio;
    const std::uint8_t* in[kMaxMediaChannels] = {};
    if (frame) {
        const auto format = static_cast<AVSampleFormat>(frame->format);
        const std::size_t bytes = static_cast<std::size_t>(av_get_bytes_per_sample(format)) * static_cast<std::size_t>(skip);
        const bool planar = av_sample_fmt_is_planar(format);
        for (int c = 0; c < (planar ? a.in_channels : 1); ++c)
            in[c] = frame->extended_data[c] + (planar ? bytes : bytes * static_cast<std::size_t>(a.in_channels));
    }
    const int in_count = frame ? frame->nb_samples - skip : 0;
    for (;;) {
        const int out_max = swr_get_out_samples(a.resampler.get(), in_count);
        std::size_t values = 0;
        if (out_max < 0 || !checked_mul(static_cast<std::size_t>(out_max), static_cast<std::size_t>(a.in_channels), values) ||
            values > kMaxConverted)
            return ZK_MEDIA_FAIL(kMediaTooLarge, "a packet of " + s.name + " holds more samples than the library takes");
        if (out_max == 0 && !frame) return {};
        a.converted.resize(std::max<std::size_t>(values, 1));
        auto* out = reinterpret_cast<std::uint8_t*>(a.converted.data());
        const int got = swr_convert(a.resampler.get(), &out, out_max, frame ? in : nullptr, in_count);
        if (got < 0) return ZK_MEDIA_FAIL(kMediaDecodeFailed, "cannot convert the sound of " + s.name + ": " + av_text(got));
        queue_stereo(a, static_cast<std::size_t>(got));
        if (frame || got == 0) return {};
    }
}

// Sets the resampler up for the frame's rate, format and channels, again when they change.
MediaStatus prepare_resampler(MediaFile::State& s, const AVFrame* f)
{
    AudioSide& a = s.audio;
    const int channels = f->ch_layout.nb_channels;
    if (f->sample_rate < 1 || f->sample_rate > kMaxMediaSampleRate || channels < 1 || channels > kMaxMediaChannels || f->nb_samples < 0)
        return ZK_MEDIA_FAIL(kMediaDecodeFailed, "the sound of " + s.name + " changes to a rate or channel count the library does not take");
    if (a.resampler && a.in_rate == f->sample_rate && a.in_format == f->format && a.in_channels == channels) return {};
    if (a.resampler) {
        MediaStatus status = resample(s, nullptr);
        if (!status.ok()) return status;
    }
    a.resampler.reset();
    // Channels are kept as they are (the order does not matter: the first two are used).
    AVChannelLayout layout;
    av_channel_layout_default(&layout, channels);
    SwrContext* swr = nullptr;
    int err = swr_alloc_set_opts2(&swr, &layout, AV_SAMPLE_FMT_FLT, kBoardSampleRate, &layout, static_cast<AVSampleFormat>(f->format),
                                  f->sample_rate, 0, nullptr);
    if (err >= 0) err = swr_init(swr);
    av_channel_layout_uninit(&layout);
    if (err < 0) {
        swr_free(&swr);
        return ZK_MEDIA_FAIL(kMediaDecodeFailed, "cannot convert the sound of " + s.name + ": " + av_text(err));
    }
    a.resampler.reset(swr);
    a.in_rate = f->sample_rate;
    a.in_format = f->format;
    a.in_channels = channels;
    return {};
}

// Places the queue at the frame just decoded, the first after a seek, and queues its samples.
// The resampler's output lands on the board's sample grid only when its input starts on a
// sample that falls on that grid too (every 147th at 44.1 kHz), so the samples before such a
// sample are dropped; then a read after a seek gives what reading through gave. A frame without
// a timestamp is placed at sample 0 when the seek went to the start, and not placed otherwise.
MediaStatus place(MediaFile::State& s, const AVFrame* f, bool at_start)
{
    AudioSide& a = s.audio;
    long long in_index = input_index_of(a, f);
    if (in_index == kNoIndex && at_start) in_index = 0;
    if (in_index == kNoIndex) return {};
    const long long grid = f->sample_rate / std::gcd(f->sample_rate, kBoardSampleRate);
    long long skip = 0;
    if (grid > 1 && grid <= kMaxGridStep) skip = ((-(in_index % grid)) % grid + grid) % grid;
    long long start = 0;
    if (skip >= f->nb_samples || __builtin_add_overflow(in_index, skip, &start)) return {}; // wholly before the grid: dropped
    a.pending_start = av_rescale_rnd(start, kBoardSampleRate, f->sample_rate, AV_ROUND_NEAR_INF);
    return resample(s, f, static_cast<int>(skip));
}

// Decodes one more frame onto the queue (placing it when the queue has no place yet); `end`
// when everything has been given.
MediaStatus pull(MediaFile::State& s, bool& end, bool at_start = false)
{
    AudioSide& a = s.audio;
    end = false;
    const int err = receive(s);
    if (err == AVERROR_EOF) {
        end = true;
        if (a.pending_start == kNoIndex) return {};
        return a.resampler ? resample(s, nullptr) : MediaStatus{};
    }
    if (err < 0) return ZK_MEDIA_FAIL(kMediaDecodeFailed, "cannot decode the sound of " + s.name + ": " + av_text(err));
    const AVFrame* f = a.decoded.get();
    MediaStatus status = prepare_resampler(s, f);
    if (!status.ok()) return status;
    if (a.pending_start == kNoIndex) return place(s, f, at_start);
    return resample(s, f);
}

// Places the queue at or before sample `first`, seeking when reading on would not get there.
MediaStatus position(MediaFile::State& s, long long first)
{
    AudioSide& a = s.audio;
    if (s.last_reader == Reader::audio && a.pending_start != kNoIndex && first >= a.pending_start &&
        first - a.pending_start <= static_cast<long long>(a.pending.size() / 2) + kForwardSamples)
        return {};
    // Resampling needs the samples before the first one asked for, and the grid a step more.
    const int rate = a.stream->codecpar->sample_rate;
    const long long grid = rate / std::gcd(rate, kBoardSampleRate);
    const long long margin = rate == kBoardSampleRate ? 0 : kResampleMargin + std::min(grid, kMaxGridStep) * kBoardSampleRate / rate + 1;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const bool from_start = attempt == 1 || first <= margin;
        const long long target = from_start ? 0 : first - margin;
        const std::int64_t ts = a.first_ts + av_rescale_q(target, AVRational{1, kBoardSampleRate}, a.stream->time_base);
        const int err = av_seek_frame(s.format, a.index, ts, AVSEEK_FLAG_BACKWARD);
        s.last_reader = Reader::audio;
        if (err < 0) {
            if (from_start) return ZK_MEDIA_FAIL(kMediaDecodeFailed, "cannot seek in " + s.name + ": " + av_text(err));
            continue;
        }
        avcodec_flush_buffers(a.codec.get());
        a.resampler.reset();
        a.in_rate = 0;
        a.pending.clear();
        a.pending_start = kNoIndex;
        a.flushed = false;
        bool end = false;
        for (int frames = 0; a.pending_start == kNoIndex && !end && frames < kMaxPlacingFrames; ++frames) {
            MediaStatus status = pull(s, end, from_start);
            if (!status.ok()) return status;
        }
        a.drained = end;
        if (a.pending_start == kNoIndex && end) {
            a.pending_start = first; // nothing left: silence from here
            return {};
        }
        if (a.pending_start != kNoIndex && (from_start || a.pending_start <= first)) return {};
        if (from_start) break;
    }
    return ZK_MEDIA_FAIL(kMediaDecodeFailed, "cannot find sample " + std::to_string(first) + " in " + s.name);
}

inline void put(float v, float& out)
{
    out = v;
}

inline void put(float v, std::int16_t& out)
{
    const float scaled = std::clamp(v * 32768.0f, -32768.0f, 32767.0f);
    out = static_cast<std::int16_t>(std::lrint(scaled));
}

template <class T> MediaStatus read_samples(MediaFile::State& s, long long first, long long end, T* out)
{
    AudioSide& a = s.audio;
    MediaStatus status = position(s, first);
    if (!status.ok()) return status;
    long long at = first;
    while (at < end) {
        const auto queued = static_cast<long long>(a.pending.size() / 2);
        if (at > a.pending_start && queued > 0) {
            // What lies before `at` is no longer wanted.
            const long long drop = std::min(at - a.pending_start, queued);
            a.pending.erase(a.pending.begin(), a.pending.begin() + 2 * drop);
            a.pending_start += drop;
            continue;
        }
        if (queued == 0 && a.drained) {
            // After the last sample: silence.
            std::fill(out + 2 * (at - first), out + 2 * (end - first), T{});
            break;
        }
        if (at < a.pending_start) {
            // Before the first sample: silence.
            const long long stop = std::min(end, a.pending_start);
            std::fill(out + 2 * (at - first), out + 2 * (stop - first), T{});
            at = stop;
            continue;
        }
        if (at == a.pending_start && queued > 0) {
            const long long n = std::min(end - at, queued);
            T* to = out + 2 * (at - first);
            for (long long i = 0; i < 2 * n; ++i) put(a.pending[static_cast<std::size_t>(i)], to[i]);
            at += n;
            continue;
        }
        status = pull(s, a.drained);
        if (!status.ok()) return status;
    }
    return {};
}

} // namespace

MediaStatus open_audio(MediaFile::State& s, MediaInfo& info)
{
    int index = -1;
    MediaStatus status = find_stream(s, AVMEDIA_TYPE_AUDIO, "sound", index);
    if (!status.ok() || index < 0) return status;
    AVStream* st = s.format->streams[index];
    const AVCodecParameters* par = st->codecpar;
    const std::string& name = s.name;
    const int channels = par->ch_layout.nb_channels;
    if (par->sample_rate < 1 || par->sample_rate > kMaxMediaSampleRate || channels < 1 || channels > kMaxMediaChannels)
        return ZK_MEDIA_FAIL(kMediaTooLarge, "cannot read " + name + ": its sound states " + std::to_string(par->sample_rate) +
                                                 " samples a second in " + std::to_string(channels) + " channels");
    long long count = 0;
    if (st->duration != AV_NOPTS_VALUE && st->duration > 0) count = av_rescale_q(st->duration, st->time_base, AVRational{1, par->sample_rate});
    else if (s.format->duration > 0) count = av_rescale_q(s.format->duration, AV_TIME_BASE_Q, AVRational{1, par->sample_rate});
    if (static_cast<double>(count) > 86400.0 * par->sample_rate)
        return ZK_MEDIA_FAIL(kMediaTooLarge, "cannot read " + name + ": it claims " + std::to_string(count) + " samples");

    CodecPtr codec;
    status = open_decoder(s, index, "sound", codec);
    if (!status.ok()) return status;

    AudioSide& a = s.audio;
    a.index = index;
    a.stream = st;
    a.codec = std::move(codec);
    a.decoded.reset(av_frame_alloc());
    if (!a.decoded) return ZK_MEDIA_FAIL(kMediaDecodeFailed, "out of memory opening " + name);

    // The first samples out of the decoder are sample 0, whatever their timestamp.
    const int err = receive(s);
    if (err < 0 && err != AVERROR_EOF) return ZK_MEDIA_FAIL(kMediaDecodeFailed, "cannot decode the sound of " + name + ": " + av_text(err));
    if (err == 0) {
        const AVFrame* f = a.decoded.get();
        a.first_ts = f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : 0;
        status = prepare_resampler(s, f);
        if (!status.ok()) return status;
        status = place(s, f, true);
        if (!status.ok()) return status;
    } else {
        a.pending_start = 0; // a sound without samples: every read is silence
        a.drained = true;
    }

    a.sample_count = av_rescale_rnd(count, kBoardSampleRate, par->sample_rate, AV_ROUND_NEAR_INF);
    info.has_audio = true;
    info.sample_rate = par->sample_rate;
    info.channels = channels;
    info.sample_count = count;
    info.board_sample_count = a.sample_count;
    info.audio_codec = a.codec->codec->name;
    return {};
}

} // namespace media

namespace {

MediaStatus check_audio_request(const MediaFile& file, long long first, long long end, std::size_t out_size)
{
    if (!file.is_open()) return ZK_MEDIA_FAIL(kMediaNotOpen, "no media file is open");
    if (!file.info().has_audio) return ZK_MEDIA_FAIL(kMediaNoStream, file.path() + " has no sound");
    if (first < 0 || end < first)
        return ZK_MEDIA_FAIL(kMediaOutOfRange, "samples " + std::to_string(first) + " to " + std::to_string(end) + " are not a run of samples");
    std::size_t values = 0;
    if (!checked_mul(static_cast<std::size_t>(end - first), 2, values) || out_size < values)
        return ZK_MEDIA_FAIL(kMediaBadArgument, std::to_string(end - first) + " stereo samples need " + std::to_string(values) + " values");
    return {};
}

} // namespace

MediaStatus MediaFile::read_audio(long long first, long long end, std::span<std::int16_t> out)
{
    MediaStatus status = check_audio_request(*this, first, end, out.size());
    if (!status.ok() || first == end) return status;
    return media::read_samples(*state_, first, end, out.data());
}

MediaStatus MediaFile::read_audio(long long first, long long end, std::span<float> out)
{
    MediaStatus status = check_audio_request(*this, first, end, out.size());
    if (!status.ok() || first == end) return status;
    return media::read_samples(*state_, first, end, out.data());
}

} // namespace zk
