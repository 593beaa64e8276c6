// Text to mask: mask sizes, where the mask lands, NextAddress, alignment, fitting and the
// space width, on top of the metrics the text layer reports.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "draw/font_mask.h"
#include "framebuffer/kr_bitmaps.h"

namespace {

const std::string kCaption = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x86\xE3\x83\xAD\xE3\x83\x83"
                             "\xE3\x83\x97";  // 日本語のテロップ (8 characters)
const std::string kTwoWords = "\xE3\x81\x82 \xE3\x81\x82";  // あ あ
const std::string kOne = "\xE6\xBC\xA2";                    // 漢

zk::FontMaskRequest request(const char* face, int height, int s)
{
    zk::FontMaskRequest r;
    r.face = face;
    r.height = height;
    r.anti_scale = s;
    r.pos = {72, 438};
    return r;
}

struct Rendered {
    CKrMonoBitmap mask;
    zk::FontMaskResult result;
    int code = 0;
};

Rendered render(const zk::FontMaskRequest& r, const std::string& text, bool fit = false)
{
    Rendered out;
    out.code = zk::render_font_mask(r, text, fit, out.mask, out.result);
    return out;
}

// Inclusive bounds of the ink, in mask pixels; top > bottom when there is none.
struct Bounds {
    long left = LONG_MAX, top = LONG_MAX, right = -1, bottom = -1;
};

Bounds ink(const CKrMonoBitmap& m)
{
    Bounds b;
    for (long y = 0; y < m.GetHeight(); ++y)
        for (long x = 0; x < m.GetWidth(); ++x)
            if (m.GetPixel(x, y)) {
                b.left = std::min(b.left, x);
                b.right = std::max(b.right, x);
                b.top = std::min(b.top, y);
                b.bottom = std::max(b.bottom, y);
            }
    return b;
}

} // namespace

TEST(FontMask, MaskSizesAreWholeWordsWideAndWholeBlocksHigh)
{
    for (const char* face : {"MS Gothic", "DejaVu Sans"}) {
        for (int dir : {0, 1}) {
            for (int s : {1, 4, 8, 16}) {
                for (int italic : {0, 1}) {
                    zk::FontMaskRequest r = request(face, 13, s);
                    r.dir = dir;
                    r.italic = italic;
                    Rendered m = render(r, "Ag " + kCaption);
                    ASSERT_EQ(m.code, 0);
                    SCOPED_TRACE(testing::Message() << face << " dir " << dir << " s " << s << " italic " << italic);
                    EXPECT_EQ(m.mask.GetWidth() % 16, 0);
                    EXPECT_EQ(m.mask.GetHeight() % s, 0);
                    long across = dir ? m.mask.GetWidth() : m.mask.GetHeight();
                    long along = dir ? m.mask.GetHeight() : m.mask.GetWidth();
                    EXPECT_EQ(across, dir ? (m.result.cell + 15) / 16 * 16 : (m.result.cell + s - 1) / s * s);
                    EXPECT_GE(along, m.result.length);
                    EXPECT_LT(along, m.result.length + (dir ? s : 16) + (italic ? m.result.cell : 0));
                    Bounds b = ink(m.mask);
                    EXPECT_LE(b.top, b.bottom) << "ink drawn";
                }
            }
        }
    }
}

TEST(FontMask, ShiftJisTextSitsOnTheLineAbovePos)
{
    // A Japanese face's cell is exactly Height x AntiScale: the text fills the rows from
    // Pos y - Height to Pos y - 1.
    Rendered m = render(request("MS Gothic", 32, 16), kCaption);
    ASSERT_EQ(m.code, 0);
    EXPECT_EQ(m.result.char_set, SHIFTJIS_CHARSET);
    EXPECT_EQ(m.result.cell, 512);
    EXPECT_EQ(m.mask.GetHeight(), 512);
    EXPECT_EQ(m.result.origin.x, 72);
    EXPECT_EQ(m.result.origin.y, 438 - 32);
    Bounds b = ink(m.mask);
    EXPECT_GE(m.result.origin.y + b.top / 16, 438 - 32);
    EXPECT_LE(m.result.origin.y + b.bottom / 16, 438 - 1);
    EXPECT_EQ(m.result.next_address.x, 72 + m.result.length / 16);
    EXPECT_EQ(m.result.next_address.y, 438);

    // A Western face moves down by its descent less a twentieth of the cell: DejaVu Sans has a
    // 104-pixel descent in a 512-pixel cell, so 438 - 32 + 104 / 16 - 1.
    Rendered w = render(request("DejaVu Sans", 32, 16), "Caption");
    EXPECT_EQ(w.result.char_set, ANSI_CHARSET);
    EXPECT_EQ(w.result.origin.y, 411);
}

TEST(FontMask, StartPointAlignmentAndNextAddress)
{
    zk::FontMaskRequest r = request("MS Gothic", 20, 4);
    r.pos = {100, 200};
    r.next_address = {300, 250};
    Rendered plain = render(r, kCaption);
    const long len = plain.result.length / 4;
    EXPECT_EQ(plain.result.origin.x, 100);
    EXPECT_EQ(plain.result.next_address.x, 100 + len);

    r.address_mode = 1;  // starts at NextAddress; the new NextAddress still counts from Pos
    Rendered cont = render(r, kCaption);
    EXPECT_EQ(cont.result.origin.x, 300);
    EXPECT_EQ(cont.result.origin.y, 250 - 20);
    EXPECT_EQ(cont.result.next_address.x, 100 + len);
    EXPECT_EQ(cont.result.next_address.y, 200);

    r.address_mode = 0;
    r.eria = {400, 90};
    struct Case { int format; long x; } cases[] = {{0, 100}, {1, 100 + 400 - len}, {2, 100 + 200 - len / 2}};
    for (const Case& c : cases) {
        r.format = c.format;
        Rendered a = render(r, kCaption);
        EXPECT_EQ(a.result.origin.x, c.x) << c.format;
        EXPECT_EQ(a.result.origin.y, 200 - 20) << c.format;
        EXPECT_EQ(a.result.next_address.x, 100 + len) << "alignment does not move NextAddress";
    }

    // Vertical text: the column starts at Pos; alignment moves it down, not NextAddress.
    r.dir = 1;
    r.format = 0;
    r.address_mode = 1;  // not used by vertical text
    Rendered v = render(r, kCaption);
    EXPECT_TRUE(v.result.at_face);
    EXPECT_EQ(v.result.origin.x, 100);
    EXPECT_EQ(v.result.origin.y, 200);
    EXPECT_EQ(v.result.next_address.x, 100);
    EXPECT_EQ(v.result.next_address.y, 200 + v.result.length / 4);
    r.format = 1;
    Rendered vb = render(r, kCaption);
    EXPECT_EQ(vb.result.origin.y, 200 + 90 - v.result.length / 4);
    EXPECT_EQ(vb.result.next_address.y, v.result.next_address.y);
}

TEST(FontMask, VerticalJapaneseUsesTheAtFaceAndWesternFacesAreOnlyTurned)
{
    zk::FontMaskRequest r = request("MS Mincho", 24, 8);
    r.dir = 1;
    Rendered jp = render(r, kCaption);
    EXPECT_TRUE(jp.result.at_face);
    EXPECT_EQ(jp.result.origin.x, 72);

    r.face = "DejaVu Serif";
    Rendered west = render(r, "Caption");
    EXPECT_FALSE(west.result.at_face);
    EXPECT_EQ(west.result.char_set, ANSI_CHARSET);
    // The column moves left by the descent, less a twentieth of the cell.
    EXPECT_LT(west.result.origin.x, 72);
    // Turned a quarter clockwise: the letters' tops face right, so their ink is taller than
    // wide in the column.
    Bounds b = ink(west.mask);
    EXPECT_GT(b.bottom - b.top, 2 * (b.right - b.left));
}

TEST(FontMask, WideningAndWidthPercent)
{
    zk::FontMaskRequest r = request("MS Gothic", 32, 4);
    r.aspect_mode = 1;
    long natural = render(r, kCaption).result.length;
    r.aspect_mode = 0;
    long widened = render(r, kCaption).result.length;
    EXPECT_NEAR(static_cast<double>(widened) / natural, 1.125, 0.02);
    r.width_per = 50;
    EXPECT_NEAR(static_cast<double>(render(r, kCaption).result.length) / natural, 0.5625, 0.02);
    // Vertical text is widened across the column; its length stays natural.
    r.dir = 1;
    r.width_per = 0;
    Rendered v = render(r, kCaption);
    EXPECT_EQ(v.result.length, natural);
    EXPECT_EQ(v.result.cell, 144);  // trunc((32 x 4 x 100 x 1.125 + 50) / 100)
}

TEST(FontMask, SpacingRulesForNegativeAndPositiveSpace)
{
    zk::FontMaskRequest r = request("MS Gothic", 30, 4);
    long base = render(r, kCaption).result.length;
    r.space = 3;
    EXPECT_EQ(render(r, kCaption).result.length, base + 7 * 12);  // spacing between 8 characters
    r.space = -2;
    EXPECT_EQ(render(r, kCaption).result.length, base + 6 * -8);  // counted once less
}

TEST(FontMask, SpaceWidthPercent)
{
    zk::FontMaskRequest r = request("MS Gothic", 32, 16);
    long off = render(r, kTwoWords).result.length;
    r.sp_per = 100;
    EXPECT_EQ(render(r, kTwoWords).result.length, off) << "100 percent leaves spaces unchanged";
    // Average width after widening is trunc((238 x 112.5 + 50) / 100) = 268; 200 percent adds
    // half of it to the space.
    r.sp_per = 200;
    EXPECT_EQ(render(r, kTwoWords).result.length, off + 134);
    r.sp_per = 50;
    EXPECT_EQ(render(r, kTwoWords).result.length, off - 134 + 67);
}

TEST(FontMask, FittingShrinksBySpacingThenByWidth)
{
    zk::FontMaskRequest r = request("MS Gothic", 32, 4);
    r.fit_mode = 1;
    const long natural = render(r, kCaption).result.length;  // 8 characters
    const long n = 8;

    // Enough room in the spacing: only the spacing shrinks, and what the division leaves over
    // stays.
    r.eria.cx = static_cast<LONG>((natural - 50) / 4);
    r.fit_sp_min = -20;
    Rendered sp = render(r, kCaption, true);
    const long area = r.eria.cx * 4L;
    // The spacing is the excess spread over the gaps, the remainder ignored; being negative,
    // it is counted once less than the gaps when the line is measured again.
    const long spacing = -((natural - area) / (n - 1));
    EXPECT_EQ(sp.result.length, natural + (n - 2) * spacing);
    EXPECT_EQ(sp.mask.GetHeight(), 128) << "character size unchanged";

    // The spacing limit stops it; the width makes up the rest.
    r.eria.cx = static_cast<LONG>(natural / 8);
    r.fit_sp_min = -1;
    r.fit_str_min = 10;
    Rendered wd = render(r, kCaption, true);
    EXPECT_LE(wd.result.length, r.eria.cx * 4L + n);
    EXPECT_GE(wd.result.length, r.eria.cx * 4L * 95 / 100);
    // ...but not below the width limit.
    r.fit_str_min = 60;
    Rendered limited = render(r, kCaption, true);
    EXPECT_NEAR(static_cast<double>(limited.result.length) / natural, 0.6, 0.03);

    // One character is never fitted by spacing: the spacing stays and the width shrinks.
    r.space = 5;
    r.fit_sp_min = -100;
    r.fit_str_min = 0;
    const long one = render(r, kOne).result.length;
    r.eria.cx = static_cast<LONG>(one / 8);
    Rendered single = render(r, kOne, true);
    EXPECT_NEAR(single.result.length, r.eria.cx * 4L, 4);
    Bounds b = ink(single.mask);
    EXPECT_LT(b.right - b.left, one / 2 + 4);

    // Too short without FitMode 2: unchanged.
    r.space = 0;
    r.eria.cx = static_cast<LONG>(natural);
    EXPECT_EQ(render(r, kCaption, true).result.length, natural);
}

TEST(FontMask, FittingStretchesToFillTheArea)
{
    for (int dir : {0, 1}) {
        for (int width_per : {100, 80, 130}) {
            zk::FontMaskRequest r = request("MS Gothic", 24, 4);
            r.dir = dir;
            r.width_per = width_per;
            r.fit_mode = 2;
            r.fit_sp_max = 0;  // no extra spacing: all by width
            r.fit_str_max = 400;
            const long natural = render(r, kCaption).result.length;
            const long area_px = natural * 3 / 2 / 4;
            (dir ? r.eria.cy : r.eria.cx) = static_cast<LONG>(area_px);
            Rendered f = render(r, kCaption, true);
            SCOPED_TRACE(testing::Message() << "dir " << dir << " width " << width_per);
            // The character width is a whole percent and each advance a whole pixel: within
            // one percent and a pixel a character of the area.
            EXPECT_NEAR(f.result.length, area_px * 4, area_px * 4 / 100 + 8);
        }
    }
    // Stretching by spacing spreads the gap over the gaps between characters.
    zk::FontMaskRequest r = request("MS Gothic", 24, 4);
    r.fit_mode = 2;
    r.fit_sp_max = 50;
    const long natural = render(r, kCaption).result.length;
    r.eria.cx = static_cast<LONG>(natural / 4 + 30);
    Rendered f = render(r, kCaption, true);
    EXPECT_LE(f.result.length, r.eria.cx * 4L);
    EXPECT_GT(f.result.length, r.eria.cx * 4L - 7);
}

TEST(FontMask, BadRequestsFailCleanlyOrStayBounded)
{
    for (int s : {0, -4, 17, 1000}) {
        zk::FontMaskRequest r = request("MS Gothic", 32, s);
        Rendered m = render(r, kCaption);
        EXPECT_EQ(m.code, -1) << s;
        EXPECT_EQ(m.mask.GetBits(), nullptr);
    }
    // A face that is not installed is drawn with the fallback face.
    Rendered fb = render(request("No Such Face", 20, 4), kCaption);
    EXPECT_EQ(fb.code, 0);
    EXPECT_LE(ink(fb.mask).top, ink(fb.mask).bottom);

    // Values no caller sets but a damaged record may hold: no overflow, no giant buffer.
    zk::FontMaskRequest r = request("MS Gothic", INT_MAX, 16);
    r.space = INT_MIN;
    r.width_per = INT_MAX;
    r.pos = {INT_MAX, INT_MIN};
    r.eria = {INT_MAX, INT_MAX};
    r.fit_mode = 2;
    r.fit_sp_max = INT_MAX;
    r.fit_sp_min = INT_MIN;
    r.fit_str_max = INT_MAX;
    r.fit_str_min = INT_MIN;
    Rendered big = render(r, ".", true);
    EXPECT_EQ(big.code, 0);
    EXPECT_LE(big.mask.GetSize(), 1ul << 30);
    r.dir = 1;
    r.italic = 1;
    big = render(r, ". .", false);
    EXPECT_EQ(big.code, 0);
}
