// CKrTargaImage: reads true-colour Targa files into a frame buffer and writes frame buffers as
// 32-bit Targa files, the format in which the whole system keeps its still pictures.
//
// Read: image types 2 (uncompressed) and 10 (run-length), 24 or 32 bits a pixel, rows in
// either vertical order; colour-mapped, grey, 8- and 16-bit and right-to-left files are
// refused. Written: always 32 bits with the key, rows bottom to top, type 2 or 10. Targa
// pixels are stored blue, green, red, key, the same byte order as a frame-buffer pixel.
//
// Results: 0 success, -1 failure; the path overloads answer the open's cause code when the
// file cannot be opened. The object remembers whether the last file carried a key channel.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/zorvik_api.h"
#include "framebuffer/kr_frame_buffer.h"
#include "platform/framework/cfile.h"
#include "platform/framework/cstring.h"

// The 18-byte file header, in memory. Stored little-endian field by field, never by memcpy.
struct tagTGA_HEADER {
    BYTE IDLength;
    BYTE ColorMapType;
    BYTE ImageType;
    WORD CMapStart;
    WORD CMapLength;
    BYTE CMapDepth;
    WORD XOffset;
    WORD YOffset;
    WORD Width;
    WORD Height;
    BYTE PixelDepth;
    BYTE ImageDescriptor;
};

class ZORVIK_API CKrTargaImage {
public:
    static constexpr std::size_t kHeaderBytes = 18;

    CKrTargaImage() = default;
    CKrTargaImage(const CKrTargaImage&) = default;
    CKrTargaImage& operator=(const CKrTargaImage&) = default;
    virtual ~CKrTargaImage() = default;

    // target must be empty; the codec creates it.
    int LoadImage(CString* path, CKrFrameBuffer* target);
    int LoadImage(CFile* file, CKrFrameBuffer* target);
    // compress non-zero writes run-length packets (image type 10).
    int SaveImage(CString* path, CKrFrameBuffer* source, long compress);
    int SaveImage(CFile* file, CKrFrameBuffer* source, long compress);

    long GetKeyFlag() const { return m_nKeyFlag; }

    // The header as stored, and back; parse fails only when fewer than 18 bytes are given.
    static void StoreHeader(const tagTGA_HEADER& header, BYTE out[kHeaderBytes]);
    static bool ParseHeader(const BYTE* bytes, std::size_t size, tagTGA_HEADER& header);

protected:
    int LoadImage_Proc(CFile* file, CKrFrameBuffer* target);
    int ImgConv_TgaToFb(const tagTGA_HEADER& header, const BYTE* data, std::size_t size, CKrFrameBuffer* target);
    // Decoders: the pixel data of `size` bytes into width × height pixels at dst, rows in file
    // order top first when top_down is set. 0, or -1 when the data runs out first.
    int ImgConv_UnComp32(const BYTE* src, std::size_t size, DWORD* dst, long width, long height, int top_down);
    int ImgConv_UnComp24(const BYTE* src, std::size_t size, DWORD* dst, long width, long height, int top_down);
    int ImgConv_Comp32(const BYTE* src, std::size_t size, DWORD* dst, long width, long height, int top_down);
    int ImgConv_Comp24(const BYTE* src, std::size_t size, DWORD* dst, long width, long height, int top_down);

    int SaveImage_Proc(CFile* file, CKrFrameBuffer* source, long compress);
    // Fills the header and encodes into out (room for WorstCaseBytes); the bytes produced.
    std::size_t ImgConv_FbToTga(CKrFrameBuffer* source, tagTGA_HEADER* header, BYTE* out, long compress);
    std::size_t ImgConv_TgaUnComp(CKrFrameBuffer* source, BYTE* out);
    std::size_t ImgConv_TgaComp(CKrFrameBuffer* source, BYTE* out);

public:
    // The length (1 .. 127) of the packet that starts at row[0] with n pixels left in the row;
    // run says whether it repeats one pixel.
    static long TgaCheckComp(const DWORD* row, long n, bool* run);
    // The most bytes the run-length encoder can produce for width × height pixels.
    static std::size_t WorstCaseBytes(unsigned long width, unsigned long height);

private:
    std::int32_t m_nKeyFlag = 0;
};
