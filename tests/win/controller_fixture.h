// A test fixture with one Ports device COM<port> registered (and no other),
// the simulated controller behind it, and the real dialog running with that
// port chosen. Tear-down closes the dialog, which ends a connection still up.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "serial/com_link.h"
#include "tests/win/dialog_driver.h"
#include "tests/win/port_devices.h"
#include "tests/win/sim_client.h"

class ControllerDialogTest : public ::testing::Test {
protected:
    explicit ControllerDialogTest(int port) : port_(port) {}

    void SetUp() override {
        std::wstring error;
        ASSERT_GE(PortDevices::RemoveAllPortsDevices(&error), 0) << error;
        ASSERT_TRUE(devices_.AddPortName(L"COM" + std::to_wstring(port_))) << devices_.LastError();
        ASSERT_TRUE(sim_.Connect()) << sim_.LastReply();
        ASSERT_TRUE(sim_.Attach(port_)) << sim_.LastReply();
        driver_ = std::make_unique<DialogDriver>();
        ASSERT_NE(nullptr, driver_->Window());
        ASSERT_EQ(0, driver_->SelectedPort()) << "COM" << port_ << " is chosen at start";
    }
    void TearDown() override {
        driver_.reset();
        theComLink.Close();
        g_linkReady = 0;
    }

    TestDialog& Dlg() { return driver_->Dialog(); }
    int Connected() { return driver_->Connected(); }
    std::string Flags() { return driver_->Flags(); }
    // Connects and waits until the worker has made its first poll.
    void ConnectOk() { ASSERT_TRUE(driver_->ConnectAndPoll(sim_)) << "connected and polling"; }

    const int port_;
    PortDevices devices_;
    SimController sim_;
    std::unique_ptr<DialogDriver> driver_;
};
