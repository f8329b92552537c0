// One clock for the bench: this side's QueryPerformanceCounter mapped onto
// the simulator's steady clock, in which the simulator stamps its events.
//
// Each Sync asks the simulator for its time several times and keeps the
// answer with the shortest round trip: the simulator read its clock within
// that round trip, so the midpoint is off by at most half of it. Between
// syncs readings are mapped linearly, which also takes out any difference
// in rate (under Wine the counter is CLOCK_MONOTONIC_RAW and the simulator's
// clock CLOCK_MONOTONIC, which NTP may slew).
#pragma once

#include <vector>

class SimController;

// This side's QueryPerformanceCounter now, in microseconds.
double QpcNowUs();

class ClockMap {
public:
    // False when the simulator did not answer.
    bool Sync(SimController& sim);
    // A QpcNowUs() reading on the simulator's clock, in microseconds.
    double SimUs(double qpcUs) const;

    // Simulator clock minus counter at the first sync, in microseconds.
    double FirstOffsetUs() const;
    // The largest half round trip of any sync: how far a mapping may be off.
    double UncertaintyUs() const;
    // Rate difference between the first and the last sync, in parts per million.
    double DriftPpm() const;

private:
    struct Point {
        double qpcUs;
        double simUs;
        double halfRoundTripUs;
    };
    std::vector<Point> points_;
};
