// Windows' timer at 1 ms resolution for as long as a connection needs it.
//
// The reply wait sleeps 10 ms between tests and the poll worker pauses
// 100 ms between cycles. With Windows' default 15.6 ms timer those waits
// last about 15.6 ms and 109 ms: the 2 s reply wait would become about
// 3.1 s and the poll period about 125 ms. The calls are winmm's, loaded from
// the system folder at the first request rather than imported: winmm is no
// KnownDLL, and an import would be looked for beside the program first.
// Used on the user-interface thread only.
#pragma once

#include "framework/afx_system_library.h"

class CTimerResolution {
public:
    CTimerResolution() = default;
    ~CTimerResolution() { Release(); }
    CTimerResolution(const CTimerResolution&) = delete;
    CTimerResolution& operator=(const CTimerResolution&) = delete;

    // Asks for 1 ms resolution unless this object already holds it. Without
    // winmm the waits last what the system's timer gives.
    void Request();
    // Gives it back if this object holds it; otherwise does nothing.
    void Release();

private:
    using PeriodCall = unsigned(WINAPI*)(unsigned);
    CSystemLibrary m_winmm;
    bool m_held = false;
};
