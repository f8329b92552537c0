// The port list's rules as rows: the state before, one event, the state
// after. Ports come as Windows reports them (serial/ports_present.h).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/port_list_model.h"

namespace {

const PresentPort kCom1 = {u"COM1", u"Communications Port (COM1)", u"(Standard port types)"};
const PresentPort kCom3 = {u"COM3", u"USB Serial Port (COM3)", u"FTDI"};
const PresentPort kCom7 = {u"COM7", u"Bluetooth Link (COM7)", u""};
const PresentPort kCom23 = {u"COM23", u"", u"ACME"};
const std::u16string kChoose = u"Choose the controller's COM port";
const std::u16string kTip1 = u"Communications Port (COM1), made by (Standard port types)";
const std::u16string kTip3 = u"USB Serial Port (COM3), made by FTDI";
const std::u16string kRefreshTip = u"Reads the COM ports present again";

struct Row {
    const char* name;
    // Builds the state before on a list of COM1 and COM3 (COM1 shown), then acts; what the last event returned.
    std::function<bool(PortListModel&)> act;
    bool refillDue;
    std::u16string field;
    int selected;
    std::u16string chosen;
    std::u16string tip;
};

const Row kRows[] = {
    {"FirstFillShowsTheFirstPort", [](PortListModel&) { return false; }, false, u"COM1", 0, u"COM1", kTip1},
    {"NoPortsLeaveRefreshAlone", [](PortListModel& m) { return m.Refill({}), false; }, false, u"Refresh...", 0, u"",
     kRefreshTip},
    {"PickedPortIsChosen", [](PortListModel& m) { return m.Picked(u"COM3"); }, false, u"COM3", 1, u"COM3", kTip3},
    {"PickingRefreshAsksForARefill", [](PortListModel& m) { return m.Picked(u"COM3"), m.Picked(u"Refresh..."); }, true,
     u"Refresh...", 2, u"", kRefreshTip},
    {"RefillAfterRefreshShowsTheFirstPort",
     [](PortListModel& m) { return m.Picked(u"COM3"), m.Picked(u"Refresh..."), m.Refill({kCom1, kCom3}), false; },
     false, u"COM1", 0, u"COM1", kTip1},
    {"TypedTextChoosesNothing", [](PortListModel& m) { return m.FieldShows(u"COM7"), false; }, false, u"COM7", -1, u"",
     kChoose},
    {"TypedListedNameChoosesItWhateverTheCase", [](PortListModel& m) { return m.FieldShows(u"com3"), false; }, false,
     u"com3", -1, u"COM3", kTip3},
    {"ClearedFieldChoosesNothing", [](PortListModel& m) { return m.FieldShows(u""), false; }, false, u"", -1, u"",
     kChoose},
    {"TypedTextStaysThroughARefillChoosingNothing",
     [](PortListModel& m) { return m.FieldShows(u"COM7"), m.Refill({kCom1, kCom3, kCom23}), false; }, false, u"COM7",
     -1, u"", kChoose},
    {"TypedNameThatComesIsChosen",
     [](PortListModel& m) { return m.FieldShows(u"com7"), m.Refill({kCom1, kCom3, kCom7}), false; }, false, u"COM7",
     2, u"COM7", u"Bluetooth Link (COM7)"},
    {"ChosenPortStaysThroughARefill",
     [](PortListModel& m) { return m.Picked(u"COM3"), m.Refill({kCom1, kCom23, kCom3}), false; }, false, u"COM3", 2,
     u"COM3", kTip3},
    {"ChosenPortThatWentFallsBackToTheFirst",
     [](PortListModel& m) { return m.Picked(u"COM3"), m.Refill({kCom23, kCom1}), false; }, false, u"COM23", 0,
     u"COM23", u"COM23: Windows records no name for the device behind this port"},
    {"ClearedFieldGetsTheFirstPortAtARefill", [](PortListModel& m) { return m.FieldShows(u""), m.Refill({kCom3}), false; },
     false, u"COM3", 0, u"COM3", kTip3},
    {"NamesApartByCaseAloneEachChosenExactly",
     [](PortListModel& m) {
         return m.Refill({{u"COM5", u"Upper", u""}, {u"com5", u"Lower", u""}}), m.FieldShows(u"com5"), false;
     },
     false, u"com5", 1, u"com5", u"Lower"},
    {"DevicesChangedWithTheListClosedRefillsAtOnce", [](PortListModel& m) { return m.DevicesChanged(false); }, true,
     u"COM1", 0, u"COM1", kTip1},
    {"DevicesChangedWithTheListOpenWaitsForItToClose",
     [](PortListModel& m) { return !m.DevicesChanged(true) && m.ListClosed() && !m.ListClosed(); }, true, u"COM1", 0,
     u"COM1", kTip1},
    {"ListClosedWithNothingWaitingRefillsNothing", [](PortListModel& m) { return m.ListClosed(); }, false, u"COM1", 0,
     u"COM1", kTip1}};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

class PortListRules : public ::testing::TestWithParam<Row> {};

TEST_P(PortListRules, StateAfterTheEvent) {
    const Row& row = GetParam();
    PortListModel model;
    model.Refill({kCom1, kCom3});
    EXPECT_EQ(row.refillDue, row.act(model));
    EXPECT_EQ(row.field, model.Field());
    EXPECT_EQ(row.selected, model.Selected());
    EXPECT_EQ(row.chosen, model.Chosen());
    EXPECT_EQ(row.tip, model.Tip());
    ASSERT_FALSE(model.Entries().empty());
    EXPECT_EQ(u"Refresh...", model.Entries().back()) << "the refresh entry comes last";
}

INSTANTIATE_TEST_SUITE_P(Rows, PortListRules, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

}  // namespace
