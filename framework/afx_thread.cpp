#include "framework/afx_thread.h"

#include <process.h>

#include <new>

CWinThread::~CWinThread() {
    if (m_hThread)
        ::CloseHandle(m_hThread);
}

unsigned __stdcall CWinThread::Start(void* pThread) {
    CWinThread* self = static_cast<CWinThread*>(pThread);
    unsigned code;
    // No exception may leave a thread's entry into the system.
    try {
        code = self->m_pfnThreadProc(self->m_pThreadParams);
    } catch (...) {
        code = static_cast<unsigned>(-1);
    }
    if (self->m_bAutoDelete)
        delete self;
    return code;
}

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority, UINT nStackSize,
                           DWORD dwCreateFlags, LPSECURITY_ATTRIBUTES lpSecurityAttrs) {
    CWinThread* pThread = new (std::nothrow) CWinThread(pfnThreadProc, pParam);
    if (!pThread)
        return nullptr;
    unsigned id = 0;
    // Created suspended so that the priority is set before it runs.
    const uintptr_t handle =
        _beginthreadex(lpSecurityAttrs, nStackSize, &CWinThread::Start, pThread, CREATE_SUSPENDED, &id);
    if (handle == 0) {
        delete pThread;
        return nullptr;
    }
    pThread->m_hThread = reinterpret_cast<HANDLE>(handle);
    pThread->m_nThreadID = id;
    ::SetThreadPriority(pThread->m_hThread, nPriority);
    if (!(dwCreateFlags & CREATE_SUSPENDED))
        ::ResumeThread(pThread->m_hThread);
    return pThread;
}
