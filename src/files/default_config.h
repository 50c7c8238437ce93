#pragma once

#include <string_view>

namespace vna::core {
struct Program;
}

namespace vna::files {

// The default config file "_VNA_Default.cfg" as shipped with the program (built into it).
std::string_view DefaultConfigText();

// Puts the shipped default config file into the program's folder when it is not there, so a first
// run finds it. An existing file (perhaps edited by the user) is never replaced. False when the
// file is missing and could not be written (the config reader then says that it is missing).
bool InstallDefaultConfig(core::Program& p);

} // namespace vna::files
