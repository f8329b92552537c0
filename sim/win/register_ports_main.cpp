// kavro-register-ports: makes the Wine prefix's Ports devices exactly the
// given COM ports, as if their adapters were plugged in, so that the tool
// lists them on a machine without serial ports. Used by the demo.
//   kavro-register-ports COM3 [COM5 ...]
#include <windows.h>

#include <cstdio>
#include <string>

#include "sim/win/port_devices.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fputs("usage: kavro-register-ports COM3 [COM5 ...]\n", stderr);
        return 2;
    }
    std::wstring error;
    if (!PortDevices::RemoveAll(&error)) {
        std::fwprintf(stderr, L"kavro-register-ports: %ls\n", error.c_str());
        return 1;
    }
    PortDevices devices;
    for (int i = 1; i < argc; ++i) {
        PortDevice device;
        device.portName = argv[i];
        device.friendlyName = L"Simulated KAVRO controller (" + device.portName + L")";
        device.maker = L"KAVRO simulator";
        if (!devices.Add(device)) {
            std::fwprintf(stderr, L"kavro-register-ports: %ls: %ls\n", argv[i], devices.LastError().c_str());
            return 1;
        }
    }
    devices.Keep();
    return 0;
}
