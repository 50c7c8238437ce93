#pragma once

namespace vna::core {
struct Program;
}

namespace vna::commands {

// "Save State": asks for a "*.stat" path and writes every init-file setting there, in the init
// file's format.
void SaveStateCommand(core::Program& p);

// "Recall State": asks for a "*.stat" file and reads it like the init file; then loads the cal
// file and the config file that it names, checks the scan limits and redraws the graph.
void RecallStateCommand(core::Program& p);

} // namespace vna::commands
