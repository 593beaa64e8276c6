// A small host of the installed library: frame buffers, a Targa file written and read back,
// time values, and the board inventory through the on-air layer's public headers.
#include <cstdio>

#include "effects/kr_tm.h"
#include "framebuffer/kr_frame_buffer.h"
#include "imagefile/targa_image.h"
#include "onair/chk_digi_suite.h"
#include "platform/framework/cstring.h"

int main(int argc, char** argv)
{
    CString path(argc > 1 ? argv[1] : "host.tga");
    CKrFrameBuffer fb;
    if (fb.CreateFrameBuffer(64, 32, 0) != 0) return 1;
    fb.ClearCol(0xFF204060);
    CKrTargaImage tga;
    if (tga.SaveImage(&path, &fb, 1) != 0) return 2;
    CKrFrameBuffer back;
    if (tga.LoadImage(&path, &back) != 0) return 3;
    if (back.GetWidth() != 64 || back.GetHeight() != 32 || back.GetBufferDWord()[100] != 0xFF204060) return 4;
    CKrTm t(1, 2, 3, 4);
    if (t.GetMilCount() != 3723004) return 5;
    CChkDigiSuite inventory;
    std::printf("host ok: %ldx%ld, %lu ms\n", back.GetWidth(), back.GetHeight(), t.GetMilCount());
    return 0;
}
