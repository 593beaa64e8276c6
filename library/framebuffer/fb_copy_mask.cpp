// CKrFrameBuffer::FbCopyMask: the copy that blends under an eight-bit coverage mask.
//
// The mask is read at the source position of each pixel, so a layer and its own grey image
// line up whatever part of the layer is clipped away. Positions beyond the mask's width or
// height count as coverage 0.
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/errors.h"
#include "framebuffer/copy_clip.h"
#include "framebuffer/kernels/mask_blend.h"
#include "framebuffer/kr_bitmaps.h"
#include "framebuffer/kr_frame_buffer.h"

int CKrFrameBuffer::FbCopyMask(CKrFrameBuffer* src, CKrGrayBitmap* mask, long sx, long sy, long w, long h, long dx,
                               long dy, CBox* done)
{
    if (!m_pByte || !src || !src->m_pByte || !mask) return ZK_FAIL(-1);
    zk::CopyArea a{};
    if (!zk::clip_copy(static_cast<long>(src->m_nWidth), static_cast<long>(src->m_nHeight),
                       static_cast<long>(m_nWidth), static_cast<long>(m_nHeight), sx, sy, w, h, dx, dy, a)) {
        return ZK_FAIL(-1);
    }
    const std::size_t src_stride = src->m_nWidth;
    const std::size_t dst_stride = m_nWidth;
    const std::size_t n = static_cast<std::size_t>(a.w);
    const long mask_w = mask->GetBits() ? mask->GetWidth() : 0;
    const long mask_h = mask->GetBits() ? mask->GetHeight() : 0;
    // The part of each row that the mask covers (source columns a.sx .. a.sx + covered - 1).
    const std::size_t covered =
        a.sx >= mask_w ? 0 : std::min(n, static_cast<std::size_t>(mask_w - a.sx));

    // Within one buffer, rows run bottom-up when the area moves down and each source row is
    // staged, so every source pixel is read before it is overwritten.
    const bool self = src == this;
    const bool rows_up = self && a.dy > a.sy;
    std::vector<DWORD> stage(self ? n : 0);
    for (long i = 0; i < a.h; ++i) {
        const long r = rows_up ? a.h - 1 - i : i;
        const DWORD* srow = src->GetBufferDWord() + static_cast<std::size_t>(a.sy + r) * src_stride +
                            static_cast<std::size_t>(a.sx);
        DWORD* drow = GetBufferDWord() + static_cast<std::size_t>(a.dy + r) * dst_stride + static_cast<std::size_t>(a.dx);
        if (self) {
            std::memcpy(stage.data(), srow, n * 4);
            srow = stage.data();
        }
        const long my = a.sy + r;
        const std::uint8_t* mrow = my < mask_h && covered ? mask->Row(my) + a.sx : nullptr;
        const std::size_t with_mask = mrow ? covered : 0;
        if (with_mask) zk::mask_blend_row(drow, srow, mrow, with_mask);
        if (with_mask < n) zk::mask_blend_row(drow + with_mask, srow + with_mask, nullptr, n - with_mask);
    }
    if (done) done->SetBox(a.dx, a.dy, a.w, a.h);
    return 0;
}
