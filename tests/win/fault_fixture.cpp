#include "tests/win/fault_fixture.h"

#include <cwchar>

#include "tests/win/process_handles.h"

const ExpectedBox kNoResponseBox = {L"No response from device!", MessageBoxSeen::Error};
const ExpectedBox kConnectionLostBox = {L"Connection lost: no response from device.", MessageBoxSeen::Exclamation};
const ExpectedBox kUnableToOpenBox = {L"Unable to open COM port!", MessageBoxSeen::Error};

std::string Cleaned(const std::string& line) {
    std::string cleaned;
    for (const char c : line) {
        if (c == '\0')
            break;
        if (static_cast<unsigned char>(c) > 0x20)
            cleaned.push_back(c);
    }
    return cleaned;
}

std::string FlagsFor(const std::string& line) {
    const std::string cleaned = Cleaned(line);
    std::string flags(8, '0');
    for (size_t i = 0; i < 8 && i < cleaned.size(); ++i)
        flags[i] = cleaned[i] == '1' ? '1' : '0';
    return flags;
}

void FaultTest::SetUp() {
    ControllerDialogTest::SetUp();
    if (HasFatalFailure())
        return;
    ASSERT_TRUE(sim_.SetSerial("SN-FAULT"));
    // The run-time sets up its unwinding state at the first exception thrown
    // in the process (two handles under Wine): done here, so that a
    // scenario's first exception is not taken for a leak.
    Dlg().RunOnUi([] {
        try {
            throw 0;
        } catch (int) {
        }
    });
    handlesAtStart_ = KernelHandleCount();
    ASSERT_GT(handlesAtStart_, 0) << "the handle list cannot be read";
}

void FaultTest::Connect(const std::string& switches) {
    ASSERT_TRUE(sim_.SetSwitches(switches));
    ConnectOk();
    EXPECT_EQ(L"SN-FAULT", driver_->SerialText());
    ASSERT_TRUE(DialogDriver::WaitUntil([&] { return Flags() == FlagsFor(switches); }, 3000));
}

void FaultTest::Polls(int n) {
    const int before = sim_.Count("swin");
    ASSERT_TRUE(DialogDriver::WaitUntil([&] { return sim_.Count("swin") >= before + n; }, 8000))
        << "polling stopped";
}

void FaultTest::ExpectFollows(const std::string& line) {
    ASSERT_TRUE(sim_.SetSwitchesHex(line));
    // Every poll counted from here on is answered with the new line; once
    // the one after it has gone out, that answer has been read and parsed.
    const int asked = sim_.Count("swin");
    ASSERT_TRUE(DialogDriver::WaitUntil([&] { return sim_.Count("swin") >= asked + 2; }, 8000))
        << "polling stopped";
    EXPECT_EQ(FlagsFor(line), Flags()) << "one poll after the change";
    EXPECT_TRUE(PanelBecomes(FlagsFor(line), 2000));
}

MessageBoxSeen FaultTest::ExpectBox(const ExpectedBox& expected, int timeoutMs) {
    const MessageBoxSeen box = driver_->WaitMessageBox(timeoutMs);
    EXPECT_NE(nullptr, box.hWnd) << "no box saying \"" << std::string(expected.text, expected.text + wcslen(expected.text))
                                 << "\"";
    if (box.hWnd) {
        EXPECT_EQ(std::wstring(expected.text), box.text);
        EXPECT_EQ(expected.icon, box.icon);
    }
    return box;
}

::testing::AssertionResult FaultTest::PanelBecomes(const std::string& flags, int timeoutMs) {
    const PanelExpectation expected{!flags.empty(), flags, false};
    std::string diff;
    DialogDriver::WaitUntil(
        [&] {
            diff = PanelDifferences(PixelCapture::OfClient(Main()), expected);
            return diff.empty();
        },
        timeoutMs);
    if (diff.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "panel for \"" << flags << "\":\n" << diff;
}

void FaultTest::ExpectIdle() {
    EXPECT_TRUE(DialogDriver::WaitUntil([this] { return Connected() == 0; }, 8000)) << "still connected";
    EXPECT_EQ(L"Connect", driver_->ButtonText());
    EXPECT_EQ(L"", driver_->SerialText());
    EXPECT_EQ("00000000", Flags());
    EXPECT_FALSE(driver_->Read<bool>([this] { return Dlg().m_pPollThread != nullptr; })) << "worker left";
    EXPECT_FALSE(driver_->Read<bool>([this] { return Dlg().m_timerResolution.Held(); })) << "timer resolution kept";
    EXPECT_EQ(0, g_linkReady);
    EXPECT_TRUE(sim_.WaitOpened(false, 3000)) << "port still open";
    EXPECT_TRUE(PanelBecomes("", 3000));
    // The worker's thread handle closes as its object is deleted; allow the
    // count a moment to settle before calling it a leak.
    int handles = -1;
    DialogDriver::WaitUntil(
        [&] {
            handles = KernelHandleCount();
            return handles <= handlesAtStart_;
        },
        2000);
    EXPECT_LE(handles, handlesAtStart_) << "kernel handles leaked";
}
