#pragma once

namespace vna::core {
struct Program;
}

// The scan commands of the main window: the load and save items of the "File" menu and the
// "Comment" button.
namespace vna::files {

// Loads a graph of the active display: a Port A or Port B scan file (or Touchstone file) through
// the open dialog, or a TDR graph while the TDR display is on.
void LoadGraphCommand(core::Program& p);
// Saves the graph of the active display through the save dialog.
void SaveGraphCommand(core::Program& p);
// Asks for the comment of the active port's scan; it goes into the scan file and the CSV export.
void CommentCommand(core::Program& p);

} // namespace vna::files
