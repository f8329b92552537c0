// The display scale Windows gives this program, whose manifest declares it
// system-DPI aware: the system's dots per inch (96 at 100 %, 120 at 125 %,
// 144 at 150 %, 192 at 200 %). Read on the user-interface thread.
#pragma once

#include <windows.h>

// The DPI of hWnd's display as a system-DPI-aware window sees it (hWnd may
// be null); 96 when the system reports none.
int SystemDpi(HWND hWnd);
