// The switch panel as a pure function of a snapshot of the dialog's state:
// the layout, arrow and colour rules, and the ordered drawing primitives.
// Portable: no Win32. Coordinates are client pixels; rectangles are
// (left, top, right, bottom) with the right and bottom edges outside.
#pragma once

#include <cstdint>
#include <vector>

// A colour laid out as a Windows COLORREF: 0x00BBGGRR.
using PanelColor = std::uint32_t;

constexpr PanelColor PanelRgb(unsigned r, unsigned g, unsigned b) { return r | (g << 8) | (b << 16); }

constexpr PanelColor kSetColor = PanelRgb(0, 190, 0);    // flag set, connected
constexpr PanelColor kClearColor = PanelRgb(220, 0, 0);  // flag clear, connected
constexpr PanelColor kArrowColor = PanelRgb(0, 0, 0);

struct PanelRect {
    int left, top, right, bottom;
};

struct PanelPoint {
    int x, y;
};

bool operator==(const PanelRect& a, const PanelRect& b);
bool operator==(const PanelPoint& a, const PanelPoint& b);

// The panel's place in the client area and its size.
constexpr int kPanelLeft = 140;
constexpr int kPanelTop = 30;
constexpr int kPanelWidth = 204;
constexpr int kPanelHeight = 130;
constexpr PanelRect kPanelRect = {kPanelLeft, kPanelTop, kPanelLeft + kPanelWidth, kPanelTop + kPanelHeight};

enum ArrowDirection { ArrowUp = 0, ArrowDown = 1, ArrowLeft = 2, ArrowRight = 3 };

// What the panel shows, read under the state lock.
struct PanelSnapshot {
    bool connected;       // m_connected == 1
    int flags[6];         // m_switch[0..5]; 6 and 7 are never shown
    int invertZ;          // non-zero: m_switch[4] (E0) in the top Z box
    PanelColor btnFace;   // COLOR_BTNFACE: not connected, and the background
    PanelColor btnText;   // COLOR_BTNTEXT: the labels
};

// One of the panel's eight elements, in drawing order.
struct PanelElement {
    enum Kind { Box, Label } kind;
    PanelRect rect;
    int direction;         // boxes: ArrowDirection
    PanelColor color;      // boxes: fill; labels: text colour
    const wchar_t* text;   // labels: "X/Y" or "Z"
};

std::vector<PanelElement> PanelElements(const PanelSnapshot& snapshot);

// The triangle of a box, in the order its vertices are passed; a direction
// outside 0..3 points right.
void TriangleVertices(const PanelRect& box, int direction, PanelPoint vertices[3]);

// Top-left of a label's text cell, centred on the box; the vertical centring
// uses internal leading plus ascent, not the cell height.
PanelPoint LabelOrigin(const PanelRect& box, int textWidth, int internalLeadingPlusAscent);

// A drawing step. Boxes expand into fill, raised frame and triangle.
struct PanelPrimitive {
    enum Kind { Background, Fill, RaisedFrame, Triangle, Label } kind;
    PanelRect rect;
    PanelColor color;
    PanelPoint vertices[3];  // Triangle only
    const wchar_t* text;     // Label only
};

std::vector<PanelPrimitive> PanelPrimitives(const PanelSnapshot& snapshot);
