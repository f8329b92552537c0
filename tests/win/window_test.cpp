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
#include "tests/win/dialog_driver.h"
#include "tests/win/port_devices.h"
#include "tests/win/sim_client.h"

namespace {

constexpr int kPort = 19;
const wchar_t kPortName[] = L"COM19";
const wchar_t kAboutCaption[] = L"Informationen zu KAVRO_Display_Limit_Switches";

constexpr COLORREF kGreen = RGB(0, 190, 0);
constexpr COLORREF kRed = RGB(220, 0, 0);
constexpr COLORREF kBlack = RGB(0, 0, 0);

enum Direction { Up, Down, Left, Right };

// One switch box: where it is, where its arrow points, and which flag it
// shows with "Swap Z axis" clear and checked.
struct SwitchBox {
    const char* name;
    RECT rect;
    Direction direction;
    int flag;
    int swappedFlag;
};

const SwitchBox kBoxes[] = {
    {"cross top", {190, 35, 224, 69}, Up, 2, 2},
    {"cross bottom", {190, 115, 224, 149}, Down, 3, 3},
    {"cross left", {150, 75, 184, 109}, Left, 0, 0},
    {"cross right", {230, 75, 264, 109}, Right, 1, 1},
    {"column top", {300, 35, 334, 69}, Up, 5, 4},
    {"column bottom", {300, 115, 334, 149}, Down, 4, 5},
};

struct Label {
    const char* text;
    RECT rect;
};
const Label kLabels[] = {{"X/Y", {190, 75, 224, 109}}, {"Z", {300, 75, 334, 109}}};

const RECT kPanel = {140, 30, 344, 160};

bool Inside(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

std::string ColorText(COLORREF c) {
    std::ostringstream s;
    s << "RGB(" << int(GetRValue(c)) << "," << int(GetGValue(c)) << "," << int(GetBValue(c)) << ")";
    return s.str();
}

// The client area of a window copied out in one go, so that one check looks
// at one painted state.
class Capture {
public:
    explicit Capture(HWND hWnd) {
        RECT client;
        ::GetClientRect(hWnd, &client);
        width_ = client.right;
        height_ = client.bottom;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -height_;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        const HDC window = ::GetDC(hWnd);
        const HDC memory = ::CreateCompatibleDC(window);
        const HBITMAP bitmap = ::CreateDIBSection(window, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        const HGDIOBJ previous = ::SelectObject(memory, bitmap);
        ::BitBlt(memory, 0, 0, width_, height_, window, 0, 0, SRCCOPY);
        ::GdiFlush();
        const std::uint32_t* p = static_cast<const std::uint32_t*>(bits);
        pixels_.assign(p, p + static_cast<size_t>(width_) * height_);
        ::SelectObject(memory, previous);
        ::DeleteObject(bitmap);
        ::DeleteDC(memory);
        ::ReleaseDC(hWnd, window);
    }

    COLORREF At(int x, int y) const {
        if (x < 0 || y < 0 || x >= width_ || y >= height_)
            return CLR_INVALID;
        const std::uint32_t bgr = pixels_[static_cast<size_t>(y) * width_ + x];
        return RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
    }

private:
    int width_ = 0, height_ = 0;
    std::vector<std::uint32_t> pixels_;
};

struct Probe {
    int x, y;
};

// Points of a box that show its fill: near the top-left corner, and the two
// corners of the arrow's square on the side it points to, which a triangle
// pointing elsewhere would cover.
std::vector<Probe> FillProbes(const SwitchBox& box) {
    const int l = box.rect.left, t = box.rect.top;
    std::vector<Probe> probes = {{l + 4, t + 4}};
    switch (box.direction) {
    case Up:
        probes.insert(probes.end(), {{l + 10, t + 10}, {l + 23, t + 10}});
        break;
    case Down:
        probes.insert(probes.end(), {{l + 10, t + 23}, {l + 23, t + 23}});
        break;
    case Left:
        probes.insert(probes.end(), {{l + 10, t + 10}, {l + 10, t + 23}});
        break;
    case Right:
        probes.insert(probes.end(), {{l + 23, t + 10}, {l + 23, t + 23}});
        break;
    }
    return probes;
}

// Points of a box that show its arrow: the triangle's centroid, just inside
// its apex, and the middle of its base.
std::vector<Probe> ArrowProbes(const SwitchBox& box) {
    const int l = box.rect.left, t = box.rect.top;
    switch (box.direction) {
    case Up:
        return {{l + 17, t + 20}, {l + 17, t + 11}, {l + 17, t + 24}};
    case Down:
        return {{l + 17, t + 14}, {l + 17, t + 23}, {l + 17, t + 10}};
    case Left:
        return {{l + 20, t + 17}, {l + 11, t + 17}, {l + 24, t + 17}};
    case Right:
        return {{l + 14, t + 17}, {l + 23, t + 17}, {l + 10, t + 17}};
    }
    return {};
}

// What the panel should show.
struct PanelExpectation {
    bool connected;
    std::string switches;  // the controller's characters
    bool swapped;

    COLORREF Fill(const SwitchBox& box) const {
        if (!connected)
            return ::GetSysColor(COLOR_BTNFACE);
        const int flag = swapped ? box.swappedFlag : box.flag;
        return switches.at(static_cast<size_t>(flag)) == '1' ? kGreen : kRed;
    }
};

// Every difference between the captured panel and the expectation, one per
// line; empty when the panel is right.
std::string PanelDifferences(const Capture& c, const PanelExpectation& e) {
    std::ostringstream out;
    for (const SwitchBox& box : kBoxes) {
        const COLORREF fill = e.Fill(box);
        for (const Probe& p : FillProbes(box)) {
            if (c.At(p.x, p.y) != fill)
                out << box.name << " fill at (" << p.x << "," << p.y << ") is " << ColorText(c.At(p.x, p.y))
                    << ", expected " << ColorText(fill) << "\n";
        }
        for (const Probe& p : ArrowProbes(box)) {
            if (c.At(p.x, p.y) != kBlack)
                out << box.name << " arrow at (" << p.x << "," << p.y << ") is " << ColorText(c.At(p.x, p.y)) << "\n";
        }
    }
    return out.str();
}

// Whether the panel shows e now, with every difference as the failure message.
::testing::AssertionResult PanelShows(HWND hWnd, const PanelExpectation& e) {
    const std::string diff = PanelDifferences(Capture(hWnd), e);
    if (diff.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "switches " << e.switches << (e.connected ? " connected" : " not connected")
                                         << (e.swapped ? " swapped" : "") << ":\n"
                                         << diff;
}

// Waits until the panel shows e (it is painted asynchronously), then
// reports the last difference seen.
::testing::AssertionResult PanelBecomes(HWND hWnd, const PanelExpectation& e, int timeoutMs) {
    DialogDriver::WaitUntil([&] { return PanelDifferences(Capture(hWnd), e).empty(); }, timeoutMs);
    return PanelShows(hWnd, e);
}

std::wstring TextOf(HWND hWnd) {
    wchar_t buffer[512] = {};
    ::GetWindowTextW(hWnd, buffer, 512);
    return buffer;
}

std::wstring ClassOf(HWND hWnd) {
    wchar_t buffer[256] = {};
    ::GetClassNameW(hWnd, buffer, 256);
    return buffer;
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

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::wstring error;
        ASSERT_GE(PortDevices::RemoveAllPortsDevices(&error), 0) << error;
        ASSERT_TRUE(devices_.AddPortName(kPortName)) << devices_.LastError();
        ASSERT_TRUE(sim_.Connect()) << sim_.LastReply();
        ASSERT_TRUE(sim_.Attach(kPort)) << sim_.LastReply();
        driver_ = std::make_unique<DialogDriver>();
        ASSERT_NE(nullptr, driver_->Window());
        ASSERT_EQ(0, driver_->SelectedPort()) << "COM19 is chosen at start";
    }
    void TearDown() override {
        driver_.reset();
        theComLink.Close();
        g_linkReady = 0;
    }

    HWND Main() const { return driver_->Window(); }
    TestDialog& Dlg() { return driver_->Dialog(); }
    int Connected() { return driver_->Connected(); }
    std::string Flags() { return driver_->Flags(); }
    void ConnectOk() { ASSERT_TRUE(driver_->ConnectAndPoll(sim_)) << "connected and polling"; }
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

    PortDevices devices_;
    SimController sim_;
    std::unique_ptr<DialogDriver> driver_;
};

TEST_F(WindowTest, ClientAreaAndControlsFitTheCheckBoxCaption) {
    const HWND check = ::GetDlgItem(Main(), IDC_INVERT_Z);
    ASSERT_NE(nullptr, check);
    EXPECT_EQ(L"Swap Z axis", TextOf(check));

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

    EXPECT_EQ(L"KAVRO Limit Switches", TextOf(Main()));
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
    const Capture c(Main());
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
        const Capture c(Main());
        EXPECT_EQ(ColorText(kRed), ColorText(c.At(304, 39))) << "column top shows flag 5";
        EXPECT_EQ(ColorText(kGreen), ColorText(c.At(304, 119))) << "column bottom shows flag 4";
    }

    Swap(true);
    EXPECT_TRUE(PanelBecomes(Main(), {true, "00001000", true}, 3000));
    {
        const Capture c(Main());
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
    EXPECT_EQ(L"Invert Z axis (E0 = top)", TextOf(tip));
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
            if (ClassOf(child) == L"Static" && (style & SS_TYPEMASK) != SS_ICON)
                statics.push_back(TextOf(child));
            if (::GetDlgCtrlID(child) == IDOK)
                ok = child;
        }
        ASSERT_EQ(2u, statics.size());
        EXPECT_EQ(L"KAVRO_Display_Limit_Switches, Version 1.0", statics[0]);
        EXPECT_FALSE(statics[1].empty());
        ASSERT_NE(nullptr, ok);
        EXPECT_EQ(L"OK", TextOf(ok));

        MessageBoxSeen box;
        box.hWnd = about;
        DialogDriver::PressOk(box);
        // Wine without a window manager takes about 2 s to destroy a top-level window.
        EXPECT_TRUE(DialogDriver::WaitUntil([&] { return !::IsWindow(about); }, 10000)) << "closed by OK";

        ASSERT_TRUE(::IsWindow(Main()));
        EXPECT_TRUE(::IsWindowVisible(Main()));
        EXPECT_EQ(L"KAVRO Limit Switches", TextOf(Main()));
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
