#pragma once

#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/display_state.h"
#include "display/cursor.h"

namespace vna::core {
struct Program;
}

// The TDR view of the graph window: its axes, the trace of the step response, the cursor
// read-out of distance and impedance, and the rows of "Cursor Data". The trace is the one in
// p.tdr; the measurement and the transform that make it are the TDR tool's.
namespace vna::display {

// The pixel factors of the present box and TDR settings.
struct TdrScale {
    double dxFactor = 1;     // pixels per foot
    double zPxPerOhm = 1;    // impedance axis
    double rhoPxPerUnit = 1; // reflection-coefficient axis
    int referenceY = 0;      // the 50 ohm line of the impedance axis
};
TdrScale TdrScaleFactors(const core::Program& p);

// The colour of TDR trace colour index 1..5: RedColor, Green, Blue, Magenta, (0, 200, 200).
core::Rgb TdrTraceColor(const core::AppState& st, int index);

// The pixel x of step-response index k: X1 + dxFactor (feetPerIndex (k + 1) - tdrOffset).
int TdrIndexX(const core::Program& p, const TdrScale& s, int k);

// The empty TDR graph: the box, grid, distance numbers, the impedance or reflection-coefficient
// axis with its numbers and the caption line.
void DrawTdrAxes(core::Program& p);
// The trace of p.tdr in `color` (lines or dots), filling its (x, impedance) table for the cursor.
// Works without a window too, so the table is there for the cursor and the tools.
void DrawTdrTrace(core::Program& p, core::Rgb color);
// The whole view: the axes and the last trace in its colour.
void DrawTdrView(core::Program& p);

// The distance (feet) under pixel x and the impedance there, interpolated linearly between the
// table entries around x. False when there is no trace or x lies outside the table.
bool TdrValuesAt(const core::Program& p, int x, core::CursorValues& v);
// The read-out in the status column for the values under the cursor.
std::vector<ReadoutLine> TdrReadoutLines(const core::Program& p, const core::CursorValues& v);
// The rows of "Cursor Data" in the TDR view.
std::vector<std::string> TdrCursorDataLines(const core::Program& p);

} // namespace vna::display
