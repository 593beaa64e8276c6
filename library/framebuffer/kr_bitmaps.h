// CKrMonoBitmap and CKrGrayBitmap: the two working rasters of the drawing pipeline.
//
// Text and shapes are rendered as one-bit masks (rows padded to whole 16-bit words, most
// significant bit leftmost, a set bit is ink), turned into eight-bit coverage maps (one byte
// a pixel, rows padded to an even number of bytes), and used as masks when colour is put into
// a frame buffer. Both classes own and describe their memory; their users draw into them.
//
// Result codes of Create: 0 success, 1 memory already present (nothing changes), 4 width or
// height below 1, 2 no memory (all fields cleared). Delete: 0, or 3 when nothing was held.
// Copies are deep: a copy owns its own block, so every block is released exactly once.
#pragma once

#include <cstdint>
#include <memory>

#include "core/zorvik_api.h"

namespace zk {

// Owner of one zero-filled block and its geometry; `row_bytes_for` sets the padding rule.
class RasterBlock {
public:
    using RowRule = std::uint32_t (*)(long width);

    explicit RasterBlock(RowRule rule) : rule_(rule) {}
    RasterBlock(const RasterBlock& o);
    RasterBlock& operator=(const RasterBlock& o);
    ~RasterBlock() = default;

    int create(long width, long height);
    int destroy();

    std::unique_ptr<std::uint8_t[]> block;
    std::uint8_t* bits = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t row_bytes = 0;
    std::uint32_t size = 0;

private:
    RowRule rule_;
};

} // namespace zk

class ZORVIK_API CKrMonoBitmap {
public:
    CKrMonoBitmap();
    CKrMonoBitmap(const CKrMonoBitmap& o);
    CKrMonoBitmap& operator=(const CKrMonoBitmap& o);
    virtual ~CKrMonoBitmap();

    int Create(long width, long height);
    int Delete();

    unsigned char* GetBits() { return m_raster.bits; }
    const unsigned char* GetBits() const { return m_raster.bits; }
    long GetWidth() const { return m_raster.width; }
    long GetHeight() const { return m_raster.height; }
    unsigned long GetLineByte() const { return m_raster.row_bytes; }
    unsigned long GetSize() const { return m_raster.size; }

    // Ink at (x, y); false outside the bitmap.
    bool GetPixel(long x, long y) const;
    void SetPixel(long x, long y, bool ink);

    // ((width + 15) / 16) × 2
    static std::uint32_t RowBytes(long width);

private:
    zk::RasterBlock m_raster;
};

class ZORVIK_API CKrGrayBitmap {
public:
    CKrGrayBitmap();
    CKrGrayBitmap(const CKrGrayBitmap& o);
    CKrGrayBitmap& operator=(const CKrGrayBitmap& o);
    virtual ~CKrGrayBitmap();

    int Create(long width, long height);
    int Delete();

    unsigned char* GetBits() { return m_raster.bits; }
    const unsigned char* GetBits() const { return m_raster.bits; }
    long GetWidth() const { return m_raster.width; }
    long GetHeight() const { return m_raster.height; }
    unsigned long GetLineByte() const { return m_raster.row_bytes; }
    unsigned long GetSize() const { return m_raster.size; }

    unsigned char* Row(long y) { return m_raster.bits + static_cast<std::size_t>(y) * m_raster.row_bytes; }
    const unsigned char* Row(long y) const { return m_raster.bits + static_cast<std::size_t>(y) * m_raster.row_bytes; }

    // ((width × 8 + 15) / 16) × 2
    static std::uint32_t RowBytes(long width);

private:
    zk::RasterBlock m_raster;
};
