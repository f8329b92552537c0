// The eight switch flags and the cleaning of a status reply. Portable: no Win32.
#pragma once

#include <string>

#include "framework/afx_sync.h"

constexpr int kSwitchCount = 8;
// A cleaned status reply shorter than this is dropped.
constexpr size_t kMinStatusLength = 6;

// The dialog's switch flags and the lock that guards them, viewed together.
// Every read and write of m_switch happens with m_stateLock held.
struct SwitchState {
    int (&m_switch)[kSwitchCount];  // 1 when the switch is set, else 0
    CCriticalSection& m_stateLock;
};

// Maps a status line onto the flags: flag i is 1 when character i+1 of the
// cleaned reply is '1'. line holds count bytes (1 to 99) in a buffer of at
// least count + 1 bytes; line[count] is set to NUL. A cleaned reply shorter
// than 6 bytes changes nothing and takes no lock. Takes m_stateLock itself
// (callers hold the port lock, never the state lock). Returns whether any
// flag changed.
bool ParseSwitchStatus(SwitchState state, char* line, int count);
