// Cleaning of status replies and their mapping onto the eight switch flags.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "device/switch_state.h"

namespace {

class SwitchStateTest : public ::testing::Test {
protected:
    // Parses `bytes` as a line of ReadLine's count; the buffer is 100 bytes
    // like the poll worker's, filled with a marker to catch stray writes.
    bool Parse(const std::string& bytes) {
        std::string buffer(100, '#');
        buffer.replace(0, bytes.size(), bytes);
        const bool changed = ParseSwitchStatus(state_, &buffer[0], static_cast<int>(bytes.size()));
        EXPECT_EQ('\0', buffer[bytes.size()]) << "the line is terminated at its count";
        if (bytes.size() + 1 < buffer.size()) {
            EXPECT_EQ('#', buffer[bytes.size() + 1]) << "nothing written past the terminator";
        }
        return changed;
    }
    std::string Flags() const {
        std::string s;
        for (int f : flags_)
            s += static_cast<char>('0' + f);
        return s;
    }
    void SetFlags(const char* eight) {
        for (int i = 0; i < kSwitchCount; ++i)
            flags_[i] = eight[i] == '1';
    }

    int flags_[kSwitchCount] = {};
    CCriticalSection lock_;
    SwitchState state_{flags_, lock_};
};

TEST_F(SwitchStateTest, SameLineTwiceReportsOneChange) {
    EXPECT_TRUE(Parse("11111111"));
    EXPECT_EQ("11111111", Flags());
    EXPECT_FALSE(Parse("11111111"));
}

TEST_F(SwitchStateTest, FirstAllClearReplyChangesNothing) {
    EXPECT_FALSE(Parse("00000000"));
    EXPECT_EQ("00000000", Flags());
}

struct CleaningCase {
    const char* name;
    std::string line;
    const char* before;
    const char* after;
    bool changed;
    friend void PrintTo(const CleaningCase& c, std::ostream* os) { *os << c.name; }
};

class SwitchStateCleaning : public SwitchStateTest, public ::testing::WithParamInterface<CleaningCase> {};

TEST_P(SwitchStateCleaning, MapsLineOntoFlags) {
    const CleaningCase& c = GetParam();
    SetFlags(c.before);
    EXPECT_EQ(c.changed, Parse(c.line));
    EXPECT_EQ(c.after, Flags());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SwitchStateCleaning,
    ::testing::Values(
        CleaningCase{"SpacesBetweenDigits", "1 0 1 0 1 0 1 0", "00000000", "10101010", true},
        CleaningCase{"FiveBytesDropped", "10101", "11111111", "11111111", false},
        CleaningCase{"FourBytesInsideSpacesDropped", "  1111  ", "00000000", "00000000", false},
        CleaningCase{"SixBytesClearFlags6And7", "101010", "11111111", "10101000", true},
        CleaningCase{"SevenBytesSetFlag6Only", "1010101", "00000001", "10101010", true},
        CleaningCase{"BytesAfterEighthIgnored", "0000000011", "11111111", "00000000", true},
        CleaningCase{"LettersCountAndReadClear", "x1y1z1", "10101011", "01010100", true},
        CleaningCase{"LeadingLineFeedRemoved", "\n111111", "00000000", "11111100", true},
        CleaningCase{"TabAndControlBytesRemoved", std::string("1\t1\x01" "1\x1f" "111\r", 10), "00000000",
                     "11111100", true},
        CleaningCase{"NulCutsTheLine", std::string("111\0" "11111", 9), "00000000", "00000000", false},
        CleaningCase{"HighBytesCountAndReadClear", "\x80\xff" "1111", "11000000", "00111100", true},
        CleaningCase{"DelByteKept", "\x7f" "11111", "00000000", "01111100", true},
        CleaningCase{"OnlyCharacters7And8Differ", "00000011", "00000000", "00000011", true},
        CleaningCase{"DigitTwoReadsClear", "222222", "11111111", "00000000", true}),
    [](const ::testing::TestParamInfo<CleaningCase>& info) { return info.param.name; });

TEST(CleanReplyTest, RemovesEveryByteFrom1To32AndKeepsTheRestInOrder) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const std::string cleaned = CleanReply(all.c_str());
    ASSERT_EQ(255u - 32u, cleaned.size());
    for (size_t i = 0; i < cleaned.size(); ++i)
        EXPECT_EQ(static_cast<unsigned char>(33 + i), static_cast<unsigned char>(cleaned[i]));
}

TEST_F(SwitchStateTest, FullBufferIsTerminatedInside) {
    // 99 bytes: the terminator goes to index 99, the last byte of the buffer.
    EXPECT_TRUE(Parse(std::string(99, '1')));
    EXPECT_EQ("11111111", Flags());
}

TEST_F(SwitchStateTest, UpdateHoldsTheLockForAllEightFlags) {
    // A reader holding the lock must see either none or all of a reply.
    lock_.Lock();
    bool done = false;
    std::thread writer([&] {
        Parse("11111111");
        done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ("00000000", Flags());
    lock_.Unlock();
    writer.join();
    EXPECT_TRUE(done);
    EXPECT_EQ("11111111", Flags());
}

}  // namespace
