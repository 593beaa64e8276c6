// CDib: one device-independent bitmap (header, colour table, pixel rows) and BMP files.
//
// The bitmap is a header block (a 40-byte BITMAPINFOHEADER and its colour table of 4-byte
// entries blue, green, red, reserved) and the pixel rows, each padded to a multiple of 4
// bytes, bottom row first unless the header's height is negative. The object may own both
// parts, wrap memory that belongs to someone else, or point into a mapped BMP file.
//
// Memory handed over with ownership (AttachMemory) must come from std::malloc: the object
// frees it with std::free, also when it is passed as the "global" handle.
//
// The Windows display side of a DIB (GDI palettes realised on a device, DIB sections,
// stretching onto a device context, the DrawDib layer, RLE compression through GDI) does not
// exist here. The palette is kept as memory only (MakePalette, GetPalette) and GetDrawDIB
// answers null: there is never a DrawDib handle.
//
// Results: 1 (or a pointer) for success, 0 (or null) for failure. No exception leaves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/zorvik_api.h"
#include "platform/framework/carchive.h"
#include "platform/framework/cfile.h"
#include "platform/framework/cobject.h"
#include "platform/framework/geometry.h"
#include "platform/framework/win_types.h"

namespace zk {
class FileMapping;
}

// One entry of the bitmap's logical palette (the colour table's red, green, blue, flags 0).
struct DibPaletteEntry {
    BYTE peRed;
    BYTE peGreen;
    BYTE peBlue;
    BYTE peFlags;
};

struct DibPalette {
    WORD palVersion = 0x300;
    std::vector<DibPaletteEntry> entries;
};

class ZORVIK_API CDib : public CObject {
    DECLARE_SERIAL(CDib)

public:
    enum Alloc { noAlloc = 0, crtAlloc = 1, heapAlloc = 2 };

    CDib();
    // A header and a zeroed colour table for that size and depth, no pixel memory.
    CDib(CSize size, int bit_count);
    CDib(int width, int height, int bit_count, int invert);
    // Wraps the caller's pixels; stays empty unless the bit count is 16, 24 or 32.
    CDib(void* pixels, CSize size, int bit_count, int invert);
    CDib(const CDib&) = delete;
    CDib& operator=(const CDib&) = delete;
    ~CDib() override;

    int Create(int width, int height, int bit_count, int invert);
    int AttachImage(void* pixels, CSize size, int bit_count, int invert);
    int AttachMemory(void* packed, int take_ownership = 0, void* global_handle = nullptr);
    void Empty();

    int Read(CFile* file);
    int Write(CFile* file);
    void Serialize(CArchive& ar) override;

    int AttachMapFile(const char* path, int share = 0);
    int CopyToMapFile(const char* path);

    DWORD GetSizeImage() const { return m_dwSizeImage; }
    int GetSizeHeader() const { return 40 + 4 * m_nColorTableEntries; }
    long GetWidth() const;
    long GetHeight() const;
    CSize GetDimensions() const;
    BITMAPINFOHEADER* GetBitmapInfoHeader() const { return m_lpBMIH; }
    BYTE* GetImageBuffer() const { return m_lpImage; }
    void* GetDrawDIB() const { return nullptr; }
    operator void*() const { return nullptr; }
    int GetInvert() const;
    int GetBitCount() const;
    int GetLineByte() const;
    int GetColorTableEntries() const { return m_nColorTableEntries; }
    const RGBQUAD* GetColorTable() const { return static_cast<const RGBQUAD*>(m_lpvColorTable); }

    // Rebuilds the palette from the colour table; 0 when there is none.
    int MakePalette();
    const DibPalette* GetPalette() const { return m_pPalette.get(); }

private:
    // Adopts a header block (and the image behind its colour table) without emptying first;
    // the caller checks that the block holds what its header announces.
    void adopt_block(BITMAPINFOHEADER* header, int ownership, void* global_handle);
    void compute_metrics();
    void compute_palette_size(int bit_count);
    bool build_header(int width, int height, int bit_count, int invert, bool with_image);
    void detach_map_file();

    void* m_lpvColorTable = nullptr;
    BYTE* m_lpImage = nullptr;
    BITMAPINFOHEADER* m_lpBMIH = nullptr;
    void* m_hGlobal = nullptr;
    int m_nBmihAlloc = noAlloc;
    int m_nImageAlloc = noAlloc;
    DWORD m_dwSizeImage = 0;
    int m_nColorTableEntries = 0;
    // Bytes of the header block as held: what Write stores between file header and pixels.
    std::size_t m_nHeaderBlock = 0;
    // The mapped BMP file the header and rows point into, when there is one.
    std::unique_ptr<zk::FileMapping> m_pMap;
    std::unique_ptr<DibPalette> m_pPalette;
};
