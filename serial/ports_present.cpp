#include "serial/ports_present.h"

#include <windows.h>

#include <devguid.h>
#include <setupapi.h>

#include <map>
#include <string>

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

// A text property of a device (SPDRP_*), whole whatever its length; empty
// when none is recorded.
std::u16string DeviceText(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property) {
    DWORD type = 0, size = 0;
    ::SetupDiGetDeviceRegistryPropertyW(set, device, property, &type, nullptr, 0, &size);
    if (type != REG_SZ || size < sizeof(wchar_t))
        return {};
    std::u16string text(size / sizeof(char16_t), u'\0');
    if (!::SetupDiGetDeviceRegistryPropertyW(set, device, property, &type, reinterpret_cast<BYTE*>(&text[0]), size,
                                             &size) ||
        type != REG_SZ)
        return {};
    // Up to the first NUL: the recorded text may or may not end with one.
    text.resize(std::char_traits<char16_t>::length(text.c_str()));
    return text;
}

// The port name of one device, if it has a usable one.
bool ReadPortName(HDEVINFO set, SP_DEVINFO_DATA* device, PortName* name) {
    HKEY key = ::SetupDiOpenDevRegKey(set, device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE)
        return false;
    wchar_t buffer[kPortNameBufferChars] = {};
    DWORD type = 0;
    DWORD size = sizeof(buffer);
    const LONG result =
        ::RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    ::RegCloseKey(key);
    return result == ERROR_SUCCESS &&
           TakePortName(type, reinterpret_cast<const char16_t*>(buffer), kPortNameBufferChars, name);
}

}  // namespace

std::vector<PresentPort> PresentPorts() {
    std::map<PortName, PresentPort> byName;  // ordinal order, each name once
    DeviceInfoSet set(::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT));
    if (set.get() != INVALID_HANDLE_VALUE) {
        for (DWORD index = 0;; ++index) {
            SP_DEVINFO_DATA device = {};
            device.cbSize = sizeof(device);
            if (!::SetupDiEnumDeviceInfo(set.get(), index, &device))
                break;
            PortName name;
            if (!ReadPortName(set.get(), &device, &name) || byName.count(name))
                continue;
            byName[name] = PresentPort{name, DeviceText(set.get(), &device, SPDRP_FRIENDLYNAME),
                                       DeviceText(set.get(), &device, SPDRP_MFG)};
        }
    }
    std::vector<PresentPort> ports;
    for (auto& entry : byName)
        ports.push_back(std::move(entry.second));
    return ports;
}
