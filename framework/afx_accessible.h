// What a screen reader reads of a window (Microsoft Active Accessibility):
// oleacc's calls, loaded from the system folder when the first question
// comes (oleacc is no KnownDLL), and an IAccessible that answers as a
// window's standard object does except where a window says more.
// Used on the window's thread.
#pragma once

#include <windows.h>

#include <oleacc.h>

#include <string>

#include "framework/afx_system_library.h"

class CAccessibleProxy;

// oleacc, as one window's answers to WM_GETOBJECT need it, with COM on the
// window's thread (a screen reader's objects are handed over by COM).
class CAccessibility {
public:
    CAccessibility() = default;
    ~CAccessibility();
    CAccessibility(const CAccessibility&) = delete;
    CAccessibility& operator=(const CAccessibility&) = delete;

    // The standard object of hWnd's client area (as oleacc would build for
    // a window that does not answer), AddRef'd; null when there is none.
    IAccessible* StandardObject(HWND hWnd);
    // The answer to WM_GETOBJECT (wParam as the message had it) that hands
    // the asker object; 0 (no answer) when oleacc cannot be had.
    LRESULT Answer(IAccessible* object, WPARAM wParam);
    // The answer to WM_GETOBJECT for hWnd's client area with the element
    // make(standard object) builds at the first question; *element keeps one
    // reference until Forget. 0 (the system's own answer) when oleacc, the
    // standard object or the memory for the element cannot be had.
    template <typename Make>
    LRESULT Answer(CAccessibleProxy*& element, HWND hWnd, WPARAM wParam, Make make);
    // The window goes: a screen reader may hold its element longer, and from
    // now on the element answers nothing.
    static void Forget(CAccessibleProxy*& element);

private:
    bool Load();

    CSystemLibrary m_oleacc, m_ole32;
    // The thread this object started COM on, to end it there; 0 when none.
    DWORD m_comThread = 0;
    decltype(&::LresultFromObject) m_lresultFromObject = nullptr;
    decltype(&::CreateStdAccessibleObject) m_createStdAccessibleObject = nullptr;
};

// Whether WM_GETOBJECT asks for the client area's object; its lParam is a
// 32-bit object id, however the message carried it.
inline bool AsksForClient(LPARAM lParam) { return static_cast<LONG>(lParam) == OBJID_CLIENT; }

// An IAccessible that answers every question as the window's standard object
// does, except those a derived class answers itself. Reference counted;
// created with one reference. Once its window is gone (Disconnect) every
// question fails as a screen reader expects of an element that has gone.
class CAccessibleProxy : public IAccessible {
public:
    // standard: the window's standard object (may be null), kept until Disconnect.
    explicit CAccessibleProxy(IAccessible* standard);
    CAccessibleProxy(const CAccessibleProxy&) = delete;
    CAccessibleProxy& operator=(const CAccessibleProxy&) = delete;

    // The window goes: its standard object is let go, and questions fail.
    virtual void Disconnect();

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch: not offered; screen readers call IAccessible directly.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override;
    // IAccessible, each handed to the standard object.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** ppdispParent) override;
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* pcountChildren) override;
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT varChild, IDispatch** ppdispChild) override;
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT varChild, BSTR* pszName) override;
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT varChild, BSTR* pszValue) override;
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT varChild, BSTR* pszDescription) override;
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT varChild, VARIANT* pvarRole) override;
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT varChild, VARIANT* pvarState) override;
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT varChild, BSTR* pszHelp) override;
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* pszHelpFile, VARIANT varChild, LONG* pidTopic) override;
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT varChild, BSTR* pszKeyboardShortcut) override;
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* pvarChild) override;
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* pvarChildren) override;
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT varChild, BSTR* pszDefaultAction) override;
    HRESULT STDMETHODCALLTYPE accSelect(LONG flagsSelect, VARIANT varChild) override;
    HRESULT STDMETHODCALLTYPE accLocation(LONG* pxLeft, LONG* pyTop, LONG* pcxWidth, LONG* pcyHeight,
                                          VARIANT varChild) override;
    HRESULT STDMETHODCALLTYPE accNavigate(LONG navDir, VARIANT varStart, VARIANT* pvarEnd) override;
    HRESULT STDMETHODCALLTYPE accHitTest(LONG xLeft, LONG yTop, VARIANT* pvarChild) override;
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT varChild) override;
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT varChild, BSTR szName) override;
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT varChild, BSTR szValue) override;

protected:
    virtual ~CAccessibleProxy();
    // The child a question names: CHILDID_SELF for the object itself, a
    // number from 1 for a child; -1 when it names none.
    static LONG ChildOf(const VARIANT& varChild);
    // A text handed out as the answer to a question.
    static HRESULT Text(const std::wstring& text, BSTR* out);

    IAccessible* m_standard;
    bool m_disconnected = false;

private:
    LONG m_references = 1;
};

template <typename Make>
LRESULT CAccessibility::Answer(CAccessibleProxy*& element, HWND hWnd, WPARAM wParam, Make make) {
    if (!element) {
        IAccessible* standard = StandardObject(hWnd);
        if (!standard)
            return 0;
        // No exception may leave a window procedure.
        try {
            element = make(standard);
        } catch (...) {
        }
        standard->Release();  // the element holds it
    }
    return element ? Answer(element, wParam) : 0;
}

// A control read by a name of its own rather than the one its standard
// object would find (its text, or the nearest label before it), with its
// text as value where the standard object tells none (Wine's combo box);
// every other answer is the standard object's.
class CNamedAccessible : public CAccessibleProxy {
public:
    CNamedAccessible(IAccessible* standard, HWND control, std::wstring name)
        : CAccessibleProxy(standard), m_control(control), m_name(std::move(name)) {}
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT varChild, BSTR* pszName) override;
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT varChild, BSTR* pszValue) override;

private:
    HWND m_control;
    std::wstring m_name;
};
