// The filter graph manager: filters, connections, the timeline on the sync source, events.
#include "platform/filtergraph/filter_graph.h"

#include "platform/win32/win32_base.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>

namespace zk {
namespace {

struct Extensions {
    std::mutex lock;
    std::vector<std::pair<IID, std::shared_ptr<GraphExtensionFactory>>> factories;
};

Extensions& extension_registry()
{
    static Extensions e;
    return e;
}

std::shared_ptr<GraphExtensionFactory> find_extension_factory(REFIID iid)
{
    Extensions& e = extension_registry();
    std::lock_guard<std::mutex> guard(e.lock);
    for (auto& [id, factory] : e.factories) {
        if (id == iid) return factory;
    }
    return nullptr;
}

const ClassRegistrar filter_graph_class(CLSID_FilterGraph, [](REFIID iid, void** object, DWORD) {
    return create_object<FilterGraph>(iid, object);
});

ComPtr<IBaseFilter> pin_owner(IPin* pin)
{
    PIN_INFO info{};
    if (FAILED(pin->QueryPinInfo(&info))) return nullptr;
    return ComPtr<IBaseFilter>::attach(info.pFilter);
}

} // namespace

void register_graph_extension(REFIID iid, GraphExtensionFactory factory)
{
    Extensions& e = extension_registry();
    std::lock_guard<std::mutex> guard(e.lock);
    auto shared = std::make_shared<GraphExtensionFactory>(std::move(factory));
    for (auto& [id, f] : e.factories) {
        if (id == iid) {
            f = shared;
            return;
        }
    }
    e.factories.emplace_back(iid, shared);
}

FilterGraph::FilterGraph() : guard_(std::make_shared<Guard>())
{
    guard_->graph = this;
    event_handle_ = CreateEvent(nullptr, TRUE, FALSE, nullptr);
}

FilterGraph::~FilterGraph()
{
    {
        // Waits for a completion call in progress and keeps later ones out.
        std::lock_guard<std::mutex> guard(guard_->lock);
        guard_->graph = nullptr;
    }
    std::vector<Entry> filters;
    {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        disarm_completion_locked();
        filters = std::move(filters_);
        filters_.clear();
    }
    for (Entry& e : filters) {
        disconnect_filter_pins(e.filter.get());
        e.filter->Stop();
        e.filter->JoinFilterGraph(nullptr, nullptr);
        e.filter->SetSyncSource(nullptr);
    }
    filters.clear();
    for (const Event& ev : events_) FreeEventParams(ev.code, ev.param1, ev.param2);
    events_.clear();
    extensions_.clear();
    if (event_handle_) CloseHandle(event_handle_);
}

void* FilterGraph::query_extra(REFIID iid)
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    for (auto& ext : extensions_) {
        if (void* p = ext->query(iid)) return p;
    }
    auto factory = find_extension_factory(iid);
    if (!factory) return nullptr;
    auto ext = (*factory)(*this);
    if (!ext) return nullptr;
    void* p = ext->query(iid);
    extensions_.push_back(std::move(ext));
    return p;
}

// ---- GraphAccess ----

IUnknown* FilterGraph::graph_unknown()
{
    return static_cast<IGraphBuilder*>(this);
}

FILTER_STATE FilterGraph::graph_state()
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return state_;
}

bool FilterGraph::has_source()
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    double d, p;
    return source_length(d, p);
}

double FilterGraph::graph_duration()
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return duration_locked();
}

double FilterGraph::graph_position()
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return position_locked();
}

void FilterGraph::show_position(double seconds)
{
    put_CurrentPosition(seconds);
}

void FilterGraph::hold_timeline()
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (held_) return;
    pos_base_ = position_locked();
    held_ = true;
    disarm_completion_locked();
    publish_timeline_locked();
}

void FilterGraph::release_timeline(bool complete)
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (!held_) return;
    held_ = false;
    if (complete && state_ == State_Running) {
        REFERENCE_TIME now;
        if (clock_now(now)) run_start_ = now;
        completed_ = true;
        publish_timeline_locked();
        post_event(EC_COMPLETE, S_OK, 0);
        return;
    }
    rebase_locked(pos_base_);
}

void FilterGraph::post_event(LONG code, LONG_PTR param1, LONG_PTR param2)
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    events_.push_back(Event{code, param1, param2});
    SetEvent(event_handle_);
}

ComPtr<IReferenceClock> FilterGraph::sync_clock()
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return clock_;
}

// ---- timeline ----

bool FilterGraph::source_length(double& duration, double& preroll)
{
    bool any = false;
    duration = 0.0;
    preroll = 0.0;
    for (Entry& e : filters_) {
        ComPtr<IVirtualSource> src = e.filter.as<IVirtualSource>();
        double d = 0, p = 0;
        if (src && src->GetLength(&d, &p) == S_OK) {
            any = true;
            duration = std::max(duration, d);
            preroll = std::max(preroll, p);
        }
    }
    return any;
}

double FilterGraph::duration_locked()
{
    double d, p;
    source_length(d, p);
    return d;
}

double FilterGraph::stop_locked()
{
    const double d = duration_locked();
    return stop_ < 0 ? d : std::min(stop_, d);
}

bool FilterGraph::clock_now(REFERENCE_TIME& now)
{
    return clock_ && SUCCEEDED(clock_->GetTime(&now));
}

double FilterGraph::position_locked()
{
    REFERENCE_TIME now;
    if (state_ != State_Running || held_ || completed_ || !clock_now(now)) return pos_base_;
    const double elapsed = now > run_start_ ? static_cast<double>(now - run_start_) / kUnitsPerSecond : 0.0;
    return std::min(pos_base_ + elapsed * rate_, std::max(stop_locked(), pos_base_));
}

// The position becomes `position` now; while running it moves on from here.
void FilterGraph::rebase_locked(double position)
{
    pos_base_ = position;
    REFERENCE_TIME now;
    if (state_ == State_Running && clock_now(now)) run_start_ = std::max(now, run_start_);
    completed_ = false;
    disarm_completion_locked();
    arm_completion_locked();
    publish_timeline_locked();
}

void FilterGraph::publish_timeline_locked()
{
    SourceTimeline t;
    t.moving = state_ == State_Running && !held_ && !completed_;
    t.base = pos_base_;
    t.start = run_start_;
    t.rate = rate_;
    t.stop = std::max(stop_locked(), pos_base_);
    t.generation = ++timeline_generation_;
    for (Entry& e : filters_) {
        if (ComPtr<ITimelineSink> sink = e.filter.as<ITimelineSink>()) sink->SetTimeline(t);
    }
}

void FilterGraph::arm_completion_locked()
{
    if (state_ != State_Running || held_ || completed_ || completion_id_) return;
    double d, p;
    if (!source_length(d, p) || !time_base_) return;
    const double remaining = std::max(0.0, stop_locked() - pos_base_) / rate_;
    const REFERENCE_TIME at = run_start_ + static_cast<REFERENCE_TIME>(std::ceil(remaining * kUnitsPerSecond));
    const std::uint64_t generation = ++generation_;
    std::weak_ptr<Guard> weak = guard_;
    completion_id_ = time_base_->schedule(at, 0, [weak, generation] {
        auto g = weak.lock();
        if (!g) return;
        std::lock_guard<std::mutex> guard(g->lock);
        if (g->graph) g->graph->completion_due(generation);
    });
}

void FilterGraph::disarm_completion_locked()
{
    ++generation_; // a call already on its way finds a newer generation and does nothing
    if (completion_id_ && time_base_) time_base_->cancel(completion_id_);
    completion_id_ = 0;
}

void FilterGraph::completion_due(std::uint64_t generation)
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (generation != generation_ || state_ != State_Running || held_) return;
    completion_id_ = 0;
    completed_ = true;
    pos_base_ = std::max(stop_locked(), pos_base_);
    REFERENCE_TIME now;
    if (clock_now(now)) run_start_ = now;
    publish_timeline_locked();
    post_event(EC_COMPLETE, S_OK, 0);
}

// ---- state ----

HRESULT FilterGraph::pause_locked()
{
    if (state_ == State_Running) {
        pos_base_ = position_locked();
        disarm_completion_locked();
    }
    HRESULT result = S_OK;
    for (Entry& e : filters_) {
        const HRESULT hr = e.filter->Pause();
        if (FAILED(hr)) return hr;
        if (hr == S_FALSE) result = S_FALSE;
    }
    state_ = State_Paused;
    publish_timeline_locked();
    return result;
}

HRESULT FilterGraph::run_locked(REFERENCE_TIME start)
{
    if (state_ == State_Running) return S_OK;
    if (state_ == State_Stopped) {
        const HRESULT hr = pause_locked();
        if (FAILED(hr)) return hr;
    }
    for (Entry& e : filters_) {
        const HRESULT hr = e.filter->Run(start);
        if (FAILED(hr)) return hr;
    }
    state_ = State_Running;
    run_start_ = start;
    completed_ = false;
    arm_completion_locked();
    publish_timeline_locked();
    return S_OK;
}

HRESULT FilterGraph::Run()
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    REFERENCE_TIME now = 0;
    clock_now(now);
    return run_locked(now);
}

HRESULT FilterGraph::Run(REFERENCE_TIME start)
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return run_locked(start);
}

HRESULT FilterGraph::Pause()
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return pause_locked();
}

HRESULT FilterGraph::Stop()
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (state_ == State_Running) pos_base_ = position_locked();
    disarm_completion_locked();
    for (Entry& e : filters_) e.filter->Stop();
    state_ = State_Stopped;
    publish_timeline_locked();
    return S_OK;
}

HRESULT FilterGraph::StopWhenReady()
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    pause_locked();
    return Stop();
}

HRESULT FilterGraph::GetState(DWORD milliseconds, FILTER_STATE* state)
{
    if (!state) return E_POINTER;
    std::vector<ComPtr<IBaseFilter>> filters;
    {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        *state = state_;
        for (Entry& e : filters_) filters.push_back(e.filter);
    }
    // Filters may take up to the time-out to settle; the graph lock is not held meanwhile.
    const TimeLeft deadline(milliseconds);
    HRESULT result = S_OK;
    for (auto& f : filters) {
        FILTER_STATE fs;
        const HRESULT hr = f->GetState(deadline.left(), &fs);
        if (FAILED(hr)) return hr;
        if (hr == VFW_S_STATE_INTERMEDIATE) result = hr;
    }
    return result;
}

HRESULT FilterGraph::GetState(LONG milliseconds, OAFilterState* state)
{
    if (!state) return E_POINTER;
    FILTER_STATE fs;
    const HRESULT hr = GetState(milliseconds < 0 ? INFINITE : static_cast<DWORD>(milliseconds), &fs);
    *state = fs;
    return hr;
}

HRESULT FilterGraph::GetClassID(CLSID* clsid)
{
    if (!clsid) return E_POINTER;
    *clsid = CLSID_FilterGraph;
    return S_OK;
}

HRESULT FilterGraph::SetSyncSource(IReferenceClock* clock)
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    disarm_completion_locked();
    clock_ = ComPtr<IReferenceClock>::share(clock);
    time_base_ = time_base_of(clock);
    for (Entry& e : filters_) e.filter->SetSyncSource(clock);
    return S_OK;
}

HRESULT FilterGraph::GetSyncSource(IReferenceClock** clock)
{
    if (!clock) return E_POINTER;
    std::lock_guard<std::recursive_mutex> guard(lock_);
    *clock = clock_.get();
    if (*clock) (*clock)->AddRef();
    return S_OK;
}

HRESULT FilterGraph::SetDefaultSyncSource()
{
    ComPtr<IReferenceClock> clock;
    const HRESULT hr = CoCreateInstance(CLSID_SystemClock, nullptr, CLSCTX_INPROC, IID_IReferenceClock, clock.put_void());
    if (FAILED(hr)) return hr;
    return SetSyncSource(clock.get());
}

// ---- position ----

HRESULT FilterGraph::get_Duration(REFTIME* length)
{
    if (!length) return E_POINTER;
    std::lock_guard<std::recursive_mutex> guard(lock_);
    *length = duration_locked();
    return S_OK;
}

HRESULT FilterGraph::put_CurrentPosition(REFTIME time)
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    const double d = duration_locked();
    const double p = std::isfinite(time) ? std::clamp(time, 0.0, d) : 0.0;
    if (state_ == State_Running && !held_) rebase_locked(p);
    else pos_base_ = p;
    completed_ = false;
    publish_timeline_locked();
    return S_OK;
}

HRESULT FilterGraph::get_CurrentPosition(REFTIME* time)
{
    if (!time) return E_POINTER;
    std::lock_guard<std::recursive_mutex> guard(lock_);
    *time = position_locked();
    return S_OK;
}

HRESULT FilterGraph::get_StopTime(REFTIME* time)
{
    if (!time) return E_POINTER;
    std::lock_guard<std::recursive_mutex> guard(lock_);
    *time = stop_locked();
    return S_OK;
}

HRESULT FilterGraph::put_StopTime(REFTIME time)
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    const double current = position_locked();
    stop_ = std::isfinite(time) ? std::clamp(time, 0.0, duration_locked()) : -1.0;
    if (state_ == State_Running && !held_) rebase_locked(current);
    else publish_timeline_locked();
    return S_OK;
}

HRESULT FilterGraph::get_PrerollTime(REFTIME* time)
{
    if (!time) return E_POINTER;
    std::lock_guard<std::recursive_mutex> guard(lock_);
    double d, p;
    source_length(d, p);
    *time = preroll_override_ >= 0 ? preroll_override_ : p;
    return S_OK;
}

HRESULT FilterGraph::put_PrerollTime(REFTIME time)
{
    if (!(time >= 0)) return E_INVALIDARG;
    std::lock_guard<std::recursive_mutex> guard(lock_);
    preroll_override_ = time;
    return S_OK;
}

HRESULT FilterGraph::put_Rate(double rate)
{
    if (!(rate > 0) || !std::isfinite(rate)) return E_INVALIDARG;
    std::lock_guard<std::recursive_mutex> guard(lock_);
    const double current = position_locked();
    rate_ = rate;
    if (state_ == State_Running && !held_) rebase_locked(current);
    else publish_timeline_locked();
    return S_OK;
}

HRESULT FilterGraph::get_Rate(double* rate)
{
    if (!rate) return E_POINTER;
    std::lock_guard<std::recursive_mutex> guard(lock_);
    *rate = rate_;
    return S_OK;
}

HRESULT FilterGraph::CanSeekForward(LONG* can)
{
    if (!can) return E_POINTER;
    *can = has_source() ? -1 : 0;
    return S_OK;
}

HRESULT FilterGraph::CanSeekBackward(LONG* can)
{
    return CanSeekForward(can);
}

// ---- events ----

HRESULT FilterGraph::GetEventHandle(OAEVENT* event)
{
    if (!event) return E_POINTER;
    *event = reinterpret_cast<OAEVENT>(event_handle_);
    return S_OK;
}

HRESULT FilterGraph::GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG milliseconds)
{
    if (!code || !param1 || !param2) return E_POINTER;
    const TimeLeft deadline(milliseconds < 0 ? INFINITE : static_cast<DWORD>(milliseconds));
    for (;;) {
        {
            std::lock_guard<std::recursive_mutex> guard(lock_);
            if (!events_.empty()) {
                const Event e = events_.front();
                events_.pop_front();
                if (events_.empty()) ResetEvent(event_handle_);
                *code = e.code;
                *param1 = e.param1;
                *param2 = e.param2;
                return S_OK;
            }
            // The handle says whether events are queued; somebody may have set it by hand.
            ResetEvent(event_handle_);
        }
        if (WaitForSingleObject(event_handle_, deadline.left()) != WAIT_OBJECT_0) {
            // One last look before giving up: an event may have come just as the time ran out.
            std::lock_guard<std::recursive_mutex> guard(lock_);
            if (events_.empty()) {
                *code = 0;
                *param1 = *param2 = 0;
                return E_ABORT;
            }
        }
    }
}

HRESULT FilterGraph::WaitForCompletion(LONG milliseconds, LONG* code)
{
    if (!code) return E_POINTER;
    *code = 0;
    const TimeLeft deadline(milliseconds < 0 ? INFINITE : static_cast<DWORD>(milliseconds));
    for (;;) {
        const DWORD wait = deadline.left();
        const LONG left = wait == INFINITE ? -1 : static_cast<LONG>(wait);
        LONG c;
        LONG_PTR p1, p2;
        if (GetEvent(&c, &p1, &p2, left) != S_OK) return E_ABORT;
        FreeEventParams(c, p1, p2);
        if (c == EC_COMPLETE || c == EC_USERABORT || c == EC_ERRORABORT) {
            *code = c;
            return S_OK;
        }
    }
}

HRESULT FilterGraph::FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2)
{
    if (code == EC_OLE_EVENT) {
        SysFreeString(reinterpret_cast<BSTR>(param1));
        SysFreeString(reinterpret_cast<BSTR>(param2));
    }
    return S_OK;
}

HRESULT FilterGraph::Notify(LONG code, LONG_PTR param1, LONG_PTR param2)
{
    post_event(code, param1, param2);
    return S_OK;
}

// ---- filters and connections ----

FilterGraph::Entry* FilterGraph::find_entry(IBaseFilter* filter)
{
    for (Entry& e : filters_) {
        if (e.filter.get() == filter) return &e;
    }
    return nullptr;
}

void FilterGraph::disconnect_filter_pins(IBaseFilter* filter)
{
    ComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(pins.put())) || !pins) return;
    IPin* pin = nullptr;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
        ComPtr<IPin> p = ComPtr<IPin>::attach(pin);
        ComPtr<IPin> peer;
        if (SUCCEEDED(p->ConnectedTo(peer.put())) && peer) peer->Disconnect();
        p->Disconnect();
    }
}

HRESULT FilterGraph::AddFilter(IBaseFilter* filter, LPCWSTR name)
{
    if (!filter) return E_POINTER;
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (find_entry(filter)) return E_INVALIDARG;
    std::u16string wanted = name && *name ? std::u16string(name) : std::u16string();
    if (wanted.empty()) {
        LPWSTR vendor = nullptr;
        if (SUCCEEDED(filter->QueryVendorInfo(&vendor)) && vendor) wanted = vendor;
        CoTaskMemFree(vendor);
        if (wanted.empty()) wanted = u"Filter";
    }
    wanted = wanted.substr(0, 120);
    // Names are unique in a graph: a taken name gets a number, as the Windows graph does.
    std::u16string unique = wanted;
    for (int n = 1; std::any_of(filters_.begin(), filters_.end(), [&](const Entry& e) { return e.name == unique; });
         ++n) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, " %04d", n);
        unique = wanted + to_wide(suffix);
    }
    const HRESULT hr = filter->JoinFilterGraph(static_cast<IGraphBuilder*>(this), unique.c_str());
    if (FAILED(hr)) return hr;
    filter->SetSyncSource(clock_.get());
    filters_.push_back(Entry{ComPtr<IBaseFilter>::share(filter), unique});
    publish_timeline_locked();
    return unique == wanted ? S_OK : VFW_S_DUPLICATE_NAME;
}

HRESULT FilterGraph::RemoveFilter(IBaseFilter* filter)
{
    if (!filter) return E_POINTER;
    ComPtr<IBaseFilter> keep;
    {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        auto it = std::find_if(filters_.begin(), filters_.end(), [&](const Entry& e) { return e.filter.get() == filter; });
        if (it == filters_.end()) return VFW_E_NOT_FOUND;
        keep = it->filter;
        filters_.erase(it);
        disconnect_filter_pins(filter);
        filter->Stop();
        filter->JoinFilterGraph(nullptr, nullptr);
        filter->SetSyncSource(nullptr);
    }
    return S_OK;
}

HRESULT FilterGraph::EnumFilters(IEnumFilters** filters)
{
    if (!filters) return E_POINTER;
    std::vector<ComPtr<IBaseFilter>> list;
    {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        for (Entry& e : filters_) list.push_back(e.filter);
    }
    return create_object<ListEnumerator<IEnumFilters, IBaseFilter>>(IEnumFilters::kIid,
                                                                     reinterpret_cast<void**>(filters), std::move(list));
}

HRESULT FilterGraph::FindFilterByName(LPCWSTR name, IBaseFilter** filter)
{
    if (!name || !filter) return E_POINTER;
    std::lock_guard<std::recursive_mutex> guard(lock_);
    *filter = nullptr;
    for (Entry& e : filters_) {
        if (e.name == name) {
            *filter = e.filter.get();
            (*filter)->AddRef();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

HRESULT FilterGraph::ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* mt)
{
    if (!out || !in) return E_POINTER;
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    ComPtr<IBaseFilter> from = pin_owner(out);
    ComPtr<IBaseFilter> to = pin_owner(in);
    if (!from || !to || !find_entry(from.get()) || !find_entry(to.get())) return VFW_E_NOT_IN_GRAPH;
    return out->Connect(in, mt);
}

HRESULT FilterGraph::Connect(IPin* out, IPin* in)
{
    return ConnectDirect(out, in, nullptr);
}

HRESULT FilterGraph::Reconnect(IPin*)
{
    return E_NOTIMPL;
}

HRESULT FilterGraph::Disconnect(IPin* pin)
{
    if (!pin) return E_POINTER;
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (state_ != State_Stopped) return VFW_E_NOT_STOPPED;
    return pin->Disconnect();
}

HRESULT FilterGraph::Render(IPin* out)
{
    if (!out) return E_POINTER;
    ComPtr<IBaseFilter> renderer;
    HRESULT hr = CoCreateInstance(CLSID_VideoRenderer, nullptr, CLSCTX_INPROC, IID_IBaseFilter, renderer.put_void());
    if (FAILED(hr)) return VFW_E_CANNOT_RENDER;
    std::lock_guard<std::recursive_mutex> guard(lock_);
    hr = AddFilter(renderer.get(), u"Video Renderer");
    if (FAILED(hr)) return hr;
    ComPtr<IPin> in;
    hr = renderer->FindPin(u"Input", in.put());
    if (SUCCEEDED(hr)) hr = ConnectDirect(out, in.get(), nullptr);
    if (FAILED(hr)) {
        RemoveFilter(renderer.get());
        return VFW_E_CANNOT_RENDER;
    }
    return S_OK;
}

HRESULT FilterGraph::AddSourceFilter(LPCWSTR file, LPCWSTR filterName, IBaseFilter** filter)
{
    if (!file || !filter) return E_POINTER;
    *filter = nullptr;
    ComPtr<IBaseFilter> source;
    HRESULT hr = CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC, IID_IBaseFilter, source.put_void());
    if (FAILED(hr)) return hr;
    ComPtr<IFileSourceFilter> load = source.as<IFileSourceFilter>();
    if (!load) return E_NOINTERFACE;
    hr = load->Load(file, nullptr);
    if (FAILED(hr)) return hr;
    hr = AddFilter(source.get(), filterName && *filterName ? filterName : file);
    if (FAILED(hr)) return hr;
    *filter = source.detach();
    return S_OK;
}

HRESULT FilterGraph::RenderFile(LPCWSTR file, LPCWSTR)
{
    ComPtr<IBaseFilter> source;
    HRESULT hr = AddSourceFilter(file, nullptr, source.put());
    if (FAILED(hr)) return hr;
    ComPtr<IPin> out;
    hr = source->FindPin(u"Output", out.put());
    if (SUCCEEDED(hr)) hr = Render(out.get());
    if (FAILED(hr)) {
        RemoveFilter(source.get());
        return hr;
    }
    return S_OK;
}

} // namespace zk
