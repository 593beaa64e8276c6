// Independent checks: pictures made by another tool (ImageMagick, see data/imagefile/
// README.txt) decode to the pixels that tool reports, and files our encoders write decode to
// the same pixels with other decoders (ImageMagick's convert, libjpeg-turbo's djpeg). Tests
// that need a tool skip when it is not installed.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "imagefile/codec_test_util.h"
#include "imagefile/dib.h"
#include "imagefile/img_file.h"
#include "imagefile/jpeg_image.h"
#include "imagefile/pict_image.h"
#include "imagefile/targa_image.h"

namespace {

using zt::px;

std::string fixture(const std::string& name) { return zt::data_path("imagefile/" + name); }

struct Fixture {
    const char* file;
    int tolerance;  // largest byte difference allowed (JPEG decoders may round differently)
    long key_flag;
};

class ImageMagickGolden : public ::testing::TestWithParam<Fixture> {};

TEST_P(ImageMagickGolden, DecodesToWhatTheToolReports)
{
    const Fixture f = GetParam();
    const std::vector<BYTE> rgba = zt::read_bytes(fixture(std::string(f.file) + ".rgba"));
    ASSERT_EQ(rgba.size(), 23u * 9 * 4) << "missing fixture " << f.file;
    CImgFile img;
    ASSERT_EQ(img.LoadImage(CString(fixture(f.file).c_str())), 0);
    EXPECT_EQ(img.GetSize(), CSize(23, 9));
    EXPECT_EQ(img.GetKeyFlag(), f.key_flag);
    long total = 0;
    const int worst = zt::max_byte_diff(*img.GetImg(), zt::rgba_to_words(rgba), &total);
    EXPECT_LE(worst, f.tolerance) << "total difference " << total;
    if (f.tolerance) std::printf("%s: largest difference %d, total %ld\n", f.file, worst, total);
}

INSTANTIATE_TEST_SUITE_P(Files, ImageMagickGolden,
                         ::testing::Values(Fixture{"im_rle32.tga", 0, 1}, Fixture{"im_raw32.tga", 0, 1},
                                           Fixture{"im_rle24.tga", 0, 0}, Fixture{"im_raw24.tga", 0, 0},
                                           Fixture{"im_top_rle32.tga", 0, 1}, Fixture{"im_24.bmp", 0, 0},
                                           Fixture{"im_opaque.pct", 0, 0}, Fixture{"im_q90.jpg", 2, 0},
                                           Fixture{"im_gray.jpg", 2, 0}),
                         [](const auto& info) {
                             std::string s = info.param.file;
                             for (char& c : s)
                                 if (c == '.') c = '_';
                             return s;
                         });

TEST(ImageMagickGolden, EightBitBmpReadsAsDibWithItsPalette)
{
    const std::vector<BYTE> rgba = zt::read_bytes(fixture("im_8.bmp.rgba"));
    ASSERT_EQ(rgba.size(), 23u * 9 * 4);
    CDib dib;
    CFile file;
    ASSERT_TRUE(file.Open(fixture("im_8.bmp").c_str(), CFile::modeRead));
    ASSERT_EQ(dib.Read(&file), 1);
    ASSERT_EQ(dib.GetBitCount(), 8);
    const RGBQUAD* table = dib.GetColorTable();
    for (long y = 0; y < 9; ++y)
        for (long x = 0; x < 23; ++x) {
            const BYTE index = dib.GetImageBuffer()[(8 - y) * dib.GetLineByte() + x];
            ASSERT_LT(index, dib.GetColorTableEntries());
            const BYTE* want = &rgba[(y * 23 + x) * 4];
            ASSERT_EQ(table[index].rgbRed, want[0]) << x << "," << y;
            ASSERT_EQ(table[index].rgbGreen, want[1]);
            ASSERT_EQ(table[index].rgbBlue, want[2]);
        }
    CImgFile img;
    EXPECT_EQ(img.LoadImage(CString(fixture("im_8.bmp").c_str())), -1);
}

// Decodes a file with ImageMagick into RGBA bytes; empty when that fails.
std::vector<BYTE> convert_to_rgba(const std::string& path, const char* format_prefix = "")
{
    const std::string out = zt::temp_path("convert_out.rgba");
    if (zt::run_tool("convert '" + std::string(format_prefix) + path + "' -auto-orient -depth 8 rgba:'" + out + "'") != 0) return {};
    return zt::read_bytes(out);
}

TEST(CrossCheck, OurTargaFilesReadByImageMagick)
{
    if (!zt::tool_available("convert")) GTEST_SKIP() << "ImageMagick's convert is not installed";
    CKrFrameBuffer src = zt::varied_picture(70, 12, zt::test_seed());
    for (long compress : {0L, 1L}) {
        CString path(zt::temp_path("ours" + std::to_string(compress) + ".tga").c_str());
        ASSERT_EQ(CKrTargaImage().SaveImage(&path, &src, compress), 0);
        const std::vector<BYTE> rgba = convert_to_rgba(path.str());
        ASSERT_FALSE(rgba.empty());
        EXPECT_EQ(zt::max_byte_diff(src, zt::rgba_to_words(rgba)), 0) << "compress " << compress;
    }
}

TEST(CrossCheck, OurBmpAndPictFilesReadByImageMagick)
{
    if (!zt::tool_available("convert")) GTEST_SKIP() << "ImageMagick's convert is not installed";
    // Opaque: ImageMagick's PICT reader drops the key plane, and BMP carries none.
    CKrFrameBuffer src = zt::varied_picture(70, 12, zt::test_seed());
    std::vector<DWORD> opaque(src.GetBufferDWord(), src.GetBufferDWord() + 70 * 12);
    for (DWORD& v : opaque) v |= 0xFF000000u;
    for (const char* name : {"ours.bmp", "ours.pct"}) {
        CImgFile f;
        const std::string path = zt::temp_path(name);
        ASSERT_EQ(f.SaveImage(&src, CString(path.c_str())), 0);
        const std::vector<BYTE> rgba = convert_to_rgba(path, name[5] == 'p' ? "PICT:" : "");
        ASSERT_FALSE(rgba.empty()) << name;
        CKrFrameBuffer probe(70, 12, 1);
        const std::vector<DWORD> theirs = zt::rgba_to_words(rgba);
        std::copy(theirs.begin(), theirs.end(), probe.GetBufferDWord());
        EXPECT_EQ(zt::max_byte_diff(probe, opaque), 0) << name;
    }
}

// A binary PPM: width, height and RGB bytes; empty when it is not one.
std::vector<BYTE> read_ppm(const std::string& path, int& w, int& h)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return {};
    int maxval = 0;
    std::vector<BYTE> rgb;
    if (std::fscanf(f, "P6 %d %d %d", &w, &h, &maxval) == 3 && maxval == 255 && std::fgetc(f) != EOF) {
        rgb.resize(static_cast<size_t>(w) * h * 3);
        if (std::fread(rgb.data(), 1, rgb.size(), f) != rgb.size()) rgb.clear();
    }
    std::fclose(f);
    return rgb;
}

void expect_same_as_ppm(const CKrFrameBuffer& fb, const std::vector<BYTE>& rgb)
{
    ASSERT_EQ(rgb.size(), static_cast<size_t>(fb.GetWidth()) * fb.GetHeight() * 3);
    for (size_t i = 0; i < rgb.size() / 3; ++i) {
        const DWORD want = 0xFF000000u | rgb[3 * i] << 16 | rgb[3 * i + 1] << 8 | rgb[3 * i + 2];
        ASSERT_EQ(fb.GetBufferDWord()[i], want) << "pixel " << i;
    }
}

TEST(CrossCheck, JpegAgainstDjpegAndCjpeg)
{
    if (!zt::tool_available("djpeg") || !zt::tool_available("cjpeg"))
        GTEST_SKIP() << "libjpeg-turbo's djpeg/cjpeg are not installed";
    // Our file, decoded by djpeg and by us: the same pixels.
    CKrFrameBuffer src = zt::varied_picture(45, 31, zt::test_seed());
    const std::string ours = zt::temp_path("ours.jpg");
    ASSERT_EQ(CKrJpegImage().SaveImage(ours.c_str(), &src, 85, 0), 0);
    const std::string ppm = zt::temp_path("djpeg.ppm");
    ASSERT_EQ(zt::run_tool("djpeg -ppm -outfile '" + ppm + "' '" + ours + "'"), 0);
    int w = 0, h = 0;
    std::vector<BYTE> rgb = read_ppm(ppm, w, h);
    ASSERT_EQ(w, 45);
    ASSERT_EQ(h, 31);
    CKrFrameBuffer back;
    ASSERT_EQ(CKrJpegImage().LoadImage(ours.c_str(), &back), 0);
    expect_same_as_ppm(back, rgb);

    // A file cjpeg made (4:2:0, progressive), decoded by us and by djpeg.
    const std::string theirs = zt::temp_path("cjpeg.jpg");
    ASSERT_EQ(zt::run_tool("cjpeg -quality 70 -progressive -outfile '" + theirs + "' '" + ppm + "'"), 0);
    ASSERT_EQ(zt::run_tool("djpeg -ppm -outfile '" + ppm + "' '" + theirs + "'"), 0);
    rgb = read_ppm(ppm, w, h);
    CKrFrameBuffer theirs_fb;
    ASSERT_EQ(CKrJpegImage().LoadImage(theirs.c_str(), &theirs_fb), 0);
    expect_same_as_ppm(theirs_fb, rgb);
}

} // namespace
