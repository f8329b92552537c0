// The main window's own furniture, in the real dialog: the tool tips, the
// system menu's About entry and the About box it opens.
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

TEST_F(WindowTest, SystemMenuOpensTheAboutBoxForCommands16To31) {
    const HMENU menu = ::GetSystemMenu(main_, FALSE);
    const int count = ::GetMenuItemCount(menu);
    ASSERT_GE(count, 3);
    EXPECT_EQ(static_cast<UINT>(MF_SEPARATOR), ::GetMenuState(menu, static_cast<UINT>(count - 2), MF_BYPOSITION) & MF_SEPARATOR);
    wchar_t text[128] = {};
    ::GetMenuStringW(menu, static_cast<UINT>(count - 1), text, 128, MF_BYPOSITION);
    EXPECT_EQ(L"&Informationen zu KAVRO_Display_Limit_Switches...", std::wstring(text));
    EXPECT_EQ(static_cast<UINT>(IDM_ABOUT), ::GetMenuItemID(menu, count - 1));
    EXPECT_NE(static_cast<UINT>(-1), ::GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND)) << "the window's own entries stay";

    for (const WPARAM command : {WPARAM{16}, WPARAM{31}}) {
        SCOPED_TRACE(command);
        ::PostMessageW(main_, WM_SYSCOMMAND, command, 0);
        const MessageBoxSeen about = WaitBox(5000);
        ASSERT_NE(nullptr, about.hWnd) << "no About box";
        EXPECT_EQ(L"Informationen zu KAVRO_Display_Limit_Switches", about.caption);
        PressOk(about);
        EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(main_) != FALSE; }, 5000)) << "back to the window";
    }
    // Other application commands open nothing, and the window keeps working.
    ::PostMessageW(main_, WM_SYSCOMMAND, 32, 0);
    AfterQueued();
    EXPECT_EQ(nullptr, WaitBox(0).hWnd);
    Connect();
}

}  // namespace
