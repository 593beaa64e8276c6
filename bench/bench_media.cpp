// What decoding the motion clip costs per field, on one core: the sample clip's fill and matte
// (720 × 486, 29.97 frames a second, FFV1) made into the board's pixels with their key, frame
// after frame as a playing clip asks for them.
//
// "DecodeField.clip.zorvik" is MotionClip::decode_frame (decode fill and matte, convert the fill
// to 32-bit pixels, put the matte's brightness into the key); "DecodeField.clip.ffmpeg" is the
// floor under it: FFmpeg decoding the same two streams' packets and nothing else, so the ratio
// run_ratios.py prints is what the conversion and keying add. A frame lasts two fields, so each
// iteration (one frame) is measured against two field periods: the "field_period" counter is
// that frame period, and the share run_ratios.py prints is the share of one field per field.
// Counters: ms_per_field, share_of_field (of 16.68 ms).
//     taskset -c 1 build/release/bin/bench_media
#include <benchmark/benchmark.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <ctime>
#include <string>

#include "bench_support.h"
#include "platform/media/motion_clip.h"

namespace {

constexpr double kFieldSeconds = 1001.0 / 60000.0;
const std::string kClip = std::string(ZORVIK_SOURCE_DIR) + "/samples/motion/zorvik_motion";

// Processor time of the iterations (frames) per field, in milliseconds and in field periods.
void report(benchmark::State& state, std::clock_t start)
{
    const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    const double per_field = seconds / (2.0 * static_cast<double>(state.iterations()));
    state.counters["field_period"] = 2 * kFieldSeconds;
    state.counters["ms_per_field"] = per_field * 1000.0;
    state.counters["share_of_field"] = per_field / kFieldSeconds;
}

void decode_clip(benchmark::State& state)
{
    zk::MotionClip clip;
    const zk::MediaStatus status = clip.open(kClip);
    if (!status.ok()) {
        state.SkipWithError(status.text.c_str());
        return;
    }
    zk::VideoPicture picture;
    long long frame = 0;
    const std::clock_t start = std::clock();
    for (auto _ : state) {
        if (!clip.decode_frame(frame, picture).ok()) {
            state.SkipWithError("a frame did not decode");
            return;
        }
        benchmark::DoNotOptimize(picture.pixels.data());
        frame = (frame + 1) % clip.frame_count();
    }
    report(state, start);
}

// FFmpeg alone: the next packet of a file decoded into a frame, the file rewound at its end.
class PlainDecoder {
public:
    explicit PlainDecoder(const std::string& path)
    {
        if (avformat_open_input(&format_, path.c_str(), nullptr, nullptr) < 0 || avformat_find_stream_info(format_, nullptr) < 0) return;
        stream_ = av_find_best_stream(format_, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (stream_ < 0) return;
        const AVCodec* decoder = avcodec_find_decoder(format_->streams[stream_]->codecpar->codec_id);
        codec_ = avcodec_alloc_context3(decoder);
        avcodec_parameters_to_context(codec_, format_->streams[stream_]->codecpar);
        codec_->thread_count = 1;
        if (avcodec_open2(codec_, decoder, nullptr) < 0) return;
        packet_ = av_packet_alloc();
        frame_ = av_frame_alloc();
        ok_ = true;
    }
    ~PlainDecoder()
    {
        av_frame_free(&frame_);
        av_packet_free(&packet_);
        avcodec_free_context(&codec_);
        avformat_close_input(&format_);
    }
    PlainDecoder(const PlainDecoder&) = delete;
    PlainDecoder& operator=(const PlainDecoder&) = delete;

    bool ok() const { return ok_; }
    bool next()
    {
        for (;;) {
            if (avcodec_receive_frame(codec_, frame_) == 0) return true;
            int err = av_read_frame(format_, packet_);
            if (err < 0) {
                av_seek_frame(format_, stream_, 0, AVSEEK_FLAG_BACKWARD);
                avcodec_flush_buffers(codec_);
                continue;
            }
            if (packet_->stream_index == stream_) err = avcodec_send_packet(codec_, packet_);
            av_packet_unref(packet_);
            if (err < 0 && err != AVERROR(EAGAIN)) return false;
        }
    }

private:
    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    int stream_ = -1;
    bool ok_ = false;
};

void decode_plain(benchmark::State& state)
{
    PlainDecoder fill(kClip + ".avi");
    PlainDecoder matte(kClip + ".matte.avi");
    if (!fill.ok() || !matte.ok()) {
        state.SkipWithError("cannot open the sample clip");
        return;
    }
    const std::clock_t start = std::clock();
    for (auto _ : state) {
        if (!fill.next() || !matte.next()) {
            state.SkipWithError("a frame did not decode");
            return;
        }
    }
    report(state, start);
}

BENCHMARK(decode_clip)->Name("DecodeField.clip.zorvik")->Unit(benchmark::kMillisecond);
BENCHMARK(decode_plain)->Name("DecodeField.clip.ffmpeg")->Unit(benchmark::kMillisecond);

} // namespace
