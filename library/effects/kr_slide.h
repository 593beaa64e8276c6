// CKrSlide and CKrSlideInfo: up to 20 rectangular slides at once on the graphics banks.
//
// Inside a rectangle the picture that is there (outgoing) may slide away while a new picture
// (from a bank, or a solid colour) slides in or is revealed by a growing edge, in one of eight
// directions, one step per field. Each slot (CKrSlideInfo) is prepared by SlideSet; SlideGo
// plays every prepared slot together with the fades handed to the fade controller through
// SlideSet, waits until all have finished and then writes the end picture into each slot's
// outgoing bank, so the bank holds what is on air. A slot whose outgoing bank is not the bank
// on air is not played: SlideGo applies its end picture to the bank at once, without writing
// anything to the output.
//
// What a slide does on each field is the slide core's (effects/slide_core.h); this class keeps
// the legacy operations and runs one thread (time critical) per playing slot, woken by the
// vertical-sync thread through SlideEventSet.
//
// Results: 0 success; SlideSet -1 for a slot outside 1-20, a rectangle of which nothing is
// left on the 720 × 486 picture, a bank number that names no bank, no memory for the pictures,
// or a fade the fade controller refused (it reports its own message); SlideClear -1 for an
// index outside 0-19.
//
// Threads: the host calls the operations (SlideGo blocks it until everything has finished);
// the vertical-sync thread calls SlideEventSet every field while GetRunning(); each playing
// slot's thread advances its motions and writes its pictures. Flags shared between them are
// atomics; a slot's pictures and motions belong to its thread while it plays. The destructor
// stops and joins every slot thread.
#pragma once

#include <atomic>

#include "core/zorvik_api.h"
#include "effects/field_worker.h"
#include "effects/slide_core.h"
#include "framebuffer/box.h"

class CMQGraph;
class CKrGfb;
class CKrFadeCtr;

// One slide slot: its prepared pictures and motions, its run, and the flags the vertical-sync
// thread reads.
class ZORVIK_API CKrSlideInfo {
public:
    CKrSlideInfo();
    ~CKrSlideInfo();
    CKrSlideInfo(const CKrSlideInfo&) = delete;
    CKrSlideInfo& operator=(const CKrSlideInfo&) = delete;

    // 1 while the slot plays on air.
    int GetRunning() const { return m_bRunning.load(); }
    // The last field handed to the slot (0 first, 1 second).
    unsigned long GetFieldNumber() const { return m_nFieldNumber.load(); }

private:
    friend class CKrSlide;

    std::atomic<int> m_bRunning{0};
    std::atomic<unsigned long> m_nFieldNumber{0};
    zk::fx::SlideSlot m_Slot;
    zk::fx::SlideRun m_Run;
    zk::FieldWorker m_Thread;
};

class ZORVIK_API CKrSlide {
public:
    CKrSlide();
    ~CKrSlide();
    CKrSlide(const CKrSlide&) = delete;
    CKrSlide& operator=(const CKrSlide&) = delete;

    // The graph, the banks and the fade controller (all borrowed: they must outlive this
    // object). 0.
    int Initial(CMQGraph* graph, CKrGfb* gfb, CKrFadeCtr* fade);

    // Prepares slot `slot` (1-20): a slide of `type` (-4 to 3; others count as 0) in
    // `direction` (0 right, 1 left, 2 down, 3 up, 4 right and down, 5 right and up, 6 left and
    // down, 7 left and up; others count as 0) taking `speed` frames, or `speed` pixels a field
    // when `pixels` is set, after `delay` fields, on the rectangle (x, y, w, h) of bank
    // `outBank`; the incoming picture is the rectangle at (inX, inY) of bank `inBank`, or
    // `colour` for negative types. `limit` (1 to the size along the motion) shortens straight
    // moves. Types 10-14 hand a fade of mode type - 10 to the fade controller instead, with
    // the slot as its number, `speed` as its frame count and the outgoing and incoming banks
    // as its destination and source; it starts and ends with the slides.
    int SlideSet(int slot, int type, int direction, int speed, int pixels, int delay, int outBank, int x, int y, int w,
                 int h, int inBank, int inX, int inY, unsigned long colour, int limit);
    // Plays everything prepared, returns when every slide and fade has finished, writes the
    // end pictures into the banks and clears the slots and the fades. 0.
    int SlideGo();
    // Frees slot `index` (0-19): its pictures, boxes and motions. 0, or -1 for another index.
    int SlideClear(int index);
    // Resets the fades set through SlideSet and clears every slot in use. 0.
    int SlideResetAll();

    // Fills a start box and a motion record for `kind` (0 slides out, 1 slides in, 2 revealed)
    // in `direction` over `steps` fields on a w × h rectangle. 0, or -1 without a record.
    int SlideSetOne(CMoveBox& start, tagSLIDECOMP* comp, int kind, int direction, int steps, int w, int h, int limit);
    // Advances a motion one field and sets the current box; the result (2 both axes finished,
    // 1 one of them, 0 none) is returned and stored in `result`. Without a record, 2.
    int NextSlideComp(CMoveBox& start, CMoveBox& current, tagSLIDECOMP* comp, int& result);

    // Called by the vertical-sync thread on every field (0 first, 1 second) while GetRunning():
    // stores the field in every playing slot and hands it to the slot's thread. Never blocks.
    void SlideEventSet(unsigned long field);
    // 1 while SlideGo plays slots on air.
    int GetRunning() const { return m_bRunning.load(); }

private:
    bool VSyncEvent(int index, unsigned long field);
    bool AnyRunning() const;
    void Clear(int index);

    std::atomic<int> m_bRunning{0};
    CKrSlideInfo m_Info[zk::fx::kSlideSlots];
    bool m_bInUse[zk::fx::kSlideSlots] = {};
    std::atomic<CMQGraph*> m_pGraph{nullptr};
    CKrGfb* m_pGfb = nullptr;
    CKrFadeCtr* m_pFade = nullptr;
    int m_nFadeCount = 0;
};
