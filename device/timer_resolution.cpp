#include "device/timer_resolution.h"

#include <mmsystem.h>

namespace {

constexpr UINT kPeriodMs = 1;

}  // namespace

void CTimerResolution::Request() {
    if (m_held || !m_winmm.Load(L"winmm.dll"))
        return;
    // Only a granted request is given back: the calls must pair up.
    if (const auto begin = m_winmm.Proc<PeriodCall>("timeBeginPeriod"))
        m_held = begin(kPeriodMs) == TIMERR_NOERROR;
}

void CTimerResolution::Release() {
    if (!m_held)
        return;
    if (const auto end = m_winmm.Proc<PeriodCall>("timeEndPeriod"))
        end(kPeriodMs);
    m_held = false;
}
