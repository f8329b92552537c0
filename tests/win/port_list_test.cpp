// The port list of the real dialog, filled through the real SetupAPI from
// Ports devices registered in the test prefix (Wine lists every registered
// device as present, so presence is not exercised): what the user does, and
// the entries and the selection it leaves.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/resource.h"
#include "serial/port_names.h"
#include "tests/win/tool_fixture.h"

namespace {

class PortListTest;

struct ListRow {
    const char* name;
    std::function<void(PortListTest&)> act;
    std::vector<std::wstring> entries;  // in the list's order; COM11 is there from the start
    const wchar_t* selected;
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
};

const std::wstring kFullName = L"COM" + std::wstring(253, L'7');  // all 512 bytes, no NUL

const ListRow kRows[] = {
    {"NoDevicesLeavesRefreshAlone", [](PortListTest& t) { t.devices_.Remove(0), t.ChoosePort(L"Refresh..."); },
     {L"Refresh..."}, L"Refresh..."},
    {"PortsByTextRefreshLastFirstChosen",
     [](PortListTest& t) {
         t.Add(L"COM3"), t.Add(L"COM1"), t.Add(L"COM2");
         t.ChoosePort(L"Refresh...");
     },
     {L"COM1", L"COM11", L"COM2", L"COM3", L"Refresh..."}, L"COM1"},
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
     {L"COM%WINDIR%", L"COM11", L"COM5", L"com6", kFullName, L"Refresh..."}, L"COM%WINDIR%"},
    {"ChosenPortKeptByARefill",
     [](PortListTest& t) {
         t.Add(L"COM3"), t.ChoosePort(L"Refresh..."), t.ChoosePort(L"COM3");
         t.Refill();
     },
     {L"COM11", L"COM3", L"Refresh..."}, L"COM3"},
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
     {L"COM4", L"Refresh..."}, L"COM4"},
    {"ChoosingAPortDoesNotRefill", [](PortListTest& t) { t.Add(L"COM2"), t.ChoosePort(L"COM11"); },
     {L"COM11", L"Refresh..."}, L"COM11"},
};

TEST_P(PortListTest, EntriesAndSelection) {
    ASSERT_NO_FATAL_FAILURE(GetParam().act(*this));
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
}

INSTANTIATE_TEST_SUITE_P(Rows, PortListTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<ListRow>& info) { return std::string(info.param.name); });

}  // namespace
