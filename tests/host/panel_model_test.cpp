// The panel's primitives: colours, arrows, the Z swap and label placement.
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

}  // namespace
