// Registers Ports-class devices with a "PortName" value, so that port discovery
// can be tested (and demonstrated) on a machine or Wine prefix without real
// serial ports.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// One Ports-class device as port discovery sees it.
struct PortDeviceInfo {
    std::wstring instanceId;
    bool hasPortName = false;
    DWORD type = REG_NONE;    // registry type of PortName, when present
    std::vector<BYTE> data;   // raw PortName bytes, when present
};

// Owns the devices it registers and removes them again when destroyed.
// Instance ids are ROOT\PORTS\<tag>_<nnnn>; the tag identifies what an
// earlier run left behind, so the first construction in a process removes
// every device carrying it.
// Everything shares the machine-wide device list: tests that use it must not
// run in parallel within one Wine prefix.
class PortDevices {
public:
    static constexpr const wchar_t* kTestTag = L"KAVROTEST";

    // tag: upper-case letters, digits and '_' only. LastError() is empty
    // afterwards unless the tag is invalid or leftovers could not be removed.
    explicit PortDevices(std::wstring tag = kTestTag);
    ~PortDevices();
    PortDevices(const PortDevices&) = delete;
    PortDevices& operator=(const PortDevices&) = delete;

    // Registers a device whose PortName is a REG_SZ holding name.
    bool AddPortName(const std::wstring& name);
    // Registers a device whose PortName has this type and exactly these bytes.
    bool AddValue(DWORD type, const void* data, DWORD bytes);
    // Registers a device whose hardware key holds no PortName value.
    bool AddWithoutPortName();
    // Registers a device that has no hardware key at all.
    bool AddWithoutDeviceKey();

    // Removes every device this object registered; true if none is left.
    bool RemoveAll();
    // Lets the registered devices outlive this object.
    void Keep();

    const std::vector<std::wstring>& InstanceIds() const { return ids_; }
    size_t Count() const { return ids_.size(); }
    // Describes the last failure, for test messages and stderr.
    const std::wstring& LastError() const { return lastError_; }

    // Removes every Ports-class device carrying tag; returns how many, or -1
    // if the device list could not be read or a removal failed.
    static int RemoveTagged(const std::wstring& tag, std::wstring* error = nullptr);
    // Removes every Ports-class device, whoever registered it; same result.
    static int RemoveAllPortsDevices(std::wstring* error = nullptr);
    // Enumerates the Ports class the way port discovery does.
    static bool List(std::vector<PortDeviceInfo>& out, std::wstring* error = nullptr);

private:
    enum class Make { Value, KeyOnly, Nothing };
    bool Add(DWORD type, const void* data, DWORD bytes, Make make);

    std::wstring tag_;
    std::vector<std::wstring> ids_;
    unsigned next_ = 0;
    std::wstring lastError_;
};
