// CKr2DdveAct: a 2D DVE move through up to 20 keypoints on one mixer channel, played either by
// its owner (the on-air control steps it once per field through its own runner) or by a
// thread of its own.
//
// The keypoints, the segment set-up and the per-field positions are the pure core of
// kr_2ddve_act_core.h; this class keeps the legacy surface, holds the move and its record,
// and sends the record to the 2D DVE of the channel's Fiesta unit: channel 0 → Fiesta 1,
// channel 1 → Fiesta 3, any other → Fiesta 0. Results are 1 for done and 0 for refused.
//
// Own thread. Start2D sets the move up when needed (segment 1 at field 0, its record sent) and
// starts a field worker at time-critical priority. The owner calls SetEvent(field) once per
// field; on each, the worker advances the field counter, positions the move there and sends
// the record; at the end of a segment it prepares the next; after the last segment it stops.
// A break or pause request is seen after the field in which it was made has been sent (so one
// more record goes out, as the move was already under way for that field); a pause keeps the
// segment and field, from which ReStart2D goes on. When the worker stops, for any of these
// reasons, the running, set-up and break flags are cleared and the registered end event is
// set. A pause requested on the move's last field does not stick: the move has ended.
//
// Decisions where the old behaviour was unsound:
//  - Crear ends a running move at once (the worker is stopped and joined) and does not set
//    the registered end event, without waiting for another field to come: a cleared move
//    could otherwise wait for ever on an owner that has stopped stepping it.
//  - Wait2D waits for the move to end on an event of its own (the per-field hand-over is the
//    worker's and is never taken from it), then two fields with WaitField. WaitField returns
//    at the next SetEvent, looking at its flag every 333 ms as well.
//  - Set2D on a paused move forgets the pause (the saved place belonged to the old move), and
//    a new move is set up afresh by the next Setup2D or Start2D.
//  - Set2DPosition refuses a segment other than the one prepared by Setup2DParam (the deltas
//    are that segment's); ReStart2D rebuilds the move at the saved place from the keypoints,
//    so calls made while paused cannot shift it.
//  - A keypoint of 0 fields is reached in one field (no division by zero).
//
// Thread use: the owner's thread calls the operations, the vertical-sync thread SetEvent; the
// flags are atomics and the move and record change under a lock that is never held across a
// wait. The worker is joined by Crear and by the destructor: no thread outlives the object.
// Get2DdveKeyframe hands out the record itself: read it while no move runs on the thread.
#pragma once

#include <atomic>
#include <mutex>

#include "core/zorvik_api.h"
#include "effects/field_worker.h"
#include "effects/kr_2ddve.h"
#include "effects/kr_2ddve_act_core.h"
#include "platform/win32/afx_thread.h"

class CMQGraph;

class ZORVIK_API CKr2DdveAct : public CKr2Ddve {
public:
    CKr2DdveAct();
    ~CKr2DdveAct() override;
    CKr2DdveAct(const CKr2DdveAct&) = delete;
    CKr2DdveAct& operator=(const CKr2DdveAct&) = delete;

    // The graph the records go to (borrowed). 0 for a null graph (which is stored all the same).
    int Initial(CMQGraph* graph);
    int Crear();

    // A keypoint table (2 to 20 keypoints) for `channel`; 0 while running or when refused.
    int Set2D(const tag2DDVEPRM* params, long count, long channel);
    // A preset (0-14): without `out` from its collapsed rectangle to the full picture, with it
    // back, in `fields` fields.
    int Set2D(long pattern, long out, long fields, long channel);
    // Segment `segment` (from keypoint segment − 1 to segment) at its field 0.
    int Setup2DParam(long segment);
    // Field `field` of the prepared segment `segment`, written into the record.
    int Set2DPosition(long field, long segment);
    // The fields taken to reach keypoint `keypoint` (at least 1; 0 outside the table).
    long GetFieldMax(long keypoint);

    // Own thread (see above).
    int Setup2D();
    int Start2D();
    int ReStart2D();
    int Break2D();
    int Pause2D();
    int Wait2D();
    int WaitField();

    // Sends the record to the channel's Fiesta unit; 1 when it was taken.
    int Set2DDveActKeyFrame();
    // The event set when the own thread stops (borrowed; null for none).
    void Set2DDveEndEvent(CEvent* event);
    // The owner, once per field.
    void SetEvent(long field);

    // Straight into the record: normalised values, or pixels of the 720 × 486 picture.
    int PostionDirect2D(double x, double y, double width, double height);
    int PostionDirect2DChnage(double x, double y, double width, double height);

    BOOL IsSet() const { return m_bSet.load(); }
    BOOL IsRunning() const { return m_bRunning.load(); }
    BOOL IsPaused() const { return m_bPause.load(); }
    BOOL IsSetUp() const { return m_bSetup.load(); }
    long GetLastField() const { return m_nLastField.load(); }
    // The Fiesta channel the record goes to.
    int GetFiestaChannel() const;

private:
    int take_action(const zk::fx::DveAction& action);
    bool on_field();
    void finish_run();
    int setup_locked();
    int send_locked();

    std::atomic<CMQGraph*> m_pGraph{nullptr};
    std::atomic<CEvent*> m_pEndEvent{nullptr};
    std::atomic<int> m_bSet{0};
    std::atomic<int> m_bSetup{0};
    std::atomic<int> m_bRunning{0};
    std::atomic<int> m_bBreak{0};
    std::atomic<int> m_bPause{0};
    std::atomic<int> m_bFieldWait{0};
    std::atomic<long> m_nLastField{0};

    mutable std::mutex m_Lock;          // the move, the counters and the record
    zk::fx::DveAction m_Action;         // keypoints, count, channel
    zk::fx::DveMove m_Move;             // segment, its fields, deltas, current values
    long m_nField = 0;                  // field counter within the segment
    int m_nSavedSegment = 0;            // where a pause stopped
    long m_nSavedField = 0;

    HANDLE m_hProgress = nullptr;       // set every field and when the worker stops
    HANDLE m_hFieldWait = nullptr;      // set when SetEvent clears the field-wait flag
    zk::FieldWorker m_Worker;           // last: stopped before the rest goes
};
