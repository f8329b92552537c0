#include "tests/host/reply_properties.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>

#include "device/switch_state.h"

namespace {

constexpr size_t kBufferBytes = 100;
constexpr size_t kMaxLine = 99;
constexpr unsigned long long kNow = 50000;

std::string Describe(const ReplyCase& c) {
    return "reply " + Hex(c.line) + " (" + std::to_string(c.line.size()) + " bytes" +
           (c.terminated ? "" : ", not terminated") + ", over " + Hex(std::string(1, static_cast<char>(c.fill))) +
           "), flags before " + c.before + (c.current ? " (current)" : "");
}

std::string Text(const ReplyOutcome& o) {
    return o.flags + (o.repaint ? " repaint" : " no repaint") + (o.renewed ? " renewed" : " not renewed");
}

// The characters that count: the line up to a NUL, without bytes 0x01-0x20.
std::string Kept(const std::string& line) {
    std::string kept;
    for (char ch : line) {
        if (ch == '\0')
            break;
        if (static_cast<unsigned char>(ch) > 0x20)
            kept.push_back(ch);
    }
    return kept;
}

}  // namespace

ReplyOutcome Parse(const ReplyCase& c, std::string* failure) {
    const std::unique_ptr<char[]> buffer(new char[kBufferBytes]);
    std::memset(buffer.get(), c.fill, kBufferBytes);
    std::memcpy(buffer.get(), c.line.data(), c.line.size());
    if (c.terminated)
        buffer[c.line.size()] = '\0';
    std::string laid(buffer.get(), kBufferBytes);
    laid[c.line.size()] = '\0';

    const std::unique_ptr<int[][kSwitchCount]> flags(new int[1][kSwitchCount]());
    for (int i = 0; i < kSwitchCount; ++i)
        flags[0][i] = c.before[static_cast<size_t>(i)] == '1';
    CCriticalSection lock;
    // Read 1 s ago (current) or long ago (stale).
    SwitchReading reading = {true, c.current ? kNow - 1000 : kNow - 10 * kStatusStaleMs};
    const SwitchReading was = reading;
    ReplyOutcome out;
    out.repaint = ParseSwitchStatus(SwitchState{flags[0], reading, lock}, buffer.get(),
                                    static_cast<int>(c.line.size()), kNow);
    out.renewed = reading.atMs != was.atMs;
    for (int i = 0; i < kSwitchCount; ++i)
        out.flags.push_back(flags[0][i] ? '1' : (flags[0][i] == 0 ? '0' : '?'));
    if (failure && std::string(buffer.get(), kBufferBytes) != laid)
        *failure = "bytes other than the line's end written in the buffer; ";
    return out;
}

std::string CheckReplyProperties(const ReplyCase& c, std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    const auto below = [&rng](size_t n) { return static_cast<size_t>(rng() % n); };
    std::string failed;
    const ReplyOutcome base = Parse(c, &failed);
    const auto same = [&](const char* property, ReplyCase variant) {
        const ReplyOutcome o = Parse(variant, &failed);
        if (!(o == base))
            failed += std::string(property) + ": " + Text(o) + " for " + Hex(variant.line) + " against " + Text(base) +
                      "; ";
    };

    // Spaces and control bytes inserted anywhere, up to the 99 bytes a line holds.
    if (c.line.size() < kMaxLine) {
        ReplyCase v = c;
        for (size_t n = 1 + below(kMaxLine - c.line.size()); n > 0; --n)
            v.line.insert(below(v.line.size() + 1), 1, static_cast<char>(1 + below(0x20)));
        same("bytes 0x01-0x20 inserted", v);
    }
    // A NUL, and anything after it, in place of the line's end.
    {
        const size_t cut = below(std::min(c.line.size(), kMaxLine - 1) + 1);
        if (c.line.find('\0') == std::string::npos || c.line.find('\0') >= cut) {
            ReplyCase head = c, v = c;
            head.line.resize(cut);
            v.line = head.line + '\0';
            while (v.line.size() < kMaxLine && below(4) != 0)
                v.line.push_back(static_cast<char>(rng()));
            const ReplyOutcome cutOutcome = Parse(head, &failed);
            const ReplyOutcome o = Parse(v, &failed);
            if (!(o == cutOutcome))
                failed += "a NUL and what follows it changed the outcome: " + Hex(v.line) + "; ";
        }
    }
    // The buffer beneath the line, whatever it holds.
    {
        ReplyCase v = c;
        v.terminated = !c.terminated;
        v.fill = static_cast<unsigned char>(rng());
        same("the bytes past the count", v);
    }
    // Only the first eight characters that count: the rest replaced.
    const std::string kept = Kept(c.line);
    if (kept.size() > 8) {
        ReplyCase v = c;
        v.line = kept.substr(0, 8);
        for (size_t n = below(kMaxLine - 8); n > 0; --n)
            v.line.push_back(static_cast<char>(0x21 + below(0xdf)));
        same("the characters after the eighth", v);
    }
    // A repaint exactly when the flags changed or became current; the flags
    // renewed or left as they were.
    if (base.repaint != (base.flags != c.before || (base.renewed && !c.current)))
        failed += "repaint " + std::string(base.repaint ? "asked for" : "not asked for") + " with " + Text(base) +
                  "; ";
    if (!base.renewed && base.flags != c.before)
        failed += "flags changed by a reply that was not read: " + base.flags + "; ";
    if (base.renewed && kept.size() < kMinStatusLength)
        failed += "a reply of fewer than six characters was read; ";
    return failed.empty() ? failed : failed + "on " + Describe(c);
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (char ch : bytes) {
        hex.push_back(digits[static_cast<unsigned char>(ch) >> 4]);
        hex.push_back(digits[static_cast<unsigned char>(ch) & 15]);
    }
    return hex;
}
