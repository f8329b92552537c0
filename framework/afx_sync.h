// CCriticalSection and CSingleLock: a lock object and its scoped holder.
//
// On Windows the lock is a Win32 critical section; the host build (used by
// the tests of the portable logic) puts the same interface over std::mutex.
// Neither is recursive by contract: a thread must not take a lock it holds.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include "framework/afx_exception.h"
#else
#include <mutex>
#endif

class CCriticalSection {
public:
#ifdef _WIN32
    // Throws CMemoryException or CFailureException when the section cannot be set up.
    CCriticalSection() {
        if (!::InitializeCriticalSectionAndSpinCount(&m_sect, 0))
            AfxThrowLastError();
    }
    ~CCriticalSection() { ::DeleteCriticalSection(&m_sect); }
    void Lock() { ::EnterCriticalSection(&m_sect); }
    void Unlock() { ::LeaveCriticalSection(&m_sect); }
#else
    CCriticalSection() = default;
    void Lock() { m_mutex.lock(); }
    void Unlock() { m_mutex.unlock(); }
#endif
    CCriticalSection(const CCriticalSection&) = delete;
    CCriticalSection& operator=(const CCriticalSection&) = delete;

private:
#ifdef _WIN32
    CRITICAL_SECTION m_sect;
#else
    std::mutex m_mutex;
#endif
};

#ifdef _WIN32
// A manual-reset event: set, it stays set until reset, and every wait on it
// ends. Throws CMemoryException or CFailureException when it cannot be made.
class CEvent {
public:
    CEvent() : m_hObject(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        if (!m_hObject)
            AfxThrowLastError();
    }
    ~CEvent() { ::CloseHandle(m_hObject); }
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    BOOL SetEvent() { return ::SetEvent(m_hObject); }
    BOOL ResetEvent() { return ::ResetEvent(m_hObject); }
    // Waits at most timeoutMs for the event; true when it is set.
    bool Lock(DWORD timeoutMs) { return ::WaitForSingleObject(m_hObject, timeoutMs) == WAIT_OBJECT_0; }

    HANDLE m_hObject;
};
#endif

// Holds a CCriticalSection from construction (when bInitialLock) or Lock()
// until Unlock() or destruction, whichever comes first.
class CSingleLock {
public:
    explicit CSingleLock(CCriticalSection* pObject, bool bInitialLock = false)
        : m_pObject(pObject) {
        if (bInitialLock)
            Lock();
    }
    ~CSingleLock() { Unlock(); }
    CSingleLock(const CSingleLock&) = delete;
    CSingleLock& operator=(const CSingleLock&) = delete;

    void Lock() {
        if (!m_bAcquired) {
            m_pObject->Lock();
            m_bAcquired = true;
        }
    }
    void Unlock() {
        if (m_bAcquired) {
            m_bAcquired = false;
            m_pObject->Unlock();
        }
    }
    bool IsLocked() const { return m_bAcquired; }

private:
    CCriticalSection* m_pObject;
    bool m_bAcquired = false;
};
