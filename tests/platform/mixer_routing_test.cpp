// What reaches the mixer's units: every record kind through a keyframe source to the unit and
// input its output is connected to, with its size and bytes in the journal and the unit's
// state; refusals (wrong size, data not begun, no route); DirectData packets selecting
// crosspoints and setting the TBC, with their payload in board memory.
#include <gtest/gtest.h>

#include <random>

#include "mixer_harness.h"
#include "support/test_support.h"

namespace {

using zk::JournalKind;
using zk::mixer::RecordKind;

struct Route {
    const char* name;
    CLSID unit;
    const char* pin;
    DWORD size;
    RecordKind kind;
    const char* unit_name;
};

const Route kRoutes[] = {
    {"dve", CLSID_FiestaRenderer, "2D DVE In", 48, RecordKind::Dve2D, "Fiesta0"},
    {"crop", CLSID_FiestaRenderer, "Crop In", 20, RecordKind::Crop, "Fiesta0"},
    {"procamp", CLSID_FiestaRenderer, "Procamp In", 20, RecordKind::Procamp, "Fiesta0"},
    {"mask", CLSID_FiestaRenderer, "Mask In", 20, RecordKind::Mask, "Fiesta0"},
    {"paint", CLSID_FiestaRenderer, "Paint In", 16, RecordKind::Paint, "Fiesta0"},
    {"wipe", CLSID_WipeRenderer, "Wipe In", 36, RecordKind::Wipe, "WipeRenderer0"},
    {"fader", CLSID_WipeRenderer, "Fader In", 8, RecordKind::Fader, "WipeRenderer0"},
    {"border", CLSID_BorderGenerator, "Border In", 8, RecordKind::Background, "WipeBorder0"},
    {"background", CLSID_BackgroundGenerator2, "Background In", 8, RecordKind::Background, "BGen2"},
    {"volume", CLSID_AudioMixer, "Master Output Volume In", 4, RecordKind::Volume, "AudioMixer"},
};

void PrintTo(const Route& r, std::ostream* out) { *out << r.name; }

class MixerRoute : public ::testing::TestWithParam<Route> {};

TEST_P(MixerRoute, ReachesTheConnectedInputAtItsSizeOnly)
{
    const Route& r = GetParam();
    zt::MixerBench bench;
    auto unit = bench.add(r.unit);
    auto control = bench.keyframes_to(unit.get(), r.pin);
    ASSERT_TRUE(control);
    ASSERT_TRUE(bench.board().step_fields(3));

    std::mt19937 rng(zt::test_seed() + r.size);
    std::vector<std::uint8_t> record(r.size);
    for (auto& b : record) b = static_cast<std::uint8_t>(rng());
    const std::string target = std::string(r.unit_name) + ":" + r.pin;

    const auto mark = bench.mark();
    EXPECT_EQ(control->SendKeyframe(record.data(), r.size), S_OK);
    // One byte short and one long, from a buffer that has them: neither is taken.
    std::vector<std::uint8_t> longer(record);
    longer.push_back(0xAB);
    EXPECT_EQ(control->SendKeyframe(longer.data(), r.size - 1), E_INVALIDARG);
    EXPECT_EQ(control->SendKeyframe(longer.data(), r.size + 1), E_INVALIDARG);

    const auto entries = bench.journal(JournalKind::Keyframe, mark);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_TRUE(entries[0].ok);
    EXPECT_EQ(entries[0].target, target);
    EXPECT_EQ(entries[0].code, r.size);
    EXPECT_EQ(entries[0].bytes, record);
    EXPECT_EQ(entries[0].field, bench.board().current_field());
    for (int i : {1, 2}) {
        EXPECT_FALSE(entries[i].ok);
        EXPECT_EQ(entries[i].target, target);
        EXPECT_EQ(entries[i].code, i == 1 ? r.size - 1 : r.size + 1);
        EXPECT_TRUE(entries[i].bytes.empty()) << "a refused record is not read";
    }

    const auto state = bench.model().state();
    EXPECT_TRUE(state.unit(r.unit_name).present);
    EXPECT_EQ(state.unit(r.unit_name).record(r.kind).bytes, record) << "the last accepted record is kept";
    EXPECT_EQ(state.unit(r.unit_name).record(r.kind).field, bench.board().current_field());
}

INSTANTIATE_TEST_SUITE_P(EveryRecordKind, MixerRoute, ::testing::ValuesIn(kRoutes),
                         [](const ::testing::TestParamInfo<Route>& info) { return std::string(info.param.name); });

TEST(MixerRouting, FollowsTheConnectionToTheUnitItReaches)
{
    zt::MixerBench bench;
    auto fiesta0 = bench.add(CLSID_FiestaRenderer);
    auto fiesta1 = bench.add(CLSID_FiestaRenderer);
    auto source = bench.add(CLSID_DirectDataSource);
    auto control = source.as<IKeyframeControl>();
    ASSERT_EQ(bench.connect(source.get(), "", fiesta1.get(), "Crop In"), S_OK);
    ASSERT_EQ(control->BeginData(), S_OK);

    const auto crop = zt::words({1, 0x100000, 0, 0, 0});
    EXPECT_EQ(control->SendKeyframe(crop.data(), 20), S_OK);
    // Rewired while running: the next record goes where the output now leads.
    zk::ComPtr<IPin> out = zt::pin_of(source.get(), "", PINDIR_OUTPUT);
    ASSERT_EQ(bench.graph()->Disconnect(zt::pin_of(fiesta1.get(), "Crop In", PINDIR_INPUT).get()), S_OK);
    ASSERT_EQ(bench.graph()->Disconnect(out.get()), S_OK);
    ASSERT_EQ(bench.connect(source.get(), "", fiesta0.get(), "Mask In"), S_OK);
    const auto mask = zt::words({1, 2, 3, 4, 5});
    EXPECT_EQ(control->SendKeyframe(mask.data(), 20), S_OK);

    const auto state = bench.model().state();
    EXPECT_EQ(state.unit("Fiesta1").record(RecordKind::Crop).bytes, crop);
    EXPECT_FALSE(state.unit("Fiesta0").record(RecordKind::Crop).received());
    EXPECT_EQ(state.unit("Fiesta0").record(RecordKind::Mask).bytes, mask);
    EXPECT_FALSE(state.unit("Fiesta1").record(RecordKind::Mask).received());
}

struct Refusal {
    const char* name;
    HRESULT expected;
    const char* target; // journalled under
    const char* reason;
};

TEST(MixerRouting, RefusesWhatCannotReachAKeyframeInput)
{
    zt::MixerBench bench;
    auto fiesta = bench.add(CLSID_FiestaRenderer);
    const auto dve = zt::words({0, 0, 0, 0x1000000, 0x1000000, 0, 0, 0, 0, 0, 0, 0});

    auto not_begun = bench.keyframes_to(fiesta.get(), "2D DVE In", false);
    auto ended = bench.keyframes_to(fiesta.get(), "Crop In");
    ASSERT_EQ(ended->EndData(), S_OK);
    auto to_video = bench.keyframes_to(fiesta.get(), "Video In");
    auto loose = bench.add(CLSID_DirectDataSource).as<IKeyframeControl>();
    ASSERT_EQ(loose->BeginData(), S_OK);
    auto renderer = bench.add(CLSID_VideoRenderer);
    auto elsewhere = bench.keyframes_to(renderer.get(), "Input");

    const auto mark = bench.mark();
    EXPECT_EQ(not_begun->SendKeyframe(dve.data(), 48), VFW_E_WRONG_STATE);
    EXPECT_EQ(ended->SendKeyframe(dve.data(), 20), VFW_E_WRONG_STATE);
    EXPECT_EQ(to_video->SendKeyframe(dve.data(), 48), VFW_E_TYPE_NOT_ACCEPTED);
    EXPECT_EQ(loose->SendKeyframe(dve.data(), 48), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(elsewhere->SendKeyframe(dve.data(), 48), VFW_E_TYPE_NOT_ACCEPTED);
    auto paint = bench.keyframes_to(fiesta.get(), "Paint In");
    EXPECT_EQ(paint->SendKeyframe(nullptr, 16), E_POINTER);

    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Fiesta0:2D DVE In", "data not begun"},
        {"Fiesta0:Crop In", "data not begun"},
        {"Fiesta0:Video In", "not a keyframe input"},
        {"DirectData", "not connected"},
        {"DirectData", "connected to \"Input\" of a filter that is not a mixer unit"},
        {"Fiesta0:Paint In", "null record"},
    };
    const auto entries = bench.journal(JournalKind::Keyframe, mark);
    ASSERT_EQ(entries.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_FALSE(entries[i].ok) << i;
        EXPECT_EQ(entries[i].target, expected[i].first) << i;
        EXPECT_EQ(entries[i].text, expected[i].second) << i;
    }
    const auto state = bench.model().state();
    for (int k = 0; k < zk::mixer::kRecordKinds; ++k)
        EXPECT_FALSE(state.unit("Fiesta0").records[static_cast<size_t>(k)].received()) << k;
}

TEST(MixerRouting, JournalsBeginAndEndOfDataAtTheInput)
{
    zt::MixerBench bench;
    auto wipe = bench.add(CLSID_WipeRenderer);
    auto fader = bench.keyframes_to(wipe.get(), "Fader In", false);
    const auto mark = bench.mark();
    ASSERT_EQ(fader->BeginData(), S_OK);
    ASSERT_EQ(fader->EndData(), S_OK);
    const auto entries = bench.journal(JournalKind::StateChange, mark);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].target, "WipeRenderer0:Fader In");
    EXPECT_EQ(entries[0].text, "begin data");
    EXPECT_EQ(entries[1].text, "end data");
}

// ---- DirectData packets ----

TEST(MixerPackets, SelectTheCrosspointOfTheConnectedInput)
{
    zt::MixerBench bench;
    auto processor = bench.add(CLSID_PriorityProcessor0);
    auto layer2 = bench.connection_to(processor.get(), "Layer 2");
    auto main = bench.add(CLSID_MainOutputSelect);
    auto main_in = bench.connection_to(main.get(), "Video In");
    // A crosspoint is switched between the end of data and the next begin.
    ASSERT_EQ(layer2->BeginData(), S_OK);
    ASSERT_EQ(layer2->EndData(), S_OK);

    const GUID source = mq_hwconn_source(0x57);
    zt::Packet p(source, 0, 2);
    zt::Packet none(MQ_HWCONN_SOURCE_NONE, 0, 0);
    ASSERT_TRUE(bench.board().step_fields(2));
    const auto mark = bench.mark();
    EXPECT_EQ(layer2->ReceiveData(&p.packet, sizeof p.packet), S_OK);
    EXPECT_EQ(main_in->ReceiveData(&none.packet, sizeof none.packet), S_OK);

    const auto entries = bench.journal(JournalKind::Keyframe, mark);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_TRUE(entries[0].ok);
    EXPECT_EQ(entries[0].target, "PriorityProcessor0:Layer 2");
    EXPECT_EQ(entries[0].code, 72u);
    EXPECT_EQ(entries[0].bytes, zt::bytes_of(p.packet));
    EXPECT_EQ(entries[0].text, "crosspoint {1C230757-35AD-11CF-963F-02608C0B0FB7} input 2");
    EXPECT_EQ(entries[1].target, "MainOutputSelect:Video In");

    const auto state = bench.model().state();
    const auto layers = state.layers(0);
    EXPECT_EQ(layers[0], nullptr);
    ASSERT_NE(layers[1], nullptr);
    EXPECT_EQ(layers[1]->source, source);
    EXPECT_EQ(layers[1]->index, 2u);
    EXPECT_EQ(layers[1]->field, bench.board().current_field());
    ASSERT_NE(state.crosspoint("MainOutputSelect", "Video In"), nullptr);
    EXPECT_EQ(state.crosspoint("MainOutputSelect", "Video In")->source, MQ_HWCONN_SOURCE_NONE);
}

TEST(MixerPackets, RefuseMalformedPacketsAndPayloadsThatDoNotResolve)
{
    zt::MixerBench bench;
    auto processor = bench.add(CLSID_PriorityProcessor1);
    auto layer = bench.connection_to(processor.get(), "Layer 1");
    auto fiesta = bench.add(CLSID_FiestaRenderer);
    auto tbc = bench.connection_to(fiesta.get(), "TBC In");

    struct Case {
        const char* name;
        void (*spoil)(MQ_DIRECTDATA_PACKET&);
        DWORD size;
        bool to_tbc;
        HRESULT expected;
    };
    static DWORD short_region[1] = {7};
    const Case cases[] = {
        {"short packet", [](MQ_DIRECTDATA_PACKET&) {}, 71, false, E_INVALIDARG},
        {"long packet", [](MQ_DIRECTDATA_PACKET&) {}, 73, false, E_INVALIDARG},
        {"type", [](MQ_DIRECTDATA_PACKET& p) { p.type = MQ_DATAFORMAT_HWCONN; }, 72, false, E_INVALIDARG},
        {"format", [](MQ_DIRECTDATA_PACKET& p) { p.format = GUID_NULL; }, 72, false, E_INVALIDARG},
        {"payload size", [](MQ_DIRECTDATA_PACKET& p) { p.dwPayloadSize = 4; }, 72, false, E_INVALIDARG},
        {"unknown token", [](MQ_DIRECTDATA_PACKET& p) { p.dwPayloadToken = 0; }, 72, false, E_INVALIDARG},
        {"short region",
         [](MQ_DIRECTDATA_PACKET& p) { p.dwPayloadToken = zk::map_board_memory(short_region, sizeof short_region); }, 72,
         false, E_INVALIDARG},
        {"crosspoint to TBC", [](MQ_DIRECTDATA_PACKET&) {}, 72, true, VFW_E_TYPE_NOT_ACCEPTED},
        {"TBC to a layer", [](MQ_DIRECTDATA_PACKET& p) { p.format = MQ_DATAFORMAT_TBC; }, 72, false,
         VFW_E_TYPE_NOT_ACCEPTED},
    };
    for (const Case& c : cases) {
        zt::Packet p(mq_hwconn_source(0x51), 0, 1);
        c.spoil(p.packet);
        std::vector<std::uint8_t> buffer(80);
        std::memcpy(buffer.data(), &p.packet, sizeof p.packet);
        const auto mark = bench.mark();
        IDirectData* to = c.to_tbc ? tbc.get() : layer.get();
        EXPECT_EQ(to->ReceiveData(buffer.data(), c.size), c.expected) << c.name;
        const auto entries = bench.journal(JournalKind::Keyframe, mark);
        ASSERT_EQ(entries.size(), 1u) << c.name;
        EXPECT_FALSE(entries[0].ok) << c.name;
        EXPECT_TRUE(entries[0].bytes.empty()) << c.name;
    }
    const auto state = bench.model().state();
    EXPECT_TRUE(state.crosspoints.empty());
    EXPECT_EQ(state.channels[0].strobe_rate, 1u);
    EXPECT_EQ(layer->ReceiveData(nullptr, 72), E_POINTER);
}

} // namespace
