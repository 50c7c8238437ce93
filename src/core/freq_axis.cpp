#include "core/freq_axis.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "core/app_state.h"

namespace vna::core {

namespace {

// Candidate division counts and MHz per division of the frequency axis, in the order they are tried.
constexpr int DivisionCounts[] = {20, 18, 16, 15, 12, 10, 8};
constexpr double DivisionSteps[] = {0.0001, 0.0002, 0.0005, 0.001, 0.002, 0.005, 0.01, 0.02,
                                    0.05,   0.1,    0.2,    0.5,   1,     2,     5,    10};

} // namespace

int NearestEven(double x) {
    if (!std::isfinite(x)) {
        return 0;
    }
    const double r = std::nearbyint(std::clamp(x, -1e9, 1e9));
    return static_cast<int>(r);
}

int MaxScanPoints(const AppState& st) {
    // Before a config file set a smaller limit the full capacity applies.
    constexpr int Limit = MaxSweepPoints;
    return st.maxScanPoints >= 20 ? std::min(st.maxScanPoints, Limit) : Limit;
}

FreqAxis ComputeFreqAxis(AppState& st, double stopLimit) {
    FreqAxis a;
    if (st.end_freq > st.maximumfreq) {
        st.end_freq = st.maximumfreq;
    }
    if (st.start_freq < st.minimum_freq) {
        st.start_freq = 1;
    }
    a.plotStart = st.plot_at_zero ? 0.0 : st.start_freq;
    const double span = st.end_freq - a.plotStart - 1e-6;
    double best = 1e7;
    int bestCount = 20;
    double bestStep = st.maximumfreq >= 200 ? 20 : 10;
    for (int count : DivisionCounts) {
        const int steps = static_cast<int>(std::size(DivisionSteps)) + (st.maximumfreq >= 200 ? 1 : 0);
        for (int s = 0; s < steps; ++s) {
            const double step = s < static_cast<int>(std::size(DivisionSteps)) ? DivisionSteps[s] : 20.0;
            const double excess = step * count - span;
            if (excess >= 0 && excess < best) {
                best = excess;
                bestCount = count;
                bestStep = step;
            }
        }
    }
    a.xDivs = bestCount;
    a.mhzPerDiv = bestStep;
    a.plotStop = a.plotStart + bestStep * bestCount;

    // The number of points of the grid over the axis: every point up to the stop, never one past
    // it. (A rounded count would put the last point up to half a step beyond the stop: past the
    // instrument's range or the end of the cal table, which then refuses the whole sweep.) The
    // small allowance keeps a stop that the steps reach exactly.
    double stop = std::min({a.plotStop, st.maximumfreq, stopLimit});
    if (st.delta_freq > 0 && std::isfinite(st.delta_freq)) {
        const double n = std::floor((stop - st.start_freq) / st.delta_freq + 1e-6) + 1;
        const int maxPoints = MaxScanPoints(st);
        if (!(n <= maxPoints)) {
            st.scan_points = maxPoints;
            st.delta_freq = (stop - st.start_freq) / (maxPoints - 1);
        } else {
            st.scan_points = std::max(1, static_cast<int>(n));
        }
    }
    return a;
}

} // namespace vna::core
