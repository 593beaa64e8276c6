// Building graphs through CMQFilterGraph: filters by class and on cardsets, pins by name,
// filter settings, and the cardset enumeration and selection.
#include <gtest/gtest.h>

#include <cstring>

#include "onair/mq_filter_graph.h"
#include "onair/onair_fixture.h"
#include "platform/board/digisuite_filter.h"

namespace {

constexpr CLSID kMixer = zk::make_guid("6E1B0001-0000-4000-8000-00000000A001");
constexpr CLSID kPlayer = zk::make_guid("6E1B0002-0000-4000-8000-00000000A001");
constexpr CLSID kGenie = zk::make_guid("6E1B0003-0000-4000-8000-00000000A001");
constexpr CLSID kLoose = zk::make_guid("6E1B0004-0000-4000-8000-00000000A001");
constexpr CLSID kUnknown = zk::make_guid("6E1B00FF-0000-4000-8000-00000000A001");

constexpr DWORD kStudioA = 0x10000, kStudioB = 0x20000, kSpare = 0x30000;

zk::BoardConfig three_cardsets()
{
    zk::BoardConfig c = zt::manual_board();
    c.cardsets.clear();
    c.cardsets.push_back({kStudioA, "Studio A", 1, {"DigiMix", "DigiMotion"},
                          {{CLSID_DigiSuiteReferenceClock, 0, 0, 0}, {kMixer, 0, 0, 0}, {kPlayer, 1, 0, 0}}});
    c.cardsets.push_back({kStudioB, "Studio B", 2, {"DigiMix", "Genie"},
                          {{kMixer, 0, 0, 0}, {kMixer, 0, 1, 0}, {kGenie, 1, 0, 0}, {CLSID_DigiSuiteReferenceClock, 0, 0, 0}}});
    // The first board's name cannot be read.
    c.cardsets.push_back({kSpare, "Spare", 3, {"", "MarvelPro"}, {{kPlayer, 0, 2, 0}}});
    return c;
}

void register_test_filters()
{
    zk::DigiSuiteFilterDesc mixer;
    mixer.base.clsid = kMixer;
    mixer.base.name = "Mixer";
    mixer.base.pins = {{"Video In", PINDIR_INPUT}, {"Video Out", PINDIR_OUTPUT}, {"Key In", PINDIR_INPUT},
                       {"Key Out", PINDIR_OUTPUT}};
    mixer.video_inputs = {{0, "Composite"}, {3, "SDI A"}, {7, std::string(100, 'n')}};
    mixer.multi_file_sink = true;
    mixer.compound_source = true;
    mixer.cut_list = true;
    zk::register_digisuite_filter(mixer);
    for (const CLSID& id : {kPlayer, kGenie, kLoose}) {
        zk::DigiSuiteFilterDesc s;
        s.base.clsid = id;
        s.base.name = "Player";
        s.base.pins = {{"Video Out", PINDIR_OUTPUT}};
        s.base.file_source = true;
        zk::register_digisuite_filter(s);
    }
}

class Building : public ::testing::Test {
protected:
    void SetUp() override { start(three_cardsets()); }
    void start(zk::BoardConfig config)
    {
        if (graph) graph->Uninitialize();
        graph.reset();
        board_.reset();
        board_ = std::make_unique<zk::BoardOverride>(std::move(config));
        register_test_filters();
        graph = std::make_unique<CMQFilterGraph>();
        ASSERT_EQ(graph->Initialize(TRUE), S_OK);
    }
    void TearDown() override
    {
        if (graph) graph->Uninitialize();
    }
    zk::ComPtr<IBaseFilter> add(REFCLSID clsid, const char* name, DWORD mrid = 0)
    {
        zk::ComPtr<IBaseFilter> f;
        EXPECT_EQ(graph->AddFilter(clsid, f.put(), name, mrid), S_OK) << GetLastErrorText();
        return f;
    }
    static std::string pin_name(IPin* pin)
    {
        PIN_INFO info{};
        pin->QueryPinInfo(&info);
        if (info.pFilter) info.pFilter->Release();
        return zk::to_ansi(info.achName);
    }
    static zk::DigiSuiteFilter* inner(const zk::ComPtr<IBaseFilter>& f) { return static_cast<zk::DigiSuiteFilter*>(f.get()); }

    zk::RegistryOverride registry_{zk::RegistryStore{}};
    std::unique_ptr<zk::BoardOverride> board_;
    std::unique_ptr<CMQFilterGraph> graph;
};

// ---- pins ----

TEST_F(Building, FindPinMatchesNameAndDirectionOrTakesTheFirst)
{
    auto mixer = add(kMixer, "mixer");
    struct Case {
        const char* name;
        PIN_DIRECTION dir;
        const char* found; // null: none
    };
    for (const Case c : {Case{nullptr, PINDIR_INPUT, "Video In"}, Case{nullptr, PINDIR_OUTPUT, "Video Out"},
                         Case{"Key In", PINDIR_INPUT, "Key In"}, Case{"Key Out", PINDIR_OUTPUT, "Key Out"},
                         Case{"Key In", PINDIR_OUTPUT, nullptr}, Case{"key in", PINDIR_INPUT, nullptr},
                         Case{"", PINDIR_INPUT, nullptr}}) {
        zk::ComPtr<IPin> pin = zk::ComPtr<IPin>::attach(graph->FindPin(mixer.get(), c.name, c.dir));
        if (!c.found) {
            EXPECT_FALSE(pin) << (c.name ? c.name : "(null)");
            continue;
        }
        ASSERT_TRUE(pin) << (c.name ? c.name : "(null)");
        EXPECT_EQ(pin_name(pin.get()), c.found);
    }
    EXPECT_EQ(graph->FindPin(nullptr, "Video In", PINDIR_INPUT), nullptr);
}

TEST_F(Building, ConnectPinsChecksItsArguments)
{
    auto player = add(kPlayer, "player");
    auto mixer = add(kMixer, "mixer");
    EXPECT_EQ(graph->ConnectPins(nullptr, "Video Out", mixer.get(), "Video In"), E_INVALIDARG);
    EXPECT_STREQ(GetLastErrorText(), "Error! ConnectPins called with NULL parameter\nCode = 0x80070057");
    EXPECT_EQ(graph->ConnectPins(player.get(), "Video Out", nullptr, "Video In"), E_INVALIDARG);

    // A pin that does not exist fails without a message of its own.
    ReportError("before", 0);
    EXPECT_EQ(graph->ConnectPins(player.get(), "No Such Pin", mixer.get(), "Video In"), E_FAIL);
    EXPECT_EQ(graph->ConnectPins(player.get(), "Video Out", mixer.get(), "Video Out"), E_FAIL);
    EXPECT_STREQ(GetLastErrorText(), "Error! before");

    ASSERT_EQ(graph->ConnectPins(player.get(), "Video Out", mixer.get(), "Video In"), S_OK);
    zk::ComPtr<IPin> in = zk::ComPtr<IPin>::attach(graph->FindPin(mixer.get(), "Video In", PINDIR_INPUT));
    zk::ComPtr<IPin> peer;
    ASSERT_EQ(in->ConnectedTo(peer.put()), S_OK);
    EXPECT_EQ(pin_name(peer.get()), "Video Out");
    EXPECT_EQ(graph->ConnectPins(player.get(), "Video Out", mixer.get(), "Key In"), VFW_E_ALREADY_CONNECTED);
    EXPECT_STREQ(GetLastErrorText(), "Error! Could not connect pins\nCode = 0x80040204");
}

TEST_F(Building, DisconnectPinTakesBothSidesApartFromEitherEnd)
{
    auto player = add(kPlayer, "player");
    auto mixer = add(kMixer, "mixer");
    EXPECT_EQ(graph->DisconnectPin(nullptr, "Video In", PINDIR_INPUT), S_OK);
    EXPECT_EQ(graph->DisconnectPin(mixer.get(), "Nothing", PINDIR_INPUT), E_FAIL);
    EXPECT_STREQ(GetLastErrorText(), "Error! Could not find specified filter pin\nCode = 0x80004005");
    EXPECT_EQ(graph->DisconnectPin(mixer.get(), "Video In", PINDIR_INPUT), S_OK) << "not connected: nothing to do";
    for (const bool from_input : {true, false}) {
        ASSERT_EQ(graph->ConnectPins(player.get(), "Video Out", mixer.get(), "Video In"), S_OK);
        if (from_input) ASSERT_EQ(graph->DisconnectPin(mixer.get(), "Video In", PINDIR_INPUT), S_OK);
        else ASSERT_EQ(graph->DisconnectPin(player.get(), "Video Out", PINDIR_OUTPUT), S_OK);
        for (auto [f, name, dir] : {std::tuple{player.get(), "Video Out", PINDIR_OUTPUT},
                                    std::tuple{mixer.get(), "Video In", PINDIR_INPUT}}) {
            zk::ComPtr<IPin> pin = zk::ComPtr<IPin>::attach(graph->FindPin(f, name, dir));
            zk::ComPtr<IPin> peer;
            EXPECT_EQ(pin->ConnectedTo(peer.put()), VFW_E_NOT_CONNECTED) << name;
        }
    }
}

// ---- filters ----

TEST_F(Building, AddFilterCreatesByClassNamesAndReportsFailures)
{
    zk::ComPtr<IBaseFilter> f;
    EXPECT_EQ(graph->AddFilter(kUnknown, f.put(), "x", 0), REGDB_E_CLASSNOTREG);
    EXPECT_STREQ(GetLastErrorText(), "Error! Could not instantiate filter\nCode = 0x80040154");
    EXPECT_FALSE(f);
    auto a = add(kLoose, "same");
    auto b = add(kLoose, "same");
    zk::ComPtr<IBaseFilter> found;
    ASSERT_EQ(graph->GetGraphBuilder()->FindFilterByName(u"same", found.put()), S_OK);
    EXPECT_EQ(found.get(), a.get());
    EXPECT_NE(a.get(), b.get());
    EXPECT_EQ(graph->RemoveFilter(nullptr), S_OK);
    ASSERT_EQ(graph->RemoveFilter(a.get()), S_OK);
    EXPECT_EQ(graph->RemoveFilter(a.get()), VFW_E_NOT_FOUND);
    EXPECT_STREQ(GetLastErrorText(), "Error! Could not remove filter from filter graph\nCode = 0x80040216");
    EXPECT_EQ(graph->AddSourceFilter("not-in-catalogue.avi", nullptr), VFW_E_NOT_FOUND);
    EXPECT_STREQ(GetLastErrorText(), "Error! Could not add source filter to filter graph\nCode = 0x80040216");
    zk::set_virtual_media("render.avi", 3.0);
    ASSERT_EQ(graph->RenderFile("render.avi"), S_OK);
    EXPECT_DOUBLE_EQ(graph->GetDuration(), 3.0);
}

TEST_F(Building, FiltersAreCreatedOnTheSelectedCardset)
{
    auto plain = add(kMixer, "plain");
    EXPECT_EQ(inner(plain)->mrid(), 0u);
    MQFG_CARDSET_INFO sets[3];
    ASSERT_EQ(graph->EnumCardsets(sets, 3), 3);
    ASSERT_EQ(graph->SelectCardsetRecord(&sets[1]), S_OK);
    auto on_b = add(kMixer, "on B");
    MQFG_CARDSET_INFO instances[2];
    ASSERT_EQ(graph->EnumFilterInstances(kMixer, kStudioB, instances, 2), 2);
    EXPECT_EQ(inner(on_b)->mrid(), instances[0].mrid);
    auto explicit_mrid = add(kMixer, "explicit", instances[1].mrid);
    EXPECT_EQ(inner(explicit_mrid)->mrid(), instances[1].mrid);
}

TEST_F(Building, FilterSettingsReachTheFilters)
{
    auto mixer = add(kMixer, "mixer");
    auto player = add(kPlayer, "player");
    zk::set_virtual_media("take1.avi", 4.0);
    EXPECT_EQ(graph->SetSourceFile(player.get(), "take1.avi"), S_OK);
    EXPECT_EQ(inner(player)->current_file(), "take1.avi");
    EXPECT_DOUBLE_EQ(graph->GetDuration(), 4.0);
    EXPECT_EQ(graph->SetSourceFile(player.get(), "missing.avi"), VFW_E_NOT_FOUND);
    EXPECT_STREQ(GetLastErrorText(), "Error! Could not open source file\nCode = 0x80040216");
    EXPECT_EQ(graph->SetSourceFile(mixer.get(), "take1.avi"), E_NOINTERFACE);
    EXPECT_STREQ(GetLastErrorText(), "Error! Could not get IFileSourceFilter interface\nCode = 0x80004002");
    EXPECT_EQ(graph->SetSinkFile(mixer.get(), "out.avi"), E_NOINTERFACE);
    EXPECT_STREQ(GetLastErrorText(), "Error! Could not get IFileSinkFilter interface\nCode = 0x80004002");
    EXPECT_EQ(graph->SetCutList(player.get(), nullptr, 0), E_NOINTERFACE);
    EXPECT_STREQ(GetLastErrorText(), "Error! Could not get ICutListSourceFilter interface\nCode = 0x80004002");

    EXPECT_EQ(graph->SetMultiFileSink(mixer.get(), "", 1, 2, 3, 4), S_OK);
    EXPECT_EQ(inner(mixer)->sink_word(3), 4u);
    EXPECT_EQ(graph->SetCompoundSourceFile(mixer.get(), "effects.vfx", "Line 2"), S_OK);
    EXPECT_EQ(inner(mixer)->compound_file(), "effects.vfx");
    EXPECT_EQ(inner(mixer)->sub_storage(), "Line 2");
    const int cuts[4] = {1, 2, 3, 4};
    EXPECT_EQ(graph->SetCutList(mixer.get(), cuts, 2), S_OK);
    LONG count = 0;
    EXPECT_EQ(inner(mixer)->cut_list(&count), cuts);
    EXPECT_EQ(count, 2);

    EXPECT_EQ(graph->SetVideoInput(mixer.get(), 3), S_OK);
    EXPECT_EQ(inner(mixer)->video_input(), 3);
    EXPECT_EQ(graph->SetVideoInput(mixer.get(), 4), E_INVALIDARG);
    EXPECT_STREQ(GetLastErrorText(), "Error! Could not set the video input on filter\nCode = 0x80070057");
    EXPECT_EQ(inner(mixer)->video_input(), 3);
}

TEST_F(Building, VideoInputsAreListedUpToTheAskedCount)
{
    auto mixer = add(kMixer, "mixer");
    MQFG_INPUT_INFO inputs[4];
    std::memset(inputs, 0x55, sizeof inputs);
    ASSERT_EQ(graph->EnumVideoInputs(mixer.get(), inputs, 2), 2);
    EXPECT_EQ(inputs[0].id, 0);
    EXPECT_STREQ(inputs[0].name, "Composite");
    EXPECT_EQ(inputs[1].id, 3);
    EXPECT_STREQ(inputs[1].name, "SDI A");
    EXPECT_EQ(inputs[2].id, 0x55555555) << "nothing written past the count asked for";
    ASSERT_EQ(graph->EnumVideoInputs(mixer.get(), inputs, 4), 3);
    EXPECT_EQ(std::strlen(inputs[2].name), 63u) << "names come as far as the filter keeps them";
    auto player = add(kPlayer, "player");
    EXPECT_EQ(graph->EnumVideoInputs(player.get(), inputs, 4), E_NOINTERFACE);
    EXPECT_STREQ(GetLastErrorText(), "Error! Could not get IVideoInput interface\nCode = 0x80004002");
}

// ---- cardsets ----

TEST_F(Building, BoardTypeFlagsIgnoreCase)
{
    struct Case {
        const char* name;
        DWORD flag;
    };
    for (const Case c : {Case{"DigiMix", 2}, Case{"DIGIMIX", 2}, Case{"digimix", 2}, Case{"dIgImIx", 2},
                         Case{"DigiSuiteLite", 1}, Case{"genie", 0x40}, Case{"digisuitemax", 0x20000800},
                         Case{"rt2500", 0x20002000}, Case{"DigiMix2", 0x10000000}, Case{"", 0x10000000},
                         Case{"Digi", 0x10000000}}) {
        EXPECT_EQ(graph->GetBoardTypeFlag(c.name), c.flag) << c.name;
    }
    EXPECT_EQ(graph->GetBoardTypeFlag(nullptr), 0x10000000u);
}

TEST_F(Building, CardsetsListTheirBoardsAndStandards)
{
    EXPECT_EQ(graph->GetCardsetCount(), 3);
    EXPECT_EQ(graph->GetCardsetMrid(1), kStudioB);
    EXPECT_EQ(graph->GetCardsetMrid(3), MQFG_NO_CARDSET);
    char name[8];
    ASSERT_EQ(graph->GetCardsetName(kStudioA, name, sizeof name), S_OK);
    EXPECT_STREQ(name, "Studio ");
    EXPECT_EQ(graph->GetCardsetName(0x999, name, sizeof name), E_INVALIDARG);
    EXPECT_STREQ(GetLastErrorText(), "Error! Could not get cardset name\nCode = 0x80070057");

    MQFG_CARDSET_INFO sets[4];
    ASSERT_EQ(graph->EnumCardsets(sets, 4), 3);
    EXPECT_EQ(sets[0].mrid, kStudioA);
    EXPECT_STREQ(sets[0].name, "Studio A");
    EXPECT_EQ(sets[0].flags, 0x2u | 0x4u);
    EXPECT_EQ(sets[1].flags, 0x2u | 0x40u);
    EXPECT_EQ(sets[2].flags, 0x400u) << "a board whose name cannot be read adds nothing";
    EXPECT_EQ(graph->EnumCardsets(sets, 1), 1);
    for (DWORD mrid : {kStudioA, kStudioB, kSpare}) EXPECT_EQ(graph->GetCardsetVideoStandard(mrid), static_cast<int>(mrid >> 16));
    EXPECT_EQ(graph->GetCardsetVideoStandard(0x999), 0);
}

TEST_F(Building, CardsetsForFiltersAreTheIntersectionInOrder)
{
    EXPECT_EQ(graph->EnumCardsetsForFilter(kMixer), 2);
    EXPECT_EQ(graph->EnumCardsetsForFilter(kUnknown), 0);
    struct Case {
        std::vector<CLSID> classes;
        int max;
        std::vector<DWORD> expected;
    };
    for (const Case& c : {Case{{kMixer}, 4, {kStudioA, kStudioB}}, Case{{kPlayer}, 4, {kStudioA, kSpare}},
                          Case{{kMixer, kPlayer}, 4, {kStudioA}}, Case{{kPlayer, kMixer}, 4, {kStudioA}},
                          Case{{kMixer, kGenie}, 4, {kStudioB}}, Case{{kGenie, kPlayer}, 4, {}},
                          Case{{kMixer}, 1, {kStudioA}}, Case{{kUnknown}, 4, {}}}) {
        MQFG_CARDSET_INFO out[4];
        const int n = graph->FindCardsetsForFilters(c.classes.data(), static_cast<int>(c.classes.size()), out, c.max);
        ASSERT_EQ(n, static_cast<int>(c.expected.size()));
        for (int i = 0; i < n; ++i) EXPECT_EQ(out[i].mrid, c.expected[static_cast<size_t>(i)]);
    }
    MQFG_CARDSET_INFO one;
    const CLSID pair[2] = {kMixer, kGenie};
    ASSERT_EQ(graph->FindCardsetsForFilters(pair, 2, &one, 1), 1);
    EXPECT_STREQ(one.name, "Studio B");
    EXPECT_EQ(one.flags, 0x42u);
}

TEST_F(Building, FilterInstancesAreNamedAfterTheirBoard)
{
    MQFG_CARDSET_INFO out[4];
    ASSERT_EQ(graph->EnumFilterInstances(kMixer, kStudioB, out, 4), 2);
    EXPECT_STREQ(out[0].name, "DigiMix (0)");
    EXPECT_STREQ(out[1].name, "DigiMix (1)");
    EXPECT_EQ(out[1].flags, 2u);
    EXPECT_NE(out[0].mrid, out[1].mrid);
    ASSERT_EQ(graph->EnumFilterInstances(kPlayer, kSpare, out, 4), 1);
    EXPECT_STREQ(out[0].name, "<error>");
    ASSERT_EQ(graph->EnumFilterInstances(kPlayer, MQFG_NO_CARDSET, out, 4), 2) << "every cardset";
    EXPECT_STREQ(out[0].name, "DigiMotion (0)");
    EXPECT_EQ(graph->EnumFilterInstances(kMixer, kStudioB, out, 0), 0);
    EXPECT_EQ(graph->FindCardsetIndex(kMixer, kStudioB), 1);
    EXPECT_EQ(graph->FindCardsetIndex(kPlayer, kSpare), 1);
    EXPECT_EQ(graph->FindCardsetIndex(kGenie, kStudioA), 0);
}

TEST_F(Building, SelectingACardsetStoresItAndTakesItsStandard)
{
    MQFG_CARDSET_INFO rec;
    EXPECT_EQ(graph->GetSelectedCardset(&rec), S_FALSE);
    EXPECT_EQ(rec.mrid, MQFG_NO_CARDSET);
    EXPECT_EQ(graph->SelectCardset(MQFG_NO_CARDSET, "none", 0), E_INVALIDARG);
    const std::string long_name(200, 'c');
    ASSERT_EQ(graph->SelectCardset(kStudioB, long_name.c_str(), 0x42), S_OK);
    ASSERT_EQ(graph->GetSelectedCardset(&rec), S_OK);
    EXPECT_EQ(rec.mrid, kStudioB);
    EXPECT_EQ(std::strlen(rec.name), 118u);
    EXPECT_EQ(rec.flags, 0x42u);
    EXPECT_EQ(graph->GetVideoStandard(), 2);
    // A record without a terminator is read no further than its name field.
    MQFG_CARDSET_INFO raw;
    raw.mrid = kSpare;
    std::memset(raw.name, 'z', sizeof raw.name);
    raw.flags = 0x400;
    ASSERT_EQ(graph->SelectCardsetRecord(&raw), S_OK);
    ASSERT_EQ(graph->GetSelectedCardset(&rec), S_OK);
    EXPECT_EQ(std::strlen(rec.name), 118u);
    EXPECT_EQ(graph->GetVideoStandard(), 3);
}

TEST_F(Building, SelectCardsetByTypeActsOnlyOnAnUnknownType)
{
    const DWORD acceptable[] = {0x40, MQFG_BOARD_UNKNOWN};
    DWORD type = 0x2;
    EXPECT_EQ(graph->SelectCardsetByType(&type, nullptr, acceptable, 4), 1);
    EXPECT_EQ(type, 0x2u);
    MQFG_CARDSET_INFO rec;
    EXPECT_EQ(graph->GetSelectedCardset(&rec), S_FALSE) << "a known type changes nothing";

    type = MQFG_BOARD_UNKNOWN;
    const DWORD requested = 0x6;
    EXPECT_EQ(graph->SelectCardsetByType(&type, &requested, acceptable, 4), 1);
    EXPECT_EQ(type, 0x6u);

    type = MQFG_BOARD_UNKNOWN;
    const DWORD none_known = MQFG_BOARD_UNKNOWN;
    EXPECT_EQ(graph->SelectCardsetByType(&type, &none_known, acceptable, 4), 1);
    EXPECT_EQ(type, 0x42u);
    ASSERT_EQ(graph->GetSelectedCardset(&rec), S_OK);
    EXPECT_EQ(rec.mrid, kStudioB);
    EXPECT_EQ(graph->GetVideoStandard(), 2);

    // With a cardset selected, its flags answer.
    type = MQFG_BOARD_UNKNOWN;
    EXPECT_EQ(graph->SelectCardsetByType(&type, nullptr, acceptable, 4), 1);
    EXPECT_EQ(type, 0x42u);
}

TEST_F(Building, SelectCardsetByTypeReadsMasksAtItsStride)
{
    struct Entry {
        DWORD mask;
        DWORD other;
    };
    // Read every 8 bytes the masks are 0x400 and 0x4; the cardsets are tried in order, each
    // against every mask, so Studio A (0x6) is taken. Read every 4 bytes the list would end
    // after 0x400 and pick the spare cardset.
    const Entry list[] = {{0x400, MQFG_BOARD_UNKNOWN}, {0x4, 0}, {MQFG_BOARD_UNKNOWN, 0}};
    DWORD type = MQFG_BOARD_UNKNOWN;
    EXPECT_EQ(graph->SelectCardsetByType(&type, nullptr, &list[0].mask, sizeof(Entry)), 1);
    EXPECT_EQ(type, 0x6u);
    MQFG_CARDSET_INFO rec;
    ASSERT_EQ(graph->GetSelectedCardset(&rec), S_OK);
    EXPECT_EQ(rec.mrid, kStudioA);
}

TEST_F(Building, SelectCardsetByTypeWithNothingAcceptable)
{
    const DWORD acceptable[] = {0x8, 0x2 | 0x10, MQFG_BOARD_UNKNOWN};
    DWORD type = MQFG_BOARD_UNKNOWN;
    EXPECT_EQ(graph->SelectCardsetByType(&type, nullptr, acceptable, 0), 1) << "a stride too short reads one mask at a time";
    EXPECT_EQ(type, MQFG_BOARD_UNKNOWN);
    MQFG_CARDSET_INFO rec;
    EXPECT_EQ(graph->GetSelectedCardset(&rec), S_FALSE);
}

TEST_F(Building, TheClockOfASelectedCardsetComesFromIt)
{
    ASSERT_EQ(graph->SelectCardset(kSpare, "Spare", 0x400), S_OK);
    ASSERT_EQ(graph->SetupReferenceClock(nullptr), S_OK);
    EXPECT_EQ(graph->GetVideoStandard(), 3);
    // The spare cardset has no clock instance of its own, but the resource is known.
    zk::ComPtr<IReferenceClock> clock = zk::ComPtr<IReferenceClock>::share(graph->GetSyncSource());
    auto ext = clock.as<IExtendedClock>();
    ASSERT_TRUE(ext);
    GUID g;
    ASSERT_EQ(ext->GetVideoStandard(&g), S_OK);
    EXPECT_EQ(g, VIDEOSTANDARD_PAL_M);
}

TEST_F(Building, WithoutTheEnumeratorCardsetsAreRefused)
{
    zk::BoardConfig c = three_cardsets();
    c.mrid_enumerator = false;
    start(c);
    EXPECT_EQ(graph->GetCardsetCount(), E_FAIL);
    EXPECT_STREQ(GetLastErrorText(), "Error! The MRIDs enumerator is not present on this system\nCode = 0x80004005");
    MQFG_CARDSET_INFO rec[2];
    EXPECT_EQ(graph->EnumCardsets(rec, 2), E_FAIL);
    EXPECT_EQ(graph->GetCardsetMrid(0), MQFG_NO_CARDSET);
    EXPECT_EQ(graph->EnumFilterInstances(kMixer, kStudioA, rec, 2), E_FAIL);
    EXPECT_EQ(graph->FindCardsetIndex(kMixer, kStudioA), 0);
    // Filters are still created, just on no particular resource.
    auto f = add(kMixer, "mixer");
    EXPECT_EQ(inner(f)->mrid(), 0u);
}

} // namespace
