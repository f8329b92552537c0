#include "sim/win/window_reach.h"

#include <commctrl.h>

namespace {

std::wstring TextOf(HWND hWnd) {
    wchar_t text[256] = {};
    ::GetWindowTextW(hWnd, text, 256);
    return text;
}

}  // namespace

std::wstring WindowClass(HWND hWnd) {
    wchar_t name[64] = {};
    ::GetClassNameW(hWnd, name, 64);
    return name;
}

HWND FindDialog(DWORD processId, DWORD threadId, const wchar_t* caption, HWND except) {
    struct Context {
        DWORD processId, threadId;
        const wchar_t* caption;
        HWND except, found;
    } context = {processId, threadId, caption, except, nullptr};
    ::EnumWindows(
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            Context* c = reinterpret_cast<Context*>(lParam);
            DWORD process = 0;
            const DWORD thread = ::GetWindowThreadProcessId(hWnd, &process);
            if ((c->processId && process != c->processId) || (c->threadId && thread != c->threadId) ||
                hWnd == c->except || !::IsWindowVisible(hWnd) || WindowClass(hWnd) != L"#32770" ||
                (c->caption && TextOf(hWnd) != c->caption))
                return TRUE;
            c->found = hWnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&context));
    return context.found;
}

void MovePointer(int x, int y) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = (x * 65536 + 32768) / ::GetSystemMetrics(SM_CXSCREEN);
    in.mi.dy = (y * 65536 + 32768) / ::GetSystemMetrics(SM_CYSCREEN);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    ::SendInput(1, &in, sizeof(in));
    ::Sleep(100);
}

HWND WaitToolTip(DWORD processId, DWORD timeoutMs) {
    for (const ULONGLONG end = ::GetTickCount64() + timeoutMs; ::GetTickCount64() < end; ::Sleep(50)) {
        for (HWND tip = ::FindWindowExW(nullptr, nullptr, TOOLTIPS_CLASSW, nullptr); tip;
             tip = ::FindWindowExW(nullptr, tip, TOOLTIPS_CLASSW, nullptr)) {
            DWORD owner = 0;
            ::GetWindowThreadProcessId(tip, &owner);
            if (owner == processId && ::IsWindowVisible(tip))
                return tip;
        }
    }
    return nullptr;
}
