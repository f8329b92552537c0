// CWinThread and AfxBeginThread: a worker thread running a controlling function.
#pragma once

#include <windows.h>

using AFX_THREADPROC = UINT (*)(LPVOID);

class CWinThread {
public:
    ~CWinThread();
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    HANDLE m_hThread = nullptr;  // owned; closed by the destructor
    DWORD m_nThreadID = 0;
    // TRUE: the object deletes itself when the function returns. Whoever
    // clears it owns the object and deletes it after the thread has ended.
    BOOL m_bAutoDelete = TRUE;

private:
    friend CWinThread* AfxBeginThread(AFX_THREADPROC, LPVOID, int, UINT, DWORD, LPSECURITY_ATTRIBUTES);
    CWinThread(AFX_THREADPROC pfn, LPVOID param) : m_pfnThreadProc(pfn), m_pThreadParams(param) {}
    static unsigned __stdcall Start(void* pThread);

    AFX_THREADPROC m_pfnThreadProc;
    LPVOID m_pThreadParams;
};

// Starts pfnThreadProc(pParam) on a new thread. The thread runs at once
// unless dwCreateFlags holds CREATE_SUSPENDED. Returns null on failure.
CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority = THREAD_PRIORITY_NORMAL,
                           UINT nStackSize = 0, DWORD dwCreateFlags = 0,
                           LPSECURITY_ATTRIBUTES lpSecurityAttrs = nullptr);
