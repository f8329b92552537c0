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
    CAccessibility::Forget(named.accessible);
    named.owner = nullptr;
}

LRESULT CALLBACK CControlNames::OnControlMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                                 DWORD_PTR data) {
    Named& named = *reinterpret_cast<Named*>(data);
    if (message == WM_GETOBJECT && AsksForClient(lParam) && named.owner) {
        // Without oleacc or memory the control is read as the system reads it.
        if (const LRESULT answer = named.owner->m_accessibility.Answer(
                named.accessible, hWnd, wParam,
                [&](IAccessible* standard) { return new CNamedAccessible(standard, hWnd, named.name); }))
            return answer;
    }
    if (message == WM_NCDESTROY)
        Forget(hWnd, named);
    return ::DefSubclassProc(hWnd, message, wParam, lParam);
}
