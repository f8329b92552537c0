#include "port_devices.h"

#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>
#include <cfgmgr32.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <set>
#include <utility>

namespace {

class DevInfoList {
public:
    explicit DevInfoList(HDEVINFO h) : h_(h) {}
    ~DevInfoList() {
        if (h_ != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(h_);
    }
    DevInfoList(const DevInfoList&) = delete;
    DevInfoList& operator=(const DevInfoList&) = delete;
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HDEVINFO get() const { return h_; }

private:
    HDEVINFO h_;
};

class RegKey {
public:
    explicit RegKey(HKEY h) : h_(h) {}
    ~RegKey() {
        if (valid()) RegCloseKey(h_);
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    // SetupDi* key functions report failure as INVALID_HANDLE_VALUE, not NULL.
    bool valid() const { return h_ != nullptr && h_ != static_cast<HKEY>(INVALID_HANDLE_VALUE); }
    HKEY get() const { return h_; }

private:
    HKEY h_;
};

std::wstring Describe(const std::wstring& what, DWORD err) {
    wchar_t code[16];
    swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(err));
    std::wstring text = what + L" failed: " + code;
    wchar_t* msg = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                 FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, err, 0, reinterpret_cast<wchar_t*>(&msg), 0, nullptr);
    if (n != 0 && msg != nullptr) {
        std::wstring m(msg, n);
        while (!m.empty() && (m.back() == L'\n' || m.back() == L'\r' || m.back() == L' ')) m.pop_back();
        text += L" (" + m + L")";
    }
    if (msg != nullptr) LocalFree(msg);
    return text;
}

void SetError(std::wstring* out, std::wstring text) {
    if (out != nullptr) *out = std::move(text);
}

std::wstring IdPrefix(const std::wstring& tag) { return L"ROOT\\PORTS\\" + tag + L"_"; }

bool StartsWithNoCase(const std::wstring& s, const std::wstring& prefix) {
    // Setup upper-cases instance ids, so a lower-case tag must still match.
    return s.size() >= prefix.size() &&
           CompareStringOrdinal(s.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

bool ValidTag(const std::wstring& tag) {
    if (tag.empty()) return false;
    for (wchar_t c : tag) {
        bool ok = (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_';
        if (!ok) return false;
    }
    return true;
}

bool InstanceId(HDEVINFO set, SP_DEVINFO_DATA* d, std::wstring& id, std::wstring* error) {
    std::vector<wchar_t> buf(MAX_DEVICE_ID_LEN + 1);
    DWORD needed = 0;
    if (!SetupDiGetDeviceInstanceIdW(set, d, buf.data(), static_cast<DWORD>(buf.size()), &needed)) {
        DWORD err = GetLastError();
        if (err != ERROR_INSUFFICIENT_BUFFER || needed == 0) {
            SetError(error, Describe(L"SetupDiGetDeviceInstanceIdW", err));
            return false;
        }
        buf.resize(needed);
        if (!SetupDiGetDeviceInstanceIdW(set, d, buf.data(), needed, nullptr)) {
            SetError(error, Describe(L"SetupDiGetDeviceInstanceIdW", GetLastError()));
            return false;
        }
    }
    id = buf.data();
    return true;
}

// Calls visit(set, device) for each Ports-class device that flags select
// (DIGCF_*), until it returns false. False, with error set, when the device
// list cannot be read or a visit fails.
template <typename Visit>
bool ForEachPortsDevice(DWORD flags, std::wstring* error, Visit visit) {
    DevInfoList set(SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, flags));
    if (!set.valid()) {
        SetError(error, Describe(L"SetupDiGetClassDevsW", GetLastError()));
        return false;
    }
    for (DWORD i = 0;; ++i) {
        SP_DEVINFO_DATA d{};
        d.cbSize = sizeof d;
        if (!SetupDiEnumDeviceInfo(set.get(), i, &d)) {
            DWORD err = GetLastError();
            if (err == ERROR_NO_MORE_ITEMS) return true;
            SetError(error, Describe(L"SetupDiEnumDeviceInfo", err));
            return false;
        }
        if (!visit(set.get(), &d)) return false;
    }
}

// Instance ids of every Ports-class device, present or not.
bool AllInstanceIds(std::vector<std::wstring>& ids, std::wstring* error) {
    return ForEachPortsDevice(0, error, [&](HDEVINFO set, SP_DEVINFO_DATA* d) {
        std::wstring id;
        if (!InstanceId(set, d, id, error)) return false;
        ids.push_back(std::move(id));
        return true;
    });
}

// A device already gone counts as removed.
bool RemoveById(const std::wstring& id, std::wstring* error) {
    DevInfoList set(SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_PORTS, nullptr));
    if (!set.valid()) {
        SetError(error, Describe(L"SetupDiCreateDeviceInfoList", GetLastError()));
        return false;
    }
    SP_DEVINFO_DATA d{};
    d.cbSize = sizeof d;
    if (!SetupDiOpenDeviceInfoW(set.get(), id.c_str(), nullptr, 0, &d)) {
        DWORD err = GetLastError();
        if (err == ERROR_NO_SUCH_DEVINST) return true;
        SetError(error, Describe(L"SetupDiOpenDeviceInfoW(" + id + L")", err));
        return false;
    }
    if (!SetupDiRemoveDevice(set.get(), &d)) {
        SetError(error, Describe(L"SetupDiRemoveDevice(" + id + L")", GetLastError()));
        return false;
    }
    return true;
}

// Ids are collected first: removing while enumerating would shift the
// indexes on some setupapi versions.
int RemoveMatching(const std::wstring& prefix, std::wstring* error) {
    std::vector<std::wstring> ids;
    if (!AllInstanceIds(ids, error)) return -1;
    int removed = 0;
    bool ok = true;
    for (const std::wstring& id : ids) {
        if (!StartsWithNoCase(id, prefix)) continue;
        if (RemoveById(id, error)) ++removed;
        else ok = false;
    }
    return ok ? removed : -1;
}

}  // namespace

PortDevices::PortDevices(std::wstring tag) : tag_(std::move(tag)) {
    if (!ValidTag(tag_)) {
        lastError_ = L"invalid device tag \"" + tag_ + L"\"";
        return;
    }
    // Devices of a run that crashed before its destructor ran. Only once per
    // process, so a second live object does not take the first one's devices.
    static std::mutex mutex;
    static std::set<std::wstring> cleaned;
    std::lock_guard<std::mutex> lock(mutex);
    if (cleaned.count(tag_) == 0 && RemoveTagged(tag_, &lastError_) >= 0) cleaned.insert(tag_);
}

PortDevices::~PortDevices() {
    if (!RemoveAll()) fwprintf(stderr, L"PortDevices: %ls\n", lastError_.c_str());
}

bool PortDevices::AddPortName(const std::wstring& name) {
    return Add(REG_SZ, name.c_str(), static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)), Make::Value);
}

bool PortDevices::AddValue(DWORD type, const void* data, DWORD bytes) {
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ)
        return Add(type, data, bytes, Make::Value);
    // RegSetValueExW stores one more character when a string lacks its
    // terminator and a NUL happens to follow it in memory; a non-NUL guard
    // after the copy keeps the stored size exactly as asked.
    std::vector<BYTE> copy(static_cast<size_t>(bytes) + 2, 0xFF);
    if (bytes != 0) memcpy(copy.data(), data, bytes);
    return Add(type, copy.data(), bytes, Make::Value);
}

bool PortDevices::AddWithoutPortName() { return Add(REG_NONE, nullptr, 0, Make::KeyOnly); }

bool PortDevices::AddWithoutDeviceKey() { return Add(REG_NONE, nullptr, 0, Make::Nothing); }

bool PortDevices::Add(DWORD type, const void* data, DWORD bytes, Make make) {
    if (!ValidTag(tag_)) {
        lastError_ = L"invalid device tag \"" + tag_ + L"\"";
        return false;
    }
    for (; next_ < 10000; ++next_) {
        wchar_t num[8];
        swprintf(num, 8, L"%04u", next_);
        const std::wstring id = IdPrefix(tag_) + num;

        // A fresh set for each attempt, so a refused id leaves nothing behind.
        DevInfoList set(SetupDiCreateDeviceInfoList(&GUID_DEVCLASS_PORTS, nullptr));
        if (!set.valid()) {
            lastError_ = Describe(L"SetupDiCreateDeviceInfoList", GetLastError());
            return false;
        }
        SP_DEVINFO_DATA d{};
        d.cbSize = sizeof d;
        if (!SetupDiCreateDeviceInfoW(set.get(), id.c_str(), &GUID_DEVCLASS_PORTS, nullptr, nullptr, 0,
                                      &d)) {
            DWORD err = GetLastError();
            // Another live object with the same tag holds this number.
            if (err == ERROR_DEVINST_ALREADY_EXISTS) continue;
            lastError_ = Describe(L"SetupDiCreateDeviceInfoW(" + id + L")", err);
            return false;
        }
        if (!SetupDiRegisterDeviceInfo(set.get(), &d, 0, nullptr, nullptr, nullptr)) {
            lastError_ = Describe(L"SetupDiRegisterDeviceInfo(" + id + L")", GetLastError());
            return false;
        }
        ++next_;

        // The device now exists: any later failure must take it away again.
        std::wstring failure;
        if (make != Make::Nothing) {
            RegKey key(SetupDiCreateDevRegKeyW(set.get(), &d, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr,
                                               nullptr));
            if (!key.valid()) {
                failure = Describe(L"SetupDiCreateDevRegKeyW(" + id + L")", GetLastError());
            } else if (make == Make::Value) {
                LONG r = RegSetValueExW(key.get(), L"PortName", 0, type, static_cast<const BYTE*>(data),
                                        bytes);
                if (r != ERROR_SUCCESS)
                    failure = Describe(L"RegSetValueExW(" + id + L", PortName)", static_cast<DWORD>(r));
            }
        }
        if (!failure.empty()) {
            if (!SetupDiRemoveDevice(set.get(), &d))
                failure += L"; " + Describe(L"SetupDiRemoveDevice(" + id + L")", GetLastError());
            lastError_ = failure;
            return false;
        }
        ids_.push_back(id);
        return true;
    }
    lastError_ = L"no free instance number under " + IdPrefix(tag_);
    return false;
}

bool PortDevices::RemoveAll() {
    std::vector<std::wstring> left;
    for (const std::wstring& id : ids_) {
        if (!RemoveById(id, &lastError_)) left.push_back(id);
    }
    ids_ = std::move(left);
    return ids_.empty();
}

void PortDevices::Keep() { ids_.clear(); }

int PortDevices::RemoveTagged(const std::wstring& tag, std::wstring* error) {
    if (!ValidTag(tag)) {
        SetError(error, L"invalid device tag \"" + tag + L"\"");
        return -1;
    }
    return RemoveMatching(IdPrefix(tag), error);
}

int PortDevices::RemoveAllPortsDevices(std::wstring* error) { return RemoveMatching(L"", error); }

bool PortDevices::List(std::vector<PortDeviceInfo>& out, std::wstring* error) {
    out.clear();
    return ForEachPortsDevice(DIGCF_PRESENT, error, [&](HDEVINFO set, SP_DEVINFO_DATA* d) {
        PortDeviceInfo info;
        if (!InstanceId(set, d, info.instanceId, error)) return false;

        RegKey key(SetupDiOpenDevRegKey(set, d, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ));
        if (key.valid()) {
            DWORD type = REG_NONE, size = 0;
            LONG r = RegQueryValueExW(key.get(), L"PortName", nullptr, &type, nullptr, &size);
            if (r == ERROR_SUCCESS) {
                info.data.resize(size);
                r = RegQueryValueExW(key.get(), L"PortName", nullptr, &type,
                                     size != 0 ? info.data.data() : nullptr, &size);
                if (r != ERROR_SUCCESS) {
                    SetError(error, Describe(L"RegQueryValueExW(" + info.instanceId + L", PortName)",
                                             static_cast<DWORD>(r)));
                    return false;
                }
                info.data.resize(size);
                info.type = type;
                info.hasPortName = true;
            }
        }
        out.push_back(std::move(info));
        return true;
    });
}
