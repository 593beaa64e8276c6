// The cue sheet's parser: what a sheet means (fields, arguments, strings, options), and that
// every fault is named with its line and a reason, never taken for something else.
#include <gtest/gtest.h>

#include <string>

#include "core/cue_sheet.h"

namespace {

oa::CueSheet parsed(const std::string& text)
{
    oa::CueSheet sheet;
    oa::CueError error;
    EXPECT_TRUE(oa::parse_cue_sheet(text, sheet, error)) << error.text();
    return sheet;
}

TEST(CueSheet, ReadsFieldsArgumentsStringsAndOptions)
{
    const oa::CueSheet sheet = parsed("# a caption\n"
                                      "\n"
                                      "0 text 40 360 48 \"\xE3\x83\x8B\xE3\x83\xA5\xE3\x83\xBC\xE3\x82\xB9 \\\"1\\\"\" edge=2 shadow=3 color=0xFFFFCC00\n"
                                      "  +120   bank 0 1   # on air\n"
                                      "120 box -5 0 10 10 0xff000000\r\n"
                                      "300 image \"a b\\\\c.tga\" 0 0\n");
    ASSERT_EQ(sheet.cues.size(), 4u);
    const oa::Cue& text = sheet.cues[0];
    EXPECT_EQ(text.field, 0);
    EXPECT_EQ(text.line, 3);
    EXPECT_EQ(text.operation, "text");
    ASSERT_EQ(text.args.size(), 4u);
    EXPECT_EQ(text.args[0].integer, 40);
    EXPECT_EQ(text.args[2].integer, 48);
    EXPECT_EQ(text.args[3].text, "\xE3\x83\x8B\xE3\x83\xA5\xE3\x83\xBC\xE3\x82\xB9 \"1\"");
    EXPECT_EQ(text.option("edge", 0), 2);
    EXPECT_EQ(text.option("shadow", 0), 3);
    EXPECT_EQ(static_cast<unsigned long long>(text.option("color", 0)), 0xFFFFCC00ull);
    EXPECT_EQ(text.option("font", 7), 7) << "an option not given gives the fallback";

    EXPECT_EQ(sheet.cues[1].field, 120) << "+N is N fields after the cue above";
    EXPECT_EQ(sheet.cues[1].line, 4);
    EXPECT_EQ(sheet.cues[2].field, 120) << "a cue may share the field above";
    EXPECT_EQ(sheet.cues[2].args[0].integer, -5);
    EXPECT_EQ(sheet.cues[2].args[4].word(), 0xFF000000u);
    EXPECT_EQ(sheet.cues[3].args[0].text, "a b\\c.tga");
    EXPECT_EQ(sheet.last_field(), 300);
}

TEST(CueSheet, ResolvesEscapes)
{
    struct Case {
        const char* quoted;
        const char* text;
    };
    const Case cases[] = {
        {R"("tab\there")", "tab\there"},
        {R"("two\nlines")", "two\nlines"},
        {R"("\x41\x7e")", "A~"},
        {R"("\u{30CB}")", "\xE3\x83\x8B"},
        {R"("\u{1F600}")", "\xF0\x9F\x98\x80"},
        {R"("\u{e9}")", "\xC3\xA9"},
        {R"("# not a comment")", "# not a comment"},
        {R"("")", ""},
    };
    for (const Case& c : cases) {
        const oa::CueSheet sheet = parsed(std::string("5 font 2 ") + c.quoted);
        ASSERT_EQ(sheet.cues.size(), 1u) << c.quoted;
        EXPECT_EQ(sheet.cues[0].args[1].text, c.text) << c.quoted;
    }
}

TEST(CueSheet, AcceptsEmptySheetsCommentsAndAByteOrderMark)
{
    EXPECT_TRUE(parsed("").cues.empty());
    EXPECT_TRUE(parsed("# nothing\n   \n\t# still nothing\n").cues.empty());
    const oa::CueSheet sheet = parsed("\xEF\xBB\xBF" "0 clear");
    ASSERT_EQ(sheet.cues.size(), 1u);
    EXPECT_EQ(sheet.cues[0].operation, "clear");
}

TEST(CueSheet, IntegersCoverEveryThirtyTwoBitWord)
{
    const oa::CueSheet sheet = parsed("0 clearbank -2147483648 0xFFFFFFFF\n1 clearbank 4294967295 +7\n");
    EXPECT_EQ(sheet.cues[0].args[0].integer, -2147483648LL);
    EXPECT_EQ(sheet.cues[0].args[1].word(), 0xFFFFFFFFu);
    EXPECT_EQ(sheet.cues[1].args[0].word(), 0xFFFFFFFFu);
    EXPECT_EQ(sheet.cues[1].args[1].integer, 7);
}

// Each bad sheet names its line and says why; the cues before the fault stay parsed.
TEST(CueSheet, NamesTheLineAndTheReasonOfEveryFault)
{
    struct Case {
        std::string text;
        int line;
        const char* reason; // a part of the reason
    };
    const Case cases[] = {
        {"0 clear\n10 explode 1", 2, "unknown operation 'explode'"},
        {"10 clear\n5 clear", 2, "comes before field 10"},
        {"-1 clear", 1, "is not a count of fields"},
        {"0x10 clear", 1, "is not a count of fields"},
        {"ten clear", 1, "is not a count of fields"},
        {"99999999 clear", 1, "beyond the last field"},
        {"0", 1, "no operation"},
        {"0 \"clear\"", 1, "operation is a word"},
        {"\"0\" clear", 1, "starts with its field"},
        {"0 bank 1", 1, "bank: next is missing"},
        {"0 bank 1 2 3", 1, "takes no more arguments"},
        {"0 bank 1 x", 1, "bank: next must be an integer"},
        {"0 bank 1 4294967296", 1, "must be an integer of 32 bits"},
        {"0 bank 1 -2147483649", 1, "must be an integer of 32 bits"},
        {"0 bank 1 0x", 1, "must be an integer"},
        {"0 bank 1 1.5", 1, "must be an integer"},
        {"0 bank 1 edge=2", 1, "missing before the option"},
        {"0 dvepos 1e30 0 1 1 0", 1, "dvepos: x must lie between"},
        {"0 dvepos 0.5 -1000000.5 1 1 0", 1, "dvepos: y must lie between"},
        {"0 dvepos 0.5 0.5 nan 1 0", 1, "dvepos: w must be a number"},
        {"0 dvepos 0.5 0.5 1 0x1p3 0", 1, "dvepos: h must be a number"},
        {"0 font 1 face", 1, "font: face must be a quoted string"},
        {"0 font \"1\" \"face\"", 1, "font: number must be an integer"},
        {"0 font 1 \"open", 1, "no closing quote"},
        {"0 font 1 \"bad\\q\"", 1, "unknown escape \\q"},
        {"0 font 1 \"\\x4\"", 1, "two hexadecimal digits"},
        {"0 font 1 \"\\x00\"", 1, "character 0"},
        {"0 font 1 \"\\u{D800}\"", 1, "not a character"},
        {"0 font 1 \"\\u{110000}\"", 1, "not a character"},
        {"0 font 1 \"\\u30CB\"", 1, "\\u needs"},
        {"0 font 1 \"a\"b", 1, "followed by a blank"},
        {"0 text 0 0 32 \"a\" bold=1", 1, "has no option 'bold'"},
        {"0 text 0 0 32 \"a\" edge=x", 1, "option edge must be an integer"},
        {"0 text 0 0 32 \"a\" edge=1 edge=2", 1, "given twice"},
        {"0 text 0 0 32 \"a\" =1", 1, "has no option ''"},
        {"0 clear extra=1", 1, "has no option 'extra'"},
        {std::string("0 clear\n1 cl\0ear", 16), 2, "character 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        oa::CueSheet sheet;
        oa::CueError error;
        EXPECT_FALSE(oa::parse_cue_sheet(c.text, sheet, error));
        EXPECT_EQ(error.line, c.line);
        EXPECT_NE(error.reason.find(c.reason), std::string::npos) << error.reason;
        EXPECT_EQ(error.text().rfind("line " + std::to_string(c.line) + ": ", 0), 0u) << error.text();
        EXPECT_EQ(static_cast<int>(sheet.cues.size()), c.line - 1);
    }
}

TEST(CueSheet, AnUnreadableFileIsAnErrorOfItsOwn)
{
    oa::CueSheet sheet;
    oa::CueError error;
    EXPECT_FALSE(oa::load_cue_sheet(ZORVIK_TEST_TMP "/no-such-sheet.cue", sheet, error));
    EXPECT_EQ(error.line, 0);
    EXPECT_NE(error.text().find("no-such-sheet.cue"), std::string::npos);
}

// Every operation's table entry agrees with itself: argument kinds are known and every
// argument has a name (the messages and the help use them).
TEST(CueSheet, TheOperationTableIsWhole)
{
    for (const oa::CueOperation& op : oa::cue_operations()) {
        SCOPED_TRACE(std::string(op.name));
        EXPECT_EQ(oa::find_cue_operation(op.name), &op);
        size_t names = op.arg_names.empty() ? 0 : 1;
        for (char ch : op.arg_names) names += ch == ' ';
        EXPECT_EQ(names, op.args.size());
        for (char kind : op.args) EXPECT_NE(std::string("irs").find(kind), std::string::npos);
        EXPECT_NE(oa::cue_operations_help().find(std::string(op.name)), std::string::npos);
    }
}

} // namespace
