// Fuzz target: the stored text object ("DTO0"), and drawing with whatever it says.
//
// Objects are read one after another until a read fails. Each object read must write out and
// read back to the same bytes. Objects with modest sizes are also drawn into a small frame,
// so that a damaged record reaches the text layer and the renderer; outlandish sizes are
// left out there because they only make big pictures slowly, not different code paths.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "draw/draw_text.h"

namespace {

bool modest(const tagKRFONTINFO& f, const CString& text)
{
    auto within = [](long v, long lo, long hi) { return v >= lo && v <= hi; };
    const tagKRBWDRAWINFO& b = f.BwDrawInfo;
    return text.GetLength() <= 12 && within(f.Height, -48, 48) && within(f.Space, -64, 64) &&
           within(f.WidthPer, -400, 400) && within(f.Eria.cx, -1024, 1024) && within(f.Eria.cy, -1024, 1024) &&
           within(f.FitStrMax.cx, -400, 400) && within(f.FitStrMax.cy, -400, 400) &&
           within(f.FitSpMax.cx, -64, 64) && within(f.FitSpMax.cy, -64, 64) && within(f.SpPer, -400, 400) &&
           within(b.EdgeType.Size, -12, 12) && within(b.ShadType.Size, -12, 12) &&
           within(b.ShadType.SoftSize, -12, 12) && b.BodyMode != kBwModeTexture && b.EdgeMode != kBwModeTexture &&
           b.ShadMode != kBwModeTexture;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CMemFile in(data, size);
    for (int n = 0; n < 4; ++n) {
        CDrawText obj;
        if (obj.Read(&in) != 1) break;

        CMemFile once;
        if (obj.Write(&once) != 1) std::abort();
        CMemFile again_in(once.data().data(), once.data().size());
        CDrawText again;
        if (again.Read(&again_in) != 1) std::abort();
        CMemFile twice;
        again.Write(&twice);
        if (once.data() != twice.data()) std::abort();

        if (modest(obj.GetFontInfo(), obj.GetString())) {
            CKrFrameBuffer fb(64, 48, 1);
            obj.DrawFrame(nullptr, &fb);
            CKrFrameBuffer alone;
            CBox whole, body, edge, shadow;
            obj.DrawFrameEria(nullptr, &alone, whole, body, edge, shadow);
        }
    }
    return 0;
}
