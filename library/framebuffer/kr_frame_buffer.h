// CKrFrameBuffer: the picture in memory that every part of the library draws into, loads
// into, saves from and sends to the video hardware.
//
// Pixels are 32-bit words blue | green << 8 | red << 16 | key << 24 (bytes in memory blue,
// green, red, key), key 0 transparent and 255 opaque. The first row in memory is the top row
// and rows follow each other without padding. The object owns its pixel block.
//
// Result codes: 0 success; CreateFrameBuffer 1 (already holds pixels), 2 (no memory),
// 4 (bad size); DeleteFrameBuffer 3 (nothing to free); copies, composites and conversions -1.
// IsBuffer answers 1 when the buffer is EMPTY.
#pragma once

#include <cstddef>
#include <memory>

#include "core/zorvik_api.h"
#include "framebuffer/box.h"
#include "platform/framework/geometry.h"
#include "platform/framework/win_types.h"

class CKrGrayBitmap;
struct tagKRBWDRAWINFO;

class ZORVIK_API CKrFrameBuffer {
public:
    CKrFrameBuffer();
    CKrFrameBuffer(long width, long height, int flag);
    CKrFrameBuffer(const CKrFrameBuffer& src);
    CKrFrameBuffer& operator=(const CKrFrameBuffer& src);
    CKrFrameBuffer(CKrFrameBuffer&& src) noexcept;
    CKrFrameBuffer& operator=(CKrFrameBuffer&& src) noexcept;
    virtual ~CKrFrameBuffer();

    // Allocates width × height pixels, zero-filled when flag is 1.
    int CreateFrameBuffer(long width, long height, int flag);
    int DeleteFrameBuffer();

    unsigned char* GetBufferByte() { return m_pByte; }
    const unsigned char* GetBufferByte() const { return m_pByte; }
    DWORD* GetBufferDWord() { return reinterpret_cast<DWORD*>(m_pByte); }
    const DWORD* GetBufferDWord() const { return reinterpret_cast<const DWORD*>(m_pByte); }
    unsigned long GetSize() const { return m_nSize; }
    unsigned long GetWidth() const { return m_nWidth; }
    unsigned long GetHeight() const { return m_nHeight; }
    CSize GetWH() const { return CSize(static_cast<long>(m_nWidth), static_cast<long>(m_nHeight)); }
    unsigned long GetLineByte() const { return m_nWidth * 4; }
    int GetInvert() const { return m_nInvert; }
    unsigned short GetBitCount() const { return 32; }
    // 1 when NO pixels are held, 0 when they are.
    int IsBuffer() const { return m_pByte ? 0 : 1; }

    // Copies (mode 0) or composites by key (mode 1) the w × h area at (sx, sy) of src to
    // (dx, dy), clipped to both buffers; done (optional) receives the area written.
    int FbCopy(CKrFrameBuffer* src, long sx, long sy, long w, long h, long dx, long dy, long mode, CBox* done);
    // Like FbCopy, but each pixel is blended under the mask byte at its source position (0
    // outside the mask): a mask of 255 replaces what is there, a mask of 0 lays the source over
    // it. Same clipping and done rectangle as FbCopy; the mask must not be null.
    int FbCopyMask(CKrFrameBuffer* src, CKrGrayBitmap* mask, long sx, long sy, long w, long h, long dx, long dy,
                   CBox* done);
    // The key composite of one pixel; a transparent source always leaves the destination.
    static DWORD CopyKeyPixcel(DWORD src, DWORD dst);
    // Makes out a grey picture of this buffer's key.
    int GetKeyFreameBuffer(CKrFrameBuffer* out);

    void Clear();
    void ClearCol(DWORD colour);
    void ClearCross(POINT cell, DWORD colour1, DWORD colour2);
    void ClearKey();
    void MakeLuminanceKey(DWORD low, DWORD range);
    void ImageChColor(DWORD colour);

    // Writes the picture as 24-bit device-independent-bitmap rows (bottom-up unless topdown).
    int CopyBitmap24(unsigned char* bits, BITMAPINFOHEADER* header, int topdown);

    // Grows the record's edge and shadow around this picture (its key is the body's coverage)
    // and puts the decorated picture into target, which is replaced; the four boxes describe
    // the layout. SetEdgeOrgSize keeps this picture's size and cuts off what lies outside it.
    int SetEdge(CKrFrameBuffer* target, tagKRBWDRAWINFO* info, CBox& whole, CBox& body, CBox& edge, CBox& shadow);
    int SetEdgeOrgSize(CKrFrameBuffer* target, tagKRBWDRAWINFO* info);

    // Resampled copies into dst: to a size, or by factors.
    int SizeChange(CKrFrameBuffer* dst, long width, long height);
    int SizeChangeScale(CKrFrameBuffer* dst, float sx, float sy);

private:
    struct BlockFree {
        void operator()(unsigned char* p) const;
    };

    std::unique_ptr<unsigned char[], BlockFree> m_hBlock;
    unsigned char* m_pByte = nullptr;
    unsigned long m_nSize = 0;
    unsigned long m_nWidth = 0;
    unsigned long m_nHeight = 0;
    int m_nInvert = 1;
};
