// Status replies through ParseSwitchStatus, held to the reply model: the
// rules' own examples; every length 0-120 of every byte value; random
// replies (KAVRO_REPLY_COUNT of them, 20,000 by default, from
// KAVRO_REPLY_SEED; scripts/fuzz.sh runs a million); and the lock.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>

#include "device/switch_state.h"
#include "tests/reply_model.h"

namespace {

struct Example {
    std::string line;
    const char* before;
    const char* after;
};

TEST(ReplyRules, TheirOwnExamples) {
    const Example examples[] = {
        {"11111111", "00000000", "11111111"},
        {"11111111", "11111111", "11111111"},        // the same again: no change
        {"1 0 1 0 1 0 1 0", "00000000", "10101010"},
        {"10101", "11111111", "11111111"},           // five bytes: dropped
        {"  1111  ", "00000000", "00000000"},        // four after cleaning
        {"101010", "11111111", "10101000"},          // six: flags 7 and 8 cleared
        {"1010101", "00000001", "10101010"},
        {"0000000011", "11111111", "00000000"},      // bytes after the eighth ignored
        {"x1y1z1", "10101011", "01010100"},          // letters count and read clear
        {"\n111111", "00000000", "11111100"},        // the LF of a CR LF ending
        {std::string("1\t1\x01" "1\x1f" "11\x7f", 9), "00000000", "11111000"},
        {std::string("111\0" "11111", 9), "00000000", "00000000"},  // cut at the NUL
        {"\x80\xff" "1111", "11000000", "00111100"}, // high bytes count and read clear
        {"00000011", "00000000", "00000011"},        // a change not seen on the panel
        {std::string(99, '1'), "00000000", "11111111"},
    };
    for (const Example& e : examples) {
        Flags flags{};
        for (size_t i = 0; i < flags.size(); ++i)
            flags[i] = e.before[i] == '1';
        bool current = true;
        EXPECT_EQ("", CheckParse(e.line, '1', true, flags, current));
        EXPECT_EQ(e.after, ExpectedFlags(e.line, std::string(e.before))) << Hex(e.line);
    }
}

unsigned long Setting(const char* name, unsigned long fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtoul(text, nullptr, 0) : fallback;
}

// A random reply: uniform bytes; bytes of the kinds the cleaning tells
// apart; or valid digits among removable bytes, around the 6-byte minimum
// and the 99-byte cut, now and then followed by a second answer.
std::string RandomReply(std::mt19937_64& rng) {
    static const char kinds[] = {'0', '1', '0', '1', ' ', '\t', '\n', '\v', '\f', '\r', '\0', '\x01', '\x1f',
                                 '!', '2', 'x', '\x7f', '\x80', '\xb1', '\xff'};
    const auto below = [&rng](size_t n) { return static_cast<size_t>(rng() % n); };
    const size_t kind = below(3);
    std::string reply(below(121), ' ');
    for (char& c : reply)
        c = kind == 0 ? static_cast<char>(rng()) : kind == 1 ? kinds[below(sizeof kinds)] : "\t \x01"[below(3)];
    if (kind == 2) {
        for (size_t digits = 4 + below(7); digits > 0 && !reply.empty(); --digits)
            reply[below(reply.size())] = below(2) ? '1' : '0';
        if (below(4) == 0)
            reply += "\r10100101";
    }
    return reply;
}

TEST(ReplyRules, EveryLengthAndByteThenRandomReplies) {
    const unsigned long count = Setting("KAVRO_REPLY_COUNT", 20000);
    const unsigned long seed = Setting("KAVRO_REPLY_SEED", 20261207);
    std::mt19937_64 rng(seed);
    const auto start = std::chrono::steady_clock::now();
    unsigned long parses = 0;
    const auto check = [&](const std::string& wire) {
        Flags flags{};
        for (int& f : flags)
            f = static_cast<int>(rng() % 2);
        bool current = rng() % 2;
        const unsigned char fill = rng() % 2 ? '1' : static_cast<unsigned char>(rng());
        const bool terminated = rng() % 8 != 0;
        for (const std::string& line : LinesAsPolled(wire)) {
            ++parses;
            const std::string failed = CheckParse(line, fill, terminated, flags, current);
            if (!failed.empty()) {
                ADD_FAILURE() << failed << "; on the wire " << Hex(wire) << " (seed " << seed << ")";
                return false;
            }
        }
        return true;
    };
    for (int length = 0; length <= 120; ++length) {
        for (int byte = 0; byte < 256; ++byte) {
            if (!check(std::string(static_cast<size_t>(length), static_cast<char>(byte))))
                return;
        }
    }
    for (unsigned long n = 0; n < count; ++n) {
        if (!check(RandomReply(rng)))
            return;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%d filled replies and %lu random ones (seed %lu): %lu lines parsed in %.2f s\n", 121 * 256, count,
                seed, parses, seconds);
}

// The flags are current from a readable reply for the reply wait, renewed
// only by another readable one.
TEST(ReplyRules, FlagsStayCurrentForTheReplyWait) {
    int flags[kSwitchCount] = {};
    SwitchReading reading;
    CCriticalSection lock;
    const SwitchState state{flags, reading, lock};
    char all[100] = "00000000";
    EXPECT_TRUE(ParseSwitchStatus(state, all, 8, 1000)) << "all clear, first read: the panel turns red";
    char noise[100] = "\x13\x11";
    EXPECT_FALSE(ParseSwitchStatus(state, noise, 2, 2000));
    EXPECT_FALSE(ExpireSwitchStatus(state, 1000 + kStatusStaleMs - 1));
    EXPECT_TRUE(reading.current);
    EXPECT_TRUE(ExpireSwitchStatus(state, 1000 + kStatusStaleMs));
    EXPECT_FALSE(reading.current);
    EXPECT_FALSE(ExpireSwitchStatus(state, 9000)) << "once";
    EXPECT_TRUE(ParseSwitchStatus(state, all, 8, 9000)) << "read again: the panel shows the flags again";
}

TEST(ReplyRules, AReaderHoldingTheLockSeesNoneOrAllOfAReply) {
    int flags[kSwitchCount] = {};
    SwitchReading reading;
    CCriticalSection lock;
    lock.Lock();
    std::thread writer([&] {
        char line[100] = "11111111";
        ParseSwitchStatus(SwitchState{flags, reading, lock}, line, 8, 1);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    for (int f : flags)
        EXPECT_EQ(0, f);
    lock.Unlock();
    writer.join();
    for (int f : flags)
        EXPECT_EQ(1, f);
}

}  // namespace
