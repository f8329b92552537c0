// kavro-window-driver: acts on the running tool's window as a user would,
// for the demo script (which has no one at the keyboard when it runs
// headless). Finds the window by its caption.
//   kavro-window-driver wait          wait until the window is up
//   kavro-window-driver rect          print its outer rectangle: x y width height
//   kavro-window-driver connect       press Connect; wait until it reads "Disconnect"
//   kavro-window-driver about         open the About box; print its rectangle
//   kavro-window-driver about-ok      press the About box's OK
//   kavro-window-driver port-tip      hold the pointer over the port list until its
//                                     tool tip shows; print the rectangle of both
//   kavro-window-driver read-aloud    print what a screen reader reads of the
//                                     switch panel: its name, and each box's
//                                     name and value
//   kavro-window-driver close         close the window (the close command)
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "sim/win/screen_reader.h"
#include "sim/win/window_reach.h"

namespace {

constexpr int kControlPortList = 1000;
constexpr int kControlConnect = 1002;
constexpr WPARAM kCommandAbout = 0x10;
constexpr wchar_t kAboutCaption[] = L"Informationen zu KAVRO_Display_Limit_Switches";

HWND WaitDialog(const wchar_t* caption, DWORD timeoutMs) {
    for (const ULONGLONG end = ::GetTickCount64() + timeoutMs;; ::Sleep(50)) {
        if (const HWND hWnd = FindDialog(0, 0, caption))
            return hWnd;
        if (::GetTickCount64() >= end)
            return nullptr;
    }
}

int PrintRect(HWND hWnd, const RECT* also = nullptr) {
    RECT r;
    ::GetWindowRect(hWnd, &r);
    if (also)
        ::UnionRect(&r, &r, also);
    std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kavro-window-driver wait|rect|connect|about|about-ok|port-tip|read-aloud|close\n");
        return 2;
    }
    const HWND tool = WaitDialog(L"KAVRO Limit Switches", 20000);
    if (!tool) {
        std::fprintf(stderr, "kavro-window-driver: the tool's window did not appear\n");
        return 1;
    }
    const std::wstring command = argv[1];
    if (command == L"wait")
        return 0;
    if (command == L"rect")
        return PrintRect(tool);
    if (command == L"about") {
        ::PostMessageW(tool, WM_SYSCOMMAND, kCommandAbout, 0);
        const HWND about = WaitDialog(kAboutCaption, 5000);
        return about ? PrintRect(about) : 1;
    }
    if (command == L"about-ok") {
        const HWND about = WaitDialog(kAboutCaption, 5000);
        if (!about)
            return 1;
        ::PostMessageW(about, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return 0;
    }
    if (command == L"port-tip") {
        RECT field;
        ::GetWindowRect(::GetDlgItem(tool, kControlPortList), &field);
        ::SetForegroundWindow(tool);
        MovePointer(field.left + 12, field.top + 6);
        MovePointer(field.left + 13, field.top + 6);
        DWORD process = 0;
        ::GetWindowThreadProcessId(tool, &process);
        const HWND tip = WaitToolTip(process, 5000);
        if (!tip)
            return 1;
        RECT shown;
        ::GetWindowRect(tip, &shown);
        return PrintRect(tool, &shown);
    }
    if (command == L"read-aloud") {
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // as a screen reader's thread
        const std::vector<ReadElement> read = ReadWindow(PanelWindow(tool), true);
        for (size_t i = 0; i < read.size(); ++i)
            std::printf(i == 0 ? "%ls:" : " %ls %ls%s", read[i].name.c_str(), read[i].value.c_str(),
                        i + 1 < read.size() ? "," : "");
        std::printf("\n");
        ::CoUninitialize();
        return read.size() == 7 ? 0 : 1;
    }
    if (command == L"close") {
        ::PostMessageW(tool, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    }
    if (command == L"connect") {
        const HWND button = ::GetDlgItem(tool, kControlConnect);
        ::PostMessageW(button, BM_CLICK, 0, 0);
        for (int i = 0; i < 200; ++i) {
            wchar_t text[32] = {};
            ::GetWindowTextW(button, text, 32);
            if (std::wcscmp(text, L"Disconnect") == 0)
                return 0;
            ::Sleep(50);
        }
        std::fprintf(stderr, "kavro-window-driver: the tool did not connect\n");
        return 1;
    }
    std::fprintf(stderr, "kavro-window-driver: unknown command\n");
    return 2;
}
