// The panel's primitives, which the paint replays, judged by what they put
// on the screen: which box shows which switch in which colour, the Z swap,
// labels centred, and at every display scale equal squares apart inside the
// panel, each arrow inside its box.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "display/panel_model.h"

namespace {

constexpr PanelColor kFace = PanelRgb(240, 240, 240);
constexpr PanelColor kText = PanelRgb(1, 2, 3);

std::vector<PanelPrimitive> Primitives(bool connected, const char* six, int invertZ = 0, int dpi = 96) {
    PanelSnapshot s = {connected, {}, invertZ, kFace, kText};
    for (int i = 0; i < 6; ++i)
        s.flags[i] = six[i] == '1';
    return PanelPrimitives(s, dpi);
}

// The boxes where the window shows them at 100 %: the cross's top, bottom,
// left and right, the Z column's top and bottom.
const PanelRect kBoxes[6] = {{190, 35, 224, 69}, {190, 115, 224, 149}, {150, 75, 184, 109},
                             {230, 75, 264, 109}, {300, 35, 334, 69},  {300, 115, 334, 149}};

// What shows in each box: the last fill drawn over it as G (set), R
// (clear), F (face), or x when no black arrow is drawn after it.
std::string Shown(const std::vector<PanelPrimitive>& list) {
    std::string shown;
    for (const PanelRect& box : kBoxes) {
        char c = 'x';
        for (const PanelPrimitive& p : list) {
            if (p.rect == box && p.kind == PanelPrimitive::Fill)
                c = p.color == kSetColor ? 'g' : p.color == kClearColor ? 'r' : p.color == kFace ? 'f' : '?';
            else if (p.rect == box && p.kind == PanelPrimitive::Triangle && p.color == kArrowColor && c != 'x')
                c = static_cast<char>(std::toupper(c));
        }
        shown.push_back(std::isupper(c) ? c : 'x');
    }
    return shown;
}

TEST(PanelModel, EachBoxShowsItsSwitch) {
    // Flags 2, 3, 0, 1 on the cross; 5 on top of the column and 4 (E0)
    // below it, unless swapped.
    const struct { bool connected; const char* flags; int invertZ; const char* shown; } rows[] = {
        {false, "111111", 0, "FFFFFF"}, {false, "000000", 1, "FFFFFF"}, {true, "000000", 0, "RRRRRR"},
        {true, "001000", 0, "GRRRRR"},  {true, "000100", 0, "RGRRRR"},  {true, "100000", 0, "RRGRRR"},
        {true, "010000", 0, "RRRGRR"},  {true, "000010", 0, "RRRRRG"},  {true, "000010", 1, "RRRRGR"},
        {true, "000001", 1, "RRRRRG"}};
    for (const auto& r : rows)
        EXPECT_EQ(r.shown, Shown(Primitives(r.connected, r.flags, r.invertZ)))
            << (r.connected ? "connected " : "not connected ") << r.flags << " swap " << r.invertZ;
    const auto list = Primitives(true, "000000");
    EXPECT_TRUE(list.front().kind == PanelPrimitive::Background && list.front().color == kFace) << "under everything";
    for (const PanelPrimitive& p : list)
        EXPECT_TRUE(p.kind != PanelPrimitive::Label || p.color == kText) << "labels in the system's text colour";
}

// A label's cell, as wide and high as a font makes it, has its middle on
// its square's middle, for every size.
TEST(PanelModel, LabelsCentredInTheirSquares) {
    const PanelRect square = {300, 75, 334, 109};
    for (int width = 1; width <= 34; ++width)
        for (int height = 1; height <= 34; ++height) {
            const PanelPoint o = LabelOrigin(square, width, height);
            ASSERT_LE(std::abs(2 * o.x + width - (square.left + square.right)), 2) << width << " x " << height;
            ASSERT_LE(std::abs(2 * o.y + height - (square.top + square.bottom)), 2) << width << " x " << height;
        }
}

// 100 %, 125 %, 150 %, 200 %: the panel and its boxes at the design's size
// times the scale to the nearest pixel; boxes and labels equal squares
// inside the panel and apart; each arrow inside its box, clear of its frame.
TEST(PanelModel, GeometryAtEachScale) {
    // At 100 % the arrows are the design's own, box by box.
    const PanelPoint design[6][3] = {{{207, 44}, {199, 60}, {215, 60}}, {{199, 124}, {215, 124}, {207, 140}},
                                     {{159, 92}, {175, 84}, {175, 100}}, {{239, 84}, {239, 100}, {255, 92}},
                                     {{317, 44}, {309, 60}, {325, 60}}, {{309, 124}, {325, 124}, {317, 140}}};
    for (const int dpi : {96, 120, 144, 192}) {
        const auto scaled = [dpi](int pixels) { return (pixels * dpi + 48) / 96; };
        const PanelRect panel = PanelRectAt(dpi);
        EXPECT_EQ((PanelRect{scaled(140), scaled(30), scaled(140) + scaled(204), scaled(30) + scaled(130)}), panel)
            << dpi;
        std::vector<PanelRect> squares;
        int arrows = 0;
        for (const PanelPrimitive& p : Primitives(true, "001000", 0, dpi)) {
            if (p.kind == PanelPrimitive::Fill || p.kind == PanelPrimitive::Label)
                squares.push_back(p.rect);
            if (p.kind == PanelPrimitive::RaisedFrame) {
                EXPECT_EQ(scaled(2), p.edge.outer + p.edge.inner) << dpi << " DPI: frame width";
                EXPECT_TRUE(p.edge.outer >= 1 && p.edge.inner >= p.edge.outer) << dpi;
            }
            if (p.kind != PanelPrimitive::Triangle)
                continue;
            ++arrows;
            for (const PanelPoint v : p.vertices)
                EXPECT_TRUE(v.x > p.rect.left + scaled(2) && v.x < p.rect.right - scaled(2) &&
                            v.y > p.rect.top + scaled(2) && v.y < p.rect.bottom - scaled(2))
                    << dpi << " DPI: arrow " << arrows << " leaves its box";
            const long box = std::find(kBoxes, kBoxes + 6, p.rect) - kBoxes;
            for (int i = 0; dpi == 96 && i < 3; ++i)
                EXPECT_TRUE(box < 6 && design[box][i] == p.vertices[i]) << "arrow " << arrows << " vertex " << i;
        }
        EXPECT_EQ(6, arrows) << dpi;
        ASSERT_EQ(8u, squares.size()) << dpi;
        for (size_t i = 0; i < squares.size(); ++i) {
            const PanelRect& r = squares[i];
            EXPECT_TRUE(r.right - r.left == scaled(34) && r.bottom - r.top == scaled(34)) << dpi << " DPI: " << i;
            EXPECT_TRUE(r.left >= panel.left && r.top >= panel.top && r.right <= panel.right && r.bottom <= panel.bottom)
                << dpi << " DPI: element " << i;
            for (size_t j = 0; j < i; ++j)
                EXPECT_FALSE(r.left < squares[j].right && squares[j].left < r.right && r.top < squares[j].bottom &&
                             squares[j].top < r.bottom)
                    << dpi << " DPI: elements " << j << " and " << i << " overlap";
        }
    }
}

}  // namespace
