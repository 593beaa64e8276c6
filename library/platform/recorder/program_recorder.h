// Recording the program output: the fields the board shows, written to a video file that keeps
// the key, and optionally to one PAM picture per frame.
//
// The board hands over every field as it goes to air: the lines of that field's parity, fill
// and key, as 32-bit pixels (blue | green << 8 | red << 16 | key << 24, key 0 transparent).
// The board's convention for the two fields of a frame:
//   - the first field is the odd lines (0-based 1, 3, 5, ...) and comes first in time;
//   - the second field is the even lines (0, 2, 4, ...) and follows it.
// So the frames recorded here are interlaced BOTTOM FIELD FIRST, and the file says so
// (Matroska field order "bottom field first, displayed first").
//
// Two fields make a frame. Lines of a field that never came (a recording that starts on a
// second field, a first field followed by another first field, a first field left alone when
// the recording closes) keep what the previous frame had there, as the board's memory would;
// before the first frame that is transparent black. Nothing given is dropped.
//
// The file is Matroska with one video stream, lossless with the key (UT Video, planar RGB with
// alpha, every frame a key frame) at 30000/1001 or 25 frames a second. UT Video is the codec
// that stays inside a quarter of a field period per field on one core whatever is on air
// (about 3 ms); FFV1 and PNG compress captions far better but need most of a field period, or
// more, per field once the picture gets busy (bench/bench_recorder.cpp has the figures).
// A recording closed before its first frame leaves no video file behind: a Matroska file
// without frames is refused by the readers (FFmpeg's among them), so it would only mislead.
// The caller only copies lines: frames are encoded on a worker thread behind a bounded queue;
// when the encoder falls behind by a whole queue the caller waits rather than losing frames.
//
// With `audio` set the file has a second stream: the board's sound, 16-bit stereo PCM at
// 48 kHz. Each field carries the samples of its own span of board time, so the sound is
// always exactly as long as the pictures (800 or 801 samples a field at 59.94 fields a
// second, 960 at 50); sound given for a field is cut or padded with silence to that count,
// and a field given none is silence.
//
// Turning recording on from outside the host: recorder_from_environment() reads
//   ZORVIK_RECORD=/path/out.mkv          the video file to write
//   ZORVIK_RECORD_SNAPSHOTS=/path/dir    a folder for one PAM picture per frame
// (either or both). A board calls it once when it starts and feeds the recorder it returns.
//
// Every operation returns a RecorderResult (0 success, negative failure); last_error() holds
// a sentence saying what failed. No exception leaves these calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "core/zorvik_api.h"

namespace zk {

// The board's sound in a recording: samples a second.
inline constexpr int kRecordedSampleRate = 48000;

enum RecorderResult : int {
    kRecorderOk = 0,
    kRecorderBadArgument = -1, // standard, size, parity, too few pixels, stride below the width
    kRecorderNotOpen = -2,     // nothing is being recorded
    kRecorderAlreadyOpen = -3, // open while a recording runs
    kRecorderCannotCreate = -4, // the video file or a snapshot could not be created or written
    kRecorderEncoderFailed = -5, // the encoder or the container refused the stream or a frame
};

// The parity of a field, as the board's field status word counts it (bit 0).
enum class FieldParity : int {
    first = 0,  // odd lines 1, 3, 5, ...: earlier in time
    second = 1, // even lines 0, 2, 4, ...: later in time
};

// The lossless codecs the recorder can write. UT Video is the one recordings use; the others
// are kept so the benchmark can show why, and for a host that prefers smaller files to a
// bounded cost.
enum class RecorderCodec : int {
    utvideo = 0, // planar green, blue, red, key; left prediction and Huffman codes
    ffv1 = 1,    // the board's bytes as they are; Golomb-Rice coder, per-slice checksums
    png = 2,     // red, green, blue, key bytes, every frame a PNG
};

struct RecorderSettings {
    std::string video_path;   // Matroska file to write; empty: none
    std::string snapshot_dir; // folder for frame_NNNNNN.pam; empty: none
    int snapshot_every = 1;   // keep every n-th frame as a snapshot (1: all)
    int standard = 1;         // 1: 60000/1001 fields a second; 2 or 3: 50
    int width = 720;
    int height = 486;
    RecorderCodec codec = RecorderCodec::utvideo;
    int queue_frames = 8;     // frames that may wait for the encoder before add_field waits
    bool audio = false;       // a sound stream beside the pictures (video files only)
};

// What a recorder has done so far.
struct RecorderCounts {
    long long fields = 0;          // fields accepted
    long long frames = 0;          // frames completed and handed to the writer
    long long held_fields = 0;     // fields of completed frames that kept the previous frame's lines
    long long snapshots = 0;       // PAM pictures written
    long long audio_samples = 0;   // stereo sample pairs handed to the writer with their frames
};

class ZORVIK_API ProgramRecorder {
public:
    ProgramRecorder();
    ~ProgramRecorder(); // closes a running recording
    ProgramRecorder(const ProgramRecorder&) = delete;
    ProgramRecorder& operator=(const ProgramRecorder&) = delete;

    // Starts a recording to `path` (Matroska, whatever the name's extension).
    int open(const std::string& path, int standard, int width = 720, int height = 486);
    int open(const RecorderSettings& settings);

    // One field from a whole picture: `height` rows of `width` pixels, `stride` pixels apart;
    // only the rows of the field's parity are read.
    int add_field(FieldParity parity, std::span<const std::uint32_t> picture, std::size_t stride);
    // One field from its own lines only, top to bottom: the first field's lines 1, 3, 5, ...
    // or the second field's 0, 2, 4, ..., `stride` pixels apart.
    int add_field_lines(FieldParity parity, std::span<const std::uint32_t> lines, std::size_t stride);

    // The sound of the next field (interleaved stereo), given before that field's pictures;
    // it is cut or padded to field_audio_samples(). Only with RecorderSettings::audio.
    int add_field_audio(std::span<const std::int16_t> stereo);
    // Sample pairs the next field carries.
    int field_audio_samples() const;
    // Sample pairs of field `index` (from 0) on a video standard: the fields' spans of board
    // time at 48 kHz, so any run of fields holds exactly its duration of sound.
    static int audio_samples_of_field(int standard, long long index);

    // Completes a frame left half done, writes what waits, and finishes the file.
    int close();

    // For the thread that feeds the recorder, like the calls above.
    bool is_open() const;
    bool records_audio() const; // open, with a sound stream
    RecorderCounts counts() const;
    const std::string& last_error() const;

    // Rows of a field of a picture `height` rows tall: the first field has height / 2, the
    // second (height + 1) / 2.
    static int field_rows(FieldParity parity, int height);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The recorder asked for by ZORVIK_RECORD and ZORVIK_RECORD_SNAPSHOTS, opened for a picture of
// width × height on the video standard; null when neither variable is set. When opening fails
// the recorder is returned closed, with the reason in last_error(), so the caller can say so.
ZORVIK_API std::unique_ptr<ProgramRecorder> recorder_from_environment(int standard, int width = 720, int height = 486);

} // namespace zk
