#pragma once

namespace vna::core {
struct Program;
}

namespace vna::display {

// Computes the graph box and fonts from `WinWidth` and `WinHeight`.
void ComputeGraphGeometry(core::Program& p);
// Shows the screen-geometry diagnostic.
void ScreenGeometryDiagnostic(core::Program& p);

} // namespace vna::display
