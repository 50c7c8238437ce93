#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/app_state.h"
#include "core/display_state.h"
#include "core/scan_arrays.h"

namespace vna::core {
struct Program;
}

// The marker table and what the window, the charts and vna-cli show of it: inserting, removing and
// sorting markers, the frequency under the mouse, the rotation of the Port A values, the values of
// a stored scan at a marker, the rows of the marker window and the marker lines on the graph.
namespace vna::display {

// Degrees per radian of the marker window and the marker text export.
inline constexpr double MarkerDegrees = 57.296;

// A slot holds a marker when its frequency lies above 0.001 and below 999 MHz.
bool MarkerIsSet(const core::Marker& m);
// Frees every slot (frequency 10000, the other fields 0), markerNext = 1; markerena is the
// caller's.
void ClearMarkerTable(core::AppState& st);
// After every marker command: markerCount recounted, markerNext = markerCount + 1 (0 beyond 20).
void AfterMarkerCommand(core::AppState& st);
// Bubble passes until no swap, free slots last; markerNext = the first free slot (1 when none).
// False when 1000 passes did not sort the table (the caller says "Error in sorting markers.").
bool SortMarkers(core::AppState& st);
// The "Insert" of the "Marker" dialog: nothing (false) when a marker lies within 0.0001 MHz of
// `mhz`; else the marker goes to slot markerNext (1 after 20 or when unset), which advances. The
// caller sorts.
bool InsertMarker(core::AppState& st, double mhz);
// The "Remove": `mhz` rounded to 0.005 MHz; above 0.005 the nearest marker is freed (the later
// slot of equal distances), else the one in slot markerNext. The caller sorts.
void RemoveMarker(core::AppState& st, double mhz);

// The marker frequency at mouse x: (x - X1) / pxPerMHz + plotStart, rounded to 1/200 MHz when the
// graph span exceeds 0.05 MHz, else to 1/500 MHz.
double RoundMarkerFreq(double mhz, double span);
double MarkerFreqAtX(const core::Program& p, int x);
// The text of the "Marker" dialog's frequency field: a number in MHz, or with a unit letter
// (k or K kHz, m or M MHz, g or G GHz; "Hz" after it is allowed). Nothing for a text that is not a
// number, a negative one, or one above `maxMhz`.
std::optional<double> ParseMarkerFreq(std::string_view text, double maxMhz);

// The impedance through a lossless line of Zo = z0re + j z0im, -degrees long.
struct Impedance {
    double rs = 0;
    double xs = 0;
    double phase = 0; // radians, atan(xs / rs)
};
Impedance RotateImpedance(double rs, double xs, double z0re, double z0im, double degrees);

// The grid of the scan a port holds (its own limits, or the present ones before a scan was
// recorded) and its number of points.
struct ScanGrid {
    double start = 0;
    double step = 0;
    int count = 0;
    double stop() const { return start + step * (count - 1); }
};
ScanGrid GridOfPort(const core::AppState& st, bool portB);

// The point index i below `mhz` on the grid and the part of a step past it: i limited to 0..count-1.
struct GridPlace {
    int i = 0;
    double frac = 0; // 0..1 of a step
};
GridPlace PlaceOnGrid(const ScanGrid& g, double mhz);
// Linear interpolation of a[i] .. a[i+1]; a phase (degrees or radians by `fullTurn`) is taken from
// point i when the two differ by 170 degrees or more, so a wrap never reads as 0.
double InterpolateValue(const core::ScanArray& a, const ScanGrid& g, const GridPlace& at);
double InterpolatePhase(const core::ScanArray& a, const ScanGrid& g, const GridPlace& at, double fullTurn);

// Fields 1..6 of a Port A marker at `mhz` from the stored scan (|Z| and phase interpolated, Rs and
// Xs from them, SWR and return loss against Zo), or fields 9 and 10 of a Port B marker. False
// when `mhz` lies outside the scan.
bool MarkerFromScanA(const core::Program& p, double mhz, core::Marker& m);
bool MarkerFromScanB(const core::Program& p, double mhz, core::Marker& m);
// Fields 3..6 from fields 1 and 2 (Rs, Xs): |Z|, phase, SWR and return loss against Zo.
void CompleteMarkerA(const core::AppState& st, core::Marker& m);
// The marker with the rotation of `markerRotation` applied to Rs, Xs and the phase.
core::Marker RotatedMarker(const core::AppState& st, const core::Marker& m);

// The texts of the marker window: the lines above the rows (stamp, rotation note, reference
// impedance), the heading, and one row per marker (its label, the frequency and SWR part, and the
// Rs, Xs, |Z|, phase part; Port B one part). Values as the window shows them (limits applied).
struct MarkerRowText {
    std::string first;  // label, frequency, SWR (Port A) or the whole row (Port B)
    std::string second; // Rs Xs |Z| phase (Port A)
    double swr = 0;     // for the bar
};
std::vector<std::string> MarkerWindowHeader(const core::Program& p, bool portB);
std::string MarkerWindowHeading(const core::AppState& st, bool portB);
MarkerRowText MarkerRow(const core::AppState& st, int slot, bool portB);
// Length of the SWR bar: nint(log10(SWR) * 50 / log10(5)) limited to 1..50, 2 when below 1.
int SwrBarLength(double swr);
// Whether slot k lies within the limits start..stop (the window shows only those).
bool MarkerWithin(const core::AppState& st, int slot, double start, double stop);

// Draws the marker lines (XOR, so a second call removes them) on the main window's graph, with
// their numbers in red when shown and in the background colour when erased.
void DrawMarkers(core::Program& p);

} // namespace vna::display
