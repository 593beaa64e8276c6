// The document's conversion of real files: every format written and read back, key modes,
// the aspect treatments and the cut end to end, and what happens when a file cannot be read
// or written (the message, and no source or half-written file touched).
#include <gtest/gtest.h>

#include <filesystem>

#include "converter_test_support.h"
#include "core/convert_pipeline.h"
#include "core/folder_listing.h"
#include "core/image_io.h"
#include "core/velmora_doc.h"
#include "app/zorvik_app.h"
#include "framebuffer/kernels/composite.h"
#include "imagefile/img_file.h"

namespace {

class DocConvert : public ::testing::Test {
protected:
    void SetUp() override
    {
        AfxGetZorvikApp()->UnloadResizeModule();
        src_ = vt::fresh_dir(std::string("doc-src-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        dst_ = vt::fresh_dir(std::string("doc-dst-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }

    // Saves fb as name in the source folder through the library.
    std::string put(const std::string& name, CKrFrameBuffer& fb)
    {
        const std::string path = src_ + "/" + name;
        CImgFile f;
        const int r = vm::has_extension(name, "jpg") ? f.SaveImage(&fb, CString(path), 95, 0)
                                                     : f.SaveImage(&fb, CString(path));
        EXPECT_EQ(r, 0) << path;
        return path;
    }

    static CKrFrameBuffer load(const std::string& path)
    {
        CImgFile f;
        EXPECT_EQ(f.LoadImage(CString(path)), 0) << path;
        CKrFrameBuffer copy;
        if (f.GetImg() && f.GetImg()->IsBuffer() == 0) copy = *f.GetImg();
        return copy;
    }

    int convert(const std::string& name, int aspect, int format)
    {
        return doc_.ConvertFile(CString(src_ + "/" + name), CString(vm::destination_path(dst_, name, format)), aspect,
                                format);
    }

    CVelmoraDoc doc_;
    std::string src_;
    std::string dst_;
};

// 16 × 16 blocks of one colour and key each: transparent (with and without colour), half
// and fully opaque. Flat blocks the size of a JPEG macroblock come back from JPEG nearly
// exactly, so its composite can be checked too.
CKrFrameBuffer keyed_picture()
{
    const DWORD blocks[6] = {0x00000000u, 0x00FF8040u, 0x80FF8040u, 0xFF2060A0u, 0x40FFFFFFu, 0xC0104080u};
    CKrFrameBuffer fb(48, 32, 1);
    for (long y = 0; y < 32; ++y) {
        for (long x = 0; x < 48; ++x) zt::set_px(fb, x, y, blocks[(y / 16) * 3 + x / 16]);
    }
    return fb;
}

TEST_F(DocConvert, EveryFormatIsWrittenUnderTheRowNameAndReadsBack)
{
    std::mt19937 rng(zt::test_seed());
    SCOPED_TRACE("seed " + std::to_string(zt::test_seed()));
    CKrFrameBuffer pic = zt::random_buffer(40, 30, rng);
    for (DWORD* p = pic.GetBufferDWord(); p != pic.GetBufferDWord() + 40 * 30; ++p) *p |= 0xFF000000u;
    put("Pic.BMP", pic);
    const std::string before = vt::read_file(src_ + "/Pic.BMP");
    vt::MessageRecorder boxes;
    const struct {
        int format;
        const char* out;
    } cases[] = {{vm::kFormatTgaRle, "Pic.tga"}, {vm::kFormatTgaRaw, "Pic.tga"}, {vm::kFormatBmp, "Pic.bmp"},
                 {vm::kFormatPict, "Pic.pct"},   {vm::kFormatJpeg, "Pic.jpg"}};
    for (const auto& c : cases) {
        ASSERT_EQ(convert("Pic.BMP", vm::kAspectOff, c.format), 1);
        EXPECT_TRUE(doc_.LastWriteSucceeded());
        const CKrFrameBuffer back = load(dst_ + "/" + c.out);
        ASSERT_EQ(back.GetWidth(), 40u) << c.out;
        ASSERT_EQ(back.GetHeight(), 30u) << c.out;
        if (c.format != vm::kFormatJpeg) {
            EXPECT_EQ(zt::diff_pixels(back, pic), 0) << c.out;
        }
    }
    EXPECT_TRUE(boxes.texts.empty());
    EXPECT_EQ(vt::read_file(src_ + "/Pic.BMP"), before);
    // Uncompressed and run-length Targa differ on disk: the last Targa written was raw.
    EXPECT_GE(std::filesystem::file_size(dst_ + "/Pic.tga"), 40u * 30u * 4u);
    // Nothing but the outputs in the destination: no temporary files left.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dst_), std::filesystem::directory_iterator()), 4);
    // A format number no radio stands for writes nothing and says nothing.
    EXPECT_EQ(convert("Pic.BMP", vm::kAspectOff, 9), 1);
    EXPECT_TRUE(boxes.texts.empty());
}

TEST_F(DocConvert, KeyModesForTargaAndPictAgainstOpaqueBlackForJpegAndBmp)
{
    CKrFrameBuffer pic = keyed_picture();
    put("key.tga", pic);
    for (int key : {0, 1}) {
        doc_.CurrentSettings = {48, 32, 0, 0, 0, 0, 0, key};
        for (int format : {vm::kFormatTgaRle, vm::kFormatPict, vm::kFormatBmp, vm::kFormatJpeg}) {
            ASSERT_EQ(convert("key.tga", vm::kAspectCustom, format), 1);
            const CKrFrameBuffer back = load(vm::destination_path(dst_, "key.tga", format));
            ASSERT_EQ(back.GetWidth(), 48u);
            const DWORD bg = vm::background_colour(format, key);
            long worst = 0;
            for (long y = 0; y < 32; ++y) {
                for (long x = 0; x < 48; ++x) {
                    const DWORD want = zk::key_composite(zt::px(pic, x, y), bg);
                    const DWORD got = zt::px(back, x, y);
                    if (format == vm::kFormatJpeg) {
                        EXPECT_EQ(got >> 24, 0xFFu);
                        for (int b = 0; b < 3; ++b) {
                            const long d = std::labs(static_cast<long>((got >> (8 * b)) & 0xFF) -
                                                     static_cast<long>((want >> (8 * b)) & 0xFF));
                            worst = std::max(worst, d);
                        }
                    } else if (format == vm::kFormatBmp) {
                        EXPECT_EQ(got, want | 0xFF000000u) << x << "," << y;
                    } else {
                        EXPECT_EQ(got, want) << "format " << format << " key " << key << " at " << x << "," << y;
                    }
                }
            }
            // JPEG is lossy (colour is smoothed across block borders), but flat blocks stay
            // close; a transparent source that was not put on black would be 255 off.
            if (format == vm::kFormatJpeg) {
                EXPECT_LE(worst, 24) << "key " << key;
            }
        }
    }
}

TEST_F(DocConvert, AspectChoicesAndTheCutEndToEnd)
{
    CKrFrameBuffer narrow(640, 8, 1);
    narrow.ClearCol(0xFF336699u);
    put("n.tga", narrow);
    CKrFrameBuffer wide(720, 8, 1);
    wide.ClearCol(0xFF336699u);
    put("w.tga", wide);
    ASSERT_EQ(convert("n.tga", vm::kAspectWiden, vm::kFormatTgaRle), 1);
    ASSERT_EQ(convert("w.tga", vm::kAspectNarrow, vm::kFormatBmp), 1);
    EXPECT_EQ(CVelmoraDoc::GetImageSize(CString(dst_ + "/n.tga")), CSize(720, 8));
    EXPECT_EQ(CVelmoraDoc::GetImageSize(CString(dst_ + "/w.bmp")), CSize(640, 8));

    CKrFrameBuffer hd(1920, 1080, 1);
    hd.ClearCol(0xFF00FF00u);
    CKrFrameBuffer centre(1440, 1080, 1);
    centre.ClearCol(0xFFFF0000u);
    hd.FbCopy(&centre, 0, 0, 1440, 1080, 240, 0, 0, nullptr);
    put("hd.tga", hd);
    doc_.CurrentSettings = {720, 486, 240, 0, 1440, 1080, 0, 0};
    ASSERT_EQ(convert("hd.tga", vm::kAspectCustom, vm::kFormatTgaRaw), 1);
    const CKrFrameBuffer out = load(dst_ + "/hd.tga");
    ASSERT_EQ(out.GetWidth(), 720u);
    ASSERT_EQ(out.GetHeight(), 486u);
    for (long y = 0; y < 486; y += 97) {
        for (long x = 0; x < 720; x += 13) ASSERT_EQ(zt::px(out, x, y), 0xFFFF0000u) << x << "," << y;
    }
}

TEST_F(DocConvert, UnreadableSourceIsReportedAndSkipped)
{
    vt::write_file(src_ + "/bad.jpg", "not a picture at all");
    vt::MessageRecorder boxes;
    EXPECT_EQ(convert("bad.jpg", vm::kAspectOff, vm::kFormatTgaRle), 0);
    EXPECT_EQ(convert("missing.tga", vm::kAspectOff, vm::kFormatTgaRle), 0);
    ASSERT_EQ(boxes.texts.size(), 2u);
    EXPECT_EQ(boxes.texts[0], "画像の読込に失敗しました。\n" + src_ + "/bad.jpg");
    EXPECT_EQ(boxes.texts[1], "画像の読込に失敗しました。\n" + src_ + "/missing.tga");
    EXPECT_FALSE(doc_.LastWriteSucceeded());
    EXPECT_TRUE(std::filesystem::is_empty(dst_));
    EXPECT_EQ(CVelmoraDoc::GetImageSize(CString(src_ + "/bad.jpg")), CSize(0, 0));
}

TEST_F(DocConvert, FailedWriteIsReportedAndLeavesExistingFilesAlone)
{
    CKrFrameBuffer pic(16, 16, 1);
    pic.ClearCol(0xFF808080u);
    put("a.tga", pic);
    const std::string before = vt::read_file(src_ + "/a.tga");
    vt::MessageRecorder boxes;

    // Into a folder that does not exist.
    const std::string nowhere = dst_ + "/absent/a.tga";
    EXPECT_EQ(doc_.ConvertFile(CString(src_ + "/a.tga"), CString(nowhere), vm::kAspectOff, vm::kFormatTgaRle), 1);
    EXPECT_FALSE(doc_.LastWriteSucceeded());
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], "画像の保存に失敗しました。\n" + nowhere);

    // Onto the source itself with an output size that is no picture: the source stays.
    doc_.CurrentSettings = {0, 486, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(doc_.ConvertFile(CString(src_ + "/a.tga"), CString(src_ + "/a.tga"), vm::kAspectCustom,
                               vm::kFormatTgaRle),
              1);
    EXPECT_FALSE(doc_.LastWriteSucceeded());
    EXPECT_EQ(boxes.texts.size(), 2u);
    EXPECT_EQ(vt::read_file(src_ + "/a.tga"), before);

    // Onto a name taken by a folder: the rename fails and the temporary file goes.
    std::filesystem::create_directory(dst_ + "/a.bmp");
    EXPECT_EQ(convert("a.tga", vm::kAspectOff, vm::kFormatBmp), 1);
    EXPECT_FALSE(doc_.LastWriteSucceeded());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dst_), std::filesystem::directory_iterator()), 1);

    // And converting in place for real replaces the file.
    doc_.CurrentSettings = {8, 8, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(doc_.ConvertFile(CString(src_ + "/a.tga"), CString(src_ + "/a.tga"), vm::kAspectCustom,
                               vm::kFormatTgaRle),
              1);
    EXPECT_TRUE(doc_.LastWriteSucceeded());
    EXPECT_EQ(CVelmoraDoc::GetImageSize(CString(src_ + "/a.tga")), CSize(8, 8));
}

} // namespace
