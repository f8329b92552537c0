#include "app/control_names.h"

#include <commctrl.h>

namespace {

constexpr UINT_PTR kSubclassId = 1;

}  // namespace

CControlNames::~CControlNames() {
    for (auto& [control, named] : m_named) {
        if (named->owner)
            Forget(control, *named);
    }
}

void CControlNames::Name(HWND control, const wchar_t* name) {
    if (!control)
        return;
    auto named = std::make_unique<Named>(Named{this, name, nullptr});
    if (::SetWindowSubclass(control, &CControlNames::OnControlMessage, kSubclassId,
                            reinterpret_cast<DWORD_PTR>(named.get())))
        m_named.emplace_back(control, std::move(named));
}

void CControlNames::Forget(HWND control, Named& named) {
    ::RemoveWindowSubclass(control, &CControlNames::OnControlMessage, kSubclassId);
    // A screen reader may hold the element longer than the control lives.
    if (named.accessible) {
        named.accessible->Disconnect();
        named.accessible->Release();
        named.accessible = nullptr;
    }
    named.owner = nullptr;
}

LRESULT CALLBACK CControlNames::OnControlMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                 DWORD_PTR data) {
    Named& named = *reinterpret_cast<Named*>(data);
    if (message == WM_GETOBJECT && AsksForClient(lParam) && named.owner) {
        CAccessibility& accessibility = named.owner->m_accessibility;
        if (!named.accessible) {
            IAccessible* standard = accessibility.StandardObject(hWnd);
            if (!standard)
                return ::DefSubclassProc(hWnd, message, wParam, lParam);
            // No exception may leave a window procedure: without memory the
            // control is read as the system reads it.
            try {
                named.accessible = new CNamedAccessible(standard, hWnd, named.name);
            } catch (...) {
            }
            standard->Release();  // the element holds it
            if (!named.accessible)
                return ::DefSubclassProc(hWnd, message, wParam, lParam);
        }
        return accessibility.Answer(named.accessible, wParam);
    }
    if (message == WM_NCDESTROY)
        Forget(hWnd, named);
    return ::DefSubclassProc(hWnd, message, wParam, lParam);
}
