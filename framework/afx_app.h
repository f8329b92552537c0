// CWinApp: the application object, its name and main window, and the
// framework's message box. One CWinApp-derived object may exist per process.
#pragma once

#include "framework/afx_wnd.h"

// The restart-manager support bit of m_dwRestartManagerSupportFlags.
constexpr DWORD AFX_RESTART_MANAGER_SUPPORT_RESTART = 0x01;

class CWinApp {
public:
    // pszAppName: the application's name; null takes the executable's file
    // name without its extension.
    explicit CWinApp(const wchar_t* pszAppName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Called once at start. The base registers the process with the restart
    // manager when the restart bit is set. FALSE ends the program at once.
    virtual BOOL InitInstance();
    // Called when the program ends; returns the process's exit code.
    virtual int ExitInstance();
    // The message loop run after an InitInstance that returned TRUE.
    virtual int Run();

    HICON LoadIcon(UINT nIDResource) const;

    CString m_strAppName;
    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;
    DWORD m_dwRestartManagerSupportFlags = 0;
};

CWinApp* AfxGetApp();
// The application's main window, or null.
CWnd* AfxGetMainWnd();
// The application's name: the application object's, else the executable's
// file name without extension (so also in programs without an application object).
CString AfxGetAppName();

// A modal message box captioned with the application's name, owned by the
// main window's last active popup when there is a main window. Returns the
// button chosen.
int AfxMessageBox(const wchar_t* lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);

// The framework's entry: names the application, runs InitInstance and, when
// it returns TRUE, the message loop; returns the exit code.
int AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow);
