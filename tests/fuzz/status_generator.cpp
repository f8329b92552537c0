// Generated status replies through ParseSwitchStatus, every result held to
// status_model.h. The replies, by number:
//   1. every length 0..120 filled with every byte value;
//   2. every byte value in place of, and put before, each byte of a few
//      valid replies, and after them;
//   3. random from then on: uniform bytes, bytes of the kinds the cleaning
//      tells apart, mutated valid replies, and digits among removable bytes
//      around the 6-byte and 99-byte bounds; lengths 0..120.
// Each reply meets random flags and lies over random buffer contents. Its
// inputs follow from the seed and its number alone, so a failure reruns with
// --seed S --from N --count 1. Before the replies come the counts the caller
// never passes, to the parser's guard.
//
// usage: status_generator [--count N] [--seed S] [--from N]
#include <sanitizer/common_interface_defs.h>

#include <chrono>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/fuzz/status_model.h"

namespace {

constexpr int kMaxReplyBytes = 120;
constexpr uint64_t kFillReplies = (kMaxReplyBytes + 1) * 256;
const char* const kValidReplies[] = {"11111111", "00000000", "10100101"};
constexpr uint64_t kPlaceReplies = 3 * (kSwitchCount + 1) * 256 * 2;

// splitmix64: small, and the same numbers on every platform.
class Rng {
public:
    explicit Rng(uint64_t state) : m_state(state) {}
    uint64_t Next() {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 to n-1.
    size_t Below(size_t n) { return static_cast<size_t>(Next() % n); }
    char Byte() { return static_cast<char>(Next() & 0xFF); }

private:
    uint64_t m_state;
};

struct Reply {
    std::string wire;  // the bytes the controller sent
    Flags before{};
    unsigned char background[kReplyBufferBytes];
    bool terminated = true;  // ReadLine's NUL after the line
    bool twice = false;      // the last line parsed again, as a steady controller repeats itself
};

// A byte the cleaning removes: 0x01-0x20 but CR, which ends the line first.
char RemovableByte(Rng& rng) {
    const char b = static_cast<char>(1 + rng.Below(0x20));
    return b == '\r' ? ' ' : b;
}

char DigitByte(Rng& rng) {
    return rng.Below(2) ? '1' : '0';
}

// The kinds of byte the cleaning tells apart, and the neighbours of '1'.
char TellingByte(Rng& rng) {
    static const char kinds[] = {'0', '1', '0', '1', '0', '1', ' ', '\t', '\n', '\v', '\f', '\r', '\0',
                                 '\x01', '\x1f', '\x20', '!', '/', '2', 'x', '\x7f', '\x80', '\xb1', '\xff'};
    return kinds[rng.Below(sizeof kinds)];
}

std::string ValidReply(Rng& rng) {
    std::string reply(6 + rng.Below(5), '0');
    for (char& c : reply)
        c = DigitByte(rng);
    return reply;
}

std::string MutatedReply(Rng& rng) {
    std::string reply = ValidReply(rng);
    const size_t mutations = 1 + rng.Below(6);
    for (size_t m = 0; m < mutations; ++m) {
        const size_t at = rng.Below(reply.size() + 1);
        switch (rng.Below(8)) {
        case 0:
            if (at < reply.size())
                reply[at] = rng.Byte();
            break;
        case 1:
            reply.insert(at, 1, rng.Byte());
            break;
        case 2:
            if (at < reply.size())
                reply.erase(at, 1);
            break;
        case 3:
            for (size_t n = 1 + rng.Below(5); n > 0; --n)
                reply.insert(at, 1, RemovableByte(rng));
            break;
        case 4:
            reply.insert(at, 1, rng.Below(2) ? '\0' : '\r');
            break;
        case 5:  // the LF of a CR LF ending before it
            reply.insert(0, 1, '\n');
            break;
        case 6:  // a second answer on the same stream
            reply += '\r' + ValidReply(rng);
            break;
        case 7: {  // padded to a length around the 99-byte cut, or any
            static const size_t lengths[] = {97, 98, 99, 100, 101, 105, 119, 120};
            const size_t length = rng.Below(2) ? lengths[rng.Below(8)] : rng.Below(kMaxReplyBytes + 1);
            if (reply.size() < length) {
                std::string pad(length - reply.size(), ' ');
                for (char& c : pad)
                    c = rng.Below(4) ? RemovableByte(rng) : DigitByte(rng);
                reply.insert(rng.Below(2) ? 0 : reply.size(), pad);
            }
            break;
        }
        }
    }
    return reply;
}

// 4 to 10 digits at random places among removable bytes.
std::string DigitsAmongRemovable(Rng& rng) {
    const size_t digits = 4 + rng.Below(7);
    std::string reply(digits + rng.Below(kMaxReplyBytes + 1 - digits), ' ');
    for (char& c : reply)
        c = RemovableByte(rng);
    for (size_t d = 0; d < digits; ++d)
        reply[rng.Below(reply.size())] = DigitByte(rng);
    return reply;
}

std::string RandomReply(Rng& rng) {
    std::string reply;
    switch (rng.Below(4)) {
    case 0:
        reply.resize(rng.Below(kMaxReplyBytes + 1));
        for (char& c : reply)
            c = rng.Byte();
        break;
    case 1:
        reply.resize(rng.Below(kMaxReplyBytes + 1));
        for (char& c : reply)
            c = TellingByte(rng);
        break;
    case 2:
        reply = MutatedReply(rng);
        break;
    default:
        reply = DigitsAmongRemovable(rng);
        break;
    }
    if (reply.size() > kMaxReplyBytes)
        reply.resize(kMaxReplyBytes);
    return reply;
}

Reply MakeReply(uint64_t seed, uint64_t number) {
    Rng rng(seed ^ (number * 0xD1B54A32D192ED03ull));
    Reply reply;
    for (int& f : reply.before)
        f = static_cast<int>(rng.Below(2));
    switch (rng.Below(4)) {
    case 0:
        std::memset(reply.background, '1', sizeof reply.background);
        break;
    case 1:
        std::memset(reply.background, 0, sizeof reply.background);
        break;
    default:
        for (unsigned char& b : reply.background)
            b = static_cast<unsigned char>(rng.Byte());
        break;
    }
    reply.terminated = rng.Below(8) != 0;
    reply.twice = rng.Below(8) == 0;

    if (number < kFillReplies) {
        reply.wire.assign(number / 256, static_cast<char>(number % 256));
    } else if (number < kFillReplies + kPlaceReplies) {
        uint64_t k = number - kFillReplies;
        const char byte = static_cast<char>(k % 256);
        k /= 256;
        const bool insert = k % 2;
        k /= 2;
        const size_t at = k % (kSwitchCount + 1);
        reply.wire = kValidReplies[k / (kSwitchCount + 1)];
        if (insert || at == reply.wire.size())
            reply.wire.insert(at, 1, byte);
        else
            reply.wire[at] = byte;
    } else {
        reply.wire = RandomReply(rng);
    }
    return reply;
}

// What a sanitizer's report cannot know: which input it was.
uint64_t g_seed = 0;
const uint64_t* g_number = nullptr;
const int* g_guardCount = nullptr;

void NameTheInput() {
    if (g_number)
        std::fprintf(stderr, "during reply %llu of seed 0x%llx: rerun with --seed 0x%llx --from %llu --count 1\n",
                     static_cast<unsigned long long>(*g_number), static_cast<unsigned long long>(g_seed),
                     static_cast<unsigned long long>(g_seed), static_cast<unsigned long long>(*g_number));
    if (g_guardCount)
        std::fprintf(stderr, "during the parse with count %d, which the caller never passes\n", *g_guardCount);
}

// A failed library assertion aborts without the sanitizers' callback.
void NameTheInputOnAbort(int signal) {
    NameTheInput();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

bool CountsOutsideLine(StatusParseCheck& check, Rng& rng) {
    const int counts[] = {INT_MIN, -100, -1, 0, 100, 101, 110, 120, 1000, INT_MAX};
    for (const int& count : counts) {
        g_guardCount = &count;
        for (int fill = 0; fill < 3; ++fill) {
            unsigned char background[kReplyBufferBytes];
            for (unsigned char& b : background)
                b = fill == 0 ? '1' : fill == 1 ? ' ' : static_cast<unsigned char>(rng.Byte());
            check.SetFlags(Flags{1, 0, 1, 0, 1, 0, 1, 0});
            const std::string failed = check.ParseWithCountOutsideLine(count, background);
            if (!failed.empty()) {
                std::fprintf(stderr, "FAILED: %s\n", failed.c_str());
                NameTheInput();
                return false;
            }
        }
    }
    g_guardCount = nullptr;
    return true;
}

uint64_t Argument(int argc, char** argv, const char* name, uint64_t otherwise) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0)
            return std::strtoull(argv[i + 1], nullptr, 0);
    }
    return otherwise;
}

}  // namespace

int main(int argc, char** argv) {
    const uint64_t count = Argument(argc, argv, "--count", 1000000);
    const uint64_t seed = Argument(argc, argv, "--seed", 0x4B4156524F);
    const uint64_t from = Argument(argc, argv, "--from", 0);
    g_seed = seed;
    __sanitizer_set_death_callback(NameTheInput);
    std::signal(SIGABRT, NameTheInputOnAbort);
    const auto start = std::chrono::steady_clock::now();

    StatusParseCheck check;
    Rng guardRng(seed);
    if (!CountsOutsideLine(check, guardRng))
        return 1;

    uint64_t calls = 0, changes = 0;
    bool lengthMet[kMaxReplyBytes + 1] = {};
    bool lineCountMet[kMaxLineBytes + 1] = {};
    bool byteMet[256] = {};
    for (uint64_t number = from; number < from + count; ++number) {
        g_number = &number;
        const Reply reply = MakeReply(seed, number);
        lengthMet[reply.wire.size()] = true;
        for (char c : reply.wire)
            byteMet[static_cast<unsigned char>(c)] = true;

        check.SetFlags(reply.before);
        std::vector<std::string> lines = LinesAsPolled(reply.wire);
        if (reply.twice && !lines.empty())
            lines.push_back(lines.back());
        for (const std::string& line : lines) {
            const Flags before = check.GetFlags();
            const std::string failed = check.Parse(line, reply.background, reply.terminated);
            ++calls;
            lineCountMet[line.size()] = true;
            if (!failed.empty()) {
                std::fprintf(stderr, "FAILED: %s\nreply %llu of seed 0x%llx, on the wire %s\n", failed.c_str(),
                             static_cast<unsigned long long>(number), static_cast<unsigned long long>(seed),
                             Hex(reply.wire).c_str());
                NameTheInput();
                return 1;
            }
            changes += check.GetFlags() != before;
        }
    }
    g_number = nullptr;

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    int lengths = 0, bytes = 0, lineCounts = 0;
    for (bool met : lengthMet)
        lengths += met;
    for (bool met : lineCountMet)
        lineCounts += met;
    for (bool met : byteMet)
        bytes += met;
    std::printf("%llu status replies (from number %llu, seed 0x%llx): %llu ParseSwitchStatus calls, "
                "%llu changed flags; %d of %d reply lengths 0..%d, %d of 256 byte values, %d of %d line counts "
                "1..%d; %.2f s; every check held\n",
                static_cast<unsigned long long>(count), static_cast<unsigned long long>(from),
                static_cast<unsigned long long>(seed),
                static_cast<unsigned long long>(calls), static_cast<unsigned long long>(changes), lengths,
                kMaxReplyBytes + 1, kMaxReplyBytes, bytes, lineCounts, kMaxLineBytes, kMaxLineBytes, seconds);
    return 0;
}
