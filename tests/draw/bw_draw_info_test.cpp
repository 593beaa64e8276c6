// The drawing-attribute record: defaults, setters that switch a part's mode, owned texture
// names with deep copies, and the 160-byte stored form.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "draw/bw_draw_info.h"
#include "support/test_support.h"

TEST(BwDrawInfo, ConstructionGivesScale16AndEverythingElseZero)
{
    CBwDrawInfo info;
    const tagKRBWDRAWINFO* r = info.GetInfo();
    EXPECT_EQ(r->AntiScale, 16);
    tagKRBWDRAWINFO zero{};
    zero.AntiScale = 16;
    EXPECT_EQ(zk::pack_bw_draw_info(*r), zk::pack_bw_draw_info(zero));
    EXPECT_EQ(r->BodyText.File, nullptr);
    EXPECT_EQ(r->EdgeText.File, nullptr);
    EXPECT_EQ(r->ShadText.File, nullptr);
    EXPECT_EQ(info.GetBodyText_File(), CString(""));
}

TEST(BwDrawInfo, AntiScaleRoundsToTheSupportedFactors)
{
    const long cases[][2] = {{-5, 1}, {0, 1}, {1, 1}, {2, 4}, {3, 4}, {4, 4}, {5, 8}, {8, 8}, {9, 16}, {16, 16}, {1000, 16}};
    CBwDrawInfo info;
    for (const auto& c : cases) {
        info.SetAntiScale(c[0]);
        EXPECT_EQ(info.GetAntiScale(), c[1]) << c[0];
    }
}

TEST(BwDrawInfo, SettersStoreValuesAndSwitchThePartsMode)
{
    CBwDrawInfo info;
    info.SetEdgeGrad(3, 6, -1, 7, 0x11223344, 0x55667788);
    EXPECT_EQ(info.GetEdgeMode(), 1);
    long mode, pat, x, y;
    DWORD c1, c2;
    info.GetEdgeGrad(&mode, &pat, &x, &y, &c1, &c2);
    EXPECT_EQ((std::vector<long>{mode, pat, x, y}), (std::vector<long>{3, 6, -1, 7}));
    EXPECT_EQ(c1, 0x11223344u);
    EXPECT_EQ(info.GetEdgeGrad_Col2(), 0x55667788u);
    info.SetEdgeCol(0x80FF0000);
    EXPECT_EQ(info.GetEdgeMode(), 0);
    EXPECT_EQ(info.GetEdgeGrad_Patern(), 6);  // the gradient stays for a later switch back
    info.SetShadText(1, "tile.tga");
    EXPECT_EQ(info.GetShadMode(), 2);
    EXPECT_EQ(info.GetShadText_Mode(), 1);
    EXPECT_EQ(info.GetShadText_File(), CString("tile.tga"));

    info.SetShadType(2, -6, 4, 1);
    long t, s, ss, sp;
    info.GetShadType(&t, &s, &ss, &sp);
    EXPECT_EQ((std::vector<long>{t, s, ss, sp}), (std::vector<long>{2, -6, 4, 1}));
    info.SetEdgeType(1, 3, 9);
    EXPECT_EQ(info.GetEdgeType_Type(), 1);
    EXPECT_EQ(info.GetEdgeType_Size(), 3);
    EXPECT_EQ(info.GetEdgeType_SoftPen(), 9);
}

TEST(BwDrawInfo, TextureNamesAreOwnedAndCopiedDeeply)
{
    char name[] = "body.tga";
    CBwDrawInfo a;
    a.SetBodyText(2, name);
    std::strcpy(name, "XXXX");  // the caller's buffer is not kept
    EXPECT_EQ(a.GetBodyText_File(), CString("body.tga"));
    a.SetEdgeText(0, nullptr);  // a null name is stored as an empty one
    EXPECT_EQ(a.GetEdgeText_File(), CString(""));
    a.SetBodyText(1, "second.tga");  // replaces (and frees) the first
    long mode = -1;
    EXPECT_EQ(a.GetBodyText(&mode), CString("second.tga"));
    EXPECT_EQ(mode, 1);

    CBwDrawInfo b(a);
    EXPECT_NE(b.GetBodyText_FilePtr(), a.GetBodyText_FilePtr());
    EXPECT_EQ(b.GetBodyText_File(), CString("second.tga"));
    CBwDrawInfo c;
    c.SetShadText(0, "old.tga");
    c = a;
    EXPECT_NE(c.GetBodyText_FilePtr(), a.GetBodyText_FilePtr());
    EXPECT_EQ(c.GetShadText_FilePtr(), nullptr);
    a.SetBodyText(0, "third.tga");
    EXPECT_EQ(b.GetBodyText_File(), CString("second.tga"));
    EXPECT_EQ(c.GetBodyText_File(), CString("second.tga"));
    CBwDrawInfo& same = c; // assignment to itself, spelled so that no compiler rejects it
    c = same;
    EXPECT_EQ(c.GetBodyText_File(), CString("second.tga"));
}

TEST(BwDrawInfo, NamePointersTheCallerChangesAreNeverFreedByTheHolder)
{
    // The record is handed out writable: a caller may point a name at text of its own or
    // unpack a stored record over it. The holder must neither free that text nor lose the
    // names it owns (ASan reports either).
    static const char kCallerName[] = "caller.tga";
    CBwDrawInfo a;
    a.SetBodyText(1, "body.tga");
    a.SetEdgeText(1, "edge.tga");
    a.GetInfo()->BodyText.File = kCallerName;
    EXPECT_EQ(a.GetBodyText_File(), CString("caller.tga"));
    CBwDrawInfo b(a);
    EXPECT_EQ(b.GetBodyText_File(), CString("caller.tga"));
    EXPECT_NE(b.GetBodyText_FilePtr(), kCallerName);
    EXPECT_EQ(b.GetEdgeText_File(), CString("edge.tga"));

    const auto stored = zk::pack_bw_draw_info(*b.GetInfo());
    zk::unpack_bw_draw_info(stored, *b.GetInfo());
    EXPECT_EQ(b.GetEdgeText_FilePtr(), nullptr);
    b.SetEdgeText(0, "again.tga");
    EXPECT_EQ(b.GetEdgeText_File(), CString("again.tga"));

    // A name given as the holder's own current name is kept, not read after being replaced.
    b.SetEdgeText(2, b.GetEdgeText_FilePtr());
    EXPECT_EQ(b.GetEdgeText_File(), CString("again.tga"));
    EXPECT_EQ(b.GetEdgeText_Mode(), 2);
}

namespace {

std::uint32_t le32_at(const std::array<std::uint8_t, 160>& b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

} // namespace

TEST(BwDrawInfoStored, FieldsLieAtTheirOffsetsLittleEndianWithZeroNameSlots)
{
    CBwDrawInfo info;
    tagKRBWDRAWINFO& r = *info.GetInfo();
    r.Pos = {-3, 720};
    info.SetEdgeType(1, 5, 7);
    info.SetShadType(2, -6, 4, 1);
    info.SetBodyGrad(0, 9, 10, 11, 0xAABBCCDD, 0x01020304);
    info.SetShadGrad(1, 2, 3, 4, 5, 0xCAFEBABE);
    info.SetBodyCol(0x80FF0000);
    info.SetBodyText(2, "b.tga");
    info.SetShadText(1, "s.tga");
    const auto bytes = zk::pack_bw_draw_info(r);
    const std::pair<std::size_t, std::uint32_t> expect[] = {
        {0, 16}, {4, static_cast<std::uint32_t>(-3)}, {8, 720}, {12, 1}, {16, 5}, {20, 7}, {24, 2},
        {28, static_cast<std::uint32_t>(-6)}, {32, 4}, {36, 1}, {40, 2}, {52, 0x80FF0000}, {64, 0}, {68, 9},
        {72, 10}, {76, 11}, {80, 0xAABBCCDD}, {84, 0x01020304}, {112, 1}, {132, 0xCAFEBABE}, {136, 2}, {140, 0},
        {144, 0}, {148, 0}, {152, 1}, {156, 0}};
    for (const auto& [at, v] : expect) EXPECT_EQ(le32_at(bytes, at), v) << "offset " << at;
    EXPECT_EQ(bytes[0], 16);  // least significant byte first
}

TEST(BwDrawInfoStored, RandomRecordsSurviveUnpackAndPack)
{
    const auto seed = zt::test_seed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    for (int rep = 0; rep < 200; ++rep) {
        std::array<std::uint8_t, 160> stored{};
        for (auto& b : stored) b = static_cast<std::uint8_t>(rng());
        tagKRBWDRAWINFO r;
        std::memset(&r, 0x5A, sizeof r);
        zk::unpack_bw_draw_info(stored, r);
        EXPECT_EQ(r.BodyText.File, nullptr);
        EXPECT_EQ(r.EdgeText.File, nullptr);
        EXPECT_EQ(r.ShadText.File, nullptr);
        // Whatever the name slots held, they are written back as zero.
        for (std::size_t at : {140u, 148u, 156u}) std::memset(stored.data() + at, 0, 4);
        ASSERT_EQ(zk::pack_bw_draw_info(r), stored) << "rep " << rep;
    }
}
