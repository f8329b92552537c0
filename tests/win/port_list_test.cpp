// The port list of the real dialog, filled through the real SetupAPI from
// Ports-class devices registered in the test prefix. (Wine lists every
// registered device as present, so presence filtering is not exercised.)
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "serial/port_names.h"
#include "tests/win/dialog_driver.h"
#include "tests/win/port_devices.h"

namespace {

using Entries = std::vector<std::wstring>;

class PortListTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::wstring error;
        ASSERT_GE(PortDevices::RemoveAllPortsDevices(&error), 0) << error;
    }
    void Add(const std::wstring& name) { ASSERT_TRUE(devices_.AddPortName(name)) << devices_.LastError(); }
    DialogDriver& Open() {
        driver_ = std::make_unique<DialogDriver>();
        EXPECT_NE(nullptr, driver_->Window());
        return *driver_;
    }
    DWORD_PTR ItemData(int index) {
        return driver_->Read<DWORD_PTR>([&] { return driver_->Dialog().m_portCombo.GetItemData(index); });
    }
    void Refill() {
        driver_->Dialog().RunOnUi([this] { driver_->Dialog().RefreshPortList(); });
    }

    PortDevices devices_;
    std::unique_ptr<DialogDriver> driver_;
};

TEST_F(PortListTest, NoDevicesLeavesRefreshAloneAndSelected) {
    DialogDriver& d = Open();
    EXPECT_EQ(Entries{L"Refresh..."}, d.PortEntries());
    EXPECT_EQ(0, d.SelectedPort());
    EXPECT_EQ(REFRESH_ITEM_DATA, ItemData(0));
}

TEST_F(PortListTest, PortsSortedByTextWithRefreshLastAndFirstSelected) {
    Add(L"COM3");
    Add(L"COM1");
    DialogDriver& d = Open();
    EXPECT_EQ((Entries{L"COM1", L"COM3", L"Refresh..."}), d.PortEntries());
    EXPECT_EQ(0, d.SelectedPort());
    EXPECT_EQ(0u, ItemData(0));
    EXPECT_EQ(0u, ItemData(1));
    EXPECT_EQ(REFRESH_ITEM_DATA, ItemData(2));
}

TEST_F(PortListTest, TextOrderPutsCom10BeforeCom2) {
    Add(L"COM2");
    Add(L"COM10");
    EXPECT_EQ((Entries{L"COM10", L"COM2", L"Refresh..."}), Open().PortEntries());
}

TEST_F(PortListTest, OnlyComNamesOfStringTypesAreListedOnceEach) {
    Add(L"COM5");
    Add(L"COM5");
    Add(L"LPT1");
    Add(L"com6");
    const wchar_t multi[] = L"COM7\0COM8\0";
    ASSERT_TRUE(devices_.AddValue(REG_MULTI_SZ, multi, sizeof(multi)));
    const DWORD number = 7;
    ASSERT_TRUE(devices_.AddValue(REG_DWORD, &number, sizeof(number)));
    // Taken as it stands: expanded it would read COMC:\windows.
    const wchar_t expand[] = L"COM%WINDIR%";
    ASSERT_TRUE(devices_.AddValue(REG_EXPAND_SZ, expand, sizeof(expand)));
    ASSERT_TRUE(devices_.AddWithoutPortName());
    ASSERT_TRUE(devices_.AddWithoutDeviceKey());
    Entries entries = Open().PortEntries();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(L"Refresh...", entries.back());
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ((Entries{L"COM%WINDIR%", L"COM5", L"Refresh...", L"com6"}), entries);
}

TEST_F(PortListTest, NameFillingTheWholeBufferIsReadWithinIt) {
    // 256 characters and no terminating NUL: exactly the 512-byte buffer.
    std::wstring full = L"COM";
    full.append(256 - 3, L'7');
    ASSERT_TRUE(devices_.AddValue(REG_SZ, full.data(), 512));
    Add(L"COM1");
    const Entries entries = Open().PortEntries();
    ASSERT_EQ(3u, entries.size());
    EXPECT_EQ(L"COM1", entries[0]);
    EXPECT_EQ(full, entries[1]);
}

TEST_F(PortListTest, ChosenPortSurvivesARefillButChoosingRefreshFallsBackToTheFirst) {
    Add(L"COM1");
    Add(L"COM3");
    DialogDriver& d = Open();
    d.ChoosePort(1);  // COM3
    Refill();
    EXPECT_EQ(1, d.SelectedPort()) << "COM3 stays chosen";

    Add(L"COM2");
    ASSERT_TRUE(d.ChoosePort(L"Refresh..."));
    EXPECT_EQ((Entries{L"COM1", L"COM2", L"COM3", L"Refresh..."}), d.PortEntries());
    EXPECT_EQ(0, d.SelectedPort()) << "the refresh entry's own choice is not remembered";
}

TEST_F(PortListTest, ChosenPortThatVanishedFallsBackToTheFirstOrRefresh) {
    Add(L"COM4");
    DialogDriver& d = Open();
    d.ChoosePort(0);
    ASSERT_TRUE(devices_.RemoveAll());
    ASSERT_TRUE(d.ChoosePort(L"Refresh..."));
    EXPECT_EQ(Entries{L"Refresh..."}, d.PortEntries());
    EXPECT_EQ(0, d.SelectedPort());
}

TEST_F(PortListTest, ChoosingAPortDoesNotRefill) {
    Add(L"COM1");
    DialogDriver& d = Open();
    Add(L"COM2");
    d.ChoosePort(0);
    EXPECT_EQ((Entries{L"COM1", L"Refresh..."}), d.PortEntries());
}

}  // namespace
