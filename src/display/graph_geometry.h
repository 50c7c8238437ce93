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

// The per-redraw quantities: frequency axis, divisions, centre lines and the scale factor of every
// trace. Run at the start of every redraw.
void ComputeScaleFactors(core::Program& p);

// Pixel x of a frequency on the present axis, limited to the box.
int FreqToX(const core::GraphGeometry& g, double mhz);

// Redraws the graph window from the scan arrays and the settings.
void RedrawGraph(core::Program& p);

// Shows the screen-geometry diagnostic: the box outline, its coordinates and sample text lines.
void ScreenGeometryDiagnostic(core::Program& p);

} // namespace vna::display
