// CGfbRoll: the picture on air replaced by the next bank's, pushed or slid in by copies inside
// the graphics frame buffer, one step a field.
//
// GfbRoll writes the next bank into the back area of the graphics frame buffer and starts the
// worker; every field handed to SetEvent then sends that field's board copies (the old picture
// moved on when the destination moves, the matching part of the new one brought in), as the
// core decides (effects/gfb_roll_core.h), until both fields show all of the new picture. The
// next bank is then copied over the on-air bank, so the banks agree with what is on air.
//
// Roll modes: ±3 push with the new picture sliding in, ±2 push uncovering it, ±1 slide in over
// the old, anything else uncover. Directions 0-3 (0 and 1 across, 2 and 3 up or down). The
// amount is a step per field (amount-is-step non-zero) or a number of fields.
//
// Threads: the host starts, checks and ends a run; the vertical-sync thread calls SetEvent;
// the worker runs the fields. The flags and the roll mode are atomics.
#pragma once

#include <atomic>

#include "core/zorvik_api.h"
#include "effects/field_worker.h"
#include "effects/gfb_roll_core.h"

class CMQGraph;
class CKrGfb;

class ZORVIK_API CGfbRoll {
public:
    CGfbRoll();
    virtual ~CGfbRoll();
    CGfbRoll(const CGfbRoll&) = delete;
    CGfbRoll& operator=(const CGfbRoll&) = delete;

    // The graph and the banks, both borrowed.
    void Initial(CMQGraph* graph, CKrGfb* gfb);

    // 1 when the run started; 0 while one runs, before Initial, or when the incoming picture
    // cannot be written to the back area.
    int GfbRoll(long rollMode, long direction, long amount, long amountIsStep);
    void SetRollMode(long rollMode);

    // The running flag.
    int CheckRollEnd();
    // Waits for a running push to end (fields must keep coming); the running flag from before.
    int WaitRollEnd();
    // Asks the push to jump to its end, then waits likewise.
    int RollEnd();

    // Called by the vertical-sync thread with every field number; never blocks.
    void SetEvent(unsigned long field);

private:
    bool RunField(unsigned long field);
    void Blit(const zk::fx::BlitWords& words);

    CMQGraph* m_pGraph = nullptr;
    CKrGfb* m_pGfb = nullptr;
    std::atomic<long> m_nRollMode{0};
    std::atomic<int> m_bRunning{0};
    std::atomic<int> m_bBreak{0};
    // The worker's own while it runs.
    zk::fx::GfbRollParams m_Params;
    zk::fx::GfbRollState m_State;
    zk::FieldWorker m_Worker;
};
