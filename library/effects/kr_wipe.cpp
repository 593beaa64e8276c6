// CKrWipe and its core: the wipe record, the fader position per step, the run's fields.
#include "effects/kr_wipe.h"

#include <algorithm>

namespace zk::fx {

WipeParams make_wipe_params(unsigned long pattern, unsigned long modifier, unsigned long mode,
                            unsigned long value1, unsigned long value2, unsigned long direction)
{
    return WipeParams{std::min(pattern, kWipeMaxPattern), modifier, mode, std::min(value1, kWipeMaxValue),
                      std::min(value2, kWipeMaxValue), direction};
}

MQVIDFX_WIPE_KEYFRAME wipe_record(const WipeParams& p)
{
    MQVIDFX_WIPE_KEYFRAME r{};
    r.dwMode = p.mode != 0 ? 1u : 0u;
    r.dwPattern = static_cast<DWORD>(p.pattern) | (p.modifier != 0 ? 0x8000u : 0u);
    r.wWord12 = 16;
    r.wWord14 = 16;
    r.dwValue1 = static_cast<DWORD>(p.value1);
    r.dwValue2 = static_cast<DWORD>(p.value2);
    r.dwWord32 = 1;
    return r;
}

LONG fader_position(unsigned long step, unsigned long steps, bool backward)
{
    const unsigned long n = std::max(steps, 1ul);
    const unsigned long s = std::min(step, n);
    double v;
    if (s == n) {
        v = backward ? 0.0 : 1.0;
    } else {
        v = static_cast<double>(s) / static_cast<double>(n);
        if (backward) v = std::min(1.0, 1.0 - (v - 0.002));
    }
    return to_fixed(v, 24);
}

MQVIDFX_FADERPOS_KEYFRAME fader_record(unsigned long step, unsigned long steps, bool backward)
{
    return MQVIDFX_FADERPOS_KEYFRAME{0, fader_position(step, steps, backward)};
}

RunField next_run_field(unsigned long shown, unsigned long steps)
{
    const unsigned long step = shown + 1;
    return RunField{step, step >= steps};
}

} // namespace zk::fx

void CKrWipe::SetWipe(unsigned long pattern, unsigned long modifier, unsigned long mode, unsigned long value1,
                      unsigned long value2, unsigned long direction)
{
    m_Params = zk::fx::make_wipe_params(pattern, modifier, mode, value1, value2, direction);
}

void CKrWipe::SetWipeStart(unsigned long steps)
{
    m_nSteps = steps;
    m_nStep = 0;
}

MQVIDFX_WIPE_KEYFRAME* CKrWipe::GetWipeKeyFrame()
{
    m_WipeKey = zk::fx::wipe_record(m_Params);
    return &m_WipeKey;
}

MQVIDFX_FADERPOS_KEYFRAME* CKrWipe::GetFaderKeyFrame(unsigned long step)
{
    m_nStep = step;
    m_FaderKey = zk::fx::fader_record(step, m_nSteps, m_Params.backward != 0);
    return &m_FaderKey;
}
