#include "device/timer_resolution.h"

#include <windows.h>

#include <timeapi.h>

namespace {

constexpr UINT kPeriodMs = 1;

}  // namespace

void CTimerResolution::Request() {
    // Only a granted request is given back: the calls must pair up.
    if (!m_held)
        m_held = ::timeBeginPeriod(kPeriodMs) == TIMERR_NOERROR;
}

void CTimerResolution::Release() {
    if (m_held) {
        ::timeEndPeriod(kPeriodMs);
        m_held = false;
    }
}
