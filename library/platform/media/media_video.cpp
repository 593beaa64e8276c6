// Pictures of a media file: frame k exactly, converted to the board's pixels. See media_file.h.
//
// Frame numbers come from the frames' timestamps, counted from the first frame's (so a file
// whose first frame is stamped 1, as AVI files with reordered frames are, still starts at 0).
// Asked for frame k, the decoder steps on when k is the next frame (or close ahead, for codecs
// with predicted frames); otherwise the file is sought to the key frame at or before k and
// decoded from there. Frames that come out before the first key frame after a seek are dropped:
// they lack what they were predicted from. When the first key frame is already past k (an index
// that points late), the seek is repeated further back, at worst from the start. A file that
// skips a frame number repeats the frame before it, as AVI files do for dropped frames.
#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/pixdesc.h>
}

#include "core/checked.h"
#include "platform/media/internal/media_state.h"

namespace zk {
namespace media {
namespace {

constexpr int kForwardFrames = 64;  // without an index, codecs with predicted frames step on this far
constexpr int kSeekAttempts = 8;
constexpr int kRowAlign = 64;

bool is_key(const AVFrame* f)
{
#ifdef AV_FRAME_FLAG_KEY
    return (f->flags & AV_FRAME_FLAG_KEY) != 0;
#else
    return f->key_frame != 0;
#endif
}

FieldOrder field_order_of(const AVCodecParameters* par, const AVFrame* first)
{
    switch (par->field_order) {
    case AV_FIELD_PROGRESSIVE: return FieldOrder::progressive;
    case AV_FIELD_TT:
    case AV_FIELD_BT: return FieldOrder::top_first; // displayed top field first
    case AV_FIELD_BB:
    case AV_FIELD_TB: return FieldOrder::bottom_first;
    default: break;
    }
#ifdef AV_FRAME_FLAG_INTERLACED
    const bool interlaced = (first->flags & AV_FRAME_FLAG_INTERLACED) != 0;
    const bool top_first = (first->flags & AV_FRAME_FLAG_TOP_FIELD_FIRST) != 0;
#else
    const bool interlaced = first->interlaced_frame != 0;
    const bool top_first = first->top_field_first != 0;
#endif
    if (!interlaced) return FieldOrder::progressive;
    return top_first ? FieldOrder::top_first : FieldOrder::bottom_first;
}

bool has_alpha(int format)
{
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(format));
    return d && (d->flags & AV_PIX_FMT_FLAG_ALPHA);
}

long long index_of(const VideoSide& v, const AVFrame* f)
{
    const std::int64_t ts = f->best_effort_timestamp;
    std::int64_t from_first = 0;
    if (ts == AV_NOPTS_VALUE || __builtin_sub_overflow(ts, v.first_ts, &from_first)) return kNoIndex;
    const std::int64_t index = av_rescale_q_rnd(from_first, v.stream->time_base, av_inv_q(v.rate),
                                                static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
    return index == INT64_MIN ? kNoIndex : index;
}

// The next frame out of the decoder into v.decoded, with its number: 0, AVERROR_EOF, or an error.
int receive(MediaFile::State& s, long long& index)
{
    VideoSide& v = s.video;
    int bad = 0;
    for (;;) {
        int err = avcodec_receive_frame(v.codec.get(), v.decoded.get());
        if (err == 0) {
            const AVFrame* f = v.decoded.get();
            // The decoder checked its own limits; ours are tighter.
            if (f->width < 1 || f->height < 1 || f->width > kMaxMediaSide || f->height > kMaxMediaSide || f->format < 0) {
                if (++bad > kMaxBadPackets) return AVERROR_INVALIDDATA;
                continue;
            }
            index = index_of(v, f);
            // Without a timestamp the frame follows the one before, when that one is known.
            if (index == kNoIndex && v.next_index != kNoIndex) index = v.next_index;
            v.next_index = index == kNoIndex ? kNoIndex : index + 1;
            return 0;
        }
        if (err != AVERROR(EAGAIN)) return err;
        if (v.flushed) return AVERROR_EOF;
        err = feed_decoder(s, v.codec.get(), v.index, Reader::video, v.flushed, bad);
        if (err < 0) return err;
    }
}

std::int64_t timestamp_of(const VideoSide& v, long long k)
{
    return v.first_ts + av_rescale_q(k, av_inv_q(v.rate), v.stream->time_base);
}

// Whether decoding on to frame k (at or after the next frame) is cheaper than seeking: when no
// key frame lies between them. The container's index says where key frames are; without one,
// codecs with predicted frames step on a short way and others seek.
bool steps_on_to(const VideoSide& v, long long k)
{
    if (k == v.next_index) return true;
    if (v.intra_only) return false;
    const AVIndexEntry* key = avformat_index_get_entry_from_timestamp(v.stream, timestamp_of(v, k), AVSEEK_FLAG_BACKWARD);
    if (key) return key->timestamp <= timestamp_of(v, v.next_index);
    return k - v.next_index < kForwardFrames;
}

enum class Found { yes, earlier, failed };

// Decodes on until frame k is v.shown. After a seek nothing counts before a key frame, and a key
// frame already past k asks for an earlier seek.
Found decode_until(MediaFile::State& s, long long k, bool after_seek, MediaStatus& status)
{
    VideoSide& v = s.video;
    bool keyed = !after_seek;
    bool have_previous = false;
    for (;;) {
        long long index = kNoIndex;
        const int err = receive(s, index);
        if (err == AVERROR_EOF) break;
        if (err < 0) {
            status = ZK_MEDIA_FAIL(kMediaDecodeFailed, "cannot decode frame " + std::to_string(k) + " of " + s.name + ": " + av_text(err));
            return Found::failed;
        }
        if (!keyed) {
            if (!is_key(v.decoded.get())) continue;
            keyed = true;
            if (index == kNoIndex || index > k) return Found::earlier;
        }
        if (index == kNoIndex) return Found::earlier; // lost count: only the start tells where we are
        if (index < k) {
            std::swap(v.previous, v.decoded);
            have_previous = true;
            continue;
        }
        if (index == k) {
            std::swap(v.shown, v.decoded);
            v.shown_index = k;
            return Found::yes;
        }
        // The file has no frame k of its own: it shows the one before again.
        if (!have_previous) return Found::earlier;
        std::swap(v.shown, v.previous);
        v.shown_index = k;
        v.next_index = kNoIndex; // the frame just decoded is not kept: the next read seeks
        return Found::yes;
    }
    if (!keyed) return Found::earlier; // no key frame from the seek to the end: start further back
    status = ZK_MEDIA_FAIL(kMediaDecodeFailed, s.name + " ends before its frame " + std::to_string(k));
    return Found::failed;
}

MediaStatus seek_to(MediaFile::State& s, long long k)
{
    VideoSide& v = s.video;
    long long back = 0;
    for (int attempt = 0; attempt < kSeekAttempts; ++attempt) {
        const long long target = std::max<long long>(0, k - back);
        const bool from_start = target == 0;
        const int err = av_seek_frame(s.format, v.index, timestamp_of(v, target), AVSEEK_FLAG_BACKWARD);
        s.last_reader = Reader::video;
        if (err < 0 && !from_start) {
            back = k;
            continue;
        }
        if (err < 0) return ZK_MEDIA_FAIL(kMediaDecodeFailed, "cannot seek in " + s.name + ": " + av_text(err));
        avcodec_flush_buffers(v.codec.get());
        v.flushed = false;
        // From the start, frames without timestamps are counted from 0.
        v.next_index = from_start ? 0 : kNoIndex;
        MediaStatus status;
        switch (decode_until(s, k, !from_start, status)) {
        case Found::yes: return {};
        case Found::failed: return status;
        case Found::earlier: break;
        }
        if (from_start) break;
        back = back == 0 ? 16 : back * 4;
    }
    return ZK_MEDIA_FAIL(kMediaDecodeFailed, "cannot find frame " + std::to_string(k) + " in " + s.name);
}

// Makes frame k the shown frame.
MediaStatus locate(MediaFile::State& s, long long k)
{
    VideoSide& v = s.video;
    if (v.shown_index == k) return {};
    if (s.last_reader == Reader::video && !v.flushed && v.next_index != kNoIndex && k >= v.next_index) {
        if (steps_on_to(v, k)) {
            MediaStatus status;
            switch (decode_until(s, k, false, status)) {
            case Found::yes: return {};
            case Found::failed: return status;
            case Found::earlier: break;
            }
        }
    }
    return seek_to(s, k);
}

// A scaler from the shown frame to width × height of `format`, made again only when something
// changed. Keys come out full range (black 0, white 255) whatever range the file has.
SwsContext* scaler_for(Scaler& sc, const AVFrame* f, int width, int height, AVPixelFormat format, bool full_range)
{
    if (sc.context && sc.src_w == f->width && sc.src_h == f->height && sc.src_format == f->format && sc.src_range == f->color_range &&
        sc.src_space == f->colorspace && sc.dst_w == width && sc.dst_h == height && sc.dst_format == format)
        return sc.context.get();
    sc.context.reset(sws_getContext(f->width, f->height, static_cast<AVPixelFormat>(f->format), width, height, format, SWS_BICUBIC,
                                    nullptr, nullptr, nullptr));
    if (!sc.context) return nullptr;
    int* inv_table = nullptr;
    int* table = nullptr;
    int src_range = 0, dst_range = 0, brightness = 0, contrast = 0, saturation = 0;
    if (sws_getColorspaceDetails(sc.context.get(), &inv_table, &src_range, &table, &dst_range, &brightness, &contrast, &saturation) >= 0) {
        // Standard definition unless the file says otherwise; the range as the file states it.
        const int space = f->colorspace == AVCOL_SPC_UNSPECIFIED || f->colorspace == AVCOL_SPC_RGB ? SWS_CS_ITU601 : f->colorspace;
        if (f->color_range == AVCOL_RANGE_JPEG) src_range = 1;
        if (f->color_range == AVCOL_RANGE_MPEG) src_range = 0;
        if (full_range) dst_range = 1;
        sws_setColorspaceDetails(sc.context.get(), sws_getCoefficients(space), src_range, table, dst_range, brightness, contrast,
                                 saturation);
    }
    sc.src_w = f->width;
    sc.src_h = f->height;
    sc.src_format = f->format;
    sc.src_range = f->color_range;
    sc.src_space = f->colorspace;
    sc.dst_w = width;
    sc.dst_h = height;
    sc.dst_format = format;
    return sc.context.get();
}

// Converts the shown frame into v.rows (padded rows of `bytes_per_pixel`); the row stride.
MediaStatus convert_rows(MediaFile::State& s, Scaler& sc, int width, int height, AVPixelFormat format, int bytes_per_pixel,
                         bool full_range, std::size_t& stride)
{
    VideoSide& v = s.video;
    const AVFrame* f = v.shown.get();
    SwsContext* ctx = scaler_for(sc, f, width, height, format, full_range);
    if (!ctx)
        return ZK_MEDIA_FAIL(kMediaDecodeFailed, "cannot convert the pictures of " + s.name + " (" +
                                                     av_get_pix_fmt_name(static_cast<AVPixelFormat>(f->format)) + ")");
    stride = (static_cast<std::size_t>(width) * static_cast<std::size_t>(bytes_per_pixel) + kRowAlign - 1) / kRowAlign * kRowAlign;
    std::size_t bytes = 0;
    if (!checked_mul(stride, static_cast<std::size_t>(height) + 1, bytes) || bytes > kMaxBufferBytes)
        return ZK_MEDIA_FAIL(kMediaTooLarge, "a picture of " + std::to_string(width) + " x " + std::to_string(height) + " is too large");
    if (v.rows.size() < bytes) v.rows.resize(bytes);
    std::uint8_t* dst[4] = {v.rows.data(), nullptr, nullptr, nullptr};
    const int dst_stride[4] = {static_cast<int>(stride), 0, 0, 0};
    const int rows = sws_scale(ctx, f->data, f->linesize, 0, f->height, dst, dst_stride);
    if (rows != height) return ZK_MEDIA_FAIL(kMediaDecodeFailed, "cannot convert frame " + std::to_string(v.shown_index) + " of " + s.name);
    return {};
}

} // namespace

MediaStatus open_video(MediaFile::State& s, MediaInfo& info)
{
    int index = -1;
    MediaStatus status = find_stream(s, AVMEDIA_TYPE_VIDEO, "video", index);
    if (!status.ok() || index < 0) return status;
    AVStream* st = s.format->streams[index];
    const AVCodecParameters* par = st->codecpar;
    const std::string& name = s.name;
    if (par->width < 1 || par->height < 1) return ZK_MEDIA_FAIL(kMediaUnreadable, "cannot read " + name + ": it states no picture size");
    if (par->width > kMaxMediaSide || par->height > kMaxMediaSide)
        return ZK_MEDIA_FAIL(kMediaTooLarge, "cannot read " + name + ": its pictures of " + std::to_string(par->width) + " x " +
                                                 std::to_string(par->height) + " are larger than the library takes");
    AVRational rate = st->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) rate = st->r_frame_rate;
    if (rate.num <= 0 || rate.den <= 0 || av_q2d(rate) < 1.0 || av_q2d(rate) > 1000.0)
        return ZK_MEDIA_FAIL(kMediaUnreadable, "cannot read " + name + ": it states no frame rate between 1 and 1000 a second");

    long long count = st->nb_frames;
    if (count <= 0 && st->duration != AV_NOPTS_VALUE && st->duration > 0) count = av_rescale_q(st->duration, st->time_base, av_inv_q(rate));
    if (count <= 0 && s.format->duration > 0) count = av_rescale_q(s.format->duration, AV_TIME_BASE_Q, av_inv_q(rate));
    if (count <= 0) return ZK_MEDIA_FAIL(kMediaUnreadable, "cannot read " + name + ": it states no length");
    // A day of frames is far beyond any clip; more means the header is wrong.
    if (static_cast<double>(count) > 86400.0 * av_q2d(rate))
        return ZK_MEDIA_FAIL(kMediaTooLarge, "cannot read " + name + ": it claims " + std::to_string(count) + " frames");

    CodecPtr codec;
    status = open_decoder(s, index, "video", codec);
    if (!status.ok()) return status;

    VideoSide& v = s.video;
    v.index = index;
    v.stream = st;
    v.codec = std::move(codec);
    v.decoded.reset(av_frame_alloc());
    v.shown.reset(av_frame_alloc());
    v.previous.reset(av_frame_alloc());
    if (!v.decoded || !v.shown || !v.previous) return ZK_MEDIA_FAIL(kMediaDecodeFailed, "out of memory opening " + name);
    v.rate = rate;
    v.frame_count = count;
    const AVCodecDescriptor* desc = avcodec_descriptor_get(par->codec_id);
    v.intra_only = desc && (desc->props & AV_CODEC_PROP_INTRA_ONLY);

    // The first frame out of the decoder is frame 0, whatever its timestamp.
    v.next_index = 0;
    long long first = kNoIndex;
    const int err = receive(s, first);
    if (err < 0) return ZK_MEDIA_FAIL(kMediaDecodeFailed, "cannot decode the first frame of " + name + ": " + av_text(err));
    const AVFrame* f = v.decoded.get();
    v.first_ts = f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : 0;
    std::swap(v.shown, v.decoded);
    v.shown_index = 0;
    v.next_index = 1;

    info.has_video = true;
    info.width = v.shown->width;
    info.height = v.shown->height;
    av_reduce(&info.rate_num, &info.rate_den, rate.num, rate.den, 1 << 30);
    info.frame_count = count;
    info.field_order = field_order_of(par, v.shown.get());
    info.has_alpha = has_alpha(v.shown->format);
    info.video_codec = v.codec->codec->name;
    return {};
}

} // namespace media

namespace {

MediaStatus check_picture_request(const MediaFile& file, long long frame, int width, int height, std::size_t out_size)
{
    const MediaInfo& info = file.info();
    if (!file.is_open()) return ZK_MEDIA_FAIL(kMediaNotOpen, "no media file is open");
    if (!info.has_video) return ZK_MEDIA_FAIL(kMediaNoStream, file.path() + " has no video");
    if (frame < 0 || frame >= info.frame_count)
        return ZK_MEDIA_FAIL(kMediaOutOfRange, "frame " + std::to_string(frame) + " is outside " + file.path() + " (frames 0 to " +
                                                   std::to_string(info.frame_count - 1) + ")");
    std::size_t bytes = 0;
    if (width < 1 || height < 1 || width > kMaxMediaSide || height > kMaxMediaSide || !image_bytes(width, height, 4, bytes))
        return ZK_MEDIA_FAIL(kMediaBadArgument, "cannot make a picture of " + std::to_string(width) + " x " + std::to_string(height));
    if (out_size < bytes / 4)
        return ZK_MEDIA_FAIL(kMediaBadArgument, "a picture of " + std::to_string(width) + " x " + std::to_string(height) +
                                                    " needs " + std::to_string(bytes / 4) + " pixels");
    return {};
}

} // namespace

MediaStatus MediaFile::read_picture(long long frame, int width, int height, std::span<std::uint32_t> out)
{
    MediaStatus status = check_picture_request(*this, frame, width, height, out.size());
    if (!status.ok()) return status;
    State& s = *state_;
    status = media::locate(s, frame);
    if (!status.ok()) return status;
    std::size_t stride = 0;
    status = media::convert_rows(s, s.video.fill_scaler, width, height, AV_PIX_FMT_BGRA, 4, false, stride);
    if (!status.ok()) return status;
    // BGRA bytes are the board's pixel words on a little-endian machine.
    const auto w = static_cast<std::size_t>(width);
    for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y)
        std::memcpy(out.data() + y * w, s.video.rows.data() + y * stride, w * 4);
    return {};
}

MediaStatus MediaFile::read_key(long long frame, KeyFrom from, int width, int height, std::span<std::uint32_t> out)
{
    MediaStatus status = check_picture_request(*this, frame, width, height, out.size());
    if (!status.ok()) return status;
    if (from == KeyFrom::alpha && !info_.has_alpha) return ZK_MEDIA_FAIL(kMediaNoStream, path_ + " has no alpha channel to key with");
    State& s = *state_;
    status = media::locate(s, frame);
    if (!status.ok()) return status;
    const bool luma = from == KeyFrom::luma;
    std::size_t stride = 0;
    status = media::convert_rows(s, s.video.key_scaler, width, height, luma ? AV_PIX_FMT_GRAY8 : AV_PIX_FMT_BGRA, luma ? 1 : 4, luma,
                                 stride);
    if (!status.ok()) return status;
    const auto w = static_cast<std::size_t>(width);
    const std::size_t step = luma ? 1 : 4;
    const std::size_t offset = luma ? 0 : 3;
    for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
        const std::uint8_t* key = s.video.rows.data() + y * stride + offset;
        std::uint32_t* row = out.data() + y * w;
        for (std::size_t x = 0; x < w; ++x) row[x] = (row[x] & 0x00FFFFFFu) | static_cast<std::uint32_t>(key[x * step]) << 24;
    }
    return {};
}

} // namespace zk
