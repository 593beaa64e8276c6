// CKrAnimeCtr: up to 32 frame animations on air at once.
//
// Each animation lives in a slot numbered 0 to 31: a strip of N equally sized frames stacked
// top to bottom in one frame buffer, loaded from numbered Targa files or from one file holding
// the whole strip, optionally laid over or under the rectangle of a graphics bank that it will
// cover on air. Once started, a slot's player (a field worker at normal priority) is handed
// every field by AnimeEventSet and writes the frame due into that field of the graphics output,
// two fields a frame, with the start delay, hold, pass count and stop rule of the frame player
// (effects/frame_player.h). A stopped or finished animation leaves its last frame on air and
// keeps its strip until CAnimeReset or the next CAnimeSet1.
//
// Results: 1 success, 0 failure (with its message reported through the library's message
// sink and kept as the last error text), except AnimeWait (1 nothing to wait for, 2 an endless
// animation runs, 0 all have ended) and AnimeEventSet (none).
//
// Frame-file names come from a pattern the caller gives, filled with each frame's number by
// the animation core's own formatter: a pattern it refuses (anything but one integer
// conversion) is reported as "AnimeImageLoadErr[<pattern>]" and nothing is loaded.
//
// Threads: the host calls the operations; the vertical-sync thread calls AnimeEventSet, which
// only posts fields and signals; each running slot has its worker. Flags are atomics. A slot's
// strip is guarded by a lock of its own, held by the worker for one field write and by the
// loaders for one composite, so frames may be reloaded while a strip plays without tearing a
// field. The controller joins every worker when it is destroyed.
#pragma once

#include <atomic>
#include <memory>

#include "core/zorvik_api.h"
#include "framebuffer/kr_frame_buffer.h"
#include "platform/framework/cstring.h"
#include "platform/framework/geometry.h"
#include "platform/win32/win32_sync.h"

class CMQGraph;
class CKrGfb;

namespace zk {
struct AnimeSlot;
}

class ZORVIK_API CKrAnimeCtr {
public:
    static constexpr int kSlots = 32;

    CKrAnimeCtr();
    virtual ~CKrAnimeCtr();
    CKrAnimeCtr(const CKrAnimeCtr&) = delete;
    CKrAnimeCtr& operator=(const CKrAnimeCtr&) = delete;

    // Borrows the effects graph and the banks (both must outlive the controller); 1.
    int Initial(CMQGraph* graph, CKrGfb* gfb);

    // Prepares slot `no` for `frames` frames of width × height, shown from `src` inside each
    // frame at `dst` on the output, with a zero-filled strip. The two unused values are kept.
    int CAnimeSet1(int no, int frames, int unused1, POINT src, int width, int height, int unused2, POINT dst);
    // Loads frames 0 to N-1 from `format` filled with first, first + 1, ...; each file is laid
    // by its key into its frame, resized to the frame first when `resize` is set. A bank other
    // than -1 layers the frames with the rectangle under the animation: layer 1 puts the
    // frames over it, layer 2 puts it over the frames.
    int CAnimeLoad(int no, int first, int bank, int layer, char* format, int resize);
    // Loads one file holding the whole strip, laid by its key from the top left.
    int CAnimeLoad_AniImg(int no, int bank, int layer, char* name);
    // Saves the strip as a run-length Targa file.
    int CAnimeSave(int no, char* name);
    // Sets passes (0 endless), delay and hold (in fields) and the stop rule, and asks for a start.
    int CAnimeSet2(int no, int passes, int delay, int hold, int stopAtOnce);
    // Starts every animation asked for that is not playing; 1.
    int CAnimeStart();
    // Asks an animation to stop: at its next frame step with stop-at-once, else at the end of
    // its cycle.
    int CAnimeStop(int no);
    int CAnimeStopAll();
    // Frees a slot and its strip; 0 (silently) for a number out of range, a free slot, or an
    // animation that is enabled or still playing.
    int CAnimeReset(int no);

    // Called by the vertical-sync thread every field: posts the field to every playing slot.
    void AnimeEventSet(unsigned long field);
    // Blocks the caller (never the vertical-sync thread) until the playing animations end.
    int AnimeWait();

    // One field of slot `no`'s player, on its worker; false when the animation has ended.
    BOOL CAnimeWatchProc(int no, unsigned long field);

    const CString& GetErrorText() const { return m_strErr; }

    // For tests and hosts that look: a slot's strip (null for a number out of range), whether
    // it is prepared, enabled, playing, and how many fields its player has seen.
    const CKrFrameBuffer* strip(int no) const;
    bool prepared(int no) const;
    bool enabled(int no) const;
    bool playing(int no) const;
    long fields_seen(int no) const;

private:
    zk::AnimeSlot* slot_of(int no) const;
    int fail(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    // The checks the loaders and CAnimeSave share: number and prepared slot.
    zk::AnimeSlot* loadable(int no);
    // Runs `load` between the layering steps the bank and layer mode ask for.
    template <class Load>
    int load_layered(zk::AnimeSlot& s, int bank, int layer, Load&& load);
    int running_count() const;

    std::unique_ptr<zk::AnimeSlot[]> m_pSlot;
    std::atomic<long> m_bActive{0};
    std::atomic<CMQGraph*> m_pGraph{nullptr};
    std::atomic<CKrGfb*> m_pGfb{nullptr};
    CString m_strErr;
    HANDLE m_hProgress = nullptr;
};
