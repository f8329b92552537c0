// A long connection of the real dialog to the simulated controller while
// its switches change several times a second, often faster than the tool
// polls: the panel on screen shows the last state of every burst, never a
// state the controller did not have, and at the end the process holds no
// more handles, GDI objects or memory than after its first minute.
//
// The test pass soaks for 25 s; scripts/soak.sh sets KAVRO_SOAK_SECONDS.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tests/win/controller_fixture.h"
#include "tests/win/panel_pixels.h"
#include "tests/win/process_handles.h"

namespace {

constexpr int kPort = 14;
// From a state set to its colours on screen: a poll period and a paint,
// with room for a loaded machine.
constexpr double kShownWithinMs = 3000;

double MsSince(const LARGE_INTEGER& from) {
    LARGE_INTEGER now, frequency;
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The six shown switches as the panel's colours give them, in flag order:
// '1' green, '0' red, '?' anything else.
std::string ShownSwitches(const PixelCapture& capture) {
    std::string shown(6, '?');
    for (const SwitchBox& box : kBoxes) {
        std::set<COLORREF> fills;
        for (const Probe& p : FillProbes(box))
            fills.insert(capture.At(p.x, p.y));
        if (fills.size() == 1)
            shown[static_cast<size_t>(box.flag)] = *fills.begin() == kGreen ? '1' : *fills.begin() == kRed ? '0' : '?';
    }
    return shown;
}

class SoakTest : public ControllerDialogTest {
protected:
    SoakTest() : ControllerDialogTest(kPort) {}

    // A random state of the eight switch characters.
    std::string RandomState() {
        std::string state(8, '0');
        for (char& c : state)
            c = random_() % 2 ? '1' : '0';
        return state;
    }

    // Sets a burst of one to three states, a few ms apart, and waits until
    // the screen shows the last one. Every state seen meanwhile must be the
    // one shown before or one of the burst. False (with why) on a lie or a
    // state not shown in time.
    bool Burst(std::string& why, double& shownAfterMs) {
        std::set<std::string> allowed = {shown_};
        std::string last;
        const int states = 1 + static_cast<int>(random_() % 3);
        LARGE_INTEGER setAt = {};
        for (int i = 0; i < states; ++i) {
            if (i > 0)
                ::Sleep(random_() % 40);
            last = RandomState();
            // A last state the panel already shows would count as shown
            // before the tool had polled.
            while (i == states - 1 && last.compare(0, 6, shown_) == 0)
                last = RandomState();
            if (!sim_.SetSwitches(last)) {
                why = "simulator: " + sim_.LastReply();
                return false;
            }
            ::QueryPerformanceCounter(&setAt);
            allowed.insert(last.substr(0, 6));
            ++statesSet_;
        }
        const std::string expected = last.substr(0, 6);
        for (;;) {
            const std::string now = ShownSwitches(PixelCapture::OfScreen(driver_->Window()));
            if (!allowed.count(now)) {
                why = "the panel showed " + now + " while the controller went from " + shown_ + " to " + expected +
                      Evidence();
                return false;
            }
            if (now == expected)
                break;
            if (MsSince(setAt) > kShownWithinMs) {
                why = "state " + expected + " not shown within " + std::to_string(kShownWithinMs) + " ms";
                return false;
            }
            ::Sleep(2);
        }
        shownAfterMs = MsSince(setAt);
        shown_ = expected;
        return true;
    }

    // Holds the state for up to a poll period and a half, so that the next
    // burst falls anywhere in the poll cycle, watching that nothing changes.
    bool Hold(std::string& why) {
        const DWORD until = ::GetTickCount() + random_() % 150;
        do {
            const std::string now = ShownSwitches(PixelCapture::OfScreen(driver_->Window()));
            if (now != shown_) {
                why = "the panel changed to " + now + " while the controller held " + shown_ + Evidence();
                return false;
            }
            ::Sleep(5);
        } while (static_cast<LONG>(::GetTickCount() - until) < 0);
        return true;
    }

    // What the dialog holds and what the controller last said, for a failure.
    std::string Evidence() {
        std::string text = "; the dialog's flags " + Flags() + "; the controller's last events:";
        const std::vector<SimEvent> events = sim_.Events();
        for (size_t i = events.size() > 12 ? events.size() - 12 : 0; i < events.size(); ++i)
            text += "\n  " + std::to_string(events[i].us) + " " + events[i].kind + " " + events[i].bytes;
        return text;
    }

    std::mt19937 random_{std::random_device{}()};
    std::string shown_ = "000000";
    int statesSet_ = 0;
};

TEST_F(SoakTest, PanelFollowsEveryBurstAndNothingGrows) {
    const char* setting = std::getenv("KAVRO_SOAK_SECONDS");
    const int seconds = setting && std::atoi(setting) > 0 ? std::atoi(setting) : 25;
    // Holdings are read about ten times, at least every minute.
    const double sampleEveryMs = std::min(60000.0, seconds * 100.0);
    ASSERT_TRUE(sim_.SetSwitches("00000000"));
    ConnectOk();

    std::string why;
    double shownAfterMs = 0;
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(Burst(why, shownAfterMs) && Hold(why)) << "warm-up: " << why;
    std::vector<ProcessHoldings> samples = {ProcessHoldings::Now()};
    std::printf("start    %s\n", samples.back().Text().c_str());
    std::fflush(stdout);

    std::vector<double> latencies;
    int bursts = 0;
    LARGE_INTEGER start, sampled;
    ::QueryPerformanceCounter(&start);
    sampled = start;
    while (MsSince(start) < seconds * 1000.0) {
        ASSERT_TRUE(Burst(why, shownAfterMs)) << "burst " << bursts << ": " << why;
        latencies.push_back(shownAfterMs);
        ++bursts;
        // Read while the panel is settled: the GDI count briefly fills the
        // GDI table, and a paint meanwhile would go wrong.
        if (MsSince(sampled) >= sampleEveryMs) {
            samples.push_back(ProcessHoldings::Now());
            std::printf("%5.0f s  %s\n", MsSince(start) / 1000.0, samples.back().Text().c_str());
            std::fflush(stdout);
            ::QueryPerformanceCounter(&sampled);
        }
        ASSERT_TRUE(Hold(why)) << "after burst " << bursts << ": " << why;
    }
    samples.push_back(ProcessHoldings::Now());

    std::sort(latencies.begin(), latencies.end());
    std::printf("end      %s\n", samples.back().Text().c_str());
    std::printf("%.0f s connected: %d bursts, %d states set (%.1f a second), every burst's last state shown, "
                "no other state shown\n",
                MsSince(start) / 1000.0, bursts, statesSet_, statesSet_ * 1000.0 / MsSince(start));
    std::printf("last state of a burst set to shown on screen: median %.0f ms, 99th percentile %.0f ms, max %.0f ms\n",
                latencies[latencies.size() / 2], latencies[latencies.size() * 99 / 100], latencies.back());
    std::fflush(stdout);
    EXPECT_EQ("", samples.back().GrowthSince(samples.front())) << "from the first to the last reading";
}

}  // namespace
