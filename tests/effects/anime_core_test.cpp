// The animation core: CAnimeSet1's checks and the frame-file name formatter, which must fill
// exactly one integer conversion the way printf does and refuse every other pattern.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "effects/anime_core.h"
#include "support/test_support.h"

namespace {

using zk::fx::format_frame_name;

TEST(AnimeSetCheck, RefusesInOrderWithTheLegacyTexts)
{
    auto check = [](int n, int frames, int w, int h) { return std::string(zk::fx::check_anime_set1(n, frames, w, h)); };
    EXPECT_EQ(check(0, 10, 100, 50), "");
    EXPECT_EQ(check(32, 10, 100, 50), "AnimeNo Err[32]");
    EXPECT_EQ(check(-1, 0, 0, 0), "AnimeNo Err[-1]");
    EXPECT_EQ(check(4, 0, 100, 50), "AnimeScenc Err[4]");
    EXPECT_EQ(check(4, 10, 721, 50), "AnimeSizeW Err[4]721");
    EXPECT_EQ(check(4, 10, 720, 487), "AnimeSizeH Err[4]487");
    EXPECT_EQ(check(4, 10, 1, 0), "AnimeSizeH Err[4]0");
}

TEST(FrameName, FillsTheConversionAsPrintfWould)
{
    const struct {
        const char* pattern;
        long long number;
        const char* name;
    } cases[] = {
        {"clips/f%03d.tga", 5, "clips/f005.tga"}, {"clips/f%03d.tga", 7, "clips/f007.tga"},
        {"%5i", 42, "   42"},                      {"%x", 255, "ff"},
        {"%%%d%%", 7, "%7%"},                      {"%-4d|", -3, "-3  |"},
        {"%#o", 8, "010"},                         {"%#o", 0, "0"},
        {"%.0d", 0, ""},                           {"%u", -1, "4294967295"},
        {"%+05d", 42, "+0042"},                    {"%#X", 255, "0XFF"},
        {"% d", 9, " 9"},                          {"%08.3d", -7, "    -007"},
        {"%d", -2147483648LL, "-2147483648"},      {"a%%b%02d.tga", 123, "a%b123.tga"},
        {"%-05d|", 42, "42   |"},                  {"%#.3x", 10, "0x00a"},
    };
    for (const auto& c : cases) {
        const auto name = format_frame_name(c.pattern, c.number);
        ASSERT_TRUE(name) << c.pattern;
        EXPECT_EQ(*name, c.name) << c.pattern << " with " << c.number;
    }
}

TEST(FrameName, RefusesAnythingButOneIntegerConversion)
{
    for (const char* pattern :
         {"", "f.tga", "%%d", "%d%d", "f%03d_%02d.tga", "%s", "%n", "%p", "%c", "%f", "%e", "%ld", "%lld", "%hd",
          "%zd", "%jd", "%*d", "%.*d", "%", "abc%", "%5", "%-", "%#d", "%#i", "%#u", "%100d", "%.100d", "%1$d",
          "%'d", "%I64d", "%q", "%D", "%d%", "%%%"}) {
        EXPECT_FALSE(format_frame_name(pattern, 1)) << pattern;
        EXPECT_FALSE(zk::fx::frame_name_pattern_ok(pattern)) << pattern;
    }
    EXPECT_TRUE(zk::fx::frame_name_pattern_ok("f%03d.tga"));
}

// Whether a pattern fits the grammar: text and "%%" around one conversion of flags, at most
// two width digits, an optional '.' with at most two digits, and one of d i u x X o ('#' only
// with o x X).
bool fits_grammar(const std::string& p)
{
    const auto npos = std::string::npos;
    int conversions = 0;
    for (std::size_t i = p.find('%'); i != npos; i = p.find('%', i)) {
        if (p.compare(i, 2, "%%") == 0) {
            i += 2;
            continue;
        }
        const std::size_t width_at = p.find_first_not_of("-+ 0#", i + 1);
        if (width_at == npos) return false;
        std::size_t type_at = p.find_first_not_of("0123456789", width_at);
        if (type_at == npos || type_at - width_at > 2) return false;
        if (p[type_at] == '.') {
            const std::size_t digits_at = type_at + 1;
            type_at = p.find_first_not_of("0123456789", digits_at);
            if (type_at == npos || type_at - digits_at > 2) return false;
        }
        const char type = p[type_at];
        const bool alt = p.substr(i, width_at - i).find('#') != npos;
        if (std::string("diuxXo").find(type) == npos || (alt && std::string("oxX").find(type) == npos)) return false;
        ++conversions;
        i = type_at + 1;
    }
    return conversions == 1;
}

// Random patterns: the formatter accepts exactly what the grammar accepts, and then writes
// what printf writes for the same pattern and an int.
TEST(FrameName, AgreesWithTheGrammarAndWithPrintfOnRandomPatterns)
{
    const std::uint32_t seed = zt::test_seed();
    SCOPED_TRACE(::testing::Message() << "seed " << seed);
    std::mt19937 rng(seed);
    // Half the patterns are random text; half are built like a conversion from random parts, so
    // flags, widths and precisions meet in every combination.
    const std::string alphabet = "%%%%%-+ 0#0123456789..dixXouscplhzn*a/_";
    const std::vector<std::string> flags{"", "-", "0", "+", " ", "#", "-0", "0-", "+0", "#0", "- ", "-#0", "+ 0"};
    const std::vector<std::string> widths{"", "1", "5", "12", "99", "100", "07"};
    const std::vector<std::string> precisions{"", ".", ".0", ".3", ".12", ".123", ".*"};
    const std::string types = "diuxXoslcn%";
    std::uniform_int_distribution<std::size_t> length(0, 9), pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> number(-100000, 100000);
    auto one_of = [&](const auto& list) { return list[std::uniform_int_distribution<std::size_t>(0, list.size() - 1)(rng)]; };
    int accepted = 0;
    for (int round = 0; round < 100000; ++round) {
        std::string pattern;
        if (round % 2 == 0) {
            for (std::size_t n = length(rng); n > 0; --n) pattern += alphabet[pick(rng)];
        } else {
            for (const std::string& part : {one_of(widths), std::string("%"), one_of(flags), one_of(widths),
                                            one_of(precisions), std::string(1, one_of(types))}) {
                pattern.append(part);
            }
            if (round % 10 == 1) pattern.append("%%").append(one_of(precisions));
        }
        const bool valid = fits_grammar(pattern);
        const int value = round % 7 == 0 ? 0 : number(rng);
        const auto name = format_frame_name(pattern, value);
        ASSERT_EQ(name.has_value(), valid) << "pattern \"" << pattern << "\"";
        if (!valid) continue;
        ++accepted;
        char expected[512];
        std::snprintf(expected, sizeof expected, pattern.c_str(), value);
        ASSERT_EQ(*name, expected) << "pattern \"" << pattern << "\" with " << value;
    }
    EXPECT_GT(accepted, 1000);
}

} // namespace
