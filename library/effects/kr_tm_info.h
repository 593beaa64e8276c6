// CKrTmInfo: one clock's display on air.
//
// A display loads thirteen Targa images named from one path (effects/timer_core.h: the ten
// digits, a colon, a blank digit and a blank colon), and, while it is on, composes its clock's
// value into a face whenever the shown second changes: on its drawing thread (highest
// priority), woken by the clock's second-changed event, and at once after each clock operation
// made through it. A newly composed face is written into the graphics output on the fields that
// follow, its first and its second field once each, by a field writer (a field worker at
// time-critical priority) to which TimerEventSet, on the vertical-sync thread, hands each field
// while a face waits to go out. Switching the display off stops new faces; the last one stays
// on the output until something overwrites it.
//
// Results: 0 success, -1 when the display has not been set up; TimerEventSet 1 when it handed
// the field over, else 0.
//
// Threads: the host, the drawing thread and the field writer share the images, the face, its
// place and the hand-over state under one lock, held to compose or write one face and never
// across a wait; the vertical-sync thread takes no lock of this object. A face composed while
// the one before it is half written restarts the pair, so each face reaches both fields.
// The clock source (CKrTimer) must outlive the display, whose drawing thread waits on its
// event; the destructor ends and joins both threads.
#pragma once

#include <array>
#include <atomic>
#include <mutex>

#include "core/zorvik_api.h"
#include "effects/field_worker.h"
#include "effects/timer_core.h"
#include "framebuffer/kr_frame_buffer.h"
#include "platform/framework/geometry.h"
#include "platform/win32/afx_thread.h"

class CKrTimer;
class CMQGraph;

class ZORVIK_API CKrTmInfo {
public:
    CKrTmInfo();
    virtual ~CKrTmInfo();
    CKrTmInfo(const CKrTmInfo&) = delete;
    CKrTmInfo& operator=(const CKrTmInfo&) = delete;

    // Shows clock `clock` of `timer`, drawn from the images named after `path`, in `format`
    // (0 minutes and seconds, 1 hours too; others mean 0) at (x, y) kept on the output. Set up
    // again, the display is switched off and its images replaced. 0, or -1 without a timer or
    // for a clock number outside 0-3. Images that fail to load are reported and left out.
    int SetTimerData(int clock, unsigned char* path, int format, int x, int y, CKrTimer* timer, CMQGraph* graph);
    int SetTmAddress(int x, int y);

    int SetTmStart();
    int SetTmStop();
    int SetTmTime(int h, int m, int s, int ms);
    int SetTmAddTime(int h, int m, int s, int ms);
    int SetTmDecTime(int h, int m, int s, int ms);
    int SetTmSyncTime(int source);
    int SetTmCountUp();
    int SetTmCountDown();
    int SetTmStopModeOn(int h, int m, int s, int ms);
    int SetTmStopModeOff();
    int DispTmOn();
    int DispTmOff();

    // Called by the vertical-sync thread every field: hands the field to the writer while the
    // display is on and a face waits.
    int TimerEventSet(unsigned long field);

    bool set_up() const { return m_bSetup.load() != 0; }
    bool shown() const { return m_bDisp.load() != 0; }
    // Where the face stands and its size (what the next write uses).
    POINT position() const;
    CSize face_size() const;
    // Stops all writing into the graph: a write in progress finishes first, none follows.
    void forget_graph();

private:
    static UINT DrawProc(LPVOID self);
    void DrawRun();
    bool WriteField(unsigned long field);
    // Composes the clock's current value and hands the face to the writer.
    void compose();
    // Runs op(timer, clock) for a display that is set up; -1 otherwise.
    template <class Op>
    int on_clock(Op&& op);
    // After a clock operation: a display that is on shows the new value at once.
    int refreshed();
    void start_threads();
    void stop_draw_thread();

    std::atomic<int> m_bSetup{0};
    std::atomic<int> m_nClock{0};
    std::atomic<CKrTimer*> m_pTimer{nullptr};
    std::atomic<int> m_bStart{0};
    std::atomic<int> m_bDisp{0};

    mutable std::mutex m_Lock; // everything below up to the threads
    std::array<CKrFrameBuffer, zk::fx::kClockImages> m_Img;
    long m_nDigitW = 0, m_nColonW = 0, m_nHeight = 0;
    int m_nFormat = 0;
    long m_nX = 0, m_nY = 0;
    long m_nWidth = 0;
    CKrFrameBuffer m_Face;
    // Set and cleared under the lock; read without it by the vertical-sync thread.
    std::atomic<int> m_bFrameReady{0};
    bool m_bFresh = false;  // the face was composed after the last field written
    int m_nWritten = 0;     // bit 0 first field, bit 1 second field, of the face going out
    CMQGraph* m_pGraph = nullptr;

    HANDLE m_hClockEvent = nullptr; // the clock's, borrowed
    HANDLE m_hQuit = nullptr;       // wakes the drawing thread to end
    std::atomic<int> m_bDrawQuit{0};
    zk::OwnedThread m_DrawThread;
    zk::FieldWorker m_Writer;
};
