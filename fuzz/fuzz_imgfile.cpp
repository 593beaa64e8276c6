// The image-file settings record: any bytes give 1 or 0, and a record that reads writes back
// to bytes that read to the same settings.
#include "imagefile/img_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CMemFile file(data, size);
    CImgFile img;
    if (!img.Read(&file)) return 0;
    CMemFile out;
    CImgFile back;
    if (!img.Write(&out) || (out.SeekToBegin(), !back.Read(&out)) || !(back.GetFileName() == img.GetFileName()) ||
        back.GetAddress() != img.GetAddress() || back.GetCopyMode() != img.GetCopyMode())
        __builtin_trap();
    return 0;
}
