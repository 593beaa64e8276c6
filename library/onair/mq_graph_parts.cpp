// The mixer's parts of CMQGraph: the crosspoint table, the layer modes, and the helper that
// adds, joins and takes away filters for a configuration.
#include "onair/mq_graph_parts.h"

#include "core/errors.h"
#include "framebuffer/mtx_color.h"
#include "platform/board/board_memory.h"

namespace zk::graph {
namespace {

Crosspoint xp(unsigned xx, long index)
{
    return Crosspoint{mq_hwconn_source(xx), index};
}

} // namespace

std::string hw_name(int hw)
{
    if (hw == kHwMainOut) return "MainOut";
    if (hw == kHwPreOut) return "PreOut";
    if (hw >= kHwLayer && hw < kHwLayer + 6) {
        const int p = (hw - kHwLayer) / 3, l = (hw - kHwLayer) % 3;
        return "PP" + std::to_string(p) + "Layer" + std::to_string(l + 1);
    }
    if (hw >= kHwFiestaIn && hw < kHwFiestaIn + 4) return "Fiesta" + std::to_string(hw - kHwFiestaIn + 1);
    switch (hw) {
    case kHwKeyVideo3:
        return "KeyVideo3";
    case kHwKeyKey3:
        return "KeyKey3";
    case kHwKeyVideo4:
        return "KeyVideo4";
    case kHwKeyKey4:
        return "KeyKey4";
    case kHwWipe:
        return "Wipe0";
    case kHwWipe + 1:
        return "Wipe1";
    case kHwVfxVideo:
        return "Vfx_Vidkey Video";
    case kHwVfxKey:
        return "Vfx_Vidkey Key";
    case kHwVfxEfxB:
        return "Vfx_EFXB";
    default:
        return "HwConn" + std::to_string(hw);
    }
}

// The crosspoint sources. Fiesta channel n's output is {1C230750 + n}, as the board knows it;
// the others are this system's own numbering of what the mixer can route, one GUID per thing
// and the input index telling its outputs apart.
Crosspoint xp_fiesta(int channel)
{
    return xp(0x50u + static_cast<unsigned>(channel), 0);
}
Crosspoint xp_bus(int bus)
{
    return xp(0x56, bus);
}
Crosspoint xp_background()
{
    return xp(0x57, 0);
}
Crosspoint xp_graphics(int key)
{
    return xp(0x58, key);
}
Crosspoint xp_line(int line)
{
    return xp(0x59, line);
}
Crosspoint xp_combiner(int which)
{
    return xp(0x5A, which);
}
Crosspoint xp_processor(int p, int key)
{
    return xp(0x5Bu + static_cast<unsigned>(p), key);
}
Crosspoint xp_live()
{
    return xp(0x5D, 0);
}
Crosspoint xp_genie(int key)
{
    return xp(0x5E, key);
}
Crosspoint xp_sdi_capture()
{
    return xp(0x5F, 0);
}
Crosspoint xp_none()
{
    return Crosspoint{MQ_HWCONN_SOURCE_NONE, 0};
}

// The layer modes, bottom layer first (the processors stack "Layer 3" over "Layer 2" over
// "Layer 1"):
//   0  channel 0, line 0, graphics        line 0 over the live channel, captions on top
//   1  line 0, line 1, graphics           both lines, captions on top (the telop's mode)
//   2  channel 0, line 1, graphics
//   3  line 0, graphics, line 1           line 1 over the captions
//   4  channel 0, line 0, line 1          no captions
// Processor 1 makes the key and FX outputs: the same layers, but its first layer only with the
// video level on (else the empty source, so the key carries no picture below the layers).
// Live super puts the live input in the first layer. The main output takes processor 0.
LayerSelection layer_selection(int mode, bool video_level, bool live_super, int genie_line)
{
    const Crosspoint f0 = xp_fiesta(0), l0 = xp_line(0), l1 = xp_line(1), g = xp_graphics(0);
    static const int kModes = 5;
    const int m = mode >= 0 && mode < kModes ? mode : 1;
    std::array<Crosspoint, 3> layers;
    switch (m) {
    case 0:
        layers = {f0, l0, g};
        break;
    case 1:
        layers = {l0, l1, g};
        break;
    case 2:
        layers = {f0, l1, g};
        break;
    case 3:
        layers = {l0, g, l1};
        break;
    default:
        layers = {f0, l0, l1};
        break;
    }
    if (live_super) layers[0] = xp_live();
    if (genie_line == 0 || genie_line == 1) {
        for (Crosspoint& c : layers) {
            if (c.source == xp_line(genie_line).source && c.index == genie_line) c = xp_genie(0);
        }
    }
    LayerSelection s;
    s.layers[0] = layers;
    s.layers[1] = layers;
    if (!video_level) s.layers[1][0] = xp_none();
    s.main_out = xp_processor(0, 0);
    return s;
}

HRESULT send_packet(IDirectData* data, const GUID& source, const GUID& format, DWORD w0, DWORD w1)
{
    DWORD payload[2] = {w0, w1};
    MQ_DIRECTDATA_PACKET packet{};
    packet.type = MQ_DATATYPE_DIRECTDATA;
    packet.source = source;
    packet.dwWord32 = 1;
    packet.format = format;
    packet.dwPayloadSize = sizeof payload;
    // Never an address: the packet's word is 32 bits, and the board must not trust one.
    packet.dwPayloadToken = map_board_memory(payload, sizeof payload);
    const HRESULT hr = packet.dwPayloadToken ? data->ReceiveData(&packet, sizeof packet) : E_OUTOFMEMORY;
    unmap_board_memory(packet.dwPayloadToken);
    return hr;
}

Parts::Parts()
{
    // A wipe unit starts as a plain mix at its end (the line shown whole), with its border off
    // and black; the wipe record's constant words are those every wipe carries.
    auto words = [](std::initializer_list<std::uint32_t> list) {
        std::vector<std::uint8_t> out;
        for (std::uint32_t w : list) {
            for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(w >> (8 * i)));
        }
        return out;
    };
    MtxColor colour;
    for (WipeUnit& w : wipe) {
        w.wipe_record = words({0, 0, 0, 16u | 16u << 16, 0, 0, 0, 0, 1});
        w.fader_record = words({0, 0x1000000});
        w.border_record = words({0, colour.ARGBtoYUV(0xFF000000u)});
    }
}

std::vector<Slot*> Parts::slots()
{
    std::vector<Slot*> all = {&input_select, &input_select2, &bus_input, &alpha_key, &tee, &fx_a, &fx_b,
                              &main_out, &alpha_out, &preview_out, &bgen2, &bgen2_source, &bus_control_in,
                              &bus_control_out, &sdti_bus, &audio_mixer, &audio_out, &volume_source, &live_audio,
                              &genie, &vfx_source};
    for (auto* group : {&key_combiner}) {
        for (Slot& s : *group) all.push_back(&s);
    }
    for (auto* group : {&processor, &linx_out, &sdi_out, &motion, &wave}) {
        for (Slot& s : *group) all.push_back(&s);
    }
    for (FiestaUnit& f : fiesta) {
        all.push_back(&f.renderer);
        for (Slot& s : f.sources) all.push_back(&s);
        all.push_back(&f.tbc_source);
    }
    for (WipeUnit& w : wipe) {
        for (Slot* s : {&w.renderer, &w.wipe_source, &w.fader_source, &w.border_source, &w.border}) all.push_back(s);
    }
    for (Connection& c : hw) all.push_back(&c.slot);
    return all;
}

void Parts::drop_orphans()
{
    for (FiestaUnit& f : fiesta) {
        if (!f.renderer.held()) f.tbc.reset();
        for (int k = 0; k < kSourceKinds; ++k) {
            if (!f.sources[static_cast<size_t>(k)].held()) f.controls[static_cast<size_t>(k)].reset();
        }
        if (!f.tbc_source.held()) f.tbc_data.reset();
    }
    for (WipeUnit& w : wipe) {
        const Slot* sources[kWipeKinds] = {&w.wipe_source, &w.fader_source, &w.border_source};
        for (int k = 0; k < kWipeKinds; ++k) {
            if (!sources[k]->held()) w.controls[static_cast<size_t>(k)].reset();
        }
    }
    for (Connection& c : hw) {
        if (!c.slot.held()) c.data.reset();
    }
    if (!bgen2_source.held()) bgen2_control.reset();
    if (!volume_source.held()) volume_control.reset();
    if (!vfx_source.held()) vfx_data.reset();
    if (!genie.held()) genie_position.reset();
}

void Parts::each_control(std::vector<ComPtr<IKeyframeControl>>& controls,
                         std::vector<ComPtr<IDirectData>>& data) const
{
    auto keep = [&](const ComPtr<IKeyframeControl>& c) {
        if (c) controls.push_back(c);
    };
    auto keep_data = [&](const ComPtr<IDirectData>& d) {
        if (d) data.push_back(d);
    };
    for (const FiestaUnit& f : fiesta) {
        for (const auto& c : f.controls) keep(c);
        keep_data(f.tbc_data);
    }
    for (const WipeUnit& w : wipe) {
        for (const auto& c : w.controls) keep(c);
    }
    keep(bgen2_control);
    keep(volume_control);
    for (const Connection& c : hw) keep_data(c.data);
    keep_data(vfx_data);
}

} // namespace zk::graph

using zk::graph::Config;
using zk::graph::Slot;

CMQGraph::Build::Build(CMQGraph& graph, Config owner) : graph_(graph), previous_(graph.m_pParts->building)
{
    graph_.m_pParts->building = owner;
}

CMQGraph::Build::~Build()
{
    graph_.m_pParts->building = previous_;
}

HRESULT CMQGraph::Build::fail(const std::string& message, HRESULT hr)
{
    graph_.DestroyGraph();
    ReportError(message.c_str(), hr);
    return ZK_FAIL(hr);
}

HRESULT CMQGraph::Build::add(Slot& slot, REFCLSID clsid, const std::string& message)
{
    if (slot.held()) return S_OK;
    zk::ComPtr<IBaseFilter> filter;
    const HRESULT hr = graph_.AddFilter(clsid, filter.put(), nullptr, 0);
    if (FAILED(hr)) return fail(message, hr);
    std::lock_guard<std::mutex> guard(parts().lock);
    slot.filter = std::move(filter);
    slot.owner = parts().building;
    return S_OK;
}

HRESULT CMQGraph::Build::add_unit(Slot& slot, REFCLSID clsid, int unit, const std::string& message)
{
    const bool was_held = slot.held();
    HRESULT hr = add(slot, clsid, message);
    if (FAILED(hr) || was_held) return hr;
    // The board gives a joining filter the lowest free unit of its kind; this one is unit n.
    zk::ComPtr<IMixerUnit> u = slot.filter.as<IMixerUnit>();
    hr = u ? u->SelectUnit(unit) : E_NOINTERFACE;
    return FAILED(hr) ? fail(message, hr) : S_OK;
}

namespace {

// Whether `out` of one filter already feeds `in` of the other.
bool already_connected(CMQGraph& graph, IBaseFilter* from, const char* out, IBaseFilter* to, const char* in)
{
    if (!from || !to) return false;
    zk::ComPtr<IPin> o = zk::ComPtr<IPin>::attach(graph.FindPin(from, out, PINDIR_OUTPUT));
    zk::ComPtr<IPin> i = zk::ComPtr<IPin>::attach(graph.FindPin(to, in, PINDIR_INPUT));
    zk::ComPtr<IPin> peer;
    return o && i && SUCCEEDED(o->ConnectedTo(peer.put())) && peer.get() == i.get();
}

} // namespace

HRESULT CMQGraph::Build::connect(const Slot& from, const char* out, const Slot& to, const char* in,
                                 const std::string& what)
{
    if (already_connected(graph_, from.filter.get(), out, to.filter.get(), in)) return S_OK;
    const HRESULT hr = graph_.ConnectPins(from.filter.get(), out, to.filter.get(), in);
    return FAILED(hr) ? fail("ConnectErr " + what, hr) : S_OK;
}

HRESULT CMQGraph::Build::control(const Slot& source, zk::ComPtr<IKeyframeControl>& out, const std::string& name)
{
    zk::ComPtr<IKeyframeControl> c;
    HRESULT hr = source.held() ? source.filter->QueryInterface(IKeyframeControl::kIid, c.put_void()) : E_POINTER;
    if (FAILED(hr)) return fail("InterfaceErr " + name, hr);
    std::lock_guard<std::mutex> guard(parts().lock);
    out = std::move(c);
    return S_OK;
}

HRESULT CMQGraph::Build::begin(IKeyframeControl* control, const std::string& name)
{
    const HRESULT hr = control ? control->BeginData() : E_POINTER;
    return FAILED(hr) ? fail("BeginDataErr " + name, hr) : S_OK;
}

HRESULT CMQGraph::Build::send(IKeyframeControl* control, const std::vector<std::uint8_t>& record,
                              const std::string& name)
{
    const HRESULT hr =
        control ? control->SendKeyframe(record.data(), static_cast<DWORD>(record.size())) : E_POINTER;
    return FAILED(hr) ? fail("SendKeyframeErr " + name, hr) : S_OK;
}

HRESULT CMQGraph::Build::connection(int hw)
{
    zk::graph::Connection& c = parts().hw[static_cast<size_t>(hw)];
    const std::string name = "HwConn_" + zk::graph::hw_name(hw);
    HRESULT hr = add(c.slot, CLSID_DirectDataSource, "ErrAddFilter " + name);
    if (FAILED(hr)) return hr;
    if (c.data) return S_OK;
    zk::ComPtr<IDirectData> data;
    hr = c.slot.filter->QueryInterface(IDirectData::kIid, data.put_void());
    if (FAILED(hr)) return fail("ErrIDirectData interface " + name, hr);
    std::lock_guard<std::mutex> guard(parts().lock);
    c.data = std::move(data);
    return S_OK;
}

HRESULT CMQGraph::Build::begin_connection(int hw)
{
    IDirectData* data = parts().hw[static_cast<size_t>(hw)].data.get();
    const HRESULT hr = data ? data->BeginData() : E_POINTER;
    return FAILED(hr) ? fail("BeginData failed on Direct Data HwConn filter", hr) : S_OK;
}

HRESULT CMQGraph::Build::select(int hw, const zk::graph::Crosspoint& xp, const std::string& name)
{
    const long hr = graph_.HwConnSelect(parts().hw[static_cast<size_t>(hw)].data.get(), xp.source, xp.index);
    return FAILED(hr) ? fail("Err HwConnSel " + name, hr) : S_OK;
}

void CMQGraph::Build::remove(Slot& slot)
{
    if (!slot.held()) return;
    zk::ComPtr<IBaseFilter> filter = slot.filter;
    graph_.RemoveFilter(filter.get());
    std::lock_guard<std::mutex> guard(parts().lock);
    slot.filter.reset();
    slot.owner = Config::none;
}

void CMQGraph::Build::remove_owned(Config owner)
{
    for (Slot* s : parts().slots()) {
        if (s->held() && s->owner == owner) remove(*s);
    }
    std::lock_guard<std::mutex> guard(parts().lock);
    parts().drop_orphans();
}
