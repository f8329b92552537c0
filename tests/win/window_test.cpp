// The main window as the user sees it: its size and layout, the switch panel
// read back pixel by pixel from the real dialog while the simulated
// controller changes its switches, the tool tip, the system menu and the
// About box.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/resource.h"
#include "serial/com_link.h"
#include "tests/win/controller_fixture.h"
#include "tests/win/dialog_driver.h"
#include "tests/win/panel_pixels.h"
#include "tests/win/port_devices.h"
#include "tests/win/sim_client.h"

namespace {

constexpr int kPort = 19;
const wchar_t kAboutCaption[] = L"Informationen zu KAVRO_Display_Limit_Switches";

// Whether the panel shows e now, with every difference as the failure message.
::testing::AssertionResult PanelShows(HWND hWnd, const PanelExpectation& e) {
    const std::string diff = PanelDifferences(PixelCapture::OfClient(hWnd), e);
    if (diff.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "switches " << e.switches << (e.connected ? " connected" : " not connected")
                                         << (e.swapped ? " swapped" : "") << ":\n"
                                         << diff;
}

// Waits until the panel shows e (it is painted asynchronously), then
// reports the last difference seen.
::testing::AssertionResult PanelBecomes(HWND hWnd, const PanelExpectation& e, int timeoutMs) {
    DialogDriver::WaitUntil([&] { return PanelDifferences(PixelCapture::OfClient(hWnd), e).empty(); }, timeoutMs);
    return PanelShows(hWnd, e);
}

// Moves the pointer as the mouse does, to screen coordinates.
void MovePointer(int x, int y) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = (x * 65536 + 32768) / ::GetSystemMetrics(SM_CXSCREEN);
    in.mi.dy = (y * 65536 + 32768) / ::GetSystemMetrics(SM_CYSCREEN);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    ::SendInput(1, &in, sizeof(in));
    ::Sleep(100);
}

RECT ClientRectOf(HWND parent, HWND child) {
    RECT r;
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class WindowTest : public ControllerDialogTest {
protected:
    WindowTest() : ControllerDialogTest(kPort) {}

    HWND Main() const { return driver_->Window(); }
    void DisconnectOk() {
        driver_->ClickConnect();
        ASSERT_TRUE(DialogDriver::WaitUntil([this] { return Connected() == 0; }, 5000)) << "disconnected";
    }
    // Lets the tool poll at least n more times.
    void Polls(int n) {
        const int before = sim_.Count("swin");
        ASSERT_TRUE(DialogDriver::WaitUntil([&] { return sim_.Count("swin") >= before + n; }, 5000));
    }
    bool SwapChecked() {
        return ::SendMessageW(::GetDlgItem(Main(), IDC_INVERT_Z), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    // Clicks "Swap Z axis" and waits until the dialog has handled the click.
    void Swap(bool checked) {
        driver_->ClickSwapZ();
        ASSERT_TRUE(DialogDriver::WaitUntil([&] { return SwapChecked() == checked; }, 3000));
        ASSERT_TRUE(DialogDriver::WaitUntil(
            [&] { return driver_->Read<int>([this] { return Dlg().m_invertZ; }) == (checked ? 1 : 0); }, 3000));
    }
    // Opens the About box through the system command and returns it.
    HWND OpenAbout(WPARAM command) {
        ::PostMessageW(Main(), WM_SYSCOMMAND, command, 0);
        HWND about = nullptr;
        DialogDriver::WaitUntil(
            [&] {
                about = FindThreadDialog(driver_->UiThreadId(), Main(), kAboutCaption);
                return about != nullptr;
            },
            5000);
        return about;
    }
};

TEST_F(WindowTest, ClientAreaAndControlsFitTheCheckBoxCaption) {
    const HWND check = ::GetDlgItem(Main(), IDC_INVERT_Z);
    ASSERT_NE(nullptr, check);
    EXPECT_EQ(L"Swap Z axis", WindowText(check));

    // The caption's width in the check box's own font.
    const HDC dc = ::GetDC(check);
    const HGDIOBJ previous = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(check, WM_GETFONT, 0, 0)));
    SIZE extent = {};
    ::GetTextExtentPoint32W(dc, L"Swap Z axis", 11, &extent);
    ::SelectObject(dc, previous);
    ::ReleaseDC(check, dc);
    ASSERT_GT(extent.cx, 20);
    const int w = extent.cx + 24;

    RECT client;
    ::GetClientRect(Main(), &client);
    EXPECT_EQ(358 + w, client.right);
    EXPECT_EQ(170, client.bottom);

    const RECT box = ClientRectOf(Main(), check);
    EXPECT_EQ(346, box.left);
    EXPECT_EQ(83, box.top);
    EXPECT_EQ(w, box.right - box.left);
    EXPECT_EQ(18, box.bottom - box.top);
    EXPECT_EQ(12, client.right - box.right) << "gap to the right edge";

    EXPECT_EQ(L"KAVRO Limit Switches", WindowText(Main()));
    EXPECT_EQ(L"Connect", driver_->ButtonText());
    // The panel left of the check box is not covered by any control.
    for (HWND child = ::GetWindow(Main(), GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        RECT r = ClientRectOf(Main(), child), overlap;
        EXPECT_FALSE(::IntersectRect(&overlap, &r, &kPanel)) << "control " << ::GetDlgCtrlID(child);
    }
}

TEST_F(WindowTest, SerialNumberFieldIsDisabledAlsoWhileConnected) {
    const HWND serial = ::GetDlgItem(Main(), IDC_SERIAL_NUMBER);
    ASSERT_NE(nullptr, serial);
    EXPECT_FALSE(::IsWindowEnabled(serial));
    ASSERT_TRUE(sim_.SetSerial("SN-77"));
    ConnectOk();
    EXPECT_EQ(L"SN-77", driver_->SerialText());
    EXPECT_FALSE(::IsWindowEnabled(serial));
}

TEST_F(WindowTest, PanelIsGreyWithBlackArrowsBeforeConnecting) {
    // The controller's switches do not show before a connection.
    ASSERT_TRUE(sim_.SetSwitches("11111111"));
    EXPECT_TRUE(PanelBecomes(Main(), {false, "11111111", false}, 3000));
    // Checking "Swap Z axis" changes nothing grey.
    Swap(true);
    EXPECT_TRUE(PanelShows(Main(), {false, "11111111", true}));
}

TEST_F(WindowTest, PanelOutsideTheBoxesIsPlainWithLabelsAndRaisedFrames) {
    ASSERT_TRUE(sim_.SetSwitches("10101000"));
    ConnectOk();
    ASSERT_TRUE(PanelBecomes(Main(), {true, "10101000", false}, 3000));
    const PixelCapture c = PixelCapture::OfClient(Main());
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF text = ::GetSysColor(COLOR_BTNTEXT);

    int stray = 0;
    for (int y = kPanel.top; y < kPanel.bottom; ++y) {
        for (int x = kPanel.left; x < kPanel.right; ++x) {
            bool inElement = false;
            for (const SwitchBox& b : kBoxes)
                inElement = inElement || Inside(b.rect, x, y);
            for (const Label& l : kLabels)
                inElement = inElement || Inside(l.rect, x, y);
            if (!inElement && c.At(x, y) != face && stray++ < 5)
                ADD_FAILURE() << "background at (" << x << "," << y << ") is " << ColorText(c.At(x, y));
        }
    }
    EXPECT_EQ(0, stray);

    // A raised frame: light top-left edges, dark bottom-right edges.
    for (const SwitchBox& b : kBoxes) {
        const RECT& r = b.rect;
        SCOPED_TRACE(b.name);
        EXPECT_EQ(ColorText(::GetSysColor(COLOR_3DLIGHT)), ColorText(c.At(r.left, r.top + 17)));
        EXPECT_EQ(ColorText(::GetSysColor(COLOR_3DHILIGHT)), ColorText(c.At(r.left + 17, r.top + 1)));
        EXPECT_EQ(ColorText(::GetSysColor(COLOR_3DDKSHADOW)), ColorText(c.At(r.right - 1, r.top + 17)));
        EXPECT_EQ(ColorText(::GetSysColor(COLOR_3DSHADOW)), ColorText(c.At(r.left + 17, r.bottom - 2)));
    }

    // Labels: text-coloured ink, roughly centred in the label square, no fill.
    int inkWidth[2] = {};
    for (int i = 0; i < 2; ++i) {
        const Label& l = kLabels[i];
        SCOPED_TRACE(l.text);
        RECT ink = {l.rect.right, l.rect.bottom, l.rect.left, l.rect.top};
        int textPixels = 0;
        for (int y = l.rect.top; y < l.rect.bottom; ++y) {
            for (int x = l.rect.left; x < l.rect.right; ++x) {
                const COLORREF p = c.At(x, y);
                EXPECT_TRUE(p != kGreen && p != kRed) << "fill at (" << x << "," << y << ")";
                if (p == face)
                    continue;
                textPixels += p == text;
                ink = {std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y), std::max<LONG>(ink.right, x + 1),
                       std::max<LONG>(ink.bottom, y + 1)};
            }
        }
        EXPECT_GT(textPixels, 10);
        EXPECT_NEAR((l.rect.left + l.rect.right) / 2.0, (ink.left + ink.right) / 2.0, 3.0);
        EXPECT_NEAR((l.rect.top + l.rect.bottom) / 2.0, (ink.top + ink.bottom) / 2.0, 4.0);
        inkWidth[i] = ink.right - ink.left;
    }
    EXPECT_GT(inkWidth[0], inkWidth[1]) << "\"X/Y\" is wider than \"Z\"";
}

TEST_F(WindowTest, ConnectedPanelFollowsTheControllerSwitches) {
    ASSERT_TRUE(sim_.SetSwitches("00000000"));
    ConnectOk();
    EXPECT_TRUE(PanelBecomes(Main(), {true, "00000000", false}, 3000)) << "all red at once";

    for (const char* pattern : {"10100000", "01011000", "00000100", "11111100", "10000001"}) {
        ASSERT_TRUE(sim_.SetSwitches(pattern));
        EXPECT_TRUE(PanelBecomes(Main(), {true, pattern, false}, 3000));
    }

    // Characters 7 and 8 are read, but nothing shows them.
    ASSERT_TRUE(sim_.SetSwitches("00000000"));
    ASSERT_TRUE(PanelBecomes(Main(), {true, "00000000", false}, 3000));
    ASSERT_TRUE(sim_.SetSwitches("00000011"));
    ASSERT_TRUE(DialogDriver::WaitUntil([this] { return Flags() == "00000011"; }, 3000));
    Polls(2);
    EXPECT_TRUE(PanelShows(Main(), {true, "00000000", false}));
}

TEST_F(WindowTest, SwapZExchangesTheColumnColoursAndKeepsItsArrows) {
    ASSERT_TRUE(sim_.SetSwitches("00001000"));  // flag 4 (E0) set, flag 5 clear
    ConnectOk();
    ASSERT_TRUE(PanelBecomes(Main(), {true, "00001000", false}, 3000));
    {
        const PixelCapture c = PixelCapture::OfClient(Main());
        EXPECT_EQ(ColorText(kRed), ColorText(c.At(304, 39))) << "column top shows flag 5";
        EXPECT_EQ(ColorText(kGreen), ColorText(c.At(304, 119))) << "column bottom shows flag 4";
    }

    Swap(true);
    EXPECT_TRUE(PanelBecomes(Main(), {true, "00001000", true}, 3000));
    {
        const PixelCapture c = PixelCapture::OfClient(Main());
        EXPECT_EQ(ColorText(kGreen), ColorText(c.At(304, 39))) << "column top shows flag 4";
        EXPECT_EQ(ColorText(kRed), ColorText(c.At(304, 119))) << "column bottom shows flag 5";
        // Top box still points up: apex black, the corners beside it filled.
        EXPECT_EQ(ColorText(kBlack), ColorText(c.At(317, 46)));
        EXPECT_EQ(ColorText(kGreen), ColorText(c.At(310, 45)));
        EXPECT_EQ(ColorText(kGreen), ColorText(c.At(323, 45)));
        // Bottom box still points down.
        EXPECT_EQ(ColorText(kBlack), ColorText(c.At(317, 138)));
        EXPECT_EQ(ColorText(kRed), ColorText(c.At(310, 138)));
        EXPECT_EQ(ColorText(kRed), ColorText(c.At(323, 138)));
    }

    // Swapped, the panel keeps following the controller.
    for (const char* pattern : {"00000100", "11110100", "00001100"}) {
        ASSERT_TRUE(sim_.SetSwitches(pattern));
        EXPECT_TRUE(PanelBecomes(Main(), {true, pattern, true}, 3000));
    }
    Swap(false);
    EXPECT_TRUE(PanelBecomes(Main(), {true, "00001100", false}, 3000));
    ASSERT_TRUE(sim_.SetSwitches("00000100"));
    EXPECT_TRUE(PanelBecomes(Main(), {true, "00000100", false}, 3000));
}

TEST_F(WindowTest, DisconnectTurnsThePanelGreyAgain) {
    ASSERT_TRUE(sim_.SetSwitches("11110100"));
    ConnectOk();
    ASSERT_TRUE(PanelBecomes(Main(), {true, "11110100", false}, 3000));
    DisconnectOk();
    EXPECT_TRUE(PanelBecomes(Main(), {false, "11110100", false}, 3000));
    EXPECT_TRUE(sim_.WaitOpened(false, 3000));
    // The controller changing afterwards shows nothing.
    const int polls = sim_.Count("swin");
    ASSERT_TRUE(sim_.SetSwitches("00001011"));
    ::Sleep(400);
    EXPECT_EQ(polls, sim_.Count("swin")) << "no polling after the disconnect";
    EXPECT_TRUE(PanelShows(Main(), {false, "00001011", false}));
    // A second connection paints the colours again.
    ConnectOk();
    EXPECT_TRUE(PanelBecomes(Main(), {true, "00001011", false}, 3000));
}

TEST_F(WindowTest, SwapZCheckBoxCarriesItsToolTip) {
    const HWND check = ::GetDlgItem(Main(), IDC_INVERT_Z);
    struct Tool {
        int count = 0;
        std::wstring enumText, text;
        UINT flags = 0;
        UINT_PTR id = 0;
        HWND owner = nullptr;
    };
    const Tool tool = driver_->Read<Tool>([this, check] {
        Tool t;
        const HWND tip = Dlg().m_toolTip.GetSafeHwnd();
        t.count = static_cast<int>(::SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0));
        wchar_t buffer[256] = {};
        TTTOOLINFOW info = {};
        info.cbSize = sizeof(info);
        info.lpszText = buffer;
        if (::SendMessageW(tip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&info))) {
            t.enumText = buffer;
            t.flags = info.uFlags;
            t.id = info.uId;
            t.owner = info.hwnd;
            wchar_t text[256] = {};
            TTTOOLINFOW query = {};
            query.cbSize = sizeof(query);
            query.hwnd = info.hwnd;
            query.uId = info.uId;
            query.lpszText = text;
            ::SendMessageW(tip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&query));
            t.text = text;
        }
        return t;
    });
    EXPECT_EQ(1, tool.count);
    EXPECT_EQ(L"Invert Z axis (E0 = top)", tool.enumText);
    EXPECT_EQ(L"Invert Z axis (E0 = top)", tool.text);
    EXPECT_TRUE(tool.flags & TTF_IDISHWND) << "the whole check box is the tool";
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(check), tool.id);
}

TEST_F(WindowTest, HoveringTheCheckBoxShowsTheToolTipAndLeavingHidesIt) {
    const HWND check = ::GetDlgItem(Main(), IDC_INVERT_Z);
    const HWND tip = driver_->Read<HWND>([this] { return Dlg().m_toolTip.GetSafeHwnd(); });
    ASSERT_NE(nullptr, tip);
    ::SetForegroundWindow(Main());

    RECT r;
    ::GetWindowRect(check, &r);
    MovePointer(r.left - 60, r.top);  // over the panel first
    MovePointer(r.left + 10, r.top + 9);
    MovePointer(r.left + 11, r.top + 9);
    ASSERT_TRUE(DialogDriver::WaitUntil([&] { return ::IsWindowVisible(tip) != FALSE; }, 5000)) << "no tool tip";
    EXPECT_EQ(L"Invert Z axis (E0 = top)", WindowText(tip));
    RECT tipRect;
    ::GetWindowRect(tip, &tipRect);
    EXPECT_NEAR(r.left + 11, tipRect.left, 100) << "shown at the pointer";
    EXPECT_NEAR(r.top + 9, tipRect.top, 100) << "shown at the pointer";

    MovePointer(r.left - 60, r.top);
    MovePointer(r.left - 61, r.top);
    EXPECT_TRUE(DialogDriver::WaitUntil([&] { return !::IsWindowVisible(tip); }, 5000)) << "hidden on leaving";
}

TEST_F(WindowTest, SystemMenuEndsWithTheAboutEntry) {
    const HMENU menu = ::GetSystemMenu(Main(), FALSE);
    ASSERT_NE(nullptr, menu);
    const int count = ::GetMenuItemCount(menu);
    ASSERT_GE(count, 3);

    MENUITEMINFOW separator = {};
    separator.cbSize = sizeof(separator);
    separator.fMask = MIIM_FTYPE;
    ASSERT_TRUE(::GetMenuItemInfoW(menu, static_cast<UINT>(count - 2), TRUE, &separator));
    EXPECT_TRUE(separator.fType & MFT_SEPARATOR);

    wchar_t text[128] = {};
    MENUITEMINFOW about = {};
    about.cbSize = sizeof(about);
    about.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_STATE;
    about.dwTypeData = text;
    about.cch = 128;
    ASSERT_TRUE(::GetMenuItemInfoW(menu, static_cast<UINT>(count - 1), TRUE, &about));
    EXPECT_EQ(0u, about.fType & (MFT_SEPARATOR | MFT_BITMAP));
    EXPECT_EQ(16u, about.wID);
    EXPECT_EQ(L"&Informationen zu KAVRO_Display_Limit_Switches...", std::wstring(text));
    EXPECT_EQ(0u, about.fState & (MFS_DISABLED | MFS_GRAYED));

    // The window's own entries stay, Close among them.
    EXPECT_NE(static_cast<UINT>(-1), ::GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND));
}

TEST_F(WindowTest, AboutBoxOpensForCommands16To31AndOkReturnsToTheWindow) {
    for (WPARAM command : {WPARAM{16}, WPARAM{31}}) {
        SCOPED_TRACE(command);
        const HWND about = OpenAbout(command);
        ASSERT_NE(nullptr, about) << "no About box";

        std::vector<std::wstring> statics;
        HWND ok = nullptr;
        for (HWND child = ::GetWindow(about, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
            const LONG_PTR style = ::GetWindowLongPtrW(child, GWL_STYLE);
            if (WindowClass(child) == L"Static" && (style & SS_TYPEMASK) != SS_ICON)
                statics.push_back(WindowText(child));
            if (::GetDlgCtrlID(child) == IDOK)
                ok = child;
        }
        ASSERT_EQ(2u, statics.size());
        EXPECT_EQ(L"KAVRO_Display_Limit_Switches, Version 1.0", statics[0]);
        EXPECT_FALSE(statics[1].empty());
        ASSERT_NE(nullptr, ok);
        EXPECT_EQ(L"OK", WindowText(ok));

        MessageBoxSeen box;
        box.hWnd = about;
        DialogDriver::PressOk(box);
        // Wine without a window manager takes about 2 s to destroy a top-level window.
        EXPECT_TRUE(DialogDriver::WaitUntil([&] { return !::IsWindow(about); }, 10000)) << "closed by OK";

        ASSERT_TRUE(::IsWindow(Main()));
        EXPECT_TRUE(::IsWindowVisible(Main()));
        EXPECT_EQ(L"KAVRO Limit Switches", WindowText(Main()));
        EXPECT_EQ(L"Connect", driver_->ButtonText());
        EXPECT_TRUE(PanelBecomes(Main(), {false, "00000000", false}, 3000));
    }

    // Other application commands open nothing, and the window keeps working.
    ::PostMessageW(Main(), WM_SYSCOMMAND, 32, 0);
    driver_->Read<int>([] { return 0; });
    EXPECT_EQ(nullptr, FindThreadDialog(driver_->UiThreadId(), Main()));
    ConnectOk();
    EXPECT_TRUE(PanelBecomes(Main(), {true, "00000000", false}, 3000));
}

TEST_F(WindowTest, AboutBoxWhileConnectedLeavesThePanelLive) {
    ASSERT_TRUE(sim_.SetSwitches("10000000"));
    ConnectOk();
    ASSERT_TRUE(PanelBecomes(Main(), {true, "10000000", false}, 3000));
    const HWND about = OpenAbout(16);
    ASSERT_NE(nullptr, about);
    // The About box runs its own loop; the worker's repaints still arrive.
    ASSERT_TRUE(sim_.SetSwitches("01000000"));
    EXPECT_TRUE(PanelBecomes(Main(), {true, "01000000", false}, 3000));
    MessageBoxSeen box;
    box.hWnd = about;
    DialogDriver::PressOk(box);
    EXPECT_EQ(1, Connected());
    EXPECT_EQ(L"Disconnect", driver_->ButtonText());
}

TEST_F(WindowTest, CloseCommandEndsTheDialog) {
    ::PostMessageW(Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(DialogDriver::WaitUntil([this] { return !::IsWindow(Main()); }, 5000));
}

}  // namespace
