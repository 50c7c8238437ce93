#pragma once

#include <functional>
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

// One corrected Port A reading at `freq` MHz into p.point, with CurrentSwr; the relays must be
// on. Without a Port A calibration the raw impedance is all there is. False, with LastError set,
// when the instrument gave no valid reading.
bool TakePointReading(core::Program& p, double freq);

// "Point Data" (key D): asks for the frequency (the constant frequency `freq` is offered), then
// reads, corrects and shows the point again and again, calling `afterReading` after each reading
// (the audio feedback hooks in there). A reading that fails ends the monitor with a message; the
// graph is drawn again afterwards. The window shows the tone button, whose rectangle it keeps in
// ToneButton while PointDataRunning is set.
void PointDataCommand(core::Program& p, const std::function<void()>& afterReading = {});

// "Point data - A/B" (diagnostic mode): asks for the frequency, then reads both ports there again
// and again until a key or a click: Port A corrected (SWR, Rs, Xs, |Z|, phase, return loss), Port
// B as S21 with its phase (corrected with the Port B cal when there is one, the receiver ranged
// as in a sweep), each with its raw amplitudes, gain and sensitivity. The Port B settings are put
// back afterwards.
void PointDataAB(core::Program& p);

// Whether (x, y) lies on the tone button of the running point-data window.
bool OnToneButton(const core::Program& p, int x, int y);

} // namespace vna::measure
