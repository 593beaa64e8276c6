// CKrJpegImage: JPEG files into frame buffers and back, through the library's JPEG codec.
//
// Grey and colour files load fully opaque; four-channel files (Y, Cb, Cr and key) load with
// their key and set the key flag; four-component CMYK or YCCK files that other programs write
// (marked by an Adobe segment) load as opaque colours with the key flag 0. Saving writes 4:2:2
// colour, or with the key flag argument a four-channel file whose key keeps full resolution.
// The whole file is read into memory and decoded from there, straight into the target's pixel
// block in its own byte order; saving encodes from the frame buffer's words where they are,
// and the encoded picture is built in memory and written in one pass.
//
// Results: 0 success, -1 failure; the path overloads answer the open's cause code when the
// file cannot be opened.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/zorvik_api.h"
#include "framebuffer/kr_frame_buffer.h"
#include "jpeg/jpeg_codec.h"
#include "platform/framework/cfile.h"
#include "platform/framework/cstring.h"

class ZORVIK_API CKrJpegImage {
public:
    CKrJpegImage() = default;
    CKrJpegImage(const CKrJpegImage&) = default;
    CKrJpegImage& operator=(const CKrJpegImage&) = default;
    virtual ~CKrJpegImage() = default;

    int LoadImage(CString* path, CKrFrameBuffer* target);
    int LoadImage(const char* path, CKrFrameBuffer* target);
    int LoadImage(CFile* file, CKrFrameBuffer* target);
    // quality 0 means 85; anything else is taken as unsigned and capped at 100.
    int SaveImage(CString* path, CKrFrameBuffer* source, long quality, long with_key);
    int SaveImage(const char* path, CKrFrameBuffer* source, long quality, long with_key);
    int SaveImage(CFile* file, CKrFrameBuffer* source, long quality, long with_key);

    long GetKeyFlag() const { return m_nKeyFlag; }

    // The quality the codec is given for a quality argument.
    static DWORD CodecQuality(long quality);

protected:
    int LoadImage_Proc(CFile* file, CKrFrameBuffer* target);
    int ImgConv_JpegToFb(const JPEG_CORE_PROPERTIES& props, CKrFrameBuffer* target);
    // Packed pixels (3 or 4 channels, rows of stride bytes, stride at most 4 × width) into
    // the frame buffer's rows; pixels may be the target's own block (converted in place).
    int DIB_to_FB(const BYTE* pixels, std::size_t stride, int channels, CKrFrameBuffer* target);

    int SaveImage_Proc(CFile* file, CKrFrameBuffer* source, long quality, long with_key);
    // Encodes into out (capacity bytes); props receives the final record, its JPGSizeBytes
    // the length produced. 0 or -1.
    int ImgConv_FbToJpeg(CKrFrameBuffer* source, BYTE* out, std::size_t capacity, long quality, long with_key,
                         JPEG_CORE_PROPERTIES* props);
    // The frame buffer's pixels as packed red, green, blue (and key) without row padding.
    void FB_to_DIB(CKrFrameBuffer* source, BYTE* pixels, int channels);

private:
    std::int32_t m_nKeyFlag = 0;
};
