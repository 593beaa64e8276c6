// Filters without media: named pins that connect, a state that follows the graph, and, for
// sources, a length in seconds that the graph plays through on its clock.
//
// A VirtualFilter is described by a FilterDesc (class identifier, pins, optional source length
// or file-source behaviour) and can be registered as a class, so graph-building code creates
// it by CLSID exactly as it would create a hardware filter. Pins take any media type. Derived
// classes add interfaces through query_extra and may override the state operations, which is
// how tests build filters that are slow to pause or that answer "intermediate".
//
// File sources learn their length from the file itself, opened through the media reader when
// the file is loaded (length, frame rate, field order, sound); a file that is missing or cannot
// be decoded is refused with a code and a sentence (load_error). The media catalogue
// (set_virtual_media) comes first: a test or a host may name a clip that does not exist on
// disk and say how long it is.
//
// The graph tells its sources where its timeline stands (SetTimeline) every time that changes,
// so a source can say which position is on show at any clock time without asking the graph
// (the per-field path reads the source alone and never takes the graph's lock).
#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/filtergraph/dshow_interfaces.h"
#include "platform/media/media_file.h"

namespace zk {

struct PinDesc {
    std::string name;
    PIN_DIRECTION direction = PINDIR_INPUT;
};

struct FilterDesc {
    CLSID clsid{};
    std::string name; // vendor text, and the name used when the graph is given none
    std::vector<PinDesc> pins;
    double duration = -1.0; // >= 0: a source of that many seconds
    double preroll = 0.0;   // seconds the source needs before its start time
    bool file_source = false; // offers IFileSourceFilter; Load sets the length
    bool file_sink = false;   // offers IFileSinkFilter
};

// Internal: how the graph learns the length of what a source plays.
struct IVirtualSource : IUnknown {
    static constexpr GUID kIid = make_guid("5A7E3C02-6B2D-4C1E-9A53-2F0D8E4B7C10");
    using Parent = IUnknown;
    // S_FALSE when the filter is a source that has nothing loaded yet.
    virtual HRESULT GetLength(double* duration, double* preroll) = 0;
};

// Where a graph's timeline stands: the position `base` at clock time `start`, moving on at
// `rate` while `moving` (running and not held) up to `stop`, else resting at `base`.
struct SourceTimeline {
    bool moving = false;
    double base = 0.0;
    REFERENCE_TIME start = 0;
    double rate = 1.0;
    double stop = 0.0;
    unsigned long long generation = 0; // counts the changes

    // The position shown at clock time `now`.
    double position_at(REFERENCE_TIME now) const;
};

// Internal: how the graph tells a source about its timeline.
struct ITimelineSink : IUnknown {
    static constexpr GUID kIid = make_guid("5A7E3C03-6B2D-4C1E-9A53-2F0D8E4B7C10");
    using Parent = IUnknown;
    virtual void SetTimeline(const SourceTimeline& timeline) = 0;
};

struct VirtualMedia {
    double duration = 0.0;
    double preroll = 0.0;
};
// Registers (or with a negative duration forgets) the length of a named clip.
ZORVIK_API void set_virtual_media(const std::string& path, double duration, double preroll = 0.0);
bool find_virtual_media(const std::string& path, VirtualMedia& out);

class VirtualFilter;

class VirtualPin final : public IPin {
public:
    VirtualPin(VirtualFilter& owner, PinDesc desc) : owner_(owner), desc_(std::move(desc)) {}

    // The pin lives inside its filter and shares its reference count.
    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* mt) override;
    HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) override;
    HRESULT Disconnect() override;
    HRESULT ConnectedTo(IPin** pin) override;
    HRESULT ConnectionMediaType(AM_MEDIA_TYPE* mt) override;
    HRESULT QueryPinInfo(PIN_INFO* info) override;
    HRESULT QueryDirection(PIN_DIRECTION* direction) override;
    HRESULT QueryId(LPWSTR* id) override;

    const PinDesc& desc() const { return desc_; }
    bool connected() const;

private:
    void store_type(const AM_MEDIA_TYPE* mt);

    VirtualFilter& owner_;
    const PinDesc desc_;
    mutable std::mutex lock_;
    ComPtr<IPin> peer_;
    AM_MEDIA_TYPE type_{};
    std::vector<BYTE> format_;
};

class ZORVIK_API VirtualFilter
    : public ComObject<IBaseFilter, IVirtualSource, IFileSourceFilter, IFileSinkFilter, ITimelineSink> {
public:
    // `mrid` is the hardware resource the filter was created on (0 for none).
    explicit VirtualFilter(FilterDesc desc, DWORD mrid = 0);

    // IMediaFilter
    HRESULT GetClassID(CLSID* clsid) override;
    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT GetState(DWORD milliseconds, FILTER_STATE* state) override;
    HRESULT SetSyncSource(IReferenceClock* clock) override;
    HRESULT GetSyncSource(IReferenceClock** clock) override;
    // IBaseFilter
    HRESULT EnumPins(IEnumPins** pins) override;
    HRESULT FindPin(LPCWSTR id, IPin** pin) override;
    HRESULT QueryFilterInfo(FILTER_INFO* info) override;
    HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) override;
    HRESULT QueryVendorInfo(LPWSTR* vendor) override;
    // IVirtualSource
    HRESULT GetLength(double* duration, double* preroll) override;
    // IFileSourceFilter and IFileSinkFilter (GetCurFile serves both)
    HRESULT Load(LPCOLESTR file, const AM_MEDIA_TYPE* mt) override;
    HRESULT SetFileName(LPCOLESTR file, const AM_MEDIA_TYPE* mt) override;
    HRESULT GetCurFile(LPOLESTR* file, AM_MEDIA_TYPE* mt) override;
    // ITimelineSink
    void SetTimeline(const SourceTimeline& timeline) override;

    SourceTimeline timeline() const;
    // Called after every change of the timeline, on the thread that changed it, with the
    // graph's lock held: it must only note the change. Null removes it.
    void set_timeline_listener(std::function<void(const SourceTimeline&)> listener);
    // What the loaded file holds (has_video and has_audio false for a catalogue clip).
    MediaInfo media_info() const;
    // Why the last Load failed ("" when it did not).
    std::string load_error() const;

    const FilterDesc& desc() const { return desc_; }
    DWORD mrid() const { return mrid_; }
    std::string current_file() const;
    REFERENCE_TIME run_start() const;
    FILTER_STATE state() const;
    // Queues an event on the graph the filter is in; false when it is in none.
    bool notify(LONG code, LONG_PTR param1, LONG_PTR param2);

protected:
    bool offers(REFIID iid) const override;

    mutable std::mutex lock_;

private:
    friend class VirtualPin;
    const FilterDesc desc_;
    const DWORD mrid_;
    std::vector<std::unique_ptr<VirtualPin>> pins_;
    FILTER_STATE state_ = State_Stopped;
    REFERENCE_TIME run_start_ = 0;
    ComPtr<IReferenceClock> clock_;
    IFilterGraph* graph_ = nullptr; // not owned: the graph owns its filters
    std::u16string name_;
    std::string file_;
    double length_ = -1.0;
    double preroll_ = 0.0;
    MediaInfo media_;
    std::string load_error_;
    SourceTimeline timeline_;
    std::shared_ptr<const std::function<void(const SourceTimeline&)>> listener_;
};

// Registers `desc` as a creatable class (CoCreateInstance and creation on a resource).
ZORVIK_API void register_virtual_filter(const FilterDesc& desc);

// Copies a media type, format block included (CoTaskMemAlloc'd), and frees one.
void copy_media_type(AM_MEDIA_TYPE& to, const AM_MEDIA_TYPE& from);
ZORVIK_API void free_media_type(AM_MEDIA_TYPE& mt);

// An enumerator over a fixed list of interface pointers.
template <class Enum, class Item> class ListEnumerator final : public ComObject<Enum> {
public:
    explicit ListEnumerator(std::vector<ComPtr<Item>> items, size_t at = 0) : items_(std::move(items)), at_(at) {}
    HRESULT Next(ULONG count, Item** out, ULONG* fetched) override
    {
        if (!out) return E_POINTER;
        if (count > 1 && !fetched) return E_INVALIDARG;
        ULONG n = 0;
        while (n < count && at_ < items_.size()) {
            out[n] = items_[at_++].get();
            out[n]->AddRef();
            ++n;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override
    {
        at_ = std::min(items_.size(), at_ + count);
        return at_ < items_.size() ? S_OK : S_FALSE;
    }
    HRESULT Reset() override
    {
        at_ = 0;
        return S_OK;
    }
    HRESULT Clone(Enum** copy) override
    {
        return copy ? create_object<ListEnumerator>(Enum::kIid, reinterpret_cast<void**>(copy), items_, at_) : E_POINTER;
    }

private:
    std::vector<ComPtr<Item>> items_;
    size_t at_;
};

} // namespace zk
