// The reference the bench holds the tool against: the tool's design written
// as a bare loop in plain Win32, with none of the tool's code or framework.
// Connect opens COM<n> (the command-line argument) at 57600 8N1 with every
// handshake off, asks for the serial number and shows it; a thread then
// discards waiting input, sends "?swin\r" one overlapped byte at a time,
// tests the input queue every 10 ms for up to 2 s, reads the answer one
// overlapped byte at a time, and when a switch changed has the window
// repaint its six boxes (green set, red clear, black arrows) at the tool's
// places; then Sleep(100). The controls carry the tool's ids, so the bench
// drives both programs alike.
//   kavro_reference_loop.exe <port number>
#include <windows.h>

#include <timeapi.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr int kConnectId = 1002;       // the tool's IDC_CONNECT
constexpr int kSerialId = 1003;        // the tool's IDC_SERIAL_NUMBER
constexpr UINT kRefresh = WM_APP + 1;  // the tool's WM_PANEL_REFRESH
constexpr UINT kLost = WM_APP + 2;
constexpr RECT kPanel = {140, 30, 344, 160};
// The tool's boxes: rectangle, arrow direction (0 up, 1 down, 2 left,
// 3 right) and the switch shown.
struct Box {
    RECT rect;
    int direction;
    int flag;
};
constexpr Box kBoxes[6] = {{{190, 35, 224, 69}, 0, 2},   {{190, 115, 224, 149}, 1, 3}, {{150, 75, 184, 109}, 2, 0},
                           {{230, 75, 264, 109}, 3, 1},  {{300, 35, 334, 69}, 0, 5},   {{300, 115, 334, 149}, 1, 4}};

HWND g_window;
HANDLE g_port = INVALID_HANDLE_VALUE;
OVERLAPPED g_read, g_write;
HANDLE g_thread;
volatile LONG g_stop;
CRITICAL_SECTION g_lock;
int g_flags[8];
bool g_connected;

bool Waiting() {
    DWORD errors = 0;
    COMSTAT status = {};
    return ::ClearCommError(g_port, &errors, &status) && status.cbInQue > 0;
}

void Send(const char* text) {
    for (const char* p = text; *p; ++p) {
        DWORD done = 0;
        if (!::WriteFile(g_port, p, 1, &done, &g_write) && ::GetLastError() == ERROR_IO_PENDING &&
            ::WaitForSingleObject(g_write.hEvent, 1000) == WAIT_OBJECT_0)
            ::GetOverlappedResult(g_port, &g_write, &done, FALSE);
    }
}

bool WaitReply() {
    for (int k = 200;; --k) {
        if (Waiting())
            return true;
        ::Sleep(10);
        if (k <= 0)
            return false;
    }
}

// One line, at most 99 bytes, CR consumed; a line that stalls ends after 200 ms.
int ReadLine(char* line) {
    int n = 0;
    ULONGLONG last = ::GetTickCount64();
    while (n < 99) {
        if (!Waiting()) {
            const ULONGLONG quiet = ::GetTickCount64() - last;
            if (quiet >= 200)
                break;
            if (quiet < 5)
                ::SwitchToThread();
            else
                ::Sleep(1);
            continue;
        }
        char c = 0;
        DWORD got = 0;
        if (!::ReadFile(g_port, &c, 1, &got, &g_read) && ::GetLastError() != ERROR_IO_PENDING)
            break;
        if (!::GetOverlappedResult(g_port, &g_read, &got, TRUE) || got == 0 || c == '\r')
            break;
        line[n++] = c;
        last = ::GetTickCount64();
    }
    line[n] = '\0';
    return n;
}

// Exchange: discard, command, wait, one line. False when nothing came.
bool Exchange(const char* command, char* line) {
    ::PurgeComm(g_port, PURGE_RXCLEAR);
    Send(command);
    if (!WaitReply())
        return false;
    ReadLine(line);
    return true;
}

DWORD WINAPI Poll(void*) {
    while (!g_stop) {
        char line[100];
        if (!Exchange("?swin\r", line)) {
            ::PostMessageW(g_window, kLost, 0, 0);
            return 0;
        }
        char clean[100];
        int n = 0;
        for (const char* p = line; *p; ++p) {
            if (static_cast<unsigned char>(*p) > ' ')
                clean[n++] = *p;
        }
        bool changed = false;
        if (n >= 6) {
            ::EnterCriticalSection(&g_lock);
            for (int i = 0; i < 8; ++i) {
                const int flag = i < n && clean[i] == '1';
                changed |= flag != g_flags[i];
                g_flags[i] = flag;
            }
            ::LeaveCriticalSection(&g_lock);
        }
        if (changed)
            ::PostMessageW(g_window, kRefresh, 0, 0);
        ::Sleep(100);
    }
    return 0;
}

bool Open(int number) {
    wchar_t name[32];
    wsprintfW(name, L"\\\\.\\COM%d", number);
    g_port = ::CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (g_port == INVALID_HANDLE_VALUE)
        return false;
    COMMTIMEOUTS timeouts = {MAXDWORD, 200, 500, 200, 500};
    ::SetCommTimeouts(g_port, &timeouts);
    DCB dcb = {};
    dcb.DCBlength = sizeof(dcb);
    ::GetCommState(g_port, &dcb);
    dcb.BaudRate = 57600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fDsrSensitivity = dcb.fOutX = dcb.fInX = FALSE;
    ::SetCommState(g_port, &dcb);
    g_read = OVERLAPPED{};
    g_write = OVERLAPPED{};
    g_read.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    g_write.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return true;
}

void Close() {
    ::CloseHandle(g_read.hEvent);
    ::CloseHandle(g_write.hEvent);
    ::CloseHandle(g_port);
    g_port = INVALID_HANDLE_VALUE;
    ::timeEndPeriod(1);
}

void Disconnect() {
    if (g_thread) {
        g_stop = 1;
        ::WaitForSingleObject(g_thread, INFINITE);
        ::CloseHandle(g_thread);
        g_thread = nullptr;
        g_stop = 0;
    }
    if (g_port != INVALID_HANDLE_VALUE)
        Close();
    g_connected = false;
    ::EnterCriticalSection(&g_lock);
    std::memset(g_flags, 0, sizeof g_flags);
    ::LeaveCriticalSection(&g_lock);
    ::SetDlgItemTextW(g_window, kConnectId, L"Connect");
    ::SetDlgItemTextW(g_window, kSerialId, L"");
    ::InvalidateRect(g_window, &kPanel, TRUE);
}

void Connect(int number) {
    if (!Open(number))
        return;
    ::timeBeginPeriod(1);
    char line[100];
    if (!Exchange("?readsn\r", line)) {
        Close();
        return;
    }
    ::SetDlgItemTextA(g_window, kSerialId, line);
    ::UpdateWindow(::GetDlgItem(g_window, kSerialId));
    g_thread = ::CreateThread(nullptr, 0, Poll, nullptr, 0, nullptr);
    g_connected = true;
    ::SetDlgItemTextW(g_window, kConnectId, L"Disconnect");
    ::PostMessageW(g_window, kRefresh, 0, 0);
}

void Paint(HDC dc) {
    ::SelectObject(dc, ::GetStockObject(DC_BRUSH));
    ::SelectObject(dc, ::GetStockObject(DC_PEN));
    ::EnterCriticalSection(&g_lock);
    for (const Box& box : kBoxes) {
        const COLORREF fill = !g_connected          ? ::GetSysColor(COLOR_BTNFACE)
                              : g_flags[box.flag] ? RGB(0, 190, 0)
                                                  : RGB(220, 0, 0);
        ::SetDCBrushColor(dc, fill);
        ::FillRect(dc, &box.rect, static_cast<HBRUSH>(::GetStockObject(DC_BRUSH)));
        const RECT& r = box.rect;
        const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
        const POINT arrows[4][3] = {{{cx, r.top + 9}, {r.left + 9, r.bottom - 9}, {r.right - 9, r.bottom - 9}},
                                    {{r.left + 9, r.top + 9}, {r.right - 9, r.top + 9}, {cx, r.bottom - 9}},
                                    {{r.left + 9, cy}, {r.right - 9, r.top + 9}, {r.right - 9, r.bottom - 9}},
                                    {{r.left + 9, r.top + 9}, {r.left + 9, r.bottom - 9}, {r.right - 9, cy}}};
        ::SetDCBrushColor(dc, RGB(0, 0, 0));
        ::SetDCPenColor(dc, RGB(0, 0, 0));
        ::Polygon(dc, arrows[box.direction], 3);
    }
    ::LeaveCriticalSection(&g_lock);
}

int g_portNumber;

LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == kConnectId) {
            if (g_connected)
                Disconnect();
            else
                Connect(g_portNumber);
        }
        return 0;
    case kRefresh:
        ::InvalidateRect(hWnd, &kPanel, FALSE);
        ::UpdateWindow(hWnd);
        return 0;
    case kLost:
        if (g_connected)
            Disconnect();
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        Paint(::BeginPaint(hWnd, &ps));
        ::EndPaint(hWnd, &ps);
        return 0;
    }
    case WM_CLOSE:
        Disconnect();
        ::DestroyWindow(hWnd);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(hWnd, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    g_portNumber = std::atoi(commandLine);
    ::InitializeCriticalSection(&g_lock);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"KavroReferenceLoop";
    ::RegisterClassW(&wc);
    RECT frame = {0, 0, 360, 170};
    ::AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    g_window = ::CreateWindowW(wc.lpszClassName, L"KAVRO reference loop", WS_OVERLAPPEDWINDOW, 100, 100,
                               frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    ::CreateWindowW(L"BUTTON", L"Connect", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10, 110, 24, g_window,
                    reinterpret_cast<HMENU>(kConnectId), instance, nullptr);
    ::CreateWindowW(L"STATIC", L"", WS_CHILD | WS_VISIBLE, 10, 44, 110, 20, g_window,
                    reinterpret_cast<HMENU>(kSerialId), instance, nullptr);
    ::ShowWindow(g_window, SW_SHOW);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
