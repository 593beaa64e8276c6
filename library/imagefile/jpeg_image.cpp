// CKrJpegImage: the file, the codec record and the pixel swaps between the codec's packed
// red-green-blue(-key) rows and frame-buffer words.
//
// Every buffer is owned by a local holder, so each one is released on every path, and the
// codec record is freed on every path after JpegCodecInit succeeded.
#include "imagefile/jpeg_image.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/checked.h"
#include "core/errors.h"
#include "imagefile/codec_io.h"
#include "imagefile/file_blocks.h"
#include "imagefile/kernels/pixel_swizzle.h"

namespace {

struct FreeDeleter {
    void operator()(BYTE* p) const { std::free(p); }
};
using Block = std::unique_ptr<BYTE, FreeDeleter>;

// Frees the codec's part of the record when the holder goes, unless already freed.
struct CodecSession {
    JPEG_CORE_PROPERTIES* props;
    bool live = false;
    ~CodecSession()
    {
        if (live) JpegCodecFree(props);
    }
    int free_now()
    {
        live = false;
        return JpegCodecFree(props);
    }
};

constexpr long kDefaultQuality = 85;

} // namespace

DWORD CKrJpegImage::CodecQuality(long quality)
{
    if (quality == 0) return kDefaultQuality;
    // Taken as unsigned: negative values become huge and so the best quality.
    return static_cast<DWORD>(std::min<unsigned long>(static_cast<unsigned long>(quality), 100));
}

int CKrJpegImage::LoadImage(CString* path, CKrFrameBuffer* target)
{
    return path ? LoadImage(path->GetString(), target) : ZK_FAIL(-1);
}

int CKrJpegImage::LoadImage(const char* path, CKrFrameBuffer* target)
{
    return zk::with_codec_file(path, zk::kCodecReadFlags, [&](CFile& file) { return LoadImage_Proc(&file, target); });
}

int CKrJpegImage::LoadImage(CFile* file, CKrFrameBuffer* target)
{
    if (!file) return ZK_FAIL(-1);
    return zk::guard_codec([&] { return LoadImage_Proc(file, target); });
}

int CKrJpegImage::SaveImage(CString* path, CKrFrameBuffer* source, long quality, long with_key)
{
    return path ? SaveImage(path->GetString(), source, quality, with_key) : ZK_FAIL(-1);
}

int CKrJpegImage::SaveImage(const char* path, CKrFrameBuffer* source, long quality, long with_key)
{
    return zk::with_codec_file(path, zk::kCodecWriteFlags,
                               [&](CFile& file) { return SaveImage_Proc(&file, source, quality, with_key); });
}

int CKrJpegImage::SaveImage(CFile* file, CKrFrameBuffer* source, long quality, long with_key)
{
    if (!file) return ZK_FAIL(-1);
    return zk::guard_codec([&] { return SaveImage_Proc(file, source, quality, with_key); });
}

int CKrJpegImage::LoadImage_Proc(CFile* file, CKrFrameBuffer* target)
{
    if (!target || target->IsBuffer() == 0) return ZK_FAIL(-1);
    file->SeekToBegin();
    std::vector<BYTE> jpg;
    if (!zk::read_rest_in_blocks(*file, jpg)) return ZK_FAIL(-1);

    JPEG_CORE_PROPERTIES props{};
    CodecSession session{&props};
    if (JpegCodecInit(&props) != JPEG_OK) return ZK_FAIL(-1);
    session.live = true;
    props.JPGFile = nullptr;
    props.JPGBytes = jpg.data();
    props.JPGSizeBytes = static_cast<DWORD>(jpg.size());
    if (JpegCodecRead(&props, JPEG_JBUFF_READPARAMS) != JPEG_OK) return ZK_FAIL(-1);

    // Grey, colour and colour-with-key files become pictures, decoded by the codec straight
    // into the frame buffer's blue, green, red, key order (key 255 without a key channel).
    // Four-channel files of other programs (inverted CMYK or YCCK under an Adobe marker)
    // keep the colour space the header read found and decode to opaque colours.
    switch (props.JPGChannels) {
    case 1: props.JPGColor = JPEG_COLOR_G; break;
    case 3: props.JPGColor = JPEG_COLOR_YCBCR; break;
    case 4:
        if (props.JPGColor != JPEG_COLOR_CMYK && props.JPGColor != JPEG_COLOR_YCCK) props.JPGColor = JPEG_COLOR_YCBCRA;
        break;
    default: return ZK_FAIL(-1);
    }
    props.DIBChannels = 4;
    props.DIBColor = JPEG_COLOR_BGRA;
    props.DIBPadBytes = 0;
    props.DIBWidth = props.JPGWidth;
    props.DIBHeight = static_cast<std::int32_t>(props.JPGHeight);

    // A failed decode takes the buffer away again, so the target stays empty.
    if (target->CreateFrameBuffer(props.JPGWidth, props.JPGHeight, 0) != 0) return ZK_FAIL(-1);
    props.DIBBytes = target->GetBufferByte();
    if (JpegCodecRead(&props, JPEG_JBUFF_READWHOLEIMAGE) != JPEG_OK) {
        target->DeleteFrameBuffer();
        return ZK_FAIL(-1);
    }
    session.free_now();
    return ImgConv_JpegToFb(props, target);
}

int CKrJpegImage::ImgConv_JpegToFb(const JPEG_CORE_PROPERTIES& props, CKrFrameBuffer* target)
{
    // Pixels the codec left in red-green-blue order are brought into the frame buffer's.
    int result = 0;
    if (props.DIBColor != JPEG_COLOR_BGRA) {
        const int channels = props.DIBColor == JPEG_COLOR_RGBA ? 4 : 3;
        const std::size_t stride = static_cast<std::size_t>(props.DIBWidth) * channels + props.DIBPadBytes;
        result = DIB_to_FB(props.DIBBytes, stride, channels, target);
    }
    if (result == 0) m_nKeyFlag = props.JPGColor == JPEG_COLOR_YCBCRA ? 1 : 0;
    return result;
}

int CKrJpegImage::DIB_to_FB(const BYTE* pixels, std::size_t stride, int channels, CKrFrameBuffer* target)
{
    if (!pixels || !target || target->IsBuffer() == 1) return ZK_FAIL(-1);
    const std::size_t w = target->GetWidth(), h = target->GetHeight();
    if (stride > w * 4) return ZK_FAIL(-1);
    // From the last row up: the pixels may lie in the target's own block, each packed row
    // at or below the frame-buffer row it becomes, so no row is overwritten before it is read.
    for (std::size_t y = h; y-- > 0;) {
        const BYTE* s = pixels + y * stride;
        DWORD* dst = target->GetBufferDWord() + y * w;
        if (channels == 4)
            zk::swap_red_blue(s, reinterpret_cast<BYTE*>(dst), w);
        else
            zk::rgb_to_bgra(s, dst, w);
    }
    return 0;
}

void CKrJpegImage::FB_to_DIB(CKrFrameBuffer* source, BYTE* pixels, int channels)
{
    const std::size_t n = static_cast<std::size_t>(source->GetWidth()) * source->GetHeight();
    if (channels == 4)
        zk::swap_red_blue(source->GetBufferByte(), pixels, n);
    else
        zk::bgra_to_rgb(source->GetBufferDWord(), pixels, n);
}

int CKrJpegImage::ImgConv_FbToJpeg(CKrFrameBuffer* source, BYTE* out, std::size_t capacity, long quality,
                                   long with_key, JPEG_CORE_PROPERTIES* result)
{
    const int channels = with_key ? 4 : 3;
    std::size_t bytes = 0;
    if (!zk::image_bytes(static_cast<std::int64_t>(source->GetWidth()), static_cast<std::int64_t>(source->GetHeight()),
                         static_cast<std::size_t>(channels), bytes))
        return ZK_FAIL(-1);

    // The codec reads the frame buffer's blue, green, red, key words where they are; the key
    // is dropped for a three-channel file.
    JPEG_CORE_PROPERTIES props{};
    int status = JpegCodecInit(&props);
    if (status == JPEG_OK) {
        props.DIBBytes = source->GetBufferByte();
        props.DIBWidth = source->GetWidth();
        props.DIBHeight = static_cast<std::int32_t>(source->GetHeight());
        props.DIBPadBytes = 0;
        props.DIBChannels = 4;
        props.DIBColor = JPEG_COLOR_BGRA;
        props.JPGFile = nullptr;
        props.JPGBytes = out;
        // The codec may fill at most width × height × channels bytes.
        props.JPGSizeBytes = static_cast<DWORD>(std::min(bytes, capacity));
        props.JPGWidth = source->GetWidth();
        props.JPGHeight = source->GetHeight();
        props.JPGChannels = static_cast<DWORD>(channels);
        props.JPGColor = channels == 4 ? JPEG_COLOR_YCBCRA : JPEG_COLOR_YCBCR;
        props.JPGSubsampling = channels == 4 ? JPEG_SUB_4224 : JPEG_SUB_422;
        props.jquality = CodecQuality(quality);
        status = JpegCodecWrite(&props, JPEG_JBUFF_WRITEWHOLEIMAGE);
        if (status != JPEG_OK) props.JPGSizeBytes = 0;
    }
    JpegCodecFree(&props);
    if (result) *result = props;
    return status == JPEG_OK ? 0 : ZK_FAIL(-1);
}

int CKrJpegImage::SaveImage_Proc(CFile* file, CKrFrameBuffer* source, long quality, long with_key)
{
    if (!source || source->IsBuffer() == 1 || source->GetWidth() == 0 || source->GetHeight() == 0 ||
        source->GetSize() == 0)
        return ZK_FAIL(-1);
    const std::size_t capacity = source->GetSize() + source->GetSize() / 2;
    Block out(static_cast<BYTE*>(std::malloc(capacity)));
    if (!out) return ZK_FAIL(-1);
    JPEG_CORE_PROPERTIES props{};
    if (ImgConv_FbToJpeg(source, out.get(), capacity, quality, with_key, &props) != 0) return ZK_FAIL(-1);
    file->SeekToBegin();
    zk::write_in_blocks(*file, {out.get(), props.JPGSizeBytes});
    return 0;
}
