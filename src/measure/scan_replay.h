#pragma once

namespace vna::core {
struct Program;
}

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
