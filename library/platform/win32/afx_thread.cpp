// CEvent, CWinThread and AfxBeginThread over _beginthreadex and the event handles.
#include "platform/win32/afx_thread.h"

#include <string>

CEvent::CEvent(BOOL bInitiallyOwn, BOOL bManualReset, const char* lpszName, SECURITY_ATTRIBUTES* lpsaAttribute)
    : m_hObject(CreateEvent(lpsaAttribute, bManualReset, bInitiallyOwn, lpszName))
{
}

CEvent::~CEvent()
{
    if (m_hObject) CloseHandle(m_hObject);
}

BOOL CEvent::SetEvent()
{
    return ::SetEvent(m_hObject);
}

BOOL CEvent::ResetEvent()
{
    return ::ResetEvent(m_hObject);
}

BOOL CEvent::Lock(DWORD dwTimeout)
{
    return WaitForSingleObject(m_hObject, dwTimeout) == WAIT_OBJECT_0 ? TRUE : FALSE;
}

CWinThread::CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam) : m_pfnThreadProc(pfnThreadProc), m_pThreadParams(pParam) {}

CWinThread::~CWinThread()
{
    if (m_hThread) CloseHandle(m_hThread);
}

unsigned CWinThread::run(void* self)
{
    auto* thread = static_cast<CWinThread*>(self);
    const UINT code = thread->m_pfnThreadProc(thread->m_pThreadParams);
    // Read before returning: an owner that does not auto-delete may delete us right after.
    if (thread->m_bAutoDelete) delete thread;
    return code;
}

BOOL CWinThread::CreateThread(DWORD dwCreateFlags, UINT nStackSize, SECURITY_ATTRIBUTES* lpSecurityAttrs)
{
    if (m_hThread || !m_pfnThreadProc) return FALSE;
    unsigned id = 0;
    // Always made suspended, so that m_hThread is set before the thread can end and delete
    // the object; resumed here unless the caller asked for it suspended.
    const std::uintptr_t h = _beginthreadex(lpSecurityAttrs, nStackSize, &CWinThread::run, this, CREATE_SUSPENDED, &id);
    if (!h) return FALSE;
    m_hThread = reinterpret_cast<HANDLE>(h);
    m_nThreadID = id;
    if (!(dwCreateFlags & CREATE_SUSPENDED)) ::ResumeThread(m_hThread);
    return TRUE;
}

DWORD CWinThread::ResumeThread()
{
    return ::ResumeThread(m_hThread);
}

BOOL CWinThread::SetThreadPriority(int nPriority)
{
    return ::SetThreadPriority(m_hThread, nPriority);
}

int CWinThread::GetThreadPriority()
{
    return ::GetThreadPriority(m_hThread);
}

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority, UINT nStackSize,
                           DWORD dwCreateFlags, SECURITY_ATTRIBUTES* lpSecurityAttrs)
{
    auto* thread = new CWinThread(pfnThreadProc, pParam);
    if (!thread->CreateThread(dwCreateFlags | CREATE_SUSPENDED, nStackSize, lpSecurityAttrs)) {
        delete thread;
        return nullptr;
    }
    thread->SetThreadPriority(nPriority);
    if (!(dwCreateFlags & CREATE_SUSPENDED)) thread->ResumeThread();
    return thread;
}

namespace zk {

namespace {

struct Start {
    AFX_THREADPROC proc;
    LPVOID param;
    std::string name;
};

UINT named_start(LPVOID p)
{
    std::unique_ptr<Start> start(static_cast<Start*>(p));
    if (!start->name.empty()) set_thread_name(start->name.c_str());
    return start->proc(start->param);
}

} // namespace

BOOL OwnedThread::start(AFX_THREADPROC proc, LPVOID param, int priority, const char* name)
{
    if (thread_ || !proc) return FALSE;
    auto* s = new Start{proc, param, name ? name : ""};
    CWinThread* t = AfxBeginThread(&named_start, s, priority, 0, CREATE_SUSPENDED);
    if (!t) {
        delete s;
        return FALSE;
    }
    t->m_bAutoDelete = FALSE;
    t->ResumeThread();
    thread_ = t;
    return TRUE;
}

void OwnedThread::join()
{
    if (!thread_) return;
    WaitForSingleObject(thread_->m_hThread, INFINITE);
    delete thread_;
    thread_ = nullptr;
}

} // namespace zk
