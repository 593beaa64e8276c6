// Shared set-up of the effects-graph tests: a board on a hand-stepped clock with a chosen
// registry (the built-in installation with its SDTI board unless a test asks for a DigiLinx or
// a Genie), an effects graph built on it, and readers of what the graph holds and what reached
// the board: the graph as a sorted list of filters and pin-to-pin connections (each mixer unit
// named as the board names it, "Fiesta3", "WipeBorder1"; data sources as "DirectData"), the
// Keyframe and StateChange entries of the journal, and the crosspoint packets by input.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "framebuffer/mtx_color.h"
#include "onair/gfb_fixture.h"
#include "onair/mq_graph.h"
#include "onair/onair_fixture.h"
#include "platform/board/mixer/mixer_catalogue.h"
#include "platform/board/mixer/mixer_model.h"
#include "platform/filtergraph/graph_dot.h"
#include "platform/filtergraph/virtual_filter.h"
#include "platform/registry/registry.h"
#include "support/test_support.h"

namespace zt {

// The built-in installation, with a DigiLinx and/or a Genie beside it when asked.
inline zk::RegistryStore registry_with(bool linx, bool genie)
{
    std::string text = zk::RegistryStore::default_text();
    if (linx) text += "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Matrox\\DigiSuite\\DigiLinx\\Device0]\n\"BACKPLANE\"=dword:00000000\n";
    if (genie) text += "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Matrox\\DigiSuite\\Genie\\Device0]\n\"NAME\"=\"Genie\"\n";
    auto store = zk::RegistryStore::parse(text);
    return store ? std::move(*store) : zk::RegistryStore{};
}

// How the board knows a filter: its unit ("Fiesta3"), "DirectData", or its family.
inline std::string filter_label(IBaseFilter* filter)
{
    CLSID clsid{};
    filter->GetClassID(&clsid);
    const zk::mixer::MixerClass* cls = zk::mixer::mixer_class(clsid);
    if (!cls) return clsid == CLSID_DigiSuiteFileSource ? "FileSource" : zk::guid_to_string(clsid);
    if (cls->kind == zk::mixer::ClassKind::DirectData && cls->family == "DirectData") return "DirectData";
    LONG unit = -1;
    if (auto u = zk::ComPtr<IBaseFilter>::share(filter).as<IMixerUnit>()) u->GetUnit(&unit);
    return unit >= 0 ? zk::mixer::unit_name(*cls, static_cast<int>(unit)) : cls->family;
}

inline std::string pin_name(IPin* pin)
{
    PIN_INFO info{};
    pin->QueryPinInfo(&info);
    if (info.pFilter) info.pFilter->Release();
    info.achName[127] = 0;
    return zk::to_ansi(info.achName);
}

// What feeds a mixer input ("<unit>:<pin>") of `graph`: "<source label> <file it plays>", or
// "" when nothing is connected there.
inline std::string source_feeding(CMQGraph& graph, const std::string& input)
{
    zk::ComPtr<IEnumFilters> all;
    graph.GetGraphBuilder()->EnumFilters(all.put());
    IBaseFilter* f = nullptr;
    std::string found;
    while (all->Next(1, &f, nullptr) == S_OK) {
        zk::ComPtr<IBaseFilter> filter = zk::ComPtr<IBaseFilter>::attach(f);
        zk::ComPtr<IPin> out = zk::ComPtr<IPin>::attach(graph.FindPin(f, nullptr, PINDIR_OUTPUT));
        zk::ComPtr<IPin> peer;
        if (!out || FAILED(out->ConnectedTo(peer.put())) || !peer) continue;
        PIN_INFO info{};
        peer->QueryPinInfo(&info);
        zk::ComPtr<IBaseFilter> other = zk::ComPtr<IBaseFilter>::attach(info.pFilter);
        if (filter_label(other.get()) + ":" + pin_name(peer.get()) != input) continue;
        auto* virtual_filter = dynamic_cast<zk::VirtualFilter*>(f);
        found = filter_label(f) + " " + (virtual_filter ? virtual_filter->current_file() : "?");
    }
    return found;
}

// The graph as people read it: "filter <label> x<count>" lines, then "<label>:<pin> ->
// <label>:<pin>" for every connection, each group sorted.
inline std::vector<std::string> graph_dump(IFilterGraph* graph)
{
    std::map<std::string, int> filters;
    std::vector<std::string> edges;
    zk::ComPtr<IEnumFilters> all;
    if (!graph || FAILED(graph->EnumFilters(all.put()))) return {};
    IBaseFilter* f = nullptr;
    while (all->Next(1, &f, nullptr) == S_OK) {
        zk::ComPtr<IBaseFilter> filter = zk::ComPtr<IBaseFilter>::attach(f);
        const std::string label = filter_label(f);
        ++filters[label];
        zk::ComPtr<IEnumPins> pins;
        if (FAILED(f->EnumPins(pins.put()))) continue;
        IPin* p = nullptr;
        while (pins->Next(1, &p, nullptr) == S_OK) {
            zk::ComPtr<IPin> pin = zk::ComPtr<IPin>::attach(p);
            PIN_DIRECTION d;
            zk::ComPtr<IPin> peer;
            if (FAILED(pin->QueryDirection(&d)) || d != PINDIR_OUTPUT || FAILED(pin->ConnectedTo(peer.put())) || !peer) continue;
            PIN_INFO info{};
            peer->QueryPinInfo(&info);
            zk::ComPtr<IBaseFilter> other = zk::ComPtr<IBaseFilter>::attach(info.pFilter);
            edges.push_back(label + ":" + pin_name(pin.get()) + " -> " + filter_label(other.get()) + ":" + pin_name(peer.get()));
        }
    }
    std::vector<std::string> out;
    for (const auto& [label, count] : filters) out.push_back("filter " + label + " x" + std::to_string(count));
    std::sort(edges.begin(), edges.end());
    out.insert(out.end(), edges.begin(), edges.end());
    return out;
}

inline std::uint32_t yuv(std::uint32_t argb)
{
    MtxColor c;
    return c.ARGBtoYUV(argb);
}

inline std::vector<std::uint8_t> le_words(std::initializer_list<std::uint32_t> list)
{
    std::vector<std::uint8_t> out;
    for (std::uint32_t w : list) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(w >> (8 * i)));
    }
    return out;
}

template <class Record> std::vector<std::uint8_t> bytes_of(const Record& r)
{
    std::vector<std::uint8_t> out(sizeof r);
    std::memcpy(out.data(), &r, sizeof r);
    return out;
}

// A crosspoint packet as the journal keeps it: the source's low byte (0x50 for {1C230750}, 0
// for the empty source) and the payload's input.
struct Selection {
    std::string input; // "<unit>:<pin>"
    unsigned source;
    std::uint32_t index;
    bool operator==(const Selection&) const = default;
};

inline void PrintTo(const Selection& s, std::ostream* out)
{
    *out << s.input << " <- 0x" << std::hex << s.source << std::dec << "/" << s.index;
}

class EffectsGraphTest : public ::testing::Test {
protected:
    void SetUp() override { start(false, false); }
    void TearDown() override { graph.reset(); }

    void start(bool linx, bool genie, bool build = true)
    {
        graph.reset();
        registry_.reset();
        registry_ = std::make_unique<zk::RegistryOverride>(registry_with(linx, genie));
        graph = std::make_unique<CMQGraph>();
        ASSERT_EQ(graph->Initialize(TRUE), S_OK) << GetLastErrorText();
        if (build) {
            ASSERT_EQ(graph->BuildGraph(), S_OK);
        }
        mark = board().journal().mark();
    }

    zk::VirtualBoard& board() { return board_.board(); }
    std::shared_ptr<zk::VirtualBoard> shared_board() { return board_.shared(); }
    zk::mixer::MixerState mixer() { return zk::mixer::mixer_model(board())->state(); }
    std::vector<std::string> dump() { return graph_dump(graph->GetGraphBuilder()); }

    std::vector<zk::JournalEntry> entries(zk::JournalKind kind, std::uint64_t since)
    {
        return board().journal().where([&](const zk::JournalEntry& e) { return e.seq >= since && e.kind == kind; });
    }
    // The records (not packets) that reached units since `since`, as "<target> <size>".
    std::vector<zk::JournalEntry> records(std::uint64_t since)
    {
        return board().journal().where([&](const zk::JournalEntry& e) {
            return e.seq >= since && e.kind == zk::JournalKind::Keyframe && e.code != sizeof(MQ_DIRECTDATA_PACKET);
        });
    }
    // The crosspoint packets accepted since `since`, in order.
    std::vector<Selection> selections(std::uint64_t since)
    {
        std::vector<Selection> out;
        for (const zk::JournalEntry& e : entries(zk::JournalKind::Keyframe, since)) {
            if (!e.ok || e.code != sizeof(MQ_DIRECTDATA_PACKET)) continue;
            MQ_DIRECTDATA_PACKET p;
            std::memcpy(&p, e.bytes.data(), sizeof p);
            if (!(p.format == MQ_DATAFORMAT_HWCONN)) continue;
            const unsigned source = p.source == MQ_HWCONN_SOURCE_NONE ? 0u : (p.source.Data1 & 0xFFu);
            // The board's text ends with the input taken: "crosspoint {...} input N".
            const std::string input = e.text.substr(e.text.rfind(' ') + 1);
            out.push_back({e.target, source, static_cast<std::uint32_t>(std::stoul(input))});
        }
        return out;
    }
    // The crosspoint feeding a mixer input now, as a Selection.
    Selection now(const std::string& unit, const std::string& pin)
    {
        const zk::mixer::MixerState s = mixer();
        const zk::mixer::Crosspoint* x = s.crosspoint(unit, pin);
        if (!x) return {unit + ":" + pin, 0xFFFF, 0};
        return {unit + ":" + pin, x->source == MQ_HWCONN_SOURCE_NONE ? 0u : (x->source.Data1 & 0xFFu), x->index};
    }

    zk::BoardOverride board_{manual_board()};
    std::unique_ptr<zk::RegistryOverride> registry_;
    BoxRecorder boxes;
    std::unique_ptr<CMQGraph> graph;
    std::uint64_t mark = 0;
};

} // namespace zt
