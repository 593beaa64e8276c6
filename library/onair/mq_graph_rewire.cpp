// CMQGraph: changing the graph while it runs. Crosspoints through the hardware connections,
// the priority processors' layer modes (with live super and the Genie's effect line), the
// preview output, the DigiMix-only live-super rewiring, SDI capture into a channel, and the
// live inputs of the two input selects.
#include <cstdio>
#include <string>

#include "core/errors.h"
#include "onair/mq_graph_parts.h"

using zk::graph::Config;
using zk::graph::Parts;

namespace {

constexpr int kMaxLiveInputs = 10;

} // namespace

long CMQGraph::HwConnSelect(IDirectData* dd, GUID source, long index)
{
    if (!m_bBuilt.load()) return -1;
    if (!dd) {
        ReportError("ReceiveData failed on Direct Data HwConn filter", E_POINTER);
        return ZK_FAIL(E_POINTER);
    }
    dd->EndData();
    const HRESULT hr = zk::graph::send_packet(dd, source, MQ_DATAFORMAT_HWCONN, 0, static_cast<DWORD>(index));
    if (FAILED(hr)) {
        ReportError("ReceiveData failed on Direct Data HwConn filter", hr);
        return ZK_FAIL(hr);
    }
    return 0;
}

// ---- layer modes ----

long CMQGraph::ApplyLayerMode(long mode, bool genie)
{
    Parts& p = *m_pParts;
    if (mode >= 5) p.live_super = true;
    const int base = static_cast<int>(mode % 5);
    const zk::graph::LayerSelection s =
        zk::graph::layer_selection(base, p.video_level, p.live_super, genie && p.genie_filter ? p.genie_line : -1);
    Build b(*this, p.building);
    for (int pp = 0; pp < 2; ++pp) {
        for (int l = 0; l < 3; ++l) {
            const int hw = zk::graph::kHwLayer + 3 * pp + l;
            const HRESULT hr = b.select(hw, s.layers[static_cast<size_t>(pp)][static_cast<size_t>(l)], zk::graph::hw_name(hw));
            if (FAILED(hr)) return hr;
        }
    }
    const HRESULT hr = b.select(zk::graph::kHwMainOut, s.main_out, "MainOut");
    if (FAILED(hr)) return hr;
    p.layer_mode = base + (p.live_super ? 5 : 0);
    return 0;
}

long CMQGraph::ChGraph_PPLayer(long mode)
{
    if (!m_bBuilt.load() || !m_pParts->telop || mode < 0 || mode > 9) return -1;
    if (m_bGenie) return ChGraph_Genie_PPLyer(mode);
    return ApplyLayerMode(mode, false);
}

long CMQGraph::ChGraph_Genie_PPLyer(long mode)
{
    if (!m_bBuilt.load() || !m_pParts->telop || mode < 0 || mode > 9) return -1;
    return ApplyLayerMode(mode, true);
}

long CMQGraph::GetPPLayerMode() const
{
    return m_pParts->layer_mode;
}

BOOL CMQGraph::GetLiveSuper() const
{
    return m_pParts->live_super ? TRUE : FALSE;
}

// The Genie takes its picture from the effect line: the line's wipe output as video and the
// line's key channel as key; FX output B puts the same line on the bus.
long CMQGraph::SelectGenieLine(int line)
{
    using namespace zk::graph;
    Build b(*this, m_pParts->building);
    HRESULT hr = b.select(kHwVfxVideo, xp_line(line), hw_name(kHwVfxVideo));
    if (SUCCEEDED(hr)) hr = b.select(kHwVfxKey, xp_fiesta(2 * line + 2), hw_name(kHwVfxKey));
    if (SUCCEEDED(hr)) hr = b.select(kHwVfxEfxB, xp_line(line), hw_name(kHwVfxEfxB));
    return hr;
}

long CMQGraph::ChGraph_Genie_EfLinePPLyer(long line)
{
    Parts& p = *m_pParts;
    if (!m_bBuilt.load() || !p.telop_genie || line < 0 || line > 1) return -1;
    p.genie_line = static_cast<int>(line);
    const HRESULT hr = SelectGenieLine(p.genie_line);
    if (FAILED(hr) || !p.telop) return hr;
    return ApplyLayerMode(p.layer_mode >= 0 ? p.layer_mode : 1, true);
}

long CMQGraph::ChGraph_PreOut(long channel)
{
    if (!m_bBuilt.load() || !m_pParts->hw[zk::graph::kHwPreOut].data) return -1;
    // Channel n shows alone on preview out; any other number gives the preview back its
    // whole picture.
    const zk::graph::Crosspoint xp =
        channel >= 0 && channel <= 4 ? zk::graph::xp_fiesta(static_cast<int>(channel)) : zk::graph::xp_processor(1, 0);
    Build b(*this, m_pParts->building);
    return b.select(zk::graph::kHwPreOut, xp, "PreOut");
}

long CMQGraph::SetVideoLevelMode(long mode)
{
    if (!m_bBuilt.load()) return -1;
    Parts& p = *m_pParts;
    p.video_level = mode != 0;
    if (!p.telop || p.layer_mode < 0) return 0;
    return ApplyLayerMode(p.layer_mode, m_bGenie != 0);
}

// ---- live super ----

long CMQGraph::RewireLiveSuper(bool on)
{
    if (!m_bBuilt.load()) return -1;
    Parts& p = *m_pParts;
    const long base = p.layer_mode >= 0 ? p.layer_mode % 5 : 1;
    HRESULT hr = S_OK;
    if (p.telop) {
        if (!on) p.live_super = false;
        hr = ChGraph_PPLayer(on ? base + 5 : base);
        if (FAILED(hr)) return hr;
    } else {
        p.live_super = on;
    }
    if (CanStop()) FgStop();
    // Where the processors' layers are fed by pins (the tee of the DigiMix-only
    // configuration), live super puts the live picture of key combiner 0 in processor 0's
    // first layer and the tee's outputs above it; off, the live picture goes back to the
    // preview and the tee feeds the first layer of each processor.
    if (p.tee.held()) {
        Build b(*this, p.building);
        DisconnectPin(p.tee.filter.get(), "Output1", PINDIR_OUTPUT);
        DisconnectPin(p.tee.filter.get(), "Output2", PINDIR_OUTPUT);
        DisconnectPin(p.key_combiner[0].filter.get(), "Video Out", PINDIR_OUTPUT);
        if (on) {
            hr = b.connect(p.key_combiner[0], "Video Out", p.processor[0], "Layer 1", "VidKeyComb0 to PP0");
            if (SUCCEEDED(hr)) hr = b.connect(p.tee, "Output1", p.processor[0], "Layer 2", "HwConnTee to PP0 Layer2");
            if (SUCCEEDED(hr)) hr = b.connect(p.tee, "Output2", p.processor[0], "Layer 3", "HwConnTee to PP0 Layer3");
        } else {
            hr = b.connect(p.key_combiner[0], "Video Out", p.preview_out, "Video In", "VidKeyComb0 to PreOut");
            if (SUCCEEDED(hr)) hr = b.connect(p.tee, "Output1", p.processor[0], "Layer 1", "HwConnTee to PP0");
            if (SUCCEEDED(hr)) hr = b.connect(p.tee, "Output2", p.processor[1], "Layer 1", "HwConnTee to PP1");
        }
        if (FAILED(hr)) return hr;
    }
    FgPlay();
    WaitForCompletion();
    return 0;
}

long CMQGraph::ChGraph_LiveSuperOn()
{
    return RewireLiveSuper(true);
}

long CMQGraph::ChGraph_LiveSuperOff()
{
    return RewireLiveSuper(false);
}

// ---- SDI capture ----

long CMQGraph::SDI_Captuer_Strat(long ch)
{
    Parts& p = *m_pParts;
    if (!m_bBuilt.load() || p.sdi_capture || ch < 0 || ch > 3) return -1;
    p.sdi_capture = true;
    p.sdi_channel = ch;
    const int hw = zk::graph::kHwFiestaIn + static_cast<int>(ch);
    const zk::graph::Crosspoint xp = zk::graph::xp_sdi_capture();
    const long hr = HwConnSelect(p.hw[static_cast<size_t>(hw)].data.get(), xp.source, xp.index);
    if (FAILED(hr)) {
        char text[48];
        std::snprintf(text, sizeof text, "Err HwConnSel Fiesta%ld I0BUS", ch + 1);
        ReportError(text, hr);
        SDI_Captuer_End();
        return hr;
    }
    return 0;
}

long CMQGraph::SDI_Captuer_End()
{
    Parts& p = *m_pParts;
    if (!m_bBuilt.load()) return -1;
    long hr = 0;
    if (p.sdi_channel >= 0) {
        const int hw = zk::graph::kHwFiestaIn + static_cast<int>(p.sdi_channel);
        IDirectData* data = p.hw[static_cast<size_t>(hw)].data.get();
        if (data) {
            const zk::graph::Crosspoint xp = zk::graph::xp_bus(0);
            hr = HwConnSelect(data, xp.source, xp.index);
        }
    }
    p.sdi_capture = false;
    p.sdi_channel = -1;
    return hr;
}

// ---- live inputs ----

MQFG_INPUT_INFO* CMQGraph::FirstLiveInput(bool sdi)
{
    if (!m_bBuilt.load()) return nullptr;
    Parts& p = *m_pParts;
    zk::graph::LiveInputs& inputs = sdi ? p.inputs_sdi : p.inputs;
    zk::graph::Slot& held = sdi ? p.input_select2 : p.input_select;
    // The SDI inputs are read again every time: the capture board's inputs may change.
    if (!inputs.enumerated || sdi) {
        if (sdi && !held.held()) return nullptr;
        zk::ComPtr<IBaseFilter> select = held.filter;
        const bool temporary = !select;
        if (temporary) {
            const HRESULT hr = AddFilter(CLSID_DigiMixInputSelect, select.put(), nullptr, 0);
            if (FAILED(hr)) {
                ReportError("Could not instantiate Digimix Input Select filter", hr);
                return nullptr;
            }
        }
        std::vector<MQFG_INPUT_INFO> list(kMaxLiveInputs);
        const int n = EnumVideoInputs(select.get(), list.data(), kMaxLiveInputs);
        if (temporary) RemoveFilter(select.get());
        list.resize(static_cast<size_t>(n > 0 ? n : 0));
        inputs.list = std::move(list);
        inputs.enumerated = true;
    }
    if (inputs.list.empty()) return nullptr;
    inputs.cursor = 1;
    return &inputs.list[0];
}

MQFG_INPUT_INFO* CMQGraph::NextLiveInput(bool sdi)
{
    if (!m_bBuilt.load()) return nullptr;
    zk::graph::LiveInputs& inputs = sdi ? m_pParts->inputs_sdi : m_pParts->inputs;
    if (inputs.cursor >= inputs.list.size()) return nullptr;
    return &inputs.list[inputs.cursor++];
}

long CMQGraph::SetLiveInputOf(bool sdi, long input)
{
    if (!m_bBuilt.load()) return 1;
    Parts& p = *m_pParts;
    zk::graph::Slot& select = sdi ? p.input_select2 : p.input_select;
    if (sdi && !select.held()) return 1;
    const HRESULT hr = SetVideoInput(select.filter.get(), input);
    if (FAILED(hr)) return hr;
    (sdi ? p.live_input_sdi : p.live_input) = input;
    return 0;
}

long CMQGraph::LiveInputOf(bool sdi)
{
    if (!m_bBuilt.load()) return -1;
    Parts& p = *m_pParts;
    const long remembered = sdi ? p.live_input_sdi : p.live_input;
    if (remembered >= 0) return remembered;
    zk::graph::Slot& held = sdi ? p.input_select2 : p.input_select;
    if (sdi && !held.held()) return -1;
    zk::ComPtr<IBaseFilter> select = held.filter;
    const bool temporary = !select;
    if (temporary && FAILED(AddFilter(CLSID_DigiMixInputSelect, select.put(), nullptr, 0))) {
        ReportError("Could not instantiate Digimix Input Select filter", E_FAIL);
        return -1;
    }
    long result = -1;
    zk::ComPtr<IVideoInput> video = select.as<IVideoInput>();
    LONG current = -1;
    if (!video || FAILED(video->GetInput(&current))) {
        ReportError("Could not get IVideoInput interface", E_NOINTERFACE);
    } else {
        result = current;
    }
    if (temporary) RemoveFilter(select.get());
    return result;
}

MQFG_INPUT_INFO* CMQGraph::GetFirstLiveInput() { return FirstLiveInput(false); }
MQFG_INPUT_INFO* CMQGraph::GetNextLiveInput() { return NextLiveInput(false); }
long CMQGraph::SetLiveInput(long input) { return SetLiveInputOf(false, input); }
long CMQGraph::GetLiveInput() { return LiveInputOf(false); }
MQFG_INPUT_INFO* CMQGraph::GetFirstLiveInput_SDICap() { return FirstLiveInput(true); }
MQFG_INPUT_INFO* CMQGraph::GetNextLiveInput_SDICap() { return NextLiveInput(true); }
long CMQGraph::SetLiveInput_SDICap(long input) { return SetLiveInputOf(true, input); }
long CMQGraph::GetLiveInput_SDICap() { return LiveInputOf(true); }

// Channel 0's picture in place of the second input select on the bus's first input.
long CMQGraph::SelLiveLine_AdcFiesta0()
{
    Parts& p = *m_pParts;
    if (!m_bBuilt.load() || p.adc_fiesta0) return -1;
    if (CanStop()) FgStop();
    Build b(*this, p.building);
    DisconnectPin(p.input_select2.filter.get(), "Video Out", PINDIR_OUTPUT);
    const HRESULT hr = b.connect(p.fiesta[0].renderer, "Video Out", p.bus_input, "I0 In", "Fiesta0 to M2BIn");
    if (FAILED(hr)) return hr;
    FgPlay();
    p.adc_fiesta0 = true;
    return 0;
}

long CMQGraph::SelLiveLine_InputSel2()
{
    Parts& p = *m_pParts;
    if (!m_bBuilt.load() || !p.adc_fiesta0) return -1;
    if (CanStop()) FgStop();
    Build b(*this, p.building);
    DisconnectPin(p.fiesta[0].renderer.filter.get(), "Video Out", PINDIR_OUTPUT);
    const HRESULT hr = b.connect(p.input_select2, "Video Out", p.bus_input, "I0 In", "InputSel2 to M2BIn");
    if (FAILED(hr)) return hr;
    FgPlay();
    p.adc_fiesta0 = false;
    return 0;
}
