// What a program uses, read in ways that work under Wine as on Windows:
// CPU time, kernel handles and private memory. Under Wine GetProcessTimes of
// another process reports stale figures, and GetProcessHandleCount and the
// PrivateUsage of GetProcessMemoryInfo report 0.
#pragma once

#include <windows.h>

// Handles held by process `processId` now, from the system's handle list
// (NtQuerySystemInformation); -1 when the list cannot be read.
int KernelHandleCount(DWORD processId = ::GetCurrentProcessId());

// Private memory of a process in bytes: GetProcessMemoryInfo's PagefileUsage,
// which is the commit charge on Windows and under Wine the Wine process's
// anonymous resident memory plus its swap. -1 on failure.
long long PrivateMemoryBytes(HANDLE process = ::GetCurrentProcess());

// CPU time (user and kernel) the threads of process `processId` that run
// now have used so far, in ms; threads that have ended are not counted.
double ThreadsCpuMs(DWORD processId);

// CPU time used so far by the Wine server of this prefix, in ms: under Wine
// every serial request and window message of a program also costs the
// server. -1 when it cannot be read (on Windows).
double WineServerCpuMs();
