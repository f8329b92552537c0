// The main dialog's share of the port list: it hands the combo box's
// notifications and Windows' device changes to the list's rules
// (app/port_list_model.h) and puts their outcome on the control and the
// tool tip.
#include <windows.h>

#include <dbt.h>

#include "app/main_dialog.h"
#include "app/resource.h"
#include "serial/ports_present.h"

namespace {

// A device change is acted on once the burst of notifications that one
// plug or unplug brings has settled.
constexpr UINT kDevicesSettleMs = 300;

std::u16string Utf16(const CString& text) { return std::u16string(text.begin(), text.end()); }
std::wstring Wide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

}  // namespace

void CKAVRODisplayLimitSwitchesDlg::RefreshPortList() {
    m_portList.Refill(PresentPorts());
    ShowPortList();
}

void CKAVRODisplayLimitSwitchesDlg::ShowPortList() {
    // Emptying and filling the control makes its field change and notify;
    // what the field must show is the rules' already.
    m_showingPortList = true;
    m_portCombo.ResetContent();
    for (const std::u16string& entry : m_portList.Entries()) {
        const int index = m_portCombo.AddString(Wide(entry).c_str());
        if (entry == g_refreshEntryText)
            m_portCombo.SetItemData(index, REFRESH_ITEM_DATA);
    }
    // The control sorts its entries itself: found by text, exactly.
    int select = CB_ERR;
    if (m_portList.Selected() >= 0) {
        const std::u16string& field = m_portList.Field();
        for (int i = 0; i < m_portCombo.GetCount() && select == CB_ERR; ++i) {
            CString text;
            m_portCombo.GetLBText(i, text);
            if (Utf16(text) == field)
                select = i;
        }
    }
    m_portCombo.SetCurSel(select);
    if (select == CB_ERR)
        m_portCombo.SetWindowText(Wide(m_portList.Field()).c_str());  // typed text, nothing chosen
    m_showingPortList = false;
    ShowPortTip();
}

void CKAVRODisplayLimitSwitchesDlg::ShowPortTip() {
    if (!m_toolTip.GetSafeHwnd())
        return;
    const std::wstring text = Wide(m_portList.Tip());
    m_toolTip.UpdateTipText(text.c_str(), m_portCombo.m_hWnd);
    if (const HWND edit = ::GetWindow(m_portCombo.m_hWnd, GW_CHILD))
        m_toolTip.UpdateTipText(text.c_str(), edit);
}

void CKAVRODisplayLimitSwitchesDlg::OnPortSelChange() {
    // The control tells of the pick before its field shows the entry: the
    // entry is read from the list itself.
    const int selected = m_portCombo.GetCurSel();
    if (selected == CB_ERR || m_showingPortList)
        return;
    CString entry;
    m_portCombo.GetLBText(selected, entry);
    if (m_portList.Picked(Utf16(entry)))
        RefreshPortList();
    else
        ShowPortTip();
}

void CKAVRODisplayLimitSwitchesDlg::OnPortEditChange() {
    if (m_showingPortList)
        return;
    m_portList.FieldShows(Utf16(m_portCombo.GetWindowText()));
    ShowPortTip();
}

void CKAVRODisplayLimitSwitchesDlg::OnPortDropDownOrCloseUp() {
    // Opening the list may put the entry that matches the typed text into
    // the field, and closing it may keep the entry the keys moved to, both
    // without a word to the dialog: the field is read once the control has
    // done.
    PostMessage(WM_PORT_LIST_SETTLED, 0, 0);
}

LRESULT CKAVRODisplayLimitSwitchesDlg::OnPortListSettled(WPARAM, LPARAM) {
    m_portList.FieldShows(Utf16(m_portCombo.GetWindowText()));
    if (!m_portCombo.GetDroppedState() && m_portList.ListClosed())
        RefreshPortList();
    else
        ShowPortTip();
    return 0;
}

BOOL CKAVRODisplayLimitSwitchesDlg::OnDeviceChange(UINT nEventType, DWORD_PTR dwData) {
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(dwData);
    const bool portCameOrWent = (nEventType == DBT_DEVICEARRIVAL || nEventType == DBT_DEVICEREMOVECOMPLETE) &&
                                header && header->dbch_devicetype == DBT_DEVTYP_PORT;
    // Restarted by each notification of a burst.
    if (nEventType == DBT_DEVNODES_CHANGED || portCameOrWent)
        SetTimer(kDevicesSettledTimer, kDevicesSettleMs);
    return TRUE;
}

void CKAVRODisplayLimitSwitchesDlg::OnDevicesSettled() {
    KillTimer(kDevicesSettledTimer);
    if (m_portList.DevicesChanged(m_portCombo.GetDroppedState() != FALSE))
        RefreshPortList();
}

std::u16string CKAVRODisplayLimitSwitchesDlg::ChosenPort() {
    // What the field shows now, whatever the control has told so far.
    m_portList.FieldShows(Utf16(m_portCombo.GetWindowText()));
    return m_portList.Chosen();
}
