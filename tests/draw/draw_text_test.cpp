// The text object: defaults, the setters' argument orders, copies and their texture names,
// the "DTO0" stored form (round trips, several objects in a row, foreign tags, every
// truncation, file errors, storing by class name) and drawing.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "draw/draw_text.h"
#include "platform/gdi_text/code_page.h"
#include "support/test_support.h"

namespace {

const char* const kWord = "\xE5\xAD\x97\xE5\xB9\x95";  // 字幕

// A memory file whose reads throw once `budget` bytes have passed, as a disk error would.
class ThrowingFile : public CMemFile {
public:
    ThrowingFile(const std::vector<BYTE>& data, std::size_t budget) : CMemFile(data.data(), data.size()), budget_(budget) {}
    UINT Read(void* buffer, UINT count) override
    {
        if (count > budget_) throw CFileException(CFileException::hardIO);
        budget_ -= count;
        return CMemFile::Read(buffer, count);
    }

private:
    std::size_t budget_;
};

CDrawText decorated()
{
    CDrawText t;
    t.SetFontName("IPAMincho");
    t.SetString(CString(kWord));
    t.SetPos(5, 90);
    t.SetSize(40, 80);
    t.SetSpace(-2);
    t.SetItalic(1);
    t.SetWeight(1);
    t.SetFormat(2);
    t.SetEria(300, 50);
    t.SetDir(0);
    t.SetSpPer(150);
    t.SetAntiScale(8);
    t.SetFitMode(1);
    t.SetFitStrMax(120, 60);
    t.SetFitSpMax(4, -4);
    t.SetAspectMode(1);
    t.SetAddressMode(1);
    t.SetNextAddress(11, 22);
    t.SetEdgeType(1, 3, 1);
    t.SetShadType(2, 4, 5, 1);
    t.SetBodyGrad(1, 4, 7, 8, 0xFF010203u, 0xFF040506u);
    t.SetEdgeCol(0xFF00FF00u);
    t.SetShadText(1, "shadow.tga");
    t.SetBodyText(2, CString("body.tga"));
    t.SetEdgeText(0, "edge.bmp");
    return t;
}

std::vector<BYTE> stored(CDrawText& t)
{
    CMemFile f;
    EXPECT_EQ(t.Write(&f), 1);
    return f.data();
}

void expect_same(const CDrawText& a, const CDrawText& b)
{
    EXPECT_EQ(zk::pack_font_info(a.GetFontInfo()), zk::pack_font_info(b.GetFontInfo()));
    EXPECT_EQ(a.GetString(), b.GetString());
    EXPECT_EQ(a.GetBodyText_File(), b.GetBodyText_File());
    EXPECT_EQ(a.GetEdgeText_File(), b.GetEdgeText_File());
    EXPECT_EQ(a.GetShadText_File(), b.GetShadText_File());
}

void expect_connected(const CDrawText& t)
{
    const tagKRBWDRAWINFO& bw = t.GetFontInfo().BwDrawInfo;
    EXPECT_STREQ(bw.BodyText.File, t.GetBodyText_File().GetString());
    EXPECT_STREQ(bw.EdgeText.File, t.GetEdgeText_File().GetString());
    EXPECT_STREQ(bw.ShadText.File, t.GetShadText_File().GetString());
}

} // namespace

TEST(DrawText, DefaultsAndArgumentOrders)
{
    CDrawText t;
    EXPECT_EQ(t.GetFontName(), CString(zk::default_face_name()));
    EXPECT_EQ(t.GetPos(), CPoint(72, 438));
    EXPECT_EQ(t.GetSize_Height(), 32);
    EXPECT_EQ(t.GetSize_WidthPer(), 100);
    EXPECT_EQ(t.GetAntiScale(), 16);
    EXPECT_EQ(t.GetFontInfo().BwDrawInfo.AntiScale, 16);
    EXPECT_EQ(t.GetBodyMode(), kBwModeColor);
    EXPECT_EQ(t.GetEdgeMode(), kBwModeColor);
    EXPECT_EQ(t.GetShadMode(), kBwModeColor);
    EXPECT_EQ(t.GetBodyCol(), 0xFFFFFFFFu);
    EXPECT_EQ(t.GetEdgeCol(), 0xFF000000u);
    EXPECT_EQ(t.GetBodyGrad_x(), -1);
    EXPECT_EQ(t.GetShadGrad_y(), -1);
    EXPECT_EQ(t.GetEdgeType_Size(), 0);
    EXPECT_TRUE(t.GetString().IsEmpty());

    t.SetSize(40, 80);
    EXPECT_EQ(t.GetSize_Height(), 40);
    EXPECT_EQ(t.GetSize_WidthPer(), 80);
    EXPECT_EQ(t.GetSize(), CSize(80, 40));
    t.SetSize(CSize(40, 80));
    EXPECT_EQ(t.GetSize_WidthPer(), 40);
    EXPECT_EQ(t.GetSize_Height(), 80);
    t.SetFitStrMax(CSize(130, 70));
    EXPECT_EQ(t.GetFitStrMax_Max(), 130);
    EXPECT_EQ(t.GetFitStrMax_Min(), 70);
    t.SetNextAddress(CPoint(3, 4));
    t.SetNextAddress(CPoint(5, 6));  // sets, does not add
    EXPECT_EQ(t.GetNextAddress(), CPoint(5, 6));

    t.SetFontName("0123456789012345678901234567890123456789");
    EXPECT_EQ(t.GetFontName(), CString("01234567890123456789012345678901"));
    EXPECT_EQ(t.CheckFontName(nullptr, "IPAGothic"), 0);
    EXPECT_EQ(t.CheckFontName(nullptr, "No Such Face Zz"), 1);
}

TEST(DrawText, CopiesReferToTheirOwnTextureNames)
{
    auto original = std::make_unique<CDrawText>(decorated());
    ASSERT_EQ(original->GetBodyMode(), kBwModeTexture);
    CDrawText copy(*original);
    CDrawText assigned;
    assigned = *original;
    for (const CDrawText* t : {&copy, &assigned}) {
        const tagKRBWDRAWINFO& bw = t->GetFontInfo().BwDrawInfo;
        EXPECT_NE(bw.BodyText.File, original->GetFontInfo().BwDrawInfo.BodyText.File);
        expect_connected(*t);
        expect_same(*t, *original);
    }
    original.reset();
    EXPECT_STREQ(copy.GetFontInfo().BwDrawInfo.BodyText.File, "body.tga");
    long mode = -1;
    EXPECT_EQ(assigned.GetBodyText(&mode), CString("body.tga"));
    EXPECT_EQ(mode, 2);
}

TEST(DrawText, StoredFormRoundTripsObjectAfterObject)
{
    CDrawText a = decorated();
    CDrawText b;
    b.SetString(CString("second"));
    b.SetDir(1);
    CMemFile file;
    ASSERT_EQ(a.Write(&file), 1);
    ASSERT_EQ(b.Write(&file), 1);
    const std::vector<BYTE> bytes = file.data();
    ASSERT_EQ(std::memcmp(bytes.data(), "DTO0", 4), 0);
    // tag, record, then four strings with their lengths
    const std::size_t first = 4 + 284 + (4 + std::strlen(kWord)) + (4 + 8) + (4 + 8) + (4 + 10);
    ASSERT_EQ(bytes.size(), first + 4 + 284 + (4 + 6) + 3 * 4);
    EXPECT_EQ(std::memcmp(bytes.data() + 288, "\x06\0\0\0", 4), 0);

    CMemFile in(bytes.data(), bytes.size());
    CDrawText ra, rb;
    ASSERT_EQ(ra.Read(&in), 1);
    ASSERT_EQ(rb.Read(&in), 1);
    expect_same(ra, a);
    expect_same(rb, b);
    expect_connected(ra);
    CDrawText past;
    EXPECT_EQ(past.Read(&in), 0);

    // A foreign tag is read all the same.
    std::vector<BYTE> foreign(bytes.begin(), bytes.begin() + static_cast<long>(first));
    std::memcpy(foreign.data(), "ABCD", 4);
    CMemFile fin(foreign.data(), foreign.size());
    CDrawText rf;
    ASSERT_EQ(rf.Read(&fin), 1);
    expect_same(rf, a);
}

TEST(DrawText, EveryTruncationAndFileErrorFailsCleanly)
{
    CDrawText a = decorated();
    const std::vector<BYTE> bytes = stored(a);
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        CMemFile in(bytes.data(), cut);
        CDrawText t;
        EXPECT_EQ(t.Read(&in), 0);
        expect_connected(t);
        ThrowingFile failing(bytes, cut);
        CDrawText u;
        EXPECT_EQ(u.Read(&failing), 0);
        expect_connected(u);
    }
    // A string cut short is left empty; the fields before it stay read.
    CMemFile in(bytes.data(), 288 + 4 + 2);
    CDrawText t;
    t.SetString(CString("old"));
    EXPECT_EQ(t.Read(&in), 0);
    EXPECT_TRUE(t.GetString().IsEmpty());
    EXPECT_EQ(t.GetFontName(), CString("IPAMincho"));

    // Lengths no string can have: negative, or far beyond the file.
    for (std::int32_t len : {-1, INT32_MIN, INT32_MAX}) {
        std::vector<BYTE> bad(bytes.begin(), bytes.begin() + 288);
        for (int i = 0; i < 4; ++i) bad.push_back(static_cast<BYTE>(static_cast<std::uint32_t>(len) >> (8 * i)));
        bad.insert(bad.end(), 64, 'x');
        CMemFile bin(bad.data(), bad.size());
        CDrawText u;
        EXPECT_EQ(u.Read(&bin), 0) << len;
        EXPECT_TRUE(u.GetString().IsEmpty());
    }
}

TEST(DrawText, StoredByClassName)
{
    CDrawText a = decorated();
    CMemFile mem;
    {
        CArchive ar(&mem, CArchive::store);
        ar.WriteObject(&a);
    }
    EXPECT_STREQ(RUNTIME_CLASS(CDrawText)->m_lpszClassName, "CDrawText");
    EXPECT_EQ(RUNTIME_CLASS(CDrawText)->m_wSchema, VERSIONABLE_SCHEMA);
    mem.SeekToBegin();
    CArchive ar(&mem, CArchive::load);
    std::unique_ptr<CObject> obj(ar.ReadObject(nullptr));
    ASSERT_NE(obj, nullptr);
    ASSERT_TRUE(obj->IsKindOf(RUNTIME_CLASS(CDrawText)));
    const auto* back = static_cast<const CDrawText*>(obj.get());
    expect_same(*back, a);
    expect_connected(*back);
}

TEST(DrawText, DefaultObjectDrawsWhiteTextFromX72)
{
    CDrawText t;
    t.SetString(CString(kWord));
    CKrFrameBuffer fb(720, 486, 1);
    ASSERT_EQ(t.DrawFrame(nullptr, &fb), 0);
    const CBox& area = t.GetDispEria();
    ASSERT_GT(area.width, 0);
    long left = LONG_MAX, top = LONG_MAX, bottom = -1, white = 0;
    for (long y = 0; y < 486; ++y)
        for (long x = 0; x < 720; ++x) {
            const DWORD p = zt::px(fb, x, y);
            if (!p) continue;
            // no edge and no shadow: only the white body, at some coverage
            EXPECT_EQ(p & 0x00FFFFFFu, 0x00FFFFFFu) << x << "," << y;
            if (p == 0xFFFFFFFFu) ++white;
            left = std::min(left, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    EXPECT_GT(white, 50);
    EXPECT_GE(left, 72);
    EXPECT_LE(left, 72 + 4);
    EXPECT_GE(top, 438 - 32);
    EXPECT_LE(bottom, 437);
    EXPECT_GE(area.x, 72);
    EXPECT_EQ(t.GetNextAddress_Y(), 438);

    // Empty text draws nothing and leaves the display area empty.
    CDrawText e;
    CKrFrameBuffer clean(720, 486, 1);
    ASSERT_EQ(e.DrawFrame(nullptr, &clean), 0);
    EXPECT_EQ(e.GetDispEria(), CBox());
    EXPECT_EQ(zt::diff_pixels(clean, CKrFrameBuffer(720, 486, 1)), 0);
}

TEST(DrawText, TexturedObjectDrawsTheSameAfterARoundTrip)
{
    CDrawText t;
    t.SetString(CString(kWord));
    t.SetAntiScale(4);
    t.SetPos(10, 60);
    t.SetEdgeType(0, 2, 0);
    const std::string texture = zt::data_path("draw/texture_stripes.tga");
    t.SetBodyText(1, CString(texture.c_str()));
    t.SetEdgeText(0, texture.c_str());
    CKrFrameBuffer fb1(160, 80, 1);
    ASSERT_EQ(t.DrawFrame(nullptr, &fb1), 0);

    const std::vector<BYTE> bytes = stored(t);
    CMemFile in(bytes.data(), bytes.size());
    CDrawText r;
    ASSERT_EQ(r.Read(&in), 1);
    CKrFrameBuffer fb2(160, 80, 1);
    ASSERT_EQ(r.DrawFrame(nullptr, &fb2), 0);
    EXPECT_EQ(zt::diff_pixels(fb1, fb2), 0);
    EXPECT_EQ(r.GetDispEria(), t.GetDispEria());

    // The striped texture really shows: the body is not one flat colour.
    std::set<DWORD> colours;
    for (long y = 0; y < 80; ++y)
        for (long x = 0; x < 160; ++x)
            if (zt::px(fb1, x, y) >> 24 == 0xFF) colours.insert(zt::px(fb1, x, y));
    EXPECT_GT(colours.size(), 2u);

    // DrawFrameEria hands back the display area as the whole box.
    CKrFrameBuffer alone;
    CBox whole, body, edge, shadow;
    ASSERT_EQ(r.DrawFrameEria(nullptr, &alone, whole, body, edge, shadow), 0);
    EXPECT_EQ(whole, r.GetDispEria());
    EXPECT_EQ(static_cast<long>(alone.GetWidth()), whole.width);
}
