// The running clocks: the processor's checks and texts, the timer's records, missing digit
// images; then on air, journal first: clocks counting down to zero and up to a stop time with
// each new face written into its two fields, faces changing only on the timer's ticks, tenths
// added and taken away, the face kept at the picture's edges, a face composed while the one
// before was half written, switching off, letting go of the graph, and a clock running
// through a minute, hour and midnight of the simulated local time.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "effects/effect_shell_fixture.h"
#include "effects/kr_tm_proc.h"
#include "effects/timer_core.h"
#include "imagefile/targa_image.h"
#include "platform/win32/win32_time.h"
#include "support/test_support.h"

namespace {

using namespace zk::fx;

constexpr int B = kImageBlankDigit, C = kImageColon, BC = kImageBlankColon;
constexpr long kTickFields = 6; // 100 ms at 59.94 fields a second ends on the sixth field

// The sample digit set and the faces the rules make of it.
struct Digits {
    std::array<CKrFrameBuffer, kClockImages> img;
    Digits()
    {
        for (int k = 0; k < kClockImages; ++k) {
            CString name(clock_image_path(ZORVIK_SAMPLES "/clock/clk.tga", k));
            CKrTargaImage tga;
            EXPECT_EQ(tga.LoadImage(&name, &img[static_cast<std::size_t>(k)]), 0) << name.GetString();
        }
    }
    long digit_w() const { return static_cast<long>(img[0].GetWidth()); }
    long colon_w() const { return static_cast<long>(img[kImageColon].GetWidth()); }
    long height() const { return static_cast<long>(img[0].GetHeight()); }
    long width(int format) const { return clock_face_width(format, digit_w(), colon_w()); }
    CKrFrameBuffer face(const std::vector<int>& images)
    {
        const int format = images.size() == 8 ? 1 : 0;
        CKrFrameBuffer f(width(format), height(), 1);
        EXPECT_EQ(compose_clock(img, images, f), 0);
        return f;
    }
};

std::string g_clock_path = ZORVIK_SAMPLES "/clock/clk.tga";
unsigned char* clock_path()
{
    return reinterpret_cast<unsigned char*>(g_clock_path.data());
}

// ---- without a board ----

TEST(ClockChecks, EveryOperationRefusesABadNumberAndAClockNotSetUp)
{
    zt::MessageLog messages;
    CKrTmProc proc;
    const std::vector<std::pair<const char*, std::function<int(int)>>> ops = {
        {"SetTmAddress", [&](int c) { return proc.SetTmAddress(c, 1, 1); }},
        {"SetTmStart", [&](int c) { return proc.SetTmStart(c); }},
        {"SetTmStop", [&](int c) { return proc.SetTmStop(c); }},
        {"SetTmTime", [&](int c) { return proc.SetTmTime(c, 0, 0, 1, 0); }},
        {"SetTmAddTime", [&](int c) { return proc.SetTmAddTime(c, 0, 0, 1, 0); }},
        {"SetTmDecTime", [&](int c) { return proc.SetTmDecTime(c, 0, 0, 1, 0); }},
        {"SetTmSyncTime", [&](int c) { return proc.SetTmSyncTime(c, 0); }},
        {"SetTmAdvTime", [&](int c) { return proc.SetTmAdvTime(c, -15); }},
        {"SetTmCountUp", [&](int c) { return proc.SetTmCountUp(c); }},
        {"SetTmCountDown", [&](int c) { return proc.SetTmCountDown(c); }},
        {"SetTmStopModeOn", [&](int c) { return proc.SetTmStopModeOn(c, 0, 0, 1, 0); }},
        {"SetTmStopModeOff", [&](int c) { return proc.SetTmStopModeOff(c); }},
        {"DispTmOn", [&](int c) { return proc.DispTmOn(c); }},
        {"DispTmOff", [&](int c) { return proc.DispTmOff(c); }},
    };
    for (const auto& [name, op] : ops) {
        EXPECT_EQ(op(4), -1) << name;
        EXPECT_EQ(messages.take(), std::vector<std::string>{"TimerID Err [4]"}) << name;
        EXPECT_EQ(op(-1), -1) << name;
        EXPECT_EQ(messages.take(), std::vector<std::string>{"TimerID Err [-1]"}) << name;
        EXPECT_EQ(op(2), -1) << name;
        EXPECT_EQ(messages.take(), std::vector<std::string>{"Timer Not Setup [2]"}) << name;
        EXPECT_STREQ(proc.GetErrorText(), "Timer Not Setup [2]");
    }
    EXPECT_EQ(proc.SetTimerData(4, clock_path(), 0, 0, 0), -1);
    EXPECT_EQ(messages.take(), std::vector<std::string>{"TimerID Err [4]"});
    EXPECT_EQ(proc.CheckTmID(3), 0);
    EXPECT_EQ(proc.TimerEventSet(0), 0);
    EXPECT_TRUE(messages.take().empty());
}

TEST(ClockChecks, MissingDigitImagesAreEachReportedAndShowNothing)
{
    zt::MessageLog messages;
    CKrTmProc proc;
    const std::string base = zt::temp_path("no_digits");
    std::string path = base + ".bmp"; // the extension is not used
    ASSERT_EQ(proc.SetTimerData(1, reinterpret_cast<unsigned char*>(path.data()), 0, 0, 0), 0);
    std::vector<std::string> want;
    for (int k = 0; k < kClockImages; ++k) want.push_back("Timer TgaLoadErr " + base + std::to_string(k) + ".tga");
    EXPECT_EQ(messages.take(), want);
    EXPECT_EQ(proc.display(1)->face_size(), CSize(0, 0));
    EXPECT_EQ(proc.DispTmOn(1), 0);
    EXPECT_EQ(proc.SetTmTime(1, 0, 1, 2, 0), 0);
    EXPECT_EQ(proc.display(1)->TimerEventSet(0), 0) << "no face: nothing to hand over";
}

TEST(ClockTimer, RecordsIgnoreBadNumbersAndTakeValuesAsTheRulesSay)
{
    CKrTimer timer;
    for (int bad : {-1, 4, 100}) {
        EXPECT_EQ(timer.CheckTmID(bad), 1);
        EXPECT_EQ(timer.GetTmPtr(bad), nullptr);
        EXPECT_EQ(timer.GetStopTmPtr(bad), nullptr);
        EXPECT_EQ(timer.GetEvent(bad), nullptr);
        timer.TmSet(bad, CKrTm(1, 0, 0, 0));
        timer.TmStart(bad);
        EXPECT_EQ(timer.GetTm(bad).GetMilCount(), 0u);
        EXPECT_EQ(timer.GetStrat(bad), 0);
    }
    for (int id = 0; id < kClocks; ++id) {
        EXPECT_EQ(timer.CheckTmID(id), 0);
        EXPECT_EQ(timer.GetTm(id).GetMilCount(), 0u) << "untouched by the bad numbers";
        EXPECT_NE(timer.GetEvent(id), nullptr);
    }
    timer.TmSet(0, CKrTm(0, 1, 30, 0));
    timer.TmAdd(0, CKrTm(0, 0, 45, 500));
    EXPECT_EQ(timer.GetTm(0).GetMilCount(), 135500u);
    timer.TmDec(0, CKrTm(0, 0, 0, 500));
    EXPECT_EQ(timer.GetTm(0).GetMilCount(), 135000u);
    timer.TmDec(0, CKrTm(1, 0, 0, 0));
    EXPECT_EQ(timer.GetTm(0).GetMilCount(), 0u) << "stops at zero";
    timer.TmSet(2, CKrTm(2, 0, 0, 0));
    timer.TmSync(1, 2);
    timer.TmSync(1, 9);
    EXPECT_EQ(timer.GetTm(1).GetMilCount(), 7200000u);
    timer.SetCountDown(1);
    timer.SetStopMode(1, CKrTm(0, 0, 5, 0));
    timer.TmStart(1);
    EXPECT_EQ(timer.GetCountMode(1), 1);
    EXPECT_EQ(timer.GetStopMode(1), 1);
    EXPECT_EQ(timer.GetStopTm(1).GetMilCount(), 5000u);
    EXPECT_EQ(timer.GetStrat(1), 1);
    timer.ResetStopMode(1);
    EXPECT_EQ(timer.GetStopMode(1), 0);
    EXPECT_EQ(timer.GetStopTm(1).GetMilCount(), 0u);
    timer.TmClear(1);
    EXPECT_EQ(timer.GetTm(1).GetMilCount(), 0u);
    EXPECT_EQ(timer.GetStrat(1), 0);
    EXPECT_EQ(timer.GetCountMode(1), 0);
    EXPECT_EQ(timer.run_state(), 0);
}

// ---- on air ----

class ClockOnAir : public zt::EffectShellTest {
protected:
    void SetUp() override
    {
        EffectShellTest::SetUp();
        if (HasFatalFailure()) return;
        start_field = board().current_field();
        proc = std::make_unique<CKrTmProc>();
        ASSERT_EQ(proc->Initial(rig->graph.get()), 0);
        vsync = std::make_unique<zt::FieldHarness>(*rig->graph, [this](unsigned long f) { proc->TimerEventSet(f); });
        ASSERT_TRUE(vsync->ok());
    }
    void TearDown() override
    {
        vsync.reset();
        proc.reset();
        EffectShellTest::TearDown();
    }

    // Checks that `writes` are the given faces in order, each written on two fields in a row,
    // one of each parity, at (x, y); the first face's first write in board field `first`, each
    // later face's on a tick of the timer or the field after.
    void expect_faces(const std::vector<zt::FieldWriteEntry>& writes, const std::vector<CKrFrameBuffer>& faces,
                      long long first, long x, long y)
    {
        ASSERT_EQ(writes.size(), 2 * faces.size());
        for (std::size_t i = 0; i < faces.size(); ++i) {
            const CKrFrameBuffer& f = faces[i];
            const long w = static_cast<long>(f.GetWidth()), h = static_cast<long>(f.GetHeight());
            const long long at = writes[2 * i].field;
            if (i == 0) {
                EXPECT_EQ(at, first);
            } else {
                const long long after_tick = (at - start_field) % kTickFields;
                EXPECT_TRUE(after_tick == 0 || after_tick == 1) << "face " << i << " first written in field " << at;
            }
            EXPECT_EQ(writes[2 * i], zt::expected_field_write(at, f, 0, 0, w, h, x, y)) << "face " << i;
            EXPECT_EQ(writes[2 * i + 1], zt::expected_field_write(at + 1, f, 0, 0, w, h, x, y)) << "face " << i;
        }
    }

    bool step_until_stopped(int clock, int max_fields)
    {
        return zt::step_until(board(), [&] { return proc->timer().GetStrat(clock) == 0; }, max_fields);
    }

    long long start_field = 0;
    Digits digits;
    std::unique_ptr<CKrTmProc> proc;
    std::unique_ptr<zt::FieldHarness> vsync;
};

struct ClockCase {
    const char* what;
    int format;
    bool count_down;
    CKrTm from;
    bool stop_mode;
    CKrTm stop;
    std::vector<std::vector<int>> faces;
    unsigned long end_ms;
};

void PrintTo(const ClockCase& r, std::ostream* os)
{
    *os << r.what;
}

class ClockRun : public ClockOnAir, public ::testing::WithParamInterface<ClockCase> {};

TEST_P(ClockRun, EachNewFaceReachesBothFieldsAndTheClockStopsWhereItShould)
{
    const ClockCase& r = GetParam();
    const POINT at{97, 401};
    ASSERT_EQ(proc->SetTimerData(0, clock_path(), r.format, at.x, at.y), 0);
    ASSERT_EQ(r.count_down ? proc->SetTmCountDown(0) : proc->SetTmCountUp(0), 0);
    ASSERT_EQ(proc->SetTmTime(0, r.from.GetHour(), r.from.GetMinute(), r.from.GetSecond(), r.from.GetMillisecond()), 0);
    if (r.stop_mode) {
        ASSERT_EQ(proc->SetTmStopModeOn(0, r.stop.GetHour(), r.stop.GetMinute(), r.stop.GetSecond(),
                                        r.stop.GetMillisecond()),
                  0);
    }
    ASSERT_TRUE(board().step_fields(3));
    const long long on = board().current_field();
    const std::uint64_t mark = board().journal().mark();
    ASSERT_EQ(proc->DispTmOn(0), 0);
    EXPECT_EQ(proc->displays_on(), 1);
    ASSERT_EQ(proc->SetTmStart(0), 0);
    const unsigned long span = r.count_down ? r.from.GetMilCount() - r.end_ms : r.end_ms - r.from.GetMilCount();
    ASSERT_TRUE(step_until_stopped(0, static_cast<int>(span * 60 / 1000 + 60)));
    const long long stopped = board().current_field();
    EXPECT_EQ(proc->timer().GetTm(0).GetMilCount(), r.end_ms);
    // It runs for the span, to the tick: a tick is about 100 ms.
    EXPECT_NEAR(static_cast<double>(stopped - on) * 1001.0 / 60.0, static_cast<double>(span), 101.0);
    ASSERT_TRUE(board().step_fields(70));
    EXPECT_EQ(proc->timer().GetTm(0).GetMilCount(), r.end_ms) << "a stopped clock stays";

    std::vector<CKrFrameBuffer> faces;
    for (const auto& f : r.faces) faces.push_back(digits.face(f));
    expect_faces(zt::front_writes(board(), mark), faces, on + 1, at.x, at.y);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ClockRun,
    ::testing::Values(
        ClockCase{"count-down to zero", 0, true, CKrTm(0, 0, 3, 0), false, CKrTm(),
            {{B, 0, C, 0, 3}, {B, 0, C, 0, 2}, {B, 0, C, 0, 1}, {B, 0, C, 0, 0}}, 0},
        ClockCase{"count-up to a stop time", 0, false, CKrTm(0, 0, 0, 0), true, CKrTm(0, 0, 10, 0),
            {{B, 0, C, 0, 0}, {B, 0, C, 0, 1}, {B, 0, C, 0, 2}, {B, 0, C, 0, 3}, {B, 0, C, 0, 4}, {B, 0, C, 0, 5},
             {B, 0, C, 0, 6}, {B, 0, C, 0, 7}, {B, 0, C, 0, 8}, {B, 0, C, 0, 9}, {B, 0, C, 1, 0}},
            10000},
        ClockCase{"count-down to a stop time", 0, true, CKrTm(0, 10, 4, 0), true, CKrTm(0, 10, 1, 500),
            {{1, 0, C, 0, 4}, {1, 0, C, 0, 3}, {1, 0, C, 0, 2}, {1, 0, C, 0, 1}}, 601500},
        // The timer last saw second 0, so its first tick wakes the display for 58 s again.
        ClockCase{"count-up into the hours", 1, false, CKrTm(0, 59, 58, 0), true, CKrTm(1, 0, 1, 0),
            {{B, B, BC, 5, 9, C, 5, 8}, {B, B, BC, 5, 9, C, 5, 8}, {B, B, BC, 5, 9, C, 5, 9}, {B, 1, C, 0, 0, C, 0, 0}, {B, 1, C, 0, 0, C, 0, 1}},
            3601000}));

TEST_F(ClockOnAir, TenthsAddedAndTakenAwayShowAtOnce)
{
    ASSERT_EQ(proc->SetTimerData(2, clock_path(), 1, 300, 20), 0);
    ASSERT_EQ(proc->DispTmOn(2), 0);
    ASSERT_TRUE(board().step_fields(2));
    const struct {
        unsigned long from;
        long tenths;
        unsigned long want;
        std::vector<int> face;
    } cases[] = {
        {1000, -15, 0, {B, B, BC, B, 0, C, 0, 0}},
        {5000, -15, 3500, {B, B, BC, B, 0, C, 0, 3}},
        {5000, 15, 6500, {B, B, BC, B, 0, C, 0, 6}},
        {59900, 1, 60000, {B, B, BC, B, 1, C, 0, 0}},
        {3599900, 1, 3600000, {B, 1, C, 0, 0, C, 0, 0}},
        {7200000, -36000, 3600000, {B, 1, C, 0, 0, C, 0, 0}},
        {100, -2147483647L, 0, {B, B, BC, B, 0, C, 0, 0}},
    };
    for (const auto& c : cases) {
        const CKrTm from(c.from);
        ASSERT_EQ(proc->SetTmTime(2, from.GetHour(), from.GetMinute(), from.GetSecond(), from.GetMillisecond()), 0);
        ASSERT_TRUE(board().step_fields(2));
        const std::uint64_t mark = board().journal().mark();
        const long long now = board().current_field();
        ASSERT_EQ(proc->SetTmAdvTime(2, c.tenths), 0);
        EXPECT_EQ(proc->timer().GetTm(2).GetMilCount(), c.want) << c.from << " by " << c.tenths;
        ASSERT_TRUE(board().step_fields(3));
        const CKrFrameBuffer face = digits.face(c.face);
        const long w = digits.width(1), h = digits.height();
        EXPECT_EQ(zt::front_writes(board(), mark),
                  (std::vector<zt::FieldWriteEntry>{zt::expected_field_write(now + 1, face, 0, 0, w, h, 300, 20),
                                                    zt::expected_field_write(now + 2, face, 0, 0, w, h, 300, 20)}))
            << c.from << " by " << c.tenths;
    }
}

TEST_F(ClockOnAir, TheFaceIsKeptOnThePicture)
{
    const struct {
        int format, x, y;
        long want_x, want_y;
    } cases[] = {
        {0, 700, 10, 720 - digits.width(0), 10},
        {1, 700, 480, 720 - digits.width(1), 486 - digits.height()},
        {0, -5, -9, 0, 0},
        {1, 100, 101, 100, 101},
        {7, 900, 0, 720 - digits.width(0), 0}, // an unknown format is format 0
    };
    for (const auto& c : cases) {
        ASSERT_EQ(proc->SetTimerData(3, clock_path(), c.format, c.x, c.y), 0);
        EXPECT_EQ(proc->displays_on(), 0) << "set up again: off";
        const POINT at = proc->display(3)->position();
        EXPECT_EQ(at.x, c.want_x);
        EXPECT_EQ(at.y, c.want_y);
        const std::uint64_t mark = board().journal().mark();
        ASSERT_EQ(proc->DispTmOn(3), 0);
        ASSERT_TRUE(board().step_fields(2));
        const auto writes = zt::front_writes(board(), mark);
        ASSERT_EQ(writes.size(), 2u);
        const CSize size = proc->display(3)->face_size();
        EXPECT_EQ(size.cx, digits.width(c.format == 1 ? 1 : 0));
        for (const auto& w : writes) {
            EXPECT_EQ(w.words[1], static_cast<std::uint32_t>(c.want_x));
            EXPECT_EQ(w.words[3] + w.words[1], static_cast<std::uint32_t>(c.want_x + size.cx)) << "nothing cut off";
            EXPECT_LE(w.words[2], static_cast<std::uint32_t>(c.want_y + 1));
        }
    }
    ASSERT_EQ(proc->SetTmAddress(3, 1000, 1000), 0);
    EXPECT_EQ(proc->display(3)->position().x, 720 - digits.width(0));
    EXPECT_EQ(proc->display(3)->position().y, 486 - digits.height());
}

// A face composed after the first field of the one before went out is written whole.
TEST_F(ClockOnAir, AFaceComposedWhileTheLastWasHalfWrittenReachesBothFields)
{
    ASSERT_EQ(proc->SetTimerData(0, clock_path(), 0, 10, 10), 0);
    ASSERT_EQ(proc->SetTmTime(0, 0, 0, 5, 0), 0);
    const std::uint64_t mark = board().journal().mark();
    const long long on = board().current_field();
    ASSERT_EQ(proc->DispTmOn(0), 0);
    ASSERT_TRUE(board().step_fields(1));
    ASSERT_EQ(proc->SetTmTime(0, 0, 0, 7, 0), 0);
    ASSERT_TRUE(board().step_fields(4));
    const CKrFrameBuffer five = digits.face({B, 0, C, 0, 5}), seven = digits.face({B, 0, C, 0, 7});
    const long w = digits.width(0), h = digits.height();
    EXPECT_EQ(zt::front_writes(board(), mark),
              (std::vector<zt::FieldWriteEntry>{zt::expected_field_write(on + 1, five, 0, 0, w, h, 10, 10),
                                                zt::expected_field_write(on + 2, seven, 0, 0, w, h, 10, 10),
                                                zt::expected_field_write(on + 3, seven, 0, 0, w, h, 10, 10)}));
}

TEST_F(ClockOnAir, SwitchedOffTheLastFaceStaysAndNothingIsWritten)
{
    ASSERT_EQ(proc->SetTimerData(0, clock_path(), 0, 200, 200), 0);
    ASSERT_EQ(proc->SetTimerData(1, clock_path(), 0, 400, 200), 0);
    ASSERT_EQ(proc->SetTmTime(0, 0, 0, 8, 0), 0);
    ASSERT_EQ(proc->SetTmSyncTime(1, 0), 0);
    EXPECT_EQ(proc->timer().GetTm(1).GetMilCount(), 8000u);
    ASSERT_EQ(proc->DispTmOn(0), 0);
    ASSERT_EQ(proc->DispTmOn(1), 0);
    EXPECT_EQ(proc->displays_on(), 2);
    ASSERT_EQ(proc->SetTmStart(0), 0);
    ASSERT_EQ(proc->SetTmStart(1), 0);
    ASSERT_TRUE(board().step_fields(2));
    const CKrFrameBuffer eight = digits.face({B, 0, C, 0, 8});
    for (long x : {200L, 400L}) EXPECT_EQ(rig->pixel(x + 30, 220), zt::px(eight, 30, 20)) << x;

    ASSERT_EQ(proc->DispTmOff(0), 0);
    EXPECT_EQ(proc->displays_on(), 1);
    const std::uint64_t mark = board().journal().mark();
    ASSERT_TRUE(board().step_fields(80)); // past the next second
    for (const auto& w : zt::front_writes(board(), mark)) EXPECT_EQ(w.words[1], 400u) << "only clock 1 is written";
    EXPECT_EQ(rig->pixel(200 + 30, 220), zt::px(eight, 30, 20)) << "clock 0's last face stays";
    ASSERT_EQ(proc->DispTmOff(1), 0);
    EXPECT_EQ(proc->displays_on(), 0);
    EXPECT_GT(proc->timer().GetTm(0).GetMilCount(), 9000u) << "the clocks keep time";
}

TEST_F(ClockOnAir, AfterEndNothingReachesTheGraph)
{
    ASSERT_EQ(proc->SetTimerData(0, clock_path(), 0, 0, 0), 0);
    ASSERT_EQ(proc->DispTmOn(0), 0);
    ASSERT_EQ(proc->SetTmStart(0), 0);
    ASSERT_TRUE(board().step_fields(2));
    ASSERT_EQ(proc->End(), 0);
    const std::uint64_t mark = board().journal().mark();
    ASSERT_EQ(proc->SetTmTime(0, 0, 0, 30, 0), 0);
    ASSERT_TRUE(board().step_fields(130));
    EXPECT_TRUE(zt::front_writes(board(), mark).empty());
    EXPECT_GT(proc->timer().GetTm(0).GetMilCount(), 31000u) << "the clock runs on";
}

TEST_F(ClockOnAir, DestroyedWhileRunningLeavesNoThreadBehind)
{
    const std::size_t handles = zk::open_handle_count();
    {
        CKrTmProc local;
        ASSERT_EQ(local.Initial(rig->graph.get()), 0);
        zt::FieldHarness driver(*rig->graph, [&](unsigned long f) { local.TimerEventSet(f); });
        for (int c = 0; c < kClocks; ++c) {
            ASSERT_EQ(local.SetTimerData(c, clock_path(), c % 2, 10, 100 * c), 0);
            ASSERT_EQ(local.DispTmOn(c), 0);
            ASSERT_EQ(local.SetTmStart(c), 0);
        }
        ASSERT_TRUE(board().step_fields(70));
        EXPECT_EQ(local.timer().run_state(), 1);
        EXPECT_GT(local.timer().ticks(), 8u);
    }
    EXPECT_EQ(zk::open_handle_count(), handles);
}

// The time of day passes 23:59:59 while a clock runs: the minute, the hour and the day roll
// over, and the clock moves on by exactly the time the readings on its ticks say passed.
TEST(ClockLocalTime, AClockRunsThroughMidnightByTheReadingsOnItsTicks)
{
    zk::BoardConfig config = zt::manual_board();
    config.local_start = SYSTEMTIME{2001, 12, 1, 31, 23, 59, 58, 700};
    zt::OnAirRig rig(config);
    ASSERT_TRUE(rig.built);
    const long long init = rig.board().current_field();
    CKrTmProc proc;
    ASSERT_EQ(proc.Initial(rig.graph.get()), 0);
    ASSERT_EQ(proc.SetTimerData(0, clock_path(), 1, 0, 0), 0);
    auto reading = [] {
        SYSTEMTIME now{};
        GetLocalTime(&now);
        return time_reading(now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    };
    // On a tick, between the timer's reading and the next: the clock starts.
    ASSERT_TRUE(rig.board().step_fields(2 * kTickFields));
    const std::uint32_t from = reading();
    ASSERT_EQ(proc.SetTmStart(0), 0);
    ASSERT_TRUE(rig.board().step_fields(40 * kTickFields));
    const std::uint32_t to = reading();
    EXPECT_LT(to, from) << "the day rolled over";
    const std::uint32_t passed = to + 86'400'000u - from;
    EXPECT_EQ(proc.timer().GetTm(0).GetMilCount(), passed);
    EXPECT_NEAR(passed, 40 * 100.1, 1.0);
    EXPECT_EQ(rig.board().current_field() - init, 42 * kTickFields);
    EXPECT_EQ(proc.timer().ticks(), 41u);
}

} // namespace
