// Properties every correct reading of a status reply has, checked on
// ParseSwitchStatus with the parser itself, on variants of the same reply,
// as the oracle: bytes 0x01-0x20 inserted anywhere change nothing; a NUL
// and what follows it, or what lies past the count, change nothing; only
// the first eight characters that remain count; a repaint is asked for
// exactly when the flags changed or became current. Shared by the host test
// and the fuzz target.
#pragma once

#include <cstdint>
#include <string>

// One reply as the worker meets it: at most 99 bytes, the flags before
// ('0'/'1' each) and whether they were current, and the 100-byte buffer
// around the line (NUL-terminated or not, and the byte beneath).
struct ReplyCase {
    std::string line;
    std::string before = "00000000";
    bool current = false;
    bool terminated = true;
    unsigned char fill = '1';
};

// The flags a parse left, whether it asked for a repaint and renewed the
// reading.
struct ReplyOutcome {
    std::string flags;
    bool repaint = false, renewed = false;
    bool operator==(const ReplyOutcome& o) const {
        return flags == o.flags && repaint == o.repaint && renewed == o.renewed;
    }
};

// Parses c in a heap buffer of exactly 100 bytes, so that the sanitizers see
// any access outside it; failure gets a word when a byte other than the
// line's end was written.
ReplyOutcome Parse(const ReplyCase& c, std::string* failure);
// Every property on c, with variants drawn from seed: "" when all hold.
std::string CheckReplyProperties(const ReplyCase& c, std::uint64_t seed);
std::string Hex(const std::string& bytes);
