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

// The instrument's start values (1 MHz, full amplitude, the lowest gains, the ports off, one
// reading): what start-up puts in force, replacing those of the init file, so that every sweep
// starts from a known receiver state whatever the instrument was left in.
void ResetInstrumentSettings(core::Program& p);

// Waits for and dispatches window messages while ProgramRunning is set.
void MainLoop(core::Program& p);

// The shutdown steps after the main loop: TDR file, expansion port, init file, RF ports off,
// last graphs, tone output, main window, serial port. Returns the exit code (0).
int Shutdown(core::Program& p);

// The whole run: Startup, MainLoop, Shutdown.
int RunProgram(core::Program& p, const core::StartOptions& options);

} // namespace vna::commands
