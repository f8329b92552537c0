// The panel's primitives, which the paint replays, judged by what they put
// on the screen: which box shows which switch in which colour, the Z swap,
// labels centred in their squares, and at every display scale boxes that
// are equal, apart and inside the panel, each with its arrow inside it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "display/panel_model.h"

namespace {

constexpr PanelColor kFace = PanelRgb(240, 240, 240);
constexpr PanelColor kText = PanelRgb(1, 2, 3);

std::vector<PanelPrimitive> Primitives(bool connected, const char* six, int invertZ = 0, int dpi = 96) {
    PanelSnapshot s = {};
    s.connected = connected;
    for (int i = 0; i < 6; ++i)
        s.flags[i] = six[i] == '1';
    s.invertZ = invertZ;
    s.btnFace = kFace;
    s.btnText = kText;
    return PanelPrimitives(s, dpi);
}

// The boxes where the window shows them at 100 %: the cross (top, bottom,
// left, right) and the Z column (top, bottom).
const PanelRect kBoxes[6] = {{190, 35, 224, 69},   {190, 115, 224, 149}, {150, 75, 184, 109},
                             {230, 75, 264, 109},  {300, 35, 334, 69},   {300, 115, 334, 149}};

// The last fill drawn over each box, as G (set), R (clear), F (face): what
// shows, whatever the order the list draws in. The arrow must come after it.
std::string Shown(const std::vector<PanelPrimitive>& list) {
    std::string shown;
    for (const PanelRect& box : kBoxes) {
        char c = '-';
        bool arrowOnTop = false;
        for (const PanelPrimitive& p : list) {
            if (!(p.rect == box))
                continue;
            if (p.kind == PanelPrimitive::Fill) {
                c = p.color == kSetColor ? 'G' : p.color == kClearColor ? 'R' : p.color == kFace ? 'F' : '?';
                arrowOnTop = false;
            } else if (p.kind == PanelPrimitive::Triangle) {
                arrowOnTop = p.color == kArrowColor;
            }
        }
        shown.push_back(arrowOnTop ? c : 'x');
    }
    return shown;
}

TEST(PanelModel, EachBoxShowsItsSwitch) {
    // Flags 2, 3, 0, 1 on the cross; 5 on top of the column and 4 (E0)
    // below it, unless swapped.
    struct Row {
        bool connected;
        const char* flags;
        int invertZ;
        const char* shown;
    };
    const Row rows[] = {
        {false, "111111", 0, "FFFFFF"}, {false, "000000", 1, "FFFFFF"}, {true, "000000", 0, "RRRRRR"},
        {true, "001000", 0, "GRRRRR"},  {true, "000100", 0, "RGRRRR"},  {true, "100000", 0, "RRGRRR"},
        {true, "010000", 0, "RRRGRR"},  {true, "000010", 0, "RRRRRG"},  {true, "000010", 1, "RRRRGR"},
        {true, "000001", 1, "RRRRRG"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.shown, Shown(Primitives(r.connected, r.flags, r.invertZ)))
            << (r.connected ? "connected " : "not connected ") << r.flags << " swap " << r.invertZ;
    const auto list = Primitives(true, "000000");
    EXPECT_EQ(PanelPrimitive::Background, list.front().kind) << "the background first, under everything";
    EXPECT_EQ(kFace, list.front().color);
}

// The label's ink, a cell textWidth wide and leadingPlusAscent high from
// its origin, has its middle on the square's middle, for every size a font
// may give.
TEST(PanelModel, LabelsCentredInTheirSquares) {
    const PanelRect square = {300, 75, 334, 109};
    for (int width = 1; width <= 34; ++width) {
        for (int height = 1; height <= 34; ++height) {
            const PanelPoint o = LabelOrigin(square, width, height);
            EXPECT_LE(std::abs(2 * o.x + width - (square.left + square.right)), 2) << width << " x " << height;
            EXPECT_LE(std::abs(2 * o.y + height - (square.top + square.bottom)), 2) << width << " x " << height;
        }
    }
    for (const PanelPrimitive& p : Primitives(true, "000000")) {
        if (p.kind == PanelPrimitive::Label) {
            EXPECT_EQ(kText, p.color) << "labels in the system's text colour";
        }
    }
}

bool Overlap(const PanelRect& a, const PanelRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// 100 %, 125 %, 150 %, 200 %: the panel and its boxes at the design's size
// times the scale, to the nearest pixel; boxes and labels equal squares
// inside the panel and apart; each arrow inside its box, clear of the frame.
TEST(PanelModel, GeometryAtEachScale) {
    for (const int dpi : {96, 120, 144, 192}) {
        const auto scaled = [dpi](int pixels) { return (pixels * dpi + 48) / 96; };
        const auto list = Primitives(true, "001000", 0, dpi);
        const PanelRect panel = PanelRectAt(dpi);
        EXPECT_EQ(panel, list.front().rect) << dpi;
        EXPECT_EQ(scaled(140), panel.left) << dpi;
        EXPECT_EQ(scaled(30), panel.top) << dpi;
        EXPECT_EQ(scaled(204), panel.right - panel.left) << dpi;
        EXPECT_EQ(scaled(130), panel.bottom - panel.top) << dpi;
        std::vector<PanelRect> squares;
        int arrows = 0;
        for (const PanelPrimitive& p : list) {
            if (p.kind == PanelPrimitive::Fill || p.kind == PanelPrimitive::Label)
                squares.push_back(p.rect);
            if (p.kind == PanelPrimitive::RaisedFrame) {
                EXPECT_EQ(scaled(2), p.edge.outer + p.edge.inner) << dpi << " DPI: frame width";
                EXPECT_GE(p.edge.outer, 1) << dpi;
                EXPECT_GE(p.edge.inner, p.edge.outer) << dpi;
            }
            if (p.kind != PanelPrimitive::Triangle)
                continue;
            ++arrows;
            const int frame = scaled(2);
            for (const PanelPoint v : p.vertices) {
                EXPECT_TRUE(v.x > p.rect.left + frame && v.x < p.rect.right - frame && v.y > p.rect.top + frame &&
                            v.y < p.rect.bottom - frame)
                    << dpi << " DPI: arrow " << arrows << " leaves its box";
            }
        }
        EXPECT_EQ(6, arrows) << dpi;
        ASSERT_EQ(8u, squares.size()) << dpi;
        for (size_t i = 0; i < squares.size(); ++i) {
            const PanelRect& r = squares[i];
            EXPECT_EQ(scaled(34), r.right - r.left) << dpi << " DPI: element " << i;
            EXPECT_EQ(r.bottom - r.top, r.right - r.left) << dpi << " DPI: element " << i;
            EXPECT_TRUE(r.left >= panel.left && r.top >= panel.top && r.right <= panel.right &&
                        r.bottom <= panel.bottom)
                << dpi << " DPI: element " << i;
            for (size_t j = 0; j < i; ++j)
                EXPECT_FALSE(Overlap(r, squares[j])) << dpi << " DPI: elements " << j << " and " << i;
        }
    }
    // At 100 % the arrows are the design's own.
    const auto list = Primitives(true, "000000");
    const PanelPoint expected[6][3] = {{{207, 44}, {199, 60}, {215, 60}}, {{199, 124}, {215, 124}, {207, 140}},
                                       {{159, 92}, {175, 84}, {175, 100}}, {{239, 84}, {239, 100}, {255, 92}},
                                       {{317, 44}, {309, 60}, {325, 60}}, {{309, 124}, {325, 124}, {317, 140}}};
    for (int box = 0; box < 6; ++box) {
        for (const PanelPrimitive& p : list) {
            if (p.kind != PanelPrimitive::Triangle || !(p.rect == kBoxes[box]))
                continue;
            for (int i = 0; i < 3; ++i)
                EXPECT_EQ(expected[box][i], p.vertices[i]) << "box " << box << " vertex " << i;
        }
    }
}

}  // namespace
