// The one place that knows FFmpeg: writes whole interlaced frames of 32-bit pixels (blue,
// green, red, key bytes in memory) to a Matroska file through a lossless codec that keeps the
// key, flagged bottom field first at the frame rate it is given.
//
// Frames are repacked into what the codec takes (bytes only move, see pixel_repack.h), encoded
// one at a time and muxed at once, so what was written is on disk when finish() returns. The FFmpeg types stay in the
// source file: this header is cheap to include.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/recorder/program_recorder.h"
#include "platform/recorder/recorder_status.h"

namespace zk {

struct VideoFormat {
    int width = 0;
    int height = 0;
    int rate_num = 30000; // frames a second, as a fraction
    int rate_den = 1001;
    RecorderCodec codec = RecorderCodec::ffv1;
    bool audio = false; // a second stream: 16-bit stereo PCM at 48 kHz
};

class VideoWriter {
public:
    VideoWriter();
    ~VideoWriter(); // finishes an unfinished file, so what was written stays readable
    VideoWriter(const VideoWriter&) = delete;
    VideoWriter& operator=(const VideoWriter&) = delete;

    // Sets the encoder up first and creates the file only when it accepted the format, so a
    // refused format leaves no empty file behind.
    RecorderStatus open(const std::string& path, const VideoFormat& format);
    // One frame of width × height pixels, rows packed.
    RecorderStatus write(std::span<const std::uint32_t> frame);
    // Stereo samples (interleaved, 16-bit) that follow the sound written so far.
    RecorderStatus write_audio(std::span<const std::int16_t> samples);
    // Drains the encoder and closes the file; frames written: frames(). A file that got no
    // frame is removed (readers refuse one).
    RecorderStatus finish();

    bool is_open() const;
    long long frames() const;
    long long audio_samples() const; // stereo pairs written

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace zk
