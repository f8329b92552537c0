// The tool's only window: port list, Connect/Disconnect, serial number,
// the "Swap Z axis" check box and the painted switch panel.
//
// Runs on the user-interface thread. While a connection is up the poll worker
// shares this object: it reads m_stopPolling, takes m_portLock and then
// m_stateLock, updates m_switch and m_reading and posts to the window. Lock order is
// m_portLock before m_stateLock; the user-interface thread never holds both.
#pragma once

#include <atomic>
#include <string>

#include "app/control_names.h"
#include "app/port_list_model.h"
#include "device/switch_state.h"
#include "device/timer_resolution.h"
#include "display/panel_model.h"
#include "display/switch_panel.h"
#include "framework/afx.h"

class CKAVRODisplayLimitSwitchesDlg : public CDialogEx {
public:
    CKAVRODisplayLimitSwitchesDlg();
    ~CKAVRODisplayLimitSwitchesDlg() override;

    // The switch flags and their lock, as the protocol code takes them.
    SwitchState GetSwitchState() { return SwitchState{m_switch, m_reading, m_stateLock}; }

    // Rebuilds the port list from the Ports devices present: the port the
    // field showed stays chosen while it is listed, text typed over the list
    // stays in the field, and otherwise the first port is chosen, else
    // "Refresh...".
    void RefreshPortList();
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
    // Stop request to the poll worker, written here and read there; the
    // event is set with it, and ends the worker's pause between polls.
    std::atomic<int> m_stopPolling{0};
    CEvent m_stopEvent;
    int m_connected = 0;
    // True while Disconnect awaits the worker.
    bool m_disconnecting = false;
    CCriticalSection m_stateLock;
    CCriticalSection m_portLock;
    CComboBox m_portCombo;
    CButton m_connectButton;
    CEdit m_serialEdit;
    // The switch panel, a control over its place in the client area; it
    // reads the switch state at each paint.
    CSwitchPanel m_panel{GetSwitchState()};
    // What a screen reader calls the port list and the serial-number field.
    CControlNames m_controlNames;
    // The port list's entries, the text of its field, the port that text
    // chooses and the tool tip's text.
    PortListModel m_portList;
    // True while ShowPortList fills the control: its notifications then
    // tell of the filling, not of the user.
    bool m_showingPortList = false;
    // 1 ms timer resolution from the handshake until the link is closed.
    CTimerResolution m_timerResolution;

protected:
    // The window's timers.
    static constexpr UINT_PTR kDevicesSettledTimer = 1;

    void DoDataExchange(CDataExchange* pDX) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnInitDialog() override;

    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnPortSelChange();
    void OnPortEditChange();
    void OnPortDropDownOrCloseUp();
    LRESULT OnPortListSettled(WPARAM wParam, LPARAM lParam);
    void OnConnectClicked();
    void OnInvertZClicked();
    LRESULT OnPanelRefresh(WPARAM wParam, LPARAM lParam);
    LRESULT OnConnectionLost(WPARAM wParam, LPARAM lParam);
    void OnDestroy();
    BOOL OnQueryEndSession();
    void OnEndSession(BOOL bEnding);
    BOOL OnDeviceChange(UINT nEventType, DWORD_PTR dwData);
    void OnTimer(UINT_PTR nIDEvent);
    // Device notifications have settled: the port list follows them.
    void OnDevicesSettled();
    // Puts the port list's entries, selection and field on the combo box,
    // then the tool tip.
    void ShowPortList();
    // The port list's tool tip for what its field shows.
    void ShowPortTip();
    // The port Connect opens: the listed port whose name the field shows
    // now; empty when it shows none.
    std::u16string ChosenPort();

    // Closes the link and ends what a connection holds with it; the caller
    // holds m_portLock.
    void CloseLink();
    // Disconnect's steps, for a caller that has marked the disconnect as
    // under way (m_disconnecting).
    void EndConnection();
    // Sets or clears the stop request: the flag the worker's waits look at,
    // and the event that ends its pause.
    void RequestStop(bool stop);
    // Waits for the worker to end while the window keeps painting and
    // handling sent and private messages, cancelling the worker's pending
    // I/O on the port whenever it has not ended for a while. With limitMs
    // it gives up after about that long; true when the worker has ended.
    bool WaitForWorker(DWORD limitMs = INFINITE);

    DECLARE_MESSAGE_MAP()
};
