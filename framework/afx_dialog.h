// CDialogEx: a dialog from a resource template, run modally by its own
// message loop so that PreTranslateMessage sees every message it retrieves.
#pragma once

#include "framework/afx_wnd.h"

class CDialogEx : public CWnd {
public:
    // nIDTemplate: the dialog template. pParentWnd: the owner; null means the
    // application's main window when there is one (and it is not this dialog).
    explicit CDialogEx(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialogEx() override;

    // Creates the dialog, runs it until EndDialog and destroys its window.
    // Returns the EndDialog result, or -1 when the window could not be created.
    virtual INT_PTR DoModal();
    // Ends the modal loop with nResult; the window is destroyed by DoModal.
    void EndDialog(int nResult);
    // Runs DoDataExchange; the only exchange offered is control binding.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);

    // Called with each message the modal loop retrieves, before it is
    // dispatched. Returns non-zero when the message was handled here.
    virtual BOOL PreTranslateMessage(MSG* pMsg);

protected:
    // Called when the window and its controls exist, before it is shown.
    // Binds the controls; returns TRUE to let the system set the focus.
    virtual BOOL OnInitDialog();
    // Called by UpdateData to bind controls to members.
    virtual void DoDataExchange(CDataExchange* pDX);
    // Called when OK (IDOK, also Enter) is chosen: ends the dialog with IDOK.
    virtual void OnOK();
    // Called when Cancel (IDCANCEL: Esc, the close box) is chosen: ends with IDCANCEL.
    virtual void OnCancel();

    static const AFX_MSGMAP* GetThisMessageMap();
    const AFX_MSGMAP* GetMessageMap() const override { return GetThisMessageMap(); }

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;
    bool m_bModalRunning = false;
    INT_PTR m_nModalResult = -1;
};
