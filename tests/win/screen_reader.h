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

// The read of one element (child 0: the object itself) of an object.
ReadElement ReadOf(IAccessible* object, LONG child);

// hWnd's client object and, when asked for, its elements as
// AccessibleChildren lists them; error says what failed, empty when all
// could be read.
struct ReadWindow {
    explicit ReadWindow(HWND hWnd, bool elementsToo = false);
    ReadElement self;
    std::vector<ReadElement> elements;
    std::string error;
};

// The switch panel's own window in the dialog.
HWND PanelWindow(HWND dialog);

// Expects the switch panel of dialog, painted at dpi, read as a screen
// reader reads it: a grouping "Limit switches" whose six elements lie at the
// boxes' places, named apart, each saying what `says` gives in the boxes'
// order (S set, C clear, N not read) by its value and its state. Returns
// what the elements say.
std::vector<std::wstring> ExpectPanelSays(HWND dialog, int dpi, const char* says);
