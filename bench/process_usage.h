// CPU time of another program under Wine and on Windows. GetProcessTimes of
// another process reports stale figures under Wine; the times of its
// threads are read afresh (Wine reads /proc/<pid>/task/<tid>/stat).
#pragma once

#include <windows.h>

// CPU time (user and kernel) the threads of process `processId` that run
// now have used so far, in ms; threads that have ended are not counted.
double ThreadsCpuMs(DWORD processId);

// CPU time used so far by the Wine server of this prefix, in ms: under Wine
// every serial request and window message of a program also costs the
// server. -1 when it cannot be read (on Windows).
double WineServerCpuMs();
