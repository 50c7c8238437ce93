#pragma once

#include <cstdint>

#include "core/cal_table.h"

namespace vna::core {
struct Program;
}

// The cal table on the sweep grid: three-point quadratic interpolation on the equally spaced cal
// grid, and the resistor factor of the three-standard correction.
namespace vna::measure {

// Where a frequency falls on the cal grid, after the centring rules: the quadratic uses the cal
// points k - 1, k, k + 1 at fraction t of a cal step from k.
struct GridPosition {
    std::int64_t index = 0; // the cal index of the frequency before centring
    int k = 0;
    double t = 0;
    bool below = false;  // below the first usable cal index
    bool beyond = false; // a cal step or more past the last cal point
};

// `bias` is added to the index before it is rounded down (0 for the table build, 1e-7 for a
// single frequency). The centre is kept inside the table (k - 1 >= firstcalndx, k + 1 < n) and a
// frequency outside it takes the value of the nearest end: nothing is ever read outside the table.
GridPosition LocateOnCalGrid(const core::CalTable& t, double f, double bias);
// y1 + t (b + t a) over the points k - 1, k, k + 1 of `a`.
double QuadraticAt(const core::CalArray& a, int k, double t);
// True when the table can be interpolated at all (a grid step and enough points).
bool CalTableUsable(const core::CalTable& t);

// Rebuilds the interpolated cal values for every point of the present sweep grid. Runs the
// scan-limit check first; a grid point below the cal table (or past its end) while the cal of the
// port in use is valid is reported, clears both cal flags and stops the build. Does nothing
// without an instrument.
void BuildInterpolation(core::Program& p);

// Interpolates the cal values at `freq` and corrects the last raw reading there at once, leaving
// the corrected and derived values in p.point (the single-frequency readout).
void InterpolateAtFreq(core::Program& p);

} // namespace vna::measure
