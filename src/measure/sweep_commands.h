#pragma once

namespace vna::core {
struct Program;
}

// The main window's sweep commands.
namespace vna::measure {

// "Scan": the empty graph, then a sweep of the active port. Refused while a sweep runs and
// without an instrument.
void ScanCommand(core::Program& p);
// "Rescan": a sweep of the active port over the graph as it stands.
void RescanCommand(core::Program& p);
// "Recycle": switches the repeating sweep on (sweeping until it is switched off, Halt or Quit,
// or the instrument fails) or off. The graph is cleared after every `Recycle_depth` sweeps (never
// with 0); successive sweeps alternate between the normal and the light colours.
void RecycleCommand(core::Program& p);

} // namespace vna::measure
