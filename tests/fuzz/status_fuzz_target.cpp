// Coverage-guided fuzz target (libFuzzer, clang) for ParseSwitchStatus: the
// input's first byte gives the flags, its second the buffer beneath each
// line and (its low bit) whether the flags are current; the rest is the
// wire, cut into lines as the poll worker reads them and held to the reply
// model. Built and run by scripts/fuzz.sh.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/reply_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    Flags flags;
    for (size_t i = 0; i < flags.size(); ++i)
        flags[i] = (data[0] >> i) & 1;
    bool current = data[1] & 1;
    for (const std::string& line : LinesAsPolled(std::string(reinterpret_cast<const char*>(data) + 2, size - 2))) {
        const std::string failed = CheckParse(line, data[1], true, flags, current);
        if (!failed.empty()) {
            std::fprintf(stderr, "FAILED: %s\n", failed.c_str());
            std::abort();
        }
    }
    return 0;
}
