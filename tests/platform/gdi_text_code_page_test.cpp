// The code page: character counting, decoding bounds and conversions in UTF-8 and Shift-JIS.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/gdi_text/code_page.h"
#include "support/test_support.h"

namespace {

// "ＭＳ ゴシック" in both code pages.
const std::string kGothicSjis = "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E";
const std::string kGothicUtf8 = "\xEF\xBC\xAD\xEF\xBC\xB3 \xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF";

// Restores the code page a test changed.
struct CodePageGuard {
    unsigned saved = zk::code_page();
    ~CodePageGuard() { zk::set_code_page(saved); }
};

} // namespace

TEST(GdiTextCodePage, CountsCharactersAsTheCodePageDoes)
{
    struct Case { std::string text; unsigned cp; int count; } cases[] = {
        {kGothicSjis, zk::kCodePageShiftJis, 7},
        {kGothicUtf8, zk::kCodePageUtf8, 7},
        {"\xB1\xB2\xB3", zk::kCodePageShiftJis, 3},   // half-width katakana are single bytes
        {"A\x82", zk::kCodePageShiftJis, 2},         // a lead byte at the end stands alone
        {"\x82\x20", zk::kCodePageShiftJis, 2},      // no valid trail byte: two characters
        {"\xE3\x81", zk::kCodePageUtf8, 2},          // a cut UTF-8 sequence: one per byte
        {"\xC0\xAF", zk::kCodePageUtf8, 2},          // an overlong form is not a character
        {"\xF0\x9F\x98\x80!", zk::kCodePageUtf8, 2},
        {"", zk::kCodePageUtf8, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(zk::count_characters(c.text, c.cp), c.count) << c.cp << " " << c.text.size();

    auto chars = zk::decode_text(kGothicSjis, zk::kCodePageShiftJis);
    ASSERT_EQ(chars.size(), 7u);
    EXPECT_EQ(chars[0].code, U'\uFF2D');
    EXPECT_TRUE(chars[0].wide);
    EXPECT_EQ(chars[2].code, U' ');
    EXPECT_FALSE(chars[2].wide);
    EXPECT_EQ(chars[6].code, U'\u30AF');
}

TEST(GdiTextCodePage, DecodingCoversEveryByteOnceAndNeverMore)
{
    std::uint32_t seed = zt::test_seed();
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    for (unsigned cp : {zk::kCodePageShiftJis, zk::kCodePageUtf8}) {
        for (int round = 0; round < 500; ++round) {
            std::string s(rng() % 24, '\0');
            for (char& ch : s) ch = static_cast<char>(rng() & 0xFF);
            auto chars = zk::decode_text(s, cp);
            size_t at = 0;
            for (const zk::MbChar& ch : chars) {
                ASSERT_EQ(ch.offset, at);
                ASSERT_GE(ch.length, 1);
                at += ch.length;
            }
            ASSERT_EQ(at, s.size());
            ASSERT_EQ(static_cast<int>(chars.size()), zk::count_characters(s, cp));
        }
    }
}

TEST(GdiTextCodePage, ConversionsAndTheSwitch)
{
    EXPECT_EQ(zk::to_utf8(kGothicSjis, zk::kCodePageShiftJis), kGothicUtf8);
    std::string back;
    ASSERT_TRUE(zk::from_utf8(kGothicUtf8, zk::kCodePageShiftJis, back));
    EXPECT_EQ(back, kGothicSjis);
    EXPECT_FALSE(zk::from_utf8("\xF0\x9F\x98\x80", zk::kCodePageShiftJis, back));  // no Shift-JIS spelling

    EXPECT_TRUE(zk::is_wide_character(U'あ'));
    EXPECT_TRUE(zk::is_wide_character(U'「'));
    EXPECT_TRUE(zk::is_wide_character(U'Ａ'));
    EXPECT_FALSE(zk::is_wide_character(U'ｱ'));
    EXPECT_FALSE(zk::is_wide_character(U'A'));

    CodePageGuard guard;
    EXPECT_FALSE(zk::set_code_page(1252));
    ASSERT_TRUE(zk::set_code_page(zk::kCodePageShiftJis));
    EXPECT_EQ(zk::default_face_name(), kGothicSjis);
    EXPECT_EQ(zk::count_characters(kGothicSjis), 7);
    ASSERT_TRUE(zk::set_code_page(zk::kCodePageUtf8));
    EXPECT_EQ(zk::default_face_name(), kGothicUtf8);
}
