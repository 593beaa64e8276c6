// CDib: building, adopting, reading, writing and mapping device-independent bitmaps.
//
// Everything a BMP file states is checked against what the file holds before it is used: the
// header block must hold a full 40-byte header and the colour table it announces, and the
// pixel rows must be present in full. Sizes are computed in 64 bits and capped, so a header
// cannot make the object allocate absurd amounts or read past what arrived.
#include "imagefile/dib.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "core/byte_reader.h"
#include "core/checked.h"
#include "core/errors.h"
#include "imagefile/codec_io.h"
#include "platform/win32/file_mapping.h"

static_assert(std::endian::native == std::endian::little,
              "the header block is used in place as it is stored: little-endian");

IMPLEMENT_SERIAL(CDib, CObject, 0)

namespace {

constexpr WORD kBmType = 0x4D42;  // "BM"
constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::size_t kInfoHeaderBytes = 40;
constexpr DWORD kBitFields = 3;

// Row bytes of an uncompressed bitmap, 0 when the numbers make no sense.
std::int64_t row_bytes(std::int64_t bit_count, std::int64_t width)
{
    if (bit_count <= 0 || width <= 0 || width > (std::int64_t{1} << 31)) return 0;
    return (bit_count * width + 31) / 32 * 4;
}

// A copy of the header: inside a mapped file it sits 14 bytes in, not aligned for its fields.
BITMAPINFOHEADER info_of(const void* block)
{
    BITMAPINFOHEADER h;
    std::memcpy(&h, block, sizeof h);
    return h;
}

std::int64_t abs_height(const BITMAPINFOHEADER& h)
{
    return h.biHeight < 0 ? -static_cast<std::int64_t>(h.biHeight) : h.biHeight;
}

// |height| rows of row_bytes, saturated at INT64_MAX: a header may state any sizes.
std::int64_t all_rows_bytes(const BITMAPINFOHEADER& h)
{
    std::int64_t n = 0;
    if (__builtin_mul_overflow(abs_height(h), row_bytes(h.biBitCount, h.biWidth), &n)) return INT64_MAX;
    return n;
}

// Bytes from the header's start to its colour table: the header itself (40 bytes, or a
// larger later version that says so in biSize) plus, after a 40-byte header, the three colour
// masks of a bit-field bitmap.
std::size_t header_bytes(const BITMAPINFOHEADER& h)
{
    std::size_t n = (h.biSize > kInfoHeaderBytes && h.biSize <= 124) ? h.biSize : kInfoHeaderBytes;
    if (n == kInfoHeaderBytes && h.biCompression == kBitFields) n += 12;
    return n;
}

void put_file_header(BYTE out[kFileHeaderBytes], DWORD file_size, DWORD offset)
{
    zk::put_le16(out, kBmType);
    zk::put_le32(out + 2, file_size);
    zk::put_le16(out + 6, 0);
    zk::put_le16(out + 8, 0);
    zk::put_le32(out + 10, offset);
}

} // namespace

CDib::CDib() = default;

CDib::CDib(CSize size, int bit_count)
{
    build_header(size.cx, size.cy, bit_count, 0, false);
}

CDib::CDib(int width, int height, int bit_count, int invert)
{
    Create(width, height, bit_count, invert);
}

CDib::CDib(void* pixels, CSize size, int bit_count, int invert)
{
    AttachImage(pixels, size, bit_count, invert);
}

CDib::~CDib()
{
    Empty();
}

long CDib::GetWidth() const
{
    return m_lpBMIH ? info_of(m_lpBMIH).biWidth : 0;
}

long CDib::GetHeight() const
{
    return m_lpBMIH ? static_cast<long>(abs_height(info_of(m_lpBMIH))) : 0;
}

CSize CDib::GetDimensions() const
{
    if (!m_lpBMIH) return CSize(0, 0);
    const BITMAPINFOHEADER h = info_of(m_lpBMIH);
    return CSize(h.biWidth, static_cast<LONG>(abs_height(h)));
}

int CDib::GetInvert() const
{
    return m_lpBMIH && info_of(m_lpBMIH).biHeight < 0 ? 1 : 0;
}

int CDib::GetBitCount() const
{
    return m_lpBMIH ? info_of(m_lpBMIH).biBitCount : 0;
}

int CDib::GetLineByte() const
{
    if (!m_lpBMIH) return 0;
    const BITMAPINFOHEADER h = info_of(m_lpBMIH);
    const std::int64_t n = (static_cast<std::int64_t>(h.biBitCount) * h.biWidth + 31) / 8;
    return static_cast<int>(n & ~std::int64_t{3});
}

void CDib::compute_palette_size(int bit_count)
{
    const DWORD used = m_lpBMIH ? info_of(m_lpBMIH).biClrUsed : 0;
    if (used != 0) {
        // Capped so that sizes stay small numbers; whoever adopts a block checks it holds them.
        m_nColorTableEntries = static_cast<int>(std::min<DWORD>(used, 0x10000));
        return;
    }
    switch (bit_count) {
    case 1: m_nColorTableEntries = 2; break;
    case 4: m_nColorTableEntries = 16; break;
    case 8: m_nColorTableEntries = 256; break;
    case 16:
    case 24:
    case 32: m_nColorTableEntries = 0; break;
    default: break;
    }
}

void CDib::compute_metrics()
{
    if (!m_lpBMIH) return;
    const BITMAPINFOHEADER h = info_of(m_lpBMIH);
    if (h.biSizeImage != 0) {
        m_dwSizeImage = h.biSizeImage;
    } else {
        m_dwSizeImage = static_cast<DWORD>(std::min<std::int64_t>(all_rows_bytes(h), 0xFFFFFFFF));
    }
    m_lpvColorTable = reinterpret_cast<BYTE*>(m_lpBMIH) + header_bytes(h);
}

bool CDib::build_header(int width, int height, int bit_count, int invert, bool with_image)
{
    compute_palette_size(bit_count);
    const std::size_t block = kInfoHeaderBytes + 4 * static_cast<std::size_t>(m_nColorTableEntries);
    // Cleared, so that nothing stale ever reaches a file.
    auto* header = static_cast<BITMAPINFOHEADER*>(std::calloc(1, block));
    if (!header) return false;
    header->biSize = kInfoHeaderBytes;
    header->biWidth = width;
    header->biHeight = invert == 1 ? -height : height;
    header->biPlanes = 1;
    header->biBitCount = static_cast<WORD>(bit_count);
    header->biCompression = BI_RGB;
    header->biClrUsed = static_cast<DWORD>(m_nColorTableEntries);
    header->biClrImportant = static_cast<DWORD>(m_nColorTableEntries);
    m_lpBMIH = header;
    m_nBmihAlloc = crtAlloc;
    m_nHeaderBlock = block;
    compute_metrics();
    if (!with_image) return true;
    std::size_t bytes = 0;
    if (!zk::image_bytes(row_bytes(bit_count, width), height, 1, bytes) || bytes == 0) return false;
    m_lpImage = static_cast<BYTE*>(std::calloc(1, bytes));
    if (!m_lpImage) return false;
    m_nImageAlloc = crtAlloc;
    return true;
}

int CDib::Create(int width, int height, int bit_count, int invert)
{
    if (width < 1 || height < 1) return ZK_FAIL(0);
    if (bit_count != 1 && bit_count != 4 && bit_count != 8 && bit_count != 16 && bit_count != 24 && bit_count != 32)
        return ZK_FAIL(0);
    Empty();
    if (!build_header(width, height, bit_count, invert, true)) {
        Empty();
        return ZK_FAIL(0);
    }
    return 1;
}

int CDib::AttachImage(void* pixels, CSize size, int bit_count, int invert)
{
    if (bit_count != 16 && bit_count != 24 && bit_count != 32) return ZK_FAIL(0);
    Empty();
    if (!build_header(size.cx, size.cy, bit_count, invert, false)) {
        Empty();
        return ZK_FAIL(0);
    }
    m_lpImage = static_cast<BYTE*>(pixels);
    m_nImageAlloc = noAlloc;
    return 1;
}

void CDib::adopt_block(BITMAPINFOHEADER* header, int ownership, void* global_handle)
{
    m_lpBMIH = header;
    m_hGlobal = global_handle;
    m_nBmihAlloc = ownership;
    m_nImageAlloc = noAlloc;
    compute_palette_size(info_of(header).biBitCount);
    compute_metrics();
    m_nHeaderBlock = header_bytes(info_of(header)) + 4 * static_cast<std::size_t>(m_nColorTableEntries);
    m_lpImage = reinterpret_cast<BYTE*>(header) + m_nHeaderBlock;
}

int CDib::AttachMemory(void* packed, int take_ownership, void* global_handle)
{
    if (!packed) return ZK_FAIL(0);
    Empty();
    const int ownership = take_ownership ? (global_handle ? heapAlloc : crtAlloc) : noAlloc;
    adopt_block(static_cast<BITMAPINFOHEADER*>(packed), ownership, global_handle);
    MakePalette();
    return 1;
}

void CDib::Empty()
{
    detach_map_file();
    if (m_nBmihAlloc == crtAlloc) std::free(m_lpBMIH);
    if (m_nBmihAlloc == heapAlloc) std::free(m_hGlobal ? m_hGlobal : m_lpBMIH);
    if (m_nImageAlloc == crtAlloc) std::free(m_lpImage);
    m_pPalette.reset();
    m_lpvColorTable = nullptr;
    m_lpImage = nullptr;
    m_lpBMIH = nullptr;
    m_hGlobal = nullptr;
    m_nBmihAlloc = noAlloc;
    m_nImageAlloc = noAlloc;
    m_dwSizeImage = 0;
    m_nColorTableEntries = 0;
    m_nHeaderBlock = 0;
}

int CDib::MakePalette()
{
    if (m_nColorTableEntries == 0 || !m_lpvColorTable) return 0;
    auto palette = std::make_unique<DibPalette>();
    palette->entries.resize(static_cast<std::size_t>(m_nColorTableEntries));
    const auto* table = static_cast<const RGBQUAD*>(m_lpvColorTable);
    for (std::size_t i = 0; i < palette->entries.size(); ++i)
        palette->entries[i] = DibPaletteEntry{table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
    m_pPalette = std::move(palette);
    return 1;
}

int CDib::Read(CFile* file)
{
    Empty();
    if (!file) return ZK_FAIL(0);
    try {
        BYTE head[kFileHeaderBytes];
        if (file->Read(head, kFileHeaderBytes) != kFileHeaderBytes) return ZK_FAIL(0);
        zk::ByteReader in(head, sizeof head);
        WORD type = 0;
        DWORD offset = 0;
        in.le16(type);
        in.skip(8);
        in.le32(offset);
        if (type != kBmType) return ZK_FAIL(0);

        // The header block must hold a whole header and lie within the file.
        const ULONGLONG length = file->GetLength();
        const ULONGLONG pos = file->GetPosition();
        if (offset < kFileHeaderBytes + kInfoHeaderBytes || pos > length || offset - kFileHeaderBytes > length - pos)
            return ZK_FAIL(0);
        const std::size_t block = offset - kFileHeaderBytes;
        auto* header = static_cast<BITMAPINFOHEADER*>(std::malloc(block));
        if (!header) return ZK_FAIL(0);
        m_lpBMIH = header;
        m_nBmihAlloc = crtAlloc;
        m_nHeaderBlock = block;
        if (file->Read(header, static_cast<UINT>(block)) != block) {
            Empty();
            return ZK_FAIL(0);
        }
        const BITMAPINFOHEADER h = info_of(header);
        compute_palette_size(h.biBitCount);
        compute_metrics();
        const std::size_t table_at = header_bytes(h);
        std::size_t table_end = table_at + 4 * static_cast<std::size_t>(m_nColorTableEntries);
        if (table_end > block && h.biBitCount >= 16 && table_at <= block) {
            // Direct-colour rows do not need the table; whatever part of the announced one
            // lies before the rows is kept, and the rows are where the file header says.
            m_nColorTableEntries = static_cast<int>((block - table_at) / 4);
            table_end = table_at + 4 * static_cast<std::size_t>(m_nColorTableEntries);
        }
        if (h.biWidth < 1 || h.biHeight == 0 || table_end > block) {
            Empty();
            return ZK_FAIL(0);
        }
        // Uncompressed rows are used row by row: all of them must be there, whatever the
        // header's image size says.
        if (h.biCompression == BI_RGB || h.biCompression == kBitFields) {
            const std::int64_t rows = all_rows_bytes(h);
            if (rows == 0 || rows > static_cast<std::int64_t>(zk::kMaxBufferBytes)) {
                Empty();
                return ZK_FAIL(0);
            }
            m_dwSizeImage = std::max<DWORD>(m_dwSizeImage, static_cast<DWORD>(rows));
        }
        if (m_dwSizeImage == 0 || m_dwSizeImage > zk::kMaxBufferBytes || m_dwSizeImage > length - file->GetPosition()) {
            Empty();
            return ZK_FAIL(0);
        }
        m_lpImage = static_cast<BYTE*>(std::malloc(m_dwSizeImage));
        if (!m_lpImage) {
            Empty();
            return ZK_FAIL(0);
        }
        m_nImageAlloc = crtAlloc;
        if (file->Read(m_lpImage, m_dwSizeImage) != m_dwSizeImage) {
            Empty();
            return ZK_FAIL(0);
        }
        MakePalette();
        return 1;
    } catch (...) {
        Empty();
        return ZK_FAIL(0);
    }
}

int CDib::Write(CFile* file)
{
    if (!file || !m_lpBMIH || (!m_lpImage && m_dwSizeImage)) return ZK_FAIL(0);
    const std::uint64_t offset = kFileHeaderBytes + m_nHeaderBlock;
    const std::uint64_t total = offset + m_dwSizeImage;
    if (total > 0xFFFFFFFFu) return ZK_FAIL(0);
    try {
        BYTE head[kFileHeaderBytes];
        put_file_header(head, static_cast<DWORD>(total), static_cast<DWORD>(offset));
        file->Write(head, kFileHeaderBytes);
        file->Write(m_lpBMIH, static_cast<UINT>(m_nHeaderBlock));
        if (m_dwSizeImage) file->Write(m_lpImage, m_dwSizeImage);
        return 1;
    } catch (...) {
        return ZK_FAIL(0);
    }
}

void CDib::Serialize(CArchive& ar)
{
    zk::serialize_through_file(ar, *this);
}

void CDib::detach_map_file()
{
    if (!m_pMap) return;
    // The pointers into the view go with it.
    if (m_nBmihAlloc == noAlloc) {
        m_lpBMIH = nullptr;
        m_lpvColorTable = nullptr;
    }
    if (m_nImageAlloc == noAlloc) m_lpImage = nullptr;
    m_pMap.reset();
}

int CDib::AttachMapFile(const char* path, int share)
{
    (void)share;  // mappings here know no exclusive sharing modes: every reader may map the file
    if (!path) return ZK_FAIL(0);
    Empty();
    std::unique_ptr<zk::FileMapping> map = zk::FileMapping::open_for_reading(path);
    if (!map || map->size() < kFileHeaderBytes + kInfoHeaderBytes) return ZK_FAIL(0);
    const std::size_t size = map->size();
    const BYTE* bytes = map->data();
    if ((bytes[0] | bytes[1] << 8) != kBmType) return ZK_FAIL(0);
    m_pMap = std::move(map);
    adopt_block(reinterpret_cast<BITMAPINFOHEADER*>(m_pMap->data() + kFileHeaderBytes), noAlloc, nullptr);
    // The colour table and the rows the header announces must lie inside the file.
    const std::size_t image_at = kFileHeaderBytes + m_nHeaderBlock;
    if (image_at > size || m_dwSizeImage > size - image_at) {
        Empty();
        return ZK_FAIL(0);
    }
    MakePalette();
    return 1;
}

int CDib::CopyToMapFile(const char* path)
{
    if (!path || !m_lpBMIH || (!m_lpImage && m_dwSizeImage)) return ZK_FAIL(0);
    const std::size_t block = m_nHeaderBlock;
    const std::size_t size = kFileHeaderBytes + block + m_dwSizeImage;
    if (size > 0xFFFFFFFFu) return ZK_FAIL(0);
    std::unique_ptr<zk::FileMapping> map = zk::FileMapping::create_for_writing(path, size);
    if (!map) return ZK_FAIL(0);
    BYTE* bytes = map->data();
    put_file_header(bytes, static_cast<DWORD>(size), static_cast<DWORD>(kFileHeaderBytes + block));
    std::memcpy(bytes + kFileHeaderBytes, m_lpBMIH, block);
    if (m_dwSizeImage) std::memcpy(bytes + kFileHeaderBytes + block, m_lpImage, m_dwSizeImage);
    const DWORD image_size = m_dwSizeImage;
    const int entries = m_nColorTableEntries;
    Empty();
    m_pMap = std::move(map);
    m_lpBMIH = reinterpret_cast<BITMAPINFOHEADER*>(bytes + kFileHeaderBytes);
    m_nHeaderBlock = block;
    m_nColorTableEntries = entries;
    compute_metrics();
    m_dwSizeImage = image_size;
    m_lpImage = bytes + kFileHeaderBytes + block;
    MakePalette();
    return 1;
}
