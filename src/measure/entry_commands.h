#pragma once

#include <string>

namespace vna::core {
struct Program;
}

// Small entries of the measurement settings that the menus offer: the band items, the Port B
// delay offset and group-delay smoothing, and the temperature compensation of the Port A phase.
namespace vna::measure {

// A band item of the "Bands" menu: the sweep goes to that band of the band table (its start, stop
// and step; without a step of its own the number of points stays), under the rules of limits typed
// by the user, and the empty graph is drawn. Bands 1..bandCount; an unused band does nothing.
void SelectBand(core::Program& p, int band);

// The electrical delay removed from every Port B phase, as its dialog shows it: the value and
// "nsec", "usec" or "msec" by its size.
struct DelayText {
    std::string value;
    std::string unit;
};
DelayText DelayOffsetText(double seconds);
// The "Delay Time" / "Enter Delay Offset" dialog: sets `PortB_Delay` and redraws the graph.
void DelayOffsetDialog(core::Program& p);
// The "Delay Smoothing" entry: the group-delay window in units of points / 200.
void DelaySmoothingDialog(core::Program& p);
// "Temperature Comp" (diagnostic mode): the phase coefficient and the reference temperature.
void TemperatureCompDialog(core::Program& p);

} // namespace vna::measure
