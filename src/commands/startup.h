#pragma once

#include "core/command_line.h"

namespace vna::core {
struct Program;
}

namespace vna::commands {

// The not-responding message of the start-up, shown once when the instrument does not answer.
extern const char* const NotRespondingMessage;

// Start-up steps 1 to 30: constants, diagnostic flag files, defaults, init and config files,
// main window, instrument, title, menus, identification, command line, scan limits, last graph,
// cal file, instrument settings, tone, external control, interpolation. Nothing here ends the
// program early.
void Startup(core::Program& p, const core::StartOptions& options);

// Waits for and dispatches window messages while ProgramRunning is set.
void MainLoop(core::Program& p);

// The shutdown steps after the main loop: TDR file, expansion port, init file, RF ports off,
// last graphs, tone output, main window, serial port. Returns the exit code (0).
int Shutdown(core::Program& p);

// The whole run: Startup, MainLoop, Shutdown.
int RunProgram(core::Program& p, const core::StartOptions& options);

} // namespace vna::commands
