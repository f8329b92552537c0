#include "display/system_dpi.h"

#include "display/display_scale.h"
#include "framework/afx_gdi.h"

#include "framework/afx_system_library.h"

namespace {

// Looked up at run time: user32 has these only from Windows 10 version 1607,
// and the program must start on older systems too.
template <typename Function>
Function User32Function(const char* name) {
    return AfxGetProcAddress<Function>(::GetModuleHandleW(L"user32.dll"), name);
}

}  // namespace

int SystemDpi(HWND hWnd) {
    UINT dpi = 0;
    if (hWnd) {
        if (const auto getDpiForWindow = User32Function<UINT(WINAPI*)(HWND)>("GetDpiForWindow"))
            dpi = getDpiForWindow(hWnd);
    }
    if (dpi == 0) {
        if (const auto getDpiForSystem = User32Function<UINT(WINAPI*)()>("GetDpiForSystem"))
            dpi = getDpiForSystem();
    }
    if (dpi == 0) {
        CClientDC screen(nullptr);
        if (screen.GetSafeHdc())
            dpi = static_cast<UINT>(::GetDeviceCaps(screen.GetSafeHdc(), LOGPIXELSY));
    }
    return dpi > 0 ? static_cast<int>(dpi) : kBaseDpi;
}
