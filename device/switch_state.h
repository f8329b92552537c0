// The eight switch flags and the reading of a status reply. Portable: no Win32.
#pragma once

#include <string>

#include "framework/afx_sync.h"

constexpr int kSwitchCount = 8;
// A cleaned status reply shorter than this is dropped.
constexpr size_t kMinStatusLength = 6;

// How long the flags stay current without another readable status reply:
// as long as the next one may take to come from a controller that answers,
// the 100 ms pause between polls and the whole 2010 ms reply wait, with
// room for the line itself. About 2 s, as long as silence is tolerated.
constexpr unsigned long long kStatusStaleMs = 2300;

// When the flags were last read from the controller. The panel shows them
// only while that reading is young: never before the first readable reply
// of a connection, nor once none came for kStatusStaleMs.
struct SwitchReading {
    bool read = false;
    unsigned long long atMs = 0;  // the caller's millisecond clock at that reply
    // The panel was painted grey for this reading's age. The worker reads
    // its clock before it takes the lock, the paint under it: at the edge
    // of its age a reading may be painted expired and then renewed by a
    // reply the worker still took for current. Its renewal is painted all
    // the same.
    bool shownExpired = false;
};

// Whether the reading is current at nowMs (the same clock).
bool ReadingIsCurrent(const SwitchReading& reading, unsigned long long nowMs);
// How long from nowMs the reading stays current; 0 when it is not.
unsigned long long ReadingLeftMs(const SwitchReading& reading, unsigned long long nowMs);
// ReadingLeftMs, for a paint that shows the reading at nowMs: a reading
// painted as expired is marked so. The caller holds the state lock.
unsigned long long ReadingLeftMsShown(SwitchReading& reading, unsigned long long nowMs);

// The dialog's switch flags, their reading and the lock that guards both,
// viewed together. Every read and write of them happens with m_stateLock held.
struct SwitchState {
    int (&m_switch)[kSwitchCount];  // 1 when the switch is set, else 0
    SwitchReading& m_reading;
    CCriticalSection& m_stateLock;
};

// Maps a status line onto the flags as read at nowMs (the caller's
// millisecond clock). line holds count bytes (1 to 99) in a buffer of at
// least count + 1 bytes; line[count] is set to NUL. The line is cleaned
// (cut at a NUL, every byte from 0x01 to 0x20 removed); flag i is 1 when
// character i+1 is '1'. A reply is readable when it cleans to 6 bytes or
// more whose first eight (or all, when fewer) are each '0' or '1'; any other
// reply (a word, line noise) changes nothing, renews nothing and takes no
// lock. Takes m_stateLock itself (callers hold the port lock, never the
// state lock). Returns whether the panel must be repainted: a flag changed,
// or the flags became current, or the panel showed them expired.
bool ParseSwitchStatus(SwitchState state, char* line, int count, unsigned long long nowMs);
