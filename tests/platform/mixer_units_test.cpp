// The mixer's units: which unit a filter drives (lowest free, given back on removal, moved on
// request, refused when none is free), the Fiesta channels' time-base correctors in their
// freeze pairs, still transfers with their checks, and the pins the graph builders rely on.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "framebuffer/mtx_color.h"
#include "mixer_harness.h"
#include "support/test_support.h"

namespace {

using zk::JournalKind;

LONG unit_of(IBaseFilter* f)
{
    LONG unit = -2;
    zk::ComPtr<IMixerUnit> u;
    EXPECT_EQ(f->QueryInterface(IMixerUnit::kIid, u.put_void()), S_OK);
    if (u) {
        EXPECT_EQ(u->GetUnit(&unit), S_OK);
    }
    return unit;
}

TEST(MixerUnits, EachFilterDrivesTheLowestFreeUnitUntilItLeaves)
{
    zt::MixerBench bench;
    std::vector<zk::ComPtr<IBaseFilter>> f;
    for (int i = 0; i < 3; ++i) f.push_back(bench.add(CLSID_FiestaRenderer));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(unit_of(f[static_cast<size_t>(i)].get()), i);

    bench.remove(f[1].get());
    EXPECT_EQ(unit_of(f[1].get()), -1);
    EXPECT_FALSE(bench.model().state().unit("Fiesta1").present);
    auto again = bench.add(CLSID_FiestaRenderer);
    EXPECT_EQ(unit_of(again.get()), 1) << "the freed unit is the lowest free one";

    // The rule cannot tell a graph that means channels 3 and 4 without 1 and 2 from one that
    // means 1 and 2; such a graph says so with SelectUnit.
    auto third = bench.add(CLSID_FiestaRenderer);
    EXPECT_EQ(unit_of(third.get()), 3);
    auto u = third.as<IMixerUnit>();
    EXPECT_EQ(u->SelectUnit(4), S_OK);
    EXPECT_EQ(unit_of(third.get()), 4);
    EXPECT_EQ(u->SelectUnit(0), MQ_E_UNIT_IN_USE);
    EXPECT_EQ(u->SelectUnit(5), MQ_E_UNIT_IN_USE);
    EXPECT_EQ(u->SelectUnit(-1), MQ_E_UNIT_IN_USE);
    EXPECT_EQ(u->SelectUnit(4), S_OK);
    const auto state = bench.model().state();
    EXPECT_FALSE(state.unit("Fiesta3").present);
    EXPECT_TRUE(state.unit("Fiesta4").present);

    zk::ComPtr<IBaseFilter> loose;
    ASSERT_EQ(CoCreateInstance(CLSID_FiestaRenderer, nullptr, CLSCTX_INPROC, IID_IBaseFilter, loose.put_void()), S_OK);
    EXPECT_EQ(unit_of(loose.get()), -1);
    EXPECT_EQ(loose.as<IMixerUnit>()->SelectUnit(3), VFW_E_NOT_IN_GRAPH);
}

TEST(MixerUnits, TheBoardHasOnlySoManyOfEach)
{
    zt::MixerBench bench;
    std::vector<zk::ComPtr<IBaseFilter>> keep;
    for (int i = 0; i < 5; ++i) keep.push_back(bench.add(CLSID_FiestaRenderer));
    struct Case {
        CLSID clsid;
        int units;
    };
    for (const Case c : {Case{CLSID_WipeRenderer, 2}, Case{CLSID_BorderGenerator, 2}, Case{CLSID_BackgroundGenerator2, 1},
                         Case{CLSID_MainOutputSelect, 1}, Case{CLSID_VideoKeyCombiner3, 1}}) {
        for (int i = 0; i < c.units; ++i) keep.push_back(bench.add(c.clsid));
    }
    for (const CLSID clsid : {CLSID_FiestaRenderer, CLSID_WipeRenderer, CLSID_BorderGenerator, CLSID_BackgroundGenerator2,
                              CLSID_MainOutputSelect, CLSID_VideoKeyCombiner3}) {
        HRESULT hr = S_OK;
        EXPECT_FALSE(bench.add(clsid, &hr)) << zk::guid_to_string(clsid);
        EXPECT_EQ(hr, MQ_E_NO_FREE_UNIT) << zk::guid_to_string(clsid);
    }
    // Data sources drive no unit: any number of them.
    for (int i = 0; i < 40; ++i) EXPECT_TRUE(bench.add(CLSID_DirectDataSource));
    EXPECT_TRUE(bench.add(CLSID_WaveSource));
    EXPECT_TRUE(bench.add(CLSID_WaveSource));
}

TEST(MixerUnits, AGraphThatGoesAwayGivesItsUnitsBack)
{
    zt::MixerBench bench;
    {
        zk::ComPtr<IGraphBuilder> other;
        ASSERT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC, IID_IGraphBuilder, other.put_void()), S_OK);
        zk::ComPtr<IBaseFilter> f;
        ASSERT_EQ(CoCreateInstance(CLSID_BackgroundGenerator2, nullptr, CLSCTX_INPROC, IID_IBaseFilter, f.put_void()), S_OK);
        ASSERT_EQ(other->AddFilter(f.get(), nullptr), S_OK);
        EXPECT_TRUE(bench.model().state().unit("BGen2").present);
    }
    EXPECT_FALSE(bench.model().state().unit("BGen2").present);
    EXPECT_TRUE(bench.add(CLSID_BackgroundGenerator2));
    const auto claims = bench.board().journal().where(
        [](const zk::JournalEntry& e) { return e.kind == JournalKind::StateChange && e.target == "BGen2"; });
    ASSERT_EQ(claims.size(), 3u);
    EXPECT_EQ(claims[0].text, "claimed");
    EXPECT_EQ(claims[1].text, "released");
    EXPECT_EQ(claims[2].text, "claimed");
}

// ---- time-base correctors ----

struct TbcPair {
    const char* name;
    DWORD rate;
    _DISPLAY_MODE mode;
    bool frozen;
};

const TbcPair kPairs[] = {
    {"freeze", 0, DISPLAY_FRAME, true},
    {"field_freeze", 0, DISPLAY_FIELD, true},
    {"unfreeze", 1, DISPLAY_FRAME, false},
};

void PrintTo(const TbcPair& p, std::ostream* out) { *out << p.name; }

class MixerTbc : public ::testing::TestWithParam<TbcPair> {};

TEST_P(MixerTbc, ThroughTheControlAndThroughTheTbcPacket)
{
    const TbcPair& pair = GetParam();
    for (bool by_packet : {false, true}) {
        SCOPED_TRACE(by_packet ? "packet" : "control");
        zt::MixerBench bench;
        auto f0 = bench.add(CLSID_FiestaRenderer);
        auto f1 = bench.add(CLSID_FiestaRenderer);
        auto tbc = f1.as<ITBCControl>();
        ASSERT_TRUE(tbc);
        ASSERT_EQ(tbc->SetStrobeRate(7), S_OK);
        ASSERT_EQ(tbc->SetDisplayMode(pair.mode == DISPLAY_FRAME ? DISPLAY_FIELD : DISPLAY_FRAME), S_OK);
        const auto mark = bench.mark();
        if (by_packet) {
            auto data = bench.connection_to(f1.get(), "TBC In");
            zt::Packet p(GUID_NULL, pair.rate, static_cast<DWORD>(pair.mode), MQ_DATAFORMAT_TBC);
            ASSERT_EQ(data->ReceiveData(&p.packet, sizeof p.packet), S_OK);
        } else {
            ASSERT_EQ(tbc->SetStrobeRate(pair.rate), S_OK);
            ASSERT_EQ(tbc->SetDisplayMode(pair.mode), S_OK);
        }
        DWORD rate = 99;
        _DISPLAY_MODE mode = DISPLAY_FIELD;
        ASSERT_EQ(tbc->GetStrobeRate(&rate), S_OK);
        ASSERT_EQ(tbc->GetDisplayMode(&mode), S_OK);
        EXPECT_EQ(rate, pair.rate);
        EXPECT_EQ(mode, pair.mode);
        const auto state = bench.model().state();
        EXPECT_EQ(state.channels[1].frozen(), pair.frozen);
        EXPECT_EQ(state.channels[1].display_mode, pair.mode);
        EXPECT_EQ(state.channels[0].strobe_rate, 1u) << "only the renderer's own channel";

        const auto changes = bench.journal(JournalKind::StateChange, mark);
        std::vector<std::string> texts;
        for (const auto& e : changes) {
            if (e.target == "Fiesta1") texts.push_back(e.text);
        }
        const std::vector<std::string> expected = {"strobe rate " + std::to_string(pair.rate),
                                                   std::string("display ") + (pair.mode == DISPLAY_FIELD ? "field" : "frame")};
        EXPECT_EQ(texts, expected);
    }
}

INSTANTIATE_TEST_SUITE_P(FreezePairs, MixerTbc, ::testing::ValuesIn(kPairs),
                         [](const ::testing::TestParamInfo<TbcPair>& info) { return std::string(info.param.name); });

TEST(MixerTbcControl, RefusesUnknownModesAndChannelsOutsideAGraph)
{
    zt::MixerBench bench;
    auto f = bench.add(CLSID_FiestaRenderer);
    EXPECT_EQ(f.as<ITBCControl>()->SetDisplayMode(static_cast<_DISPLAY_MODE>(2)), E_INVALIDARG);
    EXPECT_EQ(bench.model().state().channels[0].display_mode, DISPLAY_FRAME);
    zk::ComPtr<IBaseFilter> loose;
    ASSERT_EQ(CoCreateInstance(CLSID_FiestaRenderer, nullptr, CLSCTX_INPROC, IID_IBaseFilter, loose.put_void()), S_OK);
    EXPECT_EQ(loose.as<ITBCControl>()->SetStrobeRate(0), VFW_E_NOT_IN_GRAPH);
    // Only Fiesta renderers have a time-base corrector and a frame store.
    auto wipe = bench.add(CLSID_WipeRenderer);
    EXPECT_FALSE(wipe.as<ITBCControl>());
    EXPECT_FALSE(wipe.as<ITransferDIB>());
    EXPECT_FALSE(wipe.as<IKeyframeControl>());
}

// ---- stills ----

struct VideoType {
    BITMAPINFOHEADER header{40, 720, 486, 1, 32, 0, 0, 0, 0, 0, 0};
    AM_MEDIA_TYPE mt{};
    explicit VideoType(const GUID& subtype = MEDIASUBTYPE_RGB32)
    {
        mt.majortype = MEDIATYPE_Video;
        mt.subtype = subtype;
        mt.cbFormat = sizeof header;
        mt.pbFormat = reinterpret_cast<BYTE*>(&header);
    }
};

MQ_TRANSFER_DIB transfer(LONG w, LONG h, LONG sx, LONG sy, LONG cw, LONG ch, LONG dx, LONG dy)
{
    return MQ_TRANSFER_DIB{sizeof(MQ_TRANSFER_DIB), w, h, static_cast<DWORD>(w * h * 4), sx, sy, cw, ch, dx, dy};
}

TEST(MixerStills, PutAndGetCopyTheRectangleBetweenHostAndStore)
{
    zt::MixerBench bench;
    auto f0 = bench.add(CLSID_FiestaRenderer);
    auto f1 = bench.add(CLSID_FiestaRenderer);
    auto dib = f1.as<ITransferDIB>();
    std::mt19937 rng(zt::test_seed());
    std::vector<std::uint32_t> host(100 * 60);
    for (auto& p : host) p = rng();
    VideoType rgb;

    const auto mark = bench.mark();
    const MQ_TRANSFER_DIB put = transfer(100, 60, 10, 5, 80, 50, 600, 400);
    ASSERT_EQ(dib->PutFrame(&put, host.data(), &rgb.mt), S_OK);
    const auto stills = bench.journal(JournalKind::Still, mark);
    ASSERT_EQ(stills.size(), 1u);
    EXPECT_EQ(stills[0].target, "Fiesta1");
    EXPECT_EQ(stills[0].text, "put 80x50 from (10,5) to (600,400) rgb32");
    EXPECT_EQ(stills[0].bytes, zt::bytes_of(put));

    const auto state = bench.model().state();
    ASSERT_TRUE(state.channels[1].store);
    EXPECT_FALSE(state.channels[0].store);
    const auto& store = state.channels[1].store->pixels;
    for (int y = 0; y < 486; ++y) {
        for (int x = 0; x < 720; ++x) {
            const bool in = x >= 600 && x < 680 && y >= 400 && y < 450;
            const std::uint32_t want = in ? host[static_cast<size_t>(y - 400 + 5) * 100 + static_cast<size_t>(x - 600 + 10)] : 0;
            ASSERT_EQ(store[static_cast<size_t>(y) * 720 + static_cast<size_t>(x)], want) << x << "," << y;
        }
    }

    // Back out: the whole frame into a host picture of its size, as RGB and as AYUV words.
    std::vector<std::uint32_t> frame(720 * 486, 0xDEADBEEF);
    const MQ_TRANSFER_DIB all = transfer(720, 486, 0, 0, 720, 486, 0, 0);
    ASSERT_EQ(dib->GetFrame(&all, frame.data(), &rgb.mt), S_OK);
    EXPECT_EQ(frame, store);
    VideoType ayuv(MEDIASUBTYPE_AYUV);
    ASSERT_EQ(dib->GetFrame(&all, frame.data(), &ayuv.mt), S_OK);
    MtxColor colour;
    EXPECT_EQ(frame[400 * 720 + 600], colour.ARGBtoYUV(store[400 * 720 + 600]));
}

TEST(MixerStills, AnAyuvPutComesBackAsTheColoursThatWereConverted)
{
    zt::MixerBench bench;
    auto f = bench.add(CLSID_FiestaRenderer);
    MtxColor colour;
    const std::uint32_t argb[] = {0xFF0000FF, 0x80FF0000, 0xFF00FF00, 0xFF808080};
    std::vector<std::uint32_t> host;
    for (std::uint32_t c : argb) host.push_back(colour.ARGBtoYUV(c));
    VideoType ayuv(MEDIASUBTYPE_AYUV);
    const MQ_TRANSFER_DIB put = transfer(4, 1, 0, 0, 4, 1, 0, 0);
    ASSERT_EQ(f.as<ITransferDIB>()->PutFrame(&put, host.data(), &ayuv.mt), S_OK);
    const auto& store = bench.model().state().channels[0].store->pixels;
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(store[i] >> 24, argb[i] >> 24) << i;
        for (int shift : {0, 8, 16}) {
            const int got = static_cast<int>(store[i] >> shift & 0xFF), want = static_cast<int>(argb[i] >> shift & 0xFF);
            EXPECT_NEAR(got, want, 4) << i << " byte " << shift / 8;
        }
    }
}

TEST(MixerStills, RefusesTransfersThatDoNotFit)
{
    zt::MixerBench bench;
    auto f = bench.add(CLSID_FiestaRenderer);
    auto dib = f.as<ITransferDIB>();
    std::vector<std::uint32_t> host(64 * 64);
    VideoType rgb;
    struct Case {
        const char* name;
        MQ_TRANSFER_DIB t;
        HRESULT expected;
    };
    MQ_TRANSFER_DIB bad_size = transfer(64, 64, 0, 0, 8, 8, 0, 0);
    bad_size.dwSize = 36;
    MQ_TRANSFER_DIB short_buffer = transfer(64, 64, 0, 0, 8, 8, 0, 0);
    short_buffer.cbBuffer -= 1;
    MQ_TRANSFER_DIB huge = transfer(64, 64, 0, 0, 8, 8, 0, 0);
    huge.lWidth = 0x7FFFFFFF;
    huge.lHeight = 0x7FFFFFFF;
    const Case cases[] = {
        {"record size", bad_size, E_INVALIDARG},
        {"buffer shorter than the picture", short_buffer, E_INVALIDARG},
        {"picture beyond any buffer", huge, E_INVALIDARG},
        {"source past the right edge", transfer(64, 64, 60, 0, 8, 8, 0, 0), E_INVALIDARG},
        {"negative source", transfer(64, 64, -1, 0, 8, 8, 0, 0), E_INVALIDARG},
        {"destination at x 720", transfer(64, 64, 0, 0, 8, 8, 720, 0), E_INVALIDARG},
        {"destination past the bottom", transfer(64, 64, 0, 0, 8, 8, 0, 480), E_INVALIDARG},
        {"nothing to copy", transfer(64, 64, 0, 0, 0, 8, 0, 0), E_INVALIDARG},
    };
    for (const Case& c : cases) EXPECT_EQ(dib->PutFrame(&c.t, host.data(), &rgb.mt), c.expected) << c.name;
    const MQ_TRANSFER_DIB ok = transfer(64, 64, 0, 0, 8, 8, 0, 0);
    EXPECT_EQ(dib->PutFrame(&ok, nullptr, &rgb.mt), E_POINTER);
    EXPECT_EQ(dib->PutFrame(nullptr, host.data(), &rgb.mt), E_POINTER);
    EXPECT_EQ(dib->PutFrame(&ok, host.data(), nullptr), E_POINTER);
    VideoType audio;
    audio.mt.majortype = MEDIATYPE_Audio;
    VideoType planes;
    planes.header.biPlanes = 2;
    VideoType bits;
    bits.header.biBitCount = 24;
    VideoType no_format;
    no_format.mt.cbFormat = 39;
    for (VideoType* t : {&audio, &planes, &bits, &no_format})
        EXPECT_EQ(dib->PutFrame(&ok, host.data(), &t->mt), VFW_E_INVALIDMEDIATYPE);
    EXPECT_FALSE(bench.model().state().channels[0].store) << "nothing was stored";
    const MQ_TRANSFER_DIB get_past = transfer(64, 64, 0, 0, 8, 8, 60, 0);
    EXPECT_EQ(dib->GetFrame(&get_past, host.data(), &rgb.mt), E_INVALIDARG);
}

// ---- pins the builders connect by ----

TEST(MixerCatalogue, ConnectsTheWaysTheGraphBuildersDo)
{
    zt::MixerBench bench;
    struct Link {
        CLSID from;
        const char* out;
        CLSID to;
        const char* in;
    };
    // The links whose pin names the configurations' descriptions leave open or disagree on.
    const Link links[] = {
        {CLSID_BorderGenerator, "", CLSID_WipeRenderer, "Background In"},
        {CLSID_DirectDataSource, "Video Out", CLSID_BorderGenerator, "Border In"},
        {CLSID_MainOutputSelect, "M2B Out", CLSID_Movie2BusControlIn, "Main Bus"},
        {CLSID_Movie2BusControlIn, "Main Bus", CLSID_DigiLinxOutput0, "Main"},
        {CLSID_FxOutputBSelect, "M2B Key Out", CLSID_Movie2BusControlOut, "Key Out Bus"},
        {CLSID_Movie2BusControlOut, "Key In Bus", CLSID_GenieRenderer, "KeyIn In"},
        {CLSID_VfxSource, "", CLSID_GenieRenderer, "Vfx In"},
        {CLSID_WaveSource, "Audio Out", CLSID_AudioMixer, "Audio In 0"},
        {CLSID_LiveAudioInput, "Audio Out 1", CLSID_AudioMixer, "Audio In 1"},
        {CLSID_AudioMixer, "Audio Master Out 0", CLSID_AudioOutput, "Audio In 0"},
    };
    std::map<std::string, zk::ComPtr<IBaseFilter>> made;
    auto get = [&](REFCLSID clsid) {
        auto& f = made[zk::guid_to_string(clsid)];
        if (!f || clsid == CLSID_DirectDataSource) f = bench.add(clsid);
        return f.get();
    };
    for (const Link& l : links) {
        IBaseFilter* from = get(l.from);
        IBaseFilter* to = get(l.to);
        EXPECT_EQ(bench.connect(from, l.out, to, l.in), S_OK) << l.out << " -> " << l.in;
    }
    // The mixer's audio inputs are numbered: a file source reconnected for the left channel
    // names "Audio In 0"; there is no "Audio In".
    IBaseFilter* mixer = get(CLSID_AudioMixer);
    EXPECT_FALSE(zt::pin_of(mixer, "Audio In", PINDIR_INPUT));
    zk::ComPtr<IPin> left = zt::pin_of(mixer, "Audio In 0", PINDIR_INPUT);
    zk::ComPtr<IPin> wave;
    ASSERT_EQ(left->ConnectedTo(wave.put()), S_OK);
    ASSERT_EQ(bench.graph()->Disconnect(left.get()), S_OK);
    ASSERT_EQ(bench.graph()->Disconnect(wave.get()), S_OK);
    auto file = bench.add(CLSID_DigiSuiteFileSource);
    EXPECT_EQ(bench.connect(file.get(), "", mixer, "Audio In 0"), S_OK);
    // Key combiner n is {2BD503C0 + n}.
    for (int n = 0; n < 5; ++n) {
        GUID g = CLSID_VideoKeyCombiner0;
        g.Data1 += static_cast<DWORD>(n);
        const zk::mixer::MixerClass* c = zk::mixer::mixer_class(g);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->family, "KeyCombiner" + std::to_string(n));
    }
}

} // namespace
