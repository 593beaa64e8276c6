// The GDI text stand-in: family lookup, GDI's size and width rules, spacing and justification,
// where text_out puts ink, vertical writing, synthetic styles and the glyph cache.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "framebuffer/kr_bitmaps.h"
#include "platform/gdi_text/code_page.h"
#include "platform/gdi_text/gdi_text.h"
#include "platform/gdi_text/mono_blit.h"
#include "support/test_support.h"

namespace {

struct Ink {
    long left = 0, top = 0, right = -1, bottom = -1;  // inclusive; right < left when empty
    long count = 0;
    bool empty() const { return count == 0; }
    long width() const { return right - left + 1; }
    long height() const { return bottom - top + 1; }
};

Ink ink_of(const CKrMonoBitmap& m)
{
    Ink ink;
    ink.left = m.GetWidth();
    ink.top = m.GetHeight();
    for (long y = 0; y < m.GetHeight(); ++y)
        for (long x = 0; x < m.GetWidth(); ++x)
            if (m.GetPixel(x, y)) {
                ++ink.count;
                ink.left = std::min(ink.left, x);
                ink.right = std::max(ink.right, x);
                ink.top = std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y);
            }
    return ink;
}

LOGFONTA font(const char* face, LONG height, LONG width = 0, LONG escapement = 0)
{
    LOGFONTA lf{};
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfWeight = FW_NORMAL;
    std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return lf;
}

bool lookup(const char* face, LOGFONTA& out)
{
    bool found = false;
    zk::enum_font_families(face, [&](const ENUMLOGFONTA& e, const NEWTEXTMETRICA&, DWORD) {
        out = e.elfLogFont;
        found = true;
        return false;
    });
    return found;
}

CKrMonoBitmap draw(zk::TextDc& dc, const std::string& text, long w, long h, int x, int y)
{
    CKrMonoBitmap m;
    EXPECT_EQ(m.Create(w, h), 0);
    dc.text_out(m, x, y, text);
    return m;
}

const char* const kHiragana = "\xE3\x81\x82";  // あ
const char* const kLongVowel = "\xE3\x83\xBC";  // ー

} // namespace

TEST(GdiTextFont, RecordsHaveTheirWindowsLayout)
{
    EXPECT_EQ(offsetof(LOGFONTA, lfFaceName), 28u);
    EXPECT_EQ(offsetof(ENUMLOGFONTA, elfStyle), 124u);
    EXPECT_EQ(offsetof(TEXTMETRICA, tmBreakChar), 47u);
    EXPECT_EQ(offsetof(NEWTEXTMETRICA, tmCharSet), 52u);
    EXPECT_EQ(offsetof(NEWTEXTMETRICA, ntmFlags), 56u);
    EXPECT_EQ(offsetof(NEWTEXTMETRICA, ntmAvgWidth), 68u);
}

TEST(GdiTextFont, FacesAreFoundByTheirNamesAndMissingFacesAreNotReplaced)
{
    struct Case { const char* query; bool found; const char* reported; BYTE charset; } cases[] = {
        {"MS Gothic", true, "MS Gothic", SHIFTJIS_CHARSET},
        {"ms gothic", true, "MS Gothic", SHIFTJIS_CHARSET},
        {"\xEF\xBC\xAD\xEF\xBC\xB3 \xE6\x98\x8E\xE6\x9C\x9D", true, "\xEF\xBC\xAD\xEF\xBC\xB3 \xE6\x98\x8E\xE6\x9C\x9D",
         SHIFTJIS_CHARSET},  // ＭＳ 明朝
        {"@MS PGothic", true, "@MS PGothic", SHIFTJIS_CHARSET},
        {"IPAGothic", true, "IPAGothic", SHIFTJIS_CHARSET},
        {"IPA\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF", true, "IPA\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF",
         SHIFTJIS_CHARSET},  // IPAゴシック
        {"DejaVu Sans", true, "DejaVu Sans", ANSI_CHARSET},
        {"@DejaVu Sans", false, "", 0},  // only Japanese faces have a vertical twin
        {"Arial", false, "", 0},         // not installed, and not stood in for
        {"Times New Roman", false, "", 0},
    };
    for (const Case& c : cases) {
        LOGFONTA lf{};
        ASSERT_EQ(lookup(c.query, lf), c.found) << c.query;
        if (!c.found) continue;
        EXPECT_STREQ(lf.lfFaceName, c.reported);
        EXPECT_EQ(lf.lfCharSet, c.charset) << c.query;
    }
}

TEST(GdiTextFont, EnumeratesEveryFamilyOnceWithVerticalTwinsAfterJapaneseFaces)
{
    std::vector<std::string> names;
    std::vector<BYTE> charsets;
    int n = zk::enum_font_families(nullptr, [&](const ENUMLOGFONTA& e, const NEWTEXTMETRICA& tm, DWORD type) {
        names.emplace_back(e.elfLogFont.lfFaceName);
        charsets.push_back(tm.tmCharSet);
        EXPECT_EQ(type, TRUETYPE_FONTTYPE);
        EXPECT_GT(tm.ntmSizeEM, 0u);
        EXPECT_EQ(tm.tmBreakChar, 0x20);
        return true;
    });
    ASSERT_EQ(n, static_cast<int>(names.size()));
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end()) << "a family listed twice";
    for (size_t i = 0; i < names.size(); ++i) {
        if (charsets[i] == SHIFTJIS_CHARSET && names[i][0] != '@') {
            ASSERT_LT(i + 1, names.size());
            EXPECT_EQ(names[i + 1], "@" + names[i]);
        }
    }
    EXPECT_NE(std::find(names.begin(), names.end(), "MS Mincho"), names.end());

    // Stopping early delivers no more.
    int calls = 0;
    zk::enum_font_families(nullptr, [&](const ENUMLOGFONTA&, const NEWTEXTMETRICA&, DWORD) { return ++calls < 3; });
    EXPECT_EQ(calls, 3);
}

TEST(GdiTextFont, ShiftJisHostsSeeShiftJisNames)
{
    unsigned saved = zk::code_page();
    ASSERT_TRUE(zk::set_code_page(zk::kCodePageShiftJis));
    LOGFONTA lf{};
    EXPECT_TRUE(lookup("\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E", lf));  // ＭＳ ゴシック
    EXPECT_STREQ(lf.lfFaceName, "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E");
    EXPECT_TRUE(lookup("IPA\x83\x53\x83\x56\x83\x62\x83\x4E", lf));                   // IPAゴシック
    bool listed_local = false;
    zk::enum_font_families(nullptr, [&](const ENUMLOGFONTA& e, const NEWTEXTMETRICA&, DWORD) {
        listed_local |= std::string(e.elfLogFont.lfFaceName) == "IPA\x83\x53\x83\x56\x83\x62\x83\x4E";
        return true;
    });
    EXPECT_TRUE(listed_local);
    zk::set_code_page(saved);
}

TEST(GdiTextFont, HeightAndWidthFollowGdi)
{
    // Positive heights are exactly the cell; negative ones the em.
    for (const char* face : {"MS Gothic", "MS Mincho", "DejaVu Sans", "DejaVu Serif"}) {
        for (LONG h : {1, 7, 16, 33, 512, 768, 16384}) {
            zk::TextDc dc;
            ASSERT_TRUE(dc.select_font(font(face, h)));
            TEXTMETRICA tm{};
            ASSERT_TRUE(dc.text_metrics(tm));
            EXPECT_EQ(tm.tmHeight, h) << face;
            EXPECT_EQ(tm.tmAscent + tm.tmDescent, h) << face;
            ASSERT_TRUE(dc.select_font(font(face, -h)));
            dc.text_metrics(tm);
            EXPECT_NEAR(tm.tmHeight - tm.tmInternalLeading, h, 1) << face << " em " << h;
        }
    }
    // Beyond the largest size, heights are clamped rather than growing without bound.
    zk::TextDc big;
    ASSERT_TRUE(big.select_font(font("MS Gothic", 2000000000, -2000000000)));
    TEXTMETRICA tm{};
    big.text_metrics(tm);
    EXPECT_EQ(tm.tmHeight, 16384);
    EXPECT_EQ(tm.tmAveCharWidth, 16384);

    // A width sets the average character width and scales the advances with it: IPA Gothic's
    // full-width characters are two average widths wide.
    zk::TextDc dc;
    ASSERT_TRUE(dc.select_font(font("MS Gothic", 200)));
    dc.text_metrics(tm);
    EXPECT_EQ(tm.tmAveCharWidth, 93);  // OS/2 xAvgCharWidth 1024 of 2048 at a 200/2203 scale
    EXPECT_EQ(tm.tmCharSet, SHIFTJIS_CHARSET);
    for (LONG w : {10, 93, 120, 333}) {
        ASSERT_TRUE(dc.select_font(font("MS Gothic", 200, w)));
        dc.text_metrics(tm);
        EXPECT_EQ(tm.tmAveCharWidth, w);
        EXPECT_EQ(tm.tmHeight, 200);
        SIZE size{};
        ASSERT_TRUE(dc.text_extent("\xE3\x81\x82\xE3\x81\x84\xE3\x81\x86", size));  // あいう
        EXPECT_EQ(size.cx, 6 * w);
        EXPECT_EQ(size.cy, 200);
    }
}

TEST(GdiTextFont, SpacingAndJustificationAddUpAlongTheLine)
{
    zk::TextDc dc;
    ASSERT_TRUE(dc.select_font(font("MS Gothic", 64)));
    SIZE base{}, spaced{};
    const std::string text = "a b  c";  // six characters, three of them break characters
    ASSERT_TRUE(dc.text_extent(text, base));
    struct Case { int extra, brk, count; long added; } cases[] = {
        {5, 0, 0, 6 * 5},
        {-3, 0, 0, 6 * -3},
        {0, 7, 1, 3 * 7},       // every break character gets the whole extra when the count is 1
        {0, 7, 3, 3 * 2 + 1},   // 7 / 3 each, the remainder to the first
        {0, -7, 3, -7},
        {2, 4, 2, 6 * 2 + 3 * 2},
        {7, 9, 0, 6 * 7},       // a count below 1 clears the justification
    };
    for (const Case& c : cases) {
        dc.set_text_character_extra(c.extra);
        dc.set_text_justification(c.brk, c.count);
        ASSERT_TRUE(dc.text_extent(text, spaced));
        EXPECT_EQ(spaced.cx - base.cx, c.added) << c.extra << " " << c.brk << "/" << c.count;
    }
    EXPECT_EQ(dc.set_text_character_extra(0), 7);
}

TEST(GdiTextFont, InkStaysInsideTheCellItWasDrawnAt)
{
    const std::string text = "\xE6\x97\xA5\xE6\x9C\xAC Ag";  // 日本 Ag
    for (const char* face : {"MS Gothic", "DejaVu Sans"}) {
        zk::TextDc dc;
        ASSERT_TRUE(dc.select_font(font(face, 48)));
        SIZE size{};
        dc.text_extent(text, size);
        CKrMonoBitmap m = draw(dc, text, size.cx + 64, 48 + 40, 30, 20);
        Ink ink = ink_of(m);
        ASSERT_FALSE(ink.empty()) << face;
        EXPECT_GE(ink.left, 30) << face;
        EXPECT_LE(ink.right, 30 + size.cx) << face;
        EXPECT_GE(ink.top, 20) << face;
        EXPECT_LT(ink.bottom, 20 + 48) << face;

        // Drawn vertically, the column hangs left of x and runs down from y.
        zk::TextDc v;
        ASSERT_TRUE(v.select_font(font(face, 48, 0, -900)));
        SIZE vs{};
        v.text_extent(text, vs);
        EXPECT_EQ(vs.cx, size.cx);
        CKrMonoBitmap col = draw(v, text, 48 + 40, vs.cx + 64, 48 + 20, 30);
        Ink vi = ink_of(col);
        ASSERT_FALSE(vi.empty());
        EXPECT_GE(vi.left, 20) << face;
        EXPECT_LT(vi.right, 20 + 48) << face;
        EXPECT_GE(vi.top, 30) << face;
        EXPECT_LE(vi.bottom, 30 + vs.cx) << face;
    }

    // Clipping at every edge: nothing is written outside the mask, padding included.
    zk::TextDc dc;
    ASSERT_TRUE(dc.select_font(font("MS Gothic", 40)));
    for (int x : {-35, -9, 0, 7, 21}) {
        CKrMonoBitmap m;
        ASSERT_EQ(m.Create(27, 30), 0);
        dc.text_out(m, x, -11, "\xE6\x97\xA5\xE6\x97\xA5");
        for (long y = 0; y < m.GetHeight(); ++y)
            for (unsigned long b = 27; b < m.GetLineByte() * 8; ++b)
                ASSERT_EQ(m.GetBits()[y * m.GetLineByte() + b / 8] & (0x80 >> (b % 8)), 0) << x;
    }
}

TEST(GdiTextFont, VerticalFacesStandJapaneseUprightWithVerticalForms)
{
    auto glyph_box = [](const char* face, LONG escapement, const char* text) {
        zk::TextDc dc;
        EXPECT_TRUE(dc.select_font(font(face, 128, 0, escapement)));
        CKrMonoBitmap m = draw(dc, text, 256, 256, escapement ? 128 : 0, 0);
        return ink_of(m);
    };
    // あ in a horizontal line, upright in the "@" face's column, and lying on its side in a
    // face without a vertical twin turned with its line.
    Ink flat = glyph_box("MS Gothic", 0, kHiragana);
    Ink upright = glyph_box("@MS Gothic", -900, kHiragana);
    Ink sideways = glyph_box("MS Gothic", -900, kHiragana);
    EXPECT_NEAR(upright.width(), flat.width(), 2);
    EXPECT_NEAR(upright.height(), flat.height(), 2);
    EXPECT_NEAR(sideways.width(), flat.height(), 2);
    EXPECT_NEAR(sideways.height(), flat.width(), 2);
    // The long vowel mark takes its vertical form: a tall stroke instead of a wide one.
    Ink bar = glyph_box("MS Gothic", 0, kLongVowel);
    Ink vbar = glyph_box("@MS Gothic", -900, kLongVowel);
    EXPECT_GT(bar.width(), 3 * bar.height());
    EXPECT_GT(vbar.height(), 3 * vbar.width());
    // Latin letters are single-byte characters: they lie on their side even in the "@" face.
    Ink a = glyph_box("MS Gothic", 0, "A");
    Ink va = glyph_box("@MS Gothic", -900, "A");
    EXPECT_NEAR(va.width(), a.height(), 2);
}

TEST(GdiTextFont, SyntheticBoldAndItalic)
{
    const std::string text = "\xE4\xB8\x80";  // 一
    auto render = [&](LONG weight, BYTE italic, LONG* advance) {
        zk::TextDc dc;
        LOGFONTA lf = font("MS Gothic", 200);
        lf.lfWeight = weight;
        lf.lfItalic = italic;
        EXPECT_TRUE(dc.select_font(lf));
        SIZE s{};
        dc.text_extent(text, s);
        *advance = s.cx;
        return draw(dc, "\xE3\x81\x82", 300, 220, 40, 0);
    };
    // How far right the top quarter of the ink lies of the bottom quarter, in pixels.
    auto lean = [](const CKrMonoBitmap& m) {
        Ink ink = ink_of(m);
        long band = ink.height() / 4;
        auto centre = [&](long y0) {
            double sum = 0, n = 0;
            for (long y = y0; y < y0 + band; ++y)
                for (long x = 0; x < m.GetWidth(); ++x)
                    if (m.GetPixel(x, y)) sum += x, ++n;
            return sum / n;
        };
        return (centre(ink.top) - centre(ink.bottom + 1 - band)) / (ink.height() - band);
    };
    LONG plain_adv = 0, bold_adv = 0, italic_adv = 0;
    CKrMonoBitmap plain_mask = render(FW_NORMAL, 0, &plain_adv);
    CKrMonoBitmap italic_mask = render(FW_NORMAL, 1, &italic_adv);
    Ink plain = ink_of(plain_mask);
    Ink bold = ink_of(render(FW_BOLD, 0, &bold_adv));
    Ink italic = ink_of(italic_mask);
    EXPECT_GT(bold.count, plain.count * 11 / 10);
    EXPECT_EQ(bold_adv - plain_adv, 8);  // a 24th of the 186-pixel em, rounded
    EXPECT_EQ(italic_adv, plain_adv);
    EXPECT_NEAR(italic.count, plain.count, plain.count / 50);
    EXPECT_NEAR(lean(italic_mask) - lean(plain_mask), 0.2126, 0.03);  // sheared by about 12 degrees
}

TEST(GdiTextFont, UnknownFacesDrawWithTheFallbackFace)
{
    zk::TextDc dc;
    ASSERT_TRUE(dc.select_font(font("No Such Face", 64)));
    TEXTMETRICA tm{};
    dc.text_metrics(tm);
    EXPECT_EQ(tm.tmHeight, 64);
    EXPECT_EQ(tm.tmCharSet, SHIFTJIS_CHARSET);  // a Japanese face, so Japanese text still draws
    EXPECT_FALSE(ink_of(draw(dc, kHiragana, 80, 64, 0, 0)).empty());
}

TEST(GdiTextFont, TheGlyphCacheChangesNoBitAndIsSharedSafelyByThreads)
{
    const std::string text = "\xE3\x83\x86\xE3\x83\xAD\xE3\x83\x83\xE3\x83\x97 Caption \xE6\xBC\xA2";  // テロップ Caption 漢
    auto render_all = [&](std::vector<std::vector<unsigned char>>& out) {
        out.clear();
        for (LONG esc : {0, -900}) {
            for (const char* face : {"MS Gothic", "@MS Mincho", "DejaVu Serif"}) {
                zk::TextDc dc;
                LOGFONTA lf = font(face, 96, 40, esc);
                lf.lfItalic = 1;
                lf.lfWeight = FW_BOLD;
                EXPECT_TRUE(dc.select_font(lf));
                dc.set_text_character_extra(-3);
                SIZE s{};
                dc.text_extent(text, s);
                CKrMonoBitmap m = esc ? draw(dc, text, 112, s.cx + 40, 100, 5) : draw(dc, text, s.cx + 40, 112, 5, 5);
                out.emplace_back(m.GetBits(), m.GetBits() + m.GetSize());
            }
        }
    };
    zk::glyph_cache_clear();
    zk::glyph_cache_enable(false);
    std::vector<std::vector<unsigned char>> fresh, cold, warm;
    render_all(fresh);
    zk::glyph_cache_enable(true);
    render_all(cold);
    zk::GlyphCacheStats after_cold = zk::glyph_cache_stats();
    render_all(warm);
    zk::GlyphCacheStats after_warm = zk::glyph_cache_stats();
    EXPECT_EQ(fresh, cold);
    EXPECT_EQ(fresh, warm);
    EXPECT_GT(after_cold.entries, 0u);
    EXPECT_EQ(after_warm.misses, after_cold.misses) << "the second pass found everything cached";
    EXPECT_GT(after_warm.hits, after_cold.hits);

    zk::glyph_cache_clear();
    std::vector<std::vector<std::vector<unsigned char>>> results(4);
    std::vector<std::thread> threads;
    for (auto& r : results) threads.emplace_back([&r, &render_all] { render_all(r); });
    for (std::thread& t : threads) t.join();
    for (const auto& r : results) EXPECT_EQ(r, fresh);
}

TEST(GdiTextBlitKernel, WordWiseOrMatchesTheBitwiseDefinition)
{
    std::uint32_t seed = zt::test_seed();
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    constexpr long kGuard = 40;
    // Narrow targets (every width to 64) for the edges, wide ones for the long runs the
    // vector path takes in captions.
    std::vector<long> widths;
    for (long w = 1; w <= 64; ++w) widths.push_back(w);
    for (long w : {200L, 271L, 272L, 273L, 513L, 1000L, 1600L}) widths.push_back(w);
    for (long w : widths) {
        for (int round = 0; round < 40; ++round) {
            const long max_sw = w > 64 ? w + 300 : 150;
            const long sw = 1 + static_cast<long>(rng() % static_cast<unsigned long>(max_sw)),
                       sh = 1 + static_cast<long>(rng() % 6);
            const long pitch = (sw + 7) / 8 + static_cast<long>(rng() % 3);
            std::vector<std::uint8_t> src(static_cast<size_t>(pitch * sh));
            for (long r = 0; r < sh; ++r)
                for (long c = 0; c < sw; ++c)
                    if (rng() & 1) src[static_cast<size_t>(r * pitch + c / 8)] |= static_cast<std::uint8_t>(0x80 >> (c % 8));
            const long th = 1 + static_cast<long>(rng() % 8), row_bytes = (w + 15) / 16 * 2;
            std::vector<std::uint8_t> a(static_cast<size_t>(row_bytes * th + 2 * kGuard), 0x5A);
            for (long i = kGuard; i < kGuard + row_bytes * th; ++i) a[static_cast<size_t>(i)] = static_cast<std::uint8_t>(rng() & 0xAA);
            // Row padding starts clear, as in a fresh mask.
            for (long r = 0; r < th; ++r)
                for (long c = w; c < row_bytes * 8; ++c)
                    a[static_cast<size_t>(kGuard + r * row_bytes + c / 8)] &= static_cast<std::uint8_t>(~(0x80 >> (c % 8)));
            std::vector<std::uint8_t> b = a, c = a;
            const long x = static_cast<long>(rng() % static_cast<unsigned long>(w + sw + 20)) - sw - 10;
            const long y = static_cast<long>(rng() % (th + sh + 4)) - sh - 2;
            zk::MonoSource s{src.data(), sw, sh, pitch};
            zk::or_mono_reference(s, zk::MonoView{a.data() + kGuard, w, th, row_bytes}, x, y);
            zk::or_mono_words(s, zk::MonoView{b.data() + kGuard, w, th, row_bytes}, x, y);
            zk::or_mono(s, zk::MonoView{c.data() + kGuard, w, th, row_bytes}, x, y);
            ASSERT_EQ(a, b) << "words: width " << w << " source " << sw << "x" << sh << " at " << x << "," << y;
            ASSERT_EQ(a, c) << "dispatched: width " << w << " source " << sw << "x" << sh << " at " << x << "," << y;
        }
    }
}

TEST(GdiTextBlitKernel, BandsGiveTheSameBytesAsGlyphByGlyph)
{
    std::uint32_t seed = zt::test_seed();
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    for (int round = 0; round < 30; ++round) {
        const long w = 16 + static_cast<long>(rng() % 700), h = 1 + static_cast<long>(rng() % 150);
        const long row_bytes = (w + 15) / 16 * 2;
        // Overlapping glyphs, some hanging over every edge of the target.
        std::vector<std::vector<std::uint8_t>> sources;
        std::vector<zk::PlacedMono> glyphs;
        const int n = 1 + static_cast<int>(rng() % 12);
        for (int i = 0; i < n; ++i) {
            const long sw = 1 + static_cast<long>(rng() % 300), sh = 1 + static_cast<long>(rng() % 120);
            const long pitch = (sw + 7) / 8;
            std::vector<std::uint8_t> bits(static_cast<size_t>(pitch * sh));
            for (long r = 0; r < sh; ++r)
                for (long c = 0; c < sw; ++c)
                    if (rng() % 3 == 0) bits[static_cast<size_t>(r * pitch + c / 8)] |= static_cast<std::uint8_t>(0x80 >> (c % 8));
            sources.push_back(std::move(bits));
            const long x = static_cast<long>(rng() % static_cast<unsigned long>(w + sw)) - sw / 2;
            const long y = static_cast<long>(rng() % static_cast<unsigned long>(h + sh)) - sh / 2;
            glyphs.push_back({zk::MonoSource{sources.back().data(), sw, sh, pitch}, x, y});
        }
        std::vector<std::uint8_t> expected(static_cast<size_t>(row_bytes * h), 0);
        for (const zk::PlacedMono& g : glyphs)
            zk::or_mono_reference(g.src, zk::MonoView{expected.data(), w, h, row_bytes}, g.x, g.y);
        for (long band : {1L, 7L, 32L, 100000L}) {
            std::vector<std::uint8_t> got(expected.size(), 0);
            zk::or_mono_all(glyphs, zk::MonoView{got.data(), w, h, row_bytes}, band);
            ASSERT_EQ(got, expected) << "round " << round << " band " << band;
        }
    }
}
