// The port list of the main dialog: filled from the Ports devices present,
// ended by "Refresh...", which fills it again when chosen.
#include <windows.h>
#include <devguid.h>
#include <setupapi.h>

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

// Adds the port name of one device to names, if it has a usable one.
void ReadPortName(HDEVINFO set, SP_DEVINFO_DATA* device, PortNameSet* names) {
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
    if (TakePortName(type, reinterpret_cast<const char16_t*>(buffer), kPortNameBufferChars, &name))
        names->insert(name);
}

PortNameSet PresentPortNames() {
    PortNameSet names;
    DeviceInfoSet set(::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT));
    if (set.get() == INVALID_HANDLE_VALUE)
        return names;
    for (DWORD index = 0;; ++index) {
        SP_DEVINFO_DATA device = {};
        device.cbSize = sizeof(device);
        if (!::SetupDiEnumDeviceInfo(set.get(), index, &device))
            break;
        ReadPortName(set.get(), &device, &names);
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
    for (const PortName& name : PresentPortNames())
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
}

void CKAVRODisplayLimitSwitchesDlg::OnPortSelChange() {
    const int selected = m_portCombo.GetCurSel();
    if (selected == CB_ERR)
        return;
    if (m_portCombo.GetItemData(selected) == REFRESH_ITEM_DATA)
        RefreshPortList();
}
