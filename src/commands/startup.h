#pragma once

#include "core/command_line.h"

#include <string>

namespace vna::core {
struct AppState;
struct Program;
} // namespace vna::core

namespace vna::commands {

// The not-responding message of the start-up, shown once when the instrument does not answer.
extern const char* const NotRespondingMessage;
// The message as shown: followed by the device tried and why it could not be opened (or that it
// opened and nothing answered).
std::string NotRespondingText(const core::AppState& st);

// Start-up steps 1 to 30: constants, diagnostic flag files, defaults, init and config files,
// main window, instrument, title, menus, identification, command line, scan limits, last graph,
// cal file, instrument settings, tone, external control, interpolation. Nothing here ends the
// program early.
void Startup(core::Program& p, const core::StartOptions& options);

// The instrument's start values (1 MHz, full amplitude, the lowest gains, the ports off, one
// reading): what start-up puts in force, replacing those of the init file, so that every sweep
// starts from a known receiver state whatever the instrument was left in.
void ResetInstrumentSettings(core::Program& p);

// Demo mode for the rest of the run (or until a port is entered again): no instrument, both ports
// counted as calibrated, "     DEMO MODE   " in the title.
void EnterDemoState(core::Program& p);

// After ConnectInstrument on a port entered from the menu: the steps of the start-up that follow
// the connection. The not-responding message and demo mode when nothing answered; otherwise the
// identification, model or date-code and firmware checks, the instrument's start values, the cal
// file of the settings (checked against this instrument's ID), its idle settings and the cal
// interpolation. The demo mode's calibration flags never carry over to the instrument.
void ReconnectInstrument(core::Program& p);

// Waits for and dispatches window messages while ProgramRunning is set.
void MainLoop(core::Program& p);

// The shutdown steps after the main loop: TDR file, expansion port, init file, RF ports off,
// last graphs, tone output, main window, serial port. Returns the exit code (0).
int Shutdown(core::Program& p);

// The whole run: Startup, MainLoop, Shutdown.
int RunProgram(core::Program& p, const core::StartOptions& options);

} // namespace vna::commands
