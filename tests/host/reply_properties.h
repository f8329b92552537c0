// The status-reply rule written out on its own, apart from the parser, and
// ParseSwitchStatus held to it: the line is cut at a NUL and every byte from
// 0x01 to 0x20 dropped; it is read only when six or more bytes remain and
// the first eight of them (or all, when fewer) are each '0' or '1'; switch i
// is set by a '1' in place i and cleared otherwise; a reply not read changes
// nothing. Shared by the host test and the fuzz target.
#pragma once

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
// What the rule gives for c: a repaint when a flag changes or the flags
// become current.
ReplyOutcome RuleOutcome(const ReplyCase& c);
// The parse of c against the rule: "" when they agree.
std::string CheckReply(const ReplyCase& c);
// Replies CheckReply met that the rule reads, for the share a run reports.
extern unsigned long g_readableReplies;
std::string Hex(const std::string& bytes);
