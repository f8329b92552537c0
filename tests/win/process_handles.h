// Counting the kernel handles a process holds. GetProcessHandleCount reports
// 0 under Wine; the system-wide handle list works there and on Windows.
#pragma once

#include <windows.h>

// Handles held by process `processId` now; -1 when the list cannot be read.
int KernelHandleCount(DWORD processId = ::GetCurrentProcessId());
