// Encoding and muxing through libavcodec and libavformat. See video_writer.h.
#include "platform/recorder/video_writer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
}

#include <climits>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "core/checked.h"
#include "platform/recorder/pixel_repack.h"

namespace zk {
namespace {

// How each codec is driven. Every codec here is lossless and keeps the key; those that do not
// take the board's byte order (blue, green, red, key) get it repacked, which only moves bytes.
struct CodecProfile {
    RecorderCodec codec;
    AVCodecID id;
    AVPixelFormat pixels;
    PixelLayout layout;  // the same, as the repacking names it
    const char* options; // encoder options, "name=value:name=value"
    const char* name;
};

// Every frame is a key frame where the codec allows, so a damaged stretch of a long recording
// costs its own frames only and an editor can cut anywhere. UT Video with left prediction is
// the cheapest of its predictions. FFV1 runs in its faster Golomb-Rice mode (its range coder
// costs half as much again) with per-slice checksums.
constexpr CodecProfile kProfiles[] = {
    {RecorderCodec::utvideo, AV_CODEC_ID_UTVIDEO, AV_PIX_FMT_GBRAP, PixelLayout::gbrap, "pred=left", "UT Video"},
    {RecorderCodec::ffv1, AV_CODEC_ID_FFV1, AV_PIX_FMT_BGRA, PixelLayout::bgra, "level=3:coder=rice:context=0:slicecrc=1:slices=4", "FFV1"},
    {RecorderCodec::png, AV_CODEC_ID_PNG, AV_PIX_FMT_RGBA, PixelLayout::rgba, "", "PNG"},
};

const CodecProfile* profile_of(RecorderCodec codec)
{
    for (const CodecProfile& p : kProfiles)
        if (p.codec == codec) return &p;
    return nullptr;
}

std::string av_text(int err)
{
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, buf, sizeof buf);
    return buf;
}

struct FormatDeleter {
    void operator()(AVFormatContext* oc) const
    {
        if (oc->pb) avio_closep(&oc->pb);
        avformat_free_context(oc);
    }
};
struct CodecDeleter {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

// The frame is interlaced, and its first field in time is the bottom one (the odd lines).
void mark_bottom_field_first(AVFrame* frame)
{
#ifdef AV_FRAME_FLAG_INTERLACED
    frame->flags |= AV_FRAME_FLAG_INTERLACED;
    frame->flags &= ~AV_FRAME_FLAG_TOP_FIELD_FIRST;
#else
    frame->interlaced_frame = 1;
    frame->top_field_first = 0;
#endif
}

} // namespace

struct VideoWriter::State {
    std::unique_ptr<AVFormatContext, FormatDeleter> format;
    std::unique_ptr<AVCodecContext, CodecDeleter> codec;
    std::unique_ptr<AVFrame, FrameDeleter> frame;
    std::unique_ptr<AVPacket, PacketDeleter> packet;
    PixelLayout layout = PixelLayout::bgra;
    AVStream* stream = nullptr;
    AVStream* audio = nullptr;
    long long audio_samples = 0;
    std::string path;
    std::size_t pixels = 0;
    long long frames = 0;

    // Moves every packet the encoder has ready into the file.
    RecorderStatus drain()
    {
        for (;;) {
            int err = avcodec_receive_packet(codec.get(), packet.get());
            if (err == AVERROR(EAGAIN) || err == AVERROR_EOF) return {};
            if (err < 0) return ZK_RECORDER_FAIL(kRecorderEncoderFailed, "the encoder failed on " + path + ": " + av_text(err));
            av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            err = av_interleaved_write_frame(format.get(), packet.get());
            if (err < 0) return ZK_RECORDER_FAIL(kRecorderCannotCreate, "cannot write " + path + ": " + av_text(err));
        }
    }
};

VideoWriter::VideoWriter() = default;

VideoWriter::~VideoWriter()
{
    if (is_open()) (void)finish();
}

bool VideoWriter::is_open() const
{
    return state_ != nullptr;
}

long long VideoWriter::frames() const
{
    return state_ ? state_->frames : 0;
}

RecorderStatus VideoWriter::open(const std::string& path, const VideoFormat& f)
{
    if (state_) return ZK_RECORDER_FAIL(kRecorderAlreadyOpen, "a video file is already open");
    const CodecProfile* profile = profile_of(f.codec);
    std::size_t pixels = 0;
    if (!profile || f.width < 1 || f.height < 1 || f.rate_num < 1 || f.rate_den < 1 || !image_bytes(f.width, f.height, 4, pixels))
        return ZK_RECORDER_FAIL(kRecorderBadArgument, "unsupported video format");

    auto s = std::make_unique<State>();
    s->path = path;
    s->pixels = pixels / 4;

    const AVCodec* encoder = avcodec_find_encoder(profile->id);
    if (!encoder) return ZK_RECORDER_FAIL(kRecorderEncoderFailed, std::string("this FFmpeg has no ") + profile->name + " encoder");
    s->codec.reset(avcodec_alloc_context3(encoder));
    s->frame.reset(av_frame_alloc());
    s->packet.reset(av_packet_alloc());
    if (!s->codec || !s->frame || !s->packet) return ZK_RECORDER_FAIL(kRecorderEncoderFailed, "out of memory setting up the encoder");

    AVCodecContext* c = s->codec.get();
    c->width = f.width;
    c->height = f.height;
    c->pix_fmt = profile->pixels;
    c->time_base = AVRational{f.rate_den, f.rate_num};
    c->framerate = AVRational{f.rate_num, f.rate_den};
    c->gop_size = 1;
    c->field_order = AV_FIELD_BB;
    // One encoding thread: the recording's cost is budgeted on one core beside the on-air work.
    c->thread_count = 1;

    const AVOutputFormat* container = av_guess_format("matroska", nullptr, nullptr);
    AVFormatContext* oc = nullptr;
    if (!container || avformat_alloc_output_context2(&oc, container, nullptr, path.c_str()) < 0 || !oc)
        return ZK_RECORDER_FAIL(kRecorderEncoderFailed, "this FFmpeg cannot write Matroska");
    s->format.reset(oc);
    if (oc->oformat->flags & AVFMT_GLOBALHEADER) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

    AVDictionary* options = nullptr;
    av_dict_parse_string(&options, profile->options, "=", ":", 0);
    int err = avcodec_open2(c, encoder, &options);
    // An option the encoder did not take means it would not encode the way we rely on.
    const int unused = av_dict_count(options);
    av_dict_free(&options);
    if (err >= 0 && unused > 0) err = AVERROR(EINVAL);
    if (err < 0)
        return ZK_RECORDER_FAIL(kRecorderEncoderFailed, std::string("the ") + profile->name + " encoder refused " + std::to_string(f.width) +
                                                            " x " + std::to_string(f.height) + ": " + av_text(err));

    s->frame->format = profile->pixels;
    s->frame->width = f.width;
    s->frame->height = f.height;
    if (av_frame_get_buffer(s->frame.get(), 0) < 0) return ZK_RECORDER_FAIL(kRecorderEncoderFailed, "out of memory for a video frame");
    s->layout = profile->layout;

    s->stream = avformat_new_stream(oc, nullptr);
    if (!s->stream) return ZK_RECORDER_FAIL(kRecorderEncoderFailed, "out of memory for the video stream");
    s->stream->time_base = c->time_base;
    s->stream->avg_frame_rate = c->framerate;
    s->stream->r_frame_rate = c->framerate;
    if (avcodec_parameters_from_context(s->stream->codecpar, c) < 0)
        return ZK_RECORDER_FAIL(kRecorderEncoderFailed, "cannot describe the video stream");

    if (f.audio) {
        // Sound needs no encoder: 16-bit PCM packets go to the file as they are.
        s->audio = avformat_new_stream(oc, nullptr);
        if (!s->audio) return ZK_RECORDER_FAIL(kRecorderEncoderFailed, "out of memory for the sound stream");
        AVCodecParameters* a = s->audio->codecpar;
        a->codec_type = AVMEDIA_TYPE_AUDIO;
        a->codec_id = AV_CODEC_ID_PCM_S16LE;
        a->sample_rate = kRecordedSampleRate;
        av_channel_layout_default(&a->ch_layout, 2);
        a->bits_per_coded_sample = 16;
        a->block_align = 4;
        a->bit_rate = static_cast<int64_t>(kRecordedSampleRate) * 4 * 8;
        s->audio->time_base = AVRational{1, kRecordedSampleRate};
    }

    err = avio_open(&oc->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (err < 0) return ZK_RECORDER_FAIL(kRecorderCannotCreate, "cannot create " + path + ": " + av_text(err));
    err = avformat_write_header(oc, nullptr);
    if (err < 0) return ZK_RECORDER_FAIL(kRecorderCannotCreate, "cannot write the header of " + path + ": " + av_text(err));

    state_ = std::move(s);
    return {};
}

RecorderStatus VideoWriter::write(std::span<const std::uint32_t> pixels)
{
    if (!state_) return ZK_RECORDER_FAIL(kRecorderNotOpen, "no video file is open");
    State& s = *state_;
    if (pixels.size() < s.pixels) return ZK_RECORDER_FAIL(kRecorderBadArgument, "a frame has fewer pixels than the picture");
    AVFrame* frame = s.frame.get();
    // The encoder may still hold the previous frame's buffer.
    int err = av_frame_make_writable(frame);
    if (err < 0) return ZK_RECORDER_FAIL(kRecorderEncoderFailed, "out of memory for a video frame");

    repack_pixels(s.layout, pixels.data(), static_cast<std::size_t>(s.codec->width), s.codec->width, s.codec->height, frame->data,
                  frame->linesize);
    frame->pts = s.frames;
    mark_bottom_field_first(frame);

    err = avcodec_send_frame(s.codec.get(), frame);
    if (err < 0) return ZK_RECORDER_FAIL(kRecorderEncoderFailed, "the encoder refused a frame of " + s.path + ": " + av_text(err));
    ++s.frames;
    return s.drain();
}

RecorderStatus VideoWriter::write_audio(std::span<const std::int16_t> samples)
{
    if (!state_) return ZK_RECORDER_FAIL(kRecorderNotOpen, "no video file is open");
    State& s = *state_;
    if (!s.audio) return ZK_RECORDER_FAIL(kRecorderBadArgument, "the file was opened without sound");
    if (samples.size() % 2 != 0) return ZK_RECORDER_FAIL(kRecorderBadArgument, "stereo sound comes in pairs of samples");
    if (samples.empty()) return {};
    const std::size_t bytes = samples.size() * sizeof(std::int16_t);
    if (bytes > static_cast<std::size_t>(INT_MAX)) return ZK_RECORDER_FAIL(kRecorderBadArgument, "too much sound at once");
    AVPacket* pkt = s.packet.get();
    av_packet_unref(pkt);
    if (av_new_packet(pkt, static_cast<int>(bytes)) < 0) return ZK_RECORDER_FAIL(kRecorderEncoderFailed, "out of memory for sound");
    // The file is little-endian; so is every machine this builds for.
    std::memcpy(pkt->data, samples.data(), bytes);
    const auto n = static_cast<long long>(samples.size() / 2);
    pkt->pts = pkt->dts = s.audio_samples;
    pkt->duration = n;
    pkt->stream_index = s.audio->index;
    pkt->flags |= AV_PKT_FLAG_KEY;
    av_packet_rescale_ts(pkt, AVRational{1, kRecordedSampleRate}, s.audio->time_base);
    const int err = av_interleaved_write_frame(s.format.get(), pkt);
    if (err < 0) return ZK_RECORDER_FAIL(kRecorderCannotCreate, "cannot write " + s.path + ": " + av_text(err));
    s.audio_samples += n;
    return {};
}

long long VideoWriter::audio_samples() const
{
    return state_ ? state_->audio_samples : 0;
}

RecorderStatus VideoWriter::finish()
{
    if (!state_) return ZK_RECORDER_FAIL(kRecorderNotOpen, "no video file is open");
    std::unique_ptr<State> s = std::move(state_);
    RecorderStatus status;
    int err = avcodec_send_frame(s->codec.get(), nullptr);
    if (err < 0 && err != AVERROR_EOF)
        status = ZK_RECORDER_FAIL(kRecorderEncoderFailed, "the encoder failed to finish " + s->path + ": " + av_text(err));
    if (status.ok()) status = s->drain();
    err = av_write_trailer(s->format.get());
    if (err < 0 && status.ok()) status = ZK_RECORDER_FAIL(kRecorderCannotCreate, "cannot finish " + s->path + ": " + av_text(err));
    // Closing flushes the last buffered bytes; a full disk shows here.
    err = avio_closep(&s->format->pb);
    if (err < 0 && status.ok()) status = ZK_RECORDER_FAIL(kRecorderCannotCreate, "cannot finish " + s->path + ": " + av_text(err));
    // Readers refuse a Matroska file without frames; a file that only looks like a recording
    // would mislead whoever finds it. Devices and pipes are left alone.
    std::error_code ec;
    if (s->frames == 0 && std::filesystem::is_regular_file(s->path, ec)) std::filesystem::remove(s->path, ec);
    return status;
}

} // namespace zk
