// Opening a media file: the container (from a path or from memory), the streams the library
// reads, and the facts every later read relies on. See media_file.h.
//
// Before FFmpeg looks at a byte, our own walk over the RIFF chunks checks that every header
// chunk fits in the file (FFmpeg allocates what a header chunk states), and FFmpeg is told what
// it may do: read the file protocol only (so a name cannot reach the network or a playlist),
// recognise AVI and WAVE only, and open only the decoders of clips and PCM sound. The streams' facts are checked by the picture and sound
// sides (media_video.cpp, media_audio.cpp), which also decode a first frame and first samples,
// so a file that opens is a file that decodes.
#include "platform/media/media_file.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/media/internal/media_state.h"
#include "platform/media/riff_layout.h"

namespace zk {
namespace media {

std::string av_text(int err)
{
    char buf[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, buf, sizeof buf);
    return buf;
}

int feed_decoder(MediaFile::State& s, AVCodecContext* codec, int index, Reader reader, bool& flushed, int& bad)
{
    s.last_reader = reader;
    for (;;) {
        av_packet_unref(s.packet.get());
        if (av_read_frame(s.format, s.packet.get()) < 0) {
            flushed = true;
            const int err = avcodec_send_packet(codec, nullptr);
            return err == AVERROR_EOF ? 0 : err;
        }
        if (s.packet->stream_index != index) continue;
        const int err = avcodec_send_packet(codec, s.packet.get());
        if (err < 0 && err != AVERROR(EAGAIN) && ++bad > kMaxBadPackets) return err;
        return 0;
    }
}

MediaStatus find_stream(MediaFile::State& s, AVMediaType type, const char* what, int& index)
{
    index = av_find_best_stream(s.format, type, -1, -1, nullptr, 0);
    if (index < 0 || (s.format->streams[index]->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
        index = -1;
        return {};
    }
    const AVStream* st = s.format->streams[index];
    const AVCodecID id = st->codecpar->codec_id;
    if (!readable_codec(id))
        return ZK_MEDIA_FAIL(kMediaUnreadable, "cannot read " + s.name + ": its " + what + " is " + avcodec_get_name(id) +
                                                   ", which the library does not decode");
    if (st->time_base.num <= 0 || st->time_base.den <= 0)
        return ZK_MEDIA_FAIL(kMediaUnreadable, "cannot read " + s.name + ": its " + what + " has no time base");
    return {};
}

MediaStatus open_decoder(MediaFile::State& s, int index, const char* what, CodecPtr& codec)
{
    const AVStream* st = s.format->streams[index];
    const AVCodec* decoder = avcodec_find_decoder(st->codecpar->codec_id);
    if (!decoder) return ZK_MEDIA_FAIL(kMediaUnreadable, "cannot read " + s.name + ": this FFmpeg has no decoder for its " + what);
    codec.reset(avcodec_alloc_context3(decoder));
    if (!codec) return ZK_MEDIA_FAIL(kMediaDecodeFailed, "out of memory opening " + s.name);
    int err = avcodec_parameters_to_context(codec.get(), st->codecpar);
    if (err >= 0) {
        // One thread: decoding is budgeted on one core, beside the on-air work.
        codec->thread_count = 1;
        codec->max_pixels = static_cast<std::int64_t>(kMaxMediaSide) * kMaxMediaSide;
        codec->pkt_timebase = st->time_base;
        err = avcodec_open2(codec.get(), decoder, nullptr);
    }
    if (err < 0) return ZK_MEDIA_FAIL(kMediaUnreadable, std::string("cannot decode the ") + what + " of " + s.name + ": " + av_text(err));
    return {};
}

} // namespace media

namespace {

using media::av_text;

// The containers and codecs of clips and sound. Everything else is refused before FFmpeg
// opens a decoder for it.
constexpr const char* kFormats = "avi,wav";
constexpr AVCodecID kCodecs[] = {
    AV_CODEC_ID_FFV1,      AV_CODEC_ID_MJPEG,     AV_CODEC_ID_UTVIDEO,   AV_CODEC_ID_HUFFYUV,   AV_CODEC_ID_FFVHUFF,
    AV_CODEC_ID_DVVIDEO,   AV_CODEC_ID_RAWVIDEO,  AV_CODEC_ID_MPEG2VIDEO, AV_CODEC_ID_MPEG4,    AV_CODEC_ID_H264,
    AV_CODEC_ID_PCM_U8,    AV_CODEC_ID_PCM_S16LE, AV_CODEC_ID_PCM_S16BE, AV_CODEC_ID_PCM_S24LE, AV_CODEC_ID_PCM_S32LE,
    AV_CODEC_ID_PCM_F32LE, AV_CODEC_ID_PCM_F64LE, AV_CODEC_ID_PCM_ALAW,  AV_CODEC_ID_PCM_MULAW,
};

// The decoders' names, as FFmpeg's codec white list takes them.
std::string codec_names()
{
    std::string names;
    for (AVCodecID id : kCodecs) {
        const AVCodec* decoder = avcodec_find_decoder(id);
        if (!decoder) continue;
        if (!names.empty()) names += ',';
        names += decoder->name;
    }
    return names;
}

AVDictionary* input_options(bool from_file)
{
    static const std::string codecs = codec_names();
    AVDictionary* options = nullptr;
    av_dict_set(&options, "format_whitelist", kFormats, 0);
    av_dict_set(&options, "codec_whitelist", codecs.c_str(), 0);
    if (from_file) av_dict_set(&options, "protocol_whitelist", "file", 0);
    return options;
}

int read_memory(void* opaque, std::uint8_t* buf, int size)
{
    auto* m = static_cast<media::MemoryInput*>(opaque);
    const std::int64_t left = static_cast<std::int64_t>(m->bytes.size()) - m->at;
    if (left <= 0 || size <= 0) return AVERROR_EOF;
    const int n = static_cast<int>(std::min<std::int64_t>(size, left));
    std::memcpy(buf, m->bytes.data() + m->at, static_cast<std::size_t>(n));
    m->at += n;
    return n;
}

std::int64_t seek_memory(void* opaque, std::int64_t offset, int whence)
{
    auto* m = static_cast<media::MemoryInput*>(opaque);
    const auto size = static_cast<std::int64_t>(m->bytes.size());
    std::int64_t base = 0;
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE: return size;
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = m->at; break;
    case SEEK_END: base = size; break;
    default: return AVERROR(EINVAL);
    }
    std::int64_t to = 0;
    if (__builtin_add_overflow(base, offset, &to) || to < 0 || to > size) return AVERROR(EINVAL);
    m->at = to;
    return to;
}

// The rest of opening, once the container is open: streams, decoders, first frame and samples.
MediaStatus finish_open(MediaFile::State& s, MediaInfo& info)
{
    int err = avformat_find_stream_info(s.format, nullptr);
    if (err < 0) return ZK_MEDIA_FAIL(kMediaUnreadable, "cannot read " + s.name + ": its streams cannot be read (" + av_text(err) + ")");
    s.packet.reset(av_packet_alloc());
    if (!s.packet) return ZK_MEDIA_FAIL(kMediaDecodeFailed, "out of memory opening " + s.name);
    MediaStatus status = media::open_video(s, info);
    if (!status.ok()) return status;
    status = media::open_audio(s, info);
    if (!status.ok()) return status;
    if (!info.has_video && !info.has_audio)
        return ZK_MEDIA_FAIL(kMediaNoStream, "cannot read " + s.name + ": it holds no video or sound the library decodes");
    const double video_seconds =
        info.has_video ? static_cast<double>(info.frame_count) * info.rate_den / info.rate_num : 0.0;
    const double audio_seconds = info.has_audio ? static_cast<double>(info.sample_count) / info.sample_rate : 0.0;
    info.duration = std::max(video_seconds, audio_seconds);
    return {};
}

MediaStatus open_failure(int err, const std::string& name)
{
    if (err == AVERROR(ENOENT)) return ZK_MEDIA_FAIL(kMediaNotFound, "cannot open " + name + ": no such file");
    if (err == AVERROR_INVALIDDATA)
        return ZK_MEDIA_FAIL(kMediaUnreadable, "cannot read " + name + ": not an AVI or WAVE file, or its headers are damaged");
    return ZK_MEDIA_FAIL(kMediaUnreadable, "cannot read " + name + ": " + av_text(err));
}

} // namespace

bool media::readable_codec(AVCodecID id)
{
    return std::find(std::begin(kCodecs), std::end(kCodecs), id) != std::end(kCodecs);
}

MediaFile::State::~State()
{
    // Decoders first, then the container; a container on our own reader leaves the reader to us.
    video = {};
    audio = {};
    packet.reset();
    if (format) avformat_close_input(&format);
    if (memory_io) {
        av_freep(&memory_io->buffer);
        avio_context_free(&memory_io);
    }
}

MediaFile::MediaFile() = default;
MediaFile::~MediaFile() = default;

bool MediaFile::is_open() const
{
    return state_ != nullptr;
}

const MediaInfo& MediaFile::info() const
{
    return info_;
}

const std::string& MediaFile::path() const
{
    return path_;
}

void MediaFile::close()
{
    state_.reset();
    info_ = {};
    path_.clear();
}

MediaStatus MediaFile::open(const std::string& path)
{
    close();
    std::error_code ec;
    const auto kind = std::filesystem::status(path, ec).type();
    if (kind == std::filesystem::file_type::not_found || path.empty())
        return ZK_MEDIA_FAIL(kMediaNotFound, "cannot open " + path + ": no such file");
    if (kind != std::filesystem::file_type::regular)
        return ZK_MEDIA_FAIL(kMediaUnreadable, "cannot read " + path + ": not a file");

    std::ifstream in(path, std::ios::binary);
    const std::uint64_t size = std::filesystem::file_size(path, ec);
    if (!in || ec) return ZK_MEDIA_FAIL(kMediaUnreadable, "cannot read " + path + ": it cannot be opened");
    const ReadBytesAt read = [&in](std::uint64_t at, std::span<std::uint8_t> out) {
        in.clear();
        in.seekg(static_cast<std::streamoff>(at));
        in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
        return in.gcount() == static_cast<std::streamsize>(out.size());
    };
    std::string why;
    if (!check_riff_layout(size, read, why)) return ZK_MEDIA_FAIL(kMediaUnreadable, "cannot read " + path + ": " + why);

    auto s = std::make_unique<State>();
    s->name = path;
    // The name goes to the file protocol as it is, whatever characters it has.
    return open_input(std::move(s), "file:" + path, true);
}

MediaStatus MediaFile::open_memory(std::span<const std::uint8_t> bytes, const std::string& name)
{
    close();
    const ReadBytesAt read = [bytes](std::uint64_t at, std::span<std::uint8_t> out) {
        if (at > bytes.size() || out.size() > bytes.size() - at) return false;
        std::memcpy(out.data(), bytes.data() + at, out.size());
        return true;
    };
    std::string why;
    if (!check_riff_layout(bytes.size(), read, why)) return ZK_MEDIA_FAIL(kMediaUnreadable, "cannot read " + name + ": " + why);

    auto s = std::make_unique<State>();
    s->name = name;
    s->memory.bytes = bytes;
    constexpr int kBlock = 16384;
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kBlock));
    if (buffer) s->memory_io = avio_alloc_context(buffer, kBlock, 0, &s->memory, read_memory, nullptr, seek_memory);
    if (!s->memory_io) {
        av_free(buffer);
        return ZK_MEDIA_FAIL(kMediaDecodeFailed, "out of memory opening " + name);
    }
    s->format = avformat_alloc_context();
    if (!s->format) return ZK_MEDIA_FAIL(kMediaDecodeFailed, "out of memory opening " + name);
    s->format->pb = s->memory_io;
    s->format->flags |= AVFMT_FLAG_CUSTOM_IO;
    return open_input(std::move(s), "", false);
}

MediaStatus MediaFile::open_input(std::unique_ptr<State> s, const std::string& url, bool from_file)
{
    AVDictionary* options = input_options(from_file);
    // On failure the context is gone; a reader of our own goes with the state.
    const int err = avformat_open_input(&s->format, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (err < 0) return open_failure(err, s->name);
    MediaInfo info;
    MediaStatus status = finish_open(*s, info);
    if (!status.ok()) return status;
    path_ = s->name;
    state_ = std::move(s);
    info_ = info;
    return status;
}

} // namespace zk
