// CKrFadeCtr: up to 32 fades on air at once.
//
// A fade takes one rectangle of the graphics banks, builds every step of its transition as a
// strip of frames before it starts (effects/fade_core.h: fade in, fade out, out then in,
// dissolve, cross-dissolve), and once started shows one frame per video frame, each frame into
// both fields of the output through the effects graph. The frame player (effects/
// frame_player.h) decides, field event by field event, which frame goes into which field, the
// delay before the first, and when the run ends; this class keeps the legacy operations, the
// slots' flags and one player thread per running fade.
//
// Results: 1 success, 0 failure (with a message through the library's message sink:
// "FadeNo Err[%d]", "FadeSpeed Err[%d]", "FadeSizeW Err[%d]%d", "FadeSizeH Err[%d]%d",
// "Fade DesBank Err[%d]%d", "Fade SouBank Err[%d]%d", "FadeReset Err[%d]", "Fade Mode Error",
// "FadeStrip Err[%d]"); FadeWait answers 1, 2 or 0 (below).
//
// Slot life: free -> FadeSet (prepared, start requested) -> CFadeStart (enabled, running, its
// player thread) -> passes done or stopped at the end of a cycle (prepared again; the strip is
// kept for FadeEndCopy) -> CFadeReset -> free.
//
// Threads: the host calls the operations; the on-air controller's vertical-sync thread calls
// FadeEventSet once per field, which only hands the field to the running players and signals
// the progress event; each running fade has a player thread (normal priority) that writes its
// frames. The flags the threads share are atomics. A slot's strip and parameters change only
// while it does not run. The destructor stops and joins every player.
#pragma once

#include <atomic>
#include <memory>

#include "core/zorvik_api.h"
#include "platform/win32/win32_sync.h"

class CMQGraph;
class CKrGfb;

class ZORVIK_API CKrFadeCtr {
public:
    CKrFadeCtr();
    virtual ~CKrFadeCtr();
    CKrFadeCtr(const CKrFadeCtr&) = delete;
    CKrFadeCtr& operator=(const CKrFadeCtr&) = delete;

    // The graph the fades write through and the banks they take their pictures from
    // (borrowed: they must outlive this object). 1.
    int Initial(CMQGraph* graph, CKrGfb* gfb);

    // Prepares fade `no` (0-31) of `mode` (0 fade in, 1 fade out, 2 out then in, 3 dissolve,
    // 4 cross-dissolve) over `speed` frames after `delay` field events, on the rectangle
    // (x, y, w, h) with the destination bank's picture as the outgoing one and the source
    // bank's as the incoming one. Every argument is checked before anything changes; a slot
    // in use is then reset (refused while its fade is enabled or running). A strip that cannot
    // be built (the rectangle not inside the banks, no memory) leaves the slot free.
    int FadeSet(int no, int mode, int speed, int delay, int desBank, int x, int y, int w, int h, int souBank);
    // Starts every fade prepared since the last start. 1.
    int CFadeStart();
    // Asks fade `no` to end at its next cycle start (it keeps its last frame on air).
    int CFadeStop(int no);
    int CFadeStopAll();
    // Frees the slot and its strip: 0 for a number outside 0-31, a free slot, or a fade that
    // is enabled or running.
    int CFadeReset(int no);
    int CFadeResetAll();
    // Called by the vertical-sync thread on every field (0 first, 1 second) while GetActive():
    // hands the field to every running fade and signals the progress event. Never blocks. 1.
    int FadeEventSet(unsigned long field);
    // 1 when no fade was started or none is running; 2 when a running fade plays endlessly;
    // else waits (looking again at least every 300 ms) until every running fade has ended: 0.
    int FadeWait();
    // Copies the last frame of every prepared fade into its destination bank, so the bank
    // holds what the fade leaves on air. 1.
    int FadeEndCopy();

    // Whether some fade was started and has not yet been seen to finish.
    int GetActive() const { return m_nActive.load() != 0 ? 1 : 0; }

private:
    struct Slot;
    bool PlayField(int no, unsigned long field);
    int Refuse(const char* text);

    std::unique_ptr<Slot[]> m_pSlots;
    std::atomic<CMQGraph*> m_pGraph{nullptr};
    std::atomic<CKrGfb*> m_pGfb{nullptr};
    HANDLE m_hProgress = nullptr;
    // Non-zero while active: the number of the start that made it so. The vertical-sync thread
    // clears it only when no start came between its look at the slots and the clearing.
    std::atomic<unsigned long> m_nActive{0};
    unsigned long m_nStarts = 0;
};
