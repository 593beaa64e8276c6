// The golden helper itself: its paths, its checksums, that a difference deep in a long run is
// named by its field, that broken or missing references never pass, and that pictures are
// exact unless a tolerance is declared.
#include "support/golden.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/pam_image.h"
#include "support/test_support.h"

namespace {

using zt::FieldSum;
using zt::GoldenMode;
using zt::GoldenStatus;

const std::string kGoldens = std::string(ZORVIK_TEST_DATA) + "/goldens/";

// A synthetic run: a small picture per field whose pixels depend on the field number, as an
// effect's output would.
CKrFrameBuffer field_picture(long field)
{
    CKrFrameBuffer fb(24, 6, 1);
    for (long y = 0; y < 6; ++y)
        for (long x = 0; x < 24; ++x)
            zt::set_px(fb, x, y, static_cast<DWORD>((field * 7 + x) & 255) << 24 | static_cast<DWORD>(field * 131 + y * 17 + x));
    return fb;
}

std::vector<FieldSum> synthetic_run(long fields, const std::function<void(long, CKrFrameBuffer&)>& plant = {})
{
    std::vector<FieldSum> run;
    for (long f = 0; f < fields; ++f) {
        CKrFrameBuffer fb = field_picture(f);
        if (plant) plant(f, fb);
        run.push_back(zt::field_sum(f, fb));
    }
    return run;
}

} // namespace

TEST(GoldenHelper, PathsFollowTheLayoutAndRefuseOddNames)
{
    EXPECT_EQ(zt::golden_path("caption", "news"), kGoldens + "caption/news.pam");
    EXPECT_EQ(zt::golden_path("roll", "crawl_ntsc", 312), kGoldens + "roll/crawl_ntsc.f312.pam");
    EXPECT_EQ(zt::golden_path("roll", "crawl-ntsc", 0), kGoldens + "roll/crawl-ntsc.f0.pam");
    EXPECT_EQ(zt::field_sums_path("Fade", "Cut2"), kGoldens + "Fade/Cut2.fieldsums");

    for (const char* bad : {"", "..", "a/b", "a b", "x.pam", "\xE5\xAD\x97"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(zt::golden_path(bad, "name"), std::invalid_argument);
        EXPECT_THROW(zt::golden_path("suite", bad, 1), std::invalid_argument);
        EXPECT_THROW(zt::field_sums_path("suite", bad), std::invalid_argument);
    }
    EXPECT_THROW(zt::golden_path("suite", "name", -1), std::invalid_argument);
}

TEST(GoldenHelper, ChecksumsAreCrc32AndKeepFillApartFromKey)
{
    const std::string check = "123456789";
    EXPECT_EQ(zt::crc32({reinterpret_cast<const unsigned char*>(check.data()), check.size()}), 0xCBF43926u);
    // Continuing a CRC over a second part gives the CRC of the whole.
    const auto* bytes = reinterpret_cast<const unsigned char*>(check.data());
    EXPECT_EQ(zt::crc32({bytes + 4, 5}, zt::crc32({bytes, 4})), 0xCBF43926u);

    const CKrFrameBuffer base = field_picture(3);
    const FieldSum before = zt::field_sum(3, base);
    struct Change {
        const char* what;
        DWORD mask;
        bool fill, key;
    };
    for (const Change c : {Change{"blue", 0x00000001u, true, false}, Change{"red", 0x00800000u, true, false},
                           Change{"key", 0x01000000u, false, true}, Change{"colour and key", 0x10000100u, true, true}}) {
        SCOPED_TRACE(c.what);
        CKrFrameBuffer changed = base;
        zt::set_px(changed, 23, 5, zt::px(changed, 23, 5) ^ c.mask);
        const FieldSum after = zt::field_sum(3, changed);
        EXPECT_EQ(after.fill != before.fill, c.fill);
        EXPECT_EQ(after.key != before.key, c.key);
    }
    // Swapping two pixels changes the sums too: they depend on the order.
    CKrFrameBuffer swapped = base;
    zt::set_px(swapped, 0, 0, zt::px(base, 1, 0));
    zt::set_px(swapped, 1, 0, zt::px(base, 0, 0));
    EXPECT_NE(zt::field_sum(3, swapped).fill, before.fill);

    // The documented layout: colour bytes blue, green, red as they lie in memory; keys apart.
    const DWORD one[1] = {0x80402010u};
    const unsigned char colour[3] = {0x10, 0x20, 0x40}, key[1] = {0x80};
    EXPECT_EQ(zt::field_sum(6, one, 1, 1), (FieldSum{6, 1, 1, zt::crc32(colour), zt::crc32(key)}));

    const DWORD three[3] = {1, 2, 3};
    EXPECT_THROW(zt::field_sum(0, three, 2, 2), std::invalid_argument);
    // The same pixels in another shape: the same checksums, told apart by the size.
    const FieldSum row = zt::field_sum(0, three, 3, 1), column = zt::field_sum(0, three, 1, 3);
    EXPECT_EQ(row.fill, column.fill);
    EXPECT_NE(row, column);
}

TEST(GoldenHelper, ListsRoundTripAndBrokenReferencesAreRefusedByLine)
{
    const std::vector<FieldSum> run = synthetic_run(5);
    std::vector<FieldSum> back;
    std::string error;
    ASSERT_TRUE(zt::parse_field_sums(zt::format_field_sums(run), back, &error)) << error;
    EXPECT_EQ(back, run);
    ASSERT_TRUE(zt::parse_field_sums("# comment\r\n\n7 720x243 0123abcd FFFFFFFF\r\n", back, &error)) << error;
    EXPECT_EQ(back, (std::vector<FieldSum>{{7, 720, 243, 0x0123abcdu, 0xffffffffu}}));

    struct Broken {
        const char* text;
        const char* line;
    };
    for (const Broken b : {Broken{"0 1x1 00000000\n", "line 1:"}, Broken{"0 1x1 00000000 00000000 extra\n", "line 1:"},
                           Broken{"# sums\n-1 1x1 00000000 00000000\n", "line 2:"},
                           Broken{"0 1by1 00000000 00000000\n", "line 1: bad size"},
                           Broken{"0 1x1 0000000 00000000\n", "line 1: checksums"},
                           Broken{"0 1x1 0000000g 00000000\n", "line 1: checksums"},
                           Broken{"4 1x1 00000000 00000000\n4 1x1 00000000 00000000\n", "line 2: field 4 does not follow"},
                           Broken{"5 1x1 00000000 00000000\n3 1x1 00000000 00000000\n", "line 2: field 3 does not follow"}}) {
        SCOPED_TRACE(b.text);
        error.clear();
        EXPECT_FALSE(zt::parse_field_sums(b.text, back, &error));
        EXPECT_EQ(error.rfind(b.line, 0), 0u) << error;
        EXPECT_TRUE(back.empty());
    }
}

namespace {

// A long run checked against a committed-style list: each planted fault is named by the
// first field it touches.
struct Plant {
    const char* what;
    long run_length;
    std::function<void(long, CKrFrameBuffer&)> plant;
    long first_field;
    const char* says;
};

void PrintTo(const Plant& p, std::ostream* out) { *out << p.what; }

class GoldenHelperRun : public ::testing::TestWithParam<Plant> {};

} // namespace

TEST_P(GoldenHelperRun, NamesTheFirstDifferingField)
{
    const Plant& p = GetParam();
    const std::string path = zt::temp_path("golden_helper_run.fieldsums");
    const std::vector<FieldSum> reference = synthetic_run(600);
    ASSERT_EQ(zt::check_field_sums(path, reference, GoldenMode::update).status, GoldenStatus::written);

    const zt::GoldenResult r = zt::check_field_sums(path, synthetic_run(p.run_length, p.plant), GoldenMode::compare);
    EXPECT_EQ(r.status, GoldenStatus::different);
    EXPECT_EQ(r.first_field, p.first_field);
    EXPECT_NE(r.report.find("first difference in field " + std::to_string(p.first_field) + ": " + p.says), std::string::npos)
        << r.report;
}

INSTANTIATE_TEST_SUITE_P(
    Plants, GoldenHelperRun,
    ::testing::Values(
        Plant{"fill", 600, [](long f, CKrFrameBuffer& fb) { if (f == 312) zt::set_px(fb, 5, 2, zt::px(fb, 5, 2) ^ 0x40); }, 312, "fill "},
        Plant{"key", 600, [](long f, CKrFrameBuffer& fb) { if (f == 312) zt::set_px(fb, 0, 0, zt::px(fb, 0, 0) ^ 0x80000000u); }, 312, "key "},
        Plant{"several", 600, [](long f, CKrFrameBuffer& fb) { if (f == 312 || f == 313 || f == 599) zt::set_px(fb, 1, 1, 0); }, 312, "fill "},
        Plant{"size", 600, [](long f, CKrFrameBuffer& fb) { if (f == 312) fb = CKrFrameBuffer(24, 5, 1); }, 312, "size 24x5, reference 24x6"},
        Plant{"short", 312, {}, 312, "in the reference but not in the run"},
        Plant{"long", 700, {}, 600, "in the run but not in the reference"}),
    [](const ::testing::TestParamInfo<Plant>& info) { return std::string(info.param.what); });

TEST(GoldenHelper, SameRunMatchesAndMissingOrBrokenReferencesFail)
{
    const std::string path = zt::temp_path("golden_helper_same.fieldsums");
    const std::vector<FieldSum> run = synthetic_run(40);
    const zt::GoldenResult missing = zt::check_field_sums(path, run, GoldenMode::compare);
    EXPECT_EQ(missing.status, GoldenStatus::missing);
    EXPECT_NE(missing.report.find("ZORVIK_UPDATE_GOLDENS=1"), std::string::npos) << missing.report;

    ASSERT_EQ(zt::check_field_sums(path, run, GoldenMode::update).status, GoldenStatus::written);
    const zt::GoldenResult same = zt::check_field_sums(path, run, GoldenMode::compare);
    EXPECT_EQ(same.status, GoldenStatus::same);
    EXPECT_TRUE(same.report.empty()) << same.report;

    { std::ofstream(path, std::ios::app) << "39 24x6 00000000 00000000\n"; }
    const zt::GoldenResult broken = zt::check_field_sums(path, run, GoldenMode::compare);
    EXPECT_EQ(broken.status, GoldenStatus::different);
    EXPECT_NE(broken.report.find("broken reference"), std::string::npos) << broken.report;

    // A run out of order is the test's own mistake: refused, never written.
    std::vector<FieldSum> shuffled = run;
    std::swap(shuffled[3], shuffled[4]);
    EXPECT_EQ(zt::check_field_sums(path, shuffled, GoldenMode::compare).status, GoldenStatus::different);
    EXPECT_EQ(zt::check_field_sums(path, shuffled, GoldenMode::update).status, GoldenStatus::different);
}

TEST(GoldenHelper, PicturesAreExactUnlessAToleranceIsDeclared)
{
    const std::string path = zt::temp_path("golden_helper_picture.pam");
    CKrFrameBuffer approved = field_picture(9);
    zt::set_px(approved, 3, 1, 0x80402010u);
    EXPECT_EQ(zt::check_picture(path, approved, 0, GoldenMode::compare).status, GoldenStatus::missing);
    ASSERT_EQ(zt::check_picture(path, approved, 0, GoldenMode::update).status, GoldenStatus::written);
    EXPECT_EQ(zt::check_picture(path, approved, 0, GoldenMode::compare).status, GoldenStatus::same);

    // Blue 2 and green 1 higher in one pixel, the key 1 lower in another: largest 2, total 4.
    CKrFrameBuffer near = approved;
    zt::set_px(near, 3, 1, 0x80402112u);
    zt::set_px(near, 20, 4, zt::px(approved, 20, 4) - 0x01000000u);
    struct Case {
        int tolerance;
        GoldenStatus status;
    };
    for (const Case c : {Case{0, GoldenStatus::different}, Case{1, GoldenStatus::different}, Case{2, GoldenStatus::same}}) {
        SCOPED_TRACE(c.tolerance);
        const zt::GoldenResult r = zt::check_picture(path, near, c.tolerance, GoldenMode::compare);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.report.find("2 pixels differ, largest byte difference 2 (tolerance " + std::to_string(c.tolerance) +
                                "), total 4; first at (3,1): 80402112, reference 80402010"),
                  std::string::npos)
            << r.report;
    }
    const zt::GoldenResult resized = zt::check_picture(path, CKrFrameBuffer(24, 7, 1), 255, GoldenMode::compare);
    EXPECT_EQ(resized.status, GoldenStatus::different);
    EXPECT_NE(resized.report.find("size 24x7, reference 24x6"), std::string::npos) << resized.report;
}
