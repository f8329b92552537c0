// Connection control: connect with the serial-number handshake, disconnect,
// and the end of a connection whose controller fell silent.
#include "app/main_dialog.h"
#include "app/resource.h"
#include "device/command_format.h"
#include "device/poll_worker.h"
#include "device/exchange.h"
#include "device/serial_number.h"
#include "serial/com_link.h"
#include "serial/port_names.h"

namespace {

// A worker that has not ended this long after being told to stop is stuck in
// a serial call: its cycle takes at most a reply wait (2 s), the end of a
// line (0.2 s) and a 100 ms pause.
constexpr DWORD kWorkerStopMs = 3000;

}  // namespace

void CKAVRODisplayLimitSwitchesDlg::OnConnectClicked() {
    if (m_disconnecting)
        return;  // a click while the worker is awaited
    if (m_connected != 0) {
        Disconnect();
        return;
    }

    const int selected = m_portCombo.GetCurSel();
    if (selected == CB_ERR || m_portCombo.GetItemData(selected) == REFRESH_ITEM_DATA) {
        AfxMessageBox(L"Please select a COM port.", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    CString entry;
    m_portCombo.GetLBText(selected, entry);
    g_portNumber = _wtoi(entry.Mid(3));

    CSingleLock portLock(&m_portLock, true);
    g_linkReady = theComLink.Open() ? 1 : 0;
    if (!g_linkReady) {
        portLock.Unlock();
        AfxMessageBox(L"Unable to open COM port!", MB_OK | MB_ICONERROR);
        PostMessage(WM_PANEL_REFRESH, 0, 0);
        return;
    }

    // From the handshake on, the 10 ms and 100 ms sleeps must last what they say.
    m_timerResolution.Request();

    char buffer[kCommandBufferSize];
    SendCommand(buffer, kReadSerialCommand);
    if (!WaitForReply()) {
        CloseLink();
        portLock.Unlock();
        AfxMessageBox(L"No response from device!", MB_OK | MB_ICONERROR);
        return;
    }
    theComLink.ReadLine(buffer);
    CString serialNumber;
    try {
        serialNumber = SerialNumberText(buffer);
    } catch (...) {
        // The window goes on reading "Connect": a link left open would make
        // the next Connect talk to this port whatever is chosen then.
        CloseLink();
        throw;
    }
    m_serialEdit.SetWindowText(serialNumber);
    m_serialEdit.UpdateWindow();

    m_stopPolling = 0;
    // The worker's first cycle waits for m_portLock, so it cannot run (or
    // end) before this handler has taken ownership of the thread object.
    m_pPollThread = AfxBeginThread(PollThreadProc, this, THREAD_PRIORITY_NORMAL, 0, 0, nullptr);
    if (!m_pPollThread) {
        AfxMessageBox(L"Error starting thread!", MB_OK | MB_ICONERROR);
        CloseLink();
        return;
    }
    m_pPollThread->m_bAutoDelete = FALSE;
    m_connected = 1;
    m_connectButton.SetWindowText(L"Disconnect");
    // The panel stays grey until the worker has read a reply it can trust.
}

void CKAVRODisplayLimitSwitchesDlg::Disconnect() {
    if (m_disconnecting)
        return;
    m_disconnecting = true;
    if (m_pPollThread) {
        m_stopPolling = 1;
        // No lock is held here: the worker needs m_portLock to finish its cycle.
        WaitForWorker();
        delete m_pPollThread;
        m_pPollThread = nullptr;
        m_stopPolling = 0;
    }
    {
        CSingleLock portLock(&m_portLock, true);
        CloseLink();
    }
    m_connected = 0;
    m_connectButton.SetWindowText(L"Connect");
    m_serialEdit.SetWindowText(L"");
    m_serialEdit.UpdateWindow();
    {
        CSingleLock stateLock(&m_stateLock, true);
        for (int& flag : m_switch)
            flag = 0;
        m_reading = SwitchReading{};
    }
    PostMessage(WM_PANEL_REFRESH, 0, 0);
    m_disconnecting = false;
}

void CKAVRODisplayLimitSwitchesDlg::WaitForWorker() {
    const HANDLE worker = m_pPollThread->m_hThread;
    ULONGLONG cancelAt = ::GetTickCount64() + kWorkerStopMs;
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= cancelAt) {
            // A driver that never completes a read (an adapter pulled in the
            // middle of one) would hold the worker, and this window, for good.
            theComLink.CancelPendingIo();
            cancelAt = now + kWorkerStopMs;
        }
        const DWORD woke = ::MsgWaitForMultipleObjects(1, &worker, FALSE, static_cast<DWORD>(cancelAt - now),
                                                       QS_PAINT | QS_POSTMESSAGE | QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED)
            return;
        // Paints, the messages other threads send and the worker's own keep
        // coming; a click or a key waits for the disconnect to end, as the
        // one before it did. (Looking at the queue also runs what is sent.)
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE) ||
               ::PeekMessageW(&msg, nullptr, WM_APP, 0xBFFF, PM_REMOVE)) {
            if (!PreTranslateMessage(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
    }
}

void CKAVRODisplayLimitSwitchesDlg::CloseLink() {
    theComLink.Close();
    g_linkReady = 0;
    m_timerResolution.Release();
}

LRESULT CKAVRODisplayLimitSwitchesDlg::OnConnectionLost(WPARAM, LPARAM) {
    // While a disconnect awaits the worker, the connection is as good as down.
    if (m_connected != 0 && !m_disconnecting) {
        Disconnect();
        AfxMessageBox(L"Connection lost: no response from device.", MB_OK | MB_ICONEXCLAMATION);
    }
    return 0;
}

void CKAVRODisplayLimitSwitchesDlg::OnDestroy() {
    // Closing the window ends a running connection the way Disconnect does:
    // the worker uses this object and its locks until it has been joined.
    if (m_pPollThread || m_connected != 0)
        Disconnect();
}

BOOL CKAVRODisplayLimitSwitchesDlg::OnQueryEndSession() { return TRUE; }

void CKAVRODisplayLimitSwitchesDlg::OnEndSession(BOOL bEnding) {
    // Windows ends the process soon after this returns: the connection is
    // ended here, as the button ends it, and no box waits for anyone.
    if (bEnding && (m_pPollThread || m_connected != 0))
        Disconnect();
}
