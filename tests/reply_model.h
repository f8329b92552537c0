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
// Whether the line can be read at all: six bytes or more after cleaning.
bool Readable(const std::string& line);

// Runs ParseSwitchStatus on `line` as the poll worker does, in a heap buffer
// of exactly 100 bytes holding `fill` beneath the line, NUL-terminated or
// not, with the flags on the heap too, so that AddressSanitizer sees any
// access outside them; `current` says whether the flags were read lately.
// Holds the result to the model: the flags, current after a readable line,
// a repaint asked for exactly when a flag changed or the flags became
// current, the line terminated at its count and no other byte written.
// Returns "" when all holds, else what failed.
std::string CheckParse(const std::string& line, unsigned char fill, bool terminated, Flags& flags, bool& current);

std::string Hex(const std::string& bytes);
