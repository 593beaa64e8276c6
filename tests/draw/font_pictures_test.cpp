// Caption pictures for a person to look at, not a check: horizontal and vertical Japanese
// captions with edges and shadows, written as PAM files. Disabled by default; run with
//   build/release/bin/test_draw --gtest_also_run_disabled_tests --gtest_filter='FontPictures.*'
// and convert the files it names (`convert x.pam x.png`).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "draw/draw_text.h"
#include "draw/kr_font_draw.h"
#include "support/pam_image.h"
#include "support/test_support.h"

namespace {

// A dark blue-to-green backdrop, so that white text, its edge and its shadow all show.
CKrFrameBuffer backdrop(long w, long h)
{
    CKrFrameBuffer fb(w, h, 0);
    for (long y = 0; y < h; ++y)
        for (long x = 0; x < w; ++x)
            zt::set_px(fb, x, y,
                       0xFF000000u | static_cast<DWORD>(40 + 60 * y / h) << 8 | static_cast<DWORD>(90 + 100 * x / w));
    return fb;
}

void save(const CKrFrameBuffer& fb, const char* name)
{
    const std::string path = zt::temp_path(name);
    ASSERT_TRUE(zt::write_pam(path, fb));
    std::printf("wrote %s\n", path.c_str());
}

} // namespace

TEST(FontPictures, DISABLED_WritesCaptions)
{
    // Horizontal: a news caption with a soft edge and a soft shadow, and a second line fitted
    // into 300 pixels in bold italic with a hard edge and an extruded shadow.
    CKrFrameBuffer h = backdrop(720, 486);
    CKrFontDraw d;
    d.Initial(nullptr);
    d.SetSize(36, 90);
    d.SetPos(24, 120);
    d.SetEdgeCol(0xFF102060u);
    d.SetShadCol(0xA0000000u);
    d.SetEdgeType(1, 4, 0);
    d.SetShadType(2, 4, 4, 0);
    CBox box;
    ASSERT_EQ(d.FontDisp("ニュース速報：東京で初雪", &h, &box), 0);
    d.SetAddressMode(1);
    d.SetBodyCol(0xFFFFE040u);
    ASSERT_EQ(d.FontDisp("（午後３時）", &h, &box), 0);
    d.SetAddressMode(0);
    d.SetBodyGrad(0, 1, -1, -1, 0xFFFFFFFFu, 0xFFFF8000u);
    d.SetEdgeCol(0xFF000000u);
    d.SetEdgeType(0, 3, 0);
    d.SetShadType(1, 5, 0, 0);
    d.SetWeight(1);
    d.SetItalic(1);
    d.SetPos(40, 260);
    d.SetEria(300, 0);
    d.SetFitMode(1);
    d.SetFitStrMax(100, 40);
    d.SetFitSpMax(0, -2);
    ASSERT_EQ(d.FontDisp("明日は全国的に晴れるでしょう", &h, &box), 0);
    // A Mincho line, centred in the frame's width, by a text object.
    CDrawText t;
    t.SetFontName("IPAMincho");
    t.SetString(CString("縦と横のテロップ見本"));
    t.SetSize(40, 100);
    t.SetPos(0, 400);
    t.SetFormat(2);
    t.SetEria(720, 0);
    t.SetEdgeType(1, 3, 0);
    t.SetShadType(0, 3, 0, 0);
    ASSERT_EQ(t.DrawFrame(nullptr, &h), 0);
    save(h, "caption_horizontal.pam");

    // Vertical: two columns read right to left, with small kana, a long vowel mark and
    // punctuation that take their vertical forms.
    CKrFrameBuffer v = backdrop(486, 720);
    CKrFontDraw c;
    c.Initial(nullptr);
    c.SetDir(1);
    c.SetSize(48, 100);
    c.SetEdgeCol(0xFF601010u);
    c.SetEdgeType(1, 4, 0);
    c.SetShadType(2, 4, 4, 0);
    c.SetPos(380, 40);
    ASSERT_EQ(c.FontDisp("縦書きテロップ、ちょっと一休み。", &v, &box), 0);
    c.SetPos(300, 40);
    c.SetBodyCol(0xFFFFE040u);
    c.SetEdgeType(0, 3, 0);
    c.SetShadType(1, 4, 0, 0);
    ASSERT_EQ(c.FontDisp("「コーヒー」（２杯）", &v, &box), 0);
    save(v, "caption_vertical.pam");
}
