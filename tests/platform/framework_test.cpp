// The framework layer: CString, CFile and CMemFile, CArchive and creation by class name.
#include <gtest/gtest.h>

#include <memory>
#include <sys/stat.h>

#include "platform/framework/carchive.h"
#include "platform/framework/cfile.h"
#include "platform/framework/cobject.h"
#include "platform/framework/cstring.h"
#include "support/test_support.h"

TEST(FrameworkString, TheOperationsTheLibraryUses)
{
    CString s("  \"C:\\caps\\\"  ");
    s.Trim();
    EXPECT_EQ(s, "\"C:\\caps\\\"");
    s.TrimLeft('"');
    s.TrimRight('"');
    EXPECT_EQ(s, "C:\\caps\\");
    EXPECT_EQ(s.GetLength(), 8);
    EXPECT_EQ(s.ReverseFind('\\'), 7);
    EXPECT_EQ(s.Find("caps"), 3);
    EXPECT_EQ(s.Find('x'), -1);
    EXPECT_EQ(s.Left(2), "C:");
    EXPECT_EQ(s.Right(5), "caps\\");
    EXPECT_EQ(s.Mid(3, 4), "caps");
    EXPECT_EQ(s.Mid(30), "");
    EXPECT_EQ(CString("abc").Left(-3), "");

    CString f;
    f.Format("%s Version %s", "Velmora", "4, 6, 12, 8");
    EXPECT_EQ(f, "Velmora Version 4, 6, 12, 8");
    f.AppendFormat(" [%d]", 7);
    EXPECT_EQ(f, "Velmora Version 4, 6, 12, 8 [7]");

    EXPECT_EQ(CString("Image.TGA").CompareNoCase("image.tga"), 0);
    EXPECT_LT(CString("a").CompareNoCase("B"), 0);
    // Multibyte bytes are never case-folded.
    CString jp("\xE7\x94\xBB\xE5\x83\x8F.JPG");
    jp.MakeLower();
    EXPECT_EQ(jp, "\xE7\x94\xBB\xE5\x83\x8F.jpg");

    CString b;
    char* p = b.GetBuffer(16);
    std::snprintf(p, 17, "%s", "written");
    b.ReleaseBuffer();
    EXPECT_EQ(b.GetLength(), 7);
    EXPECT_EQ(CString("a b c").Replace(' ', '_'), 2);
}

TEST(FrameworkFile, OpenFailuresCarryTheirCause)
{
    CFile f;
    CFileException e;
    EXPECT_FALSE(f.Open((zt::temp_path("missing") + "/nope.bin").c_str(), CFile::modeRead, &e));
    EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
    EXPECT_FALSE(f.Open(ZORVIK_TEST_TMP, CFile::modeRead, &e));  // a folder is not a file
    EXPECT_EQ(e.m_cause, CFileException::accessDenied);
    EXPECT_FALSE(f.Open("", CFile::modeRead, &e));
    EXPECT_EQ(e.m_cause, CFileException::badPath);
    EXPECT_THROW(CFile("/nonexistent-folder/x", CFile::modeRead), CFileException);
}

TEST(FrameworkFile, WriteSeekReadAndErrors)
{
    const std::string path = zt::temp_path("file.bin");
    {
        CFile f;
        ASSERT_TRUE(f.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::typeBinary));
        f.Write("0123456789", 10);
        EXPECT_EQ(f.GetLength(), 10u);
        EXPECT_EQ(f.Seek(-3, CFile::end), 7u);
        f.Write("AB", 2);
        char buf[4];
        EXPECT_THROW(f.Read(buf, 4), CFileException);  // opened for writing only
        f.Close();
    }
    CFile f(path.c_str(), CFile::modeRead | CFile::shareDenyWrite);
    char buf[16] = {};
    EXPECT_EQ(f.Read(buf, 16), 10u);
    EXPECT_STREQ(buf, "0123456AB9");
    EXPECT_EQ(f.Read(buf, 16), 0u);
    f.SeekToBegin();
    EXPECT_EQ(f.GetPosition(), 0u);
    EXPECT_THROW(f.Seek(-1, CFile::begin), CFileException);
    EXPECT_THROW(f.Write("x", 1), CFileException);
    CFileStatus st;
    ASSERT_TRUE(f.GetStatus(st));
    EXPECT_EQ(st.m_size, 10u);
    f.Close();
    EXPECT_THROW(f.GetLength(), CFileException);

    // modeCreate truncates unless told not to.
    CFile g(path.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite);
    EXPECT_EQ(g.GetLength(), 10u);
    g.Close();
    CFile h(path.c_str(), CFile::modeCreate | CFile::modeWrite);
    EXPECT_EQ(h.GetLength(), 0u);
}

TEST(FrameworkFile, MemoryFile)
{
    CMemFile m;
    m.Write("abcdef", 6);
    m.Seek(2, CFile::begin);
    m.Write("XY", 2);
    EXPECT_EQ(m.GetLength(), 6u);
    m.SeekToBegin();
    char buf[8] = {};
    EXPECT_EQ(m.Read(buf, 8), 6u);
    EXPECT_STREQ(buf, "abXYef");
    m.Seek(10, CFile::begin);  // past the end: reads nothing, a write fills the gap
    EXPECT_EQ(m.Read(buf, 1), 0u);
    m.Write("!", 1);
    EXPECT_EQ(m.GetLength(), 11u);
    EXPECT_THROW(m.Seek(-20, CFile::current), CFileException);
}

namespace {

// A storable class of the test's own, created again by its name when loading.
class CTestShape : public CObject {
    DECLARE_SERIAL(CTestShape)
public:
    void Serialize(CArchive& ar) override
    {
        if (ar.IsStoring()) {
            ar << kind << name;
        } else {
            ar >> kind >> name;
        }
    }
    LONG kind = 0;
    CString name;
};
IMPLEMENT_SERIAL(CTestShape, CObject, VERSIONABLE_SCHEMA | 0)

} // namespace

TEST(FrameworkArchive, ValuesStringsAndObjectsRoundTrip)
{
    CMemFile file;
    std::string long_text(300, 'x');
    {
        CArchive ar(&file, CArchive::store);
        ar << static_cast<BYTE>(7) << static_cast<WORD>(0x1234) << static_cast<LONG>(-5) << 2.5;
        ar << CString("short") << CString(long_text);
        CTestShape a, b;
        a.kind = 3;
        a.name = "first";
        b.kind = 4;
        ar << &a << static_cast<const CObject*>(nullptr) << &b;
        EXPECT_TRUE(ar.IsStoring());
    }
    file.SeekToBegin();
    CArchive ar(&file, CArchive::load);
    BYTE b8;
    WORD w16;
    LONG l32;
    double d;
    CString s1, s2;
    ar >> b8 >> w16 >> l32 >> d >> s1 >> s2;
    EXPECT_EQ(b8, 7);
    EXPECT_EQ(w16, 0x1234);
    EXPECT_EQ(l32, -5);
    EXPECT_EQ(d, 2.5);
    EXPECT_EQ(s1, "short");
    EXPECT_EQ(s2.str(), long_text);
    CObject *o1 = nullptr, *o2 = nullptr, *o3 = nullptr;
    ar >> o1 >> o2 >> o3;
    std::unique_ptr<CObject> own1(o1), own3(o3);
    ASSERT_NE(o1, nullptr);
    EXPECT_EQ(o2, nullptr);
    ASSERT_NE(o3, nullptr);
    EXPECT_STREQ(o1->GetRuntimeClass()->m_lpszClassName, "CTestShape");
    EXPECT_TRUE(o1->IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_EQ(static_cast<CTestShape*>(o1)->name, "first");
    EXPECT_EQ(static_cast<CTestShape*>(o3)->kind, 4);
    EXPECT_THROW(ar >> l32, CArchiveException);  // nothing left
}

TEST(FrameworkArchive, UnknownClassesAndShortDataAreRefused)
{
    EXPECT_NE(CRuntimeClass::FromName("CTestShape"), nullptr);
    EXPECT_EQ(CRuntimeClass::FromName("CNoSuchClass"), nullptr);
    std::unique_ptr<CObject> made(CRuntimeClass::CreateObject("CTestShape"));
    EXPECT_NE(made, nullptr);

    const BYTE unknown[] = {0xFF, 0xFF, 0, 0, 4, 0, 'C', 'N', 'o', 'X'};
    CMemFile f1(unknown, sizeof unknown);
    CArchive a1(&f1, CArchive::load);
    EXPECT_THROW(a1.ReadObject(nullptr), CArchiveException);

    const BYTE bad_index[] = {0x05, 0x80};
    CMemFile f2(bad_index, sizeof bad_index);
    CArchive a2(&f2, CArchive::load);
    EXPECT_THROW(a2.ReadObject(nullptr), CArchiveException);

    // A string that claims more bytes than the file holds.
    const BYTE long_claim[] = {0xFF, 0x00, 0x10, 'a'};
    CMemFile f3(long_claim, sizeof long_claim);
    CArchive a3(&f3, CArchive::load);
    CString s;
    EXPECT_THROW(a3 >> s, CArchiveException);

    CMemFile f4;
    CArchive a4(&f4, CArchive::load);
    EXPECT_THROW(a4.Write("x", 1), CArchiveException);
}
