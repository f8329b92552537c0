// Ports-class devices registered in the Wine prefix, standing in for the
// serial adapters of a bench: the port list finds them through SetupAPI as
// it finds real ones. Used by the demo, the bench and the tests.
//
// Everything shares the prefix's device list: programs that use it must not
// run at the same time in one prefix.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// One device as registered.
struct PortDevice {
    std::wstring portName;      // the "PortName" value, as REG_SZ
    std::wstring friendlyName;  // SPDRP_FRIENDLYNAME, when not empty
    std::wstring maker;         // SPDRP_MFG, when not empty
};

// Owns the devices it registers and removes them again when destroyed.
class PortDevices {
public:
    PortDevices() = default;
    ~PortDevices();
    PortDevices(const PortDevices&) = delete;
    PortDevices& operator=(const PortDevices&) = delete;

    bool Add(const std::wstring& portName);
    bool Add(const PortDevice& device);
    // Lets the devices outlive this object.
    void Keep() { ids_.clear(); }

    // Removes every Ports-class device of the prefix, whoever registered it.
    static bool RemoveAll(std::wstring* error);

    // What went wrong last, for messages.
    const std::wstring& LastError() const { return lastError_; }

protected:
    // Removes the device added as number `index` (0 first), as an adapter
    // unplugged; false when it is not there.
    bool RemoveAt(size_t index);

private:
    std::vector<std::wstring> ids_;  // instance ids; empty once removed
    std::wstring lastError_;
};
