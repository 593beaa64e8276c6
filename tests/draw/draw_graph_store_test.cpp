// The "DGO0" record: byte layout, round trips of several objects in one file, and damaged or
// short records failing cleanly.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/byte_reader.h"
#include "draw/draw_graph.h"
#include "platform/framework/carchive.h"
#include "support/test_support.h"

namespace {

void expect_same(const CDrawGraph& a, const CDrawGraph& b)
{
    EXPECT_EQ(a.GetGraphType(), b.GetGraphType());
    EXPECT_EQ(a.GetFillMode(), b.GetFillMode());
    EXPECT_EQ(a.GetPenSize(), b.GetPenSize());
    EXPECT_EQ(a.GetPenType(), b.GetPenType());
    EXPECT_EQ(a.GetPie_DegStart(), b.GetPie_DegStart());
    EXPECT_EQ(a.GetPie_DegEnd(), b.GetPie_DegEnd());
    ASSERT_EQ(a.GetSize(), b.GetSize());
    for (long i = 0; i < a.GetSize(); ++i) {
        EXPECT_EQ(a.GetAt(i).x, b.GetAt(i).x) << i;
        EXPECT_EQ(a.GetAt(i).y, b.GetAt(i).y) << i;
    }
    // The attribute record compares field by field apart from the name pointers, which
    // point at each object's own strings: its stored form holds every field and no pointer
    // (comparing the structs' bytes would compare their padding too).
    EXPECT_EQ(zk::pack_bw_draw_info(*a.GetInfo()), zk::pack_bw_draw_info(*b.GetInfo()));
    EXPECT_EQ(a.GetBodyText_File(), b.GetBodyText_File());
    EXPECT_EQ(a.GetEdgeText_File(), b.GetEdgeText_File());
    EXPECT_EQ(a.GetShadText_File(), b.GetShadText_File());
    if (b.GetBodyMode() == 2) {
        EXPECT_STREQ(b.GetInfo()->BodyText.File, b.GetBodyText_File().GetString());
    }
    if (b.GetShadMode() == 2) {
        EXPECT_STREQ(b.GetInfo()->ShadText.File, b.GetShadText_File().GetString());
    }
}

std::vector<CDrawGraph> sample_objects()
{
    std::vector<CDrawGraph> v(4);
    const POINT five[5] = {{10, 20}, {-30, 40}, {50, -60}, {70, 80}, {2147483647, -2147483647 - 1}};
    v[0].SetPolyLine(five, 5);
    v[0].SetPenSize(7);
    v[0].SetPenType(1);
    v[0].SetEdgeType(1, 3, 2);
    v[0].SetEdgeGrad(2, 6, 11, -12, 0x80112233, 0xFF445566);
    v[0].SetShadText(1, "shadow-texture.tga");
    v[0].SetBodyText(2, CString(std::string("body\0with nul", 13)));
    const RECT rc{5, 6, 105, 66};
    v[1].SetPie(&rc, -12.75, 1e300);
    v[1].SetFillMode(1);
    v[1].SetAntiScale(4);
    v[1].SetShadType(1, -5, 3, 1);
    v[2].SetRoundRect(&rc, POINT{9, 7});
    v[2].SetEdgeText(0, "");
    // v[3] keeps the defaults: no points at all.
    return v;
}

TEST(DrawGraphStore, RecordLayout)
{
    CDrawGraph g;
    const POINT two[2] = {{1, -2}, {0x01020304, 5}};
    g.SetPolyGon(two, 2);
    g.SetFillMode(1);
    g.SetPenSize(3);
    g.SetPenType(-1);
    const RECT rc{0, 0, 1, 1};
    g.SetPie(&rc, 90.0, -0.5);
    g.SetPolyGon(two, 2);
    g.SetBodyText(0, CString("ab"));
    g.SetShadText(1, "xyz");
    CMemFile f;
    ASSERT_EQ(g.Write(&f), 1);
    const std::vector<BYTE>& d = f.data();
    ASSERT_EQ(d.size(), 40u + 16 + 160 + 4 + 2 + 4 + 0 + 4 + 3);
    zk::ByteReader r(d.data(), d.size());
    std::uint32_t v = 0;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(d.data()), 4), "DGO0");
    r.skip(4);
    r.le32(v); EXPECT_EQ(v, 7u);
    r.le32(v); EXPECT_EQ(v, 1u);
    r.le32(v); EXPECT_EQ(v, 3u);
    r.le32(v); EXPECT_EQ(v, 0xFFFFFFFFu);
    // 90.0 and -0.5 as little-endian IEEE doubles
    const std::uint8_t ninety[8] = {0, 0, 0, 0, 0, 0x80, 0x56, 0x40};
    const std::uint8_t minus_half[8] = {0, 0, 0, 0, 0, 0, 0xE0, 0xBF};
    EXPECT_EQ(std::memcmp(d.data() + 20, ninety, 8), 0);
    EXPECT_EQ(std::memcmp(d.data() + 28, minus_half, 8), 0);
    r.seek(36);
    r.le32(v); EXPECT_EQ(v, 2u);
    const std::uint8_t pts[16] = {1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 4, 3, 2, 1, 5, 0, 0, 0};
    EXPECT_EQ(std::memcmp(d.data() + 40, pts, 16), 0);
    // the attribute block starts with AntiScale 16, and its name pointers are stored as 0
    r.seek(56);
    r.le32(v); EXPECT_EQ(v, 16u);
    for (size_t field : {34u, 36u, 38u}) {
        r.seek(56 + field * 4 + 4);
        r.le32(v);
        EXPECT_EQ(v, 0u) << "name pointer field " << field + 1;
    }
    r.seek(216);
    r.le32(v); EXPECT_EQ(v, 2u);
    EXPECT_EQ(std::memcmp(d.data() + 220, "ab", 2), 0);
    r.seek(222);
    r.le32(v); EXPECT_EQ(v, 0u);
    r.le32(v); EXPECT_EQ(v, 3u);
    EXPECT_EQ(std::memcmp(d.data() + 230, "xyz", 3), 0);
}

TEST(DrawGraphStore, SeveralRecordsRoundTripInOneFile)
{
    const std::vector<CDrawGraph> objects = sample_objects();
    const std::string path = zt::temp_path("draw_graph_roundtrip.bin");
    {
        CFile out(path.c_str(), CFile::modeCreate | CFile::modeWrite);
        for (CDrawGraph o : objects) EXPECT_EQ(o.Write(&out), 1);
    }
    CFile in(path.c_str(), CFile::modeRead);
    for (const CDrawGraph& o : objects) {
        CDrawGraph back;
        back.SetLine(POINT{1, 1}, POINT{2, 2});  // replaced, not appended to
        ASSERT_EQ(back.Read(&in), 1);
        expect_same(o, back);
    }
    CDrawGraph past_end;
    EXPECT_EQ(past_end.Read(&in), 0);
}

TEST(DrawGraphStore, ArchiveStoresObjectsByClassName)
{
    std::vector<CDrawGraph> objects = sample_objects();
    CMemFile f;
    {
        CArchive ar(&f, CArchive::store);
        for (CDrawGraph& o : objects) ar << &o;
    }
    f.SeekToBegin();
    CArchive ar(&f, CArchive::load);
    for (const CDrawGraph& o : objects) {
        CObject* obj = ar.ReadObject(RUNTIME_CLASS(CDrawGraph));
        ASSERT_NE(obj, nullptr);
        expect_same(o, *static_cast<CDrawGraph*>(obj));
        delete obj;
    }
}

TEST(DrawGraphStore, AnyTagIsReadAsAGraphicObject)
{
    CDrawGraph g = sample_objects()[1];
    CMemFile f;
    ASSERT_EQ(g.Write(&f), 1);
    std::vector<BYTE> bytes = f.data();
    std::memcpy(bytes.data(), "DTO0", 4);
    CMemFile other(bytes.data(), bytes.size());
    CDrawGraph back;
    ASSERT_EQ(back.Read(&other), 1);
    expect_same(g, back);
}

// Every prefix of a record fails cleanly and keeps what it got: the fields wholly read, and
// the points wholly read, appended one by one.
TEST(DrawGraphStore, TruncatedRecordsFailAndKeepWhatWasRead)
{
    CDrawGraph g = sample_objects()[0];
    CMemFile f;
    ASSERT_EQ(g.Write(&f), 1);
    const std::vector<BYTE>& full = f.data();
    for (size_t len = 0; len < full.size(); ++len) {
        CMemFile cut(full.data(), len);
        CDrawGraph back;
        back.SetRect(nullptr);
        ASSERT_EQ(back.Read(&cut), 0) << len;
        EXPECT_EQ(back.GetGraphType(), len >= 8 ? 2 : 3) << len;
        EXPECT_EQ(back.GetPenType(), len >= 20 ? 1 : 0) << len;
        const long whole_points = len < 40 ? 0 : static_cast<long>(std::min<size_t>((len - 40) / 8, 5));
        EXPECT_EQ(back.GetSize(), whole_points) << len;
        EXPECT_EQ(back.GetEdgeGrad_Patern(), len >= 240 ? 6 : 0) << len;
        const tagKRBWDRAWINFO* info = back.GetInfo();
        for (const char* p : {info->BodyText.File, info->EdgeText.File, info->ShadText.File}) {
            if (p) {
                EXPECT_GE(std::strlen(p), 0u);  // never dangling: ASan would object
            }
        }
        if (back.GetShadMode() == 2) {
            EXPECT_STREQ(info->ShadText.File, back.GetShadText_File().GetString());
        }
    }
}

TEST(DrawGraphStore, LyingCountsAndLengthsAreRefused)
{
    auto record = [](std::int32_t count, std::int32_t name_len, size_t body) {
        std::vector<BYTE> b(36, 0);
        std::memcpy(b.data(), "DGO0", 4);
        b.resize(40);
        zk::put_le32(b.data() + 36, static_cast<std::uint32_t>(count));
        b.resize(b.size() + body, 0);
        const size_t at = b.size();
        b.resize(at + 4);
        zk::put_le32(b.data() + at, static_cast<std::uint32_t>(name_len));
        return b;
    };
    struct Case { std::int32_t count, name_len; size_t body; long points_kept; } cases[] = {
        {-1, 0, 8 + 160, 0},
        {INT32_MIN, 0, 0, 0},
        {INT32_MAX, 0, 3 * 8 + 1, 3},  // a few points, then the claim runs dry
        {0x10000000, 0, 0, 0},
        {0, -1, 160, 0},
        {0, INT32_MAX, 160, 0},
    };
    for (const Case& c : cases) {
        const std::vector<BYTE> b = record(c.count, c.name_len, c.body);
        CMemFile f(b.data(), b.size());
        CDrawGraph g;
        EXPECT_EQ(g.Read(&f), 0) << c.count << " " << c.name_len;
        EXPECT_EQ(g.GetSize(), c.points_kept) << c.count;
        EXPECT_EQ(g.GetBodyText_File(), CString(""));
    }
}

// A file that fails underneath: reads and writes throw, and the object reports 0.
class BrokenFile : public CMemFile {
public:
    UINT Read(void*, UINT) override { throw CFileException(CFileException::hardIO); }
    void Write(const void*, UINT) override { throw CFileException(CFileException::diskFull); }
};

TEST(DrawGraphStore, FileErrorsAreFailuresNotExceptions)
{
    CDrawGraph g = sample_objects()[0];
    BrokenFile broken;
    EXPECT_EQ(g.Write(&broken), 0);
    EXPECT_EQ(g.Read(&broken), 0);
    EXPECT_EQ(g.Write(nullptr), 0);
    EXPECT_EQ(g.Read(nullptr), 0);
    const std::string path = zt::temp_path("draw_graph_readonly.bin");
    { CFile create(path.c_str(), CFile::modeCreate | CFile::modeWrite); }
    CFile read_only(path.c_str(), CFile::modeRead);
    EXPECT_EQ(g.Write(&read_only), 0);
}

} // namespace
