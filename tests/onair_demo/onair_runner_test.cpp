// The on-air demo's runner, player and command line on a stepped board: cues reach the
// controller at their field and its answers come back with their line; a refused cue is
// reported, never taken for done; the headless run's exit codes; the journal's field check.
#include <gtest/gtest.h>

#include <cstring>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/command_line.h"
#include "core/journal_check.h"
#include "core/onair_runner.h"
#include "onair/gfb_fixture.h"
#include "platform/board/board_journal.h"
#include "support/test_support.h"

namespace {

oa::CueSheet sheet_of(const std::string& text)
{
    oa::CueSheet sheet;
    oa::CueError error;
    EXPECT_TRUE(oa::parse_cue_sheet(text, sheet, error)) << error.text();
    return sheet;
}

class OnAirRunnerTest : public ::testing::Test {
protected:
    zk::RegistryOverride registry_{zt::built_in_registry()};
};

TEST_F(OnAirRunnerTest, PlaysEachCueAtItsFieldAndJournalsItsAnswer)
{
    oa::RunnerOptions options;
    options.journal_lines = 100000;
    oa::OnAirRunner runner(options);
    std::string error;
    ASSERT_TRUE(runner.start(error)) << error;
    runner.load(sheet_of("0 clearbank 0 0xFF000000\n"
                         "3 box 10 10 20 20 0xFFFF0000\n"
                         "3 write 9\n"        // refused: no bank 9
                         "7 bank 0 1\n"));
    for (int f = 0; f < 10; ++f) ASSERT_TRUE(runner.advance(error)) << error;
    EXPECT_TRUE(runner.sheet_done());
    EXPECT_EQ(runner.cues_played(), 4);
    ASSERT_EQ(runner.failures().size(), 1u);
    EXPECT_EQ(runner.failures()[0].text, "line 3: write -> -1");

    // The notes: each cue on its own field (the run's field 0 is the first journalled field
    // after the start), in the sheet's order.
    std::vector<std::string> notes;
    long long first = -1;
    std::vector<long long> fields;
    for (const std::string& line : runner.journal_lines()) {
        const long long f = std::stoll(line.substr(1, line.find(' ') - 1));
        if (first < 0) first = f;
        if (line.find(" note cue ") != std::string::npos) {
            notes.push_back(line.substr(line.find("line ")));
            fields.push_back(f - first);
        }
    }
    EXPECT_EQ(notes, (std::vector<std::string>{"line 1: clearbank -> 0", "line 2: box -> 0", "line 3: write -> -1",
                                               "line 4: bank -> 0"}));
    EXPECT_EQ(fields, (std::vector<long long>{0, 3, 3, 7}));
    EXPECT_TRUE(runner.journal_check().ok()) << runner.journal_check().first_fault();
    EXPECT_EQ(runner.journal_check().interrupts(), 10);
}

TEST_F(OnAirRunnerTest, ShowsWhatTheCuesDrewOnProgramOut)
{
    oa::RunnerOptions options;
    options.keep_output = true;
    oa::OnAirRunner runner(options);
    std::string error;
    ASSERT_TRUE(runner.start(error)) << error;
    runner.load(sheet_of("0 clearbank 0 0x00000000\n1 box 100 50 40 30 0xFF20C040\n"));
    for (int f = 0; f < 8; ++f) ASSERT_TRUE(runner.advance(error)) << error;
    const oa::OutputImage program = runner.program();
    ASSERT_EQ(program.width, 720);
    ASSERT_EQ(program.pixels.size(), 720u * 486u);
    // Inside the box on both fields' lines, and not beside it.
    EXPECT_EQ(program.pixels[60 * 720 + 110] & 0xFFFFFFu, 0x20C040u);
    EXPECT_EQ(program.pixels[61 * 720 + 139] & 0xFFFFFFu, 0x20C040u);
    EXPECT_NE(program.pixels[60 * 720 + 141] & 0xFFFFFFu, 0x20C040u);
    EXPECT_NE(program.pixels[81 * 720 + 110] & 0xFFFFFFu, 0x20C040u);
}

TEST_F(OnAirRunnerTest, EveryOperationOfTheTableIsKnownToThePlayer)
{
    // A cue of every operation with arguments that are wrong for the board (missing files,
    // units and numbers out of range) reaches the controller and comes back answered: the
    // player never says it does not know an operation the parser accepted.
    std::ostringstream text;
    for (const oa::CueOperation& op : oa::cue_operations()) {
        text << "0 " << op.name;
        for (char kind : op.args) text << (kind == 's' ? " \"no-such-file\"" : kind == 'r' ? " 0.5" : " 99");
        text << '\n';
    }
    oa::OnAirRunner runner({});
    std::string error;
    ASSERT_TRUE(runner.start(error)) << error;
    runner.load(sheet_of(text.str()));
    ASSERT_TRUE(runner.advance(error)) << error;
    EXPECT_EQ(runner.cues_played(), static_cast<long long>(oa::cue_operations().size()));
    for (const oa::CueOutcome& f : runner.failures())
        EXPECT_EQ(f.text.find("not an operation"), std::string::npos) << f.text;
}

TEST_F(OnAirRunnerTest, TheFieldCountKeepsGoingWhileACueWaitsForTheBoard)
{
    // Putting a still on a channel waits for the channel to settle: the board moves on
    // meanwhile and the sheet's later cues keep their place after it, never before.
    oa::RunnerOptions options;
    options.journal_lines = 0;
    options.sheet_folder = ZORVIK_SAMPLES;
    oa::OnAirRunner runner(options);
    std::string error;
    ASSERT_TRUE(runner.start(error)) << error;
    runner.load(sheet_of("0 still 0 \"landscape.bmp\"\n1 box 0 0 8 8 0xFFFFFFFF\n"));
    ASSERT_TRUE(runner.advance(error)) << error;
    EXPECT_GT(runner.field(), 1);
    EXPECT_EQ(runner.sheet_field(), runner.field());
    EXPECT_TRUE(runner.failures().empty());
    EXPECT_FALSE(runner.sheet_done());
    ASSERT_TRUE(runner.advance(error)) << error;
    EXPECT_TRUE(runner.sheet_done());
    EXPECT_TRUE(runner.journal_check().ok()) << runner.journal_check().first_fault();
    EXPECT_EQ(runner.journal_check().interrupts(), runner.field());
}

TEST(JournalFieldCheck, FindsMissedRepeatedAndOutOfOrderFields)
{
    struct Entry {
        long long field;
        bool interrupt;
    };
    struct Case {
        const char* name;
        std::vector<Entry> entries;
        long long missed, repeated, out_of_order;
    };
    const Case cases[] = {
        {"in order", {{5, true}, {5, false}, {6, true}, {6, false}, {6, false}, {7, true}}, 0, 0, 0},
        {"a field left out", {{5, true}, {6, true}, {9, true}}, 2, 0, 0},
        {"a field twice", {{5, true}, {6, true}, {6, true}, {7, true}}, 0, 1, 0},
        {"a field gone back", {{5, true}, {6, true}, {4, true}}, 0, 1, 1},
        {"an entry stamped before", {{5, true}, {6, true}, {5, false}, {7, true}}, 0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        oa::JournalFieldCheck check;
        for (const Entry& e : c.entries) check.entry(e.field, e.interrupt, e.field);
        EXPECT_EQ(check.missed(), c.missed);
        EXPECT_EQ(check.repeated(), c.repeated);
        EXPECT_EQ(check.out_of_order(), c.out_of_order);
        EXPECT_EQ(check.ok(), c.missed + c.repeated + c.out_of_order == 0);
        EXPECT_EQ(check.first_fault().empty(), check.ok());
    }
}

TEST(OnAirCommandLine, ReadsTheModesAndRefusesWhatMakesNoSense)
{
    struct Case {
        std::vector<std::string> args;
        bool ok;
        const char* error; // a part of it
    };
    const Case cases[] = {
        {{"--cue", "a.cue", "--record", "o.mkv", "--fields", "240"}, true, ""},
        {{"--cue", "a.cue", "--realtime", "--stats", "--fields", "600"}, true, ""},
        {{"--cue", "a.cue", "--screenshot", "s.png", "--fields", "90"}, true, ""},
        {{}, true, ""},
        {{"--list"}, true, ""},
        {{"--record", "o.mkv"}, false, "needs --cue"},
        {{"--cue", "a.cue", "--record", "o.mkv", "--realtime"}, false, "--record runs on the stepped clock"},
        {{"--cue", "a.cue", "--stats"}, false, "add --realtime"},
        {{"--cue", "a.cue", "--record", "o.mkv", "--screenshot", "s.png"}, false, "needs the window"},
        {{"--cue"}, false, "--cue needs a value"},
        {{"--fields", "-1"}, false, "--fields needs a count"},
        {{"--fields", "12x"}, false, "--fields needs a count"},
        {{"--fields", "99999999999"}, false, "--fields needs a count"},
        {{"--frobnicate"}, false, "unknown option"},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const std::string& a : c.args) joined += a + " ";
        SCOPED_TRACE(joined);
        oa::CommandLine cmd;
        std::string error;
        EXPECT_EQ(oa::parse_command_line(c.args, cmd, error), c.ok) << error;
        if (!c.ok) {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        }
    }
    oa::CommandLine cmd;
    std::string error;
    ASSERT_TRUE(oa::parse_command_line({"--cue", "a.cue", "--record", "o.mkv", "--fields", "240"}, cmd, error));
    EXPECT_EQ(cmd.fields, 240);
    EXPECT_TRUE(cmd.headless());
}

class OnAirHeadless : public OnAirRunnerTest {
protected:
    static std::string write_sheet(const std::string& name, const std::string& text)
    {
        const std::string path = zt::process_temp_path(name);
        std::ofstream(path) << text;
        return path;
    }
    int run(std::vector<std::string> args)
    {
        oa::CommandLine cmd;
        std::string error;
        EXPECT_TRUE(oa::parse_command_line(args, cmd, error)) << error;
        out.str("");
        err.str("");
        return oa::run_headless(cmd, out, err);
    }
    std::ostringstream out, err;
};

TEST_F(OnAirHeadless, ABadSheetIsExitTwoWithItsLineAndNothingRecorded)
{
    const std::string sheet = write_sheet("bad.cue", "0 clear\n5 explode\n");
    const std::string video = zt::process_temp_path("bad.mkv");
    std::filesystem::remove(video);
    EXPECT_EQ(run({"--cue", sheet, "--record", video, "--fields", "10"}), 2);
    EXPECT_NE(err.str().find("bad.cue: line 2: unknown operation 'explode'"), std::string::npos) << err.str();
    EXPECT_FALSE(std::filesystem::exists(video));
    EXPECT_EQ(run({"--cue", zt::process_temp_path("missing.cue"), "--record", video}), 2);
    EXPECT_NE(err.str().find("cannot read the cue sheet"), std::string::npos) << err.str();
}

TEST_F(OnAirHeadless, ARefusedCueFailsTheRunAndIsNamed)
{
    const std::string sheet = write_sheet("refused.cue", "0 clear\n2 image \"nowhere.tga\" 0 0\n");
    EXPECT_EQ(run({"--cue", sheet, "--record", zt::process_temp_path("refused.mkv"), "--fields", "6"}), 1);
    EXPECT_NE(err.str().find("line 2: image -> -1"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("1 cue(s) refused"), std::string::npos) << err.str();
}

TEST_F(OnAirHeadless, RecordsEveryFieldAsFramesAndSaysWhere)
{
    const std::string sheet = write_sheet("small.cue", "0 clearbank 0 0xFF336699\n");
    const std::string video = zt::process_temp_path("small.mkv");
    EXPECT_EQ(run({"--cue", sheet, "--record", video, "--fields", "20"}), 0) << err.str();
    EXPECT_EQ(out.str(), "recorded 10 frames (20 fields) of program out to " + video + "\n");
    EXPECT_GT(std::filesystem::file_size(video), 0u);
}

} // namespace
