#pragma once

#include <string>
#include <string_view>

#include "files/scan_format.h"

namespace vna::core {
struct Program;
struct AppState;
struct ScanSettings;
} // namespace vna::core

// Writing the scans of the two ports: the scan files with their CSV exports or Touchstone files,
// and the automatically saved last graphs.
namespace vna::files {

// Records the present limits and point count with a port's scan just measured or loaded: the
// grid its points lie on, which its files keep after the other port's sweep moved the limits.
void RecordScanGrid(const core::AppState& st, core::ScanSettings& s);

// The present scan of a port as a scan file record, on the grid it was measured or loaded on.
ScanFileA CaptureScanA(const core::Program& p);
ScanFileB CaptureScanB(const core::Program& p);

// The limit check of a save: 0, or the code of the first limit that makes no scan (1 start below
// 5 kHz, 2 stop beyond the instrument's range, 3 no step).
int ScanLimitCode(const core::AppState& st);

// Writes the scan of a port to `path` (replacing a file there in one step). A user's file
// (`userFile`) is a Touchstone file when its extension says so (".s1p", ".s2p"), else a scan file
// with its CSV export beside it. False, with the message, when it could not be written.
bool WriteScanFileA(core::Program& p, const std::string& path, bool userFile);
bool WriteScanFileB(core::Program& p, const std::string& path, bool userFile);

// Saves the scan of a port as a last graph: `mode` 1 the graph kept at exit (only when the port
// holds a scan), 10 the automatically saved graph of the present suffix. Leaves `ScanFileMode` at
// 0. True when the file was written.
bool SaveLastGraphA(core::Program& p, int mode);
bool SaveLastGraphB(core::Program& p, int mode);

// For the sweeps: what a finished live sweep leaves with its scan (its settings, stamp and
// description), and the automatic save of the last graph after it, alternating between the files
// with the suffixes "0" and "1" (only with `autoSaveGraph` on, no repeating sweep and no graph
// swap under way).
void RecordLiveScanA(core::Program& p, int customCal);
void RecordLiveScanB(core::Program& p, int customCal);
void AutoSaveGraphA(core::Program& p);
void AutoSaveGraphB(core::Program& p);

// The last-graph files in the program's folder: "VNA_LastGraph" + suffix + ".scn" and
// "VNA_LastGraphB" + suffix + ".scnb"; the suffix is "", "0" or "1".
std::string LastGraphPathA(const core::AppState& st, std::string_view suffix);
std::string LastGraphPathB(const core::AppState& st, std::string_view suffix);
// The suffix of the automatically saved graph a swap toggle points at: "0" or "1".
std::string LastGraphSuffix(int toggle);

} // namespace vna::files
