#include "display/panel_model.h"

bool operator==(const PanelRect& a, const PanelRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool operator==(const PanelPoint& a, const PanelPoint& b) { return a.x == b.x && a.y == b.y; }

namespace {

// Every box is 34 x 34; the arrow keeps 9 pixels from the box's edges.
constexpr int kArrowInset = 9;
// The raised frame is 2 pixels wide: one outer and one inner ring.
constexpr int kRaisedEdgeWidth = 2;

constexpr PanelRect kCrossTop = {190, 35, 224, 69};
constexpr PanelRect kCrossBottom = {190, 115, 224, 149};
constexpr PanelRect kCrossLeft = {150, 75, 184, 109};
constexpr PanelRect kCrossRight = {230, 75, 264, 109};
constexpr PanelRect kCrossLabel = {190, 75, 224, 109};
constexpr PanelRect kColumnTop = {300, 35, 334, 69};
constexpr PanelRect kColumnBottom = {300, 115, 334, 149};
constexpr PanelRect kColumnLabel = {300, 75, 334, 109};

enum ArrowDirection { ArrowUp = 0, ArrowDown = 1, ArrowLeft = 2, ArrowRight = 3 };

// One of the panel's eight elements, in drawing order.
struct PanelElement {
    enum Kind { Box, Label } kind;
    PanelRect rect;
    int direction;         // boxes: ArrowDirection
    PanelColor color;      // boxes: fill; labels: text colour
    const wchar_t* text;   // labels: "X/Y" or "Z"; boxes: their name
    BoxShows shows;        // boxes
};

PanelRect ScaleRect(const PanelRect& r, int dpi) {
    const int left = ScalePixels(r.left, dpi), top = ScalePixels(r.top, dpi);
    return {left, top, left + ScalePixels(r.right - r.left, dpi), top + ScalePixels(r.bottom - r.top, dpi)};
}

std::vector<PanelElement> PanelElements(const PanelSnapshot& s, int dpi) {
    auto box = [&s, dpi](const PanelRect& rect, int direction, int flag, const wchar_t* name) {
        const BoxShows shows = !s.connected ? BoxShows::NotRead : (flag != 0 ? BoxShows::Set : BoxShows::Clear);
        const PanelColor color = !s.connected ? s.btnFace : (flag != 0 ? kSetColor : kClearColor);
        return PanelElement{PanelElement::Box, ScaleRect(rect, dpi), direction, color, name, shows};
    };
    auto label = [&s, dpi](const PanelRect& rect, const wchar_t* text) {
        return PanelElement{PanelElement::Label, ScaleRect(rect, dpi), 0, s.btnText, text, BoxShows::NotRead};
    };
    // The arrows stay with their boxes; the swap only exchanges the flags.
    const int zTop = s.invertZ != 0 ? s.flags[4] : s.flags[5];
    const int zBottom = s.invertZ != 0 ? s.flags[5] : s.flags[4];
    return {
        box(kCrossTop, ArrowUp, s.flags[2], L"X/Y up"),
        box(kCrossBottom, ArrowDown, s.flags[3], L"X/Y down"),
        box(kCrossLeft, ArrowLeft, s.flags[0], L"X/Y left"),
        box(kCrossRight, ArrowRight, s.flags[1], L"X/Y right"),
        label(kCrossLabel, L"X/Y"),
        box(kColumnTop, ArrowUp, zTop, L"Z up"),
        box(kColumnBottom, ArrowDown, zBottom, L"Z down"),
        label(kColumnLabel, L"Z"),
    };
}

// A direction outside 0..3 points right.
void TriangleVertices(const PanelRect& b, int direction, PanelPoint v[3], int dpi) {
    const int cx = (b.left + b.right) / 2;
    const int cy = (b.top + b.bottom) / 2;
    const int inset = ScalePixels(kArrowInset, dpi);
    const int l = b.left + inset, r = b.right - inset;
    const int t = b.top + inset, bo = b.bottom - inset;
    switch (direction) {
    case ArrowUp:
        v[0] = {cx, t}, v[1] = {l, bo}, v[2] = {r, bo};
        break;
    case ArrowDown:
        v[0] = {l, t}, v[1] = {r, t}, v[2] = {cx, bo};
        break;
    case ArrowLeft:
        v[0] = {l, cy}, v[1] = {r, t}, v[2] = {r, bo};
        break;
    default:
        v[0] = {l, t}, v[1] = {l, bo}, v[2] = {r, cy};
        break;
    }
}

}  // namespace

PanelRect PanelRectAt(int dpi) { return ScaleRect(kPanelRect, dpi); }

RaisedEdge RaisedEdgeAt(int dpi) {
    const int width = ScalePixels(kRaisedEdgeWidth, dpi);
    return {width / 2, width - width / 2};
}

PanelPoint LabelOrigin(const PanelRect& b, int textWidth, int internalLeadingPlusAscent) {
    return {(b.left + b.right) / 2 - textWidth / 2, (b.top + b.bottom) / 2 - internalLeadingPlusAscent / 2};
}

const wchar_t* BoxShowsText(BoxShows shows) {
    switch (shows) {
    case BoxShows::Set:
        return L"set";
    case BoxShows::Clear:
        return L"clear";
    default:
        return L"not read";
    }
}

std::vector<PanelBox> PanelBoxes(const PanelSnapshot& snapshot, int dpi) {
    std::vector<PanelBox> boxes;
    for (const PanelElement& e : PanelElements(snapshot, dpi)) {
        if (e.kind == PanelElement::Box)
            boxes.push_back({e.rect, e.text, e.shows});
    }
    return boxes;
}

std::vector<PanelPrimitive> PanelPrimitives(const PanelSnapshot& snapshot, int dpi) {
    std::vector<PanelPrimitive> list;
    list.push_back({PanelPrimitive::Background, PanelRectAt(dpi), snapshot.btnFace, {}, nullptr, {}});
    for (const PanelElement& e : PanelElements(snapshot, dpi)) {
        if (e.kind == PanelElement::Label) {
            list.push_back({PanelPrimitive::Label, e.rect, e.color, {}, e.text, {}});
            continue;
        }
        list.push_back({PanelPrimitive::Fill, e.rect, e.color, {}, nullptr, {}});
        list.push_back({PanelPrimitive::RaisedFrame, e.rect, 0, {}, nullptr, RaisedEdgeAt(dpi)});
        PanelPrimitive triangle = {PanelPrimitive::Triangle, e.rect, kArrowColor, {}, nullptr, {}};
        TriangleVertices(e.rect, e.direction, triangle.vertices, dpi);
        list.push_back(triangle);
    }
    return list;
}
