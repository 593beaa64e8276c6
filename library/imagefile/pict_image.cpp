// CKrPictImage: the opcode walk up to the pixel map, one PackBits unpacker behind the three
// named decoders, and the packer.
//
// The unpacker checks every byte it reads against the data read from the file and never
// writes past its row buffer: a packet that would carry a row past its length is cut there
// (the next row starts where the row's byte count says anyway). The packer starts a run at
// every pair of equal bytes and a literal otherwise. Only where that would overflow a
// one-byte row count (a row of 248 bytes such as "x y y x y y ..." packs to 331) is the row
// packed again with literals that run on over pairs, which keeps it within 250 bytes.
#include "imagefile/pict_image.h"

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
#include "platform/win32/win32_base.h"

namespace {

constexpr WORD kOpClip = 0x0001;
constexpr WORD kOpDirectBitsRect = 0x009A;
constexpr WORD kOpDirectBitsRgn = 0x009B;
constexpr WORD kOpShortComment = 0x00A0;
constexpr WORD kOpLongComment = 0x00A1;
constexpr WORD kOpEnd = 0x00FF;
constexpr WORD kOpHeader = 0x0C00;
constexpr DWORD kRes72 = 0x00480000;
constexpr long kMaxPacket = 127;
// Row bytes up to this are counted in one byte, above it in two.
constexpr std::size_t kShortCountLimit = 250;

enum class PixelKind { planes4, planes3, rgb555 };

bool read_rect(zk::ByteReader& in, tagPICTRECT& r)
{
    return in.be16s(r.top) && in.be16s(r.left) && in.be16s(r.bottom) && in.be16s(r.right);
}

void put_rect(BYTE* p, const tagPICTRECT& r)
{
    zk::put_be16(p, static_cast<WORD>(r.top));
    zk::put_be16(p + 2, static_cast<WORD>(r.left));
    zk::put_be16(p + 4, static_cast<WORD>(r.bottom));
    zk::put_be16(p + 6, static_cast<WORD>(r.right));
}

// Unpacks one row of PackBits (bytes, or 16-bit units) into out[0, need). Reading is bounded by
// the whole data; false when it runs out first.
bool unpack_row(const BYTE* data, std::size_t size, std::size_t pos, BYTE* out, std::size_t need, std::size_t unit)
{
    std::size_t done = 0;
    while (done < need) {
        if (pos >= size) return false;
        const BYTE flag = data[pos++];
        if (flag == 128) continue;
        if (flag < 128) {
            const std::size_t bytes = (static_cast<std::size_t>(flag) + 1) * unit;
            if (size - pos < std::min(bytes, need - done)) return false;
            const std::size_t take = std::min(bytes, need - done);
            std::memcpy(out + done, data + pos, take);
            done += take;
            pos += take;
        } else {
            if (size - pos < unit) return false;
            const std::size_t count = 257 - static_cast<std::size_t>(flag);
            for (std::size_t i = 0; i < count && done < need; ++i) {
                const std::size_t take = std::min(unit, need - done);
                std::memcpy(out + done, data + pos, take);
                done += take;
            }
            pos += unit;
        }
    }
    return true;
}

int decode_pict(const BYTE* data, std::size_t size, DWORD* dst, long width, long height, WORD row_bytes_field,
                PixelKind kind)
{
    if (!data || !dst || width < 1 || height < 1) return ZK_FAIL(-1);
    const std::size_t rb = row_bytes_field & 0x7FFFu;
    const std::size_t c = kind == PixelKind::rgb555 ? rb / 2 : rb / 4;
    const std::size_t w = static_cast<std::size_t>(width);
    // The rows must hold the picture's width: planes shorter than it cannot fill a row.
    if (c < w) return ZK_FAIL(-1);
    const std::size_t need = kind == PixelKind::planes4 ? 4 * c : kind == PixelKind::planes3 ? 3 * c : 2 * c;
    std::vector<BYTE> row(need);
    const bool long_count = rb > kShortCountLimit;
    zk::ByteReader in(data, size);
    for (long y = 0; y < height; ++y) {
        std::size_t count = 0;
        if (long_count) {
            WORD n = 0;
            if (!in.be16(n)) return ZK_FAIL(-1);
            count = n;
        } else {
            BYTE n = 0;
            if (!in.u8(n)) return ZK_FAIL(-1);
            count = n;
        }
        if (!in.has(count)) return ZK_FAIL(-1);
        if (!unpack_row(data, size, in.position(), row.data(), need, kind == PixelKind::rgb555 ? 2 : 1))
            return ZK_FAIL(-1);
        in.skip(count);

        DWORD* d = dst + static_cast<std::size_t>(y) * w;
        const BYTE* r = row.data();
        switch (kind) {
        case PixelKind::planes4:
            for (std::size_t x = 0; x < w; ++x)
                d[x] = static_cast<DWORD>(r[3 * c + x]) | static_cast<DWORD>(r[2 * c + x]) << 8 |
                       static_cast<DWORD>(r[c + x]) << 16 | static_cast<DWORD>(r[x]) << 24;
            break;
        case PixelKind::planes3:
            for (std::size_t x = 0; x < w; ++x)
                d[x] = static_cast<DWORD>(r[2 * c + x]) | static_cast<DWORD>(r[c + x]) << 8 |
                       static_cast<DWORD>(r[x]) << 16 | 0xFF000000u;
            break;
        case PixelKind::rgb555:
            for (std::size_t x = 0; x < w; ++x) {
                const DWORD v = static_cast<DWORD>(r[2 * x]) << 8 | r[2 * x + 1];
                d[x] = ((v << 3) & 0xF8) | ((v >> 2) & 0xF8) << 8 | ((v >> 7) & 0xF8) << 16 | 0xFF000000u;
            }
            break;
        }
    }
    return 0;
}

} // namespace

void CKrPictImage::StorePixmap(const tagFMT_PICT_PIXMAP& m, BYTE out[kPixmapBytes])
{
    zk::put_be16(out + 0, m.opcode);
    zk::put_be32(out + 2, m.baseAddr);
    zk::put_be16(out + 6, m.rowBytes);
    put_rect(out + 8, m.bounds);
    zk::put_be16(out + 16, m.pmVersion);
    zk::put_be16(out + 18, m.packType);
    zk::put_be32(out + 20, m.packSize);
    zk::put_be32(out + 24, m.hRes);
    zk::put_be32(out + 28, m.vRes);
    zk::put_be16(out + 32, m.pixelType);
    zk::put_be16(out + 34, m.pixelSize);
    zk::put_be16(out + 36, m.cmpCount);
    zk::put_be16(out + 38, m.cmpSize);
    zk::put_be32(out + 40, m.planeBytes);
    zk::put_be32(out + 44, m.pmTable);
    zk::put_be32(out + 48, m.pmReserved);
    put_rect(out + 52, m.srcRect);
    put_rect(out + 60, m.dstRect);
    zk::put_be16(out + 68, m.mode);
}

bool CKrPictImage::ParsePixmap(const BYTE* bytes, std::size_t size, tagFMT_PICT_PIXMAP& m)
{
    zk::ByteReader in(bytes, size);
    return in.be16(m.opcode) && in.be32(m.baseAddr) && in.be16(m.rowBytes) && read_rect(in, m.bounds) &&
           in.be16(m.pmVersion) && in.be16(m.packType) && in.be32(m.packSize) && in.be32(m.hRes) && in.be32(m.vRes) &&
           in.be16(m.pixelType) && in.be16(m.pixelSize) && in.be16(m.cmpCount) && in.be16(m.cmpSize) &&
           in.be32(m.planeBytes) && in.be32(m.pmTable) && in.be32(m.pmReserved) && read_rect(in, m.srcRect) &&
           read_rect(in, m.dstRect) && in.be16(m.mode);
}

int CKrPictImage::LoadImage(CString* path, CKrFrameBuffer* target)
{
    return path ? LoadImage(path->GetString(), target) : ZK_FAIL(-1);
}

int CKrPictImage::LoadImage(const char* path, CKrFrameBuffer* target)
{
    return zk::with_codec_file(path, zk::kCodecReadFlags, [&](CFile& file) { return LoadImage_Proc(&file, target); });
}

int CKrPictImage::LoadImage(CFile* file, CKrFrameBuffer* target)
{
    if (!file) return ZK_FAIL(-1);
    return zk::guard_codec([&] { return LoadImage_Proc(file, target); });
}

int CKrPictImage::SaveImage(CString* path, CKrFrameBuffer* source, long unused)
{
    return path ? SaveImage(path->GetString(), source, unused) : ZK_FAIL(-1);
}

int CKrPictImage::SaveImage(const char* path, CKrFrameBuffer* source, long unused)
{
    return zk::with_codec_file(path, zk::kCodecWriteFlags,
                               [&](CFile& file) { return SaveImage_Proc(&file, source, unused); });
}

int CKrPictImage::SaveImage(CFile* file, CKrFrameBuffer* source, long unused)
{
    if (!file) return ZK_FAIL(-1);
    return zk::guard_codec([&] { return SaveImage_Proc(file, source, unused); });
}

int CKrPictImage::LoadImage_Proc(CFile* file, CKrFrameBuffer* target)
{
    if (!target || target->IsBuffer() == 0) return ZK_FAIL(-1);
    // Everything after the preamble is read at once: the opcodes before the pixel map are
    // walked in memory, and the pixel data is the rest of the same bytes.
    file->Seek(static_cast<LONGLONG>(kPreambleBytes), CFile::begin);
    std::vector<BYTE> bytes;
    if (!zk::read_rest_in_blocks(*file, bytes)) return ZK_FAIL(-1);
    zk::ByteReader in(bytes.data(), bytes.size());

    // Size and frame, then the version opcode and the version 2 marker.
    WORD version_op = 0, version = 0;
    if (!in.skip(10) || !in.be16(version_op) || !in.be16(version) || version_op != 0x0011 || version != 0x02FF)
        return ZK_FAIL(-1);

    tagFMT_PICT_PIXMAP pixmap{};
    for (;;) {
        const std::size_t op_at = in.position();
        WORD op = 0;
        if (!in.be16(op)) return ZK_FAIL(-1);
        if (op == kOpDirectBitsRect) {
            // The record begins with its opcode.
            if (!in.seek(op_at) || !ParsePixmap(in.current(), in.remaining(), pixmap) || !in.skip(kPixmapBytes))
                return ZK_FAIL(-1);
            break;
        }
        bool ok = true;
        switch (op) {
        case kOpClip: {
            WORD region = 0;
            ok = in.be16(region) && region >= 2 && in.skip(region - 2u);
            break;
        }
        case 0x0090:
        case 0x0091:
        case 0x0098:
        case 0x0099:
        case kOpDirectBitsRgn:
        case kOpEnd: ok = false; break;
        case kOpShortComment: ok = in.skip(2); break;
        case kOpLongComment: {
            WORD kind = 0, length = 0;
            ok = in.be16(kind) && in.be16(length) && in.skip(length);
            break;
        }
        case kOpHeader: ok = in.skip(24); break;
        default: break;  // taken to carry no data
        }
        if (!ok) return ZK_FAIL(-1);
    }

    // Nothing after the pixel map means no pixel data.
    if (in.at_end()) return ZK_FAIL(-1);
    return ImgConv_PictToFb(pixmap, in.current(), in.remaining(), target);
}

int CKrPictImage::ImgConv_PictToFb(const tagFMT_PICT_PIXMAP& m, const BYTE* data, std::size_t size,
                                   CKrFrameBuffer* target)
{
    if (m.packType != 3 && m.packType != 4) return ZK_FAIL(-1);
    const long width = static_cast<long>(m.srcRect.right) - m.srcRect.left;
    const long height = static_cast<long>(m.srcRect.bottom) - m.srcRect.top;
    // Every row costs at least its count and one two-byte packet: refuse before allocating a
    // picture the data cannot describe.
    const std::size_t rb = m.rowBytes & 0x7FFFu;
    const std::size_t least_per_row = (rb > kShortCountLimit ? 2 : 1) + 2;
    if (height > 0 && size / least_per_row < static_cast<std::size_t>(height)) return ZK_FAIL(-1);
    if (target->CreateFrameBuffer(width, height, 1) != 0) return ZK_FAIL(-1);
    DWORD* dst = target->GetBufferDWord();
    int result = -1;
    bool key = false;
    if (m.pixelSize == 16) {
        result = ImgConv_Comp16(data, dst, width, height, size, m.rowBytes);
    } else if (m.pixelSize == 32 && m.cmpCount == 3) {
        result = ImgConv_Comp24(data, dst, width, height, size, m.rowBytes);
    } else if (m.pixelSize == 32 && m.cmpCount == 4) {
        key = true;
        result = ImgConv_Comp32(data, dst, width, height, size, m.rowBytes);
    }
    // A failed conversion leaves the created (partly filled) buffer and clears the key flag.
    m_nKeyFlag = result == 0 && key ? 1 : 0;
    return result == 0 ? 0 : ZK_FAIL(-1);
}

int CKrPictImage::ImgConv_Comp32(const BYTE* data, DWORD* dst, long width, long height, std::size_t size,
                                 WORD row_bytes)
{
    return decode_pict(data, size, dst, width, height, row_bytes, PixelKind::planes4);
}

int CKrPictImage::ImgConv_Comp24(const BYTE* data, DWORD* dst, long width, long height, std::size_t size,
                                 WORD row_bytes)
{
    return decode_pict(data, size, dst, width, height, row_bytes, PixelKind::planes3);
}

int CKrPictImage::ImgConv_Comp16(const BYTE* data, DWORD* dst, long width, long height, std::size_t size,
                                 WORD row_bytes)
{
    return decode_pict(data, size, dst, width, height, row_bytes, PixelKind::rgb555);
}

namespace {

// One packet from p with r bytes left. A run when the first two bytes are equal, a literal
// otherwise that ends where an equal pair begins; with pairs_in_literals, runs start only at
// three equal bytes (or a pair that ends the stream) and literals run on over pairs.
long measure_packet(const BYTE* p, long r, bool pairs_in_literals, bool* run)
{
    if (r <= 1) {
        *run = false;
        return 1;
    }
    const long limit = std::min(r, kMaxPacket);
    long same = 1;
    while (same < limit && p[same] == p[0]) ++same;
    if (same >= 3 || (same == 2 && (!pairs_in_literals || r == 2))) {
        *run = true;
        return same;
    }
    long i = 1;
    if (pairs_in_literals) {
        while (i < limit && !(i + 2 < r && p[i] == p[i + 1] && p[i] == p[i + 2])) ++i;
    } else {
        while (i < limit && !(i + 1 < r && p[i] == p[i + 1])) ++i;
    }
    *run = false;
    return i;
}

// Packs n plane bytes into out; the bytes written.
std::size_t pack_row(const BYTE* planes, std::size_t n, bool pairs_in_literals, BYTE* out)
{
    BYTE* o = out;
    for (std::size_t i = 0; i < n;) {
        bool run = false;
        const long len = measure_packet(planes + i, static_cast<long>(n - i), pairs_in_literals, &run);
        if (run) {
            *o++ = static_cast<BYTE>(257 - len);
            *o++ = planes[i];
        } else {
            *o++ = static_cast<BYTE>(len - 1);
            std::memcpy(o, planes + i, static_cast<std::size_t>(len));
            o += len;
        }
        i += static_cast<std::size_t>(len);
    }
    return static_cast<std::size_t>(o - out);
}

} // namespace

long CKrPictImage::PictCheckComp(const BYTE* p, long r, bool* run)
{
    return measure_packet(p, r, false, run);
}

std::size_t CKrPictImage::PackedBound(unsigned long width, unsigned long height)
{
    // Per row: a two-byte count and at most 1.5 bytes a plane byte (a one-byte literal and
    // a pair, over and over, take 4 bytes for 3); plus the pad byte.
    const std::size_t n = static_cast<std::size_t>(width) * 4;
    std::size_t row = 2 + n + n / 2 + 2;
    std::size_t total = 0;
    if (!zk::checked_mul(row, height, total) || !zk::checked_add(total, 1, total) || total > zk::kMaxBufferBytes * 2)
        return 0;
    return total;
}

std::size_t CKrPictImage::ImgConv_FbToPict(CKrFrameBuffer* source, BYTE* out)
{
    return ImgConv_Comp32A(source, out);
}

std::size_t CKrPictImage::ImgConv_Comp32A(CKrFrameBuffer* source, BYTE* out)
{
    const std::size_t w = source->GetWidth();
    const std::size_t h = source->GetHeight();
    const std::size_t n = 4 * w;
    const bool long_count = n > kShortCountLimit;
    std::vector<BYTE> planes(n);
    const DWORD* pixels = source->GetBufferDWord();
    BYTE* o = out;
    for (std::size_t y = 0; y < h; ++y) {
        const DWORD* row = pixels + y * w;
        for (std::size_t x = 0; x < w; ++x) {
            planes[x] = static_cast<BYTE>(row[x] >> 24);
            planes[w + x] = static_cast<BYTE>(row[x] >> 16);
            planes[2 * w + x] = static_cast<BYTE>(row[x] >> 8);
            planes[3 * w + x] = static_cast<BYTE>(row[x]);
        }
        BYTE* count_at = o;
        BYTE* packed = o + (long_count ? 2 : 1);
        std::size_t length = pack_row(planes.data(), n, false, packed);
        if (long_count) {
            zk::put_be16(count_at, static_cast<WORD>(length));
        } else {
            if (length > 0xFF) length = pack_row(planes.data(), n, true, packed);
            // At most 250 bytes for 248 now; a count that did not fit would make the file
            // unreadable, so refuse rather than write it.
            if (length > 0xFF) return 0;
            *count_at = static_cast<BYTE>(length);
        }
        o = packed + length;
    }
    if ((o - out) & 1) *o++ = 0;
    return static_cast<std::size_t>(o - out);
}

int CKrPictImage::SaveImage_Proc(CFile* file, CKrFrameBuffer* source, long /*unused*/)
{
    if (!source || source->IsBuffer() == 1 || source->GetWidth() == 0 || source->GetHeight() == 0 ||
        source->GetSize() == 0)
        return ZK_FAIL(-1);
    // Row bytes have 15 bits and rectangles signed 16-bit sides: a larger picture cannot be
    // described, and writing the low bits would make a file that decodes to garbage.
    const unsigned long width = source->GetWidth(), height = source->GetHeight();
    if (width * 4 > 0x7FFF || height > 0x7FFF) return ZK_FAIL(-1);
    const std::size_t room = PackedBound(width, height);
    if (room == 0) return ZK_FAIL(-1);
    std::unique_ptr<BYTE[]> packed(new (std::nothrow) BYTE[room]);
    if (!packed) return ZK_FAIL(-1);
    const std::size_t n = ImgConv_FbToPict(source, packed.get());
    if (n == 0) return ZK_FAIL(-1);

    const auto w16 = static_cast<std::int16_t>(width), h16 = static_cast<std::int16_t>(height);
    const tagPICTRECT frame{0, 0, h16, w16};
    BYTE head[14];
    zk::put_be16(head, static_cast<WORD>((124 + n) & 0xFFFF));
    put_rect(head + 2, frame);
    zk::put_be16(head + 10, 0x0011);
    zk::put_be16(head + 12, 0x02FF);

    BYTE header_op[26] = {};
    zk::put_be16(header_op, kOpHeader);
    zk::put_be16(header_op + 2, 0xFFFE);
    zk::put_be32(header_op + 6, kRes72);
    zk::put_be32(header_op + 10, kRes72);
    put_rect(header_op + 14, frame);

    BYTE clip[12];
    zk::put_be16(clip, kOpClip);
    zk::put_be16(clip + 2, 10);
    put_rect(clip + 4, frame);

    tagFMT_PICT_PIXMAP m{};
    m.opcode = kOpDirectBitsRect;
    m.baseAddr = 0x000000FF;
    m.rowBytes = static_cast<WORD>(width * 4 | 0x8000);
    m.bounds = frame;
    m.packType = 4;
    m.hRes = kRes72;
    m.vRes = kRes72;
    m.pixelType = 16;
    m.pixelSize = 32;
    m.cmpCount = 4;
    m.cmpSize = 8;
    m.srcRect = frame;
    m.dstRect = frame;
    m.mode = 0x40;
    BYTE pixmap[kPixmapBytes];
    StorePixmap(m, pixmap);

    static const BYTE preamble[kPreambleBytes] = {};
    const BYTE end[2] = {0x00, 0xFF};
    file->SeekToBegin();
    file->Write(preamble, sizeof preamble);
    file->Write(head, sizeof head);
    file->Write(header_op, sizeof header_op);
    file->Write(clip, sizeof clip);
    file->Write(pixmap, sizeof pixmap);
    zk::write_in_blocks(*file, {packed.get(), n});
    file->Write(end, sizeof end);
    Sleep(0);
    return 0;
}
