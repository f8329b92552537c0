// The program's entry point; compiled into the executable itself (not the
// framework library) so that test programs keep their own main.
#include "framework/afx_app.h"
#include "framework/afx_system_library.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow) {
    // Before anything can load a DLL by name.
    AfxRestrictDllSearchToSystemFolder();
    return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}
