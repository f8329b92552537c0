// CWnd and the controls: thin, non-owning views of windows that the dialog
// manager creates and destroys. They add no state of their own beyond the
// handle, so binding one to a control changes nothing about the control.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "framework/afx_msgmap.h"
#include "framework/afx_string.h"

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    void Attach(HWND hWnd) { m_hWnd = hWnd; }
    HWND Detach() {
        HWND h = m_hWnd;
        m_hWnd = nullptr;
        return h;
    }
    bool IsWindowValid() const { return m_hWnd && ::IsWindow(m_hWnd); }

    // Creates a child window of the framework's own class at rect (the
    // parent's client pixels) whose messages go to this object's message
    // map, and to DefWindowProc where it maps none. The window goes with its
    // parent, or with DestroyWindow; this object must outlive it. False when
    // it could not be created.
    BOOL Create(const wchar_t* windowName, DWORD style, const RECT& rect, CWnd* pParentWnd, UINT nID);
    BOOL DestroyWindow() { return ::DestroyWindow(m_hWnd); }

    void SetWindowText(const wchar_t* text) { ::SetWindowTextW(m_hWnd, text); }
    CString GetWindowText() const;
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    void InvalidateRect(const RECT* rect, BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, rect, bErase); }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::PostMessageW(m_hWnd, message, wParam, lParam);
    }
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageW(m_hWnd, message, wParam, lParam);
    }
    HWND GetDlgItem(int nID) const { return ::GetDlgItem(m_hWnd, nID); }
    UINT IsDlgButtonChecked(int nID) const { return ::IsDlgButtonChecked(m_hWnd, nID); }
    HMENU GetSystemMenu(BOOL bRevert) const { return ::GetSystemMenu(m_hWnd, bRevert); }
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
    BOOL SetWindowPos(HWND hInsertAfter, int x, int y, int cx, int cy, UINT flags) {
        return ::SetWindowPos(m_hWnd, hInsertAfter, x, y, cx, cy, flags);
    }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    HFONT GetFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse) { return ::SetTimer(m_hWnd, nIDEvent, nElapse, nullptr); }
    BOOL KillTimer(UINT_PTR nIDEvent) { return ::KillTimer(m_hWnd, nIDEvent); }

    // The default window processing (DefWindowProc) of the message being
    // handled. For a dialog that is also what the dialog manager does with
    // the messages it leaves to the system, WM_SYSCOMMAND among them.
    LRESULT Default();

    // Looks the message up in the message-map chain and calls its handler.
    // Returns false when no entry matched; *pResult gets the handler's result.
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const { return GetThisMessageMap(); }

private:
    static LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    // The message being handled, for Default().
    UINT m_curMessage = 0;
    WPARAM m_curWParam = 0;
    LPARAM m_curLParam = 0;
};

class CComboBox : public CWnd {
public:
    int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    int SetCurSel(int nSelect) { return static_cast<int>(SendMessage(CB_SETCURSEL, nSelect)); }
    int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
    void ResetContent() { SendMessage(CB_RESETCONTENT); }
    int AddString(const wchar_t* text) {
        return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
    }
    DWORD_PTR GetItemData(int nIndex) const { return SendMessage(CB_GETITEMDATA, nIndex); }
    int SetItemData(int nIndex, DWORD_PTR data) {
        return static_cast<int>(SendMessage(CB_SETITEMDATA, nIndex, static_cast<LPARAM>(data)));
    }
    int FindStringExact(int nIndexStart, const wchar_t* text) const {
        return static_cast<int>(
            SendMessage(CB_FINDSTRINGEXACT, static_cast<WPARAM>(nIndexStart), reinterpret_cast<LPARAM>(text)));
    }
    // Text of entry nIndex; an empty string when there is no such entry.
    void GetLBText(int nIndex, CString& rString) const;
    BOOL GetDroppedState() const { return static_cast<BOOL>(SendMessage(CB_GETDROPPEDSTATE)); }
};

class CButton : public CWnd {};

class CEdit : public CWnd {};

// Owns its tool-tip window: destroyed with the object if still there.
class CToolTipCtrl : public CWnd {
public:
    ~CToolTipCtrl() override;
    BOOL Create(CWnd* pParentWnd, DWORD dwStyle = 0);
    // Registers pWnd's own window as a tool of its parent (no rectangle, id 0).
    BOOL AddTool(CWnd* pWnd, const wchar_t* text, const RECT* rect = nullptr, UINT_PTR nIDTool = 0);
    BOOL AddTool(HWND hWnd, const wchar_t* text, const RECT* rect = nullptr, UINT_PTR nIDTool = 0);
    void Activate(BOOL bActivate) { SendMessage(TTM_ACTIVATE, bActivate); }
    void RelayEvent(MSG* pMsg) { SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(pMsg)); }
    // The text of the tool that is the window hWnd (added with id 0).
    void UpdateTipText(const wchar_t* text, HWND hWnd);
};

// Data exchange between a dialog and its members; only control binding is offered.
class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_pDlgWnd(pDlgWnd), m_bSaveAndValidate(bSaveAndValidate) {}
    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate;
};

// Binds rControl to the dialog's control nIDC (left unbound when there is none).
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
