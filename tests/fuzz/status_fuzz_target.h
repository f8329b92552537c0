// Fuzz target for ParseSwitchStatus, holding it to the status-reply rule
// written out on its own, apart from the parser: the line is cut at a NUL
// and every byte from 0x01 to 0x20 dropped; it is read only when six or more
// bytes remain and the first eight of them (or all, when fewer) are each '0'
// or '1'; switch i is set by a '1' in place i and cleared otherwise; a reply
// not read changes nothing. The host test runs it over generated replies;
// tests/long/fuzz.sh runs it under libFuzzer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>

// One reply as the worker meets it: at most 99 bytes, the flags before
// ('0'/'1' each) and whether they were current, and the 100-byte buffer
// around the line (NUL-terminated or not, and the byte beneath).
struct ReplyCase {
    std::string line;
    std::string before = "00000000";
    bool current = false, terminated = true;
    unsigned char fill = '1';
};

// The flags a parse left, whether it asked for a repaint and renewed the reading.
struct ReplyOutcome {
    std::string flags;
    bool repaint = false, renewed = false;
    bool operator==(const ReplyOutcome& o) const {
        return flags == o.flags && repaint == o.repaint && renewed == o.renewed;
    }
};
void PrintTo(const ReplyOutcome& outcome, std::ostream* os);

// Parses c in a heap buffer of exactly 100 bytes, so that the sanitizers see
// any access outside it; failure gets a word when a byte other than the
// line's end was written.
ReplyOutcome Parse(const ReplyCase& c, std::string* failure);

// The input's first byte gives the flags before; its second the byte beneath
// the line, and in its low bits whether the flags were current and the line
// is NUL-terminated; the rest is the line (up to 99 bytes). Aborts, saying
// why, when the parse and the rule differ (a repaint is due when a flag
// changes or the flags become current).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
// Inputs the target met that the rule reads, for the share a run reports.
extern unsigned long g_readableReplies;
