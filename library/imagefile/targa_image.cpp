// CKrTargaImage: header checks, the one decoder behind the four named variants, and the
// run-length encoder whose packets never cross a row end.
//
// A file is read whole into one buffer and decoded in one pass; the decoders never read past
// the bytes that arrived and never write past the last pixel. A file whose pixel data ends
// before the picture is complete is refused (-1) and the target is left empty, so a caller
// never gets half a picture that looks like a success.
#include "imagefile/targa_image.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/byte_reader.h"
#include "core/checked.h"
#include "core/errors.h"
#include "imagefile/codec_io.h"
#include "imagefile/file_blocks.h"

namespace {

constexpr BYTE kTypeUncompressed = 2;
constexpr BYTE kTypeRunLength = 10;
constexpr BYTE kDescRightToLeft = 0x10;
constexpr BYTE kDescTopToBottom = 0x20;
// Four attribute (key) bits, rows bottom to top, left to right.
constexpr BYTE kWrittenDescriptor = 4;
constexpr long kMaxPacket = 127;

inline DWORD load_pixel(const BYTE* p, int bpp)
{
    if (bpp == 4) {
        DWORD v;
        std::memcpy(&v, p, 4);
        return v;
    }
    return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 | 0xFF000000u;
}

// Writes `count` pixels of the file's pixel bytes (bpp 3 or 4) as frame-buffer words.
inline void copy_pixels(const BYTE* src, DWORD* dst, std::size_t count, int bpp)
{
    if (bpp == 4) {
        std::memcpy(dst, src, count * 4);
        return;
    }
    for (std::size_t i = 0; i < count; ++i, src += 3) dst[i] = load_pixel(src, 3);
}

// Where the destination rows of the file's rows lie: file row r is frame row r (top to
// bottom) or height − 1 − r.
struct RowWalk {
    DWORD* base;
    std::size_t width;
    std::size_t height;
    bool top_down;
    DWORD* row(std::size_t r) const { return base + (top_down ? r : height - 1 - r) * width; }
};

int decode_targa(const BYTE* src, std::size_t size, DWORD* dst, long width, long height, bool top_down, int bpp,
                 bool run_length)
{
    if (!src || !dst || width < 1 || height < 1) return ZK_FAIL(-1);
    const RowWalk walk{dst, static_cast<std::size_t>(width), static_cast<std::size_t>(height), top_down};
    if (!run_length) {
        const std::size_t row_bytes = walk.width * static_cast<std::size_t>(bpp);
        if (size / row_bytes < walk.height) return ZK_FAIL(-1);
        for (std::size_t r = 0; r < walk.height; ++r) copy_pixels(src + r * row_bytes, walk.row(r), walk.width, bpp);
        return 0;
    }

    // Packets may run across row ends; a packet that reaches past the last pixel is cut there.
    std::size_t pos = 0, r = 0, col = 0;
    DWORD* d = walk.row(0);
    while (r < walk.height) {
        if (pos >= size) return ZK_FAIL(-1);
        const BYTE head = src[pos++];
        std::size_t count = (head & 0x7Fu) + 1;
        if (head & 0x80) {
            if (size - pos < static_cast<std::size_t>(bpp)) return ZK_FAIL(-1);
            const DWORD v = load_pixel(src + pos, bpp);
            pos += static_cast<std::size_t>(bpp);
            while (count && r < walk.height) {
                const std::size_t take = std::min(count, walk.width - col);
                std::fill_n(d + col, take, v);
                col += take;
                count -= take;
                if (col == walk.width && ++r < walk.height) {
                    col = 0;
                    d = walk.row(r);
                }
            }
        } else {
            while (count && r < walk.height) {
                const std::size_t take = std::min(count, walk.width - col);
                if ((size - pos) / static_cast<std::size_t>(bpp) < take) return ZK_FAIL(-1);
                copy_pixels(src + pos, d + col, take, bpp);
                pos += take * static_cast<std::size_t>(bpp);
                col += take;
                count -= take;
                if (col == walk.width && ++r < walk.height) {
                    col = 0;
                    d = walk.row(r);
                }
            }
        }
    }
    return 0;
}

} // namespace

void CKrTargaImage::StoreHeader(const tagTGA_HEADER& h, BYTE out[kHeaderBytes])
{
    out[0] = h.IDLength;
    out[1] = h.ColorMapType;
    out[2] = h.ImageType;
    zk::put_le16(out + 3, h.CMapStart);
    zk::put_le16(out + 5, h.CMapLength);
    out[7] = h.CMapDepth;
    zk::put_le16(out + 8, h.XOffset);
    zk::put_le16(out + 10, h.YOffset);
    zk::put_le16(out + 12, h.Width);
    zk::put_le16(out + 14, h.Height);
    out[16] = h.PixelDepth;
    out[17] = h.ImageDescriptor;
}

bool CKrTargaImage::ParseHeader(const BYTE* bytes, std::size_t size, tagTGA_HEADER& h)
{
    zk::ByteReader in(bytes, size);
    return in.u8(h.IDLength) && in.u8(h.ColorMapType) && in.u8(h.ImageType) && in.le16(h.CMapStart) &&
           in.le16(h.CMapLength) && in.u8(h.CMapDepth) && in.le16(h.XOffset) && in.le16(h.YOffset) &&
           in.le16(h.Width) && in.le16(h.Height) && in.u8(h.PixelDepth) && in.u8(h.ImageDescriptor);
}

int CKrTargaImage::LoadImage(CString* path, CKrFrameBuffer* target)
{
    if (!path) return ZK_FAIL(-1);
    return zk::with_codec_file(path->GetString(), zk::kCodecReadFlags,
                               [&](CFile& file) { return LoadImage_Proc(&file, target); });
}

int CKrTargaImage::LoadImage(CFile* file, CKrFrameBuffer* target)
{
    if (!file) return ZK_FAIL(-1);
    return zk::guard_codec([&] { return LoadImage_Proc(file, target); });
}

int CKrTargaImage::SaveImage(CString* path, CKrFrameBuffer* source, long compress)
{
    if (!path) return ZK_FAIL(-1);
    return zk::with_codec_file(path->GetString(), zk::kCodecWriteFlags,
                               [&](CFile& file) { return SaveImage_Proc(&file, source, compress); });
}

int CKrTargaImage::SaveImage(CFile* file, CKrFrameBuffer* source, long compress)
{
    if (!file) return ZK_FAIL(-1);
    return zk::guard_codec([&] { return SaveImage_Proc(file, source, compress); });
}

int CKrTargaImage::LoadImage_Proc(CFile* file, CKrFrameBuffer* target)
{
    if (!target || target->IsBuffer() == 0) return ZK_FAIL(-1);
    file->SeekToBegin();
    BYTE raw[kHeaderBytes];
    tagTGA_HEADER header{};
    if (file->Read(raw, kHeaderBytes) != kHeaderBytes || !ParseHeader(raw, kHeaderBytes, header)) return ZK_FAIL(-1);
    if (header.ColorMapType != 0 || (header.ImageType != kTypeUncompressed && header.ImageType != kTypeRunLength) ||
        header.PixelDepth == 8 || header.PixelDepth == 16 || (header.ImageDescriptor & kDescRightToLeft))
        return ZK_FAIL(-1);
    if (header.IDLength) {
        BYTE id[255];
        if (file->Read(id, header.IDLength) != header.IDLength) return ZK_FAIL(-1);
    }
    std::vector<BYTE> data;
    if (!zk::read_rest_in_blocks(*file, data)) return ZK_FAIL(-1);
    return ImgConv_TgaToFb(header, data.data(), data.size(), target);
}

int CKrTargaImage::ImgConv_TgaToFb(const tagTGA_HEADER& header, const BYTE* data, std::size_t size,
                                   CKrFrameBuffer* target)
{
    const bool key = header.PixelDepth == 32;
    const std::size_t bpp = key ? 4 : 3;
    const bool run_length = header.ImageType == kTypeRunLength;
    // Refuse before allocating when the data cannot possibly cover the picture: raw pixels
    // take bpp bytes each, and a packet carries at most 128 pixels for 1 + bpp bytes.
    std::size_t pixels = 0;
    if (!zk::checked_mul(header.Width, header.Height, pixels)) return ZK_FAIL(-1);
    const std::size_t least = run_length ? (pixels + 127) / 128 * (1 + bpp) : pixels * bpp;
    if (size < least) return ZK_FAIL(-1);
    // Every pixel is written below (or the load fails and the buffer goes), so no zero fill.
    if (target->CreateFrameBuffer(header.Width, header.Height, 0) != 0) return ZK_FAIL(-1);
    const int top_down = (header.ImageDescriptor & kDescTopToBottom) ? 1 : 0;
    DWORD* dst = target->GetBufferDWord();
    int result;
    if (key)
        result = run_length ? ImgConv_Comp32(data, size, dst, header.Width, header.Height, top_down)
                            : ImgConv_UnComp32(data, size, dst, header.Width, header.Height, top_down);
    else
        result = run_length ? ImgConv_Comp24(data, size, dst, header.Width, header.Height, top_down)
                            : ImgConv_UnComp24(data, size, dst, header.Width, header.Height, top_down);
    if (result != 0) {
        target->DeleteFrameBuffer();
        return ZK_FAIL(-1);
    }
    // Only a picture that loaded whole changes what the object says about the last file.
    m_nKeyFlag = key ? 1 : 0;
    return 0;
}

int CKrTargaImage::ImgConv_UnComp32(const BYTE* src, std::size_t size, DWORD* dst, long width, long height,
                                    int top_down)
{
    return decode_targa(src, size, dst, width, height, top_down != 0, 4, false);
}

int CKrTargaImage::ImgConv_UnComp24(const BYTE* src, std::size_t size, DWORD* dst, long width, long height,
                                    int top_down)
{
    return decode_targa(src, size, dst, width, height, top_down != 0, 3, false);
}

int CKrTargaImage::ImgConv_Comp32(const BYTE* src, std::size_t size, DWORD* dst, long width, long height,
                                  int top_down)
{
    return decode_targa(src, size, dst, width, height, top_down != 0, 4, true);
}

int CKrTargaImage::ImgConv_Comp24(const BYTE* src, std::size_t size, DWORD* dst, long width, long height,
                                  int top_down)
{
    return decode_targa(src, size, dst, width, height, top_down != 0, 3, true);
}

std::size_t CKrTargaImage::WorstCaseBytes(unsigned long width, unsigned long height)
{
    // Raw packets cost 4 bytes a pixel plus a header per 127; the worst mix (a raw pixel
    // between runs of two) stays within 5 bytes a pixel.
    std::size_t bytes = 0;
    if (!zk::image_bytes(static_cast<std::int64_t>(width), static_cast<std::int64_t>(height), 5, bytes)) return 0;
    return bytes;
}

int CKrTargaImage::SaveImage_Proc(CFile* file, CKrFrameBuffer* source, long compress)
{
    if (!source || source->IsBuffer() == 1 || source->GetWidth() == 0 || source->GetHeight() == 0 ||
        source->GetSize() == 0)
        return ZK_FAIL(-1);
    // The header holds 16-bit sizes: a larger picture cannot be described, and writing the
    // low bits would make a file that decodes to garbage.
    if (source->GetWidth() > 0xFFFF || source->GetHeight() > 0xFFFF) return ZK_FAIL(-1);
    const std::size_t room = compress ? WorstCaseBytes(source->GetWidth(), source->GetHeight()) : source->GetSize();
    if (room == 0) return ZK_FAIL(-1);
    std::unique_ptr<BYTE[]> work(new (std::nothrow) BYTE[room]);
    if (!work) return ZK_FAIL(-1);

    tagTGA_HEADER header{};
    const std::size_t produced = ImgConv_FbToTga(source, &header, work.get(), compress);
    BYTE raw[kHeaderBytes];
    StoreHeader(header, raw);
    file->SeekToBegin();
    file->Write(raw, kHeaderBytes);
    zk::write_in_blocks(*file, {work.get(), produced});
    return 0;
}

std::size_t CKrTargaImage::ImgConv_FbToTga(CKrFrameBuffer* source, tagTGA_HEADER* header, BYTE* out, long compress)
{
    *header = tagTGA_HEADER{};
    header->ImageType = compress ? kTypeRunLength : kTypeUncompressed;
    header->Width = static_cast<WORD>(source->GetWidth());
    header->Height = static_cast<WORD>(source->GetHeight());
    header->PixelDepth = 32;
    header->ImageDescriptor = kWrittenDescriptor;
    m_nKeyFlag = 1;
    return compress ? ImgConv_TgaComp(source, out) : ImgConv_TgaUnComp(source, out);
}

std::size_t CKrTargaImage::ImgConv_TgaUnComp(CKrFrameBuffer* source, BYTE* out)
{
    const std::size_t row_bytes = source->GetLineByte();
    const std::size_t height = source->GetHeight();
    const BYTE* src = source->GetBufferByte();
    for (std::size_t r = 0; r < height; ++r) std::memcpy(out + (height - 1 - r) * row_bytes, src + r * row_bytes, row_bytes);
    return row_bytes * height;
}

long CKrTargaImage::TgaCheckComp(const DWORD* p, long n, bool* run)
{
    if (n <= 1) {
        *run = false;
        return 1;
    }
    const bool is_run = p[0] == p[1];
    *run = is_run;
    for (long i = 1; i < n; ++i) {
        if (i == kMaxPacket) return kMaxPacket;
        if (i + 1 < n) {
            if (is_run && p[i] != p[i + 1]) return i + 1;
            if (!is_run && p[i] == p[i + 1]) return i;  // the equal pair starts the next packet
        }
    }
    return n;
}

std::size_t CKrTargaImage::ImgConv_TgaComp(CKrFrameBuffer* source, BYTE* out)
{
    const long width = static_cast<long>(source->GetWidth());
    const long height = static_cast<long>(source->GetHeight());
    const DWORD* pixels = source->GetBufferDWord();
    BYTE* o = out;
    for (long r = height - 1; r >= 0; --r) {
        const DWORD* row = pixels + static_cast<std::size_t>(r) * static_cast<std::size_t>(width);
        for (long x = 0; x < width;) {
            bool run = false;
            const long len = TgaCheckComp(row + x, width - x, &run);
            if (run) {
                *o++ = static_cast<BYTE>((len - 1) | 0x80);
                std::memcpy(o, row + x, 4);
                o += 4;
            } else {
                *o++ = static_cast<BYTE>(len - 1);
                std::memcpy(o, row + x, static_cast<std::size_t>(len) * 4);
                o += static_cast<std::size_t>(len) * 4;
            }
            x += len;
        }
    }
    return static_cast<std::size_t>(o - out);
}
