// kavro-register-ports: registers Ports-class devices with the given PortName
// values, so the tool lists those COM ports on a machine without them.
//
//   kavro-register-ports COM3 [COM5 ...]   exactly these, replacing earlier ones
//   kavro-register-ports --clear           remove the ones registered here
//   kavro-register-ports --list            every port the tool would list

#include "port_devices.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Kept apart from the tests' tag, so a test run does not take the demo's ports.
const wchar_t kDemoTag[] = L"KAVRODEMO";

int Usage() {
    fputs("usage: kavro-register-ports COM3 [COM5 ...]\n"
          "       kavro-register-ports --clear\n"
          "       kavro-register-ports --list\n",
          stderr);
    return 2;
}

int Fail(const std::wstring& message) {
    fwprintf(stderr, L"kavro-register-ports: %ls\n", message.c_str());
    return 1;
}

bool Widen(const char* s, std::wstring& out) {
    int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
    if (n <= 0) return false;
    std::vector<wchar_t> buf(static_cast<size_t>(n));
    if (MultiByteToWideChar(CP_ACP, 0, s, -1, buf.data(), n) != n) return false;
    out = buf.data();
    return true;
}

std::wstring Describe(const PortDeviceInfo& d) {
    if (!d.hasPortName) return L"(no PortName)";
    if (d.type != REG_SZ) return L"(PortName of registry type " + std::to_wstring(d.type) + L")";
    std::wstring s;
    for (size_t i = 0; i + 1 < d.data.size(); i += 2) {
        wchar_t c = static_cast<wchar_t>(d.data[i] | (d.data[i + 1] << 8));
        if (c == L'\0') break;
        s += c;
    }
    return s;
}

int List() {
    std::vector<PortDeviceInfo> devices;
    std::wstring error;
    if (!PortDevices::List(devices, &error)) return Fail(error);
    for (const PortDeviceInfo& d : devices)
        wprintf(L"%-12ls %ls\n", Describe(d).c_str(), d.instanceId.c_str());
    return 0;
}

int Clear() {
    std::wstring error;
    int removed = PortDevices::RemoveTagged(kDemoTag, &error);
    if (removed < 0) return Fail(error);
    wprintf(L"removed %d device(s)\n", removed);
    return 0;
}

int Register(const std::vector<std::wstring>& names) {
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i].empty() || names[i][0] == L'-') return Fail(L"not a port name: \"" + names[i] + L"\"");
        for (size_t j = 0; j < i; ++j) {
            if (CompareStringOrdinal(names[i].c_str(), -1, names[j].c_str(), -1, TRUE) == CSTR_EQUAL)
                return Fail(L"port named twice: " + names[i]);
        }
    }
    // Construction removes what an earlier run registered.
    PortDevices devices(kDemoTag);
    if (!devices.LastError().empty()) return Fail(devices.LastError());
    for (const std::wstring& name : names) {
        // On failure the destructor takes back the ones already added.
        if (!devices.AddPortName(name)) return Fail(devices.LastError());
    }
    for (size_t i = 0; i < names.size(); ++i)
        wprintf(L"%-12ls %ls\n", names[i].c_str(), devices.InstanceIds()[i].c_str());
    devices.Keep();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i) {
        std::wstring a;
        if (!Widen(argv[i], a)) return Fail(L"cannot read the command line");
        args.push_back(a);
    }
    if (args.empty()) return Usage();
    if (args[0] == L"--list" || args[0] == L"--clear") {
        if (args.size() != 1) return Usage();
        return args[0] == L"--list" ? List() : Clear();
    }
    if (args[0] == L"--help" || args[0] == L"-h") {
        Usage();
        return 0;
    }
    return Register(args);
}
