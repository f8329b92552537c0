// Runs the real main dialog modally on a user-interface thread of its own, as
// the application does, and acts on it the way a user would: clicks, list
// choices, message boxes read and answered. Also counts the private messages
// that reach the dialog's message loop.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/main_dialog.h"
#include "tests/win/sim_client.h"

// The dialog under test: counts WM_PANEL_REFRESH and WM_CONNECTION_LOST as
// its modal loop retrieves them, and runs test code on its own thread.
class TestDialog : public CKAVRODisplayLimitSwitchesDlg {
public:
    std::atomic<int> m_panelRefreshes{0};
    std::atomic<int> m_connectionLosts{0};
    std::atomic<ULONGLONG> m_lastLostAt{0};

    // Runs fn on the dialog's thread (also while a message box is open there).
    void RunOnUi(const std::function<void()>& fn);

protected:
    BOOL PreTranslateMessage(MSG* pMsg) override;
    LRESULT OnRunOnUi(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()
};

// A message box as the user sees it.
struct MessageBoxSeen {
    HWND hWnd = nullptr;
    std::wstring caption;
    std::wstring text;
    enum Icon { None, Exclamation, Error, Other } icon = None;
};

class DialogDriver {
public:
    DialogDriver();
    ~DialogDriver();  // closes the dialog (Cancel) and joins its thread
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    TestDialog& Dialog() { return *dialog_; }
    HWND Window() const { return hWnd_; }
    DWORD UiThreadId() const { return uiThreadId_; }

    // Reads a value on the dialog's thread.
    template <typename T>
    T Read(const std::function<T()>& fn) {
        T value{};
        dialog_->RunOnUi([&] { value = fn(); });
        return value;
    }

    // Chooses list entry `index` as the user does (selection, then CBN_SELCHANGE).
    void ChoosePort(int index);
    // Chooses the entry with this text; false when the list has none.
    bool ChoosePort(const std::wstring& text);
    // Entries of the port list, and the selected index.
    std::vector<std::wstring> PortEntries();
    int SelectedPort();
    // Presses the Connect/Disconnect button (the click is posted).
    void ClickConnect();
    void ClickSwapZ();
    std::wstring ButtonText();
    std::wstring SerialText();
    // m_connected, and the eight switch flags as '0'/'1' (read under the
    // state lock), both read on the dialog's thread.
    int Connected();
    std::string Flags();
    // Presses Connect and waits until connected and the controller was polled.
    bool ConnectAndPoll(SimController& sim);

    // Waits for a message box of the dialog's thread; hWnd null when none came.
    MessageBoxSeen WaitMessageBox(int timeoutMs);
    // Presses the box's OK button and waits until it has gone.
    static void PressOk(const MessageBoxSeen& box);
    // Waits until fn() holds, checking every 10 ms; false on timeout.
    static bool WaitUntil(const std::function<bool()>& fn, int timeoutMs);

    // Closes the dialog and waits for its thread; the dialog object stays
    // readable until the driver is destroyed.
    void Close();

private:
    TestDialog* dialog_;
    std::thread ui_;
    HWND hWnd_ = nullptr;
    std::atomic<DWORD> uiThreadId_{0};
    bool closed_ = false;
};

// Finds a visible top-level dialog-class window of thread `threadId` other than `except`.
HWND FindThreadDialog(DWORD threadId, HWND except, const std::wstring& caption = L"");
// A window's text as the window reports it (WM_GETTEXT: also the text of
// another process's controls), and its class name.
std::wstring WindowText(HWND hWnd);
std::wstring WindowClass(HWND hWnd);
// The executable's own name without directory and extension.
std::wstring ModuleBaseName();
