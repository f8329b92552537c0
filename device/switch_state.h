// The eight switch flags and the cleaning of a status reply. Portable: no Win32.
#pragma once

#include <string>

#include "framework/afx_sync.h"

constexpr int kSwitchCount = 8;
// A cleaned status reply shorter than this is dropped.
constexpr size_t kMinStatusLength = 6;

// How long the flags stay current without another status reply that passes
// the rules: the reply wait, as long as a silent controller is tolerated.
constexpr unsigned long long kStatusStaleMs = 2010;

// Whether the flags hold what the controller said lately. The panel shows
// them only while they are current: never from before the first reply of a
// connection that could be read, nor once none could for kStatusStaleMs.
struct SwitchReading {
    bool current = false;
    unsigned long long readAtMs = 0;  // the caller's clock at the last reply read
};

// The dialog's switch flags, their reading and the lock that guards both,
// viewed together. Every read and write of them happens with m_stateLock held.
struct SwitchState {
    int (&m_switch)[kSwitchCount];  // 1 when the switch is set, else 0
    SwitchReading& m_reading;
    CCriticalSection& m_stateLock;
};

// Maps a status line onto the flags: flag i is 1 when character i+1 of the
// cleaned reply is '1', and the flags are current as of nowMs (the caller's
// millisecond clock). line holds count bytes (1 to 99) in a buffer of at
// least count + 1 bytes; line[count] is set to NUL. A cleaned reply shorter
// than 6 bytes changes nothing and takes no lock. Takes m_stateLock itself
// (callers hold the port lock, never the state lock). Returns whether the
// panel must be repainted: a flag changed, or the flags became current.
bool ParseSwitchStatus(SwitchState state, char* line, int count, unsigned long long nowMs);

// Ends the flags' being current when no reply was read for kStatusStaleMs
// up to nowMs. Takes m_stateLock itself. Returns whether it did, so that the
// panel is repainted.
bool ExpireSwitchStatus(SwitchState state, unsigned long long nowMs);
