// Keyframe records from the effects graph to the mixer's units: every sender reaches its
// channel or unit and input with the record's size and bytes, in the field it was sent; data
// ends with a stop and begins with a play; a wipe unit made again gets its last records; wipe
// borders through the YUV conversion; the time-base correctors' strobe and display pairs, by
// control and by packet; the master volume's fixed point; the hardware-connection packet.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "effects/mqvidfx_records.h"
#include "onair/effects_graph_fixture.h"
#include "platform/board/board_memory.h"
#include "platform/board/mixer/mixer_records.h"

namespace {

using zt::EffectsGraphTest;

struct Sender {
    std::string name;
    std::function<long(CMQGraph&, const void*)> send;
    std::string target;
    DWORD size;
};

template <class Record> using Member = long (CMQGraph::*)(const Record*);

template <class Record>
void add_senders(std::vector<Sender>& out, const char* name, std::initializer_list<Member<Record>> members,
                 const char* unit, const char* pin)
{
    int n = 0;
    for (Member<Record> m : members) {
        out.push_back({std::string(name) + std::to_string(n),
                       [m](CMQGraph& g, const void* r) { return (g.*m)(static_cast<const Record*>(r)); },
                       std::string(unit) + std::to_string(n) + ":" + pin, static_cast<DWORD>(sizeof(Record))});
        ++n;
    }
}

std::vector<Sender> senders()
{
    std::vector<Sender> all;
    using G = CMQGraph;
    add_senders<MQVIDFX_2DDVE_KEYFRAME>(all, "Send2DDveKeyframe",
                                        {&G::Send2DDveKeyframe0, &G::Send2DDveKeyframe1, &G::Send2DDveKeyframe2,
                                         &G::Send2DDveKeyframe3, &G::Send2DDveKeyframe4},
                                        "Fiesta", "2D DVE In");
    add_senders<MQVIDFX_CROP_KEYFRAME>(all, "SendCropKeyframe",
                                       {&G::SendCropKeyframe0, &G::SendCropKeyframe1, &G::SendCropKeyframe2,
                                        &G::SendCropKeyframe3, &G::SendCropKeyframe4},
                                       "Fiesta", "Crop In");
    add_senders<MQVIDFX_PROCAMP_KEYFRAME>(all, "SendProcampKeyframe",
                                          {&G::SendProcampKeyframe0, &G::SendProcampKeyframe1, &G::SendProcampKeyframe2,
                                           &G::SendProcampKeyframe3, &G::SendProcampKeyframe4},
                                          "Fiesta", "Procamp In");
    add_senders<MQVIDFX_MASK_KEYFRAME>(all, "SendMaskKeyframe",
                                       {&G::SendMaskKeyframe0, &G::SendMaskKeyframe1, &G::SendMaskKeyframe2,
                                        &G::SendMaskKeyframe3, &G::SendMaskKeyframe4},
                                       "Fiesta", "Mask In");
    add_senders<MQVIDFX_PAINT_KEYFRAME>(all, "SendPaintKeyframe",
                                        {&G::SendPaintKeyframe0, &G::SendPaintKeyframe1, &G::SendPaintKeyframe2,
                                         &G::SendPaintKeyframe3, &G::SendPaintKeyframe4},
                                        "Fiesta", "Paint In");
    add_senders<MQVIDFX_WIPE_KEYFRAME>(all, "SendWipeKeyframe", {&G::SendWipeKeyframe0, &G::SendWipeKeyframe1},
                                       "WipeRenderer", "Wipe In");
    add_senders<MQVIDFX_FADERPOS_KEYFRAME>(all, "SendWipeFaderKeyframe",
                                           {&G::SendWipeFaderKeyframe0, &G::SendWipeFaderKeyframe1}, "WipeRenderer",
                                           "Fader In");
    add_senders<MQVIDFX_BACKGROUND_KEYFRAME>(all, "SendWipeBorderframe",
                                             {&G::SendWipeBorderframe0, &G::SendWipeBorderframe1}, "WipeBorder",
                                             "Border In");
    all.push_back({"SendKeyframeBGen2",
                   [](CMQGraph& g, const void* r) { return g.SendKeyframeBGen2(static_cast<const MQVIDFX_BACKGROUND_KEYFRAME*>(r)); },
                   "BGen2:Background In", 8});
    return all;
}

class Telop : public EffectsGraphTest {
protected:
    void SetUp() override
    {
        EffectsGraphTest::SetUp();
        ASSERT_EQ(graph->BilGraph_TelopNormal(), 0) << GetLastErrorText();
        ASSERT_EQ(graph->FgPlay(), S_OK);
        ASSERT_TRUE(board().step_fields(3));
        mark = board().journal().mark();
    }
};

TEST_F(Telop, EveryRecordReachesItsUnitAndInputWithItsSizeAndBytes)
{
    const auto all = senders();
    ASSERT_EQ(all.size(), 25u + 6 + 1);
    std::mt19937 rng(zt::test_seed());
    for (const Sender& s : all) {
        std::vector<std::uint8_t> record(s.size);
        for (auto& b : record) b = static_cast<std::uint8_t>(rng());
        if (s.target.find("Fader") != std::string::npos) record[7] &= 0x00; // a position in range
        const std::uint64_t from = board().journal().mark();
        ASSERT_TRUE(board().step_fields(1));
        EXPECT_EQ(s.send(*graph, record.data()), S_OK) << s.name;
        const auto got = records(from);
        ASSERT_EQ(got.size(), 1u) << s.name;
        EXPECT_TRUE(got[0].ok) << s.name;
        EXPECT_EQ(got[0].target, s.target) << s.name;
        EXPECT_EQ(got[0].code, s.size) << s.name;
        EXPECT_EQ(got[0].bytes, record) << s.name;
        EXPECT_EQ(got[0].field, board().current_field()) << s.name;
    }
}

TEST_F(Telop, AStopEndsDataSoRecordsAreRefusedUntilThePlay)
{
    MQVIDFX_2DDVE_KEYFRAME dve{};
    dve.lHorSize = dve.lVerSize = 0x1000000;
    ASSERT_EQ(graph->FgStop(), S_OK);
    EXPECT_EQ(graph->GetState(0), MQFG_STATE_STOPPED);
    EXPECT_EQ(graph->Send2DDveKeyframe2(&dve), VFW_E_WRONG_STATE);
    ASSERT_EQ(graph->FgPlay(), S_OK);
    EXPECT_EQ(graph->GetState(0), MQFG_STATE_RUNNING);
    EXPECT_EQ(graph->Send2DDveKeyframe2(&dve), S_OK);
    const auto got = records(mark);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_FALSE(got[0].ok);
    EXPECT_EQ(got[0].text, "data not begun");
    EXPECT_TRUE(got[1].ok);
    EXPECT_EQ(got[1].target, "Fiesta2:2D DVE In");
}

TEST_F(Telop, AChannelOrUnitNotInTheGraphIsRefusedWithoutReachingTheBoard)
{
    ASSERT_EQ(graph->RemoveFilterFiesta4Renderer(), 0);
    ASSERT_EQ(graph->RemoveFilterWipe1Renderer(), 0);
    const std::uint64_t from = board().journal().mark();
    MQVIDFX_CROP_KEYFRAME crop{};
    MQVIDFX_FADERPOS_KEYFRAME fader{};
    EXPECT_EQ(graph->SendCropKeyframe4(&crop), -1);
    EXPECT_EQ(graph->SendWipeFaderKeyframe1(&fader), -1);
    EXPECT_EQ(graph->UnFreezeFiesta(4), -1);
    EXPECT_EQ(graph->FreezeFiesta(5), -1);
    EXPECT_EQ(graph->FreezeFiesta(-1), -1);
    EXPECT_EQ(graph->FreezeFiesta(0x100000000L), -1) << "not channel 0 by truncation";
    EXPECT_TRUE(records(from).empty());
}

TEST_F(Telop, AWipeUnitMadeAgainIsSentTheRecordsItHadLast)
{
    MQVIDFX_WIPE_KEYFRAME wipe{1, 0x8002, 0, 0, 16, 16, 40, 7, 0, 0, 1};
    MQVIDFX_FADERPOS_KEYFRAME fader{0, 0x400000};
    ASSERT_EQ(graph->SendWipeKeyframe1(&wipe), S_OK);
    ASSERT_EQ(graph->SendWipeFaderKeyframe1(&fader), S_OK);
    ASSERT_EQ(graph->WipeBorderSet1(1, 0xFF00FF00), 0);
    // Filters join and leave a stopped graph.
    ASSERT_EQ(graph->FgStop(), S_OK);
    EXPECT_EQ(graph->GetState(0), MQFG_STATE_STOPPED);
    ASSERT_EQ(graph->RemoveFilterWipe1Renderer(), 0);
    EXPECT_FALSE(mixer().unit("WipeRenderer1").present);
    const std::uint64_t from = board().journal().mark();
    ASSERT_EQ(graph->AddFilterWipe1Renderer(), 0);
    const auto got = records(from);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].target, "WipeRenderer1:Fader In");
    EXPECT_EQ(got[0].bytes, zt::bytes_of(fader));
    EXPECT_EQ(got[1].target, "WipeRenderer1:Wipe In");
    EXPECT_EQ(got[1].bytes, zt::bytes_of(wipe));
    EXPECT_EQ(got[2].target, "WipeBorder1:Border In");
    EXPECT_EQ(got[2].bytes, zt::le_words({1, zt::yuv(0xFF00FF00)}));
    // A record the unit refused is not what it has.
    MQVIDFX_FADERPOS_KEYFRAME later{0, 0x800000};
    ASSERT_EQ(graph->FgReEndData(), S_OK);
    EXPECT_EQ(graph->SendWipeFaderKeyframe1(&later), VFW_E_WRONG_STATE);
    ASSERT_EQ(graph->RemoveFilterWipe1Renderer(), 0);
    const std::uint64_t again = board().journal().mark();
    ASSERT_EQ(graph->AddFilterWipe1Renderer(), 0);
    ASSERT_FALSE(records(again).empty());
    EXPECT_EQ(records(again)[0].bytes, zt::bytes_of(fader));
}

struct Border {
    long enable;
    DWORD argb;
};

class WipeBorders : public Telop, public ::testing::WithParamInterface<Border> {};

TEST_P(WipeBorders, GoThroughTheYuvConversionAndComeBackAsTheColour)
{
    const Border b = GetParam();
    for (int unit : {0, 1}) {
        const std::uint64_t from = board().journal().mark();
        EXPECT_EQ(unit == 0 ? graph->WipeBorderSet0(b.enable, b.argb) : graph->WipeBorderSet1(b.enable, b.argb), 0);
        const auto got = records(from);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].target, "WipeBorder" + std::to_string(unit) + ":Border In");
        EXPECT_EQ(got[0].bytes, zt::le_words({b.enable != 0 ? 1u : 0u, zt::yuv(b.argb)}));
        // What the board shows for it is the colour asked for.
        const zk::mixer::Background shown = zk::mixer::read_background(got[0].bytes);
        EXPECT_EQ(shown.enabled, b.enable != 0);
        const std::uint32_t pixel = zk::mixer::yuv_to_pixel(shown.yuv);
        for (int shift : {0, 8, 16}) {
            const int want = static_cast<int>((b.argb >> shift) & 0xFF), have = static_cast<int>((pixel >> shift) & 0xFF);
            EXPECT_NEAR(have, want, 2) << std::hex << b.argb << " came back as " << pixel;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Colours, WipeBorders,
                         ::testing::Values(Border{1, 0xFFFFFFFF}, Border{0, 0xFF000000}, Border{7, 0xFFFF0000},
                                           Border{-1, 0xFF00FF00}, Border{1, 0x800000FF}, Border{1, 0xFF3C7DA0}));

// ---- time-base correctors ----

struct Tbc {
    std::string name;
    std::function<long(CMQGraph&)> call;
    int channel;
    DWORD rate;
    LONG mode;
    bool by_packet;
};

class Freezes : public Telop, public ::testing::WithParamInterface<Tbc> {};

TEST_P(Freezes, SetTheStrobeAndDisplayPair)
{
    const Tbc t = GetParam();
    // Start from the other state, so both changes show.
    ASSERT_EQ(graph->SetTBCRate0(7) | graph->SetTBCRate1(7) | graph->SetTBCRate2(7) | graph->SetTBCRate3(7) |
                  graph->SetTBCRate4(7),
              0);
    const _DISPLAY_MODE other = t.mode == DISPLAY_FIELD ? DISPLAY_FRAME : DISPLAY_FIELD;
    ASSERT_EQ(graph->SetTBCDisplay0(other) | graph->SetTBCDisplay1(other) | graph->SetTBCDisplay2(other) |
                  graph->SetTBCDisplay3(other) | graph->SetTBCDisplay4(other),
              0);
    const std::uint64_t from = board().journal().mark();
    EXPECT_EQ(t.call(*graph), 0) << t.name;
    const std::string fiesta = "Fiesta" + std::to_string(t.channel);
    std::vector<std::string> changes;
    for (const zk::JournalEntry& e : entries(zk::JournalKind::StateChange, from)) changes.push_back(e.target + " " + e.text);
    EXPECT_EQ(changes, (std::vector<std::string>{fiesta + " strobe rate " + std::to_string(t.rate),
                                                 fiesta + (t.mode == DISPLAY_FIELD ? " display field" : " display frame")}));
    const auto packets = entries(zk::JournalKind::Keyframe, from);
    if (t.by_packet) {
        ASSERT_EQ(packets.size(), 1u);
        EXPECT_EQ(packets[0].target, "Fiesta0:TBC In");
        EXPECT_EQ(packets[0].code, 72u);
        MQ_DIRECTDATA_PACKET p;
        std::memcpy(&p, packets[0].bytes.data(), sizeof p);
        EXPECT_TRUE(p.format == MQ_DATAFORMAT_TBC);
        EXPECT_EQ(p.dwPayloadSize, 8u);
        EXPECT_EQ(zk::board_memory(p.dwPayloadToken, 8), nullptr) << "the payload is unmapped after the call";
    } else {
        EXPECT_TRUE(packets.empty());
    }
    const zk::mixer::MixerState state = mixer();
    const auto& channel = state.channels[static_cast<size_t>(t.channel)];
    EXPECT_EQ(channel.strobe_rate, t.rate);
    EXPECT_EQ(channel.display_mode, t.mode);
}

std::vector<Tbc> freezes()
{
    std::vector<Tbc> all;
    for (int n = 0; n < 5; ++n) {
        const std::string c = std::to_string(n);
        all.push_back({"Freeze" + c, [n](CMQGraph& g) { return g.FreezeFiesta(n); }, n, 0, DISPLAY_FRAME, false});
        all.push_back({"FieldFreeze" + c, [n](CMQGraph& g) { return g.FreezeFiestaField(n); }, n, 0,
                       DISPLAY_FIELD, false});
        all.push_back({"UnFreeze" + c, [n](CMQGraph& g) { return g.UnFreezeFiesta(n); }, n, 1, DISPLAY_FRAME, false});
    }
    all.push_back({"Fiesta0Freez", [](CMQGraph& g) { return g.Fiesta0Freez(); }, 0, 0, DISPLAY_FRAME, true});
    all.push_back({"Fiesta0FreezField", [](CMQGraph& g) { return g.Fiesta0FreezField(); }, 0, 0, DISPLAY_FIELD, true});
    all.push_back({"Fiesta0UnFreez", [](CMQGraph& g) { return g.Fiesta0UnFreez(); }, 0, 1, DISPLAY_FRAME, true});
    return all;
}

INSTANTIATE_TEST_SUITE_P(EveryChannel, Freezes, ::testing::ValuesIn(freezes()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Telop, ACorrectorThatRefusesIsReportedWithItsChannel)
{
    EXPECT_EQ(graph->SetTBCDisplay3(static_cast<_DISPLAY_MODE>(5)), E_INVALIDARG);
    EXPECT_STREQ(GetLastErrorText(), "Error! Could not TBCDisplay3\nCode = 0x80070057");
}

// ---- the master volume ----

struct Volume {
    double v;
    std::uint32_t word;
};

class Volumes : public Telop, public ::testing::WithParamInterface<Volume> {};

TEST_P(Volumes, AreSentAsFixedPointWords)
{
    EXPECT_EQ(graph->AudioMasterVolume(GetParam().v), -1) << "no volume control without the wave sound";
    ASSERT_EQ(graph->FgStop(), S_OK);
    ASSERT_EQ(graph->BilGraph_WaveSound(), 0);
    const std::uint64_t from = board().journal().mark();
    EXPECT_EQ(graph->AudioMasterVolume(GetParam().v), S_OK);
    const auto got = records(from);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].target, "AudioMixer:Master Output Volume In");
    EXPECT_EQ(got[0].code, 4u);
    EXPECT_EQ(got[0].bytes, zt::le_words({GetParam().word}));
}

INSTANTIATE_TEST_SUITE_P(
    Values, Volumes,
    ::testing::Values(Volume{1.0, 0x1000000}, Volume{0.5, 0x800000}, Volume{0.3, 5033165}, Volume{0.0, 0},
                      Volume{-0.25, 0xFFC00001}, Volume{300.0, 0x2C000000},
                      Volume{std::numeric_limits<double>::quiet_NaN(), 0},
                      Volume{std::numeric_limits<double>::infinity(), 0xFFFFFFFF}));

// ---- the hardware-connection packet ----

TEST_F(Telop, ACrosspointPacketCarriesItsPayloadAsABoardToken)
{
    ASSERT_EQ(graph->ChGraph_PreOut(3), 0);
    const auto got = entries(zk::JournalKind::Keyframe, mark);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].target, "PreviewOutputSelect:Video In");
    ASSERT_EQ(got[0].bytes.size(), 72u);
    MQ_DIRECTDATA_PACKET p;
    std::memcpy(&p, got[0].bytes.data(), sizeof p);
    EXPECT_TRUE(p.type == MQ_DATATYPE_DIRECTDATA);
    EXPECT_TRUE(p.source == mq_hwconn_source(0x53));
    EXPECT_EQ(p.dwWord32, 1u);
    EXPECT_EQ(p.dwWord36, 0u);
    EXPECT_EQ(p.dwWord40, 0u);
    EXPECT_TRUE(p.format == MQ_DATAFORMAT_HWCONN);
    EXPECT_EQ(p.dwWord60, 0u);
    EXPECT_EQ(p.dwPayloadSize, 8u);
    EXPECT_NE(p.dwPayloadToken, 0u);
    EXPECT_EQ(zk::board_memory(p.dwPayloadToken, 8), nullptr) << "unmapped once the packet was taken";
    // Data on the connection was ended first.
    const auto changes = entries(zk::JournalKind::StateChange, mark);
    ASSERT_FALSE(changes.empty());
    EXPECT_EQ(changes[0].target, "PreviewOutputSelect:Video In");
    EXPECT_EQ(changes[0].text, "end data");
    EXPECT_EQ(now("PreviewOutputSelect", "Video In"), (zt::Selection{"PreviewOutputSelect:Video In", 0x53, 0}));

    EXPECT_EQ(graph->HwConnSelect(nullptr, mq_hwconn_source(0x50), 0), E_POINTER);
    EXPECT_STREQ(GetLastErrorText(), "Error! ReceiveData failed on Direct Data HwConn filter\nCode = 0x80004003");
}

} // namespace
