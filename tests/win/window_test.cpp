// The real dialog's tool tips, shown as the pointer hovers, and the system
// menu's entry that opens the About box (which the program rows open).
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "app/resource.h"
#include "tests/win/tool_fixture.h"

namespace {

using WindowTest = ToolTest;

TEST_F(WindowTest, HoveringShowsEachToolTip) {
    const HWND tip = OnUi<HWND>([this] { return dlg_->m_toolTip.GetSafeHwnd(); });
    ASSERT_NE(nullptr, tip);
    const HWND combo = ::GetDlgItem(main_, IDC_PORT_COMBO);
    const struct {
        HWND over;
        std::wstring text;
    } tools[] = {{::GetDlgItem(main_, IDC_INVERT_Z), L"Invert Z axis (E0 = top)"},
                 {::GetWindow(combo, GW_CHILD), L"COM11: Windows records no name for the device behind this port"}};
    ::SetForegroundWindow(main_);
    for (const auto& tool : tools) {
        SCOPED_TRACE(std::string(tool.text.begin(), tool.text.end()));
        RECT r;
        ::GetWindowRect(tool.over, &r);
        MovePointer(r.right + 150, r.bottom + 40);  // over the panel first
        MovePointer(r.left + 10, r.top + 5);
        MovePointer(r.left + 11, r.top + 5);
        ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(tip) != FALSE; }, 5000)) << "no tool tip";
        EXPECT_EQ(tool.text, WindowText(tip));
        RECT shown;
        ::GetWindowRect(tip, &shown);
        EXPECT_NEAR(r.left + 11, shown.left, 100) << "shown at the pointer";
        MovePointer(r.right + 150, r.bottom + 40);
        MovePointer(r.right + 151, r.bottom + 40);
        EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(tip); }, 5000)) << "hidden on leaving";
    }
}

TEST_F(WindowTest, SystemMenuEndsWithTheAboutEntry) {
    const HMENU menu = ::GetSystemMenu(main_, FALSE);
    const int count = ::GetMenuItemCount(menu);
    ASSERT_GE(count, 3);
    EXPECT_EQ(static_cast<UINT>(MF_SEPARATOR), ::GetMenuState(menu, count - 2, MF_BYPOSITION) & MF_SEPARATOR);
    wchar_t text[128] = {};
    ::GetMenuStringW(menu, IDM_ABOUT, text, 128, MF_BYCOMMAND);
    EXPECT_EQ(std::wstring(L"&Informationen zu KAVRO_Display_Limit_Switches..."), text);
    EXPECT_EQ(static_cast<UINT>(IDM_ABOUT), ::GetMenuItemID(menu, count - 1));
}

}  // namespace
