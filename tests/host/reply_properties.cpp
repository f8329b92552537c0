#include "tests/host/reply_properties.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>

#include "device/switch_state.h"

namespace {

constexpr size_t kMaxLine = 99;
constexpr unsigned long long kNow = 50000;

std::string Text(const ReplyOutcome& o) {
    return o.flags + (o.repaint ? " repaint" : "") + (o.renewed ? " renewed" : "");
}

}  // namespace

ReplyOutcome Parse(const ReplyCase& c, std::string* failure) {
    const std::unique_ptr<char[]> buffer(new char[100]);
    std::memset(buffer.get(), c.fill, 100);
    std::memcpy(buffer.get(), c.line.data(), c.line.size());
    if (c.terminated)
        buffer[c.line.size()] = '\0';
    std::string laid(buffer.get(), 100);
    laid[c.line.size()] = '\0';
    const std::unique_ptr<int[][kSwitchCount]> flags(new int[1][kSwitchCount]());
    for (int i = 0; i < kSwitchCount; ++i)
        flags[0][i] = c.before[static_cast<size_t>(i)] == '1';
    CCriticalSection lock;
    SwitchReading reading = {true, c.current ? kNow - 1000 : kNow - 10 * kStatusStaleMs};  // current, or long stale
    const unsigned long long was = reading.atMs;
    ReplyOutcome out;
    out.repaint = ParseSwitchStatus(SwitchState{flags[0], reading, lock}, buffer.get(), static_cast<int>(c.line.size()), kNow);
    out.renewed = reading.atMs != was;
    for (int f : flags[0])
        out.flags.push_back(f == 1 ? '1' : f == 0 ? '0' : '?');
    if (failure && std::string(buffer.get(), 100) != laid)
        *failure += "bytes other than the line's end written; ";
    return out;
}

std::string CheckReplyProperties(const ReplyCase& c, std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    const auto below = [&rng](size_t n) { return static_cast<size_t>(rng() % n); };
    std::string failed;
    const ReplyOutcome base = Parse(c, &failed);
    const auto same = [&](const char* property, const ReplyOutcome& expected, const ReplyCase& variant) {
        const ReplyOutcome o = Parse(variant, &failed);
        if (!(o == expected))
            failed += std::string(property) + ": " + Text(o) + " for " + Hex(variant.line) + ", " + Text(expected) + "; ";
    };
    ReplyCase v = c;  // bytes 0x01-0x20 inserted anywhere, within the 99 a line holds
    for (size_t n = below(kMaxLine - std::min(c.line.size(), kMaxLine) + 1); n > 0; --n)
        v.line.insert(below(v.line.size() + 1), 1, static_cast<char>(1 + below(0x20)));
    same("bytes 0x01-0x20 inserted", base, v);

    ReplyCase head = c;  // a NUL, and anything after it, where the line ends
    head.line.resize(std::min(below(c.line.size() + 1), head.line.find('\0')));
    head.line.resize(std::min(head.line.size(), kMaxLine - 1));
    v = head;
    v.line += '\0';
    while (v.line.size() < kMaxLine && below(4) != 0)
        v.line.push_back(static_cast<char>(rng()));
    same("a NUL and what follows it", Parse(head, &failed), v);

    v = c;  // whatever the buffer holds past the count
    v.terminated = !c.terminated;
    v.fill = static_cast<unsigned char>(rng());
    same("the bytes past the count", base, v);

    std::string kept;  // only the first eight characters that remain
    for (const char ch : c.line.substr(0, c.line.find('\0')))
        if (static_cast<unsigned char>(ch) > 0x20)
            kept.push_back(ch);
    if (kept.size() > 8) {
        v = c;
        v.line = kept.substr(0, 8);
        for (size_t n = below(kMaxLine - 8); n > 0; --n)
            v.line.push_back(static_cast<char>(0x21 + below(0xdf)));
        same("the characters after the eighth", base, v);
    }
    if (base.repaint != (base.flags != c.before || (base.renewed && !c.current)))
        failed += "a repaint " + std::string(base.repaint ? "" : "not ") + "asked for with " + Text(base) + "; ";
    if (!base.renewed && base.flags != c.before)
        failed += "flags changed by a reply not read: " + base.flags + "; ";
    if (base.renewed && kept.size() < kMinStatusLength)
        failed += "a reply of fewer than six characters read; ";
    if (failed.empty())
        return failed;
    return failed + "on " + Hex(c.line) + (c.terminated ? "" : " (unterminated)") + " over " +
           Hex(std::string(1, static_cast<char>(c.fill))) + ", flags " + c.before + (c.current ? " current" : "");
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (const char ch : bytes) {
        hex.push_back(digits[static_cast<unsigned char>(ch) >> 4]);
        hex.push_back(digits[static_cast<unsigned char>(ch) & 15]);
    }
    return hex;
}
