// The on-air control's three 2D DVE actions, run field by field by its vertical-sync thread.
//
// Each action is a CKr2DdveAct used for its move and record only (its own thread is not used
// here) and drives one channel: action 0 the 2D DVE of Fiesta channel 1, action 1 that of
// channel 3, action 2 that of channel 0.
//
//   Set2DCustom(params, count, act)   a keypoint table of 2 to 20 keypoints;
//   Set2DPtn(pattern, out, fields, act)  a preset (0-14): without `out` from its collapsed
//                                     rectangle to the full picture, with it back, in `fields`;
//     both reset the action (a run in progress ends) and set it up (Setup2DDveAct). A refused
//     table or preset changes nothing.
//   Setup2DDveAct(act)   the first pattern (keypoint 0 to 1) at its first position, sent;
//   Start2DDveAct(act)   runs the action and sends its current record (a move that has
//                        played to its end is set up again first);
//   Act2DDveThread(act)  one field: the field counter advances, the record of that field is
//                        sent; at the end of a pattern the next is set up; after the last the
//                        action is idle and the action-done event is set;
//   Break2DDveAct(act)   idle at once (act outside 0-2 means 0);
//   Pause2DDveAct(act), ReStart2DDveAct(act)  a paused action holds its place: its fields are
//                        not stepped and nothing is sent until it is restarted;
//   Wait2DDveAct()       returns when no action runs (a paused one still runs) and two more
//                        fields have passed;
//   PostionDirect2DDve(x, y, w, h, act), PostionDirect2DDveChnage (pixels): the action's record
//                        positioned directly and sent (act outside 0-2 means 0).
// A keypoint of 0 fields is reached in one field, so every pattern ends. Results: 1 done, 0
// refused (an action outside 0-2 where no mapping is said, or a record that did not reach its
// channel).
#pragma once

#include <array>
#include <atomic>
#include <mutex>

#include "effects/field_wait.h"
#include "effects/kr_2ddve_act.h"
#include "platform/win32/win32_sync.h"

class CMQGraph;

namespace zk {

class DveActionRunner {
public:
    static constexpr int kActions = 3;

    DveActionRunner();
    ~DveActionRunner();
    DveActionRunner(const DveActionRunner&) = delete;
    DveActionRunner& operator=(const DveActionRunner&) = delete;

    void Initial(CMQGraph* graph, FieldWait* fields);

    int Set2DCustom(const tag2DDVEPRM* params, long count, long act);
    int Set2DPtn(long pattern, long out, long fields, long act);
    int Setup2DDveAct(long act);
    int Start2DDveAct(long act);
    void Act2DDveThread(long act);
    int Break2DDveAct(long act);
    int Pause2DDveAct(long act);
    int ReStart2DDveAct(long act);
    int Wait2DDveAct();
    int PostionDirect2DDve(double x, double y, double width, double height, long act);
    int PostionDirect2DDveChnage(double x, double y, double width, double height, long act);

    // The vertical-sync thread's step: Act2DDveThread for each running action.
    void step_field();
    // 0 idle, 1 running.
    int GetActState(long act) const { return valid(act) ? state_[static_cast<std::size_t>(act)].load() : 0; }
    BOOL GetActPaused(long act) const { return valid(act) ? paused_[static_cast<std::size_t>(act)].load() : FALSE; }
    // The record the action holds.
    MQVIDFX_2DDVE_KEYFRAME GetActKeyframe(long act);

private:
    struct Run {
        long pattern = 0; // the keypoint being reached
        long count = 0;   // keypoints of the move (0: none set)
        long field = 0;   // fields into the pattern
        long fields = 0;  // fields of the pattern
    };

    static bool valid(long act) { return act >= 0 && act < kActions; }
    int take_locked(int act, long count);
    int setup_locked(int act);
    int send_locked(int act);
    void end_locked(int act);
    int position_direct(double x, double y, double width, double height, long act, bool pixels);

    CMQGraph* graph_ = nullptr;
    FieldWait* fields_ = nullptr;
    std::mutex lock_;
    std::array<CKr2DdveAct, kActions> acts_; // under lock_
    std::array<Run, kActions> runs_{};       // under lock_
    std::array<std::atomic<int>, kActions> state_{};
    std::array<std::atomic<BOOL>, kActions> paused_{};
    HANDLE done_ = nullptr;
};

} // namespace zk
