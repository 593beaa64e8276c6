// The demo cue sheet end to end: a short cut of it recorded headless, read back from the video
// file and compared with committed checksums at chosen frames; and the soak, which plays
// every effect of the sheet over and over for many settled fields and checks that no field
// was missed or repeated and that nothing leaked.
//
// The recorded cut draws text, so it runs with only the bundled fonts (the *OnBundledFonts
// entries of tests/CMakeLists.txt). The soak's length is ZORVIK_SOAK_FIELDS (3000 unless
// told; scripts/soak.sh runs ten minutes of air, 36,000 fields).
#include <gtest/gtest.h>

#include <cstring>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/onair_runner.h"
#include "onair/gfb_fixture.h"
#include "platform/win32/settle_point.h"
#include "platform/win32/win32_sync.h"
#include "support/decoded_video.h"
#include "support/golden.h"
#include "support/test_support.h"

namespace {

const std::string kDemoSheet = ZORVIK_SAMPLES "/onair/demo.cue";
const std::string kDemoFolder = ZORVIK_SAMPLES "/onair";

// The demo sheet drawing with the bundled face (the sheet itself uses the system's default
// Japanese face, which the bundled configuration does not have).
oa::CueSheet demo_sheet_on_bundled_font()
{
    std::ifstream in(kDemoSheet);
    std::stringstream text;
    text << "0 font 1 \"TelopTestGothic\"\n" << in.rdbuf();
    oa::CueSheet sheet;
    oa::CueError bad;
    EXPECT_TRUE(oa::parse_cue_sheet(text.str(), sheet, bad)) << bad.text();
    return sheet;
}

TEST(DemoSheetGolden, AShortCutRecordedHeadlessReadsBackAsTheGoldensOnBundledFonts)
{
    zk::RegistryOverride registry{zt::built_in_registry()};
    const std::string video = zt::process_temp_path("demo_cut.mkv");
    {
        oa::RunnerOptions options;
        options.record_path = video;
        options.sheet_folder = kDemoFolder;
        options.journal_lines = 0;
        oa::OnAirRunner runner(options);
        std::string error;
        ASSERT_TRUE(runner.start(error)) << error;
        runner.load(demo_sheet_on_bundled_font());
        while (runner.field() < 480) ASSERT_TRUE(runner.advance(error)) << error;
        for (const oa::CueOutcome& f : runner.failures()) ADD_FAILURE() << f.text;
        ASSERT_TRUE(runner.finish(error)) << error;
        EXPECT_EQ(runner.recorded_frames(), 240);
    }

    const zt::Decoded decoded = zt::decode_file(video);
    ASSERT_TRUE(decoded.error.empty()) << decoded.error;
    ASSERT_EQ(decoded.width, 720);
    ASSERT_EQ(decoded.height, 486);
    ASSERT_EQ(decoded.frames.size(), 240u);
    // The stills settling, the headline and shapes, the next bank in preview and the switch.
    std::vector<zt::FieldSum> run;
    for (long frame : {10L, 59L, 90L, 105L, 120L, 150L, 180L, 210L, 239L})
        run.push_back(zt::field_sum(frame, decoded.frames[static_cast<size_t>(frame)], 720, 486));
    EXPECT_GOLDEN(zt::check_field_sums(zt::field_sums_path("onair_demo", "demo_cut"), run));
}

long long soak_fields()
{
    const char* env = std::getenv("ZORVIK_SOAK_FIELDS");
    if (!env || !*env) return 3000;
    char* end = nullptr;
    const long long n = std::strtoll(env, &end, 10);
    return (end && *end == '\0' && n > 0) ? n : 3000;
}

TEST(Soak, EveryEffectForManyFieldsOnBundledFonts)
{
    zk::RegistryOverride registry{zt::built_in_registry()};
    const oa::CueSheet sheet = demo_sheet_on_bundled_font();
    ASSERT_FALSE(sheet.cues.empty());
    const long long fields = soak_fields();
    const size_t threads_before = zk::participant_count();
    const size_t handles_before = zk::open_handle_count();
    long long played = 0, loops = 0, interrupts = 0;
    {
        oa::RunnerOptions options;
        options.sheet_folder = kDemoFolder;
        options.journal_lines = 0;
        oa::OnAirRunner runner(options);
        std::string error;
        ASSERT_TRUE(runner.start(error)) << error;
        runner.load(sheet);
        while (runner.field() < fields) {
            ASSERT_TRUE(runner.advance(error)) << error << " at field " << runner.field();
            // The sheet again from its start once its last effect has had time to end.
            if (runner.sheet_done() && runner.sheet_field() > sheet.last_field() + 120) {
                runner.load(sheet);
                ++loops;
            }
        }
        const oa::JournalFieldCheck& check = runner.journal_check();
        EXPECT_TRUE(check.ok()) << check.first_fault() << " (missed " << check.missed() << ", repeated "
                                << check.repeated() << ", out of order " << check.out_of_order() << ")";
        EXPECT_EQ(check.interrupts(), runner.field()) << "one interrupt for every field run";
        for (const oa::CueOutcome& f : runner.failures()) ADD_FAILURE() << f.text;
        played = runner.cues_played();
        interrupts = check.interrupts();
        const oa::FieldWork work = runner.work();
        std::printf("soak: %s; %lld cues in %lld passes of the sheet\n", work.text().c_str(), played, loops + 1);
        ASSERT_TRUE(runner.finish(error)) << error;
    }
    EXPECT_GE(interrupts, fields);
    EXPECT_GE(played, static_cast<long long>(sheet.cues.size()));
    EXPECT_EQ(zk::participant_count(), threads_before) << zk::thread_dump();
    EXPECT_EQ(zk::open_handle_count(), handles_before);
}

} // namespace
