// The library's JPEG codec: four calls around one properties record.
//
// A caller zeroes a JPEG_CORE_PROPERTIES, calls JpegCodecInit, fills in the fields of the
// job (pixel buffer and its layout, compressed buffer and its length, colour spaces,
// subsampling, quality), calls JpegCodecRead or JpegCodecWrite and finally JpegCodecFree.
// Only memory buffers are handled: the codec never opens a file. Behind the calls stands
// libjpeg-turbo; its errors come back as the negative status codes below, never as an
// abort or a jump past the caller.
//
// Pixel buffers: rows of DIBWidth × DIBChannels bytes, each followed by DIBPadBytes bytes,
// the top row first when DIBHeight is positive (bottom row first when negative); the bytes of
// a pixel in the order the colour space names them (RGB: red, green, blue; BGR: blue, green,
// red; RGBA: red, green, blue, key; BGRA: blue, green, red, key, a frame buffer's own order,
// decoded and encoded in place without a separate pixel pass). Decoding a file without a key
// into a four-byte layout gives key 255; encoding one into a file without a key drops it.
//
// Four-channel files (colour space YCBCRA) carry Y, Cb, Cr and a key component; the key is
// sampled like Y (4:2:2 colour with full-resolution key for subsampling 4224). No Adobe or
// JFIF marker is written for them, so other decoders see a plain four-component file.
// Four-component files that other programs write carry an Adobe marker: CMYK, or YCCK (its
// transform 2), both stored inverted (0 is full ink) as those programs do. The header read
// reports them as CMYK or YCCK; they decode to colours with key 255.
//
// The header read refuses (JPEG_ERROR_EOF) a file whose bytes cannot hold the picture it
// declares: every MCU of the first scan takes at least one bit with Huffman coding, so a
// few hundred bytes cannot make a caller reserve a gigabyte for the pixels.
#pragma once

#include <cstdint>

#include "core/zorvik_api.h"
#include "platform/framework/win_types.h"

// What JpegCodecRead and JpegCodecWrite are asked to do.
enum JPEG_IO_TYPE : int {
    JPEG_JFILE_READPARAMS = 0,       // file names are not supported here: "Not supported"
    JPEG_JBUFF_READPARAMS = 1,       // parse the header held in JPGBytes
    JPEG_JFILE_READWHOLEIMAGE = 2,
    JPEG_JBUFF_READWHOLEIMAGE = 3,   // decode JPGBytes into DIBBytes
    JPEG_JFILE_WRITEWHOLEIMAGE = 8,
    JPEG_JBUFF_WRITEWHOLEIMAGE = 9,  // encode DIBBytes into JPGBytes
};

// Colour spaces, of pixel buffers (DIBColor) and of files (JPGColor).
enum JPEG_COLOR : int {
    JPEG_COLOR_RGB = 1,
    JPEG_COLOR_BGR = 2,
    JPEG_COLOR_YCBCR = 3,
    JPEG_COLOR_G = 4,
    JPEG_COLOR_RGBA = 5,
    JPEG_COLOR_YCBCRA = 6,
    JPEG_COLOR_BGRA = 7,  // pixel buffers only
    JPEG_COLOR_CMYK = 8,  // files only, read: Adobe-marked, inverted
    JPEG_COLOR_YCCK = 9,  // files only, read: Adobe-marked, inverted
    JPEG_COLOR_OTHER = 255,
};

// File subsampling: 411 halves chroma both ways, 422 horizontally only; 4114 and 4224 are the
// same for four-channel files, whose key is sampled like Y.
enum JPEG_SUBSAMPLING : int {
    JPEG_SUB_NONE = 0,
    JPEG_SUB_411 = 1,
    JPEG_SUB_422 = 2,
    JPEG_SUB_4114 = 3,
    JPEG_SUB_4224 = 4,
};

enum JPEG_STATUS : int {
    JPEG_ROI_OK = 2,
    JPEG_INTERRUPT_OK = 1,
    JPEG_OK = 0,
    JPEG_EXCEPTION_DETECTED = -1,
    JPEG_INVALID_ENCODER = -2,
    JPEG_UNSUPPORTED_SUBSAMPLING = -3,
    JPEG_UNSUPPORTED_BYTES_PER_PIXEL = -4,
    JPEG_MEMORY_ERROR = -5,
    JPEG_BAD_HUFFMAN_TABLE = -6,
    JPEG_BAD_QUANT_TABLE = -7,
    JPEG_INVALID_PROPERTIES = -8,
    JPEG_ERR_FILECLOSE = -9,
    JPEG_INVALID_FILENAME = -10,
    JPEG_ERROR_EOF = -11,
    JPEG_NOT_SUPPORTED = -12,
    JPEG_NOT_JPEG = -13,
    JPEG_ERR_COMP = -14,
    JPEG_ERR_SOF = -15,
    JPEG_ERR_DNL = -16,
    JPEG_ERR_NO_HUF = -17,
    JPEG_ERR_NO_QUAN = -18,
    JPEG_ERR_NO_FRAME = -19,
    JPEG_ERR_MULT_FRAME = -20,
    JPEG_ERR_DATA = -21,
    JPEG_ERR_NO_IMAGE = -22,
    JPEG_FILE_ERROR = -23,
    JPEG_INTERNAL_ERROR = -24,
    JPEG_BAD_RST_MARKER = -25,
    JPEG_THUMBNAIL_DIB_TOO_SMALL = -26,
    JPEG_THUMBNAIL_DIB_WRONG_COLOR = -27,
    JPEG_BUFFER_TOO_SMALL = -28,
    JPEG_UNSUPPORTED_FRAME = -29,
    JPEG_ERR_COM_BUFFER = -30,
    JPEG_RESERVED = -99,
};

struct JPEG_CORE_PROPERTIES {
    // Pixel side.
    BYTE* DIBBytes;
    DWORD DIBWidth;
    std::int32_t DIBHeight;  // positive: top row first
    DWORD DIBPadBytes;
    DWORD DIBChannels;
    std::int32_t DIBColor;        // JPEG_COLOR
    std::int32_t DIBSubsampling;  // unused: pixel buffers are never subsampled

    // Compressed side.
    const char* JPGFile;  // must stay null: memory buffers only
    BYTE* JPGBytes;
    DWORD JPGSizeBytes;   // reading: the data length; writing: in the capacity, out the length produced
    DWORD JPGWidth;
    DWORD JPGHeight;
    DWORD JPGChannels;
    std::int32_t JPGColor;        // JPEG_COLOR
    std::int32_t JPGSubsampling;  // JPEG_SUBSAMPLING
    DWORD jquality;               // 1 .. 100

    // The codec's own: set by JpegCodecInit, released by JpegCodecFree.
    void* codec_state;
};

ZORVIK_API int JpegCodecInit(JPEG_CORE_PROPERTIES* props);
ZORVIK_API int JpegCodecRead(JPEG_CORE_PROPERTIES* props, int io_type);
ZORVIK_API int JpegCodecWrite(JPEG_CORE_PROPERTIES* props, int io_type);
ZORVIK_API int JpegCodecFree(JPEG_CORE_PROPERTIES* props);

// The text of a status code ("Output buffer too small" ...), "Unknown error code" otherwise.
ZORVIK_API const char* JpegCodecErrorStr(int status);
// "Intel(R) JPEG Library, version %s" with the version of the codec behind the calls.
ZORVIK_API const char* JpegCodecVersionStr();
