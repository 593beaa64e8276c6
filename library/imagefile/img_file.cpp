// CImgFile: extension dispatch to the codecs, the BMP conversion through CDib, the "IFO0"
// settings record and the small icon copies.
//
// No exception leaves: the codecs catch their own, and the record reader and writer catch the
// file layer's. A failed load leaves no image behind, whatever the codec left in the buffer.
#include "imagefile/img_file.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <utility>

#include "core/byte_reader.h"
#include "core/errors.h"
#include "imagefile/codec_io.h"
#include "imagefile/dib.h"
#include "imagefile/jpeg_image.h"
#include "imagefile/pict_image.h"
#include "imagefile/targa_image.h"

IMPLEMENT_SERIAL(CImgFile, CObject, 0)

namespace {

enum class Format { none, targa, pict, bmp, jpeg, unknown };

// The order in which a name without extension is completed.
constexpr std::array<std::pair<const char*, Format>, 4> kFormats{{
    {".tga", Format::targa},
    {".pct", Format::pict},
    {".bmp", Format::bmp},
    {".jpg", Format::jpeg},
}};

constexpr char kRecordTag[4] = {'I', 'F', 'O', '0'};

// The name without its extension, and the extension with its dot ("" when there is none).
// Folders may be separated by '/' or '\'; a dot in a folder name is not an extension.
std::pair<CString, CString> split_extension(const CString& name)
{
    const std::string& s = name.str();
    const std::size_t slash = s.find_last_of("/\\");
    const std::size_t dot = s.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {name, CString()};
    return {CString(s.substr(0, dot)), CString(s.substr(dot))};
}

Format format_of(const CString& ext)
{
    if (ext.IsEmpty()) return Format::none;
    for (const auto& [text, format] : kFormats) {
        if (ext.CompareNoCase(text) == 0) return format;
    }
    return Format::unknown;
}

bool file_exists(const CString& path)
{
    CFileStatus status;
    return CFile::GetStatus(path, status) != FALSE;
}

// Loads path with a codec that tells afterwards whether the file carried a key.
template <class Codec>
int load_with(CString& path, CKrFrameBuffer& image, long& key)
{
    Codec codec;
    const int result = codec.LoadImage(&path, &image);
    key = codec.GetKeyFlag();
    return result;
}

bool read_le32(CFile* file, std::int32_t& v)
{
    BYTE b[4];
    if (file->Read(b, 4) != 4) return false;
    zk::ByteReader in(b, 4);
    return in.le32s(v);
}

} // namespace

CImgFile::CImgFile() = default;

CImgFile::CImgFile(CString name, long x, long y, long copy_mode)
    : m_strFileName(std::move(name)), m_lX(x), m_lY(y), m_lCopyMode(copy_mode)
{
}

CImgFile::CImgFile(const CImgFile& other)
    : CObject(other),
      m_strFileName(other.m_strFileName),
      m_lX(other.m_lX),
      m_lY(other.m_lY),
      m_lCopyMode(other.m_lCopyMode),
      m_Img(other.m_Img)
{
}

CImgFile& CImgFile::operator=(const CImgFile& other)
{
    if (this == &other) return *this;
    m_strFileName = other.m_strFileName;
    m_lX = other.m_lX;
    m_lY = other.m_lY;
    m_lCopyMode = other.m_lCopyMode;
    m_Img = other.m_Img;
    return *this;
}

CImgFile::~CImgFile()
{
    m_strFileName.Empty();
    m_lX = m_lY = m_lCopyMode = 0;
    m_Img.DeleteFrameBuffer();
}

void CImgFile::SetParam(CString name, long x, long y, long copy_mode)
{
    m_strFileName = std::move(name);
    m_lX = x;
    m_lY = y;
    m_lCopyMode = copy_mode;
}

void CImgFile::SetAddress(long x, long y)
{
    m_lX = x;
    m_lY = y;
}

void CImgFile::GetAddress(long* x, long* y) const
{
    if (x) *x = m_lX;
    if (y) *y = m_lY;
}

void CImgFile::GetSize(long* w, long* h) const
{
    if (w) *w = static_cast<long>(m_Img.GetWidth());
    if (h) *h = static_cast<long>(m_Img.GetHeight());
}

// ---- the settings record ----

int CImgFile::Write(CFile* file)
{
    if (!file) return ZK_FAIL(0);
    try {
        BYTE head[20];
        std::memcpy(head, kRecordTag, 4);
        zk::put_le32(head + 4, static_cast<DWORD>(static_cast<std::int32_t>(m_lX)));
        zk::put_le32(head + 8, static_cast<DWORD>(static_cast<std::int32_t>(m_lY)));
        zk::put_le32(head + 12, static_cast<DWORD>(static_cast<std::int32_t>(m_lCopyMode)));
        zk::put_le32(head + 16, static_cast<DWORD>(m_strFileName.GetLength()));
        file->Write(head, sizeof head);
        if (m_strFileName.GetLength() > 0)
            file->Write(m_strFileName.GetString(), static_cast<UINT>(m_strFileName.GetLength()));
        return 1;
    } catch (...) {
        return ZK_FAIL(0);
    }
}

int CImgFile::Read(CFile* file)
{
    if (!file) return ZK_FAIL(0);
    try {
        // The tag is read but not compared: older writers put other text there.
        BYTE tag[4];
        if (file->Read(tag, 4) != 4) return ZK_FAIL(0);
        std::int32_t v = 0;
        if (!read_le32(file, v)) return ZK_FAIL(0);
        m_lX = v;
        if (!read_le32(file, v)) return ZK_FAIL(0);
        m_lY = v;
        if (!read_le32(file, v)) return ZK_FAIL(0);
        m_lCopyMode = v;
        if (!read_le32(file, v)) return ZK_FAIL(0);
        const auto n = static_cast<std::uint32_t>(v);
        // Only as many bytes as the file still holds can arrive; never allocate what it claims.
        const ULONGLONG length = file->GetLength(), pos = file->GetPosition();
        if (pos > length || n > length - pos) {
            m_strFileName.Empty();
            return ZK_FAIL(0);
        }
        std::string name(n, '\0');
        if (n && file->Read(name.data(), n) != n) {
            m_strFileName.Empty();
            return ZK_FAIL(0);
        }
        m_strFileName = CString(std::move(name));
        return 1;
    } catch (...) {
        return ZK_FAIL(0);
    }
}

void CImgFile::Serialize(CArchive& ar)
{
    zk::serialize_through_file(ar, *this);
}

// ---- loading ----

int CImgFile::LoadImage()
{
    if (m_strFileName.IsEmpty()) return ZK_FAIL(-1);
    return LoadDispatch(m_strFileName);
}

int CImgFile::LoadImage(CString name)
{
    m_strFileName = std::move(name);
    return LoadImage();
}

int CImgFile::LoadDispatch(const CString& name)
{
    m_Img.DeleteFrameBuffer();
    CString path = name;
    Format format = format_of(split_extension(name).second);
    if (format == Format::unknown) return ZK_FAIL(-1);
    if (format == Format::none) {
        for (const auto& [text, candidate] : kFormats) {
            if (file_exists(name + text)) {
                path = name + text;
                format = candidate;
                break;
            }
        }
        if (format == Format::none) return ZK_FAIL(-1);
    }

    int result = -1;
    long key = 0;
    switch (format) {
    case Format::targa: result = load_with<CKrTargaImage>(path, m_Img, key); break;
    case Format::pict: result = load_with<CKrPictImage>(path, m_Img, key); break;
    case Format::jpeg: result = load_with<CKrJpegImage>(path, m_Img, key); break;
    case Format::bmp: result = LoadBmp(path); break;
    default: break;
    }
    if (result != 0) {
        // A codec may leave a partly decoded picture behind; the facade holds none after a failure.
        m_Img.DeleteFrameBuffer();
        return ZK_FAIL(-1);
    }
    if (format != Format::bmp) m_lKeyFlag = key;
    return 0;
}

int CImgFile::LoadBmp(const CString& path)
{
    CDib dib;
    if (zk::with_codec_file(path, zk::kCodecReadFlags, [&](CFile& file) { return dib.Read(&file) ? 0 : -1; }) != 0)
        return ZK_FAIL(-1);
    const BITMAPINFOHEADER* h = dib.GetBitmapInfoHeader();
    // Only plain 24-bit rows can be taken as they stand.
    if (!h || dib.GetBitCount() != 24 || h->biCompression != BI_RGB) return ZK_FAIL(-1);
    const long width = dib.GetWidth();
    const long height = dib.GetHeight();
    const std::size_t stride = (static_cast<std::size_t>(width) * 24 + 31) / 32 * 4;
    if (width < 1 || height < 1 || dib.GetSizeImage() / stride < static_cast<std::size_t>(height)) return ZK_FAIL(-1);
    if (m_Img.CreateFrameBuffer(width, height, 0) != 0) return ZK_FAIL(-1);
    const bool bottom_up = dib.GetInvert() == 0;
    const BYTE* bits = dib.GetImageBuffer();
    DWORD* dst = m_Img.GetBufferDWord();
    for (long y = 0; y < height; ++y, dst += width) {
        const BYTE* s = bits + static_cast<std::size_t>(bottom_up ? height - 1 - y : y) * stride;
        for (long x = 0; x < width; ++x, s += 3)
            dst[x] = static_cast<DWORD>(s[0]) | static_cast<DWORD>(s[1]) << 8 | static_cast<DWORD>(s[2]) << 16 |
                     0xFF000000u;
    }
    m_lKeyFlag = 0;
    return 0;
}

// ---- saving ----

int CImgFile::SaveImage()
{
    if (m_strFileName.IsEmpty() || m_Img.IsBuffer() == 1) return ZK_FAIL(-1);
    return SaveDispatch(&m_Img, m_strFileName, 0, 0);
}

int CImgFile::SaveImage(CString name)
{
    m_strFileName = std::move(name);
    return SaveImage();
}

int CImgFile::SaveImage(CString name, long quality, long with_key)
{
    m_strFileName = std::move(name);
    if (m_strFileName.IsEmpty() || m_Img.IsBuffer() == 1) return ZK_FAIL(-1);
    return SaveDispatch(&m_Img, m_strFileName, quality, with_key);
}

int CImgFile::SaveImage(CKrFrameBuffer* image)
{
    if (m_strFileName.IsEmpty()) return ZK_FAIL(-1);
    return SaveDispatch(image, m_strFileName, 0, 0);
}

int CImgFile::SaveImage(CKrFrameBuffer* image, CString name)
{
    m_strFileName = std::move(name);
    return SaveImage(image);
}

int CImgFile::SaveImage(CKrFrameBuffer* image, CString name, long quality, long with_key)
{
    m_strFileName = std::move(name);
    if (m_strFileName.IsEmpty()) return ZK_FAIL(-1);
    return SaveDispatch(image, m_strFileName, quality, with_key);
}

int CImgFile::SaveDispatch(CKrFrameBuffer* image, const CString& name, long quality, long with_key)
{
    CString path = name;
    Format format = format_of(split_extension(name).second);
    if (format == Format::unknown) return ZK_FAIL(-1);
    if (format == Format::none) {
        path += ".tga";
        format = Format::targa;
    }
    int result = -1;
    switch (format) {
    case Format::targa: result = CKrTargaImage().SaveImage(&path, image, 1); break;
    case Format::pict: result = CKrPictImage().SaveImage(&path, image, 0); break;
    case Format::jpeg: result = CKrJpegImage().SaveImage(&path, image, quality, with_key); break;
    case Format::bmp: result = SaveBmp(image, path); break;
    default: break;
    }
    return result == 0 ? 0 : ZK_FAIL(-1);
}

int CImgFile::SaveBmp(CKrFrameBuffer* image, const CString& path)
{
    if (!image || image->IsBuffer() == 1 || image->GetWidth() > 0x7FFFFFFF || image->GetHeight() > 0x7FFFFFFF)
        return ZK_FAIL(-1);
    CDib dib;
    if (!dib.Create(static_cast<int>(image->GetWidth()), static_cast<int>(image->GetHeight()), 24, 0))
        return ZK_FAIL(-1);
    if (image->CopyBitmap24(dib.GetImageBuffer(), dib.GetBitmapInfoHeader(), 0) != 0) return ZK_FAIL(-1);
    return zk::with_codec_file(path, CFile::modeCreate | CFile::modeWrite | CFile::typeBinary,
                               [&](CFile& file) { return dib.Write(&file) ? 0 : -1; }) == 0
               ? 0
               : ZK_FAIL(-1);
}

// ---- image operations ----

int CImgFile::DeleteImage()
{
    m_Img.DeleteFrameBuffer();
    return 0;
}

int CImgFile::SetImage(CKrFrameBuffer* src)
{
    if (!src || src->IsBuffer() == 1) return ZK_FAIL(-1);
    m_Img.DeleteFrameBuffer();
    const long w = static_cast<long>(src->GetWidth()), h = static_cast<long>(src->GetHeight());
    if (m_Img.CreateFrameBuffer(w, h, 1) != 0) return ZK_FAIL(-1);
    return m_Img.FbCopy(src, 0, 0, w, h, 0, 0, 0, nullptr);
}

int CImgFile::CopyImage(CKrFrameBuffer* src, long sx, long sy, long w, long h, long dx, long dy, long mode,
                        CBox* done)
{
    if (!src || src->IsBuffer() == 1 || m_Img.IsBuffer() == 1) return ZK_FAIL(-1);
    return m_Img.FbCopy(src, sx, sy, w, h, dx, dy, mode, done);
}

int CImgFile::DrawFrame(CKrFrameBuffer* target)
{
    const int result = target ? target->FbCopy(&m_Img, 0, 0, static_cast<long>(m_Img.GetWidth()),
                                               static_cast<long>(m_Img.GetHeight()), m_lX, m_lY, m_lCopyMode,
                                               &m_DispEria)
                              : -1;
    if (result != 0) {
        m_DispEria = CBox();
        return ZK_FAIL(-1);
    }
    return 0;
}

int CImgFile::SaveIcon(CString path, long w, long h)
{
    if (m_Img.IsBuffer() == 1) {
        if (m_strFileName.IsEmpty() || LoadImage() != 0) return ZK_FAIL(-1);
    }
    CImgFile icon(path, 0, 0, 0);
    if (m_Img.SizeChange(icon.GetImg(), w, h) != 0) return ZK_FAIL(-1);
    return icon.SaveImage();
}

int CImgFile::SaveIconBmp(long w, long h)
{
    if (m_strFileName.IsEmpty()) return ZK_FAIL(-1);
    return SaveIcon(split_extension(m_strFileName).first + ".bmp", w, h);
}
