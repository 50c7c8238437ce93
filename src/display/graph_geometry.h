#pragma once

namespace vna::core {
struct Program;
}

namespace vna::display {

// Computes the graph box and fonts from `WinWidth` and `WinHeight`.
void ComputeGraphGeometry(core::Program& p);
// Redraws the graph window from the scan arrays and the settings.
void RedrawGraph(core::Program& p);
// Shows the screen-geometry diagnostic.
void ScreenGeometryDiagnostic(core::Program& p);

} // namespace vna::display
