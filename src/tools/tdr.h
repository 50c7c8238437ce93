#pragma once

namespace vna::core {
struct Program;
}

namespace vna::tools {

// Saves the TDR data to "last_TDR_file.tdr".
void SaveLastTdrFile(core::Program& p);

} // namespace vna::tools
