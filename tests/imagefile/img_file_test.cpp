// CImgFile: extension dispatch both ways, BMP through CDib, the "IFO0" record, drawing,
// copies and the icon copies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/byte_reader.h"
#include "imagefile/codec_test_util.h"
#include "imagefile/dib.h"
#include "imagefile/img_file.h"
#include "imagefile/targa_image.h"

namespace {

using zt::px;

CString tmp(const std::string& name) { return CString(zt::temp_path(name).c_str()); }

struct Format {
    const char* ext;
    bool exact;      // lossless
    bool keeps_key;  // keys survive the save
};

class ImgFileFormats : public ::testing::TestWithParam<Format> {};

TEST_P(ImgFileFormats, SaveAndLoadByExtension)
{
    const Format f = GetParam();
    CKrFrameBuffer src = zt::varied_picture(64, 40, zt::test_seed());
    CImgFile out;
    ASSERT_EQ(out.SetImage(&src), 0);
    const CString name = tmp(std::string("facade") + f.ext);
    ASSERT_EQ(out.SaveImage(name), 0);

    CImgFile in;
    ASSERT_EQ(in.LoadImage(name), 0);
    EXPECT_EQ(in.GetSize(), CSize(64, 40));
    EXPECT_EQ(in.GetKeyFlag(), f.keeps_key ? 1 : 0);
    if (f.exact && f.keeps_key) {
        EXPECT_EQ(zt::diff_pixels(*in.GetImg(), src), 0);
    } else if (f.exact) {
        for (long y = 0; y < 40; ++y)
            for (long x = 0; x < 64; ++x)
                ASSERT_EQ(px(*in.GetImg(), x, y), px(src, x, y) | 0xFF000000u) << x << "," << y;
    }
    EXPECT_EQ(in.GetImgByte(), 64u * 40 * 4);
    EXPECT_NE(in.GetImgBufPointer(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Extensions, ImgFileFormats,
                         ::testing::Values(Format{".tga", true, true}, Format{".TGA", true, true},
                                           Format{".pct", true, true}, Format{".Pct", true, true},
                                           Format{".bmp", true, false}, Format{".BMP", true, false},
                                           Format{".jpg", false, false}, Format{".JPG", false, false}),
                         [](const auto& info) {
                             std::string s = info.param.ext + 1;
                             if (s[0] < 'a') s += "_caps";
                             return s;
                         });

TEST(ImgFile, JpegKeyOptionReachesTheCodec)
{
    CKrFrameBuffer src(64, 64, 1);
    src.ClearCol(0x80406080);
    CImgFile f;
    ASSERT_EQ(f.SaveImage(&src, tmp("keyed.jpg"), 90, 1), 0);
    ASSERT_EQ(f.LoadImage(), 0);
    EXPECT_EQ(f.GetKeyFlag(), 1);
    EXPECT_NEAR(static_cast<int>(px(*f.GetImg(), 10, 10) >> 24), 0x80, 3);
}

TEST(ImgFile, NamesWithoutExtensionProbeInOrder)
{
    const std::string base = zt::temp_path("probe");
    for (const char* ext : {".tga", ".pct", ".bmp", ".jpg"}) std::remove((base + ext).c_str());
    CKrFrameBuffer small(3, 2, 1), large(5, 4, 1);
    small.ClearCol(0xFF112233);
    large.ClearCol(0xFF445566);
    CImgFile f;
    ASSERT_EQ(f.SaveImage(&small, CString((base + ".pct").c_str())), 0);
    ASSERT_EQ(f.SaveImage(&large, CString((base + ".bmp").c_str())), 0);
    EXPECT_EQ(f.LoadImage(CString(base.c_str())), 0);
    EXPECT_EQ(f.GetSize(), CSize(3, 2));  // .pct comes before .bmp
    ASSERT_EQ(f.SaveImage(&large, CString((base + ".tga").c_str())), 0);
    EXPECT_EQ(f.LoadImage(CString(base.c_str())), 0);
    EXPECT_EQ(f.GetSize(), CSize(5, 4));  // .tga first of all
    EXPECT_EQ(f.GetFileName(), CString(base.c_str()));
    EXPECT_EQ(f.LoadImage(tmp("probe_none")), -1);
    EXPECT_EQ(f.GetSize(), CSize(0, 0));

    // Saving without extension writes a run-length Targa under name + ".tga".
    std::remove((base + "_saved.tga").c_str());
    ASSERT_EQ(f.SaveImage(&small, CString((base + "_saved").c_str())), 0);
    const std::vector<BYTE> tga = zt::read_bytes(base + "_saved.tga");
    ASSERT_GT(tga.size(), 18u);
    EXPECT_EQ(tga[2], 10);
}

TEST(ImgFile, RefusedLoadsLeaveNoImage)
{
    CImgFile f;
    CKrFrameBuffer src = zt::varied_picture(6, 6, 1);
    ASSERT_EQ(f.SetImage(&src), 0);
    // An unknown extension, even for a real picture file.
    const CString gif = tmp("picture.gif");
    ASSERT_EQ(CKrTargaImage().SaveImage(const_cast<CString*>(&gif), &src, 1), 0);
    EXPECT_EQ(f.LoadImage(gif), -1);
    EXPECT_EQ(f.GetSize(), CSize(0, 0));
    EXPECT_EQ(f.GetImgBufPointer(), nullptr);

    // An 8-bit BMP: readable as a DIB, refused as a picture.
    CDib dib(4, 4, 8, 0);
    const std::string bmp8 = zt::temp_path("eight.bmp");
    {
        CFile file;
        ASSERT_TRUE(file.Open(bmp8.c_str(), CFile::modeCreate | CFile::modeWrite));
        ASSERT_EQ(dib.Write(&file), 1);
    }
    ASSERT_EQ(f.SetImage(&src), 0);
    EXPECT_EQ(f.LoadImage(CString(bmp8.c_str())), -1);
    EXPECT_EQ(f.GetImg()->IsBuffer(), 1);

    // A broken file of a known kind, a missing file, an empty name.
    const std::string broken = zt::temp_path("broken.pct");
    zt::write_bytes(broken, std::vector<BYTE>(600, 0));
    EXPECT_EQ(f.LoadImage(CString(broken.c_str())), -1);
    EXPECT_EQ(f.LoadImage(tmp("missing.jpg")), -1);
    EXPECT_EQ(f.LoadImage(CString("")), -1);
    EXPECT_EQ(f.SaveImage(), -1);  // no image held
    EXPECT_EQ(f.SaveImage(&src, tmp("x.gif")), -1);
}

TEST(ImgFile, BmpRowsAndOpaqueKeys)
{
    // A bottom-up and a top-down 24-bit file of the same picture load alike.
    CKrFrameBuffer src = zt::varied_picture(3, 3, 5);
    for (int invert : {0, 1}) {
        CDib dib(3, 3, 24, invert);
        ASSERT_EQ(src.CopyBitmap24(dib.GetImageBuffer(), nullptr, invert), 0);
        const std::string path = zt::temp_path("rows" + std::to_string(invert) + ".bmp");
        {
            CFile file;
            ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite));
            ASSERT_EQ(dib.Write(&file), 1);
        }
        CImgFile f;
        ASSERT_EQ(f.LoadImage(CString(path.c_str())), 0);
        for (long y = 0; y < 3; ++y)
            for (long x = 0; x < 3; ++x) EXPECT_EQ(px(*f.GetImg(), x, y), px(src, x, y) | 0xFF000000u) << invert;
    }
}

// A 3 × 2 24-bit BMP whose header announces clr_used colours and whose pixel rows start
// where offset says, after table_bytes of colour table (and any gap).
std::vector<BYTE> bmp24_with_table(DWORD clr_used, size_t table_bytes, DWORD offset, const CKrFrameBuffer& pic)
{
    const size_t stride = 12;
    std::vector<BYTE> f(std::max<size_t>(offset, 54 + table_bytes) + stride * 2, 0);
    f[0] = 'B';
    f[1] = 'M';
    zk::put_le32(&f[2], static_cast<DWORD>(f.size()));
    zk::put_le32(&f[10], offset);
    zk::put_le32(&f[14], 40);
    zk::put_le32(&f[18], 3);
    zk::put_le32(&f[22], 2);
    zk::put_le16(&f[26], 1);
    zk::put_le16(&f[28], 24);
    zk::put_le32(&f[46], clr_used);
    for (size_t i = 0; i < table_bytes; ++i) f[54 + i] = static_cast<BYTE>(0xC0 + i % 7);
    for (long y = 0; y < 2; ++y)
        for (long x = 0; x < 3; ++x) {
            BYTE* d = &f[offset + static_cast<size_t>(1 - y) * stride + static_cast<size_t>(x) * 3];
            const DWORD v = px(pic, x, y);
            d[0] = static_cast<BYTE>(v);
            d[1] = static_cast<BYTE>(v >> 8);
            d[2] = static_cast<BYTE>(v >> 16);
        }
    return f;
}

TEST(ImgFile, TwentyFourBitBmpWithAColourTableLoads)
{
    const CKrFrameBuffer pic = zt::varied_picture(3, 2, 11);
    struct Case {
        const char* what;
        DWORD clr_used;
        size_t table_bytes;
        DWORD offset;
    } cases[] = {
        {"announced table", 256, 1024, 54 + 1024},
        {"table not announced", 0, 1024, 54 + 1024},
        {"short table and a gap", 16, 64, 54 + 200},
        {"announced but absent", 256, 0, 54},
        {"announced, partly present", 256, 40, 54 + 40},
    };
    for (const Case& c : cases) {
        const std::string path = zt::temp_path(std::string("table_") + std::to_string(&c - cases) + ".bmp");
        zt::write_bytes(path, bmp24_with_table(c.clr_used, c.table_bytes, c.offset, pic));
        CImgFile f;
        ASSERT_EQ(f.LoadImage(CString(path.c_str())), 0) << c.what;
        ASSERT_EQ(f.GetSize(), CSize(3, 2)) << c.what;
        for (long y = 0; y < 2; ++y)
            for (long x = 0; x < 3; ++x)
                EXPECT_EQ(px(*f.GetImg(), x, y), px(pic, x, y) | 0xFF000000u) << c.what << " at " << x << "," << y;
    }
}

std::vector<BYTE> record(const char tag[4], std::int32_t x, std::int32_t y, std::int32_t mode, const std::string& name,
                         std::int64_t stated_length = -1)
{
    std::vector<BYTE> r(20 + name.size());
    std::memcpy(r.data(), tag, 4);
    zk::put_le32(&r[4], static_cast<DWORD>(x));
    zk::put_le32(&r[8], static_cast<DWORD>(y));
    zk::put_le32(&r[12], static_cast<DWORD>(mode));
    zk::put_le32(&r[16], static_cast<DWORD>(stated_length >= 0 ? stated_length : static_cast<std::int64_t>(name.size())));
    std::memcpy(r.data() + 20, name.data(), name.size());
    return r;
}

TEST(ImgFile, SettingsRecord)
{
    CImgFile f(CString("C:\\pics\\logo.tga"), -12, 34, 1);
    CMemFile mem;
    ASSERT_EQ(f.Write(&mem), 1);
    EXPECT_EQ(mem.data(), record("IFO0", -12, 34, 1, "C:\\pics\\logo.tga"));

    CImgFile back;
    mem.SeekToBegin();
    ASSERT_EQ(back.Read(&mem), 1);
    EXPECT_EQ(back.GetFileName(), CString("C:\\pics\\logo.tga"));
    long x = 0, y = 0;
    back.GetAddress(&x, &y);
    EXPECT_EQ(x, -12);
    EXPECT_EQ(y, 34);
    EXPECT_EQ(back.GetCopyMode(), 1);

    // Another tag is still read.
    std::vector<BYTE> other = record("XXXX", 1, 2, 0, "a.pct");
    CMemFile other_mem(other.data(), other.size());
    CImgFile o;
    EXPECT_EQ(o.Read(&other_mem), 1);
    EXPECT_EQ(o.GetFileName(), CString("a.pct"));

    // A short name: fields read so far stay, the name empties, 0. A length far beyond the
    // file is refused without trying to allocate it.
    for (std::int64_t stated : {6LL, 0xFFFFFFF0LL}) {
        std::vector<BYTE> cut = record("IFO0", 7, 8, 1, "abc", stated);
        CMemFile cut_mem(cut.data(), cut.size());
        CImgFile c(CString("old"), 0, 0, 0);
        EXPECT_EQ(c.Read(&cut_mem), 0);
        EXPECT_EQ(c.GetFileName(), CString(""));
        EXPECT_EQ(c.GetAddress(), CPoint(7, 8));
    }
    std::vector<BYTE> head_only = record("IFO0", 7, 8, 1, "");
    head_only.resize(10);
    CMemFile head_mem(head_only.data(), head_only.size());
    CImgFile h;
    EXPECT_EQ(h.Read(&head_mem), 0);
    EXPECT_EQ(h.GetAddress(), CPoint(7, 0));

    zt::FailingFile failing({}, 10);
    EXPECT_EQ(f.Write(&failing), 0);
}

TEST(ImgFile, SerializesByClassName)
{
    CImgFile f(CString("pic.jpg"), 3, 4, 1);
    CMemFile mem;
    {
        CArchive ar(&mem, CArchive::store);
        ar.WriteObject(&f);
    }
    mem.SeekToBegin();
    CArchive ar(&mem, CArchive::load);
    std::unique_ptr<CObject> obj(ar.ReadObject(nullptr));
    ASSERT_NE(obj, nullptr);
    ASSERT_TRUE(obj->IsKindOf(RUNTIME_CLASS(CImgFile)));
    auto* back = static_cast<CImgFile*>(obj.get());
    EXPECT_EQ(back->GetFileName(), CString("pic.jpg"));
    EXPECT_EQ(back->GetAddress(), CPoint(3, 4));
    EXPECT_EQ(back->GetCopyMode(), 1);
}

TEST(ImgFile, DrawFrameRecordsWhatItWrote)
{
    CKrFrameBuffer src(10, 6, 1);
    src.ClearCol(0xFF00FF00);
    CImgFile f(CString("x.tga"), -4, 3, 0);
    ASSERT_EQ(f.SetImage(&src), 0);
    CKrFrameBuffer target(8, 8, 1);
    ASSERT_EQ(f.DrawFrame(&target), 0);
    EXPECT_EQ(f.GetDispEria(), CBox(0L, 3L, 6L, 5L));
    EXPECT_EQ(px(target, 0, 3), 0xFF00FF00u);
    EXPECT_EQ(px(target, 6, 3), 0u);
    f.SetAddress(50, 50);
    EXPECT_EQ(f.DrawFrame(&target), -1);
    EXPECT_EQ(f.GetDispEria(), CBox());
    EXPECT_EQ(f.DrawFrame(nullptr), -1);

    // CopyImage writes into the held image; it needs one.
    CKrFrameBuffer red(2, 2, 1);
    red.ClearCol(0xFFFF0000);
    CBox done;
    EXPECT_EQ(f.CopyImage(&red, 0, 0, 2, 2, 9, 5, 0, &done), 0);
    EXPECT_EQ(done, CBox(9L, 5L, 1L, 1L));
    EXPECT_EQ(px(*f.GetImg(), 9, 5), 0xFFFF0000u);
    f.DeleteImage();
    EXPECT_EQ(f.CopyImage(&red, 0, 0, 2, 2, 0, 0, 0, nullptr), -1);
    CKrFrameBuffer empty;
    EXPECT_EQ(f.SetImage(&empty), -1);
}

TEST(ImgFile, CopiesAreDeepAndKeepTheirOwnDrawnArea)
{
    CKrFrameBuffer src = zt::varied_picture(4, 4, 2);
    CImgFile a(CString("a.tga"), 1, 2, 1);
    ASSERT_EQ(a.SetImage(&src), 0);
    CKrFrameBuffer target(8, 8, 1);
    ASSERT_EQ(a.DrawFrame(&target), 0);
    CImgFile b(a);
    EXPECT_EQ(b.GetDispEria(), CBox());
    EXPECT_NE(b.GetImgBufPointer(), a.GetImgBufPointer());
    EXPECT_EQ(zt::diff_pixels(*b.GetImg(), src), 0);
    CImgFile c(CString("c.tga"), 0, 0, 0);
    ASSERT_EQ(c.DrawFrame(&target), -1);
    c.GetDispEria() = CBox(1L, 1L, 1L, 1L);
    c = a;
    EXPECT_EQ(c.GetDispEria(), CBox(1L, 1L, 1L, 1L));
    EXPECT_EQ(c.GetFileName(), CString("a.tga"));
    EXPECT_EQ(c.GetCopyMode(), 1);
}

TEST(ImgFile, IconCopies)
{
    CKrFrameBuffer src = zt::varied_picture(40, 30, 9);
    const CString bmp = tmp("icon_source.bmp");
    CImgFile f;
    ASSERT_EQ(f.SaveImage(&src, bmp), 0);

    // Not loaded yet: SaveIcon loads first; the format follows the icon's extension.
    CImgFile g(bmp, 0, 0, 0);
    const CString icon_path = tmp("icon.tga");  // (tmp removes an old file: call it once)
    ASSERT_EQ(g.SaveIcon(icon_path, 8, 6), 0);
    CImgFile icon;
    ASSERT_EQ(icon.LoadImage(icon_path), 0);
    EXPECT_EQ(icon.GetSize(), CSize(8, 6));

    // SaveIconBmp writes the small copy over the .bmp the image came from.
    ASSERT_EQ(g.SaveIconBmp(10, 5), 0);
    CImgFile again;
    ASSERT_EQ(again.LoadImage(bmp), 0);
    EXPECT_EQ(again.GetSize(), CSize(10, 5));

    CImgFile nameless;
    EXPECT_EQ(nameless.SaveIconBmp(4, 4), -1);
    EXPECT_EQ(nameless.SaveIcon(tmp("n.tga"), 4, 4), -1);
    EXPECT_EQ(g.SaveIcon(tmp("bad.tga"), 0, 4), -1);
}

} // namespace
