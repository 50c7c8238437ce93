#pragma once

#include <string>
#include <vector>

namespace vna::core {
struct Program;
}

namespace vna::commands {

// Where the two diagnostic flag files are looked for on this system: "c:\vna_diag2flag.txt" is
// "vna_diag2flag.txt" in the program's folder, and "c:\temp" is the system's temporary folder.
std::vector<std::string> DiagnosticFlagFiles(const std::string& programFolder);

// Clears the five diagnostic switches, then sets DiagMode and switch 1 when one of the flag files
// can be opened for reading (its content is never read).
void CheckDiagnosticFlagFiles(core::Program& p);

// Feeds one key of the main window to the four-character diagnostic codes. Returns true when a
// code was recognised (its effect has then been applied).
bool FeedKeyCode(core::Program& p, char key);

} // namespace vna::commands
