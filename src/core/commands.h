#pragma once

#include "platform/events.h"

namespace vna::core {

struct Program;

// The main window's event handler: classifies the event and runs its command.
void MainWindowEvent(Program& p, const platform::Event& event);

// Closes every secondary window and clears ProgramRunning; the shutdown sequence follows when the
// main loop ends. Also the close request of the main window and the system's request to end.
void Quit(Program& p);

} // namespace vna::core
