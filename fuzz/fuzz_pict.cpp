// PICT loading: any bytes give 0 or -1; a picture that loads saves and loads back the same.
#include <cstring>

#include "imagefile/pict_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CMemFile file(data, size);
    CKrFrameBuffer fb;
    if (CKrPictImage().LoadImage(&file, &fb) != 0) return 0;
    if (fb.GetHeight() > 0x7FFF) return 0;  // loadable (signed sides), too high to write
    CMemFile out;
    CKrFrameBuffer back;
    if (CKrPictImage().SaveImage(&out, &fb, 0) != 0 || CKrPictImage().LoadImage(&out, &back) != 0 ||
        std::memcmp(fb.GetBufferByte(), back.GetBufferByte(), fb.GetSize()) != 0)
        __builtin_trap();
    return 0;
}
