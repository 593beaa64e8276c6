// CMQGraph: the one filter graph of the on-air side, which knows the DigiSuite hardware.
//
// It derives from CMQFilterGraph and adds what the board needs beyond a plain graph. The class
// grows by concern, one source file each: mq_graph.cpp (construction, BuildGraph: the
// inventory, the graphics device and the SDTI settings, and the field notification),
// mq_graph_gfb.cpp (the graphics frame buffer: writes, field writes, board copies, display
// selection, waiting for frames). The mixer's configurations, keyframes, stills, live input,
// motion, sound and Genie operations come in files of their own beside these.
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
// Thread use: BuildGraph runs before the threads that use the graph start; the Gfb operations
// and the field notification may then be called from any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "onair/mq_filter_graph.h"

class ZORVIK_API CMQGraph : public CMQFilterGraph {
public:
    CMQGraph();
    ~CMQGraph() override;

    // ---- building ----
    // The inventory, the graphics device, the SDTI settings. 1 without a DigiMix (the graph
    // stays not built), E_FAIL when the base failed, else 0.
    HRESULT BuildGraph() override;
    int GetBuilt() const { return m_bBuilt.load(); }

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

private:
    // The current field number and those waiting for it to change.
    std::atomic<int> m_nFieldNumber{0};
    std::atomic<unsigned long> m_nFieldChanges{0};
    std::mutex m_FieldWaitLock;
    std::vector<HANDLE> m_FieldWaiters;
};
