#include "bench/screen_watch.h"

#include <algorithm>

#include "bench/clock_map.h"
#include "bench/screen.h"

Sighting ScreenWatch::Panel(HWND hWnd, const std::string& before, const std::string& expected, int timeoutMs) {
    return Watch(
        hWnd,
        [&](const PixelCapture& c) {
            if (PanelDifferences(c, PanelExpectation{true, expected, false}).empty())
                return 1;
            return PanelDifferences(c, PanelExpectation{true, before, false}).empty() ? 0 : -1;
        },
        timeoutMs);
}

Sighting ScreenWatch::Change(HWND hWnd, const PixelCapture& before, int timeoutMs) {
    RECT client;
    ::GetClientRect(hWnd, &client);
    return Watch(
        hWnd,
        [&](const PixelCapture& c) {
            for (int y = 0; y < client.bottom; ++y) {
                for (int x = 0; x < client.right; ++x) {
                    if (c.At(x, y) != before.At(x, y))
                        return 1;
                }
            }
            return 0;
        },
        timeoutMs);
}

Sighting ScreenWatch::Watch(HWND hWnd, const std::function<int(const PixelCapture&)>& picture, int timeoutMs) {
    Sighting s;
    const double end = QpcNowUs() + timeoutMs * 1000.0;
    double previous = 0;
    for (;;) {
        const double t0 = QpcNowUs();
        const PixelCapture capture = PixelCapture::OfScreen(hWnd);
        const double at = (t0 + QpcNowUs()) / 2;
        if (previous > 0)
            gapsUs_.push_back(at - previous);
        const int shown = picture(capture);
        if (shown == 1) {
            // On the very first capture the change came at some unknown
            // moment before it; place it there, with no bound.
            s.seen = true;
            s.atUs = previous > 0 ? (previous + at) / 2 : at;
            s.halfGapUs = previous > 0 ? (at - previous) / 2 : 0;
            return s;
        }
        if (shown < 0)
            ++s.others;
        if (at > end)
            return s;
        previous = at;
        ::Sleep(1);
    }
}

double ScreenWatch::MedianGapMs() const {
    if (gapsUs_.empty())
        return 0;
    std::vector<double> gaps = gapsUs_;
    std::nth_element(gaps.begin(), gaps.begin() + static_cast<long>(gaps.size() / 2), gaps.end());
    return gaps[gaps.size() / 2] / 1000.0;
}
