// What an open MediaFile holds, in FFmpeg's types: shared by the three sources that read a
// file (opening and probing, pictures, sound). Only those sources include this header.
//
// The demuxer has one read position for the whole file. The picture side and the sound side
// each keep their own place in their stream, which stays valid only while nobody else read from
// the file in between: `last_reader` says who did, and the other side seeks before it reads on.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <cstdint>
#include <climits>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/media/media_file.h"

namespace zk::media {

struct CodecFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsFree {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct SwrFree {
    void operator()(SwrContext* s) const { swr_free(&s); }
};

using CodecPtr = std::unique_ptr<AVCodecContext, CodecFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;

std::string av_text(int err);

enum class Reader { none, video, audio };

// A frame or sample number not known.
constexpr long long kNoIndex = INT64_MIN;

// A scaler kept while the frames and the size asked for stay the same.
struct Scaler {
    std::unique_ptr<SwsContext, SwsFree> context;
    int src_w = 0, src_h = 0, src_format = -1, src_range = -1, src_space = -1;
    int dst_w = 0, dst_h = 0, dst_format = -1;
};

struct VideoSide {
    int index = -1; // stream number; -1: no video
    AVStream* stream = nullptr;
    CodecPtr codec;
    FramePtr decoded;  // the frame just received
    FramePtr shown;    // the frame last given out, kept for asking again
    FramePtr previous; // the frame before the one being looked for (a frame repeated by the file)
    long long shown_index = kNoIndex;
    long long next_index = kNoIndex; // the frame the decoder gives next; kNoIndex: seek first
    std::int64_t first_ts = 0;  // timestamp of frame 0
    AVRational rate{0, 1};      // frames a second
    long long frame_count = 0;
    bool intra_only = false;    // every frame decodes alone: seeking is as cheap as stepping
    bool flushed = false;       // the end of the stream was sent to the decoder
    Scaler fill_scaler;
    Scaler key_scaler;
    std::vector<std::uint8_t> rows; // converted rows, padded: the scaler may write past a row's end
};

struct AudioSide {
    int index = -1; // stream number; -1: no sound
    AVStream* stream = nullptr;
    CodecPtr codec;
    FramePtr decoded;
    std::int64_t first_ts = 0;
    // The resampler, set up for the frames as they come (rate, format, channels).
    std::unique_ptr<SwrContext, SwrFree> resampler;
    int in_rate = 0, in_format = -1, in_channels = 0;
    std::vector<float> converted; // the resampler's output, the file's channels interleaved
    long long sample_count = 0;   // at the board's rate
    // Converted samples waiting to be read: interleaved stereo, float, at the
    // board's rate; pending[0] is sample `pending_start` (kNoIndex: no place known, seek first).
    std::vector<float> pending;
    long long pending_start = kNoIndex;
    bool flushed = false; // the end of the stream was sent to the decoder
    bool drained = false; // the decoder and the resampler have given everything
};

// Where the bytes of a file opened from memory are read.
struct MemoryInput {
    std::span<const std::uint8_t> bytes;
    std::int64_t at = 0;
};

} // namespace zk::media

namespace zk {

struct MediaFile::State {
    std::string name; // what error texts call the file
    media::MemoryInput memory;
    AVIOContext* memory_io = nullptr; // owned when the file was opened from memory
    AVFormatContext* format = nullptr;
    media::PacketPtr packet;
    media::Reader last_reader = media::Reader::none;
    media::VideoSide video;
    media::AudioSide audio;

    ~State();
};

namespace media {

// Whether the library decodes this codec (the codecs of clips and PCM sound).
bool readable_codec(AVCodecID id);

// The file's main stream of `type`, when it has one the library decodes: its number, -1 when
// there is none, or a failure that names the file ("its video is vp9, which the library does
// not decode"). `what` names the kind for the texts ("video", "sound").
MediaStatus find_stream(MediaFile::State& s, AVMediaType type, const char* what, int& index);
// Opens the decoder of stream `index` (checked by the caller) on one thread.
MediaStatus open_decoder(MediaFile::State& s, int index, const char* what, CodecPtr& codec);

// Damaged packets in a row that decoding skips before it gives up.
constexpr int kMaxBadPackets = 64;

// Gives the decoder of stream `index` its next packet (packets of other streams are dropped),
// or, at the end of the file, the end of the stream (and sets `flushed`): 0, or an error that
// ends decoding. A read error ends the stream as the end of the file does. A damaged packet
// costs its own frame: it is skipped, and counted in `bad`.
int feed_decoder(MediaFile::State& s, AVCodecContext* codec, int index, Reader reader, bool& flushed, int& bad);

// Called by open: check the stream's facts, open its decoder, decode its first frame (or
// samples) and fill in its part of `info`.
MediaStatus open_video(MediaFile::State& s, MediaInfo& info);
MediaStatus open_audio(MediaFile::State& s, MediaInfo& info);

} // namespace media
} // namespace zk
