// The media-streaming interfaces the on-air layer drives: filters and pins, the filter graph
// and its control, position and event interfaces, and the reference clock.
//
// They keep the shape and identifiers of the Windows media-streaming API so the on-air code
// reads as it would there, but only the operations the library uses are declared. Event
// codes, time-outs and positions are 32-bit LONG where Windows has `long`; times are in
// 100-nanosecond units (REFERENCE_TIME) or in seconds (REFTIME).
#pragma once

#include "platform/com/class_registry.h"
#include "platform/com/com_base.h"
#include "platform/win32/win32_sync.h"

using REFERENCE_TIME = LONGLONG;
using REFTIME = double;
using OAEVENT = LONG_PTR;
using OAFilterState = LONG;
using HEVENT = DWORD_PTR;
using HSEMAPHORE = DWORD_PTR;

constexpr REFERENCE_TIME kUnitsPerSecond = 10000000;

enum FILTER_STATE : LONG { State_Stopped = 0, State_Paused = 1, State_Running = 2 };
enum PIN_DIRECTION : LONG { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };

constexpr HRESULT VFW_E_INVALIDMEDIATYPE = hresult(0x80040200);
constexpr HRESULT VFW_E_ALREADY_CONNECTED = hresult(0x80040204);
constexpr HRESULT VFW_E_INVALID_DIRECTION = hresult(0x80040208);
constexpr HRESULT VFW_E_NOT_CONNECTED = hresult(0x80040209);
constexpr HRESULT VFW_E_NO_CLOCK = hresult(0x80040213);
constexpr HRESULT VFW_E_NOT_FOUND = hresult(0x80040216);
constexpr HRESULT VFW_E_CANNOT_CONNECT = hresult(0x80040217);
constexpr HRESULT VFW_E_CANNOT_RENDER = hresult(0x80040218);
constexpr HRESULT VFW_E_NOT_STOPPED = hresult(0x80040224);
constexpr HRESULT VFW_E_NOT_PAUSED = hresult(0x80040225);
constexpr HRESULT VFW_E_NOT_RUNNING = hresult(0x80040226);
constexpr HRESULT VFW_E_WRONG_STATE = hresult(0x80040227);
constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = hresult(0x8004022A);
constexpr HRESULT VFW_E_DUPLICATE_NAME = hresult(0x8004022D);
constexpr HRESULT VFW_S_DUPLICATE_NAME = hresult(0x0004022D);
constexpr HRESULT VFW_E_TIMEOUT = hresult(0x8004022E);
constexpr HRESULT VFW_E_INVALID_FILE_FORMAT = hresult(0x8004022F);
constexpr HRESULT VFW_S_STATE_INTERMEDIATE = hresult(0x00040237);
constexpr HRESULT VFW_E_NO_ADVISE_SET = hresult(0x80040239);
constexpr HRESULT VFW_E_NOT_IN_GRAPH = hresult(0x8004025F);
constexpr HRESULT VFW_E_UNSUPPORTED_STREAM = hresult(0x80040265);

// Graph events.
constexpr LONG EC_COMPLETE = 0x01;
constexpr LONG EC_USERABORT = 0x02;
constexpr LONG EC_ERRORABORT = 0x03;
constexpr LONG EC_TIME = 0x04;
constexpr LONG EC_OLE_EVENT = 0x18;

struct AM_MEDIA_TYPE {
    GUID majortype;
    GUID subtype;
    BOOL bFixedSizeSamples;
    BOOL bTemporalCompression;
    ULONG lSampleSize;
    GUID formattype;
    IUnknown* pUnk;
    ULONG cbFormat;
    BYTE* pbFormat;
};

inline constexpr GUID MEDIATYPE_Video = zk::make_guid("73646976-0000-0010-8000-00AA00389B71");
inline constexpr GUID MEDIATYPE_Audio = zk::make_guid("73647561-0000-0010-8000-00AA00389B71");
inline constexpr GUID MEDIASUBTYPE_RGB32 = zk::make_guid("E436EB7E-524F-11CE-9F53-0020AF0BA770");
inline constexpr GUID FORMAT_VideoInfo = zk::make_guid("05589F80-C356-11CE-BF01-00AA0055595A");
inline constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

inline constexpr CLSID CLSID_FilterGraph = zk::make_guid("E436EBB3-524F-11CE-9F53-0020AF0BA770");
inline constexpr CLSID CLSID_SystemClock = zk::make_guid("E436EBB1-524F-11CE-9F53-0020AF0BA770");
inline constexpr CLSID CLSID_AsyncReader = zk::make_guid("E436EBB5-524F-11CE-9F53-0020AF0BA770");
inline constexpr CLSID CLSID_VideoRenderer = zk::make_guid("70E102B0-5556-11CE-97C0-00AA0055595A");

struct IBaseFilter;
struct IFilterGraph;
struct IReferenceClock;

struct PIN_INFO {
    IBaseFilter* pFilter; // AddRef'd for the caller
    PIN_DIRECTION dir;
    WCHAR achName[128];
};

struct FILTER_INFO {
    WCHAR achName[128];
    IFilterGraph* pGraph; // AddRef'd for the caller, may be null
};

struct IPin : IUnknown {
    static constexpr GUID kIid = zk::make_guid("56A86891-0AD4-11CE-B03A-0020AF0BA770");
    using Parent = IUnknown;
    virtual HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* mt) = 0;
    virtual HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* mt) = 0;
    virtual HRESULT Disconnect() = 0;
    virtual HRESULT ConnectedTo(IPin** pin) = 0;
    virtual HRESULT ConnectionMediaType(AM_MEDIA_TYPE* mt) = 0;
    virtual HRESULT QueryPinInfo(PIN_INFO* info) = 0;
    virtual HRESULT QueryDirection(PIN_DIRECTION* direction) = 0;
    virtual HRESULT QueryId(LPWSTR* id) = 0; // CoTaskMemAlloc'd
};

struct IEnumPins : IUnknown {
    static constexpr GUID kIid = zk::make_guid("56A86892-0AD4-11CE-B03A-0020AF0BA770");
    using Parent = IUnknown;
    virtual HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumPins** copy) = 0;
};

struct IEnumFilters : IUnknown {
    static constexpr GUID kIid = zk::make_guid("56A86893-0AD4-11CE-B03A-0020AF0BA770");
    using Parent = IUnknown;
    virtual HRESULT Next(ULONG count, IBaseFilter** filters, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumFilters** copy) = 0;
};

struct IPersist : IUnknown {
    static constexpr GUID kIid = zk::make_guid("0000010C-0000-0000-C000-000000000046");
    using Parent = IUnknown;
    virtual HRESULT GetClassID(CLSID* clsid) = 0;
};

struct IReferenceClock : IUnknown {
    static constexpr GUID kIid = zk::make_guid("56A86897-0AD4-11CE-B03A-0020AF0BA770");
    using Parent = IUnknown;
    virtual HRESULT GetTime(REFERENCE_TIME* time) = 0;
    // Signals the event once the clock reaches baseTime + streamTime.
    virtual HRESULT AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, HEVENT event, DWORD_PTR* cookie) = 0;
    // Releases the semaphore at startTime and every period after it.
    virtual HRESULT AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME period, HSEMAPHORE semaphore,
                                   DWORD_PTR* cookie) = 0;
    virtual HRESULT Unadvise(DWORD_PTR cookie) = 0;
};
inline constexpr IID IID_IReferenceClock = IReferenceClock::kIid;

struct IMediaFilter : IPersist {
    static constexpr GUID kIid = zk::make_guid("56A86899-0AD4-11CE-B03A-0020AF0BA770");
    using Parent = IPersist;
    virtual HRESULT Stop() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Run(REFERENCE_TIME start) = 0;
    virtual HRESULT GetState(DWORD milliseconds, FILTER_STATE* state) = 0;
    virtual HRESULT SetSyncSource(IReferenceClock* clock) = 0;
    virtual HRESULT GetSyncSource(IReferenceClock** clock) = 0;
};
inline constexpr IID IID_IMediaFilter = IMediaFilter::kIid;

struct IBaseFilter : IMediaFilter {
    static constexpr GUID kIid = zk::make_guid("56A86895-0AD4-11CE-B03A-0020AF0BA770");
    using Parent = IMediaFilter;
    virtual HRESULT EnumPins(IEnumPins** pins) = 0;
    virtual HRESULT FindPin(LPCWSTR id, IPin** pin) = 0;
    virtual HRESULT QueryFilterInfo(FILTER_INFO* info) = 0;
    virtual HRESULT JoinFilterGraph(IFilterGraph* graph, LPCWSTR name) = 0;
    virtual HRESULT QueryVendorInfo(LPWSTR* vendor) = 0;
};
inline constexpr IID IID_IBaseFilter = IBaseFilter::kIid;

struct IFilterGraph : IUnknown {
    static constexpr GUID kIid = zk::make_guid("56A8689F-0AD4-11CE-B03A-0020AF0BA770");
    using Parent = IUnknown;
    virtual HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) = 0;
    virtual HRESULT RemoveFilter(IBaseFilter* filter) = 0;
    virtual HRESULT EnumFilters(IEnumFilters** filters) = 0;
    virtual HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) = 0;
    virtual HRESULT ConnectDirect(IPin* out, IPin* in, const AM_MEDIA_TYPE* mt) = 0;
    virtual HRESULT Reconnect(IPin* pin) = 0;
    virtual HRESULT Disconnect(IPin* pin) = 0;
    virtual HRESULT SetDefaultSyncSource() = 0;
};

struct IGraphBuilder : IFilterGraph {
    static constexpr GUID kIid = zk::make_guid("56A868A9-0AD4-11CE-B03A-0020AF0BA770");
    using Parent = IFilterGraph;
    virtual HRESULT Connect(IPin* out, IPin* in) = 0;
    virtual HRESULT Render(IPin* out) = 0;
    virtual HRESULT RenderFile(LPCWSTR file, LPCWSTR playList) = 0;
    virtual HRESULT AddSourceFilter(LPCWSTR file, LPCWSTR filterName, IBaseFilter** filter) = 0;
    virtual HRESULT SetLogFile(DWORD_PTR file) = 0;
    virtual HRESULT Abort() = 0;
    virtual HRESULT ShouldOperationContinue() = 0;
};
inline constexpr IID IID_IGraphBuilder = IGraphBuilder::kIid;

struct IMediaControl : IUnknown {
    static constexpr GUID kIid = zk::make_guid("56A868B1-0AD4-11CE-B03A-0020AF0BA770");
    using Parent = IUnknown;
    virtual HRESULT Run() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT GetState(LONG milliseconds, OAFilterState* state) = 0;
    virtual HRESULT StopWhenReady() = 0;
};
inline constexpr IID IID_IMediaControl = IMediaControl::kIid;

struct IMediaPosition : IUnknown {
    static constexpr GUID kIid = zk::make_guid("56A868B2-0AD4-11CE-B03A-0020AF0BA770");
    using Parent = IUnknown;
    virtual HRESULT get_Duration(REFTIME* length) = 0;
    virtual HRESULT put_CurrentPosition(REFTIME time) = 0;
    virtual HRESULT get_CurrentPosition(REFTIME* time) = 0;
    virtual HRESULT get_StopTime(REFTIME* time) = 0;
    virtual HRESULT put_StopTime(REFTIME time) = 0;
    virtual HRESULT get_PrerollTime(REFTIME* time) = 0;
    virtual HRESULT put_PrerollTime(REFTIME time) = 0;
    virtual HRESULT put_Rate(double rate) = 0;
    virtual HRESULT get_Rate(double* rate) = 0;
    virtual HRESULT CanSeekForward(LONG* can) = 0;
    virtual HRESULT CanSeekBackward(LONG* can) = 0;
};
inline constexpr IID IID_IMediaPosition = IMediaPosition::kIid;

struct IMediaEvent : IUnknown {
    static constexpr GUID kIid = zk::make_guid("56A868B6-0AD4-11CE-B03A-0020AF0BA770");
    using Parent = IUnknown;
    // The handle is signalled while events are queued; it belongs to the graph.
    virtual HRESULT GetEventHandle(OAEVENT* event) = 0;
    virtual HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG milliseconds) = 0;
    virtual HRESULT WaitForCompletion(LONG milliseconds, LONG* code) = 0;
    virtual HRESULT CancelDefaultHandling(LONG code) = 0;
    virtual HRESULT RestoreDefaultHandling(LONG code) = 0;
    virtual HRESULT FreeEventParams(LONG code, LONG_PTR param1, LONG_PTR param2) = 0;
};
inline constexpr IID IID_IMediaEvent = IMediaEvent::kIid;

// How filters (and anyone else holding the graph) queue an event for the application.
// For EC_OLE_EVENT both parameters are BSTRs that the graph owns from then on.
struct IMediaEventSink : IUnknown {
    static constexpr GUID kIid = zk::make_guid("56A868A2-0AD4-11CE-B03A-0020AF0BA770");
    using Parent = IUnknown;
    virtual HRESULT Notify(LONG code, LONG_PTR param1, LONG_PTR param2) = 0;
};
inline constexpr IID IID_IMediaEventSink = IMediaEventSink::kIid;

struct IFileSourceFilter : IUnknown {
    static constexpr GUID kIid = zk::make_guid("56A868A6-0AD4-11CE-B03A-0020AF0BA770");
    using Parent = IUnknown;
    virtual HRESULT Load(LPCOLESTR file, const AM_MEDIA_TYPE* mt) = 0;
    virtual HRESULT GetCurFile(LPOLESTR* file, AM_MEDIA_TYPE* mt) = 0;
};
inline constexpr IID IID_IFileSourceFilter = IFileSourceFilter::kIid;

struct IFileSinkFilter : IUnknown {
    static constexpr GUID kIid = zk::make_guid("A2104830-7C70-11CF-8BCE-00AA00A3F1A6");
    using Parent = IUnknown;
    virtual HRESULT SetFileName(LPCOLESTR file, const AM_MEDIA_TYPE* mt) = 0;
    virtual HRESULT GetCurFile(LPOLESTR* file, AM_MEDIA_TYPE* mt) = 0;
};
inline constexpr IID IID_IFileSinkFilter = IFileSinkFilter::kIid;
