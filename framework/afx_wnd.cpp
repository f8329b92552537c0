#include "framework/afx_wnd.h"

#include <vector>

const AFX_MSGMAP* CWnd::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, AfxSig_end, AFX_PMSG()}};
    static const AFX_MSGMAP map = {nullptr, &entries[0]};
    return &map;
}

CString CWnd::GetWindowText() const {
    const int length = ::GetWindowTextLengthW(m_hWnd);
    std::vector<wchar_t> text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    ::GetWindowTextW(m_hWnd, text.data(), static_cast<int>(text.size()));
    return CString(text.data());
}

namespace {

constexpr wchar_t kWindowClass[] = L"AfxWnd";

}  // namespace

BOOL CWnd::Create(const wchar_t* windowName, DWORD style, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    if (!::GetClassInfoExW(instance, kWindowClass, &wc)) {
        // No background brush: a window of this class paints all of itself.
        wc.lpfnWndProc = &CWnd::AfxWndProc;
        wc.hInstance = instance;
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kWindowClass;
        if (!::RegisterClassExW(&wc))
            return FALSE;
    }
    return ::CreateWindowExW(0, kWindowClass, windowName, style, rect.left, rect.top, rect.right - rect.left,
                             rect.bottom - rect.top, pParentWnd ? pParentWnd->m_hWnd : nullptr,
                             reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID)), instance, this) != nullptr;
}

LRESULT CALLBACK CWnd::AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* self;
    if (message == WM_NCCREATE) {
        self = static_cast<CWnd*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->m_hWnd = hWnd;
    } else {
        self = reinterpret_cast<CWnd*>(::GetWindowLongPtrW(hWnd, GWLP_USERDATA));
    }
    LRESULT result = 0;
    bool handled = false;
    // No exception may unwind into the system's window code: what failed
    // gets the default processing instead.
    try {
        handled = self && self->OnWndMsg(message, wParam, lParam, &result);
    } catch (...) {
        handled = false;
    }
    if (!handled)
        result = ::DefWindowProcW(hWnd, message, wParam, lParam);
    if (message == WM_NCDESTROY && self) {
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, 0);
        self->m_hWnd = nullptr;
    }
    return result;
}

LRESULT CWnd::Default() { return ::DefWindowProcW(m_hWnd, m_curMessage, m_curWParam, m_curLParam); }

namespace {

const AFX_MSGMAP_ENTRY* FindEntry(const AFX_MSGMAP* map, UINT message, UINT code, UINT id) {
    for (; map; map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->nSig != AfxSig_end; ++e) {
            if (e->nMessage != message)
                continue;
            if (message == WM_COMMAND && (e->nCode != code || e->nID != id))
                continue;
            return e;
        }
    }
    return nullptr;
}

}  // namespace

bool CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    const AFX_MSGMAP_ENTRY* entry = FindEntry(GetMessageMap(), message, HIWORD(wParam), LOWORD(wParam));
    if (!entry)
        return false;

    // Saved and restored so that a handler that runs a nested loop (a message
    // box, the About box) still defaults its own message.
    const UINT savedMessage = m_curMessage;
    const WPARAM savedWParam = m_curWParam;
    const LPARAM savedLParam = m_curLParam;
    m_curMessage = message;
    m_curWParam = wParam;
    m_curLParam = lParam;

    LRESULT result = 0;
    switch (entry->nSig) {
    case AfxSig_v_v:
        (this->*entry->pfn.pfn_v_v)();
        break;
    case AfxSig_v_u_l:
        (this->*entry->pfn.pfn_v_u_l)(static_cast<UINT>(wParam), lParam);
        break;
    case AfxSig_h_v:
        result = reinterpret_cast<LRESULT>((this->*entry->pfn.pfn_h_v)());
        break;
    case AfxSig_l_w_l:
        result = (this->*entry->pfn.pfn_l_w_l)(wParam, lParam);
        break;
    case AfxSig_b_v:
        result = (this->*entry->pfn.pfn_b_v)();
        break;
    case AfxSig_v_b:
        (this->*entry->pfn.pfn_v_b)(static_cast<BOOL>(wParam));
        break;
    case AfxSig_v_up:
        (this->*entry->pfn.pfn_v_up)(static_cast<UINT_PTR>(wParam));
        break;
    case AfxSig_b_u_up:
        result = (this->*entry->pfn.pfn_b_u_up)(static_cast<UINT>(wParam), static_cast<DWORD_PTR>(lParam));
        break;
    default:
        break;
    }

    m_curMessage = savedMessage;
    m_curWParam = savedWParam;
    m_curLParam = savedLParam;
    *pResult = result;
    return true;
}

void CComboBox::GetLBText(int nIndex, CString& rString) const {
    const LRESULT length = SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(nIndex));
    if (length == CB_ERR) {
        rString.clear();
        return;
    }
    std::vector<wchar_t> text(static_cast<size_t>(length) + 1, L'\0');
    SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(text.data()));
    rString = CString(text.data());
}

CToolTipCtrl::~CToolTipCtrl() {
    if (IsWindowValid())
        ::DestroyWindow(m_hWnd);
}

BOOL CToolTipCtrl::Create(CWnd* pParentWnd, DWORD dwStyle) {
    m_hWnd = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | dwStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, pParentWnd ? pParentWnd->m_hWnd : nullptr, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
    return m_hWnd != nullptr;
}

BOOL CToolTipCtrl::AddTool(CWnd* pWnd, const wchar_t* text, const RECT* rect, UINT_PTR nIDTool) {
    return AddTool(pWnd ? pWnd->m_hWnd : nullptr, text, rect, nIDTool);
}

namespace {

// The description of a tool that is a window of its own: its parent gets
// the notifications.
TTTOOLINFOW WindowTool(HWND hWnd, const wchar_t* text) {
    TTTOOLINFOW ti = {};
    ti.cbSize = sizeof(ti);
    ti.hwnd = ::GetParent(hWnd);
    ti.uFlags = TTF_IDISHWND;
    ti.uId = reinterpret_cast<UINT_PTR>(hWnd);
    ti.hinst = ::GetModuleHandleW(nullptr);
    ti.lpszText = const_cast<wchar_t*>(text);
    return ti;
}

}  // namespace

void CToolTipCtrl::UpdateTipText(const wchar_t* text, HWND hWnd) {
    TTTOOLINFOW ti = WindowTool(hWnd, text);
    SendMessage(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}

BOOL CToolTipCtrl::AddTool(HWND hWnd, const wchar_t* text, const RECT* rect, UINT_PTR nIDTool) {
    if (nIDTool == 0) {
        TTTOOLINFOW ti = WindowTool(hWnd, text);
        return static_cast<BOOL>(SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)));
    }
    TTTOOLINFOW ti = {};
    ti.cbSize = sizeof(ti);
    ti.hwnd = hWnd;
    ti.uId = nIDTool;
    if (rect)
        ti.rect = *rect;
    ti.hinst = ::GetModuleHandleW(nullptr);
    ti.lpszText = const_cast<wchar_t*>(text);
    return static_cast<BOOL>(SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)));
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (!rControl.m_hWnd)
        rControl.Attach(::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC));
}

BOOL CString::LoadString(UINT nID) {
    const wchar_t* text = nullptr;
    // With a zero buffer size LoadStringW hands out a pointer into the resource.
    const int length = ::LoadStringW(::GetModuleHandleW(nullptr), nID, reinterpret_cast<wchar_t*>(&text), 0);
    if (length <= 0 || !text) {
        clear();
        return FALSE;
    }
    assign(text, static_cast<size_t>(length));
    return TRUE;
}
