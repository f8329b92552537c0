#include "app/app.h"

#include <commctrl.h>

#include "app/main_dialog.h"

CKAVRODisplayLimitSwitchesApp theApp;

CKAVRODisplayLimitSwitchesApp::CKAVRODisplayLimitSwitchesApp() : CWinApp(nullptr) {
    // Restart after a crash or an update; no recovery, autosave or reopening.
    m_dwRestartManagerSupportFlags = AFX_RESTART_MANAGER_SUPPORT_RESTART;
}

CKAVRODisplayLimitSwitchesApp::~CKAVRODisplayLimitSwitchesApp() = default;

BOOL CKAVRODisplayLimitSwitchesApp::InitInstance() {
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&controls);

    CWinApp::InitInstance();

    CKAVRODisplayLimitSwitchesDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}
