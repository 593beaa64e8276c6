// Captions drawn from a font file to the frame buffer, against committed checksums
// (tests/data/goldens/caption/<name>.fieldsums, each a one-field run; <name>.png beside it is
// the approved picture, for people).
//
// The whole text path runs as a host drives it: the face found by name, the supersampled
// glyph mask (fitting, synthetic bold and italic, vertical forms, a widened space), the grey
// reduction, edges, shadows, gradient and texture fills and the composite into the picture.
// Only the face bundled in data/fonts may be visible, so that the pictures are the same on
// every machine: ctest runs this suite in the draw_fonts entries, where fontconfig lists only
// that folder, and the suite skips (which those entries count as a failure) anywhere else.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "draw/draw_text.h"
#include "draw/kr_font_draw.h"
#include "platform/gdi_text/code_page.h"
#include "platform/gdi_text/font_catalog.h"
#include "support/golden.h"
#include "support/pam_image.h"
#include "support/test_support.h"

namespace {

const char* const kFace = "TelopTestGothic";
const std::string kFontFile = zt::data_path("fonts/telop_test_gothic.ttf");

// Why the font catalogue is not exactly the bundled face; empty when it is.
std::string bundled_face_only()
{
    const auto catalog = zk::font_catalog();
    const std::filesystem::path bundled = std::filesystem::weakly_canonical(kFontFile);
    for (const zk::FontFamilyInfo& family : catalog->families)
        for (const zk::FaceSource& face : family.faces)
            if (std::filesystem::weakly_canonical(face.path) != bundled)
                return "the machine's face " + face.path + " is visible";
    if (!catalog->find(kFace, nullptr)) return "the bundled face " + kFontFile + " is not found";
    return {};
}

// Characters of the text the bundled face has no glyph for (the subset is small: a caption
// with a missing character would approve the missing-glyph box).
std::string missing_characters(const std::string& utf8)
{
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    if (FT_Init_FreeType(&library) != 0) return "FreeType did not start";
    std::string missing;
    if (FT_New_Face(library, kFontFile.c_str(), 0, &face) != 0) {
        missing = "cannot open " + kFontFile;
    } else {
        for (const zk::MbChar& c : zk::decode_text(utf8, zk::kCodePageUtf8))
            if (FT_Get_Char_Index(face, c.code) == 0) zk::append_utf8(missing, c.code);
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
    return missing;
}

// The code page the captions are written in, for the length of a test.
struct Utf8Text {
    unsigned before = zk::code_page();
    Utf8Text() { zk::set_code_page(zk::kCodePageUtf8); }
    ~Utf8Text() { zk::set_code_page(before); }
    Utf8Text(const Utf8Text&) = delete;
    Utf8Text& operator=(const Utf8Text&) = delete;
};

// A font drawer as a host sets it up, with the bundled face as font 1.
bool open_drawer(CKrFontDraw& d)
{
    d.Initial(nullptr);
    return d.FontOpen(kFace, 1) == 0 && d.SetFontNo(1) == 0;
}

struct Caption {
    const char* name;
    long width, height;
    DWORD background;                                    // 0: a cleared bank, keys carry the caption
    std::vector<std::string> texts;                      // every string drawn, for the glyph check
    std::function<bool(CKrFrameBuffer&, const std::vector<std::string>&)> draw;  // false on a failed call
};

const Caption kCaptions[] = {
    // A news line with a soft edge and a soft shadow, continued at NextAddress in another
    // colour with a hard edge and a drop shadow.
    {"news_line", 512, 64, 0, {"速報 東京で初雪", "12/9（火）"},
     [](CKrFrameBuffer& fb, const std::vector<std::string>& t) {
         CKrFontDraw d;
         if (!open_drawer(d)) return false;
         d.SetSize(32, 100);
         d.SetPos(12, 46);
         d.SetEdgeCol(0xFF102060u);
         d.SetShadCol(0xA0000000u);
         d.SetEdgeType(1, 4, 0);
         d.SetShadType(2, 4, 4, 0);
         CBox box;
         if (d.FontDisp(t[0].c_str(), &fb, &box) != 0) return false;
         d.SetAddressMode(1);
         d.SetBodyCol(0xFFFFE040u);
         d.SetEdgeType(0, 3, 0);
         d.SetShadType(0, 3, 0, 0);
         return d.FontDisp(t[1].c_str(), &fb, &box) == 0;
     }},
    // Too long for its area: shrunk by spacing and width, in synthetic bold italic, with a
    // gradient body and an extruded shadow, over an opaque backdrop.
    {"fitted_bold_italic", 224, 56, 0xFF204080u, {"ちょっと一休み"},
     [](CKrFrameBuffer& fb, const std::vector<std::string>& t) {
         CKrFontDraw d;
         if (!open_drawer(d)) return false;
         d.SetSize(32, 100);
         d.SetPos(8, 42);
         d.SetWeight(1);
         d.SetItalic(1);
         d.SetEria(200, 0);
         d.SetFitMode(1);
         d.SetFitStrMax(100, 40);
         d.SetFitSpMax(0, -2);
         d.SetBodyGrad(0, 1, -1, -1, 0xFFFFFFFFu, 0xFFFF8000u);
         d.SetEdgeType(0, 2, 0);
         d.SetShadType(1, 4, 0, 0);
         CBox box;
         return d.FontDisp(t[0].c_str(), &fb, &box) == 0;
     }},
    // A vertical column: brackets, comma, full stop, small kana and the long vowel mark take
    // their vertical forms. Supersampled 8 times.
    {"vertical_column", 80, 432, 0, {"「ニュース」、ちょっと。"},
     [](CKrFrameBuffer& fb, const std::vector<std::string>& t) {
         CKrFontDraw d;
         if (!open_drawer(d)) return false;
         d.SetDir(1);
         d.SetAntiScale(8);
         d.SetSize(32, 100);
         d.SetPos(20, 8);
         d.SetEdgeCol(0xFF601010u);
         d.SetEdgeType(1, 3, 0);
         d.SetShadType(0, 3, 0, 0);
         CBox box;
         return d.FontDisp(t[0].c_str(), &fb, &box) == 0;
     }},
    // A text object centred in its area, its space widened to 150 %, with a tiled texture
    // edge and a drop shadow laid in knock-out mode. Supersampled 4 times.
    {"text_object", 320, 56, 0, {"速報 ニュース"},
     [](CKrFrameBuffer& fb, const std::vector<std::string>& t) {
         static const std::string texture = zt::data_path("draw/texture_stripes.tga");
         CDrawText text;
         text.SetFontName(kFace);
         text.SetString(CString(t[0].c_str()));
         text.SetSize(28, 100);
         text.SetPos(0, 40);
         text.SetFormat(2);
         text.SetEria(320, 0);
         text.SetSpPer(150);
         text.SetAntiScale(4);
         text.SetEdgeType(0, 3, 0);
         text.SetEdgeText(1, texture.c_str());
         text.SetShadType(0, 3, 0, 1);
         return text.DrawFrame(nullptr, &fb) == 0;
     }},
};

// Failures name the caption, not its bytes.
void PrintTo(const Caption& c, std::ostream* out) { *out << c.name; }

class CaptionGoldenOnBundledFonts : public ::testing::TestWithParam<Caption> {};

} // namespace

TEST_P(CaptionGoldenOnBundledFonts, DrawsTheApprovedPicture)
{
    const Caption& c = GetParam();
    if (const std::string why = bundled_face_only(); !why.empty())
        GTEST_SKIP() << why << ": run with FONTCONFIG_FILE=" << ZORVIK_TEST_TMP
                     << "/bundled-fonts.conf (the draw_fonts entries of ctest do)";
    for (const std::string& text : c.texts) ASSERT_EQ(missing_characters(text), "") << "not in the bundled face: " << text;

    Utf8Text utf8;
    CKrFrameBuffer picture(c.width, c.height, 1);
    if (c.background) picture.ClearCol(c.background);
    ASSERT_TRUE(c.draw(picture, c.texts));

    const std::vector<zt::FieldSum> run{zt::field_sum(0, picture)};
    zt::GoldenResult result = zt::check_field_sums(zt::field_sums_path("caption", c.name), run);
    if (result.status != zt::GoldenStatus::same) {
        // The picture, for a person to compare with the approved one (or to approve).
        const std::string drawn = zt::temp_path(std::string("caption_") + c.name + ".pam");
        if (zt::write_pam(drawn, picture)) result.report += "; the picture drawn is " + drawn;
    }
    EXPECT_GOLDEN(result);
}

INSTANTIATE_TEST_SUITE_P(Captions, CaptionGoldenOnBundledFonts, ::testing::ValuesIn(kCaptions),
                         [](const ::testing::TestParamInfo<Caption>& info) { return std::string(info.param.name); });
