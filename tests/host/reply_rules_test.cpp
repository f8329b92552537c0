// Status replies through ParseSwitchStatus: the rules' own examples, the
// fuzz target (the rule written out on its own) over generated replies, how
// long a reading stays current, and the lock.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "device/switch_state.h"
#include "sim/hex.h"
#include "tests/fuzz/status_fuzz_target.h"

namespace {

TEST(ReplyRules, TheirOwnExamples) {
    // after null: the reply is not read (flags kept, reading not renewed).
    const struct { std::string line; const char *before, *after; } examples[] = {
        {"11111111", "00000000", "11111111"},
        {"1 0 1 0 1 0 1 0", "00000000", "10101010"},
        {"10101", "11111111", nullptr},               // five characters
        {"  1111  ", "00000000", nullptr},            // four once cleaned
        {"101010", "11111111", "10101000"},           // six: flags 7 and 8 cleared
        {"1010101", "00000001", "10101010"},
        {"0000000011", "11111111", "00000000"},       // characters after the eighth ignored
        {"00110011ERR", "00000000", "00110011"},      // ... whatever they are
        {"\n111111", "00000000", "11111100"},         // the LF of a CR LF ending
        {std::string("1\t1\x01" "1\x1f" "11\x7f", 9), "00000000", nullptr},  // DEL is no digit
        {std::string("1\t1\x01" "1\x1f" "111", 9), "00000000", "11111100"},
        {std::string("111\0" "11111", 9), "00000000", nullptr},  // cut at the NUL: three
        {"00000011", "00000000", "00000011"},         // a change not seen on the panel
        {std::string(99, '1'), "00000000", "11111111"},
        // Words and noise pass the length rule but are no switches.
        {"error: unknown command", "10100000", nullptr},
        {"x1y1z1", "10101011", nullptr},
        {"\xf0\x80\xfe\x8c\xf8\x80\x80\xfe\xe0", "01000000", nullptr},
        {"1111112", "11000000", nullptr},             // any character of the eight
        {"111111\xb1", "11000000", nullptr}};        // '1' with its high bit set is no '1'
    for (const auto& e : examples) {
        for (const bool current : {false, true}) {
            // A stale reading read again repaints; a current one on a change only.
            const std::string after = e.after ? e.after : e.before;
            const ReplyOutcome expected = {after, e.after && (!current || after != e.before), e.after != nullptr};
            std::string failure;
            EXPECT_EQ(expected, Parse({e.line, e.before, current}, &failure))
                << kavro_sim::ToHex(e.line) << (current ? " current" : "") << failure;
        }
    }
}

// KAVRO_REPLY_COUNT replies (20,000 here; tests/long/fuzz.sh runs a million)
// from KAVRO_REPLY_SEED, as a controller and a bad line make them: a fifth
// random bytes, the rest switch digits with white space (the first six of
// `noise`) and, at one of four rates, noise put in. Half of them find the
// flags their digits give already set. The target aborts on a failure.
TEST(ReplyRules, FuzzTargetOverGeneratedReplies) {
    const char *count = std::getenv("KAVRO_REPLY_COUNT"), *seed = std::getenv("KAVRO_REPLY_SEED");
    std::mt19937_64 rng(seed ? std::strtoull(seed, nullptr, 0) : 20261207);
    const uint8_t noise[] = {' ', '\t', '\r', '\n', 1, 0x1f, 0, '!', '/', '2', 'O', 'l', 'x', 0x7f, 0xb0, 0xb1, 0xff};
    const unsigned long total = count ? std::strtoul(count, nullptr, 0) : 20000, readBefore = g_readableReplies;
    for (unsigned long n = total; n > 0; --n) {
        std::vector<uint8_t> input = {static_cast<uint8_t>(rng()), static_cast<uint8_t>(rng())};
        const size_t length = rng() % (rng() % 2 ? 20 : 100);
        const unsigned rate = rng() % 5;  // 4: random bytes
        uint8_t digits = 0, b = 0;
        for (unsigned d = 0; input.size() < length + 2; input.push_back(b)) {
            if (rate == 4)
                b = static_cast<uint8_t>(rng());
            else if (rng() % 16 < rate)
                b = noise[rng() % sizeof noise];
            else if (rng() % 6 == 0)
                b = noise[rng() % 6];
            else if ((b = static_cast<uint8_t>('0' + rng() % 2)), d < 8)
                digits |= (b & 1) << d++;
        }
        input[0] = rng() % 2 ? digits : input[0];
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    const unsigned long readable = g_readableReplies - readBefore;
    std::printf("%lu of %lu replies readable\n", readable, total);
    EXPECT_GE(readable * 4, total) << "too few replies that are read to try the reading on";
}

TEST(ReplyRules, AReadingIsCurrentForTheReplyWaitOnly) {
    int flags[kSwitchCount] = {};
    SwitchReading reading;
    CCriticalSection lock;
    const SwitchState state{flags, reading, lock};
    EXPECT_FALSE(ReadingIsCurrent(reading, 1000)) << "nothing read yet";
    char all[100] = "00000000";
    EXPECT_TRUE(ParseSwitchStatus(state, all, 8, 1000)) << "all clear, first read: the panel turns red";
    char noise[100] = "error: unknown command";
    EXPECT_FALSE(ParseSwitchStatus(state, noise, 22, 2000));
    // The next answer may come 1.99 s after the next poll, which follows a
    // 100 ms pause: the flags stay current until then, and not much longer.
    EXPECT_TRUE(ReadingIsCurrent(reading, 1000 + 100 + 1990 + 50));
    EXPECT_FALSE(ReadingIsCurrent(reading, 1000 + 2500)) << "about 2 s after the last readable reply, not the error";
    EXPECT_TRUE(ParseSwitchStatus(state, all, 8, 9000)) << "read again: the panel shows the flags again";
    EXPECT_FALSE(ParseSwitchStatus(state, all, 8, 9000 + 2100)) << "and then only on a change";
    // A paint at the edge of its age shows the reading expired; the worker,
    // whose clock was read before the paint, renews it as if still current.
    EXPECT_EQ(0u, ReadingLeftMsShown(reading, 9000 + 2100 + kStatusStaleMs));
    EXPECT_TRUE(ParseSwitchStatus(state, all, 8, 9000 + 2100 + kStatusStaleMs - 1)) << "the renewal is painted";
    EXPECT_FALSE(ParseSwitchStatus(state, all, 8, 9000 + 2100 + kStatusStaleMs)) << "once";
}

// A reader that holds the lock sees every flag of one reply or none of it,
// while replies that set and clear all eight alternate.
TEST(ReplyRules, AReaderHoldingTheLockSeesNoneOrAllOfAReply) {
    int flags[kSwitchCount] = {};
    SwitchReading reading;
    CCriticalSection lock;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 20000; ++i) {
            char line[100] = "11111111";
            std::fill_n(line, 8, i % 2 ? '0' : '1');
            ParseSwitchStatus(SwitchState{flags, reading, lock}, line, 8, 1);
        }
        done = true;
    });
    int checks = 0, torn = 0;
    for (; !done || checks == 0; ++checks) {
        CSingleLock held(&lock, true);
        const int set = std::count(std::begin(flags), std::end(flags), 1);
        torn += set != 0 && set != kSwitchCount;
    }
    writer.join();
    EXPECT_EQ(0, torn) << "of " << checks << " looks under the lock";
}

}  // namespace
