#pragma once

namespace vna::core {
struct Program;
}

namespace vna::cal {

// Loads the cal file named by `cal_file` quietly, as at start-up.
void LoadCalFileAtStartup(core::Program& p);

} // namespace vna::cal
