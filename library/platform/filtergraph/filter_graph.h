// The filter graph manager (CLSID_FilterGraph): holds filters and their connections, runs
// them on its sync source, keeps the play position, and queues events for the application.
//
// Timeline: while running, the position moves from where the graph was paused at the rate of
// its reference clock, starting at the run's start time; a graph with a source of known
// length stops moving at its stop time and queues EC_COMPLETE at the clock time it gets
// there (a scheduled call on the clock's time base, so a stepped test clock produces it
// exactly). Without a source the position stays at 0. Stop and Pause keep the position.
//
// Graph extensions stand where plug-in distributors stand on Windows: objects that a vendor
// registers by interface identifier and that the graph creates on first QueryInterface,
// sharing the graph's reference count and reaching the graph through GraphAccess. The
// virtual board's scrub and shuttle controls are extensions.
//
// One recursive lock guards the graph; filters are called with it held, except GetState,
// which may block for its time-out.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/filtergraph/reference_clock.h"
#include "platform/filtergraph/virtual_filter.h"

namespace zk {

// What an extension may ask of the graph it belongs to.
class GraphAccess {
public:
    virtual IUnknown* graph_unknown() = 0;
    virtual FILTER_STATE graph_state() = 0;
    virtual bool has_source() = 0;        // a filter with a known length
    virtual double graph_duration() = 0;
    virtual double graph_position() = 0;
    // Moves the position as put_CurrentPosition does (the frame at `seconds` is shown).
    virtual void show_position(double seconds) = 0;
    // While held, the position does not follow the clock and nothing completes.
    virtual void hold_timeline() = 0;
    // Lets the position follow the clock again; with `complete`, a running graph instead
    // ends where it stands and queues EC_COMPLETE, as a stream that was cut off.
    virtual void release_timeline(bool complete) = 0;
    virtual void post_event(LONG code, LONG_PTR param1, LONG_PTR param2) = 0;
    virtual ComPtr<IReferenceClock> sync_clock() = 0;

protected:
    ~GraphAccess() = default;
};

class GraphExtensionBase {
public:
    virtual ~GraphExtensionBase() = default;
    // The interface for `iid` when this extension implements it (not AddRef'd), else null.
    virtual void* query(REFIID iid) = 0;
};

// An extension implementing `Interfaces`, with the graph's identity and reference count.
template <class... Interfaces> class GraphExtension : public GraphExtensionBase, public Interfaces... {
public:
    explicit GraphExtension(GraphAccess& graph) : graph_(graph) {}
    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        return graph_.graph_unknown()->QueryInterface(iid, object);
    }
    ULONG AddRef() override { return graph_.graph_unknown()->AddRef(); }
    ULONG Release() override { return graph_.graph_unknown()->Release(); }
    void* query(REFIID iid) override
    {
        void* p = nullptr;
        ((p == nullptr && iid == Interfaces::kIid ? (void)(p = static_cast<Interfaces*>(this)) : (void)0), ...);
        return p;
    }

protected:
    GraphAccess& graph_;
};

// Makes the extension for a graph, or null when it is not available (no such hardware).
using GraphExtensionFactory = std::function<std::unique_ptr<GraphExtensionBase>(GraphAccess&)>;
// One factory may be registered under several identifiers: the graph makes one object and
// asks it for each of them.
ZORVIK_API void register_graph_extension(REFIID iid, GraphExtensionFactory factory);

class FilterGraph final : public ComObject<IGraphBuilder, IMediaControl, IMediaFilter, IMediaPosition, IMediaEvent,
                                           IMediaEventSink>,
                          private GraphAccess {
public:
    FilterGraph();
    ~FilterGraph() override;

    // IFilterGraph / IGraphBuilder
    HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) override;
    HRESULT RemoveFilter(IBaseFilter* filter) override;
    HRESULT EnumFilters(IEnumFilters** filters) override;
    HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) override;
    HRESULT ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* mt) override;
    HRESULT Reconnect(IPin* pin) override;
    HRESULT Disconnect(IPin* pin) override;
    HRESULT SetDefaultSyncSource() override;
    HRESULT Connect(IPin* out, IPin* in) override;
    HRESULT Render(IPin* out) override;
    HRESULT RenderFile(LPCWSTR file, LPCWSTR playList) override;
    HRESULT AddSourceFilter(LPCWSTR file, LPCWSTR filterName, IBaseFilter** filter) override;
    HRESULT SetLogFile(DWORD_PTR) override { return S_OK; }
    HRESULT Abort() override { return S_OK; }
    HRESULT ShouldOperationContinue() override { return S_OK; }

    // IMediaControl (GetState is shared with IMediaFilter below through the LONG overload)
    HRESULT Run() override;
    HRESULT Pause() override;
    HRESULT Stop() override;
    HRESULT GetState(LONG milliseconds, OAFilterState* state) override;
    HRESULT StopWhenReady() override;

    // IMediaFilter
    HRESULT GetClassID(CLSID* clsid) override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT GetState(DWORD milliseconds, FILTER_STATE* state) override;
    HRESULT SetSyncSource(IReferenceClock* clock) override;
    HRESULT GetSyncSource(IReferenceClock** clock) override;

    // IMediaPosition
    HRESULT get_Duration(REFTIME* length) override;
    HRESULT put_CurrentPosition(REFTIME time) override;
    HRESULT get_CurrentPosition(REFTIME* time) override;
    HRESULT get_StopTime(REFTIME* time) override;
    HRESULT put_StopTime(REFTIME time) override;
    HRESULT get_PrerollTime(REFTIME* time) override;
    HRESULT put_PrerollTime(REFTIME time) override;
    HRESULT put_Rate(double rate) override;
    HRESULT get_Rate(double* rate) override;
    HRESULT CanSeekForward(LONG* can) override;
    HRESULT CanSeekBackward(LONG* can) override;

    // IMediaEvent
    HRESULT GetEventHandle(OAEVENT* event) override;
    HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG milliseconds) override;
    HRESULT WaitForCompletion(LONG milliseconds, LONG* code) override;
    HRESULT CancelDefaultHandling(LONG) override { return S_OK; }
    HRESULT RestoreDefaultHandling(LONG) override { return S_OK; }
    HRESULT FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) override;

    // IMediaEventSink
    HRESULT Notify(LONG code, LONG_PTR param1, LONG_PTR param2) override;

private:
    struct Entry {
        ComPtr<IBaseFilter> filter;
        std::u16string name;
    };
    struct Event {
        LONG code;
        LONG_PTR param1;
        LONG_PTR param2;
    };
    // Shared with the clock callbacks so a late call finds out that the graph is gone.
    struct Guard {
        std::mutex lock;
        FilterGraph* graph = nullptr;
    };

    void* query_extra(REFIID iid) override;

    // GraphAccess
    IUnknown* graph_unknown() override;
    FILTER_STATE graph_state() override;
    bool has_source() override;
    double graph_duration() override;
    double graph_position() override;
    void show_position(double seconds) override;
    void hold_timeline() override;
    void release_timeline(bool complete) override;
    void post_event(LONG code, LONG_PTR param1, LONG_PTR param2) override;
    ComPtr<IReferenceClock> sync_clock() override;

    // All with lock_ held.
    bool source_length(double& duration, double& preroll);
    double duration_locked();
    double stop_locked();
    double position_locked();
    bool clock_now(REFERENCE_TIME& now);
    void rebase_locked(double position);
    void arm_completion_locked();
    void disarm_completion_locked();
    HRESULT pause_locked();
    HRESULT run_locked(REFERENCE_TIME start);
    void completion_due(std::uint64_t generation);
    // Tells every source where the timeline stands now.
    void publish_timeline_locked();
    Entry* find_entry(IBaseFilter* filter);
    void disconnect_filter_pins(IBaseFilter* filter);

    std::recursive_mutex lock_;
    std::vector<Entry> filters_;
    ComPtr<IReferenceClock> clock_;
    std::shared_ptr<TimeBase> time_base_;
    FILTER_STATE state_ = State_Stopped;
    double pos_base_ = 0.0;          // position at run_start_ (or where it rests)
    REFERENCE_TIME run_start_ = 0;   // clock time from which the position moves
    double stop_ = -1.0;             // < 0: the duration
    double rate_ = 1.0;
    double preroll_override_ = -1.0; // < 0: from the sources
    bool held_ = false;
    bool completed_ = false;
    std::uint64_t generation_ = 0;
    unsigned long long timeline_generation_ = 0;
    DWORD_PTR completion_id_ = 0;
    std::shared_ptr<Guard> guard_;

    std::deque<Event> events_;
    HANDLE event_handle_ = nullptr;

    std::vector<std::unique_ptr<GraphExtensionBase>> extensions_;
};

} // namespace zk
