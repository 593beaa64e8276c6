// The folder lists: size and date texts, which files a folder lists, and the names of outputs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include "converter_test_support.h"
#include "core/convert_pipeline.h"
#include "core/folder_listing.h"

namespace {

struct SizeCase {
    std::uint64_t bytes;
    const char* text;
};

class SizeText : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SizeText, RoundsUpToKilobytes)
{
    EXPECT_EQ(vm::file_size_text(GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Values, SizeText,
                         ::testing::Values(SizeCase{0, "1KB"}, SizeCase{1000, "1KB"}, SizeCase{1023, "1KB"},
                                           SizeCase{1024, "1 KB"}, SizeCase{1025, "2 KB"}, SizeCase{2048, "2 KB"},
                                           SizeCase{6220818, "6076 KB"},
                                           // Beyond 32 bits the count still comes out whole.
                                           SizeCase{5ull << 32, "20971520 KB"}));

TEST(ListingTexts, DateIsLocalTimeWithSixBlanks)
{
    // The test runs with TZ=UTC.
    EXPECT_EQ(vm::file_date_text(0), "1970/01/01      00:00");
    EXPECT_EQ(vm::file_date_text(1709629620), "2024/03/05      09:07");
    EXPECT_EQ(vm::image_size_text(1920, 1080), "1920\u00D71080");
    EXPECT_EQ(vm::image_size_text(0, 0), "0\u00D70");
}

struct DestCase {
    const char* name;
    int format;
    const char* path;
};

class DestinationName : public ::testing::TestWithParam<DestCase> {};

TEST_P(DestinationName, KeepsTheDotAndTakesTheFormatsExtension)
{
    EXPECT_EQ(vm::destination_path("out", GetParam().name, GetParam().format), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(Values, DestinationName,
                         ::testing::Values(DestCase{"a.jpg", vm::kFormatTgaRle, "out/a.tga"},
                                           DestCase{"A.BMP", vm::kFormatTgaRaw, "out/A.tga"},
                                           DestCase{"p.tga", vm::kFormatPict, "out/p.pct"},
                                           DestCase{"x.y.pct", vm::kFormatJpeg, "out/x.y.jpg"},
                                           DestCase{"名前.tga", vm::kFormatBmp, "out/名前.bmp"},
                                           DestCase{"ab", vm::kFormatBmp, "out/bmp"}));

std::vector<std::string> names_listed(const std::string& dir, const char* ext, vm::ListResult* result = nullptr)
{
    std::vector<std::string> names;
    const vm::ListResult r =
        vm::list_folder(dir, ext, nullptr, [&](const vm::ListRow& row) { names.push_back(row.name); });
    if (result) *result = r;
    return names;
}

TEST(Listing, FindsTheExtensionIgnoringCaseInNameOrder)
{
    const std::string dir = vt::fresh_dir("listing");
    for (const char* name : {"b.tga", "A.TGA", "c.Tga", "d.tgax", "e.jpg", "tga", "f.tga.bak", "g.b.tga"}) {
        vt::write_file(dir + "/" + name, std::string(1500, 'x'));
    }
    ASSERT_EQ(::mkdir((dir + "/folder.tga").c_str(), 0755), 0);
    EXPECT_EQ(names_listed(dir, "tga"), (std::vector<std::string>{"A.TGA", "b.tga", "c.Tga", "g.b.tga"}));
    EXPECT_EQ(names_listed(dir, "jpg"), (std::vector<std::string>{"e.jpg"}));
    EXPECT_TRUE(names_listed(dir, "pct").empty());

    std::vector<vm::ListRow> rows;
    vm::list_folder(dir, "jpg", [](const std::string&) { return CSize(12, 34); },
                    [&](const vm::ListRow& r) { rows.push_back(r); });
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].path, dir + "/e.jpg");
    EXPECT_EQ(rows[0].size_text, "2 KB");
    EXPECT_EQ(rows[0].width, 12);
    EXPECT_EQ(rows[0].height, 34);
    struct stat st{};
    ASSERT_EQ(::stat(rows[0].path.c_str(), &st), 0);
    EXPECT_EQ(rows[0].date_text, vm::file_date_text(st.st_mtime));
}

TEST(Listing, MissingOrEmptyFolderListsNothingSilently)
{
    vt::MessageRecorder boxes;
    vm::ListResult r{};
    EXPECT_TRUE(names_listed(vt::fresh_dir("listing-empty"), "tga", &r).empty());
    EXPECT_EQ(r, vm::ListResult::Done);
    EXPECT_TRUE(names_listed("/no/such/folder/anywhere", "tga", &r).empty());
    EXPECT_EQ(r, vm::ListResult::Done);
    EXPECT_TRUE(names_listed("", "tga", &r).empty());
    EXPECT_TRUE(boxes.texts.empty());
}

TEST(Listing, EntriesThatCannotBeOpenedAreSkippedAndNamed)
{
    const std::string dir = vt::fresh_dir("listing-broken");
    vt::write_file(dir + "/a.tga", "x");
    vt::write_file(dir + "/d.tga", "x");
    // A link to nothing and a link to itself cannot be opened, whoever runs the test.
    ASSERT_EQ(::symlink((dir + "/nowhere").c_str(), (dir + "/b.tga").c_str()), 0);
    ASSERT_EQ(::symlink((dir + "/c.tga").c_str(), (dir + "/c.tga").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir + "/e.tga").c_str(), 0644), 0);
    vt::MessageRecorder boxes;
    std::vector<std::string> names;
    std::vector<vm::UnreadableEntry> unreadable;
    const vm::ListResult r = vm::list_folder(
        dir, "tga", nullptr, [&](const vm::ListRow& row) { names.push_back(row.name); }, &unreadable);
    EXPECT_EQ(r, vm::ListResult::SomeUnreadable);
    EXPECT_EQ(names, (std::vector<std::string>{"a.tga", "d.tga"}));
    ASSERT_EQ(unreadable.size(), 3u);
    EXPECT_EQ(unreadable[0].name, "b.tga");
    EXPECT_EQ(unreadable[1].name, "c.tga");
    EXPECT_EQ(unreadable[2].name, "e.tga");
    for (const vm::UnreadableEntry& e : unreadable) EXPECT_FALSE(e.reason.empty()) << e.name;
    // The caller words the message: the listing itself shows none.
    EXPECT_TRUE(boxes.texts.empty());
}

} // namespace
