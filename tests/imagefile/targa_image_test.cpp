// CKrTargaImage: round trips, the packets the encoder writes, both row orders and depths,
// refusals that leave the target alone, and truncated or failing files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "imagefile/codec_test_util.h"
#include "imagefile/targa_image.h"

namespace {

using zt::px;

std::vector<BYTE> save_tga(CKrFrameBuffer& fb, long compress, CKrTargaImage* codec = nullptr)
{
    CKrTargaImage local;
    CKrTargaImage& c = codec ? *codec : local;
    CMemFile mem;
    EXPECT_EQ(c.SaveImage(&mem, &fb, compress), 0);
    return mem.data();
}

int load_tga(const std::vector<BYTE>& bytes, CKrFrameBuffer& fb, CKrTargaImage* codec = nullptr)
{
    CKrTargaImage local;
    CMemFile mem(bytes.data(), bytes.size());
    return (codec ? *codec : local).LoadImage(&mem, &fb);
}

std::vector<BYTE> tga_file(BYTE type, BYTE depth, BYTE descriptor, WORD w, WORD h, const std::vector<BYTE>& pixels,
                           BYTE id_length = 0, BYTE cmap_type = 0)
{
    tagTGA_HEADER header{};
    header.IDLength = id_length;
    header.ColorMapType = cmap_type;
    header.ImageType = type;
    header.Width = w;
    header.Height = h;
    header.PixelDepth = depth;
    header.ImageDescriptor = descriptor;
    std::vector<BYTE> out(CKrTargaImage::kHeaderBytes);
    CKrTargaImage::StoreHeader(header, out.data());
    out.insert(out.end(), id_length, 'i');
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

// Bytes of a 32-bit pixel in file order.
void push32(std::vector<BYTE>& v, DWORD p)
{
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<BYTE>(p >> (8 * i)));
}

struct RoundTrip {
    long w, h, compress;
};

class TargaRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(TargaRoundTrip, SavedFilesLoadBackExactlyWithKeys)
{
    const auto [w, h, compress] = GetParam();
    const auto seed = zt::test_seed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    CKrFrameBuffer fb = zt::varied_picture(w, h, seed);
    const std::vector<BYTE> file = save_tga(fb, compress);

    // Header: 32 bits, four attribute bits, bottom-up, no ID field, pixel data right after.
    ASSERT_GE(file.size(), 18u);
    EXPECT_EQ(file[0], 0);
    EXPECT_EQ(file[2], compress ? 10 : 2);
    EXPECT_EQ(file[12] | file[13] << 8, w);
    EXPECT_EQ(file[14] | file[15] << 8, h);
    EXPECT_EQ(file[16], 32);
    EXPECT_EQ(file[17], 4);
    if (!compress) EXPECT_EQ(file.size(), 18u + static_cast<size_t>(w * h * 4));
    else EXPECT_LE(file.size(), 18u + static_cast<size_t>(w * h * 5));

    CKrTargaImage codec;
    CKrFrameBuffer back;
    ASSERT_EQ(load_tga(file, back, &codec), 0);
    EXPECT_EQ(codec.GetKeyFlag(), 1);
    std::string where;
    EXPECT_EQ(zt::diff_pixels(fb, back, &where), 0) << where;
}

INSTANTIATE_TEST_SUITE_P(Sizes, TargaRoundTrip,
                         ::testing::Values(RoundTrip{1, 1, 0}, RoundTrip{1, 1, 1}, RoundTrip{3, 2, 1},
                                           RoundTrip{127, 3, 1}, RoundTrip{128, 3, 1}, RoundTrip{300, 5, 1},
                                           RoundTrip{61, 17, 0}, RoundTrip{61, 17, 1}, RoundTrip{255, 9, 1}));

TEST(Targa, PacketsOfTheRunLengthEncoder)
{
    // 300 equal pixels: runs of 127, 127 and 46, each followed by its one pixel.
    CKrFrameBuffer same(300, 1, 1);
    same.ClearCol(0x80112233);
    std::vector<BYTE> expect;
    for (BYTE head : {254, 254, 173}) {
        expect.push_back(head);
        push32(expect, 0x80112233);
    }
    std::vector<BYTE> file = save_tga(same, 1);
    EXPECT_EQ(std::vector<BYTE>(file.begin() + 18, file.end()), expect);

    // A B B C: raw 1, run 2, raw 1.
    CKrFrameBuffer abbc(4, 1, 1);
    const DWORD a = 0xFF0000AA, b = 0x000000BB, c = 0x7F0000CC;
    zt::set_px(abbc, 0, 0, a);
    zt::set_px(abbc, 1, 0, b);
    zt::set_px(abbc, 2, 0, b);
    zt::set_px(abbc, 3, 0, c);
    expect.clear();
    expect.push_back(0);
    push32(expect, a);
    expect.push_back(0x81);
    push32(expect, b);
    expect.push_back(0);
    push32(expect, c);
    file = save_tga(abbc, 1);
    EXPECT_EQ(std::vector<BYTE>(file.begin() + 18, file.end()), expect);

    // All different: raw packets of 127 and the rest; equal keys alone do not make a run.
    CKrFrameBuffer differ(300, 1, 1);
    for (long x = 0; x < 300; ++x) zt::set_px(differ, x, 0, 0xFF000000u | static_cast<DWORD>(x));
    file = save_tga(differ, 1);
    ASSERT_EQ(file.size(), 18u + 3 + 300 * 4);
    EXPECT_EQ(file[18], 126);
    EXPECT_EQ(file[18 + 1 + 127 * 4], 126);
    EXPECT_EQ(file[18 + 2 + 254 * 4], 45);

    // Packets never cross a row end: two rows of the same colour give one run per row.
    CKrFrameBuffer rows(5, 2, 1);
    rows.ClearCol(0xFF123456);
    file = save_tga(rows, 1);
    EXPECT_EQ(file.size(), 18u + 2 * 5);
}

TEST(Targa, RowOrderAndDepthsOnLoading)
{
    // 2 × 2, file rows R0 = (p0, p1), R1 = (p2, p3).
    const DWORD p[4] = {0x01020304, 0x11121314, 0x21222324, 0x31323334};
    std::vector<BYTE> px32;
    for (DWORD v : p) push32(px32, v);

    CKrFrameBuffer top, bottom;
    ASSERT_EQ(load_tga(tga_file(2, 32, 0x28, 2, 2, px32), top), 0);
    EXPECT_EQ(px(top, 0, 0), p[0]);
    EXPECT_EQ(px(top, 1, 1), p[3]);
    ASSERT_EQ(load_tga(tga_file(2, 32, 0x08, 2, 2, px32), bottom), 0);
    EXPECT_EQ(px(bottom, 0, 0), p[2]);  // first file row is the bottom row
    EXPECT_EQ(px(bottom, 1, 1), p[1]);

    // 24 bits: key 255, flag 0; a depth such as 15 is read as 3 bytes a pixel too.
    const std::vector<BYTE> px24 = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    for (BYTE depth : {24, 15}) {
        CKrTargaImage codec;
        CKrFrameBuffer fb;
        ASSERT_EQ(load_tga(tga_file(2, depth, 0x20, 2, 2, px24), fb, &codec), 0) << int(depth);
        EXPECT_EQ(codec.GetKeyFlag(), 0);
        EXPECT_EQ(px(fb, 0, 0), 0xFF030201u);
        EXPECT_EQ(px(fb, 1, 1), 0xFF0C0B0Au);
    }

    // The ID field is skipped; bytes after the pixels are ignored.
    std::vector<BYTE> with_id = tga_file(2, 32, 0x28, 2, 2, px32, 7);
    with_id.insert(with_id.end(), 26, 0xEE);
    CKrFrameBuffer fb;
    ASSERT_EQ(load_tga(with_id, fb), 0);
    EXPECT_EQ(zt::diff_pixels(fb, top), 0);
}

TEST(Targa, RunLengthPacketsMayCrossRowEnds)
{
    // 3 × 2, 24-bit: one run of 4 across the row end, then a raw packet of 2.
    const std::vector<BYTE> crossing = {0x83, 9, 8, 7, 0x01, 1, 2, 3, 4, 5, 6};
    const std::vector<BYTE> per_row = {0x82, 9, 8, 7, 0x80, 9, 8, 7, 0x01, 1, 2, 3, 4, 5, 6};
    CKrFrameBuffer a, b, c;
    ASSERT_EQ(load_tga(tga_file(10, 24, 0x20, 3, 2, crossing), a), 0);
    ASSERT_EQ(load_tga(tga_file(10, 24, 0x20, 3, 2, per_row), b), 0);
    EXPECT_EQ(zt::diff_pixels(a, b), 0);
    EXPECT_EQ(px(a, 0, 1), 0xFF070809u);
    EXPECT_EQ(px(a, 2, 1), 0xFF060504u);

    // A packet reaching past the last pixel is cut there.
    const std::vector<BYTE> too_long = {0xFF, 9, 8, 7};
    ASSERT_EQ(load_tga(tga_file(10, 24, 0x20, 3, 2, too_long), c), 0);
    EXPECT_EQ(px(c, 2, 1), 0xFF070809u);
}

struct Refusal {
    const char* what;
    std::vector<BYTE> file;
};

class TargaRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(TargaRefusal, IsMinusOneAndLeavesTargetAndKeyFlagAlone)
{
    CKrTargaImage codec;
    CKrFrameBuffer seed_fb;
    ASSERT_EQ(load_tga(tga_file(2, 24, 0, 1, 1, {1, 2, 3}), seed_fb, &codec), 0);  // key flag 0 now
    CKrFrameBuffer fb;
    EXPECT_EQ(load_tga(GetParam().file, fb, &codec), -1);
    EXPECT_EQ(fb.IsBuffer(), 1);
    EXPECT_EQ(codec.GetKeyFlag(), 0);
}

std::vector<BYTE> px_bytes(size_t n) { return std::vector<BYTE>(n, 0x5A); }

INSTANTIATE_TEST_SUITE_P(
    Files, TargaRefusal,
    ::testing::Values(Refusal{"type1", tga_file(1, 32, 0, 2, 2, px_bytes(16))},
                      Refusal{"type3", tga_file(3, 32, 0, 2, 2, px_bytes(16))},
                      Refusal{"type11", tga_file(11, 32, 0, 2, 2, px_bytes(16))},
                      Refusal{"colourmap", tga_file(2, 32, 0, 2, 2, px_bytes(16), 0, 1)},
                      Refusal{"depth8", tga_file(2, 8, 0, 2, 2, px_bytes(16))},
                      Refusal{"depth16", tga_file(2, 16, 0, 2, 2, px_bytes(16))},
                      Refusal{"righttoleft", tga_file(2, 32, 0x10, 2, 2, px_bytes(16))},
                      Refusal{"headeronly", tga_file(2, 32, 0, 2, 2, {})},
                      Refusal{"shortheader", std::vector<BYTE>(17, 0)},
                      Refusal{"idbeyondend", tga_file(2, 32, 0, 1, 1, {}, 0)},
                      Refusal{"zerowidth", tga_file(2, 32, 0, 0, 2, px_bytes(16))},
                      Refusal{"truncatedraw", tga_file(2, 32, 0, 2, 2, px_bytes(15))},
                      Refusal{"truncatedrun", tga_file(10, 32, 0, 4, 4, {0x83, 1, 2, 3, 4, 0x83, 1, 2, 3})},
                      Refusal{"truncatedpacket", tga_file(10, 24, 0, 2, 2, {0x01, 1, 2, 3, 4})},
                      Refusal{"hugeclaim", tga_file(10, 32, 0, 0xFFFF, 0xFFFF, px_bytes(64))}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(Targa, IdFieldLongerThanTheFileIsRefused)
{
    std::vector<BYTE> file = tga_file(2, 24, 0, 1, 1, {});
    file[0] = 200;  // claims an ID field the file does not hold
    CKrFrameBuffer fb;
    EXPECT_EQ(load_tga(file, fb), -1);
}

TEST(Targa, LoadingIntoAFilledBufferIsRefusedAndKeepsIt)
{
    CKrFrameBuffer src = zt::varied_picture(4, 3, 7);
    const std::vector<BYTE> file = save_tga(src, 1);
    CKrFrameBuffer fb(2, 2, 1);
    fb.ClearCol(0x12345678);
    EXPECT_EQ(load_tga(file, fb), -1);
    EXPECT_EQ(fb.GetWidth(), 2u);
    EXPECT_EQ(px(fb, 1, 1), 0x12345678u);
    EXPECT_EQ(CKrTargaImage().LoadImage(static_cast<CFile*>(nullptr), &fb), -1);
    CMemFile mem(file.data(), file.size());
    EXPECT_EQ(CKrTargaImage().LoadImage(&mem, nullptr), -1);
}

TEST(Targa, SaveRefusesWhatItCannotDescribe)
{
    CKrTargaImage codec;
    CMemFile mem;
    CKrFrameBuffer empty;
    EXPECT_EQ(codec.SaveImage(&mem, &empty, 1), -1);
    EXPECT_EQ(codec.SaveImage(&mem, nullptr, 1), -1);
    EXPECT_EQ(codec.GetKeyFlag(), 0);
    // 65536 pixels wide does not fit the 16-bit width: refused rather than written as 0.
    CKrFrameBuffer wide(65536, 1, 1);
    EXPECT_EQ(codec.SaveImage(&mem, &wide, 1), -1);
    EXPECT_EQ(mem.GetLength(), 0u);
}

TEST(Targa, FileLayerErrorsBecomeMinusOne)
{
    CKrFrameBuffer src = zt::varied_picture(40, 30, 3);
    const std::vector<BYTE> file = save_tga(src, 0);
    // Reading fails after the header: -1, no exception, no picture.
    zt::FailingFile bad_read(file, 18);
    CKrFrameBuffer fb;
    EXPECT_EQ(CKrTargaImage().LoadImage(&bad_read, &fb), -1);
    EXPECT_EQ(fb.IsBuffer(), 1);
    // Writing fails part-way: -1.
    zt::FailingFile bad_write({}, 1000);
    EXPECT_EQ(CKrTargaImage().SaveImage(&bad_write, &src, 1), -1);
}

TEST(Targa, PathOverloadsAnswerTheOpenCause)
{
    CKrFrameBuffer fb;
    CString missing(zt::temp_path("no_such_file.tga").c_str());
    EXPECT_EQ(CKrTargaImage().LoadImage(&missing, &fb), CFileException::fileNotFound);
    EXPECT_EQ(fb.IsBuffer(), 1);
    CString bad_dir(zt::temp_path("no_such_dir/x.tga").c_str());
    CKrFrameBuffer src = zt::varied_picture(3, 3, 1);
    EXPECT_GT(CKrTargaImage().SaveImage(&bad_dir, &src, 1), 0);

    CString path(zt::temp_path("targa_path.tga").c_str());
    ASSERT_EQ(CKrTargaImage().SaveImage(&path, &src, 0), 0);
    ASSERT_EQ(CKrTargaImage().LoadImage(&path, &fb), 0);
    EXPECT_EQ(zt::diff_pixels(fb, src), 0);
}

} // namespace
