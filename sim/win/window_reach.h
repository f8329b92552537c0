// Reaching a window of the tool as a user does, from any process of the
// prefix: finding a dialog, moving the pointer, waiting for a tool tip.
// Shared by the demo's window driver and the tests.
#pragma once

#include <windows.h>

#include <string>

// A visible dialog window (#32770) of process processId (0: any) and thread
// threadId (0: any), other than `except`, with this caption (null: any).
HWND FindDialog(DWORD processId, DWORD threadId, const wchar_t* caption, HWND except = nullptr);
std::wstring WindowClass(HWND hWnd);

// Moves the pointer to screen coordinates (x, y) as the mouse does, and
// gives the window under it a moment to see the move.
void MovePointer(int x, int y);

// The visible tool tip window of process processId, once one shows within
// timeoutMs; null when none did.
HWND WaitToolTip(DWORD processId, DWORD timeoutMs);
