// Banks and their outputs: a change of the on-air bank reaches the graphics back area and is
// shown one field at a time by the vertical-sync thread, a change of the next bank reaches the
// preview channel only while preview is on and live super off, other banks reach nothing; the
// writer waits for earlier field work, but not for ever; bank choices copy whole banks.
#include <gtest/gtest.h>

#include <functional>
#include <mutex>

#include "framebuffer/kr_frame_buffer.h"
#include "onair/kr_gfb.h"
#include "online/online_fixture.h"

namespace zt {
namespace {

using zk::JournalKind;

constexpr DWORD kRed = 0xFFFF0000;

// What the vertical-sync thread's copies of the rectangle (x, y, w, h) look like on the board:
// {field, left, top, right, bottom, shift}, a second field's first (even lines) in the odd
// board field after the write, then the first field's (odd lines).
std::vector<std::vector<std::int64_t>> field_copies(long long written, long x, long y, long w, long h)
{
    const long even = y % 2 == 0 ? y : y + 1, odd = y % 2 == 1 ? y : y + 1;
    return {{written + 1, x, 684 + even, x + w, 684 + y + h, -342},
            {written + 2, x, 684 + odd, x + w, 684 + y + h, -342}};
}

TEST_F(OnlineTest, AChangeOfTheOnAirBankIsWrittenBackAndShownOneFieldAtATime)
{
    const long long f = board().current_field();
    ASSERT_EQ(ctl->BoxFill(10, 20, 100, 51, kRed), 0);
    ASSERT_TRUE(board().step_fields(3));
    CKrFrameBuffer bank = *ctl->GetGfb()->GetGfb(0);
    EXPECT_EQ(rig.gfb_writes(mark), (std::vector<GfbWriteSeen>{{f, "GFB back", {684, 10, 20, 100, 51, rows_sum(bank, 10, 20, 100, 51)}}}));
    EXPECT_EQ(rig.blits(mark), field_copies(f, 10, 20, 100, 51));
    EXPECT_EQ(ctl->GetVSyncWork().GetWorkFlag(), 0);
    auto memory = zk::graphics_memory(board());
    std::lock_guard<std::mutex> guard(*memory->lock);
    for (long line : {20L, 21L, 70L})
        EXPECT_EQ(memory->pixels[static_cast<size_t>(line * zk::kGfbPitch + 10)], kRed) << "front line " << line;
    EXPECT_EQ(memory->pixels[static_cast<size_t>(71 * zk::kGfbPitch + 10)], 0u);
}

struct Route {
    const char* name;
    int bank;      // the bank changed
    bool preview;  // PreviewOn before
    bool live;     // LiveSuperOn before
    const char* output; // "main", "preview" or "none"
};

class Routing : public OnlineTest, public ::testing::WithParamInterface<Route> {};

TEST_P(Routing, ACopyGoesToTheOutputThatShowsTheBank)
{
    const Route r = GetParam();
    zk::IdlePump pump(board());
    if (r.preview) {
        ASSERT_EQ(ctl->PreviewOn(), 0);
    }
    if (r.live) {
        ASSERT_EQ(ctl->LiveSuperOn(), 0);
    }
    const std::uint64_t from = board().journal().mark();
    ASSERT_EQ(ctl->ScreenClearBankCol(r.bank, kRed), 0);
    pump.stop();
    const auto stills = rig.entries(from, JournalKind::Still);
    const auto writes = rig.gfb_writes(from);
    if (std::string(r.output) == "main") {
        ASSERT_EQ(writes.size(), 1u);
        EXPECT_EQ(writes[0].target, "GFB back");
        EXPECT_EQ(std::vector<std::int32_t>(writes[0].words.begin(), writes[0].words.end() - 1),
                  (std::vector<std::int32_t>{684, 0, 0, 720, 486}));
        EXPECT_TRUE(stills.empty());
    } else if (std::string(r.output) == "preview") {
        EXPECT_TRUE(writes.empty());
        ASSERT_EQ(stills.size(), 1u);
        EXPECT_EQ(stills[0].target, "Fiesta0") << "the preview channel";
        EXPECT_TRUE(stills[0].ok);
    } else {
        EXPECT_TRUE(writes.empty());
        EXPECT_TRUE(stills.empty());
    }
}

// On air is bank 0, next bank 2 (the banks' start), the write bank 0.
INSTANTIATE_TEST_SUITE_P(
    Banks, Routing,
    ::testing::Values(Route{"OnAir", 0, false, false, "main"}, Route{"OnAirWithPreview", 0, true, false, "main"},
                      Route{"NextWithPreview", 2, true, false, "preview"},
                      Route{"NextWithoutPreview", 2, false, false, "none"},
                      Route{"NextWithPreviewUnderLiveSuper", 2, true, true, "none"},
                      Route{"Other", 1, true, false, "none"}, Route{"AnotherOther", 3, false, false, "none"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OnlineTest, TheWriterWaitsForEarlierFieldWorkBeforeWritingTheBackAreaAgain)
{
    zk::IdlePump pump(board());
    ASSERT_EQ(ctl->BoxFill(0, 0, 8, 8, kRed), 0);
    ASSERT_EQ(ctl->BoxFill(100, 101, 8, 8, kRed), 0);
    pump.stop();
    ASSERT_TRUE(board().step_fields(2));
    const auto writes = rig.gfb_writes(mark);
    const auto journal = board().journal().since(mark);
    ASSERT_EQ(writes.size(), 2u);
    const auto blits = rig.blits(mark);
    ASSERT_EQ(blits.size(), 4u);
    // The second write came after both copies of the first, in the field of the second copy
    // or later, and its own copies followed it.
    EXPECT_GE(writes[1].field, blits[1][0]);
    std::uint64_t second_write = 0, second_copy = 0;
    int copies = 0;
    for (const auto& e : journal) {
        if (e.kind == JournalKind::GraphicsWrite && words_of(e)[1] == 100) second_write = e.seq;
        if (e.kind == JournalKind::DeviceRequest && e.code == IOCTL_GFB_BLIT && ++copies == 2) second_copy = e.seq;
    }
    EXPECT_GT(second_write, second_copy);
    EXPECT_EQ(blits[2][1], 100);
    EXPECT_EQ(blits[3][1], 100);
}

TEST_F(OnlineTest, AWriterWhoseFieldWorkIsNeverTakenGivesUpAfterAboutATenthOfASecond)
{
    ctl->SetEnabled(FALSE); // no field reaches the vertical-sync thread
    zk::IdlePump pump(board());
    ASSERT_EQ(ctl->BoxFill(0, 0, 8, 8, kRed), 0);
    const long long before = board().current_field();
    EXPECT_EQ(ctl->BoxFill(50, 50, 8, 8, kRed), -1);
    // Thirteen looks 8 ms apart, each ending at a field boundary on the stepped board.
    EXPECT_EQ(board().current_field() - before, 13);
    pump.stop();
    EXPECT_EQ(ctl->GetErrorText(), "CopyGfbMainOut TimeOut");
    EXPECT_EQ(messages.take(), std::vector<std::string>{"CopyGfbMainOut TimeOut"});
    EXPECT_EQ(rig.gfb_writes(mark).size(), 1u) << "the pending rectangle was not overwritten";
    EXPECT_TRUE(rig.blits(mark).empty());
    EXPECT_EQ(ctl->GetVSyncWork().GetBox(), CBox(0, 0, 8, 8));
}

TEST_F(OnlineTest, OnlyThePictureOfARectangleGoesToTheBackArea)
{
    CKrFrameBuffer picture(720, 486, 1);
    picture.ClearCol(kRed);
    ASSERT_EQ(ctl->CopyGfbMainOut(&picture, CBox(700, 480, 100, 100)), 0);
    ASSERT_TRUE(board().step_fields(2));
    EXPECT_EQ(rig.gfb_writes(mark), (std::vector<GfbWriteSeen>{{board().current_field() - 2, "GFB back",
                                                                 {684, 700, 480, 20, 6, rows_sum(picture, 700, 480, 20, 6)}}}));
    EXPECT_EQ(rig.blits(mark), field_copies(board().current_field() - 2, 700, 480, 20, 6));
    const std::uint64_t later = board().journal().mark();
    EXPECT_EQ(ctl->CopyGfbMainOut(&picture, CBox(720, 0, 10, 10)), 0) << "nothing of it on the picture";
    EXPECT_EQ(ctl->CopyGfbMainOut(nullptr, CBox(0, 0, 10, 10)), -1);
    EXPECT_EQ(board().journal().mark(), later);
}

TEST_F(OnlineTest, BankChoicesCopyTheWholeBankWhenTheyChangeIt)
{
    ctl->GetGfb()->GetGfb(1)->ClearCol(kRed);
    EXPECT_EQ(ctl->SetBankOa(0), 0) << "unchanged";
    EXPECT_TRUE(rig.gfb_writes(mark).empty());
    EXPECT_EQ(ctl->SetBankOa(4), -1);
    EXPECT_EQ(ctl->GetGfb()->GetBankOa(), 0);
    EXPECT_EQ(ctl->SetBankOa(1), 0);
    CKrFrameBuffer bank = *ctl->GetGfb()->GetGfb(1);
    EXPECT_EQ(rig.gfb_writes(mark), (std::vector<GfbWriteSeen>{{board().current_field(), "GFB back",
                                                                 {684, 0, 0, 720, 486, rows_sum(bank, 0, 0, 720, 486)}}}));
    {
        zk::IdlePump pump(board());
        ASSERT_EQ(ctl->PreviewOn(), 0);
        const std::uint64_t from = board().journal().mark();
        EXPECT_EQ(ctl->SetBankDisp(1, 3), 0) << "on air unchanged, next changed";
        EXPECT_EQ(rig.entries(from, JournalKind::Still).size(), 1u);
        EXPECT_TRUE(rig.gfb_writes(from).empty());
        EXPECT_EQ(ctl->SetBankDisp(1, 9), -1);
    }
    EXPECT_EQ(ctl->GetGfb()->GetBankNext(), 3);
    EXPECT_EQ(ctl->SetBankWrite(5), -1);
    EXPECT_EQ(ctl->SetCopyMode(2), -1);
    EXPECT_EQ(ctl->SetBankWrite(1), 0);
    EXPECT_EQ(ctl->SetCopyMode(1), 0);
    EXPECT_EQ(ctl->GetGfb()->GetBankWrite(), 1);
    EXPECT_EQ(ctl->GetGfb()->GetCopyMode(), 1);
}

TEST_F(OnlineTest, FillsClearsAndCopiesReachTheOnAirOutputWithTheRectangleTheyChanged)
{
    struct Case {
        const char* what;
        std::function<int()> op;
        std::vector<std::int32_t> place; // x, y, width, rows of the back write
    };
    const std::vector<Case> cases = {
        {"BoxFill 2000 wide fills 720", [&] { return ctl->BoxFill(0, 10, 2000, 4, kRed); }, {0, 10, 720, 4}},
        {"ScreenClear", [&] { return ctl->ScreenClear(); }, {0, 0, 720, 486}},
        {"ScreenClearCol", [&] { return ctl->ScreenClearCol(kRed); }, {0, 0, 720, 486}},
        {"CopyBank into on air", [&] { return ctl->CopyBank(2, 0); }, {0, 0, 720, 486}},
        {"CopyBankBox into on air", [&] { return ctl->CopyBankBox(2, 5, 6, 30, 40, 0, 100, 200); }, {100, 200, 30, 40}},
    };
    for (const Case& c : cases) {
        const std::uint64_t from = board().journal().mark();
        ASSERT_EQ(c.op(), 0) << c.what;
        const auto writes = rig.gfb_writes(from);
        ASSERT_EQ(writes.size(), 1u) << c.what;
        EXPECT_EQ(std::vector<std::int32_t>(writes[0].words.begin() + 1, writes[0].words.end() - 1), c.place) << c.what;
        ASSERT_TRUE(board().step_fields(2));
    }
    const std::uint64_t from = board().journal().mark();
    EXPECT_EQ(ctl->CopyBank(0, 1), 0) << "into a bank nobody shows";
    EXPECT_EQ(ctl->CopyBank(0, 7), -1);
    EXPECT_EQ(ctl->ScreenClearBank(4), -1);
    EXPECT_TRUE(rig.gfb_writes(from).empty());
}

} // namespace
} // namespace zt
