// Decoding ahead of the field clock, so the per-field path never waits for a decoder.
//
// A FramePrefetcher owns a worker thread (a library thread: the settle point knows it) that
// decodes the frames the consumer will want into a bounded queue of pictures made once at
// start. The consumer, on its per-field path, says where it is going with cue(frame, speed)
// (play forward or backward at any speed, a seek or a scrub position with speed 0) and calls
// take(frame) once per field. take never waits for the worker: the frame is there (ready), or
// it is not yet (not_ready: counted, with its number kept, and current() still holds the last
// frame shown, which the consumer shows again), or it could not be decoded (failed, likewise).
// A take of a frame the plan did not foresee re-plans from that frame at the same speed, so a
// consumer that only ever calls take still gets frames ahead of it.
//
// The frames foreseen from cue(f, v): f, then f + trunc(i × v) for i = 1, 2, ... inside the
// clip, each frame once (at half speed the same frame is asked for twice and decoded once).
//
// The queue is shared under one lock, held only to move a picture in or out, never while
// decoding. cue, take, current and counts are for the consumer's thread; the source is used
// on the worker's thread alone while it runs.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/media/media_status.h"
#include "platform/win32/afx_thread.h"

namespace zk {

// A decoded frame: width × height pixels (blue | green << 8 | red << 16 | key << 24), rows
// packed, top row first.
struct VideoPicture {
    int width = 0;
    int height = 0;
    long long frame = -1; // -1: none yet
    std::vector<std::uint32_t> pixels;
};

// What the prefetcher decodes from: a clip, or a stand-in in tests.
class FrameSource {
public:
    virtual ~FrameSource() = default;
    virtual long long frame_count() const = 0;
    virtual int width() const = 0;
    virtual int height() const = 0;
    // Frame `frame` into `out`, whose pixels hold width() × height().
    virtual MediaStatus decode_frame(long long frame, VideoPicture& out) = 0;
};

enum class TakeResult {
    ready,     // current() is the frame asked for
    not_ready, // not decoded yet: current() is still the last frame shown
    failed,    // cannot be decoded, or outside the clip: current() is still the last frame shown
};

struct PrefetchCounts {
    long long takes = 0;
    long long ready = 0;
    long long misses = 0;       // takes that found their frame not decoded yet
    long long failures = 0;     // takes of a frame that could not be decoded or lies outside the clip
    long long last_missed = -1; // the frame of the latest miss
    long long decoded = 0;      // frames the worker decoded and queued
    long long discarded = 0;    // decoded frames passed over (the consumer moved elsewhere)
};

class FramePrefetcher {
public:
    // `source` must outlive the prefetcher; `queue_frames` (1 to 64) pictures are decoded ahead.
    explicit FramePrefetcher(FrameSource& source, int queue_frames = 8);
    ~FramePrefetcher();
    FramePrefetcher(const FramePrefetcher&) = delete;
    FramePrefetcher& operator=(const FramePrefetcher&) = delete;

    // Makes the pictures and starts the worker, which decodes from frame 0 forward until told
    // otherwise. Fails when it runs already, the source has no frames, or no thread can be made.
    MediaStatus start();
    // Ends the worker (after the frame it is decoding) and waits for it.
    void stop();

    // The frame wanted next and how the consumer moves on from it: `speed` frames of video per
    // frame of time (1 plays, -1 plays backward, 2 doubles, 0.5 halves, 0 holds one frame).
    void cue(long long frame, double speed);
    TakeResult take(long long frame);
    // The last frame taken (frame -1 before the first).
    const VideoPicture& current() const;

    PrefetchCounts counts() const;
    // The frames of the latest misses, oldest first (at most 64).
    std::vector<long long> recent_misses() const;
    // What the source said when a frame could not be decoded.
    std::string last_error() const;

private:
    struct Entry {
        long long frame = -1;
        MediaStatus status;
        std::unique_ptr<VideoPicture> picture;
    };
    // The frames foreseen: origin + trunc(step × speed) for step = 0, 1, ..., each once.
    struct Plan {
        long long origin = 0;
        double speed = 1.0;
        unsigned long long generation = 0;
        long long step = 0;      // the next step to look at
        long long last = -1;     // the last frame handed to the worker
        bool done = false;       // left the clip, or a held frame was handed out
    };

    static UINT run(LPVOID self);
    void work();
    bool next_planned(long long& frame); // under lock_
    void replan(long long frame, double speed); // under lock_
    void drop_queue(std::size_t count); // under lock_: the first `count` entries go back unused
    long long queued_index(long long frame) const; // under lock_

    FrameSource& source_;
    const std::size_t capacity_;
    OwnedThread thread_;
    HANDLE wake_ = nullptr;

    mutable std::mutex lock_;
    // Under lock_.
    Plan plan_;
    std::deque<Entry> queue_;
    std::vector<std::unique_ptr<VideoPicture>> spare_;
    long long in_flight_ = -1;
    unsigned long long in_flight_generation_ = 0;
    bool quit_ = false;
    PrefetchCounts counts_;
    std::deque<long long> misses_;
    std::string error_;
    long long frame_count_ = 0;

    // The consumer's own.
    std::unique_ptr<VideoPicture> current_;
};

} // namespace zk
