// The names a screen reader reads for the controls that Windows' standard
// objects would name wrongly: the port list (named after its own text under
// Wine, and its label follows it in the template) and the serial-number
// field (named after the nearest label before it, the port list's). Each
// control keeps everything else its standard object says: role, state, its
// value (the port chosen, the serial number). No text is added to the
// window. Used on the user-interface thread.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/afx_accessible.h"

class CControlNames {
public:
    CControlNames() = default;
    ~CControlNames();
    CControlNames(const CControlNames&) = delete;
    CControlNames& operator=(const CControlNames&) = delete;

    // From now on a screen reader reads control by this name.
    void Name(HWND control, const wchar_t* name);

private:
    struct Named {
        CControlNames* owner;
        std::wstring name;
        CAccessibleProxy* accessible;  // one reference, made at the first question
    };
    static LRESULT CALLBACK OnControlMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                             UINT_PTR id, DWORD_PTR data);
    static void Forget(HWND control, Named& named);

    CAccessibility m_accessibility;
    std::vector<std::pair<HWND, std::unique_ptr<Named>>> m_named;
};
