// CKrOnlineCtl: still pictures loaded into the write bank and saved from it.
//
// Each format is one codec class (Targa, PICT, JPEG); the operations only choose it, by the
// file name's extension in any case, or by probing name.tga, name.pct, name.jpg for a name
// without one. A picture that fails to load changes nothing on the banks or the outputs.
#include <string>

#include "framebuffer/kr_frame_buffer.h"
#include "imagefile/jpeg_image.h"
#include "imagefile/pict_image.h"
#include "imagefile/targa_image.h"
#include "onair/kr_gfb.h"
#include "online/internal/online_helpers.h"
#include "online/kr_online_ctl.h"

#include "core/errors.h"

namespace {

using zk::online::file_exists;
using zk::online::lower_extension;

// The codecs by kind, with their texts.
enum Kind { kTarga = 0, kPict = 1, kJpeg = 2, kKinds = 3 };
constexpr const char* kExtension[kKinds] = {".tga", ".pct", ".jpg"};
constexpr const char* kLoadErr[kKinds] = {"TgaLoadErr %s", "PictLoadErr %s", "JpegLoadErr %s"};
constexpr const char* kSaveErr[kKinds] = {"TgaSaveErr %s", "PictSaveErr %s", "JpegSaveErr %s"};
// JPEG pictures are saved at the codec's default quality (85) with their key, as the other
// formats keep it.
constexpr long kJpegQuality = 0;
constexpr long kJpegWithKey = 1;

int load(int kind, const char* file, CKrFrameBuffer& out)
{
    switch (kind) {
    case kTarga: {
        CString path(file);
        return CKrTargaImage().LoadImage(&path, &out);
    }
    case kPict: return CKrPictImage().LoadImage(file, &out);
    default: return CKrJpegImage().LoadImage(file, &out);
    }
}

int save(int kind, const char* file, CKrFrameBuffer& picture)
{
    switch (kind) {
    case kTarga: {
        CString path(file);
        return CKrTargaImage().SaveImage(&path, &picture, 1);
    }
    case kPict: return CKrPictImage().SaveImage(file, &picture, 0);
    default: return CKrJpegImage().SaveImage(file, &picture, kJpegQuality, kJpegWithKey);
    }
}

// The kind the extension names (-1 for none of the three).
int kind_of_extension(const std::string& ext)
{
    for (int k = 0; k < kKinds; ++k)
        if (ext == kExtension[k]) return k;
    return -1;
}

// The offset of a picture of `size` inside a box of `box` for a placement digit.
long place(int digit, long box, long size)
{
    switch (digit) {
    case 1: return box - size;
    case 2: return box / 2 - size / 2;
    default: return 0;
    }
}

} // namespace

// ---- loading ----

int CKrOnlineCtl::LoadAndPut(int kind, const char* file, int x, int y, const DWORD* colour)
{
    if (!Ready()) return ZK_FAIL(-1);
    if (!file) return Fail(kLoadErr[kind], "");
    CKrFrameBuffer picture;
    if (load(kind, file, picture) != 0 || picture.IsBuffer()) return Fail(kLoadErr[kind], file);
    if (colour) picture.ImageChColor(*colour);
    return ImagePut(&picture, x, y);
}

int CKrOnlineCtl::ImageFileLoad(const char* file, int x, int y)
{
    return LoadByName(file, x, y, nullptr);
}

int CKrOnlineCtl::ImageFileLoadChCol(const char* file, int x, int y, DWORD colour)
{
    return LoadByName(file, x, y, &colour);
}

int CKrOnlineCtl::LoadByName(const char* file, int x, int y, const DWORD* colour)
{
    if (!Ready()) return ZK_FAIL(-1);
    const std::string name = file ? file : "";
    const std::string ext = lower_extension(name);
    if (!ext.empty()) {
        const int kind = kind_of_extension(ext);
        if (kind >= 0) return LoadAndPut(kind, file, x, y, colour);
    } else if (!name.empty()) {
        for (int k = 0; k < kKinds; ++k) {
            const std::string candidate = name + kExtension[k];
            if (file_exists(candidate)) return LoadAndPut(k, candidate.c_str(), x, y, colour);
        }
    }
    return Fail("ImgLoadErr %s", name.c_str());
}

int CKrOnlineCtl::TgaImageLoad(const char* file, int x, int y)
{
    return LoadAndPut(kTarga, file, x, y, nullptr);
}

int CKrOnlineCtl::PictImageLoad(const char* file, int x, int y)
{
    return LoadAndPut(kPict, file, x, y, nullptr);
}

int CKrOnlineCtl::JpegImageLoad(const char* file, int x, int y)
{
    return LoadAndPut(kJpeg, file, x, y, nullptr);
}

int CKrOnlineCtl::TgaImageLoadChCol(const char* file, int x, int y, DWORD colour)
{
    return LoadAndPut(kTarga, file, x, y, &colour);
}

int CKrOnlineCtl::PictImageLoadChCol(const char* file, int x, int y, DWORD colour)
{
    return LoadAndPut(kPict, file, x, y, &colour);
}

int CKrOnlineCtl::JpegImageLoadChCol(const char* file, int x, int y, DWORD colour)
{
    return LoadAndPut(kJpeg, file, x, y, &colour);
}

int CKrOnlineCtl::ImageFileLoadForm(const char* file, int x, int y, int w, int h, int copyMode, int position,
                                    int resize, int chcol, DWORD colour)
{
    if (!Ready()) return ZK_FAIL(-1);
    CString found;
    if (GetImageFileName(file, found) != 1) return Fail("ImageLoadErr %s", file ? file : "");
    CKrFrameBuffer picture;
    if (load(kTarga, found, picture) != 0 || picture.IsBuffer()) return Fail(kLoadErr[kTarga], found.GetString());
    if (resize) {
        CKrFrameBuffer resized;
        // A picture that cannot be brought to the box's size is placed as it is.
        if (picture.SizeChange(&resized, w, h) != 0 || resized.IsBuffer())
            Fail("ImgSizeChangeErr(%d,%d)", w, h);
        else
            picture = std::move(resized);
    }
    if (chcol) picture.ImageChColor(colour);
    const long pw = static_cast<long>(picture.GetWidth()), ph = static_cast<long>(picture.GetHeight());
    const long dx = x + place(position % 10, w, pw);
    const long dy = y + place(position / 10 % 10, h, ph);
    if (m_pGfb->SetCopyMode(copyMode) < 0) return ZK_FAIL(-1);
    return ImagePut(&picture, static_cast<int>(dx), static_cast<int>(dy));
}

int CKrOnlineCtl::GetImageFileName(const char* name, CString& found)
{
    static constexpr const char* kProbe[] = {".tga", ".pct", ".bmp", ".jpg"};
    found = "";
    const std::string n = name ? name : "";
    const std::string ext = lower_extension(n);
    for (int k = 0; k < 4; ++k) {
        if (!ext.empty() && ext == kProbe[k]) {
            found = n.c_str();
            return k + 1;
        }
    }
    if (!ext.empty() || n.empty()) return ZK_FAIL(-1);
    for (int k = 0; k < 4; ++k) {
        const std::string candidate = n + kProbe[k];
        if (file_exists(candidate)) {
            found = candidate.c_str();
            return k + 1;
        }
    }
    return ZK_FAIL(-1);
}

int CKrOnlineCtl::ImagePut(CKrFrameBuffer* fb, int x, int y)
{
    if (!Ready() || !fb || fb->IsBuffer()) return ZK_FAIL(-1);
    CBox box;
    return Changed(m_pGfb->PutImg(fb, 0, 0, static_cast<long>(fb->GetWidth()), static_cast<long>(fb->GetHeight()), x,
                                  y, &box),
                   m_pGfb->GetBankWrite(), box);
}

int CKrOnlineCtl::ImageGet(CKrFrameBuffer* fb, int x, int y, int w, int h)
{
    if (!Ready() || !fb) return ZK_FAIL(-1);
    CBox box;
    return m_pGfb->GetImg(fb, x, y, w, h, &box) < 0 ? ZK_FAIL(-1) : 0;
}

// ---- saving ----

int CKrOnlineCtl::SaveRect(int kind, const char* file, int x, int y, int w, int h)
{
    if (!Ready()) return ZK_FAIL(-1);
    CKrFrameBuffer picture;
    if (!file || ImageGet(&picture, x, y, w, h) != 0 || save(kind, file, picture) != 0)
        return Fail(kSaveErr[kind], file ? file : "");
    return 0;
}

int CKrOnlineCtl::ImageFileSave(const char* file, int x, int y, int w, int h)
{
    if (!Ready()) return ZK_FAIL(-1);
    const int kind = kind_of_extension(lower_extension(file ? file : ""));
    if (kind < 0) return Fail("ImgSaveErr %s", file ? file : "");
    return SaveRect(kind, file, x, y, w, h);
}

int CKrOnlineCtl::TgaImageSave(const char* file, int x, int y, int w, int h)
{
    return SaveRect(kTarga, file, x, y, w, h);
}

int CKrOnlineCtl::PictImageSave(const char* file, int x, int y, int w, int h)
{
    return SaveRect(kPict, file, x, y, w, h);
}

int CKrOnlineCtl::JpegImageSave(const char* file, int x, int y, int w, int h)
{
    return SaveRect(kJpeg, file, x, y, w, h);
}
