#pragma once

#include <string>

namespace vna::core {

struct DataFolderResult {
    std::string folder;  // with a trailing separator; empty when no folder could be used
    std::string problem; // a message for the user when the chosen folder is not usable
};

// The file that marks the executable's folder as the home of the program's data (a portable install).
inline constexpr const char* PortableMarkerName = "portable";

// Chooses the program's folder: `requested` (from --data-dir or VNA_HOME) when given; else the
// executable's folder when it is marked portable (a file named "portable", or a settings file
// VNA_Init_Data.ini already there); else $XDG_DATA_HOME/vna, or ~/.local/share/vna. A folder that
// does not exist is created. When the folder cannot be created or written, the result still names
// it (files are then read but not written) and `problem` says so.
DataFolderResult ChooseDataFolder(const std::string& requested, const std::string& executableFolder,
                                  const char* (*getenv)(const char*) = nullptr);

bool FolderIsWritable(const std::string& folder);
// Whether `folder` is marked as a portable install (see ChooseDataFolder).
bool FolderIsPortable(const std::string& folder);

} // namespace vna::core
