// Coverage-guided fuzz target (libFuzzer, clang) for ParseSwitchStatus. The
// input is a stream on the wire: cut into lines as the poll worker reads them
// and parsed in turn, under the same checks as the reply generator. Its first
// byte gives the flags before the first line, its second the buffer contents
// beneath each line. Built and run by scripts/fuzz.sh.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/fuzz/status_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    Flags before;
    for (int i = 0; i < kSwitchCount; ++i)
        before[i] = (data[0] >> i) & 1;
    unsigned char background[kReplyBufferBytes];
    std::memset(background, data[1], sizeof background);

    StatusParseCheck check;
    check.SetFlags(before);
    for (const std::string& line : LinesAsPolled(std::string(reinterpret_cast<const char*>(data) + 2, size - 2))) {
        const std::string failed = check.Parse(line, background, true);
        if (!failed.empty()) {
            std::fprintf(stderr, "FAILED: %s\n", failed.c_str());
            std::abort();
        }
    }
    return 0;
}
