#include "device/poll_worker.h"

#include "app/main_dialog.h"
#include "app/resource.h"
#include "device/command_format.h"
#include "device/exchange.h"
#include "serial/com_link.h"

namespace {

constexpr DWORD kPollPauseMs = 100;

// Polls until told to stop; on silence posts WM_CONNECTION_LOST and returns.
void Poll(CKAVRODisplayLimitSwitchesDlg* dlg, HWND hWnd) {
    const std::atomic<int>& stop = dlg->m_stopPolling;
    while (stop.load() == 0) {
        bool changed = false;
        {
            CSingleLock portLock(&dlg->m_portLock, true);
            if (g_linkReady != 0) {
                char command[kCommandBufferSize];
                SendCommand(command, kSwitchInputsCommand);

                // Every wait of the exchange looks at the stop request, so
                // that Disconnect never waits for a silent controller or a
                // line that does not end.
                if (!WaitForReply(&stop)) {
                    portLock.Unlock();
                    if (stop.load() == 0)
                        ::PostMessageW(hWnd, WM_CONNECTION_LOST, 0, 0);
                    return;
                }
                char reply[kLineBufferSize];
                const int n = theComLink.ReadLine(reply, &stop);
                if (n > 0)
                    changed = ParseSwitchStatus(dlg->GetSwitchState(), reply, n, ::GetTickCount64());
            }
        }
        if (changed)
            ::PostMessageW(hWnd, WM_PANEL_REFRESH, 0, 0);
        // The pause as long as it says, ended at once by a stop request.
        dlg->m_stopEvent.Lock(kPollPauseMs);
    }
}

}  // namespace

UINT PollThreadProc(LPVOID param) {
    if (!param)
        return 1;
    CKAVRODisplayLimitSwitchesDlg* dlg = static_cast<CKAVRODisplayLimitSwitchesDlg*>(param);
    const HWND hWnd = dlg->m_hWnd;
    try {
        Poll(dlg, hWnd);
    } catch (...) {
        // Out of memory, say: the connection ends as a lost one, rather than
        // with a window that reads "Disconnect" over a panel that froze.
        ::PostMessageW(hWnd, WM_CONNECTION_LOST, 0, 0);
    }
    return 0;
}
