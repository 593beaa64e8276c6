// CMQGraph: the numbered units of the mixer. A Fiesta channel is a renderer fed by five
// keyframe sources (2D DVE, crop, procamp, mask, paint); channel 0 also has the data filter
// through which its time-base corrector is set by packet. A wipe unit is a wipe renderer with
// wipe, fader and border sources and its border generator; a unit made again is sent the
// records it had, so what the effects last set survives a rebuild.
#include <array>
#include <string>

#include "onair/mq_graph_parts.h"

using zk::graph::FiestaUnit;
using zk::graph::WipeUnit;

namespace {

struct SourceStep {
    const char* add;     // the filter's name in "ErrAddFilter ..."
    const char* control; // the control's name
    const char* pin;     // the renderer's input
    const char* connect; // the step's name in "ConnectErr ..."
};

constexpr std::array<SourceStep, zk::graph::kSourceKinds> kSourceSteps = {{
    {"2DDveFile", "2DDveControl", "2D DVE In", "2dDVE Source "},
    {"CropFile", "CropControl", "Crop In", "Crop Source "},
    {"ProcampFile", "ProcampControl", "Procamp In", "Procamp Source "},
    {"MaskFile", "MaskControl", "Mask In", "Mask Source "},
    {"PaintFile", "PaintControl", "Paint In", "Paint Source "},
}};

} // namespace

long CMQGraph::AddFiestaUnit(int channel)
{
    if (!m_bBuilt.load() || channel < 0 || channel > 4) return -1;
    zk::graph::Parts& p = *m_pParts;
    FiestaUnit& f = p.fiesta[static_cast<size_t>(channel)];
    if (f.renderer.held()) return 0;
    Build b(*this, p.building);
    const std::string n = std::to_string(channel);

    HRESULT hr = b.add_unit(f.renderer, CLSID_FiestaRenderer, channel, "ErrAddFilter FiestaRenderer" + n);
    if (FAILED(hr)) return hr;
    for (int k = 0; k < zk::graph::kSourceKinds; ++k) {
        // The crop source's message is the one the board's tools have always shown.
        const std::string message =
            k == zk::graph::kCrop ? "AdErrAddFilterd CropFile" + n : std::string("ErrAddFilter ") + kSourceSteps[k].add + n;
        hr = b.add(f.sources[static_cast<size_t>(k)], CLSID_DirectDataSource, message);
        if (FAILED(hr)) return hr;
    }
    for (int k = 0; k < zk::graph::kSourceKinds; ++k) {
        hr = b.control(f.sources[static_cast<size_t>(k)], f.controls[static_cast<size_t>(k)],
                       kSourceSteps[k].control + n);
        if (FAILED(hr)) return hr;
    }
    zk::ComPtr<ITBCControl> tbc;
    hr = f.renderer.filter->QueryInterface(ITBCControl::kIid, tbc.put_void());
    if (FAILED(hr)) return b.fail("InterfaceErr TBCControl" + n, hr);
    {
        std::lock_guard<std::mutex> guard(p.lock);
        f.tbc = std::move(tbc);
    }
    for (int k = 0; k < zk::graph::kSourceKinds; ++k) {
        hr = b.connect(f.sources[static_cast<size_t>(k)], nullptr, f.renderer, kSourceSteps[k].pin,
                       kSourceSteps[k].connect + n);
        if (FAILED(hr)) return hr;
    }
    for (int k = 0; k < zk::graph::kSourceKinds; ++k) {
        hr = b.begin(f.controls[static_cast<size_t>(k)].get(), kSourceSteps[k].control + n);
        if (FAILED(hr)) return hr;
    }
    if (channel == 0) {
        // Channel 0 is frozen and released by packet through a data filter on "TBC In".
        hr = b.add(f.tbc_source, CLSID_DirectDataSource, "ErrAddFilter TBCDataFile0");
        if (FAILED(hr)) return hr;
        hr = b.connect(f.tbc_source, nullptr, f.renderer, "TBC In", "TBC Source 0");
        if (FAILED(hr)) return hr;
        zk::ComPtr<IDirectData> data;
        hr = f.tbc_source.filter->QueryInterface(IDirectData::kIid, data.put_void());
        if (FAILED(hr)) return b.fail("ErrIDirectData interface TBCDataFile0", hr);
        std::lock_guard<std::mutex> guard(p.lock);
        f.tbc_data = std::move(data);
    }
    return 0;
}

long CMQGraph::RemoveFiestaUnit(int channel)
{
    if (!m_bBuilt.load() || channel < 0 || channel > 4) return -1;
    zk::graph::Parts& p = *m_pParts;
    FiestaUnit& f = p.fiesta[static_cast<size_t>(channel)];
    Build b(*this, p.building);
    for (zk::graph::Slot& s : f.sources) {
        if (s.held()) DisconnectPin(s.filter.get(), nullptr, PINDIR_OUTPUT);
    }
    for (zk::graph::Slot& s : f.sources) b.remove(s);
    b.remove(f.tbc_source);
    b.remove(f.renderer);
    std::lock_guard<std::mutex> guard(p.lock);
    p.drop_orphans();
    return 0;
}

long CMQGraph::AddWipeUnit(int unit)
{
    if (!m_bBuilt.load() || unit < 0 || unit > 1) return -1;
    zk::graph::Parts& p = *m_pParts;
    WipeUnit& w = p.wipe[static_cast<size_t>(unit)];
    if (w.renderer.held()) return 0;
    Build b(*this, p.building);
    const std::string n = std::to_string(unit);

    HRESULT hr = b.add_unit(w.renderer, CLSID_WipeRenderer, unit, "ErrAddFilter WipeRenderer" + n);
    if (FAILED(hr)) return hr;
    hr = b.add(w.wipe_source, CLSID_DirectDataSource, "ErrAddFilter WipeSource" + n);
    if (FAILED(hr)) return hr;
    hr = b.add(w.fader_source, CLSID_DirectDataSource, "ErrAddFilter WipeFaderSource" + n);
    if (FAILED(hr)) return hr;
    hr = b.add(w.border_source, CLSID_DirectDataSource, "ErrAddFilter WipeBorderSource" + n);
    if (FAILED(hr)) return hr;
    hr = b.add_unit(w.border, CLSID_BorderGenerator, unit, "ErrAddFilter WipeBorder" + n);
    if (FAILED(hr)) return hr;

    const zk::graph::Slot* sources[zk::graph::kWipeKinds] = {&w.wipe_source, &w.fader_source, &w.border_source};
    const std::string controls[zk::graph::kWipeKinds] = {"WipeControl" + n, "WipeFaderControl" + n,
                                                         "WipeBorderControl" + n};
    for (int k = 0; k < zk::graph::kWipeKinds; ++k) {
        hr = b.control(*sources[k], w.controls[static_cast<size_t>(k)], controls[k]);
        if (FAILED(hr)) return hr;
    }
    hr = b.connect(w.wipe_source, nullptr, w.renderer, "Wipe In", "WipeSource" + n);
    if (FAILED(hr)) return hr;
    hr = b.connect(w.fader_source, nullptr, w.renderer, "Fader In", "WipeFaderSource" + n);
    if (FAILED(hr)) return hr;
    hr = b.connect(w.border, "Video Out", w.renderer, "Background In", "WipeBorder" + n);
    if (FAILED(hr)) return hr;
    hr = b.connect(w.border_source, "Video Out", w.border, "Border In", "WipeBorderSource" + n);
    if (FAILED(hr)) return hr;
    for (int k = 0; k < zk::graph::kWipeKinds; ++k) {
        hr = b.begin(w.controls[static_cast<size_t>(k)].get(), controls[k]);
        if (FAILED(hr)) return hr;
    }
    // The unit's records as they stand: fader, pattern, border.
    std::vector<std::uint8_t> fader, wipe, border;
    {
        std::lock_guard<std::mutex> guard(p.lock);
        fader = w.fader_record;
        wipe = w.wipe_record;
        border = w.border_record;
    }
    hr = b.send(w.controls[zk::graph::kFader].get(), fader, controls[zk::graph::kFader]);
    if (FAILED(hr)) return hr;
    hr = b.send(w.controls[zk::graph::kWipe].get(), wipe, controls[zk::graph::kWipe]);
    if (FAILED(hr)) return hr;
    return b.send(w.controls[zk::graph::kBorder].get(), border, controls[zk::graph::kBorder]);
}

long CMQGraph::RemoveWipeUnit(int unit)
{
    if (!m_bBuilt.load() || unit < 0 || unit > 1) return -1;
    zk::graph::Parts& p = *m_pParts;
    WipeUnit& w = p.wipe[static_cast<size_t>(unit)];
    Build b(*this, p.building);
    for (zk::graph::Slot* s : {&w.wipe_source, &w.fader_source, &w.border_source, &w.border, &w.renderer}) b.remove(*s);
    std::lock_guard<std::mutex> guard(p.lock);
    p.drop_orphans();
    return 0;
}

long CMQGraph::AddFilterFiesta0Renderer() { return AddFiestaUnit(0); }
long CMQGraph::AddFilterFiesta1Renderer() { return AddFiestaUnit(1); }
long CMQGraph::AddFilterFiesta2Renderer() { return AddFiestaUnit(2); }
long CMQGraph::AddFilterFiesta3Renderer() { return AddFiestaUnit(3); }
long CMQGraph::AddFilterFiesta4Renderer() { return AddFiestaUnit(4); }
long CMQGraph::RemoveFilterFiesta0Renderer() { return RemoveFiestaUnit(0); }
long CMQGraph::RemoveFilterFiesta1Renderer() { return RemoveFiestaUnit(1); }
long CMQGraph::RemoveFilterFiesta2Renderer() { return RemoveFiestaUnit(2); }
long CMQGraph::RemoveFilterFiesta3Renderer() { return RemoveFiestaUnit(3); }
long CMQGraph::RemoveFilterFiesta4Renderer() { return RemoveFiestaUnit(4); }
long CMQGraph::AddFilterWipe0Renderer() { return AddWipeUnit(0); }
long CMQGraph::AddFilterWipe1Renderer() { return AddWipeUnit(1); }
long CMQGraph::RemoveFilterWipe0Renderer() { return RemoveWipeUnit(0); }
long CMQGraph::RemoveFilterWipe1Renderer() { return RemoveWipeUnit(1); }
