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

void CKAVRODisplayLimitSwitchesDlg::OnConnectClicked() {
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
    // Shows the connected colours at once: the worker repaints only when a
    // flag changes, and with every switch clear none would.
    PostMessage(WM_PANEL_REFRESH, 0, 0);
}

void CKAVRODisplayLimitSwitchesDlg::Disconnect() {
    if (m_pPollThread) {
        m_stopPolling = 1;
        // No lock is held here: the worker needs m_portLock to finish its cycle.
        ::WaitForSingleObject(m_pPollThread->m_hThread, INFINITE);
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
    }
    PostMessage(WM_PANEL_REFRESH, 0, 0);
}

void CKAVRODisplayLimitSwitchesDlg::CloseLink() {
    theComLink.Close();
    g_linkReady = 0;
    m_timerResolution.Release();
}

LRESULT CKAVRODisplayLimitSwitchesDlg::OnConnectionLost(WPARAM, LPARAM) {
    if (m_connected != 0) {
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
