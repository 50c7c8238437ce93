#pragma once

namespace vna::core {
struct Program;
}

namespace vna::files {

// Reads "VNA_Init_Data.ini" from the program's folder into the settings; a missing or
// foreign file leaves the defaults.
void ReadInitFile(core::Program& p);
// Writes the settings to "VNA_Init_Data.ini" in the program's folder; false when it could
// not be written (the old file then stays as it was).
bool WriteInitFile(core::Program& p);

} // namespace vna::files
