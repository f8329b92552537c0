#include "display/panel_accessible.h"

#include "display/switch_panel.h"

namespace {

constexpr int kSelf = -1;

HRESULT Long(LONG value, VARIANT* out) {
    if (!out)
        return E_POINTER;
    ::VariantInit(out);
    out->vt = VT_I4;
    out->lVal = value;
    return S_OK;
}

}  // namespace

void CPanelAccessible::Disconnect() {
    m_panel = nullptr;
    CAccessibleProxy::Disconnect();
}

HRESULT CPanelAccessible::QueryInterface(REFIID riid, void** ppv) {
    if (riid == __uuidof(IEnumVARIANT)) {
        if (ppv)
            *ppv = nullptr;
        return E_NOINTERFACE;
    }
    return CAccessibleProxy::QueryInterface(riid, ppv);
}

HRESULT CPanelAccessible::BoxOf(const VARIANT& varChild, int* box) const {
    if (!m_panel)
        return RPC_E_DISCONNECTED;
    const LONG child = ChildOf(varChild);
    if (child != CHILDID_SELF && (child < 1 || child > static_cast<LONG>(m_panel->Boxes().size())))
        return E_INVALIDARG;
    *box = child == CHILDID_SELF ? kSelf : static_cast<int>(child - 1);
    return S_OK;
}

HRESULT CPanelAccessible::get_accChildCount(LONG* pcountChildren) {
    if (!m_panel)
        return RPC_E_DISCONNECTED;
    if (!pcountChildren)
        return E_POINTER;
    *pcountChildren = static_cast<LONG>(m_panel->Boxes().size());
    return S_OK;
}

HRESULT CPanelAccessible::get_accChild(VARIANT varChild, IDispatch** ppdispChild) {
    if (!ppdispChild)
        return E_POINTER;
    *ppdispChild = nullptr;
    // The boxes are simple elements: asked for by their number, not objects.
    int box = kSelf;
    const HRESULT asked = BoxOf(varChild, &box);
    return asked != S_OK ? asked : box >= 0 ? S_FALSE : E_INVALIDARG;
}

HRESULT CPanelAccessible::get_accName(VARIANT varChild, BSTR* pszName) {
    int box = kSelf;
    if (const HRESULT asked = BoxOf(varChild, &box); asked != S_OK)
        return asked;
    return Text(box == kSelf ? L"Limit switches" : m_panel->Boxes()[box].name, pszName);
}

HRESULT CPanelAccessible::get_accValue(VARIANT varChild, BSTR* pszValue) {
    int box = kSelf;
    if (const HRESULT asked = BoxOf(varChild, &box); asked != S_OK)
        return asked;
    if (box == kSelf) {
        if (pszValue)
            *pszValue = nullptr;
        return S_FALSE;  // a grouping has no value
    }
    return Text(BoxShowsText(m_panel->Boxes()[box].shows), pszValue);
}

HRESULT CPanelAccessible::get_accRole(VARIANT varChild, VARIANT* pvarRole) {
    int box = kSelf;
    if (const HRESULT asked = BoxOf(varChild, &box); asked != S_OK)
        return asked;
    return Long(box == kSelf ? ROLE_SYSTEM_GROUPING : ROLE_SYSTEM_CHECKBUTTON, pvarRole);
}

HRESULT CPanelAccessible::get_accState(VARIANT varChild, VARIANT* pvarState) {
    if (ChildOf(varChild) == CHILDID_SELF)
        return CAccessibleProxy::get_accState(varChild, pvarState);
    int box = kSelf;
    if (const HRESULT asked = BoxOf(varChild, &box); asked != S_OK)
        return asked;
    LONG state = STATE_SYSTEM_READONLY;
    switch (m_panel->Boxes()[box].shows) {
    case BoxShows::Set:
        state |= STATE_SYSTEM_CHECKED;
        break;
    case BoxShows::NotRead:
        state |= STATE_SYSTEM_UNAVAILABLE;
        break;
    default:
        break;
    }
    return Long(state, pvarState);
}

HRESULT CPanelAccessible::accLocation(LONG* pxLeft, LONG* pyTop, LONG* pcxWidth, LONG* pcyHeight, VARIANT varChild) {
    if (ChildOf(varChild) == CHILDID_SELF)
        return CAccessibleProxy::accLocation(pxLeft, pyTop, pcxWidth, pcyHeight, varChild);
    int box = kSelf;
    if (const HRESULT asked = BoxOf(varChild, &box); asked != S_OK)
        return asked;
    if (!pxLeft || !pyTop || !pcxWidth || !pcyHeight)
        return E_POINTER;
    const RECT r = m_panel->OnScreen(m_panel->Boxes()[box].rect);
    *pxLeft = r.left, *pyTop = r.top, *pcxWidth = r.right - r.left, *pcyHeight = r.bottom - r.top;
    return S_OK;
}

HRESULT CPanelAccessible::accNavigate(LONG navDir, VARIANT varStart, VARIANT* pvarEnd) {
    int box = kSelf;
    if (const HRESULT asked = BoxOf(varStart, &box); asked != S_OK)
        return asked;
    const LONG count = static_cast<LONG>(m_panel->Boxes().size());
    LONG to = 0;
    if (box == kSelf) {
        if (navDir == NAVDIR_FIRSTCHILD)
            to = 1;
        else if (navDir == NAVDIR_LASTCHILD)
            to = count;
        else
            return CAccessibleProxy::accNavigate(navDir, varStart, pvarEnd);
    } else if (navDir == NAVDIR_NEXT) {
        to = box + 2;
    } else if (navDir == NAVDIR_PREVIOUS) {
        to = box;
    }
    if (to < 1 || to > count) {
        if (pvarEnd)
            ::VariantInit(pvarEnd);
        return S_FALSE;  // no element there
    }
    return Long(to, pvarEnd);
}

HRESULT CPanelAccessible::accHitTest(LONG xLeft, LONG yTop, VARIANT* pvarChild) {
    if (!m_panel)
        return RPC_E_DISCONNECTED;
    const POINT at = {xLeft, yTop};
    for (size_t i = 0; i < m_panel->Boxes().size(); ++i) {
        const RECT r = m_panel->OnScreen(m_panel->Boxes()[i].rect);
        if (::PtInRect(&r, at))
            return Long(static_cast<LONG>(i + 1), pvarChild);
    }
    return CAccessibleProxy::accHitTest(xLeft, yTop, pvarChild);
}
