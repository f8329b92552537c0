// The switch panel as a screen reader reads it: a grouping named "Limit
// switches" with the six boxes as its elements (numbered from 1, in the
// panel model's order), each named by what a sighted user sees of it and
// saying what it shows: a read-only check box, checked while its switch is
// set, unavailable while nothing is read, with "set", "clear" or "not read"
// as its value. Everything else of the panel's window is its standard
// object's. Used on the user-interface thread.
#pragma once

#include "framework/afx_accessible.h"

class CSwitchPanel;

class CPanelAccessible : public CAccessibleProxy {
public:
    // The panel must call Disconnect before it goes.
    CPanelAccessible(IAccessible* standard, const CSwitchPanel* panel)
        : CAccessibleProxy(standard), m_panel(panel) {}

    void Disconnect() override;

    // The standard object's enumeration of its children is not offered:
    // the window has none, the panel six elements.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;

    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* pcountChildren) override;
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT varChild, IDispatch** ppdispChild) override;
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT varChild, BSTR* pszName) override;
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT varChild, BSTR* pszValue) override;
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT varChild, VARIANT* pvarRole) override;
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT varChild, VARIANT* pvarState) override;
    HRESULT STDMETHODCALLTYPE accLocation(LONG* pxLeft, LONG* pyTop, LONG* pcxWidth, LONG* pcyHeight,
                                          VARIANT varChild) override;
    HRESULT STDMETHODCALLTYPE accNavigate(LONG navDir, VARIANT varStart, VARIANT* pvarEnd) override;
    HRESULT STDMETHODCALLTYPE accHitTest(LONG xLeft, LONG yTop, VARIANT* pvarChild) override;

private:
    // The box a question names in *box (0-based; -1: the panel itself);
    // S_OK, or the answer to a question about no box or to a panel gone.
    HRESULT BoxOf(const VARIANT& varChild, int* box) const;

    const CSwitchPanel* m_panel;
};
