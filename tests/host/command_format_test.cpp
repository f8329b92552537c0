// The bytes that go on the wire for each command.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "device/command_format.h"

namespace {

TEST(CommandFormatTest, CommandsAreTheirBytesAndNothingElse) {
    char buffer[kCommandBufferSize];
    EXPECT_EQ(8, FormatCommand(buffer, "%s", kReadSerialCommand));
    EXPECT_EQ(std::string("\x3f\x72\x65\x61\x64\x73\x6e\x0d"), std::string(buffer, std::strlen(buffer)));
    EXPECT_EQ(6, FormatCommand(buffer, "%s", kSwitchInputsCommand));
    EXPECT_EQ(std::string("\x3f\x73\x77\x69\x6e\x0d"), std::string(buffer, std::strlen(buffer)));
}

TEST(CommandFormatTest, TooLongTextIsCutInsideTheBufferAndReported) {
    char buffer[kCommandBufferSize + 8];
    std::memset(buffer, '#', sizeof(buffer));
    const std::string text(150, 'x');
    EXPECT_EQ(-1, FormatCommand(buffer, "%s", text.c_str()));
    EXPECT_EQ('\0', buffer[kCommandBufferSize - 1]);
    EXPECT_EQ('#', buffer[kCommandBufferSize]) << "nothing written past 100 bytes";
}

}  // namespace
