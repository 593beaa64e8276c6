// Create, Delete and the deep copies of the one-bit and eight-bit rasters.
#include "framebuffer/kr_bitmaps.h"

#include <cstring>
#include <new>

#include "core/checked.h"
#include "core/errors.h"

namespace zk {

RasterBlock::RasterBlock(const RasterBlock& o) : rule_(o.rule_)
{
    *this = o;
}

RasterBlock& RasterBlock::operator=(const RasterBlock& o)
{
    if (this == &o) return *this;
    destroy();
    rule_ = o.rule_;
    if (o.bits && create(o.width, o.height) == 0) std::memcpy(bits, o.bits, size);
    return *this;
}

int RasterBlock::create(long w, long h)
{
    if (bits) return 1;
    if (w < 1 || h < 1) return 4;
    const std::uint64_t rb = rule_(w);
    std::size_t total = 0;
    if (w > INT32_MAX || h > INT32_MAX || !checked_mul(rb, static_cast<std::size_t>(h), total) ||
        total > kMaxBufferBytes) {
        return ZK_FAIL(2);
    }
    std::uint8_t* p = new (std::nothrow) std::uint8_t[total]();
    if (!p) return ZK_FAIL(2);
    block.reset(p);
    bits = p;
    width = static_cast<std::int32_t>(w);
    height = static_cast<std::int32_t>(h);
    row_bytes = static_cast<std::uint32_t>(rb);
    size = static_cast<std::uint32_t>(total);
    return 0;
}

int RasterBlock::destroy()
{
    if (!bits) return 3;
    block.reset();
    bits = nullptr;
    width = height = 0;
    row_bytes = size = 0;
    return 0;
}

} // namespace zk

std::uint32_t CKrMonoBitmap::RowBytes(long width)
{
    return static_cast<std::uint32_t>((width + 15) / 16 * 2);
}

CKrMonoBitmap::CKrMonoBitmap() : m_raster(&CKrMonoBitmap::RowBytes) {}
CKrMonoBitmap::CKrMonoBitmap(const CKrMonoBitmap& o) = default;
CKrMonoBitmap& CKrMonoBitmap::operator=(const CKrMonoBitmap& o) = default;
CKrMonoBitmap::~CKrMonoBitmap() = default;

int CKrMonoBitmap::Create(long width, long height)
{
    return m_raster.create(width, height);
}

int CKrMonoBitmap::Delete()
{
    return m_raster.destroy();
}

bool CKrMonoBitmap::GetPixel(long x, long y) const
{
    if (!m_raster.bits || x < 0 || y < 0 || x >= m_raster.width || y >= m_raster.height) return false;
    const std::uint8_t b = m_raster.bits[static_cast<std::size_t>(y) * m_raster.row_bytes + static_cast<std::size_t>(x / 8)];
    return (b >> (7 - x % 8)) & 1;
}

void CKrMonoBitmap::SetPixel(long x, long y, bool ink)
{
    if (!m_raster.bits || x < 0 || y < 0 || x >= m_raster.width || y >= m_raster.height) return;
    std::uint8_t& b = m_raster.bits[static_cast<std::size_t>(y) * m_raster.row_bytes + static_cast<std::size_t>(x / 8)];
    const std::uint8_t bit = static_cast<std::uint8_t>(0x80 >> (x % 8));
    b = ink ? (b | bit) : (b & ~bit);
}

std::uint32_t CKrGrayBitmap::RowBytes(long width)
{
    return static_cast<std::uint32_t>((width * 8 + 15) / 16 * 2);
}

CKrGrayBitmap::CKrGrayBitmap() : m_raster(&CKrGrayBitmap::RowBytes) {}
CKrGrayBitmap::CKrGrayBitmap(const CKrGrayBitmap& o) = default;
CKrGrayBitmap& CKrGrayBitmap::operator=(const CKrGrayBitmap& o) = default;
CKrGrayBitmap::~CKrGrayBitmap() = default;

int CKrGrayBitmap::Create(long width, long height)
{
    return m_raster.create(width, height);
}

int CKrGrayBitmap::Delete()
{
    return m_raster.destroy();
}
