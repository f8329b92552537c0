// The serial link against the simulated controller, through the real Win32
// serial API under Wine: the line settings, and the lines read from the
// bytes a controller sends.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "device/exchange.h"
#include "serial/com_link.h"
#include "tests/win/tool_fixture.h"

namespace {

constexpr int kPort = 11;

// Whatever another program left on the port, nothing of the line can stall
// the tool's polls or drop the controller's answers: no output held for
// CTS, DSR or an XOFF, no XOFF sent, no bytes dropped for DSR, no stop on a
// line error; RTS low, 57600 8N1. When the port's settings cannot be read,
// the line made from scratch is one Windows accepts.
TEST(LinkSettings, NothingLeftOnThePortCanStallTheLine) {
    DCB left = {};  // as zeroed by a careless program: XON and XOFF the same
    left.DCBlength = sizeof(DCB);
    left.fOutxCtsFlow = left.fOutxDsrFlow = left.fDsrSensitivity = left.fOutX = left.fInX = left.fAbortOnError = TRUE;
    left.fRtsControl = RTS_CONTROL_HANDSHAKE;
    left.fDtrControl = DTR_CONTROL_HANDSHAKE;  // neither 0 nor the default made from scratch
    left.BaudRate = 9600;
    for (const DCB* reported : {static_cast<const DCB*>(&left), static_cast<const DCB*>(nullptr)}) {
        const DCB dcb = LineSettings(reported);
        const char* source = reported ? "settings left by another program" : "settings not readable";
        EXPECT_EQ(57600u, dcb.BaudRate) << source;
        EXPECT_TRUE(dcb.ByteSize == 8 && dcb.Parity == NOPARITY && dcb.StopBits == ONESTOPBIT && dcb.fBinary) << source;
        EXPECT_EQ(static_cast<DWORD>(RTS_CONTROL_DISABLE), dcb.fRtsControl) << source;
        EXPECT_FALSE(dcb.fOutxCtsFlow || dcb.fOutxDsrFlow || dcb.fOutX) << "output can stall: " << source;
        EXPECT_FALSE(dcb.fInX) << "the tool may send XOFF: " << source;
        EXPECT_FALSE(dcb.fDsrSensitivity || dcb.fAbortOnError) << "answers can be dropped: " << source;
        EXPECT_TRUE(reported || dcb.XonChar != dcb.XoffChar) << "Windows refuses a line whose XON and XOFF are the same";
    }
    EXPECT_EQ(static_cast<DWORD>(DTR_CONTROL_HANDSHAKE), LineSettings(&left).fDtrControl) << "DTR as the port had it";
}

struct LineRow {
    const char* name;
    std::string bytes;               // what the controller sends
    std::vector<std::string> lines;  // what ReadLine gives, call by call
    int paceMs = 0;                  // a byte every paceMs, else all at once
};

void PrintTo(const LineRow& row, std::ostream* os) { *os << row.name; }

std::string Letters(size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i)
        s.push_back(static_cast<char>('A' + i % 26));
    return s;
}

class LinkLines : public ::testing::TestWithParam<LineRow> {};

TEST_P(LinkLines, ReadAsSent) {
    const LineRow& row = GetParam();
    SimController sim;
    ASSERT_TRUE(sim.Connect() && sim.Attach(kPort)) << sim.LastReply();
    g_portNumber = kPort;
    ASSERT_TRUE(theComLink.Open());
    ASSERT_TRUE(sim.WaitOpened(true, 5000));
    // The simulator has put every byte it was sent into the port's queue
    // when it answers, so all of them wait there once the first does.
    std::thread trickle([&] {
        for (size_t i = 0; i < row.bytes.size(); i += row.paceMs ? 1 : row.bytes.size())
            sim.Send(row.bytes.substr(i, row.paceMs ? 1 : std::string::npos)), ::Sleep(row.paceMs);
    });
    ASSERT_TRUE(WaitForReply());
    for (const std::string& expected : row.lines) {
        char buffer[kLineBufferSize];
        const ULONGLONG start = ::GetTickCount64();
        std::future<int> read = std::async(std::launch::async, [&] { return theComLink.ReadLine(buffer); });
        if (read.wait_for(std::chrono::seconds(5)) != std::future_status::ready)
            Hangs(std::string(row.name) + ": a line read did not end within 5 s");
        const int n = read.get();
        EXPECT_EQ(expected, std::string(buffer, static_cast<size_t>(n)));
        EXPECT_EQ('\0', buffer[n]) << "NUL after the count";
        // A line whose CR never comes ends at the gap allowed inside a line,
        // and one that trickles on, at the reply wait.
        EXPECT_LT(::GetTickCount64() - start, row.paceMs ? 2500u : 1500u);
    }
    trickle.join();
    char buffer[kLineBufferSize];
    EXPECT_EQ(0, theComLink.ReadLine(buffer)) << "what is left: nothing, or the rest of a line that ran on";
    EXPECT_FALSE(theComLink.InputWaiting()) << "nothing left over";
    theComLink.Close();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LinkLines,
    ::testing::Values(LineRow{"CarriageReturnEndsALine", "12345\r", {"12345"}},
                      LineRow{"BareCarriageReturnIsAnEmptyLine", "\r", {""}},
                      LineRow{"LineFeedAfterItStartsTheNextLine", "abc\r\ndef\r", {"abc", "\ndef"}},
                      LineRow{"LongLineComesIn99ByteParts", Letters(150) + "\r", {Letters(99), Letters(150).substr(99)}},
                      LineRow{"EveryOtherByteIsStored", std::string("a\0b\x80\xff\n\r", 7), {std::string("a\0b\x80\xff\n", 6)}},
                      LineRow{"UnendedLineEndsAtTheGap", "123", {"123"}},
                      LineRow{"LineLongerThanTheReplyWaitIsDropped", std::string(20, '1') + "\r", {""}, 150}),
    [](const ::testing::TestParamInfo<LineRow>& info) { return std::string(info.param.name); });

}  // namespace
