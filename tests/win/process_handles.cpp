#include "tests/win/process_handles.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

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

using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

// More than any GDI handle table holds: the count ends here even if
// creation never failed.
constexpr size_t kGdiRoomLimit = 1 << 18;

// Growth that is not yet a leak: seen at 0 handles, 0 GDI objects and a few
// dozen KB over 500 connects or 10,000 paints.
constexpr int kHandleSlack = 5;
constexpr int kGdiSlack = 10;
constexpr long long kMemorySlack = 1024 * 1024;

}  // namespace

int KernelHandleCount(DWORD processId) {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    const auto query = reinterpret_cast<QuerySystemInformation>(
        reinterpret_cast<void*>(::GetProcAddress(ntdll, "NtQuerySystemInformation")));
    if (!query)
        return -1;
    std::vector<unsigned char> buffer(1 << 16);
    for (;;) {
        ULONG needed = 0;
        const LONG status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == kStatusInfoLengthMismatch) {
            buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
            continue;
        }
        if (status < 0)
            return -1;
        break;
    }
    const HandleList* list = reinterpret_cast<const HandleList*>(buffer.data());
    int count = 0;
    for (ULONG i = 0; i < list->NumberOfHandles; ++i) {
        if (list->Handles[i].UniqueProcessId == static_cast<USHORT>(processId))
            ++count;
    }
    return count;
}

int GdiObjectRoom() {
    std::vector<HBRUSH> brushes;
    brushes.reserve(1 << 16);
    while (brushes.size() < kGdiRoomLimit) {
        const HBRUSH brush = ::CreateSolidBrush(RGB(1, 2, 3));
        if (!brush)
            break;
        brushes.push_back(brush);
    }
    for (const HBRUSH brush : brushes)
        ::DeleteObject(brush);
    return brushes.empty() ? -1 : static_cast<int>(brushes.size());
}

long long PrivateMemoryBytes(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (!::GetProcessMemoryInfo(process, &counters, sizeof(counters)))
        return -1;
    return static_cast<long long>(counters.PagefileUsage);
}

ProcessHoldings ProcessHoldings::Now() { return {KernelHandleCount(), GdiObjectRoom(), PrivateMemoryBytes()}; }

std::string ProcessHoldings::Text() const {
    char text[128];
    std::snprintf(text, sizeof text, "kernel handles %5d   GDI room %6d   private memory %8.1f KB", kernelHandles,
                  gdiRoom, static_cast<double>(privateBytes) / 1024.0);
    return text;
}

std::string ProcessHoldings::GrowthSince(const ProcessHoldings& before) const {
    std::string growth;
    char line[128];
    if (kernelHandles - before.kernelHandles > kHandleSlack) {
        std::snprintf(line, sizeof line, "kernel handles grew by %d\n", kernelHandles - before.kernelHandles);
        growth += line;
    }
    if (before.gdiRoom - gdiRoom > kGdiSlack) {
        std::snprintf(line, sizeof line, "GDI objects held grew by %d\n", before.gdiRoom - gdiRoom);
        growth += line;
    }
    if (privateBytes - before.privateBytes > kMemorySlack) {
        std::snprintf(line, sizeof line, "private memory grew by %lld KB\n", (privateBytes - before.privateBytes) / 1024);
        growth += line;
    }
    return growth;
}
