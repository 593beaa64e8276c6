// CMQGraph: the telop configuration (the one the on-air control puts on air), its Genie part,
// the DigiMix-only configuration, and the tear-downs.
//
// The telop configuration: channel 0 takes the DigiMix input select, channels 1-4 take what
// their hardware connections select (normally the Movie-2 bus), key combiners 3 and 4 key
// line 0 (channels 1 and 2) and line 1 (channels 3 and 4) into wipe units 0 and 1, both
// priority processors stack three layers chosen by crosspoint, and the main, preview, FX A
// and alpha outputs hang off the processors. Behind the mixer, a DigiLinx takes the main and
// key buses; without one, an SDTI board takes them.
#include <string>

#include "onair/mq_graph_parts.h"

using zk::graph::Config;
using zk::graph::Crosspoint;
using zk::graph::Parts;
using zk::graph::Slot;

namespace {

// What feeds each hardware connection when the telop configuration is built.
Crosspoint telop_selection(int hw)
{
    using namespace zk::graph;
    if (hw == kHwMainOut) return xp_processor(0, 0);
    if (hw == kHwPreOut) return xp_processor(1, 0);
    if (hw >= kHwLayer && hw < kHwLayer + 6) return xp_none(); // the layer mode picks them
    if (hw >= kHwFiestaIn && hw < kHwFiestaIn + 4) return xp_bus(0);
    switch (hw) {
    case kHwKeyVideo3:
        return xp_fiesta(1);
    case kHwKeyKey3:
        return xp_fiesta(2);
    case kHwKeyVideo4:
        return xp_fiesta(3);
    case kHwKeyKey4:
        return xp_fiesta(4);
    case kHwWipe:
        return xp_combiner(1);
    default:
        return xp_combiner(2); // kHwWipe + 1
    }
}

// The telop's connections, in the order they are selected.
constexpr int kTelopConnections[] = {
    zk::graph::kHwMainOut,       zk::graph::kHwPreOut,         zk::graph::kHwLayer + 0, zk::graph::kHwLayer + 1,
    zk::graph::kHwLayer + 2,     zk::graph::kHwLayer + 3,      zk::graph::kHwLayer + 4, zk::graph::kHwLayer + 5,
    zk::graph::kHwFiestaIn + 0,  zk::graph::kHwFiestaIn + 1,   zk::graph::kHwFiestaIn + 2,
    zk::graph::kHwFiestaIn + 3,  zk::graph::kHwKeyVideo3,      zk::graph::kHwKeyKey3,   zk::graph::kHwKeyVideo4,
    zk::graph::kHwKeyKey4,       zk::graph::kHwWipe,           zk::graph::kHwWipe + 1,
};

} // namespace

BOOL CMQGraph::IsTelopBuilt() const
{
    return m_pParts->telop ? TRUE : FALSE;
}

BOOL CMQGraph::IsDigiMixOnlyBuilt() const
{
    return m_pParts->digimix_only ? TRUE : FALSE;
}

long CMQGraph::BilGraph_TelopNormal()
{
    Parts& p = *m_pParts;
    if (!m_bBuilt.load() || p.digimix_only) return -1;
    // One-of-a-kind units refuse a second filter: the configuration is built once.
    if (p.telop) return 0;
    Build b(*this, Config::telop);
    HRESULT hr;
    auto ok = [&](long result) { hr = result; return SUCCEEDED(hr); };

    // 1. The filters.
    if (!ok(b.add(p.input_select, CLSID_DigiMixInputSelect, "ErrAddFilter DigiMixInputSelect"))) return hr;
    if (!ok(AddFiestaUnit(0))) return hr;
    SDI_Captuer_End();
    if (!ok(b.add(p.input_select2, CLSID_SecondInputSelect, "ErrAddFilter InputSelect2"))) return hr;
    if (!ok(b.add(p.bus_input, CLSID_Movie2BusInput, "ErrAddFilter M2BusInput"))) return hr;
    if (!ok(b.add(p.key_combiner[0], CLSID_VideoKeyCombiner0, "ErrAddFilter VideoKeyCombiner0"))) return hr;
    if (!ok(b.add(p.alpha_key, CLSID_AlphaKeyRenderer, "ErrAddFilter GfxAlphaKeyRenderer"))) return hr;
    if (!ok(AddFiestaUnit(1)) || !ok(AddFiestaUnit(2))) return hr;
    if (!ok(b.add(p.key_combiner[3], CLSID_VideoKeyCombiner3, "ErrAddFilter VideoKeyCombiner3"))) return hr;
    if (!ok(AddWipeUnit(0))) return hr;
    if (!ok(AddFiestaUnit(3)) || !ok(AddFiestaUnit(4))) return hr;
    if (!ok(b.add(p.key_combiner[4], CLSID_VideoKeyCombiner4, "ErrAddFilter VideoKeyCombiner4"))) return hr;
    if (!ok(AddWipeUnit(1))) return hr;
    if (!ok(b.add(p.processor[0], CLSID_PriorityProcessor0, "ErrAddFilter PriorityProcessor0"))) return hr;
    if (!ok(b.add(p.processor[1], CLSID_PriorityProcessor1, "ErrAddFilter PriorityProcessor1"))) return hr;
    if (!ok(b.add(p.fx_a, CLSID_FxOutputASelect, "ErrAddFilter FxOutASelect"))) return hr;
    if (!ok(b.add(p.main_out, CLSID_MainOutputSelect, "ErrAddFilter MainOutSelect"))) return hr;
    if (!ok(b.add(p.alpha_out, CLSID_AlphaOutputSelect, "ErrAddFilter AlphaOutSelect"))) return hr;
    if (!ok(b.add(p.preview_out, CLSID_PreviewOutputSelect, "ErrAddFilter PreviewOutSelect"))) return hr;

    // 2. The live input channel 0 shows.
    hr = SetVideoInput(p.input_select.filter.get(), p.live_input >= 0 ? p.live_input : 0);
    if (FAILED(hr)) return b.fail("Could not program Video Input", hr);

    // 3. The hardware connections.
    for (int hw : kTelopConnections) {
        if (!ok(b.connection(hw))) return hr;
    }

    // 4. Background generator 2, off.
    if (!ok(b.add(p.bgen2, CLSID_BackgroundGenerator2, "ErrAddFilter BGen2"))) return hr;
    if (!ok(b.add(p.bgen2_source, CLSID_DirectDataSource, "ErrAddFilter BGen2Source"))) return hr;
    if (!ok(b.connect(p.bgen2_source, nullptr, p.bgen2, "Background In", "BGen2Source to BGen2"))) return hr;
    if (!ok(b.control(p.bgen2_source, p.bgen2_control, "BGen2Ctrl"))) return hr;
    if (!ok(b.begin(p.bgen2_control.get(), "BGen2Ctrl"))) return hr;
    if (!ok(b.send(p.bgen2_control.get(), {0, 0, 0, 0, 0x80, 0x80, 0, 0}, "BGen2Ctrl"))) return hr;

    // 5. The connections.
    using namespace zk::graph;
    if (!ok(b.connect(p.input_select, "Video Out", p.fiesta[0].renderer, "Video In", "InputSel to Fiesta0"))) return hr;
    if (!ok(b.connect(p.input_select2, "Video Out", p.bus_input, "I0 In", "InputSel2 to M2BIn"))) return hr;
    if (!ok(b.connect(p.bus_input, "I0 Out", p.key_combiner[0], "Video In", "M2BIn to VidKeyComb0"))) return hr;
    if (!ok(b.connect(p.processor[1], "Video Out", p.fx_a, "Video In", "PP1 to FxOutA"))) return hr;
    if (!ok(b.connect(p.processor[1], "Key Out", p.alpha_out, "Video In", "PP1 to AlphaOut"))) return hr;
    static const char* const kLayers[3] = {"Layer 1", "Layer 2", "Layer 3"};
    for (int pp = 0; pp < 2; ++pp) {
        for (int l = 0; l < 3; ++l) {
            const int hw = kHwLayer + 3 * pp + l;
            if (!ok(b.connect(p.hw[static_cast<size_t>(hw)].slot, nullptr, p.processor[static_cast<size_t>(pp)],
                                kLayers[l], "HwConn_" + hw_name(hw) + " to PP" + std::to_string(pp))))
                return hr;
        }
    }
    if (!ok(b.connect(p.hw[kHwMainOut].slot, nullptr, p.main_out, "Video In", "HwConn_MainOut to MainOut"))) return hr;
    if (!ok(b.connect(p.hw[kHwPreOut].slot, nullptr, p.preview_out, "Video In", "HwConn_PreOut to PreOut"))) return hr;
    for (int c = 0; c < 4; ++c) {
        const int hw = kHwFiestaIn + c;
        const std::string name = hw_name(hw);
        if (!ok(b.connect(p.hw[static_cast<size_t>(hw)].slot, nullptr, p.fiesta[static_cast<size_t>(c + 1)].renderer,
                            "Video In", "HwConn_" + name + " to " + name)))
            return hr;
    }
    struct KeyStep {
        int hw;
        int combiner;
        const char* pin;
    };
    for (const KeyStep& k : {KeyStep{kHwKeyKey3, 3, "Key In"}, KeyStep{kHwKeyKey4, 4, "Key In"},
                             KeyStep{kHwKeyVideo3, 3, "Video In"}, KeyStep{kHwKeyVideo4, 4, "Video In"}}) {
        if (!ok(b.connect(p.hw[static_cast<size_t>(k.hw)].slot, nullptr, p.key_combiner[static_cast<size_t>(k.combiner)],
                            k.pin, "HwConn_" + hw_name(k.hw) + " to VidKeyComb" + std::to_string(k.combiner))))
            return hr;
    }
    for (int w = 0; w < 2; ++w) {
        if (!ok(b.connect(p.hw[static_cast<size_t>(kHwWipe + w)].slot, nullptr, p.wipe[static_cast<size_t>(w)].renderer,
                            "Video In", "HwConn_Wipe" + std::to_string(w) + " to WipeRenderer" + std::to_string(w))))
            return hr;
    }

    // 6. Data begun on every connection, then each one's crosspoint, then the layer mode.
    for (int hw : kTelopConnections) {
        if (!ok(b.begin_connection(hw))) return hr;
    }
    for (int hw : kTelopConnections) {
        if (!ok(b.select(hw, telop_selection(hw), hw_name(hw)))) return hr;
    }
    hr = ApplyLayerMode(1, false);
    if (FAILED(hr)) return b.fail("Err PPLayer1", hr);

    // 7. The buses behind the mixer.
    if (m_bLinx) {
        if (!ok(b.add(p.bus_control_in, CLSID_Movie2BusControlIn, "ErrAddFilter M2BusControlIn"))) return hr;
        if (!ok(b.add(p.bus_control_out, CLSID_Movie2BusControlOut, "ErrAddFilter M2BusControlOut"))) return hr;
        if (!ok(b.add(p.fx_b, CLSID_FxOutputBSelect, "ErrAddFilter FxOutBSelect"))) return hr;
        if (!ok(b.add(p.linx_out[0], CLSID_DigiLinxOutput0, "ErrAddFilter DigiLinxOut0"))) return hr;
        if (!ok(b.add(p.linx_out[1], CLSID_DigiLinxOutput1, "ErrAddFilter DigiLinxOut1"))) return hr;
        if (!ok(b.connect(p.main_out, "M2B Out", p.bus_control_out, "Main Bus", "MainOut to M2BCtlOut"))) return hr;
        if (!ok(b.connect(p.fx_b, "M2B Key Out", p.bus_control_out, "Key Out Bus", "FxOutB to M2BCtlOut"))) return hr;
        if (!ok(b.connect(p.bus_control_out, "Main Bus", p.linx_out[0], "Main", "M2BCtlOut to Linx0"))) return hr;
        if (!ok(b.connect(p.bus_control_out, "Key Out Bus", p.linx_out[1], "Key Out", "M2BCtlOut to Linx1"))) return hr;
    } else if (m_bSdti) {
        if (!ok(b.add(p.bus_control_out, CLSID_Movie2BusControlOut, "ErrAddFilter M2BusControlOut"))) return hr;
        if (!ok(b.add(p.sdti_bus, CLSID_SdtiBusInput, "ErrAddFilter SdtiBusInput"))) return hr;
        if (!ok(b.add(p.sdi_out[0], CLSID_SdiOutputA, "ErrAddFilter SdiOutA"))) return hr;
        if (!ok(b.add(p.sdi_out[1], CLSID_SdiOutputB, "ErrAddFilter SdiOutB"))) return hr;
        if (!ok(b.connect(p.sdti_bus, "Main Out", p.sdi_out[0], "Video In", "SdtiBus to SdiOutA"))) return hr;
        if (!ok(b.connect(p.sdti_bus, "Alpha Out", p.sdi_out[1], "Video In", "SdtiBus to SdiOutB"))) return hr;
        if (!ok(b.connect(p.bus_control_out, "Main Bus", p.sdti_bus, "Main In", "M2BCtlOut to SdtiBus"))) return hr;
        if (!ok(b.connect(p.bus_control_out, "Key Out Bus", p.sdti_bus, "Alpha In", "M2BCtlOut to SdtiBus Alpha")))
            return hr;
    }

    // 8. The Genie.
    if (m_bGenie) {
        hr = BuildTelopGenie();
        if (FAILED(hr)) return b.fail("Could not instantiate Genie", hr);
    }
    p.telop = true;
    return 0;
}

long CMQGraph::BilGraph_TelopNormal_Genie()
{
    if (!m_bBuilt.load() || !m_bGenie) return -1;
    return BuildTelopGenie();
}

// The Genie takes the picture of the effect line off the bus (its loop and key inputs, whose
// crosspoints are the "Vfx_Vidkey" connections), turns it, and gives it back through key
// combiner 1; FX output B puts the line on the bus for it.
long CMQGraph::BuildTelopGenie()
{
    Parts& p = *m_pParts;
    if (p.telop_genie) return 0;
    Build b(*this, Config::telop_genie);
    HRESULT hr;
    auto ok = [&](long result) { hr = result; return SUCCEEDED(hr); };
    using namespace zk::graph;
    if (!ok(b.add(p.fx_b, CLSID_FxOutputBSelect, "ErrAddFilter FxOutBSelect"))) return hr;
    if (!ok(b.add(p.bus_control_in, CLSID_Movie2BusControlIn, "ErrAddFilter M2BusControlIn"))) return hr;
    if (!ok(b.add(p.bus_control_out, CLSID_Movie2BusControlOut, "ErrAddFilter M2BusControlOut"))) return hr;
    if (!ok(b.add(p.key_combiner[1], CLSID_VideoKeyCombiner1, "ErrAddFilter VideoKeyCombiner1"))) return hr;
    for (int hw : {kHwVfxVideo, kHwVfxKey, kHwVfxEfxB}) {
        if (!ok(b.connection(hw))) return hr;
    }
    if (!ok(b.add(p.genie, CLSID_GenieRenderer, "ErrAddFilter GenieRenderer"))) return hr;

    if (!ok(b.connect(p.fx_b, "M2B Out", p.bus_control_out, "Loop Out A Bus", "FxOutB to M2BCtlOut LoopOutA"))) return hr;
    if (!ok(b.connect(p.fx_b, "M2B Key Out", p.bus_control_out, "Key Out Bus", "FxOutB to M2BCtlOut"))) return hr;
    if (!ok(b.connect(p.bus_control_in, "Loop In Bus", p.genie, "LoopIn In", "M2BCtlIn to Genie LoopIn"))) return hr;
    if (!ok(b.connect(p.bus_control_in, "Key In Bus", p.genie, "KeyIn In", "M2BCtlIn to Genie KeyIn"))) return hr;
    if (!ok(b.connect(p.genie, "Video Out", p.key_combiner[1], "Video In", "Genie to VidKeyComb1"))) return hr;
    if (!ok(b.connect(p.genie, "Key Out", p.key_combiner[1], "Key In", "Genie Key to VidKeyComb1"))) return hr;
    if (!ok(b.connect(p.hw[kHwVfxEfxB].slot, nullptr, p.fx_b, "Video In", "HwConn_Vfx_EFXB to FxOutB"))) return hr;
    if (!ok(b.connect(p.hw[kHwVfxVideo].slot, nullptr, p.bus_control_in, "Loop In Bus",
                      "HwConn_Vfx_Vidkey Video to M2BCtlIn")))
        return hr;
    if (!ok(b.connect(p.hw[kHwVfxKey].slot, nullptr, p.bus_control_in, "Key In Bus", "HwConn_Vfx_Vidkey Key to M2BCtlIn")))
        return hr;
    for (int hw : {kHwVfxVideo, kHwVfxKey, kHwVfxEfxB}) {
        if (!ok(b.begin_connection(hw))) return hr;
    }
    if (!ok(SelectGenieLine(p.genie_line))) return hr;
    p.telop_genie = true;
    return 0;
}

long CMQGraph::BilGraph_DigiMixOnly()
{
    Parts& p = *m_pParts;
    if (!m_bBuilt.load() || p.telop) return -1;
    if (p.digimix_only) return 0;
    Build b(*this, Config::digimix_only);
    HRESULT hr;
    auto ok = [&](long result) { hr = result; return SUCCEEDED(hr); };

    if (!ok(b.add(p.input_select, CLSID_DigiMixInputSelect, "ErrAddFilter DigiMixInputSelect"))) return hr;
    if (!ok(AddFiestaUnit(0))) return hr;
    if (!ok(b.add(p.bus_input, CLSID_Movie2BusInput, "ErrAddFilter M2BusInput"))) return hr;
    if (!ok(b.add(p.key_combiner[0], CLSID_VideoKeyCombiner0, "ErrAddFilter VideoKeyCombiner0"))) return hr;
    if (!ok(b.add(p.preview_out, CLSID_PreviewOutputSelect, "ErrAddFilter PreviewOutSelect"))) return hr;
    if (!ok(b.add(p.alpha_key, CLSID_AlphaKeyRenderer, "ErrAddFilter GfxAlphaKeyRenderer"))) return hr;
    if (!ok(AddFiestaUnit(3)) || !ok(AddFiestaUnit(4))) return hr;
    if (!ok(b.add(p.key_combiner[3], CLSID_VideoKeyCombiner3, "ErrAddFilter VideoKeyCombiner3"))) return hr;
    if (!ok(AddWipeUnit(1))) return hr;
    if (!ok(b.add(p.tee, CLSID_HwConnTee, "ErrAddFilter HwConnTee"))) return hr;
    if (!ok(b.add(p.processor[0], CLSID_PriorityProcessor0, "ErrAddFilter PriorityProcessor0"))) return hr;
    if (!ok(b.add(p.processor[1], CLSID_PriorityProcessor1, "ErrAddFilter PriorityProcessor1"))) return hr;
    if (!ok(b.add(p.main_out, CLSID_MainOutputSelect, "ErrAddFilter MainOutSelect"))) return hr;
    if (!ok(b.add(p.fx_a, CLSID_FxOutputASelect, "ErrAddFilter FxOutASelect"))) return hr;
    if (!ok(b.add(p.alpha_out, CLSID_AlphaOutputSelect, "ErrAddFilter AlphaOutSelect"))) return hr;

    if (!ok(b.connect(p.input_select, "Video Out", p.fiesta[0].renderer, "Video In", "InputSel to Fiesta0"))) return hr;
    if (!ok(b.connect(p.fiesta[0].renderer, "Video Out", p.bus_input, "I0 In", "Fiesta0 to M2BIn"))) return hr;
    if (!ok(b.connect(p.bus_input, "I0 Out", p.key_combiner[0], "Video In", "M2BIn to VidKeyComb0"))) return hr;
    if (!ok(b.connect(p.key_combiner[0], "Video Out", p.preview_out, "Video In", "VidKeyComb0 to PreOut"))) return hr;
    if (!ok(b.connect(p.alpha_key, "Video Out", p.fiesta[3].renderer, "Video In", "GfxAlphaKey to Fiesta3"))) return hr;
    if (!ok(b.connect(p.alpha_key, "Alpha Out", p.fiesta[4].renderer, "Video In", "GfxAlphaKey to Fiesta4"))) return hr;
    if (!ok(b.connect(p.fiesta[3].renderer, "Video Out", p.key_combiner[3], "Video In", "Fiesta3 to VidKeyComb3")))
        return hr;
    if (!ok(b.connect(p.fiesta[4].renderer, "Video Out", p.key_combiner[3], "Key In", "Fiesta4 to VidKeyComb3"))) return hr;
    // The combined line goes through wipe unit 1 and on to the tee, which hands it to both
    // processors (a pin feeds one input: the wipe comes first).
    if (!ok(b.connect(p.key_combiner[3], "Video Out", p.wipe[1].renderer, "Video In", "VidKeyComb3 to WipeRenderer1")))
        return hr;
    if (!ok(b.connect(p.wipe[1].renderer, "Video Out", p.tee, "Input", "WipeRenderer1 to HwConnTee"))) return hr;
    if (!ok(b.connect(p.tee, "Output1", p.processor[0], "Layer 1", "HwConnTee to PP0"))) return hr;
    if (!ok(b.connect(p.tee, "Output2", p.processor[1], "Layer 1", "HwConnTee to PP1"))) return hr;
    if (!ok(b.connect(p.processor[0], "Video Out", p.main_out, "Video In", "PP0 to MainOut"))) return hr;
    if (!ok(b.connect(p.processor[1], "Key Out", p.fx_a, "Video In", "PP1 to FxOutA"))) return hr;
    p.digimix_only = true;
    return 0;
}

long CMQGraph::TearDown(Config config)
{
    if (!m_bBuilt.load()) return -1;
    Parts& p = *m_pParts;
    ReleaseBoardMedia(config);
    Build b(*this, config);
    b.remove_owned(config);
    switch (config) {
    case Config::telop:
        p.telop = false;
        p.layer_mode = -1;
        p.live_super = false;
        p.sdi_capture = false;
        p.sdi_channel = -1;
        p.adc_fiesta0 = false;
        break;
    case Config::telop_genie:
        p.telop_genie = false;
        break;
    case Config::digimix_only:
        p.digimix_only = false;
        break;
    case Config::motion:
        p.motion_built = false;
        break;
    case Config::motion_telop:
        p.motion_telop = false;
        break;
    case Config::genie_filter:
        p.genie_filter = false;
        break;
    case Config::wave_sound:
        p.wave_sound = false;
        break;
    case Config::live_sound:
        p.live_sound = false;
        break;
    default:
        break;
    }
    return 0;
}

long CMQGraph::DisGraph_TelopNormal()
{
    if (!m_bBuilt.load()) return -1;
    // What was built into the telop configuration goes with it.
    if (m_pParts->motion_telop) DisconnectMotionTelop();
    if (m_pParts->genie_filter) DisGraph_GenieFilter();
    TearDown(Config::telop_genie);
    return TearDown(Config::telop);
}

long CMQGraph::DisGraph_DigiMixOnly()
{
    return TearDown(Config::digimix_only);
}
