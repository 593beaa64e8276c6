// JPEG loading: any bytes give 0 or -1. Pictures above 4 megapixels are skipped: they are
// valid, only slow to decode, and would turn the fuzzer into a decoding benchmark.
#include "imagefile/jpeg_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    JPEG_CORE_PROPERTIES props{};
    JpegCodecInit(&props);
    props.JPGBytes = const_cast<BYTE*>(data);
    props.JPGSizeBytes = static_cast<DWORD>(size);
    const bool small = JpegCodecRead(&props, JPEG_JBUFF_READPARAMS) == JPEG_OK &&
                       static_cast<std::uint64_t>(props.JPGWidth) * props.JPGHeight <= (1u << 22);
    JpegCodecFree(&props);
    if (!small) return 0;
    CMemFile file(data, size);
    CKrFrameBuffer fb;
    CKrJpegImage().LoadImage(&file, &fb);
    return 0;
}
