// CKrWipe: the parameters of a wipe transition and the two records a wipe unit takes.
//
// The wipe record describes the pattern; the fader record gives the transition's progress for
// one step. The on-air control owns one CKrWipe per wipe unit, sends the wipe record when a
// wipe is set or started and one fader record per field while it runs. The class only holds
// and formats; the arithmetic is the pure core below, so a whole run can be listed and
// checked without a board.
//
// Fader position for step s of n steps, forward (the new picture wipes in) or backward:
//   forward  s/n, exactly 1.0 from s = n on;
//   backward 1.0 - (s/n - 0.002), exactly 0.0 from s = n on, and never above 1.0: step 0
//            (and the first steps of very long runs) would otherwise ask for 1.002, beyond the
//            fader's travel, so they are held at 1.0; the 0.002 lead of every later step is
//            kept as hosts and recorded runs know it;
//   a run of 0 steps is a cut: it counts as one step, so step 0 shows the start and the
//            first field the end, and a running wipe always ends.
// A step beyond the run counts as its last step.
#pragma once

#include "core/zorvik_api.h"
#include "effects/mqvidfx_records.h"

namespace zk::fx {

// The highest pattern number and value a wipe unit accepts; larger ones are cut to these.
inline constexpr unsigned long kWipeMaxPattern = 103;
inline constexpr unsigned long kWipeMaxValue = 200;

struct WipeParams {
    unsigned long pattern = 0;
    unsigned long modifier = 0;
    unsigned long mode = 0;
    unsigned long value1 = 0;
    unsigned long value2 = 0;
    unsigned long backward = 0;
};

// The parameters as stored: pattern and values cut to what the unit accepts.
WipeParams make_wipe_params(unsigned long pattern, unsigned long modifier, unsigned long mode,
                            unsigned long value1, unsigned long value2, unsigned long direction);

MQVIDFX_WIPE_KEYFRAME wipe_record(const WipeParams& p);

// The fader position in 8.24 fixed point and its record, for step `step` of `steps`.
LONG fader_position(unsigned long step, unsigned long steps, bool backward);
MQVIDFX_FADERPOS_KEYFRAME fader_record(unsigned long step, unsigned long steps, bool backward);

// One field of a running transition (wipe or 2D DVE slide): after `shown` steps, the step
// to show next and whether the run ends with it. A run of 0 steps ends on its first field.
struct RunField {
    unsigned long step = 0;
    bool last = false;

    friend bool operator==(const RunField&, const RunField&) = default;
};
RunField next_run_field(unsigned long shown, unsigned long steps);

} // namespace zk::fx

class ZORVIK_API CKrWipe {
public:
    CKrWipe() = default;
    CKrWipe(const CKrWipe&) = default;
    CKrWipe& operator=(const CKrWipe&) = default;
    virtual ~CKrWipe() = default;

    void SetWipe(unsigned long pattern, unsigned long modifier, unsigned long mode, unsigned long value1,
                 unsigned long value2, unsigned long direction);
    void SetWipeStart(unsigned long steps);
    // Fill and return the record (owned by this object, valid until the next call).
    MQVIDFX_WIPE_KEYFRAME* GetWipeKeyFrame();
    MQVIDFX_FADERPOS_KEYFRAME* GetFaderKeyFrame(unsigned long step);

    unsigned long GetWipeSteps() const { return m_nSteps; }
    unsigned long GetWipeStep() const { return m_nStep; }

private:
    zk::fx::WipeParams m_Params{};
    unsigned long m_nSteps = 0;
    unsigned long m_nStep = 0;
    MQVIDFX_WIPE_KEYFRAME m_WipeKey{};
    MQVIDFX_FADERPOS_KEYFRAME m_FaderKey{};
};
