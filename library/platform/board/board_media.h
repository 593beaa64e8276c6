// Clips and sound on the board: the motion lines' pictures on their Fiesta channels and the
// wave sources' sound, both following the timeline of the graph that plays them.
//
// A motion line is a clip (name.avi with its matte or alpha, see platform/media/motion_clip.h)
// loaded in a file source of a graph, shown on two Fiesta channels: the fill channel gets the
// fill with the clip's key, the key channel the key as a grey picture that keys nothing of its
// own. At every field the board composes, the line looks up the frame at the position the
// source's timeline gives for the start of that field (frame k is on show from position k
// frame periods on, as a seek to that frame leaves it) and hands it to its channels as their
// live input; the channels take it as they take any input (a frozen channel keeps its frame).
// Frames are decoded ahead on a worker (FramePrefetcher): the line cues the worker whenever
// the timeline changes, and a field never waits for it. A frame that is not ready when its
// field is composed is a miss: the last frame stays on show and the miss is counted.
//
// The journal has a StateChange entry (target "MotionLine<n>", code 1) when a line starts and
// (code 0) when it stops, a Still entry (code = the frame) for every new frame a line hands
// its channels, and a Note entry, not ok, for every field whose frame was not ready. Sound
// starting and stopping are StateChange entries of target "Sound".
//
// Sound: the left and right sources' files (or one file) are read whole at 48 kHz stereo when
// attached; each field's span of board time is cut from them at the timeline's position while
// the timeline moves (silence otherwise, and silence with no wave sound: live sound has no
// capture device here), with the audio mixer's master volume applied: the volume word is a
// level in decibels (signed, 24 fraction bits), 0 the file's own level. One file alone plays
// its own two channels (a mono file on both sides); a left and a right file each give their
// first channel.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "core/zorvik_api.h"
#include "platform/filtergraph/dshow_interfaces.h"

namespace zk {

class VirtualBoard;
namespace mixer {
class MixerModel;
}

struct MotionLineCounts {
    long long fields = 0;   // fields composed while the line was attached
    long long ready = 0;    // ... whose frame was there
    long long misses = 0;   // ... whose frame was not decoded yet: the last one stayed
    long long failures = 0; // ... whose frame could not be decoded
    long long last_missed = -1;
    long long frame = -1; // the frame on show
};

// Longest sound a wave source may hold.
inline constexpr double kMaxBoardSoundSeconds = 600.0;

class ZORVIK_API BoardMedia : public std::enable_shared_from_this<BoardMedia> {
public:
    explicit BoardMedia(VirtualBoard& board);
    ~BoardMedia();
    BoardMedia(const BoardMedia&) = delete;
    BoardMedia& operator=(const BoardMedia&) = delete;

    // Shows the clip loaded in `fill_source` on the two channels as motion line `line` (0 or
    // 1), replacing what the line showed. Fails (with last_error) when the source has no file
    // or the clip cannot be opened; S_FALSE, showing nothing, for a clip of the media
    // catalogue (a length without pictures).
    HRESULT attach_motion_line(int line, IBaseFilter* fill_source, int fill_channel, int key_channel);
    void detach_motion_line(int line);
    MotionLineCounts motion_counts(int line) const;

    // Plays the files loaded in the sources (either may be null, not both); S_FALSE, playing
    // nothing, when neither holds sound (clips of the media catalogue).
    HRESULT attach_sound(IBaseFilter* left, IBaseFilter* right);
    void detach_sound();
    bool has_sound() const;
    // The board's sound for field `field`: out.size() / 2 stereo pairs.
    void sound_for_field(long long field, std::span<std::int16_t> out);

    std::string last_error() const;

    struct Line;
    struct Sound;

private:
    void field(long long field); // the mixer's field hook
    void cue(int line);          // a timeline changed
    void install_hook_locked();

    VirtualBoard& board_;
    mutable std::mutex lock_;
    std::vector<std::shared_ptr<Line>> lines_; // two
    std::shared_ptr<Sound> sound_;
    std::string error_;
    bool hooked_ = false;
    std::shared_ptr<mixer::MixerModel> model_; // set with the hook
};

// The board's clips and sound, made on first use.
ZORVIK_API std::shared_ptr<BoardMedia> board_media(VirtualBoard& board);
// Those of the current board.
ZORVIK_API std::shared_ptr<BoardMedia> current_board_media();

} // namespace zk
