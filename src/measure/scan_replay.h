#pragma once

namespace vna::core {
struct AppState;
struct Program;
} // namespace vna::core

// The per-point reflection quantities of a Port A scan and the replay of stored scans: the graph,
// the CSV exports and the scan files all work from what these leave in the scan arrays.
namespace vna::measure {

// Reflection coefficient, |rho|, its angle, return loss and SWR of p.point from its `rs` and
// `xs`, against the reference impedance `Zo` + j`Z0imag`.
void computeReflection(core::Program& p);

// The smoothed values of the preceding point, for smoothTrend.
struct TrendMemory {
    double rs = 0;
    double xs = 0;
    double rp = 0;
    double xp = 0;
    double zphase = 0;
    double swr = 0;
    double return_loss = 0;
    double zmag = 0;
};

// Trend smoothing of p.point, the point with index i of the sweep: from the third point on each
// value moves from the preceding smoothed value towards the new one by 1/`trend`. Every point
// is then remembered in `memory`.
void smoothTrend(core::Program& p, TrendMemory& memory, int i);

// The values of stored Port A point i as a replay takes them: |Z| and phase from `raw_zmag` and
// `raw_phase`, and the series and parallel equivalents from them, at the point's grid frequency.
void PointFromRawA(core::Program& p, int i);
// The temperature compensation of the impedance phase of p.point at `freq`, by the last
// temperature read from the instrument (`myvar1`, `myvar2`; none while `myvar1` is 0).
void CompensateTemperature(core::Program& p);

// The window (points) over which the group delay averages the phase step: |`delay_smoothing`| x N
// / 200, at least 1; a negative setting is a percentage of the points, scaled again the same way.
double DelayWindow(const core::AppState& st);

// The group delay of a Port B sweep, point by point: the phase step from point to point (a step
// of more than 1 rad is a wrap from -pi to +pi) averaged over the delay window, in ns.
class GroupDelay {
public:
    GroupDelay(double window, double deltaFreq) : window_(window), deltaFreq_(deltaFreq) {}
    // The delay at the point with this phase (radians); 0 at the first point.
    double next(double phase);

private:
    double window_;
    double deltaFreq_;
    double previous_ = 0;
    double step_ = 0;
    double count_ = 1;
    bool first_ = true;
};

// Insertion loss (dB) from S21 and S11 (dB): the S21 power against the power that entered the
// device. An S11 of 0 dB means it was not measured; the loss is then the S21 loss alone.
double InsertionLoss(double s21db, double s11db);

// Minimum SWR (`min_swr`, `min_swr_freq`) and the resonances (`reson_freq`, where the impedance
// phase crosses zero after a swing of more than 0.1 rad) over points 0..`last_scan_index`.
void findMinSwrAndResonances(core::Program& p);

// Recomputes the Port A arrays of points 0..`last_scan_index` from `raw_zmag` and `raw_phase`
// with the present `Zo` and `trend`, as a sweep without the instrument does, then finds the
// minimum SWR and the resonances. Draws nothing.
void ReplayScanA(core::Program& p);

// Recomputes the group delay and the insertion loss of the stored Port B points
// 0..`last_scan_index` from their S21 and S11 values. The stored S21 and S11 values were smoothed
// when they were measured and are left as they are. Draws nothing.
void ReplayScanB(core::Program& p);

} // namespace vna::measure
