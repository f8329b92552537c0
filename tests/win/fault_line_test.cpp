// Faults on the line while connected, through the real dialog: answers that
// are long, late, garbled or unasked, leftovers from before the connection.
// After each, the very next switch change must reach the flags at the next
// complete poll: nothing the controller sent earlier may be read in place
// of an answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tests/win/fault_fixture.h"
#include "tests/win/test_clock.h"

namespace {

constexpr int kPort = 13;

class LineFaultTest : public FaultTest {
protected:
    LineFaultTest() : FaultTest(kPort) {}

    // Median time between polls over n intervals, in ms.
    double MedianPollInterval(int n) {
        Polls(n + 1);
        std::vector<long long> times = sim_.PollTimes();
        std::vector<double> gaps;
        for (size_t i = times.size() > static_cast<size_t>(n) ? times.size() - n : 1; i < times.size(); ++i)
            gaps.push_back((times[i] - times[i - 1]) / 1000.0);
        if (gaps.empty())
            return 0;
        std::sort(gaps.begin(), gaps.end());
        return gaps[gaps.size() / 2];
    }
};

TEST_F(LineFaultTest, PollsAboutEveryHundredMilliseconds) {
    Connect("10000000");
    const double median = MedianPollInterval(12);
    // A cycle is its exchange (a few ms here) plus the 100 ms pause.
    EXPECT_GE(median, 95.0);
    EXPECT_LE(median, 200.0);
}

TEST_F(LineFaultTest, OverLongAnswersAreReadOncePerPoll) {
    // Each answer is read up to its 99th byte; the rest must not become the
    // next answer. The filler would read as other switches if it did.
    Connect("00000000");
    for (const size_t length : {150u, 1000u}) {
        SCOPED_TRACE(length);
        for (const char* head : {"10100101", "01011010"}) {
            std::string line(head);
            while (line.size() < length)
                line += "11110000";
            line.resize(length);
            ExpectFollows(line);
        }
    }
    EXPECT_EQ(0, Dlg().m_connectionLosts);
}

TEST_F(LineFaultTest, UnaskedLinesAreNeverTakenForAnswers) {
    // A controller that prints a banner of twenty lines after a reset.
    Connect("00000000");
    std::string banner;
    for (int i = 0; i < 20; ++i)
        banner += "11111111\r";
    ASSERT_TRUE(sim_.Send(banner));
    ExpectFollows("01000000");
    // Unasked lines between every two answers.
    for (const char* line : {"00100000", "00010000", "11000011"}) {
        ASSERT_TRUE(sim_.Send("10101010\r01010101\r"));
        ExpectFollows(line);
    }
    EXPECT_EQ(0, Dlg().m_connectionLosts);
}

TEST_F(LineFaultTest, OddBytesInAnswersReadAsTheRulesSay) {
    Connect("11000000");
    const std::string cases[] = {
        std::string("111\0" "11111", 9),           // cut at the NUL: too short, dropped
        std::string("\x80" "1\xff" "111\0\0", 8),  // bytes above 0x7F count and read clear
        std::string("\0" "11111111", 9),           // nothing before the NUL
        std::string("1 0 1 0 1 0 1 0"),            // spaces go
        std::string("\x13" "1010" "\x11" "10"),    // XOFF/XON are plain bytes
    };
    std::string shown = "11000000";
    for (const std::string& line : cases) {
        SCOPED_TRACE(testing::PrintToString(line));
        ASSERT_TRUE(sim_.SetSwitchesHex(line));
        const int asked = sim_.Count("swin");
        ASSERT_TRUE(DialogDriver::WaitUntil([&] { return sim_.Count("swin") >= asked + 2; }, 8000));
        if (Cleaned(line).size() >= 6)
            shown = FlagsFor(line);
        EXPECT_EQ(shown, Flags());
        EXPECT_TRUE(PanelBecomes(shown, 2000));
    }
    // And unasked NULs and high bytes between answers.
    ASSERT_TRUE(sim_.Send(std::string("\0\0\x80\xff\r\0", 6)));
    ExpectFollows("00110011");
    EXPECT_EQ(0, Dlg().m_connectionLosts);
}

TEST_F(LineFaultTest, RandomFloodThenTheTruthAgain) {
    Connect("00000000");
    std::mt19937 random(20261207);
    std::string noise(100 * 1024, '\0');
    for (char& c : noise)
        c = static_cast<char>(random() & 0xFF);
    ASSERT_TRUE(sim_.SetSwitches("10011001"));
    ASSERT_TRUE(sim_.Send(noise));
    // The noise takes a few polls to drain; then every poll reads its own
    // answer again, and nothing of the noise was taken for a lost line.
    ASSERT_TRUE(DialogDriver::WaitUntil([this] { return Flags() == "10011001"; }, 20000));
    ExpectFollows("01100110");
    ExpectFollows("10000001");
    EXPECT_EQ(0, Dlg().m_connectionLosts);
}

TEST_F(LineFaultTest, CrLfEndingsAlsoWhenLate) {
    ASSERT_TRUE(sim_.SetCrLf(true));
    Connect("01000000");
    const int refreshes = Dlg().m_panelRefreshes;
    Polls(4);
    EXPECT_EQ(refreshes, Dlg().m_panelRefreshes) << "repeated answers repaint nothing";
    ExpectFollows("00100000");
    ASSERT_TRUE(sim_.SetDelay(300));
    ExpectFollows("00010000");
    ExpectFollows("11111100");
    EXPECT_EQ(0, Dlg().m_connectionLosts);
}

TEST_F(LineFaultTest, LateAnswersWithinTheWaitAreAccepted) {
    Connect("00000000");
    for (const int delay : {1500, 1990}) {
        SCOPED_TRACE(delay);
        ASSERT_TRUE(sim_.SetDelay(delay));
        ExpectFollows(delay == 1500 ? "10000000" : "01000000");
    }
    EXPECT_EQ(0, Dlg().m_connectionLosts);
    EXPECT_EQ(nullptr, FindThreadDialog(driver_->UiThreadId(), Main())) << "no box";
}

TEST_F(LineFaultTest, AnswerLaterThanTheWaitLosesTheConnection) {
    Connect("11110000");
    ASSERT_TRUE(sim_.SetDelay(2200));
    const Stopwatch watch;
    const MessageBoxSeen box = ExpectBox(kConnectionLostBox, 10000);
    EXPECT_GE(watch.Ms(), 1900);
    EXPECT_LT(watch.Ms(), 8000);
    ExpectIdle();
    DialogDriver::PressOk(box);
}

TEST_F(LineFaultTest, AnswerThatNeverEndsDoesNotHoldTheTool) {
    Connect("10100000");
    ASSERT_TRUE(sim_.Silent());
    Polls(1);
    // The start of an answer whose carriage return never comes.
    ASSERT_TRUE(sim_.Send("0101"));
    // Due about 2.2 s from now: the gap allowed inside a line, then the
    // next poll's wait running out.
    const MessageBoxSeen box = ExpectBox(kConnectionLostBox, 6000);
    ASSERT_NE(nullptr, box.hWnd) << "the line holds the tool";
    ExpectIdle();
    DialogDriver::PressOk(box);
}

TEST_F(LineFaultTest, LeftoversFromBeforeTheConnectionAreNeverShown) {
    // Bytes waiting in the port from an earlier session, and a controller
    // that then answers: the serial number and switches are its answers.
    ASSERT_TRUE(sim_.Preload("OLD-SERIAL\r11111111\r11111111\r"));
    Connect("00000001");
    ExpectFollows("10000000");
}

TEST_F(LineFaultTest, LeftoversAndASilentControllerGetNoResponse) {
    ASSERT_TRUE(sim_.Preload("OLD-SERIAL\r11111111\r"));
    ASSERT_TRUE(sim_.Silent());
    const Stopwatch watch;
    driver_->ClickConnect();
    const MessageBoxSeen box = ExpectBox(kNoResponseBox, 10000);
    EXPECT_GE(watch.Ms(), 1900);
    EXPECT_LT(watch.Ms(), 8000);
    ExpectIdle();
    DialogDriver::PressOk(box);
}

}  // namespace
