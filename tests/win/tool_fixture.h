// The fixture of the Windows tests: the real dialog, run modally on a
// user-interface thread of its own as the application runs it, against the
// simulated controller on COM11, the only Ports device registered. It counts
// the timer-resolution calls the tool makes, notes the kernel handles and
// GDI objects the process holds at the start, and checks the two ends every
// scenario reaches: idle, and following the controller.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/main_dialog.h"
#include "bench/screen.h"
#include "sim/win/port_devices.h"
#include "sim/win/screen_reader.h"
#include "tests/win/test_ports.h"
#include "tests/win/test_sim.h"
#include "sim/win/window_reach.h"

// The dialog under test: counts the private messages its loop retrieves,
// and runs test code on its own thread.
class TestDialog : public CKAVRODisplayLimitSwitchesDlg {
public:
    std::atomic<int> m_panelRefreshes{0};
    std::atomic<int> m_connectionLosts{0};
    // Times the tool acted on device notices once they had settled.
    std::atomic<int> m_devicesSettled{0};

    // Runs fn on the dialog's thread, also while a message box is up there.
    void RunOnUi(const std::function<void()>& fn);

protected:
    BOOL PreTranslateMessage(MSG* pMsg) override;
    LRESULT OnRunOnUi(WPARAM wParam, LPARAM lParam);
    LRESULT OnQueueReached(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()
};

// A message box as the user sees it.
struct MessageBoxSeen {
    HWND hWnd = nullptr;
    std::wstring caption, text;
    enum Icon { None, Exclamation, Error, Other } icon = None;
};

struct ExpectedBox {
    const wchar_t* text;
    MessageBoxSeen::Icon icon;
};
extern const ExpectedBox kSelectPortBox, kUnableToOpenBox, kNoResponseBox, kThreadBox, kConnectionLostBox,
    kSystemFailureBox;

class ToolTest : public ::testing::Test {
public:
    static constexpr int kPort = 11;

    void SetUp() override;
    void TearDown() override;

    // What the user does.
    void Click();  // Connect or Disconnect, posted as a click is
    // Clicks "Swap Z axis" and waits until the dialog has handled it.
    void Swap();
    // The port list as the user works it. Keys and characters are posted to
    // the list's field, the pointer moved and clicked with SendInput.
    HWND PortField() const;
    void PressKey(UINT vk, bool alt = false);
    void TypeText(const std::wstring& text);  // '\b' is Backspace
    // Opens the list with the pointer and clicks the entry with this text;
    // false when the list does not show it, or the field then does not
    // show `shows` (the entry's text, if not given).
    bool PickPort(const std::wstring& text, std::wstring shows = L"");
    // Registers a Ports device, as an adapter plugged in. The handles the
    // registration leaves in this process are the test's, not the tool's.
    void AddDevice(const std::wstring& portName);
    // Windows tells every top-level window that devices came or went; the
    // list then holds `entries` entries.
    void Listed(size_t entries);
    std::vector<std::wstring> Entries();
    // What the port list's tool tip would show now.
    std::wstring PortTip();
    // Returns once the window has handled every message queued to it so
    // far: a message posted now is handled after them.
    void AfterQueued();
    // The next message box of the dialog's thread; hWnd null when none came.
    MessageBoxSeen WaitBox(int timeoutMs);
    static void PressOk(const MessageBoxSeen& box);
    // Closes the window (Cancel) and returns how long it took. A window that
    // does not close within 10 s ends the test program: the tool hangs.
    long long CloseWindow();

    // What the window holds, read on its thread.
    template <typename T>
    T OnUi(const std::function<T()>& fn) {
        T value{};
        dlg_->RunOnUi([&] { value = fn(); });
        return value;
    }
    int Connected();
    std::string Flags();  // the eight flags, '0'/'1' each
    std::wstring Text(int id);
    // Timer-resolution requests the tool holds now (begun minus ended).
    static int TimerPeriodsHeld();

    // The controller's serial number from now on, and that number as the
    // window shows it.
    void SetSerial(const std::string& serial);
    std::wstring SerialShown() const;

    // Presses Connect; expects the connection up and polled, the serial
    // number, and by the second poll the panel showing the controller's
    // switches (8 digits), or the flags given.
    void Connect(const std::string& switches = "00000000", std::string flags = "");
    // Until n more polls have gone out.
    void Polls(int n);
    // The controller answers `line` from now on: the flags are `flags`
    // (the line itself when not given) by the next poll but one, the panel
    // shows them, and one repaint was asked for exactly when a flag changed.
    void ExpectFollows(const std::string& line, std::string flags = "");
    // The box comes minMs to maxMs after the tick count `since` (0: now), says
    // what it should, captioned with the program's name; it is left up.
    MessageBoxSeen ExpectBox(const ExpectedBox& box, int minMs, int maxMs, ULONGLONG since = 0);
    // Idle: "Connect", no serial number, flags clear, no worker, port
    // closed, timer given back, panel grey.
    void ExpectIdle();
    // The process holds no more kernel handles or GDI objects than at the
    // start; checked with no box up, which holds GDI objects of its own.
    void ExpectNothingLeaked();
    ::testing::AssertionResult PanelBecomes(const PanelExpectation& expected, int timeoutMs);

    TestPorts devices_;
    TestSim sim_;
    std::string serial_ = "SN-0042";
    TestDialog* dlg_ = nullptr;
    HWND main_ = nullptr;

private:
    CWinApp app_;
    std::thread ui_;
    std::atomic<DWORD> uiThreadId_{0};
    bool closed_ = false;
    int handlesAtStart_ = -1;
    int gdiRoomAtStart_ = -1;
};


// The bench of one test: COM<port> the only Ports device, with a controller
// that answers serial behind it.
::testing::AssertionResult PrepareBench(int port, const std::string& serial, PortDevices& devices, TestSim& sim);

// Ends the test program at once, saying what hangs: now rather than at the
// test runner's time-out.
[[noreturn]] void Hangs(const std::string& what);

// GDI objects this process could still create: a fall by n means n more held.
int GdiObjectRoom();

// Milliseconds since the tick count `start`.
inline long long MsSince(ULONGLONG start) { return static_cast<long long>(::GetTickCount64() - start); }

// Expects dialog's switch panel, painted at dpi, read as a grouping "Limit
// switches" whose six elements lie at the boxes' places, named apart, each
// saying by its value and state what `says` gives in the boxes' order (S
// set, C clear, N not read). Returns the elements' values.
std::vector<std::wstring> ExpectPanelSays(HWND dialog, int dpi, const char* says);
