// CComLink: the process's one serial-port connection to the controller.
//
// Opens COM port g_portNumber for exclusive overlapped access at 57600 8N1
// with RTS held low, writes one byte per request, reads CR-terminated lines,
// reports waiting input and closes. It has no lock of its own: every caller
// holds the main dialog's port lock for its whole use of the link, so at most
// one operation runs at a time. All operations block the calling thread and
// never throw; none shows a message.
#pragma once

#include <windows.h>

#include <atomic>

// COM port number for the next Open; set by the connect handler.
extern int g_portNumber;
// Result of the last Open made by connection control (1 or 0); set back to 0
// whenever connection control closes the link.
extern int g_linkReady;

// Size of every line buffer passed to ReadLine: 99 bytes and a NUL.
constexpr int kLineBufferSize = 100;

class CComLink {
public:
    // Starts closed, with no handles: usable from static initialisation on.
    constexpr CComLink() = default;
    // Closes the port if it is still open (at process exit).
    ~CComLink() { Close(); }
    CComLink(const CComLink&) = delete;
    CComLink& operator=(const CComLink&) = delete;

    // Opens COM<g_portNumber> with LineSettings() and an empty input queue.
    // True when the link is open afterwards, also when it already was (the
    // port number is then not looked at). False when the port is missing,
    // busy or refused, when its settings or queues cannot be set, or when the
    // number does not fit a device name.
    bool Open();
    // Closes the events and the port when open; otherwise does nothing.
    void Close();
    // Writes length bytes, one request each; a byte not written within
    // 1000 ms is lost. Returns length when open and length > 0, else 0.
    int SendData(const char* data, int length);
    // Reads one line into buffer (at least kLineBufferSize bytes): the bytes
    // up to a CR, at most 99, then NUL; the CR is consumed, not stored.
    // Returns the count stored. Returns 0 at once when nothing is waiting; a
    // line whose next byte does not come within kLineGapMs ends there. A
    // line still running kLineMaxMs after its first byte is dropped whole:
    // 0 and an empty buffer, here and from the calls that read the rest of
    // it up to its CR. A line read when *stop becomes non-zero is dropped.
    // On a closed link returns 0 and leaves the buffer untouched.
    int ReadLine(char* buffer, const std::atomic<int>* stop = nullptr);
    // True when open and at least one byte waits in the input queue.
    bool InputWaiting();
    // Cancels the port's pending reads and writes, whoever issued them: they
    // end at once as failed. The one call that may come from another thread
    // than the one using the link.
    void CancelPendingIo();
    // Drops whatever waits in the input queue (unasked lines, the rest of an
    // over-long or late answer), so that the next line read answers the next
    // request. Does nothing on a closed link.
    void DiscardInput();

    // How long ReadLine waits inside a started line for the next byte. At
    // 57600 baud bytes of one line follow each other within 0.2 ms; USB
    // adapters deliver in chunks a few ms apart.
    static constexpr DWORD kLineGapMs = 200;
    // How long a whole line may take from its first byte: the reply wait.
    // A controller that answers takes a few milliseconds; bytes trickling
    // in without an end are no answer, and must not hold the caller.
    static constexpr DWORD kLineMaxMs = 2010;
    // How long a single byte's write may take before it is cancelled.
    static constexpr DWORD kWriteWaitMs = 1000;

private:
    // Bytes in the input queue; 0 when the query fails (a pulled cable).
    DWORD QueuedBytes();
    // One overlapped one-byte read; 0 bytes on time-out or failure.
    DWORD ReadByte(char* c);
    void CloseHandles();

    bool m_opened = false;
    // Inside a line that ran past kLineMaxMs: its rest, up to its CR, is dropped.
    bool m_inRunawayLine = false;
    OVERLAPPED m_readOverlapped = {};
    OVERLAPPED m_writeOverlapped = {};
    HANDLE m_hPort = nullptr;
};

// The link used by the whole program.
extern CComLink theComLink;

// The line settings Open applies: 57600 8N1 with RTS held low, and every
// handshake that could stop the line (CTS/DSR output flow control, DSR
// sensitivity, XON/XOFF both ways, abort on error) off, whatever an earlier
// program left; DTR stays as the port had it. reported: the port's current
// settings, or null when they could not be read (a plain line is then made
// from scratch, one that Windows accepts: distinct XON and XOFF characters).
DCB LineSettings(const DCB* reported);
