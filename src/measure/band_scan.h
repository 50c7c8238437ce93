#pragma once

#include <cstdint>
#include <functional>

#include "instrument/self_sweep.h"

namespace vna::core {
struct GraphGeometry;
struct Program;
} // namespace vna::core

// The band scan: a fast, uncalibrated look at the scan limits. The instrument steps through them
// by itself and streams one level per step; the levels are drawn as a green trace on a
// logarithmic scale of 5 dB per division.
namespace vna::measure {

// The vertical scale of the trace: h pixels from the centre line to the top of the box (ten
// divisions of 5 dB), so `perDecade` = 0.4 h, and `factor` puts a level of 1200 at the top.
struct BandScanScale {
    double h = 0;
    double perDecade = 0;
    double factor = 0;
};
BandScanScale MakeBandScanScale(const core::GraphGeometry& g);

// The rows of one pass. A level is taken 5 below its value, at least 2, and at least the previous
// value less 5 (a two-sample peak hold). A level stands above the centre line only once three
// levels in a row rose more than one pixel above it, and drops back to it after levels at the
// line: single spikes of noise stay off the trace.
class BandScanTrace {
public:
    BandScanTrace(const BandScanScale& scale, int centreY, int top);
    // The row of the next level (never above the top of the box).
    int next(std::uint16_t value);
    bool visible() const { return visible_; }

private:
    BandScanScale scale_;
    int centreY_;
    int top_;
    double previous_ = 0; // the previous value less 5
    int counter_ = 0;
    bool visible_ = false;
};

// The step of a band scan over start..stop for the step of the scan limits: the instrument's finest
// step, 1 kHz, unless the limits ask for 2 kHz or less; and never so fine that the span takes more
// levels than a pass accepts (the pass would end before the right edge of the graph).
double BandScanStep(double start, double stop, double step);

// One pass over `start_freq`..`end_freq` in steps of `step` MHz with the given sensitivity (1
// normal, 2 high). The relays, the gains, `delta_freq`, `swr_ruler` and the receiver
// sensitivities are set for the scan and put back afterwards, and the instrument is released
// whichever way the pass ended. Draws the graph and the trace when there is a main window, and
// hands every level with its frequency to `onLevel` when it is set.
instrument::BandScanResult
BandScanPass(core::Program& p, int sensitivity, double step,
             const std::function<void(double mhz, std::uint16_t value)>& onLevel = {});

// The "Band Scan" menu items (sensitivity 1 "Normal Sensitivity", 2 "High Sensitivity(+12dB)")
// and Rescan while the band scan is the graph's mode: one pass over the scan limits, drawn.
void BandScanCommand(core::Program& p, int sensitivity);

} // namespace vna::measure
