#include "device/poll_worker.h"

#include "app/main_dialog.h"
#include "app/resource.h"
#include "device/command_format.h"
#include "device/exchange.h"
#include "serial/com_link.h"

namespace {

constexpr DWORD kPollPauseMs = 100;

}  // namespace

UINT PollThreadProc(LPVOID param) {
    if (!param)
        return 1;
    CKAVRODisplayLimitSwitchesDlg* dlg = static_cast<CKAVRODisplayLimitSwitchesDlg*>(param);
    const HWND hWnd = dlg->m_hWnd;

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
                    return 0;
                }
                char reply[kLineBufferSize];
                const int n = theComLink.ReadLine(reply);
                if (n > 0)
                    changed = ParseSwitchStatus(dlg->GetSwitchState(), reply, n);
            }
        }
        if (changed)
            ::PostMessageW(hWnd, WM_PANEL_REFRESH, 0, 0);
        ::Sleep(kPollPauseMs);
    }
    return 0;
}
