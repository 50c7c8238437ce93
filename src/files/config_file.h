#pragma once

namespace vna::core {
struct Program;
}

namespace vna::files {

// Reads the config file named by `config_file` (or the default config) into the config
// settings, the band table and the default colours.
void ReadConfigFile(core::Program& p);

} // namespace vna::files
