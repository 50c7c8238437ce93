#pragma once

#include <string>
#include <vector>

namespace vna::core {
struct Program;
}

// The point-data monitor: repeated corrected readings of Port A at one frequency, shown over the
// graph while the user adjusts the device (an antenna, a matching network), until a key, a click,
// Halt or Quit ends it.
namespace vna::measure {

// The lines the monitor shows for the point in p.point at `freq` MHz.
std::vector<std::string> PointDataLines(const core::Program& p);

// "Point Data" (key D): asks for the frequency (the constant frequency `freq` is offered), then
// reads, corrects and shows the point again and again. A reading that fails ends the monitor with
// a message; the graph is drawn again afterwards.
void PointDataCommand(core::Program& p);

} // namespace vna::measure
