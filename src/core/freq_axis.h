#pragma once

#include "core/display_state.h"

namespace vna::core {

struct AppState;

// The frequency-axis division rule: corrects `end_freq` and `start_freq` against the instrument's
// limits, chooses the division count and MHz per division, and recomputes `scan_points` (and
// `delta_freq` when the grid would hold more points than allowed). The points stop at `stopLimit`
// as well (the end of a custom cal while one is loaded).
FreqAxis ComputeFreqAxis(AppState& st, double stopLimit = 1e300);

// Rounding of the graph rules: to the nearest integer, halves to even.
int NearestEven(double x);

// The largest number of points a sweep may have.
int MaxScanPoints(const AppState& st);

} // namespace vna::core
