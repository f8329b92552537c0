// Reading the switch panel back in pixels: where its boxes, arrows and
// labels are, what each box should show, and a copy of a window's client
// area to look at. Figures are at 96 DPI (100 %); the functions that take a
// dpi give them at that display scale.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

constexpr COLORREF kGreen = RGB(0, 190, 0);
constexpr COLORREF kRed = RGB(220, 0, 0);
constexpr COLORREF kBlack = RGB(0, 0, 0);

enum Direction { Up, Down, Left, Right };

// One switch box: where it is, where its arrow points, and which flag it
// shows with "Swap Z axis" clear and checked.
struct SwitchBox {
    const char* name;
    RECT rect;
    Direction direction;
    int flag;
    int swappedFlag;
};
extern const SwitchBox kBoxes[6];

struct Label {
    const char* text;
    RECT rect;
};
extern const Label kLabels[2];

constexpr RECT kPanel = {140, 30, 344, 160};

// A figure at dpi: grown by dpi / 96 and rounded, as MulDiv rounds. A
// rectangle's corner and size scale apart, as the tool scales them.
int Scaled(int pixelsAt96, int dpi);
RECT Scaled(const RECT& at96, int dpi);

bool Inside(const RECT& r, int x, int y);
std::string ColorText(COLORREF c);

// A window's client area copied out in one go, so that one check looks at
// one painted state.
class PixelCapture {
public:
    // From the window's own DC (a window of this process).
    static PixelCapture OfClient(HWND hWnd);
    // From the screen at the window's place (any process's window).
    static PixelCapture OfScreen(HWND hWnd);

    // CLR_INVALID outside the client area.
    COLORREF At(int x, int y) const;

private:
    PixelCapture(HDC source, POINT origin, int width, int height);

    int width_ = 0, height_ = 0;
    std::vector<std::uint32_t> pixels_;
};

struct Probe {
    int x, y;
};

// Points of a box that show its fill: near the top-left corner, and the two
// corners of the arrow's square on the side it points to, which a triangle
// pointing elsewhere would cover.
std::vector<Probe> FillProbes(const SwitchBox& box);
// Points of a box that show its arrow: the triangle's centroid, just inside
// its apex, and the middle of its base.
std::vector<Probe> ArrowProbes(const SwitchBox& box);
// The same points for a box of kBoxes as the panel shows it at dpi.
std::vector<Probe> FillProbes(const SwitchBox& box, int dpi);
std::vector<Probe> ArrowProbes(const SwitchBox& box, int dpi);

// What the panel should show.
struct PanelExpectation {
    bool connected;
    std::string switches;  // the controller's characters
    bool swapped;

    COLORREF Fill(const SwitchBox& box) const;
};

// Every difference between the captured panel and the expectation, one per
// line; empty when the panel is right.
std::string PanelDifferences(const PixelCapture& c, const PanelExpectation& e);
// The same for a panel painted at dpi.
std::string PanelDifferences(const PixelCapture& c, const PanelExpectation& e, int dpi);
