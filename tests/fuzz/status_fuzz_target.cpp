#include "tests/fuzz/status_fuzz_target.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "device/switch_state.h"
#include "sim/hex.h"

namespace {

constexpr unsigned long long kNow = 50000;

std::string Text(const ReplyOutcome& o) {
    return o.flags + (o.repaint ? " repaint" : "") + (o.renewed ? " renewed" : "");
}

// What the rule gives for c.
ReplyOutcome RuleOutcome(const ReplyCase& c) {
    std::string kept;
    for (size_t i = 0; i < c.line.size() && c.line[i] != '\0'; ++i)
        if (static_cast<unsigned char>(c.line[i]) > 0x20)
            kept.push_back(c.line[i]);
    const std::string first = kept.substr(0, 8);
    if (kept.size() < 6 || first.find_first_not_of("01") != std::string::npos)
        return {c.before, false, false};
    const std::string flags = first + std::string(8 - first.size(), '0');
    return {flags, flags != c.before || !c.current, true};
}

}  // namespace

void PrintTo(const ReplyOutcome& outcome, std::ostream* os) { *os << Text(outcome); }

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

unsigned long g_readableReplies = 0;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    ReplyCase c;
    for (size_t i = 0; i < c.before.size(); ++i)
        c.before[i] = (data[0] >> i) & 1 ? '1' : '0';
    c.current = data[1] & 1, c.terminated = data[1] & 2, c.fill = data[1];
    c.line.assign(reinterpret_cast<const char*>(data) + 2, size - 2 < 99 ? size - 2 : 99);
    std::string failed;
    const ReplyOutcome got = Parse(c, &failed), rule = RuleOutcome(c);
    g_readableReplies += rule.renewed;
    if (!(got == rule))
        failed += "read as " + Text(got) + " where the rule gives " + Text(rule) + "; ";
    if (!failed.empty()) {
        const std::string line = kavro_sim::ToHex(c.line) + (c.terminated ? "" : " (unterminated)");
        std::fprintf(stderr, "FAILED: %son %s over %02x, flags %s%s\n", failed.c_str(), line.c_str(), c.fill,
                     c.before.c_str(), c.current ? " current" : "");
        std::abort();
    }
    return 0;
}
