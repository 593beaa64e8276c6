// Reading motion clips and sound files: one file (video, sound or both) opened through FFmpeg's
// libraries, its facts checked and stated in MediaInfo, any frame decoded exactly, any run of
// samples read at the board's rate.
//
// What the library reads: AVI and WAVE files (the containers clips and sound come in), with the
// video codecs of clips (FFV1, MJPEG, UT Video, HuffYUV, DV, uncompressed, MPEG-2, MPEG-4 part 2,
// H.264) and PCM sound. Anything else is refused as unreadable before a decoder sees it, so a
// file from elsewhere cannot reach parts of FFmpeg the library never needs.
//
// Frames are numbered from 0 at the first frame of the file. read_picture(k) gives frame k
// exactly, whatever the codec: when k is not the next frame in decoding order the file is sought
// to the key frame before k and decoded forward from there, discarding what comes before k.
// Sound is numbered in samples at the board's rate (48 kHz) from the first sample of the file;
// read_audio gives interleaved stereo (a mono file fills both channels; of more than two, the
// first two are used), resampled when the file has another rate.
//
// Every size, rate and count a file states is checked against the limits below before anything
// is allocated for it; a file that does not exist, is not media, or cannot be decoded gives a
// result code and a sentence, never a crash. A file stays open until close() or the
// destructor. One thread at a time uses a MediaFile. The FFmpeg types stay in the sources: this
// header is cheap to include.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/media/media_status.h"

namespace zk {

// The board's sound: 48 000 samples a second, two channels.
constexpr int kBoardSampleRate = 48000;

// Limits on what a file may state. A broadcast clip is far inside them.
constexpr int kMaxMediaSide = 4096;           // pixels, each way
constexpr int kMaxMediaSampleRate = 384000;   // samples a second
constexpr int kMaxMediaChannels = 64;

enum class FieldOrder {
    unknown,
    progressive,
    top_first,    // the even lines (0, 2, ...) come first in time
    bottom_first, // the odd lines come first: the board's own order
};

struct MediaInfo {
    // Video: absent when has_video is false.
    bool has_video = false;
    int width = 0;
    int height = 0;
    int rate_num = 0; // frames a second, as a fraction
    int rate_den = 1;
    long long frame_count = 0;
    FieldOrder field_order = FieldOrder::unknown;
    bool has_alpha = false; // the pictures carry a key of their own
    std::string video_codec;

    // Sound: absent when has_audio is false.
    bool has_audio = false;
    int sample_rate = 0; // of the file
    int channels = 0;    // of the file
    long long sample_count = 0;       // at the file's rate
    long long board_sample_count = 0; // at kBoardSampleRate
    std::string audio_codec;

    double duration = 0.0; // seconds: the longer of the video and the sound
};

// How a key is taken from a picture.
enum class KeyFrom {
    luma,  // a matte: the picture's brightness, full range (black 0, white 255)
    alpha, // the picture's own alpha
};

class MediaFile {
public:
    MediaFile();
    ~MediaFile();
    MediaFile(const MediaFile&) = delete;
    MediaFile& operator=(const MediaFile&) = delete;

    // Opens a file and checks that its first frame and its first samples decode.
    MediaStatus open(const std::string& path);
    // The same on bytes in memory (the bytes must outlive the open file); `name` is what the
    // error texts call it.
    MediaStatus open_memory(std::span<const std::uint8_t> bytes, const std::string& name = "memory");
    void close();

    bool is_open() const;
    const MediaInfo& info() const;
    const std::string& path() const;

    // Frame `frame` as width × height pixels (blue | green << 8 | red << 16 | key << 24, rows
    // packed, top row first), scaled from the file's size when it differs; the key is the
    // picture's alpha, or 255 when it has none. `out` holds at least width × height pixels.
    MediaStatus read_picture(long long frame, int width, int height, std::span<std::uint32_t> out);
    // Frame `frame`'s key (luma or alpha), scaled likewise, written into the key byte of each
    // pixel of `out`; the other bytes are left as they are.
    MediaStatus read_key(long long frame, KeyFrom from, int width, int height, std::span<std::uint32_t> out);

    // Samples [first, end) at kBoardSampleRate as interleaved stereo: `out` holds at least
    // 2 × (end − first) values. Samples past the end of the sound are silence.
    MediaStatus read_audio(long long first, long long end, std::span<std::int16_t> out);
    MediaStatus read_audio(long long first, long long end, std::span<float> out);

    struct State;

private:
    // Opens the container of `s` (its reader set up, or a URL) and what is in it.
    MediaStatus open_input(std::unique_ptr<State> s, const std::string& url, bool from_file);

    std::unique_ptr<State> state_;
    MediaInfo info_;
    std::string path_;
};

} // namespace zk
