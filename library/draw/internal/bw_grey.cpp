// The grey-image steps of the renderer; the per-pixel work is in draw/kernels/.
#include "draw/internal/bw_grey.h"

#include <cstring>

#include "core/errors.h"
#include "draw/kernels/anti_gray.h"
#include "draw/kernels/edge_grow.h"

namespace zk {
namespace {

GreyPlane plane(const CKrGrayBitmap& g)
{
    return {g.GetBits(), g.GetLineByte(), g.GetWidth(), g.GetHeight()};
}

// When input and output are one bitmap, the input is taken aside before the output is emptied.
struct StableInput {
    StableInput(const CKrGrayBitmap& in, const CKrGrayBitmap& out) : ref(&in)
    {
        if (&in == &out) {
            copy = in;
            ref = &copy;
        }
    }
    CKrGrayBitmap copy;
    const CKrGrayBitmap* ref;
};

} // namespace

int make_anti_gray(long scale, const CKrMonoBitmap& mask, CKrGrayBitmap& out)
{
    out.Delete();
    if (!anti_gray_scale_ok(scale) || !mask.GetBits()) return ZK_FAIL(-1);
    const std::size_t bytes = mask.GetLineByte();
    const long s = scale;
    const long w = static_cast<long>(bytes * 8 / static_cast<std::size_t>(s));
    const long h = mask.GetHeight() / s;
    if (out.Create(w, h) != 0) return ZK_FAIL(-1);
    for (long y = 0; y < h; ++y) {
        anti_gray_row(mask.GetBits() + static_cast<std::size_t>(y * s) * bytes, bytes, static_cast<int>(s), bytes,
                      out.Row(y));
    }
    return 0;
}

int key_to_gray(const CKrFrameBuffer& fb, CKrGrayBitmap& out)
{
    out.Delete();
    if (fb.IsBuffer() == 1) return ZK_FAIL(-1);
    const long w = static_cast<long>(fb.GetWidth());
    const long h = static_cast<long>(fb.GetHeight());
    if (out.Create(w, h) != 0) return ZK_FAIL(-1);
    const DWORD* p = fb.GetBufferDWord();
    for (long y = 0; y < h; ++y) {
        std::uint8_t* o = out.Row(y);
        const DWORD* row = p + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
        for (long x = 0; x < w; ++x) o[x] = static_cast<std::uint8_t>(row[x] >> 24);
    }
    return 0;
}

int make_edge(bool soft, long size, const CKrGrayBitmap& in_, CKrGrayBitmap& out)
{
    const StableInput keep(in_, out);
    const CKrGrayBitmap& in = *keep.ref;
    out.Delete();
    if (size < 1 || !in.GetBits()) return ZK_FAIL(-1);
    const int r = static_cast<int>(clamp_decoration(size));
    if (out.Create(in.GetWidth() + 2L * r, in.GetHeight() + 2L * r) != 0) return ZK_FAIL(-1);
    if (soft) {
        grow_edge_soft(plane(in), r, out.GetBits(), out.GetLineByte());
    } else {
        grow_edge_hard(plane(in), r, out.GetBits(), out.GetLineByte());
    }
    return 0;
}

int make_extrusion(long depth, const CKrGrayBitmap& in_, CKrGrayBitmap& out)
{
    const StableInput keep(in_, out);
    const CKrGrayBitmap& in = *keep.ref;
    out.Delete();
    if (!in.GetBits()) return ZK_FAIL(-1);
    const long n = clamp_decoration(depth < 0 ? -depth : depth);
    if (out.Create(in.GetWidth() + n, in.GetHeight() + n) != 0) return ZK_FAIL(-1);
    grow_extrusion(plane(in), static_cast<int>(n), out.GetBits(), out.GetLineByte());
    return 0;
}

int make_shadow(long type, long size, long soft_size, const CKrGrayBitmap& in_, CKrGrayBitmap& out)
{
    const StableInput keep(in_, out);
    const CKrGrayBitmap& in = *keep.ref;
    out.Delete();
    if (!in.GetBits()) return ZK_FAIL(-1);
    if (type == 1) return make_extrusion(size, in, out);
    if (type == 2) {
        if (soft_size >= 1) return make_edge(true, soft_size, in, out);
        // No blur: an empty shadow where the sharp one would lie.
        return out.Create(in.GetWidth(), in.GetHeight()) == 0 ? 0 : ZK_FAIL(-1);
    }
    out = in;
    return out.GetBits() ? 0 : ZK_FAIL(-1);
}

} // namespace zk
