// CMQGraph: the one filter graph of the on-air side, which knows the DigiSuite hardware.
//
// It derives from CMQFilterGraph and adds what the board needs beyond a plain graph. The class
// grows by concern, one source file each: mq_graph.cpp (construction, BuildGraph: the
// inventory, the graphics device and the SDTI settings, and the field notification),
// mq_graph_gfb.cpp (the graphics frame buffer: writes, field writes, board copies, display
// selection, waiting for frames), mq_graph_units.cpp (the Fiesta channel and wipe units),
// mq_graph_configs.cpp (the telop, DigiMix-only and Genie configurations and their tear-down),
// mq_graph_rewire.cpp (crosspoints, layer modes, live super, SDI capture, live inputs),
// mq_graph_keyframes.cpp (keyframe records, borders, time-base correctors and freezes),
// mq_graph_stills.cpp (stills in and out of the channels), mq_graph_media.cpp (motion, sound,
// the Genie's effect files, the transport wrappers and the event overrides). The mixer's parts
// of the graph, and how they are added, connected and taken away, are in mq_graph_parts.*.
//
// Graphics frame buffer. BuildGraph opens the DigiMix graphics device the inventory names and
// maps its memory (platform/board/gfb_device.h): 1368 lines of 768 pixels, the front area
// lines 0-683 and the back area lines 684-1367, the picture being the top-left 720 × 486 of an
// area. Every Gfb operation returns 0, or -1 when the device is not open and mapped or when
// nothing is left of the rectangle after clipping (or the device refused the request).
// Rectangles are x, y, width, height with right and bottom exclusive; the first field of a
// frame is its odd lines (1, 3, 5, ...), the second its even lines. Writes copy rows under the
// memory's lock, one row at a time, so the host, the vertical-sync thread and the effects may
// write while the board reads out what it shows.
//
// Board copies (blits) follow the device's convention: right and bottom exclusive, the lines of
// the parity of the top line, shifts in field lines. The field variants start on the first
// line of their field inside the rectangle, so a first-field copy touches only odd lines and a
// second-field copy only even lines whatever the rectangle's top.
//
// The mixer. Every mixer filter is created by class with no name and no resource and joined by
// pin names; a numbered unit (Fiesta channel n, wipe unit n) is claimed by number, since the
// board cannot tell channels apart otherwise. A configuration (BilGraph_...) adds what it needs
// unless the graph holds it already, and its tear-down (DisGraph_...) takes away exactly what it
// added. A step that fails reports "<family> <step>" (ErrAddFilter, InterfaceErr, BeginDataErr,
// ConnectErr, ErrIDirectData interface, Err HwConnSel) through ReportError and returns its code
// at once; what was added stays until the tear-down. While the graph is not built nearly every
// operation returns -1 and touches no filter; the time-base corrector, freeze and live-input
// setters return 1 instead, and the getters of pointers give null.
//
// Crosspoints. Hardware connections select what feeds a mixer input by a source GUID of the
// form {1C2307xx-35AD-11CF-963F-02608C0B0FB7} and an input index 0-2, or the empty source.
// Which source the builders and the layer modes pick for each connection is one table in
// mq_graph_parts.cpp (the board gives meaning only to {1C230750 + n}, Fiesta channel n's
// output, on the preview output).
//
// Thread use: BuildGraph and the configurations run on the host's thread, before or between
// the threads that use the graph; the keyframe, freeze and Gfb operations and the field
// notification may be called from any thread (the effects' workers), while the host builds or
// tears down: the parts of the graph are handed out under a lock and kept alive by reference
// for the length of one call.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "onair/mq_filter_graph.h"
#include "platform/board/mixer/mixer_interfaces.h"
#include "platform/framework/cstring.h"

namespace zk::graph {
struct Parts;
enum class Config : int;
} // namespace zk::graph

// The keyframe records whose layouts the effects fill (declared with the effects).
struct MQVIDFX_2DDVE_KEYFRAME;
struct MQVIDFX_WIPE_KEYFRAME;
struct MQVIDFX_FADERPOS_KEYFRAME;
struct MQVIDFX_BACKGROUND_KEYFRAME;

// The channel records the caller fills and the graph passes through unchanged: 32-bit words,
// fractions with 24 fraction bits, colours as YUV words.
#pragma pack(push, 1)
struct MQVIDFX_CROP_KEYFRAME {
    DWORD dwEnable;
    LONG lLeft, lTop, lRight, lBottom; // the part cut from each edge
};
struct MQVIDFX_PROCAMP_KEYFRAME {
    DWORD dwEnable;
    LONG lBrightness, lContrast, lSaturation, lHue;
};
struct MQVIDFX_MASK_KEYFRAME {
    DWORD dwEnable;
    LONG lLeft, lTop, lRight, lBottom; // the window
};
struct MQVIDFX_PAINT_KEYFRAME {
    DWORD dwEnable;
    DWORD dwColor;
    DWORD dwMode;
    DWORD dwReserved;
};
#pragma pack(pop)
static_assert(sizeof(MQVIDFX_CROP_KEYFRAME) == 20 && sizeof(MQVIDFX_PROCAMP_KEYFRAME) == 20 &&
              sizeof(MQVIDFX_MASK_KEYFRAME) == 20 && sizeof(MQVIDFX_PAINT_KEYFRAME) == 16);

class ZORVIK_API CMQGraph : public CMQFilterGraph {
public:
    CMQGraph();
    ~CMQGraph() override;

    // ---- building ----
    // The inventory, the graphics device, the SDTI settings. 1 without a DigiMix (the graph
    // stays not built), E_FAIL when the base failed, else 0.
    HRESULT BuildGraph() override;
    int GetBuilt() const { return m_bBuilt.load(); }

    // ---- configurations ----
    // Each returns 0 (also when the configuration is in place already: it is built once), -1
    // when the graph is not built or a configuration that cannot stand beside it is in place
    // (the telop and DigiMix-only configurations share one-of-a-kind units; one motion line at
    // a time), or the code of the step that failed. Filters join and leave a stopped graph:
    // stop the transport first (a running graph refuses them, VFW_E_NOT_STOPPED). A motion
    // line (0: channels 1 and 2, 1: channels 3 and 4) goes inside the telop configuration when
    // that is in place, through the channels' input crosspoints, and is joined by pins
    // otherwise; the wave and live sound configurations replace each other.
    long BilGraph_TelopNormal();
    long BilGraph_TelopNormal_Genie();
    long BilGraph_DigiMixOnly();
    long BilGraph_Motion(long line);
    long BilGraph_MotionTelop(long line);
    long BilGraph_GenieFilter();
    long BilGraph_WaveSound();
    long BilGraph_LiveSound();
    // Tear-downs take away what their configuration added: 0, or -1 when not built.
    long DisGraph_TelopNormal();
    long DisGraph_DigiMixOnly();
    long DisGraph_Motion();
    long DisGraph_MotionTelop();
    long DisGraph_GenieFilter();
    long DisGraph_WaveSound();
    long DisGraph_LiveSound();
    long DisGraph_VfxFile();
    long DisconnectMotion();
    long DisconnectMotionTelop();
    // Which configurations are in place.
    BOOL IsTelopBuilt() const;
    BOOL IsDigiMixOnlyBuilt() const;

    // ---- channel units ----
    // A Fiesta channel: its renderer claimed as channel n, with its five keyframe sources
    // (2D DVE, crop, procamp, mask, paint) connected and begun. A wipe unit: renderer, wipe,
    // fader and border sources and the border generator, begun and sent the unit's records.
    long AddFilterFiesta0Renderer();
    long AddFilterFiesta1Renderer();
    long AddFilterFiesta2Renderer();
    long AddFilterFiesta3Renderer();
    long AddFilterFiesta4Renderer();
    long RemoveFilterFiesta0Renderer();
    long RemoveFilterFiesta1Renderer();
    long RemoveFilterFiesta2Renderer();
    long RemoveFilterFiesta3Renderer();
    long RemoveFilterFiesta4Renderer();
    long AddFilterWipe0Renderer();
    long AddFilterWipe1Renderer();
    long RemoveFilterWipe0Renderer();
    long RemoveFilterWipe1Renderer();

    // ---- rewiring ----
    // Layer mode 0-4, or 5-9 for the same with live super (the flag then stays set).
    long ChGraph_PPLayer(long mode);
    long ChGraph_PreOut(long channel);
    long ChGraph_LiveSuperOn();
    long ChGraph_LiveSuperOff();
    long ChGraph_Genie_PPLyer(long mode);
    long ChGraph_Genie_EfLinePPLyer(long line);
    long ChgGraph_VfxFile();
    long ReconnectVideo0();
    long ReconnectVideo1();
    long ReconnectLeft();
    long ReconnectRight();
    // Selects input `index` of crosspoint `source` for the mixer input `dd` is connected to.
    long HwConnSelect(IDirectData* dd, GUID source, long index);
    // The layer mode applied last (0-4, or 5-9 with live super), and the live-super flag.
    long GetPPLayerMode() const;
    BOOL GetLiveSuper() const;

    // ---- keyframes ----
    // The control's result, or -1 when not built or the channel or unit is not in the graph.
    long Send2DDveKeyframe0(const MQVIDFX_2DDVE_KEYFRAME* record);
    long Send2DDveKeyframe1(const MQVIDFX_2DDVE_KEYFRAME* record);
    long Send2DDveKeyframe2(const MQVIDFX_2DDVE_KEYFRAME* record);
    long Send2DDveKeyframe3(const MQVIDFX_2DDVE_KEYFRAME* record);
    long Send2DDveKeyframe4(const MQVIDFX_2DDVE_KEYFRAME* record);
    long SendCropKeyframe0(const MQVIDFX_CROP_KEYFRAME* record);
    long SendCropKeyframe1(const MQVIDFX_CROP_KEYFRAME* record);
    long SendCropKeyframe2(const MQVIDFX_CROP_KEYFRAME* record);
    long SendCropKeyframe3(const MQVIDFX_CROP_KEYFRAME* record);
    long SendCropKeyframe4(const MQVIDFX_CROP_KEYFRAME* record);
    long SendProcampKeyframe0(const MQVIDFX_PROCAMP_KEYFRAME* record);
    long SendProcampKeyframe1(const MQVIDFX_PROCAMP_KEYFRAME* record);
    long SendProcampKeyframe2(const MQVIDFX_PROCAMP_KEYFRAME* record);
    long SendProcampKeyframe3(const MQVIDFX_PROCAMP_KEYFRAME* record);
    long SendProcampKeyframe4(const MQVIDFX_PROCAMP_KEYFRAME* record);
    long SendMaskKeyframe0(const MQVIDFX_MASK_KEYFRAME* record);
    long SendMaskKeyframe1(const MQVIDFX_MASK_KEYFRAME* record);
    long SendMaskKeyframe2(const MQVIDFX_MASK_KEYFRAME* record);
    long SendMaskKeyframe3(const MQVIDFX_MASK_KEYFRAME* record);
    long SendMaskKeyframe4(const MQVIDFX_MASK_KEYFRAME* record);
    long SendPaintKeyframe0(const MQVIDFX_PAINT_KEYFRAME* record);
    long SendPaintKeyframe1(const MQVIDFX_PAINT_KEYFRAME* record);
    long SendPaintKeyframe2(const MQVIDFX_PAINT_KEYFRAME* record);
    long SendPaintKeyframe3(const MQVIDFX_PAINT_KEYFRAME* record);
    long SendPaintKeyframe4(const MQVIDFX_PAINT_KEYFRAME* record);
    long SendWipeKeyframe0(const MQVIDFX_WIPE_KEYFRAME* record);
    long SendWipeKeyframe1(const MQVIDFX_WIPE_KEYFRAME* record);
    long SendWipeFaderKeyframe0(const MQVIDFX_FADERPOS_KEYFRAME* record);
    long SendWipeFaderKeyframe1(const MQVIDFX_FADERPOS_KEYFRAME* record);
    long SendWipeBorderframe0(const MQVIDFX_BACKGROUND_KEYFRAME* record);
    long SendWipeBorderframe1(const MQVIDFX_BACKGROUND_KEYFRAME* record);
    long SendKeyframeBGen2(const MQVIDFX_BACKGROUND_KEYFRAME* record);
    // The border of wipe unit 0 or 1: {enable != 0, the colour as YUV}. 0, or -1 when not built.
    long WipeBorderSet0(long enable, DWORD argb);
    long WipeBorderSet1(long enable, DWORD argb);

    // ---- time-base correctors and freezes ----
    // 0, the control's failure, -1 for a channel that is not in the graph, 1 when not built.
    long SetTBCRate0(DWORD rate);
    long SetTBCRate1(DWORD rate);
    long SetTBCRate2(DWORD rate);
    long SetTBCRate3(DWORD rate);
    long SetTBCRate4(DWORD rate);
    long SetTBCDisplay0(_DISPLAY_MODE mode);
    long SetTBCDisplay1(_DISPLAY_MODE mode);
    long SetTBCDisplay2(_DISPLAY_MODE mode);
    long SetTBCDisplay3(_DISPLAY_MODE mode);
    long SetTBCDisplay4(_DISPLAY_MODE mode);
    // Freeze: strobe 0, display frame; field freeze: strobe 0, display field; unfreeze: strobe
    // 1, display frame. The Fiesta0 variants go through channel 0's TBC data filter.
    long FreezeFiesta(long channel);
    long FreezeFiestaField(long channel);
    long UnFreezeFiesta(long channel);
    long Fiesta0Freez();
    long Fiesta0FreezField();
    long Fiesta0UnFreez();

    // ---- stills ----
    // A rectangle (sx, sy, w, h) of a srcW × srcH picture of 32-bit pixels to (dx, dy) of
    // channel `ch` (0-4; any other number means 0), clipped to both pictures on even columns
    // and lines. 0, -1 when refused, or the transfer's failure. Stops the transport, and plays
    // it again half a second after the still is in place.
    long PutFiesta(long ch, const void* pixels, long srcW, long srcH, long sx, long sy, long w, long h, long dx,
                   long dy);
    long PutFiestaYuv(long ch, const void* pixels, long srcW, long srcH, long sx, long sy, long w, long h, long dx,
                      long dy);
    // The channel's whole 720 × 486 frame into `pixels`.
    BOOL GetFiesta(long ch, void* pixels);
    BOOL GetFiestaYuv(long ch, void* pixels);

    // ---- live input ----
    MQFG_INPUT_INFO* GetFirstLiveInput();
    MQFG_INPUT_INFO* GetNextLiveInput();
    long SetLiveInput(long input);
    long GetLiveInput();
    MQFG_INPUT_INFO* GetFirstLiveInput_SDICap();
    MQFG_INPUT_INFO* GetNextLiveInput_SDICap();
    long SetLiveInput_SDICap(long input);
    long GetLiveInput_SDICap();
    long SelLiveLine_AdcFiesta0();
    long SelLiveLine_InputSel2();
    long SDI_Captuer_Strat(long ch);
    long SDI_Captuer_End();
    long SetVideoLevelMode(long mode);

    // ---- motion and sound ----
    long SetVideoFilename0(const char* name);
    long SetVideoFilename1(const char* name);
    long SetLeftAudioFilename(const char* name);
    long SetRightAudioFilename(const char* name);
    // The master volume as 8.24 fixed point (1.0 = unity); -1 without a volume control.
    long AudioMasterVolume(double volume);
    long SetAudioMode(long mode);
    long GetAudioMode() const;

    // ---- transport ----
    long FgPlay();
    long FgStop();
    long FgSeek(double seconds);
    long FgPlayFromTo(double start, double stop, long loop);
    long FgReBigin();
    long FgReEndData();
    // Waits half a second for the graph to complete, dispatching nothing.
    long WaitForCompletion();
    // The graph's duration.
    long NowPosition(double& seconds);

    // ---- Genie ----
    long SetGenieVfxFile(CString file, CString subStorage);
    long SetGenieEffectLine(long line);
    long GetGenieVfxInfo(double& duration, DWORD& frames);
    long GetGenieDuration(double& duration);
    long GeniePlay();
    long GeniePause();
    long GenieStop();
    long GenieStartPosition();
    long GenieWaitForCompletion();

    // ---- event overrides ----
    BOOL HandleFGEvent(LONG code, LONG_PTR param1, LONG_PTR param2) override;
    BOOL HandleMQEvent(CMQEventInfo& info) override;
    HRESULT GetPosition(double& seconds) override;
    // How many filter warnings 0x80041082 were swallowed.
    long GetWarningCount() const { return m_nWarnings.load(); }

    // ---- the field notification ----
    // The on-air control's field handler publishes the current field (0 first, 1 second)
    // here; waiting for frames counts its changes.
    void SetFieldNumber(int field);
    int GetFieldNumber() const { return m_nFieldNumber.load(); }

    // ---- graphics frame buffer: display ----
    long GfbDispGfbSelect(int which);
    long GfbSwap();
    long GfbDispPos(long line);
    // Returns after the current field number has changed three times; -1 when no change comes
    // within half a second (nothing publishes fields).
    long GfbWaitFrame();

    // ---- graphics frame buffer: writes ----
    // A whole 720 × 486 picture (stride 720) into the displayed area (which 0) or the hidden one.
    long GfbWriteBuffer(int which, const unsigned char* pixels);
    // 720 pixels into a line (0-683) of the front area.
    long GfbWriteLine(long line, const unsigned char* pixels);
    // A rectangle (sx, sy, w, h) of a picture of srcW × srcH pixels to (dx, dy) of the back or
    // front area, clipped to the source and to 720 × 486.
    long GfbBkWriteBuff(const unsigned char* pixels, long srcW, long srcH, long sx, long sy, long w, long h, long dx,
                        long dy);
    long GfbFrWriteBuff(const unsigned char* pixels, long srcW, long srcH, long sx, long sy, long w, long h, long dx,
                        long dy);
    // The same for one field, clipped to the 768 × 684 area: the lines of the destination that
    // belong to the field, each from the source row at the same offset.
    long GfbBkWrite_First(const unsigned char* pixels, long srcW, long srcH, long sx, long sy, long w, long h, long dx,
                          long dy);
    long GfbBkWrite_Second(const unsigned char* pixels, long srcW, long srcH, long sx, long sy, long w, long h, long dx,
                           long dy);
    long GfbFrWrite_First(const unsigned char* pixels, long srcW, long srcH, long sx, long sy, long w, long h, long dx,
                          long dy);
    long GfbFrWrite_Second(const unsigned char* pixels, long srcW, long srcH, long sx, long sy, long w, long h, long dx,
                           long dy);

    // ---- graphics frame buffer: board copies ----
    // The rectangle (clipped to 768 × 684) from the back area to the same place of the front,
    // both fields, or one.
    long GfbCopyBktoFr(long x, long y, long w, long h);
    long GfbCopyBktoFr_FirstField(long x, long y, long w, long h);
    long GfbCopyBktoFr_SecondField(long x, long y, long w, long h);
    // One field of the rectangle (clipped to 768 × 684) inside the front area, moved by `a`
    // pixels across and `b` field lines down.
    long GfbCopyFrtoFr_First(long x, long y, long w, long h, long a, long b);
    long GfbCopyFrtoFr_Second(long x, long y, long w, long h, long a, long b);
    // One copy request as the device takes it (left, top, right, bottom in lines and columns
    // of the whole memory, shifts in field lines and pixels): the frame-buffer roll's moves.
    long GfbBlit(long left, long top, long right, long bottom, long vshift, long hshift);

protected:
    using CMQFilterGraph::WaitForCompletion;

    // The graphics device.
    bool GfbReady() const { return m_hGfb != nullptr && m_pGfbMemory != nullptr; }
    void OpenGraphicsDevice(const char* name);
    void CloseGraphicsDevice();
    void SendSdtiSettings(const char* device);
    long GfbWriteRect(long areaTop, long limitW, long limitH, int fields, const unsigned char* pixels, long srcW,
                      long srcH, long sx, long sy, long w, long h, long dx, long dy);
    long GfbCopyField(int field, long x, long y, long w, long h, long fromTop, long a, long b);

    std::atomic<int> m_bBuilt{0};

    // Graphics frame buffer: the device, its map record, the memory it maps (with the lock
    // its users share), the display position last sent and which area is shown.
    HANDLE m_hGfb = nullptr;
    DWORD m_GfbMap[5] = {};
    std::uint32_t* m_pGfbMemory = nullptr;
    std::shared_ptr<std::mutex> m_pGfbLock;
    std::atomic<DWORD> m_dwGfbDispPos{0};
    DWORD m_dwGfbBytes = 0;
    std::atomic<int> m_nGfbDispSelect{0};

    // Hardware flags copied from the inventory at BuildGraph.
    DWORD m_dwMixNJType = 0;
    int m_bLinx = 0;
    int m_bSdti = 0;
    int m_bGenie = 0;

    // The audio mode, and how many filter warnings were swallowed.
    std::atomic<int> m_nAudioMode{0};
    std::atomic<long> m_nWarnings{0};

private:
    friend struct zk::graph::Parts;
    class Build;

    // The one implementation behind each family of numbered operations.
    long AddFiestaUnit(int channel);
    long RemoveFiestaUnit(int channel);
    long AddWipeUnit(int unit);
    long RemoveWipeUnit(int unit);
    long SendChannelRecord(int channel, int kind, const void* record);
    long SendWipeRecord(int unit, int kind, const void* record);
    long WipeBorderSet(int unit, long enable, DWORD argb);
    long SetTbc(int channel, const DWORD* rate, const _DISPLAY_MODE* mode);
    long SetTbcPair(int channel, DWORD rate, _DISPLAY_MODE mode);
    long SetTbcThroughData(DWORD rate, _DISPLAY_MODE mode);
    long TransferStill(long ch, const void* pixels, bool yuv, long srcW, long srcH, long sx, long sy, long w, long h,
                       long dx, long dy);
    BOOL ReadStill(long ch, void* pixels, bool yuv);
    long ApplyLayerMode(long mode, bool genie);
    long RewireLiveSuper(bool on);
    MQFG_INPUT_INFO* FirstLiveInput(bool sdi);
    MQFG_INPUT_INFO* NextLiveInput(bool sdi);
    long SetLiveInputOf(bool sdi, long input);
    long LiveInputOf(bool sdi);
    long SetFileName(int which, const char* name);
    long ReconnectVideo(int which);
    long ReconnectAudio(int which);
    long TearDown(zk::graph::Config config);
    // Takes a configuration's clip or sound off the board, before its sources go.
    void ReleaseBoardMedia(zk::graph::Config config);
    long BuildTelopGenie();
    long SelectGenieLine(int line);
    long BuildMotion(long line, bool telop);
    long RestoreGenieCrosspoints();

    std::unique_ptr<zk::graph::Parts> m_pParts;

    // The current field number and those waiting for it to change.
    std::atomic<int> m_nFieldNumber{0};
    std::atomic<unsigned long> m_nFieldChanges{0};
    std::mutex m_FieldWaitLock;
    std::vector<HANDLE> m_FieldWaiters;
};
