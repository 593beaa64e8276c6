// CKr2Ddve and CKr2DdveSlide: the 2D DVE record of a mixer channel, set from pixel or
// normalised values, and the record for one step of a slide to or from a picture edge.
//
// Positions and sizes are fractions of the picture (1.0 = one width or height) stored in 8.24
// fixed point; a fraction n/d is n/d × 2^24 + 0.5 truncated toward zero (so −0.5 is stored as
// −8388607), 0 for a position over d = 0 and 1.0 for a size over d = 0. Values that do not fit
// 32 bits saturate rather than wrap. Shadow values are fractions in 16.16. Colours arrive as
// 0xAARRGGBB words and are stored converted to YUV.
//
// Argument orders, where several readings were possible, follow the record's own order:
//   Set2Ddve: definition, horizontal and vertical position, horizontal and vertical size,
//             border width, border colour, shadow colour, the four shadow values;
//   Set2DdveShadow: the colour, then four (numerator, denominator) pairs, each pair in the
//             order of the one-value setters Set2DdveHorPos(n, d) and so on.
//
// A slide of n steps moves the picture by one picture size between step 0 and step n in its
// direction of travel (0 +x, 1 −x, 2 +y, 3 −y, 4 −x −y, 5 +x −y, 6 −x +y, 7 +x +y); with the
// in flag it arrives at its place, without it leaves its place. Directions 0-3 change one
// position only; a direction outside 0-7 changes neither. A slide of 0 steps (or fewer) is a cut and counts as one step, so step 0
// shows where it starts and every later step where it ends.
#pragma once

#include "core/zorvik_api.h"
#include "effects/mqvidfx_records.h"

class ZORVIK_API CKr2Ddve {
public:
    CKr2Ddve();
    CKr2Ddve(const CKr2Ddve&) = default;
    CKr2Ddve& operator=(const CKr2Ddve&) = default;
    virtual ~CKr2Ddve() = default;

    void Set2DdveDefault();
    void Set2Ddve(unsigned long definition, long horPos, long verPos, long horSize, long verSize,
                  unsigned long borderWidth, long borderArgb, long shadowArgb, unsigned long shadow1,
                  unsigned long shadow2, unsigned long shadow3, unsigned long shadow4);
    // Copies the record unchanged; a null record changes nothing.
    void Set2Ddve(const MQVIDFX_2DDVE_KEYFRAME* record);
    void Set2DdveDefinition(unsigned long definition);
    void Set2DdveHorPos(long numerator, long denominator);
    void Set2DdveVerPos(long numerator, long denominator);
    void Set2DdveHorSize(long numerator, long denominator);
    void Set2DdveVerSize(long numerator, long denominator);
    void Set2DdveHorPos(double value);
    void Set2DdveVerPos(double value);
    void Set2DdveHorSize(double value);
    void Set2DdveVerSize(double value);
    void Set2DdveBorder(unsigned long width, unsigned long argb);
    void Set2DdveShadow(long argb, long n1, long d1, long n2, long d2, long n3, long d3, long n4, long d4);
    // The record (owned by this object).
    MQVIDFX_2DDVE_KEYFRAME* Get2DdveKeyframe() { return &m_Keyframe; }
    const MQVIDFX_2DDVE_KEYFRAME* Get2DdveKeyframe() const { return &m_Keyframe; }

private:
    MQVIDFX_2DDVE_KEYFRAME m_Keyframe{};
};

class ZORVIK_API CKr2DdveSlide : public CKr2Ddve {
public:
    CKr2DdveSlide() = default;
    CKr2DdveSlide(const CKr2DdveSlide&) = default;
    CKr2DdveSlide& operator=(const CKr2DdveSlide&) = default;
    ~CKr2DdveSlide() override = default;

    // direction 0-7, in flag, border width and colour, step count; leaves the record at step 0.
    void Set2DdveSlide(long direction, long in, unsigned long borderWidth, unsigned long borderArgb, long steps);
    // The record for step `step`, cut to 0 ... steps.
    void Set2DdveSlideFader(long step);

    long GetSlideDirection() const { return m_nDirection; }
    long GetSlideSteps() const { return m_nSteps; }
    long GetSlideStep() const { return m_nStep; }

private:
    long m_nDirection = 0;
    long m_nIn = 0;
    long m_nSteps = 0;
    long m_nStep = 0;
    long m_nHorOffset = 0;
    long m_nVerOffset = 0;
};

namespace zk::fx {

// The YUV word the records carry for an 0xAARRGGBB colour.
DWORD dve_colour(unsigned long argb);
// A fraction n/d in 8.24 (or 16.16) fixed point; `if_zero` when d is 0.
LONG dve_fraction(long numerator, long denominator, LONG if_zero, int fraction_bits = 24);
// The default record: full picture at its place, no border, no shadow.
MQVIDFX_2DDVE_KEYFRAME default_dve_record();

// A slide's position offsets at one step, in steps of 1/n picture: n is the step count used
// (at least 1) and s the step cut to 0 ... n. `moves_h`/`moves_v` say which offsets the
// direction sets (a direction outside 0-7 sets neither).
struct SlideOffsets {
    long n = 1;
    long s = 0;
    long h = 0, v = 0;
    bool moves_h = false, moves_v = false;
};
SlideOffsets slide_offsets(long direction, bool in, long steps, long step);

} // namespace zk::fx
