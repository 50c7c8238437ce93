#pragma once

namespace vna::core {
struct Program;
}

namespace vna::commands {

// "Load Config File": chooses a config file and reads it; the window size is taken over, the graph
// redrawn, and the user asked to restart for the rest of the settings.
void LoadConfigFileCommand(core::Program& p);

// The "Config File Editor" window: edits config files as plain text; saving one asks for a
// restart and leaves the instrument alone for the rest of the run.
void ConfigEditor(core::Program& p);

} // namespace vna::commands
