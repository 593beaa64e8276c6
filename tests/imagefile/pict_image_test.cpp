// CKrPictImage: round trips, the layout of saved files, rows the one-byte count must hold,
// the three pixel forms on loading, opcodes before the pixel map, and refusals.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "imagefile/codec_test_util.h"
#include "imagefile/pict_image.h"

namespace {

using zt::px;

std::vector<BYTE> save_pict(CKrFrameBuffer& fb)
{
    CMemFile mem;
    EXPECT_EQ(CKrPictImage().SaveImage(&mem, &fb, 0), 0);
    return mem.data();
}

int load_pict(const std::vector<BYTE>& bytes, CKrFrameBuffer& fb, CKrPictImage* codec = nullptr)
{
    CKrPictImage local;
    CMemFile mem(bytes.data(), bytes.size());
    return (codec ? *codec : local).LoadImage(&mem, &fb);
}

void put16(std::vector<BYTE>& v, unsigned x)
{
    v.push_back(static_cast<BYTE>(x >> 8));
    v.push_back(static_cast<BYTE>(x));
}

struct PictShape {
    int w = 2, h = 1;
    WORD pixel_size = 32, cmp_count = 4, pack_type = 4;
    WORD row_bytes = 0;                // 0: w × 4 (or w × 2 for 16 bits)
    std::vector<BYTE> ops;             // opcodes placed before the pixel map
    WORD version = 0x02FF;
};

// A version-2 picture with one DirectBitsRect and the given packed rows.
std::vector<BYTE> pict_file(const PictShape& s, const std::vector<BYTE>& rows)
{
    std::vector<BYTE> f(512, 0);
    put16(f, 0);
    for (int v : {0, 0, s.h, s.w}) put16(f, static_cast<unsigned>(v));
    put16(f, 0x0011);
    put16(f, s.version);
    f.insert(f.end(), s.ops.begin(), s.ops.end());
    tagFMT_PICT_PIXMAP m{};
    m.opcode = 0x009A;
    m.rowBytes = static_cast<WORD>((s.row_bytes ? s.row_bytes : s.w * (s.pixel_size / 8)) | 0x8000);
    m.packType = s.pack_type;
    m.pixelSize = s.pixel_size;
    m.cmpCount = s.cmp_count;
    m.srcRect = tagPICTRECT{0, 0, static_cast<std::int16_t>(s.h), static_cast<std::int16_t>(s.w)};
    BYTE rec[CKrPictImage::kPixmapBytes];
    CKrPictImage::StorePixmap(m, rec);
    f.insert(f.end(), rec, rec + sizeof rec);
    f.insert(f.end(), rows.begin(), rows.end());
    put16(f, 0x00FF);
    return f;
}

class PictRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(PictRoundTrip, SavedFilesLoadBackExactlyWithKeys)
{
    const int w = GetParam();
    const auto seed = zt::test_seed() + static_cast<unsigned>(w);
    SCOPED_TRACE("seed " + std::to_string(seed));
    CKrFrameBuffer fb = zt::varied_picture(w, 9, seed);
    const std::vector<BYTE> file = save_pict(fb);
    CKrPictImage codec;
    CKrFrameBuffer back;
    ASSERT_EQ(load_pict(file, back, &codec), 0);
    EXPECT_EQ(codec.GetKeyFlag(), 1);
    std::string where;
    EXPECT_EQ(zt::diff_pixels(fb, back, &where), 0) << where;
}

INSTANTIATE_TEST_SUITE_P(Widths, PictRoundTrip, ::testing::Values(1, 2, 31, 48, 55, 62, 63, 100, 333));

TEST(Pict, LayoutOfASavedFile)
{
    for (int w : {100, 62}) {
        CKrFrameBuffer fb = zt::varied_picture(w, 50, 11);
        const std::vector<BYTE> f = save_pict(fb);
        ASSERT_GT(f.size(), 636u);
        const size_t n = f.size() - 634 - 2;
        EXPECT_EQ(n % 2, 0u);
        EXPECT_EQ(f[512] << 8 | f[513], static_cast<int>((124 + n) & 0xFFFF));
        EXPECT_EQ(f[522] << 8 | f[523], 0x0011);
        EXPECT_EQ(f[524] << 8 | f[525], 0x02FF);
        EXPECT_EQ(f[526] << 8 | f[527], 0x0C00);
        EXPECT_EQ(f[552] << 8 | f[553], 0x0001);
        EXPECT_EQ(f[564] << 8 | f[565], 0x009A);
        EXPECT_EQ(f[570] << 8 | f[571], (w * 4) | 0x8000);
        EXPECT_EQ(f[f.size() - 2] << 8 | f[f.size() - 1], 0x00FF);
        // Walk the row counts: two bytes above 62 pixels, one byte up to it; they add up to n.
        size_t pos = 634, rows = 0;
        while (rows < 50) {
            const size_t count = w > 62 ? (f[pos] << 8 | f[pos + 1]) : f[pos];
            pos += (w > 62 ? 2 : 1) + count;
            ++rows;
        }
        EXPECT_TRUE(pos == 634 + n || pos + 1 == 634 + n) << w;
    }
    // A row of equal bytes: runs of 127 (flag 0x82) and a shorter last run.
    CKrFrameBuffer same(100, 1, 1);
    same.ClearCol(0x42424242);
    const std::vector<BYTE> f = save_pict(same);
    const std::vector<BYTE> row(f.begin() + 634, f.begin() + 634 + 10);
    EXPECT_EQ(row, (std::vector<BYTE>{0, 8, 0x82, 0x42, 0x82, 0x42, 0x82, 0x42, 0xEE, 0x42}));
}

TEST(Pict, RowsOfUpTo62PixelsFitTheirOneByteCount)
{
    // x y y x y y ...: one literal byte and one run of two per three bytes would take 4/3 of
    // the row, more than 255 bytes from 48 pixels on.
    for (int w = 40; w <= 63; ++w) {
        CKrFrameBuffer fb(w, 2, 1);
        for (int x = 0; x < w; ++x) {
            const DWORD v = x % 3 == 0 ? 0x10 : 0x20;
            zt::set_px(fb, x, 0, v * 0x01010101u);
            zt::set_px(fb, x, 1, (x % 3 == 0 ? 0x30 : 0x40) * 0x01010101u);
        }
        CMemFile mem;
        ASSERT_EQ(CKrPictImage().SaveImage(&mem, &fb, 0), 0) << w;
        CKrFrameBuffer back;
        ASSERT_EQ(load_pict(mem.data(), back), 0) << w;
        EXPECT_EQ(zt::diff_pixels(fb, back), 0) << w;
        const std::vector<BYTE>& f = mem.data();
        // Every pair starts a run (a literal of one byte, then a run of two) wherever the
        // row's count can hold the result: below 48 pixels, and above 62 where it has two
        // bytes. Only in between do literals run on over the pairs.
        const size_t at = 634 + (w > 62 ? 2 : 1);
        const std::vector<BYTE> first(f.begin() + static_cast<long>(at), f.begin() + static_cast<long>(at) + 4);
        if (w < 48 || w > 62) {
            EXPECT_EQ(first, (std::vector<BYTE>{0x00, 0x10, 0xFF, 0x20})) << w;
        } else {
            EXPECT_GT(first[0], 0x00) << w;
            EXPECT_LT(first[0], 0x80) << w;
        }
        if (w > 62) {
            EXPECT_GT(f[634] << 8 | f[635], 255) << w;
        }
    }
    // Random rows over two or three values, the hardest for a packer.
    std::mt19937 rng(zt::test_seed());
    SCOPED_TRACE("seed " + std::to_string(zt::test_seed()));
    for (int trial = 0; trial < 200; ++trial) {
        const int w = 1 + static_cast<int>(rng() % 62);
        CKrFrameBuffer fb(w, 3, 1);
        const unsigned values = 2 + rng() % 2;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < w; ++x) zt::set_px(fb, x, y, (rng() % values) * 0x01010101u);
        CMemFile mem;
        ASSERT_EQ(CKrPictImage().SaveImage(&mem, &fb, 0), 0);
        CKrFrameBuffer back;
        ASSERT_EQ(load_pict(mem.data(), back), 0);
        ASSERT_EQ(zt::diff_pixels(fb, back), 0) << "trial " << trial;
    }
}

TEST(Pict, PacketMeasure)
{
    // A run when the first two bytes are equal; a literal otherwise, up to the next pair.
    std::vector<BYTE> distinct(300), same(200, 9);
    for (size_t i = 0; i < distinct.size(); ++i) distinct[i] = static_cast<BYTE>(i);
    struct Case {
        std::vector<BYTE> bytes;
        long length;
        bool run;
    } cases[] = {
        {{1, 2, 2, 1, 2, 2, 1, 5, 5, 5, 5}, 1, false},
        {{2, 2, 1, 2, 2, 1, 5, 5, 5, 5}, 2, true},
        {{5, 5, 5, 5}, 4, true},
        {{1, 2, 3, 3, 3}, 2, false},
        {{1, 2, 3, 4}, 4, false},
        {{7, 7}, 2, true},
        {{7}, 1, false},
        {distinct, 127, false},
        {same, 127, true},
    };
    for (const Case& c : cases) {
        bool run = !c.run;
        EXPECT_EQ(CKrPictImage::PictCheckComp(c.bytes.data(), static_cast<long>(c.bytes.size()), &run), c.length)
            << c.bytes.size() << " bytes from " << int{c.bytes[0]};
        EXPECT_EQ(run, c.run) << c.bytes.size() << " bytes from " << int{c.bytes[0]};
    }
}

TEST(Pict, ThePixelFormsOnLoading)
{
    // 16 bits, pack type 3: a literal of two 16-bit values (white, pure red).
    PictShape s16;
    s16.pixel_size = 16;
    s16.pack_type = 3;
    CKrPictImage codec;
    CKrFrameBuffer fb;
    ASSERT_EQ(load_pict(pict_file(s16, {5, 0x01, 0x7F, 0xFF, 0x7C, 0x00}), fb, &codec), 0);
    EXPECT_EQ(codec.GetKeyFlag(), 0);
    EXPECT_EQ(px(fb, 0, 0), 0xFFF8F8F8u);
    EXPECT_EQ(px(fb, 1, 0), 0xFFF80000u);

    // 32 bits with 3 planes; a flag byte of 128 is skipped.
    PictShape s24;
    s24.cmp_count = 3;
    fb.DeleteFrameBuffer();
    ASSERT_EQ(load_pict(pict_file(s24, {8, 128, 0x05, 0xA0, 0xA1, 0xB0, 0xB1, 0xC0, 0xC1}), fb, &codec), 0);
    EXPECT_EQ(codec.GetKeyFlag(), 0);
    EXPECT_EQ(px(fb, 0, 0), 0xFFA0B0C0u);
    EXPECT_EQ(px(fb, 1, 0), 0xFFA1B1C1u);

    // Opcodes before the pixel map: a larger clip region, comments, one without data.
    PictShape s32;
    s32.ops = {0x0C, 0x00};
    s32.ops.insert(s32.ops.end(), 24, 0);
    for (BYTE b : {0x00, 0x01, 0x00, 0x0C, 0, 0, 0, 0, 0, 0, 0, 0, 9, 9}) s32.ops.push_back(b);
    for (BYTE b : {0x00, 0xA0, 0x00, 0x05}) s32.ops.push_back(b);
    for (BYTE b : {0x00, 0xA1, 0x00, 0x01, 0x00, 0x03, 7, 7, 7}) s32.ops.push_back(b);
    for (BYTE b : {0x00, 0x1E}) s32.ops.push_back(b);
    fb.DeleteFrameBuffer();
    ASSERT_EQ(load_pict(pict_file(s32, {9, 0x07, 0x80, 0x81, 0x10, 0x11, 0x20, 0x21, 0x30, 0x31}), fb, &codec), 0);
    EXPECT_EQ(codec.GetKeyFlag(), 1);
    EXPECT_EQ(px(fb, 0, 0), 0x80102030u);
    EXPECT_EQ(px(fb, 1, 0), 0x81112131u);
}

struct PictRefusal {
    const char* what;
    std::vector<BYTE> file;
    bool buffer_created;  // refusals inside the pixel conversion leave the created buffer
};

class PictRefused : public ::testing::TestWithParam<PictRefusal> {};

TEST_P(PictRefused, IsMinusOne)
{
    CKrPictImage codec;
    CKrFrameBuffer fb;
    EXPECT_EQ(load_pict(GetParam().file, fb, &codec), -1);
    // The flag is 0 here either way: refusals before the conversion keep the initial 0, a
    // failed conversion clears it (see KeyFlagAfterAFailedConversion).
    EXPECT_EQ(fb.IsBuffer(), GetParam().buffer_created ? 0 : 1);
    EXPECT_EQ(codec.GetKeyFlag(), 0);
}

const std::vector<BYTE> kRow = {9, 0x07, 1, 2, 3, 4, 5, 6, 7, 8};

std::vector<BYTE> with(PictShape s, const std::vector<BYTE>& rows = kRow) { return pict_file(s, rows); }

PictShape shape_version1()
{
    PictShape s;
    s.version = 0x1101;
    return s;
}
PictShape shape_ops(std::vector<BYTE> ops)
{
    PictShape s;
    s.ops = std::move(ops);
    return s;
}
PictShape shape_pack(WORD pack)
{
    PictShape s;
    s.pack_type = pack;
    return s;
}
PictShape shape_pixels(WORD size, WORD comps)
{
    PictShape s;
    s.pixel_size = size;
    s.cmp_count = comps;
    return s;
}
PictShape shape_row_bytes(WORD rb)
{
    PictShape s;
    s.row_bytes = rb;
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Files, PictRefused,
    ::testing::Values(
        PictRefusal{"version1", with(shape_version1()), false},
        PictRefusal{"shorterthan526", std::vector<BYTE>(525, 0), false},
        PictRefusal{"indexedpixels", with(shape_ops({0x00, 0x98, 1, 2, 3})), false},
        PictRefusal{"directbitsrgn", with(shape_ops({0x00, 0x9B})), false},
        PictRefusal{"endbeforepixels", with(shape_ops({0x00, 0xFF})), false},
        PictRefusal{"clipbeyondend", with(shape_ops({0x00, 0x01, 0xFF, 0xFF})), false},
        PictRefusal{"packtype0", with(shape_pack(0)), false},
        PictRefusal{"nopixeldata", with(PictShape{}, {}), false},
        PictRefusal{"countbeyonddata", with(PictShape{}, {200, 0x07, 1, 2}), true},
        PictRefusal{"truncatedliteral", with(PictShape{}, {9, 0x07, 1, 2, 3}), true},
        PictRefusal{"pixelsize8", with(shape_pixels(8, 1)), true},
        PictRefusal{"twocomponents", with(shape_pixels(32, 2)), true},
        PictRefusal{"rowbytesbelowwidth", with(shape_row_bytes(4)), true}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(Pict, KeyFlagAfterAFailedConversion)
{
    CKrPictImage codec;
    CKrFrameBuffer fb;
    ASSERT_EQ(load_pict(with(PictShape{}), fb, &codec), 0);
    EXPECT_EQ(codec.GetKeyFlag(), 1);
    fb.DeleteFrameBuffer();
    EXPECT_EQ(load_pict(with(shape_version1()), fb, &codec), -1);  // before the conversion: kept
    EXPECT_EQ(codec.GetKeyFlag(), 1);
    EXPECT_EQ(load_pict(with(PictShape{}, {9, 0x07, 1, 2, 3}), fb, &codec), -1);
    EXPECT_EQ(codec.GetKeyFlag(), 0);
}

TEST(Pict, TooLargeToDescribeAndUnusableArguments)
{
    CKrPictImage codec;
    CMemFile mem;
    CKrFrameBuffer wide(8192, 1, 1);  // row bytes would need 16 bits
    EXPECT_EQ(codec.SaveImage(&mem, &wide, 0), -1);
    CKrFrameBuffer empty;
    EXPECT_EQ(codec.SaveImage(&mem, &empty, 0), -1);
    EXPECT_EQ(mem.GetLength(), 0u);

    CKrFrameBuffer src = zt::varied_picture(5, 4, 2);
    const std::vector<BYTE> file = save_pict(src);
    CKrFrameBuffer full(1, 1, 1);
    EXPECT_EQ(load_pict(file, full), -1);
    EXPECT_EQ(full.GetWidth(), 1u);
    zt::FailingFile failing(file, 100);
    CKrFrameBuffer fb;
    EXPECT_EQ(CKrPictImage().LoadImage(&failing, &fb), -1);
    EXPECT_EQ(CKrPictImage().LoadImage(zt::temp_path("missing.pct").c_str(), &fb), CFileException::fileNotFound);
    const std::string path = zt::temp_path("pict_path.pct");
    ASSERT_EQ(CKrPictImage().SaveImage(path.c_str(), &src, 0), 0);
    ASSERT_EQ(CKrPictImage().LoadImage(path.c_str(), &fb), 0);
    EXPECT_EQ(zt::diff_pixels(fb, src), 0);
}

} // namespace
