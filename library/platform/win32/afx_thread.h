// The framework's thread and event classes, over the Win32 layer: CEvent, CWinThread and
// AfxBeginThread, with the shapes the on-air classes are written against.
//
// A CWinThread made by AfxBeginThread deletes itself when its thread ends while
// m_bAutoDelete is TRUE (the framework's default); an owner that waits for the thread, as
// every owner in this library does, clears m_bAutoDelete (or asks AfxBeginThread for a
// thread that is its own), waits on m_hThread and deletes the object: zk::OwnedThread does
// exactly that, so a thread the library starts is joined when its owner goes away.
#pragma once

#include <memory>

#include "core/zorvik_api.h"
#include "platform/win32/win32_sync.h"

using AFX_THREADPROC = UINT (*)(LPVOID);

class ZORVIK_API CEvent {
public:
    explicit CEvent(BOOL bInitiallyOwn = FALSE, BOOL bManualReset = FALSE, const char* lpszName = nullptr,
                    SECURITY_ATTRIBUTES* lpsaAttribute = nullptr);
    virtual ~CEvent();
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    BOOL SetEvent();
    BOOL ResetEvent();
    BOOL Unlock() { return TRUE; }
    // Waits for the event; TRUE when it was signalled within the time.
    BOOL Lock(DWORD dwTimeout = INFINITE);
    operator HANDLE() const { return m_hObject; }

    HANDLE m_hObject = nullptr;
};

class ZORVIK_API CWinThread {
public:
    CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam);
    virtual ~CWinThread();
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    // Starts the thread (suspended when asked); FALSE when it could not be made.
    BOOL CreateThread(DWORD dwCreateFlags = 0, UINT nStackSize = 0, SECURITY_ATTRIBUTES* lpSecurityAttrs = nullptr);
    DWORD ResumeThread();
    BOOL SetThreadPriority(int nPriority);
    int GetThreadPriority();
    operator HANDLE() const { return m_hThread; }

    HANDLE m_hThread = nullptr;
    DWORD m_nThreadID = 0;
    BOOL m_bAutoDelete = TRUE;

private:
    static unsigned run(void* self);

    AFX_THREADPROC m_pfnThreadProc;
    LPVOID m_pThreadParams;
};

ZORVIK_API CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority = THREAD_PRIORITY_NORMAL,
                                      UINT nStackSize = 0, DWORD dwCreateFlags = 0,
                                      SECURITY_ATTRIBUTES* lpSecurityAttrs = nullptr);

namespace zk {

// A thread its owner joins: started with AfxBeginThread at a priority, named for the settle
// point's dump, waited for and deleted by join() or the destructor.
class ZORVIK_API OwnedThread {
public:
    OwnedThread() = default;
    ~OwnedThread() { join(); }
    OwnedThread(const OwnedThread&) = delete;
    OwnedThread& operator=(const OwnedThread&) = delete;

    // FALSE when a thread is still owned or none could be started.
    BOOL start(AFX_THREADPROC proc, LPVOID param, int priority, const char* name = nullptr);
    // Waits for the thread to end and releases it; nothing when none runs.
    void join();
    bool running() const { return thread_ != nullptr; }
    HANDLE handle() const { return thread_ ? thread_->m_hThread : nullptr; }

private:
    CWinThread* thread_ = nullptr;
};

} // namespace zk
