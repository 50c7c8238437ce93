#pragma once

#include <vector>

namespace vna::core {
struct Program;
}

// The Port B phase offset of the "Enter Phase Offset" items, and the reference-level plot of
// "Plot MagRef" (diagnostic mode).
namespace vna::measure {

// Makes `radians` the Port B phase offset: every later Port B phase has it taken off, and the
// phases of the scan shown move by the change, so the graph agrees at once. The offset lasts for
// this run of the program.
void SetPhaseOffset(core::Program& p, double radians);
// "Offset = Cursor": the phase under the cursor on the Port B graph becomes 0.
void PhaseOffsetAtCursor(core::Program& p);
// "Manually Enter Offset": the offset in degrees (-360 .. 360).
void EnterPhaseOffset(core::Program& p);

// "Plot MagRef": the amplitude of the reference channel (ADC units) at every point of the present
// sweep limits, read on Port A, drawn in a window of its own. Returns the levels read (stops at a
// key, Halt or a failed reading).
std::vector<double> PlotMagRef(core::Program& p);

} // namespace vna::measure
