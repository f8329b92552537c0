// The tool's only window: port list, Connect/Disconnect, serial number,
// the "Swap Z axis" check box and the painted switch panel.
//
// Runs on the user-interface thread. While a connection is up the poll worker
// shares this object: it reads m_stopPolling, takes m_portLock and then
// m_stateLock, updates m_switch and m_reading and posts to the window. Lock order is
// m_portLock before m_stateLock; the user-interface thread never holds both.
#pragma once

#include <atomic>
#include <map>
#include <string>

#include "device/switch_state.h"
#include "device/timer_resolution.h"
#include "display/panel_model.h"
#include "framework/afx.h"

class CKAVRODisplayLimitSwitchesDlg : public CDialogEx {
public:
    CKAVRODisplayLimitSwitchesDlg();
    ~CKAVRODisplayLimitSwitchesDlg() override;

    // The switch flags and their lock, as the protocol code takes them.
    SwitchState GetSwitchState() { return SwitchState{m_switch, m_reading, m_stateLock}; }

    // Rebuilds the port list from the Ports devices present and selects
    // the port chosen before, else the first port, else "Refresh...".
    void RefreshPortList();
    // The refill when devices came or went: as RefreshPortList, keeping
    // what the user typed into the list's field.
    void RefillForDevices();
    // Stops and joins the poll worker, closes the link, clears the switch
    // state and the serial number, and has the panel repainted. The window
    // keeps painting and answering while the worker is awaited; a call made
    // meanwhile (by a message handled then) returns at once.
    void Disconnect();

    // Tool tips of the check box and of the port list.
    CToolTipCtrl m_toolTip;
    CFont m_labelFont;
    // The system's dots per inch, read once at initialisation: the scale of
    // every pixel figure of the layout and the panel (96: as given).
    int m_dpi = 96;
    HICON m_hIcon;
    int m_switch[kSwitchCount];
    // Whether m_switch holds what the controller said lately; with it.
    SwitchReading m_reading;
    int m_invertZ = 0;
    CWinThread* m_pPollThread = nullptr;
    // Stop request to the poll worker, written here and read there.
    std::atomic<int> m_stopPolling{0};
    int m_connected = 0;
    // True while Disconnect awaits the worker.
    bool m_disconnecting = false;
    CCriticalSection m_stateLock;
    CCriticalSection m_portLock;
    CComboBox m_portCombo;
    CButton m_connectButton;
    CEdit m_serialEdit;
    // What the port list's tool tip says of each port listed, by name.
    std::map<std::wstring, std::wstring> m_portDescriptions;
    // Devices changed while the list was dropped down: refill when it closes.
    bool m_refillWhenClosed = false;
    // 1 ms timer resolution from the handshake until the link is closed.
    CTimerResolution m_timerResolution;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnInitDialog() override;

    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnPortSelChange();
    void OnConnectClicked();
    void OnInvertZClicked();
    LRESULT OnPanelRefresh(WPARAM wParam, LPARAM lParam);
    LRESULT OnConnectionLost(WPARAM wParam, LPARAM lParam);
    void OnDestroy();
    BOOL OnQueryEndSession();
    void OnEndSession(BOOL bEnding);
    BOOL OnDeviceChange(UINT nEventType, DWORD_PTR dwData);
    void OnTimer(UINT_PTR nIDEvent);
    void OnPortCloseUp();
    // The port list's tool tip for the entry chosen now.
    void ShowPortTip();

    // Closes the link and ends what a connection holds with it; the caller
    // holds m_portLock.
    void CloseLink();
    // Waits for the worker to end while the window keeps painting and
    // handling sent and private messages, cancelling the worker's pending
    // I/O on the port whenever it has not ended for a while.
    void WaitForWorker();

    // The panel composed off screen by replaying the panel model's
    // primitives, then copied to pDC in one go.
    void DrawSwitchPanel(CDC* pDC);
    // One drawing step of a box: its fill, its raised frame or its arrow.
    void DrawSwitchBox(CDC* pDC, const PanelPrimitive& step);
    void DrawBoxLabel(CDC* pDC, const RECT& box, const wchar_t* text);

    DECLARE_MESSAGE_MAP()
};
