// Pictures into and out of the write bank: the codec chosen by extension or by probing a name
// without one, the texts of every failure (which then shows nothing), tinted loads, the form
// loader's Targa-only rule, resizing and its placement codes, names classified, and saving.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "framebuffer/kr_frame_buffer.h"
#include "imagefile/jpeg_image.h"
#include "imagefile/pict_image.h"
#include "imagefile/targa_image.h"
#include "onair/kr_gfb.h"
#include "online/online_fixture.h"

namespace zt {
namespace {

namespace fs = std::filesystem;

// A picture of one colour with a key, w × h.
CKrFrameBuffer plain(long w, long h, DWORD colour)
{
    CKrFrameBuffer fb(w, h, 1);
    fb.ClearCol(colour);
    return fb;
}

void write_picture(const std::string& path, CKrFrameBuffer picture)
{
    const std::string ext = fs::path(path).extension().string();
    CString p(path.c_str());
    int result = -1;
    if (ext == ".tga" || ext == ".TGA") result = CKrTargaImage().SaveImage(&p, &picture, 1);
    if (ext == ".pct") result = CKrPictImage().SaveImage(path.c_str(), &picture, 0);
    if (ext == ".jpg") result = CKrJpegImage().SaveImage(path.c_str(), &picture, 95, 0);
    if (ext == ".bmp") result = std::fclose(std::fopen(path.c_str(), "wb")); // a name to find
    ASSERT_EQ(result, 0) << path;
}

// The picture a file holds, read with the codec its extension names.
CKrFrameBuffer read_picture(const std::string& path)
{
    CKrFrameBuffer out;
    const std::string ext = fs::path(path).extension().string();
    CString p(path.c_str());
    int result = -1;
    if (ext == ".tga") result = CKrTargaImage().LoadImage(&p, &out);
    if (ext == ".pct") result = CKrPictImage().LoadImage(path.c_str(), &out);
    if (ext == ".jpg") result = CKrJpegImage().LoadImage(path.c_str(), &out);
    EXPECT_EQ(result, 0) << path;
    return out;
}

class Images : public OnlineTest {
protected:
    void SetUp() override
    {
        OnlineTest::SetUp();
        folder = std::make_unique<OnlineTestFolder>("online_images");
        dir = folder->path();
    }
    // The one back-area write since `from` as {x, y, width, rows, checksum}.
    std::vector<std::int32_t> written(std::uint64_t from)
    {
        const auto writes = rig.gfb_writes(from);
        if (writes.size() != 1) return {static_cast<std::int32_t>(writes.size())};
        return std::vector<std::int32_t>(writes[0].words.begin() + 1, writes[0].words.end());
    }
    static std::vector<std::int32_t> placed(const CKrFrameBuffer& fb, long x, long y)
    {
        const long w = static_cast<long>(fb.GetWidth()), h = static_cast<long>(fb.GetHeight());
        return {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), static_cast<std::int32_t>(w),
                static_cast<std::int32_t>(h), rows_sum(fb, 0, 0, w, h)};
    }
    std::unique_ptr<OnlineTestFolder> folder;
    std::string dir;
};

struct Probe {
    const char* name;
    std::vector<const char*> present; // extensions written beside the base name
    const char* loaded;               // the one that must load, or nullptr
};

class Probing : public Images, public ::testing::WithParamInterface<Probe> {};

TEST_P(Probing, ANameWithoutExtensionLoadsTheFirstOfTgaPctJpgThatExists)
{
    const Probe p = GetParam();
    DWORD colour = 0xFF102030;
    for (const char* ext : p.present) {
        write_picture(dir + "/pic" + ext, plain(24, 10, colour));
        colour += 0x00202020;
    }
    const std::uint64_t from = board().journal().mark();
    const std::string base = dir + "/pic";
    if (!p.loaded) {
        EXPECT_EQ(ctl->ImageFileLoad(base.c_str(), 4, 6), -1);
        EXPECT_EQ(ctl->GetErrorText(), ("ImgLoadErr " + base).c_str());
        EXPECT_TRUE(rig.gfb_writes(from).empty()) << "a failed load shows nothing";
        return;
    }
    ASSERT_EQ(ctl->ImageFileLoad(base.c_str(), 4, 6), 0) << ctl->GetErrorText().GetString();
    EXPECT_EQ(written(from), placed(read_picture(base + p.loaded), 4, 6));
    EXPECT_TRUE(messages.take().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Online, Probing,
    ::testing::Values(Probe{"OnlyPict", {".pct"}, ".pct"}, Probe{"TargaBeforePict", {".pct", ".tga"}, ".tga"},
                      Probe{"PictBeforeJpeg", {".jpg", ".pct"}, ".pct"}, Probe{"OnlyJpeg", {".jpg"}, ".jpg"},
                      Probe{"BmpIsNotLoaded", {".bmp"}, nullptr}, Probe{"Nothing", {}, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Images, TheExtensionChoosesTheCodecInAnyCaseAndAnyOtherIsRefused)
{
    const CKrFrameBuffer picture = plain(16, 8, 0xFF00FF00);
    write_picture(dir + "/up.TGA", picture);
    write_picture(dir + "/a.pct", picture);
    std::uint64_t from = board().journal().mark();
    ASSERT_EQ(ctl->ImageFileLoad((dir + "/up.TGA").c_str(), 0, 0), 0);
    EXPECT_EQ(written(from), placed(picture, 0, 0));
    from = board().journal().mark();
    ASSERT_TRUE(board().step_fields(2));
    EXPECT_EQ(ctl->ImageFileLoad((dir + "/a.png").c_str(), 0, 0), -1);
    EXPECT_EQ(ctl->GetErrorText(), ("ImgLoadErr " + dir + "/a.png").c_str());
    EXPECT_EQ(ctl->ImageFileLoad((dir + "/a.tga").c_str(), 0, 0), -1) << "the extension is not a probe";
    EXPECT_EQ(ctl->GetErrorText(), ("TgaLoadErr " + dir + "/a.tga").c_str());
    EXPECT_EQ(ctl->ImageFileLoad(nullptr, 0, 0), -1);
    EXPECT_TRUE(rig.gfb_writes(from).empty());
}

TEST_F(Images, EachTypedLoaderNamesTheFileThatFailedAndShowsNothing)
{
    write_picture(dir + "/pict.pct", plain(8, 8, 0xFFFFFFFF));
    const std::string missing = dir + "/missing";
    const std::string pict = dir + "/pict.pct";
    struct Case {
        std::function<int()> load;
        std::string text;
    };
    const std::vector<Case> cases = {
        {[&] { return ctl->TgaImageLoad(missing.c_str(), 0, 0); }, "TgaLoadErr " + missing},
        {[&] { return ctl->PictImageLoad(missing.c_str(), 0, 0); }, "PictLoadErr " + missing},
        {[&] { return ctl->JpegImageLoad(missing.c_str(), 0, 0); }, "JpegLoadErr " + missing},
        {[&] { return ctl->TgaImageLoad(pict.c_str(), 0, 0); }, "TgaLoadErr " + pict},
        {[&] { return ctl->JpegImageLoadChCol(pict.c_str(), 0, 0, 0xFFFF0000); }, "JpegLoadErr " + pict},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.load(), -1) << c.text;
        EXPECT_EQ(ctl->GetErrorText(), c.text.c_str());
    }
    EXPECT_TRUE(rig.gfb_writes(mark).empty());
    EXPECT_EQ(ctl->PictImageLoad(pict.c_str(), 3, 5), 0);
    EXPECT_EQ(written(mark), placed(read_picture(pict), 3, 5));
}

TEST_F(Images, TheColourVariantsTintThePictureFirst)
{
    std::mt19937 rng(test_seed());
    CKrFrameBuffer picture = random_buffer(20, 12, rng);
    write_picture(dir + "/t.tga", picture);
    const DWORD tint = 0xFF80C0FF;
    CKrFrameBuffer tinted = picture;
    tinted.ImageChColor(tint);
    struct Case {
        const char* what;
        std::function<int()> load;
    };
    const std::string file = dir + "/t.tga", base = dir + "/t";
    for (const Case& c : std::vector<Case>{{"typed", [&] { return ctl->TgaImageLoadChCol(file.c_str(), 7, 9, tint); }},
                                           {"by name", [&] { return ctl->ImageFileLoadChCol(base.c_str(), 7, 9, tint); }}}) {
        const std::uint64_t from = board().journal().mark();
        ASSERT_EQ(c.load(), 0) << c.what;
        EXPECT_EQ(written(from), placed(tinted, 7, 9)) << c.what;
        ASSERT_TRUE(board().step_fields(2));
    }
}

struct Placement {
    int code;
    long dx, dy; // the picture's offset inside the box
};

class FormPlacement : public Images, public ::testing::WithParamInterface<Placement> {};

TEST_P(FormPlacement, TensPlaceVerticallyAndUnitsHorizontallyInsideTheBox)
{
    const Placement p = GetParam();
    const CKrFrameBuffer picture = plain(40, 30, 0xFF445566);
    write_picture(dir + "/f.tga", picture);
    ASSERT_EQ(ctl->ImageFileLoadForm((dir + "/f.tga").c_str(), 100, 50, 200, 101, 1, p.code, 0, 0, 0), 0);
    EXPECT_EQ(written(mark), placed(picture, 100 + p.dx, 50 + p.dy));
    EXPECT_EQ(ctl->GetGfb()->GetCopyMode(), 1) << "the form's copy mode stays";
}

// Box 200 × 101, picture 40 × 30: right/bottom 160/71, centred 100 - 20 = 80 and 50 - 15 = 35.
INSTANTIATE_TEST_SUITE_P(Online, FormPlacement,
                         ::testing::Values(Placement{0, 0, 0}, Placement{1, 160, 0}, Placement{2, 80, 0},
                                           Placement{10, 0, 71}, Placement{11, 160, 71}, Placement{12, 80, 71},
                                           Placement{20, 0, 35}, Placement{21, 160, 35}, Placement{22, 80, 35},
                                           Placement{33, 0, 0}));

TEST_F(Images, TheFormLoaderResizesTintsAndTakesOnlyTarga)
{
    std::mt19937 rng(test_seed());
    const CKrFrameBuffer picture = random_buffer(40, 30, rng);
    write_picture(dir + "/f.tga", picture);
    write_picture(dir + "/j.jpg", picture);
    const std::string f = dir + "/f.tga";

    CKrFrameBuffer resized;
    ASSERT_EQ(CKrFrameBuffer(picture).SizeChange(&resized, 80, 20), 0);
    resized.ImageChColor(0xFF00FF00);
    ASSERT_EQ(ctl->ImageFileLoadForm(f.c_str(), 10, 10, 80, 20, 0, 22, 1, 1, 0xFF00FF00), 0);
    EXPECT_EQ(written(mark), placed(resized, 10, 10)) << "resized to the box, so centring moves nothing";
    ASSERT_TRUE(board().step_fields(2));

    std::uint64_t from = board().journal().mark();
    ASSERT_EQ(ctl->ImageFileLoadForm((dir + "/f").c_str(), 10, 10, 0, 20, 0, 0, 1, 0, 0), 0)
        << "a name without extension finds the Targa";
    EXPECT_EQ(ctl->GetErrorText(), "ImgSizeChangeErr(0,20)");
    EXPECT_EQ(written(from), placed(picture, 10, 10)) << "the original, as it was";
    ASSERT_TRUE(board().step_fields(2));

    from = board().journal().mark();
    const std::string jpeg = dir + "/j.jpg";
    EXPECT_EQ(ctl->ImageFileLoadForm(jpeg.c_str(), 0, 0, 10, 10, 0, 0, 0, 0, 0), -1);
    EXPECT_EQ(ctl->GetErrorText(), ("ImageLoadErr " + jpeg).c_str());
    EXPECT_EQ(ctl->ImageFileLoadForm((dir + "/nothing.tga").c_str(), 0, 0, 10, 10, 0, 0, 0, 0, 0), -1);
    EXPECT_EQ(ctl->GetErrorText(), ("TgaLoadErr " + dir + "/nothing.tga").c_str());
    EXPECT_TRUE(rig.gfb_writes(from).empty());
}

TEST_F(Images, NamesAreClassifiedByExtensionOrByTheFirstFileFound)
{
    // Only the names count: empty files do.
    for (const char* name : {"/both.pct", "/both.bmp", "/only.jpg"}) std::fclose(std::fopen((dir + name).c_str(), "wb"));
    struct Case {
        std::string name;
        int kind;
        std::string found;
    };
    const std::vector<Case> cases = {
        {"a.tga", 1, "a.tga"},          {"a.TGA", 1, "a.TGA"},    {"x/a.pct", 2, "x/a.pct"},
        {"a.bmp", 3, "a.bmp"},          {"A.BMP", 3, "A.BMP"},    {"a.Jpg", 4, "a.Jpg"},
        {"a.png", -1, ""},              {dir + "/both", 2, dir + "/both.pct"},
        {dir + "/only", 4, dir + "/only.jpg"}, {dir + "/none", -1, ""}, {"", -1, ""},
    };
    for (const Case& c : cases) {
        CString found("stale");
        EXPECT_EQ(ctl->GetImageFileName(c.name.c_str(), found), c.kind) << c.name;
        EXPECT_EQ(found, c.found.c_str()) << c.name;
    }
}

TEST_F(Images, SavingWritesTheWriteBanksRectangleInTheFormatItsNameAsksFor)
{
    std::mt19937 rng(test_seed());
    CKrFrameBuffer picture = random_buffer(50, 40, rng, 1);
    ASSERT_EQ(ctl->SetBankWrite(1), 0);
    ASSERT_EQ(ctl->ImagePut(&picture, 20, 30), 0);
    EXPECT_TRUE(rig.gfb_writes(mark).empty()) << "bank 1 is not on air";
    CKrFrameBuffer got;
    ASSERT_EQ(ctl->ImageGet(&got, 20, 30, 50, 40), 0);
    EXPECT_EQ(diff_pixels(got, picture), 0);

    for (const char* ext : {".tga", ".pct"}) {
        const std::string file = dir + "/saved" + ext;
        ASSERT_EQ(ctl->ImageFileSave(file.c_str(), 20, 30, 50, 40), 0) << ext;
        EXPECT_EQ(diff_pixels(read_picture(file), picture), 0) << ext;
        const std::string typed = dir + "/typed" + ext;
        ASSERT_EQ(std::string(ext) == ".tga" ? ctl->TgaImageSave(typed.c_str(), 20, 30, 50, 40)
                                             : ctl->PictImageSave(typed.c_str(), 20, 30, 50, 40),
                  0);
        EXPECT_EQ(diff_pixels(read_picture(typed), picture), 0) << ext;
    }
    const std::string jpeg = dir + "/saved.jpg";
    ASSERT_EQ(ctl->ImageFileSave(jpeg.c_str(), 20, 30, 50, 40), 0);
    const CKrFrameBuffer j = read_picture(jpeg);
    EXPECT_EQ(j.GetWidth(), 50u);
    EXPECT_EQ(j.GetHeight(), 40u);
    ASSERT_EQ(ctl->JpegImageSave((dir + "/typed.jpg").c_str(), 0, 0, 64, 64), 0);

    const std::string nowhere = dir + "/no/such/folder/x";
    struct Case {
        std::function<int()> save;
        std::string text;
    };
    const std::vector<Case> failures = {
        {[&] { return ctl->ImageFileSave((dir + "/x.bmp").c_str(), 0, 0, 8, 8); }, "ImgSaveErr " + dir + "/x.bmp"},
        {[&] { return ctl->TgaImageSave((nowhere + ".tga").c_str(), 0, 0, 8, 8); }, "TgaSaveErr " + nowhere + ".tga"},
        {[&] { return ctl->PictImageSave((nowhere + ".pct").c_str(), 0, 0, 8, 8); }, "PictSaveErr " + nowhere + ".pct"},
        {[&] { return ctl->JpegImageSave((nowhere + ".jpg").c_str(), 0, 0, 8, 8); }, "JpegSaveErr " + nowhere + ".jpg"},
        {[&] { return ctl->ImageFileSave((dir + "/empty.tga").c_str(), 0, 0, 0, 8); }, "TgaSaveErr " + dir + "/empty.tga"},
    };
    for (const Case& c : failures) {
        EXPECT_EQ(c.save(), -1) << c.text;
        EXPECT_EQ(ctl->GetErrorText(), c.text.c_str());
    }
    EXPECT_FALSE(fs::exists(dir + "/x.bmp"));
}

} // namespace
} // namespace zt
