#pragma once

#include <vector>

namespace vna::core {
struct Program;
}

// "DSP Filter 1" and "DSP Filter 2": a Port A rescan around a centre frequency whose |Z| and phase
// are cleaned of noise before the resonance search.
namespace vna::tools {

// Filter 1 rejects impulse noise (a reading knocked off by a spur or a bad contact): every point
// that lies further from the median of the seven points around it than `factor` times their
// spread (1.4826 x the median absolute deviation), and further than `floor`, is replaced by that
// median. `relativeFloor` makes the floor a fraction of the median itself (for |Z|). A smooth curve,
// however steep, passes unchanged. Returns the number of points replaced.
int RejectOutliers(std::vector<double>& v, double factor, double floor, bool relativeFloor);

// Filter 2 also smooths the random noise that remains: a five-point quadratic (Savitzky-Golay)
// smoothing, which keeps the position and slope of a resonance where a plain running mean would
// flatten it. The two points at either end are left as they are.
void SmoothQuadratic(std::vector<double>& v);

// Filters the |Z| and phase of the stored Port A points 0..`last_scan_index` with filter 1 or 2
// (the threshold factor and floor of the config file), recomputes the scan from them and finds the
// resonances again. Returns the number of points filter 1 replaced.
int FilterStoredScanA(core::Program& p, int filter);

// The menu command: asks the centre and the span (the first resonance, or the lowest SWR, and a
// tenth of the present span are offered), sweeps Port A over them with the points of the present
// grid, filters the scan and shows it with its resonances.
void DspFilterRescan(core::Program& p, int filter);

} // namespace vna::tools
