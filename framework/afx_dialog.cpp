#include "framework/afx_dialog.h"

#include <new>

#include "framework/afx_app.h"
#include "framework/afx_exception.h"

CDialogEx::CDialogEx(UINT nIDTemplate, CWnd* pParentWnd) : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialogEx::~CDialogEx() {
    if (IsWindowValid())
        ::DestroyWindow(m_hWnd);
}

const AFX_MSGMAP* CDialogEx::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, AfxSig_end, AFX_PMSG()}};
    static const AFX_MSGMAP map = {&CWnd::GetThisMessageMap, &entries[0]};
    return &map;
}

INT_PTR CDialogEx::DoModal() {
    HWND hOwner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!hOwner) {
        CWnd* pMain = AfxGetMainWnd();
        if (pMain && pMain != this && pMain->IsWindowValid())
            hOwner = pMain->m_hWnd;
    }

    HWND hWnd = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nIDTemplate), hOwner,
                                     &CDialogEx::DialogProc, reinterpret_cast<LPARAM>(this));
    if (!hWnd)
        return -1;

    // The owner takes no input while this dialog runs, as with DialogBox.
    const bool ownerDisabled = hOwner && ::IsWindowEnabled(hOwner) && !::EnableWindow(hOwner, FALSE);
    ::ShowWindow(hWnd, SW_SHOWNORMAL);

    m_nModalResult = -1;
    m_bModalRunning = true;
    MSG msg;
    while (m_bModalRunning) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1)
            break;
        if (got == 0) {
            // Leave WM_QUIT for the loop outside this one.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!PreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    m_bModalRunning = false;

    // Re-enable the owner before this window goes, so that activation returns to it.
    if (ownerDisabled) {
        ::EnableWindow(hOwner, TRUE);
        ::SetActiveWindow(hOwner);
    }
    if (::IsWindow(hWnd))
        ::DestroyWindow(hWnd);
    return m_nModalResult;
}

void CDialogEx::EndDialog(int nResult) {
    m_nModalResult = nResult;
    m_bModalRunning = false;
    // Wakes the loop if it is waiting in GetMessage.
    ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
}

BOOL CDialogEx::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return TRUE;
}

BOOL CDialogEx::PreTranslateMessage(MSG* pMsg) { return ::IsDialogMessageW(m_hWnd, pMsg); }

BOOL CDialogEx::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialogEx::DoDataExchange(CDataExchange*) {}

void CDialogEx::OnOK() {
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialogEx::OnCancel() { EndDialog(IDCANCEL); }

INT_PTR CDialogEx::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG)
        return OnInitDialog();

    LRESULT result = 0;
    if (OnWndMsg(message, wParam, lParam, &result)) {
        switch (message) {
        case WM_QUERYDRAGICON:  // answered by the dialog procedure's own result
            return static_cast<INT_PTR>(result);
        default:
            ::SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
            return TRUE;
        }
    }

    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return TRUE;
        }
    }
    return FALSE;
}

INT_PTR CALLBACK CDialogEx::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialogEx* self;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialogEx*>(lParam);
        ::SetWindowLongPtrW(hWnd, DWLP_USER, lParam);
        self->m_hWnd = hWnd;
    } else {
        self = reinterpret_cast<CDialogEx*>(::GetWindowLongPtrW(hWnd, DWLP_USER));
    }
    if (!self)
        return FALSE;

    INT_PTR handled = FALSE;
    // No exception may unwind into the system's dialog code.
    try {
        handled = self->HandleMessage(message, wParam, lParam);
    } catch (const CException& e) {
        AfxMessageBox(e.Describe(), MB_OK | MB_ICONERROR);
        handled = TRUE;
    } catch (const std::bad_alloc&) {
        AfxMessageBox(CMemoryException().Describe(), MB_OK | MB_ICONERROR);
        handled = TRUE;
    } catch (...) {
        AfxMessageBox(L"An unexpected error occurred.", MB_OK | MB_ICONERROR);
        handled = TRUE;
    }

    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(hWnd, DWLP_USER, 0);
        self->m_hWnd = nullptr;
        self->m_bModalRunning = false;
    }
    return handled;
}
