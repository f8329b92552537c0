// The panel's primitives, which the paint replays: order, colours, the Z
// swap, arrows and labels, at each display scale Windows offers.
#include <gtest/gtest.h>

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

// The kinds in order (B background, F fill, r raised frame, t triangle,
// L label) and the six fills as G (set), R (clear), F (face).
std::string Kinds(const std::vector<PanelPrimitive>& list) {
    std::string kinds;
    for (const PanelPrimitive& p : list)
        kinds += "BFrtL"[p.kind];
    return kinds;
}

std::string Fills(const std::vector<PanelPrimitive>& list) {
    std::string out;
    for (const PanelPrimitive& p : list) {
        if (p.kind == PanelPrimitive::Fill)
            out += p.color == kSetColor ? 'G' : p.color == kClearColor ? 'R' : p.color == kFace ? 'F' : '?';
    }
    return out;
}

TEST(PanelModel, OrderColoursAndSwap) {
    EXPECT_EQ("B" "Frt" "Frt" "Frt" "Frt" "L" "Frt" "Frt" "L", Kinds(Primitives(false, "000000")));
    // Boxes are drawn cross top, bottom, left, right, then Z top, Z bottom;
    // flags 2, 3, 0, 1, then 5 and 4 (E0 below) unless swapped.
    struct Row {
        bool connected;
        const char* flags;
        int invertZ;
        const char* fills;
    };
    const Row rows[] = {
        {false, "111111", 0, "FFFFFF"}, {false, "000000", 1, "FFFFFF"}, {true, "000000", 0, "RRRRRR"},
        {true, "001000", 0, "GRRRRR"},  {true, "000100", 0, "RGRRRR"},  {true, "100000", 0, "RRGRRR"},
        {true, "010000", 0, "RRRGRR"},  {true, "000010", 0, "RRRRRG"},  {true, "000010", 1, "RRRRGR"},
        {true, "000001", 1, "RRRRRG"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.fills, Fills(Primitives(r.connected, r.flags, r.invertZ)))
            << (r.connected ? "connected " : "not connected ") << r.flags << " swap " << r.invertZ;
    const auto list = Primitives(true, "000000");
    EXPECT_EQ(kFace, list[0].color);
    EXPECT_EQ(kText, list[13].color);
    EXPECT_EQ(std::wstring(L"X/Y"), list[13].text);
    EXPECT_EQ(std::wstring(L"Z"), list[20].text);
}

TEST(PanelModel, LabelCentredByLeadingPlusAscent) {
    EXPECT_EQ((PanelPoint{313, 85}), LabelOrigin(PanelRect{300, 75, 334, 109}, 8, 15));
    // Odd halves truncate: width 21 and height 17 move by 10 and 8.
    EXPECT_EQ((PanelPoint{197, 84}), LabelOrigin(PanelRect{190, 75, 224, 109}, 21, 17));
}

bool Overlap(const PanelRect& a, const PanelRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// One row per scale: 100 %, 125 %, 150 %, 200 %. At 96 every figure is the
// design's; at every scale boxes and labels are equal squares inside the
// panel and apart, and each arrow stays inside its box clear of the frame.
TEST(PanelModel, GeometryAtEachScale) {
    struct Row {
        int dpi;
        PanelRect panel, crossTop, columnBottom, crossLabel;
        PanelPoint arrows[6][3];  // cross top, bottom, left, right, column top, bottom
        RaisedEdge edge;
    };
    const Row rows[] = {
        {96, {140, 30, 344, 160}, {190, 35, 224, 69}, {300, 115, 334, 149}, {190, 75, 224, 109},
         {{{207, 44}, {199, 60}, {215, 60}}, {{199, 124}, {215, 124}, {207, 140}}, {{159, 92}, {175, 84}, {175, 100}},
          {{239, 84}, {239, 100}, {255, 92}}, {{317, 44}, {309, 60}, {325, 60}}, {{309, 124}, {325, 124}, {317, 140}}},
         {1, 1}},
        {120, {175, 38, 430, 201}, {238, 44, 281, 87}, {375, 144, 418, 187}, {238, 94, 281, 137},
         {{{259, 55}, {249, 76}, {270, 76}}}, {1, 2}},
        {144, {210, 45, 516, 240}, {285, 53, 336, 104}, {450, 173, 501, 224}, {285, 113, 336, 164},
         {{{310, 67}, {299, 90}, {322, 90}}}, {1, 2}},
        {192, {280, 60, 688, 320}, {380, 70, 448, 138}, {600, 230, 668, 298}, {380, 150, 448, 218},
         {{{414, 88}, {398, 120}, {430, 120}}}, {2, 2}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.dpi << " DPI");
        const auto list = Primitives(true, "001000", 0, row.dpi);
        ASSERT_EQ(21u, list.size());
        EXPECT_EQ(row.panel, PanelRectAt(row.dpi));
        EXPECT_EQ(row.panel, list[0].rect);
        EXPECT_EQ(row.crossTop, list[1].rect);
        EXPECT_EQ(row.columnBottom, list[17].rect);
        EXPECT_EQ(row.crossLabel, list[13].rect);
        EXPECT_EQ(row.edge.outer, list[2].edge.outer);
        EXPECT_EQ(row.edge.inner, list[2].edge.inner);
        int box = 0;
        std::vector<PanelRect> squares;
        for (const PanelPrimitive& p : list) {
            if (p.kind == PanelPrimitive::Fill || p.kind == PanelPrimitive::Label)
                squares.push_back(p.rect);
            if (p.kind != PanelPrimitive::Triangle)
                continue;
            const int frame = row.edge.outer + row.edge.inner;
            for (int i = 0; i < 3; ++i) {
                const PanelPoint v = p.vertices[i];
                if (row.arrows[box][0].x != 0) {
                    EXPECT_EQ(row.arrows[box][i], v) << "arrow " << box << " vertex " << i;
                }
                EXPECT_TRUE(v.x > p.rect.left + frame && v.x < p.rect.right - frame && v.y > p.rect.top + frame &&
                            v.y < p.rect.bottom - frame)
                    << "arrow " << box << " vertex " << i;
            }
            ++box;
        }
        for (size_t i = 0; i < squares.size(); ++i) {
            const PanelRect& r = squares[i];
            EXPECT_EQ(r.right - r.left, row.crossTop.right - row.crossTop.left) << "element " << i;
            EXPECT_EQ(r.bottom - r.top, r.right - r.left) << "element " << i;
            EXPECT_TRUE(r.left >= row.panel.left && r.top >= row.panel.top && r.right <= row.panel.right &&
                        r.bottom <= row.panel.bottom)
                << "element " << i;
            for (size_t j = 0; j < i; ++j)
                EXPECT_FALSE(Overlap(r, squares[j])) << "elements " << j << " and " << i;
        }
    }
}

}  // namespace
