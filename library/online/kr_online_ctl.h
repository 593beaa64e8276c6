// CKrOnlineCtl: the host's one object for putting captions on air.
//
// A host creates one per output and calls Initial with its window. From then on the object
// owns the effects graph, the four graphics banks, every effect controller and a vertical-sync
// thread that drives all of them once per video field. Each operation here maps its arguments
// onto one operation of a bank, the graph, an effect controller or one of the per-field
// runners, and copies what it changed to the outputs: a rectangle of the on-air bank goes to
// the graphics frame buffer (written into its back area, then shown one field at a time by the
// vertical-sync thread), a rectangle of the next bank to the preview channel while preview is
// on and live super is off. What an effect does on a field is its controller's business, never
// this object's.
//
// Results: 0 (or 1 where a comment says so) for success, -1 or another negative code for
// failure. Operations that fail with a message format a short text ("TgaLoadErr <file>" ...)
// and hand it to ErrDispMessage through the library's message sink, which discards it: the
// host learns of failures from results only; GetErrorText gives the last text for those who
// look. Every operation called before a successful Initial (or after a failed one) returns -1,
// or the failure value its family uses, and touches nothing.
//
// Unit numbers: a wipe unit, DVE slide or 2D DVE action number outside its range is taken as
// unit 0 (WipeSet, DveSlideSet, Break2DDveAct, PostionDirect2DDve and
// PostionDirect2DDveChnage), as hosts written for the board rely on: a wrong number moves unit
// 0 rather than failing. The operations that say "refused" below refuse instead.
//
// Channels: motion line 0 plays on Fiesta channels 1 and 2, line 1 on 3 and 4. DVE slide 0 and
// 2D DVE action 0 move Fiesta 1, slide 1 and action 1 Fiesta 3, action 2 Fiesta 0. Wipe 0 and
// 1 are the mixer's wipe units 0 and 1.
//
// Threads: the host's thread calls the operations; the field-interrupt thread calls
// ProcessField, which only publishes the field and wakes the vertical-sync thread; that thread
// runs the per-field steps in a fixed order (VSyncProc). The waits (WaitField, WipeWait,
// DveSlideWait, Wait2DDveAct, MotionWait, TimeWait, AnimeWait, Slide_Go) block the host's
// thread only, and follow board time. The destructor stops the field interrupt, ends the
// vertical-sync thread, stops and joins every effect, ends the clocks and deletes the graph.
#pragma once

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>

#include "core/zorvik_api.h"
#include "effects/kr_roll.h"
#include "framebuffer/box.h"
#include "onair/vsync_client.h"
#include "platform/framework/cstring.h"
#include "platform/framework/cwnd.h"
#include "platform/framework/geometry.h"
#include "platform/win32/afx_thread.h"

class CMQGraph;
class CKrGfb;
class CKrFrameBuffer;
class CKrSlide;
class CKrAnimeCtr;
class CKrFadeCtr;
class CKrFontDraw;
class CKrTmProc;
class CDrawGraph;
class CGfbRoll;
struct tag2DDVEPRM;

namespace zk {
class FieldWait;
class WipeRunner;
class DveSlideRunner;
class DveActionRunner;
} // namespace zk

class ZORVIK_API CKrOnlineCtl : public CVSyncClient, public zk::RollHost {
public:
    CKrOnlineCtl();
    ~CKrOnlineCtl() override;
    CKrOnlineCtl(const CKrOnlineCtl&) = delete;
    CKrOnlineCtl& operator=(const CKrOnlineCtl&) = delete;

    // ---- life ----
    // Takes the inventory, builds the effects graph and the telop configuration, opens the
    // field interrupt, starts the vertical-sync thread, sets the DigiMix registers the board
    // needs, plays the graph and initialises every effect controller. 0, or -1 with the
    // failure's text handed to ErrDispMessage (and nothing left running). A second Initial
    // after a successful one changes nothing and returns 0.
    int Initial(CWnd* wnd);
    // Called by the field interrupt's thread for every field: publishes the field (0 first,
    // 1 second) to the graph and hands it to the vertical-sync thread. Never blocks.
    void ProcessField(DWORD status) override;
    // The vertical-sync thread's body: until the quit flag is set, every field in order: the
    // field wait, the field work, the roll, slides, clocks, animations, fades, motion, wipes,
    // DVE slides, the frame-buffer roll and the 2D DVE actions. The field wait comes first
    // (not after the DVE slides): a wait begun as an effect ended in this field would
    // otherwise return in this same field or the next, by a race with the waiting thread.
    UINT VSyncProc();

    // ---- banks ----
    int ScreenClear();
    int ScreenClearCol(DWORD colour);
    int ScreenClearBank(int bank);
    int ScreenClearBankCol(int bank, DWORD colour);
    // Both choices; each bank that changed is copied whole to its output.
    int SetBankDisp(int oa, int next);
    // The on-air / next bank; copied whole to its output when the choice changed. -1 for a
    // bank outside 0-3.
    int SetBankOa(int bank);
    int SetBankNext(int bank);
    int SetBankWrite(int bank);
    int SetCopyMode(int mode);
    int CopyBank(int src, int dst);
    int CopyBankBox(int src, int x, int y, int w, int h, int dst, int dx, int dy);
    int BoxFill(int x, int y, int w, int h, DWORD colour);
    // The rectangle of `bank` to the output that shows it: the graphics frame buffer for the
    // on-air bank, the preview channel for the next bank while preview is on and live super
    // off; nothing (0) for any other bank.
    int CopyGfbRectBank(int bank, CBox box);
    // The rectangle of `fb` into the back area at the same place, then registered as field
    // work. Waits for earlier field work in 8 ms sleeps, but no longer than about 100 ms: a
    // vertical-sync thread that does not come (no field interrupt) gives -1 and the text
    // "CopyGfbMainOut TimeOut", and nothing is written.
    int CopyGfbMainOut(CKrFrameBuffer* fb, CBox box);
    int CopyGfbPreviewOut(CKrFrameBuffer* fb, CBox box);

    // ---- images ----
    // By extension (".tga", ".pct", ".jpg", any case); without one the first of name.tga,
    // name.pct, name.jpg that exists. Put into the write bank at (x, y) with the copy mode and
    // copied to the outputs.
    int ImageFileLoad(const char* file, int x, int y);
    int TgaImageLoad(const char* file, int x, int y);
    int PictImageLoad(const char* file, int x, int y);
    int JpegImageLoad(const char* file, int x, int y);
    // The same with the picture tinted by `colour` first (CKrFrameBuffer::ImageChColor).
    int ImageFileLoadChCol(const char* file, int x, int y, DWORD colour);
    int TgaImageLoadChCol(const char* file, int x, int y, DWORD colour);
    int PictImageLoadChCol(const char* file, int x, int y, DWORD colour);
    int JpegImageLoadChCol(const char* file, int x, int y, DWORD colour);
    // A Targa picture placed inside the w × h box at (x, y): resized to the box first when
    // `resize` is set, tinted when `chcol` is set; `position` is tens for the vertical and units
    // for the horizontal placement (0 top/left, 1 bottom/right, 2 centred). `copyMode` becomes
    // the banks' copy mode.
    int ImageFileLoadForm(const char* file, int x, int y, int w, int h, int copyMode, int position, int resize,
                          int chcol, DWORD colour);
    // 1 ".tga", 2 ".pct", 3 ".bmp", 4 ".jpg" (any case); without an extension the first of
    // those that exists, its name stored in `found`; else -1 and an empty name.
    int GetImageFileName(const char* name, CString& found);
    // The w × h rectangle at (x, y) of the write bank, by extension ".tga", ".pct", ".jpg".
    int ImageFileSave(const char* file, int x, int y, int w, int h);
    int TgaImageSave(const char* file, int x, int y, int w, int h);
    int PictImageSave(const char* file, int x, int y, int w, int h);
    int JpegImageSave(const char* file, int x, int y, int w, int h);
    int ImagePut(CKrFrameBuffer* fb, int x, int y) override;
    int ImageGet(CKrFrameBuffer* fb, int x, int y, int w, int h);

    // ---- drawing ----
    // Text with the font drawer's current attributes into the write bank.
    int GfbFontDisp(const char* text);
    // The graphic object into the write bank.
    int GfbGraphDisp();
    // The next bank pushed or slid over the on-air picture inside the graphics frame buffer
    // (CGfbRoll::GfbRoll): 1 started, 0 refused.
    int GfbRoll(long rollMode, long direction, long amount, long amountIsStep);

    // ---- effects: slides and animations, forwarded unchanged ----
    int Slide_Set(int slot, int type, int direction, int speed, int pixels, int delay, int outBank, int x, int y, int w,
                  int h, int inBank, int inX, int inY, unsigned long colour, int limit);
    int Slide_Go();
    int Slide_ResetAll();
    // Slot `no` prepared for `frames` frames of width × height shown at (x, y), then frames
    // first, first + 1, ... loaded from `format`; `mode` 1 lays them over, 2 under, the same
    // rectangle of `bank`, 0 neither. 1, or 0 with the controller's message.
    int AnimeImageSet(int no, int frames, int x, int y, int width, int height, int first, char* format, int mode,
                      int bank, int resize);
    // The same from one file holding the whole strip.
    int AnimeImageSet_AniImg(int no, int frames, int x, int y, int width, int height, char* name, int mode, int bank);
    int AnimeImageSave(int no, char* name);
    int AnimeModeSet(int no, int passes, int delay, int hold, int stopAtOnce);
    int AnimeReset(int no);
    int AnimeStart();
    int AnimeStop(int no);
    int AnimeStopAll();
    int AnimeWait();

    // ---- effects: the roll (CKrRoll), forwarded unchanged; 1 success, 0 failure ----
    // TRUE when the roll accepted the picture (borrowed until the roll has ended).
    int SetRoll(CKrFrameBuffer* image, int step, int direction, int mode);
    int SetupRoll();
    int StartRoll();
    int StartRollSleep();
    int BreakRoll();
    int SetStepRoll(int step);
    int GetStepRoll();
    unsigned long GetTimeRoll();
    int GetStateRoll();
    long GetStateNowPosRoll();
    long GetStatePosSizeRoll();
    void SetRollEndEvent(CEvent* event);
    void CrearRoll();
    int CompTimeToStep(int size, unsigned long ms, int vertical, int mode);
    int CompTimeToStep(CKrFrameBuffer* image, unsigned long ms, int vertical, int mode);
    unsigned long CompStepToTime(int size, int step, int vertical, int mode);
    unsigned long CompStepToTime(CKrFrameBuffer* image, int step, int vertical, int mode);

    // ---- wipe: units 0 and 1 of the mixer (zk::WipeRunner) ----
    // (unit, pattern, modifier, mode, value1, value2, direction, steps); a unit outside 0-1 is
    // unit 0. 0, or -1 when a record did not reach the unit.
    int WipeSet(int unit, unsigned long pattern, unsigned long modifier, unsigned long mode, unsigned long value1,
                unsigned long value2, unsigned long direction, unsigned long steps);
    // 0, 1, or 2 for both; each unit then shows one step a field and is done after its steps
    // (a wipe of 0 steps is a cut, done on the first field). -1 for any other `which`.
    int WipeStart(int which);
    // Returns once both units are idle and two more fields have passed.
    int WipeWait();
    // One field of a running unit (the vertical-sync thread's step).
    void WipeThread(int unit);
    int GetWipeState(int unit) const;

    // ---- 2D DVE slides: slide 0 moves Fiesta 1, slide 1 Fiesta 3 (zk::DveSlideRunner) ----
    // (slide, direction, in, border width, border ARGB, steps); a slide outside 0-1 is slide 0.
    int DveSlideSet(int slide, int direction, int in, unsigned long borderWidth, unsigned long borderArgb,
                    unsigned long steps);
    int DveSlideStart(int which);
    int DveSlideWait();
    void DevSlideThread(int slide);
    int GetDveSlideState(int slide) const;

    // ---- 2D DVE actions: 0 moves Fiesta 1, 1 Fiesta 3, 2 Fiesta 0 (zk::DveActionRunner) ----
    // 1 done, 0 refused. Set2DCustom takes 2 to 20 keypoints; Set2DPtn(pattern, out, fields,
    // act) a preset (0-14) from its collapsed rectangle to the full picture, or back when
    // `out` is set, in `fields` fields.
    int Set2DCustom(tag2DDVEPRM* params, int count, int act);
    int Set2DPtn(int pattern, int out, int fields, int act);
    int Setup2DDveAct(int act);
    int Start2DDveAct(int act);
    int ReStart2DDveAct(int act);
    // An action outside 0-2 is action 0.
    int Break2DDveAct(int act);
    // A paused action holds its place until restarted.
    int Pause2DDveAct(int act);
    // Returns once no action runs and two more fields have passed.
    int Wait2DDveAct();
    void Act2DDveThread(int act);
    // The action's record placed directly: normalised values, or pixels (...Chnage); an
    // action outside 0-2 is action 0.
    int PostionDirect2DDve(double x, double y, double width, double height, int act);
    int PostionDirect2DDveChnage(double x, double y, double width, double height, int act);
    int GetActState(int act) const;

    // ---- video ----
    // Preview shows the next bank on the preview channel (frozen while it shows a still).
    int PreviewOn();
    int PreviewOff();
    int LiveSuperOn();
    int LiveSuperOff();
    int PPLayer(int mode);
    // Selects channel `channel` for the preview output; it becomes the preview channel.
    int ChPreOut(int channel);
    // Line 1: Fiesta 3 and 4; any other value: 1 and 2.
    int LineFreeze(int line);
    int LineUnFreeze(int line);
    int Play();
    int Stop();
    // The channel's frame into fb, made 720 × 486 first when it is not.
    int GetFiesta(int ch, CKrFrameBuffer* fb);
    int PutFiesta(int ch, CKrFrameBuffer* fb, long sx, long sy, long w, long h, long dx, long dy);
    int GetFiestaYuv(int ch, CKrFrameBuffer* fb);
    int PutFiestaYuv(int ch, CKrFrameBuffer* fb, long sx, long sy, long w, long h, long dx, long dy);
    // Returns after the vertical-sync thread has handled one more field.
    int WaitField();

    // ---- 3D DVE ----
    // 1 on success, 0 otherwise (also while one is active).
    int Set3Ddve(CString file1, CString file2);
    int SetLine3Ddve(int line);
    int End3Ddve();
    int ChangeVfxFile(CString file1, CString file2);

    // ---- motion ----
    int MovieSet(const char* file, int line);
    int MovieEnd();
    // Fill `<dir>/<base>.avi`, key `<base>.matte.avi`, or `<base>.alpha.avi` when no matte
    // exists, on motion line `line` (0 or 1), cued at its start.
    int MotionSet(const char* file, int line);
    int MotionEnd();
    int MotionStartPosition();
    int MotionSeekFrame(long frame);
    int MotionSeekTime(double seconds);
    int MotionPlay();
    int MotionStop();
    int MotionStopField();
    int MotionWait();
    // One field's look at the clip: the motion-done event at its end, the line frozen two
    // frames before it.
    int MotionStopProc();

    // ---- sound ----
    // Left `<base>.A1.wav` and right `<base>.A2.wav` when they exist, else `<base>.wav` alone.
    int WaveSet(const char* file);
    int WaveEnd();
    int LiveSoundSet();
    int LiveSoundEnd();
    int SetAudioMode(int mode);
    int GetAudioMode();

    // ---- files and timing ----
    int ChDir(unsigned char* path);
    int MkDir(unsigned char* path);
    int DelFile(unsigned char* path);
    // Sleeps n × 100 ms.
    int TimeWait(int n);

    // ---- errors ----
    // Where the library's failure texts end: kept as the last text, shown nowhere.
    void ErrDispMessage(CString text);
    CString GetErrorText() const;

    // ---- what the host reaches directly ----
    CMQGraph* GetGraph() { return m_pGraph.get(); }
    CKrGfb* GetGfb() { return m_pGfb.get(); }
    CKrFontDraw* GetFontDraw() { return m_pFontDraw.get(); }
    CDrawGraph* GetDrawGraph() { return m_pDrawGraph.get(); }
    CKrTmProc* GetTmProc() { return m_pTmProc.get(); }
    CKrFadeCtr* GetFadeCtr() { return m_pFade.get(); }
    CKrSlide* GetSlide() { return m_pSlide.get(); }
    CKrAnimeCtr* GetAnimeCtr() { return m_pAnime.get(); }
    CKrRoll* GetRoll() { return m_pRoll.get(); }
    CGfbRoll* GetGfbRoll() { return m_pGfbRoll.get(); }
    CVSyncWork& GetVSyncWork() { return m_VSyncWork; }
    int GetPreview() const { return m_bPreview.load(); }
    int GetPreviewChannel() const { return m_nPreviewChannel.load(); }
    int GetLiveSuper() const { return m_bLiveSuper.load(); }
    int GetMotionSet() const { return m_bMotionSet.load(); }
    int GetMotionLine() const { return m_nMotionLine.load(); }
    int GetMotionPlaying() const { return m_bMotionPlaying.load(); }
    int Get3DdveActive() const { return m_b3DdveActive.load(); }

private:
    static UINT VSyncThreadProc(LPVOID self);
    void RunField(unsigned long field);
    static void MessageSink(void* self, const char* text);
    int Fail(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    bool Ready() const { return m_bReady.load(); }
    void TearDown();

    // Banks: the result of a bank operation that changed `box` of `bank`, copied to its output.
    int Changed(int result, int bank, const CBox& box);
    // Images: the picture loaded by `loader` into the write bank (tinted first when asked).
    int LoadAndPut(int kind, const char* file, int x, int y, const DWORD* colour);
    int LoadByName(const char* file, int x, int y, const DWORD* colour);
    int SaveRect(int kind, const char* file, int x, int y, int w, int h);
    // Motion: the line's two channels frozen or unfrozen.
    void FreezeLine(int line, bool freeze);
    void MotionDone();

    // The host's window and the effects graph.
    CWnd* m_pWnd = nullptr;
    std::unique_ptr<CMQGraph> m_pGraph;
    std::unique_ptr<CKrGfb> m_pGfb;
    // Effect controllers.
    std::unique_ptr<CKrFadeCtr> m_pFade;
    std::unique_ptr<CKrSlide> m_pSlide;
    std::unique_ptr<CKrAnimeCtr> m_pAnime;
    std::unique_ptr<CKrFontDraw> m_pFontDraw;
    std::unique_ptr<CKrTmProc> m_pTmProc;
    std::unique_ptr<CDrawGraph> m_pDrawGraph;
    std::unique_ptr<CKrRoll> m_pRoll;
    std::unique_ptr<CGfbRoll> m_pGfbRoll;
    // The field wait, and the wipe, DVE slide and 2D DVE action runners that wait with it.
    std::unique_ptr<zk::FieldWait> m_pFields;
    std::unique_ptr<zk::WipeRunner> m_pWipes;
    std::unique_ptr<zk::DveSlideRunner> m_pDveSlides;
    std::unique_ptr<zk::DveActionRunner> m_pDveActs;

    // The last error text; the sink is called from any thread.
    mutable std::mutex m_ErrLock;
    CString m_strErr;

    // The field work and the vertical-sync thread with its event, queue and quit flag.
    CVSyncWork m_VSyncWork;
    HANDLE m_hVSyncEvent = nullptr;
    std::atomic<int> m_bVSyncQuit{0};
    std::mutex m_FieldLock;
    std::deque<unsigned long> m_Fields; // under m_FieldLock
    zk::OwnedThread m_VSyncThread;
    std::atomic<bool> m_bReady{false};

    // Motion.
    std::atomic<int> m_bMotionSet{0};
    std::atomic<int> m_nMotionLine{0};
    std::atomic<int> m_bMotionPlaying{0};
    std::atomic<int> m_bMotionFrozenAtEnd{0};
    double m_dMotionStopPos = 0.0;
    HANDLE m_hMotionDone = nullptr;

    // 3D DVE, preview, live super.
    std::atomic<int> m_b3DdveActive{0};
    std::atomic<int> m_bPreview{0};
    std::atomic<int> m_nPreviewChannel{0};
    std::atomic<int> m_bLiveSuper{0};
};
