// Endurance of the real dialog against the simulated controller: many
// connects and disconnects, many repaints, and afterwards the process holds
// what it held before: kernel handles, GDI objects, private memory.
//
// The test pass runs a short form that still shows a leak of one handle per
// connect or one GDI object per paint. scripts/endurance.sh runs the long
// form by setting KAVRO_ENDURANCE_CYCLES and KAVRO_ENDURANCE_REPAINTS.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/resource.h"
#include "tests/win/controller_fixture.h"
#include "tests/win/panel_pixels.h"
#include "tests/win/process_handles.h"
#include "tests/win/test_clock.h"

namespace {

constexpr int kPort = 13;

// A number from the environment, or the default when unset or not positive.
int Setting(const char* name, int fallback) {
    const char* text = std::getenv(name);
    const int value = text ? std::atoi(text) : 0;
    return value > 0 ? value : fallback;
}

void Print(const char* what, const ProcessHoldings& h) {
    std::printf("%-8s %s\n", what, h.Text().c_str());
    std::fflush(stdout);
}

class EnduranceTest : public ControllerDialogTest {
protected:
    EnduranceTest() : ControllerDialogTest(kPort) {}

    // One Connect and Disconnect through the button, with at least one poll
    // answered in between; false when a step did not come.
    bool Cycle() {
        const int polls = sim_.Count("swin");
        driver_->ClickConnect();
        if (!DialogDriver::WaitUntil([&] { return Connected() == 1 && sim_.Count("swin") > polls; }, 8000))
            return false;
        driver_->ClickConnect();
        return DialogDriver::WaitUntil([&] { return Connected() == 0; }, 8000);
    }

    // Lets the dialog's thread finish what is queued (the refresh posted at
    // disconnect: a message sent meanwhile would be handled before it), so
    // that a reading sees the program at rest.
    ProcessHoldings TakeAtRest() {
        ::Sleep(50);
        driver_->Dialog().RunOnUi([] {});
        return ProcessHoldings::Now();
    }
};

TEST_F(EnduranceTest, ConnectAndDisconnectCyclesGiveBackWhatTheyTake) {
    const int cycles = Setting("KAVRO_ENDURANCE_CYCLES", 50);
    ASSERT_TRUE(sim_.SetSwitches("10100100"));
    // The first connections load what the program keeps for its lifetime.
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(Cycle()) << "warm-up cycle " << i;
    const ProcessHoldings before = TakeAtRest();

    const Stopwatch watch;
    for (int i = 0; i < cycles; ++i)
        ASSERT_TRUE(Cycle()) << "cycle " << i << " of " << cycles;
    const long long ms = watch.Ms();
    const ProcessHoldings after = TakeAtRest();

    std::printf("%d connect/disconnect cycles in %.1f s\n", cycles, static_cast<double>(ms) / 1000.0);
    Print("before", before);
    Print("after", after);
    EXPECT_EQ("", after.GrowthSince(before)) << "over " << cycles << " cycles";
}

TEST_F(EnduranceTest, RepaintsGiveBackEveryGdiObject) {
    const int repaints = Setting("KAVRO_ENDURANCE_REPAINTS", 1000);
    ASSERT_TRUE(sim_.SetSwitches("01011000"));
    ConnectOk();
    const HWND hWnd = driver_->Window();
    const auto repaint = [hWnd](int n) {
        // Sent, so that each one has been painted when the call returns.
        for (int i = 0; i < n; ++i)
            ::SendMessageW(hWnd, WM_PANEL_REFRESH, 0, 0);
    };
    repaint(50);
    const ProcessHoldings before = TakeAtRest();

    const Stopwatch watch;
    repaint(repaints);
    const long long ms = watch.Ms();
    const ProcessHoldings after = TakeAtRest();

    std::printf("%d repaints in %.1f s\n", repaints, static_cast<double>(ms) / 1000.0);
    Print("before", before);
    Print("after", after);
    EXPECT_EQ("", after.GrowthSince(before)) << "over " << repaints << " repaints";
    // And the last paint is still a whole panel.
    EXPECT_EQ("", PanelDifferences(PixelCapture::OfClient(hWnd), PanelExpectation{true, "01011000", false}));
}

}  // namespace
