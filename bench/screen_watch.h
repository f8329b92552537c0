// Watching another program's window on the screen, as its user sees it:
// when its switch panel turns to a state, or when a control's pixels change.
// Captures follow each other about every millisecond (each one an image of
// the window read from the X server), so a change is placed within about
// half a millisecond on this side's QueryPerformanceCounter.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class PixelCapture;

struct Sighting {
    bool seen = false;     // the awaited picture came before the time-out
    double atUs = 0;       // QpcNowUs() midway between the last capture without it and the first with it
    double halfGapUs = 0;  // half the time between those two captures
    int others = 0;        // captures that showed neither the picture before nor the awaited one
};

class ScreenWatch {
public:
    // Until the panel of window hWnd shows the switch characters `expected`
    // (connected, Swap Z clear). A capture that shows neither `before` nor
    // `expected` counts in `others`.
    Sighting Panel(HWND hWnd, const std::string& before, const std::string& expected, int timeoutMs);
    // Until the client area of hWnd differs anywhere from `before`.
    Sighting Change(HWND hWnd, const PixelCapture& before, int timeoutMs);

    // Median time between two captures so far, in ms.
    double MedianGapMs() const;

private:
    // picture(capture): 1 the awaited one, 0 the one before, -1 another.
    Sighting Watch(HWND hWnd, const std::function<int(const PixelCapture&)>& picture, int timeoutMs);

    std::vector<double> gapsUs_;
};
