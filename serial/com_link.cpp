#include "serial/com_link.h"

#include "serial/port_names.h"

int g_portNumber = 0;
int g_linkReady = 0;

CComLink theComLink;

namespace {

constexpr DWORD kBaudRate = 57600;
constexpr DWORD kQueueSize = 10000;
constexpr size_t kNameCapacity = 16;

void CloseIfSet(HANDLE h) {
    if (h)
        ::CloseHandle(h);
}

}  // namespace

DCB LineSettings(const DCB* reported) {
    DCB dcb = {};
    if (reported) {
        dcb = *reported;
    } else {
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.XonChar = 0x11;
        dcb.XoffChar = 0x13;
    }
    dcb.DCBlength = sizeof(DCB);
    dcb.fBinary = TRUE;  // the only mode Windows supports
    dcb.BaudRate = kBaudRate;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fParity = FALSE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    // A port left with any of these by another program (or a terminal's
    // defaults) stalls our writes or drops the controller's answers, and the
    // user would be told the controller does not respond.
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fAbortOnError = FALSE;
    return dcb;
}

bool CComLink::Open() {
    if (m_opened)
        return true;

    wchar_t name[kNameCapacity];
    if (!ComposePortDeviceName(g_portNumber, name, kNameCapacity))
        return false;

    m_hPort = ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_hPort == INVALID_HANDLE_VALUE) {
        m_hPort = nullptr;
        return false;
    }

    m_readOverlapped = OVERLAPPED{};
    m_writeOverlapped = OVERLAPPED{};

    COMMTIMEOUTS timeouts = {};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 200;
    timeouts.ReadTotalTimeoutConstant = 500;
    timeouts.WriteTotalTimeoutMultiplier = 200;
    timeouts.WriteTotalTimeoutConstant = 500;
    ::SetCommTimeouts(m_hPort, &timeouts);

    m_readOverlapped.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_writeOverlapped.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);

    DCB reported = {};
    reported.DCBlength = sizeof(DCB);
    const bool read = ::GetCommState(m_hPort, &reported) != FALSE;
    DCB dcb = LineSettings(read ? &reported : nullptr);

    if (!::SetCommState(m_hPort, &dcb) || !::SetupComm(m_hPort, kQueueSize, kQueueSize) ||
        !m_readOverlapped.hEvent || !m_writeOverlapped.hEvent) {
        CloseHandles();
        return false;
    }

    m_opened = true;
    m_inRunawayLine = false;
    // Whatever the port held before this open (a controller's banner, the
    // end of an earlier session) would otherwise be read as an answer.
    DiscardInput();
    return true;
}

void CComLink::CloseHandles() {
    CloseIfSet(m_readOverlapped.hEvent);
    CloseIfSet(m_writeOverlapped.hEvent);
    ::CloseHandle(m_hPort);
    m_readOverlapped.hEvent = nullptr;
    m_writeOverlapped.hEvent = nullptr;
    m_hPort = nullptr;
}

void CComLink::Close() {
    if (!m_opened || !m_hPort)
        return;
    CloseHandles();
    m_opened = false;
}

int CComLink::SendData(const char* data, int length) {
    if (!m_opened || !m_hPort || length <= 0)
        return 0;

    // Every byte, also once the worker is told to stop: half a command left
    // on the line would spoil the controller's reading of the next one.
    for (int i = 0; i < length; ++i) {
        DWORD written = 0;
        if (::WriteFile(m_hPort, &data[i], 1, &written, &m_writeOverlapped))
            continue;
        if (::GetLastError() != ERROR_IO_PENDING)
            continue;  // the byte is lost
        if (::WaitForSingleObject(m_writeOverlapped.hEvent, kWriteWaitMs) != WAIT_OBJECT_0) {
            // Stalled output (flow control held off): cancel the request and
            // collect its completion, so that neither the descriptor nor the
            // byte is still in use by the driver when the next write starts.
            ::CancelIoEx(m_hPort, &m_writeOverlapped);
            ::GetOverlappedResult(m_hPort, &m_writeOverlapped, &written, TRUE);
            continue;
        }
        ::GetOverlappedResult(m_hPort, &m_writeOverlapped, &written, FALSE);
    }
    return length;
}

DWORD CComLink::QueuedBytes() {
    DWORD errors = 0;
    COMSTAT status = {};
    if (!::ClearCommError(m_hPort, &errors, &status))
        return 0;
    return static_cast<LONG>(status.cbInQue) > 0 ? status.cbInQue : 0;
}

DWORD CComLink::ReadByte(char* c) {
    DWORD got = 0;
    if (!::ReadFile(m_hPort, c, 1, &got, &m_readOverlapped) && ::GetLastError() != ERROR_IO_PENDING)
        return 0;  // failed outright: nothing will signal the event
    // The port's read time-out ends the request within 700 ms. Windows then
    // reports success with 0 bytes, Wine a failure with ERROR_TIMEOUT; both
    // read as "no byte".
    if (!::GetOverlappedResult(m_hPort, &m_readOverlapped, &got, TRUE))
        return 0;
    return got;
}

int CComLink::ReadLine(char* buffer, const std::atomic<int>* stop) {
    if (!m_opened || !m_hPort)
        return 0;

    buffer[0] = '\0';
    if (QueuedBytes() == 0)
        return 0;

    // The rest of a line that ran past its time is no answer either: it is
    // dropped up to its CR, lest its tail be read as one.
    const bool dropping = m_inRunawayLine;
    int n = 0;
    const ULONGLONG firstByteAt = ::GetTickCount64();
    ULONGLONG lastByteAt = firstByteAt;
    while (n < kLineBufferSize - 1) {
        if ((stop && stop->load()) || ::GetTickCount64() - firstByteAt >= kLineMaxMs) {
            m_inRunawayLine = !(stop && stop->load());
            buffer[0] = '\0';
            return 0;
        }
        if (QueuedBytes() == 0) {
            // Inside a started line: wait for the rest, but not for ever.
            const ULONGLONG quiet = ::GetTickCount64() - lastByteAt;
            if (quiet >= kLineGapMs)
                break;
            // The next byte is normally due within a fraction of a
            // millisecond: yield at first, and only sleep once it is late.
            if (quiet < 5)
                ::SwitchToThread();
            else
                ::Sleep(1);
            continue;
        }
        char c = 0;
        if (ReadByte(&c) == 0)
            break;
        if (c == '\r') {
            m_inRunawayLine = false;
            break;
        }
        if (!dropping)
            buffer[n++] = c;
        lastByteAt = ::GetTickCount64();
    }
    buffer[n] = '\0';
    return n;
}

void CComLink::CancelPendingIo() {
    if (m_opened && m_hPort)
        ::CancelIoEx(m_hPort, nullptr);
}

void CComLink::DiscardInput() {
    if (m_opened && m_hPort) {
        ::PurgeComm(m_hPort, PURGE_RXCLEAR);
        // The rest of a line that ran past its time went with the purge:
        // the next line is a new one.
        m_inRunawayLine = false;
    }
}

bool CComLink::InputWaiting() {
    if (!m_opened || !m_hPort)
        return false;
    return QueuedBytes() > 0;
}
