// Fuzz target for the "DGO0" graphic-object reader: any bytes, read as a run of records.
// Every record that loads must store and load again to the same bytes, and a shape small
// enough to rasterise quickly is drawn into its mask and then, through the edge and shadow
// renderer, into a small picture it may overlap or miss. For that last step the decorations
// are cut to a few pixels and every part is switched to a plain colour: a texture name from
// the input would open whatever file it names.
#include <cstdint>
#include <algorithm>
#include <cstdlib>

#include "draw/draw_graph.h"
#include "framebuffer/kr_bitmaps.h"
#include "framebuffer/kr_frame_buffer.h"

namespace {

// Rasterise only shapes whose mask stays small, so one input cannot take seconds.
bool small_enough(const CDrawGraph& g)
{
    const long n = g.GetSize();
    if (n == 0 || n > 512) return false;
    long l = g.GetAt(0).x, r = l, t = g.GetAt(0).y, b = t;
    for (long i = 1; i < n; ++i) {
        l = std::min<long>(l, g.GetAt(i).x);
        r = std::max<long>(r, g.GetAt(i).x);
        t = std::min<long>(t, g.GetAt(i).y);
        b = std::max<long>(b, g.GetAt(i).y);
    }
    const long pen = std::labs(g.GetPenSize());
    const long s = g.GetAntiScale();
    return s >= 1 && s <= 16 && pen < 64 && (r - l + 1 + pen) * s < 1024 && (b - t + 1 + pen) * s < 1024;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CMemFile file(data, size);
    for (int records = 0; records < 8; ++records) {
        CDrawGraph g;
        if (g.Read(&file) != 1) break;
        CMemFile once;
        CDrawGraph again;
        CMemFile twice;
        if (g.Write(&once) != 1) std::abort();
        CMemFile back(once.data().data(), once.data().size());
        if (again.Read(&back) != 1 || again.Write(&twice) != 1 || once.data() != twice.data()) std::abort();
        if (small_enough(g)) {
            CKrMonoBitmap mask;
            POINT origin{};
            switch (g.GetGraphType()) {
            case 1: g.DispBwBmp_Line(&mask, &origin); break;
            case 2: g.DispBwBmp_PolyLine(&mask, &origin); break;
            case 3: g.DispBwBmp_Rect(&mask, &origin); break;
            case 4: g.DispBwBmp_RoundRect(&mask, &origin); break;
            case 5: g.DispBwBmp_Ellipse(&mask, &origin); break;
            case 6: g.DispBwBmp_Pie(&mask, &origin); break;
            case 7: g.DispBwBmp_PolyGon(&mask, &origin); break;
            case 8: g.DispBwBmp_Spline(&mask, &origin); break;
            default: break;
            }
            g.SetEdgeType(g.GetEdgeType_Type(), g.GetEdgeType_Size() & 7, 0);
            g.SetShadType(g.GetShadType_Type(), g.GetShadType_Size() % 8, g.GetShadType_SoftSize() & 7,
                          g.GetShadType_SoftPen());
            g.SetBodyCol(g.GetBodyCol());
            g.SetEdgeCol(g.GetEdgeCol());
            g.SetShadCol(g.GetShadCol());
            const int expected = g.GetGraphType() >= 1 && g.GetGraphType() <= 8 ? 0 : 1;
            CKrFrameBuffer fb(40, 30, 1);
            if (g.DrawFrame(&fb) != expected) std::abort();
            CBox whole, body, edge, shadow;
            if (g.DrawFrameEria(&fb, whole, body, edge, shadow) != expected) std::abort();
        }
    }
    return 0;
}
