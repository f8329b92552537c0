// The switch panel as a pure function of a snapshot of the dialog's state
// and of the display scale: the layout, arrow and colour rules, and the
// ordered drawing primitives. Portable: no Win32. Coordinates are client
// pixels; rectangles are (left, top, right, bottom) with the right and
// bottom edges outside. Figures are given at 96 DPI; the functions that
// take a dpi scale them (display/display_scale.h) and at 96 give them as is.
#pragma once

#include <cstdint>
#include <vector>

#include "display/display_scale.h"

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

// The panel's place in the client area and its size, at 96 DPI.
constexpr int kPanelLeft = 140;
constexpr int kPanelTop = 30;
constexpr int kPanelWidth = 204;
constexpr int kPanelHeight = 130;
constexpr PanelRect kPanelRect = {kPanelLeft, kPanelTop, kPanelLeft + kPanelWidth, kPanelTop + kPanelHeight};

// The panel's rectangle in the client area at dpi.
PanelRect PanelRectAt(int dpi);

// Widths in pixels of the two rings of a box's raised frame: the outer one
// (light top-left, darkest bottom-right) and the inner one (highlight,
// shadow). One pixel each at 96 DPI; at other scales the frame's scaled
// width is shared out, the odd pixel going to the inner ring.
struct RaisedEdge {
    int outer, inner;
};
RaisedEdge RaisedEdgeAt(int dpi);

// What the panel shows, read under the state lock.
struct PanelSnapshot {
    bool connected;       // m_connected == 1
    int flags[6];         // m_switch[0..5]; 6 and 7 are never shown
    int invertZ;          // non-zero: m_switch[4] (E0) in the top Z box
    PanelColor btnFace;   // COLOR_BTNFACE: not connected, and the background
    PanelColor btnText;   // COLOR_BTNTEXT: the labels
};

// Top-left of a label's text cell, centred on the box; the vertical centring
// uses internal leading plus ascent, not the cell height.
PanelPoint LabelOrigin(const PanelRect& box, int textWidth, int internalLeadingPlusAscent);

// What a box shows, in the words a screen reader says (BoxShowsText):
// "not read" while it is grey, else "set" (green) or "clear" (red).
enum class BoxShows { NotRead, Set, Clear };
const wchar_t* BoxShowsText(BoxShows shows);

// A switch box as a screen reader meets it: its place, its name (what a
// sighted user sees of it: its group's label and its arrow's direction,
// e.g. "X/Y up", "Z down") and what it shows.
struct PanelBox {
    PanelRect rect;
    const wchar_t* name;
    BoxShows shows;
};

// The six boxes in the order a screen reader numbers them from 1: the
// cross's top, bottom, left and right boxes, then the column's top and
// bottom, which show what the Z swap puts there, as their colours do.
std::vector<PanelBox> PanelBoxes(const PanelSnapshot& snapshot, int dpi = kBaseDpi);

// A drawing step. Boxes expand into fill, raised frame and triangle; a
// triangle's vertices come in the order they are passed.
struct PanelPrimitive {
    enum Kind { Background, Fill, RaisedFrame, Triangle, Label } kind;
    PanelRect rect;
    PanelColor color;
    PanelPoint vertices[3];  // Triangle only
    const wchar_t* text;     // Label only
    RaisedEdge edge;         // RaisedFrame only
};

// The panel in drawing order: the background, then the cross's four boxes,
// its label "X/Y", the column's two boxes and its label "Z". The paint
// replays exactly this list. Rectangles and points are scaled to dpi: a
// rectangle's corner and size scale apart, so the boxes stay square and alike.
std::vector<PanelPrimitive> PanelPrimitives(const PanelSnapshot& snapshot, int dpi = kBaseDpi);
