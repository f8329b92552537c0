#include "sim/win/port_devices.h"

#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>
#include <cfgmgr32.h>

#include <cstdio>

namespace {

// A device information set, destroyed with the object.
class DeviceSet {
public:
    explicit DeviceSet(HDEVINFO set) : set_(set) {}
    ~DeviceSet() {
        if (set_ != INVALID_HANDLE_VALUE)
            SetupDiDestroyDeviceInfoList(set_);
    }
    DeviceSet(const DeviceSet&) = delete;
    DeviceSet& operator=(const DeviceSet&) = delete;
    HDEVINFO get() const { return set_; }

private:
    HDEVINFO set_;
};

std::wstring Failed(const std::wstring& what, DWORD error = GetLastError()) {
    return what + L" failed with error " + std::to_wstring(error);
}

bool SetProperty(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property, const std::wstring& text) {
    return text.empty() ||
           SetupDiSetDeviceRegistryPropertyW(set, device, property, reinterpret_cast<const BYTE*>(text.c_str()),
                                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// Removes the device with this instance id; one already gone counts as removed.
bool RemoveById(const std::wstring& id, std::wstring* error) {
    DeviceSet set(SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_PORTS, nullptr));
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!SetupDiOpenDeviceInfoW(set.get(), id.c_str(), nullptr, 0, &device))
        return GetLastError() == ERROR_NO_SUCH_DEVINST || (*error = Failed(L"SetupDiOpenDeviceInfoW " + id), false);
    if (!SetupDiRemoveDevice(set.get(), &device)) {
        *error = Failed(L"SetupDiRemoveDevice " + id);
        return false;
    }
    return true;
}

}  // namespace

PortDevices::~PortDevices() {
    for (size_t i = 0; i < ids_.size(); ++i) {
        if (!RemoveAt(i) && !ids_[i].empty())
            std::fwprintf(stderr, L"PortDevices: %ls\n", lastError_.c_str());
    }
}

bool PortDevices::Add(const std::wstring& portName) {
    PortDevice device;
    device.portName = portName;
    return Add(device);
}

bool PortDevices::Add(const PortDevice& wanted) {
    DeviceSet set(SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_PORTS, nullptr));
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!SetupDiCreateDeviceInfoW(set.get(), L"PORTS", &GUID_DEVCLASS_PORTS, nullptr, nullptr, DICD_GENERATE_ID,
                                  &device)) {
        lastError_ = Failed(L"SetupDiCreateDeviceInfoW");
        return false;
    }
    if (!SetupDiRegisterDeviceInfo(set.get(), &device, 0, nullptr, nullptr, nullptr)) {
        lastError_ = Failed(L"SetupDiRegisterDeviceInfo");
        return false;
    }
    wchar_t id[MAX_DEVICE_ID_LEN] = {};
    SetupDiGetDeviceInstanceIdW(set.get(), &device, id, MAX_DEVICE_ID_LEN, nullptr);

    // The device exists now: a later failure takes it away again.
    std::wstring failure;
    if (!SetProperty(set.get(), &device, SPDRP_FRIENDLYNAME, wanted.friendlyName) ||
        !SetProperty(set.get(), &device, SPDRP_MFG, wanted.maker))
        failure = Failed(L"SetupDiSetDeviceRegistryPropertyW");
    if (failure.empty()) {
        const HKEY key = SetupDiCreateDevRegKeyW(set.get(), &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr, nullptr);
        if (key == INVALID_HANDLE_VALUE) {
            failure = Failed(L"SetupDiCreateDevRegKeyW");
        } else {
            const std::wstring& name = wanted.portName;
            const LONG result = RegSetValueExW(key, L"PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                                               static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)));
            if (result != ERROR_SUCCESS)
                failure = Failed(L"writing PortName", static_cast<DWORD>(result));
            RegCloseKey(key);
        }
    }
    if (!failure.empty()) {
        SetupDiRemoveDevice(set.get(), &device);
        lastError_ = failure;
        return false;
    }
    ids_.push_back(id);
    return true;
}

bool PortDevices::RemoveAt(size_t index) {
    if (index >= ids_.size() || ids_[index].empty()) {
        lastError_ = L"no device " + std::to_wstring(index);
        return false;
    }
    if (!RemoveById(ids_[index], &lastError_))
        return false;
    ids_[index].clear();
    return true;
}

bool PortDevices::RemoveAll(std::wstring* error) {
    // The ids first: removing while enumerating shifts the indexes.
    std::vector<std::wstring> ids;
    {
        DeviceSet set(SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, 0));
        if (set.get() == INVALID_HANDLE_VALUE) {
            *error = Failed(L"SetupDiGetClassDevsW");
            return false;
        }
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        for (DWORD i = 0; SetupDiEnumDeviceInfo(set.get(), i, &device); ++i) {
            wchar_t id[MAX_DEVICE_ID_LEN] = {};
            if (SetupDiGetDeviceInstanceIdW(set.get(), &device, id, MAX_DEVICE_ID_LEN, nullptr))
                ids.push_back(id);
        }
    }
    for (const std::wstring& id : ids) {
        if (!RemoveById(id, error))
            return false;
    }
    return true;
}
