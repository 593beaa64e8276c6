// Pins, filter state and the media catalogue of the virtual filters.
#include "platform/filtergraph/virtual_filter.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "core/errors.h"

namespace zk {
namespace {

struct Catalogue {
    std::mutex lock;
    std::map<std::string, VirtualMedia> clips;
};

Catalogue& catalogue()
{
    static Catalogue c;
    return c;
}

LPWSTR co_string(const std::u16string& s)
{
    auto* out = static_cast<LPWSTR>(CoTaskMemAlloc((s.size() + 1) * sizeof(WCHAR)));
    if (!out) return nullptr;
    std::memcpy(out, s.c_str(), (s.size() + 1) * sizeof(WCHAR));
    return out;
}

void copy_name(WCHAR (&to)[128], const std::u16string& from)
{
    const size_t n = std::min<size_t>(from.size(), 127);
    std::memcpy(to, from.data(), n * sizeof(WCHAR));
    to[n] = 0;
}

} // namespace

void set_virtual_media(const std::string& path, double duration, double preroll)
{
    Catalogue& c = catalogue();
    std::lock_guard<std::mutex> guard(c.lock);
    if (duration < 0) c.clips.erase(path);
    else c.clips[path] = VirtualMedia{duration, preroll < 0 ? 0.0 : preroll};
}

bool find_virtual_media(const std::string& path, VirtualMedia& out)
{
    Catalogue& c = catalogue();
    std::lock_guard<std::mutex> guard(c.lock);
    auto it = c.clips.find(path);
    if (it == c.clips.end()) return false;
    out = it->second;
    return true;
}

void copy_media_type(AM_MEDIA_TYPE& to, const AM_MEDIA_TYPE& from)
{
    to = from;
    to.pUnk = nullptr;
    to.pbFormat = nullptr;
    to.cbFormat = 0;
    if (from.cbFormat && from.pbFormat) {
        to.pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(from.cbFormat));
        if (to.pbFormat) {
            std::memcpy(to.pbFormat, from.pbFormat, from.cbFormat);
            to.cbFormat = from.cbFormat;
        }
    }
}

void free_media_type(AM_MEDIA_TYPE& mt)
{
    CoTaskMemFree(mt.pbFormat);
    mt.pbFormat = nullptr;
    mt.cbFormat = 0;
}

// ---- pins ----

HRESULT VirtualPin::QueryInterface(REFIID iid, void** object)
{
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IPin::kIid) {
        *object = static_cast<IPin*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG VirtualPin::AddRef()
{
    return owner_.AddRef();
}

ULONG VirtualPin::Release()
{
    return owner_.Release();
}

bool VirtualPin::connected() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return static_cast<bool>(peer_);
}

void VirtualPin::store_type(const AM_MEDIA_TYPE* mt)
{
    type_ = AM_MEDIA_TYPE{};
    format_.clear();
    if (!mt) return;
    type_ = *mt;
    type_.pUnk = nullptr;
    if (mt->cbFormat && mt->pbFormat) format_.assign(mt->pbFormat, mt->pbFormat + mt->cbFormat);
    type_.pbFormat = nullptr;
    type_.cbFormat = static_cast<ULONG>(format_.size());
}

HRESULT VirtualPin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* mt)
{
    if (!receivePin) return E_POINTER;
    if (desc_.direction != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (peer_) return VFW_E_ALREADY_CONNECTED;
    }
    PIN_DIRECTION other;
    if (FAILED(receivePin->QueryDirection(&other)) || other != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;
    const HRESULT hr = receivePin->ReceiveConnection(this, mt);
    if (FAILED(hr)) return hr;
    std::lock_guard<std::mutex> guard(lock_);
    peer_ = ComPtr<IPin>::share(receivePin);
    store_type(mt);
    return S_OK;
}

HRESULT VirtualPin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt)
{
    if (!connector) return E_POINTER;
    if (desc_.direction != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;
    std::lock_guard<std::mutex> guard(lock_);
    if (peer_) return VFW_E_ALREADY_CONNECTED;
    peer_ = ComPtr<IPin>::share(connector);
    store_type(mt);
    return S_OK;
}

HRESULT VirtualPin::Disconnect()
{
    ComPtr<IPin> old;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!peer_) return S_FALSE;
        old = std::move(peer_);
        store_type(nullptr);
    }
    return S_OK; // `old` is released here, outside the lock
}

HRESULT VirtualPin::ConnectedTo(IPin** pin)
{
    if (!pin) return E_POINTER;
    std::lock_guard<std::mutex> guard(lock_);
    *pin = peer_.get();
    if (!*pin) return VFW_E_NOT_CONNECTED;
    (*pin)->AddRef();
    return S_OK;
}

HRESULT VirtualPin::ConnectionMediaType(AM_MEDIA_TYPE* mt)
{
    if (!mt) return E_POINTER;
    std::lock_guard<std::mutex> guard(lock_);
    *mt = AM_MEDIA_TYPE{};
    if (!peer_) return VFW_E_NOT_CONNECTED;
    AM_MEDIA_TYPE stored = type_;
    stored.pbFormat = format_.empty() ? nullptr : format_.data();
    copy_media_type(*mt, stored);
    return S_OK;
}

HRESULT VirtualPin::QueryPinInfo(PIN_INFO* info)
{
    if (!info) return E_POINTER;
    info->pFilter = &owner_;
    owner_.AddRef();
    info->dir = desc_.direction;
    copy_name(info->achName, to_wide(desc_.name.c_str(), 127));
    return S_OK;
}

HRESULT VirtualPin::QueryDirection(PIN_DIRECTION* direction)
{
    if (!direction) return E_POINTER;
    *direction = desc_.direction;
    return S_OK;
}

HRESULT VirtualPin::QueryId(LPWSTR* id)
{
    if (!id) return E_POINTER;
    *id = co_string(to_wide(desc_.name.c_str()));
    return *id ? S_OK : E_OUTOFMEMORY;
}

// ---- filter ----

VirtualFilter::VirtualFilter(FilterDesc desc, DWORD mrid) : desc_(std::move(desc)), mrid_(mrid)
{
    for (const PinDesc& p : desc_.pins) pins_.push_back(std::make_unique<VirtualPin>(*this, p));
    length_ = desc_.file_source ? -1.0 : desc_.duration;
    preroll_ = desc_.preroll;
}

bool VirtualFilter::offers(REFIID iid) const
{
    if (iid == IVirtualSource::kIid) return desc_.file_source || desc_.duration >= 0;
    if (iid == IFileSourceFilter::kIid) return desc_.file_source;
    if (iid == IFileSinkFilter::kIid) return desc_.file_sink;
    if (iid == ITimelineSink::kIid) return desc_.file_source || desc_.duration >= 0;
    return true;
}

HRESULT VirtualFilter::GetClassID(CLSID* clsid)
{
    if (!clsid) return E_POINTER;
    *clsid = desc_.clsid;
    return S_OK;
}

HRESULT VirtualFilter::Stop()
{
    std::lock_guard<std::mutex> guard(lock_);
    state_ = State_Stopped;
    return S_OK;
}

HRESULT VirtualFilter::Pause()
{
    std::lock_guard<std::mutex> guard(lock_);
    state_ = State_Paused;
    return S_OK;
}

HRESULT VirtualFilter::Run(REFERENCE_TIME start)
{
    std::lock_guard<std::mutex> guard(lock_);
    state_ = State_Running;
    run_start_ = start;
    return S_OK;
}

HRESULT VirtualFilter::GetState(DWORD, FILTER_STATE* state)
{
    if (!state) return E_POINTER;
    std::lock_guard<std::mutex> guard(lock_);
    *state = state_;
    return S_OK;
}

HRESULT VirtualFilter::SetSyncSource(IReferenceClock* clock)
{
    std::lock_guard<std::mutex> guard(lock_);
    clock_ = ComPtr<IReferenceClock>::share(clock);
    return S_OK;
}

HRESULT VirtualFilter::GetSyncSource(IReferenceClock** clock)
{
    if (!clock) return E_POINTER;
    std::lock_guard<std::mutex> guard(lock_);
    *clock = clock_.get();
    if (*clock) (*clock)->AddRef();
    return S_OK;
}

HRESULT VirtualFilter::EnumPins(IEnumPins** pins)
{
    if (!pins) return E_POINTER;
    std::vector<ComPtr<IPin>> list;
    for (auto& p : pins_) list.push_back(ComPtr<IPin>::share(p.get()));
    return create_object<ListEnumerator<IEnumPins, IPin>>(IEnumPins::kIid, reinterpret_cast<void**>(pins), std::move(list));
}

HRESULT VirtualFilter::FindPin(LPCWSTR id, IPin** pin)
{
    if (!pin || !id) return E_POINTER;
    *pin = nullptr;
    const std::string name = to_ansi(id);
    for (auto& p : pins_) {
        if (p->desc().name == name) {
            *pin = p.get();
            p->AddRef();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

HRESULT VirtualFilter::QueryFilterInfo(FILTER_INFO* info)
{
    if (!info) return E_POINTER;
    std::lock_guard<std::mutex> guard(lock_);
    copy_name(info->achName, name_);
    info->pGraph = graph_;
    if (graph_) graph_->AddRef();
    return S_OK;
}

HRESULT VirtualFilter::JoinFilterGraph(IFilterGraph* graph, LPCWSTR name)
{
    std::lock_guard<std::mutex> guard(lock_);
    graph_ = graph;
    name_ = graph && name ? std::u16string(name) : std::u16string();
    return S_OK;
}

HRESULT VirtualFilter::QueryVendorInfo(LPWSTR* vendor)
{
    if (!vendor) return E_POINTER;
    *vendor = co_string(to_wide(desc_.name.c_str()));
    return *vendor ? S_OK : E_OUTOFMEMORY;
}

HRESULT VirtualFilter::GetLength(double* duration, double* preroll)
{
    if (!duration || !preroll) return E_POINTER;
    std::lock_guard<std::mutex> guard(lock_);
    if (length_ < 0) return S_FALSE;
    *duration = length_;
    *preroll = preroll_;
    return S_OK;
}

HRESULT VirtualFilter::Load(LPCOLESTR file, const AM_MEDIA_TYPE*)
{
    if (!file) return E_POINTER;
    const std::string path = to_ansi(file);
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    }
    VirtualMedia clip;
    MediaInfo info;
    std::string error;
    HRESULT hr = S_OK;
    if (!find_virtual_media(path, clip)) {
        // Opened once to learn what the file holds; whoever plays it opens it again on its own
        // thread, so nothing of the reader is shared between threads.
        MediaFile media;
        const MediaStatus status = media.open(path);
        if (!status.ok()) {
            error = status.text;
            hr = status.code == kMediaNotFound ? VFW_E_NOT_FOUND
                 : status.code == kMediaTooLarge || status.code == kMediaNoStream ? VFW_E_UNSUPPORTED_STREAM
                                                                                   : VFW_E_INVALID_FILE_FORMAT;
        } else {
            info = media.info();
            clip.duration = info.duration;
        }
    }
    std::lock_guard<std::mutex> guard(lock_);
    load_error_ = error;
    if (FAILED(hr)) return ZK_FAIL(hr);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    file_ = path;
    length_ = clip.duration;
    preroll_ = clip.preroll;
    media_ = std::move(info);
    return S_OK;
}

HRESULT VirtualFilter::SetFileName(LPCOLESTR file, const AM_MEDIA_TYPE*)
{
    if (!file) return E_POINTER;
    std::lock_guard<std::mutex> guard(lock_);
    file_ = to_ansi(file);
    return S_OK;
}

HRESULT VirtualFilter::GetCurFile(LPOLESTR* file, AM_MEDIA_TYPE* mt)
{
    if (!file) return E_POINTER;
    std::lock_guard<std::mutex> guard(lock_);
    if (mt) *mt = AM_MEDIA_TYPE{};
    *file = file_.empty() ? nullptr : co_string(to_wide(file_.c_str()));
    return S_OK;
}

void VirtualFilter::SetTimeline(const SourceTimeline& timeline)
{
    std::shared_ptr<const std::function<void(const SourceTimeline&)>> listener;
    {
        std::lock_guard<std::mutex> guard(lock_);
        timeline_ = timeline;
        listener = listener_;
    }
    if (listener) (*listener)(timeline);
}

void VirtualFilter::set_timeline_listener(std::function<void(const SourceTimeline&)> listener)
{
    auto shared = listener ? std::make_shared<const std::function<void(const SourceTimeline&)>>(std::move(listener)) : nullptr;
    std::lock_guard<std::mutex> guard(lock_);
    listener_ = std::move(shared);
}

SourceTimeline VirtualFilter::timeline() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return timeline_;
}

MediaInfo VirtualFilter::media_info() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return media_;
}

std::string VirtualFilter::load_error() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return load_error_;
}

double SourceTimeline::position_at(REFERENCE_TIME now) const
{
    if (!moving) return base;
    const double elapsed = now > start ? static_cast<double>(now - start) / 1e7 : 0.0;
    return std::min(base + elapsed * rate, std::max(stop, base));
}

std::string VirtualFilter::current_file() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return file_;
}

REFERENCE_TIME VirtualFilter::run_start() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return run_start_;
}

FILTER_STATE VirtualFilter::state() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return state_;
}

bool VirtualFilter::notify(LONG code, LONG_PTR param1, LONG_PTR param2)
{
    ComPtr<IFilterGraph> graph;
    {
        std::lock_guard<std::mutex> guard(lock_);
        graph = ComPtr<IFilterGraph>::share(graph_);
    }
    // Asked outside the filter's lock: the graph may call back into the filter.
    ComPtr<IMediaEventSink> sink = graph.as<IMediaEventSink>();
    return sink && SUCCEEDED(sink->Notify(code, param1, param2));
}

void register_virtual_filter(const FilterDesc& desc)
{
    register_class(desc.clsid, [desc](REFIID iid, void** object, DWORD mrid) {
        return create_object<VirtualFilter>(iid, object, desc, mrid);
    });
}

namespace {

// The general-purpose file source and renderer that AddSourceFilter and RenderFile use.
const struct StandardFilters {
    StandardFilters()
    {
        FilterDesc source;
        source.clsid = CLSID_AsyncReader;
        source.name = "File Source";
        source.pins = {{"Output", PINDIR_OUTPUT}};
        source.file_source = true;
        register_virtual_filter(source);

        FilterDesc renderer;
        renderer.clsid = CLSID_VideoRenderer;
        renderer.name = "Video Renderer";
        renderer.pins = {{"Input", PINDIR_INPUT}};
        register_virtual_filter(renderer);
    }
} standard_filters;

} // namespace

} // namespace zk
