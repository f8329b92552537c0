// The display scale. Every pixel figure of the window and its panel is
// given as at 100 % (96 dots per inch); at the system's scale it grows by
// dpi / 96, rounded to the nearest pixel with halves away from zero, as
// Windows' MulDiv rounds. Portable: no Win32.
#pragma once

constexpr int kBaseDpi = 96;

// pixelsAt96 at dpi (> 0). At 96 every figure is unchanged.
constexpr int ScalePixels(int pixelsAt96, int dpi) {
    const long long product = static_cast<long long>(pixelsAt96) * dpi;
    const long long half = kBaseDpi / 2;
    return static_cast<int>(product >= 0 ? (product + half) / kBaseDpi : -((-product + half) / kBaseDpi));
}
