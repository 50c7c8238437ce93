#pragma once

namespace vna::core {
struct Program;
}

namespace vna::measure {

// Interpolates the cal data onto the current sweep grid.
void InterpolateCal(core::Program& p);

} // namespace vna::measure
