// CMQFilterGraph: one filter graph on the DigiSuite reference clock, with what broadcast
// playout needs on top of the graph: state changes that wait for completion within configured
// time-outs, a transport thread that turns graph events into window notifications, error
// records from the filters shown to the operator, frame-accurate start times, seeking by
// playing a single frame, scrubbing, the source's own shuttle and a shuttle done here in
// software, cardset selection, and small helpers that add, connect and disconnect filters by
// pin name. It knows no particular graph: CMQGraph derives from it and builds the effects
// graph.
//
// Threads: the caller's, a transport thread (lowest priority) that consumes graph events
// while the ACTIVE event is set, and a shuttle thread (normal priority) that steps the
// software shuttle once per frame period. One critical section per object serialises every
// transport operation, the event dispatch (so HandleFGEvent and HandleMQEvent of derived
// classes run under it, on the transport thread) and the shuttle steps. A derived class whose
// handlers use its own members calls Uninitialize in its destructor, so that no event is
// dispatched into a half-destroyed object.
//
// Results are HRESULTs (0 success, negative failure) unless a comment says otherwise; every
// failure leaves its text in the process-wide buffer of GetLastErrorText.
//
// Time: reference time is in 100 ns units; a frame is two fields; frame numbers count from
// position 0 of the graph. Video standards: 0 unknown, 1 60000/1001 fields per second, 2 and
// 3 50, 4 60.
#pragma once

#include <atomic>
#include <optional>
#include <vector>
#include <string>

#include "core/zorvik_api.h"
#include "onair/mq_event_info.h"
#include "platform/board/digisuite_interfaces.h"
#include "platform/win32/win32_sync.h"
#include "platform/win32/win32_window.h"

// Posted to the notify window, with one of the MQFG_NOTIFY_... values as wParam.
constexpr UINT WM_MQFG_NOTIFY = 0x2401;

// What WM_MQFG_NOTIFY reports, and what its lParam carries.
enum MQFG_NOTIFICATION : WPARAM {
    MQFG_NOTIFY_END = 1,            // played to the end and stopped (0)
    MQFG_NOTIFY_STOPPED = 2,        // stopped by an abort or an error (the event parameter, the failing code or 0)
    MQFG_NOTIFY_LOOP_RESTARTED = 3, // (0)
    MQFG_NOTIFY_LOOP_FAILED = 4,    // the loop could not restart (the code)
};

// Library states of GetState.
constexpr int MQFG_STATE_NOGRAPH = 0;
constexpr int MQFG_STATE_STOPPED = 1;
constexpr int MQFG_STATE_PAUSED = 2;
constexpr int MQFG_STATE_RUNNING = 3;
constexpr int MQFG_STATE_INTERMEDIATE = 6;
constexpr int MQFG_STATE_ERROR = -1;

// The state changes ChangeState makes. Pause and run carry the numbers of the library states
// they lead to.
enum MQFG_STATE_CHANGE : int {
    MQFG_CHANGE_STOP = 1,
    MQFG_CHANGE_PAUSE = MQFG_STATE_PAUSED,
    MQFG_CHANGE_RUN = MQFG_STATE_RUNNING,
    MQFG_CHANGE_RESTART_LOOP = 4, // stop, go back to the loop start, run
    MQFG_CHANGE_STOP_AT_END = 5,  // stop where the media ended, rewinding when at its end
};

constexpr HRESULT MQFG_E_COMPLETION_TIMEOUT = hresult(0x80041013);
constexpr DWORD MQFG_NO_CARDSET = 0xFFFFFFFFu;
constexpr DWORD MQFG_BOARD_UNKNOWN = 0x10000000u;

// A live video input of a video-input filter.
struct MQFG_INPUT_INFO {
    LONG id;
    char name[128];
};

// A cardset, or a filter instance on one (then the MRID is the instance's).
struct MQFG_CARDSET_INFO {
    DWORD mrid;
    char name[128];
    DWORD flags; // board-type flags, see GetBoardTypeFlag
};
static_assert(sizeof(MQFG_CARDSET_INFO) == 136, "cardset records are 136 bytes");

ZORVIK_API void ReportError(const char* text, HRESULT code);
ZORVIK_API const char* GetLastErrorText();

class ZORVIK_API CMQFilterGraph {
public:
    explicit CMQFilterGraph(const char* name = nullptr);
    CMQFilterGraph(const CMQFilterGraph&) = delete;
    CMQFilterGraph& operator=(const CMQFilterGraph&) = delete;

    // 1
    virtual ~CMQFilterGraph();
    // 2
    virtual HRESULT CreateTransportThread();
    virtual HRESULT KillTransportThread();
    virtual HRESULT CreateShuttleThread();
    virtual HRESULT KillShuttleThread();
    // 3: return whether the transport thread should go on consuming events.
    virtual BOOL HandleFGEvent(LONG code, LONG_PTR param1, LONG_PTR param2);
    virtual BOOL HandleMQEvent(CMQEventInfo& info);
    // 4
    virtual HRESULT StopFilterGraphShuttle();
    virtual HRESULT FilterGraphShuttleTick();
    // 5: returns 1. `acceptable` is a list of masks read every `strideBytes`, ended by
    // MQFG_BOARD_UNKNOWN.
    virtual int SelectCardsetByType(DWORD* type, const DWORD* requested, const DWORD* acceptable, int strideBytes);
    // Position (from 0) of the instance of `clsid` on `cardsetMrid` among all instances of the
    // class; 0 when it has none there.
    virtual int FindCardsetIndex(REFCLSID clsid, DWORD cardsetMrid);
    // 6
    virtual HRESULT InitializeFrom(CMQFilterGraph* other);
    virtual HRESULT InitializeWithGraph(IGraphBuilder* graph);
    virtual HRESULT Initialize(BOOL withClock = TRUE);
    virtual HRESULT Uninitialize();
    // 7
    virtual HRESULT BuildGraph();
    virtual HRESULT DestroyGraph();
    // 8
    virtual HRESULT SetupReferenceClock(IMediaFilter* from);
    // 9
    virtual REFERENCE_TIME GetRunAtTime();
    virtual IGraphBuilder* GetGraphBuilder();
    virtual IScrubControl* GetScrubControl();
    virtual IShuttleControl* GetShuttleControl();
    virtual IScrubCueControl* GetScrubCueControl();
    // 10
    virtual HRESULT WaitForScrubCue();
    virtual HRESULT WaitForCueTime();
    virtual HRESULT CheckFilterStates();
    // 11: AddFilter hands the caller a reference in `out` (which may be null).
    virtual HRESULT AddFilter(REFCLSID clsid, IBaseFilter** out, const char* name, DWORD mrid);
    virtual HRESULT AddSourceFilter(const char* file, IBaseFilter** out);
    virtual HRESULT RenderFile(const char* file);
    virtual HRESULT RemoveFilter(IBaseFilter* filter);
    virtual HRESULT ConnectPins(IBaseFilter* from, const char* outPin, IBaseFilter* to, const char* inPin,
                                const AM_MEDIA_TYPE* mt = nullptr);
    virtual HRESULT DisconnectPin(IBaseFilter* filter, const char* pin, PIN_DIRECTION direction);
    // The pin, AddRef'd, or null.
    virtual IPin* FindPin(IBaseFilter* filter, const char* name, PIN_DIRECTION direction);
    // 12
    virtual HRESULT SetSourceFile(IBaseFilter* filter, const char* file);
    virtual HRESULT SetSinkFile(IBaseFilter* filter, const char* file);
    virtual HRESULT SetMultiFileSink(IBaseFilter* filter, const char* file, DWORD w0, DWORD w1, DWORD w2, DWORD w3);
    virtual HRESULT SetCompoundSourceFile(IBaseFilter* filter, const char* file, const char* subStorage);
    virtual HRESULT SetCutList(IBaseFilter* filter, const void* cutList, LONG count);
    virtual HRESULT SetVideoInput(IBaseFilter* filter, LONG input);
    // The number of inputs filled, or a negative HRESULT.
    virtual int EnumVideoInputs(IBaseFilter* filter, MQFG_INPUT_INFO* out, int max);
    // 13: counts are returned as non-negative numbers, failures as negative HRESULTs.
    virtual int GetCardsetCount();
    virtual DWORD GetCardsetMrid(int index); // MQFG_NO_CARDSET on failure
    virtual HRESULT GetCardsetName(DWORD mrid, char* text, int length);
    virtual int EnumCardsets(MQFG_CARDSET_INFO* records, int max);
    virtual int GetCardsetVideoStandard(DWORD mrid); // 0 to 3
    virtual int FindCardsetsForFilters(const CLSID* clsids, int count, MQFG_CARDSET_INFO* records, int max);
    // The number of cardsets holding an instance of the class.
    virtual int EnumCardsetsForFilter(REFCLSID clsid);
    // Instances of the class on the cardset (every cardset for MQFG_NO_CARDSET).
    virtual int EnumFilterInstances(REFCLSID clsid, DWORD cardsetMrid, MQFG_CARDSET_INFO* records, int max);
    virtual HRESULT SelectCardsetRecord(const MQFG_CARDSET_INFO* record);
    virtual HRESULT SelectCardset(DWORD mrid, const char* name, DWORD flags);
    // S_FALSE (and MRID MQFG_NO_CARDSET) when none is selected.
    virtual HRESULT GetSelectedCardset(MQFG_CARDSET_INFO* record);
    virtual DWORD GetBoardTypeFlag(const char* boardName);
    // 14
    virtual HRESULT SetSyncSource(IReferenceClock* clock);
    // The graph's sync source, without a reference for the caller.
    virtual IReferenceClock* GetSyncSource();
    // 15
    virtual HRESULT Play();
    virtual HRESULT Stop(double* position = nullptr);
    virtual HRESULT Pause(double* position = nullptr);
    virtual HRESULT Seek(double seconds);
    virtual HRESULT SeekRelative(double delta, double* newPosition);
    virtual HRESULT PlayFromTo(double start, double stop, BOOL loop);
    virtual HRESULT RunAtTime(REFERENCE_TIME start);
    virtual HRESULT PlayAt(double delaySeconds);
    // 16
    virtual HRESULT BeginScrub();
    virtual HRESULT EndScrub(DWORD timeoutMs);
    virtual BOOL IsScrubbing();
    virtual HRESULT BeginFilterGraphShuttle(double from, double to, double start, BOOL wrap);
    virtual HRESULT EndFilterGraphShuttle(DWORD timeoutMs);
    virtual BOOL IsFilterGraphShuttling();
    virtual BOOL CanScrub();
    // 17: speed in frames of video per frame of time, signed.
    virtual HRESULT SetFilterGraphShuttleSpeed(double speed);
    virtual HRESULT BeginShuttle(DWORD w0, DWORD w1, DWORD w2, DWORD w3, DWORD w4);
    virtual HRESULT EndShuttle(DWORD timeoutMs);
    virtual BOOL IsShuttling();
    virtual BOOL CanShuttle();
    virtual HRESULT SetSpeedAt(DWORD w0, DWORD w1, DWORD w2, DWORD w3);
    virtual HRESULT ResetPositions();
    virtual void SetNotifyWindow(HWND window);
    virtual HWND GetNotifyWindow();
    // 18: GetState returns a library state (MQFG_STATE_...).
    virtual int GetState(DWORD timeoutMs);
    virtual HRESULT GetPosition(double& seconds);
    virtual double GetDuration();
    virtual double GetStopTime();
    // 19
    virtual BOOL CanRun();
    virtual BOOL CanStop();
    virtual BOOL CanPause();
    virtual BOOL CanSeek();
    virtual BOOL HasScrubControl();
    virtual BOOL IsInitialized();
    virtual void SetVideoStandard(int standard);
    virtual int GetVideoStandard();
    // 20
    virtual double FramesToSeconds(LONGLONG frames);
    virtual LONGLONG SecondsToFrames(double seconds);
    virtual REFERENCE_TIME FramesToRefTime(LONGLONG frames);
    virtual LONGLONG RefTimeToFrames(REFERENCE_TIME time);
    virtual REFERENCE_TIME SecondsToRefTime(double seconds);
    virtual double RefTimeToSeconds(REFERENCE_TIME time);
    virtual HRESULT GetClockTime(REFERENCE_TIME* time);
    // The clock time at which a run started now would begin, snapped to a frame; 0 on failure.
    virtual REFERENCE_TIME ComputeStartTime(BOOL fromCurrentPosition);

    // The time-outs in force (from the registry or their defaults), in milliseconds.
    DWORD GetStateCompletionTimeOut() const { return m_dwStateCompletionTimeOut; }
    DWORD GetSeekTimeOut() const { return m_dwSeekTimeOut; }
    BOOL IsLooping() const { return m_bLoop.load(); }

protected:
    // `kind` is one of MQFG_STATE_CHANGE (a plain number for derived graphs written against
    // the numbers).
    HRESULT ChangeState(int kind, double* position = nullptr);
    HRESULT RunGraphAt(REFERENCE_TIME start);
    HRESULT WaitForCompletion(DWORD timeoutMs, BOOL dispatch);
    void PostNotify(WPARAM what, LPARAM detail);

    CRITICAL_SECTION* m_pCriticalSection = nullptr;
    // The graph's parts and state, for derived graphs that drive the filters directly.
    std::optional<std::string> m_name;
    zk::ComPtr<IGraphBuilder> m_pGraphBuilder;
    zk::ComPtr<IMediaFilter> m_pMediaFilter;
    zk::ComPtr<IMediaControl> m_pMediaControl;
    zk::ComPtr<IScrubCueControl> m_pScrubCueControl;
    zk::ComPtr<IScrubControl> m_pScrubControl;
    zk::ComPtr<IShuttleControl> m_pShuttleControl;
    zk::ComPtr<IMediaPosition> m_pMediaPosition;
    zk::ComPtr<IMediaEvent> m_pMediaEvent;
    zk::ComPtr<IReferenceClock> m_pRefClock;
    zk::ComPtr<IExtendedClock> m_pExtendedClock;
    zk::ComPtr<IMridEnumerator> m_pMridEnumerator;
    std::atomic<int> m_nVideoStandard{0};
    DWORD m_dwSelectedCardset = MQFG_NO_CARDSET;
    char m_szSelectedCardsetName[128] = {};
    DWORD m_dwSelectedCardsetType = MQFG_BOARD_UNKNOWN;
    std::atomic<BOOL> m_bLoop{FALSE};
    double m_dLoopStart = 0.0;
    double m_dLoopStop = 0.0;
    std::atomic<HWND> m_hNotifyWnd{nullptr};
    HANDLE m_hTransportThread = nullptr;
    HANDLE m_hActiveEvent = nullptr;
    HANDLE m_hGraphEvent = nullptr; // the graph's; not ours to close
    DWORD m_dwStateCompletionTimeOut = 5000;
    DWORD m_dwSeekTimeOut = 2000;
    std::atomic<BOOL> m_bScrubbing{FALSE};
    std::atomic<BOOL> m_bFGShuttling{FALSE};
    std::atomic<BOOL> m_bShuttling{FALSE};
    HANDLE m_hShuttleThread = nullptr;
    HANDLE m_hShuttleBegin = nullptr;
    HANDLE m_hShuttleEnd = nullptr;
    HANDLE m_hShuttleDone = nullptr;
    HANDLE m_hShuttleKill = nullptr;
    std::atomic<BOOL> m_bKillTransport{FALSE};
    std::atomic<double> m_dLastSeekPosition{0.0};
    double m_dFGShuttleSpeed = 0.0;
    IReferenceClock* m_pFGShuttleClock = nullptr; // cached sync source, not owned
    ULONGLONG m_nCurFrame = 0;
    ULONGLONG m_nMinFrame = 0;
    ULONGLONG m_nMaxFrame = 0;
    BOOL m_bWrap = FALSE;
    REFERENCE_TIME m_rtLastTick = 0;
    double m_dTimePerStep = 0.0;
    BOOL m_bTimingValid = FALSE;
    LONGLONG m_llFrequency = 0;
    LONGLONG m_llRunStartCount = 0;
    LONGLONG m_llLastEventCount = 0;
    double m_dElapsed = 0.0;
    std::atomic<REFERENCE_TIME> m_rtRunStart{0};
    // Objects initialised from another graph share its events and must not close them.
    bool m_bOwnsEvents = true;
    bool m_bOleInitialized = false;

private:
    static unsigned TransportThreadProc(void* self);
    static unsigned ShuttleThreadProc(void* self);
    void TransportLoop();
    void ShuttleLoop();

    HRESULT WaitForStateCompletion();
    HRESULT StopGraph(double* position);
    HRESULT RunGraph();
    HRESULT StopOnComplete();
    void DrainEvents(BOOL dispatchRecords);
    HRESULT EndSpecialModes();
    // The tail of EndScrub and EndShuttle, with their failure texts.
    HRESULT SettleAfterMode(DWORD timeoutMs, const char* waitFailure, const char* stopFailure);
    HRESULT PauseAndWait();
    HRESULT CreateGraphInterfaces(IGraphBuilder* given);
    void ReleaseInterfaces();
    void ReadTimeOuts();
    bool QueryStandard(IReferenceClock* clock);
    void RecomputeTimePerStep();
    HRESULT WaitForClock(REFERENCE_TIME at);
    HRESULT CreateInstanceOnResource(REFCLSID clsid, REFIID iid, void** out, DWORD mrid);
    // Cardsets that hold an instance of the class, in enumeration order.
    std::vector<DWORD> CardsetsHolding(REFCLSID clsid, HRESULT& hr);
    bool EnumeratorPresent();

};
