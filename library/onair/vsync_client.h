// The vertical-sync worker's two small pieces: the client of the field interrupt and the
// hand-over record of the field work.
//
// CVSyncClient registers with the DigiSuite system-clock device ("\\.\DigiSuiteSystemClock%d"),
// maps its field status word (bit 0: the parity of the current field, 0 first, 1 second; the
// word counts fields), arms the interrupt and runs a time-critical thread that wakes at every
// field. While enabled it calls the virtual ProcessField with the status word once for every
// field, in order: a wait that runs out (60 ms without an interrupt) is not a field, nor is the
// arm request ending when the device is disarmed; and when the thread comes late (several
// fields passed since the one it handled last, as on a loaded machine) it calls ProcessField
// for each field it missed, oldest first, with the field indicator set to that field's parity.
// A derived class closes the client in its own destructor, so the thread never calls into a
// half-destroyed object.
//
// CVSyncWork is what the writer of the graphics back area hands the vertical-sync thread: one
// pending rectangle and which of its two fields have been copied to the front. The writer sets
// a rectangle only while no work is pending and raises the work flag last; the vertical-sync
// thread reads the rectangle only while the flag is up and clears it last (when both fields
// are done). Flag, field bits and rectangle are atomics, so the two threads need no lock.
#pragma once

#include <atomic>

#include "core/zorvik_api.h"
#include "framebuffer/box.h"
#include "platform/board/device_io.h"
#include "platform/com/com_base.h"
#include "platform/win32/afx_thread.h"

class CMQGraph;

class ZORVIK_API CVSyncClient {
public:
    CVSyncClient();
    // Opens at once; `result` (optional) receives the failure.
    CVSyncClient(const char* clockDevice, HRESULT* result);
    virtual ~CVSyncClient();
    CVSyncClient(const CVSyncClient&) = delete;
    CVSyncClient& operator=(const CVSyncClient&) = delete;

    // Only when not open yet and *result (when given) is not already a failure. Failures:
    // 0x80070006 the device cannot be opened; 0x80004005 an event, the registration, the
    // status map, the arm request or the thread failed. Nothing stays open after a failure.
    void Open(const char* clockDevice, HRESULT* result);
    void Close();
    BOOL IsOpen() const { return m_hDevice != nullptr; }

    // Calls to ProcessField happen only while enabled.
    void SetEnabled(BOOL enabled) { m_bEnabled = enabled ? 1 : 0; }
    BOOL GetEnabled() const { return m_bEnabled.load(); }
    // The parity of the field being handled (or last seen): 1 for a second field.
    int GetFieldIndicator() const { return m_nFieldIndicator.load(); }
    // Fields handled only after a later field had come (the thread was late for them): on
    // air, each is a field whose work missed its own field. A host's dropped-field count.
    long long GetLateFields() const { return m_nLateFields.load(); }

    // Called on the client's thread once per field, with the status word of that field.
    virtual void ProcessField(DWORD status);

private:
    static UINT ThreadProc(LPVOID self);
    void Run();
    void Deliver(DWORD status);
    void Release();

    HANDLE m_hDoneEvent = nullptr;
    std::atomic<int> m_bQuit{0};
    std::atomic<int> m_nFieldIndicator{0};
    DWORD* m_pFieldStatus = nullptr; // the device's; read with std::atomic_ref
    DWORD m_dwStatusToken = 0;
    HANDLE m_hDevice = nullptr;
    HANDLE m_hInterruptEvent = nullptr;
    zk::OwnedThread m_Thread;
    DWORD m_dwRegistration = 0;
    std::atomic<int> m_bEnabled{0};
    std::atomic<long long> m_nLateFields{0};
    OVERLAPPED m_Overlapped{};
    // The thread's own: the status word of the last field it handled.
    DWORD m_dwLastStatus = 0;
    bool m_bSeenField = false;
};

class ZORVIK_API CVSyncWork {
public:
    CVSyncWork() = default;
    CVSyncWork(const CVSyncWork& other);
    CVSyncWork& operator=(const CVSyncWork& other);
    virtual ~CVSyncWork() = default;

    // Registers a rectangle. While work is pending it looks again after 34 ms, three times at
    // most; still pending at the fourth look, -1 and nothing changes. Else 0.
    int SetVSyncWork(int x, int y, int w, int h);
    int SetVSyncWork(long x, long y, long w, long h);
    int SetVSyncWork(unsigned long x, unsigned long y, unsigned long w, unsigned long h);
    int SetVSyncWork(CBox box);
    // Stores flag and rectangle as they are and clears the field bits; 0.
    int Set(int flag, int x, int y, int w, int h);
    // Marks a field copied; when both are, the work is done. The work flag afterwards.
    int SetFieldFirst();
    int SetFieldSecond();
    int GetFieldFirst() const { return m_nField.load() & 1; }
    int GetFieldSecond() const { return m_nField.load() & 2; }
    int GetWorkFlag() const { return m_nWork.load(); }
    CBox GetBox() const { return CBox(m_nX.load(), m_nY.load(), m_nW.load(), m_nH.load()); }

private:
    int Mark(int bit);

    std::atomic<int> m_nWork{0};
    std::atomic<int> m_nField{0};
    std::atomic<int> m_nX{0}, m_nY{0}, m_nW{0}, m_nH{0};
};

namespace zk {

// The vertical-sync thread's first step for one field (`field` 1 for a second field): while
// work is pending, copy its rectangle from the back area to the front for the field that is
// due and not yet done, and mark it. 1 when a copy was made, 0 when none was due, -1 when
// the copy failed (the field is marked all the same, so a broken device cannot hold the
// writer for ever).
ZORVIK_API int copy_field_work(CMQGraph& graph, CVSyncWork& work, int field);

// Sends an I/O control request and waits for it when the device leaves it pending (an
// incomplete result counts as success). Without an overlapped record of the caller's, one is
// made for the request, with its own event, and freed after.
ZORVIK_API BOOL overlapped_control(HANDLE device, DWORD code, void* in, DWORD inBytes, void* out, DWORD outBytes,
                                   DWORD* returned, OVERLAPPED* overlapped = nullptr);

} // namespace zk
