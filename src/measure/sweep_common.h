#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/app_state.h"

namespace vna::core {
struct Program;
}

// What the Port A and Port B sweeps share: the stop rules, band skip, the limits a live sweep
// starts from and the notes they draw on the graph.
namespace vna::measure::sweep_detail {

// The sweep ends once the next point lies above min(right edge of the graph, `maximumfreq`) +
// one step, but never above `maximumfreq`. Valid after BeginSweepPlot computed the axis.
double StopLimit(const core::Program& p);

// With `bandskip` on, the point at `freq` is measured only when it lies within one step of one of
// the first 12 bands of the config file.
bool BandSkipMeasures(const core::AppState& st, double freq);

// The limits of a live sweep: snapped to cal frequencies without interpolation, and the number
// of points of the graph's axis.
void NormaliseLimits(core::Program& p);

// The number of points a sweep takes: the points of the grid, at most `pointLimit` when it is set,
// and for a replay at most the points stored.
int SweepPoints(const core::Program& p, int pointLimit, bool live);

// A frequency as the sweep messages show it (the program's number rule).
std::string FreqText(const core::AppState& st, double mhz);

// Text with its top left corner at (x, y) in the graph font (nothing without a main window).
void GraphNote(core::Program& p, int x, int y, std::string_view text, core::Rgb color);
// Diagnostic mode: the board temperature above the graph.
void TemperatureNote(core::Program& p);
// "Trend=" and the setting at the graph's lower left, while smoothing is on.
void TrendNote(core::Program& p);
// Diagnostic mode: points per second and the sweep's time below the graph's right end.
void TimingNote(core::Program& p, std::uint32_t startTick, int points);

// The events waiting (a key or click clears `SweepRunning`) after every fifth point.
void PumpEveryFifthPoint(core::Program& p, int pointsDone);

} // namespace vna::measure::sweep_detail
