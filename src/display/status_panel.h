#pragma once

namespace vna::core {
struct Program;
}

namespace vna::display {

// Refreshes the six status buttons whose texts changed.
void RefreshStatusPanel(core::Program& p);

} // namespace vna::display
