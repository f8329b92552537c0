// The port list of the real dialog, driven as a user drives it (keys,
// typed characters, the pointer) and filled through the real SetupAPI from
// Ports devices registered in the test prefix, with Windows' notice of
// devices coming and going (Wine lists every registered device as present,
// so presence is not exercised): the entries, the field and the tool tip
// each row leaves.
#include <gtest/gtest.h>

#include <windows.h>

#include <dbt.h>

#include <functional>
#include <string>
#include <vector>

#include "app/resource.h"
#include "tests/win/tool_fixture.h"

namespace {

class PortListTest;

std::wstring NoName(const wchar_t* port) { return std::wstring(port) + L": Windows records no name for the device behind this port"; }
const std::wstring kUsb3 = L"USB Serial Port (COM3), made by FTDI";
const std::vector<std::wstring> k11And3 = {L"COM11", L"COM3", L"Refresh..."};

struct ListRow {
    const char* name;
    std::function<void(PortListTest&)> act;
    std::vector<std::wstring> entries;  // in the list's order; COM11 is there from the start
    const wchar_t* field;               // the text in the list's field
    std::wstring tip;                   // the list's tool tip for it
};

void PrintTo(const ListRow& row, std::ostream* os) { *os << row.name; }

class PortListTest : public ToolTest, public ::testing::WithParamInterface<ListRow> {
public:
    void Add(const std::wstring& name) { ASSERT_TRUE(devices_.Add(name)) << devices_.LastError(); }
    void AddNamed(const wchar_t* port, const std::wstring& friendlyName, const wchar_t* maker) {
        ASSERT_TRUE(devices_.Add(PortDevice{port, friendlyName, maker})) << devices_.LastError();
    }
    // Windows tells that a port came: this carries a pointer, so it is sent
    // from within the program's own process.
    void PortArrived(const wchar_t* name) {
        std::vector<BYTE> bytes(sizeof(DEV_BROADCAST_PORT_W) + 16 * sizeof(wchar_t));
        auto* port = reinterpret_cast<DEV_BROADCAST_PORT_W*>(bytes.data());
        port->dbcp_size = static_cast<DWORD>(bytes.size());
        port->dbcp_devicetype = DBT_DEVTYP_PORT;
        wcsncpy(port->dbcp_name, name, 16);
        ::SendMessageW(main_, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(port));
    }
    // An FTDI adapter on COM3 plugged in and listed beside COM11.
    void PlugUsb3() {
        AddNamed(L"COM3", L"USB Serial Port (COM3)", L"FTDI");
        Listed(3);
    }
    void FieldBecomes(const std::wstring& text) {
        ASSERT_TRUE(WaitUntil([&] { return Text(IDC_PORT_COMBO) == text; }, 3000))
            << "the field shows " << Narrow(Text(IDC_PORT_COMBO));
    }
    static std::string Narrow(const std::wstring& s) { return std::string(s.begin(), s.end()); }
};

const std::wstring kFullName = L"COM" + std::wstring(253, L'7');  // all 512 bytes, no NUL
const std::wstring kLongName = L"USB Serial Converter with a name far longer than a buffer of 256 characters holds " +
                               std::wstring(220, L'x') + L" (COM4)";

const ListRow kRows[] = {
    // Which values name a port is the host's to show; here, that each
    // registry value reaches those rules whole, each name is one entry, and
    // no name is listed whose number opens another port.
    {"EachPortOnceWhateverItsDevicesHold",
     [](PortListTest& t) {
         t.Add(L"COM5"), t.Add(L"COM5"), t.Add(L"com5"), t.Add(L"COM03"), t.Add(L"COM3A"), t.Add(L"COMX");
         ASSERT_TRUE(t.devices_.AddValue(REG_SZ, kFullName.data(), 512));
         ASSERT_TRUE(t.devices_.AddWithoutValue() && t.devices_.AddWithoutKey()) << t.devices_.LastError();
         t.Add(L"COM12345678"), t.Listed(5);
     },
     {L"COM11", L"COM12345678", L"com5", L"COM5", L"Refresh..."}, L"COM11", NoName(L"COM11")},
    {"NoPortsLeaveRefreshAlone", [](PortListTest& t) { ASSERT_TRUE(t.devices_.Remove(0)); t.Listed(1); },
     {L"Refresh..."}, L"Refresh...", L"Reads the COM ports present again"},
    {"RefreshChosenWithAKeyReadsThePortsAgainAndShowsTheFirst",
     [](PortListTest& t) { t.Add(L"COM3"), t.Add(L"COM1"), t.PressKey(VK_DOWN); },  // from COM11 to "Refresh..."
     {L"COM1", L"COM11", L"COM3", L"Refresh..."}, L"COM1", NoName(L"COM1")},
    {"KeyPickNamesItsDevice", [](PortListTest& t) { t.PlugUsb3(), t.PressKey(VK_DOWN); }, k11And3, L"COM3", kUsb3},
    {"PointerPickNamesItsDevice", [](PortListTest& t) { t.PlugUsb3(); ASSERT_TRUE(t.PickPort(L"COM3")); }, k11And3,
     L"COM3", kUsb3},
    {"F4ThenKeysThenEnterNamesItsDevice",
     [](PortListTest& t) { t.PlugUsb3(), t.PressKey(VK_F4), t.PressKey(VK_DOWN), t.PressKey(VK_RETURN); }, k11And3,
     L"COM3", kUsb3},
    {"AltDownOnTypedTextThenEnterNamesWhatTheListPutsInTheField",
     [](PortListTest& t) {
         t.PlugUsb3();
         ASSERT_TRUE(t.PickPort(L"COM3"));
         // "COM1" typed over it; opening the list puts the first entry that
         // begins so into the field, without a word to the dialog.
         t.PressKey(VK_END), t.TypeText(L"\b1"), t.FieldBecomes(L"COM1");
         t.PressKey(VK_DOWN, true), t.PressKey(VK_RETURN);
     },
     k11And3, L"COM11", NoName(L"COM11")},
    {"TypingNamesWhatTheFieldShows",
     [](PortListTest& t) { t.PlugUsb3(), t.PressKey(VK_END), t.TypeText(L"\b\b3"), t.FieldBecomes(L"COM3"); }, k11And3,
     L"COM3", kUsb3},
    {"ToolTipNamesADeviceWhateverTheLengthOfItsName",
     [](PortListTest& t) {
         t.AddNamed(L"COM4", kLongName, L"FTDI");
         ASSERT_TRUE(t.devices_.Remove(0));  // COM11 goes: COM4 is shown
         t.Listed(2);
     },
     {L"COM4", L"Refresh..."}, L"COM4", kLongName + L", made by FTDI"},
    {"ChoosingRefreshWithThePointerFallsBackToTheFirst",
     [](PortListTest& t) {
         t.PlugUsb3();
         ASSERT_TRUE(t.PickPort(L"COM3") && t.PickPort(L"Refresh...", L"COM11"));
     },
     k11And3, L"COM11", NoName(L"COM11")},

    // --- Adapters plugged in and pulled out while the tool runs
    {"PluggedInShowsUp", [](PortListTest& t) { t.Add(L"COM3"), t.PortArrived(L"COM3"); }, k11And3, L"COM11",
     NoName(L"COM11")},
    {"ChosenPortKeptWhenAnotherComes",
     [](PortListTest& t) {
         t.PlugUsb3();
         ASSERT_TRUE(t.PickPort(L"COM3"));
         t.Add(L"COM1");
         t.Listed(4);
     },
     {L"COM1", L"COM11", L"COM3", L"Refresh..."}, L"COM3", kUsb3},
    {"PluggedInWhileConnected",
     [](PortListTest& t) {
         t.Connect("10000001");
         t.Add(L"COM3"), t.Listed(3);
         t.ExpectFollows("01000010");  // the connection untouched
     },
     k11And3, L"COM11", NoName(L"COM11")},
    {"PluggedInWhileTheListIsDroppedDown",
     [](PortListTest& t) {
         t.PressKey(VK_F4);
         const HWND combo = ::GetDlgItem(t.main_, IDC_PORT_COMBO);
         ASSERT_TRUE(WaitUntil([&] { return ::SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0) != 0; }, 3000));
         t.Add(L"COM3");
         const int settled = t.dlg_->m_devicesSettled;
         t.PortArrived(L"COM3");
         // Once the tool has acted on the notice, the list under the
         // pointer is still as it was.
         ASSERT_TRUE(WaitUntil([&] { return t.dlg_->m_devicesSettled > settled; }, 3000));
         EXPECT_EQ((std::vector<std::wstring>{L"COM11", L"Refresh..."}), t.Entries()) << "refilled under the pointer";
         t.PressKey(VK_ESCAPE);
     },
     k11And3, L"COM11", NoName(L"COM11")},
};

TEST_P(PortListTest, EntriesFieldAndToolTip) {
    const ListRow& row = GetParam();
    row.act(*this);
    if (HasFatalFailure())
        return;
    EXPECT_TRUE(WaitUntil([&] { return Entries() == row.entries; }, 3000));
    std::vector<std::wstring> texts;
    for (int i = 0; i < static_cast<int>(row.entries.size()); ++i) {
        const DWORD_PTR data = OnUi<DWORD_PTR>([&] { return dlg_->m_portCombo.GetItemData(i); });
        EXPECT_EQ(row.entries[static_cast<size_t>(i)] == L"Refresh..." ? 1u : 0u, data) << "item data of entry " << i;
    }
    EXPECT_EQ(row.entries, Entries());
    FieldBecomes(row.field);
    // What the field shows, the tip says: at once, not one event late.
    EXPECT_TRUE(WaitUntil([&] { return PortTip() == row.tip; }, 2000)) << "the tip says " << Narrow(PortTip());
}

INSTANTIATE_TEST_SUITE_P(Rows, PortListTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<ListRow>& info) { return std::string(info.param.name); });

}  // namespace
