// Ports devices as only the tests register them: "PortName" values of any
// type and bytes, devices without the value or without a key, and adapters
// pulled out again.
#pragma once

#include <vector>

#include "sim/win/port_devices.h"

class TestPorts : public PortDevices {
public:
    using PortDevices::Add;
    // A "PortName" value of this type holding exactly these bytes.
    bool AddValue(DWORD type, const void* data, size_t bytes) {
        const std::vector<BYTE> raw(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + bytes);
        return Add(PortDevice{}, true, [&](HKEY key) {
            return RegSetValueExW(key, L"PortName", 0, type, raw.data(), static_cast<DWORD>(raw.size()));
        });
    }
    // A hardware key without "PortName".
    bool AddWithoutValue() { return Add(PortDevice{}, true, [](HKEY) { return LONG{ERROR_SUCCESS}; }); }
    // No hardware key at all.
    bool AddWithoutKey() { return Add(PortDevice{}, false, {}); }
    // The device added as number `index` (0 first) pulled out.
    bool Remove(size_t index) { return RemoveAt(index); }
};
