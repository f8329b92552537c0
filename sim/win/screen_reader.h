// A window of the tool read as a screen reader reads it through Microsoft
// Active Accessibility, from any process of the prefix: the object of its
// client area and that object's elements. For the demo, which says what a
// screen reader reads of the panel, and the tests. The calling thread runs
// COM, as a screen reader's does.
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
