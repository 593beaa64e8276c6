// CKrJpegImage: colour and key round trips, the quality mapping, padded rows, grey files,
// and the files and buffers it must refuse.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "imagefile/codec_test_util.h"
#include "imagefile/jpeg_image.h"

namespace {

using zt::px;

// A photograph-like picture: smooth colours, keys from a smooth ramp when asked.
CKrFrameBuffer smooth_picture(long w, long h, bool ramp_keys)
{
    CKrFrameBuffer fb(w, h, 1);
    for (long y = 0; y < h; ++y)
        for (long x = 0; x < w; ++x) {
            const DWORD r = static_cast<DWORD>(40 + x * 150 / w), g = static_cast<DWORD>(60 + y * 150 / h);
            const DWORD b = static_cast<DWORD>(200 - (x + y) * 100 / (w + h));
            const DWORD key = ramp_keys ? static_cast<DWORD>(x * 255 / (w - 1)) : 0xFF;
            zt::set_px(fb, x, y, key << 24 | r << 16 | g << 8 | b);
        }
    return fb;
}

std::vector<BYTE> save_jpeg(CKrFrameBuffer& fb, long quality, long with_key, int expect = 0)
{
    CMemFile mem;
    EXPECT_EQ(CKrJpegImage().SaveImage(&mem, &fb, quality, with_key), expect);
    return mem.data();
}

int load_jpeg(const std::vector<BYTE>& bytes, CKrFrameBuffer& fb, CKrJpegImage* codec = nullptr)
{
    CKrJpegImage local;
    CMemFile mem(bytes.data(), bytes.size());
    return (codec ? *codec : local).LoadImage(&mem, &fb);
}

std::vector<DWORD> words(const CKrFrameBuffer& fb)
{
    return {fb.GetBufferDWord(), fb.GetBufferDWord() + fb.GetWidth() * fb.GetHeight()};
}

TEST(JpegImage, ColourAndKeyRoundTrips)
{
    for (long with_key : {0L, 1L}) {
        CKrFrameBuffer src = smooth_picture(96, 64, true);
        const std::vector<BYTE> file = save_jpeg(src, 95, with_key);
        CKrJpegImage codec;
        CKrFrameBuffer back;
        ASSERT_EQ(load_jpeg(file, back, &codec), 0);
        EXPECT_EQ(codec.GetKeyFlag(), with_key);
        long total = 0;
        EXPECT_LE(zt::max_byte_diff(back, words(src), &total, false), 8) << "colours, total " << total;
        if (with_key) {
            EXPECT_LE(zt::max_byte_diff(back, words(src), &total, true), 8) << "keys, total " << total;
        } else {
            for (DWORD v : words(back)) ASSERT_EQ(v >> 24, 255u);
        }
    }
}

TEST(JpegImage, QualityArgumentMapping)
{
    const std::pair<long, DWORD> table[] = {{0, 85}, {1, 1}, {85, 85}, {100, 100}, {150, 100}, {-1, 100}};
    for (const auto& [arg, q] : table) EXPECT_EQ(CKrJpegImage::CodecQuality(arg), q) << arg;

    // And what reaches the file: 0 encodes as 85, 150 and -1 as 100, 1 as 1.
    CKrFrameBuffer src = smooth_picture(64, 48, false);
    EXPECT_EQ(save_jpeg(src, 0, 0), save_jpeg(src, 85, 0));
    const std::vector<BYTE> best = save_jpeg(src, 100, 0);
    EXPECT_EQ(save_jpeg(src, 150, 0), best);
    EXPECT_EQ(save_jpeg(src, -1, 0), best);
    EXPECT_LT(save_jpeg(src, 1, 0).size(), save_jpeg(src, 85, 0).size());
}

TEST(JpegImage, OddWidthsDecodeThroughPaddedRows)
{
    // 5 pixels wide: 15 bytes of pixels and 1 pad byte a row. Flat bands of 8 rows.
    const DWORD colours[] = {0xFFE02010, 0xFF10E020, 0xFF2010E0, 0xFF808080, 0xFFF0F0F0, 0xFF101010};
    CKrFrameBuffer src(5, 48, 1);
    for (long y = 0; y < 48; ++y)
        for (long x = 0; x < 5; ++x) zt::set_px(src, x, y, colours[y / 8]);
    const std::vector<BYTE> file = save_jpeg(src, 100, 0);
    CKrFrameBuffer back;
    ASSERT_EQ(load_jpeg(file, back), 0);
    ASSERT_EQ(back.GetWidth(), 5u);
    for (long y = 0; y < 48; y += 8) {
        const DWORD got = px(back, 2, y + 3);
        for (int s = 0; s < 24; s += 8)
            EXPECT_NEAR(static_cast<int>((got >> s) & 0xFF), static_cast<int>((colours[y / 8] >> s) & 0xFF), 6)
                << "row " << y + 3;
    }
}

// A 16 × 16 JPEG written with libjpeg directly: components of in_space, made into the file's
// space by jpeg_set_colorspace; fill gives each row's samples.
std::vector<BYTE> libjpeg_16x16(int components, J_COLOR_SPACE in_space, J_COLOR_SPACE file_space, int quality,
                                const std::function<void(int y, BYTE* row)>& fill)
{
    jpeg_compress_struct c;
    jpeg_error_mgr err;
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = 16;
    c.image_height = 16;
    c.input_components = components;
    c.in_color_space = in_space;
    jpeg_set_defaults(&c);
    jpeg_set_colorspace(&c, file_space);
    jpeg_set_quality(&c, quality, TRUE);
    for (int i = 0; i < c.num_components; ++i) c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
    jpeg_start_compress(&c, TRUE);
    std::vector<BYTE> row(16 * static_cast<size_t>(components));
    for (int y = 0; y < 16; ++y) {
        fill(y, row.data());
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<BYTE> bytes(out, out + size);
    std::free(out);
    return bytes;
}

// 1 or 2 components, flat grey rows.
std::vector<BYTE> libjpeg_file(int components)
{
    const J_COLOR_SPACE space = components == 1 ? JCS_GRAYSCALE : JCS_UNKNOWN;
    return libjpeg_16x16(components, space, space, 75, [components](int y, BYTE* row) {
        std::fill(row, row + 16 * components, static_cast<BYTE>(y * 16));
    });
}

TEST(JpegImage, GreyFilesLoadAsEqualColourBytes)
{
    CKrJpegImage codec;
    CKrFrameBuffer fb;
    ASSERT_EQ(load_jpeg(libjpeg_file(1), fb, &codec), 0);
    EXPECT_EQ(codec.GetKeyFlag(), 0);
    for (DWORD v : words(fb)) {
        ASSERT_EQ(v >> 24, 255u);
        ASSERT_EQ(v & 0xFF, (v >> 8) & 0xFF);
        ASSERT_EQ(v & 0xFF, (v >> 16) & 0xFF);
    }
    EXPECT_NEAR(static_cast<int>(px(fb, 3, 10) & 0xFF), 160, 4);
}

TEST(JpegImage, RefusalsLeaveTargetAndKeyFlagAlone)
{
    CKrJpegImage codec;
    CKrFrameBuffer with_key = smooth_picture(64, 64, true);
    CKrFrameBuffer first;
    ASSERT_EQ(load_jpeg(save_jpeg(with_key, 90, 1), first, &codec), 0);
    ASSERT_EQ(codec.GetKeyFlag(), 1);

    const std::vector<BYTE> not_jpeg(500, 'x');
    std::vector<BYTE> truncated = save_jpeg(with_key, 90, 0);
    truncated.resize(truncated.size() / 2);
    for (const auto& file : {libjpeg_file(2), not_jpeg, std::vector<BYTE>{}, truncated}) {
        CKrFrameBuffer fb;
        EXPECT_EQ(load_jpeg(file, fb, &codec), -1);
        EXPECT_EQ(fb.IsBuffer(), 1);
        EXPECT_EQ(codec.GetKeyFlag(), 1);
    }
    // A buffer that already holds pixels.
    EXPECT_EQ(load_jpeg(save_jpeg(with_key, 90, 0), first, &codec), -1);
    EXPECT_EQ(first.GetWidth(), 64u);

    // Noise does not fit in width × height × 3 bytes: the codec says so and nothing is written.
    std::mt19937 rng(zt::test_seed());
    CKrFrameBuffer noise = zt::random_buffer(16, 16, rng);
    EXPECT_TRUE(save_jpeg(noise, 100, 0, -1).empty());
    CKrFrameBuffer empty;
    EXPECT_TRUE(save_jpeg(empty, 85, 0, -1).empty());
}

TEST(JpegImage, PathsAndFileErrors)
{
    CKrFrameBuffer src = smooth_picture(40, 30, false);
    const std::string path = zt::temp_path("jpeg_path.jpg");
    CString cpath(path.c_str());
    ASSERT_EQ(CKrJpegImage().SaveImage(&cpath, &src, 85, 0), 0);
    CKrFrameBuffer fb;
    ASSERT_EQ(CKrJpegImage().LoadImage(path.c_str(), &fb), 0);
    EXPECT_EQ(fb.GetWidth(), 40u);
    CKrFrameBuffer other;
    EXPECT_EQ(CKrJpegImage().LoadImage(zt::temp_path("none.jpg").c_str(), &other), CFileException::fileNotFound);
    zt::FailingFile failing(zt::read_bytes(path), 100);
    EXPECT_EQ(CKrJpegImage().LoadImage(&failing, &other), -1);
    EXPECT_EQ(other.IsBuffer(), 1);
    zt::FailingFile failing_write({}, 100);
    EXPECT_EQ(CKrJpegImage().SaveImage(&failing_write, &src, 85, 0), -1);
}

} // namespace

namespace {

// A four-component file as other programs write it: an Adobe marker, inverted inks (255 is
// no ink), CMYK or YCCK. Each of the 16 × 16 pixels gets the inks of colours[quadrant].
struct Inks {
    BYTE c, m, y, k;  // inverted, as stored
};

std::vector<BYTE> adobe_file(J_COLOR_SPACE space, const Inks (&quadrants)[4])
{
    // jpeg_set_colorspace writes the Adobe marker, with transform 0 for CMYK and 2 for YCCK.
    return libjpeg_16x16(4, JCS_CMYK, space, 100, [&quadrants](int y, BYTE* row) {
        for (int x = 0; x < 16; ++x) {
            const Inks& q = quadrants[(y / 8) * 2 + x / 8];
            row[x * 4] = q.c;
            row[x * 4 + 1] = q.m;
            row[x * 4 + 2] = q.y;
            row[x * 4 + 3] = q.k;
        }
    });
}

} // namespace

// CMYK and YCCK files of other programs are not the system's colour-with-key files: they load
// as colours (ink × black) with an opaque key and key flag 0.
TEST(JpegImage, AdobeCmykAndYcckFilesLoadAsOpaqueColours)
{
    const Inks quadrants[4] = {{255, 255, 255, 255}, {255, 0, 0, 255}, {200, 100, 50, 255}, {255, 255, 255, 128}};
    for (J_COLOR_SPACE space : {JCS_CMYK, JCS_YCCK}) {
        SCOPED_TRACE(space == JCS_CMYK ? "CMYK" : "YCCK");
        // The system's own four-channel file first: it still loads with its key.
        CKrJpegImage codec;
        CKrFrameBuffer keyed = smooth_picture(16, 16, true), fb;
        ASSERT_EQ(load_jpeg(save_jpeg(keyed, 90, 1), fb, &codec), 0);
        ASSERT_EQ(codec.GetKeyFlag(), 1);
        fb.DeleteFrameBuffer();
        ASSERT_EQ(load_jpeg(adobe_file(space, quadrants), fb, &codec), 0);
        EXPECT_EQ(codec.GetKeyFlag(), 0);
        for (int q = 0; q < 4; ++q) {
            const Inks& i = quadrants[q];
            const DWORD got = px(fb, (q % 2) * 8 + 4, (q / 2) * 8 + 4);
            EXPECT_EQ(got >> 24, 255u) << q;
            EXPECT_NEAR(static_cast<int>((got >> 16) & 0xFF), i.c * i.k / 255, 3) << q;
            EXPECT_NEAR(static_cast<int>((got >> 8) & 0xFF), i.m * i.k / 255, 3) << q;
            EXPECT_NEAR(static_cast<int>(got & 0xFF), i.y * i.k / 255, 3) << q;
        }
    }
}
