// The image-file classes as a host (the converter) uses them, through libzorvik.so only.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "imagefile/dib.h"
#include "imagefile/img_file.h"
#include "imagefile/jpeg_image.h"
#include "imagefile/pict_image.h"
#include "imagefile/targa_image.h"
#include "jpeg/jpeg_codec.h"

TEST(SharedLibrary, ImageFileClassesLinkAndWork)
{
    CKrFrameBuffer fb(24, 16, 1);
    fb.ClearCol(0xFF336699);
    for (const char* ext : {".tga", ".pct", ".bmp", ".jpg"}) {
        const std::string path = std::string(ZORVIK_TEST_TMP) + "/host" + ext;
        std::remove(path.c_str());
        CImgFile out;
        ASSERT_EQ(out.SaveImage(&fb, CString(path.c_str())), 0) << ext;
        CImgFile in(CString(path.c_str()), 0, 0, 0);
        ASSERT_EQ(in.LoadImage(), 0) << ext;
        EXPECT_EQ(in.GetSize(), CSize(24, 16));
    }
    CMemFile mem;
    CKrFrameBuffer back;
    EXPECT_EQ(CKrTargaImage().SaveImage(&mem, &fb, 0), 0);
    EXPECT_EQ(CKrTargaImage().LoadImage(&mem, &back), 0);
    CMemFile pict;
    EXPECT_EQ(CKrPictImage().SaveImage(&pict, &fb, 0), 0);
    CMemFile jpg;
    EXPECT_EQ(CKrJpegImage().SaveImage(&jpg, &fb, 0, 1), 0);
    EXPECT_STREQ(JpegCodecErrorStr(-28), "Output buffer too small");
    CDib dib(4, 4, 24, 0);
    EXPECT_EQ(dib.GetLineByte(), 12);
    std::unique_ptr<CObject> created(CRuntimeClass::CreateObject("CImgFile"));
    EXPECT_NE(created, nullptr);
    std::unique_ptr<CObject> dib_created(CRuntimeClass::CreateObject("CDib"));
    EXPECT_NE(dib_created, nullptr);
}
