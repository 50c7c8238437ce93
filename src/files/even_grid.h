#pragma once

#include <string>
#include <vector>

namespace vna::files {

// A frequency grid of evenly spaced points, as the scan arrays hold them.
struct EvenGrid {
    double start = 0; // MHz
    double step = 0;  // MHz
    int count = 0;
    bool interpolated = false; // the points were not evenly spaced and were interpolated
};

// The step given to a grid of one point, which has none of its own (MHz).
inline constexpr double OnePointStep = 0.001;

// Puts points given at the frequencies `freq` (MHz, strictly ascending, at least one) onto an
// even grid with the same first and last frequency and the same number of points. When the
// points are already evenly spaced (within a hundredth of a step, or the rounding of a frequency
// written with 6 decimals in single precision) they are kept as they are; otherwise every column
// is interpolated linearly onto the grid; a single point gets the step OnePointStep. Nothing but
// `problem` when the frequencies are not ascending or there is no point.
bool MakeEvenGrid(const std::vector<double>& freq, const std::vector<std::vector<double>*>& columns,
                  EvenGrid& grid, std::string& problem);

} // namespace vna::files
