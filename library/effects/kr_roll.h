// CKrRoll: a tall caption rolled up through the picture, or a wide one crawled to the left,
// at a speed in tenths of a pixel per field.
//
// SetRoll takes the picture (borrowed: the caller keeps it alive until the roll has ended), the
// step (1-600 for a roll, 1-240 for a crawl), the direction (1 roll, 0 crawl) and the start
// mode (0 the picture's first screen is on air when the roll starts and the roll stops on its
// last screen; 1 the picture enters a cleared screen from the bottom or right edge; 2 it enters
// over what is on air). A roll whose step is not a whole even number of pixels gets its nine
// sub-pixel pictures here, so nothing heavier than a field write is left for the fields.
// StartRoll puts the first screen up when that was not done (SetupRoll) and starts the roll's
// worker; every field handed to SetEvent then moves the roll one step, until it reaches its
// end or is broken off, when the roll-end event is signalled. What each field does is decided
// by the roll's core (effects/roll_core.h); this class carries it out on the effects graph.
//
// Results: 1 success, 0 failure or refused (most operations are refused while a roll runs).
//
// The worker learns of each field from SetEvent, which the vertical-sync thread calls with the
// field number it has published (1 for a second field): each field is handled once, in order,
// even when the worker falls behind. So the worker never polls, and StartRollSleep (which on
// a polling worker slept between polls) starts the same roll as StartRoll, keeping its flag.
//
// Threads: the host calls the operations, the vertical-sync thread calls SetEvent, the worker
// runs the fields. Step, flags, positions and the end event are atomics; the picture and the
// sub-pixel pictures change only while no roll runs.
#pragma once

#include <atomic>

#include "core/zorvik_api.h"
#include "effects/field_worker.h"
#include "effects/roll_core.h"
#include "framebuffer/kr_frame_buffer.h"
#include "platform/win32/afx_thread.h"

class CMQGraph;

namespace zk {

// What the roll needs of the on-air controller: putting a picture into its write bank at
// (x, y) and on air (0 success, -1 failure). The controller hands itself to
// CKrRoll::Initial as this interface (static_cast<zk::RollHost*>(controller)).
class RollHost {
public:
    virtual ~RollHost() = default;
    virtual int ImagePut(CKrFrameBuffer* image, int x, int y) = 0;
};

} // namespace zk

class ZORVIK_API CKrRoll {
public:
    CKrRoll();
    virtual ~CKrRoll();
    CKrRoll(const CKrRoll&) = delete;
    CKrRoll& operator=(const CKrRoll&) = delete;

    // The graph (borrowed) and the on-air controller, which must be a zk::RollHost* (or null:
    // then only start mode 2, which puts nothing up, can be started). 1.
    int Initial(CMQGraph* graph, void* onlineCtl);

    // 1 when the roll is set; 0 while one runs, for a null or empty picture, or when the
    // sub-pixel pictures cannot be made (nothing stays allocated then). Clears the roll-end
    // event: set it after.
    int SetRoll(CKrFrameBuffer* image, int step, int direction, int mode);
    // Puts the first screen up as the start mode says. 1 when done (or done already); 0
    // without a graph or picture, while running, or when the picture cannot be put up.
    int SetupRoll();
    // 1 when the worker was started; 0 without a graph or picture, while running, or when the
    // set-up failed.
    int StartRoll();
    int StartRollSleep();
    // 1 when a running roll was asked to stop (it ends within two fields where it is), else 0.
    int BreakRoll();

    // The step, held to the direction's range; 0 holds a running roll still. 1.
    int SetStepRoll(int step);
    int GetStepRoll();
    int GetStateRoll();
    // While running: the position in tenths of a pixel, the end in pixels; else 0.
    long GetStateNowPosRoll();
    long GetStatePosSizeRoll();
    // Milliseconds the set roll lasts at 60 fields a second; 0 without a step or picture.
    unsigned long GetTimeRoll();

    // Conversions between a duration and a step, counting 60 fields a second (see
    // effects/roll_core.h for what the roll does at 59.94 and 50). With a picture the size is
    // its height (vertical) or width.
    int CompTimeToStep(int size, unsigned long ms, int vertical, int mode);
    int CompTimeToStep(CKrFrameBuffer* image, unsigned long ms, int vertical, int mode);
    unsigned long CompStepToTime(int size, int step, int vertical, int mode);
    unsigned long CompStepToTime(CKrFrameBuffer* image, int step, int vertical, int mode);

    // Signalled (borrowed) when a roll ends.
    void SetRollEndEvent(CEvent* event);
    // Ends a running roll (waiting for it) and clears the roll and its pictures.
    void Crear();

    // Makes the nine sub-pixel pictures of `image`; 1, or 0 (none kept) for a null or empty
    // picture, when one cannot be made, or while a roll runs.
    int SetSubpixcelImage(CKrFrameBuffer* image);
    // `target` := `source` moved up by k tenths of a pixel (k 0-10), re-made at the source's
    // size when it is not; 1, or 0 for a null or empty picture or k outside.
    int MakeSubpixcelImage(CKrFrameBuffer* source, CKrFrameBuffer* target, int k);

    // The crawl's 2D DVE record (channels 1 and 3): at rest, or shifted left by k tenths. 0.
    int SetDveInit();
    int SetDveHSub(int k);

    // Called by the vertical-sync thread with every field number; never blocks.
    void SetEvent(unsigned long field);

private:
    int Start(int sleep);
    bool RunField(unsigned long field);
    void Apply(const zk::fx::RollFieldOutcome& outcome);
    const CKrFrameBuffer* SourcePicture(int slot) const;
    void FreeSubpixel();

    std::atomic<int> m_nStep{0};
    std::atomic<int> m_nDirection{0};
    std::atomic<int> m_nMode{0};
    zk::fx::RollKind m_Kind = zk::fx::RollKind::SubpixelVertical;
    CKrFrameBuffer* m_pImage = nullptr;
    // Slot 0 is the picture itself; slots 1-9 (here 0-8) are the roll's own.
    CKrFrameBuffer* m_pSlot0 = nullptr;
    CKrFrameBuffer m_Subpixel[9];
    CMQGraph* m_pGraph = nullptr;
    zk::RollHost* m_pHost = nullptr;
    std::atomic<int> m_bSetup{0};
    std::atomic<int> m_bRunning{0};
    std::atomic<int> m_bBreak{0};
    std::atomic<long> m_nNowPos{0};
    std::atomic<long> m_nEndPos{0};
    std::atomic<CEvent*> m_pEndEvent{nullptr};
    std::atomic<int> m_bSleep{0};
    // The worker's own while it runs.
    zk::fx::RollParams m_Params;
    zk::fx::RollState m_State;
    zk::FieldWorker m_Worker;
};
