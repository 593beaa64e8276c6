// The settings file: profile-file parsing and the converter's settings on top of it.
#include <gtest/gtest.h>

#include "converter_test_support.h"
#include "core/ini_profile.h"
#include "core/velmora_settings.h"

namespace {

struct IntCase {
    const char* text;
    std::int32_t value;
};

class IniParseInt : public ::testing::TestWithParam<IntCase> {};

TEST_P(IniParseInt, TakesTheLeadingDecimalNumber)
{
    EXPECT_EQ(vm::IniProfile::ParseInt(GetParam().text), GetParam().value) << "'" << GetParam().text << "'";
}

INSTANTIATE_TEST_SUITE_P(Values, IniParseInt,
                         ::testing::Values(IntCase{"12", 12}, IntCase{"  42px", 42}, IntCase{"\t7 8", 7},
                                           IntCase{"-7", -7}, IntCase{"+5", 5}, IntCase{"abc", 0},
                                           IntCase{"", 0}, IntCase{"- 3", 0}, IntCase{"0x10", 0},
                                           IntCase{"2147483647", 2147483647},
                                           // Too long for 32 bits: wraps like the system's conversion.
                                           IntCase{"4294967297", 1}, IntCase{"99999999999999999999999", -159383553}));

TEST(IniProfile, FollowsProfileFileRules)
{
    const vm::IniProfile ini = vm::IniProfile::FromText(
        "\xEF\xBB\xBF"
        "orphan=1\r\n"
        "; a comment\r\n"
        "[general]\r\n"
        "  Width =  720  \r\n"
        "WIDTH=999\r\n"
        "path=\"C:/a b/\"\r\n"
        "single='x'\r\n"
        "mixed=\"x'\r\n"
        "inner=a\"b\"c\r\n"
        "empty=\r\n"
        "bare\r\n"
        "[Other\r\n"
        "width=1\r\n"
        "[GENERAL]\r\n"
        "late=5\r\n"
        "width=3\r\n");
    EXPECT_EQ(ini.GetInt("GENERAL", "width", 0), 720);  // first occurrence, any case
    EXPECT_EQ(ini.GetString("General", "PATH", ""), "C:/a b/");
    EXPECT_EQ(ini.GetString("general", "single", ""), "x");
    EXPECT_EQ(ini.GetString("general", "mixed", ""), "\"x'");
    EXPECT_EQ(ini.GetString("general", "inner", ""), "a\"b\"c");
    EXPECT_EQ(ini.GetInt("general", "empty", 77), 77);  // empty value: default
    EXPECT_EQ(ini.GetInt("general", "bare", 66), 66);
    EXPECT_EQ(ini.GetString("general", "empty", "dflt"), "");
    EXPECT_EQ(ini.GetInt("general", "late", 0), 5);     // a repeated section adds new keys
    EXPECT_EQ(ini.GetInt("other", "width", 0), 1);      // header without its bracket
    EXPECT_EQ(ini.GetInt("general", "orphan", 9), 9);   // keys before any section belong nowhere
    EXPECT_EQ(ini.GetInt("missing", "width", 8), 8);
    EXPECT_FALSE(ini.Find("general", "nothing").has_value());
}

TEST(IniProfile, MissingFileGivesDefaults)
{
    const vm::VelmoraProfile p = vm::read_velmora_profile(zt::temp_path("no-such-Velmora.INI"));
    EXPECT_EQ(p.Preset1, (vm::tagCONVSETTING{640, 480, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(p.Preset2, (vm::tagCONVSETTING{720, 486, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(p.SrcPath, "./");
    EXPECT_EQ(p.DstPath, "./");
    EXPECT_EQ(p.Custom, 0);
    EXPECT_EQ(p.PathFlg, 0);
}

TEST(IniProfile, ReadsEveryKeyOfBothPresets)
{
    const std::string path = zt::temp_path("full-Velmora.INI");
    vt::write_file(path,
                   "[GENERAL]\nFILTER1=1\nFILTER2=2\nKEY1=1\nKEY2=0\nW1=320\nH1=240\nW2=1440\nH2=1080\n"
                   "SRCPATH=\"/data/in\"\nCUSTOM=1\nPATHFLG=1\nDSTPATH=/data/out/\n"
                   "CUTX1=1\nCUTY1=2\nCUTW1=3\nCUTH1=4\nCUTX2=240\nCUTY2=0\nCUTW2=1440\nCUTH2=1080\n");
    const vm::VelmoraProfile p = vm::read_velmora_profile(path);
    EXPECT_EQ(p.Preset1, (vm::tagCONVSETTING{320, 240, 1, 2, 3, 4, 1, 1}));
    EXPECT_EQ(p.Preset2, (vm::tagCONVSETTING{1440, 1080, 240, 0, 1440, 1080, 2, 0}));
    EXPECT_EQ(p.SrcPath, "/data/in/");
    EXPECT_EQ(p.DstPath, "/data/out/");
    EXPECT_EQ(p.Custom, 1);
    EXPECT_EQ(p.PathFlg, 1);
}

TEST(IniProfile, NonsenseValuesAreReadAsTheyStand)
{
    const std::string path = zt::temp_path("garbage-Velmora.INI");
    vt::write_file(path, "[GENERAL]\nFILTER1=lots\nW1=-20\nH1=12abc\nKEY2=7\nCUSTOM=yes\nPATHFLG=\n");
    const vm::VelmoraProfile p = vm::read_velmora_profile(path);
    EXPECT_EQ(p.Preset1.nFilter, 0);
    EXPECT_EQ(p.Preset1.nWidth, -20);
    EXPECT_EQ(p.Preset1.nHeight, 12);
    EXPECT_EQ(p.Preset2.nKey, 7);
    EXPECT_EQ(p.Custom, 0);
    EXPECT_EQ(p.PathFlg, 0);  // empty value: default
    // What the custom dialog would offer from them.
    const vm::tagCONVSETTING offered = vm::preset_as_offered({-20, 5000, -1, 2000, 99999, 7, 9, 7});
    EXPECT_EQ(offered, (vm::tagCONVSETTING{0, 1080, 0, 1080, 1920, 7, 3, 0}));
}

struct FolderCase {
    const char* raw;
    const char* normal;
};

class FolderNormalisation : public ::testing::TestWithParam<FolderCase> {};

TEST_P(FolderNormalisation, TrimsQuotesAndEndsInOneSeparator)
{
    EXPECT_EQ(vm::normalize_folder(GetParam().raw), GetParam().normal);
}

INSTANTIATE_TEST_SUITE_P(Values, FolderNormalisation,
                         ::testing::Values(FolderCase{"\"/data/in\"", "/data/in/"}, FolderCase{"/data/in/", "/data/in/"},
                                           FolderCase{"\"\"/x\"\"", "/x/"}, FolderCase{"/a\"b", "/a\"b/"},
                                           FolderCase{"", "/"}, FolderCase{"\"\"", "/"},
                                           FolderCase{"./", "./"}));

} // namespace
