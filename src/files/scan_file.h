#pragma once

#include <string>
#include <string_view>

#include "files/scan_format.h"

namespace vna::core {
struct Program;
struct AppState;
} // namespace vna::core

// Saving and loading the scans of the two ports: the scan files with their CSV exports, the
// automatically saved last graphs, and Touchstone files in place of a scan file.
namespace vna::files {

// Loads a Port A scan into the Port A graph. `ScanFileMode` chooses the file: 0 asks the user
// (a ".scn" scan file or a ".s1p" Touchstone file), 1 the last graph saved at exit, 3 the file
// named on the command line, 10 the automatically saved graph of the present suffix
// (`swapToggleA`). A file that cannot be opened ends the load silently; a damaged one is
// reported and leaves the graph as it was.
void LoadScanA(core::Program& p);
// Loads a Port B scan (".scnb", or ".s2p" when asked) into the Port B graph, by the same modes.
void LoadScanB(core::Program& p);

// Saves the Port A scan. `ScanFileMode` chooses the name: 0 asks the user (then a CSV export is
// written beside the scan file; a name ending in ".s1p" writes a Touchstone file instead), 1 the
// last graph (at exit), 10 the automatically saved graph of the present suffix. Leaves
// `ScanFileMode` at 0. True when the file was written.
bool SaveScanA(core::Program& p);
bool SaveScanB(core::Program& p);

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

// The present scan of a port as a scan file record, and a record put into the program (limits,
// scales, arrays and the scan's settings, by the rules of the scan file readers). `fileName` is
// the name shown under the graph. Applying redraws nothing; ShowLoadedScan replays the arrays
// and redraws the graph when the port is shown.
ScanFileA CaptureScanA(const core::Program& p);
ScanFileB CaptureScanB(const core::Program& p);
void ApplyScanA(core::Program& p, const ScanFileA& scan, std::string_view fileName);
void ApplyScanB(core::Program& p, const ScanFileB& scan, std::string_view fileName);
void ShowLoadedScanA(core::Program& p);
void ShowLoadedScanB(core::Program& p);
// Draws the description of the active port's scan (in blue, above the graph) and, for a scan
// taken with a custom cal, "CUSTOM CAL" at the graph's lower left.
void DrawScanNotes(core::Program& p);

// Reads the file at `path` by its extension (".scn", ".s1p" or a CSV export for Port A; ".scnb",
// ".s2p" or a "_B" CSV export for Port B) into the program, with the messages of the loaders.
// False when it could not be read (the program is then unchanged).
bool LoadScanFileA(core::Program& p, const std::string& path);
bool LoadScanFileB(core::Program& p, const std::string& path);

// The description under a loaded scan: "File: " and the name padded with blanks to 20 characters.
std::string LoadedFileCaption(std::string_view path);

} // namespace vna::files
