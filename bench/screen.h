// A window as its user sees it: its text, its pixels, and the switch panel
// in them, placed by the panel model at the window's display scale. Used by
// the bench, which watches the screen for a switch change, and by the tests.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A window's client area copied out in one go, so that one check looks at
// one painted state.
class PixelCapture {
public:
    // From the screen at the window's place (any process's window).
    static PixelCapture OfScreen(HWND hWnd);

    // CLR_INVALID outside the client area.
    COLORREF At(int x, int y) const;

private:
    PixelCapture(HDC source, POINT origin, int width, int height);

    int width_ = 0, height_ = 0;
    std::vector<std::uint32_t> pixels_;
};

// What the panel should show: not connected (grey), or the switch
// characters ('1' set) with "Swap Z axis" clear or checked.
struct PanelExpectation {
    bool connected;
    std::string switches;
    bool swapped = false;
};

// Every difference between the captured panel, painted at dpi, and the
// expectation: each box's fill near its four corners and its black arrow
// near its three corners and its middle. One line each; empty when right.
std::string PanelDifferences(const PixelCapture& capture, const PanelExpectation& expected, int dpi = 96);

std::string ColorText(COLORREF c);
// A window's text as the window reports it (also another process's controls).
std::wstring WindowText(HWND hWnd);
// Waits until fn() holds, checking every 10 ms; false on timeout.
bool WaitUntil(const std::function<bool()>& fn, int timeoutMs);
