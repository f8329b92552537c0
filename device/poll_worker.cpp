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
    while (dlg->m_stopPolling.load() == 0) {
        bool changed = false;
        {
            CSingleLock portLock(&dlg->m_portLock, true);
            if (g_linkReady != 0) {
                char command[kCommandBufferSize];
                SendCommand(command, kSwitchInputsCommand);

                if (!WaitForReply()) {
                    portLock.Unlock();
                    ::PostMessageW(hWnd, WM_CONNECTION_LOST, 0, 0);
                    return;
                }
                char reply[kLineBufferSize];
                const int n = theComLink.ReadLine(reply);
                if (n > 0)
                    changed = ParseSwitchStatus(dlg->GetSwitchState(), reply, n, ::GetTickCount64());
            }
        }
        // Replies that cannot be read keep the connection, but after a while
        // the panel no longer claims the flags they did not renew.
        if (ExpireSwitchStatus(dlg->GetSwitchState(), ::GetTickCount64()))
            changed = true;
        if (changed)
            ::PostMessageW(hWnd, WM_PANEL_REFRESH, 0, 0);
        ::Sleep(kPollPauseMs);
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
