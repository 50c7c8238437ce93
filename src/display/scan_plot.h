#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vna::core {
struct Program;
struct AppState;
} // namespace vna::core

namespace vna::display {

// Which phase the Port B phase trace shows.
enum class PhaseB { None, S21, S11, Impedance };
PhaseB PhaseTraceB(const core::AppState& st);

// A trace that the present settings show, for the legend and the plot-parameters dialog.
struct TraceInfo {
    std::string name;
    std::uint32_t color = 0;
    int style = 0;
};
std::vector<TraceInfo> EnabledTraces(const core::AppState& st);

// The values of one Port B point, as the Port B sweep has them when it draws the point.
struct PortBValues {
    double freq = 0;          // MHz
    double s21db = 0;         // dB
    double s21phase = 0;      // radians
    double s11db = 0;         // dB
    double s11phase = 0;      // radians
    double delay = 0;         // ns
    double insertionLoss = 0; // dB
};

// The sweeps draw through these four calls: BeginSweepPlot once before the first point, then
// PlotPointA (from the values in p.point) or PlotPointB for every point n = 0, 1, 2, ... (the
// first point only sets the start of every trace), then EndSweepPlot.
void BeginSweepPlot(core::Program& p);
void PlotPointA(core::Program& p, int n);
void PlotPointB(core::Program& p, int n, const PortBValues& v);
// Ends the sweep's drawing: redraws the frame over the traces and, in a recycle run, flips to the
// other colour set for the next sweep.
void EndSweepPlot(core::Program& p);

// Pixel y of the Zmag trace of the last point drawn (the Port A sweep sums its steps).
int LastZmagY(const core::Program& p);

// Fills p.point from the stored Port A arrays at index i (the values a replay would draw).
void PointFromScanA(core::Program& p, int i);
PortBValues PointFromScanB(const core::Program& p, int i);

// Redraws the empty graph and then the stored scan of the active port (points 0 ..
// last_scan_index), for a resize, a change of scales or styles, or a loaded scan.
void RedrawScan(core::Program& p);

// The notes of a loaded or recorded scan: its description in blue above the graph and, for a scan
// taken with a custom cal, "CUSTOM CAL" at the graph's lower left.
void DrawLoadedNotes(core::Program& p, const std::string& description, bool customCal);
// The notes of the active port's scan.
void DrawScanNotes(core::Program& p);

} // namespace vna::display
