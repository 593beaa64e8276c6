// The video side as the host drives it: the channels each operation freezes and unfreezes
// (lines, preview, live super), the preview channel chosen with the preview output, layer
// modes, the transport, stills through the controller and the Genie's 3D effects.
#include <gtest/gtest.h>

#include <random>

#include "framebuffer/kr_frame_buffer.h"
#include "onair/effects_graph_fixture.h"
#include "onair/mq_graph.h"
#include "platform/filtergraph/virtual_filter.h"
#include "online/online_fixture.h"

namespace zt {
namespace {

struct Freeze {
    int line;
    std::vector<std::string> frozen; // strobes of LineFreeze, then of LineUnFreeze
    std::vector<std::string> unfrozen;
};

class LineChannels : public OnlineTest, public ::testing::WithParamInterface<Freeze> {};

TEST_P(LineChannels, LineOneIsFiestaThreeAndFourEveryOtherLineOneAndTwo)
{
    const Freeze f = GetParam();
    EXPECT_EQ(ctl->LineFreeze(f.line), 0);
    EXPECT_EQ(rig.strobes(mark), f.frozen);
    const std::uint64_t from = board().journal().mark();
    EXPECT_EQ(ctl->LineUnFreeze(f.line), 0);
    EXPECT_EQ(rig.strobes(from), f.unfrozen);
}

const std::vector<std::string> kLine0Frozen = {"Fiesta1 strobe rate 0", "Fiesta2 strobe rate 0"};
const std::vector<std::string> kLine0Unfrozen = {"Fiesta1 strobe rate 1", "Fiesta2 strobe rate 1"};
INSTANTIATE_TEST_SUITE_P(Online, LineChannels,
                         ::testing::Values(Freeze{1, {"Fiesta3 strobe rate 0", "Fiesta4 strobe rate 0"},
                                                  {"Fiesta3 strobe rate 1", "Fiesta4 strobe rate 1"}},
                                           Freeze{0, kLine0Frozen, kLine0Unfrozen},
                                           Freeze{2, kLine0Frozen, kLine0Unfrozen},
                                           Freeze{-1, kLine0Frozen, kLine0Unfrozen}));

TEST_F(OnlineTest, PreviewFreezesThePreviewChannelUnlessLiveSuperShowsItsInput)
{
    zk::IdlePump pump(board());
    EXPECT_EQ(ctl->GetPreviewChannel(), 0);
    EXPECT_EQ(ctl->PreviewOn(), 0);
    EXPECT_EQ(ctl->GetPreview(), 1);
    EXPECT_EQ(ctl->PreviewOff(), 0);
    EXPECT_EQ(ctl->GetPreview(), 0);
    EXPECT_EQ(rig.strobes(mark), (std::vector<std::string>{"Fiesta0 strobe rate 0", "Fiesta0 strobe rate 1"}));

    // The preview output shows channel 3 from now on: that is where the next bank goes.
    std::uint64_t from = board().journal().mark();
    EXPECT_EQ(ctl->ChPreOut(3), 0);
    EXPECT_EQ(ctl->GetPreviewChannel(), 3);
    EXPECT_EQ(ctl->ChPreOut(7), 0) << "the preview output shows its whole picture again";
    EXPECT_EQ(ctl->GetPreviewChannel(), 3) << "no channel of that number to put the next bank on";
    EXPECT_EQ(ctl->ChPreOut(3), 0);
    EXPECT_EQ(ctl->LiveSuperOn(), 0);
    EXPECT_EQ(ctl->GetLiveSuper(), 1);
    EXPECT_EQ(ctl->PreviewOn(), 0) << "under live super the channel keeps its input";
    EXPECT_EQ(ctl->LiveSuperOff(), 0);
    EXPECT_EQ(ctl->GetLiveSuper(), 0);
    pump.stop();
    EXPECT_EQ(rig.strobes(from), (std::vector<std::string>{"Fiesta3 strobe rate 1", "Fiesta3 strobe rate 0"}));
    EXPECT_EQ(ctl->GetGraph()->GetLiveSuper(), 0);
}

TEST_F(OnlineTest, LayerModesAndTheTransportAreTheGraphs)
{
    zk::IdlePump pump(board());
    EXPECT_EQ(ctl->PPLayer(3), 0);
    EXPECT_EQ(ctl->GetGraph()->GetPPLayerMode(), 3);
    EXPECT_EQ(ctl->PPLayer(10), -1);
    EXPECT_EQ(ctl->GetGraph()->GetPPLayerMode(), 3);
    EXPECT_EQ(ctl->Stop(), 0);
    EXPECT_EQ(ctl->GetGraph()->GetState(0), MQFG_STATE_STOPPED);
    EXPECT_EQ(ctl->Play(), 0);
    EXPECT_EQ(ctl->GetGraph()->GetState(0), MQFG_STATE_RUNNING);
}

TEST_F(OnlineTest, StillsGoIntoAndComeOutOfTheChannelsWholeFramesMadeToSize)
{
    std::mt19937 rng(test_seed());
    CKrFrameBuffer picture = random_buffer(64, 32, rng, 1);
    {
        zk::IdlePump pump(board());
        ASSERT_EQ(ctl->PutFiesta(2, &picture, 0, 0, 64, 32, 100, 50), 0);
    }
    CKrFrameBuffer frame(8, 8, 1); // the wrong size: made 720 × 486
    ASSERT_EQ(ctl->GetFiesta(2, &frame), 0);
    ASSERT_EQ(frame.GetWidth(), 720u);
    ASSERT_EQ(frame.GetHeight(), 486u);
    for (long y = 0; y < 32; ++y)
        for (long x = 0; x < 64; ++x) ASSERT_EQ(px(frame, 100 + x, 50 + y), px(picture, x, y)) << x << "," << y;
    EXPECT_EQ(px(frame, 99, 50), 0u);
    CKrFrameBuffer empty;
    EXPECT_EQ(ctl->GetFiestaYuv(2, &empty), 0) << "an empty buffer is made too";
    EXPECT_EQ(empty.GetWidth(), 720u);
    EXPECT_EQ(ctl->PutFiesta(2, &empty, 0, 0, 8, 8, 720, 0), -1) << "nowhere on the channel";
    EXPECT_EQ(ctl->PutFiesta(2, nullptr, 0, 0, 8, 8, 0, 0), -1);
    EXPECT_EQ(ctl->GetFiesta(2, nullptr), -1);
}

TEST_F(OnlineTest, ThreeDEffectsNeedAGenie)
{
    zk::IdlePump pump(board());
    EXPECT_EQ(ctl->Set3Ddve("a.vfx", "Effect"), 0);
    EXPECT_EQ(ctl->Get3DdveActive(), 0);
    EXPECT_EQ(ctl->SetLine3Ddve(1), TRUE) << "the line is kept for a later effect";
    EXPECT_EQ(ctl->SetLine3Ddve(2), FALSE);
    EXPECT_EQ(ctl->End3Ddve(), 1);
}

class Genie : public ::testing::Test {
protected:
    OnlineRig rig;
    zk::RegistryOverride registry{registry_with(false, true)};
    CKrOnlineCtl ctl;
};

TEST_F(Genie, AThreeDEffectIsSetOnceLinedChangedAndEnded)
{
    zk::set_virtual_media("fx.vfx", 0.5);
    ASSERT_EQ(ctl.Initial(nullptr), 0) << ctl.GetErrorText().GetString();
    {
        zk::IdlePump pump(rig.board());
        EXPECT_EQ(ctl.Set3Ddve("fx.vfx", "Effect"), 1) << GetLastErrorText();
        EXPECT_EQ(ctl.Get3DdveActive(), 1);
        EXPECT_EQ(ctl.Set3Ddve("fx.vfx", "Effect"), 0) << "refused while one is active";
        EXPECT_EQ(ctl.SetLine3Ddve(1), TRUE);
        EXPECT_EQ(ctl.ChangeVfxFile("fx.vfx", "Other"), 0) << GetLastErrorText();
        EXPECT_EQ(ctl.End3Ddve(), 1);
    }
    EXPECT_EQ(ctl.Get3DdveActive(), 0);
    zk::set_virtual_media("fx.vfx", -1.0);
}

} // namespace
} // namespace zt
