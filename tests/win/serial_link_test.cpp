// The serial link and the reply wait against the simulated controller,
// through the real Win32 serial API under Wine.
#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <cstring>
#include <string>

#include "device/exchange.h"
#include "device/serial_number.h"
#include "serial/com_link.h"
#include "tests/win/sim_client.h"
#include "tests/win/test_clock.h"

namespace {

constexpr int kPort = 11;

class SerialLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim_.Connect()) << sim_.LastReply();
        ASSERT_TRUE(sim_.Attach(kPort)) << sim_.LastReply();
        g_portNumber = kPort;
        ASSERT_TRUE(theComLink.Open());
        ASSERT_TRUE(sim_.WaitOpened(true, 5000));
    }
    void TearDown() override { theComLink.Close(); }

    std::string Line() {
        char buffer[kLineBufferSize];
        const int n = theComLink.ReadLine(buffer);
        EXPECT_EQ('\0', buffer[n]) << "NUL after the count";
        return std::string(buffer, static_cast<size_t>(n));
    }
    // Sends bytes from the controller and waits until the first has arrived.
    void Arrive(const std::string& bytes) {
        ASSERT_TRUE(sim_.Send(bytes)) << sim_.LastReply();
        ASSERT_TRUE(WaitForReply());
        ::Sleep(50);  // the rest of a short burst
    }

    SimController sim_;
};

TEST(PortNameTest, TwoFormsAndBoundedBuffer) {
    wchar_t name[16];
    ASSERT_TRUE(ComposePortDeviceName(9, name, 16));
    EXPECT_STREQ(L"COM9", name);
    ASSERT_TRUE(ComposePortDeviceName(10, name, 16));
    EXPECT_STREQ(L"\\\\.\\COM10", name);
    ASSERT_TRUE(ComposePortDeviceName(0, name, 16));
    EXPECT_STREQ(L"COM0", name);
    ASSERT_TRUE(ComposePortDeviceName(INT_MIN, name, 16));
    EXPECT_STREQ(L"COM-2147483648", name);
    ASSERT_TRUE(ComposePortDeviceName(99999999, name, 16));
    EXPECT_STREQ(L"\\\\.\\COM99999999", name);
    EXPECT_FALSE(ComposePortDeviceName(100000000, name, 16)) << "9 digits do not fit 16 characters";
    EXPECT_FALSE(ComposePortDeviceName(INT_MAX, name, 16));
}

TEST(LineSettingsTest, HandshakesOffWhateverThePortHeldAndAFallbackWindowsAccepts) {
    DCB left = {};
    left.DCBlength = sizeof(DCB);
    left.fOutxCtsFlow = left.fOutxDsrFlow = left.fDsrSensitivity = TRUE;
    left.fOutX = left.fInX = left.fAbortOnError = TRUE;
    left.fRtsControl = RTS_CONTROL_HANDSHAKE;
    left.fDtrControl = DTR_CONTROL_DISABLE;
    left.BaudRate = 9600;
    left.XonChar = 0x11;
    left.XoffChar = 0x13;

    // Windows refuses a DCB whose XON and XOFF characters are the same, as
    // in an all-zero one.
    for (const DCB* reported : {static_cast<const DCB*>(&left), static_cast<const DCB*>(nullptr)}) {
        SCOPED_TRACE(reported ? "settings left by another program" : "settings not readable");
        const DCB dcb = LineSettings(reported);
        EXPECT_EQ(57600u, dcb.BaudRate);
        EXPECT_EQ(8, dcb.ByteSize);
        EXPECT_EQ(NOPARITY, dcb.Parity);
        EXPECT_EQ(ONESTOPBIT, dcb.StopBits);
        EXPECT_EQ(static_cast<DWORD>(RTS_CONTROL_DISABLE), dcb.fRtsControl);
        EXPECT_FALSE(dcb.fOutxCtsFlow || dcb.fOutxDsrFlow || dcb.fDsrSensitivity || dcb.fOutX || dcb.fInX ||
                     dcb.fAbortOnError);
        EXPECT_TRUE(dcb.fBinary);
        EXPECT_NE(dcb.XonChar, dcb.XoffChar);
    }
    EXPECT_EQ(static_cast<DWORD>(DTR_CONTROL_DISABLE), LineSettings(&left).fDtrControl) << "DTR as the port had it";
    EXPECT_EQ(static_cast<DWORD>(DTR_CONTROL_ENABLE), LineSettings(nullptr).fDtrControl);
}

TEST(OpenTest, BothNameFormsOpenTheSimulatedPort) {
    // COM9 is opened as "COM9", COM10 as "\\.\COM10".
    for (int port : {9, 10}) {
        SimController sim;
        ASSERT_TRUE(sim.Connect()) << sim.LastReply();
        ASSERT_TRUE(sim.Attach(port)) << sim.LastReply();
        g_portNumber = port;
        EXPECT_TRUE(theComLink.Open()) << "COM" << port;
        EXPECT_TRUE(sim.WaitOpened(true, 5000)) << "COM" << port;
        theComLink.Close();
        EXPECT_TRUE(sim.WaitOpened(false, 5000)) << "Close releases COM" << port;
    }
}

TEST(OpenTest, RefusedOrMissingPortLeavesLinkClosedAndLaterOpenWorks) {
    SimController blocked, good;
    ASSERT_TRUE(blocked.Connect() && good.Connect());
    // Wine does not enforce exclusive opens of character devices, so a port
    // "held by another program" is made unopenable by pointing it at a folder.
    ASSERT_TRUE(blocked.Block(12)) << blocked.LastReply();
    ASSERT_TRUE(good.Attach(13)) << good.LastReply();

    for (int port : {12, 14 /* no link at all */, 123456789 /* name too long */}) {
        g_portNumber = port;
        EXPECT_FALSE(theComLink.Open()) << "COM" << port;
        EXPECT_FALSE(theComLink.IsOpen());
        EXPECT_FALSE(theComLink.InputWaiting());
    }
    g_portNumber = 13;
    EXPECT_TRUE(theComLink.Open());
    EXPECT_TRUE(good.WaitOpened(true, 5000));
    theComLink.Close();
}

TEST_F(SerialLinkTest, OpenWhileOpenKeepsTheLinkWhateverThePortNumber) {
    g_portNumber = 12;  // not a port at all
    EXPECT_TRUE(theComLink.Open());
    ASSERT_TRUE(sim_.SetSwitches("10100000"));
    EXPECT_EQ(6, theComLink.SendData("?swin\r", 6));
    ASSERT_TRUE(WaitForReply());
    ::Sleep(50);
    EXPECT_EQ("10100000", Line()) << "still talking to the first port";
}

TEST_F(SerialLinkTest, SendWritesEachByteOnceAndOnlyWhenAsked) {
    EXPECT_EQ(0, theComLink.SendData("?swin\r", 0));
    EXPECT_EQ(0, theComLink.SendData("?swin\r", -3));
    EXPECT_EQ(8, theComLink.SendData("?readsn\r", 8));
    ::Sleep(200);
    EXPECT_EQ("?readsn\r", sim_.Received());
    EXPECT_EQ(1, sim_.Count("readsn"));
}

TEST_F(SerialLinkTest, LinesEndAtCarriageReturn) {
    Arrive("12345\r");
    EXPECT_EQ("12345", Line());
    Arrive("\r");
    EXPECT_EQ("", Line()) << "a bare CR is an empty line, consumed";
    EXPECT_FALSE(theComLink.InputWaiting());
}

TEST_F(SerialLinkTest, LineFeedAfterCarriageReturnStartsTheNextLine) {
    Arrive("abc\r\n");
    EXPECT_EQ("abc", Line());
    EXPECT_TRUE(theComLink.InputWaiting());
    Arrive("def\r");
    EXPECT_EQ("\ndef", Line());
}

TEST_F(SerialLinkTest, LongLineComesIn99ByteParts) {
    std::string line;
    for (int i = 0; i < 150; ++i)
        line.push_back(static_cast<char>('A' + i % 26));
    Arrive(line + "\r");
    ::Sleep(100);
    EXPECT_EQ(line.substr(0, 99), Line());
    EXPECT_EQ(line.substr(99), Line());
    EXPECT_FALSE(theComLink.InputWaiting()) << "the CR went with the second part";
}

TEST_F(SerialLinkTest, EveryByteButCarriageReturnIsStored) {
    const std::string bytes("a\0b\x80\xff\n", 6);
    Arrive(bytes + "\r");
    EXPECT_EQ(bytes, Line());
}

TEST_F(SerialLinkTest, EmptyQueueGivesEmptyLineAtOnce) {
    char buffer[kLineBufferSize];
    std::memset(buffer, '#', sizeof(buffer));
    const Stopwatch watch;
    EXPECT_EQ(0, theComLink.ReadLine(buffer));
    EXPECT_EQ('\0', buffer[0]);
    EXPECT_LT(watch.Ms(), 500);
}

TEST_F(SerialLinkTest, PartialLineReturnsWithinTheLineGap) {
    Arrive("123");
    const Stopwatch watch;
    EXPECT_EQ("123", Line());
    // Bounded by the gap allowed inside a line; loose for a loaded machine.
    EXPECT_LT(watch.Ms(), 1500);
}

TEST_F(SerialLinkTest, ReplyWaitGivesUpAfterAboutTwoSeconds) {
    const Stopwatch watch;
    EXPECT_FALSE(WaitForReply());
    EXPECT_GE(watch.Ms(), 1900);
    EXPECT_LT(watch.Ms(), 6000);
}

TEST_F(SerialLinkTest, ReplyWaitCatchesAnAnswer1990MsLate) {
    ASSERT_TRUE(sim_.SetDelay(1990));
    ASSERT_TRUE(sim_.SetSwitches("11000000"));
    const Stopwatch watch;
    theComLink.SendData("?swin\r", 6);
    EXPECT_TRUE(WaitForReply());
    EXPECT_GE(watch.Ms(), 1900);
    ::Sleep(50);
    EXPECT_EQ("11000000", Line());
}

TEST_F(SerialLinkTest, PulledCableLooksLikeSilenceAndNothingBlocks) {
    Arrive("12");  // half a line, then the cable goes
    ASSERT_TRUE(sim_.Hangup());
    ::Sleep(100);
    const Stopwatch watch;
    char buffer[kLineBufferSize];
    theComLink.ReadLine(buffer);
    EXPECT_FALSE(theComLink.InputWaiting());
    EXPECT_EQ(0, theComLink.ReadLine(buffer));
    EXPECT_EQ(6, theComLink.SendData("?swin\r", 6)) << "the count is the length whatever became of the bytes";
    EXPECT_FALSE(WaitForReply());
    EXPECT_LT(watch.Ms(), 8000);
    theComLink.Close();
    EXPECT_FALSE(theComLink.IsOpen());
}

TEST(ClosedLinkTest, ReadsNothingAndLeavesTheBufferAlone) {
    theComLink.Close();
    theComLink.Close();  // twice is harmless
    char buffer[kLineBufferSize];
    std::memset(buffer, '#', sizeof(buffer));
    EXPECT_EQ(0, theComLink.ReadLine(buffer));
    EXPECT_EQ('#', buffer[0]);
    EXPECT_FALSE(theComLink.InputWaiting());
    EXPECT_EQ(0, theComLink.SendData("?swin\r", 6));
}

TEST(SerialNumberTest, ShownAsReceived) {
    EXPECT_EQ(std::wstring(L" SN 0042 "), std::wstring(SerialNumberText(" SN 0042 ")));
    EXPECT_EQ(std::wstring(L""), std::wstring(SerialNumberText("")));
    // Converted by the thread's ANSI code page, whatever it is.
    wchar_t expected[4] = {};
    ASSERT_GT(::MultiByteToWideChar(CP_THREAD_ACP, 0, "A\xe9Z", -1, expected, 4), 0);
    EXPECT_EQ(std::wstring(expected), std::wstring(SerialNumberText("A\xe9Z")));
}

}  // namespace
