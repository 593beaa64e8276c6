// BMP reading through CDib: any bytes give 1 or 0; a bitmap that reads writes and reads back.
#include <cstring>

#include "imagefile/dib.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CMemFile file(data, size);
    CDib dib;
    if (!dib.Read(&file)) return 0;
    CMemFile out;
    CDib back;
    if (!dib.Write(&out) || (out.SeekToBegin(), !back.Read(&out)) || back.GetSizeImage() != dib.GetSizeImage() ||
        std::memcmp(back.GetImageBuffer(), dib.GetImageBuffer(), dib.GetSizeImage()) != 0)
        __builtin_trap();
    return 0;
}
