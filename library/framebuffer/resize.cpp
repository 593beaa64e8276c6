// SizeChange and SizeChangeScale: the resize module when one is loaded, the library's own
// bilinear resampler otherwise.
#include <cmath>
#include <utility>

#include "core/errors.h"
#include "framebuffer/kernels/resample_bilinear.h"
#include "framebuffer/kr_frame_buffer.h"
#include "framebuffer/resize_routine.h"

namespace {

// The library's resampler from src into dst at dst's size.
int resample(CKrFrameBuffer& src, CKrFrameBuffer& dst, float fx, float fy)
{
    if (src.IsBuffer() == 1 || dst.IsBuffer() == 1) return ZK_FAIL(-1);
    zk::resample_bilinear(src.GetBufferByte(), static_cast<long>(src.GetWidth()), static_cast<long>(src.GetHeight()),
                          dst.GetBufferByte(), static_cast<long>(dst.GetWidth()), static_cast<long>(dst.GetHeight()),
                          fx, fy);
    return 0;
}

// Through the module: supersampling when shrinking (or keeping) both sides, cubic when
// either side grows.
int resize_with_module(ResizeRoutine routine, CKrFrameBuffer& src, CKrFrameBuffer& dst, long w, long h)
{
    const long sw = static_cast<long>(src.GetWidth());
    const long sh = static_cast<long>(src.GetHeight());
    const int interpolation = (w > sw || h > sh) ? zk::kInterCubic : zk::kInterSuper;
    if (dst.IsBuffer() == 1 || static_cast<long>(dst.GetWidth()) != w || static_cast<long>(dst.GetHeight()) != h) {
        dst.DeleteFrameBuffer();
        if (dst.CreateFrameBuffer(w, h, 0) != 0) return ZK_FAIL(-1);
    }
    const IppStatus status = routine(src.GetBufferByte(), IppiSize{static_cast<int>(sw), static_cast<int>(sh)},
                                     static_cast<int>(sw * 4), IppiRect{0, 0, static_cast<int>(sw), static_cast<int>(sh)},
                                     dst.GetBufferByte(), static_cast<int>(w * 4),
                                     IppiSize{static_cast<int>(w), static_cast<int>(h)},
                                     static_cast<double>(w) / static_cast<double>(sw),
                                     static_cast<double>(h) / static_cast<double>(sh), interpolation);
    return status == 0 ? 0 : ZK_FAIL(-1);
}

// The common tail of both operations: (re)create the target and fill it. A target that is
// the source itself is built aside and moved in at the end.
int resize_into(CKrFrameBuffer& src, CKrFrameBuffer& dst, long w, long h, float fx, float fy)
{
    CKrFrameBuffer aside;
    CKrFrameBuffer& target = &dst == &src ? aside : dst;
    target.DeleteFrameBuffer();
    target.CreateFrameBuffer(w, h, 1);  // a failure here shows up as an empty target below
    int result;
    if (ResizeRoutine routine = zk::resize_routine()) {
        result = resize_with_module(routine, src, target, w, h);
    } else {
        result = resample(src, target, fx, fy);
    }
    if (&target == &aside) dst = std::move(aside);
    return result;
}

} // namespace

int CKrFrameBuffer::SizeChange(CKrFrameBuffer* dst, long width, long height)
{
    if (width < 1 || height < 1 || !dst) return ZK_FAIL(-1);
    if (IsBuffer() == 1) return ZK_FAIL(-1);
    const float fx = static_cast<float>(static_cast<double>(width) / static_cast<double>(m_nWidth));
    const float fy = static_cast<float>(static_cast<double>(height) / static_cast<double>(m_nHeight));
    return resize_into(*this, *dst, width, height, fx, fy);
}

int CKrFrameBuffer::SizeChangeScale(CKrFrameBuffer* dst, float sx, float sy)
{
    if (!(sx > 0.0f) || !(sy > 0.0f) || !dst) return ZK_FAIL(-1);
    if (IsBuffer() == 1) return ZK_FAIL(-1);
    const float fw = static_cast<float>(m_nWidth) * sx;
    const float fh = static_cast<float>(m_nHeight) * sy;
    // A size that no buffer could have is refused before it is converted to an integer.
    if (!(fw < 2147483648.0f) || !(fh < 2147483648.0f)) return ZK_FAIL(-1);
    const long w = static_cast<long>(fw);
    const long h = static_cast<long>(fh);
    return resize_into(*this, *dst, w, h, sx, sy);
}
