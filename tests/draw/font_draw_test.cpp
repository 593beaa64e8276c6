// The font drawer and the text-to-renderer path: the font table and its messages, the
// setters' clamping, texture name ownership, the stored attribute record, and what drawing
// writes into a frame buffer (rows, NextAddress chaining, nothing outside the box).
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/errors.h"
#include "draw/kr_font.h"
#include "draw/kr_font_draw.h"
#include "platform/gdi_text/code_page.h"
#include "support/test_support.h"

namespace {

const char* const kCaption = "\xE5\xAD\x97\xE5\xB9\x95\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88";  // 字幕テスト

// Collects the library's messages for the lifetime of the object.
struct Messages {
    std::vector<std::string> seen;
    Messages()
    {
        zk::set_message_observer([this](const char* m) { seen.emplace_back(m); });
    }
    ~Messages() { zk::set_message_observer(nullptr); }
};

bool slot_free(const CKrFontDraw& d, long no)
{
    const tagFONTSLOT* s = d.GetSlot(no);
    return s && s->No == 0 && s->Name[0] == 0;
}

// Rows and columns holding any pixel different from the background.
struct Ink {
    long top = LONG_MAX, bottom = -1, left = LONG_MAX, right = -1;
};
Ink ink_of(const CKrFrameBuffer& fb, DWORD background)
{
    Ink k;
    for (long y = 0; y < static_cast<long>(fb.GetHeight()); ++y)
        for (long x = 0; x < static_cast<long>(fb.GetWidth()); ++x)
            if (zt::px(fb, x, y) != background) {
                k.top = std::min(k.top, y);
                k.bottom = std::max(k.bottom, y);
                k.left = std::min(k.left, x);
                k.right = std::max(k.right, x);
            }
    return k;
}

} // namespace

TEST(FontDraw, TableFailuresReportTheNumberAndTouchNothing)
{
    CKrFontDraw d;
    d.Initial(nullptr);
    ASSERT_EQ(d.GetFontNo(), 1);
    const std::string face1(d.GetFontInfo().FontName);
    ASSERT_FALSE(face1.empty());

    struct Case {
        const char* what;
        int (*call)(CKrFontDraw&);
        const char* message;
    };
    const Case cases[] = {
        {"open 0", [](CKrFontDraw& x) { return x.FontOpen("IPAGothic", 0); }, "FontOpenErr 0:IPAGothic"},
        {"open 51", [](CKrFontDraw& x) { return x.FontOpen("IPAGothic", 51); }, "FontOpenErr 51:IPAGothic"},
        {"open missing", [](CKrFontDraw& x) { return x.FontOpen("No Such Face Zz", 7); }, "FontOpenErr 7:No Such Face Zz"},
        {"close 0", [](CKrFontDraw& x) { return x.FontClose(0); }, "FontCloseErr 0"},
        {"close 51", [](CKrFontDraw& x) { return x.FontClose(51); }, "FontCloseErr 51"},
        {"select 0", [](CKrFontDraw& x) { return x.SetFontNo(0); }, "SetFontNoErr Limit 0"},
        {"select 51", [](CKrFontDraw& x) { return x.SetFontNo(51); }, "SetFontNoErr Limit 51"},
        {"select free", [](CKrFontDraw& x) { return x.SetFontNo(9); }, "SetFontNoErr NotOpen 9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CKrFontDraw before(d);
        Messages m;
        EXPECT_EQ(c.call(d), -1);
        ASSERT_EQ(m.seen.size(), 1u);
        EXPECT_EQ(m.seen[0], c.message);
        EXPECT_EQ(d.GetFontNo(), 1);
        EXPECT_STREQ(d.GetFontInfo().FontName, face1.c_str());
        for (long no = 1; no <= CKrFontDraw::kSlots; ++no)
            EXPECT_EQ(std::memcmp(d.GetSlot(no), before.GetSlot(no), sizeof(tagFONTSLOT)), 0) << no;
    }

    // Opened, closed, selected: not open any more; the record keeps the face it had.
    ASSERT_EQ(d.FontOpen("IPAMincho", 5), 0);
    EXPECT_EQ(d.FontClose(5), 0);
    EXPECT_TRUE(slot_free(d, 5));
    EXPECT_EQ(d.FontClose(5), 0);  // closing a free slot is no error
    Messages m;
    EXPECT_EQ(d.SetFontNo(5), -1);
    EXPECT_EQ(m.seen, std::vector<std::string>{"SetFontNoErr NotOpen 5"});
    EXPECT_EQ(d.FontClose(1), 0);
    EXPECT_STREQ(d.GetFontInfo().FontName, face1.c_str());
}

TEST(FontDraw, ReopeningASlotChangesTheNextSelectionNotTheRecord)
{
    CKrFontDraw d;
    d.Initial(nullptr);
    const std::string face1(d.GetFontInfo().FontName);
    ASSERT_EQ(d.FontOpen("IPAMincho", 1), 0);
    EXPECT_STREQ(d.GetSlot(1)->Name, "IPAMincho");
    EXPECT_STREQ(d.GetFontInfo().FontName, face1.c_str());
    ASSERT_EQ(d.SetFontNo(1), 0);
    EXPECT_STREQ(d.GetFontInfo().FontName, "IPAMincho");

    ASSERT_EQ(d.FontOpen("IPAGothic", 50), 0);
    ASSERT_EQ(d.SetFontNo(50), 0);
    EXPECT_EQ(d.GetFontNo(), 50);
    EXPECT_EQ(d.FontAllClose(), 0);
    for (long no = 1; no <= CKrFontDraw::kSlots; ++no) EXPECT_TRUE(slot_free(d, no)) << no;
    EXPECT_STREQ(d.GetFontInfo().FontName, "IPAGothic");
}

TEST(FontDraw, SettersClampAsDocumented)
{
    struct Case {
        const char* what;
        int (*set)(CKrFontDraw&, long);
        std::int32_t tagKRFONTINFO::*field;
        long in;
        std::int32_t stored;
    };
    const Case cases[] = {
        {"anti 3", [](CKrFontDraw& d, long v) { return d.SetAntiScale(v); }, &tagKRFONTINFO::AntiScale, 3, 4},
        {"anti 6", [](CKrFontDraw& d, long v) { return d.SetAntiScale(v); }, &tagKRFONTINFO::AntiScale, 6, 8},
        {"anti 100", [](CKrFontDraw& d, long v) { return d.SetAntiScale(v); }, &tagKRFONTINFO::AntiScale, 100, 16},
        {"anti 0", [](CKrFontDraw& d, long v) { return d.SetAntiScale(v); }, &tagKRFONTINFO::AntiScale, 0, 1},
        {"anti 8", [](CKrFontDraw& d, long v) { return d.SetAntiScale(v); }, &tagKRFONTINFO::AntiScale, 8, 8},
        {"format 3", [](CKrFontDraw& d, long v) { return d.SetFormat(v); }, &tagKRFONTINFO::Format, 3, 0},
        {"format 2", [](CKrFontDraw& d, long v) { return d.SetFormat(v); }, &tagKRFONTINFO::Format, 2, 2},
        {"format -1", [](CKrFontDraw& d, long v) { return d.SetFormat(v); }, &tagKRFONTINFO::Format, -1, 0},
        {"aspect -1", [](CKrFontDraw& d, long v) { return d.SetAspectMode(v); }, &tagKRFONTINFO::AspectMode, -1, 0},
        {"aspect 1", [](CKrFontDraw& d, long v) { return d.SetAspectMode(v); }, &tagKRFONTINFO::AspectMode, 1, 1},
        {"address 2", [](CKrFontDraw& d, long v) { return d.SetAddressMode(v); }, &tagKRFONTINFO::AddressMode, 2, 0},
        {"fit 7", [](CKrFontDraw& d, long v) { return d.SetFitMode(v); }, &tagKRFONTINFO::FitMode, 7, 2},
        {"fit -3", [](CKrFontDraw& d, long v) { return d.SetFitMode(v); }, &tagKRFONTINFO::FitMode, -3, 0},
        {"italic 5", [](CKrFontDraw& d, long v) { return d.SetItalic(v); }, &tagKRFONTINFO::Italic, 5, 1},
        {"weight -2", [](CKrFontDraw& d, long v) { return d.SetWeight(v); }, &tagKRFONTINFO::Weight, -2, 1},
        {"dir 9", [](CKrFontDraw& d, long v) { return d.SetDir(v); }, &tagKRFONTINFO::Dir, 9, 1},
        {"space -7", [](CKrFontDraw& d, long v) { return d.SetSpace(v); }, &tagKRFONTINFO::Space, -7, -7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CKrFontDraw d;
        EXPECT_EQ(c.set(d, c.in), 0);
        EXPECT_EQ(d.GetFontInfo().*c.field, c.stored);
    }
    CKrFontDraw d;
    d.SetAntiScale(5);
    EXPECT_EQ(d.GetFontInfo().BwDrawInfo.AntiScale, 8);
    d.AddNextAddress(5, -3);
    d.AddNextAddress(2, 10);
    EXPECT_EQ(d.GetFontInfo().NextAddress.x, 7);
    EXPECT_EQ(d.GetFontInfo().NextAddress.y, 7);
}

TEST(FontDraw, PartModesFollowTheLastSetterAndTexturesAreOwned)
{
    CKrFontDraw d;
    d.SetBodyGrad(1, 3, 10, 20, 0xFF112233u, 0xFF445566u);
    EXPECT_EQ(d.GetFontInfo().BwDrawInfo.BodyMode, kBwModeGrad);
    d.SetBodyCol(0xFFABCDEFu);
    const tagKRBWDRAWINFO& bw = d.GetFontInfo().BwDrawInfo;
    EXPECT_EQ(bw.BodyMode, kBwModeColor);
    EXPECT_EQ(bw.BodyCol, 0xFFABCDEFu);
    EXPECT_EQ(bw.BodyGrad.Patern, 3);
    EXPECT_EQ(bw.BodyGrad.Col2, 0xFF445566u);

    std::string name = "stripes.tga";
    d.SetEdgeText(1, name.c_str());
    name.assign("overwritten");
    EXPECT_EQ(bw.EdgeMode, kBwModeTexture);
    EXPECT_STREQ(bw.EdgeText.File, "stripes.tga");

    auto copy = std::make_unique<CKrFontDraw>(d);
    CKrFontDraw assigned;
    assigned = *copy;
    EXPECT_NE(copy->GetFontInfo().BwDrawInfo.EdgeText.File, bw.EdgeText.File);
    d.SetEdgeText(0, "other.tga");
    copy.reset();  // the assigned object must not lean on either
    EXPECT_STREQ(assigned.GetFontInfo().BwDrawInfo.EdgeText.File, "stripes.tga");
    EXPECT_EQ(assigned.GetFontInfo().BwDrawInfo.BodyText.File, nullptr);
}

TEST(FontDraw, StoredRecordIsItsFieldsInOrderAndRoundTrips)
{
    static_assert(zk::kFontInfoBytes == 284);
    tagKRFONTINFO info{};
    info.AntiScale = 16;
    info.AspectMode = 1;
    std::strcpy(info.FontName, "IPAGothic");
    info.Height = 0x11223344;
    info.AddressMode = -2;
    info.BwDrawInfo.AntiScale = 8;
    info.BwDrawInfo.BodyText.File = "ignored";
    const auto bytes = zk::pack_font_info(info);
    auto le32 = [&](std::size_t at) {
        return static_cast<std::int32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                         static_cast<std::uint32_t>(bytes[at + 3]) << 24);
    };
    EXPECT_EQ(le32(0), 16);
    EXPECT_EQ(le32(4), 1);
    EXPECT_EQ(std::memcmp(bytes.data() + 8, "IPAGothic\0", 10), 0);
    EXPECT_EQ(le32(44), 0x11223344);  // Height follows the name and its two alignment bytes
    EXPECT_EQ(le32(120), -2);         // AddressMode ends the text fields
    EXPECT_EQ(le32(124), 8);          // the drawing attributes' own stored form follows

    // Random records survive unpacking and packing, the name pointers aside.
    const std::uint32_t seed = zt::test_seed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    for (int round = 0; round < 200; ++round) {
        std::array<std::uint8_t, zk::kFontInfoBytes> in;
        for (auto& b : in) b = static_cast<std::uint8_t>(rng());
        tagKRFONTINFO r;
        zk::unpack_font_info(in, r);
        EXPECT_EQ(r.FontName[kFontNameBytes - 1], 0);
        EXPECT_EQ(r.BwDrawInfo.ShadText.File, nullptr);
        auto out = zk::pack_font_info(r);
        in[8 + 33] = 0;                       // the name is always terminated in its field
        in[42] = in[43] = 0;                  // alignment bytes are written as zero
        for (std::size_t at : {124u + 140u, 124u + 148u, 124u + 156u}) std::memset(in.data() + at, 0, 4);
        ASSERT_EQ(out, in) << "round " << round;
    }
}

TEST(FontDraw, JapaneseTextFillsTheRowsAbovePosAndChainsByNextAddress)
{
    CKrFontDraw d;
    d.Initial(nullptr);
    ASSERT_EQ(d.FontOpen("IPAGothic", 2), 0);
    ASSERT_EQ(d.SetFontNo(2), 0);
    d.SetSize(24, 100);
    d.SetAntiScale(4);
    d.SetPos(10, 60);
    const DWORD bg = 0x00000000u;
    CKrFrameBuffer fb(400, 80, 1);
    CBox box;
    ASSERT_EQ(d.FontDisp(kCaption, &fb, &box), 0);
    const Ink first = ink_of(fb, bg);
    // The cell is exactly 24 rows, so the text lies within rows 36 to 59.
    EXPECT_GE(first.top, 60 - 24);
    EXPECT_LE(first.bottom, 59);
    EXPECT_GE(first.left, 10);
    EXPECT_GT(first.bottom - first.top, 12);
    // The box covers all that was written.
    EXPECT_LE(box.x, first.left);
    EXPECT_LE(box.y, first.top);
    EXPECT_GE(box.x + box.width, first.right + 1);
    EXPECT_GE(box.y + box.height, first.bottom + 1);
    const POINT next = d.GetFontInfo().NextAddress;
    EXPECT_EQ(next.y, 60);
    EXPECT_GT(next.x, first.right - 4);

    // The second string starts at NextAddress; the new NextAddress counts from Pos again.
    d.SetAddressMode(1);
    CKrFrameBuffer second(400, 80, 1);
    CBox box2;
    ASSERT_EQ(d.FontDisp(kCaption, &second, &box2), 0);
    const Ink k2 = ink_of(second, bg);
    EXPECT_EQ(k2.left - first.left, next.x - 10);
    EXPECT_EQ(k2.top, first.top);
    EXPECT_EQ(d.GetFontInfo().NextAddress.x, next.x);

    // Empty strings are refused and leave the picture alone.
    CKrFrameBuffer untouched(second);
    EXPECT_EQ(d.FontDisp("", &second, &box2), -1);
    EXPECT_EQ(zt::diff_pixels(second, untouched), 0);
    CKrFrameBuffer alone;
    CBox w, b, e, s;
    EXPECT_EQ(d.FontFbSet("", &alone, w, b, e, s), -1);
}

TEST(FontDraw, DecorationsStayInsideTheReportedBox)
{
    const std::uint32_t seed = zt::test_seed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 rng(seed);
    CKrFontDraw d;
    d.Initial(nullptr);
    d.SetSize(20, 100);
    d.SetAntiScale(8);
    d.SetPos(30, 70);
    d.SetEdgeType(1, 3, 0);
    d.SetShadType(2, 4, 3, 0);
    CKrFrameBuffer fb(200, 100, 0);
    zt::fill_random(fb, rng);
    const CKrFrameBuffer before(fb);
    CBox box;
    ASSERT_EQ(d.FontDisp(kCaption, &fb, &box), 0);
    ASSERT_GT(box.width, 0);
    long changed_inside = 0;
    for (long y = 0; y < 100; ++y)
        for (long x = 0; x < 200; ++x) {
            const bool inside = x >= box.x && x < box.x + box.width && y >= box.y && y < box.y + box.height;
            if (zt::px(fb, x, y) != zt::px(before, x, y)) {
                ASSERT_TRUE(inside) << x << "," << y;
                ++changed_inside;
            }
        }
    EXPECT_GT(changed_inside, 100);

    // FontFbSet paints the same decorated text into a picture of its own.
    CKrFrameBuffer alone;
    CBox whole, body, edge, shadow;
    ASSERT_EQ(d.FontFbSet(kCaption, &alone, whole, body, edge, shadow), 0);
    EXPECT_EQ(static_cast<long>(alone.GetWidth()), whole.width);
    EXPECT_EQ(static_cast<long>(alone.GetHeight()), whole.height);
    EXPECT_EQ(whole, box);
}

TEST(FontDraw, FontListAndLookup)
{
    CKrFont font;
    tagENUMER list{};
    ASSERT_EQ(font.GetAllFontList(nullptr, &list), 0);
    ASSERT_GT(list.hCount, 0);
    ASSERT_GE(GlobalSize(list.hGlobal), static_cast<std::size_t>(list.hCount) * zk::kEnumEntryBytes);
    const auto* p = static_cast<const std::uint8_t*>(GlobalLock(list.hGlobal));
    bool gothic = false;
    for (int i = 0; i < list.hCount; ++i) {
        ENUMLOGFONTA elf;
        std::memcpy(&elf, p + i * zk::kEnumEntryBytes + 4, sizeof elf);
        if (std::strcmp(elf.elfLogFont.lfFaceName, "IPAGothic") == 0) {
            gothic = true;
            EXPECT_EQ(elf.elfLogFont.lfCharSet, SHIFTJIS_CHARSET);
        }
    }
    GlobalUnlock(list.hGlobal);
    EXPECT_TRUE(gothic);
    EXPECT_EQ(GlobalFree(list.hGlobal), nullptr);

    LOGFONTA lf{};
    lf.lfHeight = 1234;
    EXPECT_EQ(font.GetFontLogfont(nullptr, "No Such Face Zz", &lf), -2);
    EXPECT_EQ(lf.lfHeight, 1234);
    EXPECT_EQ(font.GetFontLogfont(nullptr, zk::default_face_name().c_str(), &lf), 0);
    EXPECT_EQ(lf.lfCharSet, SHIFTJIS_CHARSET);

    CString text("a b  c");
    EXPECT_EQ(font.ChBreakChar(text, 32), 0);
    EXPECT_EQ(font.ChBreakChar(text, 256), -1);
    EXPECT_EQ(text, CString("a b  c"));
    EXPECT_EQ(font.ChBreakChar(text, 0x7F), 1);
    EXPECT_EQ(text, CString("a\x7F" "b\x7F\x7F" "c"));
}
