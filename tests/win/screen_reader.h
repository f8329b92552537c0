// A window read as a screen reader reads it through Microsoft Active
// Accessibility: the object of its client area, and that object's elements.
#pragma once

#include <windows.h>

#include <oleacc.h>

#include <string>
#include <vector>

struct ReadElement {
    std::wstring name, value;
    LONG role = 0, state = 0;
    RECT at = {};  // on the screen
};

// One element of an object (CHILDID_SELF: the object itself).
ReadElement ReadOf(IAccessible* object, LONG child);
// hWnd's client object, then, when asked for, its simple elements as
// AccessibleChildren lists them; empty when the window gives no object.
std::vector<ReadElement> ReadWindow(HWND hWnd, bool elementsToo = false);
// The switch panel's own window in the dialog: the one of the framework's class.
inline HWND PanelWindow(HWND dialog) { return ::FindWindowExW(dialog, nullptr, L"AfxWnd", nullptr); }

// Expects dialog's switch panel, painted at dpi, read as a grouping "Limit
// switches" whose six elements lie at the boxes' places, named apart, each
// saying by its value and state what `says` gives in the boxes' order (S
// set, C clear, N not read). Returns the elements' values.
std::vector<std::wstring> ExpectPanelSays(HWND dialog, int dpi, const char* says);
