// Targa loading: any bytes give 0 or -1; a picture that loads saves and loads back the same.
#include <cstring>

#include "imagefile/targa_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CMemFile file(data, size);
    CKrFrameBuffer fb;
    if (CKrTargaImage().LoadImage(&file, &fb) != 0) return 0;
    CMemFile out;
    CKrFrameBuffer back;
    if (CKrTargaImage().SaveImage(&out, &fb, 1) != 0 || CKrTargaImage().LoadImage(&out, &back) != 0 ||
        std::memcmp(fb.GetBufferByte(), back.GetBufferByte(), fb.GetSize()) != 0)
        __builtin_trap();
    return 0;
}
