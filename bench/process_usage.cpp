#include "bench/process_usage.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

double Ms(const FILETIME& t) {
    return static_cast<double>((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
}

// Linux counts process times in ticks of 1/100 s (USER_HZ).
constexpr double kMsPerTick = 10.0;

// SystemHandleInformation: one entry per open handle in the system.
constexpr ULONG kSystemHandleInformation = 16;
constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);

struct HandleEntry {
    USHORT UniqueProcessId;  // the owner's id, truncated to 16 bits
    USHORT CreatorBackTraceIndex;
    UCHAR ObjectTypeIndex;
    UCHAR HandleAttributes;
    USHORT HandleValue;
    PVOID Object;
    ULONG GrantedAccess;
};

struct HandleList {
    ULONG NumberOfHandles;
    HandleEntry Handles[1];
};

}  // namespace

int KernelHandleCount(DWORD processId) {
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query)
        return -1;
    std::vector<unsigned char> buffer(1 << 16);
    for (;;) {
        ULONG needed = 0;
        const LONG status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == kStatusInfoLengthMismatch) {
            buffer.resize(buffer.size() * 2 + needed);
            continue;
        }
        if (status < 0)
            return -1;
        break;
    }
    const HandleList* list = reinterpret_cast<const HandleList*>(buffer.data());
    int count = 0;
    for (ULONG i = 0; i < list->NumberOfHandles; ++i)
        count += list->Handles[i].UniqueProcessId == static_cast<USHORT>(processId);
    return count;
}

long long PrivateMemoryBytes(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (!::GetProcessMemoryInfo(process, &counters, sizeof(counters)))
        return -1;
    return static_cast<long long>(counters.PagefileUsage);
}

double ThreadsCpuMs(DWORD processId) {
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    double ms = 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != processId)
            continue;
        const HANDLE thread = ::OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
        if (!thread)
            continue;
        FILETIME created, ended, kernel, user;
        if (::GetThreadTimes(thread, &created, &ended, &kernel, &user))
            ms += Ms(kernel) + Ms(user);
        ::CloseHandle(thread);
    }
    ::CloseHandle(snapshot);
    return ms;
}

double WineServerCpuMs() {
    // The server opens files for its clients, so "self" is the server.
    const HANDLE file = ::CreateFileW(L"Z:\\proc\\self\\stat", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    char text[1024] = {};
    DWORD got = 0;
    ::ReadFile(file, text, sizeof text - 1, &got, nullptr);
    ::CloseHandle(file);
    // Fields after the name in parentheses: state, then 10 more, then
    // utime and stime (fields 14 and 15 of the line).
    const char* p = std::strrchr(text, ')');
    unsigned long long user = 0, system = 0;
    if (!p || std::sscanf(p + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &user, &system) != 2)
        return -1;
    return static_cast<double>(user + system) * kMsPerTick;
}
