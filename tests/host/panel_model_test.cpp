// The panel's primitives: colours, arrows, the Z swap and label placement,
// and the panel's geometry at the display scales Windows offers.
#include <gtest/gtest.h>

#include <string>

#include "display/panel_model.h"

namespace {

constexpr PanelColor kFace = PanelRgb(240, 240, 240);
constexpr PanelColor kText = PanelRgb(1, 2, 3);

PanelSnapshot Snapshot(bool connected, const char* six, int invertZ = 0) {
    PanelSnapshot s = {};
    s.connected = connected;
    for (int i = 0; i < 6; ++i)
        s.flags[i] = six[i] == '1';
    s.invertZ = invertZ;
    s.btnFace = kFace;
    s.btnText = kText;
    return s;
}

// Fill colours of the six boxes in drawing order, as G (set), R (clear), F (face).
std::string BoxColors(const PanelSnapshot& s) {
    std::string out;
    for (const PanelPrimitive& p : PanelPrimitives(s)) {
        if (p.kind != PanelPrimitive::Fill)
            continue;
        out += p.color == kSetColor ? 'G' : p.color == kClearColor ? 'R' : p.color == kFace ? 'F' : '?';
    }
    return out;
}

TEST(PanelModelTest, OrderIsBackgroundThenBoxesAndLabelsInTableOrder) {
    const auto list = PanelPrimitives(Snapshot(false, "000000"));
    std::string kinds;
    for (const PanelPrimitive& p : list)
        kinds += "BFrtL"[p.kind];
    EXPECT_EQ("B" "Frt" "Frt" "Frt" "Frt" "L" "Frt" "Frt" "L", kinds);
    EXPECT_EQ((PanelRect{140, 30, 344, 160}), list[0].rect);
    EXPECT_EQ(kFace, list[0].color);
    EXPECT_EQ(std::wstring(L"X/Y"), list[13].text);
    EXPECT_EQ(std::wstring(L"Z"), list[20].text);
    EXPECT_EQ((PanelRect{190, 75, 224, 109}), list[13].rect);
    EXPECT_EQ((PanelRect{300, 75, 334, 109}), list[20].rect);
}

TEST(PanelModelTest, NotConnectedIsFaceColouredWhateverTheFlags) {
    EXPECT_EQ("FFFFFF", BoxColors(Snapshot(false, "111111")));
    EXPECT_EQ("FFFFFF", BoxColors(Snapshot(false, "000000")));
}

TEST(PanelModelTest, ConnectedColoursFollowTheFlags) {
    EXPECT_EQ("RRRRRR", BoxColors(Snapshot(true, "000000")));
    // Boxes are drawn top, bottom, left, right, Z top, Z bottom.
    EXPECT_EQ("GRRRRR", BoxColors(Snapshot(true, "001000")));
    EXPECT_EQ("RRGRRR", BoxColors(Snapshot(true, "100000")));
    EXPECT_EQ("RRRGRR", BoxColors(Snapshot(true, "010000")));
    EXPECT_EQ("RGRRRR", BoxColors(Snapshot(true, "000100")));
}

TEST(PanelModelTest, ZSwapExchangesFlagsButNotArrows) {
    // Flag 4 (E0) is drawn below unless swapped.
    EXPECT_EQ("RRRRRG", BoxColors(Snapshot(true, "000010", 0)));
    EXPECT_EQ("RRRRGR", BoxColors(Snapshot(true, "000010", 1)));
    for (int invert : {0, 1}) {
        const auto list = PanelPrimitives(Snapshot(true, "000010", invert));
        // Z top triangle points up, Z bottom down, in both states.
        EXPECT_EQ((PanelPoint{317, 44}), list[16].vertices[0]);
        EXPECT_EQ((PanelPoint{317, 140}), list[19].vertices[2]);
    }
}

TEST(PanelModelTest, TriangleVerticesOfEveryBox) {
    struct Row {
        int primitive;
        PanelPoint v[3];
    };
    const Row rows[] = {
        {3, {{207, 44}, {199, 60}, {215, 60}}},     // cross top
        {6, {{199, 124}, {215, 124}, {207, 140}}},  // cross bottom
        {9, {{159, 92}, {175, 84}, {175, 100}}},    // cross left
        {12, {{239, 84}, {239, 100}, {255, 92}}},   // cross right
        {16, {{317, 44}, {309, 60}, {325, 60}}},    // column top
        {19, {{309, 124}, {325, 124}, {317, 140}}}, // column bottom
    };
    const auto list = PanelPrimitives(Snapshot(true, "000000"));
    for (const Row& row : rows) {
        ASSERT_EQ(PanelPrimitive::Triangle, list[row.primitive].kind);
        EXPECT_EQ(kArrowColor, list[row.primitive].color);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(row.v[i], list[row.primitive].vertices[i]) << "primitive " << row.primitive << " vertex " << i;
    }
}

TEST(PanelModelTest, OutOfRangeDirectionPointsRight) {
    PanelPoint right[3], odd[3];
    const PanelRect box = {230, 75, 264, 109};
    TriangleVertices(box, ArrowRight, right);
    for (int direction : {-1, 4, 1000}) {
        TriangleVertices(box, direction, odd);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(right[i], odd[i]) << "direction " << direction;
    }
}

TEST(PanelModelTest, LabelCentredByLeadingPlusAscent) {
    EXPECT_EQ((PanelPoint{313, 85}), LabelOrigin(PanelRect{300, 75, 334, 109}, 8, 15));
    // Odd halves truncate: width 21 and height 17 move by 10 and 8.
    EXPECT_EQ((PanelPoint{197, 84}), LabelOrigin(PanelRect{190, 75, 224, 109}, 21, 17));
}

// MulDiv's rounding: to the nearest pixel, halves away from zero.
TEST(DisplayScaleTest, ScalesByDpiOver96RoundingHalvesAway) {
    struct Row {
        int at96, dpi, expected;
    };
    const Row rows[] = {
        {140, 96, 140}, {34, 96, 34},   {-14, 96, -14},  {0, 192, 0},     {34, 120, 43},  {9, 120, 11},
        {2, 120, 3},    {14, 120, 18},  {-14, 120, -18}, {30, 120, 38},   {1, 144, 2},    {9, 144, 14},
        {35, 144, 53},  {-3, 144, -5},  {170, 144, 255}, {358, 192, 716}, {34, 168, 60},  {1, 120, 1},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.expected, ScalePixels(r.at96, r.dpi)) << r.at96 << " px at " << r.dpi << " DPI";
}

// One row per scale: 100 %, 125 %, 150 %, 200 %. Rectangles keep their
// corner and size scaled apart, so all boxes stay square and alike.
struct ScaleRow {
    int dpi;
    PanelRect panel;
    int boxSize;
    PanelRect crossTop, columnBottom, crossLabel;
    PanelPoint crossTopArrow[3];
    RaisedEdge edge;
};

const ScaleRow kScaleRows[] = {
    {96, {140, 30, 344, 160}, 34, {190, 35, 224, 69}, {300, 115, 334, 149}, {190, 75, 224, 109},
     {{207, 44}, {199, 60}, {215, 60}}, {1, 1}},
    {120, {175, 38, 430, 201}, 43, {238, 44, 281, 87}, {375, 144, 418, 187}, {238, 94, 281, 137},
     {{259, 55}, {249, 76}, {270, 76}}, {1, 2}},
    {144, {210, 45, 516, 240}, 51, {285, 53, 336, 104}, {450, 173, 501, 224}, {285, 113, 336, 164},
     {{310, 67}, {299, 90}, {322, 90}}, {1, 2}},
    {192, {280, 60, 688, 320}, 68, {380, 70, 448, 138}, {600, 230, 668, 298}, {380, 150, 448, 218},
     {{414, 88}, {398, 120}, {430, 120}}, {2, 2}},
};

bool Within(const PanelRect& inner, const PanelRect& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

bool Overlap(const PanelRect& a, const PanelRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

TEST(PanelScaleTest, PanelBoxesArrowsAndFramesAtEachScale) {
    for (const ScaleRow& row : kScaleRows) {
        SCOPED_TRACE(::testing::Message() << row.dpi << " DPI");
        EXPECT_EQ(row.panel, PanelRectAt(row.dpi));
        const auto list = PanelPrimitives(Snapshot(true, "001000"), row.dpi);
        ASSERT_EQ(21u, list.size());
        EXPECT_EQ(row.panel, list[0].rect) << "background";
        EXPECT_EQ(row.crossTop, list[1].rect);
        EXPECT_EQ(row.columnBottom, list[17].rect);
        EXPECT_EQ(row.crossLabel, list[13].rect) << "\"X/Y\"";
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(row.crossTopArrow[i], list[3].vertices[i]) << "vertex " << i;
        const RaisedEdge edge = RaisedEdgeAt(row.dpi);
        EXPECT_EQ(row.edge.outer, edge.outer);
        EXPECT_EQ(row.edge.inner, edge.inner);
    }
}

// What holds at every scale: boxes and labels are equal squares inside the
// panel and apart from each other; each arrow stays inside its box, clear of
// the raised frame, pointing its way.
TEST(PanelScaleTest, ElementsStayInsideThePanelAndApart) {
    for (const ScaleRow& row : kScaleRows) {
        SCOPED_TRACE(::testing::Message() << row.dpi << " DPI");
        const PanelRect panel = PanelRectAt(row.dpi);
        const auto elements = PanelElements(Snapshot(false, "000000"), row.dpi);
        ASSERT_EQ(8u, elements.size());
        for (size_t i = 0; i < elements.size(); ++i) {
            const PanelRect& r = elements[i].rect;
            EXPECT_EQ(row.boxSize, r.right - r.left) << "element " << i;
            EXPECT_EQ(row.boxSize, r.bottom - r.top) << "element " << i;
            EXPECT_TRUE(Within(r, panel)) << "element " << i;
            for (size_t j = 0; j < i; ++j)
                EXPECT_FALSE(Overlap(r, elements[j].rect)) << "elements " << j << " and " << i;
        }
        const int frame = RaisedEdgeAt(row.dpi).outer + RaisedEdgeAt(row.dpi).inner;
        for (const PanelElement& e : elements) {
            if (e.kind != PanelElement::Box)
                continue;
            PanelPoint v[3];
            TriangleVertices(e.rect, e.direction, v, row.dpi);
            const PanelRect clear = {e.rect.left + frame, e.rect.top + frame, e.rect.right - frame,
                                     e.rect.bottom - frame};
            for (const PanelPoint& p : v) {
                EXPECT_TRUE(p.x > clear.left && p.x < clear.right && p.y > clear.top && p.y < clear.bottom)
                    << "vertex (" << p.x << "," << p.y << ") of direction " << e.direction;
            }
            // The apex is the vertex passed first for up and left, last for
            // down and right; it lies beyond the other two the arrow's way.
            const PanelPoint apex = e.direction == ArrowUp || e.direction == ArrowLeft ? v[0] : v[2];
            const PanelPoint base = e.direction == ArrowUp || e.direction == ArrowLeft ? v[1] : v[0];
            if (e.direction == ArrowUp)
                EXPECT_LT(apex.y, base.y);
            else if (e.direction == ArrowDown)
                EXPECT_GT(apex.y, base.y);
            else if (e.direction == ArrowLeft)
                EXPECT_LT(apex.x, base.x);
            else
                EXPECT_GT(apex.x, base.x);
        }
    }
}

}  // namespace
