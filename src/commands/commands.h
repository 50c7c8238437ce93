#pragma once

#include "platform/events.h"

namespace vna::core {
struct Program;
}

namespace vna::commands {

// The main window's event handler: classifies the event and runs its command.
void MainWindowEvent(core::Program& p, const platform::Event& event);

// Runs the command of a menu item or of a button of the button row.
void RunCommand(core::Program& p, int id);

// Closes every secondary window and clears ProgramRunning; the shutdown sequence follows when the
// main loop ends. Also the close request of the main window and the system's request to end.
void Quit(core::Program& p);

// Stops sweeping: the running, repeating and band-scan flags are cleared, the RF ports switched
// off and the graph redrawn.
void Halt(core::Program& p);

// The "Port A/B" button: switches the active port when Port B is calibrated.
void SwitchPort(core::Program& p);

// Loads the other of the two automatically saved graphs of the active port.
void SwapGraphs(core::Program& p, int step);

// Saves the main window's picture (without its bottom 50 pixels) as a bitmap file.
void SaveImageBitmap(core::Program& p);

// Rebuilds the graph at the size in WinWidth and WinHeight: geometry, button row, redraw.
void RebuildMainWindow(core::Program& p);

// The About window.
void ShowAbout(core::Program& p);

} // namespace vna::commands
