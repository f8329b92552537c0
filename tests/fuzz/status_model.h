// A status reply's way from the wire to the switch flags, modelled from the
// protocol's rules without the parser's own code, and the check that holds
// ParseSwitchStatus to it. Shared by the reply generator and the
// coverage-guided fuzz target; host only.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "device/switch_state.h"

using Flags = std::array<int, kSwitchCount>;

// Size of the poll worker's reply buffer: at most 99 bytes of a line and a NUL.
constexpr int kReplyBufferBytes = 100;
constexpr int kMaxLineBytes = kReplyBufferBytes - 1;

// The lines the poll worker parses from a stream of bytes on the wire, in
// order. ReadLine ends a line at a CR (consumed, not stored) or after 99
// bytes (the next byte starts the next line); a line of 0 bytes is not parsed.
std::vector<std::string> LinesAsPolled(const std::string& wire);

// The flags after the status line `line` (its count bytes) meets `before`.
Flags ExpectedFlags(const std::string& line, const Flags& before);

std::string Hex(const std::string& bytes);
std::string FlagText(const Flags& flags);

// Runs ParseSwitchStatus on flags and a reply buffer of its own, each on the
// heap at its exact size, so that AddressSanitizer reports any access outside
// them. Not for concurrent use.
class StatusParseCheck {
public:
    StatusParseCheck();

    void SetFlags(const Flags& flags);
    Flags GetFlags() const;

    // Lays `line` (1 to 99 bytes) over `background` (100 bytes: what the
    // buffer held before ReadLine filled it), puts the NUL after it when
    // `terminated` as ReadLine does, and parses it with its count. Returns ""
    // when every property holds, else what failed and on which input.
    std::string Parse(const std::string& line, const unsigned char* background, bool terminated);

    // The parser's guard for counts its caller never passes (0, negative,
    // above 99): parses the buffer filled with `background` with `count`.
    // Holds it only to what needs no model: no access outside the buffer, at
    // most one byte of it written and that to NUL, flags 0 or 1, a change
    // reported exactly when a flag changed.
    std::string ParseWithCountOutsideLine(int count, const unsigned char* background);

private:
    // Flags 0 or 1 and a change reported exactly when one changed.
    static std::string FlagProperties(const Flags& before, const Flags& after, bool reported);

    std::unique_ptr<int[][kSwitchCount]> m_flags;
    std::unique_ptr<char[]> m_buffer;
    CCriticalSection m_lock;
};
