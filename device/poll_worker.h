// The poll worker: keeps the switch flags current while a connection is up.
#pragma once

#include <windows.h>

// Controlling function of the worker thread; param is the main dialog.
// Each cycle, under the dialog's port lock: send "?swin\r", wait for the
// answer, read and parse it. Then it releases the lock, posts
// WM_PANEL_REFRESH when the panel must change (a flag changed, or the flags
// became current again), and pauses 100 ms. The stop request
// (m_stopPolling) is tested before each cycle and inside every wait of it
// (the reply wait, the line, the pause): the worker ends within a few
// milliseconds of it unless a driver holds a read or write, which
// CComLink::CancelPendingIo ends. On silence, or when an exception ends it,
// it posts WM_CONNECTION_LOST once and ends; a stop ends it without a word.
// Returns 1 for a null param, else 0.
UINT PollThreadProc(LPVOID param);
