// The reply rules written from their statement, without the parser's code:
// which lines the poll worker reads from the bytes on the wire, and the
// flags each line leaves. One model for the host test, the fuzz target and
// the Windows fault rows. Portable.
#pragma once

#include <array>
#include <string>
#include <vector>

using Flags = std::array<int, 8>;

// The lines the poll worker parses from a stream of bytes, in order. A line
// ends at a CR (consumed, not stored) or after 99 bytes (the next byte
// starts the next line); an empty line is not parsed.
std::vector<std::string> LinesAsPolled(const std::string& wire);

// The flags after status line `line` meets `before`: the line cut at its
// first NUL, white space and every other byte below 32 removed; fewer than
// six bytes left change nothing; else flag i is 1 when byte i is '1'.
Flags ExpectedFlags(const std::string& line, const Flags& before);
// The same on flags written as text, '0'/'1' each.
std::string ExpectedFlags(const std::string& line, const std::string& before);

// Runs ParseSwitchStatus on `line` as the poll worker does, in a heap buffer
// of exactly 100 bytes holding `fill` beneath the line, NUL-terminated or
// not, with the flags on the heap too, so that AddressSanitizer sees any
// access outside them. Holds the result to the model: the flags, a change
// reported exactly when one happened, the line terminated at its count and
// no other byte written. Returns "" when all holds, else what failed.
std::string CheckParse(const std::string& line, unsigned char fill, bool terminated, Flags& flags);

std::string Hex(const std::string& bytes);
