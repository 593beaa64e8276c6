// The controller's life: what Initial does on the board and in which order, a failed Initial
// that leaves nothing behind, operations before Initial, the field hand-over to the
// vertical-sync thread, the waits on board time, the message sink and the tear-down.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "framebuffer/kr_frame_buffer.h"
#include "online/online_fixture.h"
#include "platform/board/vfx_device.h"
#include "platform/win32/win32_base.h"
#include "effects/kr_anime_ctr.h"

namespace zt {
namespace {

using zk::JournalEntry;
using zk::JournalKind;

struct Milestone {
    const char* what;
    std::function<bool(const JournalEntry&)> is;
};

Milestone request(const char* what, const std::string& device, DWORD code)
{
    return {what, [device, code](const JournalEntry& e) {
                return e.kind == JournalKind::DeviceRequest && e.target == device && e.code == code;
            }};
}

Milestone register_write(const char* what, std::uint32_t reg)
{
    return {what, [reg](const JournalEntry& e) {
                return e.kind == JournalKind::Register && e.target == "DigiMixVFX0" && e.code == reg &&
                       e.bytes == std::vector<std::uint8_t>{1, 0, 0, 0};
            }};
}

Milestone state(const char* what, const std::string& target, const std::string& text)
{
    return {what, [target, text](const JournalEntry& e) {
                return e.kind == JournalKind::StateChange && e.target == target && e.text == text;
            }};
}

TEST(OnlineLife, InitialTakesTheInventoryBuildsTheGraphOpensTheClockBuildsTheTelopSetsTheRegistersAndPlays)
{
    OnlineRig rig;
    zk::RegistryOverride registry(built_in_registry());
    const std::uint64_t from = rig.board().journal().mark();
    CKrOnlineCtl ctl;
    ASSERT_EQ(ctl.Initial(nullptr), 0) << ctl.GetErrorText().GetString();
    const std::vector<Milestone> order = {
        request("the inventory asks the effects device for its options", "DigiMixVFX0", IOCTL_VFX_GET_PROM_OPTIONS),
        request("the graph maps the graphics frame buffer", "DigiMixGFB0", 0x83002258),
        request("the graph sends the SDTI settings", "DigiSuiteSdtiCtl0", 0x83002158),
        request("the client registers with the clock", "DigiSuiteSystemClock0", 0x83002108),
        request("and maps its status", "DigiSuiteSystemClock0", 0x830020E8),
        request("and arms the interrupt", "DigiSuiteSystemClock0", 0x830020F0),
        state("the telop configuration claims the input select first", "InputSelect", "claimed"),
        {"and starts background generator 2",
         [](const JournalEntry& e) { return e.kind == JournalKind::Keyframe && e.target == "BGen2:Background In"; }},
        request("the device helper maps the mixer's registers", "DigiMixVFX0", IOCTL_VFX_MAP_REGISTERS),
        register_write("register 45 := 1", 45),
        register_write("register 46 := 1", 46),
        state("the graph plays: every control's data begun", "Fiesta0:2D DVE In", "begin data"),
    };
    const std::vector<JournalEntry> seen = rig.board().journal().since(from);
    size_t at = 0;
    for (const Milestone& m : order) {
        while (at < seen.size() && !m.is(seen[at])) ++at;
        ASSERT_LT(at, seen.size()) << "missing or out of order: " << m.what << "\n" << rig.board().journal().dump();
        ++at;
    }
    // Everything in the field it was called in: nothing waited for the board.
    for (const JournalEntry& e : seen) EXPECT_EQ(e.field, seen.front().field) << zk::BoardJournal::format(e);

    // The helper let the registers go: later fields journal no register.
    const std::uint64_t after = rig.board().journal().mark();
    ASSERT_TRUE(rig.board().step_fields(3));
    EXPECT_TRUE(rig.entries(after, JournalKind::Register).empty());
    EXPECT_EQ(ctl.GetErrorText(), "");
}

TEST(OnlineLife, WithoutADigiMixInitialFailsWithTheReasonAndLeavesNothingRunning)
{
    OnlineRig rig;
    zk::RegistryOverride registry(zk::RegistryStore{});
    MessageLog messages;
    const size_t handles = zk::open_handle_count();
    {
        CKrOnlineCtl ctl;
        const size_t idle = zk::open_handle_count();
        EXPECT_EQ(ctl.Initial(nullptr), -1);
        EXPECT_EQ(ctl.GetErrorText(), "Error! Could not open the system clock device\nCode = 0x80070006");
        EXPECT_EQ(messages.take(), std::vector<std::string>{ctl.GetErrorText().GetString()});
        EXPECT_EQ(ctl.GetGraph(), nullptr) << "the graph went with the failure";
        EXPECT_EQ(zk::open_handle_count(), idle) << "no thread, device or event left open";
        EXPECT_EQ(ctl.ScreenClear(), -1);
        EXPECT_EQ(ctl.WaitField(), -1) << "no vertical-sync thread to wait for";
    }
    EXPECT_EQ(zk::open_handle_count(), handles);
}

TEST(OnlineLife, OperationsBeforeInitialReturnTheirFailureAndReachNothing)
{
    OnlineRig rig;
    zk::RegistryOverride registry(built_in_registry());
    CKrOnlineCtl ctl;
    const std::uint64_t from = rig.board().journal().mark();
    CKrFrameBuffer fb(16, 16, 1);
    CString found;
    char name[] = "x";
    const std::vector<std::pair<const char*, std::function<int()>>> minus_one = {
        {"ScreenClear", [&] { return ctl.ScreenClear(); }},
        {"SetBankOa", [&] { return ctl.SetBankOa(1); }},
        {"BoxFill", [&] { return ctl.BoxFill(0, 0, 10, 10, 0xFFFFFFFF); }},
        {"CopyGfbMainOut", [&] { return ctl.CopyGfbMainOut(&fb, CBox(0, 0, 16, 16)); }},
        {"ImagePut", [&] { return ctl.ImagePut(&fb, 0, 0); }},
        {"ImageFileLoad", [&] { return ctl.ImageFileLoad("x.tga", 0, 0); }},
        {"GfbFontDisp", [&] { return ctl.GfbFontDisp("x"); }},
        {"Slide_Go", [&] { return ctl.Slide_Go(); }},
        {"PreviewOn", [&] { return ctl.PreviewOn(); }},
        {"LineFreeze", [&] { return ctl.LineFreeze(1); }},
        {"Play", [&] { return ctl.Play(); }},
        {"PutFiesta", [&] { return ctl.PutFiesta(1, &fb, 0, 0, 16, 16, 0, 0); }},
        {"MotionSet", [&] { return ctl.MotionSet("clip", 0); }},
        {"MotionPlay", [&] { return ctl.MotionPlay(); }},
        {"WaveSet", [&] { return ctl.WaveSet("tone"); }},
        {"WaitField", [&] { return ctl.WaitField(); }},
        {"WipeSet", [&] { return ctl.WipeSet(0, 1, 0, 0, 0, 0, 0, 4); }},
        {"WipeStart", [&] { return ctl.WipeStart(0); }},
        {"WipeWait", [&] { return ctl.WipeWait(); }},
        {"DveSlideSet", [&] { return ctl.DveSlideSet(0, 0, 1, 0, 0, 4); }},
        {"DveSlideStart", [&] { return ctl.DveSlideStart(2); }},
        {"DveSlideWait", [&] { return ctl.DveSlideWait(); }},
    };
    for (const auto& [what, op] : minus_one) EXPECT_EQ(op(), -1) << what;
    const std::vector<std::pair<const char*, std::function<int()>>> zero = {
        {"AnimeImageSet", [&] { return ctl.AnimeImageSet(0, 1, 0, 0, 8, 8, 0, name, 0, 0, 0); }},
        {"AnimeStart", [&] { return ctl.AnimeStart(); }},
        {"Set3Ddve", [&] { return ctl.Set3Ddve("a", "b"); }},
        {"End3Ddve", [&] { return ctl.End3Ddve(); }},
        {"SetRoll", [&] { return ctl.SetRoll(&fb, 10, 1, 0); }},
        {"StartRoll", [&] { return ctl.StartRoll(); }},
        {"GfbRoll", [&] { return ctl.GfbRoll(0, 0, 10, 0); }},
        {"Set2DPtn", [&] { return ctl.Set2DPtn(0, 0, 10, 0); }},
        {"Start2DDveAct", [&] { return ctl.Start2DDveAct(0); }},
        {"PostionDirect2DDve", [&] { return ctl.PostionDirect2DDve(0, 0, 1, 1, 0); }},
        {"Wait2DDveAct", [&] { return ctl.Wait2DDveAct(); }},
    };
    for (const auto& [what, op] : zero) EXPECT_EQ(op(), 0) << what;
    EXPECT_EQ(ctl.AnimeWait(), 1) << "nothing was started";
    EXPECT_EQ(ctl.GetImageFileName("x.BMP", found), 3) << "a name needs no board";
    EXPECT_EQ(rig.board().journal().mark(), from) << rig.board().journal().dump();
}

TEST_F(OnlineTest, ASecondInitialChangesNothing)
{
    CMQGraph* graph = ctl->GetGraph();
    EXPECT_EQ(ctl->Initial(nullptr), 0);
    EXPECT_EQ(ctl->GetGraph(), graph);
    EXPECT_EQ(board().journal().mark(), mark);
}

TEST_F(OnlineTest, WaitFieldReturnsAfterTheVerticalSyncThreadHandledOneField)
{
    const long long start = board().current_field();
    zk::IdlePump pump(board());
    EXPECT_EQ(ctl->WaitField(), 0);
    EXPECT_EQ(board().current_field(), start + 1);
    EXPECT_EQ(ctl->WaitField(), 0);
    EXPECT_EQ(board().current_field(), start + 2);
    pump.stop();
    EXPECT_FALSE(pump.failed());
}

TEST_F(OnlineTest, TimeWaitSleepsTenthsOfASecondOnBoardTime)
{
    const long long field = board().current_field();
    zk::IdlePump pump(board());
    const DWORD start = GetTickCount();
    EXPECT_EQ(ctl->TimeWait(3), 0);
    // 300 ms end at the first field boundary after them: 18 fields of 1001/60 ms.
    EXPECT_EQ(board().current_field(), field + 18);
    EXPECT_GE(GetTickCount() - start, 300u);
    EXPECT_EQ(ctl->TimeWait(0), 0);
    EXPECT_EQ(board().current_field(), field + 18);
}

TEST_F(OnlineTest, FoldersAreMadeAndEnteredAndOnlyFilesAreDeleted)
{
    OnlineTestFolder folder("online_files");
    const std::filesystem::path base = folder.path();
    auto text = [](std::string p) { return std::vector<unsigned char>(p.begin(), p.end() + 1); };
    std::vector<unsigned char> sub = text((base / "sub").string());
    EXPECT_EQ(ctl->MkDir(sub.data()), 0);
    EXPECT_TRUE(std::filesystem::is_directory(base / "sub"));
    EXPECT_EQ(ctl->MkDir(sub.data()), -1) << "it exists";
    std::vector<unsigned char> deep = text((base / "no" / "such").string());
    EXPECT_EQ(ctl->MkDir(deep.data()), -1) << "one level at a time";

    const std::filesystem::path was = std::filesystem::current_path();
    EXPECT_EQ(ctl->ChDir(sub.data()), 0);
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(base / "sub"));
    std::vector<unsigned char> back = text(was.string());
    EXPECT_EQ(ctl->ChDir(back.data()), 0);
    EXPECT_EQ(ctl->ChDir(deep.data()), -1);
    EXPECT_EQ(std::filesystem::current_path(), was);

    std::ofstream(base / "sub" / "x.tga") << "x";
    std::vector<unsigned char> file = text((base / "sub" / "x.tga").string());
    EXPECT_EQ(ctl->DelFile(sub.data()), -1) << "a folder stays";
    EXPECT_TRUE(std::filesystem::exists(base / "sub" / "x.tga"));
    EXPECT_EQ(ctl->DelFile(file.data()), 0);
    EXPECT_FALSE(std::filesystem::exists(base / "sub" / "x.tga"));
    EXPECT_EQ(ctl->DelFile(file.data()), -1) << "already gone";
    EXPECT_EQ(ctl->ChDir(nullptr), -1);
    EXPECT_EQ(ctl->MkDir(nullptr), -1);
    EXPECT_EQ(ctl->DelFile(nullptr), -1);
}

TEST_F(OnlineTest, EveryTextTheLibraryReportsEndsAsTheLastErrorTextAndNowhereElse)
{
    EXPECT_EQ(ctl->AnimeStop(99), 0);
    EXPECT_EQ(ctl->GetErrorText(), "AnimeNo Err[99]") << "a controller's text";
    EXPECT_EQ(ctl->ImageFileLoad("no/such/picture", 0, 0), -1);
    EXPECT_EQ(ctl->GetErrorText(), "ImgLoadErr no/such/picture") << "the controller's own";
    ctl->ErrDispMessage("shown nowhere");
    EXPECT_EQ(ctl->GetErrorText(), "shown nowhere");
    EXPECT_EQ(messages.take(), (std::vector<std::string>{"AnimeNo Err[99]", "ImgLoadErr no/such/picture"}));
    EXPECT_TRUE(rig.entries(mark, zk::JournalKind::GraphicsWrite).empty());
}

TEST(OnlineLife, DestructionJoinsEveryThreadAndLetsTheSinkGoOnlyWhenItStillHoldsIt)
{
    OnlineRig rig;
    zk::RegistryOverride registry(built_in_registry());
    const size_t handles = zk::open_handle_count();
    auto first = std::make_unique<CKrOnlineCtl>();
    ASSERT_EQ(first->Initial(nullptr), 0);
    // An animation playing: its worker is among the threads the controller must join.
    char strip[] = "unused%d.tga";
    ASSERT_EQ(first->AnimeImageSet(0, 2, 0, 0, 8, 8, 0, strip, 0, 0, 0), 0) << "no files: the strip stays empty";
    ASSERT_EQ(first->AnimeModeSet(0, 0, 0, 0, 0), 1);
    ASSERT_EQ(first->AnimeStart(), 1);
    ASSERT_TRUE(rig.board().step_fields(4));
    EXPECT_TRUE(first->GetAnimeCtr()->playing(0));

    // A second controller takes the sink (its own Initial fails: the board's mixer units are
    // the first one's), and keeps it when the first goes.
    auto second = std::make_unique<CKrOnlineCtl>();
    EXPECT_EQ(second->Initial(nullptr), -1);
    first.reset();
    zk::report_message("after the first");
    EXPECT_EQ(second->GetErrorText(), "after the first");
    second.reset();
    zk::report_message("nobody");
    EXPECT_EQ(zk::open_handle_count(), handles);
}

} // namespace
} // namespace zt
