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

// Every wait of the worker looks at the stop request every 10 ms: a worker
// still running this long after it was told to stop is held in a read or a
// write by the driver, which only a cancel ends.
constexpr DWORD kCancelEveryMs = 500;
// At log-off Windows ends the process soon after WM_ENDSESSION returns:
// the worker gets this long to end, with its I/O cancelled at once.
constexpr DWORD kEndSessionWaitMs = 1000;

}  // namespace

void CKAVRODisplayLimitSwitchesDlg::OnConnectClicked() {
    if (m_disconnecting)
        return;  // a click while the worker is awaited
    if (m_connected != 0) {
        Disconnect();
        return;
    }

    // Exactly the port the field shows, or none: never an entry the list
    // still has selected behind text typed over it.
    const std::u16string port = ChosenPort();
    if (port.empty()) {
        AfxMessageBox(L"Please select a COM port.", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    // Every name listed is one whose number opens exactly that port.
    g_portNumber = PortNumberOf(port);

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

    RequestStop(false);
    // The worker's first cycle waits for m_portLock, so it cannot run (or
    // end) before this handler has taken ownership of the thread object.
    m_pPollThread = AfxBeginThread(PollThreadProc, this, THREAD_PRIORITY_NORMAL, 0, 0, nullptr);
    if (!m_pPollThread) {
        // The port is given back before the box: the user may read it for
        // as long as he likes, with another program free to use the port.
        // No serial number stays for a connection that never started.
        CloseLink();
        portLock.Unlock();
        m_serialEdit.SetWindowText(L"");
        m_serialEdit.UpdateWindow();
        AfxMessageBox(L"Error starting thread!", MB_OK | MB_ICONERROR);
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
    EndConnection();
    m_disconnecting = false;
}

void CKAVRODisplayLimitSwitchesDlg::EndConnection() {
    if (m_pPollThread) {
        RequestStop(true);
        // No lock is held here: the worker needs m_portLock to finish its cycle.
        WaitForWorker();
        delete m_pPollThread;
        m_pPollThread = nullptr;
        RequestStop(false);
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
}

namespace {

// A kernel timer that fires every periodMs until it is destroyed: the beat
// of the wait for the worker, which no message traffic holds back and which
// does not follow the tick count.
class PeriodicTimer {
public:
    explicit PeriodicTimer(DWORD periodMs) : m_hTimer(::CreateWaitableTimerW(nullptr, FALSE, nullptr)) {
        LARGE_INTEGER due;
        due.QuadPart = -10000LL * periodMs;  // relative, in 100 ns
        if (m_hTimer && !::SetWaitableTimer(m_hTimer, &due, static_cast<LONG>(periodMs), nullptr, nullptr, FALSE)) {
            ::CloseHandle(m_hTimer);
            m_hTimer = nullptr;
        }
    }
    ~PeriodicTimer() {
        if (m_hTimer)
            ::CloseHandle(m_hTimer);
    }
    PeriodicTimer(const PeriodicTimer&) = delete;
    PeriodicTimer& operator=(const PeriodicTimer&) = delete;
    HANDLE get() const { return m_hTimer; }

private:
    HANDLE m_hTimer;
};

}  // namespace

bool CKAVRODisplayLimitSwitchesDlg::WaitForWorker(DWORD limitMs) {
    const HANDLE worker = m_pPollThread->m_hThread;
    // Beats counted, not the clock read: each is kCancelEveryMs gone by.
    DWORD waitedMs = 0;
    const auto beat = [&] {
        // A driver that never completes a read (an adapter pulled in the
        // middle of one) would hold the worker, and this window, for good.
        theComLink.CancelPendingIo();
        waitedMs += kCancelEveryMs;
        return limitMs == INFINITE || waitedMs < limitMs;
    };
    const PeriodicTimer timer(kCancelEveryMs);
    const HANDLE waits[2] = {worker, timer.get()};
    // Without a timer, the wait's own time-out beats.
    const DWORD count = timer.get() ? 2 : 1, timeout = timer.get() ? INFINITE : kCancelEveryMs;
    for (;;) {
        const DWORD woke =
            ::MsgWaitForMultipleObjects(count, waits, FALSE, timeout, QS_PAINT | QS_POSTMESSAGE | QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0)
            return true;
        if (woke == WAIT_FAILED)
            break;
        if (woke == WAIT_TIMEOUT || (count == 2 && woke == WAIT_OBJECT_0 + 1)) {
            if (!beat())
                return false;
            continue;
        }
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
    // The window's wait failed: a plain wait on the worker alone, which the
    // thread object must outlive whatever happens.
    for (;;) {
        const DWORD woke = ::WaitForSingleObject(worker, kCancelEveryMs);
        if (woke == WAIT_OBJECT_0)
            return true;
        if (woke == WAIT_FAILED)
            ::Sleep(kCancelEveryMs);
        if (!beat())
            return false;
    }
}

void CKAVRODisplayLimitSwitchesDlg::RequestStop(bool stop) {
    m_stopPolling = stop ? 1 : 0;
    if (stop)
        m_stopEvent.SetEvent();
    else
        m_stopEvent.ResetEvent();
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
    // ended here, once, as the button ends it, and no box waits for anyone.
    // The wait for the worker handles the messages queued meanwhile: a loss
    // already reported is this disconnect's, not one more, and shows nothing.
    // A worker that a driver holds beyond the time given is left to
    // Windows, with its thread object and the port it may still be using.
    // Coming while a disconnect awaits the worker, it leaves that one to end.
    if (!bEnding || m_disconnecting)
        return;
    m_disconnecting = true;
    if (m_pPollThread) {
        RequestStop(true);
        theComLink.CancelPendingIo();
        if (!WaitForWorker(kEndSessionWaitMs)) {
            m_disconnecting = false;
            return;
        }
    }
    if (m_pPollThread || m_connected != 0)
        EndConnection();
    m_disconnecting = false;
}
