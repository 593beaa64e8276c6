// The effects graph's configurations on the virtual board: what each one holds (every filter by
// the unit it drives, every pin-to-pin connection) against lists written here from the
// builders' descriptions; the records and crosspoints the telop configuration sends as it is
// built; building twice builds once; tear-downs that take away exactly what their
// configuration added; a failing step's message; and every configuration written out as DOT.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "onair/effects_graph_fixture.h"

namespace {

using Lines = std::vector<std::string>;
using zt::EffectsGraphTest;

// A Fiesta channel's five keyframe sources (and channel 0's TBC data filter).
Lines fiesta_unit(int n)
{
    const std::string f = "DirectData:Video Out -> Fiesta" + std::to_string(n) + ":";
    Lines out = {f + "2D DVE In", f + "Crop In", f + "Procamp In", f + "Mask In", f + "Paint In"};
    if (n == 0) out.push_back(f + "TBC In");
    return out;
}

Lines wipe_unit(int n)
{
    const std::string w = std::to_string(n);
    return {"DirectData:Video Out -> WipeRenderer" + w + ":Wipe In", "DirectData:Video Out -> WipeRenderer" + w + ":Fader In",
            "DirectData:Video Out -> WipeBorder" + w + ":Border In",
            "WipeBorder" + w + ":Video Out -> WipeRenderer" + w + ":Background In"};
}

Lines join(std::initializer_list<Lines> parts)
{
    Lines out;
    for (const Lines& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// The dump as expected: filter counts, then the connections sorted.
Lines expected(const std::map<std::string, int>& filters, Lines edges)
{
    Lines out;
    for (const auto& [label, count] : filters) out.push_back("filter " + label + " x" + std::to_string(count));
    std::sort(edges.begin(), edges.end());
    out.insert(out.end(), edges.begin(), edges.end());
    return out;
}

Lines telop_edges()
{
    Lines hw;
    for (const char* input : {"MainOutputSelect:Video In", "PreviewOutputSelect:Video In", "PriorityProcessor0:Layer 1",
                              "PriorityProcessor0:Layer 2", "PriorityProcessor0:Layer 3", "PriorityProcessor1:Layer 1",
                              "PriorityProcessor1:Layer 2", "PriorityProcessor1:Layer 3", "Fiesta1:Video In",
                              "Fiesta2:Video In", "Fiesta3:Video In", "Fiesta4:Video In", "KeyCombiner3:Video In",
                              "KeyCombiner3:Key In", "KeyCombiner4:Video In", "KeyCombiner4:Key In",
                              "WipeRenderer0:Video In", "WipeRenderer1:Video In", "BGen2:Background In"})
        hw.push_back(std::string("DirectData:Video Out -> ") + input);
    return join({fiesta_unit(0), fiesta_unit(1), fiesta_unit(2), fiesta_unit(3), fiesta_unit(4), wipe_unit(0),
                 wipe_unit(1), hw,
                 {"InputSelect:Video Out -> Fiesta0:Video In", "InputSelect2:Video Out -> Movie2BusInput:I0 In",
                  "Movie2BusInput:I0 Out -> KeyCombiner0:Video In",
                  "PriorityProcessor1:Video Out -> FxOutputASelect:Video In",
                  "PriorityProcessor1:Key Out -> AlphaOutputSelect:Video In"}});
}

std::map<std::string, int> telop_filters()
{
    std::map<std::string, int> f;
    for (const char* unit :
         {"AlphaKeyRenderer", "AlphaOutputSelect", "BGen2", "Fiesta0", "Fiesta1", "Fiesta2", "Fiesta3", "Fiesta4",
          "FxOutputASelect", "InputSelect", "InputSelect2", "KeyCombiner0", "KeyCombiner3", "KeyCombiner4",
          "MainOutputSelect", "Movie2BusInput", "PreviewOutputSelect", "PriorityProcessor0", "PriorityProcessor1",
          "WipeBorder0", "WipeBorder1", "WipeRenderer0", "WipeRenderer1"})
        f[unit] = 1;
    // 25 keyframe sources, channel 0's TBC filter, 6 wipe sources, 18 connections, BGen2's.
    f["DirectData"] = 25 + 1 + 6 + 18 + 1;
    return f;
}

const Lines kSdtiEdges = {"Movie2BusControlOut:Main Bus -> SdtiBusInput:Main In",
                          "Movie2BusControlOut:Key Out Bus -> SdtiBusInput:Alpha In",
                          "SdtiBusInput:Main Out -> SdiOutputA:Video In", "SdtiBusInput:Alpha Out -> SdiOutputB:Video In"};
const Lines kLinxEdges = {"MainOutputSelect:M2B Out -> Movie2BusControlOut:Main Bus",
                          "FxOutputBSelect:M2B Key Out -> Movie2BusControlOut:Key Out Bus",
                          "Movie2BusControlOut:Main Bus -> DigiLinxOutput0:Main",
                          "Movie2BusControlOut:Key Out Bus -> DigiLinxOutput1:Key Out"};
const Lines kGenieEdges = {"FxOutputBSelect:M2B Out -> Movie2BusControlOut:Loop Out A Bus",
                           "FxOutputBSelect:M2B Key Out -> Movie2BusControlOut:Key Out Bus",
                           "Movie2BusControlIn:Loop In Bus -> GenieRenderer:LoopIn In",
                           "Movie2BusControlIn:Key In Bus -> GenieRenderer:KeyIn In",
                           "GenieRenderer:Video Out -> KeyCombiner1:Video In",
                           "GenieRenderer:Key Out -> KeyCombiner1:Key In",
                           "DirectData:Video Out -> FxOutputBSelect:Video In",
                           "DirectData:Video Out -> Movie2BusControlIn:Loop In Bus",
                           "DirectData:Video Out -> Movie2BusControlIn:Key In Bus"};

Lines telop_dump(bool linx, bool genie)
{
    auto filters = telop_filters();
    Lines edges = telop_edges();
    if (linx) {
        for (const char* f : {"Movie2BusControlIn", "Movie2BusControlOut", "FxOutputBSelect", "DigiLinxOutput0",
                              "DigiLinxOutput1"})
            filters[f] = 1;
        edges = join({edges, kLinxEdges});
    } else {
        for (const char* f : {"Movie2BusControlOut", "SdtiBusInput", "SdiOutputA", "SdiOutputB"}) filters[f] = 1;
        edges = join({edges, kSdtiEdges});
    }
    if (genie) {
        for (const char* f : {"Movie2BusControlIn", "Movie2BusControlOut", "FxOutputBSelect", "KeyCombiner1", "GenieRenderer"})
            filters[f] = 1;
        filters["DirectData"] += 3;
        for (const std::string& e : kGenieEdges) {
            // With a DigiLinx the key bus is wired already: one connection, not two.
            if (std::find(edges.begin(), edges.end(), e) == edges.end()) edges.push_back(e);
        }
    }
    return expected(filters, edges);
}

struct Installation {
    const char* name;
    bool linx, genie;
};

class TelopConfiguration : public EffectsGraphTest, public ::testing::WithParamInterface<Installation> {};

TEST_P(TelopConfiguration, HoldsItsFiltersAndConnectionsAndIsBuiltOnce)
{
    const Installation c = GetParam();
    start(c.linx, c.genie);
    ASSERT_EQ(graph->BilGraph_TelopNormal(), 0) << GetLastErrorText();
    EXPECT_TRUE(graph->IsTelopBuilt());
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_EQ(dump(), telop_dump(c.linx, c.genie));
    // No refusal reached the board on the way.
    for (const zk::JournalEntry& e : board().journal().since(mark)) EXPECT_TRUE(e.ok) << zk::BoardJournal::format(e);

    const std::uint64_t again = board().journal().mark();
    EXPECT_EQ(graph->BilGraph_TelopNormal(), 0);
    EXPECT_TRUE(board().journal().since(again).empty()) << "the second build touched the board";
    EXPECT_EQ(dump(), telop_dump(c.linx, c.genie));
}

INSTANTIATE_TEST_SUITE_P(Installations, TelopConfiguration,
                         ::testing::Values(Installation{"Sdti", false, false}, Installation{"DigiLinx", true, false},
                                           Installation{"Genie", false, true}, Installation{"DigiLinxAndGenie", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(EffectsGraphTest, TelopSendsTheBackgroundAndEachWipeUnitsRecordsAsItIsBuilt)
{
    ASSERT_EQ(graph->BilGraph_TelopNormal(), 0);
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> got;
    for (const zk::JournalEntry& e : records(mark)) got.push_back({e.target, e.bytes});
    const auto fader_end = zt::le_words({0, 0x1000000});
    const auto mix = zt::le_words({0, 0, 0, 16 | 16u << 16, 0, 0, 0, 0, 1});
    const auto border_off = zt::le_words({0, zt::yuv(0xFF000000)});
    const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> want = {
        {"WipeRenderer0:Fader In", fader_end}, {"WipeRenderer0:Wipe In", mix}, {"WipeBorder0:Border In", border_off},
        {"WipeRenderer1:Fader In", fader_end}, {"WipeRenderer1:Wipe In", mix}, {"WipeBorder1:Border In", border_off},
        {"BGen2:Background In", zt::le_words({0, 0x8080})},
    };
    EXPECT_EQ(got, want);
}

TEST_F(EffectsGraphTest, TelopSelectsEveryCrosspointAndThenLayerModeOne)
{
    ASSERT_EQ(graph->BilGraph_TelopNormal(), 0);
    using S = zt::Selection;
    const std::vector<S> want = {
        {"MainOutputSelect:Video In", 0x5B, 0},    {"PreviewOutputSelect:Video In", 0x5C, 0},
        {"PriorityProcessor0:Layer 1", 0, 0},       {"PriorityProcessor0:Layer 2", 0, 0},
        {"PriorityProcessor0:Layer 3", 0, 0},       {"PriorityProcessor1:Layer 1", 0, 0},
        {"PriorityProcessor1:Layer 2", 0, 0},       {"PriorityProcessor1:Layer 3", 0, 0},
        {"Fiesta1:Video In", 0x56, 0},              {"Fiesta2:Video In", 0x56, 0},
        {"Fiesta3:Video In", 0x56, 0},              {"Fiesta4:Video In", 0x56, 0},
        {"KeyCombiner3:Video In", 0x51, 0},         {"KeyCombiner3:Key In", 0x52, 0},
        {"KeyCombiner4:Video In", 0x53, 0},         {"KeyCombiner4:Key In", 0x54, 0},
        {"WipeRenderer0:Video In", 0x5A, 1},        {"WipeRenderer1:Video In", 0x5A, 2},
        // Layer mode 1: line 0, line 1, graphics; processor 1 without the video level.
        {"PriorityProcessor0:Layer 1", 0x59, 0},    {"PriorityProcessor0:Layer 2", 0x59, 1},
        {"PriorityProcessor0:Layer 3", 0x58, 0},    {"PriorityProcessor1:Layer 1", 0, 0},
        {"PriorityProcessor1:Layer 2", 0x59, 1},    {"PriorityProcessor1:Layer 3", 0x58, 0},
        {"MainOutputSelect:Video In", 0x5B, 0},
    };
    EXPECT_EQ(selections(mark), want);
    EXPECT_EQ(graph->GetPPLayerMode(), 1);
    // Data ends on each connection as its crosspoint is switched, and begins again with play.
    const auto ended = board().journal().where([&](const zk::JournalEntry& e) {
        return e.seq >= mark && e.kind == zk::JournalKind::StateChange && e.text == "end data";
    });
    EXPECT_GE(ended.size(), 18u);
    const std::uint64_t play = board().journal().mark();
    ASSERT_EQ(graph->FgPlay(), S_OK);
    const auto begun = board().journal().where([&](const zk::JournalEntry& e) {
        return e.seq >= play && e.kind == zk::JournalKind::StateChange && e.text == "begin data";
    });
    EXPECT_EQ(begun.size(), 25u + 1 + 6 + 1 + 18) << "every control: keyframe sources, TBC, wipes, BGen2, connections";
}

TEST_F(EffectsGraphTest, DigiMixOnlyHoldsItsChainAndExcludesTheTelop)
{
    ASSERT_EQ(graph->BilGraph_DigiMixOnly(), 0) << GetLastErrorText();
    std::map<std::string, int> filters;
    for (const char* unit : {"AlphaKeyRenderer", "AlphaOutputSelect", "Fiesta0", "Fiesta3", "Fiesta4", "FxOutputASelect",
                             "HwConnTee", "InputSelect", "KeyCombiner0", "KeyCombiner3", "MainOutputSelect",
                             "Movie2BusInput", "PreviewOutputSelect", "PriorityProcessor0", "PriorityProcessor1",
                             "WipeBorder1", "WipeRenderer1"})
        filters[unit] = 1;
    filters["DirectData"] = 15 + 1 + 3;
    const Lines edges = join({fiesta_unit(0), fiesta_unit(3), fiesta_unit(4), wipe_unit(1),
                              {"InputSelect:Video Out -> Fiesta0:Video In", "Fiesta0:Video Out -> Movie2BusInput:I0 In",
                               "Movie2BusInput:I0 Out -> KeyCombiner0:Video In",
                               "KeyCombiner0:Video Out -> PreviewOutputSelect:Video In",
                               "AlphaKeyRenderer:Video Out -> Fiesta3:Video In",
                               "AlphaKeyRenderer:Alpha Out -> Fiesta4:Video In", "Fiesta3:Video Out -> KeyCombiner3:Video In",
                               "Fiesta4:Video Out -> KeyCombiner3:Key In", "KeyCombiner3:Video Out -> WipeRenderer1:Video In",
                               "WipeRenderer1:Video Out -> HwConnTee:Input", "HwConnTee:Output1 -> PriorityProcessor0:Layer 1",
                               "HwConnTee:Output2 -> PriorityProcessor1:Layer 1",
                               "PriorityProcessor0:Video Out -> MainOutputSelect:Video In",
                               "PriorityProcessor1:Key Out -> FxOutputASelect:Video In"}});
    EXPECT_EQ(dump(), expected(filters, edges));
    EXPECT_EQ(graph->BilGraph_DigiMixOnly(), 0);
    EXPECT_EQ(graph->BilGraph_TelopNormal(), -1) << "the two share one-of-a-kind units";
    EXPECT_EQ(graph->DisGraph_DigiMixOnly(), 0);
    EXPECT_EQ(dump(), Lines{});
    EXPECT_EQ(graph->BilGraph_TelopNormal(), 0);
    EXPECT_EQ(graph->BilGraph_DigiMixOnly(), -1);
}

TEST_F(EffectsGraphTest, TearDownsTakeAwayWhatTheyAddedAndGiveTheUnitsBack)
{
    ASSERT_EQ(graph->BilGraph_TelopNormal(), 0);
    const Lines telop = dump();
    ASSERT_EQ(graph->BilGraph_WaveSound(), 0);
    ASSERT_EQ(graph->BilGraph_Motion(0), 0);
    EXPECT_NE(dump(), telop);
    EXPECT_EQ(graph->DisGraph_WaveSound(), 0);
    EXPECT_EQ(graph->DisGraph_Motion(), 0);
    EXPECT_EQ(dump(), telop) << "the sound and the motion line took only their own filters";

    EXPECT_EQ(graph->DisGraph_TelopNormal(), 0);
    EXPECT_FALSE(graph->IsTelopBuilt());
    EXPECT_EQ(dump(), Lines{});
    for (const auto& [name, unit] : mixer().units) EXPECT_FALSE(unit.present) << name << " is still claimed";
    // Built again from nothing, it is the same graph.
    ASSERT_EQ(graph->BilGraph_TelopNormal(), 0) << GetLastErrorText();
    EXPECT_EQ(dump(), telop);
}

TEST_F(EffectsGraphTest, AFailingStepReportsItsMessageAndLeavesWhatItAddedForTheTearDown)
{
    ASSERT_EQ(graph->BilGraph_TelopNormal(), 0);
    // A second graph on the same board finds the one-of-a-kind input select taken.
    CMQGraph second;
    ASSERT_EQ(second.Initialize(TRUE), S_OK);
    ASSERT_EQ(second.BuildGraph(), S_OK);
    const long hr = second.BilGraph_TelopNormal();
    EXPECT_EQ(hr, MQ_E_NO_FREE_UNIT);
    EXPECT_STREQ(GetLastErrorText(), "Error! ErrAddFilter DigiMixInputSelect\nCode = 0x80040A01");
    EXPECT_FALSE(second.IsTelopBuilt());
    EXPECT_EQ(second.DisGraph_TelopNormal(), 0);
    EXPECT_EQ(zt::graph_dump(second.GetGraphBuilder()), Lines{});

    // A Fiesta unit taken by the other graph: the channel's own message.
    ASSERT_EQ(graph->DisGraph_TelopNormal(), 0);
    ASSERT_EQ(graph->AddFilterFiesta2Renderer(), 0);
    EXPECT_EQ(second.BilGraph_TelopNormal(), MQ_E_UNIT_IN_USE);
    EXPECT_STREQ(GetLastErrorText(), "Error! ErrAddFilter FiestaRenderer2\nCode = 0x80040A02");
    EXPECT_EQ(second.DisGraph_TelopNormal(), 0);
    EXPECT_EQ(zt::graph_dump(second.GetGraphBuilder()), Lines{}) << "the partial build is gone with the tear-down";
}

TEST_F(EffectsGraphTest, UnitsAddedByTheHostStayThroughATearDown)
{
    ASSERT_EQ(graph->AddFilterFiesta3Renderer(), 0);
    ASSERT_EQ(graph->AddFilterWipe1Renderer(), 0);
    EXPECT_TRUE(mixer().unit("Fiesta3").present) << "claimed as channel 3, not the lowest free";
    EXPECT_FALSE(mixer().unit("Fiesta0").present);
    EXPECT_TRUE(mixer().unit("WipeRenderer1").present);
    EXPECT_TRUE(mixer().unit("WipeBorder1").present);
    ASSERT_EQ(graph->BilGraph_TelopNormal(), 0);
    EXPECT_EQ(graph->DisGraph_TelopNormal(), 0);
    EXPECT_EQ(dump(), expected({{"DirectData", 8}, {"Fiesta3", 1}, {"WipeBorder1", 1}, {"WipeRenderer1", 1}},
                               join({fiesta_unit(3), wipe_unit(1)})));
    EXPECT_EQ(graph->RemoveFilterFiesta3Renderer(), 0);
    EXPECT_EQ(graph->RemoveFilterWipe1Renderer(), 0);
    EXPECT_EQ(dump(), Lines{});
}

// ---- a graph that is not built ----

struct Refused {
    const char* name;
    std::function<long(CMQGraph&)> call;
    long result;
};

TEST_F(EffectsGraphTest, AGraphThatIsNotBuiltRefusesEverythingAndTouchesNoFilter)
{
    start(false, false, /*build=*/false);
    ASSERT_EQ(graph->GetBuilt(), 0);
    std::vector<std::uint32_t> picture(720 * 486, 0xFF102030u);
    const std::uint8_t record[48] = {};
    const auto* dve = reinterpret_cast<const MQVIDFX_2DDVE_KEYFRAME*>(record);
    const auto* crop = reinterpret_cast<const MQVIDFX_CROP_KEYFRAME*>(record);
    const auto* wipe = reinterpret_cast<const MQVIDFX_WIPE_KEYFRAME*>(record);
    const auto* fader = reinterpret_cast<const MQVIDFX_FADERPOS_KEYFRAME*>(record);
    const auto* background = reinterpret_cast<const MQVIDFX_BACKGROUND_KEYFRAME*>(record);
    double seconds = 1.0;
    DWORD frames = 0;
    const Refused calls[] = {
        {"BilGraph_TelopNormal", [](CMQGraph& g) { return g.BilGraph_TelopNormal(); }, -1},
        {"BilGraph_TelopNormal_Genie", [](CMQGraph& g) { return g.BilGraph_TelopNormal_Genie(); }, -1},
        {"BilGraph_DigiMixOnly", [](CMQGraph& g) { return g.BilGraph_DigiMixOnly(); }, -1},
        {"BilGraph_Motion", [](CMQGraph& g) { return g.BilGraph_Motion(0); }, -1},
        {"BilGraph_MotionTelop", [](CMQGraph& g) { return g.BilGraph_MotionTelop(1); }, -1},
        {"BilGraph_GenieFilter", [](CMQGraph& g) { return g.BilGraph_GenieFilter(); }, -1},
        {"BilGraph_WaveSound", [](CMQGraph& g) { return g.BilGraph_WaveSound(); }, -1},
        {"BilGraph_LiveSound", [](CMQGraph& g) { return g.BilGraph_LiveSound(); }, -1},
        {"DisGraph_TelopNormal", [](CMQGraph& g) { return g.DisGraph_TelopNormal(); }, -1},
        {"DisGraph_DigiMixOnly", [](CMQGraph& g) { return g.DisGraph_DigiMixOnly(); }, -1},
        {"DisGraph_Motion", [](CMQGraph& g) { return g.DisGraph_Motion(); }, -1},
        {"DisGraph_MotionTelop", [](CMQGraph& g) { return g.DisGraph_MotionTelop(); }, -1},
        {"DisGraph_GenieFilter", [](CMQGraph& g) { return g.DisGraph_GenieFilter(); }, -1},
        {"DisGraph_WaveSound", [](CMQGraph& g) { return g.DisGraph_WaveSound(); }, -1},
        {"DisGraph_LiveSound", [](CMQGraph& g) { return g.DisGraph_LiveSound(); }, -1},
        {"DisGraph_VfxFile", [](CMQGraph& g) { return g.DisGraph_VfxFile(); }, -1},
        {"AddFilterFiesta2Renderer", [](CMQGraph& g) { return g.AddFilterFiesta2Renderer(); }, -1},
        {"RemoveFilterFiesta2Renderer", [](CMQGraph& g) { return g.RemoveFilterFiesta2Renderer(); }, -1},
        {"AddFilterWipe0Renderer", [](CMQGraph& g) { return g.AddFilterWipe0Renderer(); }, -1},
        {"ChGraph_PPLayer", [](CMQGraph& g) { return g.ChGraph_PPLayer(1); }, -1},
        {"ChGraph_PreOut", [](CMQGraph& g) { return g.ChGraph_PreOut(1); }, -1},
        {"ChGraph_LiveSuperOn", [](CMQGraph& g) { return g.ChGraph_LiveSuperOn(); }, -1},
        {"ChGraph_LiveSuperOff", [](CMQGraph& g) { return g.ChGraph_LiveSuperOff(); }, -1},
        {"ChGraph_Genie_PPLyer", [](CMQGraph& g) { return g.ChGraph_Genie_PPLyer(1); }, -1},
        {"ChGraph_Genie_EfLinePPLyer", [](CMQGraph& g) { return g.ChGraph_Genie_EfLinePPLyer(0); }, -1},
        {"ChgGraph_VfxFile", [](CMQGraph& g) { return g.ChgGraph_VfxFile(); }, -1},
        {"ReconnectVideo0", [](CMQGraph& g) { return g.ReconnectVideo0(); }, -1},
        {"ReconnectLeft", [](CMQGraph& g) { return g.ReconnectLeft(); }, -1},
        {"HwConnSelect", [](CMQGraph& g) { return g.HwConnSelect(nullptr, MQ_HWCONN_SOURCE_NONE, 0); }, -1},
        {"Send2DDveKeyframe0", [&](CMQGraph& g) { return g.Send2DDveKeyframe0(dve); }, -1},
        {"SendCropKeyframe4", [&](CMQGraph& g) { return g.SendCropKeyframe4(crop); }, -1},
        {"SendWipeKeyframe1", [&](CMQGraph& g) { return g.SendWipeKeyframe1(wipe); }, -1},
        {"SendWipeFaderKeyframe0", [&](CMQGraph& g) { return g.SendWipeFaderKeyframe0(fader); }, -1},
        {"SendWipeBorderframe1", [&](CMQGraph& g) { return g.SendWipeBorderframe1(background); }, -1},
        {"SendKeyframeBGen2", [&](CMQGraph& g) { return g.SendKeyframeBGen2(background); }, -1},
        {"WipeBorderSet0", [](CMQGraph& g) { return g.WipeBorderSet0(1, 0xFFFFFFFF); }, -1},
        {"WipeBorderSet1", [](CMQGraph& g) { return g.WipeBorderSet1(1, 0xFFFFFFFF); }, -1},
        {"SetTBCRate3", [](CMQGraph& g) { return g.SetTBCRate3(0); }, 1},
        {"SetTBCDisplay1", [](CMQGraph& g) { return g.SetTBCDisplay1(DISPLAY_FIELD); }, 1},
        {"FreezeFiesta", [](CMQGraph& g) { return g.FreezeFiesta(2); }, 1},
        {"FreezeFiestaField", [](CMQGraph& g) { return g.FreezeFiestaField(9); }, 1},
        {"UnFreezeFiesta", [](CMQGraph& g) { return g.UnFreezeFiesta(1); }, 1},
        {"Fiesta0Freez", [](CMQGraph& g) { return g.Fiesta0Freez(); }, 1},
        {"Fiesta0FreezField", [](CMQGraph& g) { return g.Fiesta0FreezField(); }, 1},
        {"Fiesta0UnFreez", [](CMQGraph& g) { return g.Fiesta0UnFreez(); }, 1},
        {"PutFiesta", [&](CMQGraph& g) { return g.PutFiesta(0, picture.data(), 720, 486, 0, 0, 720, 486, 0, 0); }, -1},
        {"PutFiestaYuv", [&](CMQGraph& g) { return g.PutFiestaYuv(1, picture.data(), 720, 486, 0, 0, 8, 8, 0, 0); }, -1},
        {"GetFiesta", [&](CMQGraph& g) { return static_cast<long>(g.GetFiesta(0, picture.data())); }, FALSE},
        {"GetFiestaYuv", [&](CMQGraph& g) { return static_cast<long>(g.GetFiestaYuv(0, picture.data())); }, FALSE},
        {"SetLiveInput", [](CMQGraph& g) { return g.SetLiveInput(2); }, 1},
        {"SetLiveInput_SDICap", [](CMQGraph& g) { return g.SetLiveInput_SDICap(2); }, 1},
        {"GetLiveInput", [](CMQGraph& g) { return g.GetLiveInput(); }, -1},
        {"GetLiveInput_SDICap", [](CMQGraph& g) { return g.GetLiveInput_SDICap(); }, -1},
        {"GetFirstLiveInput", [](CMQGraph& g) { return g.GetFirstLiveInput() ? 1L : 0L; }, 0},
        {"GetNextLiveInput", [](CMQGraph& g) { return g.GetNextLiveInput() ? 1L : 0L; }, 0},
        {"GetFirstLiveInput_SDICap", [](CMQGraph& g) { return g.GetFirstLiveInput_SDICap() ? 1L : 0L; }, 0},
        {"SelLiveLine_AdcFiesta0", [](CMQGraph& g) { return g.SelLiveLine_AdcFiesta0(); }, -1},
        {"SelLiveLine_InputSel2", [](CMQGraph& g) { return g.SelLiveLine_InputSel2(); }, -1},
        {"SDI_Captuer_Strat", [](CMQGraph& g) { return g.SDI_Captuer_Strat(0); }, -1},
        {"SDI_Captuer_End", [](CMQGraph& g) { return g.SDI_Captuer_End(); }, -1},
        {"SetVideoLevelMode", [](CMQGraph& g) { return g.SetVideoLevelMode(1); }, -1},
        {"SetVideoFilename0", [](CMQGraph& g) { return g.SetVideoFilename0("clip.avi"); }, -1},
        {"SetLeftAudioFilename", [](CMQGraph& g) { return g.SetLeftAudioFilename("left.wav"); }, -1},
        {"AudioMasterVolume", [](CMQGraph& g) { return g.AudioMasterVolume(0.5); }, -1},
        {"FgPlay", [](CMQGraph& g) { return g.FgPlay(); }, -1},
        {"FgStop", [](CMQGraph& g) { return g.FgStop(); }, -1},
        {"FgSeek", [](CMQGraph& g) { return g.FgSeek(1.0); }, -1},
        {"FgPlayFromTo", [](CMQGraph& g) { return g.FgPlayFromTo(0.0, 1.0, 0); }, -1},
        {"FgReBigin", [](CMQGraph& g) { return g.FgReBigin(); }, -1},
        {"FgReEndData", [](CMQGraph& g) { return g.FgReEndData(); }, -1},
        {"WaitForCompletion", [](CMQGraph& g) { return g.WaitForCompletion(); }, -1},
        {"NowPosition", [&](CMQGraph& g) { return g.NowPosition(seconds); }, -1},
        {"GetGenieVfxInfo", [&](CMQGraph& g) { return g.GetGenieVfxInfo(seconds, frames); }, -1},
        {"GeniePlay", [](CMQGraph& g) { return g.GeniePlay(); }, -1},
        {"GenieStop", [](CMQGraph& g) { return g.GenieStop(); }, -1},
        {"GeniePause", [](CMQGraph& g) { return g.GeniePause(); }, -1},
        {"GenieStartPosition", [](CMQGraph& g) { return g.GenieStartPosition(); }, -1},
        {"GenieWaitForCompletion", [](CMQGraph& g) { return g.GenieWaitForCompletion(); }, -1},
    };
    for (const Refused& c : calls) EXPECT_EQ(c.call(*graph), c.result) << c.name;
    EXPECT_TRUE(board().journal().since(mark).empty()) << board().journal().dump();
    EXPECT_EQ(dump(), Lines{});
    double position = 5.0;
    EXPECT_EQ(graph->GetPosition(position), S_OK);
    EXPECT_EQ(position, 0.0);
}

// ---- the parts other configurations add to the telop ----

// What `build` adds to the telop configuration's dump.
Lines added_to_telop(EffectsGraphTest& t, const std::function<long()>& build, CMQGraph& graph)
{
    EXPECT_EQ(graph.BilGraph_TelopNormal(), 0);
    const Lines before = zt::graph_dump(graph.GetGraphBuilder());
    EXPECT_EQ(build(), 0) << GetLastErrorText();
    const Lines after = zt::graph_dump(graph.GetGraphBuilder());
    (void)t;
    const std::set<std::string> old(before.begin(), before.end());
    Lines out;
    for (const std::string& l : after) {
        if (!old.count(l)) out.push_back(l);
    }
    return out;
}

TEST_F(EffectsGraphTest, MotionAndSoundConfigurationsAddTheirParts)
{
    EXPECT_EQ(added_to_telop(*this, [&] { return graph->BilGraph_Motion(1); }, *graph),
              expected({{"Movie2BusControlIn", 1}, {"MotionVideoSource0", 1}, {"MotionVideoSource1", 1}},
                       {"Movie2BusControlIn:I1 Bus -> Movie2BusInput:I1 In",
                        "Movie2BusControlIn:I2 Bus -> Movie2BusInput:I2 In",
                        "MotionVideoSource0:M2B Out -> Movie2BusControlIn:I1 Bus",
                        "MotionVideoSource1:M2B Out -> Movie2BusControlIn:I2 Bus"}));
    EXPECT_EQ(graph->BilGraph_Motion(1), 0) << "built once";
    EXPECT_EQ(graph->BilGraph_Motion(0), -1) << "another line while one is in place";
    EXPECT_EQ(now("Fiesta3", "Video In"), (zt::Selection{"Fiesta3:Video In", 0x56, 1}));
    EXPECT_EQ(now("Fiesta4", "Video In"), (zt::Selection{"Fiesta4:Video In", 0x56, 2}));
    EXPECT_EQ(now("Fiesta1", "Video In"), (zt::Selection{"Fiesta1:Video In", 0x56, 0}));
    ASSERT_EQ(graph->DisGraph_Motion(), 0);
    EXPECT_EQ(now("Fiesta3", "Video In"), (zt::Selection{"Fiesta3:Video In", 0x56, 0}));

    ASSERT_EQ(graph->BilGraph_WaveSound(), 0);
    Lines wave = dump();
    ASSERT_EQ(graph->BilGraph_LiveSound(), 0);
    Lines live = dump();
    const std::set<std::string> wave_set(wave.begin(), wave.end());
    EXPECT_TRUE(wave_set.count("WaveSource:Audio Out -> AudioMixer:Audio In 0"));
    EXPECT_TRUE(wave_set.count("WaveSource:Audio Out -> AudioMixer:Audio In 1"));
    EXPECT_TRUE(wave_set.count("DirectData:Video Out -> AudioMixer:Master Output Volume In"));
    EXPECT_TRUE(wave_set.count("AudioMixer:Audio Master Out 0 -> AudioOutput:Audio In 0"));
    EXPECT_TRUE(wave_set.count("AudioMixer:Audio Master Out 1 -> AudioOutput:Audio In 1"));
    const std::set<std::string> live_set(live.begin(), live.end());
    EXPECT_TRUE(live_set.count("LiveAudioInput:Audio Out 0 -> AudioMixer:Audio In 0"));
    EXPECT_TRUE(live_set.count("LiveAudioInput:Audio Out 1 -> AudioMixer:Audio In 1"));
    EXPECT_FALSE(live_set.count("WaveSource:Audio Out -> AudioMixer:Audio In 0")) << "live sound took the wave's place";
    EXPECT_FALSE(live_set.count("filter WaveSource x2"));
    ASSERT_EQ(graph->BilGraph_WaveSound(), 0);
    EXPECT_EQ(dump(), wave) << "and the wave sound took the live sound's";
}

TEST_F(EffectsGraphTest, AMotionLineWithoutTheTelopIsJoinedByPins)
{
    ASSERT_EQ(graph->BilGraph_Motion(0), 0) << GetLastErrorText();
    const Lines d = dump();
    const std::set<std::string> s(d.begin(), d.end());
    for (const char* line : {"Movie2BusInput:I1 Out -> Fiesta1:Video In", "Movie2BusInput:I2 Out -> Fiesta2:Video In",
                             "Fiesta1:Video Out -> KeyCombiner1:Video In", "Fiesta2:Video Out -> KeyCombiner1:Key In",
                             "KeyCombiner1:Video Out -> HwConnTee:Input",
                             "MotionVideoSource0:M2B Out -> Movie2BusControlIn:I1 Bus"})
        EXPECT_TRUE(s.count(line)) << line;
    // Its channels are frozen while the clip is cued.
    EXPECT_EQ(mixer().channels[1].strobe_rate, 0u);
    EXPECT_EQ(mixer().channels[2].strobe_rate, 0u);
    EXPECT_EQ(graph->BilGraph_MotionTelop(0), 0) << "the line in place is this one";
    EXPECT_EQ(graph->DisGraph_Motion(), 0);
    EXPECT_EQ(dump(), Lines{});
}

TEST_F(EffectsGraphTest, EveryConfigurationIsWrittenOutAsDot)
{
    // ZORVIK_GRAPH_DOT_DIR names a folder to keep them in (scripts/graphs.sh uses out/graphs).
    const char* env = std::getenv("ZORVIK_GRAPH_DOT_DIR");
    const std::filesystem::path dir = env && *env ? env : zt::temp_path("graphs");
    std::filesystem::create_directories(dir);
    struct Config {
        const char* name;
        bool linx, genie;
        std::function<long(CMQGraph&)> build;
    };
    const Config configs[] = {
        {"telop", false, false, [](CMQGraph& g) { return g.BilGraph_TelopNormal(); }},
        {"telop_digilinx_genie", true, true, [](CMQGraph& g) { return g.BilGraph_TelopNormal(); }},
        {"digimix_only", false, false, [](CMQGraph& g) { return g.BilGraph_DigiMixOnly(); }},
        {"telop_motion", false, false,
         [](CMQGraph& g) { return g.BilGraph_TelopNormal() | g.BilGraph_Motion(0); }},
        {"motion_alone", false, false, [](CMQGraph& g) { return g.BilGraph_Motion(0); }},
        {"telop_wave_sound", false, false,
         [](CMQGraph& g) { return g.BilGraph_TelopNormal() | g.BilGraph_WaveSound(); }},
        {"telop_live_sound", false, false,
         [](CMQGraph& g) { return g.BilGraph_TelopNormal() | g.BilGraph_LiveSound(); }},
    };
    for (const Config& c : configs) {
        start(c.linx, c.genie);
        ASSERT_EQ(c.build(*graph), 0) << c.name << ": " << GetLastErrorText();
        const std::string dot = zk::graph_to_dot(graph->GetGraphBuilder(), c.name);
        std::ofstream(dir / (std::string(c.name) + ".dot")) << dot;
        // One edge per connection of the dump.
        size_t edges = 0;
        for (const std::string& l : dump()) edges += l.rfind("filter ", 0) != 0;
        size_t arrows = 0;
        for (size_t at = dot.find("->"); at != std::string::npos; at = dot.find("->", at + 2)) ++arrows;
        EXPECT_EQ(arrows, edges) << c.name;
    }
}

} // namespace
