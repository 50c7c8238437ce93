#pragma once

#include <string>
#include <string_view>

#include "files/scan_format.h"
#include "platform/ui.h"

namespace vna::core {
struct Program;
struct AppState;
} // namespace vna::core

// The scan commands of the main window: loading and saving the scans of the two ports (scan files,
// Touchstone files and CSV exports), the load and save items of the "File" menu and the "Comment"
// button.
namespace vna::commands {

// Loads a graph of the active display: a Port A or Port B scan file (or Touchstone file) through
// the open dialog, or a TDR graph while the TDR display is on.
void LoadGraphCommand(core::Program& p);
// Saves the graph of the active display through the save dialog.
void SaveGraphCommand(core::Program& p);
// Asks for the comment of the active port's scan; it goes into the scan file and the CSV export.
void CommentCommand(core::Program& p);

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

// A scan file record put into the program (limits, scales, arrays and the scan's settings, by the
// rules of the scan file readers). `fileName` is the name shown under the graph. Applying redraws
// nothing; ShowLoadedScan replays the arrays and redraws the graph when the port is shown. The
// result tells which settings of the file were out of range and not taken (empty when none).
std::string ApplyScanA(core::Program& p, const files::ScanFileA& scan, std::string_view fileName);
std::string ApplyScanB(core::Program& p, const files::ScanFileB& scan, std::string_view fileName);
void ShowLoadedScanA(core::Program& p);
void ShowLoadedScanB(core::Program& p);

// Reads the file at `path` by its extension (".scn", ".s1p" or a CSV export for Port A; ".scnb",
// ".s2p" or a "_B" CSV export for Port B) into the program, with the messages of the loaders.
// False when it could not be read (the program is then unchanged).
bool LoadScanFileA(core::Program& p, const std::string& path);
bool LoadScanFileB(core::Program& p, const std::string& path);

// The description under a loaded scan: "File: " and the name padded with blanks to 20 characters.
std::string LoadedFileCaption(std::string_view path);

// The open or save dialog of a scan file, starting in the scan folder; and a chosen file made the
// remembered scan file and folder.
platform::FileDialog ScanFileDialog(const core::AppState& st, std::string title, std::string filter,
                                    std::string ext);
void RememberScanFile(core::AppState& st, const std::string& path);

} // namespace vna::commands
