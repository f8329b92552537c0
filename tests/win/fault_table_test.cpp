// Faults through the real dialog against the simulated controller, one row
// each: what the controller, the port, the system and the user do, and where
// the tool must end within a bound: idle (with the box that says why),
// following the controller again at the next poll, or closed with nothing
// left behind.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <bitset>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <new>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/resource.h"
#include "bench/process_usage.h"
#include "serial/com_link.h"
#include "tests/win/import_patch.h"
#include "tests/win/tool_fixture.h"

namespace {

class FaultTest;

struct End {
    enum Kind { Follows, Idle, Closed } kind;
    const ExpectedBox* box = nullptr;  // Idle: the box that says why
    int minMs = 0, maxMs = 0;          // when the box comes (from actAt_, else the act's end), or how long the close takes
};

struct Row {
    const char* name;
    std::function<void(FaultTest&)> act;
    End end;
    std::function<void(FaultTest&)> then = {};  // what the user does next, if anything
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

const End kFollows = {End::Follows};

End IdleWith(const ExpectedBox& box, int minMs, int maxMs) { return {End::Idle, &box, minMs, maxMs}; }

class FaultTest : public ToolTest, public ::testing::WithParamInterface<Row> {
public:
    // The controller back on the port, with a new cable: a new connection
    // to the simulator and a new controller with the same serial number.
    void Replug() {
        sim_.Close();
        ASSERT_TRUE(sim_.Connect() && sim_.Attach(kPort) && sim_.SetSerial(serial_)) << sim_.LastReply();
    }

    // A line that never ends: one byte every 150 ms, never a carriage
    // return, until done() holds or timeoutMs have passed; whether it held.
    bool DripUntil(const std::function<bool()>& done, int timeoutMs, const char* byte = "0") {
        for (const ULONGLONG start = ::GetTickCount64(); !done(); sim_.Send(byte), ::Sleep(150))  // the line's pace
            if (MsSince(start) >= timeoutMs)
                return false;
        return true;
    }
    DWORD UiThreadId() const { return ::GetWindowThreadProcessId(main_, nullptr); }

    TestSim other_;  // another program on the port, or a second controller
    long long silentAtUs_ = 0;
    // The act (a click, a fault) that a box answers, when the row awaits the
    // box while the act's faults are in place: the box's bounds count from it.
    ULONGLONG actAt_ = 0;
};

// Silence is told of about 2 s after the last answer or the click (a poll
// pause at most, then the 2010 ms reply wait): a wait that doubles takes 4 s.
constexpr int kSilenceToldMs = 3000;
// A read a driver never completes is cancelled every 500 ms while the worker
// is awaited: a beat that doubles ends it after 1 s.
constexpr int kCancelledWithinMs = 900;

int Setting(const char* name, int fallback) {
    const char* text = std::getenv(name);
    return text && std::atoi(text) > 0 ? std::atoi(text) : fallback;
}

std::string Long(size_t length, const char* head) { return (head + std::string(length, '1')).substr(0, length); }

// Windows ends the session: asks (unless asked already), then tells; how
// long the telling took.
long long LogOff(FaultTest& t, bool ask = true) {
    DWORD_PTR answer = TRUE;
    EXPECT_TRUE(!ask || ::SendMessageTimeoutW(t.main_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &answer));
    EXPECT_EQ(static_cast<DWORD_PTR>(TRUE), answer) << "the session may end";
    const ULONGLONG start = ::GetTickCount64();
    ::SendMessageTimeoutW(t.main_, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 10000, &answer);
    return MsSince(start);
}

void ConnectThenSilent(FaultTest& t) {
    t.Connect("11000000");
    ASSERT_TRUE(t.sim_.Silent());
    t.silentAtUs_ = t.sim_.Now();
}

int WINAPI FailingConversion(UINT, DWORD, LPCCH, int, LPWSTR, int) { return ::SetLastError(ERROR_INVALID_PARAMETER), 0; }

uintptr_t __cdecl FailingThreadStart(void*, unsigned, unsigned(__stdcall*)(void*), void*, unsigned, unsigned*) {
    return errno = EAGAIN, 0;
}

BOOL WINAPI PurgeOutOfMemory(HANDLE, DWORD) { throw std::bad_alloc(); }

// A driver that takes cancels and does nothing with them.
BOOL WINAPI IgnoredCancel(HANDLE, LPOVERLAPPED) { return TRUE; }

DWORD WINAPI FailingWait(DWORD, const HANDLE*, BOOL, DWORD, DWORD) { return ::SetLastError(ERROR_INVALID_HANDLE), WAIT_FAILED; }

// The tick count standing still on one thread, as it may while a process
// makes no call that moves it on.
const ImportPatch* g_tickCount = nullptr;
DWORD g_frozenThread = 0;
ULONGLONG WINAPI FrozenTickCount() {
    static const ULONGLONG frozen = g_tickCount->Original<decltype(&::GetTickCount64)>()();
    return ::GetCurrentThreadId() == g_frozenThread ? frozen : g_tickCount->Original<decltype(&::GetTickCount64)>()();
}

// A driver that loses the byte asked for and never completes the read, as
// one whose adapter was pulled in the middle of it: only cancelling ends it.
const ImportPatch* g_readFile = nullptr;
HANDLE g_readHangs = nullptr;  // set once a read that never ends is under way
BOOL WINAPI NeverEndingRead(HANDLE port, LPVOID buffer, DWORD size, LPDWORD got, LPOVERLAPPED overlapped) {
    ::PurgeComm(port, PURGE_RXCLEAR);
    COMMTIMEOUTS none = {};  // no time-out: the read waits for a byte
    ::SetCommTimeouts(port, &none);
    const BOOL started = g_readFile->Original<decltype(&::ReadFile)>()(port, buffer, size, got, overlapped);
    ::SetEvent(g_readHangs);
    return started;
}

// A worker whose thread outlives its report of a loss a while, as a
// thread's end may take: the loss is queued while the worker still runs.
const ImportPatch* g_postMessage = nullptr;
HANDLE g_lossPosted = nullptr;
BOOL WINAPI SlowToEndAfterALoss(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    const BOOL posted = g_postMessage->Original<decltype(&::PostMessageW)>()(hWnd, message, wParam, lParam);
    if (message == WM_CONNECTION_LOST) {
        ::SetEvent(g_lossPosted);
        ::Sleep(500);
    }
    return posted;
}

// Connects, then every read of the port hangs until cancelled.
void ConnectThenReadsHang(FaultTest& t) {
    t.Connect("01000000");
    g_readHangs = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    {
        const ImportPatch hanging("KERNEL32.dll", "ReadFile", reinterpret_cast<void*>(&NeverEndingRead));
        ASSERT_TRUE(hanging.Active());
        g_readFile = &hanging;
        // The next answer's first byte is read through the patch.
        EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(g_readHangs, 3000)) << "the worker reads no more";
    }
    g_readFile = nullptr;
    ::CloseHandle(g_readHangs);
}

// Growth per step, as a least-squares slope: a steady leak shows, a one-time cache hardly.
double Slope(const std::vector<double>& y) {
    double sum = 0, squares = 0, mid = (y.size() - 1) / 2.0;
    for (size_t i = 0; i < y.size(); ++i)
        sum += (i - mid) * y[i], squares += (i - mid) * (i - mid);
    return sum / squares;
}

// Disconnect, then Connect at once to a controller whose switches read as before.
void Reconnect(FaultTest& t) {
    t.Click();
    ASSERT_TRUE(WaitUntil([&] { return t.Connected() == 0; }, 3000));
    t.Connect();
}

// Another program leaves the port (COM11) with XON/XOFF both ways, through
// the real SetCommState: under Wine its output then stops at an XOFF byte.
void PortLeftWithXonXoff() {
    const HANDLE port = ::CreateFileW(L"\\\\.\\COM11", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    DCB dcb = {};
    dcb.DCBlength = sizeof(DCB);
    ASSERT_TRUE(port != INVALID_HANDLE_VALUE && ::GetCommState(port, &dcb));
    dcb.fOutX = dcb.fInX = TRUE;
    EXPECT_TRUE(::SetCommState(port, &dcb) && ::CloseHandle(port));
}

const Row kRows[] = {
    // --- Answers the rules read, at the poll's own pace
    {"PollsAboutEveryHundredMilliseconds",
     [](FaultTest& t) {
         t.Connect("10000000");
         t.Polls(13);
         std::vector<long long> times = t.sim_.PollTimes(), gaps;
         for (size_t i = times.size() - 12; i < times.size(); ++i)
             gaps.push_back(times[i] - times[i - 1]);
         std::sort(gaps.begin(), gaps.end());
         // A cycle is its exchange (a few ms here) and the 100 ms pause.
         EXPECT_TRUE(gaps[6] >= 95000 && gaps[6] <= 150000) << "median gap " << gaps[6] << " us";
     },
     kFollows},
    {"OverLongAnswersAreReadOncePerPoll",
     [](FaultTest& t) {
         // Each is read up to its 99th byte; its rest must not become the
         // next answer: the filler would read as other switches.
         t.Connect();
         for (const size_t length : {150u, 1000u})
             for (const char* head : {"10100101", "01011010"})
                 t.ExpectFollows(Long(length, head), head);
     },
     kFollows},
    // Well within the 2 s wait, on a loaded machine too.
    {"LateAnswersWithinTheWaitAreAccepted",
     [](FaultTest& t) { t.Connect(), t.sim_.SetDelay(1800), t.ExpectFollows("01000000"), t.sim_.SetDelay(0); }, kFollows},
    {"AnswersThatAreNoSwitchesShowNothing",
     [](FaultTest& t) {
         // A port at the wrong speed: nine bytes, none of them a '1'.
         t.sim_.SetSwitches("\xf0\x80\xfe\x8c\xf8\x80\x80\xfe\xe0"), t.Click();
         ASSERT_TRUE(WaitUntil([&] { return t.Connected() == 1; }, 8000));
         for (int i = 0; i < 3; ++i) {  // 1.5 s of answers no rule can read
             t.Polls(5);
             EXPECT_TRUE(t.PanelBecomes({false, ""}, 0)) << "grey while nothing was read";
         }
         EXPECT_EQ(t.SerialShown(), t.Text(IDC_SERIAL_NUMBER));
         // Then readable answers, then an error text: grey about 2 s after the last readable one.
         t.ExpectFollows("10100000");
         const ULONGLONG start = ::GetTickCount64();
         ASSERT_TRUE(t.sim_.SetSwitches("error: unknown command"));
         ASSERT_TRUE(t.PanelBecomes({false, ""}, 2800)) << "the error read as switches, or the last state kept";
         EXPECT_GE(MsSince(start), 1900) << "grey before the reply wait was out";
         t.Polls(5);
         EXPECT_TRUE(t.PanelBecomes({false, ""}, 0) && t.Connected() == 1) << "for as long as it lasts";
     },
     kFollows},
    {"FirstAnswerLateShowsNothingMeanwhile",
     [](FaultTest& t) {
         t.sim_.SetDelay(1500), t.Click();
         ASSERT_TRUE(WaitUntil([&] { return t.Connected() == 1; }, 8000));
         const ULONGLONG start = ::GetTickCount64();
         EXPECT_TRUE(t.PanelBecomes({false, ""}, 0)) << "no all-clear before the first answer";
         ASSERT_TRUE(t.PanelBecomes({true, "00000000"}, 4000));
         EXPECT_GE(MsSince(start), 1300);
         ASSERT_TRUE(t.sim_.SetDelay(0));
     },
     kFollows},
    {"EmptySerialNumberStillConnects", [](FaultTest& t) { t.SetSerial(""), t.Connect(); }, kFollows},
    {"SerialNumberShownAsReceived", [](FaultTest& t) { t.SetSerial(" SN 0042 \xe9"), t.Connect(); }, kFollows},
    // The XOFF is a byte like any other.
    {"PortLeftWithXonXoffThenAnXoffInAnAnswer",
     [](FaultTest& t) { PortLeftWithXonXoff(), t.Connect(), t.ExpectFollows("1010\x13" "0101", "10100101"); }, kFollows},
    // Also the endurance run's (tests/long/endurance.sh): 16 cycles here after
    // one that loads what the program keeps for good, each sampled (GDI
    // objects on the window's thread, which then paints nothing).
    {"DisconnectAndConnectPressedQuicklyInTurn",
     [](FaultTest& t) {
         const int cycles = Setting("KAVRO_ENDURANCE_CYCLES", 16);
         std::vector<double> gdiRoom, memoryKb;
         t.Connect("10100000");
         for (int i = 0; i <= cycles && !t.HasFailure(); ++i) {
             t.Click(), t.Click();  // the first is handled to its end before the second
             ASSERT_TRUE(WaitUntil([&] { return t.sim_.Count("readsn") == i + 2 && t.Connected() == 1; }, 8000));
             t.Polls(1);
             if (i > 0)
                 gdiRoom.push_back(t.OnUi<int>(GdiObjectRoom)), memoryKb.push_back(PrivateMemoryBytes() / 1024.0);
         }
         EXPECT_LE(-Slope(gdiRoom), 4.0) << "GDI objects held per cycle";
         EXPECT_LE(Slope(memoryKb), 64.0) << "KB of private memory per cycle";
     },
     kFollows, [](FaultTest& t) { t.Click(), t.ExpectIdle(), t.ExpectNothingLeaked(); }},
    {"RepaintsGiveBackEveryGdiObject",
     [](FaultTest& t) {
         t.Connect("01011000");
         for (int i = Setting("KAVRO_ENDURANCE_REPAINTS", 1000); i > 0; --i)  // sent: each painted as it returns
             ::SendMessageW(t.main_, WM_PANEL_REFRESH, 0, 0);
         EXPECT_TRUE(t.PanelBecomes({true, "01011000"}, 0)) << "the last paint is a whole panel";
         t.Click();
     },
     {End::Idle}},

    // The soak (tests/long/endurance.sh --soak, for KAVRO_SOAK_SECONDS; not
    // in the test pass): the switches change several times a second, each
    // change on the panel by the next poll but one, and the process holds
    // no more at the end than at the start.
    {"Soak",
     [](FaultTest& t) {
         const int seconds = Setting("KAVRO_SOAK_SECONDS", 0);
         if (seconds == 0)
             GTEST_SKIP() << "the soak runs from tests/long/endurance.sh --soak";
         std::mt19937 random{std::random_device{}()};
         t.Connect();
         const long long memory = PrivateMemoryBytes(), handles = KernelHandleCount();
         const ULONGLONG start = ::GetTickCount64();
         int changes = 0;
         for (; MsSince(start) < seconds * 1000LL && !t.HasFailure(); ++changes)
             t.ExpectFollows(std::bitset<8>(random()).to_string());
         std::printf("%d changes in %lld s; kernel handles %lld -> %d, private memory %lld -> %lld KB\n", changes,
                     MsSince(start) / 1000, handles, KernelHandleCount(), memory / 1024, PrivateMemoryBytes() / 1024);
         EXPECT_LE(PrivateMemoryBytes(), memory + 1024 * 1024) << "private memory grew";
         t.Click();
     },
     {End::Idle}},

    // --- The controller falls silent, or is gone
    {"SilentAtTheHandshake", [](FaultTest& t) { t.sim_.Silent(), t.Click(); }, IdleWith(kNoResponseBox, 1900, kSilenceToldMs),
     [](FaultTest& t) {
         EXPECT_TRUE(t.sim_.Count("readsn") == 1 && t.sim_.Count("swin") == 0) << "one request, and no poll";
         EXPECT_EQ(0, t.dlg_->m_panelRefreshes) << "nothing to repaint";
     }},
    {"SerialNumberLaterThanTheWait", [](FaultTest& t) { t.sim_.SetDelay(2200), t.Click(); },
     IdleWith(kNoResponseBox, 1900, kSilenceToldMs)},
    {"SilentMidSession", ConnectThenSilent, IdleWith(kConnectionLostBox, 1800, kSilenceToldMs),
     [](FaultTest& t) {
         EXPECT_EQ(1, t.dlg_->m_connectionLosts);
         const std::vector<long long> polls = t.sim_.PollTimes();
         EXPECT_LE(std::count_if(polls.begin(), polls.end(), [&](long long us) { return us > t.silentAtUs_; }), 1)
             << "polls after the controller fell silent";
     }},
    {"LineThatNeverEndsShowsNothingThenTheNextAnswerIsReadAndDisconnectEndsAtOnce",
     [](FaultTest& t) {
         t.Connect("10100000");
         ASSERT_TRUE(t.sim_.Silent());
         const ULONGLONG start = ::GetTickCount64();
         // Spaces: no switches, and one that comes late is cleaned away.
         int polls = t.sim_.Count("swin");
         ULONGLONG polled = start;
         const auto inTheLine = [&](int ms) {  // the worker reads the line, its poll ms ago or more
             if (t.sim_.Count("swin") != polls)
                 polls = t.sim_.Count("swin"), polled = ::GetTickCount64();
             return MsSince(polled) > ms;
         };
         EXPECT_TRUE(t.DripUntil([&] { return inTheLine(400) && t.PanelBecomes({false, ""}, 0); }, 8000, " "))
             << "the last state stays on the panel while the line runs";
         EXPECT_GE(MsSince(start), 1900) << "grey before the reply wait was out";
         EXPECT_EQ(1, t.Connected()) << "bytes keep coming: no loss to report";
         // The first answer after the line that ran past the wait, then others.
         const int refreshes = t.dlg_->m_panelRefreshes;
         ASSERT_TRUE(t.sim_.SetSwitches("01010000") && t.sim_.Answer());
         ASSERT_TRUE(WaitUntil([&] { return t.sim_.Count("swin") > polls; }, 3000));
         ASSERT_TRUE(t.sim_.SetSwitches("00001111"));
         t.Polls(2), t.AfterQueued();
         EXPECT_EQ(2, t.dlg_->m_panelRefreshes - refreshes) << "the first answer after the line not read";
         // A line again, and Disconnect while it runs.
         ASSERT_TRUE(t.sim_.Silent() && t.DripUntil([&] { return inTheLine(300); }, 3000, " "));
         t.Click();
         const ULONGLONG asked = ::GetTickCount64();
         ASSERT_TRUE(t.DripUntil([&] { return t.Connected() == 0; }, 12000, " "));
         EXPECT_LE(MsSince(asked), 1000) << "Disconnect while the line runs";
     },
     {End::Idle}},
    // A line that never ends has its own row above.
    {"DisconnectEndsWithinASecondWhateverTheLineDoes",
     [](FaultTest& t) {
         std::mt19937 random(20261207);
         std::string noise(64 * 1024, '\0'), bursts;
         std::generate(noise.begin(), noise.end(), [&] { return static_cast<char>(random() & 0xFF); });
         while (bursts.size() < 2 * 1024)
             bursts += "10100101\r";
         const struct { const char* line; std::function<void()> start; } lines[] = {
             {"silent", [&] { t.sim_.Silent(), t.Polls(1); }},
             {"noise", [&] { t.sim_.Send(noise); }},
             {"bursts", [&] { t.sim_.Send(bursts); }},
             // Last: its answer still comes, late, after the disconnect.
             {"a slow first answer", [&] { t.sim_.SetDelay(1800), t.Polls(1); }},
         };
         // (Not SCOPED_TRACE: its lock's first use makes a handle that
         // would count as leaked.)
         for (const auto& line : lines) {
             ASSERT_TRUE(t.sim_.Answer() && t.sim_.SetDelay(0));
             t.Connect("10100000");
             line.start();
             t.Click();
             const ULONGLONG asked = ::GetTickCount64();
             ASSERT_TRUE(WaitUntil([&] { return t.Connected() == 0; }, 5000)) << line.line;  // sending nothing meanwhile
             EXPECT_LE(MsSince(asked), 1000) << line.line;
             t.AfterQueued();  // what the worker posted before it ended has been handled
             EXPECT_EQ(0, t.dlg_->m_connectionLosts) << "a loss reported for a worker told to stop: " << line.line;
             // What the controller still had to send goes with the old connection.
             ASSERT_TRUE(t.sim_.WaitOpened(false, 3000));
         }
     },
     {End::Idle}},
    {"WorkerThatRunsOutOfMemory",
     [](FaultTest& t) {
         t.Connect("10000000");
         const ImportPatch throwing("KERNEL32.dll", "PurgeComm", reinterpret_cast<void*>(&PurgeOutOfMemory));
         ASSERT_TRUE(throwing.Active());
         t.actAt_ = ::GetTickCount64(), t.WaitBox(8000);  // the next poll throws
     },
     IdleWith(kConnectionLostBox, 0, 1500)},
    {"DriverThatNeverCompletesAReadOnAClockThatStandsStill",
     [](FaultTest& t) {
         ConnectThenReadsHang(t);
         const ImportPatch frozen("KERNEL32.dll", "GetTickCount64", reinterpret_cast<void*>(&FrozenTickCount));
         ASSERT_TRUE(frozen.Active());
         g_tickCount = &frozen;
         g_frozenThread = t.UiThreadId();
         const ULONGLONG clicked = ::GetTickCount64();
         t.Click();
         // The worker told to stop, and the window answering while it is awaited.
         EXPECT_TRUE(WaitUntil([&] { return t.OnUi<int>([&] { return t.dlg_->m_stopPolling.load(); }) == 1; }, 2000));
         const ULONGLONG asked = ::GetTickCount64();
         EXPECT_EQ(1, t.Connected());
         EXPECT_LT(MsSince(asked), 500) << "the window answers while the worker is awaited";
         WaitUntil([&] { return t.Connected() == 0; }, 5000);
         EXPECT_LE(MsSince(clicked), kCancelledWithinMs) << "the read not cancelled in time";
         g_frozenThread = 0;  // the end awaits it on a clock that runs
     },
     {End::Idle}},
    {"WaitForTheWorkerThatFails",
     [](FaultTest& t) {
         ConnectThenReadsHang(t);
         const HANDLE worker = t.OnUi<HANDLE>([&] {
             HANDLE h = nullptr;
             ::DuplicateHandle(::GetCurrentProcess(), t.dlg_->m_pPollThread->m_hThread, ::GetCurrentProcess(), &h,
                               SYNCHRONIZE, FALSE, 0);
             return h;
         });
         ASSERT_NE(nullptr, worker);
         {
             const ImportPatch failing("USER32.dll", "MsgWaitForMultipleObjects", reinterpret_cast<void*>(&FailingWait));
             ASSERT_TRUE(failing.Active());
             const ULONGLONG clicked = ::GetTickCount64();
             t.Click();
             EXPECT_TRUE(WaitUntil([&] { return t.Connected() == 0; }, 10000) && MsSince(clicked) <= kCancelledWithinMs)
                 << "the read cancelled after " << MsSince(clicked) << " ms";
             EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(worker, 0)) << "the worker's thread object deleted while it ran";
         }
         ::CloseHandle(worker);
     },
     {End::Idle}},
    {"LogOffWithAWorkerThatDoesNotEnd",
     [](FaultTest& t) {
         ConnectThenReadsHang(t);
         const ImportPatch deaf("KERNEL32.dll", "CancelIoEx", reinterpret_cast<void*>(&IgnoredCancel));
         ASSERT_TRUE(deaf.Active());
         // Windows ends the process soon after: the handler must not wait for good.
         const long long ms = LogOff(t);
         EXPECT_LE(ms, 2000) << "WM_ENDSESSION returned that late";
         EXPECT_GE(ms, 800) << "the worker was not given its second";
     },
     // The driver takes cancels again: closing the window ends the worker.
     {End::Closed, nullptr, 0, 5000}},
    {"LogOffWhileConnected",
     [](FaultTest& t) {
         t.Connect("11000000");
         LogOff(t);
         // Windows ends the process soon after: all is done by now.
         EXPECT_TRUE(t.sim_.WaitOpened(false, 0)) << "port still open";
         EXPECT_EQ(0, ToolTest::TimerPeriodsHeld());
         EXPECT_EQ(0, t.Connected());
     },
     {End::Idle}},
    {"LogOffWhileALossIsQueued",
     [](FaultTest& t) {
         t.Connect("11000000");
         g_lossPosted = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
         const ImportPatch slow("USER32.dll", "PostMessageW", reinterpret_cast<void*>(&SlowToEndAfterALoss));
         g_postMessage = &slow;
         ASSERT_TRUE(slow.Active() && t.sim_.Silent());
         // The window is busy as the loss is reported; Windows' log-off reaches it before the report.
         long long ms = -1;
         std::thread windows([&] { ::WaitForSingleObject(g_lossPosted, 5000), ms = LogOff(t, false); });
         t.dlg_->RunOnUi([&] {
             EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(g_lossPosted, 5000)) << "no loss reported";
             EXPECT_TRUE(::SendMessageW(t.main_, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
             WaitUntil([] { return (HIWORD(::GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) != 0; }, 5000);
         });
         windows.join(), ::CloseHandle(g_lossPosted);
         EXPECT_LE(ms, 1200) << "WM_ENDSESSION returned that late";
     },
     {End::Idle}},  // no box: nobody is there to read it
    {"CablePulledThenPluggedBackAndConnectedAgain", [](FaultTest& t) { t.Connect("00110000"), t.sim_.Hangup(); },
     IdleWith(kConnectionLostBox, 0, kSilenceToldMs),
     [](FaultTest& t) {
         t.Replug();
         t.SetSerial("SN-BACK");
         t.Connect("00001100");
     }},
    // Connect again at once, as after a first connect whatever the connection
    // before left: a reading still young, the rest of a line that ran away.
    {"ReconnectedAtOnceStartsAfresh",
     [](FaultTest& t) {
         t.Connect(), Reconnect(t), t.sim_.Silent();
         // Bytes without an end: the second poll from now follows a line that ran
         // past the reply wait, and Disconnect then finds the worker between lines.
         const int polls = t.sim_.Count("swin");
         ASSERT_TRUE(t.DripUntil([&] { return t.sim_.Count("swin") >= polls + 2; }, 6000));
         t.sim_.Answer(), Reconnect(t);
     },
     kFollows},

    // --- The port and the system refuse
    {"PortRefusedThenFreed",
     [](FaultTest& t) {
         // Another program holds the port: Wine does not refuse a second
         // open, so the port is made unopenable instead.
         ASSERT_TRUE(t.other_.Connect() && t.other_.Block(ToolTest::kPort)) << t.other_.LastReply();
         t.actAt_ = ::GetTickCount64(), t.Click(), t.WaitBox(10000);
         t.other_.Close();  // the port is free again once the user reads why
     },
     IdleWith(kUnableToOpenBox, 0, 1500),
     [](FaultTest& t) {
         t.Replug();
         t.Connect("01000000");
     }},
    {"TypedTextThenARefillThenConnect",
     [](FaultTest& t) {
         // The user types over the port shown, then an adapter is plugged in.
         t.PressKey(VK_END), t.TypeText(L"\b\b\b\b\bCOM7");
         ASSERT_TRUE(WaitUntil([&] { return t.Text(IDC_PORT_COMBO) == L"COM7"; }, 3000));
         t.AddDevice(L"COM3"), t.Listed(3);
         EXPECT_EQ(L"COM7", t.Text(IDC_PORT_COMBO)) << "the typed text stays";
         t.Click();
     },
     IdleWith(kSelectPortBox, 0, 5000),
     [](FaultTest& t) {
         EXPECT_EQ(0, t.sim_.Count("readsn")) << "a port the field does not show was opened";
         t.PressKey(VK_END), t.TypeText(L"\b11");  // a port listed, typed by its name
         ASSERT_TRUE(WaitUntil([&] { return t.Text(IDC_PORT_COMBO) == L"COM11"; }, 3000));
         t.Connect();
     }},
    {"SerialNumberThatCannotBeConverted",
     [](FaultTest& t) {
         const ImportPatch failing("KERNEL32.dll", "MultiByteToWideChar", reinterpret_cast<void*>(&FailingConversion));
         ASSERT_TRUE(failing.Active());
         t.actAt_ = ::GetTickCount64(), t.Click(), t.WaitBox(10000);
     },
     IdleWith(kSystemFailureBox, 0, 1500),
     [](FaultTest& t) {
         // The next Connect talks to the port chosen then, not to the old one.
         ASSERT_TRUE(t.other_.Connect() && t.other_.Attach(16) && t.other_.SetSerial("SN-OTHER") &&
                     t.other_.SetSwitches("00000011"))
             << t.other_.LastReply();
         ASSERT_TRUE(t.devices_.Add(L"COM16"));
         t.Listed(3);
         ASSERT_TRUE(t.PickPort(L"COM16"));
         t.Click();
         ASSERT_TRUE(WaitUntil([&] { return t.Connected() == 1; }, 8000));
         EXPECT_EQ(L"SN-OTHER", t.Text(IDC_SERIAL_NUMBER));
         EXPECT_TRUE(t.sim_.WaitOpened(false, 0)) << "the first port stays closed";
     }},
    {"WorkerThatCannotStart",
     [](FaultTest& t) {
         const ImportPatch noThreads("msvcrt.dll", "_beginthreadex", reinterpret_cast<void*>(&FailingThreadStart));
         ASSERT_TRUE(noThreads.Active());
         t.actAt_ = ::GetTickCount64(), t.Click(), t.WaitBox(10000);
     },
     // The port is given back before the box, which the user may leave up.
     {End::Idle, &kThreadBox, 0, 1500}},

    // --- The window closed at awkward moments
    {"WindowClosedWhileConnected", [](FaultTest& t) { t.Connect("11000000"); }, {End::Closed, nullptr, 0, 5000}},
    {"WindowClosedWhileAMessageBoxIsUp",
     [](FaultTest& t) {
         ConnectThenSilent(t);
         const MessageBoxSeen box = t.ExpectBox(kConnectionLostBox, 1800, kSilenceToldMs);
         // From the taskbar: the window waits for its box, which stays
         // for the user to read.
         ::PostMessageW(t.main_, WM_SYSCOMMAND, SC_CLOSE, 0);
         t.AfterQueued();
         EXPECT_TRUE(::IsWindowVisible(box.hWnd));
         ToolTest::PressOk(box);
     },
     {End::Closed, nullptr, 0, 5000}},
};

TEST_P(FaultTest, EndsWhereItShould) {
    const Row& row = GetParam();
    // Not ASSERT_NO_FATAL_FAILURE: its first use starts a thread of
    // GoogleTest's own, which would count as a leaked handle.
    row.act(*this);
    if (HasFatalFailure() || IsSkipped())
        return;
    const End& end = row.end;
    switch (end.kind) {
    case End::Follows:
        ExpectFollows("01100110");
        ExpectFollows("10011001");
        break;
    case End::Idle: {
        const MessageBoxSeen box = end.box ? ExpectBox(*end.box, end.minMs, end.maxMs, actAt_) : MessageBoxSeen{};
        if (end.box && !box.hWnd)
            return;  // the rest would only wait for what did not come
        ExpectIdle();  // whatever the connection held is released before the user is told
        PressOk(box);
        ExpectNothingLeaked();
        break;
    }
    case End::Closed: {
        const long long ms = CloseWindow();
        EXPECT_LE(ms, end.maxMs) << "closing took too long";
        EXPECT_EQ(nullptr, dlg_->m_pPollThread) << "worker joined and deleted";
        EXPECT_TRUE(sim_.WaitOpened(false, 3000)) << "port closed with the window";
        EXPECT_EQ(0, g_linkReady);
        EXPECT_EQ(0, TimerPeriodsHeld());
        ExpectNothingLeaked();
        break;
    }
    }
    if (row.then)
        row.then(*this);
}

INSTANTIATE_TEST_SUITE_P(Rows, FaultTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

}  // namespace
