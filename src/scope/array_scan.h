#pragma once

#include <array>
#include <string>

#include "scope/channels.h"

namespace vna::core {
struct Program;
}

// The sweeps of the array scope: a Port B sweep through one MUX channel ("Scan Chan k"), and the
// array scan, which sweeps every channel with its own cal file and shows channels 2..6 relative to
// channel 1, point by point, with the delay of each channel's line against channel 1's.
namespace vna::scope {

// What the array scan found on one channel.
struct ChannelSweep {
    bool done = false;
    int points = 0;
    double delayNs = 0;   // against channel 1, from the slope of the relative phase
    double meanDb = 0;    // the relative S21 averaged over the sweep
    double centreDeg = 0; // the relative phase at the middle point
    std::string problem;  // why the channel was not swept
};

struct ArrayScanResult {
    std::array<ChannelSweep, ChannelCount + 1> channel;
    bool stopped = false; // the user stopped it
    bool ran = false;     // it got as far as sweeping channel 1
};

// The delay (ns) of a phase that falls by `slopeDegPerMHz` degrees per MHz.
double DelayFromSlope(double slopeDegPerMHz);
// The least-squares slope of y over x (0 for fewer than two points).
double Slope(const double* x, const double* y, int n);

// The array scan over the present sweep limits. Channels without a cal file, or that carry no
// signal, are reported and passed over; without channel 1, the reference, it does not run. The
// calibration in force before it is in force again afterwards, and the result lines are drawn on
// the graph.
ArrayScanResult ArrayScan(core::Program& p);
// The lines the array scan draws on the graph, one per channel.
std::string ChannelSweepLine(int channel, const ChannelSweep& c);

// "Scan Chan k": one Port B sweep through MUX channel k, corrected with that channel's cal file.
// False, with a message, when k is not a channel, has no cal file or carries no signal.
bool ChannelScan(core::Program& p, int channel);

} // namespace vna::scope
