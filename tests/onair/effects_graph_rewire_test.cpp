// Rewiring the effects graph while it runs: the layer modes with live super and the video
// level, the preview output, live super by pins in the DigiMix-only configuration, SDI capture
// into a channel, the live inputs of both input selects, channel 0 on the bus in place of the
// second input select, and the Genie's effect with its line.
#include <gtest/gtest.h>

#include <set>

#include "onair/effects_graph_fixture.h"
#include "platform/board/digisuite_filter.h"

namespace {

using zt::EffectsGraphTest;
using S = zt::Selection;

class Rewire : public EffectsGraphTest {
protected:
    void SetUp() override
    {
        EffectsGraphTest::SetUp();
        ASSERT_EQ(graph->BilGraph_TelopNormal(), 0) << GetLastErrorText();
        ASSERT_EQ(graph->FgPlay(), S_OK);
        mark = board().journal().mark();
    }
    // The six layers and the main output, as the board has them now.
    std::vector<S> layers()
    {
        std::vector<S> out;
        for (int p = 0; p < 2; ++p) {
            for (int l = 1; l <= 3; ++l) out.push_back(now("PriorityProcessor" + std::to_string(p), "Layer " + std::to_string(l)));
        }
        out.push_back(now("MainOutputSelect", "Video In"));
        return out;
    }
    bool has(const std::string& line)
    {
        const auto d = dump();
        return std::find(d.begin(), d.end(), line) != d.end();
    }
};

// What feeds a layer, by the crosspoint's low byte and input.
struct Xp {
    unsigned source;
    std::uint32_t index;
};
constexpr Xp kChannel0{0x50, 0}, kLine0{0x59, 0}, kLine1{0x59, 1}, kGraphics{0x58, 0}, kLive{0x5D, 0}, kNone{0, 0},
    kGenie{0x5E, 0}, kProgram{0x5B, 0};

std::vector<S> selection(std::array<Xp, 3> pp0, std::array<Xp, 3> pp1, Xp main = kProgram)
{
    std::vector<S> out;
    for (int p = 0; p < 2; ++p) {
        for (int l = 0; l < 3; ++l) {
            const Xp x = (p == 0 ? pp0 : pp1)[static_cast<size_t>(l)];
            out.push_back({"PriorityProcessor" + std::to_string(p) + ":Layer " + std::to_string(l + 1), x.source, x.index});
        }
    }
    out.push_back({"MainOutputSelect:Video In", main.source, main.index});
    return out;
}

struct Mode {
    long mode;
    std::array<Xp, 3> layers; // processor 0's; processor 1 has the same without the first
};

class LayerModes : public Rewire, public ::testing::WithParamInterface<Mode> {};

TEST_P(LayerModes, SelectTheLayersOfBothProcessorsAndTheMainOutput)
{
    const Mode m = GetParam();
    ASSERT_EQ(graph->ChGraph_PPLayer(m.mode), 0);
    EXPECT_EQ(layers(), selection(m.layers, {kNone, m.layers[1], m.layers[2]}));
    EXPECT_EQ(graph->GetPPLayerMode(), m.mode);
    EXPECT_EQ(graph->GetLiveSuper(), m.mode >= 5);
    // With the video level on, processor 1 takes the first layer too.
    ASSERT_EQ(graph->SetVideoLevelMode(1), 0);
    EXPECT_EQ(layers(), selection(m.layers, m.layers));
    ASSERT_EQ(graph->SetVideoLevelMode(0), 0);
    EXPECT_EQ(layers(), selection(m.layers, {kNone, m.layers[1], m.layers[2]}));
}

INSTANTIATE_TEST_SUITE_P(
    ZeroToNine, LayerModes,
    ::testing::Values(Mode{0, {kChannel0, kLine0, kGraphics}}, Mode{1, {kLine0, kLine1, kGraphics}},
                      Mode{2, {kChannel0, kLine1, kGraphics}}, Mode{3, {kLine0, kGraphics, kLine1}},
                      Mode{4, {kChannel0, kLine0, kLine1}}, Mode{5, {kLive, kLine0, kGraphics}},
                      Mode{6, {kLive, kLine1, kGraphics}}, Mode{7, {kLive, kLine1, kGraphics}},
                      Mode{8, {kLive, kGraphics, kLine1}}, Mode{9, {kLive, kLine0, kLine1}}));

TEST_F(Rewire, TheLiveSuperFlagStaysAndTheRefusedModesChangeNothing)
{
    ASSERT_EQ(graph->ChGraph_PPLayer(8), 0);
    ASSERT_EQ(graph->ChGraph_PPLayer(2), 0);
    EXPECT_EQ(graph->GetPPLayerMode(), 7) << "mode 2 with the live-super flag still set";
    const auto before = layers();
    const std::uint64_t from = board().journal().mark();
    EXPECT_EQ(graph->ChGraph_PPLayer(10), -1);
    EXPECT_EQ(graph->ChGraph_PPLayer(-1), -1);
    EXPECT_TRUE(board().journal().since(from).empty());
    EXPECT_EQ(layers(), before);
    ASSERT_EQ(graph->DisGraph_TelopNormal(), 0);
    EXPECT_EQ(graph->ChGraph_PPLayer(1), -1) << "only with the telop configuration in place";
}

TEST_F(Rewire, LiveSuperOnAndOffSwitchTheLayerModeAndPlayAgain)
{
    ASSERT_EQ(graph->ChGraph_PPLayer(3), 0);
    {
        zk::IdlePump pump(board());
        EXPECT_EQ(graph->ChGraph_LiveSuperOn(), 0);
    }
    EXPECT_TRUE(graph->GetLiveSuper());
    EXPECT_EQ(graph->GetPPLayerMode(), 8);
    EXPECT_EQ(layers(), selection({kLive, kGraphics, kLine1}, {kNone, kGraphics, kLine1}));
    EXPECT_EQ(graph->GetState(0), MQFG_STATE_RUNNING);
    {
        zk::IdlePump pump(board());
        EXPECT_EQ(graph->ChGraph_LiveSuperOff(), 0);
    }
    EXPECT_FALSE(graph->GetLiveSuper());
    EXPECT_EQ(graph->GetPPLayerMode(), 3);
    EXPECT_EQ(layers(), selection({kLine0, kGraphics, kLine1}, {kNone, kGraphics, kLine1}));
}

TEST_F(EffectsGraphTest, LiveSuperInTheDigiMixOnlyConfigurationRewiresTheTeeAndTheLiveLine)
{
    ASSERT_EQ(graph->BilGraph_DigiMixOnly(), 0);
    ASSERT_EQ(graph->FgPlay(), S_OK);
    const auto off = dump();
    auto has = [&](const std::string& l) {
        const auto d = dump();
        return std::find(d.begin(), d.end(), l) != d.end();
    };
    {
        zk::IdlePump pump(board());
        EXPECT_EQ(graph->ChGraph_LiveSuperOn(), 0);
    }
    EXPECT_TRUE(has("KeyCombiner0:Video Out -> PriorityProcessor0:Layer 1"));
    EXPECT_TRUE(has("HwConnTee:Output1 -> PriorityProcessor0:Layer 2"));
    EXPECT_TRUE(has("HwConnTee:Output2 -> PriorityProcessor0:Layer 3"));
    EXPECT_FALSE(has("KeyCombiner0:Video Out -> PreviewOutputSelect:Video In"));
    EXPECT_EQ(graph->GetState(0), MQFG_STATE_RUNNING);
    {
        zk::IdlePump pump(board());
        EXPECT_EQ(graph->ChGraph_LiveSuperOff(), 0);
    }
    EXPECT_EQ(dump(), off);
}

TEST_F(Rewire, ThePreviewOutputShowsAChannelAloneOrTheWholePicture)
{
    for (long n : {0L, 4L, 2L}) {
        ASSERT_EQ(graph->ChGraph_PreOut(n), 0);
        EXPECT_EQ(now("PreviewOutputSelect", "Video In"), (S{"PreviewOutputSelect:Video In", 0x50u + static_cast<unsigned>(n), 0}));
    }
    ASSERT_EQ(graph->ChGraph_PreOut(-1), 0);
    EXPECT_EQ(now("PreviewOutputSelect", "Video In"), (S{"PreviewOutputSelect:Video In", 0x5C, 0}));
}

TEST_F(Rewire, SdiCaptureRoutesOneChannelAtATime)
{
    EXPECT_EQ(graph->SDI_Captuer_Strat(4), -1);
    EXPECT_EQ(graph->SDI_Captuer_Strat(-1), -1);
    ASSERT_EQ(graph->SDI_Captuer_Strat(2), 0);
    EXPECT_EQ(now("Fiesta3", "Video In"), (S{"Fiesta3:Video In", 0x5F, 0}));
    EXPECT_EQ(now("Fiesta2", "Video In"), (S{"Fiesta2:Video In", 0x56, 0}));
    EXPECT_EQ(graph->SDI_Captuer_Strat(1), -1) << "a second start without an end";
    ASSERT_EQ(graph->SDI_Captuer_End(), 0);
    EXPECT_EQ(now("Fiesta3", "Video In"), (S{"Fiesta3:Video In", 0x56, 0}));
    ASSERT_EQ(graph->SDI_Captuer_Strat(0), 0);
    EXPECT_EQ(now("Fiesta1", "Video In"), (S{"Fiesta1:Video In", 0x5F, 0}));
    ASSERT_EQ(graph->SDI_Captuer_End(), 0);
}

TEST_F(EffectsGraphTest, SdiCaptureWithoutItsConnectionFailsWithItsMessageAndEndsTheCapture)
{
    ASSERT_EQ(graph->BilGraph_DigiMixOnly(), 0);
    EXPECT_EQ(graph->SDI_Captuer_Strat(0), E_POINTER);
    EXPECT_STREQ(GetLastErrorText(), "Error! Err HwConnSel Fiesta1 I0BUS\nCode = 0x80004003");
    EXPECT_EQ(graph->SDI_Captuer_Strat(0), E_POINTER) << "not refused as a capture in progress";
}

TEST_F(EffectsGraphTest, LiveInputsAreListedThroughATemporaryInputSelectWhenTheGraphHasNone)
{
    const MQFG_INPUT_INFO* first = graph->GetFirstLiveInput();
    ASSERT_NE(first, nullptr);
    std::vector<std::pair<LONG, std::string>> inputs{{first->id, first->name}};
    while (const MQFG_INPUT_INFO* next = graph->GetNextLiveInput()) inputs.push_back({next->id, next->name});
    EXPECT_EQ(inputs, (std::vector<std::pair<LONG, std::string>>{
                          {0, "Composite 1"}, {1, "Composite 2"}, {2, "Y/C"}, {3, "Component"}, {4, "Serial Digital"}}));
    EXPECT_EQ(graph->GetNextLiveInput(), nullptr);
    std::vector<std::string> claims;
    for (const zk::JournalEntry& e : entries(zk::JournalKind::StateChange, mark)) claims.push_back(e.target + " " + e.text);
    EXPECT_EQ(claims, (std::vector<std::string>{"InputSelect claimed", "InputSelect released"}));
    EXPECT_EQ(dump(), std::vector<std::string>{});
    // The list is kept: asked again, nothing is created.
    const std::uint64_t again = board().journal().mark();
    ASSERT_NE(graph->GetFirstLiveInput(), nullptr);
    EXPECT_STREQ(graph->GetNextLiveInput()->name, "Composite 2");
    EXPECT_TRUE(board().journal().since(again).empty());

    // The second input select is required, not made for the question.
    EXPECT_EQ(graph->GetFirstLiveInput_SDICap(), nullptr);
    EXPECT_EQ(graph->SetLiveInput_SDICap(1), 1);
    EXPECT_EQ(graph->GetLiveInput_SDICap(), -1);
    EXPECT_EQ(graph->GetLiveInput(), 0) << "the input select's own input";
}

TEST_F(Rewire, LiveInputsAreSetAndRememberedOnBothSelects)
{
    ASSERT_EQ(graph->SetLiveInput(3), 0);
    EXPECT_EQ(graph->GetLiveInput(), 3);
    ASSERT_EQ(graph->SetLiveInput_SDICap(2), 0);
    EXPECT_EQ(graph->GetLiveInput_SDICap(), 2);
    EXPECT_EQ(graph->SetLiveInput(9), E_INVALIDARG) << "an input the select lacks";
    EXPECT_EQ(graph->GetLiveInput(), 3);
    const MQFG_INPUT_INFO* sdi = graph->GetFirstLiveInput_SDICap();
    ASSERT_NE(sdi, nullptr);
    EXPECT_STREQ(sdi->name, "SDI A");
    int count = 1;
    while (graph->GetNextLiveInput_SDICap()) ++count;
    EXPECT_EQ(count, 4);
}

TEST_F(Rewire, ChannelZeroTakesTheBusInPlaceOfTheSecondInputSelectAndGivesItBack)
{
    const std::string channel0 = "Fiesta0:Video Out -> Movie2BusInput:I0 In";
    const std::string select2 = "InputSelect2:Video Out -> Movie2BusInput:I0 In";
    EXPECT_EQ(graph->SelLiveLine_InputSel2(), -1) << "not selected yet";
    ASSERT_EQ(graph->SelLiveLine_AdcFiesta0(), 0);
    EXPECT_TRUE(has(channel0));
    EXPECT_FALSE(has(select2));
    EXPECT_EQ(graph->SelLiveLine_AdcFiesta0(), -1) << "already selected";
    EXPECT_EQ(graph->GetState(0), MQFG_STATE_RUNNING);
    ASSERT_EQ(graph->SelLiveLine_InputSel2(), 0);
    EXPECT_FALSE(has(channel0));
    EXPECT_TRUE(has(select2));
}

// ---- the Genie ----

class GenieEffect : public EffectsGraphTest {
protected:
    void SetUp() override
    {
        start(false, true);
        ASSERT_EQ(graph->BilGraph_TelopNormal(), 0) << GetLastErrorText();
        ASSERT_EQ(graph->FgPlay(), S_OK);
    }
    // The filter of a class in the graph, as the board's DigiSuite filter.
    zk::DigiSuiteFilter* find(REFCLSID clsid)
    {
        zk::ComPtr<IEnumFilters> all;
        graph->GetGraphBuilder()->EnumFilters(all.put());
        IBaseFilter* f = nullptr;
        zk::DigiSuiteFilter* found = nullptr;
        while (all->Next(1, &f, nullptr) == S_OK) {
            CLSID c{};
            f->GetClassID(&c);
            if (c == clsid) found = dynamic_cast<zk::DigiSuiteFilter*>(f);
            f->Release();
        }
        return found;
    }
};

TEST_F(GenieEffect, PlaysTheEffectFileOnItsLineAndGivesTheCrosspointsBack)
{
    EXPECT_EQ(now("Movie2BusControlIn", "Loop In Bus"), (S{"Movie2BusControlIn:Loop In Bus", 0x59, 0}));
    EXPECT_EQ(now("Movie2BusControlIn", "Key In Bus"), (S{"Movie2BusControlIn:Key In Bus", 0x52, 0}));
    ASSERT_EQ(graph->SetGenieVfxFile("effects.vfx", "Turn"), 0);
    {
        zk::IdlePump pump(board());
        ASSERT_EQ(graph->BilGraph_GenieFilter(), 0) << GetLastErrorText();
    }
    const auto d = dump();
    EXPECT_NE(std::find(d.begin(), d.end(), "VfxSource:Vfx Out -> GenieRenderer:Vfx In"), d.end());
    zk::DigiSuiteFilter* vfx = find(CLSID_VfxSource);
    ASSERT_NE(vfx, nullptr);
    EXPECT_EQ(vfx->compound_file(), "effects.vfx");
    EXPECT_EQ(vfx->sub_storage(), "Turn");
    EXPECT_EQ(now("PreviewOutputSelect", "Video In"), (S{"PreviewOutputSelect:Video In", 0x5E, 0}));
    EXPECT_EQ(now("WipeRenderer1", "Video In"), (S{"WipeRenderer1:Video In", 0x5E, 0}));
    EXPECT_EQ(now("KeyCombiner4", "Video In"), (S{"KeyCombiner4:Video In", 0x5E, 0}));
    EXPECT_EQ(now("KeyCombiner4", "Key In"), (S{"KeyCombiner4:Key In", 0x5E, 1}));
    EXPECT_EQ(now("PriorityProcessor0", "Layer 1"), (S{"PriorityProcessor0:Layer 1", kGenie.source, 0}))
        << "the Genie's picture in place of line 0";
    EXPECT_EQ(graph->GetState(0), MQFG_STATE_RUNNING);

    // Line 1: the Genie takes that line and replaces it in the layers.
    ASSERT_EQ(graph->SetGenieEffectLine(1), 0);
    EXPECT_EQ(now("Movie2BusControlIn", "Loop In Bus"), (S{"Movie2BusControlIn:Loop In Bus", 0x59, 1}));
    EXPECT_EQ(now("Movie2BusControlIn", "Key In Bus"), (S{"Movie2BusControlIn:Key In Bus", 0x54, 0}));
    EXPECT_EQ(now("PriorityProcessor0", "Layer 1"), (S{"PriorityProcessor0:Layer 1", 0x59, 0}));
    EXPECT_EQ(now("PriorityProcessor0", "Layer 2"), (S{"PriorityProcessor0:Layer 2", kGenie.source, 0}));

    // Another file: a new source on the same input.
    ASSERT_EQ(graph->SetGenieVfxFile("other.vfx", "Spin"), 0);
    ASSERT_EQ(graph->FgStop(), S_OK);
    ASSERT_EQ(graph->ChgGraph_VfxFile(), 0) << GetLastErrorText();
    vfx = find(CLSID_VfxSource);
    ASSERT_NE(vfx, nullptr);
    EXPECT_EQ(vfx->compound_file(), "other.vfx");

    ASSERT_EQ(graph->DisGraph_GenieFilter(), 0);
    EXPECT_EQ(find(CLSID_VfxSource), nullptr);
    EXPECT_EQ(now("PreviewOutputSelect", "Video In"), (S{"PreviewOutputSelect:Video In", 0x5C, 0}));
    EXPECT_EQ(now("WipeRenderer1", "Video In"), (S{"WipeRenderer1:Video In", 0x5A, 2}));
    EXPECT_EQ(now("KeyCombiner4", "Video In"), (S{"KeyCombiner4:Video In", 0x53, 0}));
    EXPECT_EQ(now("KeyCombiner4", "Key In"), (S{"KeyCombiner4:Key In", 0x54, 0}));
    EXPECT_EQ(now("PriorityProcessor0", "Layer 2"), (S{"PriorityProcessor0:Layer 2", 0x59, 1}));
    EXPECT_EQ(graph->ChgGraph_VfxFile(), -1) << "no effect in place";
}

TEST_F(GenieEffect, WithoutAnEffectFileTheSourceCannotBeSet)
{
    {
        zk::IdlePump pump(board());
        EXPECT_EQ(graph->BilGraph_GenieFilter(), VFW_E_WRONG_STATE);
    }
    EXPECT_STREQ(GetLastErrorText(), "Error! Err VFX File Set\nCode = 0x80040227");
    EXPECT_EQ(graph->DisGraph_GenieFilter(), 0);
    EXPECT_EQ(find(CLSID_VfxSource), nullptr);
}

TEST_F(EffectsGraphTest, WithoutAGenieTheGenieConfigurationsAreRefused)
{
    ASSERT_EQ(graph->BilGraph_TelopNormal(), 0);
    EXPECT_EQ(graph->BilGraph_TelopNormal_Genie(), -1);
    EXPECT_EQ(graph->BilGraph_GenieFilter(), -1);
    EXPECT_EQ(graph->ChGraph_Genie_EfLinePPLyer(1), -1);
}

} // namespace
