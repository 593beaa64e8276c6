// CKr2Ddve and CKr2DdveSlide: record setters and the slide offsets.
#include "effects/kr_2ddve.h"

#include <algorithm>

#include "framebuffer/mtx_color.h"

namespace zk::fx {

namespace {

constexpr LONG kOne = 0x1000000; // 1.0 in 8.24

// Way of travel of each slide direction, in picture sizes per whole slide.
struct Travel {
    int h, v;
};
constexpr Travel kTravel[8] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {-1, -1}, {1, -1}, {-1, 1}, {1, 1}};

} // namespace

DWORD dve_colour(unsigned long argb)
{
    MtxColor colour;
    return colour.ARGBtoYUV(static_cast<DWORD>(argb));
}

LONG dve_fraction(long numerator, long denominator, LONG if_zero, int fraction_bits)
{
    if (denominator == 0) return if_zero;
    return to_fixed(static_cast<double>(numerator) / static_cast<double>(denominator), fraction_bits);
}

MQVIDFX_2DDVE_KEYFRAME default_dve_record()
{
    MQVIDFX_2DDVE_KEYFRAME r{};
    r.lHorSize = kOne;
    r.lVerSize = kOne;
    r.dwBorderColor = dve_colour(0);
    r.dwShadowColor = dve_colour(0);
    return r;
}

SlideOffsets slide_offsets(long direction, bool in, long steps, long step)
{
    SlideOffsets o;
    o.n = std::max(steps, 1L);
    o.s = std::clamp(step, 0L, o.n);
    if (direction < 0 || direction > 7) return o;
    const Travel t = kTravel[direction];
    // Leaving: s steps along the way; arriving: n - s steps short of the place.
    const long along = in ? o.s - o.n : o.s;
    o.h = t.h * along;
    o.v = t.v * along;
    o.moves_h = t.h != 0;
    o.moves_v = t.v != 0;
    return o;
}

} // namespace zk::fx

CKr2Ddve::CKr2Ddve() { Set2DdveDefault(); }

void CKr2Ddve::Set2DdveDefault() { m_Keyframe = zk::fx::default_dve_record(); }

void CKr2Ddve::Set2Ddve(unsigned long definition, long horPos, long verPos, long horSize, long verSize,
                        unsigned long borderWidth, long borderArgb, long shadowArgb, unsigned long shadow1,
                        unsigned long shadow2, unsigned long shadow3, unsigned long shadow4)
{
    // The numbers are the record's words already: kept as they are (taken modulo 2^32).
    m_Keyframe.dwDefinition = static_cast<DWORD>(definition);
    m_Keyframe.lHorPos = static_cast<LONG>(horPos);
    m_Keyframe.lVerPos = static_cast<LONG>(verPos);
    m_Keyframe.lHorSize = static_cast<LONG>(horSize);
    m_Keyframe.lVerSize = static_cast<LONG>(verSize);
    m_Keyframe.dwBorderWidth = static_cast<DWORD>(borderWidth);
    m_Keyframe.dwBorderColor = zk::fx::dve_colour(static_cast<unsigned long>(borderArgb));
    m_Keyframe.dwShadowColor = zk::fx::dve_colour(static_cast<unsigned long>(shadowArgb));
    const unsigned long shadows[4] = {shadow1, shadow2, shadow3, shadow4};
    for (int i = 0; i < 4; ++i) m_Keyframe.lShadow[i] = static_cast<LONG>(static_cast<DWORD>(shadows[i]));
}

void CKr2Ddve::Set2Ddve(const MQVIDFX_2DDVE_KEYFRAME* record)
{
    if (record) m_Keyframe = *record;
}

void CKr2Ddve::Set2DdveDefinition(unsigned long definition) { m_Keyframe.dwDefinition = static_cast<DWORD>(definition); }

void CKr2Ddve::Set2DdveHorPos(long numerator, long denominator)
{
    m_Keyframe.lHorPos = zk::fx::dve_fraction(numerator, denominator, 0);
}

void CKr2Ddve::Set2DdveVerPos(long numerator, long denominator)
{
    m_Keyframe.lVerPos = zk::fx::dve_fraction(numerator, denominator, 0);
}

void CKr2Ddve::Set2DdveHorSize(long numerator, long denominator)
{
    m_Keyframe.lHorSize = zk::fx::dve_fraction(numerator, denominator, zk::fx::kOne);
}

void CKr2Ddve::Set2DdveVerSize(long numerator, long denominator)
{
    m_Keyframe.lVerSize = zk::fx::dve_fraction(numerator, denominator, zk::fx::kOne);
}

void CKr2Ddve::Set2DdveHorPos(double value) { m_Keyframe.lHorPos = zk::fx::to_fixed(value, 24); }
void CKr2Ddve::Set2DdveVerPos(double value) { m_Keyframe.lVerPos = zk::fx::to_fixed(value, 24); }
void CKr2Ddve::Set2DdveHorSize(double value) { m_Keyframe.lHorSize = zk::fx::to_fixed(value, 24); }
void CKr2Ddve::Set2DdveVerSize(double value) { m_Keyframe.lVerSize = zk::fx::to_fixed(value, 24); }

void CKr2Ddve::Set2DdveBorder(unsigned long width, unsigned long argb)
{
    m_Keyframe.dwBorderWidth = static_cast<DWORD>(width);
    m_Keyframe.dwBorderColor = zk::fx::dve_colour(argb);
}

void CKr2Ddve::Set2DdveShadow(long argb, long n1, long d1, long n2, long d2, long n3, long d3, long n4, long d4)
{
    m_Keyframe.dwShadowColor = zk::fx::dve_colour(static_cast<unsigned long>(argb));
    const long pairs[4][2] = {{n1, d1}, {n2, d2}, {n3, d3}, {n4, d4}};
    for (int i = 0; i < 4; ++i) m_Keyframe.lShadow[i] = zk::fx::dve_fraction(pairs[i][0], pairs[i][1], 0, 16);
}

void CKr2DdveSlide::Set2DdveSlide(long direction, long in, unsigned long borderWidth, unsigned long borderArgb,
                                  long steps)
{
    m_nDirection = direction;
    m_nIn = in;
    m_nSteps = steps;
    m_nStep = 0;
    Set2DdveDefault();
    Set2DdveBorder(borderWidth, borderArgb);
    Set2DdveSlideFader(0);
}

void CKr2DdveSlide::Set2DdveSlideFader(long step)
{
    const zk::fx::SlideOffsets o = zk::fx::slide_offsets(m_nDirection, m_nIn != 0, m_nSteps, step);
    m_nStep = o.s;
    m_nHorOffset = o.h;
    m_nVerOffset = o.v;
    if (o.moves_h) Set2DdveHorPos(o.h, o.n);
    if (o.moves_v) Set2DdveVerPos(o.v, o.n);
}
