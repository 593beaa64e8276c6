// CDib: building bitmaps, BMP files read and written, what a hostile file may not make it do,
// palettes, archives and mapped files.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/byte_reader.h"
#include "imagefile/codec_test_util.h"
#include "imagefile/dib.h"

namespace {

std::vector<BYTE> bmp_file(LONG w, LONG h, WORD bits, DWORD clr_used, size_t table_entries, size_t image_bytes,
                           DWORD offset_override = 0, DWORD size_image = 0)
{
    std::vector<BYTE> f(14 + 40 + 4 * table_entries + image_bytes, 0);
    const DWORD offset = offset_override ? offset_override : static_cast<DWORD>(14 + 40 + 4 * table_entries);
    f[0] = 'B';
    f[1] = 'M';
    zk::put_le32(&f[2], static_cast<DWORD>(f.size()));
    zk::put_le32(&f[10], offset);
    zk::put_le32(&f[14], 40);
    zk::put_le32(&f[18], static_cast<DWORD>(w));
    zk::put_le32(&f[22], static_cast<DWORD>(h));
    zk::put_le16(&f[26], 1);
    zk::put_le16(&f[28], bits);
    zk::put_le32(&f[34], size_image);
    zk::put_le32(&f[46], clr_used);
    for (size_t i = 0; i < table_entries; ++i) {
        f[54 + 4 * i] = static_cast<BYTE>(i);          // blue
        f[54 + 4 * i + 1] = static_cast<BYTE>(i * 2);  // green
        f[54 + 4 * i + 2] = static_cast<BYTE>(i * 3);  // red
    }
    for (size_t i = 0; i < image_bytes; ++i) f[54 + 4 * table_entries + i] = static_cast<BYTE>(i * 7);
    return f;
}

int read_dib(CDib& dib, const std::vector<BYTE>& bytes)
{
    CMemFile mem(bytes.data(), bytes.size());
    return dib.Read(&mem);
}

TEST(Dib, CreateAndTheRowRules)
{
    CDib dib;
    ASSERT_EQ(dib.Create(3, 2, 24, 0), 1);
    EXPECT_EQ(dib.GetLineByte(), 12);  // 9 bytes of pixels, 3 of padding
    EXPECT_EQ(dib.GetSizeImage(), 24u);
    EXPECT_EQ(dib.GetSizeHeader(), 40);
    EXPECT_EQ(dib.GetInvert(), 0);
    EXPECT_EQ(dib.GetBitmapInfoHeader()->biSizeImage, 0u);
    EXPECT_EQ(dib.GetBitmapInfoHeader()->biPlanes, 1);

    // Refused: the object stays as it was.
    EXPECT_EQ(dib.Create(3, 2, 2, 0), 0);
    EXPECT_EQ(dib.Create(0, 2, 24, 0), 0);
    EXPECT_EQ(dib.GetWidth(), 3);
    EXPECT_NE(dib.GetImageBuffer(), nullptr);

    CDib inverted(4, 5, 8, 1);
    EXPECT_EQ(inverted.GetInvert(), 1);
    EXPECT_EQ(inverted.GetHeight(), 5);
    EXPECT_EQ(inverted.GetBitmapInfoHeader()->biHeight, -5);
    EXPECT_EQ(inverted.GetColorTableEntries(), 256);
    EXPECT_EQ(inverted.GetSizeHeader(), 40 + 1024);
    EXPECT_EQ(inverted.GetBitmapInfoHeader()->biClrUsed, 256u);
    EXPECT_EQ(inverted.GetDimensions(), CSize(4, 5));

    CDib header_only(CSize(7, 3), 4);
    EXPECT_EQ(header_only.GetColorTableEntries(), 16);
    EXPECT_EQ(header_only.GetImageBuffer(), nullptr);

    BYTE pixels[4 * 2 * 2] = {};
    CDib wrapped(pixels, CSize(2, 2), 32, 0);
    EXPECT_EQ(wrapped.GetImageBuffer(), pixels);
    CDib not_wrapped(pixels, CSize(2, 2), 8, 0);
    EXPECT_EQ(not_wrapped.GetBitmapInfoHeader(), nullptr);
    EXPECT_EQ(not_wrapped.GetDimensions(), CSize(0, 0));
}

TEST(Dib, WriteThenReadGivesTheSameBitmap)
{
    CDib dib;
    ASSERT_EQ(dib.Create(5, 3, 24, 0), 1);
    for (DWORD i = 0; i < dib.GetSizeImage(); ++i) dib.GetImageBuffer()[i] = static_cast<BYTE>(i * 13);
    CMemFile mem;
    ASSERT_EQ(dib.Write(&mem), 1);
    const std::vector<BYTE>& f = mem.data();
    ASSERT_EQ(f.size(), 54u + dib.GetSizeImage());
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(f[2] | f[3] << 8, static_cast<int>(54 + dib.GetSizeImage()));
    EXPECT_EQ(f[10], 54);

    CDib back;
    ASSERT_EQ(read_dib(back, f), 1);
    EXPECT_EQ(back.GetDimensions(), CSize(5, 3));
    EXPECT_EQ(back.GetBitCount(), 24);
    ASSERT_EQ(back.GetSizeImage(), dib.GetSizeImage());
    EXPECT_EQ(std::memcmp(back.GetImageBuffer(), dib.GetImageBuffer(), dib.GetSizeImage()), 0);
    EXPECT_EQ(back.GetPalette(), nullptr);
}

TEST(Dib, EightBitFilesCarryTheirPalette)
{
    CDib dib;
    ASSERT_EQ(read_dib(dib, bmp_file(4, 2, 8, 0, 256, 8)), 1);
    EXPECT_EQ(dib.GetColorTableEntries(), 256);
    ASSERT_NE(dib.GetPalette(), nullptr);
    EXPECT_EQ(dib.GetPalette()->palVersion, 0x300);
    EXPECT_EQ(dib.GetPalette()->entries.size(), 256u);
    EXPECT_EQ(dib.GetPalette()->entries[10].peRed, 30);
    EXPECT_EQ(dib.GetPalette()->entries[10].peBlue, 10);

    CDib few;
    ASSERT_EQ(read_dib(few, bmp_file(4, 2, 8, 16, 16, 8)), 1);
    EXPECT_EQ(few.GetColorTableEntries(), 16);
    EXPECT_EQ(few.GetPalette()->entries.size(), 16u);
    // Written back as read.
    CMemFile mem;
    ASSERT_EQ(few.Write(&mem), 1);
    EXPECT_EQ(mem.data(), bmp_file(4, 2, 8, 16, 16, 8));
}

struct BadBmp {
    const char* what;
    std::vector<BYTE> file;
};

class DibRefusal : public ::testing::TestWithParam<BadBmp> {};

TEST_P(DibRefusal, ReadFailsAndLeavesNothingHeld)
{
    CDib dib;
    ASSERT_EQ(dib.Create(2, 2, 24, 0), 1);
    EXPECT_EQ(read_dib(dib, GetParam().file), 0);
    EXPECT_EQ(dib.GetBitmapInfoHeader(), nullptr);
    EXPECT_EQ(dib.GetImageBuffer(), nullptr);
}

std::vector<BYTE> with_type(std::vector<BYTE> f, BYTE a, BYTE b)
{
    f[0] = a;
    f[1] = b;
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    Files, DibRefusal,
    ::testing::Values(BadBmp{"nottype", with_type(bmp_file(2, 2, 24, 0, 0, 16), 'B', 'A')},
                      BadBmp{"shortfileheader", std::vector<BYTE>{'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0}},
                      BadBmp{"headerblockbelow40", bmp_file(2, 2, 24, 0, 0, 16, 14 + 12)},
                      BadBmp{"headerblockbeyondfile", bmp_file(2, 2, 24, 0, 0, 16, 100000)},
                      BadBmp{"truncatedrows", bmp_file(2, 2, 24, 0, 0, 15)},
                      BadBmp{"imagesizebeyondfile", bmp_file(2, 2, 24, 0, 0, 16, 0, 1u << 30)},
                      BadBmp{"tablebeyondblock", bmp_file(2, 2, 8, 300, 2, 8)},
                      BadBmp{"hugeclaim", bmp_file(1 << 20, 1 << 20, 24, 0, 0, 16)},
                      BadBmp{"zerowidth", bmp_file(0, 2, 24, 0, 0, 16)},
                      // Found by fuzzing: rows × row bytes overflowed 64 bits.
                      BadBmp{"rowsoverflow", bmp_file(0x7FFFFFFF, -0x7FFFFFFF, 0xFFFF, 0, 0, 16)}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(Dib, FileLayerErrorsBecomeZero)
{
    const std::vector<BYTE> good = bmp_file(8, 8, 24, 0, 0, 8 * 24);
    zt::FailingFile failing(good, 60);
    CDib dib;
    EXPECT_EQ(dib.Read(&failing), 0);
    ASSERT_EQ(read_dib(dib, good), 1);
    zt::FailingFile failing_write({}, 30);
    EXPECT_EQ(dib.Write(&failing_write), 0);
    CDib empty;
    CMemFile mem;
    EXPECT_EQ(empty.Write(&mem), 0);
}

TEST(Dib, SerializesAndIsCreatableByName)
{
    CDib dib(6, 4, 24, 0);
    for (DWORD i = 0; i < dib.GetSizeImage(); ++i) dib.GetImageBuffer()[i] = static_cast<BYTE>(i);
    CMemFile mem;
    {
        CArchive ar(&mem, CArchive::store);
        ar.WriteObject(&dib);
    }
    mem.SeekToBegin();
    CArchive ar(&mem, CArchive::load);
    std::unique_ptr<CObject> obj(ar.ReadObject(RUNTIME_CLASS(CDib)));
    ASSERT_NE(obj, nullptr);
    auto* back = static_cast<CDib*>(obj.get());
    EXPECT_STREQ(back->GetRuntimeClass()->m_lpszClassName, "CDib");
    EXPECT_EQ(back->GetRuntimeClass()->m_wSchema, 0u);
    ASSERT_EQ(back->GetSizeImage(), dib.GetSizeImage());
    EXPECT_EQ(std::memcmp(back->GetImageBuffer(), dib.GetImageBuffer(), dib.GetSizeImage()), 0);
}

TEST(Dib, MappedFiles)
{
    CDib dib(7, 3, 8, 0);
    for (DWORD i = 0; i < dib.GetSizeImage(); ++i) dib.GetImageBuffer()[i] = static_cast<BYTE>(i + 1);
    const std::string path = zt::temp_path("mapped.bmp");
    const std::vector<BYTE> image(dib.GetImageBuffer(), dib.GetImageBuffer() + dib.GetSizeImage());
    ASSERT_EQ(dib.CopyToMapFile(path.c_str()), 1);
    // Now the bitmap lives in the file.
    ASSERT_NE(dib.GetImageBuffer(), nullptr);
    EXPECT_EQ(std::vector<BYTE>(dib.GetImageBuffer(), dib.GetImageBuffer() + dib.GetSizeImage()), image);
    dib.Empty();

    CDib mapped;
    ASSERT_EQ(mapped.AttachMapFile(path.c_str(), 1), 1);
    EXPECT_EQ(mapped.GetDimensions(), CSize(7, 3));
    EXPECT_EQ(mapped.GetColorTableEntries(), 256);
    EXPECT_EQ(std::vector<BYTE>(mapped.GetImageBuffer(), mapped.GetImageBuffer() + mapped.GetSizeImage()), image);
    CDib reread;
    ASSERT_EQ(read_dib(reread, zt::read_bytes(path)), 1);
    EXPECT_EQ(reread.GetSizeImage(), mapped.GetSizeImage());

    // Not a BMP, or rows beyond the end of the file: nothing stays attached.
    const std::string bad = zt::temp_path("mapped_bad.bmp");
    zt::write_bytes(bad, with_type(bmp_file(2, 2, 24, 0, 0, 16), 'X', 'M'));
    EXPECT_EQ(mapped.AttachMapFile(bad.c_str(), 0), 0);
    EXPECT_EQ(mapped.GetBitmapInfoHeader(), nullptr);
    zt::write_bytes(bad, bmp_file(2, 2, 24, 0, 0, 10));
    EXPECT_EQ(mapped.AttachMapFile(bad.c_str(), 0), 0);
    EXPECT_EQ(mapped.AttachMapFile(zt::temp_path("none.bmp").c_str(), 0), 0);
}

TEST(Dib, AttachMemoryAdoptsAPackedBlock)
{
    // 40-byte header, 2-entry table, 2 × 2 rows of 1 bit.
    auto* block = static_cast<BYTE*>(std::calloc(1, 40 + 8 + 8));
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(block);
    h->biSize = 40;
    h->biWidth = 2;
    h->biHeight = 2;
    h->biPlanes = 1;
    h->biBitCount = 1;
    block[40 + 6] = 0xFF;  // red of entry 1
    CDib dib;
    ASSERT_EQ(dib.AttachMemory(block, 1), 1);  // owned: freed by the object
    EXPECT_EQ(dib.GetColorTableEntries(), 2);
    EXPECT_EQ(dib.GetImageBuffer(), block + 48);
    EXPECT_EQ(dib.GetSizeImage(), 8u);
    EXPECT_EQ(dib.GetPalette()->entries[1].peRed, 0xFF);
    EXPECT_EQ(dib.AttachMemory(nullptr), 0);
}

} // namespace
