#pragma once

#include "core/display_state.h"

namespace vna::core {
struct Program;
struct AppState;
} // namespace vna::core

namespace vna::display {

// Applies the window-size rules to `WinWidth` and `WinHeight` and computes the graph box, the
// status column and the text rows from the font metrics of the main window's canvas (estimated
// metrics while there is no window yet).
void ComputeGraphGeometry(core::Program& p);

// The frequency-axis division rule: corrects `end_freq` and `start_freq` against the instrument's
// limits, chooses the division count and MHz per division, and recomputes `scan_points` (and
// `delta_freq` when the grid would hold more points than allowed). The points stop at `stopLimit`
// as well (the end of a custom cal while one is loaded).
core::FreqAxis ComputeFreqAxis(core::AppState& st, double stopLimit = 1e300);

// The per-redraw quantities: frequency axis, divisions, centre lines and the scale factor of every
// trace. Run at the start of every redraw.
void ComputeScaleFactors(core::Program& p);

// Rounding of the graph rules: to the nearest integer, halves to even.
int NearestEven(double x);

// Pixel x of a frequency on the present axis, limited to the box.
int FreqToX(const core::GraphGeometry& g, double mhz);

// Redraws the graph window from the scan arrays and the settings.
void RedrawGraph(core::Program& p);

// Shows the screen-geometry diagnostic: the box outline, its coordinates and sample text lines.
void ScreenGeometryDiagnostic(core::Program& p);

// The largest number of points a sweep may have.
int MaxScanPoints(const core::AppState& st);

} // namespace vna::display
