#pragma once

namespace vna::core {
struct Program;
}

namespace vna::files {

// Loads the Port A scan chosen by `ScanFileMode` (the last graph, or the file named on the
// command line) into the Port A graph.
void LoadScanA(core::Program& p);
// Loads the last Port B graph.
void LoadScanB(core::Program& p);
// Saves the Port A scan as `ScanFileMode` says (1: the last-graph file).
void SaveScanA(core::Program& p);
// Saves the Port B scan as `ScanFileMode` says (1: the last-graph file).
void SaveScanB(core::Program& p);

} // namespace vna::files
