// The mixer's filters: unit claims, the controls of the units and the DirectData sources, and
// the registration of every class of the catalogue.
#include "platform/board/mixer/mixer_filter.h"

#include <cstring>

#include "platform/board/virtual_board.h"
#include "platform/com/class_registry.h"

namespace zk::mixer {
namespace {

DigiSuiteFilterDesc describe(const MixerClass& cls)
{
    DigiSuiteFilterDesc d;
    d.base.clsid = cls.clsid;
    d.base.name = cls.vendor;
    for (const MixerPin& p : cls.pins) d.base.pins.push_back(PinDesc{p.name, p.direction});
    d.base.file_source = cls.file_source;
    d.compound_source = cls.compound_source;
    d.video_inputs = cls.video_inputs;
    return d;
}

// What a still transfer's media type says about the pixels: RGB32 or AYUV words.
HRESULT transfer_format(const AM_MEDIA_TYPE* mt, bool& yuv)
{
    if (!mt) return E_POINTER;
    if (!(mt->majortype == MEDIATYPE_Video)) return VFW_E_INVALIDMEDIATYPE;
    if (mt->subtype == MEDIASUBTYPE_RGB32) {
        yuv = false;
    } else if (mt->subtype == MEDIASUBTYPE_AYUV) {
        yuv = true;
    } else {
        return VFW_E_INVALIDMEDIATYPE;
    }
    if (!mt->pbFormat || mt->cbFormat < sizeof(BITMAPINFOHEADER)) return VFW_E_INVALIDMEDIATYPE;
    BITMAPINFOHEADER header;
    std::memcpy(&header, mt->pbFormat, sizeof header);
    if (header.biSize < sizeof header || header.biPlanes != 1 || header.biBitCount != 32) return VFW_E_INVALIDMEDIATYPE;
    return S_OK;
}

} // namespace

// The interfaces live in one inner object that shares the filter's reference count; the
// filter offers each only where its class has it.
class MixerFilter::Controls final : public IMixerUnit,
                                    public ITBCControl,
                                    public ITransferDIB,
                                    public IKeyframeControl,
                                    public IDirectData,
                                    public IMixerInput {
public:
    explicit Controls(MixerFilter& outer) : outer_(outer) {}

    HRESULT QueryInterface(REFIID iid, void** object) override { return outer_.QueryInterface(iid, object); }
    ULONG AddRef() override { return outer_.AddRef(); }
    ULONG Release() override { return outer_.Release(); }

    // ---- IMixerUnit ----
    HRESULT GetUnit(LONG* unit) override
    {
        if (!unit) return E_POINTER;
        *unit = outer_.unit();
        return S_OK;
    }
    HRESULT SelectUnit(LONG unit) override { return model().move(cls(), &outer_, static_cast<int>(unit)); }

    // ---- ITBCControl ----
    HRESULT SetStrobeRate(DWORD rate) override
    {
        const int channel = outer_.unit();
        return channel < 0 ? VFW_E_NOT_IN_GRAPH : model().set_strobe_rate(channel, rate);
    }
    HRESULT SetDisplayMode(_DISPLAY_MODE mode) override
    {
        const int channel = outer_.unit();
        return channel < 0 ? VFW_E_NOT_IN_GRAPH : model().set_display_mode(channel, mode);
    }
    HRESULT GetStrobeRate(DWORD* rate) override
    {
        if (!rate) return E_POINTER;
        const int channel = outer_.unit();
        if (channel < 0) return VFW_E_NOT_IN_GRAPH;
        LONG mode;
        model().tbc(channel, *rate, mode);
        return S_OK;
    }
    HRESULT GetDisplayMode(_DISPLAY_MODE* mode) override
    {
        if (!mode) return E_POINTER;
        const int channel = outer_.unit();
        if (channel < 0) return VFW_E_NOT_IN_GRAPH;
        DWORD rate;
        LONG m;
        model().tbc(channel, rate, m);
        *mode = static_cast<_DISPLAY_MODE>(m);
        return S_OK;
    }

    // ---- ITransferDIB ----
    HRESULT PutFrame(const MQ_TRANSFER_DIB* transfer, const void* pixels, const AM_MEDIA_TYPE* mt) override
    {
        bool yuv = false;
        const HRESULT hr = transfer ? transfer_format(mt, yuv) : E_POINTER;
        if (FAILED(hr)) return hr;
        const int channel = outer_.unit();
        return channel < 0 ? VFW_E_NOT_IN_GRAPH : model().put_still(channel, *transfer, pixels, yuv);
    }
    HRESULT GetFrame(const MQ_TRANSFER_DIB* transfer, void* pixels, const AM_MEDIA_TYPE* mt) override
    {
        bool yuv = false;
        const HRESULT hr = transfer ? transfer_format(mt, yuv) : E_POINTER;
        if (FAILED(hr)) return hr;
        const int channel = outer_.unit();
        return channel < 0 ? VFW_E_NOT_IN_GRAPH : model().get_still(channel, *transfer, pixels, yuv);
    }

    // ---- IKeyframeControl and IDirectData (one state for both) ----
    HRESULT BeginData() override
    {
        begun_ = true;
        model().note_state(route_name(), 1, "begin data");
        return S_OK;
    }
    HRESULT EndData() override
    {
        begun_ = false;
        model().note_state(route_name(), 0, "end data");
        return S_OK;
    }
    HRESULT SendKeyframe(const void* record, DWORD size) override
    {
        ComPtr<IMixerInput> input;
        std::string pin;
        const HRESULT hr = route(input, pin);
        if (FAILED(hr)) return hr;
        if (!begun_) {
            model().refuse(input->InputName(pin), size, "data not begun");
            return VFW_E_WRONG_STATE;
        }
        return input->DeliverRecord(pin, record, size);
    }
    HRESULT ReceiveData(const void* packet, DWORD size) override
    {
        ComPtr<IMixerInput> input;
        std::string pin;
        const HRESULT hr = route(input, pin);
        return FAILED(hr) ? hr : input->DeliverPacket(pin, packet, size);
    }

    // ---- IMixerInput ----
    HRESULT DeliverRecord(const std::string& pin, const void* record, DWORD size) override
    {
        int unit = -1;
        const MixerPin* p = nullptr;
        const HRESULT hr = input(pin, size, p, unit);
        return FAILED(hr) ? hr : model().receive_record(cls(), unit, *p, record, size);
    }
    HRESULT DeliverPacket(const std::string& pin, const void* packet, DWORD size) override
    {
        int unit = -1;
        const MixerPin* p = nullptr;
        const HRESULT hr = input(pin, size, p, unit);
        return FAILED(hr) ? hr : model().receive_packet(cls(), unit, *p, packet, size);
    }
    std::string InputName(const std::string& pin) override
    {
        const int unit = outer_.unit();
        return (unit < 0 ? cls().family : unit_name(cls(), unit)) + ":" + pin;
    }

private:
    MixerModel& model() { return *outer_.model_; }
    const MixerClass& cls() const { return outer_.cls_; }

    // The input `pin` and the unit it belongs to, while the filter drives one; a refusal is
    // journalled.
    HRESULT input(const std::string& pin, DWORD size, const MixerPin*& p, int& unit)
    {
        p = cls().pin(pin, PINDIR_INPUT);
        unit = outer_.unit();
        if (p && unit >= 0) return S_OK;
        model().refuse(InputName(pin), size, p ? "unit not in a graph" : "no such input");
        return p ? VFW_E_NOT_IN_GRAPH : VFW_E_NOT_FOUND;
    }

    // The mixer input at the other end of this source's output, as it is now, and its pin
    // name; VFW_E_NOT_CONNECTED without a connection, VFW_E_TYPE_NOT_ACCEPTED when the other
    // end is not a mixer unit.
    HRESULT peer(ComPtr<IMixerInput>& input, std::string& pin)
    {
        ComPtr<IPin> out = output_pin();
        ComPtr<IPin> other;
        if (!out || FAILED(out->ConnectedTo(other.put())) || !other) return VFW_E_NOT_CONNECTED;
        PIN_INFO info{};
        if (FAILED(other->QueryPinInfo(&info)) || !info.pFilter) return E_UNEXPECTED;
        ComPtr<IBaseFilter> filter = ComPtr<IBaseFilter>::attach(info.pFilter);
        info.achName[127] = 0;
        pin = to_ansi(info.achName);
        input = filter.as<IMixerInput>();
        return input ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
    }

    // As peer(), journalling a refusal under the source's own family name.
    HRESULT route(ComPtr<IMixerInput>& input, std::string& pin)
    {
        const HRESULT hr = peer(input, pin);
        if (hr == VFW_E_NOT_CONNECTED) model().refuse(cls().family, 0, "not connected");
        if (hr == VFW_E_TYPE_NOT_ACCEPTED)
            model().refuse(cls().family, 0, "connected to \"" + pin + "\" of a filter that is not a mixer unit");
        return hr;
    }

    // Where begin and end data are journalled: the input reached, or the source itself.
    std::string route_name()
    {
        ComPtr<IMixerInput> input;
        std::string pin;
        return SUCCEEDED(peer(input, pin)) ? input->InputName(pin) : cls().family;
    }

    ComPtr<IPin> output_pin()
    {
        for (const MixerPin& p : cls().pins) {
            if (p.direction != PINDIR_OUTPUT) continue;
            ComPtr<IPin> pin;
            outer_.FindPin(to_wide(p.name.c_str()).c_str(), pin.put());
            return pin;
        }
        return nullptr;
    }

    MixerFilter& outer_;
    std::atomic<bool> begun_{false};
};

MixerFilter::MixerFilter(const MixerClass& cls, DWORD mrid, std::shared_ptr<VirtualBoard> board)
    : DigiSuiteFilter(describe(cls), mrid),
      cls_(cls),
      board_(std::move(board)),
      model_(mixer_model(*board_)),
      controls_(std::make_unique<Controls>(*this))
{
}

MixerFilter::~MixerFilter()
{
    if (cls_.units > 0) model_->release(cls_, this);
}

HRESULT MixerFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name)
{
    if (cls_.units > 0) {
        if (graph) {
            int unit = -1;
            const HRESULT hr = model_->claim(cls_, this, unit);
            if (FAILED(hr)) return hr;
        } else {
            model_->release(cls_, this);
        }
    }
    return DigiSuiteFilter::JoinFilterGraph(graph, name);
}

int MixerFilter::unit() const
{
    return cls_.units > 0 ? model_->unit_of(cls_, this) : -1;
}

void* MixerFilter::query_extra(REFIID iid)
{
    Controls* c = controls_.get();
    const bool unit = cls_.kind == ClassKind::Unit;
    const bool data = cls_.kind == ClassKind::DirectData;
    if (iid == IMixerUnit::kIid && unit) return static_cast<IMixerUnit*>(c);
    if (iid == IMixerInput::kIid && unit) return static_cast<IMixerInput*>(c);
    if (iid == ITBCControl::kIid && cls_.fiesta) return static_cast<ITBCControl*>(c);
    if (iid == ITransferDIB::kIid && cls_.fiesta) return static_cast<ITransferDIB*>(c);
    if (iid == IKeyframeControl::kIid && data) return static_cast<IKeyframeControl*>(c);
    if (iid == IDirectData::kIid && data) return static_cast<IDirectData*>(c);
    return DigiSuiteFilter::query_extra(iid);
}

namespace {

const struct MixerClassRegistrar {
    MixerClassRegistrar()
    {
        for (const MixerClass& cls : mixer_classes()) {
            const MixerClass* c = &cls;
            register_class(cls.clsid, [c](REFIID iid, void** object, DWORD mrid) {
                return create_object<MixerFilter>(iid, object, *c, mrid, current_board());
            });
        }
    }
} mixer_class_registrar;

} // namespace
} // namespace zk::mixer
