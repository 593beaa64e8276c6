// The DigiSuite components as the on-air layer reaches them through COM: class and interface
// identifiers, and the interfaces of the reference clock's video-standard query, the scrub,
// scrub-cue and shuttle controls, the event monitor, the MRID enumerator and the filter
// interfaces for files, cut-lists and video inputs.
//
// The identifiers are the board's. The operations and their argument layouts are this
// platform layer's own, written from what the on-air code passes and relies on; they are
// documented here so a real board back-end can map each one onto the vendor's call.
#pragma once

#include "platform/filtergraph/dshow_interfaces.h"

// Video standards, as the clock and the cardsets report them.
inline constexpr GUID VIDEOSTANDARD_NTSC = zk::make_guid("3E0CD8E0-88A7-11CF-A61C-0020AF053D8F");  // 60000/1001 fields/s
inline constexpr GUID VIDEOSTANDARD_PAL = zk::make_guid("3E0CD8E1-88A7-11CF-A61C-0020AF053D8F");   // 50 fields/s
inline constexpr GUID VIDEOSTANDARD_PAL_M = zk::make_guid("3E0CD8E2-88A7-11CF-A61C-0020AF053D8F"); // 50 fields/s

inline constexpr CLSID CLSID_DigiSuiteReferenceClock = zk::make_guid("A2539B10-0E32-11CF-A755-0020AF11ED9E");
inline constexpr CLSID CLSID_MridEnumerator = zk::make_guid("FFF57A70-0751-11D0-84FC-0020AF11EDC1");
inline constexpr CLSID CLSID_EventMonitor = zk::make_guid("E03AF58D-47B5-11D4-A71D-006097D86619");
inline constexpr CLSID CLSID_DigiSuiteFileSource = zk::make_guid("74A541E1-34B0-11CF-82DA-0020AF11C010");

// HRESULTs the DigiSuite components report.
constexpr HRESULT MQ_E_NO_SCRUB_SOURCE = hresult(0x80041031);   // no source in the graph can scrub or shuttle
constexpr HRESULT MQ_E_FILTER_WARNING = hresult(0x80041082);    // a filter's recoverable warning

// The clock's video-standard query.
struct IExtendedClock : IUnknown {
    static constexpr GUID kIid = zk::make_guid("B8D344E3-78FF-11CF-A609-0020AF053D8F");
    using Parent = IUnknown;
    virtual HRESULT GetVideoStandard(GUID* standard) = 0;
};

// The scrubbing plug-in of the graph. While scrubbing, the graph's own timeline stands still
// and shows the frame last sent with Seek or SetShuttlePosition. EndScrub on a running graph
// completes it (EC_COMPLETE), so the caller can wait for the end and stop.
struct IScrubControl : IUnknown {
    static constexpr GUID kIid = zk::make_guid("E9F411E3-61DF-11D1-AE94-00A024D249D9");
    using Parent = IUnknown;
    virtual HRESULT BeginScrub() = 0; // MQ_E_NO_SCRUB_SOURCE without a source of known length
    virtual HRESULT EndScrub() = 0;   // S_FALSE when not scrubbing
    virtual HRESULT Seek(REFTIME seconds) = 0;
    // Shows the frame at `seconds` as a step of a shuttle: it starts a cue of the cue length.
    virtual HRESULT SetShuttlePosition(REFTIME seconds) = 0;
};

// The cue of the last shuttle step: when the frame went out (start) and for how long.
struct IScrubCueControl : IUnknown {
    static constexpr GUID kIid = zk::make_guid("62436E00-BA00-11D1-9631-00A024D249D9");
    using Parent = IUnknown;
    virtual HRESULT put_Value(LONG value) = 0; // refresh period of the cue report, in ms
    virtual HRESULT get_CueStart(REFERENCE_TIME* start) = 0;
    virtual HRESULT get_CueLength(REFERENCE_TIME* length) = 0;
    virtual HRESULT put_CueLength(REFERENCE_TIME length) = 0;
};

// The source filter's own shuttle. Word layouts:
//   BeginShuttle (w0 .. w4): w0 initial speed, signed 16.16 fixed point (0x10000 = play
//     speed, negative = backwards); w1 to w4 reserved, passed on unread.
//   SetSpeedAt (w0 .. w3): w0 new speed as above; w1, w2 low and high words of the clock
//     time at which it applies (0 = at once); w3 reserved.
// The position moves with the clock at the speed, held at the ends of the source.
struct IShuttleControl : IUnknown {
    static constexpr GUID kIid = zk::make_guid("EC9D86B0-B470-11D2-A7ED-00104B2CB0BF");
    using Parent = IUnknown;
    virtual HRESULT BeginShuttle(DWORD w0, DWORD w1, DWORD w2, DWORD w3, DWORD w4) = 0;
    virtual HRESULT EndShuttle() = 0;
    virtual HRESULT SetSpeedAt(DWORD w0, DWORD w1, DWORD w2, DWORD w3) = 0;
    virtual HRESULT GetShuttlePosition(REFERENCE_TIME* position) = 0;
};

// A watcher of every graph's events, served out of process on the real system.
struct IEventMonitor : IUnknown {
    static constexpr GUID kIid = zk::make_guid("89CAA003-4784-11D4-A71D-006097D86619");
    using Parent = IUnknown;
    virtual HRESULT Register(LPCOLESTR clientName, DWORD* cookie) = 0;
    virtual HRESULT Unregister(DWORD cookie) = 0;
    // `param` is the first event parameter for EC_OLE_EVENT and 0 otherwise; it is only
    // valid during the call.
    virtual HRESULT NotifyEvent(LONG code, LONG_PTR param, DWORD cookie) = 0;
};

// The cardsets (sets of boards on one backplane), the boards on them and the filter instances
// that can be created on them, each with an MRID (resource identifier).
struct IMridEnumerator : IUnknown {
    static constexpr GUID kIid = zk::make_guid("5A361520-51D6-11D0-8560-0020AF11EDC1");
    using Parent = IUnknown;
    virtual HRESULT GetCardsetCount(LONG* count) = 0;
    virtual HRESULT GetCardsetMrid(LONG index, DWORD* mrid) = 0;
    virtual HRESULT GetCardsetName(DWORD cardsetMrid, BSTR* name) = 0;
    virtual HRESULT GetCardsetVideoStandard(DWORD cardsetMrid, GUID* standard) = 0;
    virtual HRESULT GetBoardCount(DWORD cardsetMrid, LONG* count) = 0;
    virtual HRESULT GetBoardName(DWORD cardsetMrid, LONG board, BSTR* name) = 0;
    // Instances of a filter class across all cardsets, in a fixed order; S_FALSE past the end.
    virtual HRESULT GetFilterInstance(REFCLSID clsid, LONG index, DWORD* instanceMrid, DWORD* cardsetMrid,
                                      LONG* board, LONG* number) = 0;
};

struct IMultiFileSinkFilter : IUnknown {
    static constexpr GUID kIid = zk::make_guid("2CC2C381-28A4-11D2-988D-006097D86F09");
    using Parent = IUnknown;
    // A null name closes the sink; the four words belong to the sink and are kept as given.
    virtual HRESULT SetFileName(LPCOLESTR file, DWORD w0, DWORD w1, DWORD w2, DWORD w3) = 0;
};

struct ICompoundFileSourceFilter : IUnknown {
    static constexpr GUID kIid = zk::make_guid("FBF2EE40-5360-11CF-A5DC-0020AF053D8F");
    using Parent = IUnknown;
    virtual HRESULT OpenFile(LPCOLESTR file) = 0;
    virtual HRESULT OpenSubStorage(LPCOLESTR name) = 0;
};

struct ICutListSourceFilter : IUnknown {
    static constexpr GUID kIid = zk::make_guid("7CF866A0-5BE7-11CF-A5E7-0020AF053D8F");
    using Parent = IUnknown;
    // The list's layout belongs to the source; the filter keeps the pointer and count.
    virtual HRESULT SetCutList(const void* cutList, LONG count) = 0;
};

// One live input of a video-input filter, allocated with CoTaskMemAlloc.
struct VIDEO_INPUT_ENTRY {
    LONG id;
    OLECHAR name[64];
};

struct IEnumVideoInputs : IUnknown {
    static constexpr GUID kIid = zk::make_guid("5A7E3C03-6B2D-4C1E-9A53-2F0D8E4B7C10");
    using Parent = IUnknown;
    // Fills `entries` with CoTaskMemAlloc'd records the caller frees; S_FALSE when fewer came.
    virtual HRESULT Next(ULONG count, VIDEO_INPUT_ENTRY** entries, ULONG* fetched) = 0;
    virtual HRESULT Reset() = 0;
};

struct IVideoInput : IUnknown {
    static constexpr GUID kIid = zk::make_guid("C433D671-1D5A-11D0-8BA3-0020AF9CBBA0");
    using Parent = IUnknown;
    virtual HRESULT SetInput(LONG input) = 0; // E_INVALIDARG for an input the filter lacks
    virtual HRESULT GetInput(LONG* input) = 0;
    virtual HRESULT EnumInputs(IEnumVideoInputs** inputs) = 0;
};
