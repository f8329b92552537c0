// Fuzz target for ParseSwitchStatus, held to the status-reply rule
// (tests/host/reply_properties.h). The input's first byte gives
// the flags before; its second the byte beneath the line, and in its low
// bits whether the flags were current and the line is NUL-terminated; the
// rest is the line (up to 99 bytes). The host test runs it over generated
// inputs; tests/long/fuzz.sh runs it under libFuzzer.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/host/reply_properties.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    ReplyCase c;
    for (size_t i = 0; i < c.before.size(); ++i)
        c.before[i] = (data[0] >> i) & 1 ? '1' : '0';
    c.current = data[1] & 1;
    c.terminated = data[1] & 2;
    c.fill = data[1];
    c.line.assign(reinterpret_cast<const char*>(data) + 2, size - 2 < 99 ? size - 2 : 99);
    const std::string failed = CheckReply(c);
    if (!failed.empty()) {
        std::fprintf(stderr, "FAILED: %s\n", failed.c_str());
        std::abort();
    }
    return 0;
}
