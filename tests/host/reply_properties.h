// Properties every correct reading of a status reply has, checked on
// ParseSwitchStatus without restating it: control bytes and spaces inserted
// anywhere change nothing; what follows a NUL, or lies past the count,
// changes nothing; only the first eight characters that remain count; a
// repaint is asked for exactly when the flags changed or became current. The
// oracle is the parser itself on a variant of the same reply. Shared by the
// host test and the fuzz target.
#pragma once

#include <cstdint>
#include <string>

// One reply as the worker meets it: the line, the flags before ('0'/'1'
// each), whether they were current, and how the 100-byte buffer lies
// around the line (terminated or not, and the byte beneath).
struct ReplyCase {
    std::string line;  // at most 99 bytes
    std::string before = "00000000";
    bool current = false;
    bool terminated = true;
    unsigned char fill = '1';
};

// What a parse left: the flags, whether a repaint was asked for, and
// whether the reading was renewed.
struct ReplyOutcome {
    std::string flags;
    bool repaint = false;
    bool renewed = false;
    bool operator==(const ReplyOutcome& o) const {
        return flags == o.flags && repaint == o.repaint && renewed == o.renewed;
    }
};

// Parses c.line in a heap buffer of exactly 100 bytes (so that the
// sanitizers see any access outside it) and reports the outcome; failure
// (non-empty) when a byte other than line[count] was written.
ReplyOutcome Parse(const ReplyCase& c, std::string* failure);

// Checks every property on c, with variants drawn from seed. Returns ""
// when all hold, else what failed and on which reply.
std::string CheckReplyProperties(const ReplyCase& c, std::uint64_t seed);

std::string Hex(const std::string& bytes);
