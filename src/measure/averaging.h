#pragma once

namespace vna::core {
struct Program;
}

namespace vna::measure {

// Sets the averaging (readings per point) in the instrument and in `average`, and shows it on the
// status panel: what every change of the user's averaging does, as opposed to the temporary
// changes within one point.
void ApplyAveraging(core::Program& p, int n);

} // namespace vna::measure
