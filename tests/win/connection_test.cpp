// Connecting, disconnecting and losing the controller through the real
// dialog, as a user does it: a registered port, the simulated controller,
// the Connect button and the message boxes.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "serial/com_link.h"
#include "tests/win/controller_fixture.h"
#include "tests/win/dialog_driver.h"
#include "tests/win/port_devices.h"
#include "tests/win/sim_client.h"
#include "tests/win/test_clock.h"

namespace {

constexpr int kPort = 15;

class ConnectionTest : public ControllerDialogTest {
protected:
    ConnectionTest() : ControllerDialogTest(kPort) {}

    void SetUp() override {
        ControllerDialogTest::SetUp();
        ASSERT_TRUE(sim_.SetSerial("SN-4711"));
    }

    bool WorkerExists() { return driver_->Read<bool>([this] { return Dlg().m_pPollThread != nullptr; }); }
    void ExpectBox(const MessageBoxSeen& box, const wchar_t* text, MessageBoxSeen::Icon icon) {
        ASSERT_NE(nullptr, box.hWnd) << "no message box";
        EXPECT_EQ(text, box.text);
        EXPECT_EQ(ModuleBaseName(), box.caption) << "captioned with the program's name";
        EXPECT_EQ(icon, box.icon);
    }
};

TEST_F(ConnectionTest, NoUsableChoiceAsksForAPort) {
    for (int choice : {-1, 1 /* Refresh... */}) {
        const int refreshes = Dlg().m_panelRefreshes;
        ::SendMessageW(::GetDlgItem(driver_->Window(), 1000), CB_SETCURSEL, static_cast<WPARAM>(choice), 0);
        driver_->ClickConnect();
        const MessageBoxSeen box = driver_->WaitMessageBox(5000);
        ExpectBox(box, L"Please select a COM port.", MessageBoxSeen::Exclamation);
        DialogDriver::PressOk(box);
        EXPECT_FALSE(sim_.Opened()) << "nothing opened";
        EXPECT_EQ(0, Connected());
        EXPECT_EQ(refreshes, Dlg().m_panelRefreshes);
    }
}

TEST_F(ConnectionTest, MissingPortSaysSoAndRefreshesOnceAfterTheBox) {
    ASSERT_TRUE(devices_.AddPortName(L"COM16"));  // registered, but no such port
    driver_->Dialog().RunOnUi([this] { Dlg().RefreshPortList(); });
    ASSERT_TRUE(driver_->ChoosePort(L"COM16"));
    const int refreshes = Dlg().m_panelRefreshes;
    driver_->ClickConnect();
    const MessageBoxSeen box = driver_->WaitMessageBox(5000);
    ExpectBox(box, L"Unable to open COM port!", MessageBoxSeen::Error);
    ::Sleep(200);
    EXPECT_EQ(refreshes, Dlg().m_panelRefreshes) << "no refresh while the box is open";
    DialogDriver::PressOk(box);
    EXPECT_TRUE(DialogDriver::WaitUntil([&] { return Dlg().m_panelRefreshes == refreshes + 1; }, 3000));
    ::Sleep(200);
    EXPECT_EQ(refreshes + 1, Dlg().m_panelRefreshes) << "exactly one";
    EXPECT_EQ(0, g_linkReady);
    EXPECT_EQ(L"Connect", driver_->ButtonText());
}

TEST_F(ConnectionTest, ConnectShowsTheSerialNumberAndPollsUntilDisconnect) {
    ASSERT_TRUE(sim_.SetSwitches("10100000"));
    ConnectOk();
    EXPECT_EQ(L"SN-4711", driver_->SerialText());
    EXPECT_EQ(L"Disconnect", driver_->ButtonText());
    EXPECT_EQ(1, g_linkReady);
    EXPECT_TRUE(DialogDriver::WaitUntil([this] { return Flags() == "10100000"; }, 3000));

    driver_->ClickConnect();  // now "Disconnect"
    ASSERT_TRUE(DialogDriver::WaitUntil([this] { return Connected() == 0; }, 5000));
    EXPECT_EQ(L"Connect", driver_->ButtonText());
    EXPECT_EQ(L"", driver_->SerialText());
    EXPECT_EQ("00000000", Flags());
    EXPECT_FALSE(WorkerExists());
    EXPECT_EQ(0, g_linkReady);
    EXPECT_TRUE(sim_.WaitOpened(false, 3000));
    const int polls = sim_.Count("swin");
    ::Sleep(400);
    EXPECT_EQ(polls, sim_.Count("swin")) << "no poll after the disconnect";
}

TEST_F(ConnectionTest, ConnectPaintsConnectedColoursAtOnce) {
    // All switches clear: no flag changes, so only the connect itself can
    // ask for the repaint that turns the grey boxes red.
    const int refreshes = Dlg().m_panelRefreshes;
    ConnectOk();
    EXPECT_TRUE(DialogDriver::WaitUntil([&] { return Dlg().m_panelRefreshes > refreshes; }, 2000));
}

TEST_F(ConnectionTest, EmptySerialNumberStillConnects) {
    ASSERT_TRUE(sim_.SetSerial(""));
    ConnectOk();
    EXPECT_EQ(L"", driver_->SerialText());
    EXPECT_EQ(L"Disconnect", driver_->ButtonText());
}

TEST_F(ConnectionTest, ReconnectAfterDisconnectMakesANewHandshake) {
    ConnectOk();
    driver_->ClickConnect();
    ASSERT_TRUE(DialogDriver::WaitUntil([this] { return Connected() == 0; }, 5000));
    ASSERT_TRUE(sim_.SetSerial("SN-2"));
    ConnectOk();
    EXPECT_EQ(L"SN-2", driver_->SerialText());
    EXPECT_EQ(2, sim_.Count("readsn"));
}

}  // namespace
