#include "bench/clock_map.h"

#include <windows.h>

#include <algorithm>
#include <cmath>

#include "sim/win/sim_client.h"

namespace {

constexpr int kRoundTrips = 30;

}  // namespace

double QpcNowUs() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1e6 / frequency;
}

bool ClockMap::Sync(SimController& sim) {
    Point best = {0, 0, -1};
    for (int i = 0; i < kRoundTrips; ++i) {
        const double before = QpcNowUs();
        const long long simNow = sim.Now();
        const double after = QpcNowUs();
        if (simNow < 0)
            return false;
        const Point p = {(before + after) / 2, static_cast<double>(simNow), (after - before) / 2};
        if (best.halfRoundTripUs < 0 || p.halfRoundTripUs < best.halfRoundTripUs)
            best = p;
    }
    points_.push_back(best);
    return true;
}

double ClockMap::SimUs(double qpcUs) const {
    if (points_.empty())
        return qpcUs;
    if (points_.size() == 1)
        return qpcUs + points_[0].simUs - points_[0].qpcUs;
    // The segment that holds the reading, or the nearest one at either end.
    size_t i = 1;
    while (i + 1 < points_.size() && qpcUs > points_[i].qpcUs)
        ++i;
    const Point& a = points_[i - 1];
    const Point& b = points_[i];
    const double rate = (b.simUs - a.simUs) / (b.qpcUs - a.qpcUs);
    return a.simUs + (qpcUs - a.qpcUs) * rate;
}

double ClockMap::FirstOffsetUs() const { return points_.empty() ? 0 : points_.front().simUs - points_.front().qpcUs; }

double ClockMap::UncertaintyUs() const {
    double worst = 0;
    for (const Point& p : points_)
        worst = std::max(worst, p.halfRoundTripUs);
    return worst;
}

double ClockMap::DriftPpm() const {
    if (points_.size() < 2)
        return 0;
    const Point& a = points_.front();
    const Point& b = points_.back();
    return ((b.simUs - a.simUs) / (b.qpcUs - a.qpcUs) - 1.0) * 1e6;
}
