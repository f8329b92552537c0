#include "framework/afx_app.h"

#include <vector>

namespace {

CWinApp* g_pApp = nullptr;

CString ModuleBaseName() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return CString();
        if (length < path.size())
            break;
        path.resize(path.size() * 2);
    }
    std::wstring name(path.data());
    const size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        name.erase(0, slash + 1);
    const size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos)
        name.erase(dot);
    return CString(name);
}

}  // namespace

CWinApp::CWinApp(const wchar_t* pszAppName) : m_strAppName(pszAppName) { g_pApp = this; }

CWinApp::~CWinApp() {
    if (g_pApp == this)
        g_pApp = nullptr;
}

BOOL CWinApp::InitInstance() {
    if (m_dwRestartManagerSupportFlags & AFX_RESTART_MANAGER_SUPPORT_RESTART)
        ::RegisterApplicationRestart(nullptr, 0);
    return TRUE;
}

int CWinApp::ExitInstance() { return 0; }

int CWinApp::Run() {
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return ExitInstance();
}

HICON CWinApp::LoadIcon(UINT nIDResource) const {
    return ::LoadIconW(m_hInstance ? m_hInstance : ::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(nIDResource));
}

CWinApp* AfxGetApp() { return g_pApp; }

CWnd* AfxGetMainWnd() { return g_pApp ? g_pApp->m_pMainWnd : nullptr; }

CString AfxGetAppName() {
    if (g_pApp && !g_pApp->m_strAppName.IsEmpty())
        return g_pApp->m_strAppName;
    return ModuleBaseName();
}

int AfxMessageBox(const wchar_t* lpszText, UINT nType, UINT /*nIDHelp: no help file*/) {
    HWND hOwner = nullptr;
    CWnd* pMain = AfxGetMainWnd();
    if (pMain && pMain->IsWindowValid())
        hOwner = ::GetLastActivePopup(pMain->m_hWnd);
    const CString caption = AfxGetAppName();
    return ::MessageBoxW(hOwner, lpszText, caption.c_str(), nType);
}

int AfxWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int) {
    CWinApp* pApp = AfxGetApp();
    if (!pApp)
        return -1;
    pApp->m_hInstance = hInstance;
    if (pApp->m_strAppName.IsEmpty())
        pApp->m_strAppName = ModuleBaseName();
    if (!pApp->InitInstance())
        return pApp->ExitInstance();
    return pApp->Run();
}
