#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vna::core {
struct Program;
}

namespace vna::files {

inline constexpr const char* InitFileName = "VNA_Init_Data.ini";

// Reads "VNA_Init_Data.ini" from the program's folder into the settings; a missing or foreign
// file leaves the defaults (and says so).
void ReadInitFile(core::Program& p);
// Writes the settings to "VNA_Init_Data.ini" in the program's folder; false when it could not be
// written (the old file then stays as it was, and the user has been told).
bool WriteInitFile(core::Program& p);

// The same reader and writer on any path: state files have the init file's format. `name` is the
// file name the read-only message shows.
void ReadInitFormatFile(core::Program& p, const std::string& path);
bool WriteInitFormatFile(core::Program& p, const std::string& path, std::string_view name);

// The init file's text for the present settings, as the writer puts it on disk; `msec` is the tick
// count of its Msec line. Normalises `cal_file` (the ".chan" rule) in memory, as the writer does.
std::string InitFileText(core::Program& p, std::uint32_t msec);

// The message shown when a settings or data file cannot be written.
std::string ReadOnlyMessage(std::string_view name);

// Writes `contents` to `path` through a temporary file and a rename. A file whose write
// permission is off is left alone, like a failed write. On failure the read-only message names
// `name` (nothing is shown for a path shorter than 3 characters) and the old file stays intact.
bool WriteFileOrWarn(core::Program& p, const std::string& path, std::string_view contents,
                     std::string_view name);

} // namespace vna::files
