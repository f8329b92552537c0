// The port list of the real dialog, filled through the real SetupAPI from
// Ports devices registered in the test prefix (Wine lists every registered
// device as present, so presence is not exercised): what the user does and
// what Windows reports of devices coming and going, and the entries, the
// selection and the tool tip it leaves.
#include <gtest/gtest.h>

#include <windows.h>

#include <dbt.h>

#include <functional>
#include <string>
#include <vector>

#include "app/resource.h"
#include "serial/port_names.h"
#include "tests/win/tool_fixture.h"

namespace {

class PortListTest;

std::wstring NoName(const wchar_t* port) { return std::wstring(port) + L": Windows records no name for the device behind this port"; }

struct ListRow {
    const char* name;
    std::function<void(PortListTest&)> act;
    std::vector<std::wstring> entries;  // in the list's order; COM11 is there from the start
    const wchar_t* selected;            // the text in the list's field
    std::wstring tip = NoName(L"COM11");  // the list's tool tip
};

void PrintTo(const ListRow& row, std::ostream* os) { *os << row.name; }

class PortListTest : public ToolTest, public ::testing::WithParamInterface<ListRow> {
public:
    void Add(const std::wstring& name) { ASSERT_TRUE(devices_.Add(name)) << devices_.LastError(); }
    void AddValue(DWORD type, const void* data, size_t bytes) {
        PortDevice device;
        device.type = type;
        device.raw.assign(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + bytes);
        ASSERT_TRUE(devices_.Add(device)) << devices_.LastError();
    }
    void Refill() { dlg_->RunOnUi([this] { dlg_->RefreshPortList(); }); }
    void AddNamed(const wchar_t* port, const wchar_t* friendlyName, const wchar_t* maker) {
        PortDevice device;
        device.portName = port;
        device.friendlyName = friendlyName;
        device.maker = maker;
        ASSERT_TRUE(devices_.Add(device)) << devices_.LastError();
    }
    // Windows tells every top-level window that devices changed.
    static void DevicesChanged() {
        DWORD_PTR result = 0;
        ::SendMessageTimeoutW(HWND_BROADCAST, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0, SMTO_ABORTIFHUNG, 2000, &result);
    }
    // ... or that a port came or went; this carries a pointer, so it is
    // sent from within the program's own process.
    void PortChanged(UINT event, const wchar_t* name) {
        std::vector<BYTE> bytes(sizeof(DEV_BROADCAST_PORT_W) + 16 * sizeof(wchar_t));
        auto* port = reinterpret_cast<DEV_BROADCAST_PORT_W*>(bytes.data());
        port->dbcp_size = static_cast<DWORD>(bytes.size());
        port->dbcp_devicetype = DBT_DEVTYP_PORT;
        wcsncpy(port->dbcp_name, name, 16);
        ::SendMessageW(main_, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(port));
    }
    std::vector<std::wstring> Entries() {
        return OnUi<std::vector<std::wstring>>([this] {
            std::vector<std::wstring> list;
            for (int i = 0; i < dlg_->m_portCombo.GetCount(); ++i) {
                CString text;
                dlg_->m_portCombo.GetLBText(i, text);
                list.push_back(text);
            }
            return list;
        });
    }
    std::wstring PortTip() {
        return OnUi<std::wstring>([this] {
            wchar_t text[256] = {};
            TTTOOLINFOW tool = {};
            tool.cbSize = sizeof(tool);
            tool.hwnd = main_;
            tool.uId = reinterpret_cast<UINT_PTR>(dlg_->m_portCombo.m_hWnd);
            tool.lpszText = text;
            ::SendMessageW(dlg_->m_toolTip.GetSafeHwnd(), TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
            return std::wstring(text);
        });
    }
};

const std::wstring kFullName = L"COM" + std::wstring(253, L'7');  // all 512 bytes, no NUL

const ListRow kRows[] = {
    {"NoDevicesLeavesRefreshAlone", [](PortListTest& t) { t.devices_.Remove(0), t.ChoosePort(L"Refresh..."); },
     {L"Refresh..."}, L"Refresh...", L"Reads the COM ports present again"},
    {"PortsByTextRefreshLastFirstChosen",
     [](PortListTest& t) {
         t.Add(L"COM3"), t.Add(L"COM1"), t.Add(L"COM2");
         t.ChoosePort(L"Refresh...");
     },
     {L"COM1", L"COM11", L"COM2", L"COM3", L"Refresh..."}, L"COM1", NoName(L"COM1")},
    {"OnlyComNamesOfStringTypesOnceEach",
     [](PortListTest& t) {
         t.Add(L"COM5"), t.Add(L"COM5"), t.Add(L"LPT1"), t.Add(L"com6");
         const wchar_t multi[] = L"COM7\0COM8\0";
         t.AddValue(REG_MULTI_SZ, multi, sizeof multi);
         const DWORD number = 7;
         t.AddValue(REG_DWORD, &number, sizeof number);
         const wchar_t expand[] = L"COM%WINDIR%";  // taken as it stands
         t.AddValue(REG_EXPAND_SZ, expand, sizeof expand);
         t.AddValue(REG_SZ, kFullName.data(), 512);
         PortDevice noValue, noKey;
         noValue.hasValue = false;
         noKey.hasKey = false;
         ASSERT_TRUE(t.devices_.Add(noValue) && t.devices_.Add(noKey)) << t.devices_.LastError();
         t.ChoosePort(L"Refresh...");
     },
     {L"COM%WINDIR%", L"COM11", L"COM5", L"com6", kFullName, L"Refresh..."}, L"COM%WINDIR%", NoName(L"COM%WINDIR%")},
    {"ChosenPortKeptByARefill",
     [](PortListTest& t) {
         t.Add(L"COM3"), t.ChoosePort(L"Refresh..."), t.ChoosePort(L"COM3");
         t.Refill();
     },
     {L"COM11", L"COM3", L"Refresh..."}, L"COM3", NoName(L"COM3")},
    {"ChoosingRefreshFallsBackToTheFirst",
     [](PortListTest& t) {
         t.Add(L"COM3"), t.ChoosePort(L"Refresh..."), t.ChoosePort(L"COM3");
         t.ChoosePort(L"Refresh...");
     },
     {L"COM11", L"COM3", L"Refresh..."}, L"COM11"},
    {"ChosenPortThatVanishedFallsBack",
     [](PortListTest& t) {
         t.devices_.Remove(0), t.Add(L"COM4");
         t.Refill();
     },
     {L"COM4", L"Refresh..."}, L"COM4", NoName(L"COM4")},
    {"ChoosingAPortDoesNotRefill", [](PortListTest& t) { t.Add(L"COM2"), t.ChoosePort(L"COM11"); },
     {L"COM11", L"Refresh..."}, L"COM11"},

    // --- Adapters plugged in and pulled out while the tool runs
    {"PluggedInShowsUp",
     [](PortListTest& t) {
         t.AddNamed(L"COM3", L"USB Serial Port (COM3)", L"FTDI");
         t.PortChanged(DBT_DEVICEARRIVAL, L"COM3");
     },
     {L"COM11", L"COM3", L"Refresh..."}, L"COM11"},
    {"ChosenPortKeptWhenAnotherComes",
     [](PortListTest& t) {
         t.AddNamed(L"COM3", L"USB Serial Port (COM3)", L"FTDI");
         t.ChoosePort(L"Refresh..."), t.ChoosePort(L"COM3");
         t.Add(L"COM1");
         t.DevicesChanged();
     },
     {L"COM1", L"COM11", L"COM3", L"Refresh..."}, L"COM3", L"USB Serial Port (COM3), made by FTDI"},
    {"ChosenPortPulledOutFallsBack",
     [](PortListTest& t) {
         t.Add(L"COM3"), t.ChoosePort(L"Refresh..."), t.ChoosePort(L"COM3");
         t.devices_.Remove(1);
         t.PortChanged(DBT_DEVICEREMOVECOMPLETE, L"COM3");
     },
     {L"COM11", L"Refresh..."}, L"COM11"},
    {"PluggedInWhileConnected",
     [](PortListTest& t) {
         t.Connect("10000001");
         t.Add(L"COM3");
         t.DevicesChanged();
         ASSERT_TRUE(WaitUntil([&] { return t.Entries().size() == 3; }, 3000));
         t.ExpectFollows("01000010");  // the connection untouched
     },
     {L"COM11", L"COM3", L"Refresh..."}, L"COM11"},
    {"PluggedInWhileTheListIsDroppedDown",
     [](PortListTest& t) {
         const HWND combo = ::GetDlgItem(t.main_, IDC_PORT_COMBO);
         ::SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
         t.Add(L"COM3");
         t.PortChanged(DBT_DEVICEARRIVAL, L"COM3");
         ::Sleep(1000);
         EXPECT_EQ((std::vector<std::wstring>{L"COM11", L"Refresh..."}), t.Entries()) << "refilled under the pointer";
         ::SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
     },
     {L"COM11", L"COM3", L"Refresh..."}, L"COM11"},
    {"TypedTextStaysThroughARefill",
     [](PortListTest& t) {
         ::SetWindowTextW(::GetWindow(::GetDlgItem(t.main_, IDC_PORT_COMBO), GW_CHILD), L"COM7");
         t.Add(L"COM3");
         t.DevicesChanged();
     },
     {L"COM11", L"COM3", L"Refresh..."}, L"COM7", L"Choose the controller's COM port"},
    {"ToolTipNamesTheDeviceWithoutMaker",
     [](PortListTest& t) {
         t.AddNamed(L"COM4", L"Bluetooth Link (COM4)", L"");
         t.ChoosePort(L"Refresh..."), t.ChoosePort(L"COM4");
     },
     {L"COM11", L"COM4", L"Refresh..."}, L"COM4", L"Bluetooth Link (COM4)"},
};

TEST_P(PortListTest, EntriesSelectionAndToolTip) {
    GetParam().act(*this);
    if (HasFatalFailure())
        return;
    // A device change is acted on a few hundred milliseconds later.
    WaitUntil([this] { return Entries() == GetParam().entries; }, 3000);
    struct Entry {
        std::wstring text;
        DWORD_PTR data;
    };
    const auto entries = OnUi<std::vector<Entry>>([this] {
        std::vector<Entry> list;
        for (int i = 0; i < dlg_->m_portCombo.GetCount(); ++i) {
            CString text;
            dlg_->m_portCombo.GetLBText(i, text);
            list.push_back({text, dlg_->m_portCombo.GetItemData(i)});
        }
        return list;
    });
    std::vector<std::wstring> texts;
    for (const Entry& e : entries) {
        texts.push_back(e.text);
        EXPECT_EQ(e.text == L"Refresh..." ? REFRESH_ITEM_DATA : 0u, e.data) << "item data of " << e.text.size();
    }
    EXPECT_EQ(GetParam().entries, texts);
    EXPECT_EQ(GetParam().selected, Text(IDC_PORT_COMBO));
    EXPECT_EQ(GetParam().tip, PortTip());
}

INSTANTIATE_TEST_SUITE_P(Rows, PortListTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<ListRow>& info) { return std::string(info.param.name); });

}  // namespace
