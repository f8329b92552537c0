// Faults around the connection, through the real dialog: a controller that
// falls silent, a pulled cable, a port that is refused, hurried clicks, the
// window closed at awkward moments, a port left with flow control by another
// program, and system calls that fail.
#include <gtest/gtest.h>

#include <windows.h>

#include <mmsystem.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <string>

#include "tests/win/fault_fixture.h"
#include "tests/win/import_patch.h"
#include "tests/win/process_handles.h"
#include "tests/win/test_clock.h"

namespace {

constexpr int kPort = 14;
constexpr int kOtherPort = 16;

class SessionFaultTest : public FaultTest {
protected:
    SessionFaultTest() : FaultTest(kPort) {}

    // Closes the dialog as the user does (Cancel) and returns how long the
    // close took; the driver fails the program if it hangs. Whatever the
    // connection held must be released with the window.
    long long CloseWindow() {
        const Stopwatch watch;
        driver_->Close();
        const long long ms = watch.Ms();
        EXPECT_LE(KernelHandleCount(), handlesAtStart_) << "kernel handles leaked";
        return ms;
    }
};

// --- The controller falls silent ---------------------------------------

TEST_F(SessionFaultTest, SilentAtTheHandshake) {
    ASSERT_TRUE(sim_.Silent());
    const int refreshes = Dlg().m_panelRefreshes;
    const Stopwatch watch;
    driver_->ClickConnect();
    const MessageBoxSeen box = ExpectBox(kNoResponseBox, 10000);
    EXPECT_GE(watch.Ms(), 1900);
    EXPECT_LT(watch.Ms(), 8000);
    EXPECT_TRUE(sim_.WaitOpened(false, 3000)) << "port closed before the box";
    EXPECT_EQ(0, g_linkReady);
    DialogDriver::PressOk(box);
    ExpectIdle();
    EXPECT_EQ(refreshes, Dlg().m_panelRefreshes) << "no repaint after a silent handshake";
    EXPECT_EQ(1, sim_.Count("readsn"));
    EXPECT_EQ(0, sim_.Count("swin"));
}

TEST_F(SessionFaultTest, SerialNumberLaterThanTheWait) {
    ASSERT_TRUE(sim_.SetDelay(2200));
    driver_->ClickConnect();
    const MessageBoxSeen box = ExpectBox(kNoResponseBox, 10000);
    DialogDriver::PressOk(box);
    ExpectIdle();
}

TEST_F(SessionFaultTest, SilentMidSessionIsToldAfterTheDisconnect) {
    Connect("11000000");
    ASSERT_TRUE(sim_.Silent());
    const Stopwatch watch;
    const MessageBoxSeen box = ExpectBox(kConnectionLostBox, 10000);
    EXPECT_GE(watch.Ms(), 1800);
    EXPECT_LT(watch.Ms(), 8000);
    // While the box is up, the disconnect is already complete.
    ExpectIdle();
    DialogDriver::PressOk(box);
    EXPECT_EQ(1, Dlg().m_connectionLosts);
}

TEST_F(SessionFaultTest, SilentWhileDisconnectIsPressed) {
    Connect("10000000");
    ASSERT_TRUE(sim_.Silent());
    Polls(1);  // the worker is now waiting in vain
    driver_->ClickConnect();
    // The disconnect waits for the worker's reply wait to run out.
    ASSERT_TRUE(DialogDriver::WaitUntil([this] { return Connected() == 0; }, 8000));
    ASSERT_TRUE(DialogDriver::WaitUntil([this] { return Dlg().m_connectionLosts == 1; }, 5000));
    driver_->Read<int>([] { return 0; });  // the late message has been handled
    EXPECT_EQ(nullptr, FindThreadDialog(driver_->UiThreadId(), Main())) << "no box for a connection already down";
    ExpectIdle();
}

// --- The cable ---------------------------------------------------------

TEST_F(SessionFaultTest, CablePulledThenPluggedBackAndConnectedAgain) {
    Connect("00110000");
    ASSERT_TRUE(sim_.Hangup());
    const MessageBoxSeen box = ExpectBox(kConnectionLostBox, 10000);
    ExpectIdle();
    DialogDriver::PressOk(box);

    // The controller back on the same port: a new Connect succeeds.
    SimController back;
    ASSERT_TRUE(back.Connect() && back.Attach(kPort)) << back.LastReply();
    ASSERT_TRUE(back.SetSerial("SN-BACK") && back.SetSwitches("00001100"));
    driver_->ClickConnect();
    ASSERT_TRUE(DialogDriver::WaitUntil([this] { return Connected() == 1; }, 8000));
    EXPECT_EQ(L"SN-BACK", driver_->SerialText());
    ASSERT_TRUE(DialogDriver::WaitUntil([this] { return Flags() == "00001100"; }, 3000));
    EXPECT_TRUE(PanelBecomes("00001100", 3000));
}

TEST_F(SessionFaultTest, CablePulledInTheMiddleOfALine) {
    Connect("11111100");
    ASSERT_TRUE(sim_.Silent());
    Polls(1);
    ASSERT_TRUE(sim_.Send("0000"));  // half an answer, then the cable goes
    ASSERT_TRUE(sim_.Hangup());
    const MessageBoxSeen box = ExpectBox(kConnectionLostBox, 10000);
    ExpectIdle();
    DialogDriver::PressOk(box);
}

// --- Ports and clicks ----------------------------------------------------

TEST_F(SessionFaultTest, PortRefusedThenFreed) {
    {
        // Another program holds the port. Wine does not enforce exclusive
        // opens, so the port is made unopenable instead.
        SimController holder;
        ASSERT_TRUE(holder.Connect() && holder.Block(kPort)) << holder.LastReply();
        driver_->ClickConnect();
        const MessageBoxSeen box = ExpectBox(kUnableToOpenBox, 5000);
        DialogDriver::PressOk(box);
    }
    ExpectIdle();
    SimController freed;
    ASSERT_TRUE(freed.Connect() && freed.Attach(kPort)) << freed.LastReply();
    ASSERT_TRUE(freed.SetSerial("SN-FREED") && freed.SetSwitches("01000000"));
    driver_->ClickConnect();
    ASSERT_TRUE(DialogDriver::WaitUntil([this] { return Connected() == 1; }, 8000));
    EXPECT_EQ(L"SN-FREED", driver_->SerialText());
    EXPECT_TRUE(PanelBecomes("01000000", 3000));
}

TEST_F(SessionFaultTest, DisconnectAndConnectPressedQuicklyInTurn) {
    Connect("10100000");
    // Ten clicks posted at once: each is handled to its end before the next.
    for (int i = 0; i < 10; ++i)
        driver_->ClickConnect();
    ASSERT_TRUE(DialogDriver::WaitUntil([this] { return sim_.Count("readsn") == 6; }, 20000));
    ASSERT_TRUE(DialogDriver::WaitUntil([this] { return Connected() == 1; }, 8000));
    EXPECT_EQ(L"Disconnect", driver_->ButtonText());
    EXPECT_EQ(L"SN-FAULT", driver_->SerialText());
    ExpectFollows("01010000");
    driver_->ClickConnect();
    ExpectIdle();
}

// --- The window closed ---------------------------------------------------

TEST_F(SessionFaultTest, WindowClosedWhileConnected) {
    Connect("11000000");
    EXPECT_LT(CloseWindow(), 5000);
    EXPECT_EQ(nullptr, Dlg().m_pPollThread) << "worker joined and deleted";
    EXPECT_TRUE(sim_.WaitOpened(false, 3000)) << "port closed with the window";
    EXPECT_EQ(0, g_linkReady);
    EXPECT_FALSE(Dlg().m_timerResolution.Held());
}

TEST_F(SessionFaultTest, WindowClosedWhileAReplyWaitRunsOut) {
    Connect("11000000");
    ASSERT_TRUE(sim_.Silent());
    Polls(1);
    // The close waits for the worker's wait to run out, and the lost
    // connection it then reports finds no window to bother.
    EXPECT_LT(CloseWindow(), 8000);
    EXPECT_TRUE(sim_.WaitOpened(false, 3000));
    EXPECT_EQ(0, g_linkReady);
    EXPECT_FALSE(Dlg().m_timerResolution.Held());
}

TEST_F(SessionFaultTest, WindowClosedWhileAMessageBoxIsUp) {
    Connect("11000000");
    ASSERT_TRUE(sim_.Silent());
    const MessageBoxSeen box = ExpectBox(kConnectionLostBox, 10000);
    // Closed from outside (the taskbar) while the box waits for the user.
    ::PostMessageW(Main(), WM_SYSCOMMAND, SC_CLOSE, 0);
    ::Sleep(300);
    EXPECT_TRUE(::IsWindowVisible(box.hWnd)) << "the box stays for the user to read";
    DialogDriver::PressOk(box);
    EXPECT_TRUE(DialogDriver::WaitUntil([this] { return !::IsWindow(Main()); }, 5000)) << "then the window closes";
    EXPECT_LT(CloseWindow(), 5000);
    EXPECT_TRUE(sim_.WaitOpened(false, 3000));
}

// --- A port left with flow control ----------------------------------------

TEST_F(SessionFaultTest, PortLeftWithXonXoffByAnotherProgram) {
    // With XON/XOFF kept, the XOFF byte in each answer would stop the
    // tool's output, and its next poll would never reach the controller.
    ASSERT_TRUE(sim_.SetXonXoff(true));
    Connect(std::string("10100000\x13", 9));
    Polls(5);
    ExpectFollows(std::string("01010000\x13", 9));
    EXPECT_EQ(0, Dlg().m_connectionLosts);
}

// --- System calls that fail ------------------------------------------------

int WINAPI FailingConversion(UINT, DWORD, LPCCH, int, LPWSTR, int) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
}

TEST_F(SessionFaultTest, SerialNumberThatCannotBeConvertedLeavesNoPortOpen) {
    {
        ImportPatch failing("KERNEL32.dll", "MultiByteToWideChar", reinterpret_cast<void*>(&FailingConversion));
        ASSERT_TRUE(failing.Active());
        driver_->ClickConnect();
        const MessageBoxSeen box = driver_->WaitMessageBox(10000);
        ASSERT_NE(nullptr, box.hWnd);
        EXPECT_EQ(L"An operation of the system failed.", box.text);
        DialogDriver::PressOk(box);
    }
    ExpectIdle();

    // The next Connect talks to the port chosen then, not to the old one.
    SimController other;
    ASSERT_TRUE(other.Connect() && other.Attach(kOtherPort)) << other.LastReply();
    ASSERT_TRUE(other.SetSerial("SN-OTHER") && other.SetSwitches("00000011"));
    ASSERT_TRUE(devices_.AddPortName(L"COM" + std::to_wstring(kOtherPort)));
    Dlg().RunOnUi([this] { Dlg().RefreshPortList(); });
    ASSERT_TRUE(driver_->ChoosePort(L"COM" + std::to_wstring(kOtherPort)));
    driver_->ClickConnect();
    ASSERT_TRUE(DialogDriver::WaitUntil([this] { return Connected() == 1; }, 8000));
    EXPECT_EQ(L"SN-OTHER", driver_->SerialText());
    EXPECT_FALSE(sim_.Opened()) << "the first port stays closed";
}

std::atomic<int> g_periodsHeld{0};
ImportPatch* g_beginPatch = nullptr;
ImportPatch* g_endPatch = nullptr;

MMRESULT WINAPI CountingBegin(UINT period) {
    const MMRESULT result = g_beginPatch->Original<MMRESULT(WINAPI*)(UINT)>()(period);
    if (result == TIMERR_NOERROR)
        ++g_periodsHeld;
    return result;
}

MMRESULT WINAPI CountingEnd(UINT period) {
    --g_periodsHeld;
    return g_endPatch->Original<MMRESULT(WINAPI*)(UINT)>()(period);
}

uintptr_t __cdecl FailingThreadStart(void*, unsigned, unsigned(__stdcall*)(void*), void*, unsigned, unsigned*) {
    errno = EAGAIN;
    return 0;
}

// The 1 ms timer resolution is held from the handshake on and given back on
// every way out; the calls are counted as the tool makes them.
class TimerResolutionTest : public SessionFaultTest {
protected:
    void SetUp() override {
        g_periodsHeld = 0;
        begin_ = std::make_unique<ImportPatch>("WINMM.dll", "timeBeginPeriod", reinterpret_cast<void*>(&CountingBegin));
        end_ = std::make_unique<ImportPatch>("WINMM.dll", "timeEndPeriod", reinterpret_cast<void*>(&CountingEnd));
        g_beginPatch = begin_.get();
        g_endPatch = end_.get();
        ASSERT_TRUE(begin_->Active() && end_->Active());
        SessionFaultTest::SetUp();
    }
    void TearDown() override {
        SessionFaultTest::TearDown();
        EXPECT_EQ(0, g_periodsHeld) << "after the window closed";
        end_.reset();
        begin_.reset();
    }
    std::unique_ptr<ImportPatch> begin_, end_;
};

TEST_F(TimerResolutionTest, HeldWhileConnectedAndGivenBackOnEveryWayOut) {
    // Disconnect.
    Connect("10000000");
    EXPECT_EQ(1, g_periodsHeld);
    driver_->ClickConnect();
    ExpectIdle();
    EXPECT_EQ(0, g_periodsHeld);

    // No answer at the handshake.
    ASSERT_TRUE(sim_.Silent());
    driver_->ClickConnect();
    DialogDriver::PressOk(ExpectBox(kNoResponseBox, 10000));
    EXPECT_EQ(0, g_periodsHeld);

    // Connection lost.
    ASSERT_TRUE(sim_.Answer());
    Connect("01000000");
    EXPECT_EQ(1, g_periodsHeld);
    ASSERT_TRUE(sim_.Silent());
    DialogDriver::PressOk(ExpectBox(kConnectionLostBox, 10000));
    EXPECT_EQ(0, g_periodsHeld);

    // The worker cannot be started.
    ASSERT_TRUE(sim_.Answer());
    {
        ImportPatch noThreads("msvcrt.dll", "_beginthreadex", reinterpret_cast<void*>(&FailingThreadStart));
        ASSERT_TRUE(noThreads.Active());
        driver_->ClickConnect();
        const MessageBoxSeen box = driver_->WaitMessageBox(10000);
        ASSERT_NE(nullptr, box.hWnd);
        EXPECT_EQ(L"Error starting thread!", box.text);
        DialogDriver::PressOk(box);
    }
    EXPECT_TRUE(sim_.WaitOpened(false, 3000));
    EXPECT_EQ(0, g_periodsHeld);

    // The window closed while connected: checked after tear-down.
    Connect("00100000");
    EXPECT_EQ(1, g_periodsHeld);
}

}  // namespace
