// Ports devices as only the tests register them: "PortName" values of any
// type and bytes, devices without the value or without a key, and adapters
// pulled out again.
#pragma once

#include <windows.h>

#include <devguid.h>
#include <setupapi.h>

#include <string>
#include <vector>

#include "sim/win/port_devices.h"

class TestPorts : public PortDevices {
public:
    // A "PortName" value of this type holding exactly these bytes.
    bool AddValue(DWORD type, const void* data, size_t bytes) { return AddOdd(Write, type, data, bytes); }
    // A hardware key without "PortName".
    bool AddWithoutValue() { return AddOdd(DropValue); }
    // No hardware key at all.
    bool AddWithoutKey() { return AddOdd(DropKey); }
    // The device added as number `index` (0 first) pulled out.
    bool Remove(size_t index) { return RemoveAt(index); }

private:
    enum Change { Write, DropValue, DropKey };
    // Registers a device as the bench does, named so that no port rule takes
    // it, finds it by that name and makes the change to its hardware key.
    bool AddOdd(Change change, DWORD type = REG_NONE, const void* data = nullptr, size_t bytes = 0) {
        static const wchar_t kMark[] = L"LPT-being-made";
        // A string's NUL is stored with it when one follows: a guard follows.
        std::vector<BYTE> raw(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + bytes);
        raw.insert(raw.end(), 2, 0xff);
        if (!Add(kMark))
            return false;
        const HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, 0);
        SP_DEVINFO_DATA device = {sizeof device, {}, 0, 0};
        bool done = false;
        for (DWORD i = 0; !done && SetupDiEnumDeviceInfo(set, i, &device); ++i) {
            const HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ | KEY_WRITE);
            wchar_t name[sizeof kMark / sizeof(wchar_t)] = {};
            DWORD size = sizeof name;
            if (key == INVALID_HANDLE_VALUE)
                continue;
            const LONG read = RegQueryValueExW(key, L"PortName", nullptr, nullptr, reinterpret_cast<BYTE*>(name), &size);
            if (read == ERROR_SUCCESS && std::wstring(name) == kMark)
                done = change == Write       ? RegSetValueExW(key, L"PortName", 0, type, raw.data(), DWORD(bytes)) == 0
                       : change == DropValue ? RegDeleteValueW(key, L"PortName") == 0
                                             : SetupDiDeleteDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV);
            RegCloseKey(key);
        }
        SetupDiDestroyDeviceInfoList(set);
        return done;
    }
};
