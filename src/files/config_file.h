#pragma once

#include <string>
#include <string_view>

namespace vna::core {
struct Program;
}

namespace vna::files {

inline constexpr const char* DefaultConfigName = "_VNA_Default.cfg";
inline constexpr const char* LastConfigCopyName = "LastVNA.cfg";
// The number of entries (data lines) of a complete config file.
inline constexpr int ConfigEntries = 63;

// How far a config file was read.
enum class ConfigRead {
    NotFound,   // neither the named file nor the default one could be opened (the user was told)
    OldVersion, // a version older than the program needs: nothing taken (the user was told)
    Partial,    // the file ended before its last entry: the entries read so far are in effect
    Complete,
};

// Reads the config file named by `config_file` (a bare name is looked for in the program's folder),
// falling back to "_VNA_Default.cfg" in the program's folder, into the config settings, the band
// table and the default colours. `fromMenu` is 0 at start-up and 1 from "Load Config File" (the
// window size is then taken over). The outcome is also in `ConfigLoaded` (1 when complete).
ConfigRead ReadConfigFile(core::Program& p, int fromMenu);

// At the start of a sweep or a Port A calibration: tells the user when no config file was read
// completely. The operation goes on either way.
void CheckConfigLoaded(core::Program& p);

// The text the editor shows for a file: its lines joined with CR LF, and no more lines once the
// text has reached 32509 characters. False when the file cannot be read.
bool ConfigEditorText(const std::string& path, std::string& text);

// The path a config file name is read from: a bare name (no folder) is taken from the program's
// folder.
std::string ConfigReadPath(const core::Program& p, std::string_view name);

} // namespace vna::files
