// The real executable, started as a process of its own and driven from
// outside through its window: connecting, the painted panel read back from
// the screen, ending it with Esc or the close command while connected, a
// renamed copy that captions its message boxes with its own name, and the
// window at each display scale.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "app/resource.h"
#include "tests/win/dialog_driver.h"
#include "tests/win/panel_pixels.h"
#include "tests/win/port_devices.h"
#include "tests/win/sim_client.h"
#include "tests/win/test_clock.h"

namespace {

constexpr int kPort = 18;
const wchar_t kPortName[] = L"COM18";
const wchar_t kMainCaption[] = L"KAVRO Limit Switches";

// Differences between the panel on screen, painted at dpi, and what the
// switches should show; empty when it matches. switches empty: not connected.
std::string PanelDifferences(HWND hWnd, const std::string& switches, int dpi) {
    return PanelDifferences(PixelCapture::OfScreen(hWnd), PanelExpectation{!switches.empty(), switches, false}, dpi);
}

::testing::AssertionResult PanelBecomes(HWND hWnd, const std::string& switches, int timeoutMs, int dpi = 96) {
    std::string diff;
    DialogDriver::WaitUntil(
        [&] {
            diff = PanelDifferences(hWnd, switches, dpi);
            return diff.empty();
        },
        timeoutMs);
    if (diff.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "panel for \"" << switches << "\":\n" << diff;
}

// The directory of this test program, with a trailing backslash.
std::wstring OwnDirectory() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    return dir.substr(0, dir.find_last_of(L"\\/") + 1);
}

// The tool, built beside the test programs: ...\tests\win\ -> ...\bin\.
std::wstring ToolPath() {
    std::wstring dir = OwnDirectory();
    for (int up = 0; up < 2; ++up)
        dir.erase(dir.find_last_of(L"\\/", dir.size() - 2) + 1);
    return dir + L"bin\\KAVRO_Display_Limit_Switches.exe";
}

struct FindContext {
    DWORD processId;
    bool mainWindow;  // the main dialog, or any other dialog of the process
    HWND found;
};

// A visible top-level dialog-class window of the process: its main window,
// or one that is not (a message box or the About box).
HWND FindProcessDialog(DWORD processId, bool mainWindow) {
    FindContext context = {processId, mainWindow, nullptr};
    ::EnumWindows(
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            FindContext* c = reinterpret_cast<FindContext*>(lParam);
            DWORD pid = 0;
            ::GetWindowThreadProcessId(hWnd, &pid);
            if (pid != c->processId || !::IsWindowVisible(hWnd) || WindowClass(hWnd) != L"#32770")
                return TRUE;
            if ((WindowText(hWnd) == kMainCaption) != c->mainWindow)
                return TRUE;
            c->found = hWnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&context));
    return context.found;
}

// The text of a message box: its static control that is not the icon.
std::wstring BoxText(HWND box) {
    std::wstring text;
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (WindowClass(child) == L"Static" && (::GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON &&
            !WindowText(child).empty())
            text = WindowText(child);
    }
    return text;
}

// The system's display scale in the test prefix: HKCU\Control Panel\Desktop
// LogPixels, which a program reads as it starts. Every other test shares the
// prefix and expects it as it was, so leaving the scope puts back exactly
// what was there (no value at all, in a fresh prefix: even an explicit 96
// changes how Wine paints), also when a check has failed.
class DisplayScale {
public:
    explicit DisplayScale(DWORD dpi) {
        DWORD size = sizeof(previous_);
        hadValue_ = ::RegGetValueW(HKEY_CURRENT_USER, kKey, kValue, RRF_RT_REG_DWORD, nullptr, &previous_, &size) ==
                    ERROR_SUCCESS;
        set_ = Write(dpi);
    }
    ~DisplayScale() {
        const bool restored = hadValue_ ? Write(previous_)
                                        : ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, kValue) == ERROR_SUCCESS;
        if (!restored)
            ADD_FAILURE() << "LogPixels not put back";
    }
    DisplayScale(const DisplayScale&) = delete;
    DisplayScale& operator=(const DisplayScale&) = delete;

    bool IsSet() const { return set_; }

private:
    static constexpr const wchar_t* kKey = L"Control Panel\\Desktop";
    static constexpr const wchar_t* kValue = L"LogPixels";

    static bool Write(DWORD dpi) {
        return ::RegSetKeyValueW(HKEY_CURRENT_USER, kKey, kValue, REG_DWORD, &dpi, sizeof(dpi)) == ERROR_SUCCESS;
    }
    bool set_ = false;
    bool hadValue_ = false;
    DWORD previous_ = 0;
};

// A child window's rectangle in its parent's client coordinates.
RECT ClientRectOf(HWND parent, HWND child) {
    RECT r;
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::wstring error;
        ASSERT_GE(PortDevices::RemoveAllPortsDevices(&error), 0) << error;
        ASSERT_TRUE(sim_.Connect()) << sim_.LastReply();
        ASSERT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesW(ToolPath().c_str())) << "no tool at the expected path";
    }
    void TearDown() override { Cleanup(); }

    // Ends the program if it still runs (it never outlives its test) and
    // deletes the copies made of it.
    void Cleanup() {
        if (process_.hProcess) {
            if (::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
                ::TerminateProcess(process_.hProcess, 99);
                ::WaitForSingleObject(process_.hProcess, 10000);
            }
            ::CloseHandle(process_.hThread);
            ::CloseHandle(process_.hProcess);
            process_ = {};
        }
        main_ = nullptr;
        for (const std::wstring& file : copies_)
            ::DeleteFileW(file.c_str());
        copies_.clear();
        if (!tempDir_.empty())
            ::RemoveDirectoryW(tempDir_.c_str());
        tempDir_.clear();
    }

    // Starts the executable and waits for its main window.
    void Start(const std::wstring& exe) {
        std::wstring commandLine = L"\"" + exe + L"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        ASSERT_TRUE(::CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                     &startup, &process_))
            << "CreateProcess failed: " << ::GetLastError();
        ASSERT_TRUE(DialogDriver::WaitUntil(
            [this] {
                main_ = FindProcessDialog(process_.dwProcessId, true);
                return main_ != nullptr;
            },
            30000))
            << "no main window";
    }
    // Copies the tool under another name into a folder of its own.
    std::wstring CopyAs(const std::wstring& name) {
        if (tempDir_.empty()) {
            wchar_t temp[MAX_PATH] = {};
            ::GetTempPathW(MAX_PATH, temp);
            tempDir_ = std::wstring(temp) + L"kavro-program-test-" + std::to_wstring(::GetCurrentProcessId());
            ::CreateDirectoryW(tempDir_.c_str(), nullptr);
        }
        const std::wstring path = tempDir_ + L"\\" + name;
        EXPECT_TRUE(::CopyFileW(ToolPath().c_str(), path.c_str(), FALSE)) << "copy failed: " << ::GetLastError();
        copies_.push_back(path);
        return path;
    }
    // Ends the program started last, waiting for it; false if it did not end.
    bool WaitExit(int timeoutMs, DWORD* exitCode) {
        if (::WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0)
            return false;
        ::GetExitCodeProcess(process_.hProcess, exitCode);
        return true;
    }
    HWND Control(int id) const { return ::GetDlgItem(main_, id); }
    void ClickConnect() { ::PostMessageW(Control(IDC_CONNECT), BM_CLICK, 0, 0); }
    // Connects through the window to the simulator on COM18.
    void ConnectToSimulator() {
        ClickConnect();
        ASSERT_TRUE(DialogDriver::WaitUntil([this] { return WindowText(Control(IDC_CONNECT)) == L"Disconnect"; }, 10000))
            << "not connected";
        ASSERT_TRUE(sim_.Opened());
        ASSERT_TRUE(DialogDriver::WaitUntil([this] { return sim_.Count("swin") > 0; }, 5000)) << "not polling";
    }
    void StartConnected(const char* switches) {
        ASSERT_TRUE(devices_.AddPortName(kPortName)) << devices_.LastError();
        ASSERT_TRUE(sim_.Attach(kPort)) << sim_.LastReply();
        ASSERT_TRUE(sim_.SetSwitches(switches));
        ASSERT_NO_FATAL_FAILURE(Start(ToolPath()));
        ASSERT_NO_FATAL_FAILURE(ConnectToSimulator());
    }
    // The message box (or other second dialog) the program shows.
    HWND WaitSecondDialog(int timeoutMs) {
        HWND box = nullptr;
        DialogDriver::WaitUntil(
            [&] {
                box = FindProcessDialog(process_.dwProcessId, false);
                return box != nullptr;
            },
            timeoutMs);
        return box;
    }
    static void PressOk(HWND box) {
        ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(box, IDOK)));
    }

    PortDevices devices_;
    SimController sim_;
    PROCESS_INFORMATION process_ = {};
    HWND main_ = nullptr;
    std::wstring tempDir_;
    std::vector<std::wstring> copies_;
};

TEST_F(ProgramTest, StartsConnectsAndPaintsTheControllerSwitches) {
    ASSERT_TRUE(devices_.AddPortName(kPortName)) << devices_.LastError();
    ASSERT_TRUE(sim_.Attach(kPort)) << sim_.LastReply();
    ASSERT_TRUE(sim_.SetSerial("SN-1818"));
    ASSERT_TRUE(sim_.SetSwitches("10100100"));
    Start(ToolPath());
    ASSERT_NE(nullptr, main_);

    EXPECT_EQ(L"COM18", WindowText(Control(IDC_PORT_COMBO))) << "the registered port is chosen";
    EXPECT_EQ(L"Connect", WindowText(Control(IDC_CONNECT)));
    EXPECT_FALSE(sim_.Opened());
    EXPECT_TRUE(PanelBecomes(main_, "", 5000)) << "grey before connecting";

    ConnectToSimulator();
    EXPECT_EQ(L"SN-1818", WindowText(Control(IDC_SERIAL_NUMBER)));
    EXPECT_TRUE(PanelBecomes(main_, "10100100", 5000));
    ASSERT_TRUE(sim_.SetSwitches("01011000"));
    EXPECT_TRUE(PanelBecomes(main_, "01011000", 5000));

    // Disconnect through the same button.
    ClickConnect();
    EXPECT_TRUE(sim_.WaitOpened(false, 5000));
    EXPECT_TRUE(PanelBecomes(main_, "", 5000)) << "grey after disconnecting";
}

TEST_F(ProgramTest, EscapeEndsTheProgramWhileConnected) {
    StartConnected("11000000");
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof(gui);
    const DWORD thread = ::GetWindowThreadProcessId(main_, nullptr);
    const HWND focus = ::GetGUIThreadInfo(thread, &gui) && gui.hwndFocus ? gui.hwndFocus : main_;
    const Stopwatch watch;
    ::PostMessageW(focus, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    ::PostMessageW(focus, WM_KEYUP, VK_ESCAPE, 0xC0010001);

    EXPECT_TRUE(sim_.WaitOpened(false, 15000)) << "port closed";
    DWORD exitCode = STILL_ACTIVE;
    ASSERT_TRUE(WaitExit(15000, &exitCode)) << "still running " << watch.Ms() << " ms after Esc";
    EXPECT_EQ(0u, exitCode);
}

TEST_F(ProgramTest, CloseCommandEndsTheProgramWhileConnected) {
    StartConnected("00110000");
    const Stopwatch watch;
    ::PostMessageW(main_, WM_SYSCOMMAND, SC_CLOSE, 0);

    EXPECT_TRUE(sim_.WaitOpened(false, 15000)) << "port closed";
    DWORD exitCode = STILL_ACTIVE;
    ASSERT_TRUE(WaitExit(15000, &exitCode)) << "still running " << watch.Ms() << " ms after the close command";
    EXPECT_EQ(0u, exitCode);
}

TEST_F(ProgramTest, AboutBoxIsModalToTheMainWindowAndOkReturnsToIt) {
    ASSERT_NO_FATAL_FAILURE(Start(ToolPath()));
    ::PostMessageW(main_, WM_SYSCOMMAND, IDM_ABOUT, 0);
    const HWND about = WaitSecondDialog(10000);
    ASSERT_NE(nullptr, about) << "no About box";
    EXPECT_EQ(L"Informationen zu KAVRO_Display_Limit_Switches", WindowText(about));
    EXPECT_EQ(main_, ::GetWindow(about, GW_OWNER)) << "owned by the main window";
    EXPECT_FALSE(::IsWindowEnabled(main_)) << "the main window waits for it";

    PressOk(about);
    EXPECT_TRUE(DialogDriver::WaitUntil([&] { return !::IsWindow(about); }, 10000)) << "closed by OK";
    EXPECT_TRUE(DialogDriver::WaitUntil([this] { return ::IsWindowEnabled(main_) != FALSE; }, 5000));
    EXPECT_TRUE(::IsWindowVisible(main_));
    EXPECT_EQ(kMainCaption, WindowText(main_));
    EXPECT_EQ(WAIT_TIMEOUT, ::WaitForSingleObject(process_.hProcess, 0)) << "still running";

    ::PostMessageW(main_, WM_SYSCOMMAND, SC_CLOSE, 0);
    DWORD exitCode = STILL_ACTIVE;
    EXPECT_TRUE(WaitExit(15000, &exitCode));
}

TEST_F(ProgramTest, RenamedCopyCaptionsItsMessageBoxesWithItsOwnName) {
    // No Ports device: the list holds only "Refresh...", and Connect asks for a port.
    for (const wchar_t* name : {L"Renamed Tool.exe", L"Limit.Check.exe"}) {
        const std::wstring file(name);
        const std::wstring expected = file.substr(0, file.size() - 4);
        SCOPED_TRACE(std::string(expected.begin(), expected.end()));

        ASSERT_NO_FATAL_FAILURE(Start(CopyAs(name)));
        EXPECT_EQ(L"Refresh...", WindowText(Control(IDC_PORT_COMBO)));
        ClickConnect();
        const HWND box = WaitSecondDialog(10000);
        ASSERT_NE(nullptr, box) << "no message box";
        EXPECT_EQ(expected, WindowText(box));
        EXPECT_EQ(L"Please select a COM port.", BoxText(box));

        PressOk(box);
        EXPECT_TRUE(DialogDriver::WaitUntil([&] { return !::IsWindow(box); }, 10000)) << "closed by OK";
        EXPECT_EQ(L"Connect", WindowText(Control(IDC_CONNECT)));
        ::PostMessageW(main_, WM_SYSCOMMAND, SC_CLOSE, 0);
        DWORD exitCode = STILL_ACTIVE;
        ASSERT_TRUE(WaitExit(15000, &exitCode));
        Cleanup();
    }
}

// The program started at 100 %, 125 %, 150 % and 200 %: the panel at its
// scaled place with the controller's colours and black arrows, the check box
// placed and sized to scale, and every control inside the window, off the
// panel, with its text whole.
class ProgramScaleTest : public ProgramTest, public ::testing::WithParamInterface<int> {};

TEST_P(ProgramScaleTest, PanelAndControlsFollowTheDisplayScale) {
    const int dpi = GetParam();
    ASSERT_TRUE(devices_.AddPortName(kPortName)) << devices_.LastError();
    ASSERT_TRUE(sim_.Attach(kPort)) << sim_.LastReply();
    ASSERT_TRUE(sim_.SetSwitches("10100100"));
    {
        // The program has read the scale once its window is up; the other
        // tests get 96 back at once.
        const DisplayScale scale(static_cast<DWORD>(dpi));
        ASSERT_TRUE(scale.IsSet());
        ASSERT_NO_FATAL_FAILURE(Start(ToolPath()));
    }
    ASSERT_NO_FATAL_FAILURE(ConnectToSimulator());
    EXPECT_TRUE(PanelBecomes(main_, "10100100", 5000, dpi));

    RECT client;
    ::GetClientRect(main_, &client);
    EXPECT_EQ(Scaled(170, dpi), client.bottom) << "client-area height";
    const HWND check = Control(IDC_INVERT_Z);
    const RECT box = ClientRectOf(main_, check);
    EXPECT_EQ(Scaled(346, dpi), box.left);
    EXPECT_EQ(Scaled(83, dpi), box.top);
    EXPECT_EQ(Scaled(18, dpi), box.bottom - box.top);
    EXPECT_EQ(Scaled(358, dpi) - Scaled(346, dpi), client.right - box.right) << "gap to the right edge";

    const RECT panel = Scaled(kPanel, dpi);
    for (HWND child = ::GetWindow(main_, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const RECT r = ClientRectOf(main_, child);
        RECT overlap, inside;
        EXPECT_FALSE(::IntersectRect(&overlap, &r, &panel)) << "control " << ::GetDlgCtrlID(child) << " on the panel";
        ::IntersectRect(&inside, &r, &client);
        EXPECT_TRUE(::EqualRect(&inside, &r)) << "control " << ::GetDlgCtrlID(child) << " crosses the window's edge";
    }

    // A cut caption leaves its ink on the check box's edge rows.
    const PixelCapture pixels = PixelCapture::OfScreen(check);
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const int w = box.right - box.left, h = box.bottom - box.top;
    int edgeInk = 0;
    for (int x = 0; x < w; ++x)
        edgeInk += (pixels.At(x, 0) != face) + (pixels.At(x, h - 1) != face);
    for (int y = 0; y < h; ++y)
        edgeInk += pixels.At(w - 1, y) != face;
    EXPECT_EQ(0, edgeInk) << "caption of \"Swap Z axis\" cut";

    // The labels' font grows too: its characters are 14 pixels high at
    // 100 %, so the ink of "X/Y" is 10 to 14 pixels high there, scaled
    // here, and centred in its square.
    const PixelCapture window = PixelCapture::OfScreen(main_);
    const RECT label = Scaled(kLabels[0].rect, dpi);
    RECT ink = {label.right, label.bottom, label.left, label.top};
    for (int y = label.top; y < label.bottom; ++y) {
        for (int x = label.left; x < label.right; ++x) {
            if (window.At(x, y) != face)
                ink = {std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y), std::max<LONG>(ink.right, x + 1),
                       std::max<LONG>(ink.bottom, y + 1)};
        }
    }
    EXPECT_GE(ink.bottom - ink.top, Scaled(10, dpi)) << "label ink height";
    EXPECT_LE(ink.bottom - ink.top, Scaled(14, dpi)) << "label ink height";
    EXPECT_NEAR((label.left + label.right) / 2.0, (ink.left + ink.right) / 2.0, Scaled(3, dpi));
    EXPECT_NEAR((label.top + label.bottom) / 2.0, (ink.top + ink.bottom) / 2.0, Scaled(4, dpi));
}

INSTANTIATE_TEST_SUITE_P(Scales, ProgramScaleTest, ::testing::Values(96, 120, 144, 192),
                         [](const ::testing::TestParamInfo<int>& info) { return "Dpi" + std::to_string(info.param); });

}  // namespace
