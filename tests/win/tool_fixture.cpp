#include "tests/win/tool_fixture.h"

#include <commctrl.h>
#include <dbt.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <vector>

#include "app/resource.h"
#include "bench/process_usage.h"
#include "display/panel_model.h"
#include "serial/com_link.h"
#include "sim/hex.h"
#include "tests/win/import_patch.h"

const ExpectedBox kSelectPortBox = {L"Please select a COM port.", MessageBoxSeen::Exclamation};
const ExpectedBox kUnableToOpenBox = {L"Unable to open COM port!", MessageBoxSeen::Error};
const ExpectedBox kNoResponseBox = {L"No response from device!", MessageBoxSeen::Error};
const ExpectedBox kThreadBox = {L"Error starting thread!", MessageBoxSeen::Error};
const ExpectedBox kConnectionLostBox = {L"Connection lost: no response from device.", MessageBoxSeen::Exclamation};
const ExpectedBox kSystemFailureBox = {L"An operation of the system failed.", MessageBoxSeen::Error};

namespace {

constexpr UINT WM_RUN_ON_UI = WM_APP + 50;
constexpr UINT WM_QUEUE_REACHED = WM_APP + 51;
// Closing takes at most a reply wait (about 2 s) and a poll pause.
constexpr DWORD kCloseLimitMs = 10000;
// Growth that is not yet a leak: a message box's icons and fonts stay cached
// after it has closed (up to 69 objects seen on a loaded machine). A paint
// that leaks shows in the row of 1,000 repaints.
constexpr int kGdiSlack = 128;

std::atomic<int> g_periodsHeld{0};
// The tool finds winmm's calls with GetProcAddress: it hands out counting ones.
std::unique_ptr<ImportPatch> g_procAddress;
using PeriodCall = MMRESULT(WINAPI*)(UINT);
PeriodCall g_beginPeriod = nullptr, g_endPeriod = nullptr;

MMRESULT WINAPI CountingBeginPeriod(UINT period) {
    const MMRESULT result = g_beginPeriod(period);
    if (result == TIMERR_NOERROR)
        ++g_periodsHeld;
    return result;
}

MMRESULT WINAPI CountingEndPeriod(UINT period) {
    --g_periodsHeld;
    return g_endPeriod(period);
}

// Between FARPROC and a function's own type, through void (*)().
template <typename To, typename From>
To ProcCast(From f) {
    return reinterpret_cast<To>(reinterpret_cast<void (*)()>(f));
}

FARPROC WINAPI CountingProcAddress(HMODULE module, LPCSTR name) {
    const FARPROC proc = g_procAddress->Original<decltype(&::GetProcAddress)>()(module, name);
    if (!proc || reinterpret_cast<uintptr_t>(name) <= 0xFFFF)  // by ordinal
        return proc;
    if (std::strcmp(name, "timeBeginPeriod") == 0)
        return g_beginPeriod = ProcCast<PeriodCall>(proc), ProcCast<FARPROC>(&CountingBeginPeriod);
    if (std::strcmp(name, "timeEndPeriod") == 0)
        return g_endPeriod = ProcCast<PeriodCall>(proc), ProcCast<FARPROC>(&CountingEndPeriod);
    return proc;
}

std::wstring ProgramName() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path);
    name.erase(0, name.find_last_of(L"\\/") + 1);
    return name.substr(0, name.find_last_of(L'.'));
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// A mouse event at a point of the screen, as the mouse makes it.
void Mouse(POINT at, DWORD buttons) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = (at.x * 65536 + 32768) / ::GetSystemMetrics(SM_CXSCREEN);
    in.mi.dy = (at.y * 65536 + 32768) / ::GetSystemMetrics(SM_CYSCREEN);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | buttons;
    ::SendInput(1, &in, sizeof(in));
}

void ClickAt(POINT at) {
    Mouse(at, 0);
    Mouse(at, MOUSEEVENTF_LEFTDOWN);
    Mouse(at, MOUSEEVENTF_LEFTUP);
}

}  // namespace

int GdiObjectRoom() {
    // Brushes made until one fails, then deleted again.
    std::vector<HBRUSH> brushes;
    for (HBRUSH brush; brushes.size() < (1u << 18) && (brush = ::CreateSolidBrush(RGB(1, 2, 3)));)
        brushes.push_back(brush);
    for (const HBRUSH brush : brushes)
        ::DeleteObject(brush);
    return static_cast<int>(brushes.size());
}

void Hangs(const std::string& what) {
    std::fprintf(stderr, "FAILED: %s: the tool hangs\n", what.c_str());
    std::fflush(stderr);
    ::TerminateProcess(::GetCurrentProcess(), 3);
    std::abort();
}

BEGIN_MESSAGE_MAP(TestDialog, CKAVRODisplayLimitSwitchesDlg)
    ON_MESSAGE(WM_RUN_ON_UI, OnRunOnUi)
    ON_MESSAGE(WM_QUEUE_REACHED, OnQueueReached)
END_MESSAGE_MAP()

void TestDialog::RunOnUi(const std::function<void()>& fn) {
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(m_hWnd, WM_RUN_ON_UI, 0, reinterpret_cast<LPARAM>(&fn), SMTO_NORMAL, kCloseLimitMs,
                               &result) &&
        ::GetLastError() == ERROR_TIMEOUT)
        Hangs("the window did not respond within 10 s");
}

LRESULT TestDialog::OnQueueReached(WPARAM, LPARAM lParam) { return *reinterpret_cast<std::atomic<bool>*>(lParam) = true, 0; }

LRESULT TestDialog::OnRunOnUi(WPARAM, LPARAM lParam) {
    return (*reinterpret_cast<const std::function<void()>*>(lParam))(), 0;
}

BOOL TestDialog::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->hwnd == m_hWnd) {
        m_panelRefreshes += pMsg->message == WM_PANEL_REFRESH;
        m_connectionLosts += pMsg->message == WM_CONNECTION_LOST;
        m_devicesSettled += pMsg->message == WM_TIMER && pMsg->wParam == kDevicesSettledTimer;
    }
    return CKAVRODisplayLimitSwitchesDlg::PreTranslateMessage(pMsg);
}

::testing::AssertionResult PrepareBench(int port, const std::string& serial, PortDevices& devices, TestSim& sim) {
    std::wstring error;
    if (!PortDevices::RemoveAll(&error))
        return ::testing::AssertionFailure() << Narrow(error);
    if (!devices.Add(L"COM" + std::to_wstring(port)))
        return ::testing::AssertionFailure() << Narrow(devices.LastError());
    if (!sim.Connect() || !sim.Attach(port) || !sim.SetSerial(serial))
        return ::testing::AssertionFailure() << sim.LastReply();
    return ::testing::AssertionSuccess();
}

void ToolTest::SetUp() {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // as a screen reader's thread does
    ASSERT_TRUE(PrepareBench(kPort, serial_, devices_, sim_));
    g_periodsHeld = 0;
    g_procAddress = std::make_unique<ImportPatch>("KERNEL32.dll", "GetProcAddress", reinterpret_cast<void*>(&CountingProcAddress));
    ASSERT_TRUE(g_procAddress->Active());

    dlg_ = new TestDialog;
    // As the application sets it: message boxes and the About box are
    // owned by the main window.
    app_.m_pMainWnd = dlg_;
    ui_ = std::thread([this] {
        uiThreadId_ = ::GetCurrentThreadId();
        dlg_->DoModal();
    });
    ASSERT_TRUE(WaitUntil(
        [this] {
            const DWORD thread = uiThreadId_;
            main_ = thread ? FindDialog(0, thread, L"KAVRO Limit Switches") : nullptr;
            return main_ != nullptr;
        },
        15000))
        << "the window did not show";
    // The run-time sets up its unwinding at the first exception thrown in
    // the process (two handles under Wine): done now, so that a scenario's
    // first exception is not taken for a leak.
    dlg_->RunOnUi([] {
        try {
            throw 0;
        } catch (int) {
        }
    });
    // The tool keeps winmm from its first connect on, for good.
    ASSERT_TRUE(::LoadLibraryExW(L"winmm.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    handlesAtStart_ = KernelHandleCount();
    gdiRoomAtStart_ = GdiObjectRoom();

    ASSERT_GT(handlesAtStart_, 0) << "the handle list cannot be read";
}

void ToolTest::TearDown() {
    if (ui_.joinable())
        CloseWindow();
    ::CoUninitialize();
    delete dlg_;
    dlg_ = nullptr;
    EXPECT_EQ(0, TimerPeriodsHeld()) << "timer resolution kept after the window closed";
    g_procAddress.reset();
}

void ToolTest::Click() { ::PostMessageW(::GetDlgItem(main_, IDC_CONNECT), BM_CLICK, 0, 0); }

void ToolTest::Swap() {
    const int invert = OnUi<int>([this] { return dlg_->m_invertZ; });
    ::PostMessageW(::GetDlgItem(main_, IDC_INVERT_Z), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return OnUi<int>([this] { return dlg_->m_invertZ; }) != invert; }, 3000));
}

HWND ToolTest::PortField() const { return ::GetWindow(::GetDlgItem(main_, IDC_PORT_COMBO), GW_CHILD); }

void ToolTest::PressKey(UINT vk, bool alt) {
    // As the keyboard driver posts them: Alt makes them system keys, with
    // the context bit set.
    const LPARAM context = alt ? (1 << 29) : 0;
    const UINT down = alt ? WM_SYSKEYDOWN : WM_KEYDOWN, up = alt ? WM_SYSKEYUP : WM_KEYUP;
    ::PostMessageW(PortField(), down, vk, 1 | context);
    ::PostMessageW(PortField(), up, vk, 1 | context | (1u << 30) | (1u << 31));
}

void ToolTest::TypeText(const std::wstring& text) {
    for (const wchar_t c : text)
        ::PostMessageW(PortField(), WM_CHAR, c, 1);
}

bool ToolTest::PickPort(const std::wstring& text, std::wstring shows) {
    if (shows.empty())
        shows = text;
    const HWND combo = ::GetDlgItem(main_, IDC_PORT_COMBO);
    COMBOBOXINFO info = {};
    info.cbSize = sizeof(info);
    if (!::GetComboBoxInfo(combo, &info))
        return false;
    POINT button = {(info.rcButton.left + info.rcButton.right) / 2, (info.rcButton.top + info.rcButton.bottom) / 2};
    ::ClientToScreen(combo, &button);
    ClickAt(button);
    if (!WaitUntil([&] { return ::SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0) != 0; }, 3000))
        return false;
    const int index = static_cast<int>(::SendMessageW(info.hwndList, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                                      reinterpret_cast<LPARAM>(text.c_str())));
    RECT item = {};
    if (index < 0 || ::SendMessageW(info.hwndList, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&item)) == LB_ERR) {
        ClickAt(button);  // closes the list again
        return false;
    }
    POINT at = {(item.left + item.right) / 2, (item.top + item.bottom) / 2};
    ::ClientToScreen(info.hwndList, &at);
    ClickAt(at);
    return WaitUntil([&] { return ::SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0) == 0 && Text(IDC_PORT_COMBO) == shows; },
                     3000);
}

void ToolTest::AddDevice(const std::wstring& portName) {
    const int before = KernelHandleCount();
    ASSERT_TRUE(devices_.Add(portName)) << devices_.LastError();
    handlesAtStart_ += KernelHandleCount() - before;
}

void ToolTest::Listed(size_t entries) {
    DWORD_PTR result = 0;
    ::SendMessageTimeoutW(HWND_BROADCAST, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0, SMTO_ABORTIFHUNG, 2000, &result);
    ASSERT_TRUE(WaitUntil([&] { return Entries().size() == entries; }, 3000)) << "not refilled";
}

std::vector<std::wstring> ToolTest::Entries() {
    return OnUi<std::vector<std::wstring>>([this] {
        std::vector<std::wstring> list;
        for (int i = 0; i < dlg_->m_portCombo.GetCount(); ++i) {
            CString text;
            dlg_->m_portCombo.GetLBText(i, text);
            list.push_back(text);
        }
        return list;
    });
}

std::wstring ToolTest::PortTip() {
    return OnUi<std::wstring>([this] {
        wchar_t text[1024] = {};
        TTTOOLINFOW tool = {};
        tool.cbSize = sizeof(tool);
        tool.hwnd = main_;
        tool.uId = reinterpret_cast<UINT_PTR>(PortField());
        tool.lpszText = text;
        ::SendMessageW(dlg_->m_toolTip.GetSafeHwnd(), TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&tool));
        return std::wstring(text);
    });
}

void ToolTest::AfterQueued() {
    std::atomic<bool> reached{false};
    ::PostMessageW(main_, WM_QUEUE_REACHED, 0, reinterpret_cast<LPARAM>(&reached));
    if (!WaitUntil([&] { return reached.load(); }, kCloseLimitMs))
        Hangs("the window did not get through its queue within 10 s");
}

MessageBoxSeen ToolTest::WaitBox(int timeoutMs) {
    MessageBoxSeen seen;
    if (!WaitUntil([&] { return (seen.hWnd = FindDialog(0, uiThreadId_, nullptr, main_)) != nullptr; }, timeoutMs))
        return seen;
    seen.caption = WindowText(seen.hWnd);
    // The text is the box's static control that is not the icon.
    for (HWND child = ::GetWindow(seen.hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (WindowClass(child) != L"Static")
            continue;
        if ((::GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            const HICON icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
            seen.icon = icon == ::LoadIconW(nullptr, IDI_EXCLAMATION) ? MessageBoxSeen::Exclamation
                        : icon == ::LoadIconW(nullptr, IDI_HAND)      ? MessageBoxSeen::Error
                                                                      : MessageBoxSeen::Other;
        } else if (!WindowText(child).empty()) {
            seen.text = WindowText(child);
        }
    }
    return seen;
}

void ToolTest::PressOk(const MessageBoxSeen& box) {
    if (!box.hWnd)
        return;
    ::PostMessageW(box.hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(box.hWnd, IDOK)));
    WaitUntil([&] { return !::IsWindow(box.hWnd) || !::IsWindowVisible(box.hWnd); }, 5000);
}

long long ToolTest::CloseWindow() {
    const ULONGLONG start = ::GetTickCount64();
    if (closed_)
        return 0;
    closed_ = true;
    // A box still up at the end is one nobody expected, unless a failure
    // left it; the window would wait for it, and be taken for a hung one.
    if (::IsWindow(main_)) {
        AfterQueued();
        const MessageBoxSeen box = WaitBox(0);
        if (box.hWnd && !HasFailure())
            ADD_FAILURE() << "a box nobody expected: \"" << Narrow(box.text) << "\"";
        PressOk(box);
    }
    if (::IsWindow(main_))
        ::PostMessageW(main_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    const HANDLE thread = ::OpenThread(SYNCHRONIZE, FALSE, uiThreadId_);
    if (thread && ::WaitForSingleObject(thread, kCloseLimitMs) == WAIT_TIMEOUT)
        Hangs("the window did not close within 10 s");
    if (thread)
        ::CloseHandle(thread);
    ui_.join();
    return MsSince(start);
}

int ToolTest::Connected() { return OnUi<int>([this] { return dlg_->m_connected; }); }

std::string ToolTest::Flags() {
    return OnUi<std::string>([this] {
        CSingleLock lock(&dlg_->m_stateLock, true);
        std::string flags;
        for (int f : dlg_->m_switch)
            flags += static_cast<char>('0' + f);
        return flags;
    });
}

std::wstring ToolTest::Text(int id) { return WindowText(::GetDlgItem(main_, id)); }

int ToolTest::TimerPeriodsHeld() { return g_periodsHeld; }

std::wstring ToolTest::SerialShown() const {
    // As the tool converts it: by the thread's ANSI code page.
    wchar_t text[128] = {};
    ::MultiByteToWideChar(CP_THREAD_ACP, 0, serial_.c_str(), -1, text, 128);
    return text;
}

void ToolTest::SetSerial(const std::string& serial) {
    serial_ = serial;
    ASSERT_TRUE(sim_.SetSerial(serial)) << sim_.LastReply();
}

void ToolTest::Connect(const std::string& switches, std::string flags) {
    ASSERT_TRUE(sim_.SetSwitches(switches)) << sim_.LastReply();
    const int polls = sim_.Count("swin");
    Click();
    ASSERT_TRUE(WaitUntil([this] { return Connected() == 1; }, 8000)) << "not connected";
    ASSERT_TRUE(WaitUntil([&] { return sim_.Count("swin") >= polls + 2; }, 5000)) << "not polling";
    EXPECT_EQ(L"Disconnect", Text(IDC_CONNECT));
    EXPECT_EQ(SerialShown(), Text(IDC_SERIAL_NUMBER));
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(main_, IDC_SERIAL_NUMBER))) << "the serial number only shows";
    EXPECT_EQ(1, TimerPeriodsHeld()) << "1 ms timer resolution while connected";
    if (flags.empty())
        flags = switches;
    EXPECT_EQ(flags, Flags());
    // Painted as the first answer was read, whatever an earlier connection left.
    EXPECT_TRUE(PanelBecomes({true, flags, OnUi<int>([this] { return dlg_->m_invertZ; }) != 0}, 500));
}

void ToolTest::Polls(int n) {
    const int before = sim_.Count("swin");
    // A connection that ended polls no more: no use waiting for it.
    WaitUntil([&] { return sim_.Count("swin") >= before + n || Connected() == 0; }, 8000);
    ASSERT_GE(sim_.Count("swin"), before + n) << "polling stopped";
}

void ToolTest::ExpectFollows(const std::string& line, std::string expected) {
    const std::string before = Flags();
    const int refreshes = dlg_->m_panelRefreshes;
    ASSERT_TRUE(sim_.SetSwitches(line)) << sim_.LastReply();
    // The first poll from now is answered with the line; once the one after
    // it has gone out, that answer has been read.
    Polls(2);
    if (expected.empty())
        expected = line;
    EXPECT_EQ(expected, Flags()) << "by the next poll but one, for line " << kavro_sim::ToHex(line);
    if (HasFailure())
        return;
    EXPECT_TRUE(PanelBecomes({true, expected, OnUi<int>([this] { return dlg_->m_invertZ; }) != 0}, 2000));
    EXPECT_EQ(expected != before ? 1 : 0, dlg_->m_panelRefreshes - refreshes) << "repaints asked for";
    EXPECT_EQ(0, dlg_->m_connectionLosts);
}

MessageBoxSeen ToolTest::ExpectBox(const ExpectedBox& expected, int minMs, int maxMs, ULONGLONG since) {
    const ULONGLONG start = since ? since : ::GetTickCount64();
    const MessageBoxSeen box = WaitBox(maxMs + 2000);
    const long long ms = MsSince(start);
    EXPECT_NE(nullptr, box.hWnd) << "no box saying \"" << Narrow(expected.text) << "\"";
    if (box.hWnd) {
        EXPECT_EQ(expected.text, box.text);
        EXPECT_EQ(expected.icon, box.icon);
        EXPECT_EQ(ProgramName(), box.caption) << "captioned with the program's name";
        EXPECT_GE(ms, minMs) << "box too early";
        EXPECT_LE(ms, maxMs) << "box too late";
    }
    return box;
}

void ToolTest::ExpectIdle() {
    EXPECT_TRUE(WaitUntil([this] { return Connected() == 0; }, 8000)) << "still connected";
    EXPECT_EQ(L"Connect", Text(IDC_CONNECT));
    EXPECT_EQ(L"", Text(IDC_SERIAL_NUMBER));
    EXPECT_EQ("00000000", Flags());
    EXPECT_FALSE(OnUi<bool>([this] { return dlg_->m_pPollThread != nullptr; })) << "worker left";
    EXPECT_EQ(0, TimerPeriodsHeld()) << "timer resolution kept";
    EXPECT_EQ(0, g_linkReady);
    EXPECT_TRUE(sim_.WaitOpened(false, 3000)) << "port still open";
    EXPECT_TRUE(PanelBecomes({false, ""}, 3000));
}

void ToolTest::ExpectNothingLeaked() {
    // The worker's thread handle closes as its object is deleted; allow the
    // count a moment to settle before calling it a leak.
    int handles = -1;
    WaitUntil([&] { return (handles = KernelHandleCount()) <= handlesAtStart_; }, 2000);
    EXPECT_LE(handles, handlesAtStart_) << "kernel handles leaked";
    EXPECT_GE(GdiObjectRoom(), gdiRoomAtStart_ - kGdiSlack) << "GDI objects leaked";
}

::testing::AssertionResult ToolTest::PanelBecomes(const PanelExpectation& expected, int timeoutMs) {
    std::string diff;
    WaitUntil([&] { return (diff = PanelDifferences(PixelCapture::OfScreen(main_), expected)).empty(); }, timeoutMs);
    if (diff.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "panel for " << (expected.connected ? "\"" + expected.switches + "\"" : "not connected")
                                         << (expected.swapped ? ", swapped" : "") << ":\n"
                                         << diff;
}

std::vector<std::wstring> ExpectPanelSays(HWND dialog, int dpi, const char* says) {
    const std::vector<ReadElement> read = ReadWindow(PanelWindow(dialog), true);
    const std::vector<PanelBox> boxes = PanelBoxes(PanelSnapshot{}, dpi);
    std::vector<std::wstring> said;
    std::set<std::wstring> names;
    if (read.size() != boxes.size() + 1) {
        ADD_FAILURE() << "the panel reads as " << read.size() << " objects and elements";
        return said;
    }
    EXPECT_EQ(L"Limit switches", read[0].name);
    EXPECT_EQ(ROLE_SYSTEM_GROUPING, read[0].role);
    for (size_t i = 0; i < boxes.size(); ++i) {
        const ReadElement& e = read[i + 1];
        RECT box = {boxes[i].rect.left, boxes[i].rect.top, boxes[i].rect.right, boxes[i].rect.bottom};
        ::MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&box), 2);
        EXPECT_TRUE(::EqualRect(&box, &e.at)) << "element " << i + 1 << " is not at its box";
        names.insert(e.name);
        const char letter = e.value == L"set" ? 'S' : e.value == L"clear" ? 'C' : e.value == L"not read" ? 'N' : '?';
        EXPECT_EQ(says[i], letter) << "element " << i + 1;
        EXPECT_EQ(letter == 'S', (e.state & STATE_SYSTEM_CHECKED) != 0) << "element " << i + 1;
        EXPECT_EQ(letter == 'N', (e.state & STATE_SYSTEM_UNAVAILABLE) != 0) << "element " << i + 1;
        said.push_back(e.value);
    }
    EXPECT_EQ(boxes.size(), names.size()) << "elements named alike";
    return said;
}
