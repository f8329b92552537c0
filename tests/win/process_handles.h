// Counting what a process holds: kernel handles, GDI objects and private
// memory, in ways that show a leak under Wine as well as on Windows.
// GetProcessHandleCount and GetGuiResources report 0 under Wine, and so does
// the PrivateUsage of GetProcessMemoryInfo.
#pragma once

#include <windows.h>

#include <string>

// Handles held by process `processId` now; -1 when the list cannot be read.
int KernelHandleCount(DWORD processId = ::GetCurrentProcessId());

// How many more GDI objects this process could create now: solid brushes are
// made until one fails, then all deleted again (about 0.1 s for Wine's
// 65,536-entry table; Windows stops at its 10,000-object quota). Between two
// readings, a fall by n means n objects more are held. -1 when not even one
// brush can be made. Runs on the calling thread; other threads that create
// GDI objects meanwhile may fail, so call it while the program is quiet.
int GdiObjectRoom();

// Private memory of a process in bytes: GetProcessMemoryInfo's PagefileUsage,
// which is the commit charge on Windows (equal to PrivateUsage) and under Wine
// the Wine process's anonymous resident memory plus its swap (RssAnon and
// VmSwap of /proc/<pid>/status). -1 on failure.
long long PrivateMemoryBytes(HANDLE process = ::GetCurrentProcess());

// The three readings of this process together.
struct ProcessHoldings {
    int kernelHandles;
    int gdiRoom;
    long long privateBytes;

    static ProcessHoldings Now();
    // One line: "kernel handles N   GDI room N   private memory N KB".
    std::string Text() const;
    // What this reading holds more than `before`, beyond a little slack for
    // what Wine and the C runtime take now and then (5 handles, 10 GDI
    // objects, 1 MB), one line each; empty when nothing grew.
    std::string GrowthSince(const ProcessHoldings& before) const;
};
