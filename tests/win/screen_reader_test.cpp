// The dialog as a screen reader reads it, in the dialog's own process (where
// Wine's MSAA works): the switch panel's six elements, what each says as the
// switches change, the events it raises, heard as they are raised, and the
// names of the controls.
#include <gtest/gtest.h>

#include <windows.h>

#include <oleacc.h>

#include <functional>
#include <string>
#include <vector>

#include "app/resource.h"
#include "display/panel_model.h"
#include "tests/win/tool_fixture.h"

namespace {

// Each event the panel raised for an element, and what the element said
// when the event was heard: inside the raising call, on the window's thread.
std::vector<std::pair<LONG, std::wstring>> g_heard;
HWND g_panel = nullptr;

void CALLBACK OnEvent(HWINEVENTHOOK, DWORD, HWND hWnd, LONG object, LONG element, DWORD, DWORD) {
    if (hWnd != g_panel || object != OBJID_CLIENT || element == CHILDID_SELF)
        return;
    IAccessible* asked = nullptr;
    VARIANT id;
    ::VariantInit(&id);
    if (FAILED(::AccessibleObjectFromEvent(hWnd, object, element, &asked, &id)) || !asked)
        return g_heard.push_back({element, L"(no element)"});
    g_heard.push_back({element, ReadOf(asked, id.lVal).value});
    asked->Release();
}

class ScreenReaderTest;

struct Row {
    const char* name;
    const char* connected;  // the switches connected to before the act; null: not connected
    std::function<void(ScreenReaderTest&)> act;
    const char* says;   // what each element says afterwards: S set, C clear, N not read
    const char* heard;  // '1' for each element an event is heard for, once
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

class ScreenReaderTest : public ToolTest, public ::testing::WithParamInterface<Row> {
public:
    void SetUp() override {
        ToolTest::SetUp();
        ASSERT_NE(nullptr, g_panel = PanelWindow(main_));
    }
    void TearDown() override {
        if (hook_)
            ::UnhookWinEvent(hook_);
        ToolTest::TearDown();
    }
    // Hears the panel's events from now on, inside the call that raises them.
    void Listen() {
        g_heard.clear();
        hook_ = ::SetWinEventHook(EVENT_MIN, EVENT_MAX, ::GetModuleHandleW(nullptr), &OnEvent, ::GetCurrentProcessId(),
                                  ::GetWindowThreadProcessId(main_, nullptr), WINEVENT_INCONTEXT);
        ASSERT_NE(nullptr, hook_);
    }
    HWINEVENTHOOK hook_ = nullptr;
};

// Not connected and connected, at every scale: the program rows. Boxes in
// order: X/Y up (flag 3), down (4), left (1), right (2), Z up (6), Z down (5, E0).
const Row kRows[] = {
    {"Connecting", nullptr, [](ScreenReaderTest& t) { t.Connect("10100100"); }, "SCSCSC", "111111"},
    {"AChange", "10100100", [](ScreenReaderTest& t) { t.ExpectFollows("10110100"); }, "SSSCSC", "010000"},
    {"OnlyFlags7And8Change", "10100100", [](ScreenReaderTest& t) { t.ExpectFollows("10100111"); }, "SCSCSC", "000000"},
    {"SwapZ", "00001000",
     [](ScreenReaderTest& t) { t.Swap(); EXPECT_TRUE(t.PanelBecomes({true, "00001000", true}, 2000)); }, "CCCCSC",
     "000011"},
    {"ConnectionLost", "10100100",
     [](ScreenReaderTest& t) { t.sim_.Silent(), ToolTest::PressOk(t.ExpectBox(kConnectionLostBox, 1800, 3000)); },
     "NNNNNN", "111111"},
};

TEST_P(ScreenReaderTest, PanelSaysWhatItShows) {
    const Row& row = GetParam();
    if (row.connected)
        Connect(row.connected);
    Listen();
    row.act(*this);
    AfterQueued();
    ::UnhookWinEvent(hook_), hook_ = nullptr;

    const std::vector<std::wstring> says = ExpectPanelSays(main_, kBaseDpi, row.says);
    ASSERT_EQ(6u, says.size());
    // One event for each element that changed, none for the others; each
    // element already said what it says now when its event was heard.
    std::string heard(says.size(), '0');
    for (const auto& [element, said] : g_heard) {
        ASSERT_TRUE(element >= 1 && element <= 6) << element;
        heard[element - 1] += 1;
        EXPECT_EQ(says[element - 1], said) << "heard before element " << element << " said so";
    }
    EXPECT_EQ(row.heard, heard);
}

INSTANTIATE_TEST_SUITE_P(Rows, ScreenReaderTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

using ControlNamesTest = ToolTest;

TEST_F(ControlNamesTest, EachControlIsReadByItsNameAndTheKeysPassThePanelBy) {
    Connect();
    g_panel = PanelWindow(main_);
    const HWND combo = ::GetDlgItem(main_, IDC_PORT_COMBO);
    const struct { HWND control; const wchar_t* name; std::wstring value; } controls[] = {
        {combo, L"COM-Port", L"COM11"},
        {::GetWindow(combo, GW_CHILD), L"COM-Port", L"COM11"},
        {::GetDlgItem(main_, IDC_SERIAL_NUMBER), L"Serial number", SerialShown()},
        {::GetDlgItem(main_, IDC_CONNECT), L"Disconnect", L""},
        {::GetDlgItem(main_, IDC_INVERT_Z), L"Swap Z axis", L""},
    };
    for (const auto& c : controls) {
        // Neither Tab nor the arrow keys (where the control leaves them to
        // the dialog) move the focus onto the panel.
        const bool arrowsMove = !(::SendMessageW(c.control, WM_GETDLGCODE, 0, 0) & DLGC_WANTARROWS);
        for (const BOOL back : {FALSE, TRUE}) {
            EXPECT_NE(g_panel, ::GetNextDlgTabItem(main_, c.control, back));
            EXPECT_TRUE(!arrowsMove || ::GetNextDlgGroupItem(main_, c.control, back) != g_panel);
        }
        const std::vector<ReadElement> read = ReadWindow(c.control);
        ASSERT_EQ(1u, read.size()) << "no object for " << std::wstring(c.name).size();
        EXPECT_EQ(c.name, read[0].name);
        EXPECT_EQ(c.value, read[0].value);
    }
}

}  // namespace
