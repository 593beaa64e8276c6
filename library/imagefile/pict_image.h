// CKrPictImage: QuickDraw picture (PICT) files of version 2 holding one direct-colour pixel
// map (DirectBitsRect) of 16 or 32 bits a pixel, packed with PackBits.
//
// Read: 16-bit pixels, 32-bit pixels with 3 planes (red, green, blue) or 4 planes (key, red,
// green, blue). Written: always 32 bits with 4 planes, after a 512-byte zero preamble. Every
// number in the file is big-endian. Results: 0 success, -1 failure; the path overloads
// answer the open's cause code when the file cannot be opened.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/zorvik_api.h"
#include "framebuffer/kr_frame_buffer.h"
#include "platform/framework/cfile.h"
#include "platform/framework/cstring.h"

struct tagPICTRECT {
    std::int16_t top;
    std::int16_t left;
    std::int16_t bottom;
    std::int16_t right;
};

// The DirectBitsRect record from its opcode on: 70 bytes in the file.
struct tagFMT_PICT_PIXMAP {
    WORD opcode;
    DWORD baseAddr;
    WORD rowBytes;  // top bit set for a pixel map
    tagPICTRECT bounds;
    WORD pmVersion;
    WORD packType;
    DWORD packSize;
    DWORD hRes;
    DWORD vRes;
    WORD pixelType;
    WORD pixelSize;
    WORD cmpCount;
    WORD cmpSize;
    DWORD planeBytes;
    DWORD pmTable;
    DWORD pmReserved;
    tagPICTRECT srcRect;
    tagPICTRECT dstRect;
    WORD mode;
};

class ZORVIK_API CKrPictImage {
public:
    static constexpr std::size_t kPreambleBytes = 512;
    static constexpr std::size_t kPixmapBytes = 70;

    CKrPictImage() = default;
    CKrPictImage(const CKrPictImage&) = default;
    CKrPictImage& operator=(const CKrPictImage&) = default;
    virtual ~CKrPictImage() = default;

    int LoadImage(CString* path, CKrFrameBuffer* target);
    int LoadImage(const char* path, CKrFrameBuffer* target);
    int LoadImage(CFile* file, CKrFrameBuffer* target);
    // The long argument is not used: pictures are always written with 4 planes.
    int SaveImage(CString* path, CKrFrameBuffer* source, long unused);
    int SaveImage(const char* path, CKrFrameBuffer* source, long unused);
    int SaveImage(CFile* file, CKrFrameBuffer* source, long unused);

    long GetKeyFlag() const { return m_nKeyFlag; }

    // The DirectBitsRect record as stored (opcode included), and back.
    static void StorePixmap(const tagFMT_PICT_PIXMAP& pixmap, BYTE out[kPixmapBytes]);
    static bool ParsePixmap(const BYTE* bytes, std::size_t size, tagFMT_PICT_PIXMAP& pixmap);

    // The next PackBits packet of the byte stream at p with r bytes left (r >= 1): its length
    // (1 .. 127), and whether it repeats one byte.
    static long PictCheckComp(const BYTE* p, long r, bool* run);

protected:
    int LoadImage_Proc(CFile* file, CKrFrameBuffer* target);
    int ImgConv_PictToFb(const tagFMT_PICT_PIXMAP& pixmap, const BYTE* data, std::size_t size, CKrFrameBuffer* target);
    // Decoders: the packed rows (size bytes) into width × height pixels at dst.
    int ImgConv_Comp32(const BYTE* data, DWORD* dst, long width, long height, std::size_t size, WORD row_bytes);
    int ImgConv_Comp24(const BYTE* data, DWORD* dst, long width, long height, std::size_t size, WORD row_bytes);
    int ImgConv_Comp16(const BYTE* data, DWORD* dst, long width, long height, std::size_t size, WORD row_bytes);

    int SaveImage_Proc(CFile* file, CKrFrameBuffer* source, long unused);
    // Packs the picture into out (room for PackedBound); the bytes produced, or 0 on failure.
    std::size_t ImgConv_FbToPict(CKrFrameBuffer* source, BYTE* out);
    std::size_t ImgConv_Comp32A(CKrFrameBuffer* source, BYTE* out);

public:
    // The most bytes the packer produces for a picture of that size, odd-length pad included.
    static std::size_t PackedBound(unsigned long width, unsigned long height);

private:
    std::int32_t m_nKeyFlag = 0;
};
