#include "framework/afx_accessible.h"

CAccessibility::~CAccessibility() {
    // COM is ended on the thread that started it, or left to that thread's end.
    if (m_comThread == ::GetCurrentThreadId()) {
        if (const auto end = m_ole32.Proc<decltype(&::CoUninitialize)>("CoUninitialize"))
            end();
    }
}

bool CAccessibility::Load() {
    if (m_lresultFromObject && m_createStdAccessibleObject)
        return true;
    if (!m_oleacc.Load(L"oleacc.dll") || !m_ole32.Load(L"ole32.dll"))
        return false;
    // Looked up rather than imported, as oleacc is: most users never start
    // a screen reader, and the program need not carry COM for them.
    const auto start = m_ole32.Proc<decltype(&::CoInitializeEx)>("CoInitializeEx");
    if (start && SUCCEEDED(start(nullptr, COINIT_APARTMENTTHREADED)))
        m_comThread = ::GetCurrentThreadId();
    m_lresultFromObject = m_oleacc.Proc<decltype(&::LresultFromObject)>("LresultFromObject");
    m_createStdAccessibleObject = m_oleacc.Proc<decltype(&::CreateStdAccessibleObject)>("CreateStdAccessibleObject");
    return m_lresultFromObject && m_createStdAccessibleObject;
}

IAccessible* CAccessibility::StandardObject(HWND hWnd) {
    void* object = nullptr;
    if (!Load() || FAILED(m_createStdAccessibleObject(hWnd, OBJID_CLIENT, __uuidof(IAccessible), &object)))
        return nullptr;
    return static_cast<IAccessible*>(object);
}

LRESULT CAccessibility::Answer(IAccessible* object, WPARAM wParam) {
    if (!object || !Load())
        return 0;
    const LRESULT answer = m_lresultFromObject(__uuidof(IAccessible), wParam, object);
    return answer > 0 ? answer : 0;  // a failure code is no answer
}

void CAccessibility::Forget(CAccessibleProxy*& element) {
    if (element) {
        element->Disconnect();
        element->Release();
        element = nullptr;
    }
}

CAccessibleProxy::CAccessibleProxy(IAccessible* standard) : m_standard(standard) {
    if (m_standard)
        m_standard->AddRef();
}

CAccessibleProxy::~CAccessibleProxy() { Disconnect(); }

void CAccessibleProxy::Disconnect() {
    m_disconnected = true;
    if (m_standard) {
        m_standard->Release();
        m_standard = nullptr;
    }
}

HRESULT CAccessibleProxy::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (riid == __uuidof(IUnknown) || riid == __uuidof(IDispatch) || riid == __uuidof(IAccessible)) {
        *ppv = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    // What else the standard object offers (its children's enumeration,
    // its window) is the standard object's to give.
    return m_standard ? m_standard->QueryInterface(riid, ppv) : E_NOINTERFACE;
}

ULONG CAccessibleProxy::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&m_references)); }

ULONG CAccessibleProxy::Release() {
    const LONG left = ::InterlockedDecrement(&m_references);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

HRESULT CAccessibleProxy::GetTypeInfoCount(UINT* pctinfo) {
    if (!pctinfo)
        return E_POINTER;
    *pctinfo = 0;
    return S_OK;
}
HRESULT CAccessibleProxy::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
HRESULT CAccessibleProxy::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
HRESULT CAccessibleProxy::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}

// Every question goes to the standard object while the window lives.
#define KAVRO_FORWARD(call)             \
    if (m_disconnected)                 \
        return RPC_E_DISCONNECTED;      \
    if (!m_standard)                    \
        return E_NOTIMPL;               \
    return m_standard->call

HRESULT CAccessibleProxy::get_accParent(IDispatch** p) { KAVRO_FORWARD(get_accParent(p)); }
HRESULT CAccessibleProxy::get_accChildCount(LONG* p) { KAVRO_FORWARD(get_accChildCount(p)); }
HRESULT CAccessibleProxy::get_accChild(VARIANT c, IDispatch** p) { KAVRO_FORWARD(get_accChild(c, p)); }
HRESULT CAccessibleProxy::get_accName(VARIANT c, BSTR* p) { KAVRO_FORWARD(get_accName(c, p)); }
HRESULT CAccessibleProxy::get_accValue(VARIANT c, BSTR* p) { KAVRO_FORWARD(get_accValue(c, p)); }
HRESULT CAccessibleProxy::get_accDescription(VARIANT c, BSTR* p) { KAVRO_FORWARD(get_accDescription(c, p)); }
HRESULT CAccessibleProxy::get_accRole(VARIANT c, VARIANT* p) { KAVRO_FORWARD(get_accRole(c, p)); }
HRESULT CAccessibleProxy::get_accState(VARIANT c, VARIANT* p) { KAVRO_FORWARD(get_accState(c, p)); }
HRESULT CAccessibleProxy::get_accHelp(VARIANT c, BSTR* p) { KAVRO_FORWARD(get_accHelp(c, p)); }
HRESULT CAccessibleProxy::get_accHelpTopic(BSTR* f, VARIANT c, LONG* p) { KAVRO_FORWARD(get_accHelpTopic(f, c, p)); }
HRESULT CAccessibleProxy::get_accKeyboardShortcut(VARIANT c, BSTR* p) { KAVRO_FORWARD(get_accKeyboardShortcut(c, p)); }
HRESULT CAccessibleProxy::get_accFocus(VARIANT* p) { KAVRO_FORWARD(get_accFocus(p)); }
HRESULT CAccessibleProxy::get_accSelection(VARIANT* p) { KAVRO_FORWARD(get_accSelection(p)); }
HRESULT CAccessibleProxy::get_accDefaultAction(VARIANT c, BSTR* p) { KAVRO_FORWARD(get_accDefaultAction(c, p)); }
HRESULT CAccessibleProxy::accSelect(LONG f, VARIANT c) { KAVRO_FORWARD(accSelect(f, c)); }
HRESULT CAccessibleProxy::accLocation(LONG* x, LONG* y, LONG* w, LONG* h, VARIANT c) {
    KAVRO_FORWARD(accLocation(x, y, w, h, c));
}
HRESULT CAccessibleProxy::accNavigate(LONG d, VARIANT s, VARIANT* e) { KAVRO_FORWARD(accNavigate(d, s, e)); }
HRESULT CAccessibleProxy::accHitTest(LONG x, LONG y, VARIANT* p) { KAVRO_FORWARD(accHitTest(x, y, p)); }
HRESULT CAccessibleProxy::accDoDefaultAction(VARIANT c) { KAVRO_FORWARD(accDoDefaultAction(c)); }
HRESULT CAccessibleProxy::put_accName(VARIANT c, BSTR s) { KAVRO_FORWARD(put_accName(c, s)); }
HRESULT CAccessibleProxy::put_accValue(VARIANT c, BSTR s) { KAVRO_FORWARD(put_accValue(c, s)); }

#undef KAVRO_FORWARD

LONG CAccessibleProxy::ChildOf(const VARIANT& varChild) {
    if (varChild.vt == VT_I4)
        return varChild.lVal;
    if (varChild.vt == VT_EMPTY)
        return CHILDID_SELF;
    return -1;
}

HRESULT CAccessibleProxy::Text(const std::wstring& text, BSTR* out) {
    if (!out)
        return E_POINTER;
    *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT CNamedAccessible::get_accName(VARIANT varChild, BSTR* pszName) {
    if (m_disconnected)
        return RPC_E_DISCONNECTED;
    if (ChildOf(varChild) != CHILDID_SELF)
        return CAccessibleProxy::get_accName(varChild, pszName);
    return Text(m_name, pszName);
}

HRESULT CNamedAccessible::get_accValue(VARIANT varChild, BSTR* pszValue) {
    const HRESULT told = CAccessibleProxy::get_accValue(varChild, pszValue);
    if (m_disconnected || ChildOf(varChild) != CHILDID_SELF || !pszValue || (told == S_OK && ::SysStringLen(*pszValue)))
        return told;
    if (told == S_OK)
        ::SysFreeString(*pszValue);
    const int length = ::GetWindowTextLengthW(m_control);
    std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    text.resize(static_cast<size_t>(::GetWindowTextW(m_control, &text[0], static_cast<int>(text.size()))));
    return Text(text, pszValue);
}
