// The port list of the main dialog: filled from the Ports devices present,
// ended by "Refresh...", which fills it again when chosen, and again when
// Windows reports that devices came or went. Its tool tip names the device
// behind the chosen port.
#include <windows.h>
#include <dbt.h>
#include <devguid.h>
#include <setupapi.h>

#include <map>
#include <string>

#include "app/main_dialog.h"
#include "serial/port_names.h"

const CString g_refreshEntryText = L"Refresh...";

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "registry text is UTF-16");

// A device information set, destroyed with the object.
class DeviceInfoSet {
public:
    explicit DeviceInfoSet(HDEVINFO set) : m_set(set) {}
    ~DeviceInfoSet() {
        if (m_set != INVALID_HANDLE_VALUE)
            ::SetupDiDestroyDeviceInfoList(m_set);
    }
    DeviceInfoSet(const DeviceInfoSet&) = delete;
    DeviceInfoSet& operator=(const DeviceInfoSet&) = delete;
    HDEVINFO get() const { return m_set; }

private:
    HDEVINFO m_set;
};

// A device change is acted on once the burst of notifications that one
// plug or unplug brings has settled.
constexpr UINT_PTR kDevicesSettledTimer = 1;
constexpr UINT kDevicesSettleMs = 300;

// A text property of a device (SPDRP_*), empty when none is recorded.
std::u16string DeviceText(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property) {
    wchar_t buffer[kPortNameBufferChars] = {};
    DWORD type = 0;
    if (!::SetupDiGetDeviceRegistryPropertyW(set, device, property, &type, reinterpret_cast<BYTE*>(buffer),
                                             sizeof(buffer) - sizeof(wchar_t), nullptr) ||
        type != REG_SZ)
        return {};
    return reinterpret_cast<const char16_t*>(buffer);
}

// Adds the port name of one device to names, if it has a usable one, and
// what the tool tip says of it to descriptions.
void ReadPortName(HDEVINFO set, SP_DEVINFO_DATA* device, PortNameSet* names,
                  std::map<std::wstring, std::wstring>* descriptions) {
    HKEY key = ::SetupDiOpenDevRegKey(set, device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE)
        return;
    wchar_t buffer[kPortNameBufferChars] = {};
    DWORD type = 0;
    DWORD size = sizeof(buffer);
    const LONG result =
        ::RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    ::RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return;
    PortName name;
    if (!TakePortName(type, reinterpret_cast<const char16_t*>(buffer), kPortNameBufferChars, &name))
        return;
    names->insert(name);
    const std::u16string text = PortDescription(name, DeviceText(set, device, SPDRP_FRIENDLYNAME),
                                                DeviceText(set, device, SPDRP_MFG));
    descriptions->emplace(std::wstring(name.begin(), name.end()), std::wstring(text.begin(), text.end()));
}

PortNameSet PresentPortNames(std::map<std::wstring, std::wstring>* descriptions) {
    PortNameSet names;
    DeviceInfoSet set(::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT));
    if (set.get() == INVALID_HANDLE_VALUE)
        return names;
    for (DWORD index = 0;; ++index) {
        SP_DEVINFO_DATA device = {};
        device.cbSize = sizeof(device);
        if (!::SetupDiEnumDeviceInfo(set.get(), index, &device))
            break;
        ReadPortName(set.get(), &device, &names, descriptions);
    }
    return names;
}

}  // namespace

void CKAVRODisplayLimitSwitchesDlg::RefreshPortList() {
    CString remembered;
    const int selected = m_portCombo.GetCurSel();
    if (selected != CB_ERR)
        m_portCombo.GetLBText(selected, remembered);

    m_portCombo.ResetContent();
    m_portDescriptions.clear();
    for (const PortName& name : PresentPortNames(&m_portDescriptions))
        m_portCombo.AddString(std::wstring(name.begin(), name.end()).c_str());
    const int refreshIndex = m_portCombo.AddString(g_refreshEntryText);
    m_portCombo.SetItemData(refreshIndex, REFRESH_ITEM_DATA);

    // The refresh entry's own text is never searched: choosing it falls back
    // to the first port.
    int found = CB_ERR;
    if (!remembered.IsEmpty() && remembered.compare(g_refreshEntryText) != 0)
        found = m_portCombo.FindStringExact(-1, remembered);
    if (found >= 0)
        m_portCombo.SetCurSel(found);
    else if (m_portCombo.GetCount() <= 1)
        m_portCombo.SetCurSel(refreshIndex);
    else
        m_portCombo.SetCurSel(0);
    ShowPortTip();
}

void CKAVRODisplayLimitSwitchesDlg::OnPortSelChange() {
    const int selected = m_portCombo.GetCurSel();
    if (selected == CB_ERR)
        return;
    if (m_portCombo.GetItemData(selected) == REFRESH_ITEM_DATA)
        RefreshPortList();
    ShowPortTip();
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

void CKAVRODisplayLimitSwitchesDlg::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent != kDevicesSettledTimer)
        return;
    KillTimer(kDevicesSettledTimer);
    // Never under the user's pointer: a list that changed while dropped down
    // would take a click meant for another entry.
    if (m_portCombo.GetDroppedState())
        m_refillWhenClosed = true;
    else
        RefillForDevices();
}

void CKAVRODisplayLimitSwitchesDlg::OnPortCloseUp() {
    if (m_refillWhenClosed) {
        m_refillWhenClosed = false;
        RefillForDevices();
    }
}

void CKAVRODisplayLimitSwitchesDlg::RefillForDevices() {
    // The chosen port stays chosen while it is there (the connected one
    // included; the connection is left alone), and text the user typed
    // stays in the field.
    const CString shown = m_portCombo.GetWindowText();
    CString chosen;  // empty when nothing is selected
    m_portCombo.GetLBText(m_portCombo.GetCurSel(), chosen);
    RefreshPortList();
    if (!shown.IsEmpty() && shown.compare(chosen) != 0) {
        m_portCombo.SetWindowText(shown);
        ShowPortTip();
    }
}

void CKAVRODisplayLimitSwitchesDlg::ShowPortTip() {
    if (!m_toolTip.GetSafeHwnd())
        return;
    const int selected = m_portCombo.GetCurSel();
    CString chosen;  // empty when nothing is selected
    m_portCombo.GetLBText(selected, chosen);
    std::wstring text;
    if (selected == CB_ERR || m_portCombo.GetWindowText().compare(chosen) != 0) {
        text = L"Choose the controller's COM port";  // nothing chosen, or typed over
    } else if (m_portCombo.GetItemData(selected) == REFRESH_ITEM_DATA) {
        text = L"Reads the COM ports present again";
    } else {
        const auto described = m_portDescriptions.find(chosen);
        text = described != m_portDescriptions.end() ? described->second : std::wstring(chosen);
    }
    m_toolTip.UpdateTipText(text.c_str(), m_portCombo.m_hWnd);
    if (const HWND edit = ::GetWindow(m_portCombo.m_hWnd, GW_CHILD))
        m_toolTip.UpdateTipText(text.c_str(), edit);
}
