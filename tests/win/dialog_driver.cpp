#include "tests/win/dialog_driver.h"

#include <commctrl.h>

#include <cstdio>
#include <vector>

#include "app/resource.h"

namespace {

constexpr UINT WM_RUN_ON_UI = WM_APP + 50;

// Closing takes at most a reply wait (about 2 s) and a poll pause; anything
// much longer is a hang in the tool.
constexpr DWORD kCloseLimitMs = 10000;

struct FindContext {
    DWORD threadId;
    HWND except;
    const std::wstring* caption;
    HWND found;
};

}  // namespace

BEGIN_MESSAGE_MAP(TestDialog, CKAVRODisplayLimitSwitchesDlg)
    ON_MESSAGE(WM_RUN_ON_UI, OnRunOnUi)
END_MESSAGE_MAP()

void TestDialog::RunOnUi(const std::function<void()>& fn) {
    ::SendMessageW(m_hWnd, WM_RUN_ON_UI, 0, reinterpret_cast<LPARAM>(&fn));
}

LRESULT TestDialog::OnRunOnUi(WPARAM, LPARAM lParam) {
    (*reinterpret_cast<const std::function<void()>*>(lParam))();
    return 0;
}

BOOL TestDialog::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->hwnd == m_hWnd) {
        if (pMsg->message == WM_PANEL_REFRESH)
            ++m_panelRefreshes;
        if (pMsg->message == WM_CONNECTION_LOST) {
            m_lastLostAt = ::GetTickCount64();
            ++m_connectionLosts;
        }
    }
    return CKAVRODisplayLimitSwitchesDlg::PreTranslateMessage(pMsg);
}

DialogDriver::DialogDriver() : dialog_(new TestDialog) {
    ui_ = std::thread([this] {
        uiThreadId_ = ::GetCurrentThreadId();
        dialog_->DoModal();
    });
    // The window counts as up once it is shown, after OnInitDialog.
    WaitUntil(
        [this] {
            const DWORD thread = uiThreadId_;
            if (thread)
                hWnd_ = FindThreadDialog(thread, nullptr, L"KAVRO Limit Switches");
            return hWnd_ != nullptr;
        },
        15000);
    // Let the first paint and the initial messages go through.
    if (hWnd_)
        dialog_->RunOnUi([] {});
}

DialogDriver::~DialogDriver() {
    Close();
    delete dialog_;
}

void DialogDriver::Close() {
    if (closed_)
        return;
    closed_ = true;
    if (hWnd_ && ::IsWindow(hWnd_))
        ::PostMessageW(hWnd_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    if (!ui_.joinable())
        return;
    // A dialog that does not close (a worker that never ends its cycle, so
    // the join in the disconnect never returns) fails the program now
    // rather than at the test runner's time-out.
    const HANDLE thread = ::OpenThread(SYNCHRONIZE, FALSE, uiThreadId_);
    if (thread && ::WaitForSingleObject(thread, kCloseLimitMs) == WAIT_TIMEOUT) {
        std::fprintf(stderr, "FAILED: the dialog did not close within %lu ms: the tool hangs\n",
                     static_cast<unsigned long>(kCloseLimitMs));
        std::fflush(stderr);
        ::TerminateProcess(::GetCurrentProcess(), 3);
    }
    if (thread)
        ::CloseHandle(thread);
    ui_.join();
}

void DialogDriver::ChoosePort(int index) {
    const HWND combo = ::GetDlgItem(hWnd_, IDC_PORT_COMBO);
    ::SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ::SendMessageW(hWnd_, WM_COMMAND, MAKEWPARAM(IDC_PORT_COMBO, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

bool DialogDriver::ChoosePort(const std::wstring& text) {
    const std::vector<std::wstring> entries = PortEntries();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i] == text) {
            ChoosePort(static_cast<int>(i));
            return true;
        }
    }
    return false;
}

std::vector<std::wstring> DialogDriver::PortEntries() {
    return Read<std::vector<std::wstring>>([this] {
        std::vector<std::wstring> entries;
        CComboBox& combo = dialog_->m_portCombo;
        for (int i = 0; i < combo.GetCount(); ++i) {
            CString text;
            combo.GetLBText(i, text);
            entries.push_back(text);
        }
        return entries;
    });
}

int DialogDriver::SelectedPort() {
    return Read<int>([this] { return dialog_->m_portCombo.GetCurSel(); });
}

void DialogDriver::ClickConnect() { ::PostMessageW(::GetDlgItem(hWnd_, IDC_CONNECT), BM_CLICK, 0, 0); }

void DialogDriver::ClickSwapZ() { ::PostMessageW(::GetDlgItem(hWnd_, IDC_INVERT_Z), BM_CLICK, 0, 0); }

std::wstring DialogDriver::ButtonText() { return WindowText(::GetDlgItem(hWnd_, IDC_CONNECT)); }

std::wstring DialogDriver::SerialText() { return WindowText(::GetDlgItem(hWnd_, IDC_SERIAL_NUMBER)); }

int DialogDriver::Connected() {
    return Read<int>([this] { return dialog_->m_connected; });
}

std::string DialogDriver::Flags() {
    return Read<std::string>([this] {
        CSingleLock lock(&dialog_->m_stateLock, true);
        std::string s;
        for (int f : dialog_->m_switch)
            s += static_cast<char>('0' + f);
        return s;
    });
}

bool DialogDriver::ConnectAndPoll(SimController& sim) {
    ClickConnect();
    return WaitUntil([this] { return Connected() == 1; }, 8000) &&
           WaitUntil([&sim] { return sim.Count("swin") > 0; }, 5000);
}

HWND FindThreadDialog(DWORD threadId, HWND except, const std::wstring& caption) {
    FindContext context = {threadId, except, &caption, nullptr};
    ::EnumThreadWindows(
        threadId,
        [](HWND hWnd, LPARAM lParam) -> BOOL {
            FindContext* c = reinterpret_cast<FindContext*>(lParam);
            if (hWnd == c->except || !::IsWindowVisible(hWnd) || WindowClass(hWnd) != L"#32770")
                return TRUE;
            if (!c->caption->empty() && WindowText(hWnd) != *c->caption)
                return TRUE;
            c->found = hWnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&context));
    return context.found;
}

MessageBoxSeen DialogDriver::WaitMessageBox(int timeoutMs) {
    MessageBoxSeen seen;
    WaitUntil(
        [&] {
            seen.hWnd = FindThreadDialog(uiThreadId_, hWnd_);
            return seen.hWnd != nullptr;
        },
        timeoutMs);
    if (!seen.hWnd)
        return seen;
    seen.caption = WindowText(seen.hWnd);
    // The text is the box's static control that is not the icon.
    for (HWND child = ::GetWindow(seen.hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (WindowClass(child) != L"Static")
            continue;
        const LONG_PTR style = ::GetWindowLongPtrW(child, GWL_STYLE);
        if ((style & SS_TYPEMASK) == SS_ICON) {
            const HICON icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
            if (icon == ::LoadIconW(nullptr, IDI_EXCLAMATION))
                seen.icon = MessageBoxSeen::Exclamation;
            else if (icon == ::LoadIconW(nullptr, IDI_HAND))
                seen.icon = MessageBoxSeen::Error;
            else if (icon)
                seen.icon = MessageBoxSeen::Other;
            continue;
        }
        const std::wstring text = WindowText(child);
        if (!text.empty())
            seen.text = text;
    }
    return seen;
}

void DialogDriver::PressOk(const MessageBoxSeen& box) {
    if (!box.hWnd)
        return;
    const HWND ok = ::GetDlgItem(box.hWnd, IDOK);
    ::PostMessageW(box.hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
    WaitUntil([&] { return !::IsWindow(box.hWnd) || !::IsWindowVisible(box.hWnd); }, 5000);
}

bool DialogDriver::WaitUntil(const std::function<bool()>& fn, int timeoutMs) {
    const ULONGLONG end = ::GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    for (;;) {
        if (fn())
            return true;
        if (::GetTickCount64() >= end)
            return false;
        ::Sleep(10);
    }
}

std::wstring WindowText(HWND hWnd) {
    wchar_t buffer[1024] = {};
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutW(hWnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000, &copied);
    return buffer;
}

std::wstring WindowClass(HWND hWnd) {
    wchar_t buffer[256] = {};
    ::GetClassNameW(hWnd, buffer, 256);
    return buffer;
}

std::wstring ModuleBaseName() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path);
    name.erase(0, name.find_last_of(L"\\/") + 1);
    return name.substr(0, name.find_last_of(L'.'));
}
