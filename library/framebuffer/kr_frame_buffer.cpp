// CKrFrameBuffer: ownership, copies and composites, fills and pixel transforms.
#include "framebuffer/kr_frame_buffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "core/checked.h"
#include "core/errors.h"
#include "framebuffer/copy_clip.h"
#include "framebuffer/kernels/composite.h"

namespace {

constexpr std::size_t kBlockAlign = 64;

// Luminance as the library computes it for keys and tints: 0 .. 255.
inline DWORD luminance(DWORD p)
{
    const DWORD b = p & 0xFF, g = (p >> 8) & 0xFF, r = (p >> 16) & 0xFF;
    return ((19661 * r + 38666 * g + 7209 * b + 32768) >> 16) & 0xFFFF;
}

} // namespace

void CKrFrameBuffer::BlockFree::operator()(unsigned char* p) const
{
    std::free(p);
}

CKrFrameBuffer::CKrFrameBuffer() = default;

CKrFrameBuffer::CKrFrameBuffer(long width, long height, int flag)
{
    CreateFrameBuffer(width, height, flag);
}

CKrFrameBuffer::CKrFrameBuffer(const CKrFrameBuffer& src)
{
    *this = src;
}

CKrFrameBuffer& CKrFrameBuffer::operator=(const CKrFrameBuffer& src)
{
    if (this == &src) return *this;
    DeleteFrameBuffer();
    if (src.IsBuffer() == 0 &&
        CreateFrameBuffer(static_cast<long>(src.m_nWidth), static_cast<long>(src.m_nHeight), 1) == 0) {
        std::memcpy(m_pByte, src.m_pByte, m_nSize);
    }
    return *this;
}

CKrFrameBuffer::CKrFrameBuffer(CKrFrameBuffer&& src) noexcept
{
    *this = std::move(src);
}

CKrFrameBuffer& CKrFrameBuffer::operator=(CKrFrameBuffer&& src) noexcept
{
    if (this == &src) return *this;
    m_hBlock = std::move(src.m_hBlock);
    m_pByte = std::exchange(src.m_pByte, nullptr);
    m_nSize = std::exchange(src.m_nSize, 0);
    m_nWidth = std::exchange(src.m_nWidth, 0);
    m_nHeight = std::exchange(src.m_nHeight, 0);
    m_nInvert = 1;
    src.m_nInvert = 1;
    return *this;
}

CKrFrameBuffer::~CKrFrameBuffer() = default;

int CKrFrameBuffer::CreateFrameBuffer(long width, long height, int flag)
{
    if (m_pByte) return 1;
    if (width < 1 || height < 1) return 4;
    std::size_t bytes = 0;
    if (!zk::image_bytes(width, height, 4, bytes)) return ZK_FAIL(2);
    // aligned_alloc wants a multiple of the alignment.
    const std::size_t rounded = (bytes + kBlockAlign - 1) / kBlockAlign * kBlockAlign;
    auto* p = static_cast<unsigned char*>(std::aligned_alloc(kBlockAlign, rounded));
    if (!p) return ZK_FAIL(2);
    if (flag == 1) std::memset(p, 0, bytes);
    m_hBlock.reset(p);
    m_pByte = p;
    m_nSize = bytes;
    m_nWidth = static_cast<unsigned long>(width);
    m_nHeight = static_cast<unsigned long>(height);
    m_nInvert = 1;
    return 0;
}

int CKrFrameBuffer::DeleteFrameBuffer()
{
    if (!m_pByte) return 3;
    m_hBlock.reset();
    m_pByte = nullptr;
    m_nSize = 0;
    m_nWidth = 0;
    m_nHeight = 0;
    m_nInvert = 1;
    return 0;
}

int CKrFrameBuffer::FbCopy(CKrFrameBuffer* src, long sx, long sy, long w, long h, long dx, long dy, long mode,
                           CBox* done)
{
    if (!m_pByte || !src || !src->m_pByte) return ZK_FAIL(-1);
    zk::CopyArea a{};
    if (!zk::clip_copy(static_cast<long>(src->m_nWidth), static_cast<long>(src->m_nHeight),
                       static_cast<long>(m_nWidth), static_cast<long>(m_nHeight), sx, sy, w, h, dx, dy, a)) {
        return ZK_FAIL(-1);
    }
    const bool composite = mode >= 1;
    const std::size_t src_stride = src->m_nWidth;
    const std::size_t dst_stride = m_nWidth;
    const DWORD* s = src->GetBufferDWord() + static_cast<std::size_t>(a.sy) * src_stride + static_cast<std::size_t>(a.sx);
    DWORD* d = GetBufferDWord() + static_cast<std::size_t>(a.dy) * dst_stride + static_cast<std::size_t>(a.dx);
    const std::size_t n = static_cast<std::size_t>(a.w);

    // A copy within one buffer reads every source pixel before it is overwritten: rows run
    // bottom-up when the area moves down, and a row that overlaps itself is staged in chunks.
    const bool self = src == this;
    const bool rows_up = self && a.dy > a.sy;
    const bool row_overlap = self && a.dy == a.sy && std::labs(a.dx - a.sx) < a.w;
    for (long i = 0; i < a.h; ++i) {
        const long r = rows_up ? a.h - 1 - i : i;
        const DWORD* srow = s + static_cast<std::size_t>(r) * src_stride;
        DWORD* drow = d + static_cast<std::size_t>(r) * dst_stride;
        if (!composite) {
            std::memmove(drow, srow, n * 4);
        } else if (!row_overlap) {
            zk::composite_row(drow, srow, n);
        } else {
            constexpr std::size_t kChunk = 512;
            DWORD stage[kChunk];
            const bool backwards = a.dx > a.sx;
            for (std::size_t done_px = 0; done_px < n;) {
                const std::size_t len = std::min(kChunk, n - done_px);
                const std::size_t at = backwards ? n - done_px - len : done_px;
                std::memcpy(stage, srow + at, len * 4);
                zk::composite_row(drow + at, stage, len);
                done_px += len;
            }
        }
    }
    if (done) done->SetBox(a.dx, a.dy, a.w, a.h);
    return 0;
}

DWORD CKrFrameBuffer::CopyKeyPixcel(DWORD src, DWORD dst)
{
    if ((src >> 24) == 0) return dst;
    return zk::key_composite(src, dst);
}

int CKrFrameBuffer::GetKeyFreameBuffer(CKrFrameBuffer* out)
{
    if (!m_pByte || !out) return ZK_FAIL(-1);
    // Built aside first, so that out may be this very buffer.
    CKrFrameBuffer grey;
    if (grey.CreateFrameBuffer(static_cast<long>(m_nWidth), static_cast<long>(m_nHeight), 1) != 0) {
        out->DeleteFrameBuffer();
        return ZK_FAIL(-1);
    }
    const DWORD* s = GetBufferDWord();
    DWORD* d = grey.GetBufferDWord();
    const std::size_t n = static_cast<std::size_t>(m_nWidth) * m_nHeight;
    for (std::size_t i = 0; i < n; ++i) d[i] = (s[i] >> 24) * 0x01010101u;
    *out = std::move(grey);
    return 0;
}

void CKrFrameBuffer::Clear()
{
    if (m_pByte) std::memset(m_pByte, 0, m_nSize);
}

void CKrFrameBuffer::ClearCol(DWORD colour)
{
    if (!m_pByte) return;
    DWORD* p = GetBufferDWord();
    std::fill(p, p + static_cast<std::size_t>(m_nWidth) * m_nHeight, colour);
}

void CKrFrameBuffer::ClearCross(POINT cell, DWORD colour1, DWORD colour2)
{
    if (!m_pByte) return;
    const unsigned long cw = static_cast<unsigned long>(std::max<LONG>(cell.x, 2));
    const unsigned long ch = static_cast<unsigned long>(std::max<LONG>(cell.y, 2));
    const DWORD c[2] = {colour1 | 0xFF000000u, colour2 | 0xFF000000u};
    DWORD* p = GetBufferDWord();
    // The first row of each band is drawn, the rest of the band repeats it. A buffer of a
    // single row simply gets the first band's row.
    for (unsigned long y = 0; y < m_nHeight; ++y) {
        DWORD* row = p + static_cast<std::size_t>(y) * m_nWidth;
        if (y % ch != 0) {
            std::memcpy(row, row - m_nWidth, m_nWidth * 4);
            continue;
        }
        const unsigned long band = (y / ch) & 1;
        for (unsigned long x = 0; x < m_nWidth; ++x) row[x] = c[((x / cw) & 1) ^ band];
    }
}

void CKrFrameBuffer::ClearKey()
{
    if (!m_pByte) return;
    DWORD* p = GetBufferDWord();
    const std::size_t n = static_cast<std::size_t>(m_nWidth) * m_nHeight;
    for (std::size_t i = 0; i < n; ++i) p[i] &= 0x00FFFFFFu;
}

void CKrFrameBuffer::MakeLuminanceKey(DWORD low, DWORD range)
{
    if (!m_pByte) return;
    DWORD* p = GetBufferDWord();
    const std::size_t n = static_cast<std::size_t>(m_nWidth) * m_nHeight;
    // range + 1 is taken in 64 bits so that the largest range divides instead of wrapping to 0.
    const std::uint64_t divisor = static_cast<std::uint64_t>(range) + 1;
    for (std::size_t i = 0; i < n; ++i) {
        const DWORD y = luminance(p[i]);
        DWORD key = 0;
        if (y > low) {
            const std::uint64_t e = y - low;
            key = e <= range ? static_cast<DWORD>(std::min<std::uint64_t>(255, e * 255 / divisor)) : 255;
        }
        p[i] = (p[i] & 0x00FFFFFFu) | key << 24;
    }
}

void CKrFrameBuffer::ImageChColor(DWORD colour)
{
    if (!m_pByte) return;
    DWORD* p = GetBufferDWord();
    const std::size_t n = static_cast<std::size_t>(m_nWidth) * m_nHeight;
    const DWORD cb = colour & 0xFF, cg = (colour >> 8) & 0xFF, cr = (colour >> 16) & 0xFF;
    for (std::size_t i = 0; i < n; ++i) {
        const DWORD y = std::min<DWORD>(luminance(p[i]), 255);
        p[i] = (p[i] & 0xFF000000u) | (y * cr / 255) << 16 | (y * cg / 255) << 8 | (y * cb / 255);
    }
}

int CKrFrameBuffer::CopyBitmap24(unsigned char* bits, BITMAPINFOHEADER* header, int topdown)
{
    if (!bits || !m_pByte) return ZK_FAIL(-1);
    const std::size_t stride = ((m_nWidth * 24 + 31) / 8) & ~std::size_t{3};
    const DWORD* s = GetBufferDWord();
    for (unsigned long y = 0; y < m_nHeight; ++y) {
        const unsigned long out_row = topdown == 0 ? m_nHeight - 1 - y : y;
        unsigned char* d = bits + static_cast<std::size_t>(out_row) * stride;
        const DWORD* row = s + static_cast<std::size_t>(y) * m_nWidth;
        for (unsigned long x = 0; x < m_nWidth; ++x) {
            d[x * 3 + 0] = static_cast<unsigned char>(row[x]);
            d[x * 3 + 1] = static_cast<unsigned char>(row[x] >> 8);
            d[x * 3 + 2] = static_cast<unsigned char>(row[x] >> 16);
        }
    }
    if (header) {
        *header = BITMAPINFOHEADER{};
        header->biSize = 40;
        header->biWidth = static_cast<LONG>(m_nWidth);
        header->biHeight = topdown == 1 ? -static_cast<LONG>(m_nHeight) : static_cast<LONG>(m_nHeight);
        header->biPlanes = 1;
        header->biBitCount = 24;
        header->biCompression = BI_RGB;
        header->biSizeImage = static_cast<DWORD>(stride * m_nHeight);
    }
    return 0;
}
